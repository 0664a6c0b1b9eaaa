#include "style/quorwidgetstyle.h"

#include "style/quorpainting.h"
#include "style/quorstyleoptions.h"

#include <QAction>
#include <QChildEvent>
#include <QMenu>
#include <QStyleOptionToolButton>
#include <QToolButton>
#include <QWidget>

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

namespace QuorWidgetStyle {

void handOnStyle(QWidget* widget, QEvent* event)
{
    if (event->type() == QEvent::StyleChange) {
        const QList<QWidget*> descendants = widget->findChildren<QWidget*>();
        for (QWidget* child : descendants)
            child->setStyle(widget->style());
    } else if (event->type() == QEvent::ChildAdded) {
        QObject* child = static_cast<QChildEvent*>(event)->child();
        if (child && child->isWidgetType())
            static_cast<QWidget*>(child)->setStyle(widget->style());
    }
}

void removeUnicodeControlMenu(QMenu* menu)
{
    if (!menu)
        return;
    const QList<QAction*> actions = menu->actions();
    for (QAction* action : actions) {
        QMenu* submenu = action->menu();
        if (submenu && qstrcmp(submenu->metaObject()->className(), "QUnicodeControlCharacterMenu") == 0) {
            menu->removeAction(action);
            // A submenu's own action dies with the submenu.
            const bool ownAction = action == submenu->menuAction();
            delete submenu;
            if (!ownAction)
                delete action;
            return;
        }
    }
}

QToolButton* createCaptionButton(QWidget* bar, QStyle::StandardPixmap pixmap, const QString& text)
{
    auto* button = new CCaptionToolButton;
    button->setToolButtonStyle(Qt::ToolButtonIconOnly);
    button->setProperty("com_velto_qstyleRole",
                        QStringLiteral("quor.commonuilibrary.secondaryWindow.toolButton"));
    button->setAttribute(Qt::WA_Hover);
    button->setMouseTracking(true);

    QStyle* style = bar->style();
    auto* action = new QAction(style->standardIcon(pixmap, nullptr, button), text, bar);

    // The style knows the size of its caption images; without an answer the pixmap's size counts.
    SQuorSizeHintReturn hint(pixmap);
    style->styleHint(QStyle::SH_CustomBase, nullptr, button, &hint);
    const QSize size =
        hint.size.isValid() ? hint.size : logicalSize(style->standardPixmap(pixmap, nullptr, button));

    button->setIconSize(size);
    button->setFixedSize(size);
    button->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    button->setDefaultAction(action);
    button->setFocusPolicy(Qt::NoFocus);
    return button;
}

} // namespace QuorWidgetStyle
