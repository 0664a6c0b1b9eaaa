#pragma once

#include "facebookrecords.h"
#include "meskhttpresponse.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// The wire form of the Facebook REST interface and of its desktop login.
//
// Formats the MD5-signed GET URL of every REST call, the login page address and
// reads the login callback into a session; checks each answer and hands its body
// to the parsers. It sends nothing itself.
//
// Threads: formatting and the login operations belong to the GUI thread and set
// lastError(). The answer check and the parse operations are const, touch no
// member and hand their code to the caller, so call objects may run them on the
// HTTP worker thread while the GUI thread formats the next request.
//
// Addresses: the REST and web addresses default to the service's hosts. The
// environment variable LUMESK_FACEBOOK_URL (read at construction) points both at
// one base such as http://127.0.0.1:8080; the setters override each one.
class CFacebookApi
{
public:
    // Codes of lastError() and of the parse operations.
    enum Error
    {
        NoError = 0,
        ServiceUnavailable = 2, // the service's own codes, kept unchanged
        RequestLimit = 4,
        ActionLimit = 9,
        PermissionDenied = 10,
        InvalidApiKey = 101,
        InvalidSession = 102,
        LoginRefused = 103,   // the user refused the login
        NotConfigured = 104,  // a request was begun without key or session
        GeneralFailure = 105, // every other failure
    };

    CFacebookApi();

    // Session state.
    void setApiKey(const QString& key);
    // Empty strings clear the session.
    void setSession(const QString& sessionKey, const QString& sessionSecret, const QString& uid);
    QString apiKey() const { return m_apiKey; }
    QString sessionKey() const { return m_sessionKey; }
    QString sessionSecret() const { return m_sessionSecret; }
    QString uid() const { return m_uid; }
    // The code of the last formatter or login operation (GUI thread only).
    int lastError() const { return m_lastError; }
    bool hasApiKey() const { return !m_apiKey.isEmpty(); }
    bool hasSession() const { return !m_sessionKey.isEmpty() && !m_sessionSecret.isEmpty(); }
    bool isReady() const { return hasApiKey() && hasSession(); }

    // Base addresses ("http://host" or "http://host:port", no trailing slash).
    QString restBaseUrl() const { return m_restBase; }
    QString webBaseUrl() const { return m_webBase; }
    void setRestBaseUrl(const QString& base);
    void setWebBaseUrl(const QString& base);
    // The pages the login lands on.
    QString loginSuccessUrl() const;
    QString loginFailureUrl() const;

    // Request building. Each returns false and leaves url untouched when the key
    // or the session is missing (lastError() 104); otherwise writes the signed URL.
    // Ids are percent-encoded here; free text (message, comment) must come
    // percent-encoded from the caller and is put in unchanged.
    bool formatUsersGetInfo(QString& url, const QString& uids);
    bool formatPhotosGet(QString& url, const QString& pids);
    bool formatStreamGet(QString& url);
    bool formatEventPhotosQuery(QString& url, const QString& aid, const QString& pid, const QString& created);
    bool formatAddLike(QString& url, const QString& postId);
    bool formatRemoveLike(QString& url, const QString& postId);
    bool formatGetComments(QString& url, const QString& postId);
    bool formatNotificationsGet(QString& url);
    bool formatMessageThreads(QString& url);
    bool formatStreamPublish(QString& url, const QString& message);
    bool formatAddComment(QString& url, const QString& postId, const QString& comment);

    // Answer handling, safe on any thread. Each returns true on success; on
    // failure false with the code in error (the service's kept code, or 105).
    // error is 0 after success.
    bool checkResponse(const SMeskHttpResponseHeader& header, const QByteArray& body, int& error) const;
    bool parseUsersGetInfo(const SMeskHttpResponseHeader& header, const QByteArray& body, SFacebookUser& user,
                           int& error) const;
    bool parsePhotosGet(const SMeskHttpResponseHeader& header, const QByteArray& body,
                        SFacebookPhotoInfo& photo, int& error) const;
    bool parseStreamGet(const SMeskHttpResponseHeader& header, const QByteArray& body,
                        QList<SFacebookStreamPost>& posts, QList<SFacebookUser>& users, int& error) const;
    bool parseEventPhotosQuery(const SMeskHttpResponseHeader& header, const QByteArray& body,
                               QList<SFacebookPhotoInfo>& photos, int& error) const;
    bool parseAddLike(const SMeskHttpResponseHeader& header, const QByteArray& body, int& error) const;
    bool parseRemoveLike(const SMeskHttpResponseHeader& header, const QByteArray& body, int& error) const;
    bool parseGetComments(const SMeskHttpResponseHeader& header, const QByteArray& body,
                          QList<SFacebookComment>& comments, int& error) const;
    bool parseNotificationsGet(const SMeskHttpResponseHeader& header, const QByteArray& body,
                               SFacebookNotifications& notifications, int& error) const;
    bool parseMessageThreads(const SMeskHttpResponseHeader& header, const QByteArray& body,
                             QList<SFacebookMessage>& messages, int& error) const;
    bool parseStreamPublish(const SMeskHttpResponseHeader& header, const QByteArray& body, QString& postId,
                            int& error) const;
    bool parseAddComment(const SMeskHttpResponseHeader& header, const QByteArray& body, QString& commentId,
                         int& error) const;

    // Login.
    // The login page address; needs the key only.
    bool authorizationUrl(QString& url);
    // Reads the page the login landed on. On success writes the three outputs and
    // returns true; on failure leaves them untouched and sets 103 (login refused)
    // or 105.
    bool parseCallbackUrl(const QString& callbackUrl, QString& sessionKey, QString& sessionSecret,
                          QString& uid);
    // Reads a text such as session={"session_key":"..","uid":1,"expires":0,"secret":".."}.
    // The outputs are written only when it returns true.
    static bool parseSession(const QString& text, QString& sessionKey, QString& sessionSecret, QString& uid);

    // Mappings.
    // The media id under which a friend request is stored.
    static QString friendRequestId(const QString& uid);
    // photo 0, video 1, link 2, anything else 3.
    static int mediaType(const SFacebookMedia& media);
    // raw 0, html 1, anything else 2.
    static int videoType(const SFacebookMedia& media);
    // photo 0, video 1, link 2, album 3, event 4; otherwise the first medium's
    // type when that is 0..2, else 5.
    static int attachmentType(const SFacebookAttachment& attachment);

private:
    bool beginRequest(bool needSession);
    void addParam(const QString& name, const QString& value);
    void formatRequest(const QString& method, QString& url);

    int m_lastError = NoError;
    QString m_apiKey;
    QString m_sessionKey;
    QString m_sessionSecret;
    QString m_uid;
    QStringList m_params;
    QString m_restBase;
    QString m_webBase;
};
