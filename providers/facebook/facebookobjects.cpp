#include "facebookobjects.h"

#include "facebookapi.h"
#include "facebookitems.h"
#include "imediaitemstorage.h"
#include "mediastoragebatch.h"

#include <QDebug>
#include <QPointer>

#include <utility>

namespace {

void log(const char* text)
{
    qDebug().noquote() << QLatin1String(text);
}

bool matchesKind(const SMediaItem& item, CFacebookObjectManager::Kind kind)
{
    using Kind = CFacebookObjectManager::Kind;
    switch (kind) {
    case Kind::Post:
        return item.type >= MeskItemType::Event1 && item.type <= MeskItemType::Event4 &&
               item.extra1 == FacebookEventKind::post();
    case Kind::FriendRequest:
        return item.extra1 == FacebookEventKind::friendRequest();
    case Kind::Message:
        return item.extra1 == FacebookEventKind::message();
    case Kind::Photo:
        return item.type == MeskItemType::Image;
    case Kind::Comment:
        return item.type == FacebookItemType::Comment;
    case Kind::CalendarEvent:
        return item.type == FacebookItemType::CalendarEvent;
    }
    return false;
}

template <typename T> void releaseAll(QHash<mid_t, T*>& cache)
{
    const QHash<mid_t, T*> objects = std::exchange(cache, {});
    for (T* object : objects)
        object->deleteLater();
}

} // namespace

CFacebookObjectManager::CFacebookObjectManager(CFacebookApi* api, mid_t providerId, QObject* parent)
    : QObject(parent), m_api(api), m_providerId(providerId)
{
}

CFacebookObjectManager::~CFacebookObjectManager()
{
    qDeleteAll(std::exchange(m_users, {}));
    qDeleteAll(std::exchange(m_events, {}));
    qDeleteAll(std::exchange(m_photos, {}));
    qDeleteAll(std::exchange(m_videos, {}));
    qDeleteAll(std::exchange(m_links, {}));
    qDeleteAll(std::exchange(m_comments, {}));
    qDeleteAll(std::exchange(m_calendarEvents, {}));
}

void CFacebookObjectManager::setStorage(IMediaItemStorage* storage)
{
    m_storage = storage;
}

void CFacebookObjectManager::clear()
{
    m_span.forget();
    releaseAll(m_users);
    releaseAll(m_events);
    releaseAll(m_photos);
    releaseAll(m_videos);
    releaseAll(m_links);
    releaseAll(m_comments);
    releaseAll(m_calendarEvents);
}

template <typename T, typename Load>
T* CFacebookObjectManager::cached(QHash<mid_t, T*>& cache, mid_t id, Load load)
{
    if (T* object = cache.value(id))
        return object;
    if (!id || !m_storage)
        return nullptr;
    T* object = load(m_api, m_storage, id, this);
    if (object) {
        cache.insert(id, object);
        // A row of a batch that rolls back may be handed out again: its object goes with it.
        m_span.onDiscard([&cache, id, object] {
            if (cache.value(id) != object)
                return;
            cache.remove(id);
            object->deleteLater();
        });
    }
    return object;
}

CFacebookUser* CFacebookObjectManager::user(mid_t id)
{
    return cached(m_users, id, CFacebookUser::load);
}

CFacebookEvent* CFacebookObjectManager::event(mid_t id)
{
    return cached(m_events, id, CFacebookEvent::load);
}

CFacebookPhoto* CFacebookObjectManager::photo(mid_t id)
{
    return cached(m_photos, id, CFacebookPhoto::load);
}

CFacebookVideo* CFacebookObjectManager::video(mid_t id)
{
    return cached(m_videos, id, CFacebookVideo::load);
}

CFacebookLink* CFacebookObjectManager::link(mid_t id)
{
    return cached(m_links, id, CFacebookLink::load);
}

CFacebookComment* CFacebookObjectManager::comment(mid_t id)
{
    return cached(m_comments, id, CFacebookComment::load);
}

CFacebookCalendarEvent* CFacebookObjectManager::calendarEvent(mid_t id)
{
    return cached(m_calendarEvents, id, CFacebookCalendarEvent::load);
}

mid_t CFacebookObjectManager::findItem(const QString& mediaId, Kind kind, bool* ok)
{
    if (ok)
        *ok = true;
    if (mediaId.isEmpty() || !m_storage)
        return 0;
    const QList<SMediaItem> items = m_storage->itemByMediaId(m_providerId, mediaId, ok);
    if (ok && !*ok)
        log("CFacebookObjectManager: the stored items cannot be read");
    for (const SMediaItem& item : items) {
        if (matchesKind(item, kind))
            return item.id;
    }
    return 0;
}

CFacebookEvent* CFacebookObjectManager::eventByMediaId(const QString& postId)
{
    const mid_t id = findItem(postId, Kind::Post);
    return id ? event(id) : nullptr;
}

