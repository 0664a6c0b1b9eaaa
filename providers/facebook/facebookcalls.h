#pragma once

#include "facebookrecords.h"
#include "meskservicecall.h"

#include <QList>
#include <QString>

class CFacebookApi;

// Base of the Facebook REST call objects.
//
// A call formats its signed URL with the shared CFacebookApi on the GUI thread,
// sends it as one GET, and parses the answer on the pool thread with one of the
// API's const parse operations. The code that parse hands back is kept in the
// object itself (m_parseError), so a failed call reports its own error and never
// the code of another call running at the same time; errorCode() maps it.
//
// request() of every call refuses (see CMeskServiceCall), returning false, when
// the object is busy (logged "<Class>: failed to create http request", before
// anything is stored or cleared), when the URL cannot be formatted ("<Class>:
// failed to format http request"), and when the pool does not take the GET.
class CFacebookHttpMethod : public CMeskServiceCall
{
    Q_OBJECT
public:
    CFacebookHttpMethod(CFacebookApi* api, QObject* parent);
    ~CFacebookHttpMethod() override;

    CFacebookApi* api() const { return m_api; }

    // CFacebookApi::Error → TMediaError.
    static TMediaError mapError(int apiError);

protected:
    // Maps the code of this object's last parse.
    TMediaError errorCode() const override;

    // The code of this object's own parse: written by parseResponse() on the pool
    // thread, read on the object's thread once the completion has arrived.
    int m_parseError = 0;

    // For request(): refuse with "<Class>: failed to format http request" or
    // "<Class>: failed to create http request".
    bool refuseFormat();
    bool refuseCreate();
    // Starts the GET; refuses as refuseCreate() when the pool does not take it.
    bool send(const QString& url);

private:
    CFacebookApi* m_api;
};

// The call objects of the Facebook REST methods the provider uses.
//
// Each sends one signed GET per request() and, on the object's thread, emits its
// result signal, or protocolError(code) followed by protocolError() for an answer
// that was not accepted, or networkError(error) for a transport failure
// (CFacebookEventPhotos reports only through its own two signals).
//
// Threads: parseResponse() writes the result fields on the pool thread; they are
// read on the object's thread once the completion has arrived. The object is ready
// again before its result signal goes out, so a slot may start the next request on
// it: emitResult() hands the signal copies of the fields, which that request may
// clear and rewrite meanwhile.
//
// Every class calls cancel() first in its destructor: deleting a busy call waits for
// a parse of its request that is running and reports nothing of it.

class CFacebookUserInfo : public CFacebookHttpMethod
{
    Q_OBJECT
public:
    CFacebookUserInfo(CFacebookApi* api, QObject* parent = nullptr);
    ~CFacebookUserInfo() override;

    // users.getInfo for one user id (or a comma-separated list; the first user is reported).
    bool request(const QString& uids);

signals:
    void userInfoReady(const SFacebookUser& user);

protected:
    bool parseResponse(const SMeskHttpResponseHeader& header, const QByteArray& body) override;
    void emitResult() override;

private:
    SFacebookUser m_user;
};

// stream.publish of a status text.
class CFacebookUpdate : public CFacebookHttpMethod
{
    Q_OBJECT
public:
    CFacebookUpdate(CFacebookApi* api, QObject* parent = nullptr);
    ~CFacebookUpdate() override;

    // message comes percent-encoded.
    bool request(const QString& message);

signals:
    // The id of the new post.
    void updatePosted(const QString& postId);

protected:
    bool parseResponse(const SMeskHttpResponseHeader& header, const QByteArray& body) override;
    void emitResult() override;

private:
    QString m_postId;
};

// The photos of one album from a photo and a time on, as one FQL query, reported
// under the id of the event they belong to. It ends every accepted request with
// exactly one of eventPhotos() or eventPhotosFailed(), and nothing else: an
// answer that was not accepted and a transport failure are both
// eventPhotosFailed(). A request that cannot be formatted gives
// eventPhotosFailed() too; one that cannot be started, protocolError(1).
class CFacebookEventPhotos : public CFacebookHttpMethod
{
    Q_OBJECT
public:
    CFacebookEventPhotos(CFacebookApi* api, QObject* parent = nullptr);
    ~CFacebookEventPhotos() override;

    bool request(const QString& eventId, const QString& aid, const QString& pid, const QString& created);

