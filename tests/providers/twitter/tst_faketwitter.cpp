#include "faketwitter.h"
#include "twitterapi.h"

#include <QTest>

namespace {
const QString Base = QStringLiteral("http://127.0.0.1:8080");

// An API that talks to the stand-in with the application's consumer pair.
struct Client
{
    CTwitterApi api;
    qint64 timestamp = 1300000000;
    int nonce = 0;

    Client()
    {
        api.setConsumer(QString::fromLatin1(FakeTwitterService::DefaultConsumerKey),
                        QString::fromLatin1(FakeTwitterService::DefaultConsumerSecret));
        api.setServiceUrl(Base);
        api.setTimestampSource([this] { return timestamp; });
        api.setNonceSource([this] { return QString::number(++nonce); });
    }
    QByteArray requestToken()
    {
        QString url;
        api.requestTokenUrl(url);
        return url.toLatin1();
    }
    QByteArray accessToken(const QString& pin = QStringLiteral("1234567"))
    {
        QString url;
        api.accessTokenUrl(url, QStringLiteral("RT"), QStringLiteral("RS"), pin);
        return url.toLatin1();
    }
    QByteArray friends(const QString& sinceId = QStringLiteral("100"))
    {
        api.setToken(QStringLiteral("AT"), QStringLiteral("AS"));
        QString url;
        api.friendsTimelineUrl(url, sinceId);
        return url.toLatin1();
    }
    // A request signed with the access token for any path.
    QByteArray signedFor(const QByteArray& method, const QByteArray& path)
    {
        api.setToken(QStringLiteral("AT"), QStringLiteral("AS"));
        api.clearParams();
        return api.signRequest(QString::fromLatin1(method), Base + QString::fromLatin1(path)).toLatin1();
    }
    QByteArray update()
    {
        api.setToken(QStringLiteral("AT"), QStringLiteral("AS"));
        QString url;
        api.updateRequest(url, QStringLiteral("Hi%20there%20%26%20%C3%BC"), QStringLiteral("42"));
        return url.toLatin1();
    }
};

QByteArray withParam(QByteArray url, const QByteArray& from, const QByteArray& to)
{
    Q_ASSERT(url.contains(from));
    return url.replace(from, to);
}

// The URL without the pair of that name (not the last pair).
QByteArray withoutParam(QByteArray url, const QByteArray& name)
{
    const int at = url.indexOf(name + '=');
    Q_ASSERT(at > 0);
    return url.remove(at, url.indexOf('&', at) + 1 - at);
}
} // namespace

class TestFakeTwitter : public QObject
{
    Q_OBJECT
private slots:
    void accepts_data()
    {
        QTest::addColumn<QByteArray>("method");
        QTest::addColumn<QByteArray>("url");
        QTest::addColumn<QByteArray>("body");
        Client c;
        QTest::newRow("request token")
            << QByteArray("GET") << c.requestToken() << QByteArray("oauth_token=RT&oauth_token_secret=RS");
        QTest::newRow("access token") << QByteArray("GET") << c.accessToken()
                                      << QByteArray("oauth_token=AT&oauth_token_secret=AS&user_id=123"
                                                    "&screen_name=alice");
        QTest::newRow("access token, typed pin")
            << QByteArray("GET") << c.accessToken(QStringLiteral(" 1234567 "))
            << QByteArray("oauth_token=AT&oauth_token_secret=AS&user_id=123"
                          "&screen_name=alice");
        // With nothing stored the timelines are empty; an update is stored and answered.
        const QByteArray empty = "<statuses type=\"array\"></statuses>";
        QTest::newRow("friends") << QByteArray("GET") << c.friends() << empty;
        QTest::newRow("friends, no since") << QByteArray("GET") << c.friends(QString()) << empty;
        QString url;
        c.api.mentionsUrl(url, QStringLiteral("5"));
        QTest::newRow("mentions") << QByteArray("GET") << url.toLatin1() << empty;
        QTest::newRow("update") << QByteArray("POST") << c.update()
                                << QByteArray("<text>Hi there &amp; \xc3\xbc</text>");
        c.api.authorizeUrl(url, QStringLiteral("127.0.0.1:8080"), QStringLiteral("RT"));
        QTest::newRow("authorize") << QByteArray("GET") << url.toLatin1() << QByteArray("1234567");
        // Upper-case host and the default port in the Host header mean the same address.
        CTwitterApi other;
        other.setConsumer(QString::fromLatin1(FakeTwitterService::DefaultConsumerKey),
                          QString::fromLatin1(FakeTwitterService::DefaultConsumerSecret));
        other.setServiceUrl(QStringLiteral("http://API.Example:80"));
        other.requestTokenUrl(url);
        QTest::newRow("default port")
            << QByteArray("GET") << url.toLatin1().replace("http://api.example", "http://API.Example:80")
            << QByteArray("oauth_token=RT");
    }
    void accepts()
    {
        QFETCH(QByteArray, method);
        QFETCH(QByteArray, url);
        QFETCH(QByteArray, body);
        FakeTwitterService service;
        const TestHttpReply reply = service.handle(FakeTwitterService::requestFor(method, url));
        QCOMPARE(service.requests().value(0).refusal, QByteArray());
        QCOMPARE(reply.status, 200);
        QVERIFY2(reply.body.contains(body), reply.body.constData());
    }

