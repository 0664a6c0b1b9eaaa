#include "facebookcalls.h"

#include "facebookapi.h"

#include <QDebug>

// ---------------------------------------------------------------------------------------------
// CFacebookHttpMethod

CFacebookHttpMethod::CFacebookHttpMethod(CFacebookApi* api, QObject* parent)
    : CMeskServiceCall(parent), m_api(api)
{
}

CFacebookHttpMethod::~CFacebookHttpMethod() = default;

TMediaError CFacebookHttpMethod::mapError(int apiError)
{
    switch (apiError) {
    case CFacebookApi::NoError:
        return MediaErrorNone;
    case CFacebookApi::ServiceUnavailable:
        return MediaErrorServiceUnavailable;
    case CFacebookApi::RequestLimit:
    case CFacebookApi::ActionLimit:
        return MediaErrorRequestRefused;
    case CFacebookApi::PermissionDenied:
        return MediaErrorPermissionDenied;
    case CFacebookApi::InvalidApiKey:
    case CFacebookApi::InvalidSession:
    case CFacebookApi::LoginRefused:
        return MediaErrorAuthorization;
    default:
        return MediaErrorGeneral;
    }
}

TMediaError CFacebookHttpMethod::errorCode() const
{
    return mapError(m_parseError);
}

bool CFacebookHttpMethod::refuseFormat()
{
    return refuse(failureLine("format"));
}

bool CFacebookHttpMethod::refuseCreate()
{
    return refuse(failureLine("create"));
}

bool CFacebookHttpMethod::send(const QString& url)
{
    // The object is ready, so no parse of an earlier request is running.
    m_parseError = CFacebookApi::NoError;
    return sendGet(url, failureLine("create"));
}

// Every request() follows one pattern: refuse a busy object before touching
// anything, store what the result repeats, format, clear the result fields, send.

// ---------------------------------------------------------------------------------------------
// CFacebookUserInfo

CFacebookUserInfo::CFacebookUserInfo(CFacebookApi* api, QObject* parent) : CFacebookHttpMethod(api, parent) {}

CFacebookUserInfo::~CFacebookUserInfo()
{
    cancel();
}

bool CFacebookUserInfo::request(const QString& uids)
{
    if (!isReady())
        return refuseCreate();
    QString url;
    if (!api() || !api()->formatUsersGetInfo(url, uids))
        return refuseFormat();
    return send(url);
}

bool CFacebookUserInfo::parseResponse(const SMeskHttpResponseHeader& header, const QByteArray& body)
{
    return api()->parseUsersGetInfo(header, body, m_user, m_parseError);
}

void CFacebookUserInfo::emitResult()
{
    const SFacebookUser user = m_user;
    emit userInfoReady(user);
}

// ---------------------------------------------------------------------------------------------
// CFacebookUpdate

CFacebookUpdate::CFacebookUpdate(CFacebookApi* api, QObject* parent) : CFacebookHttpMethod(api, parent) {}

CFacebookUpdate::~CFacebookUpdate()
{
    cancel();
}

bool CFacebookUpdate::request(const QString& message)
{
    if (!isReady())
        return refuseCreate();
    QString url;
    if (!api() || !api()->formatStreamPublish(url, message))
        return refuseFormat();
    m_postId.clear();
    return send(url);
}

bool CFacebookUpdate::parseResponse(const SMeskHttpResponseHeader& header, const QByteArray& body)
{
    return api()->parseStreamPublish(header, body, m_postId, m_parseError);
}

void CFacebookUpdate::emitResult()
{
    const QString postId = m_postId;
    emit updatePosted(postId);
}

// ---------------------------------------------------------------------------------------------
// CFacebookEventPhotos

CFacebookEventPhotos::CFacebookEventPhotos(CFacebookApi* api, QObject* parent)
    : CFacebookHttpMethod(api, parent)
{
}

CFacebookEventPhotos::~CFacebookEventPhotos()
{
    cancel();
}

