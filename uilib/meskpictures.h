#pragma once

#include <QPixmap>
#include <QString>

// Picture loading and avatar scaling shared by the feed widgets and the
// service user objects of every provider.

// Loads a picture whatever format its name suggests: first as the file's
// name says, then (if the file exists) with each format Qt can read.
bool loadPixmapAnyFormat(const QString& path, QPixmap& pixmap);

// Scales a picture down to at most 50 x 50 (normal) or 32 x 32 (small) logical
// pixels, keeping its aspect ratio and device pixel ratio; a smaller picture is
// never enlarged.
QPixmap scaleToNormalAvatar(const QPixmap& pixmap);
QPixmap scaleToSmallAvatar(const QPixmap& pixmap);

// loadPixmapAnyFormat, then the avatar scaling. False, with pixmap left as
// it was, when the file cannot be loaded.
bool loadNormalAvatar(const QString& path, QPixmap& pixmap);
bool loadSmallAvatar(const QString& path, QPixmap& pixmap);
