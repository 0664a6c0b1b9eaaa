#include "facebookevent.h"

#include "facebookapi.h"
#include "facebookcalls.h"
#include "facebookchilditems.h"
#include "facebookitems.h"
#include "facebookposter.h"
#include "imediaitemstorage.h"
#include "mediastoragebatch.h"
#include "meskclock.h"

#include <QDebug>

namespace {

const QString kLikeCount = QStringLiteral("likeCount");
const QString kCommentsCount = QStringLiteral("commentsCount");
const QString kUserLikes = QStringLiteral("userLikes");
const QString kEventType = QStringLiteral("eventType");

void log(const char* text)
{
    qDebug().noquote() << QLatin1String(text);
}

// The attachment kinds of CFacebookApi::attachmentType.
enum AttachmentKind
{
    KindPhoto = 0,
    KindVideo = 1,
    KindLink = 2,
    KindAlbum = 3,
    KindEvent = 4
};

int number(const QString& text)
{
    return text.trimmed().toInt();
}

// Attaches a child object under an event row.
template <typename T> bool attachChild(T* child, mid_t parent, const char* failure)
{
    if (!child)
        return false;
    if (child->mediaItem().parent != 0) {
        log(failure);
        return false;
    }
    return child->setParent(parent);
}

QList<SMediaItem> childrenOf(IMediaItemStorage* storage, mid_t id, bool comments)
{
    QList<SMediaItem> result;
    if (!storage)
        return result;
    const QList<SMediaItem> children = storage->childItems(id);
    for (const SMediaItem& child : children) {
        const bool isComment = child.type == FacebookItemType::Comment;
        const bool isMedia = child.type == MeskItemType::Image || child.type == MeskItemType::Video ||
                             child.type == MeskItemType::Link ||
                             child.type == FacebookItemType::CalendarEvent;
        if (comments ? isComment : isMedia)
            result.append(child);
    }
    return result;
}

} // namespace

CFacebookEvent::CFacebookEvent(CFacebookApi* api, IMediaItemStorage* storage, QObject* owner)
    : IMediaEventItem(owner), m_api(api), m_storage(storage)
{
}

CFacebookEvent::~CFacebookEvent() = default;

int CFacebookEvent::postEventType(const SFacebookStreamPost& post, int* itemType)
{
    int eventType = FacebookEventType::Plain;
    int type = MeskItemType::Event1;
    if (post.hasAttachment) {
        switch (CFacebookApi::attachmentType(post.attachment)) {
        case KindPhoto:
            eventType = FacebookEventType::Photo;
            type = MeskItemType::Event2;
            break;
        case KindAlbum:
            eventType = FacebookEventType::Album;
            type = MeskItemType::Event2;
            break;
        case KindLink:
            eventType = FacebookEventType::Link;
            type = MeskItemType::Event4;
            break;
        case KindEvent:
            eventType = FacebookEventType::CalendarEvent;
            break;
        case KindVideo:
            eventType = FacebookEventType::Video;
            type = MeskItemType::Event3;
            break;
        default:
            if (!post.attachment.name.isEmpty() && !post.attachment.href.isEmpty()) {
                eventType = FacebookEventType::Link;
                type = MeskItemType::Event4;
            }
            break;
        }
    }
    if (itemType)
        *itemType = type;
    return eventType;
}

mid_t CFacebookEvent::addRow(IMediaItemStorage* storage, SMediaItem& item,
                             const QHash<QString, QString>& fields)
{
    item.parent = 0;
    if (!storage || !storage->addMediaItem(item, fields)) {
        log("CFacebookEvent: failed to add new item to storage");
        return 0;
    }
    return item.id;
}

mid_t CFacebookEvent::addPost(CFacebookApi* api, IMediaItemStorage* storage, const SFacebookStreamPost& post,
                              mid_t provider, mid_t user)
{
    Q_UNUSED(api)
    SMediaItem item;
    item.provider = provider;
    item.user = user;
    item.created = facebookDateTime(post.createdTime);
    item.content = post.message;
    item.mediaId = post.postId;
    item.extra1 = FacebookEventKind::post();
    const int eventType = postEventType(post, &item.type);
    return addRow(storage, item,
                  {{kLikeCount, post.likesCount},
                   {kCommentsCount, post.commentsCount},
                   {kUserLikes, post.userLikes},
                   {kEventType, QString::number(eventType)}});
}

