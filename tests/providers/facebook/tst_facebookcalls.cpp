// The Facebook call objects against the stand-in REST service on 127.0.0.1:
// what goes out, what comes back, and on which thread.
#include "facebookapi.h"
#include "facebookcalls.h"
#include "fakefacebookrest.h"
#include "localhttpserver.h"
#include "meskhttptaskpool.h"
#include "testclock.h"

#include <QCoreApplication>
#include <QTest>
#include <QThread>

#include <atomic>
#include <functional>
#include <memory>
#include <type_traits>

namespace {

// The signals of one call, in the order they came, as text; and whether any came
// on another thread than the test's.
struct SignalLog
{
    QStringList entries;
    bool offThread = false;

    void add(const QString& entry)
    {
        if (QThread::currentThread() != QCoreApplication::instance()->thread())
            offThread = true;
        entries.append(entry);
    }
};

// Records the thread its parse step ran on.
struct ParseProbe
{
    std::atomic<QThread*> parseThread{nullptr};
};

template <class Call> class Probe : public Call, public ParseProbe
{
public:
    using Call::Call;
    ~Probe() override { this->cancel(); }

protected:
    bool parseResponse(const SMeskHttpResponseHeader& header, const QByteArray& body) override
    {
        parseThread = QThread::currentThread();
        return Call::parseResponse(header, body);
    }
};

void watchBase(CMeskHttpMethod* call, SignalLog* log)
{
    QObject::connect(call, qOverload<TMediaError>(&CMeskHttpMethod::protocolError), call,
                     [log](TMediaError e) { log->add(QStringLiteral("protocolError(%1)").arg(int(e))); });
    QObject::connect(call, qOverload<>(&CMeskHttpMethod::protocolError), call,
                     [log] { log->add(QStringLiteral("protocolError()")); });
    QObject::connect(call, &CMeskHttpMethod::networkError, call,
                     [log](TMeskHttpError e) { log->add(QStringLiteral("networkError(%1)").arg(int(e))); });
    QObject::connect(call, &CMeskHttpMethod::finished, call,
                     [log] { log->add(QStringLiteral("finished()")); });
}

QString ids(const QList<SFacebookComment>& list)
{
    QStringList out;
    for (const auto& c : list)
        out.append(c.id);
    return out.join(QLatin1Char(' '));
}

QString describe(const SFacebookPhotoInfo& p)
{
    return QStringList{p.pid, p.aid, p.owner, p.srcBig, p.caption, p.created}.join(QLatin1Char(','));
}

QString describe(const QList<SFacebookPhotoInfo>& list)
{
    QStringList out;
    for (const auto& p : list)
        out.append(p.pid + QLatin1Char('@') + p.created);
    return out.join(QLatin1Char(' '));
}

// One call class: how to make it (result signal wired into the log) and start it.
struct CallSpec
{
    QString className;
    QString method; // the REST method it sends
    std::function<CFacebookHttpMethod*(CFacebookApi*, SignalLog*, ParseProbe**)> make;
    std::function<bool(CFacebookHttpMethod*)> request;
};

// One call class; `describe` turns the result signal's arguments into
// the text logged.
template <class Call, class Signal, class Describe, class Request>
CallSpec callSpec(const char* method, Signal signal, Describe describe, Request request)
{
    return {QLatin1String(Call::staticMetaObject.className()), QLatin1String(method),
            [=](CFacebookApi* api, SignalLog* log, ParseProbe** probe) -> CFacebookHttpMethod* {
                auto* call = new Probe<Call>(api);
                if (probe)
                    *probe = call;
                watchBase(call, log);
                QObject::connect(call, signal, call,
                                 [=](const auto&... args) { log->add(describe(args...)); });
                if constexpr (std::is_same_v<Call, CFacebookEventPhotos>) {
                    QObject::connect(call, &CFacebookEventPhotos::eventPhotosFailed, call,
                                     [=](const QString& id) { log->add("eventPhotosFailed(" + id + ")"); });
                }
                return call;
            },
            [=](CFacebookHttpMethod* call) { return request(static_cast<Call*>(call)); }};
}

QList<CallSpec> allCalls()
{
    return {
        callSpec<CFacebookUserInfo>(
            "users.getInfo", &CFacebookUserInfo::userInfoReady,
            [](const SFacebookUser& u) {
                return "userInfoReady(" + QStringList{u.uid, u.name, u.profileUrl, u.picSquare}.join(',') +
                       ")";
            },
            [](CFacebookUserInfo* c) { return c->request("12345"); }),
        callSpec<CFacebookUpdate>(
            "stream.publish", &CFacebookUpdate::updatePosted,
            [](const QString& id) { return "updatePosted(" + id.section('_', 0, 0) + ")"; },
            [](CFacebookUpdate* c) { return c->request("hello"); }),
        callSpec<CFacebookEventPhotos>(
            "fql.query", &CFacebookEventPhotos::eventPhotos,
            [](const QString& id, const QList<SFacebookPhotoInfo>& photos) {
                return "eventPhotos(" + id + ": " + describe(photos) + ")";
            },
            [](CFacebookEventPhotos* c) { return c->request("100_4", "100_1", "100_6", "1262304000"); }),
        callSpec<CFacebookMessages>(
            "message.getThreadsInFolder", &CFacebookMessages::messages,
            [](const QList<SFacebookMessage>& list) {
                QStringList out;
                for (const auto& m : list)
                    out.append(m.messageId);
                return "messages(" + out.join(' ') + ")";
            },
            [](CFacebookMessages* c) { return c->request(); }),
        callSpec<CFacebookNotifications>(
            "notifications.get", &CFacebookNotifications::notifications,
            [](const SFacebookNotifications& n) {
                return QStringLiteral("notifications(%1,%2,%3)")
                    .arg(n.unreadMessages, n.unreadPokes, n.friendRequests.join(' '));
            },
            [](CFacebookNotifications* c) { return c->request(); }),
        callSpec<CFacebookStreamEvents>(
            "stream.get", &CFacebookStreamEvents::streamPosts,
            [](const QList<SFacebookStreamPost>& posts, const QList<SFacebookUser>& users) {
                QStringList p, u;
                for (const auto& post : posts)
                    p.append(post.postId);
                for (const auto& user : users)
                    u.append(user.uid);
                return "streamPosts(" + p.join(' ') + "|" + u.join(' ') + ")";
            },
            [](CFacebookStreamEvents* c) { return c->request(); }),
        callSpec<CFacebookEventComments>(
            "stream.getComments", &CFacebookEventComments::eventComments,
            [](const QList<SFacebookComment>& list) { return "eventComments(" + ids(list) + ")"; },
            [](CFacebookEventComments* c) { return c->request("100_200"); }),
        callSpec<CFacebookAddLike>(
            "stream.addLike", &CFacebookAddLike::likeAdded,
            [](const QString& id) { return "likeAdded(" + id + ")"; },
            [](CFacebookAddLike* c) { return c->request("100_200"); }),
        callSpec<CFacebookRemoveLike>(
            "stream.removeLike", &CFacebookRemoveLike::likeRemoved,
            [](const QString& id) { return "likeRemoved(" + id + ")"; },
            [](CFacebookRemoveLike* c) { return c->request("100_200"); }),
        callSpec<CFacebookPhotoInfo>(
            "photos.get", &CFacebookPhotoInfo::photoInfoReady,
            [](const SFacebookPhotoInfo& p) { return "photoInfoReady(" + describe(p) + ")"; },
            [](CFacebookPhotoInfo* c) { return c->request("100_5"); }),
    };
}

CallSpec callEntry(const QString& className)
{
    for (const CallSpec& s : allCalls()) {
        if (s.className == className)
            return s;
    }
    qFatal("no such call");
}

const char kNs[] = " xmlns=\"http://api.facebook.com/1.0/\"";

QByteArray commentsAnswer(int count)
{
    QByteArray body = QByteArray("<?xml version=\"1.0\" encoding=\"UTF-8\"?><stream_getComments_response") +
                      kNs + " list=\"true\">";
    for (int i = 1; i <= count; ++i) {
        body += "<comment><fromid>200</fromid><time>" + QByteArray::number(1262300000 + i) +
                "</time><text>Comment " + QByteArray::number(i) + "</text><id>c" + QByteArray::number(i) +
                "</id></comment>";
    }
    return body + "</stream_getComments_response>";
}

QByteArray notificationsAnswer(bool withCounts)
{
    return QByteArray("<?xml version=\"1.0\" encoding=\"UTF-8\"?><notifications_get_response") + kNs + ">" +
           (withCounts
                ? QByteArray("<messages><unread>3</unread><most_recent>1</most_recent></messages>"
                             "<pokes><unread>2</unread><most_recent>1</most_recent></pokes>"
                             "<friend_requests list=\"true\"><uid>300</uid><uid>301</uid></friend_requests>")
                : QByteArray("<friend_requests list=\"true\"/>")) +
           "</notifications_get_response>";
}

QByteArray emptyStreamAnswer()
{
    return QByteArray("<?xml version=\"1.0\" encoding=\"UTF-8\"?><stream_get_response") + kNs +
           "><posts list=\"true\"/><profiles list=\"true\"/><albums list=\"true\"/></stream_get_response>";
}

// A valid stream answer of about `bytes` bytes.
QByteArray largeStreamAnswer(int bytes)
{
    QByteArray body = QByteArray("<?xml version=\"1.0\" encoding=\"UTF-8\"?><stream_get_response") + kNs +
                      "><posts list=\"true\">";
    const QByteArray message(1000, 'x');
    for (int i = 0; body.size() < bytes; ++i) {
        body += "<stream_post><post_id>200_" + QByteArray::number(i) +
                "</post_id><actor_id>200</actor_id><created_time>1262300000</created_time><message>" +
                message + "</message></stream_post>";
    }
    return body + "</posts><profiles list=\"true\"/></stream_get_response>";
}

const QString kStreamResult =
    QStringLiteral("streamPosts(200_1001 201_1002 201_1003 12345_1004|200 201 12345)");

} // namespace

