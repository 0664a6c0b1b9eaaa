// The PIN flow against the stand-in Twitter service through the HTTP task pool.
#include "faketwitter.h"
#include "localhttpserver.h"
#include "meskhttptaskpool.h"
#include "meskrecords.h"
#include "twitterapi.h"
#include "twitterauth.h"

#include <QTest>

#include <memory>

namespace {

// Every signal of the object, in order, with its arguments.
class Signals : public QObject
{
public:
    explicit Signals(CTwitterAuth* auth)
    {
        connect(auth, &CTwitterAuth::userEnabled, this,
                [this](const QString& t, const QString& s, const QString& i, const QString& n) {
                    log.append(QStringLiteral("userEnabled(%1,%2,%3,%4)").arg(t, s, i, n));
                });
        connect(auth, &CTwitterAuth::userRemoved, this,
                [this] { log.append(QStringLiteral("userRemoved")); });
        connect(auth, &CTwitterAuth::authorizationUrl, this, [this](const QString& url) {
            lastUrl = url;
            log.append(QStringLiteral("authorizationUrl"));
        });
        connect(auth, &CTwitterAuth::accessGranted, this,
                [this] { log.append(QStringLiteral("accessGranted")); });
        connect(auth, &CTwitterAuth::accessRejected, this,
                [this] { log.append(QStringLiteral("accessRejected")); });
        connect(auth, &CTwitterAuth::protocolError, this,
                [this] { log.append(QStringLiteral("protocolError")); });
        connect(auth, &CTwitterAuth::networkError, this,
                [this] { log.append(QStringLiteral("networkError")); });
    }
    QStringList log;
    QString lastUrl;
};

QStringList account(const CTwitterApi& api)
{
    return {api.token(), api.tokenSecret(), api.userId(), api.userName()};
}

} // namespace

class TestTwitterAuth : public QObject
{
    Q_OBJECT
private:
    std::unique_ptr<LocalHttpServer> m_server;
    std::unique_ptr<FakeTwitterService> m_service;
    std::unique_ptr<CTwitterApi> m_api;

    void useConsumer(CTwitterAuth& auth)
    {
        auth.setConsumer(QString::fromLatin1(FakeTwitterService::DefaultConsumerKey),
                         QString::fromLatin1(FakeTwitterService::DefaultConsumerSecret));
    }

private slots:
    void initTestCase()
    {
        registerMeskMetaTypes();
        CMeskHttpTaskPool::init(this);
        m_server = std::make_unique<LocalHttpServer>();
        QVERIFY(m_server->isListening());
        m_service = std::make_unique<FakeTwitterService>();
        m_server->setFallback(m_service->handler());
    }
    void cleanupTestCase()
    {
        CMeskHttpTaskPool::shutdown();
        m_server.reset();
    }
    void init()
    {
        if (!CMeskHttpTaskPool::isPoolRunning())
            CMeskHttpTaskPool::init(this);
        m_api = std::make_unique<CTwitterApi>();
        QVERIFY(m_api->setServiceUrl(m_server->baseUrl()));
        m_service->clearRequests();
        m_service->clearScripts();
    }

    void grantsAccess_data()
    {
        QTest::addColumn<QByteArray>("accessReply");
        QTest::addColumn<QString>("enabled");
        QTest::newRow("full reply") << QByteArray() << "userEnabled(AT,AS,123,alice)";
        QTest::newRow("no user id or name")
            << QByteArray("oauth_token=AT&oauth_token_secret=AS") << "userEnabled(AT,AS,,)";
    }
    void grantsAccess()
    {
        QFETCH(QByteArray, accessReply);
        QFETCH(QString, enabled);
        if (!accessReply.isEmpty())
            m_service->script("/oauth/access_token", 200, accessReply);
        CTwitterAuth auth(m_api.get(), nullptr);
        useConsumer(auth);
        Signals signals_(&auth);
        QVERIFY(!auth.isAuthorized());

        auth.requestAccess();
        QCOMPARE(auth.state(), 1);
        QTRY_COMPARE_WITH_TIMEOUT(signals_.log, QStringList{QStringLiteral("authorizationUrl")}, 30000);
        QCOMPARE(auth.state(), 0);
        QCOMPARE(signals_.lastUrl, m_server->baseUrl() + QStringLiteral("/oauth/authorize?oauth_token=RT") +
                                       QStringLiteral("&oauth_callback=") +
                                       COAuthClient::pct(m_api->webHost()));

        signals_.log.clear();
        auth.requestAccessToken(QStringLiteral(" 1234567 "));
        QCOMPARE(auth.state(), 2);
        QTRY_COMPARE_WITH_TIMEOUT(signals_.log.size(), 2, 30000);
        QCOMPARE(signals_.log, (QStringList{enabled, QStringLiteral("accessGranted")}));
        QCOMPARE(auth.state(), 0);
        QVERIFY(auth.isAuthorized());
        QCOMPARE(QStringLiteral("userEnabled(%1)").arg(account(*m_api).join(',')), enabled);
        QCOMPARE(auth.userId(), m_api->userId());
        QCOMPARE(auth.userName(), m_api->userName());

        // The access-token request was signed with the request token's secret and accepted.
        const QList<FakeTwitterService::Record> log = m_service->requests();
        QCOMPARE(log.size(), 2);
        QCOMPARE(log.at(1).request.path(), QByteArray("/oauth/access_token"));
        QCOMPARE(log.at(1).refusal, QByteArray());
        QVERIFY(log.at(1).request.query().contains("oauth_verifier=1234567&"));
    }