mid_t CFacebookEvent::addStatus(IMediaItemStorage* storage, const QString& postId, const QString& text,
                                mid_t provider, mid_t user)
{
    SMediaItem item;
    item.provider = provider;
    item.user = user;
    item.created = MeskClock::now();
    item.content = text;
    item.mediaId = postId;
    item.type = MeskItemType::Event1;
    item.extra1 = FacebookEventKind::post();
    return addRow(storage, item,
                  {{kLikeCount, QStringLiteral("0")},
                   {kCommentsCount, QStringLiteral("0")},
                   {kEventType, QString::number(FacebookEventType::Plain)}});
}

mid_t CFacebookEvent::addFriendRequest(IMediaItemStorage* storage, const QString& uid, mid_t provider,
                                       mid_t user)
{
    SMediaItem item;
    item.provider = provider;
    item.user = user;
    item.created = MeskClock::now();
    item.mediaId = CFacebookApi::friendRequestId(uid);
    item.type = MeskItemType::Event1;
    item.extra1 = FacebookEventKind::friendRequest();
    return addRow(storage, item,
                  {{kLikeCount, QStringLiteral("0")},
                   {kCommentsCount, QStringLiteral("0")},
                   {kEventType, QString::number(FacebookEventType::FriendRequest)}});
}

mid_t CFacebookEvent::addMessage(IMediaItemStorage* storage, const SFacebookMessage& message, mid_t provider,
                                 mid_t user)
{
    SMediaItem item;
    item.provider = provider;
    item.user = user;
    item.created = facebookDateTime(message.createdTime);
    item.content = message.body;
    item.mediaId = message.messageId;
    item.type = MeskItemType::Event1;
    item.extra1 = FacebookEventKind::message();
    return addRow(storage, item,
                  {{kLikeCount, QStringLiteral("0")},
                   {kCommentsCount, QStringLiteral("0")},
                   {kEventType, QString::number(FacebookEventType::Message)}});
}

CFacebookEvent* CFacebookEvent::load(CFacebookApi* api, IMediaItemStorage* storage, mid_t id, QObject* owner)
{
    auto* event = new CFacebookEvent(api, storage, owner);
    if (!storage || !storage->mediaItem(id, event->m_item)) {
        log("CFacebookEvent: failed to load item from storage");
        delete event;
        return nullptr;
    }
    if (event->m_item.type < MeskItemType::Event1 || event->m_item.type > MeskItemType::Event4) {
        log("CFacebookEvent: item type check failed while loading from storage, must be one of the event "
            "types");
        delete event;
        return nullptr;
    }
    event->reloadFields();
    return event;
}

void CFacebookEvent::reloadFields()
{
    QHash<QString, QString> fields;
    if (m_storage)
        m_storage->mediaItemFields(m_item.id, fields);
    m_likeCount = number(fields.value(kLikeCount));
    m_commentsCount = number(fields.value(kCommentsCount));
    m_userLikes = number(fields.value(kUserLikes)) != 0;
    m_eventType = number(fields.value(kEventType));
}

bool CFacebookEvent::applyCounts(const SFacebookStreamPost& post)
{
    bool changed = false;
    const int comments = number(post.commentsCount);
    if (comments != m_commentsCount) {
        setCommentsCount(comments);
        changed = true;
    }
    const int likes = number(post.likesCount);
    if (likes != m_likeCount) {
        setLikeCount(likes);
        changed = true;
    }
    return changed;
}

bool CFacebookEvent::update(const SFacebookStreamPost& post)
{
    const bool changed = applyCounts(post);
    if (changed)
        emit updated();
    return changed;
}

void CFacebookEvent::refreshCommentsCount(int count)
{
    setCommentsCount(count);
    emit updated();
}

void CFacebookEvent::setCommentsCount(int count)
{
    m_commentsCount = count;
    if (m_storage)
        m_storage->setMediaItemField(m_item.id, {{kCommentsCount, QString::number(count)}});
}

void CFacebookEvent::setLikeCount(int count)
{
    m_likeCount = count;
    if (m_storage)
        m_storage->setMediaItemField(m_item.id, {{kLikeCount, QString::number(count)}});
}

bool CFacebookEvent::attachPhoto(CFacebookPhoto* photo)
{
    return attachChild(photo, m_item.id, "CFacebookEvent: attachment already has a parent");
}

bool CFacebookEvent::attachVideo(CFacebookVideo* video)
{
    return attachChild(video, m_item.id, "CFacebookEvent: attachment already has a parent");
}

bool CFacebookEvent::attachLink(CFacebookLink* link)
{
    return attachChild(link, m_item.id, "CFacebookEvent: attachment already has a parent");
}

bool CFacebookEvent::attachCalendarEvent(CFacebookCalendarEvent* event)
{
    return attachChild(event, m_item.id, "CFacebookEvent: attachment already has a parent");
}

