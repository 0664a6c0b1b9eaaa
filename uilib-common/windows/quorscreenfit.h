#pragma once

#include <QObject>
#include <QRect>
#include <QSize>

class QScreen;
class QWidget;

// Keeps a top-level window (dialog, popup, toast, browser) wholly on its screen, so its frame
// and its buttons stay reachable on small or scaled screens and without a window manager to move
// it. Each time the window shows: its minimum size is the one its code set where the screen has
// room, and the screen's available area where it has not; a larger window is shrunk to the area;
// then its frame is moved inside the area. The window's layout has to cope with the smaller
// size (a scrolled body, say): this class only keeps the frame on the screen.
class CQuorScreenFit : public QObject
{
    Q_OBJECT

public:
    // Watches the window from now on (the watcher is the window's child); a second call returns
    // the same watcher.
    static CQuorScreenFit* watch(QWidget* window);

    // The screen a window belongs on: the one under its frame once it is placed (shown or
    // moved by its code), else its parent window's, else its own.
    static QScreen* screenOf(const QWidget* window);
    // The part of the window's screen it may cover: the available geometry (without the
    // desktop's panels), the whole screen for a full-screen window.
    static QRect area(const QWidget* window);
    // Moves the window so that its frame lies inside the area (left and up first, a frame
    // larger than the area keeps its top-left corner in it).
    static void moveInside(QWidget* window, const QRect& area);

    // Applies the rule above now; the watcher does it at every show.
    void fit();
    // The minimum size the window's code asked for, before it was fitted to a screen.
    QSize designMinimumSize() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    explicit CQuorScreenFit(QWidget* window);

    QWidget* m_window;
    QSize m_designMinimum;
    QSize m_appliedMinimum;
};
