#pragma once

#include <QObject>

class QWidget;

// Presents a frameless top-level widget as a per-pixel-alpha window with a
// constant alpha on top (the window opacity). The surface is a child of its
// window: create it with `new CLayeredWndSurface(window)` after `init(window)`
// and find it with `CLayeredWndSurface::of(window)`.
//
// The window paints its whole area itself, starting from Qt::transparent with
// QPainter::CompositionMode_Source; the backing store then holds the ARGB
// picture that the window system blends with the desktop.
class CLayeredWndSurface : public QObject
{
    Q_OBJECT
public:
    explicit CLayeredWndSurface(QWidget* window);
    ~CLayeredWndSurface() override;

    // Prepares a top-level widget for per-pixel alpha. Must run before the
    // native window exists, so the window system picks an ARGB visual.
    static void init(QWidget* window);

    // The surface of a window, or null when it has none.
    static CLayeredWndSurface* of(const QWidget* window);

    // remember: the current alpha is kept for restoreAlpha(). Otherwise the
    // alpha is pinned: restoreAlpha() does nothing from then on.
    void setAlpha(quint8 value, bool remember);
    quint8 alpha() const { return m_alpha; }
    void restoreAlpha();
    // True once an alpha was set without remember (a fade owns the alpha from then on).
    bool isAlphaPinned() const { return m_alphaPinned; }

    QWidget* window() const { return m_window; }

private:
    void apply();

    QWidget* m_window;
    quint8 m_alpha = 255;
    bool m_alphaPinned = false;
    quint8 m_savedAlpha = 255;
};
