#pragma once

#include "testhttp.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QMutex>
#include <QPair>
#include <QSet>
#include <QString>
#include <QStringList>

// A stand-in for the Flickr service, written as a handler over the local HTTP
// server's request and reply shapes and free of Qt Test, so tests and
// tools/fake-services can both mount it: server.setFallback(service.handler()),
// then point CFlickrApi at server.baseUrl() (LUMESK_FLICKR_URL does all three
// addresses at once).
//
// GET /services/rest/ is checked as the service checks it: api_key (100 "Invalid
// API Key"), api_sig = md5(secret + key1 + value1 + ...) over the percent-decoded
// pairs sorted by key, then value (97 "Missing signature", 96 "Invalid
// signature"), auth_token when sent (98 "Invalid auth token"), and a token for
// flickr.photos.getContactsPhotos (99 "Insufficient permissions"). Every refusal
// is <rsp stat="fail"><err code msg/></rsp> under status 200. An accepted request
// gets its answer from the store below, or what a test scripted for its method.
//
// Authorisation: flickr.auth.getFrob issues a fresh frob. The signed page
// /services/auth/?api_key&frob&perms&api_sig answers 302 to /services/auth/done
// on the same host, which authorises that frob and shows a small HTML page;
// authorizeFrob() does the same for tests. flickr.auth.getToken gives the token
// and the signed-in user for an authorised frob, 108 "Invalid frob" otherwise.
//
// Store: users and photos (seeded with the signed-in user and two contacts, each
// with photos). Every address it writes (picture sources, pages, the redirect)
// is on the request's Host.
//
// Pictures, drawn on request: /farm<n>/<server>/<id>_<secret>[_s|_t|_m].jpg,
// /farm<n>/<server>/<id>_<originalsecret>_o.<format>,
// /farm<n>/<server>/buddyicons/<nsid>.jpg and /images/buddyicon.jpg.
//
// The handler is safe to call from any thread.
class FakeFlickrService
{
public:
    // The application (its key and shared secret as the program is built with them) and the
    // account the stand-in knows unless told otherwise.
    static QString defaultApiKey() { return QStringLiteral(LUMESK_FLICKR_API_KEY); }
    static QString defaultSecret() { return QStringLiteral(LUMESK_FLICKR_SHARED_SECRET); }
    static QString defaultToken() { return QStringLiteral("72157000000000000-0123456789abcdef"); }
    static QString defaultUserId() { return QStringLiteral("12345678@N00"); }
    static QString defaultUserName() { return QStringLiteral("bob"); }

    struct User
    {
        QString nsid;
        QString userName;
        QString realName;
        QString iconServer; // "0": no icon of their own
        QString iconFarm;
        bool contact = false; // a contact of the signed-in user
    };

    struct Photo
    {
        QString id;
        QString owner; // nsid
        QString secret;
        QString server;
        QString farm;
        QString title;
        QString description;
        qint64 dateUpload = 0;
        QString originalSecret;
        QString originalFormat; // "jpg" or "png"
        int comments = 0;
        bool favorite = false;
    };

    // One recorded REST request.
    struct Request
    {
        QString method;                        // the "method" parameter
        QList<QPair<QString, QString>> params; // decoded, in wire order ("api_sig" included)
        int errorCode = 0;                     // the refusal sent; 0 when the checks passed

        QString param(const QString& name) const;
        bool hasParam(const QString& name) const;
    };

    // What one request gets. The local HTTP server applies the delay and the
    // dropped connection; the reply is what it sends otherwise.
    struct Outcome
    {
        TestHttpReply reply;
        int delayMs = 0;
        bool dropConnection = false;
    };

    FakeFlickrService();
    FakeFlickrService(const FakeFlickrService&) = delete;
    FakeFlickrService& operator=(const FakeFlickrService&) = delete;

    void setCredentials(const QString& apiKey, const QString& secret);
    void setToken(const QString& token);
    QString token() const;

