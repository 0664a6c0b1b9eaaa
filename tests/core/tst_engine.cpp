#include "failingstorage.h"
#include "fakecontactstore.h"
#include "fakemodem.h"
#include "fakenetworkbackend.h"
#include "fakeprovider.h"
#include "fakesmsengine.h"
#include "faultvfs.h"
#include "imediaobjects.h"
#include "mediadatabase.h"
#include "meskcontacts.h"
#include "meskengine.h"
#include "mesknetworkmanager.h"
#include "meskprovidermanager.h"
#include "mesksmsfactories.h"
#include "tempstorage.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <memory>

namespace {

// A provider that reports at once when it gets its storage.
class EagerProvider : public FakeProvider
{
    Q_OBJECT
public:
    using FakeProvider::FakeProvider;
    void setStorage(IMediaItemStorage* storage) override
    {
        FakeProvider::setStorage(storage);
        emitActivated();
        emitMediaItemAdded(SMediaItem());
        emitUpdateStarted();
    }
};

class TestMediaObject : public IMediaObject
{
    Q_OBJECT
public:
    explicit TestMediaObject(const SMediaItem& item) : IMediaObject(nullptr), m_item(item) {}
    int mediaKind() const override { return Image; }
    QString text() const override { return m_item.content; }
    QString thumbnailFile() const override { return {}; }
    bool loadThumbnail() override { return false; }
    SMediaItem mediaItem() const override { return m_item; }

private:
    SMediaItem m_item;
};

class TestLinkItem : public IMediaLinkItem
{
    Q_OBJECT
public:
    explicit TestLinkItem(const SMediaItem& item) : IMediaLinkItem(nullptr), m_item(item) {}
    QString url() const override { return m_item.content; }
    QString description() const override { return {}; }
    QString caption() const override { return {}; }
    SMediaItem mediaItem() const override { return m_item; }

private:
    SMediaItem m_item;
};

class TestUser : public IMediaUser
{
    Q_OBJECT
public:
    TestUser() : IMediaUser(nullptr) {}
    QString avatarFile() const override { return {}; }
    QPixmap defaultAvatar() const override { return {}; }
    void updateAvatar() override {}
    QPixmap avatar() const override { return {}; }
    QPixmap smallAvatar() const override { return {}; }
    QString name() const override { return objectName(); }
    SServiceUser serviceUser() const override { return {}; }
};

SMediaItem makeItem(mid_t provider, int type, const QString& content)
{
    SMediaItem item;
    item.provider = provider;
    item.type = type;
    item.content = content;
    item.mediaId = content;
    item.created = QDateTime(QDate(2024, 5, 1), QTime(10, 0));
    return item;
}

SSmsMessage makeMessage(int type, const QDate& date, const QString& text)
{
    SSmsMessage message;
    message.type = type;
    message.created = QDateTime(date, QTime(12, 0));
    message.message = text;
    message.phone = QStringLiteral("+4799887766");
    return message;
}

} // namespace

// The engine with fake providers, network, modem and SMS engine: start-up,
// re-emitted signals, periodic updates and the operations the views call.
class TestEngine : public QObject
{
    Q_OBJECT

    enum class Sms
    {
        None,
        Fake,
        Least
    };

    std::unique_ptr<TempStorageRoot> m_root;
    std::unique_ptr<CMeskEngine> m_engine;
    FakeNetworkBackend* m_network = nullptr;
    FakeModem* m_modem = nullptr;
    QHash<mid_t, FakeProvider*> m_providers;
    FakeSmsEngine* m_sms = nullptr;
    Sms m_smsKind = Sms::None;
    bool m_eagerProviders = false;
    bool m_online = true;
    int m_readyState = -1; // the modem's ready state at start; -1: no device

    QString storageRoot() const
    {
        return m_root->dataHome() + QStringLiteral("/Velto/Velto Lumesk/mstorage");
    }

    // A new engine, initialised unless told otherwise.
    bool makeEngine(bool init = true)
    {
        m_engine = std::make_unique<CMeskEngine>();
        return !init || m_engine->init();
    }

    // Waits until the network worker has read the connectivity once, after
    // which every change of the fake is reported.
    bool networkWatched()
    {
        return QTest::qWaitFor([this] { return m_network->connectivityQueries() > 0; }, 30000);
    }

    QTimer* updateTimer() const { return m_engine->findChild<QTimer*>(QStringLiteral("updateTimer")); }

    int updateCalls(mid_t id) const { return m_providers.value(id)->updateCalls; }

    IMediaItemStorage* storage() const { return m_providers.value(MeskProvider::Twitter)->storage; }

private slots:
    void initTestCase()
    {
        QCoreApplication::setOrganizationName(QStringLiteral("Velto"));
        QCoreApplication::setApplicationName(QStringLiteral("Velto Lumesk"));
    }

