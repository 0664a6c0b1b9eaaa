#include "meskdialogtitlebar.h"

#include "style/quorwidgetstyle.h"
#include "windows/quordialogtitlebar.h"

#include <QAction>
#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMetaEnum>
#include <QMouseEvent>
#include <QToolButton>

namespace {

QStyle::StandardPixmap closePixmap(CMeskDialogTitleBar::Color color)
{
    return CQuorDialogTitleBar::closePixmapFor(static_cast<CQuorDialogTitleBar::Color>(color));
}

} // namespace

CMeskDialogTitleBar::CMeskDialogTitleBar(QWidget* parent, const QString& title, bool resizable)
    : CQuorDraggableTitleBar(parent, resizable)
{
    m_layout = new QHBoxLayout(this);
    m_layout->setContentsMargins(0, 0, 0, 0);
    m_layout->setSpacing(0);
    m_layout->addSpacing(20);

    m_caption = new QLabel(title);
    m_caption->setSizePolicy(QSizePolicy::Minimum, QSizePolicy::Preferred);
    m_caption->setProperty("com_velto_fontRole", QStringLiteral("widgetlibrary.window.main.title"));
    m_layout->addWidget(m_caption, 0);
    m_layout->addSpacerItem(new QSpacerItem(0, 0, QSizePolicy::Expanding, QSizePolicy::Fixed));

    const QString closeText = QCoreApplication::translate(
        "Dialog Titlebar caption", "Close", "Tooltip/menu item for the close button in the caption");
    m_closeButton = QuorWidgetStyle::createCaptionButton(this, closePixmap(m_color), closeText);
    m_layout->addWidget(m_closeButton, 0);
    m_layout->setAlignment(m_closeButton, Qt::AlignVCenter);
    if (QWidget* window = parentWidget())
        connect(m_closeButton->defaultAction(), &QAction::triggered, window, &QWidget::close);
    m_layout->addSpacing(5);

    m_menu = new QMenu(this);
    m_menu->addAction(m_closeButton->defaultAction());

    setFixedHeight(style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, this));
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    adjustWindowStyle();
}

CMeskDialogTitleBar::~CMeskDialogTitleBar() = default;

void CMeskDialogTitleBar::setColor(Color color)
{
    m_color = color;
    m_closeButton->defaultAction()->setIcon(style()->standardIcon(closePixmap(color), nullptr, this));
    // The role, and with it the caption's look, changed.
    update();
}

void CMeskDialogTitleBar::setTitle(const QString& text)
{
    m_caption->setText(text);
}

QString CMeskDialogTitleBar::title() const
{
    return m_caption->text();
}

QString CMeskDialogTitleBar::qstyleRole() const
{
    const QMetaEnum colors = QMetaEnum::fromType<Color>();
    return QStringLiteral("quor.commonuilibrary.window.dialog.titleBar.") +
           QString::fromLatin1(colors.valueToKey(m_color));
}

void CMeskDialogTitleBar::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::RightButton) {
        m_menu->popup(event->globalPosition().toPoint());
        return;
    }
    CQuorDraggableTitleBar::mousePressEvent(event);
}

void CMeskDialogTitleBar::adjustWindowStyle() {}