    // OAuth Core 1.0 Appendix A, with its own credentials.
    void acceptsAppendixA()
    {
        FakeTwitterService service;
        service.setConsumer("dpf43f3p2l4k3l03", "kd94hf93k423kf44");
        service.setAccessToken("nnch734d00sl2jdk", "pfkkdhi9sl3r4s00");
        service.script("/photos", 200, "<photo/>");
        const TestHttpReply reply = service.handle(FakeTwitterService::requestFor(
            "GET", "http://photos.example.net/photos?file=vacation.jpg"
                   "&oauth_consumer_key=dpf43f3p2l4k3l03&oauth_nonce=kllo9940pd9333jh"
                   "&oauth_signature_method=HMAC-SHA1&oauth_timestamp=1191242096"
                   "&oauth_token=nnch734d00sl2jdk&oauth_version=1.0&size=original"
                   "&oauth_signature=tR3%2BTy81lMeYAr%2FFid0kMTYa%2FWM%3D"));
        QCOMPARE(service.requests().value(0).refusal, QByteArray());
        QCOMPARE(reply.status, 200);
        QCOMPARE(reply.body, QByteArray("<photo/>"));
    }

    void refuses_data()
    {
        QTest::addColumn<QByteArray>("method");
        QTest::addColumn<QByteArray>("url");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QByteArray>("reason");
        Client c;
        const QByteArray friends = c.friends();
        const int sig = friends.indexOf("oauth_signature=") + 16;
        QByteArray changed = friends;
        changed[sig] = changed.at(sig) == 'A' ? 'B' : 'A';
        QTest::newRow("signature changed")
            << QByteArray("GET") << changed << QByteArray() << QByteArray("invalid signature");
        QTest::newRow("value changed")
            << QByteArray("GET") << withParam(c.friends(), "since_id=100", "since_id=101") << QByteArray()
            << QByteArray("invalid signature");
        QTest::newRow("method changed")
            << QByteArray("POST") << c.friends() << QByteArray() << QByteArray("invalid signature");

        // The access-token request signed without the request token's secret.
        COAuthClient literal;
        literal.setConsumer(QString::fromLatin1(FakeTwitterService::DefaultConsumerKey),
                            QString::fromLatin1(FakeTwitterService::DefaultConsumerSecret));
        literal.setToken(QStringLiteral("RT"), QString());
        literal.addParam(QStringLiteral("oauth_verifier"), QStringLiteral("1234567"));
        QTest::newRow("literal access key")
            << QByteArray("GET")
            << literal.signRequest(QStringLiteral("GET"), Base + "/oauth/access_token").toLatin1()
            << QByteArray() << QByteArray("invalid signature");
        QTest::newRow("wrong pin") << QByteArray("GET") << c.accessToken(QStringLiteral("7654321"))
                                   << QByteArray() << QByteArray("wrong verifier");
        QTest::newRow("no pin") << QByteArray("GET") << c.accessToken(QString()) << QByteArray()
                                << QByteArray("wrong verifier");

        c.api.setToken(QStringLiteral("XT"), QStringLiteral("AS"));
        QString url;
        c.api.friendsTimelineUrl(url, QString());
        QTest::newRow("unknown token")
            << QByteArray("GET") << url.toLatin1() << QByteArray() << QByteArray("unknown access token");
        QString access;
        c.api.accessTokenUrl(access, QStringLiteral("AT"), QStringLiteral("AS"), QStringLiteral("1234567"));
        QTest::newRow("access token with another token")
            << QByteArray("GET") << access.toLatin1() << QByteArray() << QByteArray("unknown request token");
        QTest::newRow("request token with a token")
            << QByteArray("GET") << c.signedFor("GET", "/oauth/request_token") << QByteArray()
            << QByteArray("a token is not expected here");
        QTest::newRow("post with body") << QByteArray("POST") << c.update() << QByteArray("status=x")
                                        << QByteArray("request body not accepted");

        // oauth_signature moved in front: the pairs are the same, the order is not.
        QByteArray front = c.friends();
        const int at = front.indexOf("&oauth_signature=");
        const QByteArray sigPair = front.mid(at + 1);
        front.truncate(at);
        front.replace("?", "?" + sigPair + "&");
        QTest::newRow("signature not last")
            << QByteArray("GET") << front << QByteArray() << QByteArray("oauth_signature not last");
        // Two pairs swapped: the signature still fits, the order breaks our contract.
        QTest::newRow("pairs unsorted")
            << QByteArray("GET")
            << withParam(c.friends(), "oauth_signature_method=HMAC-SHA1&oauth_timestamp=1300000000",
                         "oauth_timestamp=1300000000&oauth_signature_method=HMAC-SHA1")
            << QByteArray() << QByteArray("parameters not sorted");

        QTest::newRow("no consumer key")
            << QByteArray("GET") << withoutParam(c.friends(), "oauth_consumer_key") << QByteArray()
            << QByteArray("oauth_consumer_key missing");
        QTest::newRow("plaintext method")
            << QByteArray("GET") << withParam(c.friends(), "HMAC-SHA1", "PLAINTEXT") << QByteArray()
            << QByteArray("oauth_signature_method must be HMAC-SHA1");
        QTest::newRow("no nonce") << QByteArray("GET") << withoutParam(c.friends(), "oauth_nonce")
                                  << QByteArray() << QByteArray("oauth_nonce missing");
        QTest::newRow("no timestamp") << QByteArray("GET") << withoutParam(c.friends(), "oauth_timestamp")
                                      << QByteArray() << QByteArray("oauth_timestamp missing");
        QTest::newRow("version 2") << QByteArray("GET")
                                   << withParam(c.friends(), "oauth_version=1.0", "oauth_version=2.0")
                                   << QByteArray() << QByteArray("oauth_version must be 1.0");
        QByteArray unsigned_ = c.friends();
        unsigned_.truncate(unsigned_.indexOf("&oauth_signature="));
        QTest::newRow("unsigned") << QByteArray("GET") << unsigned_ << QByteArray()
                                  << QByteArray("oauth_signature missing");
        QTest::newRow("authorize, unknown token")
            << QByteArray("GET")
            << QByteArray("http://127.0.0.1:8080/oauth/authorize?oauth_token=XX&oauth_callback=x")
            << QByteArray() << QByteArray("unknown request token");
        QTest::newRow("malformed query")
            << QByteArray("GET") << withParam(c.friends(), "since_id=100&", "since_id&") << QByteArray()
            << QByteArray("malformed query");
        QTest::newRow("delete") << QByteArray("DELETE") << c.friends() << QByteArray()
                                << QByteArray("unsupported method");
    }
    void refuses()
    {
        QFETCH(QByteArray, method);
        QFETCH(QByteArray, url);
        QFETCH(QByteArray, body);
        QFETCH(QByteArray, reason);
        FakeTwitterService service;
        const TestHttpReply reply = service.handle(FakeTwitterService::requestFor(method, url, body));
        QCOMPARE(reply.status, 401);
        QCOMPARE(reply.body, reason);
        QCOMPARE(service.requests().size(), 1);
        QCOMPARE(service.requests().at(0).refusal, reason);
        QCOMPARE(service.requests().at(0).status, 401);
    }