CFacebookComment* CFacebookObjectManager::commentByMediaId(const QString& commentId)
{
    const mid_t id = findItem(commentId, Kind::Comment);
    return id ? comment(id) : nullptr;
}

CFacebookUser* CFacebookObjectManager::findUserByMediaId(const QString& uid, bool* ok)
{
    if (ok)
        *ok = true;
    if (uid.isEmpty() || !m_storage)
        return nullptr;
    const QList<SServiceUser> users = m_storage->serviceUserByMediaId(m_providerId, uid, ok);
    if (ok && !*ok)
        log("CFacebookObjectManager: the stored users cannot be read");
    return users.isEmpty() ? nullptr : user(users.constFirst().id);
}

bool CFacebookObjectManager::existsByMediaId(const QString& mediaId, Kind kind)
{
    return findItem(mediaId, kind) != 0;
}

CFacebookEvent* CFacebookObjectManager::addPost(const SFacebookStreamPost& post, mid_t userId)
{
    if (post.postId.isEmpty()) {
        log("CFacebookObjectManager: post without an id ignored");
        return nullptr;
    }
    bool read = false;
    if (const mid_t id = findItem(post.postId, Kind::Post, &read))
        return event(id);
    // A look-up that failed must not store a second copy.
    if (!read)
        return nullptr;
    return event(CFacebookEvent::addPost(m_api, m_storage, post, m_providerId, userId));
}

CFacebookEvent* CFacebookObjectManager::addFriendRequest(const QString& uid, mid_t userId)
{
    if (uid.isEmpty()) {
        log("CFacebookObjectManager: friend request without a user id ignored");
        return nullptr;
    }
    bool read = false;
    if (const mid_t id = findItem(CFacebookApi::friendRequestId(uid), Kind::FriendRequest, &read))
        return event(id);
    // A look-up that failed must not store a second copy.
    if (!read)
        return nullptr;
    return event(CFacebookEvent::addFriendRequest(m_storage, uid, m_providerId, userId));
}

CFacebookEvent* CFacebookObjectManager::addMessage(const SFacebookMessage& message, mid_t userId)
{
    if (message.messageId.isEmpty()) {
        log("CFacebookObjectManager: message without an id ignored");
        return nullptr;
    }
    bool read = false;
    if (const mid_t id = findItem(message.messageId, Kind::Message, &read))
        return event(id);
    // A look-up that failed must not store a second copy.
    if (!read)
        return nullptr;
    return event(CFacebookEvent::addMessage(m_storage, message, m_providerId, userId));
}

CFacebookEvent* CFacebookObjectManager::addStatus(const QString& postId, const QString& text, mid_t userId)
{
    if (postId.isEmpty()) {
        log("CFacebookObjectManager: status without an id ignored");
        return nullptr;
    }
    bool read = false;
    if (const mid_t id = findItem(postId, Kind::Post, &read))
        return event(id);
    // A look-up that failed must not store a second copy.
    if (!read)
        return nullptr;
    return event(CFacebookEvent::addStatus(m_storage, postId, text, m_providerId, userId));
}

CFacebookPhoto* CFacebookObjectManager::photoFromMedia(const SFacebookMedia& media, mid_t userId)
{
    bool read = false;
    if (const mid_t id = findItem(media.pid, Kind::Photo, &read))
        return photo(id);
    // A look-up that failed must not store a second copy.
    if (!read)
        return nullptr;
    return photo(CFacebookPhoto::createFromMedia(m_api, m_storage, media, m_providerId, userId));
}

CFacebookPhoto* CFacebookObjectManager::photoFromInfo(const SFacebookPhotoInfo& info, mid_t userId)
{
    bool read = false;
    if (const mid_t id = findItem(info.pid, Kind::Photo, &read))
        return photo(id);
    // A look-up that failed must not store a second copy.
    if (!read)
        return nullptr;
    return photo(CFacebookPhoto::createFromPhotoInfo(m_api, m_storage, info, m_providerId, userId));
}

CFacebookVideo* CFacebookObjectManager::addVideo(const SFacebookStreamPost& post, mid_t userId)
{
    return video(CFacebookVideo::create(m_api, m_storage, post, m_providerId, userId));
}

CFacebookLink* CFacebookObjectManager::addLink(const SFacebookLink& record, mid_t userId)
{
    return link(CFacebookLink::create(m_api, m_storage, record, m_providerId, userId));
}

CFacebookComment* CFacebookObjectManager::commentFromRecord(const SFacebookComment& record, mid_t userId)
{
    if (record.id.isEmpty()) {
        log("CFacebookObjectManager: comment without an id ignored");
        return nullptr;
    }
    bool read = false;
    if (const mid_t id = findItem(record.id, Kind::Comment, &read))
        return comment(id);
    // A look-up that failed must not store a second copy.
    if (!read)
        return nullptr;
    return comment(CFacebookComment::create(m_api, m_storage, record, m_providerId, userId));
}

