// The Flickr provider inside the engine, registered through the application's factory list.
#include "fakeflickr.h"
#include "fakemodem.h"
#include "fakenetworkbackend.h"
#include "imediaitemprovider.h"
#include "imediaobjects.h"
#include "localhttpserver.h"
#include "mediadatabase.h"
#include "meskengine.h"
#include "mesknetworkbackends.h"
#include "meskproviderfactories.h"
#include "meskprovidermanager.h"
#include "mesksmsfactories.h"
#include "tempstorage.h"

#include <QSignalSpy>
#include <QTest>

class TestFlickrEngine : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QCoreApplication::setOrganizationName(QStringLiteral("Velto"));
        QCoreApplication::setApplicationName(QStringLiteral("Velto Lumesk"));
    }

    void updateStoresPosts()
    {
        TempStorageRoot root;
        QVERIFY(root.isValid());
        FakeFlickrService service;
        LocalHttpServer server;
        QVERIFY(server.isListening());
        server.setFallback(service.handler());
        qputenv("LUMESK_FLICKR_URL", server.baseUrl().toUtf8());

        // A signed-in account from an earlier start.
        {
            CMediaDataBase db(root.dataHome() + QStringLiteral("/Velto/Velto Lumesk/mstorage"));
            QVERIFY(db.open());
            db.setServiceKey(MeskProvider::Flickr, QStringLiteral("key"), FakeFlickrService::defaultToken());
            db.setServiceKey(MeskProvider::Flickr, QStringLiteral("user_id"),
                             FakeFlickrService::defaultUserId());
            db.setServiceKey(MeskProvider::Flickr, QStringLiteral("user_name"),
                             FakeFlickrService::defaultUserName());
        }

        FakeNetworkBackend* network = nullptr;
        MeskNetworkBackends::setFactory([&network] {
            SMeskNetworkBackends backends;
            auto backend = std::make_unique<FakeNetworkBackend>();
            backend->setOnline(true);
            network = backend.get();
            backends.network = std::move(backend);
            backends.modem = std::make_unique<FakeModem>();
            return backends;
        });
        MeskSmsFactories::setSmsEngineFactory({});
        MeskSmsFactories::setContactsReaderFactory({});
        MeskProviders::registerFactories();

        {
            CMeskEngine engine;
            QVERIFY(engine.init());
            IMediaItemProvider* flickr = engine.provider(MeskProvider::Flickr);
            QVERIFY(flickr);
            QCOMPARE(flickr->name(), QStringLiteral("Flickr"));
            QVERIFY(flickr->isActivated());
            QVERIFY(QTest::qWaitFor([&network] { return network->connectivityQueries() > 0; }, 30000));
            QTRY_VERIFY_WITH_TIMEOUT(engine.isInternetConnected(), 30000);

            QSignalSpy added(&engine, &CMeskEngine::serviceEventAdded);
            QSignalSpy done(&engine, &CMeskEngine::serviceUpdateDone);
            engine.doUpdates();
            QVERIFY(done.wait(30000));
            QVERIFY(!added.isEmpty());

            int photos = 0;
            for (const FakeFlickrService::Photo& p : service.photos()) {
                for (const FakeFlickrService::User& u : service.users())
                    photos += (u.contact && u.nsid == p.owner) ? 1 : 0;
            }
            const QList<IMediaObject*> content = engine.loadMediaContent();
            QCOMPARE(content.size(), photos);
            for (IMediaObject* object : content)
                QCOMPARE(object->mediaItem().provider, mid_t(MeskProvider::Flickr));
        }
        MeskNetworkBackends::setFactory({});
        CMeskProviderManager::setProviderFactories({});
    }
};

QTEST_MAIN(TestFlickrEngine)
#include "tst_flickrengine.moc"