class TestFacebookCalls : public QObject
{
    Q_OBJECT
private:
    std::unique_ptr<LocalHttpServer> m_server;
    std::unique_ptr<FakeFacebookRest> m_rest;
    std::unique_ptr<TestClock> m_clock;
    CFacebookApi m_api;

    QString base() const { return m_server->baseUrl(); }

    // Waits until the log holds `count` entries, then a little longer for strays.
    static bool settle(const SignalLog& log, int count)
    {
        if (!QTest::qWaitFor([&] { return log.entries.size() >= count; }, 30000))
            return false;
        QTest::qWait(50);
        return true;
    }

private slots:
    void initTestCase()
    {
        registerMeskMetaTypes();
        registerFacebookMetaTypes();
        CMeskHttpTaskPool::init(this);
        m_server = std::make_unique<LocalHttpServer>();
        QVERIFY(m_server->isListening());
        m_rest = std::make_unique<FakeFacebookRest>();
        m_server->mount("/", m_rest->handler());
        m_clock = std::make_unique<TestClock>(QDateTime::fromSecsSinceEpoch(1234567890, Qt::UTC));
        m_api.setRestBaseUrl(m_server->baseUrl());
    }
    void cleanupTestCase()
    {
        CMeskHttpTaskPool::shutdown();
        m_server.reset();
    }
    void init()
    {
        m_api.setApiKey(FakeFacebookRest::defaultApiKey());
        m_api.setSession(FakeFacebookRest::defaultSessionKey(), FakeFacebookRest::defaultSessionSecret(),
                         FakeFacebookRest::defaultUid());
        m_rest->clearScripts();
        m_rest->clearRequests();
    }

