#include "windows/quortooltip.h"

#include "windows/quortooltiplabel.h"

#include <QHelpEvent>
#include <QWidget>

CQuorToolTip::CQuorToolTip(QObject* parent) : QObject(parent)
{
    if (parent)
        parent->installEventFilter(this);
}

CQuorToolTip::~CQuorToolTip()
{
    if (parent())
        parent()->removeEventFilter(this);
    if (CQuorToolTipLabel* label = CQuorToolTipLabel::instance())
        label->scheduleDeletion();
}

void CQuorToolTip::showText(const QPoint& globalPos, const QString& text, QWidget* widget)
{
    showText(globalPos, text, widget, QRect());
}

void CQuorToolTip::hideText()
{
    showText(QPoint(), QString());
}

void CQuorToolTip::showText(const QPoint& globalPos, const QString& text, QWidget* widget, const QRect& rect)
{
    if (CQuorToolTipLabel* label = CQuorToolTipLabel::instance()) {
        if (text.isEmpty()) {
            label->onHideTip();
            return;
        }
        // A label that is fading out is not brought back: a new one replaces it.
        if (!label->isFadingOut()) {
            const QPoint localPos = widget ? widget->mapFromGlobal(globalPos) : globalPos;
            if (label->tipChanged(localPos, text, widget)) {
                label->reuseTip(text);
                label->setTipRect(widget, rect);
                label->placeTip(globalPos, widget);
                if (label->isHidden())
                    label->onShowTip();
            }
            return;
        }
    }
    if (text.isEmpty())
        return;
    auto* label = new CQuorToolTipLabel(text, nullptr);
    label->setTipRect(widget, rect);
    label->placeTip(globalPos, widget);
    label->onShowTip();
}

bool CQuorToolTip::eventFilter(QObject* o, QEvent* e)
{
    if (e->type() != QEvent::ToolTip || !o->isWidgetType())
        return false;
    auto* help = dynamic_cast<QHelpEvent*>(e);
    auto* widget = static_cast<QWidget*>(o);
    const QString tip = widget->toolTip();
    if (!help || tip.isEmpty())
        return false;
    showText(help->globalPos(), tip, widget);
    return true;
}
