#pragma once

#include <QObject>
#include <QRect>

class QWidget;

// Replaces the standard tooltip of the widget it watches (its parent) by the
// library's tooltip label, one label shared by all.
class CQuorToolTip : public QObject
{
    Q_OBJECT
public:
    // Installs itself as event filter of parent.
    explicit CQuorToolTip(QObject* parent);
    // Removes the filter and lets the shared label go.
    ~CQuorToolTip() override;

    // Shows text for widget at globalPos, reusing the shown label where it can;
    // an empty text hides the tip. rect (widget coordinates) is where the tip
    // stays while the mouse moves over widget; null for anywhere.
    static void showText(const QPoint& globalPos, const QString& text, QWidget* widget, const QRect& rect);
    static void showText(const QPoint& globalPos, const QString& text, QWidget* widget = nullptr);
    static void hideText();

protected:
    bool eventFilter(QObject* o, QEvent* e) override;
};