bool CFacebookEventPhotos::request(const QString& eventId, const QString& aid, const QString& pid,
                                   const QString& created)
{
    if (!isReady())
        return refuseCreate();
    m_eventId = eventId;
    QString url;
    if (!api() || !api()->formatEventPhotosQuery(url, aid, pid, created)) {
        qDebug().noquote() << failureLine("format");
        emit eventPhotosFailed(eventId);
        return false;
    }
    m_photos.clear();
    m_parsed = false;
    return send(url);
}

bool CFacebookEventPhotos::parseResponse(const SMeskHttpResponseHeader& header, const QByteArray& body)
{
    m_parsed = api()->parseEventPhotosQuery(header, body, m_photos, m_parseError);
    return m_parsed;
}

void CFacebookEventPhotos::onTaskDone()
{
    const QString eventId = m_eventId;
    const bool parsed = m_parsed;
    const QList<SFacebookPhotoInfo> photos = m_photos;
    // Ready again, without the base's own signals.
    cancel();
    if (parsed)
        emit eventPhotos(eventId, photos);
    else
        emit eventPhotosFailed(eventId);
}

void CFacebookEventPhotos::onTaskFailed(TMeskHttpError error)
{
    Q_UNUSED(error);
    const QString eventId = m_eventId;
    cancel();
    emit eventPhotosFailed(eventId);
}

// ---------------------------------------------------------------------------------------------
// CFacebookMessages

CFacebookMessages::CFacebookMessages(CFacebookApi* api, QObject* parent) : CFacebookHttpMethod(api, parent) {}

CFacebookMessages::~CFacebookMessages()
{
    cancel();
}

bool CFacebookMessages::request()
{
    if (!isReady())
        return refuseCreate();
    QString url;
    if (!api() || !api()->formatMessageThreads(url))
        return refuseFormat();
    m_messages.clear();
    return send(url);
}

bool CFacebookMessages::parseResponse(const SMeskHttpResponseHeader& header, const QByteArray& body)
{
    return api()->parseMessageThreads(header, body, m_messages, m_parseError);
}

void CFacebookMessages::emitResult()
{
    const QList<SFacebookMessage> list = m_messages;
    emit messages(list);
}

// ---------------------------------------------------------------------------------------------
// CFacebookNotifications

CFacebookNotifications::CFacebookNotifications(CFacebookApi* api, QObject* parent)
    : CFacebookHttpMethod(api, parent)
{
}

CFacebookNotifications::~CFacebookNotifications()
{
    cancel();
}

bool CFacebookNotifications::request()
{
    if (!isReady())
        return refuseCreate();
    QString url;
    if (!api() || !api()->formatNotificationsGet(url))
        return refuseFormat();
    m_notifications.friendRequests.clear();
    return send(url);
}

bool CFacebookNotifications::parseResponse(const SMeskHttpResponseHeader& header, const QByteArray& body)
{
    return api()->parseNotificationsGet(header, body, m_notifications, m_parseError);
}

void CFacebookNotifications::emitResult()
{
    const SFacebookNotifications result = m_notifications;
    emit notifications(result);
}

// ---------------------------------------------------------------------------------------------
// CFacebookStreamEvents

CFacebookStreamEvents::CFacebookStreamEvents(CFacebookApi* api, QObject* parent)
    : CFacebookHttpMethod(api, parent)
{
}

CFacebookStreamEvents::~CFacebookStreamEvents()
{
    cancel();
}

bool CFacebookStreamEvents::request()
{
    if (!isReady())
        return refuseCreate();
    QString url;
    if (!api() || !api()->formatStreamGet(url))
        return refuseFormat();
    m_posts.clear();
    m_users.clear();
    return send(url);
}

bool CFacebookStreamEvents::parseResponse(const SMeskHttpResponseHeader& header, const QByteArray& body)
{
    return api()->parseStreamGet(header, body, m_posts, m_users, m_parseError);
}

