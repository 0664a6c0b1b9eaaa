#include "twitterapi.h"

#include "meskxml.h"
#include "testclock.h"
#include "twittercalls.h"

#include <QAtomicInt>
#include <QSignalSpy>
#include <QTest>
#include <QThread>

namespace {
const QString ConsumerKey = QStringLiteral("Qm7TzK2pLw9XvR4nBc8Hd");
const QString ConsumerSecret = QStringLiteral("Zt6Wq3Ny8Ls1Hf5Kd0Xp7Vc2Rm9Gb4Jw6Tn1Qe8Ua");
const QString Base = QStringLiteral("http://api.example");

void configure(CTwitterApi& api, qint64 timestamp, const QString& nonce)
{
    api.setConsumer(ConsumerKey, ConsumerSecret);
    QVERIFY(api.setServiceUrl(Base));
    api.setTimestampSource([timestamp] { return timestamp; });
    api.setNonceSource([nonce] { return nonce; });
}

SMeskHttpResponseHeader header(int status)
{
    SMeskHttpResponseHeader h;
    h.statusCode = status;
    h.reasonPhrase = QStringLiteral("Reason");
    return h;
}

QByteArray userXml(const QByteArray& id, bool withImage = true, const QByteArray& image = {})
{
    QByteArray xml = "<user><id>" + id + "</id><name>Name " + id + "</name><screen_name>sn" + id +
                     "</screen_name><url>http://example.com/" + id + "</url>";
    if (withImage)
        xml += image.isNull() ? "<profile_image_url>http://img.example/" + id + ".png</profile_image_url>"
                              : image;
    return xml + "<followers_count>3</followers_count></user>";
}

QByteArray statusXml(const QByteArray& id, const QByteArray& user)
{
    return "<status><created_at>Wed Aug 27 13:08:45 +0000 2008</created_at><id>" + id +
           "</id><text>Text &amp; " + id +
           "</text><source>web</source><truncated>false</truncated>"
           "<in_reply_to_status_id>7" +
           id + "</in_reply_to_status_id><in_reply_to_user_id>8" + id +
           "</in_reply_to_user_id><favorited>true</favorited><in_reply_to_screen_name>bob" + id +
           "</in_reply_to_screen_name>" + user + "</status>";
}

STwitterStatusEvent expectedEvent(const QString& id)
{
    STwitterStatusEvent e;
    e.user.id = id;
    e.user.name = QStringLiteral("Name ") + id;
    e.user.screen_name = QStringLiteral("sn") + id;
    e.user.url = QStringLiteral("http://example.com/") + id;
    e.user.profile_image_url = QStringLiteral("http://img.example/") + id + QStringLiteral(".png");
    e.status.id = id;
    e.status.text = QStringLiteral("Text & ") + id;
    e.status.truncated = QStringLiteral("false");
    e.status.in_reply_to_status_id = QStringLiteral("7") + id;
    e.status.in_reply_to_user_id = QStringLiteral("8") + id;
    e.status.in_reply_to_screen_name = QStringLiteral("bob") + id;
    e.status.created_at = QStringLiteral("Wed Aug 27 13:08:45 +0000 2008");
    e.status.favorited = QStringLiteral("true");
    return e;
}

// Swallows the diagnostics of many parses on several threads.
QAtomicInt g_swallowed;
void swallowMessages(QtMsgType, const QMessageLogContext&, const QString&)
{
    g_swallowed.ref();
}

class TimelineEmitter : public QObject
{
    Q_OBJECT
public:
    void send(const STwitterTimeLine& timeline) { emit timelineReady(timeline); }
signals:
    void timelineReady(const STwitterTimeLine& timeline);
};
} // namespace

class TestTwitterApi : public QObject
{
    Q_OBJECT
private slots:
    // --- requests -------------------------------------------------------------