    QString eventId() const { return m_eventId; }

signals:
    void eventPhotos(const QString& eventId, const QList<SFacebookPhotoInfo>& photos);
    void eventPhotosFailed(const QString& eventId);

public slots:
    void onTaskDone() override;
    void onTaskFailed(TMeskHttpError error) override;

protected:
    bool parseResponse(const SMeskHttpResponseHeader& header, const QByteArray& body) override;

private:
    QString m_eventId;
    bool m_parsed = false; // written by parseResponse() on the pool thread
    QList<SFacebookPhotoInfo> m_photos;
};

// The unread messages of the inbox threads.
class CFacebookMessages : public CFacebookHttpMethod
{
    Q_OBJECT
public:
    CFacebookMessages(CFacebookApi* api, QObject* parent = nullptr);
    ~CFacebookMessages() override;

    bool request();

signals:
    void messages(const QList<SFacebookMessage>& messages);

protected:
    bool parseResponse(const SMeskHttpResponseHeader& header, const QByteArray& body) override;
    void emitResult() override;

private:
    QList<SFacebookMessage> m_messages;
};

// notifications.get. Only the friend requests are cleared before a request: an
// answer without the unread counts keeps the counts of the answer before.
class CFacebookNotifications : public CFacebookHttpMethod
{
    Q_OBJECT
public:
    CFacebookNotifications(CFacebookApi* api, QObject* parent = nullptr);
    ~CFacebookNotifications() override;

    bool request();

signals:
    void notifications(const SFacebookNotifications& notifications);

protected:
    bool parseResponse(const SMeskHttpResponseHeader& header, const QByteArray& body) override;
    void emitResult() override;

private:
    SFacebookNotifications m_notifications;
};

// stream.get: the posts of the news feed and the profiles they name.
class CFacebookStreamEvents : public CFacebookHttpMethod
{
    Q_OBJECT
public:
    CFacebookStreamEvents(CFacebookApi* api, QObject* parent = nullptr);
    ~CFacebookStreamEvents() override;

    bool request();

signals:
    void streamPosts(const QList<SFacebookStreamPost>& posts, const QList<SFacebookUser>& users);

protected:
    bool parseResponse(const SMeskHttpResponseHeader& header, const QByteArray& body) override;
    void emitResult() override;

private:
    QList<SFacebookStreamPost> m_posts;
    QList<SFacebookUser> m_users;
};

// The comments of one post. Reports at most the last 10 of the answer, the last
// one first (the newest first, as the service lists them oldest first).
class CFacebookEventComments : public CFacebookHttpMethod
{
    Q_OBJECT
public:
    static constexpr int MaxComments = 10;

    CFacebookEventComments(CFacebookApi* api, QObject* parent = nullptr);
    ~CFacebookEventComments() override;

    bool request(const QString& postId);

signals:
    void eventComments(const QList<SFacebookComment>& comments);

protected:
    bool parseResponse(const SMeskHttpResponseHeader& header, const QByteArray& body) override;
    void emitResult() override;

private:
    QList<SFacebookComment> m_comments;
};

class CFacebookAddLike : public CFacebookHttpMethod
{
    Q_OBJECT
public:
    CFacebookAddLike(CFacebookApi* api, QObject* parent = nullptr);
    ~CFacebookAddLike() override;

    bool request(const QString& postId);

signals:
    void likeAdded(const QString& postId);

protected:
    bool parseResponse(const SMeskHttpResponseHeader& header, const QByteArray& body) override;
    void emitResult() override;

private:
    QString m_postId;
};

class CFacebookRemoveLike : public CFacebookHttpMethod
{
    Q_OBJECT
public:
    CFacebookRemoveLike(CFacebookApi* api, QObject* parent = nullptr);
    ~CFacebookRemoveLike() override;

    bool request(const QString& postId);

signals:
    void likeRemoved(const QString& postId);

protected:
    bool parseResponse(const SMeskHttpResponseHeader& header, const QByteArray& body) override;
    void emitResult() override;

private:
    QString m_postId;
};

// photos.get of one photo (or a comma-separated list; the first photo is reported).
class CFacebookPhotoInfo : public CFacebookHttpMethod
{
    Q_OBJECT
public:
    CFacebookPhotoInfo(CFacebookApi* api, QObject* parent = nullptr);
    ~CFacebookPhotoInfo() override;

    bool request(const QString& pids);

signals:
    void photoInfoReady(const SFacebookPhotoInfo& photo);

protected:
    bool parseResponse(const SMeskHttpResponseHeader& header, const QByteArray& body) override;
    void emitResult() override;

private:
    SFacebookPhotoInfo m_photo;
};
