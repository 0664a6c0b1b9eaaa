#include "quordialogtitlebar.h"

#include "quorpainting.h"

#include "quorstyleoptions.h"

#include <QAction>
#include <QCoreApplication>
#include <QHBoxLayout>
#include <QMenu>
#include <QMetaEnum>
#include <QMouseEvent>
#include <QStyleOptionToolButton>
#include <QToolButton>

namespace {

// A caption button shows its icon only: the text of its action is the tooltip and the entry of
// the caption's menu, and a style that draws every tool button's text gets none here.
class CCaptionToolButton : public QToolButton
{
public:
    using QToolButton::QToolButton;

protected:
    void initStyleOption(QStyleOptionToolButton* option) const override
    {
        QToolButton::initStyleOption(option);
        if (toolButtonStyle() == Qt::ToolButtonIconOnly)
            option->text.clear();
    }
};

} // namespace

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
    m_closeButton = createToolButton(closePixmapFor(m_color), text);
    if (!m_closeButton)
        return;
    if (QWidget* parent = parentWidget())
        connect(m_closeButton->defaultAction(), &QAction::triggered, parent, &QWidget::close);
    m_layout->addWidget(m_closeButton, 0, Qt::AlignVCenter);
}

QToolButton* CQuorDialogTitleBar::createToolButton(QStyle::StandardPixmap pixmap, const QString& text)
{
    auto* button = new CCaptionToolButton;
    button->setToolButtonStyle(Qt::ToolButtonIconOnly);
    button->setProperty("com_velto_qstyleRole",
                        QStringLiteral("quor.commonuilibrary.secondaryWindow.toolButton"));
    button->setAttribute(Qt::WA_Hover);
    button->setMouseTracking(true);

    auto* action = new QAction(style()->standardIcon(pixmap, nullptr, button), text, this);

    // The style knows the size of its close images; without an answer the pixmap's size counts.
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

void CQuorDialogTitleBar::createMenu()
{
    m_menu = new QMenu(this);
    if (m_closeButton)
        m_menu->addAction(m_closeButton->defaultAction());
}

void CQuorDialogTitleBar::adjustWindowStyle() {}
