#include "facebookapi.h"
#include "facebookrecords.h"
#include "meskxml.h"
#include "testclock.h"

#include <QCryptographicHash>
#include <QRegularExpression>
#include <QTest>
#include <QThread>
#include <QUrl>

#include <atomic>
#include <memory>

namespace {

const QString kKey = QStringLiteral("0123456789abcdef0123456789abcdef");

enum Formatter
{
    UsersGetInfo,
    PhotosGet,
    StreamGet,
    EventPhotosQuery,
    AddLike,
    RemoveLike,
    GetComments,
    NotificationsGet,
    MessageThreads,
    StreamPublish,
    AddComment,
    FormatterCount
};

const char* formatterName(int which)
{
    static const char* names[] = {"users.getInfo",      "photos.get",        "stream.get",
                                  "fql.query",          "stream.addLike",    "stream.removeLike",
                                  "stream.getComments", "notifications.get", "message.getThreadsInFolder",
                                  "stream.publish",     "stream.addComment"};
    return names[which];
}

bool format(CFacebookApi& api, int which, QString& url, const QString& a = QStringLiteral("100_1"),
            const QString& b = QStringLiteral("100_5"), const QString& c = QStringLiteral("1262304000"))
{
    switch (which) {
    case UsersGetInfo:
        return api.formatUsersGetInfo(url, a);
    case PhotosGet:
        return api.formatPhotosGet(url, a);
    case StreamGet:
        return api.formatStreamGet(url);
    case EventPhotosQuery:
        return api.formatEventPhotosQuery(url, a, b, c);
    case AddLike:
        return api.formatAddLike(url, a);
    case RemoveLike:
        return api.formatRemoveLike(url, a);
    case GetComments:
        return api.formatGetComments(url, a);
    case NotificationsGet:
        return api.formatNotificationsGet(url);
    case MessageThreads:
        return api.formatMessageThreads(url);
    case StreamPublish:
        return api.formatStreamPublish(url, a);
    case AddComment:
        return api.formatAddComment(url, a, b);
    }
    return false;
}

void configure(CFacebookApi& api)
{
    api.setApiKey(kKey);
    api.setSession(QStringLiteral("SESSIONKEY"), QStringLiteral("SECRET"), QStringLiteral("12345"));
    api.setRestBaseUrl(QStringLiteral("http://api.example"));
    api.setWebBaseUrl(QStringLiteral("http://www.example"));
}

QString sigOf(const QString& url)
{
    return url.section(QStringLiteral("&sig="), 1);
}

QStringList entriesOf(const QString& url)
{
    return url.section(QLatin1Char('?'), 1).split(QLatin1Char('&'));
}

SMeskHttpResponseHeader header(int status)
{
    SMeskHttpResponseHeader h;
    h.statusCode = status;
    return h;
}

QByteArray errorBody(const QByteArray& code)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<error_response "
           "xmlns=\"http://api.facebook.com/1.0/\">"
           "<error_code>" +
           code + "</error_code><error_msg>Something failed</error_msg></error_response>";
}

const QByteArray kStreamBody =
    "<stream_get_response><posts><stream_post><post_id>1_2</post_id>"
    "<actor_id>1</actor_id><attachment/></stream_post></posts></stream_get_response>";

SFacebookMedia medium(const QString& type)
{
    SFacebookMedia m;
    m.type = type;
    return m;
}

} // namespace