    void init()
    {
        m_root = std::make_unique<TempStorageRoot>();
        m_providers.clear();
        m_sms = nullptr;
        m_smsKind = Sms::None;
        m_eagerProviders = false;
        m_online = true;
        m_readyState = -1;
        MeskNetworkBackends::setFactory([this] {
            SMeskNetworkBackends backends;
            auto network = std::make_unique<FakeNetworkBackend>();
            network->setOnline(m_online);
            m_network = network.get();
            backends.network = std::move(network);
            auto modem = std::make_unique<FakeModem>();
            if (m_readyState >= 0) {
                modem->setDevicePresent(true);
                modem->setReadyState(m_readyState);
            }
            m_modem = modem.get();
            backends.modem = std::move(modem);
            return backends;
        });
        const auto providerFactory = [this](mid_t id, const char* name) {
            return [this, id, name](QObject* parent) -> IMediaItemProvider* {
                FakeProvider* p = m_eagerProviders ? new EagerProvider(id, QLatin1String(name), parent)
                                                   : new FakeProvider(id, QLatin1String(name), parent);
                m_providers.insert(id, p);
                return p;
            };
        };
        CMeskProviderManager::setProviderFactories(
            {providerFactory(1, "Twitter"), providerFactory(3, "Flickr"), providerFactory(2, "Facebook")});
        MeskSmsFactories::setSmsEngineFactory([this](QObject* parent) -> IMeskSmsEngine* {
            switch (m_smsKind) {
            case Sms::Fake:
                return m_sms = new FakeSmsEngine(parent);
            case Sms::Least:
                MeskSms::registerFactories();
                return MeskSmsFactories::createSmsEngine(parent);
            case Sms::None:
                break;
            }
            return nullptr;
        });
        MeskSmsFactories::setContactsReaderFactory({});
    }

    void cleanup()
    {
        m_engine.reset();
        m_root.reset();
        MeskNetworkBackends::setFactory({});
        CMeskProviderManager::setProviderFactories({});
        MeskSmsFactories::setSmsEngineFactory({});
        MeskSmsFactories::setContactsReaderFactory({});
    }

    // --- init -------------------------------------------------------------