    void refusesUnknownConsumer()
    {
        FakeTwitterService service;
        service.setConsumer("other", "pair");
        Client c;
        const TestHttpReply reply = service.handle(FakeTwitterService::requestFor("GET", c.requestToken()));
        QCOMPARE(reply.status, 401);
        QCOMPARE(reply.body, QByteArray("unknown consumer"));
    }

    // RFC 5849 section 3.3: a (timestamp, nonce) pair is accepted once.
    void refusesReplay()
    {
        FakeTwitterService service;
        Client c;
        const QByteArray url = c.friends();
        QCOMPARE(service.handle(FakeTwitterService::requestFor("GET", url)).status, 200);
        const TestHttpReply again = service.handle(FakeTwitterService::requestFor("GET", url));
        QCOMPARE(again.status, 401);
        QCOMPARE(again.body, QByteArray("nonce already used"));
        // Another nonce in the same second passes.
        QCOMPARE(service.handle(FakeTwitterService::requestFor("GET", c.friends())).status, 200);
        // A refused request does not use up its nonce.
        QByteArray bad = c.friends();
        const QByteArray good = bad;
        bad.replace("since_id=100", "since_id=101");
        QCOMPARE(service.handle(FakeTwitterService::requestFor("GET", bad)).status, 401);
        QCOMPARE(service.handle(FakeTwitterService::requestFor("GET", good)).status, 200);
    }