    // The store.
    void addUser(const User& user);
    void addPhoto(const Photo& photo);
    // The photo is listed by no answer any more.
    void removePhoto(const QString& id);
    void clearStore(); // no users, no photos (the signed-in user's name stays for getToken)
    QList<User> users() const;
    QList<Photo> photos() const;

    // Authorises a frob as the confirmation page does; false for a frob never issued.
    bool authorizeFrob(const QString& frob);
    // The frobs issued so far, oldest first.
    QStringList issuedFrobs() const;

    // Handles one request.
    Outcome respond(const TestHttpRequest& request);
    // The reply alone, without the delay or the dropped connection.
    TestHttpReply handle(const TestHttpRequest& request) { return respond(request).reply; }
    // For the local HTTP server; the service must outlive it.
    TestHttpHandler handler()
    {
        return [this](const TestHttpRequest& request) {
            const Outcome outcome = respond(request);
            TestHttpReply reply = outcome.reply;
            reply.delayMs = outcome.delayMs;
            if (outcome.dropConnection)
                reply.action = TestHttpReply::Action::CloseWithoutAnswer;
            return reply;
        };
    }

    // Scripting, per REST method ("flickr.photos.search"), used once a request has
    // passed the checks. A script applies to the next `times` requests of that
    // method, or to all of them until cleared when times is -1; the scripts of one
    // method are used in the order given. (The network layer sends a request whose
    // connection was dropped once more: count with that in mind.)
    void scriptReply(const QString& method, int status, const QByteArray& body, int times = -1);
    // <rsp stat="fail"> with any code (and the service's message when none is given).
    void scriptError(const QString& method, int code, int status = 200, int times = -1,
                     const QString& message = {});
    void scriptEmpty(const QString& method, int status = 200, int times = -1);
    // The normal answer, late.
    void scriptDelay(const QString& method, int delayMs, int times = -1);
    void scriptDrop(const QString& method, int times = -1);
    // A picture path ("/farm2/1234/9_ab_s.jpg"): another status (with an empty
    // body) or, for 200, the picture late.
    void scriptPicture(const QString& path, int status, int delayMs = 0, int times = -1);
    void clearScripts();

    QList<Request> requests() const;
    QList<Request> requests(const QString& method) const;
    // The picture paths asked for, in order.
    QStringList pictureRequests() const;
    void clearRequests();

    // <rsp stat="fail"><err code msg/></rsp>.
    static QByteArray errorResponse(int code, const QString& message = {});
    // md5 of the secret and the sorted pairs, as the service signs.
    static QString signature(const QString& secret, QList<QPair<QString, QString>> pairs);
    // The methods the stand-in answers.
    static QStringList methods();

private:
    struct Script
    {
        Outcome outcome;
        bool normal = false; // send the normal answer (with the outcome's delay)
        int times = -1;
    };

    Outcome restAnswer(const TestHttpRequest& request);
    Outcome authPage(const TestHttpRequest& request);
    Outcome confirmPage(const TestHttpRequest& request);
    Outcome picture(const QByteArray& path);
    Outcome refuse(Request& record, int code);
    QByteArray answerBody(const Request& record, const QString& base, int& errorCode);
    bool takeScript(QHash<QString, QList<Script>>& scripts, const QString& key, Script& script);
    void addScript(const QString& method, const Script& script);
    const User* findUser(const QString& nsid) const;
    const Photo* findPhoto(const QString& id) const;

    mutable QMutex m_mutex;
    QString m_apiKey;
    QString m_secret;
    QString m_token;
    QList<User> m_users;
    QList<Photo> m_photos;
    QStringList m_frobs;
    QSet<QString> m_authorizedFrobs;
    int m_nextFrob = 123456;
    QHash<QString, QList<Script>> m_scripts;
    QHash<QString, QList<Script>> m_pictureScripts;
    QHash<QByteArray, QByteArray> m_pictureCache;
    QList<Request> m_requests;
    QStringList m_pictureRequests;
};
