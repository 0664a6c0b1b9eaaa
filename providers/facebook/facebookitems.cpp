#include "facebookitems.h"

#include "facebookapi.h"
#include "facebookcalls.h"
#include "facebookposter.h"
#include "imediaitemstorage.h"
#include "mediastoragebatch.h"
#include "meskclock.h"
#include "meskdownload.h"
#include "meskhttpmethod.h"
#include "meskpictures.h"
#include "meskstoredphoto.h"
#include "style/quorimages.h"

#include <QDebug>
#include <QHash>
#include <QImageReader>
#include <QPointer>
#include <QRegularExpression>

namespace {

void log(const QString& message)
{
    qDebug().noquote() << message;
}

void log(const char* text)
{
    qDebug().noquote() << QLatin1String(text);
}

} // namespace

// ---------------------------------------------------------------------------------------------
// CFacebookUser

namespace {

mid_t addRow(IMediaItemStorage* storage, SServiceUser& user)
{
    if (storage) {
        CMediaStorageBatch batch(storage);
        const bool added = storage->addServiceUser(user);
        if (batch.end() && added)
            return user.id;
    }
    log(QStringLiteral("CFacebookUser: failed to add new user to storage"));
    return 0;
}

bool isPicture(const QString& file)
{
    QImageReader reader(file);
    reader.setDecideFormatFromContent(true);
    return reader.canRead();
}

} // namespace

CFacebookUser::CFacebookUser(CFacebookApi* api, IMediaItemStorage* storage, QObject* owner)
    : IMediaUser(owner), m_api(api), m_storage(storage)
{
}

CFacebookUser::~CFacebookUser()
{
    // The calls go before the members their slots use.
    delete m_userInfoCall;
    delete m_avatarCall;
}

CFacebookUser* CFacebookUser::load(CFacebookApi* api, IMediaItemStorage* storage, mid_t id, QObject* owner)
{
    auto* user = new CFacebookUser(api, storage, owner);
    if (!storage || !storage->serviceUser(id, user->m_user)) {
        log(QStringLiteral("CFacebookUser: failed to load user from storage"));
        delete user;
        return nullptr;
    }
    return user;
}

mid_t CFacebookUser::addUser(IMediaItemStorage* storage, const SFacebookUser& info, mid_t provider)
{
    SServiceUser user;
    user.provider = provider;
    user.mediaId = info.uid;
    user.name = info.name;
    user.url = info.profileUrl;
    user.avatar = info.picSquare;
    user.type = Unclassified;
    return addRow(storage, user);
}

mid_t CFacebookUser::addBareUser(IMediaItemStorage* storage, const QString& uid, mid_t provider)
{
    SServiceUser user;
    user.provider = provider;
    user.mediaId = uid;
    user.type = Unclassified;
    return addRow(storage, user);
}

QPixmap CFacebookUser::defaultAvatar() const
{
    return QuorImages::pixmap(QStringLiteral(":/images/facebook/facebook_default_profile_avatar.png"));
}

void CFacebookUser::updateAvatar()
{
    if (!m_user.avatar.isEmpty())
        startAvatarDownload();
    else if (m_user.name.isEmpty())
        requestUserInfo();
    else
        emit avatarUpdateFailed();
}

QPixmap CFacebookUser::avatar() const
{
    return m_avatarPictures.normal(m_user.avatarFile);
}

QPixmap CFacebookUser::smallAvatar() const
{
    return m_avatarPictures.small(m_user.avatarFile);
}

void CFacebookUser::updateFromInfo(const SFacebookUser& info)
{
    if (info.uid != m_user.mediaId)
        return;
    bool changed = false;
    bool newPicture = false;
    if (info.name != m_user.name) {
        m_user.name = info.name;
        changed = true;
    }
    if (info.picSquare != m_user.avatar) {
        changed = true;
        newPicture = true;
    }
    takeAvatarUrl(info.picSquare);
    if (changed && writeRow("CFacebookUser: failed to update user"))
        emit userInfoUpdated();
    if (newPicture)
        updateAvatar();
}