    void scripted_data()
    {
        QTest::addColumn<QByteArray>("path");
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        for (int status : {304, 400, 401, 403, 404, 500, 502, 503}) {
            QTest::addRow("timeline %d", status)
                << QByteArray("/statuses/friends_timeline.xml") << status << QByteArray();
            QTest::addRow("update %d with body", status)
                << QByteArray("/statuses/update.xml") << status << QByteArray("<error>no</error>");
        }
        QTest::newRow("request token 503") << QByteArray("/oauth/request_token") << 503 << QByteArray("busy");
        QTest::newRow("access token 401") << QByteArray("/oauth/access_token") << 401 << QByteArray();
        QTest::newRow("authorize 500") << QByteArray("/oauth/authorize") << 500 << QByteArray();
        QTest::newRow("timeline 200 body") << QByteArray("/statuses/friends_timeline.xml") << 200
                                           << QByteArray("<statuses><status/></statuses>");
    }
    void scripted()
    {
        QFETCH(QByteArray, path);
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        FakeTwitterService service;
        service.script(path, status, body);
        Client c;
        QByteArray url;
        if (path == "/oauth/request_token")
            url = c.requestToken();
        else if (path == "/oauth/access_token")
            url = c.accessToken();
        else if (path == "/oauth/authorize")
            url = Base.toLatin1() + "/oauth/authorize?oauth_token=RT&oauth_callback=www";
        const QByteArray method = path == "/statuses/update.xml" ? "POST" : "GET";
        if (url.isEmpty())
            url = c.signedFor(method, path);
        const TestHttpReply reply = service.handle(FakeTwitterService::requestFor(method, url));
        QCOMPARE(service.requests().value(0).refusal, QByteArray());
        QCOMPARE(reply.status, status);
        QCOMPARE(reply.reason, FakeTwitterService::reasonPhrase(status));
        QCOMPARE(reply.body, body);

        // Other paths keep their normal answer; clearing the scripts restores this one.
        if (path != "/statuses/mentions.xml") {
            const QByteArray other = c.signedFor("GET", "/statuses/mentions.xml");
            QCOMPARE(service.handle(FakeTwitterService::requestFor("GET", other)).status, 200);
        }
        service.clearScripts();
        if (path.startsWith("/statuses/")) {
            const TestHttpReply normal =
                service.handle(FakeTwitterService::requestFor(method, c.signedFor(method, path)));
            QCOMPARE(normal.status, 200);
            // An empty store: an empty timeline; an update is stored and answered.
            if (path == "/statuses/update.xml")
                QVERIFY(normal.body.contains("<status><created_at>"));
            else
                QVERIFY(normal.body.endsWith("<statuses type=\"array\"></statuses>"));
        }
    }

