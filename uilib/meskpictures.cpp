#include "meskpictures.h"

#include <QFileInfo>
#include <QImageReader>

namespace {

// The limit is in logical pixels: a high-resolution picture keeps its device pixel ratio and
// may hold limit x ratio device pixels.
QPixmap scaleToLimit(const QPixmap& pixmap, int limit)
{
    const qreal ratio = pixmap.devicePixelRatio();
    const int deviceLimit = qRound(limit * ratio);
    const QSize target(qMin(pixmap.width(), deviceLimit), qMin(pixmap.height(), deviceLimit));
    if (pixmap.size() == target)
        return pixmap;
    QPixmap scaled = pixmap.scaled(target, Qt::KeepAspectRatio, Qt::FastTransformation);
    scaled.setDevicePixelRatio(ratio);
    return scaled;
}

bool loadAvatar(const QString& path, QPixmap& pixmap, int limit)
{
    QPixmap loaded;
    if (!loadPixmapAnyFormat(path, loaded))
        return false;
    pixmap = scaleToLimit(loaded, limit);
    return true;
}

} // namespace

bool loadPixmapAnyFormat(const QString& path, QPixmap& pixmap)
{
    QPixmap loaded;
    if (loaded.load(path)) {
        pixmap = loaded;
        return true;
    }
    if (!QFileInfo::exists(path))
        return false;
    const QList<QByteArray> formats = QImageReader::supportedImageFormats();
    for (const QByteArray& format : formats) {
        if (loaded.load(path, format.constData())) {
            pixmap = loaded;
            return true;
        }
    }
    return false;
}

QPixmap scaleToNormalAvatar(const QPixmap& pixmap)
{
    return scaleToLimit(pixmap, 50);
}

QPixmap scaleToSmallAvatar(const QPixmap& pixmap)
{
    return scaleToLimit(pixmap, 32);
}

bool loadNormalAvatar(const QString& path, QPixmap& pixmap)
{
    return loadAvatar(path, pixmap, 50);
}

bool loadSmallAvatar(const QString& path, QPixmap& pixmap)
{
    return loadAvatar(path, pixmap, 32);
}
