#pragma once

#include "testhttp.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QMutex>
#include <QSet>

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
//   any other path          (token AT, secret AS) -> the scripted reply, by default 200 "<statuses/>"
// Every route can be scripted to another status and body; a scripted reply is
// given once the request has passed its checks. Every request is recorded.
//
// On the local HTTP server: server.setFallback(service.handler()), then point
// CTwitterApi::setServiceUrl (or LUMESK_TWITTER_URL) at server.baseUrl().
// Thread-safe: the server calls handle() on its own thread.
class FakeTwitterService
{
public:
    // The application's consumer pair.
    static constexpr const char* DefaultConsumerKey = "Qm7TzK2pLw9XvR4nBc8Hd";
    static constexpr const char* DefaultConsumerSecret = "Zt6Wq3Ny8Ls1Hf5Kd0Xp7Vc2Rm9Gb4Jw6Tn1Qe8Ua";

    struct Record
    {
        TestHttpRequest request;
        int status = 0;
        QByteArray refusal; // why the request was refused; empty when it passed its checks
    };

    FakeTwitterService();

    void setConsumer(const QByteArray& key, const QByteArray& secret);
    void setRequestToken(const QByteArray& token, const QByteArray& secret); // RT / RS
    void setAccessToken(const QByteArray& token, const QByteArray& secret);  // AT / AS
    void setUser(const QByteArray& id, const QByteArray& screenName);        // 123 / alice
    void setPin(const QByteArray& pin);                                      // 1234567
    QByteArray pin() const;

    // The reply of a path (without query) once its request passes the checks.
    void script(const QByteArray& path, int status, const QByteArray& body = {});
    void clearScripts();

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
    TestHttpReply scriptedOr(const QByteArray& path, const TestHttpReply& normal) const;

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
    QHash<QByteArray, TestHttpReply> m_scripts;
    QSet<QByteArray> m_seenNonces; // "timestamp nonce" of accepted requests
    QList<Record> m_records;
};