    // The signed request on the wire, and its result on the test's thread after a
    // parse on the pool thread.
    void wireForm_data()
    {
        QTest::addColumn<QString>("className");
        QTest::addColumn<QString>("sig");
        QTest::addColumn<QString>("param"); // name=value the request carries
        QTest::addColumn<QString>("result");
        QTest::newRow("user info") << "CFacebookUserInfo"
                                   << "dbf0ab3105965fb23cd6dd1360b70fc9"
                                   << "uids=12345"
                                   << "userInfoReady(12345,Pat Tester,<base>/profile.php?id=12345,"
                                      "<base>/media/avatar_12345.jpg)";
        QTest::newRow("comments") << "CFacebookEventComments"
                                  << "0a8c3ecea19b54bcdd884b88af5a8da0"
                                  << "post_id=100_200"
                                  << "eventComments(100_200_2 100_200_1)";
        QTest::newRow("add like") << "CFacebookAddLike"
                                  << "430488c850d8b9f615d561f823254940"
                                  << "post_id=100_200"
                                  << "likeAdded(100_200)";
        QTest::newRow("remove like") << "CFacebookRemoveLike"
                                     << "87ea561ba8bc96ce8e18b66e1c49d887"
                                     << "post_id=100_200"
                                     << "likeRemoved(100_200)";
        QTest::newRow("notifications")
            << "CFacebookNotifications"
            << "03814af76db2f01207c7d04379ef1329" << QString() << "notifications(1,0,300 301)";
        QTest::newRow("photo info") << "CFacebookPhotoInfo"
                                    << "04c4bc684eaba2e1be554d7ee0614fc2"
                                    << "pids=100_5"
                                    << "photoInfoReady(100_5,100_7,100,<base>/media/photo_100_5_n.jpg,"
                                       "Photo 100_5,1262304000)";
        // Signed as accepted by the stand-in; no fixed signature to hold them to.
        QTest::newRow("stream") << "CFacebookStreamEvents" << QString() << QString() << kStreamResult;
        QTest::newRow("messages") << "CFacebookMessages" << QString() << "folder_id=0"
                                  << "messages(1001_3 1001_2)";
        QTest::newRow("update") << "CFacebookUpdate" << QString() << "message=hello"
                                << "updatePosted(12345)";
    }
    void wireForm()
    {
        QFETCH(QString, className);
        QFETCH(QString, sig);
        QFETCH(QString, param);
        QFETCH(QString, result);
        const CallSpec s = callEntry(className);
        SignalLog log;
        ParseProbe* probe = nullptr;
        std::unique_ptr<CFacebookHttpMethod> call(s.make(&m_api, &log, &probe));
        QVERIFY(s.request(call.get()));
        QVERIFY(!call->isReady());
        QVERIFY(settle(log, 1));

        QCOMPARE(log.entries, QStringList{QString(result).replace("<base>", base())});
        QVERIFY(!log.offThread);
        QVERIFY(probe->parseThread.load() != nullptr);
        QVERIFY(probe->parseThread.load() != QThread::currentThread());
        QVERIFY(call->isReady());

        const auto requests = m_rest->requests(s.method);
        QCOMPARE(requests.size(), 1);
        QCOMPARE(requests.first().errorCode, 0);
        QCOMPARE(requests.first().param("call_id"), QStringLiteral("1234567890"));
        if (!sig.isEmpty())
            QCOMPARE(requests.first().param("sig"), sig);
        if (!param.isEmpty())
            QCOMPARE(requests.first().param(param.section('=', 0, 0)), param.section('=', 1));
    }

