#include "windows/quordialogtitlebar.h"

#include "style/quorwidgetstyle.h"

#include <QAction>
#include <QCoreApplication>
#include <QHBoxLayout>
#include <QMenu>
#include <QMetaEnum>
#include <QMouseEvent>
#include <QToolButton>

CQuorDialogTitleBar::CQuorDialogTitleBar(QWidget* parent) : CQuorDraggableTitleBar(parent, false)
{
    m_layout = new QHBoxLayout(this);
    m_layout->setContentsMargins(0, 0, 0, 0);
    m_layout->setSpacing(0);
    m_layout->addSpacerItem(new QSpacerItem(0, 0, QSizePolicy::Expanding, QSizePolicy::Fixed));
    createCloseButton();
    m_layout->addSpacing(5);
    createMenu();
    setFixedHeight(style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, this));
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    adjustWindowStyle();
}

CQuorDialogTitleBar::~CQuorDialogTitleBar() = default;

QStyle::StandardPixmap CQuorDialogTitleBar::closePixmapFor(Color color)
{
    const int offset = color == Purple ? 10 : 3;
    return static_cast<QStyle::StandardPixmap>(QStyle::SP_CustomBase + offset);
}

void CQuorDialogTitleBar::setColor(Color color)
{
    m_color = color;
    if (m_closeButton && m_closeButton->defaultAction())
        m_closeButton->defaultAction()->setIcon(
            style()->standardIcon(closePixmapFor(color), nullptr, m_closeButton));
    // The role, and with it the caption's look, changed.
    update();
}

QString CQuorDialogTitleBar::qstyleRole() const
{
    const QMetaEnum colors = QMetaEnum::fromType<Color>();
    return QStringLiteral("quor.commonuilibrary.window.dialog.titleBar.") +
           QString::fromLatin1(colors.valueToKey(m_color));
}

void CQuorDialogTitleBar::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::RightButton) {
        m_menu->popup(event->globalPosition().toPoint());
        return;
    }
    CQuorDraggableTitleBar::mousePressEvent(event);
}

void CQuorDialogTitleBar::createCloseButton()
{
    const QString text = QCoreApplication::translate("Dialog caption", "Close",
                                                     "Tooltip/menu item for the close button in the caption");
    m_closeButton = QuorWidgetStyle::createCaptionButton(this, closePixmapFor(m_color), text);
    if (!m_closeButton)
        return;
    if (QWidget* parent = parentWidget())
        connect(m_closeButton->defaultAction(), &QAction::triggered, parent, &QWidget::close);
    m_layout->addWidget(m_closeButton, 0, Qt::AlignVCenter);
}

void CQuorDialogTitleBar::createMenu()
{
    m_menu = new QMenu(this);
    if (m_closeButton)
        m_menu->addAction(m_closeButton->defaultAction());
}

void CQuorDialogTitleBar::adjustWindowStyle() {}
