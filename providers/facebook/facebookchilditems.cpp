#include "facebookchilditems.h"

#include "imediaitemstorage.h"
#include "mediastoragebatch.h"
#include "meskclock.h"

#include <QDebug>

namespace {

const QString kEventName = QStringLiteral("eventName");
const QString kEventDescr = QStringLiteral("eventDescr");

void log(const QString& message)
{
    qDebug().noquote() << message;
}

} // namespace

// ---------------------------------------------------------------------------------------------
// CFacebookComment

CFacebookComment::CFacebookComment(CFacebookApi* api, IMediaItemStorage* storage, QObject* owner)
    : QObject(nullptr), m_api(api), m_storage(storage)
{
    Q_UNUSED(owner)
}

CFacebookComment::~CFacebookComment() = default;

CFacebookComment* CFacebookComment::load(CFacebookApi* api, IMediaItemStorage* storage, mid_t id,
                                         QObject* owner)
{
    auto* comment = new CFacebookComment(api, storage, owner);
    if (!storage || !storage->mediaItem(id, comment->m_item)) {
        log(QStringLiteral("CFacebookComment: failed to load item from storage"));
        delete comment;
        return nullptr;
    }
    if (comment->m_item.type != FacebookItemType::Comment) {
        log(QStringLiteral("CFacebookComment: item type check failed while loading from storage, must be "
                           "eTextCommentItem"));
        delete comment;
        return nullptr;
    }
    return comment;
}

mid_t CFacebookComment::store(IMediaItemStorage* storage, SMediaItem& item)
{
    item.parent = 0;
    item.type = FacebookItemType::Comment;
    if (storage) {
        CMediaStorageBatch batch(storage);
        const bool added = storage->addMediaItem(item);
        if (batch.end() && added)
            return item.id;
    }
    log(QStringLiteral("CFacebookComment: failed to add new item to storage"));
    return 0;
}

mid_t CFacebookComment::create(CFacebookApi* api, IMediaItemStorage* storage, const SFacebookComment& comment,
                               mid_t provider, mid_t user)
{
    Q_UNUSED(api)
    SMediaItem item;
    item.provider = provider;
    item.user = user;
    item.created = facebookDateTime(comment.time);
    item.content = comment.text;
    item.mediaId = comment.id;
    return store(storage, item);
}

mid_t CFacebookComment::createPosted(CFacebookApi* api, IMediaItemStorage* storage, const QString& commentId,
                                     const QString& text, mid_t provider, mid_t user)
{
    Q_UNUSED(api)
    SMediaItem item;
    item.provider = provider;
    item.user = user;
    item.created = MeskClock::now();
    item.content = text;
    item.mediaId = commentId;
    return store(storage, item);
}

bool CFacebookComment::setParent(mid_t parent)
{
    m_item.parent = parent;
    return m_storage && m_storage->updateMediaItem(m_item);
}

// ---------------------------------------------------------------------------------------------
// CFacebookCalendarEvent

CFacebookCalendarEvent::CFacebookCalendarEvent(CFacebookApi* api, IMediaItemStorage* storage, QObject* owner)
    : QObject(nullptr), m_api(api), m_storage(storage)
{
    Q_UNUSED(owner)
}

CFacebookCalendarEvent::~CFacebookCalendarEvent() = default;

CFacebookCalendarEvent* CFacebookCalendarEvent::load(CFacebookApi* api, IMediaItemStorage* storage, mid_t id,
                                                     QObject* owner)
{
    auto* event = new CFacebookCalendarEvent(api, storage, owner);
    if (!storage || !storage->mediaItem(id, event->m_item)) {
        log(QStringLiteral("CFacebookCalendarEvent: failed to load item from storage"));
        delete event;
        return nullptr;
    }
    if (event->m_item.type != FacebookItemType::CalendarEvent) {
        log(QStringLiteral(
            "CFacebookCalendarEvent: item type check failed while loading from storage, must be "
            "eCalendarEventItem"));
        delete event;
        return nullptr;
    }
    // The fields in the order they were stored: the properties as the service listed them.
    const QList<QPair<QString, QString>> fields = storage->mediaItemFieldList(id);
    for (const auto& field : fields) {
        if (field.first == kEventName)
            event->m_name = field.second;
        else if (field.first == kEventDescr)
            event->m_description = field.second;
        else
            event->m_properties.append({field.first, field.second});
    }
    return event;
}

mid_t CFacebookCalendarEvent::create(CFacebookApi* api, IMediaItemStorage* storage,
                                     const SFacebookStreamPost& post, mid_t provider, mid_t user)
{
    Q_UNUSED(api)
    const SFacebookAttachment& attachment = post.attachment;
    SMediaItem item;
    item.provider = provider;
    item.user = user;
    item.parent = 0;
    item.type = FacebookItemType::CalendarEvent;
    item.created = facebookDateTime(post.createdTime);
    item.content = attachment.href;
    item.mediaId = attachment.fbObjectId;
    if (storage) {
        CMediaStorageBatch batch(storage);
        const bool added = storage->addMediaItem(item);
        if (added) {
            // One write per property keeps the service's order in the stored rows; a repeated
            // name updates its row in place. Name and description come last and win.
            for (const SFacebookProperty& property : attachment.properties) {
                if (property.name != kEventName && property.name != kEventDescr)
                    storage->setMediaItemField(item.id, {{property.name, property.text}});
            }
            storage->setMediaItemField(item.id, {{kEventName, attachment.name}});
            storage->setMediaItemField(item.id, {{kEventDescr, attachment.description}});
        }
        if (batch.end() && added)
            return item.id;
    }
    log(QStringLiteral("CFacebookCalendarEvent: failed to add new item to storage"));
    return 0;
}

bool CFacebookCalendarEvent::setParent(mid_t parent)
{
    m_item.parent = parent;
    return m_storage && m_storage->updateMediaItem(m_item);
}