    void initSucceeds()
    {
        QVERIFY(makeEngine(false));
        QSignalSpy ready(m_engine.get(), &CMeskEngine::ready);
        QSignalSpy failed(m_engine.get(), &CMeskEngine::initFailed);
        QVERIFY(!m_engine->isReady());
        QVERIFY(m_engine->init());
        QCOMPARE(ready.count(), 1);
        QCOMPARE(failed.count(), 0);
        QVERIFY(m_engine->isReady());

        QCOMPARE(m_engine->providerCount(), 3);
        QList<mid_t> ids;
        for (IMediaItemProvider* p : m_engine->providers())
            ids << p->providerId();
        QCOMPARE(ids, (QList<mid_t>{1, 2, 3}));
        IMediaItemStorage* shared = storage();
        QVERIFY(shared);
        for (FakeProvider* p : std::as_const(m_providers)) {
            QCOMPARE(p->setStorageCalls, 1);
            QCOMPARE(p->storage, shared);
        }

        const QFileInfo folder(storageRoot());
        QVERIFY(folder.isDir());
        QCOMPARE(folder.permissions() & (QFile::ReadGroup | QFile::ReadOther | QFile::ExeOther |
                                         QFile::WriteOther | QFile::WriteGroup | QFile::ExeGroup),
                 QFile::Permissions());
        QVERIFY(folder.permissions().testFlags(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    }

    void signalsDuringRegistrationReachNobody()
    {
        m_eagerProviders = true;
        QVERIFY(makeEngine(false));
        QSignalSpy activated(m_engine.get(), &CMeskEngine::serviceActivated);
        QSignalSpy added(m_engine.get(), &CMeskEngine::serviceEventAdded);
        QSignalSpy started(m_engine.get(), &CMeskEngine::serviceUpdateStarted);
        QVERIFY(m_engine->init());
        QCOMPARE(activated.count(), 0);
        QCOMPARE(added.count(), 0);
        QCOMPARE(started.count(), 0);
        // Nor did they count as an activation for the next startUpdates.
        m_providers.value(1)->setActivated(true);
        m_engine->startUpdates();
        QCOMPARE(updateCalls(1), 0);
        // Once connected, they arrive.
        m_providers.value(2)->emitActivated();
        QCOMPARE(activated.count(), 1);
    }

    void initFailsWithoutStorage()
    {
        QFile plain(m_root->path() + QStringLiteral("/plain"));
        QVERIFY(plain.open(QIODevice::WriteOnly));
        plain.close();
        qputenv("XDG_DATA_HOME", QFile::encodeName(plain.fileName() + QStringLiteral("/data")));
        QVERIFY(makeEngine(false));
        QSignalSpy ready(m_engine.get(), &CMeskEngine::ready);
        QSignalSpy failed(m_engine.get(), &CMeskEngine::initFailed);
        QVERIFY(!m_engine->init());
        QCOMPARE(failed.count(), 1);
        QCOMPARE(ready.count(), 0);
        QVERIFY(!m_engine->isReady());
        // What the start-up tells the user.
        QCOMPARE(m_engine->storageFailure().kind, TMeskStorageFailure::Kind::NotAFolder);
        QCOMPARE(m_engine->storageFailure().path, plain.fileName());
        // Without storage the operations answer neutrally.
        QVERIFY(m_engine->smsMessages().isEmpty());
        QVERIFY(m_engine->mediaEvents().isEmpty());
        QVERIFY(m_engine->serviceUsers().isEmpty());
        QVERIFY(!m_engine->deleteSmsMessage(SSmsMessage()));
        QVERIFY(m_engine->loadMediaContent().isEmpty());
        QVERIFY(m_engine->loadMediaLinks().isEmpty());
        m_engine->deleteAllItems();
        m_engine->cleanupStorage();
        QCOMPARE(m_engine->providerCount(), 0);
    }

    void unsentMessagesFailAtStart()
    {
        mid_t sending, failed, received, sent;
        {
            CMediaDataBase db(storageRoot());
            QVERIFY(db.open());
            SSmsMessage m = makeMessage(SSmsMessage::BeingSent, QDate(2020, 1, 1), QStringLiteral("sending"));
            QVERIFY(db.addSmsMessage(m));
            sending = m.id;
            m = makeMessage(SSmsMessage::SendFailed, QDate(2020, 1, 2), QStringLiteral("failed"));
            QVERIFY(db.addSmsMessage(m));
            failed = m.id;
            m = makeMessage(SSmsMessage::Received, QDate(2020, 1, 3), QStringLiteral("received"));
            QVERIFY(db.addSmsMessage(m));
            received = m.id;
            m = makeMessage(SSmsMessage::Sent, QDate(2020, 1, 4), QStringLiteral("sent"));
            QVERIFY(db.addSmsMessage(m));
            sent = m.id;
        }
        const qint64 before = QDateTime::currentSecsSinceEpoch();
        QVERIFY(makeEngine());
        const qint64 after = QDateTime::currentSecsSinceEpoch();

        QHash<mid_t, SSmsMessage> byId;
        for (const SSmsMessage& m : m_engine->smsMessages())
            byId.insert(m.id, m);
        QCOMPARE(byId.size(), 4);
        QCOMPARE(byId[sending].type, int(SSmsMessage::SendFailed));
        QVERIFY(byId[sending].created.toSecsSinceEpoch() >= before);
        QVERIFY(byId[sending].created.toSecsSinceEpoch() <= after);
        QCOMPARE(byId[sending].message, QStringLiteral("sending"));
        QCOMPARE(byId[failed].type, int(SSmsMessage::SendFailed));
        QCOMPARE(byId[failed].created, QDateTime(QDate(2020, 1, 2), QTime(12, 0)));
        QCOMPARE(byId[received].type, int(SSmsMessage::Received));
        QCOMPARE(byId[received].created, QDateTime(QDate(2020, 1, 3), QTime(12, 0)));
        QCOMPARE(byId[sent].type, int(SSmsMessage::Sent));
        QCOMPARE(byId[sent].created, QDateTime(QDate(2020, 1, 4), QTime(12, 0)));
    }

    // A second init opens the storage anew and connects everything once.
    void secondInit()
    {
        m_smsKind = Sms::Fake;
        QVERIFY(makeEngine());
        QVERIFY(m_engine->init());
        QCOMPARE(m_sms->calls, (QStringList{"start", "stop", "start"}));
        QCOMPARE(m_engine->providerCount(), 3);
        QSignalSpy added(m_engine.get(), &CMeskEngine::serviceEventAdded);
        QSignalSpy received(m_engine.get(), &CMeskEngine::smsNewMessageReceived);
        m_providers.value(2)->emitMediaItemAdded(SMediaItem());
        emit m_sms->newMessageReceived(SSmsMessage());
        QCOMPARE(added.count(), 1);
        QCOMPARE(received.count(), 1);
        QVERIFY(m_sms->storage);
        QCOMPARE(m_sms->storage, storage());
    }

    // --- re-emitted signals ------------------------------------------------

    void providerSignals()
    {
        QVERIFY(makeEngine());
        FakeProvider* facebook = m_providers.value(2);
        SMediaItem item = makeItem(2, 1, QStringLiteral("hello"));
        item.id = 42;
        item.extra2 = QStringLiteral("x");
        SServiceUser user;
        user.id = 9;
        user.provider = 2;
        user.name = QStringLiteral("Ann");

        QSignalSpy added(m_engine.get(), &CMeskEngine::serviceEventAdded);
        QSignalSpy updated(m_engine.get(), &CMeskEngine::serviceEventUpdated);
        QSignalSpy userAdded(m_engine.get(), &CMeskEngine::serviceUserAdded);
        QSignalSpy activated(m_engine.get(), &CMeskEngine::serviceActivated);
        QSignalSpy deactivated(m_engine.get(), &CMeskEngine::serviceDeactivated);
        QSignalSpy started(m_engine.get(), &CMeskEngine::serviceUpdateStarted);
        QSignalSpy done(m_engine.get(), &CMeskEngine::serviceUpdateDone);
        QSignalSpy error(m_engine.get(), &CMeskEngine::serviceError);

        facebook->emitMediaItemAdded(item);
        QCOMPARE(added.count(), 1);
        QCOMPARE(added.at(0).at(0).value<SMediaItem>(), item);
        item.content = QStringLiteral("changed");
        facebook->emitMediaItemUpdated(item);
        QCOMPARE(updated.count(), 1);
        QCOMPARE(updated.at(0).at(0).value<SMediaItem>(), item);
        facebook->emitServiceUserAdded(user);
        QCOMPARE(userAdded.count(), 1);
        QCOMPARE(userAdded.at(0).at(0).value<mid_t>(), mid_t(2));
        QCOMPARE(userAdded.at(0).at(1).value<SServiceUser>(), user);
        m_providers.value(1)->emitActivated();
        QCOMPARE(activated.count(), 1);
        QCOMPARE(activated.at(0).at(0).value<mid_t>(), mid_t(1));
        m_providers.value(3)->emitDeactivated();
        QCOMPARE(deactivated.count(), 1);
        QCOMPARE(deactivated.at(0).at(0).value<mid_t>(), mid_t(3));
        facebook->emitUpdateStarted();
        facebook->emitUpdateDone();
        QCOMPARE(started.count(), 1);
        QCOMPARE(started.at(0).at(0).value<mid_t>(), mid_t(2));
        QCOMPARE(done.count(), 1);
        QCOMPARE(done.at(0).at(0).value<mid_t>(), mid_t(2));
        facebook->emitServiceError(MediaErrorAuthorization);
        QCOMPARE(error.count(), 1);
        QCOMPARE(error.at(0).at(0).value<mid_t>(), mid_t(2));
        QCOMPARE(error.at(0).at(1).value<TMediaError>(), MediaErrorAuthorization);
    }

    void smsSignalsFromWorkerThread()
    {
        m_smsKind = Sms::Fake;
        QVERIFY(makeEngine());
        QCOMPARE(m_sms->calls, QStringList{QStringLiteral("start")});
        QCOMPARE(m_sms->network, m_engine->findChild<CMeskNetworkManager*>());
        QVERIFY(m_sms->storage);

        SSmsMessage message = makeMessage(SSmsMessage::Received, QDate(2024, 2, 3), QStringLiteral("hi"));
        message.id = 12;
        QStringList arrived;
        QList<QThread*> threads;
        const auto record = [&](auto signal, const QString& name) {
            connect(m_engine.get(), signal, this, [&, name](auto... args) {
                QString entry = name;
                if constexpr (sizeof...(args) == 1) {
                    using Arg = std::decay_t<decltype((args, ...))>;
                    if constexpr (std::is_same_v<Arg, SSmsMessage>)
                        entry +=
                            (((args == message) ? QStringLiteral(" equal") : QStringLiteral(" other")), ...);
                    else
                        entry += QLatin1Char(' ') + QString::number(int((args, ...)));
                }
                arrived << entry;
                threads << QThread::currentThread();
            });
        };
        record(&CMeskEngine::smsStateChanged, QStringLiteral("state"));
        record(&CMeskEngine::smsSimMessageReady, QStringLiteral("sim"));
        record(&CMeskEngine::smsNewMessageReceived, QStringLiteral("new"));
        record(&CMeskEngine::smsMessageSent, QStringLiteral("sent"));
        record(&CMeskEngine::smsMessageSendDone, QStringLiteral("done"));
        record(&CMeskEngine::smsInitFailed, QStringLiteral("initFailed"));
        record(&CMeskEngine::smsMessageSendFailed, QStringLiteral("failed"));

        std::unique_ptr<QThread> worker(QThread::create([&] {
            emit m_sms->newMessageReceived(message);
            emit m_sms->stateChanged(SmsStateReady);
            emit m_sms->simMessageReady(message);
            emit m_sms->messageSent(message);
            emit m_sms->messageSendDone(message);
            emit m_sms->initFailed();
            emit m_sms->messageSendFailed(message);
        }));
        worker->start();
        QVERIFY(worker->wait(30000));
        QTRY_COMPARE_WITH_TIMEOUT(arrived.size(), 7, 30000);
        QCOMPARE(arrived, (QStringList{"new equal", "state 6", "sim equal", "sent equal", "done equal",
                                       "initFailed", "failed equal"}));
        for (QThread* thread : std::as_const(threads))
            QCOMPARE(thread, QCoreApplication::instance()->thread());
    }

    void internetDisconnected()
    {
        QVERIFY(makeEngine());
        QVERIFY(networkWatched());
        QVERIFY(m_engine->isInternetConnected());
        QThread* receivedOn = nullptr;
        QSignalSpy disconnected(m_engine.get(), &CMeskEngine::internetDisconnected);
        connect(m_engine.get(), &CMeskEngine::internetDisconnected, this,
                [&] { receivedOn = QThread::currentThread(); });
        m_network->setOnline(false);
        QTRY_COMPARE_WITH_TIMEOUT(disconnected.count(), 1, 30000);
        QCOMPARE(receivedOn, QCoreApplication::instance()->thread());
        QVERIFY(!m_engine->isInternetConnected());
        QCOMPARE(m_engine->networkType(), 0);

        QSignalSpy connected(m_engine.get(), &CMeskEngine::internetConnected);
        m_network->setOnline(true);
        QTRY_COMPARE_WITH_TIMEOUT(connected.count(), 1, 30000);
        QVERIFY(m_engine->isInternetConnected());
    }

    // --- updates -----------------------------------------------------------

    void doUpdatesAsksActivatedProvidersWhileOnline()
    {
        QVERIFY(makeEngine());
        QVERIFY(networkWatched());
        m_providers.value(1)->setActivated(true);
        m_providers.value(3)->setActivated(true);
        m_engine->doUpdates();
        QCOMPARE(updateCalls(1), 1);
        QCOMPARE(updateCalls(2), 0);
        QCOMPARE(updateCalls(3), 1);

        m_network->setOnline(false);
        QTRY_VERIFY_WITH_TIMEOUT(!m_engine->isInternetConnected(), 30000);
        m_engine->doUpdates();
        // Nor does going online start one by itself.
        m_network->setOnline(true);
        QTRY_VERIFY_WITH_TIMEOUT(m_engine->isInternetConnected(), 30000);
        QCOMPARE(updateCalls(1), 1);
        QCOMPARE(updateCalls(3), 1);
    }

    void startUpdatesWithoutActivation()
    {
        QVERIFY(makeEngine());
        m_providers.value(1)->setActivated(true);
        QVERIFY(!updateTimer()->isActive());
        m_engine->startUpdates();
        QCOMPARE(updateCalls(1), 0);
        QVERIFY(updateTimer()->isActive());
        QCOMPARE(updateTimer()->interval(), 300000);
    }

    void startUpdatesAfterActivation()
    {
        QVERIFY(makeEngine());
        QVERIFY(networkWatched());
        m_providers.value(1)->setActivated(true);
        m_providers.value(2)->setActivated(true);
        m_providers.value(2)->emitActivated();
        QCOMPARE(updateCalls(2), 0);
        m_engine->startUpdates();
        QCOMPARE(updateCalls(1), 1);
        QCOMPARE(updateCalls(2), 1);
        QCOMPARE(updateCalls(3), 0);
        m_engine->startUpdates();
        QCOMPARE(updateCalls(1), 1);
        QCOMPARE(updateCalls(2), 1);
        QVERIFY(updateTimer()->isActive());
    }

    void timerRunsUpdates()
    {
        QVERIFY(makeEngine());
        QVERIFY(networkWatched());
        m_providers.value(3)->setActivated(true);
        m_engine->startUpdates();
        // A tick of the timer is doUpdates; shorten the wait for it.
        updateTimer()->start(1);
        QTRY_VERIFY_WITH_TIMEOUT(updateCalls(3) >= 1, 30000);
    }

    void stopUpdates()
    {
        QVERIFY(makeEngine());
        m_engine->startUpdates();
        m_engine->stopUpdates();
        QVERIFY(!updateTimer()->isActive());
    }

    void updateInterval_data()
    {
        QTest::addColumn<int>("minutes");
        QTest::addColumn<int>("interval");
        QTest::newRow("10") << 10 << 600000;
        QTest::newRow("1") << 1 << 60000;
        QTest::newRow("0") << 0 << 60000;
        QTest::newRow("-3") << -3 << 60000;
        QTest::newRow("beyond a timer") << INT_MAX << 35791 * 60000;
    }

    void updateInterval()
    {
        QFETCH(int, minutes);
        QFETCH(int, interval);
        QVERIFY(makeEngine());
        m_engine->setUpdateInterval(minutes);
        QCOMPARE(updateTimer()->interval(), interval);
        m_engine->startUpdates();
        QCOMPARE(updateTimer()->interval(), interval);
    }

    // --- operations ----------------------------------------------------------

    void deleteSmsMessage()
    {
        m_smsKind = Sms::Fake;
        QVERIFY(makeEngine());
        SSmsMessage message = makeMessage(SSmsMessage::Received, QDate(2024, 1, 1), QStringLiteral("x"));
        QVERIFY(storage()->addSmsMessage(message));
        QSignalSpy deleted(m_engine.get(), &CMeskEngine::smsMessageDeleted);
        QVERIFY(m_engine->deleteSmsMessage(message));
        QCOMPARE(deleted.count(), 1);
        QCOMPARE(deleted.at(0).at(0).value<SSmsMessage>(), message);
        QVERIFY(m_engine->smsMessages().isEmpty());
        // The SMS engine hears of it, so a copy the modem keeps is not stored again.
        QCOMPARE(m_sms->calls.filter(QStringLiteral("forget")),
                 QStringList{QStringLiteral("forget %1").arg(message.id)});

        SSmsMessage other = makeMessage(SSmsMessage::Received, QDate(2024, 1, 2), QStringLiteral("y"));
        QVERIFY(storage()->addSmsMessage(other));
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("behind"));
            db.setDatabaseName(storageRoot() + QStringLiteral("/mindex.db"));
            QVERIFY(db.open());
            QSqlQuery drop(db);
            QVERIFY(drop.exec(QStringLiteral("DROP TABLE MEDIASMSMESSAGES")));
            db.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("behind"));
        QVERIFY(!m_engine->deleteSmsMessage(other));
        QCOMPARE(deleted.count(), 1);
        QCOMPARE(m_sms->calls.filter(QStringLiteral("forget")).size(), 1);
    }

