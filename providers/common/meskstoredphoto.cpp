#include "meskstoredphoto.h"

#include "imediaitemstorage.h"

#include <QDebug>
#include <QHash>

const QString SMeskStoredPhoto::PhotoUrlField = QStringLiteral("photoUrl");
const QString SMeskStoredPhoto::ThumbnailUrlField = QStringLiteral("thumbnailUrl");
const QString SMeskStoredPhoto::ThumbnailFileField = QStringLiteral("thumbnailFile");
const QString SMeskStoredPhoto::OriginalUrlField = QStringLiteral("originalUrl");
const QString SMeskStoredPhoto::OriginalFileField = QStringLiteral("originalFile");

SMeskStoredPhoto SMeskStoredPhoto::read(IMediaItemStorage* storage, mid_t id, bool* ok)
{
    SMeskStoredPhoto photo;
    if (ok)
        *ok = true;
    if (!storage)
        return photo;
    QHash<QString, QString> fields;
    storage->mediaItemFields(id, fields, ok);
    photo.photoUrl = fields.value(PhotoUrlField);
    photo.thumbnailUrl = fields.value(ThumbnailUrlField);
    photo.thumbnailFile = fields.value(ThumbnailFileField);
    photo.originalUrl = fields.value(OriginalUrlField);
    photo.originalFile = fields.value(OriginalFileField);
    return photo;
}

namespace MeskStoredItem {

bool load(IMediaItemStorage* storage, mid_t id, int type, SMediaItem& item, const char* className,
          const char* typeName)
{
    const QString prefix = QLatin1String(className) + QStringLiteral(": ");
    if (!storage || !storage->mediaItem(id, item)) {
        qDebug().noquote() << prefix + QStringLiteral("failed to load item from storage");
        return false;
    }
    if (item.type != type) {
        qDebug().noquote() << prefix +
                                  QStringLiteral(
                                      "item type check failed while loading from storage, must be ") +
                                  QLatin1String(typeName);
        return false;
    }
    return true;
}

} // namespace MeskStoredItem