    void builders_data()
    {
        QTest::addColumn<QString>("which");
        QTest::addColumn<QString>("expected");
        const QString common = QStringLiteral("oauth_consumer_key=") + ConsumerKey;
        QTest::newRow("request token")
            << "request"
            << Base + "/oauth/request_token?" + common +
                   "&oauth_nonce=1111&oauth_signature_method=HMAC-SHA1&oauth_timestamp=1300000000"
                   "&oauth_version=1.0&oauth_signature=%2FK1WDWoEpEkViWe0%2BZTO3upW1gg%3D";
        QTest::newRow("access token")
            << "access"
            << Base + "/oauth/access_token?" + common +
                   "&oauth_nonce=2222&oauth_signature_method=HMAC-SHA1&oauth_timestamp=1300000001"
                   "&oauth_token=RT&oauth_verifier=1234567&oauth_version=1.0"
                   "&oauth_signature=2G%2FhEuIoVFGegTYrNhiThNiU7lg%3D";
        QTest::newRow("update")
            << "update"
            << Base + "/statuses/update.xml?" + common +
                   "&oauth_nonce=3333&oauth_signature_method=HMAC-SHA1&oauth_timestamp=1300000002"
                   "&oauth_token=AT&oauth_version=1.0&status=Hi%20there%20%26%20%C3%BC"
                   "&oauth_signature=S7Fl0a0EI%2BAZ0Ux114tk6fVWoVA%3D";
        QTest::newRow("friends timeline")
            << "friends"
            << Base + "/statuses/friends_timeline.xml?" + common +
                   "&oauth_nonce=4444&oauth_signature_method=HMAC-SHA1&oauth_timestamp=1300000003"
                   "&oauth_token=AT&oauth_version=1.0&since_id=100"
                   "&oauth_signature=5WZ2Kj7xeXerd5tddspBjNxemoc%3D";
        QTest::newRow("authorize") << "authorize"
                                   << Base + "/oauth/authorize?oauth_token=RT&oauth_callback=www.api.example";
    }
    void builders()
    {
        QFETCH(QString, which);
        QFETCH(QString, expected);
        CTwitterApi api;
        QString url;
        if (which == QLatin1String("request")) {
            configure(api, 1300000000, QStringLiteral("1111"));
            api.setToken(QStringLiteral("AT"), QStringLiteral("AS"));
            QVERIFY(api.requestTokenUrl(url));
        } else if (which == QLatin1String("access")) {
            configure(api, 1300000001, QStringLiteral("2222"));
            api.setToken(QStringLiteral("OLD"), QStringLiteral("OLDS"));
            QVERIFY(api.accessTokenUrl(url, QStringLiteral("RT"), QStringLiteral("RS"),
                                       QStringLiteral("1234567")));
            // Signed with the request token's secret; the literal key of "no secret"
            // gives another signature.
            QStringList params = api.params();
            params.removeLast();
            QCOMPARE(COAuthClient::signature(QStringLiteral("GET"), Base + "/oauth/access_token",
                                             ConsumerSecret + QLatin1Char('&'), params),
                     QStringLiteral("SRx8l3jVJL45z%2FLhO3PctxI7r3I%3D"));
        } else if (which == QLatin1String("update")) {
            configure(api, 1300000002, QStringLiteral("3333"));
            api.setToken(QStringLiteral("AT"), QStringLiteral("AS"));
            QVERIFY(api.updateRequest(url, QStringLiteral("Hi%20there%20%26%20%C3%BC"), QString()));
            // Twice encoded in the base string.
            QVERIFY(api.params().contains(QStringLiteral("status=Hi%20there%20%26%20%C3%BC")));
            QCOMPARE(COAuthClient::pct(QStringLiteral("status=Hi%20there%20%26%20%C3%BC")),
                     QStringLiteral("status%3DHi%2520there%2520%2526%2520%25C3%25BC"));
        } else if (which == QLatin1String("friends")) {
            configure(api, 1300000003, QStringLiteral("4444"));
            api.setToken(QStringLiteral("AT"), QStringLiteral("AS"));
            QVERIFY(api.friendsTimelineUrl(url, QStringLiteral("100")));
        } else {
            configure(api, 1, QStringLiteral("n"));
            api.addParam(QStringLiteral("keep"), QStringLiteral("me"));
            QVERIFY(api.authorizeUrl(url, QStringLiteral("www.api.example"), QStringLiteral("RT")));
            QCOMPARE(api.params(), QStringList{QStringLiteral("keep=me")});
        }
        QCOMPARE(url, expected);
        QCOMPARE(api.lastError(), 0);
        if (which == QLatin1String("access")) {
            QCOMPARE(api.token(), QStringLiteral("OLD"));
            QCOMPARE(api.tokenSecret(), QStringLiteral("OLDS"));
        }
        if (which == QLatin1String("request")) {
            QCOMPARE(api.token(), QStringLiteral("AT"));
            QCOMPARE(api.tokenSecret(), QStringLiteral("AS"));
        }
    }

    void timelineBuilders()
    {
        CTwitterApi api;
        configure(api, 5, QStringLiteral("n"));
        api.setToken(QStringLiteral("AT"), QStringLiteral("AS"));
        QString url;
        QVERIFY(api.friendsTimelineUrl(url, QString()));
        QVERIFY(url.startsWith(Base + "/statuses/friends_timeline.xml?"));
        QVERIFY(!url.contains(QStringLiteral("since_id")));
        QVERIFY(api.mentionsUrl(url, QStringLiteral("77")));
        QVERIFY(url.startsWith(Base + "/statuses/mentions.xml?"));
        QVERIFY(url.contains(QStringLiteral("&since_id=77&")));
        QVERIFY(api.mentionsUrl(url, QString()));
        QVERIFY(!url.contains(QStringLiteral("since_id")));
        // Each builder starts from a clear list.
        QVERIFY(api.updateRequest(url, QStringLiteral("x"), QStringLiteral("55")));
        QVERIFY(url.contains(QStringLiteral("in_reply_to_status_id=55&")));
        QVERIFY(!url.contains(QStringLiteral("since_id")));
        QCOMPARE(url.count(QStringLiteral("oauth_signature=")), 1);
        QVERIFY(api.updateRequest(url, QStringLiteral("x"), QString()));
        QVERIFY(!url.contains(QStringLiteral("in_reply_to_status_id")));
    }

