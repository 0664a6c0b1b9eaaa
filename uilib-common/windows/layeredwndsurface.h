#pragma once

#include <QObject>

#include <functional>

class QImage;
class QWidget;

// Presents a frameless top-level widget as a per-pixel-alpha window with a
// constant alpha on top (the window opacity). The surface is a child of its
// window: create it with `new CLayeredWndSurface(window)` after `init(window)`
// and find it with `CLayeredWndSurface::of(window)`.
//
// The window paints its whole area itself, starting from Qt::transparent with
// QPainter::CompositionMode_Source; the backing store then holds the ARGB
// picture that the window system blends with the desktop.
//
// Without a compositing window manager nothing blends and transparent pixels
// show black. isTranslucent() says which case holds (CCompositingWatch). Without
// a compositor the window paints its picture over palette().window() instead and
// the surface masks the window with the picture's alpha (alpha >= 128 shows).
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

    // Whether the desktop blends the window's alpha (a compositor runs).
    bool isTranslucent() const;
    // Without a compositor: masks the window with the picture's alpha (alpha >= 128
    // shows). With one: clears the mask.
    void updateMask(const QImage& picture);
    // The window's picture (its frame on transparent, at the window's size). Once
    // set, the surface updates the mask itself when the window is resized or shown
    // and when the compositor starts or stops; refreshMask() does it at once.
    void setMaskSource(std::function<QImage()> picture);
    void refreshMask();

signals:
    // The compositor started (true) or stopped; the window is repainted and re-masked.
    void translucencyChanged(bool translucent);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void apply();
    void onCompositingChanged(bool active);

    QWidget* m_window;
    quint8 m_alpha = 255;
    bool m_alphaPinned = false;
    quint8 m_savedAlpha = 255;
    std::function<QImage()> m_maskSource;
};