    void createItemWidget()
    {
        QVERIFY(makeEngine());
        const SMediaItem sms = makeItem(MeskProvider::SmsColumn, 1, QStringLiteral("sms"));
        QTest::ignoreMessage(QtDebugMsg, "CMeskEngine: failed to find media item provider");
        QCOMPARE(m_engine->createItemWidget(sms), nullptr);

        SMediaItem item = makeItem(2, 1, QStringLiteral("post"));
        item.id = 5;
        m_engine->createItemWidget(item);
        QCOMPARE(m_providers.value(2)->widgetItems, QList<SMediaItem>{item});
        QCOMPARE(m_providers.value(1)->createItemWidgetCalls, 0);
    }

    void loadMediaContentAndLinks()
    {
        QVERIFY(makeEngine());
        FakeProvider* twitter = m_providers.value(1);
        FakeProvider* facebook = m_providers.value(2);
        twitter->setActivated(true);

        // Twitter: two photos (one it cannot turn into an object) and two links (one likewise);
        // Facebook, not activated: one photo and one link.
        QList<SMediaItem> stored = {
            makeItem(1, MeskItemType::Image, "t1"), makeItem(1, MeskItemType::Video, "t2"),
            makeItem(1, MeskItemType::Link, "t3"),  makeItem(1, MeskItemType::Link, "t4"),
            makeItem(2, MeskItemType::Image, "f1"), makeItem(2, MeskItemType::Link, "f2")};
        for (SMediaItem& item : stored)
            QVERIFY(storage()->addMediaItem(item));
        std::vector<std::unique_ptr<QObject>> owned;
        const auto object = [&](FakeProvider* p, const SMediaItem& item) {
            auto* o = new TestMediaObject(item);
            owned.emplace_back(o);
            p->mediaObjects.insert(item.id, o);
            return o;
        };
        const auto link = [&](FakeProvider* p, const SMediaItem& item) {
            auto* l = new TestLinkItem(item);
            owned.emplace_back(l);
            p->linkItems.insert(item.id, l);
            return l;
        };
        IMediaObject* photo = object(twitter, stored[0]);
        IMediaLinkItem* twitterLink = link(twitter, stored[3]);
        object(facebook, stored[4]);
        link(facebook, stored[5]);

        QTest::ignoreMessage(QtDebugMsg, "CMeskEngine: failed to load media content from Twitter provider");
        QCOMPARE(m_engine->loadMediaContent(), QList<IMediaObject*>{photo});
        QTest::ignoreMessage(QtDebugMsg, "CMeskEngine: failed to create media link from Twitter provider");
        QCOMPARE(m_engine->loadMediaLinks(), QList<IMediaLinkItem*>{twitterLink});

        QCOMPARE(m_engine->mediaObjectProvider(photo), twitter);
        QCOMPARE(m_engine->linkItemProvider(twitterLink), twitter);
        QCOMPARE(m_engine->mediaObjectProvider(nullptr), nullptr);
    }