CFacebookCalendarEvent* CFacebookObjectManager::addCalendarEvent(const SFacebookStreamPost& post,
                                                                 mid_t userId)
{
    bool read = false;
    if (const mid_t id = findItem(post.attachment.fbObjectId, Kind::CalendarEvent, &read))
        return calendarEvent(id);
    // A look-up that failed must not store a second copy.
    if (!read)
        return nullptr;
    return calendarEvent(CFacebookCalendarEvent::create(m_api, m_storage, post, m_providerId, userId));
}

void CFacebookObjectManager::noteNewUser(mid_t id)
{
    m_span.announce([this, id] { emit userAdded(id); });
}

CFacebookUser* CFacebookObjectManager::userByMediaId(const QString& uid)
{
    if (uid.isEmpty()) {
        log("CFacebookObjectManager: user without an id ignored");
        return nullptr;
    }
    bool read = false;
    if (CFacebookUser* found = findUserByMediaId(uid, &read))
        return found;
    if (!read)
        return nullptr;
    const mid_t id = CFacebookUser::addBareUser(m_storage, uid, m_providerId);
    CFacebookUser* made = user(id);
    if (made)
        noteNewUser(id);
    return made;
}

CFacebookUser* CFacebookObjectManager::addUser(const SFacebookUser& info, bool markContact)
{
    if (info.uid.isEmpty()) {
        log("CFacebookObjectManager: user without an id ignored");
        return nullptr;
    }
    bool read = false;
    if (CFacebookUser* found = findUserByMediaId(info.uid, &read))
        return found;
    if (!read)
        return nullptr;
    const mid_t id = CFacebookUser::addUser(m_storage, info, m_providerId);
    CFacebookUser* made = user(id);
    if (!made)
        return nullptr;
    if (markContact)
        made->markAsContact();
    noteNewUser(id);
    return made;
}

void CFacebookObjectManager::addComments(CFacebookEvent* event, const QList<SFacebookComment>& comments)
{
    for (const SFacebookComment& record : comments)
        addComment(event, record);
}

bool CFacebookObjectManager::addComment(CFacebookEvent* event, const SFacebookComment& record)
{
    if (!event || record.id.isEmpty() || existsByMediaId(record.id, Kind::Comment))
        return false;
    CFacebookUser* author = userByMediaId(record.fromId);
    if (!author) {
        log("CFacebookObjectManager: failed to add user, comment ignored");
        return false;
    }
    CFacebookComment* stored = commentFromRecord(record, author->serviceUser().id);
    return stored && event->attachComment(stored);
}

void CFacebookObjectManager::deleteComments(const QList<SMediaItem>& comments)
{
    for (const SMediaItem& row : comments) {
        if (CFacebookComment* object = m_comments.take(row.id))
            object->deleteLater();
        if (m_storage)
            m_storage->deleteMediaItem(row.id);
    }
}

void CFacebookObjectManager::syncComments(CFacebookEvent* event, const QList<SFacebookComment>& comments)
{
    if (!event || !m_storage)
        return;
    QHash<QString, SFacebookComment> fetched;
    for (const SFacebookComment& record : comments)
        fetched.insert(record.id, record);
    QList<SMediaItem> gone;
    // Comments that cannot be read are not none: nothing is added or deleted.
    bool read = false;
    const QList<SMediaItem> stored = event->comments(&read);
    if (!read)
        return;
    for (const SMediaItem& row : stored) {
        if (fetched.contains(row.mediaId))
            fetched.remove(row.mediaId);
        else
            gone.append(row);
    }
    if (fetched.isEmpty() && gone.isEmpty())
        return;

    // The new comments in the order fetched.
    QList<SFacebookComment> added;
    for (const SFacebookComment& record : comments) {
        if (fetched.contains(record.id))
            added.append(record);
    }

    QPointer<CFacebookEvent> guard(event);
    beginNew();
    bool ok = false;
    {
        CMediaStorageBatch batch(m_storage);
        addComments(event, added);
        for (const SMediaItem& row : std::as_const(gone))
            m_storage->deleteMediaItem(row.id);
        event->setCommentsCount(event->commentsCount());
        ok = batch.end();
    }
    if (!ok) {
        discardNew();
        return;
    }
    acceptNew();
    // The rows are gone for good: their objects go too.
    for (const SMediaItem& row : std::as_const(gone)) {
        if (CFacebookComment* object = m_comments.take(row.id))
            object->deleteLater();
    }
    if (guard)
        emit guard->updated();
}

void CFacebookObjectManager::beginNew()
{
    m_span.begin();
}

void CFacebookObjectManager::acceptNew()
{
    m_span.accept();
}

void CFacebookObjectManager::discardNew()
{
    m_span.discard();
}
