#include "fakemodem.h"
#include "fakenetworkbackend.h"
#include "fakeprovider.h"
#include "localhttpserver.h"
#include "mediadatabase.h"
#include "meskcontacts.h"
#include "meskengine.h"
#include "meskhttptaskobserver.h"
#include "meskhttptaskpool.h"
#include "mesknetworkmanager.h"
#include "meskprovidermanager.h"
#include "mesksmsengine.h"
#include "mesksmsfactories.h"
#include "meskupdatemanager.h"
#include "tempstorage.h"

#include <QMutex>
#include <QPointer>
#include <QTest>

#include <atomic>
#include <memory>

namespace {

QMutex s_logMutex;
QStringList s_warnings;
QtMessageHandler s_previousHandler = nullptr;

void recordMessage(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (type != QtDebugMsg && type != QtInfoMsg) {
        QMutexLocker lock(&s_logMutex);
        s_warnings << message;
    }
    s_previousHandler(type, context, message);
}

class HangingObserver : public IMeskHttpTaskObserver
{
    Q_OBJECT
public:
    void onTaskDone() override { ++ended; }
    void onTaskFailed(TMeskHttpError) override { ++ended; }
    int ended = 0;
};

} // namespace

// Deleting the engine while everything is busy: a request hangs on the HTTP
// pool, the modem reports from its own thread, a posting is in progress.
class TestEngineShutdown : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QCoreApplication::setOrganizationName(QStringLiteral("Velto"));
        QCoreApplication::setApplicationName(QStringLiteral("Velto Lumesk"));
        s_previousHandler = qInstallMessageHandler(recordMessage);
    }

    void cleanupTestCase()
    {
        qInstallMessageHandler(s_previousHandler);
        MeskNetworkBackends::setFactory({});
        CMeskProviderManager::setProviderFactories({});
        MeskSmsFactories::setSmsEngineFactory({});
        MeskSmsFactories::setContactsReaderFactory({});
    }

    void deleteWhileBusy()
    {
        TempStorageRoot root;
        FakeModem* modem = nullptr;
        MeskNetworkBackends::setFactory([&] {
            SMeskNetworkBackends backends;
            backends.network = std::make_unique<FakeNetworkBackend>();
            auto fake = std::make_unique<FakeModem>();
            fake->setDevicePresent(true);
            fake->setReadyState(1);
            modem = fake.get();
            backends.modem = std::move(fake);
            return backends;
        });
        FakeProvider* twitter = nullptr;
        CMeskProviderManager::setProviderFactories({[&](QObject* parent) {
            twitter = new FakeProvider(1, QStringLiteral("Twitter"), parent);
            twitter->setActivated(true);
            twitter->enableTextPoster()->setOutcome(FakeTextPoster::Outcome::Never);
            return twitter;
        }});
        MeskSms::registerFactories();
        CMeskContacts* contacts = nullptr;
        MeskSmsFactories::setContactsReaderFactory([&] { return contacts = new CMeskContacts; });

        auto* engine = new CMeskEngine;
        QVERIFY(engine->init());
        QVERIFY(twitter && contacts && modem);

        // A request that never gets an answer.
        LocalHttpServer server;
        server.enqueue(TestHttpReply::hang());
        HangingObserver observer;
        QVERIFY(CMeskHttpTaskPool::get(server.url(QStringLiteral("/hang")), &observer) > 0);
        QVERIFY(server.waitForRequests(1));

        // A posting that never ends.
        auto* posting = qobject_cast<CMeskUpdateManager*>(engine->updateManager());
        QVERIFY(posting);
        posting->selectProvider(1);
        posting->postUpdate(QStringLiteral("hello"));
        QVERIFY(posting->isPosting());

        // The modem changing state and signal all the time.
        FakeModemDriver driver(modem);
        driver.playRepeatedly([](FakeModem& m, int round) {
            m.setSignalStrength(quint32(round % 32));
            m.setReadyState(round % 2 ? 1 : 6);
        });
        QTRY_VERIFY_WITH_TIMEOUT(driver.rounds() > 20, 30000);
        QTest::qWait(20);

        IMeskSmsEngine* sms = engine->findChild<IMeskSmsEngine*>();
        auto* network = engine->findChild<CMeskNetworkManager*>();
        CMeskHttpTaskPool* pool = CMeskHttpTaskPool::instance();
        auto* providers = engine->findChild<CMeskProviderManager*>();
        IMediaItemStorage* storage = twitter->storage;
        QVERIFY(sms && network && pool && providers && storage);
        QCOMPARE(pool->parent(), engine);
        QVERIFY(pool->isRunning());

        QStringList order;
        std::atomic_bool poolFinished = false;
        connect(
            pool, &QThread::finished, pool, [&] { poolFinished = true; }, Qt::DirectConnection);
        const auto watch = [&](QObject* object, const QString& name) {
            connect(object, &QObject::destroyed, this, [&order, name] { order << name; });
        };
        watch(sms, QStringLiteral("sms"));
        // The modem stops reporting only once the SMS engine is gone, before it is deleted itself.
        connect(sms, &QObject::destroyed, this, [&driver] { driver.stop(); });
        watch(network, QStringLiteral("network"));
        connect(pool, &QObject::destroyed, this,
                [&] { order << (poolFinished ? QStringLiteral("pool") : QStringLiteral("pool running")); });
        watch(posting, QStringLiteral("posting"));
        watch(providers, QStringLiteral("providers"));
        watch(twitter, QStringLiteral("twitter"));
        watch(storage, QStringLiteral("storage"));
        watch(contacts, QStringLiteral("contacts"));

        s_warnings.clear();
        delete engine;
        QCOMPARE(order, (QStringList{"sms", "network", "pool", "posting", "providers", "twitter", "storage",
                                     "contacts"}));
        QVERIFY(!CMeskHttpTaskPool::isPoolRunning());
        // Nothing reaches the observer afterwards.
        QTest::qWait(50);
        QCOMPARE(observer.ended, 0);

        // The storage let its connection go: a new one opens cleanly on the same root.
        {
            CMediaDataBase again(root.dataHome() + QStringLiteral("/Velto/Velto Lumesk/mstorage"));
            QVERIFY(again.open());
        }
        QMutexLocker lock(&s_logMutex);
        QVERIFY2(s_warnings.isEmpty(), qPrintable(s_warnings.join(QLatin1Char('\n'))));
    }
};

QTEST_MAIN(TestEngineShutdown)
#include "tst_engineshutdown.moc"