class TestFacebookApi : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { registerFacebookMetaTypes(); }

    void md5_data()
    {
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<QByteArray>("digest");
        QTest::newRow("empty") << QByteArray() << QByteArray("d41d8cd98f00b204e9800998ecf8427e");
        QTest::newRow("abc") << QByteArray("abc") << QByteArray("900150983cd24fb0d6963f7d28e17f72");
    }
    void md5()
    {
        QFETCH(QByteArray, input);
        QFETCH(QByteArray, digest);
        QCOMPARE(QCryptographicHash::hash(input, QCryptographicHash::Md5).toHex(), digest);
    }

    void signatureVectors_data()
    {
        QTest::addColumn<int>("which");
        QTest::addColumn<QString>("a");
        QTest::addColumn<QString>("b");
        QTest::addColumn<QString>("c");
        QTest::addColumn<QString>("sig");
        QTest::addColumn<QStringList>("entries"); // must stand in the URL exactly so

        QTest::newRow("stream.get") << int(StreamGet) << QString() << QString() << QString()
                                    << "448d64db7f044ca5cb2d5114ea09129f" << QStringList();
        QTest::newRow("stream.publish")
            << int(StreamPublish) << "Hello%20w%C3%B6rld%20%26%20a%3Db" << QString() << QString()
            << "2887eaab87341d41f3064e2a1fe7995f" << QStringList{"message=Hello%20w%C3%B6rld%20%26%20a%3Db"};
        QTest::newRow("message threads")
            << int(MessageThreads) << QString() << QString() << QString()
            << "5258a6852163b7222775173329e0c450" << QStringList{"folder_id=0", "uid=0"};
        QTest::newRow("users.getInfo")
            << int(UsersGetInfo) << "12345" << QString() << QString() << "dbf0ab3105965fb23cd6dd1360b70fc9"
            << QStringList{"uids=12345", "fields=uid,name,pic_square,profile_url"};
        QTest::newRow("fql.query")
            << int(EventPhotosQuery) << "100_1"
            << "100_5"
            << "1262304000"
            << "534fba358dcb4e1bb737d5b8bebece35"
            << QStringList{
                   "query=SELECT%20pid%2C%20aid%2C%20owner%2C%20src_small%2C%20src_big%2C%20src%2C%20link"
                   "%2C%20caption%2C%20created%20FROM%20photo%20WHERE%20aid%3D%27100_1%27%20AND%20pid%20%"
                   "3E%3D%20%27100_5%27%20AND%20created%20%3C%3D%201262304000"};
        QTest::newRow("id with & and blank")
            << int(AddLike) << "1&2 3" << QString() << QString() << "68c6401b80b449dd70581a623c62bf67"
            << QStringList{"post_id=1%262%203", "method=stream.addLike"};
        QTest::newRow("comment") << int(AddComment) << "100_200"
                                 << "a%20%26%20b%3Dc%20%C3%BC" << QString()
                                 << "d334692085a1dcf7933e2f70ddc79681"
                                 << QStringList{"post_id=100_200", "comment=a%20%26%20b%3Dc%20%C3%BC"};
    }
    void signatureVectors()
    {
        QFETCH(int, which);
        QFETCH(QString, a);
        QFETCH(QString, b);
        QFETCH(QString, c);
        QFETCH(QString, sig);
        QFETCH(QStringList, entries);

        TestClock clock(QDateTime::fromSecsSinceEpoch(1234567890, Qt::UTC));
        CFacebookApi api;
        configure(api);
        QString url;
        QVERIFY(format(api, which, url, a, b, c));
        QCOMPARE(api.lastError(), 0);
        QVERIFY2(url.startsWith(QLatin1String("http://api.example/restserver.php?")), qPrintable(url));
        QCOMPARE(sigOf(url), sig);
        const QStringList actual = entriesOf(url);
        for (const QString& entry : entries)
            QVERIFY2(actual.contains(entry), qPrintable(entry + QStringLiteral(" in ") + url));
        // Every entry is one name=value pair: nothing in the values split the query.
        QCOMPARE(actual.size(), 7 + entries.size() - (which == AddLike ? 1 : 0));
    }

    void streamGetUrlIsExact()
    {
        TestClock clock(QDateTime::fromSecsSinceEpoch(1234567890, Qt::UTC));
        CFacebookApi api;
        configure(api);
        QString url;
        QVERIFY(api.formatStreamGet(url));
        QCOMPARE(url,
                 QStringLiteral("http://api.example/restserver.php?api_key=0123456789abcdef0123456789abcdef"
                                "&call_id=1234567890&format=XML&method=stream.get&session_key=SESSIONKEY"
                                "&v=1.0&sig=448d64db7f044ca5cb2d5114ea09129f"));
    }

    void signatureBaseIsDecodedText()
    {
        TestClock clock(QDateTime::fromSecsSinceEpoch(1234567890, Qt::UTC));
        CFacebookApi api;
        configure(api);
        QString url;
        QVERIFY(api.formatStreamPublish(url, QStringLiteral("Hello%20w%C3%B6rld%20%26%20a%3Db")));
        const QString base = QStringLiteral("api_key=%1call_id=1234567890format=XMLmessage=Hello wörld & a=b"
                                            "method=stream.publishsession_key=SESSIONKEYv=1.0SECRET")
                                 .arg(kKey);
        QCOMPARE(sigOf(url), QString::fromLatin1(
                                 QCryptographicHash::hash(base.toUtf8(), QCryptographicHash::Md5).toHex()));
    }

    void entriesSortedWithSigLast_data()
    {
        QTest::addColumn<int>("which");
        for (int i = 0; i < FormatterCount; ++i)
            QTest::newRow(formatterName(i)) << i;
    }
    void entriesSortedWithSigLast()
    {
        QFETCH(int, which);
        TestClock clock(QDateTime::fromSecsSinceEpoch(1234567890, Qt::UTC));
        CFacebookApi api;
        configure(api);
        QString first;
        QVERIFY(format(api, which, first));
        clock.advanceSecs(1);
        QString second;
        QVERIFY(format(api, which, second));

        const QStringList a = entriesOf(first);
        const QStringList b = entriesOf(second);
        QVERIFY(a.constLast().startsWith(QLatin1String("sig=")));
        QStringList sorted = a.mid(0, a.size() - 1);
        sorted.sort();
        QCOMPARE(a.mid(0, a.size() - 1), sorted);
        QVERIFY(a.contains(QStringLiteral("method=") + QLatin1String(formatterName(which))));

        // One second later only call_id and sig differ.
        QCOMPARE(a.size(), b.size());
        QStringList differing;
        for (qsizetype i = 0; i < a.size(); ++i) {
            if (a.at(i) != b.at(i))
                differing << a.at(i).section(QLatin1Char('='), 0, 0);
        }
        QCOMPARE(differing, (QStringList{"call_id", "sig"}));
        QVERIFY(b.contains(QStringLiteral("call_id=1234567891")));
    }

    void callIdIsNotTruncated()
    {
        // A time past 2038 still goes out whole.
        TestClock clock(QDateTime::fromSecsSinceEpoch(4102444800LL, Qt::UTC));
        CFacebookApi api;
        configure(api);
        QString url;
        QVERIFY(api.formatStreamGet(url));
        QVERIFY(entriesOf(url).contains(QStringLiteral("call_id=4102444800")));
    }

    void formattersNeedKeyAndSession_data()
    {
        QTest::addColumn<int>("which");
        QTest::addColumn<bool>("withKey");
        for (int i = 0; i < FormatterCount; ++i) {
            QTest::addRow("%s, no session", formatterName(i)) << i << true;
            QTest::addRow("%s, no key", formatterName(i)) << i << false;
        }
    }
    void formattersNeedKeyAndSession()
    {
        QFETCH(int, which);
        QFETCH(bool, withKey);
        CFacebookApi api;
        configure(api);
        api.setSession({}, {}, {});
        if (!withKey)
            api.setApiKey({});
        QTest::ignoreMessage(QtDebugMsg, withKey ? "CFacebookApi ERROR: session is not set"
                                                 : "CFacebookApi ERROR: API key is not set");
        QString url = QStringLiteral("untouched");
        QVERIFY(!format(api, which, url));
        QCOMPARE(api.lastError(), 104);
        QCOMPARE(url, QStringLiteral("untouched"));

        // A later good request starts afresh: code 0 and none of the failed request's entries.
        configure(api);
        QVERIFY(format(api, which, url));
        QCOMPARE(api.lastError(), 0);
        QCOMPARE(entriesOf(url).filter(QStringLiteral("api_key=")).size(), 1);
    }

    void sessionState()
    {
        CFacebookApi api;
        QVERIFY(!api.isReady());
        api.setApiKey(kKey);
        QVERIFY(api.hasApiKey() && !api.hasSession());
        api.setSession(QStringLiteral("K"), QStringLiteral("S"), QString());
        QVERIFY(api.isReady()); // the uid is not needed to sign
        api.setSession(QStringLiteral("K"), QString(), QStringLiteral("U"));
        QVERIFY(!api.hasSession());
    }

    void authorizationUrl()
    {
        CFacebookApi api;
        configure(api);
        api.setSession({}, {}, {});
        QString url;
        QVERIFY(api.authorizationUrl(url));
        QCOMPARE(api.lastError(), 0);
        QCOMPARE(url, QStringLiteral("http://www.example/login.php?api_key=0123456789abcdef0123456789abcdef"
                                     "&fbconnect=true&v=1.0&connect_display=popup&return_session=true"
                                     "&next=http://www.example/connect/login_success.html"
                                     "&cancel_url=http://www.example/connect/login_failure.html"
                                     "&req_perms=read_stream,read_mailbox,publish_stream,offline_access"));

        api.setApiKey({});
        QTest::ignoreMessage(QtDebugMsg, "CFacebookApi ERROR: API key is not set");
        url = QStringLiteral("untouched");
        QVERIFY(!api.authorizationUrl(url));
        QCOMPARE(api.lastError(), 104);
        QCOMPARE(url, QStringLiteral("untouched"));
    }

    void addresses()
    {
        {
            qunsetenv("LUMESK_FACEBOOK_URL");
            CFacebookApi api;
            QCOMPARE(api.restBaseUrl(), QStringLiteral("http://api.facebook.com"));
            QCOMPARE(api.webBaseUrl(), QStringLiteral("http://www.facebook.com"));
        }
        {
            qputenv("LUMESK_FACEBOOK_URL", "http://127.0.0.1:8080/");
            CFacebookApi api;
            qunsetenv("LUMESK_FACEBOOK_URL");
            api.setApiKey(kKey);
            api.setSession(QStringLiteral("K"), QStringLiteral("S"), QStringLiteral("U"));
            QString url;
            QVERIFY(api.formatNotificationsGet(url));
            QVERIFY2(url.startsWith(QLatin1String("http://127.0.0.1:8080/restserver.php?api_key=")),
                     qPrintable(url));
            QVERIFY(api.authorizationUrl(url));
            QVERIFY2(url.startsWith(QLatin1String("http://127.0.0.1:8080/login.php?")), qPrintable(url));
            QVERIFY(url.contains(QLatin1String("&next=http://127.0.0.1:8080/connect/login_success.html&")));
            QCOMPARE(api.loginFailureUrl(),
                     QStringLiteral("http://127.0.0.1:8080/connect/login_failure.html"));
        }
    }

    void callback_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<int>("error");
        QTest::addColumn<QString>("log"); // a pattern the debug output must match; empty for none

        const QString success = QStringLiteral("http://www.example/connect/login_success.html?session=");
        // The page with "name=" and the percent-encoded rest of the text as its first parameter.
        auto session = [](const QString& text) {
            return QStringLiteral("http://www.example/connect/login_success.html?") +
                   text.section(QLatin1Char('='), 0, 0) + QLatin1Char('=') +
                   QString::fromLatin1(QUrl::toPercentEncoding(text.section(QLatin1Char('='), 1))) +
                   QStringLiteral("&other=1");
        };
        QTest::newRow("good")
            << success +
                   QStringLiteral(
                       "%7B%22session_key%22%3A%223.abc-DEF_12.3600.1.12345%22%2C%22uid%22%3A12345"
                       "%2C%22expires%22%3A0%2C%22secret%22%3A%22s3cr3t%2Cx%22%2C%22sig%22%3A%22ff%22%7D")
            << true << 0 << QString();
        QTest::newRow("expires 1234")
            << session(QStringLiteral(R"(session={"session_key":"k","uid":1,"expires":1234,"secret":"s"})"))
            << false << 105 << QStringLiteral("^CFacebookApi: user has not allowed offline access$");
        QTest::newRow("expires past 2038")
            << session(
                   QStringLiteral(R"(session={"session_key":"k","uid":1,"expires":4102444800,"secret":"s"})"))
            << false << 105 << QStringLiteral("offline access");
        QTest::newRow("expires beyond qint64")
            << session(QStringLiteral(
                   R"(session={"session_key":"k","uid":1,"expires":99999999999999999999999,"secret":"s"})"))
            << false << 105 << QStringLiteral("offline access");
        QTest::newRow("no uid")
            << session(QStringLiteral(R"(session={"session_key":"k","expires":0,"secret":"s"})")) << false
            << 105
            << QStringLiteral("^CFacebookApi: failed to parse session \\(uid missing or unreadable\\)$");
        QTest::newRow("empty secret")
            << session(QStringLiteral(R"(session={"session_key":"k","uid":1,"expires":0,"secret":""})"))
            << false << 105 << QStringLiteral("failed to parse session");
        QTest::newRow("other name") << session(QStringLiteral(
                                           R"(token={"session_key":"k","uid":1,"expires":0,"secret":"s"})"))
                                    << false << 105 << QStringLiteral("failed to parse session");
        QTest::newRow("not name={...}")
            << success + QStringLiteral("abc") << false << 105
            << QStringLiteral("failed to parse session \\(not of the form session=\\{\\.\\.\\.\\}\\)$");
        QTest::newRow("no query") << QStringLiteral("http://www.example/connect/login_success.html") << false
                                  << 105 << QStringLiteral("failed to parse session");
        QTest::newRow("failure page")
            << QStringLiteral("http://www.example/connect/login_failure.html?x=1") << false << 103
            << QStringLiteral("^CFacebookApi: user rejected authorization$");
        QTest::newRow("other page")
            << QStringLiteral("http://www.example/home.php?session=x") << false << 105
            << QStringLiteral("^CFacebookApi: unknown call back URL http://www.example/home.php$");
        QTest::newRow("success over https")
            << QStringLiteral(
                   "https://www.example/connect/login_success.html?session=%7B%22session_key%22%3A%22k"
                   "%22%2C%22uid%22%3A1%2C%22expires%22%3A0%2C%22secret%22%3A%22s%22%7D")
            << false << 105 << QStringLiteral("unknown call back URL");
        QTest::newRow("success page inside another site's path")
            << QStringLiteral(
                   "http://evil.example/http://www.example/connect/login_success.html?session=%7B%22"
                   "session_key%22%3A%22k%22%2C%22uid%22%3A1%2C%22expires%22%3A0%2C%22secret%22%3A%22s%22%7D")
            << false << 105 << QStringLiteral("unknown call back URL");
    }
    void callback()
    {
        QFETCH(QString, url);
        QFETCH(bool, ok);
        QFETCH(int, error);
        QFETCH(QString, log);

        CFacebookApi api;
        configure(api);
        if (!log.isEmpty())
            QTest::ignoreMessage(QtDebugMsg, QRegularExpression(log));
        QString key = QStringLiteral("K");
        QString secret = QStringLiteral("S");
        QString uid = QStringLiteral("U");
        QCOMPARE(api.parseCallbackUrl(url, key, secret, uid), ok);
        QCOMPARE(api.lastError(), error);
        if (ok) {
            QCOMPARE(key, QStringLiteral("3.abc-DEF_12.3600.1.12345"));
            QCOMPARE(secret, QStringLiteral("s3cr3t,x"));
            QCOMPARE(uid, QStringLiteral("12345"));
        } else {
            // A failed login leaves the caller's session as it was.
            QCOMPARE(key, QStringLiteral("K"));
            QCOMPARE(secret, QStringLiteral("S"));
            QCOMPARE(uid, QStringLiteral("U"));
        }
    }

    // A session text that does not read goes to the log by its faults only: the key and the
    // secret in it never do (a user who declines offline access takes this path).
    void sessionSecretsNeverLogged_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("problems");
        QTest::newRow("no uid") << QStringLiteral(
                                       R"(session={"session_key":"KEYKEY","expires":0,"secret":"SECSEC"})")
                                << QStringLiteral("uid missing or unreadable");
        QTest::newRow("offline access declined")
            << QStringLiteral(R"(session={"session_key":"KEYKEY","uid":7,"expires":1234,"secret":"SECSEC"})")
            << QStringLiteral("expires is not 0");
        QTest::newRow("no key, no secret")
            << QStringLiteral(R"(session={"uid":7,"expires":0,"sig":"KEYKEY"})")
            << QStringLiteral("session_key missing or unreadable, "
                              "secret missing or unreadable");
        QTest::newRow("not of the form")
            << QStringLiteral(R"(session=["session_key":"KEYKEY","secret":"SECSEC"])")
            << QStringLiteral("not of the form session={...}");
    }
    void sessionSecretsNeverLogged()
    {
        QFETCH(QString, text);
        QFETCH(QString, problems);
        static QStringList messages;
        messages.clear();
        const QtMessageHandler previous = qInstallMessageHandler(
            [](QtMsgType, const QMessageLogContext&, const QString& message) { messages.append(message); });
        CFacebookApi api;
        configure(api);
        QString key, secret, uid;
        const bool ok = api.parseCallbackUrl(
            api.loginSuccessUrl() + QLatin1Char('?') + text.section(QLatin1Char('='), 0, 0) +
                QLatin1Char('=') +
                QString::fromLatin1(QUrl::toPercentEncoding(text.section(QLatin1Char('='), 1))),
            key, secret, uid);
        qInstallMessageHandler(previous);
        QVERIFY(!ok);
        QCOMPARE(api.lastError(), 105);
        QVERIFY(
            messages.contains(QStringLiteral("CFacebookApi: failed to parse session (%1)").arg(problems)));
        for (const QString& message : std::as_const(messages)) {
            QVERIFY2(!message.contains(QLatin1String("KEYKEY")) && !message.contains(QLatin1String("SECSEC")),
                     qPrintable(message));
        }
    }

    void sessionText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("uid");
        QTest::newRow("later name wins")
            << R"(session={"session_key":"a","uid":1,"secret":"s","session_key":"b"})" << true << "b"
            << "1";
        QTest::newRow("quoted uid") << R"(session={"uid":"77","session_key":"k","secret":"s"})" << true << "k"
                                    << "77";
        QTest::newRow("expires not a number")
            << R"(session={"uid":1,"session_key":"k","secret":"s","expires":"x"})" << true << "k"
            << "1";
        // An empty text value is still one value: the fields after it are read as usual.
        QTest::newRow("empty value before the fields")
            << R"(session={"base_domain":"","session_key":"k","uid":5,"expires":0,"secret":"s","sig":""})"
            << true << "k"
            << "5";
        QTest::newRow("trailing text")
            << R"(session={"uid":1,"session_key":"k","secret":"s"}x)" << false << ""
            << "";
        QTest::newRow("empty braces") << "session={}" << false << ""
                                      << "";
    }
    void sessionText()
    {
        QFETCH(QString, text);
        QFETCH(bool, ok);
        QFETCH(QString, key);
        QFETCH(QString, uid);
        QString k, s, u;
        QCOMPARE(CFacebookApi::parseSession(text, k, s, u), ok);
        QCOMPARE(k, key);
        QCOMPARE(u, uid);
    }

    void checkResponse_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<int>("error");
        QTest::newRow("good") << 200 << kStreamBody << true << 0;
        for (const char* code : {"2", "4", "9", "10", "101", "102"})
            QTest::addRow("kept %s", code) << 200 << errorBody(code) << false << QByteArray(code).toInt();
        QTest::newRow("190") << 200 << errorBody("190") << false << 105;
        QTest::newRow("code 4 under 500") << 500 << errorBody("4") << false << 4;
        QTest::newRow("code x") << 200 << errorBody("x") << false << 105;
        QTest::newRow("empty") << 200 << QByteArray() << false << 105;
        QTest::newRow("500 without error body") << 500 << kStreamBody << false << 105;
        QTest::newRow("500 with html") << 500 << QByteArray("<html>oops</html>") << false << 105;
    }
    void checkResponse()
    {
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        QFETCH(bool, ok);
        QFETCH(int, error);
        CFacebookApi api;
        int code = -1;
        QCOMPARE(api.checkResponse(header(status), body, code), ok);
        QCOMPARE(code, error);

        // The parse operations pass the check's code on.
        QList<SFacebookStreamPost> posts;
        QList<SFacebookUser> users;
        code = -1;
        QCOMPARE(api.parseStreamGet(header(status), body, posts, users, code), ok);
        QCOMPARE(code, error);
        QCOMPARE(posts.size(), ok ? 1 : 0);
    }

    void unreadableAnswerIs105()
    {
        CFacebookApi api;
        SFacebookUser user;
        user.uid = QStringLiteral("kept");
        int code = -1;
        QVERIFY(!api.parseUsersGetInfo(header(200), kStreamBody, user, code));
        QCOMPARE(code, 105);
        QCOMPARE(user.uid, QStringLiteral("kept"));
        code = -1;
        QVERIFY(!api.parseAddLike(header(200), "<stream_addLike_response>0</stream_addLike_response>", code));
        QCOMPARE(code, 105);
        // Malformed XML holding the right top element is unreadable too.
        QList<SFacebookMessage> messages;
        code = -1;
        QVERIFY(!api.parseMessageThreads(header(200), "<message_getThreadsInFolder_response><thread>",
                                         messages, code));
        QCOMPARE(code, 105);
        QVERIFY(messages.isEmpty());
    }

    // An answer nested deeper than the reader allows is refused as unreadable (105) before any
    // document is built; one 200 deep is read as usual.
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
        QByteArray body = "<stream_publish_response>123" + QByteArray("<x>").repeated(depth - 1);
        if (closed)
            body += QByteArray("</x>").repeated(depth - 1) + "</stream_publish_response>";
        CFacebookApi api;
        const int before = meskXmlDocumentCount();
        QString postId = QStringLiteral("kept");
        int code = -1;
        QCOMPARE(api.parseStreamPublish(header(200), body, postId, code), ok);
        QCOMPARE(code, ok ? 0 : 105);
        QCOMPARE(postId, ok ? QStringLiteral("123") : QStringLiteral("kept"));
        QCOMPARE(meskXmlDocumentCount() - before, ok ? 1 : 0);
    }

    // The error check and the parser share one reading of the answer.
    void answerReadOnce_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<bool>("ok");
        QTest::newRow("stream") << kStreamBody << true;
        QTest::newRow("error answer") << errorBody("102") << false;
    }
    void answerReadOnce()
    {
        QFETCH(QByteArray, body);
        QFETCH(bool, ok);
        CFacebookApi api;
        QList<SFacebookStreamPost> posts;
        QList<SFacebookUser> users;
        int code = -1;
        if (!ok)
            QTest::ignoreMessage(QtDebugMsg, "CFacebookApi: response error 102 Something failed");
        const int before = meskXmlDocumentCount();
        QCOMPARE(api.parseStreamGet(header(200), body, posts, users, code), ok);
        QCOMPARE(meskXmlDocumentCount() - before, 1);
        QCOMPARE(posts.size(), ok ? 1 : 0);
    }

    // Parsing on worker threads neither races with nor disturbs the GUI thread's code.
    void parseCodesArePerCall()
    {
        CFacebookApi api;
        api.setApiKey(kKey);
        QString url;
        QTest::ignoreMessage(QtDebugMsg, "CFacebookApi ERROR: session is not set");
        QVERIFY(!api.formatStreamGet(url));
        QCOMPARE(api.lastError(), 104);

        static QtMessageHandler previous = nullptr;
        previous = qInstallMessageHandler(
            [](QtMsgType type, const QMessageLogContext& context, const QString& text) {
                if (type != QtDebugMsg)
                    previous(type, context, text);
            });
        std::atomic<int> wrong{0};
        const CFacebookApi& shared = api;
        const QByteArray refused = errorBody("102");
        std::unique_ptr<QThread> failing(QThread::create([&] {
            for (int i = 0; i < 1000; ++i) {
                QList<SFacebookStreamPost> posts;
                QList<SFacebookUser> users;
                int code = -1;
                if (shared.parseStreamGet(header(200), refused, posts, users, code) || code != 102)
                    ++wrong;
            }
        }));
        std::unique_ptr<QThread> succeeding(QThread::create([&] {
            for (int i = 0; i < 1000; ++i) {
                QList<SFacebookStreamPost> posts;
                QList<SFacebookUser> users;
                int code = -1;
                if (!shared.parseStreamGet(header(200), kStreamBody, posts, users, code) || code != 0)
                    ++wrong;
            }
        }));
        failing->start();
        succeeding->start();
        QVERIFY(failing->wait(60000));
        QVERIFY(succeeding->wait(60000));
        qInstallMessageHandler(previous);
        QCOMPARE(wrong.load(), 0);
        QCOMPARE(api.lastError(), 104);
    }

    void attachmentType_data()
    {
        QTest::addColumn<QString>("objectType");
        QTest::addColumn<QStringList>("media");
        QTest::addColumn<int>("type");
        QTest::newRow("photo") << "photo" << QStringList() << 0;
        QTest::newRow("video") << "video" << QStringList{"photo"} << 1;
        QTest::newRow("link") << "link" << QStringList() << 2;
        QTest::newRow("album") << "album" << QStringList{"photo", "photo"} << 3;
        QTest::newRow("event") << "event" << QStringList() << 4;
        QTest::newRow("none, first medium video") << "" << QStringList{"video", "photo"} << 1;
        QTest::newRow("none, first medium photo") << "" << QStringList{"photo"} << 0;
        QTest::newRow("none, first medium link") << "note" << QStringList{"link"} << 2;
        QTest::newRow("none, no media") << "" << QStringList() << 5;
        QTest::newRow("none, first medium swf") << "" << QStringList{"swf", "photo"} << 5;
    }
    void attachmentType()
    {
        QFETCH(QString, objectType);
        QFETCH(QStringList, media);
        QFETCH(int, type);
        SFacebookAttachment attachment;
        attachment.fbObjectType = objectType;
        for (const QString& m : media)
            attachment.media.append(medium(m));
        if (type == 5 && !media.isEmpty())
            QTest::ignoreMessage(QtDebugMsg, "CFacebookApi: unknown media type swf");
        QCOMPARE(CFacebookApi::attachmentType(attachment), type);
    }

    void mediaAndVideoTypes()
    {
        QCOMPARE(CFacebookApi::mediaType(medium(QStringLiteral("photo"))), 0);
        QCOMPARE(CFacebookApi::mediaType(medium(QStringLiteral("video"))), 1);
        QCOMPARE(CFacebookApi::mediaType(medium(QStringLiteral("link"))), 2);
        QTest::ignoreMessage(QtDebugMsg, "CFacebookApi: unknown media type swf");
        QCOMPARE(CFacebookApi::mediaType(medium(QStringLiteral("swf"))), 3);

        SFacebookMedia video = medium(QStringLiteral("video"));
        video.sourceType = QStringLiteral("raw");
        QCOMPARE(CFacebookApi::videoType(video), 0);
        video.sourceType = QStringLiteral("html");
        QCOMPARE(CFacebookApi::videoType(video), 1);
        video.sourceType = QStringLiteral("flash");
        QTest::ignoreMessage(QtDebugMsg, "CFacebookApi: unknown video type flash");
        QCOMPARE(CFacebookApi::videoType(video), 2);

        QCOMPARE(CFacebookApi::friendRequestId(QStringLiteral("42")), QStringLiteral("frequest_42"));
    }
};

QTEST_GUILESS_MAIN(TestFacebookApi)
#include "tst_facebookapi.moc"
