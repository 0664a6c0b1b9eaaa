#pragma once

#include <QIcon>
#include <QImage>
#include <QPixmap>
#include <QSize>
#include <QString>

class QColor;
class QPainter;
class QRect;
class QTransform;

// Widths in pixels of the four unscaled border bands of a nine-patch image (and of its target).
struct SNinePatchMargins
{
    qint32 left = 0;
    qint32 top = 0;
    qint32 right = 0;
    qint32 bottom = 0;

    friend bool operator==(const SNinePatchMargins&, const SNinePatchMargins&) = default;
};

// A pixmap's size in logical pixels: its device-independent size. Layout and drawing read image
// sizes through these, so an image loaded at device pixel ratio 2 measures as its 1x variant.
inline QSize logicalSize(const QPixmap& pixmap)
{
    return pixmap.deviceIndependentSize().toSize();
}
inline int logicalWidth(const QPixmap& pixmap)
{
    return logicalSize(pixmap).width();
}
inline int logicalHeight(const QPixmap& pixmap)
{
    return logicalSize(pixmap).height();
}

// Draws the pixmap into the target as a 3x3 grid: corners keep their size, edges stretch
// along their side, the centre stretches both ways. Cells whose source or target width or
// height is not above zero are skipped. A null painter draws nothing. The painter's render
// hints are the same after the call as before it.
void drawNinePatchPixmap(QPainter* painter, const QPixmap& pixmap, const QRect& target,
                         const SNinePatchMargins& margins);
void drawNinePatchPixmap(QPainter* painter, const QPixmap& pixmap, const QRect& target, int left, int top,
                         int right, int bottom);

// Every pixel takes the colour and keeps its own alpha.
QPixmap tintedPixmap(const QPixmap& pixmap, const QColor& colour);
// Mirrored left-right.
QPixmap mirroredPixmap(const QPixmap& pixmap);
// Turned upside down.
QPixmap flippedPixmap(const QPixmap& pixmap);
// The pixmap under the transform (mirrored, turned), keeping its device pixel ratio.
QPixmap transformedPixmap(const QPixmap& pixmap, const QTransform& transform);
// Removes mnemonic marks: a single '&' disappears, "&&" becomes "&".
QString stripMnemonic(QString text);
// The base icon with the overlay centred on its pixmap for one mode and state; the offset is
// computed from the requested overlay size.
QIcon overlaidIcon(const QIcon& base, const QIcon& overlay, const QSize& size, const QSize& overlaySize,
                   QIcon::Mode mode = QIcon::Normal, QIcon::State state = QIcon::Off);
// The bottom rows of the image (at most height of them), flipped and faded from alpha 150/255
// at the top to nothing at the bottom. Null for a null image or a height not above zero.
QImage reflectionImage(const QImage& image, int height);
QPixmap reflectionPixmap(const QPixmap& pixmap, int height);
// Every mode and state of the icon mirrored, at the size (32x32 when the size is invalid).
QIcon mirroredIcon(const QIcon& icon, const QSize& size);