bool CFacebookEvent::attachComment(CFacebookComment* comment)
{
    if (!comment)
        return false;
    if (comment->mediaItem().parent != 0) {
        log("CFacebookEvent: comment already has a parent");
        return false;
    }
    if (!comment->setParent(m_item.id)) {
        log("CFacebookEvent: failed to set parent event for comment");
        return false;
    }
    return true;
}

QList<SMediaItem> CFacebookEvent::mediaObjects() const
{
    return childrenOf(m_storage, m_item.id, false);
}

QList<SMediaItem> CFacebookEvent::comments() const
{
    return childrenOf(m_storage, m_item.id, true);
}

bool CFacebookEvent::addLike()
{
    if (m_addLikeCall && !m_addLikeCall->isReady())
        return false;
    if (m_addLikeCall)
        m_addLikeCall->deleteLater();
    m_addLikeCall = new CFacebookAddLike(m_api, this);
    connect(m_addLikeCall, &CFacebookAddLike::likeAdded, this, &CFacebookEvent::_onLikeAdded);
    connect(m_addLikeCall, &CMeskHttpMethod::networkError, this, &CFacebookEvent::likeFailed);
    connect(m_addLikeCall, qOverload<>(&CMeskHttpMethod::protocolError), this, &CFacebookEvent::likeFailed);
    return m_addLikeCall->request(m_item.mediaId);
}

bool CFacebookEvent::removeLike()
{
    if (m_removeLikeCall && !m_removeLikeCall->isReady())
        return false;
    if (m_removeLikeCall)
        m_removeLikeCall->deleteLater();
    m_removeLikeCall = new CFacebookRemoveLike(m_api, this);
    connect(m_removeLikeCall, &CFacebookRemoveLike::likeRemoved, this, &CFacebookEvent::_onLikeRemoved);
    connect(m_removeLikeCall, &CMeskHttpMethod::networkError, this, &CFacebookEvent::likeFailed);
    connect(m_removeLikeCall, qOverload<>(&CMeskHttpMethod::protocolError), this,
            &CFacebookEvent::likeFailed);
    return m_removeLikeCall->request(m_item.mediaId);
}

void CFacebookEvent::likeDone(bool liked)
{
    m_userLikes = liked;
    m_likeCount = liked ? m_likeCount + 1 : qMax(0, m_likeCount - 1);
    if (m_storage) {
        m_storage->setMediaItemField(m_item.id,
                                     {{kLikeCount, QString::number(m_likeCount)},
                                      {kUserLikes, liked ? QStringLiteral("1") : QStringLiteral("0")}});
    }
}

void CFacebookEvent::_onLikeAdded()
{
    if (m_addLikeCall) {
        m_addLikeCall->deleteLater();
        m_addLikeCall = nullptr;
    }
    likeDone(true);
    emit likeAdded();
}

void CFacebookEvent::_onLikeRemoved()
{
    if (m_removeLikeCall) {
        m_removeLikeCall->deleteLater();
        m_removeLikeCall = nullptr;
    }
    likeDone(false);
    emit likeRemoved();
}

IMediaCommentPoster* CFacebookEvent::commentPoster(const QString& posterUserId)
{
    m_posterUserId = posterUserId;
    if (!m_commentPoster) {
        m_commentPoster = new CFacebookCommentPoster(m_api, m_item.mediaId, this);
        connect(m_commentPoster, &CFacebookCommentPoster::commentPosted, this,
                &CFacebookEvent::_onCommentPosted);
    }
    return m_commentPoster;
}

void CFacebookEvent::_onCommentPosted(const QString& postId, const QString& commentId, const QString& text)
{
    Q_UNUSED(postId)
    if (!m_storage)
        return;
    const QList<SServiceUser> users = m_posterUserId.isEmpty()
                                          ? QList<SServiceUser>()
                                          : m_storage->serviceUserByMediaId(m_item.provider, m_posterUserId);
    if (users.isEmpty()) {
        log("CFacebookEvent: failed to load posting user from database");
        return;
    }

    // The comment row, its parent and the new count go in together, and are told only
    // once they are stored.
    const int countBefore = m_commentsCount;
    bool stored = false;
    {
        CMediaStorageBatch batch(m_storage);
        const mid_t id = CFacebookComment::createPosted(m_api, m_storage, commentId, text, m_item.provider,
                                                        users.constFirst().id);
        SMediaItem row;
        if (id && m_storage->mediaItem(id, row)) {
            row.parent = m_item.id;
            if (m_storage->updateMediaItem(row)) {
                setCommentsCount(m_commentsCount + 1);
                stored = true;
            }
        }
        if (!batch.end())
            stored = false;
    }
    if (!stored) {
        m_commentsCount = countBefore;
        return;
    }
    emit commentAdded(commentId, text);
}