    void itemAuthors()
    {
        QVERIFY(makeEngine());
        FakeProvider* twitter = m_providers.value(1);
        SServiceUser author;
        author.provider = 1;
        author.name = QStringLiteral("Ann");
        QVERIFY(storage()->addServiceUser(author));
        TestUser known;
        TestUser unknown;
        twitter->users.insert(author.id, &known);
        twitter->users.insert(0, &unknown);

        SMediaItem byAuthor = makeItem(1, MeskItemType::Image, "a");
        byAuthor.user = author.id;
        SMediaItem byStranger = makeItem(1, MeskItemType::Link, "b");
        byStranger.user = author.id + 100;
        TestMediaObject photo(byAuthor);
        TestMediaObject strangersPhoto(byStranger);
        TestLinkItem link(byAuthor);
        TestLinkItem strangersLink(byStranger);
        QCOMPARE(m_engine->mediaObjectUser(&photo), &known);
        QCOMPARE(m_engine->mediaObjectUser(&strangersPhoto), &unknown);
        QCOMPARE(m_engine->linkItemUser(&link), &known);
        QCOMPARE(m_engine->linkItemUser(&strangersLink), &unknown);

        // An item of a provider that is not registered has no author.
        SMediaItem orphan = makeItem(7, MeskItemType::Image, "c");
        TestMediaObject orphanPhoto(orphan);
        QCOMPARE(m_engine->mediaObjectUser(&orphanPhoto), nullptr);
        QCOMPARE(m_engine->findProviderFeature(), nullptr);
    }

