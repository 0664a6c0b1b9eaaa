#include "mainwindow/meskmaintitlebar.h"

#include "meskuistyle.h"
#include "style/quorpainting.h"
#include "style/quorstyleoptions.h"
#include "widgets/quorbuttons.h"
#include "widgets/quortextlabel.h"
#include "windows/quorsystemmenu.h"

#include <QAction>
#include <QCoreApplication>
#include <QCursor>
#include <QHBoxLayout>
#include <QMouseEvent>
#include <QPainter>
#include <QToolButton>

CMeskMainTitleBar::CMeskMainTitleBar(QWidget* parent) : CQuorDraggableTitleBar(parent, false)
{
    setProperty("com_velto_mesk_qstyleRole", QStringLiteral("mesk.uilibrary.main.titlebar"));
    m_iconWidget = new CQuorSystemMenu(this);

    m_systemMenu = new CQuorMenu(this);
    m_restoreAction = m_systemMenu->addAction(tr("Restore"));
    m_minimizeAction = m_systemMenu->addAction(tr("Minimize"));
    m_systemMenu->addSeparator();
    // The window manager owns Alt+F4; the menu only names it.
    m_exitAction = m_systemMenu->addAction(tr("Exit") + QStringLiteral("\tALT+F4"));
    if (parent) {
        connect(m_restoreAction, &QAction::triggered, parent, &QWidget::showNormal);
        connect(m_minimizeAction, &QAction::triggered, parent, &QWidget::showMinimized);
        connect(m_exitAction, &QAction::triggered, parent, &QWidget::close);
    }

    m_layout = new QHBoxLayout(this);
    m_layout->setContentsMargins(0, 0, 0, 0);
    m_layout->setSpacing(0);
    m_layout->addSpacing(5);
    m_layout->addWidget(m_iconWidget);
    m_layout->addSpacing(5);
    m_layout->addSpacing(20);

    m_caption = new CQuorTextLabel(this);
    m_caption->setSizePolicy(QSizePolicy::Minimum, QSizePolicy::Preferred);
    m_caption->setProperty("com_velto_fontRole", QStringLiteral("widgetlibrary.window.main.title"));
    m_layout->addWidget(m_caption, 0, Qt::AlignVCenter);
    m_layout->addStretch();

    createCaptionButtons();
}

CMeskMainTitleBar::~CMeskMainTitleBar() = default;

void CMeskMainTitleBar::setTitle(const QString& title)
{
    m_caption->setText(title);
}

QString CMeskMainTitleBar::title() const
{
    return m_caption->text();
}

void CMeskMainTitleBar::createCaptionButtons()
{
    m_minimizeButton = createToolButton(
        QStyle::SP_TitleBarMinButton,
        QCoreApplication::translate("Main titlebar caption", "Minimize",
                                    "Tooltip/menu item for the minimize button in the caption"));
    m_closeButton = createToolButton(
        QStyle::SP_TitleBarCloseButton,
        QCoreApplication::translate("Main titlebar caption", "Close",
                                    "Tooltip/menu item for the close button in the caption"));
    if (QWidget* window = parentWidget()) {
        connect(m_minimizeButton->defaultAction(), &QAction::triggered, window, &QWidget::showMinimized);
        connect(m_closeButton->defaultAction(), &QAction::triggered, window, &QWidget::close);
    }
    m_layout->addWidget(m_minimizeButton, 0, Qt::AlignTop);
    m_layout->addWidget(m_closeButton, 0, Qt::AlignTop);
}

QToolButton* CMeskMainTitleBar::createToolButton(QStyle::StandardPixmap pixmap, const QString& text)
{
    auto* button = new QToolButton(this);
    // Icon only: the action's text is the tooltip and the menu entry.
    button->setToolButtonStyle(Qt::ToolButtonIconOnly);
    button->setProperty("com_velto_qstyleRole", QStringLiteral("quor.commonuilibrary.mainWindow.toolButton"));
    button->setAttribute(Qt::WA_Hover);
    button->setMouseTracking(true);

    auto* action = new QAction(style()->standardIcon(pixmap, nullptr, button), text, this);
    // The style knows the size of its caption images; without an answer the pixmap's own size.
    SQuorSizeHintReturn hint(pixmap);
    style()->styleHint(QStyle::SH_CustomBase, nullptr, button, &hint);
    const QSize size =
        hint.size.isValid() ? hint.size : logicalSize(style()->standardPixmap(pixmap, nullptr, button));
    button->setIconSize(size);
    button->setFixedSize(size);
    button->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    button->setDefaultAction(action);
    button->setFocusPolicy(Qt::NoFocus);
    return button;
}

void CMeskMainTitleBar::updateMenuActions()
{
    const QWidget* window = parentWidget();
    const bool minimized = window && window->windowState() == Qt::WindowMinimized;
    m_restoreAction->setEnabled(minimized);
    m_minimizeAction->setEnabled(!minimized);
}

void CMeskMainTitleBar::showSystemMenu()
{
    updateMenuActions();
    const QPoint cursor = QCursor::pos();
    const QWidget* window = parentWidget();
    const bool minimized = window && window->windowState() == Qt::WindowMinimized;
    const QSize size = m_systemMenu->sizeHint();
    m_systemMenu->popup(minimized ? cursor - QPoint(0, size.height()) : cursor);
}

void CMeskMainTitleBar::showTaskbarMenu()
{
    updateMenuActions();
    const QPoint cursor = QCursor::pos();
    m_systemMenu->popup(cursor - QPoint(0, m_systemMenu->sizeHint().height()));
}

void CMeskMainTitleBar::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::RightButton) {
        showSystemMenu();
        return;
    }
    CQuorDraggableTitleBar::mouseReleaseEvent(event);
}

void CMeskMainTitleBar::paintEvent(QPaintEvent* event)
{
    {
        QPainter painter(this);
        painter.fillRect(rect(), CMeskUiStyle::color(1));
    }
    CQuorDraggableTitleBar::paintEvent(event);
}
