// The application's provider list against the stand-in Twitter service: the engine registers
// the Twitter provider, its updates store the statuses and their links come back as links.
#include "fakemodem.h"
#include "fakenetworkbackend.h"
#include "faketwitter.h"
#include "imediaobjects.h"
#include "localhttpserver.h"
#include "meskengine.h"
#include "mesknetworkbackends.h"
#include "meskproviderfactories.h"
#include "meskprovidermanager.h"
#include "tempstorage.h"
#include "twitterauth.h"
#include "twitterprovider.h"

#include <QSignalSpy>
#include <QTest>

#include <memory>

class TestTwitterEngine : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QCoreApplication::setOrganizationName(QStringLiteral("Velto"));
        QCoreApplication::setApplicationName(QStringLiteral("Velto Lumesk"));
    }

    void registersAndUpdates()
    {
        TempStorageRoot root;
        QVERIFY(root.isValid());
        FakeTwitterService service;
        LocalHttpServer server;
        QVERIFY(server.isListening());
        server.setFallback(service.handler());
        qputenv("LUMESK_TWITTER_URL", server.baseUrl().toUtf8());
        FakeTwitterService::Author bob;
        bob.id = "2001";
        bob.screenName = QStringLiteral("bob");
        bob.profileImageUrl = server.url(QStringLiteral("/avatars/bob.png"));
        service.addStatus(
            {"1001", QStringLiteral("read http://example.com/a"), QDateTime::currentDateTimeUtc(), bob});
        service.addStatus({"1002", QStringLiteral("no link"), QDateTime::currentDateTimeUtc(), bob});

        MeskNetworkBackends::setFactory([] {
            SMeskNetworkBackends backends;
            auto network = std::make_unique<FakeNetworkBackend>();
            network->setOnline(true);
            backends.network = std::move(network);
            backends.modem = std::make_unique<FakeModem>();
            return backends;
        });
        MeskProviders::registerFactories();
        {
            CMeskEngine engine;
            QVERIFY(engine.init());
            // The program's providers, each under its own id (a further provider may be there too).
            for (mid_t id : {MeskProvider::Twitter, MeskProvider::Facebook, MeskProvider::Flickr}) {
                QVERIFY2(engine.provider(id), qPrintable(QString::number(id)));
                QCOMPARE(engine.provider(id)->providerId(), id);
            }
            auto* twitter = qobject_cast<CTwitterProvider*>(engine.provider(MeskProvider::Twitter));
            QVERIFY(twitter);
            QVERIFY(!twitter->isActivated());
            twitter->auth()->setUser(QStringLiteral("AT"), QStringLiteral("AS"), QStringLiteral("123"),
                                     QStringLiteral("alice"));
            emit twitter->auth()->userEnabled(QStringLiteral("AT"), QStringLiteral("AS"),
                                              QStringLiteral("123"), QStringLiteral("alice"));

            QSignalSpy done(&engine, &CMeskEngine::serviceUpdateDone);
            QSignalSpy added(&engine, &CMeskEngine::serviceEventAdded);
            engine.doUpdates();
            QTRY_COMPARE_WITH_TIMEOUT(done.size(), 1, 30000);
            QCOMPARE(added.size(), 2);
            QCOMPARE(engine.providerMediaEvents(MeskProvider::Twitter).size(), 2);
            const QList<IMediaLinkItem*> links = engine.loadMediaLinks();
            QCOMPARE(links.size(), 1);
            QCOMPARE(links.first()->url(), QStringLiteral("http://example.com/a"));
            QCOMPARE(engine.linkItemUser(links.first())->name(), QStringLiteral("bob"));
        }
        CMeskProviderManager::setProviderFactories({});
        MeskNetworkBackends::setFactory({});
    }
};

QTEST_MAIN(TestTwitterEngine)
#include "tst_twitterengine.moc"