    // The store behind the timelines and updates.
    void statusStore()
    {
        FakeTwitterService service;
        const QDateTime t0(QDate(2008, 8, 27), QTime(13, 8, 45), Qt::UTC);
        const FakeTwitterService::Author bob{"7", "bob", "Bob", "http://bob", "http://img/bob.png", true};
        const FakeTwitterService::Author eve{"8", "eve", "Eve & co", "", "http://img/eve.png", false};
        service.addStatus({"101", "first <b>", t0, bob});
        service.addStatus({"103", "hi @Alice", t0.addSecs(60), eve});
        service.addStatus({"102", "second", t0.addSecs(30), bob});
        Client c;
        const SMeskHttpResponseHeader ok{200, QStringLiteral("OK"), {}};
        int error = -1;
        auto ids = [&](const QByteArray& url) {
            const TestHttpReply reply = service.handle(FakeTwitterService::requestFor("GET", url));
            STwitterTimeLine timeline;
            if (!c.api.parseTimelineResponse(ok, reply.body, timeline, error))
                return QStringList{"unreadable"};
            QStringList result;
            for (const STwitterStatusEvent& event : timeline)
                result.append(event.status.id + ':' + event.user.screen_name);
            return result;
        };
        // Followed authors only, newest first; since_id compared as a number; a non-number ignored.
        QCOMPARE(ids(c.friends(QString())), (QStringList{"102:bob", "101:bob"}));
        QCOMPARE(ids(c.friends(QStringLiteral("101"))), QStringList{"102:bob"});
        QCOMPARE(ids(c.friends(QStringLiteral("99"))), (QStringList{"102:bob", "101:bob"}));
        QCOMPARE(ids(c.friends(QStringLiteral("x1"))), (QStringList{"102:bob", "101:bob"}));
        QString mentions;
        QVERIFY(c.api.mentionsUrl(mentions, QString()));
        QCOMPARE(ids(mentions.toLatin1()), QStringList{"103:eve"});

        // An update is stored as the account's status and answered.
        const TestHttpReply posted = service.handle(FakeTwitterService::requestFor("POST", c.update()));
        STwitterStatusEvent event;
        QVERIFY(c.api.parseUpdateResponse(ok, posted.body, event, error));
        QCOMPARE(event.status.id + '/' + event.status.text, QStringLiteral("104/Hi there & \u00fc"));
        QCOMPARE(event.user.id + '/' + event.user.screen_name, QStringLiteral("123/alice"));
        // The account's own statuses are in its friends timeline; 21 statuses give 20.
        for (int i = 0; i < 18; ++i)
            service.addStatus({QByteArray::number(200 + i), "more", t0.addDays(1), bob});
        const QStringList page = ids(c.friends(QString()));
        QCOMPARE(page.size(), 20);
        QCOMPARE(page.first(), QStringLiteral("104:alice"));
    }

    // Every request is recorded, refused ones too, through the handler function.
    void recordsEveryRequest()
    {
        FakeTwitterService service;
        const TestHttpHandler handler = service.handler();
        Client c;
        const QByteArray first = c.requestToken();
        const QByteArray second = c.accessToken(QStringLiteral("0000000"));
        const QByteArray third = c.update();
        QCOMPARE(handler(FakeTwitterService::requestFor("GET", first)).status, 200);
        QCOMPARE(handler(FakeTwitterService::requestFor("GET", second)).status, 401);
        QCOMPARE(handler(FakeTwitterService::requestFor("POST", third)).status, 200);
        const QList<FakeTwitterService::Record> log = service.requests();
        QCOMPARE(log.size(), 3);
        QCOMPARE(log.at(0).request.target, first.mid(Base.size()));
        QCOMPARE(log.at(1).refusal, QByteArray("wrong verifier"));
        QCOMPARE(log.at(2).request.method, QByteArray("POST"));
        QVERIFY(log.at(2).request.query().contains("status=Hi%20there%20%26%20%C3%BC&"));
        QCOMPARE(log.at(2).request.header("host"), QByteArray("127.0.0.1:8080"));
        service.clearRequests();
        QVERIFY(service.requests().isEmpty());
    }

    // The whole flow as our client drives it: each reply parses.
    void flowParses()
    {
        FakeTwitterService service;
        service.setUser("42", "bob");
        service.setPin("99");
        Client c;
        const SMeskHttpResponseHeader ok{200, QStringLiteral("OK"), {}};
        int error = -1;

        TestHttpReply reply = service.handle(FakeTwitterService::requestFor("GET", c.requestToken()));
        QString token, secret, userId, userName;
        QVERIFY(c.api.parseRequestToken(ok, reply.body, token, secret, error));
        QCOMPARE(token + '/' + secret, QStringLiteral("RT/RS"));

        QString authorize;
        QVERIFY(c.api.authorizeUrl(authorize, c.api.webHost(), token));
        reply = service.handle(FakeTwitterService::requestFor("GET", authorize.toLatin1()));
        QVERIFY(reply.body.contains(">99<"));

        QString access;
        QVERIFY(c.api.accessTokenUrl(access, token, secret, QStringLiteral("99")));
        reply = service.handle(FakeTwitterService::requestFor("GET", access.toLatin1()));
        QVERIFY(c.api.parseAccessToken(ok, reply.body, token, secret, userId, userName, error));
        QCOMPARE((QStringList{token, secret, userId, userName}), (QStringList{"AT", "AS", "42", "bob"}));
    }
};

QTEST_GUILESS_MAIN(TestFakeTwitter)
#include "tst_faketwitter.moc"
