#pragma once

#include <QPixmap>
#include <QString>

#include <functional>

// Picture loading and avatar scaling shared by the feed widgets and the
// service user objects of every provider.

// Loads a picture whatever format its name suggests: first as the file's
// name says, then (if the file exists) with each format Qt can read.
bool loadPixmapAnyFormat(const QString& path, QPixmap& pixmap);

// Scales a picture down to fit within limit (logical pixels), keeping its aspect ratio; a
// picture already within it comes back unchanged, and one is never enlarged. A picture of
// device pixel ratio r is scaled to the logical size times r and keeps r.
QPixmap meskScaleDownPicture(const QPixmap& pixmap, const QSize& limit);

// The size of a picture in logical pixels (device pixels divided by its pixel ratio,
// rounded down).
QSize meskPictureSize(const QPixmap& pixmap);

// Scales a picture down to at most 50 x 50 (normal) or 32 x 32 (small),
// keeping its aspect ratio; a smaller picture is never enlarged.
QPixmap scaleToNormalAvatar(const QPixmap& pixmap);
QPixmap scaleToSmallAvatar(const QPixmap& pixmap);

// loadPixmapAnyFormat, then the avatar scaling. False, with pixmap left as
// it was, when the file cannot be loaded.
bool loadNormalAvatar(const QString& path, QPixmap& pixmap);
bool loadSmallAvatar(const QString& path, QPixmap& pixmap);

// The file-cache half of a service user's avatar()/smallAvatar(): the pictures of the user's
// avatar file, loaded at first use and kept. How a missing file is fetched, and which default
// picture shows meanwhile, stay with each provider: the two functions given.
class TMeskAvatarPictures
{
public:
    TMeskAvatarPictures(std::function<void()> fetchMissing, std::function<QPixmap()> defaultPicture);

    // The kept picture, or the one loaded from file (then kept). While the file cannot be
    // loaded: fetchMissing() runs and the default picture comes back scaled, not kept, so a
    // later call tries the file again.
    QPixmap normal(const QString& file) const;
    QPixmap small(const QString& file) const;
    // Forgets the kept pictures: the next call reads the file again (after a download).
    void clear();

private:
    std::function<void()> m_fetchMissing;
    std::function<QPixmap()> m_defaultPicture;
    mutable QPixmap m_normal;
    mutable QPixmap m_small;
};