void CFacebookStreamEvents::emitResult()
{
    const QList<SFacebookStreamPost> posts = m_posts;
    const QList<SFacebookUser> users = m_users;
    emit streamPosts(posts, users);
}

// ---------------------------------------------------------------------------------------------
// CFacebookEventComments

CFacebookEventComments::CFacebookEventComments(CFacebookApi* api, QObject* parent)
    : CFacebookHttpMethod(api, parent)
{
}

CFacebookEventComments::~CFacebookEventComments()
{
    cancel();
}

bool CFacebookEventComments::request(const QString& postId)
{
    if (!isReady())
        return refuseCreate();
    QString url;
    if (!api() || !api()->formatGetComments(url, postId))
        return refuseFormat();
    m_comments.clear();
    return send(url);
}

bool CFacebookEventComments::parseResponse(const SMeskHttpResponseHeader& header, const QByteArray& body)
{
    return api()->parseGetComments(header, body, m_comments, m_parseError);
}

void CFacebookEventComments::emitResult()
{
    QList<SFacebookComment> latest;
    for (qsizetype i = m_comments.size() - 1; i >= 0 && latest.size() < MaxComments; --i)
        latest.append(m_comments.at(i));
    emit eventComments(latest);
}

// ---------------------------------------------------------------------------------------------
// CFacebookAddLike

CFacebookAddLike::CFacebookAddLike(CFacebookApi* api, QObject* parent) : CFacebookHttpMethod(api, parent) {}

CFacebookAddLike::~CFacebookAddLike()
{
    cancel();
}

bool CFacebookAddLike::request(const QString& postId)
{
    if (!isReady())
        return refuseCreate();
    m_postId = postId;
    QString url;
    if (!api() || !api()->formatAddLike(url, postId))
        return refuseFormat();
    return send(url);
}

bool CFacebookAddLike::parseResponse(const SMeskHttpResponseHeader& header, const QByteArray& body)
{
    return api()->parseAddLike(header, body, m_parseError);
}

void CFacebookAddLike::emitResult()
{
    const QString postId = m_postId;
    emit likeAdded(postId);
}

// ---------------------------------------------------------------------------------------------
// CFacebookRemoveLike

CFacebookRemoveLike::CFacebookRemoveLike(CFacebookApi* api, QObject* parent)
    : CFacebookHttpMethod(api, parent)
{
}

CFacebookRemoveLike::~CFacebookRemoveLike()
{
    cancel();
}

bool CFacebookRemoveLike::request(const QString& postId)
{
    if (!isReady())
        return refuseCreate();
    m_postId = postId;
    QString url;
    if (!api() || !api()->formatRemoveLike(url, postId))
        return refuseFormat();
    return send(url);
}

bool CFacebookRemoveLike::parseResponse(const SMeskHttpResponseHeader& header, const QByteArray& body)
{
    return api()->parseRemoveLike(header, body, m_parseError);
}

void CFacebookRemoveLike::emitResult()
{
    const QString postId = m_postId;
    emit likeRemoved(postId);
}

// ---------------------------------------------------------------------------------------------
// CFacebookPhotoInfo

CFacebookPhotoInfo::CFacebookPhotoInfo(CFacebookApi* api, QObject* parent) : CFacebookHttpMethod(api, parent)
{
}

CFacebookPhotoInfo::~CFacebookPhotoInfo()
{
    cancel();
}

bool CFacebookPhotoInfo::request(const QString& pids)
{
    if (!isReady())
        return refuseCreate();
    QString url;
    if (!api() || !api()->formatPhotosGet(url, pids))
        return refuseFormat();
    return send(url);
}

bool CFacebookPhotoInfo::parseResponse(const SMeskHttpResponseHeader& header, const QByteArray& body)
{
    return api()->parsePhotosGet(header, body, m_photo, m_parseError);
}

void CFacebookPhotoInfo::emitResult()
{
    const SFacebookPhotoInfo photo = m_photo;
    emit photoInfoReady(photo);
}