void CFacebookUser::markAsOwner()
{
    if (m_user.type == Owner)
        return;
    const qint32 before = m_user.type;
    m_user.type = Owner;
    if (!writeRow("CFacebookUser: failed to update user"))
        m_user.type = before;
}

void CFacebookUser::markAsContact()
{
    if (m_user.type == Owner || m_user.type == Contact)
        return;
    const qint32 before = m_user.type;
    m_user.type = Contact;
    if (!writeRow("CFacebookUser: failed to update user"))
        m_user.type = before;
}

void CFacebookUser::takeAvatarUrl(const QString& url)
{
    if (url == m_failedUrl)
        m_failedUrl.clear();
    if (url == m_user.avatar && !m_user.avatarFile.isEmpty())
        return;
    m_user.avatar = url;
    m_user.avatarFile = m_storage ? m_storage->userImagePath(m_user.id, url) : QString();
}

bool CFacebookUser::writeRow(const char* failure)
{
    if (m_storage) {
        CMediaStorageBatch batch(m_storage);
        const bool written = m_storage->updateServiceUser(m_user);
        if (batch.end() && written)
            return true;
    }
    log(QLatin1String(failure));
    return false;
}

void CFacebookUser::requestUserInfo()
{
    if (m_userInfoCall && !m_userInfoCall->isReady())
        return; // the running call ends in a signal
    // A slot of the old call's failure may be what got us here: never delete it at once.
    if (m_userInfoCall)
        m_userInfoCall->deleteLater();
    m_userInfoCall = new CFacebookUserInfo(m_api, this);
    connect(m_userInfoCall, &CFacebookUserInfo::userInfoReady, this, &CFacebookUser::_onUserInfoReady);
    connect(m_userInfoCall, qOverload<>(&CMeskHttpMethod::protocolError), this,
            &CFacebookUser::_onUserInfoFailed);
    connect(m_userInfoCall, &CMeskHttpMethod::networkError, this, &CFacebookUser::_onUserInfoFailed);
    if (!m_userInfoCall->request(m_user.mediaId)) {
        // Told here once; the refusal's own signals would tell it again.
        disconnect(m_userInfoCall, nullptr, this, nullptr);
        emit avatarUpdateFailed();
    }
}

void CFacebookUser::_onUserInfoReady(const SFacebookUser& info)
{
    if (m_userInfoCall) {
        m_userInfoCall->deleteLater();
        m_userInfoCall = nullptr;
    }
    m_user.name = info.name;
    m_user.url = info.profileUrl;
    takeAvatarUrl(info.picSquare);
    writeRow("CFacebookUser: failed to store updated user");
    emit userInfoUpdated();
    startAvatarDownload();
}

void CFacebookUser::_onUserInfoFailed()
{
    emit avatarUpdateFailed();
}

void CFacebookUser::startAvatarDownload()
{
    if (m_user.avatar.isEmpty() || m_user.avatar == m_failedUrl) {
        emit avatarUpdateFailed();
        return;
    }
    if (MeskDownload::isBusy(m_avatarCall) || MeskDownload::isBusy(m_userInfoCall))
        return; // the running work ends in a signal
    m_downloadUrl = m_user.avatar;
    if (MeskDownload::start(this, m_avatarCall, m_downloadUrl, m_user.avatarFile,
                            &CFacebookUser::_onAvatarLoaded,
                            &CFacebookUser::_onAvatarFailed) != TMeskDownloadStart::Started)
        emit avatarUpdateFailed();
}