    void noConsumer_data()
    {
        QTest::addColumn<int>("builder");
        for (int i = 0; i < 6; ++i)
            QTest::newRow(qPrintable(QString::number(i))) << i;
    }
    void noConsumer()
    {
        QFETCH(int, builder);
        CTwitterApi api;
        api.setToken(QStringLiteral("AT"), QStringLiteral("AS"));
        QString url = QStringLiteral("stale");
        QTest::ignoreMessage(QtDebugMsg, "CTwitterApi ERROR: consumer information is not set");
        bool ok = true;
        switch (builder) {
        case 0:
            ok = api.requestTokenUrl(url);
            break;
        case 1:
            ok = api.authorizeUrl(url, QStringLiteral("www.x"), QStringLiteral("RT"));
            break;
        case 2:
            ok = api.accessTokenUrl(url, QStringLiteral("RT"), QStringLiteral("RS"), QStringLiteral("1"));
            break;
        case 3:
            ok = api.friendsTimelineUrl(url, QStringLiteral("1"));
            break;
        case 4:
            ok = api.mentionsUrl(url, QString());
            break;
        case 5:
            ok = api.updateRequest(url, QStringLiteral("hi"), QString());
            break;
        }
        QVERIFY(!ok);
        QVERIFY(url.isEmpty());
        QCOMPARE(api.lastError(), int(TwitterNoConsumer));
        api.clearError();
        QCOMPARE(api.lastError(), 0);
    }

    // --- addresses ------------------------------------------------------------