    void failures_data()
    {
        QTest::addColumn<QString>("what");
        QTest::addColumn<QString>("end");
        QTest::newRow("wrong PIN") << "wrong pin"
                                   << "protocolError";
        QTest::newRow("token reply pairs swapped") << "swapped"
                                                   << "protocolError";
        QTest::newRow("no consumer") << "no consumer"
                                     << "protocolError";
        QTest::newRow("pool shut down") << "pool down"
                                        << "protocolError";
        QTest::newRow("closed port") << "closed port"
                                     << "networkError";
    }
    void failures()
    {
        QFETCH(QString, what);
        QFETCH(QString, end);
        if (what == QLatin1String("closed port")) {
            auto closed = std::make_unique<LocalHttpServer>();
            QVERIFY(m_api->setServiceUrl(closed->baseUrl()));
        }
        if (what == QLatin1String("swapped"))
            m_service->script("/oauth/request_token", 200, "oauth_token_secret=RS&oauth_token=RT");

        CTwitterAuth auth(m_api.get(), nullptr);
        if (what != QLatin1String("no consumer"))
            useConsumer(auth);
        // A stored account stays as it was through every failure.
        auth.setUser(QStringLiteral("OLD"), QStringLiteral("OS"), QStringLiteral("9"), QStringLiteral("old"));
        const QStringList before = account(*m_api);
        Signals signals_(&auth);

        if (what == QLatin1String("wrong pin")) {
            auth.requestAccess();
            QTRY_COMPARE_WITH_TIMEOUT(signals_.log, QStringList{QStringLiteral("authorizationUrl")}, 30000);
            signals_.log.clear();
            auth.requestAccessToken(QStringLiteral("7654321"));
        } else {
            if (what == QLatin1String("pool down"))
                CMeskHttpTaskPool::shutdown();
            auth.requestAccess();
        }
        QTRY_COMPARE_WITH_TIMEOUT(signals_.log, QStringList{end}, 30000);
        QTest::qWait(50);
        QCOMPARE(signals_.log, QStringList{end});
        QCOMPARE(auth.state(), 0);
        QCOMPARE(account(*m_api), before);

        const QList<FakeTwitterService::Record> log = m_service->requests();
        if (what == QLatin1String("no consumer") || what == QLatin1String("pool down") ||
            what == QLatin1String("closed port"))
            QCOMPARE(log.size(), 0);
        if (what == QLatin1String("wrong pin"))
            QCOMPARE(log.constLast().refusal, QByteArray("wrong verifier"));
        if (what == QLatin1String("pool down"))
            CMeskHttpTaskPool::init(this);
    }

    // A second requestAccess starts over: the first request is dropped unreported.
    void startsOver()
    {
        CTwitterAuth auth(m_api.get(), nullptr);
        useConsumer(auth);
        Signals signals_(&auth);
        auth.requestAccess();
        auth.requestAccess();
        QTRY_COMPARE_WITH_TIMEOUT(signals_.log, QStringList{QStringLiteral("authorizationUrl")}, 30000);
        QTest::qWait(200);
        QCOMPARE(signals_.log, QStringList{QStringLiteral("authorizationUrl")});
        QCOMPARE(auth.state(), 0);
    }

    void accounts()
    {
        CTwitterAuth auth(m_api.get(), nullptr);
        useConsumer(auth);
        Signals signals_(&auth);
        // A stray answer in state 0 changes nothing.
        auth.onRequestFinished();
        auth.setUser(QStringLiteral("T"), QStringLiteral("S"), QStringLiteral("1"), QStringLiteral("n"));
        QVERIFY(auth.isAuthorized());
        QCOMPARE(auth.userName(), QStringLiteral("n"));
        QVERIFY(signals_.log.isEmpty());
        auth.removeUser();
        QVERIFY(!auth.isAuthorized());
        QCOMPARE(account(*m_api), QStringList(4, QString()));
        auth.removeUser(); // also when nobody is signed in
        QCOMPARE(signals_.log, QStringList(2, QStringLiteral("userRemoved")));
    }
};

QTEST_GUILESS_MAIN(TestTwitterAuth)
#include "tst_twitterauth.moc"
