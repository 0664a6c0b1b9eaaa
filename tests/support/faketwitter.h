#pragma once

#include "testhttp.h"

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QList>
#include <QMutex>
#include <QSet>
#include <QString>

// A stand-in for the Twitter service, as a handler of the local HTTP server.
//
// It checks every request as a conforming OAuth 1.0 (RFC 5849) server does:
// from the method, "http://" + Host + path and the decoded query pairs it
// builds the signature base string and verifies oauth_signature (HMAC-SHA1)
// with the key pct(consumer secret)&pct(secret of the presented token). It also
// holds our client to its own wire contract: every parameter in the query, an
// empty body, oauth_signature last and the other pairs sorted. A request that
// fails any check is answered 401 with the reason as a short body.
//
// Routes:
//   GET /oauth/request_token  (no token)          -> oauth_token=RT&oauth_token_secret=RS
//   /oauth/authorize?oauth_token=RT&oauth_callback=... (unsigned) -> an HTML page showing the PIN
//   GET /oauth/access_token   (token RT, secret RS, oauth_verifier=PIN)
//                           -> oauth_token=AT&oauth_token_secret=AS&user_id=123&screen_name=alice
//   GET /statuses/friends_timeline.xml, GET /statuses/mentions.xml (token AT, secret AS)
//                           -> the stored statuses (see below) as <statuses>
//   POST /statuses/update.xml (token AT, secret AS, status=...)
//                           -> stores a status of the linked account and answers it as <status>
//   any other path          (token AT, secret AS) -> 200 "<statuses/>"
// Every route can be scripted to another status and body; a scripted reply is
// given once the request has passed its checks. Every request is recorded.
//
// Statuses: addStatus() stores a status with its author. The friends timeline
// holds the statuses of followed authors and of the linked account, the
// mentions those whose text holds "@" + the linked account's screen name (any
// case). Both answer newest first (by created time, then id), at most 20, and
// only ids above since_id when a numeric since_id is sent. An update stores the
// decoded status text under the next id, written by the linked account, and is
// answered as that status; a scripted reply replaces it and stores nothing.
//
// On the local HTTP server: server.setFallback(service.handler()), then point
// CTwitterApi::setServiceUrl (or LUMESK_TWITTER_URL) at server.baseUrl().
// Thread-safe: the server calls handle() on its own thread.
class FakeTwitterService
{
public:
    // The application's consumer pair, as the program is built with it.
    static constexpr const char* DefaultConsumerKey = LUMESK_TWITTER_CONSUMER_KEY;
    static constexpr const char* DefaultConsumerSecret = LUMESK_TWITTER_CONSUMER_SECRET;

    struct Record
    {
        TestHttpRequest request;
        int status = 0;
        QByteArray refusal; // why the request was refused; empty when it passed its checks
    };

    // An author of statuses. Addresses are written as given.
    struct Author
    {
        QByteArray id;
        QString screenName;
        QString name;
        QString url;
        QString profileImageUrl;
        bool followed = true; // followed by the linked account
    };
    // One stored status; created is written as "Wed Aug 27 13:08:45 +0000 2008".
    struct Status
    {
        QByteArray id;
        QString text;
        QDateTime created;
        Author author;
    };

    FakeTwitterService();

    void setConsumer(const QByteArray& key, const QByteArray& secret);
    void setRequestToken(const QByteArray& token, const QByteArray& secret); // RT / RS
    void setAccessToken(const QByteArray& token, const QByteArray& secret);  // AT / AS
    void setUser(const QByteArray& id, const QByteArray& screenName);        // 123 / alice
    void setPin(const QByteArray& pin);                                      // 1234567
    QByteArray pin() const;

    // The reply of a path (without query) once its request passes the checks:
    // the first `after` accepted requests of that path are answered as usual,
    // then `count` of them (-1: every one) get this reply.
    void script(const QByteArray& path, int status, const QByteArray& body = {}, int count = -1,
                int after = 0);
    void clearScripts();
    // One status as a timeline answer writes it.
    static QByteArray statusXml(const Status& status);

    void addStatus(const Status& status);
    // In the order stored, posted updates included.
    QList<Status> statuses() const;
    void clearStatuses();

    TestHttpReply handle(const TestHttpRequest& request);
    // handle() as a handler of the local HTTP server; the service must outlive it.
    TestHttpHandler handler();

    QList<Record> requests() const;
    void clearRequests();

    // A request as the local HTTP server would receive it for that URL
    // ("http://host:port/path?query", taken byte for byte).
    static TestHttpRequest requestFor(const QByteArray& method, const QByteArray& url,
                                      const QByteArray& body = {});
    static QByteArray reasonPhrase(int status);

private:
    struct Pair
    {
        QByteArray name;
        QByteArray value;
    };
    // Empty when the request is signed correctly with that token secret.
    QByteArray checkSignature(const TestHttpRequest& request, const QList<Pair>& pairs,
                              const QByteArray& tokenSecret);
    TestHttpReply route(const TestHttpRequest& request, QByteArray& refusal);
    struct Script
    {
        TestHttpReply reply;
        int count = -1;
        int after = 0;
    };
    // The scripted reply of an accepted request of that path, if one is due.
    bool scripted(const QByteArray& path, TestHttpReply& reply);
    TestHttpReply timeline(const QByteArray& path, const QByteArray& sinceId) const;
    TestHttpReply update(const QByteArray& text, const QByteArray& host);

    mutable QMutex m_mutex;
    QByteArray m_consumerKey;
    QByteArray m_consumerSecret;
    QByteArray m_requestToken = "RT";
    QByteArray m_requestTokenSecret = "RS";
    QByteArray m_accessToken = "AT";
    QByteArray m_accessTokenSecret = "AS";
    QByteArray m_userId = "123";
    QByteArray m_screenName = "alice";
    QByteArray m_pin = "1234567";
    QHash<QByteArray, Script> m_scripts;
    QList<Status> m_statuses;
    QSet<QByteArray> m_seenNonces; // "timestamp nonce" of accepted requests
    QList<Record> m_records;
};
