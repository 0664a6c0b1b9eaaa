#pragma once

#include "meskrecords.h"

#include <QString>

class IMediaItemStorage;

// The addresses and local files of a stored photo, kept as fields of its media item. Facebook and
// Flickr photos store the same five fields.
struct SMeskStoredPhoto
{
    // The field names.
    static const QString PhotoUrlField;     // "photoUrl": the picture shown in the feed
    static const QString ThumbnailUrlField; // "thumbnailUrl"
    static const QString ThumbnailFileField;
    static const QString OriginalUrlField; // "originalUrl": the full-size picture, once known
    static const QString OriginalFileField;

    QString photoUrl;
    QString thumbnailUrl;
    QString thumbnailFile;
    QString originalUrl;
    QString originalFile;

    // The fields stored for item id (empty texts for missing ones); ok (when given) is false when they
    // cannot be read.
    static SMeskStoredPhoto read(IMediaItemStorage* storage, mid_t id, bool* ok = nullptr);
};

namespace MeskStoredItem {

// Reads item id and checks that it has the type; a failure is logged in the words of the class:
// "<className>: failed to load item from storage", or "<className>: item type check failed while
// loading from storage, must be <typeName>".
bool load(IMediaItemStorage* storage, mid_t id, int type, SMediaItem& item, const char* className,
          const char* typeName);

} // namespace MeskStoredItem