    // The result fields of one answer do not leak into the next.
    void resultsOfConsecutiveAnswers_data()
    {
        QTest::addColumn<QString>("className");
        QTest::addColumn<QByteArray>("first");
        QTest::addColumn<QByteArray>("second");
        QTest::addColumn<QStringList>("results");
        QTest::newRow("25 comments, then 2")
            << "CFacebookEventComments" << commentsAnswer(25) << commentsAnswer(2)
            << QStringList{"eventComments(c25 c24 c23 c22 c21 c20 c19 c18 c17 c16)", "eventComments(c2 c1)"};
        QTest::newRow("stream, then empty") << "CFacebookStreamEvents" << QByteArray() << emptyStreamAnswer()
                                            << QStringList{kStreamResult, "streamPosts(|)"};
        QTest::newRow("notifications, then without counts")
            << "CFacebookNotifications" << notificationsAnswer(true) << notificationsAnswer(false)
            << QStringList{"notifications(3,2,300 301)", "notifications(3,2,)"};
    }
    void resultsOfConsecutiveAnswers()
    {
        QFETCH(QString, className);
        QFETCH(QByteArray, first);
        QFETCH(QByteArray, second);
        QFETCH(QStringList, results);
        const CallSpec s = callEntry(className);
        if (first.isEmpty())
            m_rest->scriptDelay(s.method, 0, 1); // the canned answer
        else
            m_rest->scriptReply(s.method, 200, first, 1);
        m_rest->scriptReply(s.method, 200, second, 1);
        SignalLog log;
        std::unique_ptr<CFacebookHttpMethod> call(s.make(&m_api, &log, nullptr));
        QVERIFY(s.request(call.get()));
        QVERIFY(settle(log, 1));
        QVERIFY(s.request(call.get()));
        QVERIFY(settle(log, 2));
        QCOMPARE(log.entries, results);
    }