    // A run in which a read or a write of the storage failed removes nothing at its exit: what a failed
    // read answered may have been taken for nothing there, and a sync list that was not written does
    // not list this run's events. The failure is told once, and the close vouches for nothing.
    void failureKeepsEverythingAtExit_data()
    {
        QTest::addColumn<bool>("write");
        QTest::newRow("sync list not written") << true;
        QTest::newRow("read failed") << false;
    }
    void failureKeepsEverythingAtExit()
    {
        QFETCH(bool, write);
        // Before the storage opens: its files go through it.
        FaultVfs vfs;
        const auto closeFirst = qScopeGuard([this] { m_engine.reset(); });
        QVERIFY(makeEngine());
        QSignalSpy told(m_engine.get(), &CMeskEngine::storageAccessFailed);
        IMediaItemStorage* s = storage();
        SMediaItem listed;
        listed.provider = MeskProvider::Twitter;
        listed.type = 1;
        listed.created = QDateTime::currentDateTime().addDays(-1);
        SMediaItem fresh = listed;
        QVERIFY(s->addMediaItem(listed));
        QVERIFY(s->setSyncRecords(MeskProvider::Twitter, {listed.id}, 0));
        // This run's event, which the provider lists next.
        QVERIFY(s->addMediaItem(fresh));
        if (write) {
            vfs.failAt(1, FaultVfs::AnyWrite, FaultVfs::Fault::IoError, true);
            QVERIFY(!s->setSyncRecords(MeskProvider::Twitter, {listed.id, fresh.id}, 0));
            QVERIFY(vfs.failed() > 0);
            vfs.failAt(0, 0);
        } else {
            FailingReads reads(QStringLiteral("FROM MEDIAITEMS"), 1);
            bool ok = true;
            s->eventItems(MeskProvider::Twitter, &ok);
            QVERIFY(!ok);
        }
        QCOMPARE(told.count(), 1);
        QCOMPARE(m_engine->storageAccessFailure().kind,
                 write ? TMeskStorageFailure::Kind::NotSaved : TMeskStorageFailure::Kind::FileNotReadable);
        QCOMPARE(m_engine->storageAccessFailure().path, storageRoot() + QStringLiteral("/mindex.db"));
        m_engine->cleanupStorage();
        bool ok = false;
        QCOMPARE(s->eventItems(MeskProvider::Twitter, &ok).size(), 2);
        QVERIFY(ok);
        m_engine.reset();
        QVERIFY(QFileInfo::exists(storageRoot() + QStringLiteral("/mindex.db")));
        QVERIFY(!QFileInfo::exists(storageRoot() + QStringLiteral("/mindex.clean")));
    }