    void serviceUrl_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("normal");
        QTest::newRow("plain") << "http://api.example"
                               << "http://api.example";
        QTest::newRow("upper case, port 80, slash") << "HTTP://API.Example:80/"
                                                    << "http://api.example";
        QTest::newRow("local port") << " http://127.0.0.1:8080 "
                                    << "http://127.0.0.1:8080";
        QTest::newRow("https default port") << "https://Api.Example:443"
                                            << "https://api.example";
        QTest::newRow("https port 80") << "https://api.example:80"
                                       << "https://api.example:80";
        QTest::newRow("path prefix") << "http://h/api/1/"
                                     << "http://h/api/1";
        QTest::newRow("no scheme") << "api.example"
                                   << "";
        QTest::newRow("other scheme") << "ftp://api.example"
                                      << "";
        QTest::newRow("no host") << "http://"
                                 << "";
        QTest::newRow("user info") << "http://u:p@api.example"
                                   << "";
        QTest::newRow("query") << "http://api.example?x=1"
                               << "";
        QTest::newRow("empty") << ""
                               << "";
    }
    void serviceUrl()
    {
        QFETCH(QString, text);
        QFETCH(QString, normal);
        QCOMPARE(CTwitterApi::normalizeServiceUrl(text), normal);
        CTwitterApi api;
        QCOMPARE(api.setServiceUrl(text), !normal.isEmpty());
        QCOMPARE(api.serviceUrl(), normal.isEmpty() ? CTwitterApi::defaultServiceUrl() : normal);
        QCOMPARE(api.homeUrl(), api.serviceUrl());
    }

    void webHost_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("normal");
        QTest::newRow("plain") << "www.api.example"
                               << "www.api.example";
        QTest::newRow("upper case, port 80") << "WWW.Api.Example:80"
                                             << "www.api.example";
        QTest::newRow("local port") << "127.0.0.1:8080"
                                    << "127.0.0.1:8080";
        QTest::newRow("scheme") << "http://www.api.example"
                                << "";
        QTest::newRow("path") << "www.api.example/x"
                              << "";
        QTest::newRow("empty") << "  "
                               << "";
    }
    void webHost()
    {
        QFETCH(QString, text);
        QFETCH(QString, normal);
        QCOMPARE(CTwitterApi::normalizeWebHost(text), normal);
        CTwitterApi api;
        QCOMPARE(api.setWebHost(text), !normal.isEmpty());
        QCOMPARE(api.webHost(), normal.isEmpty() ? CTwitterApi::defaultWebHost() : normal);
    }

    void addressDefaultsAndEnvironment()
    {
        QCOMPARE(CTwitterApi::defaultServiceUrl(), QStringLiteral("http://twitter.com"));
        QCOMPARE(CTwitterApi::defaultWebHost(), QStringLiteral("www.twitter.com"));
        {
            CTwitterApi api;
            QCOMPARE(api.homeUrl(), QStringLiteral("http://twitter.com"));
            QCOMPARE(api.webHost(), QStringLiteral("www.twitter.com"));
        }
        qputenv("LUMESK_TWITTER_URL", "http://127.0.0.1:5555/");
        qputenv("LUMESK_TWITTER_WEB_HOST", "127.0.0.1:5555");
        {
            CTwitterApi api;
            QCOMPARE(api.serviceUrl(), QStringLiteral("http://127.0.0.1:5555"));
            QCOMPARE(api.homeUrl(), QStringLiteral("http://127.0.0.1:5555"));
            QCOMPARE(api.webHost(), QStringLiteral("127.0.0.1:5555"));
            api.setConsumer(ConsumerKey, ConsumerSecret);
            QString url;
            QVERIFY(api.requestTokenUrl(url));
            QVERIFY(url.startsWith(QStringLiteral("http://127.0.0.1:5555/oauth/request_token?")));
        }
        // An unusable override is reported and the default stays.
        qputenv("LUMESK_TWITTER_URL", "127.0.0.1:5555");
        qunsetenv("LUMESK_TWITTER_WEB_HOST");
        QTest::ignoreMessage(QtDebugMsg,
                             "CTwitterApi: ignoring unusable LUMESK_TWITTER_URL \"127.0.0.1:5555\"");
        {
            CTwitterApi api;
            QCOMPARE(api.serviceUrl(), QStringLiteral("http://twitter.com"));
        }
        qunsetenv("LUMESK_TWITTER_URL");
    }

    // --- replies --------------------------------------------------------------

    void statusMapping_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<int>("code");
        QTest::newRow("200") << 200 << true << 0;
        QTest::newRow("304") << 304 << true << 3;
        QTest::newRow("400") << 400 << false << 4;
        QTest::newRow("401") << 401 << false << 5;
        QTest::newRow("403") << 403 << false << 6;
        QTest::newRow("404") << 404 << false << 2;
        QTest::newRow("500") << 500 << false << 7;
        QTest::newRow("502") << 502 << false << 8;
        QTest::newRow("503") << 503 << false << 9;
        QTest::newRow("201") << 201 << false << 2;
        QTest::newRow("no response") << 0 << false << 2;
    }
    void statusMapping()
    {
        QFETCH(int, status);
        QFETCH(bool, ok);
        QFETCH(int, code);
        CTwitterApi api;
        if (status != 200)
            QTest::ignoreMessage(
                QtDebugMsg, qPrintable(QStringLiteral("CTwitterApi: http response error %1").arg(status)));
        int error = -1;
        QCOMPARE(api.checkResponse(header(status), "<statuses/>", error), ok);
        QCOMPARE(error, code);

        // Through a reply operation: an empty body fails with 2 after a 200 or a 304.
        STwitterTimeLine timeline;
        if (status != 200)
            QTest::ignoreMessage(QtDebugMsg, QRegularExpression(QStringLiteral("http response error")));
        error = -1;
        const bool parsed = api.parseTimelineResponse(header(status), QByteArray(), timeline, error);
        QVERIFY(!parsed);
        QCOMPARE(error, ok ? int(TwitterFailed) : code);
        QCOMPARE(api.lastError(), 0);
    }

    void tokenReply_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QString>("token");
        QTest::addColumn<QString>("secret");
        QTest::newRow("extra pair") << QByteArray("oauth_token=RT&oauth_token_secret=RS&x=1") << true << "RT"
                                    << "RS";
        QTest::newRow("empty pieces dropped")
            << QByteArray("&oauth_token=RT&&oauth_token_secret=RS&") << true << "RT"
            << "RS";
        QTest::newRow("swapped") << QByteArray("oauth_token_secret=RS&oauth_token=RT") << false << ""
                                 << "";
        QTest::newRow("empty token") << QByteArray("oauth_token=&oauth_token_secret=RS") << false << ""
                                     << "";
        QTest::newRow("empty secret") << QByteArray("oauth_token=RT&oauth_token_secret=") << false << ""
                                      << "";
        QTest::newRow("cut at further =")
            << QByteArray("oauth_token=a=b&oauth_token_secret=RS") << true << "a"
            << "RS";
        QTest::newRow("not decoded") << QByteArray("oauth_token=a%2Bb&oauth_token_secret=RS") << true
                                     << "a%2Bb"
                                     << "RS";
        QTest::newRow("one piece") << QByteArray("oauth_token=RT") << false << ""
                                   << "";
        QTest::newRow("no =") << QByteArray("oauth_token&oauth_token_secret") << false << ""
                              << "";
        QTest::newRow("name prefix") << QByteArray("oauth_tokenx=RT&oauth_token_secret=RS") << false << ""
                                     << "";
        QTest::newRow("html") << QByteArray("<html>Sorry</html>") << false << ""
                              << "";
    }
    void tokenReply()
    {
        QFETCH(QByteArray, body);
        QFETCH(bool, ok);
        QFETCH(QString, token);
        QFETCH(QString, secret);
        CTwitterApi api;
        if (!ok) {
            QTest::ignoreMessage(QtDebugMsg, "CTwitterApi: failed to parse token response");
            QTest::ignoreMessage(QtDebugMsg,
                                 QRegularExpression(QStringLiteral("^CTwitterApi: reply pieces")));
        }
        QString gotToken;
        QString gotSecret;
        int error = -1;
        QCOMPARE(api.parseRequestToken(header(200), body, gotToken, gotSecret, error), ok);
        QCOMPARE(error, ok ? 0 : int(TwitterFailed));
        if (ok) {
            QCOMPARE(gotToken, token);
            QCOMPARE(gotSecret, secret);
        }
    }

    // The diagnostics of an unreadable token reply name its pieces, never their values.
    void tokenReplyLogHidesValues()
    {
        CTwitterApi api;
        QTest::ignoreMessage(QtDebugMsg, "CTwitterApi: failed to parse token response");
        QTest::ignoreMessage(QtDebugMsg, "CTwitterApi: reply pieces (oauth_token_secret, oauth_token)");
        QString token;
        QString secret;
        int error = 0;
        QVERIFY(!api.parseTokenResponse("oauth_token_secret=TOPSECRET&oauth_token=RT", token, secret, error));
        QCOMPARE(error, int(TwitterFailed));
    }

    void requestTokenEmptyBody()
    {
        CTwitterApi api;
        QString token;
        QString secret;
        int error = -1;
        QVERIFY(!api.parseRequestToken(header(200), QByteArray(), token, secret, error));
        QCOMPARE(error, int(TwitterFailed));
        QTest::ignoreMessage(QtDebugMsg, "CTwitterApi: http response error 401");
        QVERIFY(!api.parseRequestToken(header(401), "oauth_token=RT&oauth_token_secret=RS", token, secret,
                                       error));
        QCOMPARE(error, int(TwitterUnauthorized));
        QVERIFY(token.isEmpty());
    }

    void accessTokenReply_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QStringList>("expected"); // token, secret, user id, user name
        QTest::addColumn<bool>("logs");
        QTest::newRow("full") << QByteArray(
                                     "oauth_token=AT&oauth_token_secret=AS&user_id=123&screen_name=alice")
                              << true << QStringList{"AT", "AS", "123", "alice"} << false;
        QTest::newRow("no user") << QByteArray("oauth_token=AT&oauth_token_secret=AS") << true
                                 << QStringList{"AT", "AS", "", ""} << true;
        QTest::newRow("user swapped")
            << QByteArray("oauth_token=AT&oauth_token_secret=AS&screen_name=alice&user_id=123") << true
            << QStringList{"AT", "AS", "", ""} << true;
        QTest::newRow("empty name") << QByteArray(
                                           "oauth_token=AT&oauth_token_secret=AS&user_id=123&screen_name=")
                                    << true << QStringList{"AT", "AS", "", ""} << true;
        QTest::newRow("no token") << QByteArray("user_id=123&screen_name=alice") << false << QStringList()
                                  << true;
        QTest::newRow("empty") << QByteArray() << false << QStringList() << false;
    }
    void accessTokenReply()
    {
        QFETCH(QByteArray, body);
        QFETCH(bool, ok);
        QFETCH(QStringList, expected);
        QFETCH(bool, logs);
        CTwitterApi api;
        if (logs) {
            QTest::ignoreMessage(QtDebugMsg,
                                 QRegularExpression(QStringLiteral("^CTwitterApi: failed to parse")));
            QTest::ignoreMessage(QtDebugMsg,
                                 QRegularExpression(QStringLiteral("^CTwitterApi: reply pieces")));
        }
        QString token, secret;
        QString userId = QStringLiteral("stale");
        QString userName = QStringLiteral("stale");
        int error = -1;
        QCOMPARE(api.parseAccessToken(header(200), body, token, secret, userId, userName, error), ok);
        QCOMPARE(error, ok ? 0 : int(TwitterFailed));
        if (ok)
            QCOMPARE((QStringList{token, secret, userId, userName}), expected);
    }

    void timeline_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QStringList>("ids");
        QTest::newRow("two full") << "<?xml version=\"1.0\" encoding=\"UTF-8\"?><statuses type=\"array\">" +
                                         statusXml("1", userXml("1")) + statusXml("2", userXml("2")) +
                                         "</statuses>"
                                  << QStringList{"1", "2"};
        QTest::newRow("second without image")
            << "<statuses>" + statusXml("1", userXml("1")) + statusXml("2", userXml("2", false)) +
                   statusXml("3", userXml("3")) + "</statuses>"
            << QStringList{"1", "3"};
        QTest::newRow("second without user")
            << "<statuses>" + statusXml("1", userXml("1")) + statusXml("2", "") +
                   statusXml("3", userXml("3")) + "</statuses>"
            << QStringList{"1", "3"};
        QTest::newRow("no status children") << QByteArray("<statuses type=\"array\"/>") << QStringList();
        QTest::newRow("other children skipped")
            << "<statuses><other/>" + statusXml("1", userXml("1")) + "<other/></statuses>"
            << QStringList{"1"};
    }
    void timeline()
    {
        QFETCH(QByteArray, body);
        QFETCH(QStringList, ids);
        const int skipped =
            QString::fromLatin1(QTest::currentDataTag()).startsWith(QLatin1String("second")) ? 1 : 0;
        CTwitterApi api;
        for (int i = 0; i < skipped; ++i)
            QTest::ignoreMessage(QtDebugMsg,
                                 QRegularExpression(QStringLiteral("^CTwitterApi: skipping unreadable")));
        STwitterTimeLine timeline{expectedEvent(QStringLiteral("stale"))};
        int error = -1;
        QVERIFY(api.parseTimelineResponse(header(200), body, timeline, error));
        QCOMPARE(error, 0);
        QCOMPARE(timeline.size(), ids.size());
        for (int i = 0; i < ids.size(); ++i)
            QCOMPARE(timeline.at(i), expectedEvent(ids.at(i)));
    }

    // A 200 whose body is no list of statuses is a failure, never an empty timeline.
    void timelineNotAList_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<int>("error");
        QTest::newRow("not authenticated")
            << QByteArray(
                   "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<hash>\n  <request>/statuses/"
                   "friends_timeline.xml</request>\n  <error>Could not authenticate you.</error>\n</hash>")
            << int(TwitterUnauthorized);
        QTest::newRow("other error document")
            << QByteArray(
                   "<hash><request>/statuses/mentions.xml</request><error>Rate limit exceeded. Clients "
                   "may not make more than 150 requests per hour.</error></hash>")
            << int(TwitterFailed);
        QTest::newRow("html page") << QByteArray("<html><head><title>Over capacity</title></head><body>"
                                                 "<p>Too many tweets!</p></body></html>")
                                   << int(TwitterFailed);
        QTest::newRow("other root") << QByteArray("<nothing><status/></nothing>") << int(TwitterFailed);
        QTest::newRow("not well-formed") << QByteArray("<statuses><status>") << int(TwitterFailed);
        QTest::newRow("invalid utf-8")
            << "<statuses>" + statusXml("1", userXml("1")).replace("Text", "T\xffxt") + "</statuses>"
            << int(TwitterFailed);
    }
    void timelineNotAList()
    {
        QFETCH(QByteArray, body);
        QFETCH(int, error);
        QTest::ignoreMessage(QtDebugMsg, QRegularExpression(QStringLiteral("^CTwitterApi: timeline ")));
        CTwitterApi api;
        STwitterTimeLine timeline{expectedEvent(QStringLiteral("stale"))};
        int code = -1;
        QVERIFY(!api.parseTimelineResponse(header(200), body, timeline, code));
        QCOMPARE(code, error);
        QVERIFY(timeline.isEmpty());
        QCOMPARE(CTwitterTimeline::mapError(code),
                 error == TwitterUnauthorized ? MediaErrorAuthorization : MediaErrorGeneral);
    }

    // A native retweet comes cut to 140 characters with the whole original beside it.
    void nativeRetweet()
    {
        const QByteArray original =
            "<retweeted_status><created_at>Tue Aug 26 10:00:00 +0000 2008</created_at><id>55</id>"
            "<text>Reading the whole thing now &amp; it is longer than the retweet can hold, so the service "
            "cuts the copy; the original keeps every word. Got that?</text><truncated>false</truncated>"
            "<user><id>77</id><name>Peter B</name><screen_name>peterbromberg</screen_name>"
            "<profile_image_url>http://img.example/77.png</profile_image_url></user></retweeted_status>";
        QByteArray body = statusXml("1", userXml("1") + original);
        body.replace("Text &amp; 1",
                     "RT @peterbromberg: Reading the whole thing now &amp; it ... Got th ...");
        body.replace("<truncated>false", "<truncated>true");
        CTwitterApi api;
        STwitterTimeLine timeline;
        int error = -1;
        QVERIFY(api.parseTimelineResponse(header(200), "<statuses>" + body + "</statuses>", timeline, error));
        QCOMPARE(timeline.size(), 1);
        const STwitterStatusData& status = timeline.at(0).status;
        QCOMPARE(status.text,
                 QStringLiteral("RT @peterbromberg: Reading the whole thing now & it ... Got th ..."));
        QCOMPARE(status.retweeted_screen_name, QStringLiteral("peterbromberg"));
        QCOMPARE(status.shownText(),
                 QStringLiteral(
                     "RT @peterbromberg: Reading the whole thing now & it is longer than the retweet "
                     "can hold, so the service cuts the copy; the original keeps every word. Got that?"));
        QCOMPARE(timeline.at(0).user.id, QStringLiteral("1")); // the retweeter, not the original's author
        QCOMPARE(expectedEvent(QStringLiteral("1")).status.shownText(), QStringLiteral("Text & 1"));
    }

    void emptyImageCountsAsPresent()
    {
        CTwitterApi api;
        STwitterTimeLine timeline;
        QVERIFY(api.parseTimeline("<statuses>" + statusXml("1", userXml("1", true, "<profile_image_url/>")) +
                                      "</statuses>",
                                  timeline));
        QCOMPARE(timeline.size(), 1);
        QVERIFY(!timeline.at(0).user.profile_image_url.isNull());
        QVERIFY(timeline.at(0).user.profile_image_url.isEmpty());
        // An absent optional field stays null.
        QByteArray noUrl = userXml("2");
        noUrl.replace("<url>http://example.com/2</url>", "");
        QVERIFY(api.parseTimeline("<statuses>" + statusXml("2", noUrl) + "</statuses>", timeline));
        QCOMPARE(timeline.size(), 1);
        QVERIFY(timeline.at(0).user.url.isNull());
    }

    void updateReply_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<bool>("ok");
        QTest::newRow("full") << statusXml("9", userXml("9")) << true;
        QTest::newRow("user without id")
            << statusXml("9", "<user><name>n</name><profile_image_url/></user>") << false;
        QTest::newRow("no user") << statusXml("9", "") << false;
        QTest::newRow("not a status") << QByteArray("<statuses/>") << false;
        QTest::newRow("empty") << QByteArray() << false;
    }
    // An answer nested deeper than the reader allows is unreadable and builds no document; one
    // 200 deep is read as usual. An unreadable timeline is a failure.
    void hostileNesting_data()
    {
        QTest::addColumn<int>("depth");
        QTest::addColumn<bool>("closed");
        QTest::addColumn<bool>("ok");
        QTest::newRow("200 deep") << 200 << true << true;
        QTest::newRow("300 deep") << 300 << true << false;
        QTest::newRow("300 deep, never closed") << 300 << false << false;
    }
    void hostileNesting()
    {
        QFETCH(int, depth);
        QFETCH(bool, closed);
        QFETCH(bool, ok);
        // "status" is the first level; the rest nests inside it after the user.
        const int inner = depth - 1;
        QByteArray nest = QByteArray("<x>").repeated(inner);
        if (closed)
            nest += QByteArray("</x>").repeated(inner);
        QByteArray body = statusXml("9", userXml("9") + nest);
        if (!closed)
            body.chop(int(qstrlen("</status>")));

        CTwitterApi api;
        const int before = meskXmlDocumentCount();
        STwitterStatusEvent event;
        int error = -1;
        QCOMPARE(api.parseUpdateResponse(header(200), body, event, error), ok);
        QCOMPARE(error, ok ? 0 : int(TwitterFailed));
        QCOMPARE(meskXmlDocumentCount() - before, ok ? 1 : 0);
        if (ok)
            QCOMPARE(event, expectedEvent(QStringLiteral("9")));

        STwitterTimeLine timeline;
        error = -1;
        if (!ok)
            QTest::ignoreMessage(QtDebugMsg, "CTwitterApi: timeline reply is not a list of statuses");
        QCOMPARE(api.parseTimelineResponse(header(200), "<statuses>" + body + (closed ? "</statuses>" : ""),
                                           timeline, error),
                 ok);
        QCOMPARE(error, ok ? 0 : int(TwitterFailed));
        QCOMPARE(timeline.size(), ok ? 1 : 0);
    }

    void updateReply()
    {
        QFETCH(QByteArray, body);
        QFETCH(bool, ok);
        CTwitterApi api;
        STwitterStatusEvent event;
        int error = -1;
        QCOMPARE(api.parseUpdateResponse(header(200), body, event, error), ok);
        QCOMPARE(error, ok ? 0 : int(TwitterFailed));
        if (ok)
            QCOMPARE(event, expectedEvent(QStringLiteral("9")));
    }

    // Replies parsed on two threads at once each report their own code, and the
    // request-building code read on this thread is left alone.
    void parsersReportTheirOwnCode()
    {
        CTwitterApi api;
        QTest::ignoreMessage(QtDebugMsg, "CTwitterApi ERROR: consumer information is not set");
        QString url;
        QVERIFY(!api.requestTokenUrl(url));
        QCOMPARE(api.lastError(), int(TwitterNoConsumer));

        const QByteArray page = "<statuses>" + statusXml("1", userXml("1")) + "</statuses>";
        QAtomicInt wrongCodes;
        QAtomicInt wrongResults;
        auto worker = [&](int status) {
            return QThread::create([&, status] {
                for (int round = 0; round < 1000; ++round) {
                    STwitterTimeLine timeline;
                    int error = -1;
                    const bool ok = api.parseTimelineResponse(header(status), page, timeline, error);
                    if (ok != (status == 200) || timeline.size() != (status == 200 ? 1 : 0))
                        wrongResults.ref();
                    if (error != (status == 200 ? 0 : int(TwitterUnauthorized)))
                        wrongCodes.ref();
                }
            });
        };
        g_swallowed = 0;
        const QtMessageHandler previous = qInstallMessageHandler(swallowMessages);
        QThread* refused = worker(401);
        QThread* accepted = worker(200);
        refused->start();
        accepted->start();
        for (int i = 0; i < 100; ++i)
            QCOMPARE(api.lastError(), int(TwitterNoConsumer));
        QVERIFY(refused->wait(30000));
        QVERIFY(accepted->wait(30000));
        qInstallMessageHandler(previous);
        delete refused;
        delete accepted;
        QCOMPARE(wrongCodes.loadRelaxed(), 0);
        QCOMPARE(wrongResults.loadRelaxed(), 0);
        QCOMPARE(g_swallowed.loadRelaxed(), 1000); // one line per refused reply
        QCOMPARE(api.lastError(), int(TwitterNoConsumer));
    }

    void timelinePassesQueuedConnection()
    {
        CTwitterApi api; // registers the records
        STwitterTimeLine sent{expectedEvent(QStringLiteral("1")), expectedEvent(QStringLiteral("2"))};
        sent[1].status.text = QStringLiteral("\u00fc & <b>");
        TimelineEmitter emitter;
        STwitterTimeLine received;
        // Connected first: the spy records on the emitting thread before the queued call is posted.
        QSignalSpy spy(&emitter, &TimelineEmitter::timelineReady);
        connect(
            &emitter, &TimelineEmitter::timelineReady, this,
            [&received](const STwitterTimeLine& t) { received = t; }, Qt::QueuedConnection);
        QThread thread;
        emitter.moveToThread(&thread);
        thread.start();
        QMetaObject::invokeMethod(&emitter, [&emitter, sent] { emitter.send(sent); });
        QTRY_COMPARE_WITH_TIMEOUT(received.size(), 2, 30000);
        QCOMPARE(received, sent);
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.at(0).at(0).value<STwitterTimeLine>(), sent);
        thread.quit();
        thread.wait();
    }

    // --- dates ----------------------------------------------------------------

    void parseDate_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QDateTime>("utc"); // invalid: the injected now
        QTest::newRow("created_at") << "Wed Aug 27 13:08:45 +0000 2008"
                                    << QDateTime(QDate(2008, 8, 27), QTime(13, 8, 45), Qt::UTC);
        QTest::newRow("one-digit day")
            << "Wed Aug 7 13:08:45 +0000 2008" << QDateTime(QDate(2008, 8, 7), QTime(13, 8, 45), Qt::UTC);
        QTest::newRow("december") << "Sun Dec 31 23:59:59 +0000 2006"
                                  << QDateTime(QDate(2006, 12, 31), QTime(23, 59, 59), Qt::UTC);
        QTest::newRow("other zone") << "Wed Aug 27 13:08:45 +0100 2008" << QDateTime();
        QTest::newRow("31 February") << "Wed Feb 31 13:08:45 +0000 2008" << QDateTime();
        QTest::newRow("lower-case weekday") << "wed Aug 27 13:08:45 +0000 2008" << QDateTime();
        QTest::newRow("hour 24") << "Wed Aug 27 24:08:45 +0000 2008" << QDateTime();
        QTest::newRow("trailing text") << "Wed Aug 27 13:08:45 +0000 2008x" << QDateTime();
        QTest::newRow("leading blank") << " Wed Aug 27 13:08:45 +0000 2008" << QDateTime();
        QTest::newRow("empty") << "" << QDateTime();
    }
    void parseDate()
    {
        QFETCH(QString, text);
        QFETCH(QDateTime, utc);
        const QDateTime now(QDate(2020, 3, 4), QTime(5, 6, 7));
        TestClock clock(now);
        const QDateTime parsed = CTwitterApi::parseDate(text);
        if (utc.isValid()) {
            // The clock time of the zone in force, holding the moment.
            QCOMPARE(parsed.offsetFromUtc(), parsed.toLocalTime().offsetFromUtc());
            QCOMPARE(parsed.toUTC(), utc);
        } else {
            QCOMPARE(parsed, now);
        }
    }
};

QTEST_GUILESS_MAIN(TestTwitterApi)
#include "tst_twitterapi.moc"