void CFacebookUser::_onAvatarLoaded()
{
    if (!m_avatarCall)
        return;
    const bool downloaded = MeskDownload::finish(m_avatarCall, this);
    const QString url = m_downloadUrl;
    m_downloadUrl.clear();
    const QPointer<CFacebookUser> alive(this);
    if (!downloaded || !isPicture(m_user.avatarFile)) {
        if (url == m_user.avatar)
            m_failedUrl = url;
        emit avatarUpdateFailed();
    } else {
        m_avatarPictures.clear();
        emit avatarUpdated();
    }
    if (!alive)
        return;
    // The address changed while the old picture was on its way: fetch the new one.
    if (url != m_user.avatar && !m_user.avatar.isEmpty())
        startAvatarDownload();
}

void CFacebookUser::_onAvatarFailed()
{
    if (m_downloadUrl == m_user.avatar)
        m_failedUrl = m_downloadUrl;
    m_downloadUrl.clear();
    emit avatarUpdateFailed();
}

// ---------------------------------------------------------------------------------------------
// CFacebookEvent

namespace {

const QString kLikeCount = QStringLiteral("likeCount");
const QString kCommentsCount = QStringLiteral("commentsCount");
const QString kUserLikes = QStringLiteral("userLikes");
const QString kEventType = QStringLiteral("eventType");

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

QList<SMediaItem> childrenOf(IMediaItemStorage* storage, mid_t id, bool comments, bool* ok = nullptr)
{
    QList<SMediaItem> result;
    if (ok)
        *ok = true;
    if (!storage)
        return result;
    const QList<SMediaItem> children = storage->childItems(id, ok);
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
    // Fields that cannot be read are no empty fields: the event is not loaded.
    if (!event->reloadFields()) {
        delete event;
        return nullptr;
    }
    return event;
}

bool CFacebookEvent::reloadFields()
{
    QHash<QString, QString> fields;
    bool read = true;
    if (m_storage)
        m_storage->mediaItemFields(m_item.id, fields, &read);
    if (!read)
        return false;
    m_likeCount = number(fields.value(kLikeCount));
    m_commentsCount = number(fields.value(kCommentsCount));
    m_userLikes = number(fields.value(kUserLikes)) != 0;
    m_eventType = number(fields.value(kEventType));
    return true;
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

QList<SMediaItem> CFacebookEvent::comments(bool* ok) const
{
    return childrenOf(m_storage, m_item.id, true, ok);
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

// ---------------------------------------------------------------------------------------------
// The media: photos, videos and links

namespace {

const QString& kPhotoUrl = SMeskStoredPhoto::PhotoUrlField;
const QString& kThumbnailUrl = SMeskStoredPhoto::ThumbnailUrlField;
const QString& kThumbnailFile = SMeskStoredPhoto::ThumbnailFileField;
const QString& kOriginalUrl = SMeskStoredPhoto::OriginalUrlField;
const QString& kOriginalFile = SMeskStoredPhoto::OriginalFileField;
const QString kPageUrl = QStringLiteral("pageUrl");
const QString kVideoType = QStringLiteral("videoType");
const QString kLinkName = QStringLiteral("linkName");
const QString kLinkCaption = QStringLiteral("linkCaption");
const QString kPictureSuffix = QStringLiteral("jpg");
const QString kVideoSuffix = QStringLiteral("mp4");

using Start = TMeskDownloadStart;
SMediaItem newItem(mid_t provider, mid_t user, int type)
{
    SMediaItem item;
    item.provider = provider;
    item.user = user;
    item.parent = 0;
    item.type = type;
    return item;
}

mid_t addFailed(const char* className)
{
    log(QLatin1String(className) + QStringLiteral(": failed to add new item to storage"));
    return 0;
}

} // namespace

QString facebookFileSuffix(const QString& url, const QString& fallback)
{
    static const QRegularExpression suffix(QStringLiteral("^[A-Za-z0-9]{1,3}$"));
    const qsizetype dot = url.lastIndexOf(QLatin1Char('.'));
    const QString part = dot < 0 ? url : url.mid(dot + 1);
    return suffix.match(part).hasMatch() ? part : fallback;
}

// ---------------------------------------------------------------------------------------------
// CFacebookPhoto

CFacebookPhoto::CFacebookPhoto(CFacebookApi* api, IMediaItemStorage* storage, QObject* owner)
    : IMediaImageItem(owner), m_api(api), m_storage(storage)
{
}

CFacebookPhoto::~CFacebookPhoto()
{
    // The calls go before the members their slots use.
    delete m_infoCall;
    delete m_thumbnailCall;
    delete m_originalCall;
}

CFacebookPhoto* CFacebookPhoto::load(CFacebookApi* api, IMediaItemStorage* storage, mid_t id, QObject* owner)
{
    auto* photo = new CFacebookPhoto(api, storage, owner);
    if (!MeskStoredItem::load(storage, id, MeskItemType::Image, photo->m_item, "CFacebookPhoto",
                              "eImageMediaItem")) {
        delete photo;
        return nullptr;
    }
    // Fields that cannot be read are no empty fields: the photo is not loaded.
    bool read = false;
    const SMeskStoredPhoto stored = SMeskStoredPhoto::read(storage, id, &read);
    if (!read) {
        delete photo;
        return nullptr;
    }
    photo->m_photoUrl = stored.photoUrl;
    photo->m_thumbnailUrl = stored.thumbnailUrl;
    photo->m_originalUrl = stored.originalUrl;
    photo->m_thumbnailFile = stored.thumbnailFile;
    photo->m_originalFile = stored.originalFile;
    return photo;
}

mid_t CFacebookPhoto::createFromMedia(CFacebookApi* api, IMediaItemStorage* storage,
                                      const SFacebookMedia& media, mid_t provider, mid_t user)
{
    Q_UNUSED(api)
    SMediaItem item = newItem(provider, user, MeskItemType::Image);
    item.created = facebookDateTime(media.created);
    item.mediaId = media.pid;
    item.content = media.alt;
    if (!storage)
        return addFailed("CFacebookPhoto");
    CMediaStorageBatch batch(storage);
    bool ok = storage->addMediaItem(item);
    if (ok) {
        // The full-size address is asked for by the first loadImage().
        storage->setMediaItemField(
            item.id,
            {{kPhotoUrl, media.href},
             {kThumbnailUrl, media.src},
             {kThumbnailFile, storage->itemFilePath(item, facebookFileSuffix(media.src, kPictureSuffix))}});
    }
    if (!batch.end() || !ok)
        return addFailed("CFacebookPhoto");
    return item.id;
}

mid_t CFacebookPhoto::createFromPhotoInfo(CFacebookApi* api, IMediaItemStorage* storage,
                                          const SFacebookPhotoInfo& info, mid_t provider, mid_t user)
{
    Q_UNUSED(api)
    SMediaItem item = newItem(provider, user, MeskItemType::Image);
    item.created = facebookDateTime(info.created);
    item.mediaId = info.pid;
    item.content = info.caption;
    if (!storage)
        return addFailed("CFacebookPhoto");
    CMediaStorageBatch batch(storage);
    bool ok = storage->addMediaItem(item);
    if (ok) {
        QHash<QString, QString> fields;
        if (!info.srcSmall.isEmpty()) {
            fields.insert(kThumbnailUrl, info.srcSmall);
            fields.insert(kThumbnailFile,
                          storage->itemFilePath(item, facebookFileSuffix(info.srcSmall, kPictureSuffix)));
        }
        fields.insert(kOriginalFile,
                      storage->mediaFilePath(item, facebookFileSuffix(info.srcBig, kPictureSuffix)));
        fields.insert(kOriginalUrl, info.srcBig);
        fields.insert(kPhotoUrl, info.link);
        storage->setMediaItemField(item.id, fields);
    }
    if (!batch.end() || !ok)
        return addFailed("CFacebookPhoto");
    return item.id;
}

bool CFacebookPhoto::setParent(mid_t parent)
{
    m_item.parent = parent;
    return m_storage && m_storage->updateMediaItem(m_item);
}

bool CFacebookPhoto::loadThumbnail()
{
    if (m_thumbnailUrl.isEmpty()) {
        m_thumbnailWanted = true;
        return requestPhotoInfo();
    }
    m_thumbnailWanted = false;
    return startThumbnail() == Start::Started;
}

bool CFacebookPhoto::loadImage()
{
    if (m_originalUrl.isEmpty()) {
        m_imageWanted = true;
        return requestPhotoInfo();
    }
    m_imageWanted = false;
    return startOriginal() == Start::Started;
}

TMeskDownloadStart CFacebookPhoto::startThumbnail()
{
    return MeskDownload::start(this, m_thumbnailCall, m_thumbnailUrl, m_thumbnailFile,
                               &CFacebookPhoto::_onThumbnailLoaded, &CFacebookPhoto::thumbnailDownloadFailed);
}

TMeskDownloadStart CFacebookPhoto::startOriginal()
{
    return MeskDownload::start(this, m_originalCall, m_originalUrl, m_originalFile,
                               &CFacebookPhoto::_onOriginalLoaded, &CFacebookPhoto::imageDownloadFailed);
}

bool CFacebookPhoto::requestPhotoInfo()
{
    if (m_infoCall && !m_infoCall->isReady())
        return false; // the running call serves the wish too
    if (!m_storage) {
        m_thumbnailWanted = false;
        m_imageWanted = false;
        return false;
    }
    if (m_infoCall)
        m_infoCall->deleteLater();
    m_infoCall = new CFacebookPhotoInfo(m_api, this);
    connect(m_infoCall, &CFacebookPhotoInfo::photoInfoReady, this, &CFacebookPhoto::_onPhotoInfo);
    connect(m_infoCall, qOverload<>(&CMeskHttpMethod::protocolError), this,
            &CFacebookPhoto::_onPhotoInfoFailed);
    connect(m_infoCall, &CMeskHttpMethod::networkError, this, &CFacebookPhoto::_onPhotoInfoFailed);
    if (m_infoCall->request(m_item.mediaId))
        return true;
    // The caller hears of the refusal from the result; its queued signals must not end a later wish.
    disconnect(m_infoCall, nullptr, this, nullptr);
    // Nothing runs that could serve a wish.
    m_thumbnailWanted = false;
    m_imageWanted = false;
    return false;
}

void CFacebookPhoto::_onPhotoInfo(const SFacebookPhotoInfo& info)
{
    if (m_infoCall) {
        m_infoCall->deleteLater();
        m_infoCall = nullptr;
    }
    // An address the answer lacks keeps the one known; a new one gets a file of its own.
    if (!info.srcSmall.isEmpty() &&
        (m_thumbnailUrl.isEmpty() || m_thumbnailFile.isEmpty() || m_thumbnailUrl != info.srcSmall)) {
        m_thumbnailUrl = info.srcSmall;
        m_thumbnailFile = m_storage->itemFilePath(m_item, facebookFileSuffix(m_thumbnailUrl, kPictureSuffix));
    }
    if (!info.srcBig.isEmpty() &&
        (m_originalUrl.isEmpty() || m_originalFile.isEmpty() || m_originalUrl != info.srcBig)) {
        m_originalUrl = info.srcBig;
        m_originalFile = m_storage->mediaFilePath(m_item, facebookFileSuffix(m_originalUrl, kPictureSuffix));
    }
    if (!info.link.isEmpty())
        m_photoUrl = info.link;
    {
        CMediaStorageBatch batch(m_storage);
        m_storage->setMediaItemField(m_item.id, {{kPhotoUrl, m_photoUrl},
                                                 {kThumbnailUrl, m_thumbnailUrl},
                                                 {kThumbnailFile, m_thumbnailFile},
                                                 {kOriginalUrl, m_originalUrl},
                                                 {kOriginalFile, m_originalFile}});
        if (!batch.end())
            log(QStringLiteral("CFacebookPhoto: failed to store photo info"));
    }

    // A wish that cannot be served now ends in its failure signal; one served by a
    // download already running ends with that download.
    const bool imageWanted = m_imageWanted;
    const bool thumbnailWanted = m_thumbnailWanted;
    m_imageWanted = false;
    m_thumbnailWanted = false;
    const Start image = imageWanted ? startOriginal() : Start::Busy;
    const Start thumbnail = thumbnailWanted ? startThumbnail() : Start::Busy;
    const QPointer<CFacebookPhoto> alive(this); // a slot may delete the photo
    if (image == Start::Refused)
        emit imageDownloadFailed();
    if (alive && thumbnail == Start::Refused)
        emit thumbnailDownloadFailed();
}

void CFacebookPhoto::_onPhotoInfoFailed()
{
    const bool imageWanted = m_imageWanted;
    const bool thumbnailWanted = m_thumbnailWanted;
    m_imageWanted = false;
    m_thumbnailWanted = false;
    const QPointer<CFacebookPhoto> alive(this); // a slot may delete the photo
    if (thumbnailWanted)
        emit thumbnailDownloadFailed();
    if (alive && imageWanted)
        emit imageDownloadFailed();
}

void CFacebookPhoto::_onThumbnailLoaded()
{
    if (MeskDownload::finish(m_thumbnailCall, this))
        emit thumbnailDownloadDone();
    else
        emit thumbnailDownloadFailed();
}

void CFacebookPhoto::_onOriginalLoaded()
{
    if (MeskDownload::finish(m_originalCall, this))
        emit imageDownloadDone();
    else
        emit imageDownloadFailed();
}

// ---------------------------------------------------------------------------------------------
// CFacebookVideo

CFacebookVideo::CFacebookVideo(CFacebookApi* api, IMediaItemStorage* storage, QObject* owner)
    : IMediaVideoItem(owner), m_api(api), m_storage(storage)
{
}

CFacebookVideo::~CFacebookVideo()
{
    delete m_thumbnailCall;
    delete m_videoCall;
}

CFacebookVideo* CFacebookVideo::load(CFacebookApi* api, IMediaItemStorage* storage, mid_t id, QObject* owner)
{
    auto* video = new CFacebookVideo(api, storage, owner);
    if (!MeskStoredItem::load(storage, id, MeskItemType::Video, video->m_item, "CFacebookVideo",
                              "eVideoMediaItem")) {
        delete video;
        return nullptr;
    }
    QHash<QString, QString> fields;
    bool read = false;
    storage->mediaItemFields(id, fields, &read);
    if (!read) {
        delete video;
        return nullptr;
    }
    video->m_pageUrl = fields.value(kPageUrl);
    video->m_thumbnailUrl = fields.value(kThumbnailUrl);
    video->m_videoUrl = fields.value(kOriginalUrl);
    video->m_thumbnailFile = fields.value(kThumbnailFile);
    video->m_videoFile = fields.value(kOriginalFile);
    video->m_videoKind = fields.value(kVideoType).toInt();
    return video;
}

mid_t CFacebookVideo::create(CFacebookApi* api, IMediaItemStorage* storage, const SFacebookStreamPost& post,
                             mid_t provider, mid_t user)
{
    Q_UNUSED(api)
    SMediaItem item = newItem(provider, user, MeskItemType::Video);
    item.created = facebookDateTime(post.createdTime);
    item.content = post.attachment.name;
    if (post.attachment.media.isEmpty()) {
        log(QStringLiteral("CFacebookVideo: failed to create video object without media attachment"));
        return 0;
    }
    const SFacebookMedia& medium = post.attachment.media.constFirst();
    if (!storage)
        return addFailed("CFacebookVideo");
    CMediaStorageBatch batch(storage);
    bool ok = storage->addMediaItem(item);
    if (ok) {
        const int kind = CFacebookApi::videoType(medium) == 1 ? FlashVideo : PlayFile;
        storage->setMediaItemField(
            item.id,
            {{kPageUrl, medium.href},
             {kOriginalUrl, medium.sourceUrl},
             {kOriginalFile,
              storage->mediaFilePath(item, facebookFileSuffix(medium.sourceUrl, kVideoSuffix))},
             {kThumbnailUrl, medium.src},
             {kThumbnailFile, storage->itemFilePath(item, facebookFileSuffix(medium.src, kPictureSuffix))},
             {kVideoType, QString::number(kind)}});
    }
    if (!batch.end() || !ok)
        return addFailed("CFacebookVideo");
    return item.id;
}

bool CFacebookVideo::setParent(mid_t parent)
{
    m_item.parent = parent;
    return m_storage && m_storage->updateMediaItem(m_item);
}

bool CFacebookVideo::loadThumbnail()
{
    return MeskDownload::start(this, m_thumbnailCall, m_thumbnailUrl, m_thumbnailFile,
                               &CFacebookVideo::_onThumbnailLoaded,
                               &CFacebookVideo::thumbnailDownloadFailed) == Start::Started;
}

bool CFacebookVideo::loadVideo()
{
    return MeskDownload::start(this, m_videoCall, m_videoUrl, m_videoFile, &CFacebookVideo::_onVideoLoaded,
                               &CFacebookVideo::downloadFailed) == Start::Started;
}

void CFacebookVideo::_onThumbnailLoaded()
{
    if (MeskDownload::finish(m_thumbnailCall, this))
        emit thumbnailDownloadDone();
    else
        emit thumbnailDownloadFailed();
}

void CFacebookVideo::_onVideoLoaded()
{
    if (MeskDownload::finish(m_videoCall, this))
        emit downloadDone();
    else
        emit downloadFailed();
}

// ---------------------------------------------------------------------------------------------
// CFacebookLink

CFacebookLink::CFacebookLink(CFacebookApi* api, IMediaItemStorage* storage, QObject* owner)
    : IMediaLinkItem(owner), m_api(api), m_storage(storage)
{
}

CFacebookLink::~CFacebookLink() = default;

CFacebookLink* CFacebookLink::load(CFacebookApi* api, IMediaItemStorage* storage, mid_t id, QObject* owner)
{
    auto* link = new CFacebookLink(api, storage, owner);
    if (!MeskStoredItem::load(storage, id, MeskItemType::Link, link->m_item, "CFacebookLink",
                              "eLinkMediaItem")) {
        delete link;
        return nullptr;
    }
    QHash<QString, QString> fields;
    bool read = false;
    storage->mediaItemFields(id, fields, &read);
    if (!read) {
        delete link;
        return nullptr;
    }
    link->m_name = fields.value(kLinkName);
    link->m_caption = fields.value(kLinkCaption);
    return link;
}

mid_t CFacebookLink::create(CFacebookApi* api, IMediaItemStorage* storage, const SFacebookLink& link,
                            mid_t provider, mid_t user)
{
    Q_UNUSED(api)
    SMediaItem item = newItem(provider, user, MeskItemType::Link);
    item.created = facebookDateTime(link.created);
    item.content = link.url;
    if (!storage)
        return addFailed("CFacebookLink");
    CMediaStorageBatch batch(storage);
    const bool ok = storage->addMediaItem(item, {{kLinkName, link.name}, {kLinkCaption, link.caption}});
    if (!batch.end() || !ok)
        return addFailed("CFacebookLink");
    return item.id;
}

bool CFacebookLink::setParent(mid_t parent)
{
    m_item.parent = parent;
    return m_storage && m_storage->updateMediaItem(m_item);
}

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

namespace {

const QString kEventName = QStringLiteral("eventName");
const QString kEventDescr = QStringLiteral("eventDescr");

} // namespace

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
    bool read = false;
    const QList<QPair<QString, QString>> fields = storage->mediaItemFieldList(id, &read);
    if (!read) {
        delete event;
        return nullptr;
    }
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
