#include "mainwindow/mesktoolbar.h"

#include "meskitemwidgets.h"
#include "mesksmallwidgets.h"
#include "meskuistyle.h"
#include "style/quorimages.h"

#include <QFontMetrics>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>

#include <algorithm>

namespace {

// Bold "Arial" at the point size, window text in the first role while enabled, the second
// while disabled.
void styleLabel(QLabel* label, int pointSize, int enabledRole, int disabledRole)
{
    QFont font(QStringLiteral("Arial"), pointSize);
    font.setBold(true);
    label->setFont(font);
    QPalette palette = label->palette();
    palette.setColor(QPalette::Active, QPalette::WindowText, CMeskUiStyle::color(enabledRole));
    palette.setColor(QPalette::Inactive, QPalette::WindowText, CMeskUiStyle::color(enabledRole));
    palette.setColor(QPalette::Disabled, QPalette::WindowText, CMeskUiStyle::color(disabledRole));
    label->setPalette(palette);
}

} // namespace

CMeskToolBarButton::CMeskToolBarButton(const QString& text, QWidget* parent) : QWidget(parent)
{
    setProperty("com_velto_mesk_qstyleRole", QStringLiteral("mesk.uilibrary.toolbarbutton"));
    auto* layout = new QHBoxLayout(this);
    m_label = new QLabel(text, this);
    styleLabel(m_label, 9, 6, 7);
    layout->addWidget(m_label);
    auto* arrow = new QLabel(this);
    arrow->setPixmap(QuorImages::pixmap(CMeskUiStyle::imageRoot() + QStringLiteral("arrow_down.png")));
    layout->addWidget(arrow);
    setCursor(Qt::PointingHandCursor);
}

void CMeskToolBarButton::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    event->accept();
    emit clicked();
}

CMeskViewToolButton::CMeskViewToolButton(QWidget* parent) : QWidget(parent)
{
    setProperty("com_velto_mesk_qstyleRole", QStringLiteral("mesk.uilibrary.viewtoolbutton"));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);

    m_label = new QLabel(tr("View", "Button text") + QStringLiteral(" \u00BB"), this);
    styleLabel(m_label, 8, 8, 9);
    layout->addWidget(m_label);

    m_imagesLink = new CMeskItemLinkButton(tr("\u00BB Images and Videos", "Button text"), this);
    m_linksLink = new CMeskItemLinkButton(tr("\u00BB Links", "Button text"), this);
    layout->addWidget(m_imagesLink);
    layout->addWidget(m_linksLink);
    m_imagesLink->hide();
    m_linksLink->hide();

    m_menu = new QMenu(this);
    QAction* images = m_menu->addAction(tr("Images and Videos", "Button text"));
    QAction* links = m_menu->addAction(tr("Links", "Button text"));

    connect(images, &QAction::triggered, this, &CMeskViewToolButton::showDeepDiveView);
    connect(m_imagesLink, &CMeskItemLinkButton::clicked, this, &CMeskViewToolButton::showDeepDiveView);
    connect(links, &QAction::triggered, this, &CMeskViewToolButton::showLinksView);
    connect(m_linksLink, &CMeskItemLinkButton::clicked, this, &CMeskViewToolButton::showLinksView);
    setCursor(Qt::PointingHandCursor);
}

void CMeskViewToolButton::setSingleColumnMode()
{
    m_label->setText(tr("View", "Button text") + QStringLiteral(" \u00BB"));
    m_imagesLink->hide();
    m_linksLink->hide();
    m_menuMode = true;
    setCursor(Qt::PointingHandCursor);
}

void CMeskViewToolButton::setMultiColumnMode()
{
    m_label->setText(tr("View ", "Button text"));
    m_imagesLink->show();
    m_linksLink->show();
    m_menuMode = false;
    setCursor(Qt::ArrowCursor);
}

int CMeskViewToolButton::linksFormWidth() const
{
    const int spacing = layout()->spacing();
    return QFontMetrics(m_label->font()).horizontalAdvance(tr("View ", "Button text")) + spacing +
           m_imagesLink->sizeHint().width() + spacing + m_linksLink->sizeHint().width();
}

void CMeskViewToolButton::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !m_menuMode)
        return;
    event->accept();
    m_menu->exec(mapToGlobal(QPoint(width() - 10, height() - 10)));
}

CMeskToolBar::CMeskToolBar(bool multiColumn, QWidget* parent) : QWidget(parent)
{
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(5, 0, 5, 0);
    // 40 px: the product style's toolbar height (also under another style).
    const int height =
        style()->pixelMetric(QStyle::PixelMetric(CMeskUiStyle::PM_MeskToolBarHeight), nullptr, this);
    setFixedHeight(height > 0 ? height : 40);

    m_newUpdate = new CMeskToolBarButton(tr("New Update", "Button text"), this);
    m_newTextMessage = new CMeskToolBarButton(tr("New Text Message", "Button text"), this);
    m_viewButton = new CMeskViewToolButton(this);
    m_filterBox = new CMeskFilterBox(this);

    layout->addWidget(m_newUpdate);
    layout->addWidget(m_newTextMessage);
    layout->addStretch(2);
    layout->addWidget(m_viewButton);
    layout->addStretch(1);
    // The text field keeps its width (the box's own minimum would yield to the layout): the
    // stretches and, where even they run out, the View button's links give way instead.
    m_filterBox->lineEdit()->setFixedWidth(FilterFieldWidth);
    layout->addWidget(m_filterBox, 0);

    connect(m_newUpdate, &CMeskToolBarButton::clicked, this, &CMeskToolBar::newUpdate);
    connect(m_newTextMessage, &CMeskToolBarButton::clicked, this, &CMeskToolBar::newTextMessage);
    connect(m_viewButton, &CMeskViewToolButton::showDeepDiveView, this, &CMeskToolBar::showDeepDiveView);
    connect(m_viewButton, &CMeskViewToolButton::showLinksView, this, &CMeskToolBar::showLinksView);
    connect(m_filterBox, &CMeskFilterBox::filterText, this, &CMeskToolBar::filterText);
    connect(m_filterBox, &CMeskFilterBox::clearFilter, this, &CMeskToolBar::clearFilter);

    if (multiColumn)
        setMultiColumnMode();
    else
        setSingleColumnMode();
}

void CMeskToolBar::setSingleColumnMode()
{
    m_multiColumn = false;
    m_filterBox->hide();
    m_viewButton->setSingleColumnMode();
}

void CMeskToolBar::setMultiColumnMode()
{
    m_multiColumn = true;
    m_filterBox->show();
    updateViewForm();
}

void CMeskToolBar::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (m_multiColumn)
        updateViewForm();
}

void CMeskToolBar::updateViewForm()
{
    // Every item at its preferred width, one spacing between neighbours (the stretches take none
    // of their own).
    const QMargins margins = layout()->contentsMargins();
    const int spacing = std::max(0, layout()->spacing());
    const int wanted = margins.left() + m_newUpdate->sizeHint().width() + spacing +
                       m_newTextMessage->sizeHint().width() + spacing + m_viewButton->linksFormWidth() +
                       spacing + m_filterBox->sizeHint().width() + margins.right();
    const bool linksShown = !m_viewButton->menuMode() && !m_viewButton->imagesLink()->isHidden();
    if (width() >= wanted && !linksShown)
        m_viewButton->setMultiColumnMode();
    else if (width() < wanted && !m_viewButton->menuMode())
        m_viewButton->setSingleColumnMode();
}

void CMeskToolBar::resetFilter()
{
    m_filterBox->clear();
    emit clearFilter();
}
