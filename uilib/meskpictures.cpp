#include "meskpictures.h"

#include <QFileInfo>
#include <QImageReader>
#include <QtMath>

namespace {

QPixmap scaleToLimit(const QPixmap& pixmap, int limit)
{
    return meskScaleDownPicture(pixmap, QSize(limit, limit));
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

QSize meskPictureSize(const QPixmap& pixmap)
{
    const QSizeF size = pixmap.deviceIndependentSize();
    return QSize(qFloor(size.width()), qFloor(size.height()));
}

QPixmap meskScaleDownPicture(const QPixmap& pixmap, const QSize& limit)
{
    if (pixmap.isNull())
        return pixmap;
    const QSize size = meskPictureSize(pixmap);
    const QSize target(qMin(size.width(), limit.width()), qMin(size.height(), limit.height()));
    if (size == target)
        return pixmap;
    // Scaled in device pixels and drawn at its own pixel ratio.
    const qreal ratio = pixmap.devicePixelRatio();
    const QSize deviceTarget(qMax(1, qRound(target.width() * ratio)),
                             qMax(1, qRound(target.height() * ratio)));
    QPixmap scaled = pixmap.scaled(deviceTarget, Qt::KeepAspectRatio, Qt::FastTransformation);
    scaled.setDevicePixelRatio(ratio);
    return scaled;
}

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

TMeskAvatarPictures::TMeskAvatarPictures(std::function<void()> fetchMissing,
                                         std::function<QPixmap()> defaultPicture)
    : m_fetchMissing(std::move(fetchMissing)), m_defaultPicture(std::move(defaultPicture))
{
}

QPixmap TMeskAvatarPictures::normal(const QString& file) const
{
    if (!m_normal.isNull() || loadNormalAvatar(file, m_normal))
        return m_normal;
    m_fetchMissing();
    return scaleToNormalAvatar(m_defaultPicture());
}

QPixmap TMeskAvatarPictures::small(const QString& file) const
{
    if (!m_small.isNull() || loadSmallAvatar(file, m_small))
        return m_small;
    m_fetchMissing();
    return scaleToSmallAvatar(m_defaultPicture());
}

void TMeskAvatarPictures::clear()
{
    m_normal = QPixmap();
    m_small = QPixmap();
}
