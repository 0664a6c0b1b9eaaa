// The frob authorisation against the stand-in service through the HTTP task pool.
#include "fakeflickr.h"
#include "flickrapi.h"
#include "flickrauth.h"
#include "localhttpserver.h"
#include "meskhttptaskpool.h"
#include "meskrecords.h"

#include <QSignalSpy>
#include <QTest>

#include <memory>

namespace {

// Every signal of the object, in order, with its arguments.
class Signals : public QObject
{
public:
    explicit Signals(CFlickrAuth* auth)
    {
        connect(auth, &CFlickrAuth::userChanged, this,
                [this](const QString& t, const QString& s, const QString& i, const QString& n) {
                    log.append(QStringLiteral("userChanged(%1,%2,%3,%4)").arg(t, s, i, n));
                });
        connect(auth, &CFlickrAuth::authorizationUrl, this, [this](const QString& url) {
            lastUrl = url;
            log.append(QStringLiteral("authorizationUrl"));
        });
        connect(auth, &CFlickrAuth::accessGranted, this,
                [this] { log.append(QStringLiteral("accessGranted")); });
        connect(auth, &CFlickrAuth::accessRejected, this,
                [this] { log.append(QStringLiteral("accessRejected")); });
        connect(auth, &CFlickrAuth::protocolError, this,
                [this] { log.append(QStringLiteral("protocolError")); });
        connect(auth, &CFlickrAuth::networkError, this,
                [this] { log.append(QStringLiteral("networkError")); });
    }
    QStringList log;
    QString lastUrl;
};

} // namespace

class TestFlickrAuth : public QObject
{
    Q_OBJECT
private:
    std::unique_ptr<LocalHttpServer> m_server;
    std::unique_ptr<FakeFlickrService> m_service;
    std::unique_ptr<CFlickrApi> m_api;

private slots:
    void initTestCase()
    {
        registerMeskMetaTypes();
        CMeskHttpTaskPool::init(this);
        m_server = std::make_unique<LocalHttpServer>();
        QVERIFY(m_server->isListening());
        m_service = std::make_unique<FakeFlickrService>();
        m_server->setFallback(m_service->handler());
        // The one address variable points every address at the stand-in.
        qputenv("LUMESK_FLICKR_URL", m_server->baseUrl().toUtf8());
    }
    void cleanupTestCase()
    {
        qunsetenv("LUMESK_FLICKR_URL");
        CMeskHttpTaskPool::shutdown();
        m_server.reset();
    }
    void init()
    {
        m_api = std::make_unique<CFlickrApi>();
        m_service->clearRequests();
    }

    void grantsAccess()
    {
        CFlickrAuth auth(m_api.get(), nullptr);
        auth.setConsumer(FakeFlickrService::defaultApiKey(), FakeFlickrService::defaultSecret());
        Signals signals_(&auth);
        auth.requestAuthorization();
        QCOMPARE(auth.state(), 1);
        QTRY_COMPARE_WITH_TIMEOUT(signals_.log, QStringList{QStringLiteral("authorizationUrl")}, 30000);
        QCOMPARE(auth.state(), 0);
        const QString frob = m_service->issuedFrobs().constLast();
        QCOMPARE(auth.frob(), frob);
        QVERIFY2(
            signals_.lastUrl.startsWith(m_server->baseUrl() + QStringLiteral("/services/auth/?api_key=")),
            qPrintable(signals_.lastUrl));
        QVERIFY(signals_.lastUrl.contains(QStringLiteral("&frob=") + frob +
                                          QStringLiteral("&perms=write&api_sig=")));

        QVERIFY(m_service->authorizeFrob(frob));
        signals_.log.clear();
        auth.requestToken();
        QCOMPARE(auth.state(), 2);
        QTRY_COMPARE_WITH_TIMEOUT(signals_.log.size(), 2, 30000);
        QCOMPARE(
            signals_.log,
            QStringList(
                {QStringLiteral("userChanged(%1,,12345678@N00,bob)").arg(FakeFlickrService::defaultToken()),
                 QStringLiteral("accessGranted")}));
        QCOMPARE(auth.state(), 0);
        QVERIFY(auth.isAuthorized());
        QCOMPARE(auth.userName(), QStringLiteral("bob"));
        QCOMPARE(auth.userId(), FakeFlickrService::defaultUserId());
        QCOMPARE(m_api->token(), FakeFlickrService::defaultToken());

        // The frob stays: the exchange can be repeated.
        signals_.log.clear();
        auth.requestToken();
        QTRY_COMPARE_WITH_TIMEOUT(signals_.log.size(), 2, 30000);
        QCOMPARE(m_service->requests(QStringLiteral("flickr.auth.getToken"))
                     .constLast()
                     .param(QStringLiteral("frob")),
                 frob);
    }