    // An event-photos query ends only in its own two signals, and the object takes
    // the next query after either.
    void eventPhotos_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<QString>("outcome");
        QTest::newRow("photos") << QString()
                                << "eventPhotos(100_4: 100_6@1262304000 100_61@1262303940 "
                                   "100_62@1262303880)";
        QTest::newRow("error answer") << "error"
                                      << "eventPhotosFailed(100_4)";
        QTest::newRow("malformed answer") << "malformed"
                                          << "eventPhotosFailed(100_4)";
        QTest::newRow("dropped") << "drop"
                                 << "eventPhotosFailed(100_4)";
    }
    void eventPhotos()
    {
        QFETCH(QString, script);
        QFETCH(QString, outcome);
        const QString method = QStringLiteral("fql.query");
        if (script == "error")
            m_rest->scriptError(method, 102);
        else if (script == "malformed")
            m_rest->scriptMalformed(method);
        else if (script == "drop")
            m_rest->scriptDrop(method);
        SignalLog log;
        std::unique_ptr<CFacebookHttpMethod> call(
            callEntry("CFacebookEventPhotos").make(&m_api, &log, nullptr));
        auto* photos = static_cast<CFacebookEventPhotos*>(call.get());
        QVERIFY(photos->request("100_4", "100_1", "100_6", "1262304000"));
        QVERIFY(settle(log, 1));
        QCOMPARE(log.entries, QStringList{outcome});
        QVERIFY(!m_rest->requests(method).isEmpty());
        QCOMPARE(m_rest->requests(method).first().param("query"),
                 QStringLiteral(
                     "SELECT pid, aid, owner, src_small, src_big, src, link, caption, created FROM photo "
                     "WHERE aid='100_1' AND pid >= '100_6' AND created <= 1262304000"));

        // The next query is taken.
        m_rest->clearScripts();
        log.entries.clear();
        QVERIFY(photos->isReady());
        QVERIFY(photos->request("100_8", "100_2", "100_7", "1262304000"));
        QVERIFY(settle(log, 1));
        QCOMPARE(log.entries.size(), 1);
        QVERIFY(log.entries.first().startsWith("eventPhotos(100_8: 100_7@"));
    }

    void errorMapping_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<int>("value");
        QTest::addColumn<int>("mapped");
        QTest::newRow("2 unavailable") << "error" << 2 << 3;
        QTest::newRow("4 request limit") << "error" << 4 << 5;
        QTest::newRow("9 action limit") << "error" << 9 << 5;
        QTest::newRow("10 permission") << "error" << 10 << 8;
        QTest::newRow("101 api key") << "error" << 101 << 6;
        QTest::newRow("102 session") << "error" << 102 << 6;
        QTest::newRow("190 other") << "error" << 190 << 4;
        QTest::newRow("102 under 500") << "error500" << 102 << 6;
        QTest::newRow("empty 200") << "empty" << 200 << 4;
        QTest::newRow("empty 500") << "empty" << 500 << 4;
        QTest::newRow("valid body under 500") << "status" << 500 << 4;
        QTest::newRow("malformed") << "malformed" << 0 << 4;
        QTest::newRow("wrong secret 104") << "secret" << 0 << 4;
    }
    void errorMapping()
    {
        QFETCH(QString, script);
        QFETCH(int, value);
        QFETCH(int, mapped);
        const QString method = QStringLiteral("stream.get");
        if (script == "error")
            m_rest->scriptError(method, value);
        else if (script == "error500")
            m_rest->scriptError(method, value, 500);
        else if (script == "empty")
            m_rest->scriptEmpty(method, value);
        else if (script == "status")
            m_rest->scriptReply(method, value, emptyStreamAnswer());
        else if (script == "malformed")
            m_rest->scriptMalformed(method);
        else if (script == "secret")
            m_api.setSession(FakeFacebookRest::defaultSessionKey(), "WRONG", FakeFacebookRest::defaultUid());
        SignalLog log;
        std::unique_ptr<CFacebookHttpMethod> call(
            callEntry("CFacebookStreamEvents").make(&m_api, &log, nullptr));
        QVERIFY(static_cast<CFacebookStreamEvents*>(call.get())->request());
        QVERIFY(settle(log, 2));
        QCOMPARE(log.entries,
                 (QStringList{QStringLiteral("protocolError(%1)").arg(mapped), "protocolError()"}));
        if (script == "secret")
            QCOMPARE(m_rest->requests().first().errorCode, 104);
    }

    void droppedConnectionIsANetworkError()
    {
        m_rest->scriptDrop("users.getInfo");
        SignalLog log;
        std::unique_ptr<CFacebookHttpMethod> call(callEntry("CFacebookUserInfo").make(&m_api, &log, nullptr));
        QVERIFY(callEntry("CFacebookUserInfo").request(call.get()));
        QVERIFY(settle(log, 1));
        QCOMPARE(log.entries, QStringList{QStringLiteral("networkError(%1)").arg(int(HttpUnexpectedClose))});
        QVERIFY(m_rest->requests("users.getInfo").size() >= 1);
    }

    // A busy object refuses before it stores or clears anything; its running
    // request ends as if nothing had happened.
    void busyObjectRefuses_data()
    {
        QTest::addColumn<QString>("className");
        QTest::addColumn<QString>("outcome");
        QTest::newRow("stream") << "CFacebookStreamEvents" << kStreamResult;
        QTest::newRow("event photos") << "CFacebookEventPhotos"
                                      << "eventPhotos(100_4: 100_6@1262304000 100_61@1262303940 "
                                         "100_62@1262303880)";
    }
    void busyObjectRefuses()
    {
        QFETCH(QString, className);
        QFETCH(QString, outcome);
        const CallSpec s = callEntry(className);
        m_rest->scriptDelay(s.method, 300);
        SignalLog log;
        std::unique_ptr<CFacebookHttpMethod> call(s.make(&m_api, &log, nullptr));
        QVERIFY(s.request(call.get()));

        QTest::ignoreMessage(QtDebugMsg, qPrintable(className + ": failed to create http request"));
        bool second = true;
        if (className == "CFacebookStreamEvents")
            second = static_cast<CFacebookStreamEvents*>(call.get())->request();
        else
            second = static_cast<CFacebookEventPhotos*>(call.get())->request("100_9", "100_3", "100_9", "1");
        QVERIFY(!second);
        // The refusal reaches both signals once request() has returned, before the answer.
        QVERIFY(log.entries.isEmpty());

        QVERIFY(settle(log, 3));
        QCOMPARE(log.entries, (QStringList{"protocolError(1)", "protocolError()", outcome}));
        QCOMPARE(m_rest->requests(s.method).size(), 1);
    }

    void withoutSessionNothingIsSent_data()
    {
        QTest::addColumn<QString>("className");
        for (const CallSpec& s : allCalls())
            QTest::newRow(qPrintable(s.className)) << s.className;
    }
    void withoutSessionNothingIsSent()
    {
        QFETCH(QString, className);
        const CallSpec s = callEntry(className);
        m_api.setSession({}, {}, {});
        SignalLog log;
        std::unique_ptr<CFacebookHttpMethod> call(s.make(&m_api, &log, nullptr));
        QTest::ignoreMessage(QtDebugMsg, qPrintable(className + ": failed to format http request"));
        QVERIFY(!s.request(call.get()));
        QVERIFY(call->isReady());
        const bool photos = className == "CFacebookEventPhotos";
        const QStringList expected = photos ? QStringList{"eventPhotosFailed(100_4)"}
                                            : QStringList{"protocolError(1)", "protocolError()"};
        // The refusal of a request reaches both signals once request() has returned.
        QCOMPARE(log.entries, photos ? expected : QStringList());
        QTRY_COMPARE_WITH_TIMEOUT(log.entries, expected, 30000);
        QTest::qWait(50);
        QCOMPARE(log.entries, expected);
        QVERIFY(m_rest->requests().isEmpty());
    }

    // A result slot that starts the next request on the same object still reads the
    // answer it was given, while the pool thread fills the object anew.
    void resultSlotMayStartTheNextRequest()
    {
        // The canned stream first, then an empty one.
        m_rest->scriptDelay("stream.get", 0, 1);
        m_rest->scriptReply("stream.get", 200, emptyStreamAnswer());

        CFacebookStreamEvents call(&m_api);
        QStringList seen;
        connect(&call, &CFacebookStreamEvents::streamPosts, this,
                [&](const QList<SFacebookStreamPost>& posts, const QList<SFacebookUser>& users) {
                    const qsizetype before = posts.size();
                    if (seen.isEmpty()) {
                        QVERIFY(call.request());
                        // Let the second answer arrive and be parsed meanwhile.
                        QVERIFY(m_server->waitForRequests(2));
                        QThread::msleep(100);
                    }
                    QCOMPARE(posts.size(), before);
                    QStringList p;
                    for (const auto& post : posts)
                        p.append(post.postId);
                    seen.append(p.join(' ') + QLatin1Char('|') + QString::number(users.size()));
                });
        m_server->clearRequests();
        QVERIFY(call.request());
        QTRY_COMPARE_WITH_TIMEOUT(seen.size(), 2, 30000);
        QCOMPARE(seen, (QStringList{"200_1001 201_1002 201_1003 12345_1004|3", "|0"}));
    }

    // Calls running side by side each report their own outcome, while the GUI
    // thread keeps formatting with the shared API.
    void concurrentCallsReportTheirOwnOutcome()
    {
        m_rest->scriptError("users.getInfo", 102);
        SignalLog userLog;
        SignalLog streamLog;
        std::unique_ptr<CFacebookHttpMethod> user(
            callEntry("CFacebookUserInfo").make(&m_api, &userLog, nullptr));
        std::unique_ptr<CFacebookHttpMethod> stream(
            callEntry("CFacebookStreamEvents").make(&m_api, &streamLog, nullptr));
        const int rounds = 200;
        for (int round = 1; round <= rounds; ++round) {
            QVERIFY(static_cast<CFacebookUserInfo*>(user.get())->request("12345"));
            QVERIFY(static_cast<CFacebookStreamEvents*>(stream.get())->request());
            QString url;
            const bool done = QTest::qWaitFor(
                [&] {
                    m_api.formatStreamGet(url);
                    return userLog.entries.size() >= 2 * round && streamLog.entries.size() >= round;
                },
                30000);
            QVERIFY2(done, qPrintable(QString::number(round)));
        }
        QCOMPARE(userLog.entries.size(), 2 * rounds);
        QCOMPARE(streamLog.entries.size(), rounds);
        for (int i = 0; i < rounds; ++i) {
            QCOMPARE(userLog.entries.at(2 * i), QStringLiteral("protocolError(6)"));
            QCOMPARE(userLog.entries.at(2 * i + 1), QStringLiteral("protocolError()"));
            QCOMPARE(streamLog.entries.at(i), kStreamResult);
        }
    }

    // A call deleted while its request runs reports nothing, and its parse never
    // writes into the destroyed object.
    void deletedCallReportsNothing_data()
    {
        QTest::addColumn<bool>("afterServerSawIt");
        QTest::addColumn<int>("times");
        QTest::newRow("right after request") << false << 1;
        QTest::newRow("after the request of a 2 MB answer was logged") << true << 20;
    }
    void deletedCallReportsNothing()
    {
        QFETCH(bool, afterServerSawIt);
        QFETCH(int, times);
        if (afterServerSawIt)
            m_rest->scriptReply("stream.get", 200, largeStreamAnswer(2 * 1024 * 1024));
        SignalLog log;
        for (int i = 0; i < times; ++i) {
            const int before = m_server->requestCount();
            auto* call = callEntry("CFacebookStreamEvents").make(&m_api, &log, nullptr);
            QVERIFY(static_cast<CFacebookStreamEvents*>(call)->request());
            if (afterServerSawIt)
                QVERIFY(m_server->waitForRequests(before + 1));
            delete call;
        }
        QTest::qWait(afterServerSawIt ? 500 : 300);
        QVERIFY(log.entries.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestFacebookCalls)
#include "tst_facebookcalls.moc"
