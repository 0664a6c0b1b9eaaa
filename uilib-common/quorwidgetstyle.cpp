#include "quorwidgetstyle.h"

#include <QAction>
#include <QChildEvent>
#include <QMenu>
#include <QWidget>

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

} // namespace QuorWidgetStyle