    void failures_data()
    {
        QTest::addColumn<QString>("what");
        QTest::addColumn<int>("stateAfterStart");
        QTest::addColumn<int>("stateAfterEnd");
        QTest::addColumn<QString>("end");
        QTest::newRow("token before any frob") << "no frob" << 2 << 0 << "protocolError";
        QTest::newRow("frob refused") << "frob 100" << 1 << 0 << "protocolError";
        QTest::newRow("frob under 500") << "frob 500" << 1 << 0 << "protocolError";
        QTest::newRow("token without user name") << "partial token" << 2 << 0 << "protocolError";
        QTest::newRow("closed port") << "closed port" << 1 << 1 << "networkError";
        QTest::newRow("pool down") << "pool down" << 0 << 0 << "protocolError";
        QTest::newRow("no consumer") << "no consumer" << 0 << 0 << "protocolError";
    }
    void failures()
    {
        QFETCH(QString, what);
        QFETCH(int, stateAfterStart);
        QFETCH(int, stateAfterEnd);
        QFETCH(QString, end);
        std::unique_ptr<LocalHttpServer> closed;
        if (what == QLatin1String("closed port")) {
            closed = std::make_unique<LocalHttpServer>();
            m_api->setRestUrl(closed->url(QStringLiteral("/services/rest/")));
            closed.reset();
        }
        if (what == QLatin1String("frob 100"))
            m_service->scriptError(QStringLiteral("flickr.auth.getFrob"), 100);
        if (what == QLatin1String("frob 500"))
            m_service->scriptReply(QStringLiteral("flickr.auth.getFrob"), 500,
                                   "<rsp stat=\"ok\"><frob>72157-1</frob></rsp>");
        if (what == QLatin1String("partial token"))
            m_service->scriptReply(QStringLiteral("flickr.auth.getToken"), 200,
                                   "<rsp stat=\"ok\"><auth><token>T</token>"
                                   "<user nsid=\"12345678@N00\" username=\"\"/></auth></rsp>");
        if (what == QLatin1String("pool down"))
            CMeskHttpTaskPool::shutdown();

        CFlickrAuth auth(m_api.get(), nullptr);
        if (what != QLatin1String("no consumer"))
            auth.setConsumer(FakeFlickrService::defaultApiKey(), FakeFlickrService::defaultSecret());
        Signals signals_(&auth);
        if (what == QLatin1String("no frob") || what == QLatin1String("partial token"))
            auth.requestToken();
        else
            auth.requestAuthorization();
        QCOMPARE(auth.state(), stateAfterStart);
        QTRY_COMPARE_WITH_TIMEOUT(signals_.log, QStringList{end}, 30000);
        QCOMPARE(auth.state(), stateAfterEnd);
        QVERIFY(!auth.isAuthorized());
        QVERIFY(m_api->token().isEmpty());

        if (what == QLatin1String("no frob")) {
            const auto sent = m_service->requests(QStringLiteral("flickr.auth.getToken"));
            QCOMPARE(sent.size(), 1);
            QVERIFY(sent.constFirst().hasParam(QStringLiteral("frob")));
            QVERIFY(sent.constFirst().param(QStringLiteral("frob")).isEmpty());
        }
        if (what == QLatin1String("partial token"))
            QCOMPARE(auth.userId(), FakeFlickrService::defaultUserId());
        if (what == QLatin1String("pool down"))
            CMeskHttpTaskPool::init(this);
        m_service->clearScripts();
    }

    void accounts()
    {
        CFlickrAuth auth(m_api.get(), nullptr);
        auth.setConsumer(FakeFlickrService::defaultApiKey(), FakeFlickrService::defaultSecret());
        Signals signals_(&auth);

        // A stray answer in state 0 changes nothing.
        auth.onRequestFinished();
        auth.restoreUser(QString(), QStringLiteral("ignored"), QStringLiteral("u"), QStringLiteral("n"));
        QVERIFY(!auth.isAuthorized());
        auth.restoreUser(QStringLiteral("T"), QStringLiteral("ignored"), QStringLiteral("u"),
                         QStringLiteral("n"));
        QVERIFY(auth.isAuthorized());
        QCOMPARE(auth.userName(), QStringLiteral("n"));
        QVERIFY(signals_.log.isEmpty());

        auth.clearUser();
        QVERIFY(!auth.isAuthorized());
        QVERIFY(auth.userName().isEmpty() && auth.userId().isEmpty());
        auth.clearUser(); // also when nobody is signed in
        QCOMPARE(signals_.log, QStringList(2, QStringLiteral("userChanged(,,,)")));
    }
};

QTEST_GUILESS_MAIN(TestFlickrAuth)
#include "tst_flickrauth.moc"