    void storedItemsAndUsers()
    {
        QVERIFY(makeEngine());
        SMediaItem a = makeItem(1, 1, "a");
        SMediaItem b = makeItem(2, 2, "b");
        SMediaItem photo = makeItem(2, MeskItemType::Image, "p");
        QVERIFY(storage()->addMediaItem(a));
        QVERIFY(storage()->addMediaItem(b));
        QVERIFY(storage()->addMediaItem(photo));
        SServiceUser u;
        u.provider = 2;
        QVERIFY(storage()->addServiceUser(u));
        QCOMPARE(m_engine->mediaEvents().size(), 2);
        QCOMPARE(m_engine->providerMediaEvents(2).size(), 1);
        QCOMPARE(m_engine->serviceUsers().size(), 1);
        QCOMPARE(m_engine->providerServiceUsers(1).size(), 0);
        m_engine->deleteAllItems();
        QVERIFY(m_engine->mediaEvents().isEmpty());
        QVERIFY(storage()->providerItems(0).isEmpty());
        QVERIFY(m_engine->serviceUsers().isEmpty());
    }

    void withoutSmsComponents()
    {
        QVERIFY(makeEngine());
        QCOMPARE(m_engine->smsState(), SmsStateNoCellular);
        QVERIFY(!m_engine->isSmsSupported());
        QVERIFY(!m_engine->isSmsReady());
        QVERIFY(!m_engine->readSimMessages());
        QVERIFY(!m_engine->sendSms(QStringLiteral("123"), QStringLiteral("hi")));
        int used = -1, left = -1, parts = -1;
        m_engine->smsTextLength(QStringLiteral("hi"), &used, &left, &parts);
        QCOMPARE(used, -1);
        QCOMPARE(left, -1);
        QCOMPARE(parts, -1);
        QVERIFY(m_engine->contacts().isEmpty());
        QVERIFY(m_engine->findContacts(QStringLiteral("ann")).isEmpty());
    }

    void forwardsToSmsComponents()
    {
        m_smsKind = Sms::Fake;
        FakeContactsReader* reader = nullptr;
        MeskSmsFactories::setContactsReaderFactory([&] { return reader = new FakeContactsReader; });
        QVERIFY(makeEngine(false));
        QVERIFY(reader);
        SPhoneContact ann;
        ann.displayName = QStringLiteral("Ann Smith");
        SPhoneContact bob;
        bob.displayName = QStringLiteral("Bob Jones");
        reader->list = {ann, bob};
        QCOMPARE(reader->initCalls, 0);
        QSignalSpy contactsChanged(m_engine.get(), &CMeskEngine::contactsChanged);
        QVERIFY(m_engine->init());
        QCOMPARE(reader->initCalls, 1);
        QTRY_COMPARE_WITH_TIMEOUT(contactsChanged.count(), 1, 30000);
        QCOMPARE(reader->parent(), nullptr);

        m_sms->setState(SmsStatePinLocked);
        QCOMPARE(m_engine->smsState(), SmsStatePinLocked);
        QVERIFY(m_engine->isSmsSupported());
        QVERIFY(m_engine->isSmsReady());
        QVERIFY(m_engine->sendSms(QStringLiteral("123"), QStringLiteral("hi")));
        QVERIFY(m_engine->readSimMessages());
        int used = -1, left = -1, parts = -1;
        m_engine->smsTextLength(QStringLiteral("hello"), &used, &left, &parts);
        QCOMPARE(used, 5);
        QCOMPARE(m_sms->calls, (QStringList{"start", "send 123 hi", "read", "length hello"}));
        QCOMPARE(m_engine->contacts().size(), 2);
        const QList<SPhoneContact> found = m_engine->findContacts(QStringLiteral("smi"));
        QCOMPARE(found.size(), 1);
        QCOMPARE(found.first().displayName, ann.displayName);
    }

