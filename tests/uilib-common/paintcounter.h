#pragma once

#include <QEvent>
#include <QObject>

// Counts the paint events a widget receives (install it as the widget's event filter).
class PaintCounter : public QObject
{
public:
    int paints = 0;
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};
