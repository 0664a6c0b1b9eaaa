#pragma once

#include <QImage>
#include <QPixmap>
#include <QString>

#include <functional>

// The one loader of the images the artwork tables draw (":/<prefix>/<path>").
namespace QuorImages {

// The image at the path. When the application's device pixel ratio is above 1 and the
// high-resolution variant "<base>@2x.<ext>" exists, that one, with device pixel ratio 2;
// otherwise the path itself at ratio 1. Null when neither loads. Either way the pixmap's
// deviceIndependentSize() is the image's logical size.
QPixmap pixmap(const QString& path);

// The same image as pixmap() would load for a screen of the given device pixel ratio, as a QImage:
// safe on any thread.
QImage image(const QString& path, qreal devicePixelRatio);

// "<base>@2x.<ext>" for "<base>.<ext>" (the file name's last dot), "<path>@2x" without one.
QString highResolutionPath(const QString& path);

} // namespace QuorImages

// A pixmap made on its first use: an image loaded through QuorImages::pixmap, or one made from
// other images (mirrored, turned). Used where a table of images is built up front but only a
// few of them are ever drawn. Not thread-safe: for the GUI thread.
class CQuorLazyPixmap
{
public:
    CQuorLazyPixmap() = default;
    // The image at the path (QuorImages::pixmap), loaded on first use.
    static CQuorLazyPixmap fromPath(const QString& path);
    // The pixmap the function returns, called on first use.
    static CQuorLazyPixmap fromFunction(std::function<QPixmap()> make);

    const QPixmap& get() const
    {
        if (m_make) {
            m_pixmap = m_make();
            m_make = nullptr;
        }
        return m_pixmap;
    }
    operator const QPixmap&() const { return get(); }
    const QPixmap* operator->() const { return &get(); }

private:
    mutable QPixmap m_pixmap;
    mutable std::function<QPixmap()> m_make;
};