    // The engine's start does not wait for the contacts: with a store that blocks until the test
    // lets it go, the engine is ready first and the contacts come after, with contactsChanged().
    void startDoesNotWaitForContacts()
    {
        FakeContactStore store;
        store.setContacts(
            {FakeContactStore::contact({{"GivenName", "Ann"}, {"GeneralMobile", "+15550142"}})});
        store.setHeld(true);
        MeskSmsFactories::setContactsReaderFactory([] { return new CMeskContacts; });
        const auto restore = qScopeGuard([] { MeskSmsFactories::setContactsReaderFactory({}); });
        QVERIFY(makeEngine(false));
        QSignalSpy ready(m_engine.get(), &CMeskEngine::ready);
        QSignalSpy contactsChanged(m_engine.get(), &CMeskEngine::contactsChanged);
        QVERIFY(m_engine->init());
        QCOMPARE(ready.count(), 1);
        QVERIFY(m_engine->contacts().isEmpty());
        QCOMPARE(m_engine->findContacts(QStringLiteral("5550142")).size(), 0);
        store.setHeld(false);
        QTRY_COMPARE_WITH_TIMEOUT(contactsChanged.count(), 1, 30000);
        QCOMPARE(m_engine->findContacts(QStringLiteral("5550142")).size(), 1);
        m_engine.reset();
    }

    // A start that fails after the SMS engine began (here: the notes of the messages on the modem
    // cannot be read) leaves nothing of it running behind the box that tells the failure.
    void failedStartStopsTheSmsEngine()
    {
        m_smsKind = Sms::Least;
        m_readyState = 1; // cellular 5: ready
        QVERIFY(makeEngine(false));
        {
            FailingReads reads(QStringLiteral("FROM MEDIASMSONMODEM"));
            QVERIFY(!m_engine->init());
            QVERIFY(reads.failed() > 0);
        }
        // Stopped: no state derived, no worker, no manager.
        QCOMPARE(m_engine->smsState(), TMeskSmsState(0));
        QVERIFY(!m_engine->isSmsReady());
        QVERIFY(!m_engine->readSimMessages());
    }

    void leastSmsEngineFollowsModem()
    {
        m_smsKind = Sms::Least;
        m_readyState = 1; // cellular 5: ready
        QVERIFY(makeEngine(false));
        QSignalSpy smsState(m_engine.get(), &CMeskEngine::smsStateChanged);
        QVERIFY(m_engine->init());
        QTRY_COMPARE_WITH_TIMEOUT(m_engine->cellularState(), 5, 30000);
        QTRY_VERIFY_WITH_TIMEOUT(
            !smsState.isEmpty() && smsState.last().at(0).value<TMeskSmsState>() == SmsStateReady, 30000);
        QCOMPARE(m_engine->smsState(), SmsStateReady);
        QVERIFY(m_engine->isSmsSupported());
        // Ready to send once the SMS worker is up.
        QTRY_VERIFY_WITH_TIMEOUT(m_engine->isSmsReady(), 30000);

        smsState.clear();
        m_modem->setReadyState(5); // cellular 3: not activated
        QTRY_COMPARE_WITH_TIMEOUT(smsState.count(), 1, 30000);
        QCOMPARE(smsState.at(0).at(0).value<TMeskSmsState>(), SmsStateSimUnusable);
        m_modem->setDevicePresent(false); // cellular 0
        QTRY_COMPARE_WITH_TIMEOUT(smsState.count(), 2, 30000);
        QCOMPARE(smsState.at(1).at(0).value<TMeskSmsState>(), SmsStateNoCellular);

        QVERIFY(!m_engine->isSmsReady());
        const qsizetype stored = m_engine->smsMessages().size();
        QVERIFY(!m_engine->sendSms(QStringLiteral("+4712345678"), QStringLiteral("hi")));
        QCOMPARE(m_engine->smsMessages().size(), stored);
        // The counter works while the SMS manager exists, with or without a device.
        int used = -1, left = -1, parts = -1;
        m_engine->smsTextLength(QStringLiteral("hi"), &used, &left, &parts);
        QCOMPARE(used, 2);
        QCOMPARE(left, 158);
        QCOMPARE(parts, 1);
        QTest::ignoreMessage(QtDebugMsg, "CMeskContacts::findContacts ann");
        QVERIFY(m_engine->findContacts(QStringLiteral("ann")).isEmpty());
        QVERIFY(m_engine->contacts().isEmpty());
    }
};

QTEST_MAIN(TestEngine)
#include "tst_engine.moc"
