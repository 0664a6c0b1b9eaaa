#pragma once

#include <QImage>
#include <QRect>
#include <QRegion>

#include <functional>
#include <memory>

class QWidget;

// The separate window that carries a top-level window's drop shadow: larger than its owner,
// stacked directly behind it, never focused and transparent for the mouse. It shows one
// prepared image at a constant alpha, clipped to a region.
class IShadowWindow
{
public:
    using Factory = std::function<std::unique_ptr<IShadowWindow>(QWidget* owner)>;

    virtual ~IShadowWindow() = default;

    // Shown without taking focus, behind the owner.
    virtual void show() = 0;
    virtual void hide() = 0;
    virtual bool isVisible() const = 0;
    // Frame geometry in screen coordinates.
    virtual void setGeometry(const QRect& geometry) = 0;
    virtual QRect geometry() const = 0;
    // Part of the window that is drawn, in window coordinates; an empty region draws all of it.
    virtual void setRegion(const QRegion& region) = 0;
    // Constant alpha 0..255 applied over the image's own alpha.
    virtual void setAlpha(int alpha) = 0;
    // Image of the whole window (premultiplied ARGB), drawn at the window's top-left.
    virtual void setImage(const QImage& image) = 0;
    // Puts the window directly behind its owner again.
    virtual void restack() = 0;

    // Makes the shadow window of an owner through the process-wide factory (the platform's own
    // window unless a factory was installed). The platform's own factory makes none (null) while
    // the desktop does not composite windows (CCompositingWatch); an installed factory always runs.
    static std::unique_ptr<IShadowWindow> create(QWidget* owner);
    // Replaces the factory; an empty function restores the platform's own window. Returns the
    // factory that was installed before.
    static Factory setFactory(Factory factory);
};
