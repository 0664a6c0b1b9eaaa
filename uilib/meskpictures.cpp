#include "meskpictures.h"

#include <QFileInfo>
#include <QImageReader>

namespace {

QPixmap scaleToLimit(const QPixmap& pixmap, int limit)
{
    const QSize target(qMin(pixmap.width(), limit), qMin(pixmap.height(), limit));
    if (pixmap.size() == target)
        return pixmap;
    return pixmap.scaled(target, Qt::KeepAspectRatio, Qt::FastTransformation);
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
