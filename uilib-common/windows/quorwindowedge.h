#pragma once

#include <QWidget>

// Without a compositor a window has no shadow, and a white menu or dialog over the near-white
// main window then shows no edge at all. This child of such a window draws a 1-px line along
// the window's outline (its mask where it has one) in the style's frame colour, and only while
// the desktop does not composite; with a compositor the shadow marks the edge and it hides.
// It covers the whole window, stays above the window's other children and takes no input.
class CQuorWindowEdge : public QWidget
{
    Q_OBJECT
public:
    explicit CQuorWindowEdge(QWidget* window);
    ~CQuorWindowEdge() override;

    // Gives the window its edge once; a window that has one keeps it.
    static CQuorWindowEdge* attach(QWidget* window);

    QColor color() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void follow();
    void _onCompositingChanged(bool active);
};
