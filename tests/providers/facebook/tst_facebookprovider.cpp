// The Facebook provider as the application registers it, against the stand-in service and a
// real media database.
#include "facebookanswers.h"
#include "facebookauth.h"
#include "facebookprovider.h"
#include "failingstorage.h"
#include "fakebrowserbackend.h"
#include "fakefacebookrest.h"
#include "imediaobjects.h"
#include "localhttpserver.h"
#include "mediadatabase.h"
#include "meskhttptaskpool.h"
#include "meskproviderfactories.h"
#include "meskprovidermanager.h"
#include "meskupdatemanager.h"
#include "tempstorage.h"
#include "ui/facebookeventwidget.h"
#include "ui/facebooksetupwidget.h"

#include <QLabel>
#include <QPointer>
#include <QSignalSpy>
#include <QTest>

#include <memory>

namespace {
const QString kStream = QStringLiteral("stream.get");
const QStringList kKeys{QStringLiteral("session_id"), QStringLiteral("session_secret"),
                        QStringLiteral("user_id"), QStringLiteral("user_name")};
} // namespace

class TestFacebookProvider : public QObject
{
    Q_OBJECT
private:
    std::unique_ptr<FakeBrowserBackendScope> m_browsers;
    std::unique_ptr<FakeFacebookRest> m_rest;
    std::unique_ptr<LocalHttpServer> m_server;
    std::unique_ptr<TempStorageRoot> m_root;
    std::unique_ptr<CMediaDataBase> m_db;
    std::unique_ptr<CMeskProviderManager> m_manager;
    CFacebookProvider* m_provider = nullptr;
    QStringList m_log; // the provider's signals, in order

    // The application's providers on the storage; Facebook's signals logged.
    void loadProviders()
    {
        m_manager = std::make_unique<CMeskProviderManager>();
        MeskProviders::registerFactories();
        QVERIFY(m_manager->loadProviders(m_db.get()));
        m_provider = qobject_cast<CFacebookProvider*>(m_manager->provider(MeskProvider::Facebook));
        QVERIFY(m_provider);
        m_provider->auth()->setRetryIntervalMs(20);
        m_log.clear();
        const auto note = [this](const QString& text) { m_log.append(text); };
        IMediaItemProvider* p = m_provider;
        connect(p, &IMediaItemProvider::activated, this,
                [note](mid_t id) { note(QStringLiteral("activated %1").arg(id)); });
        connect(p, &IMediaItemProvider::deactivated, this,
                [note](mid_t id) { note(QStringLiteral("deactivated %1").arg(id)); });
        connect(p, &IMediaItemProvider::updateStarted, this,
                [note](mid_t id) { note(QStringLiteral("updateStarted %1").arg(id)); });
        connect(p, &IMediaItemProvider::updateDone, this,
                [note](mid_t id) { note(QStringLiteral("updateDone %1").arg(id)); });
        connect(p, &IMediaItemProvider::mediaItemAdded, this, [note](mid_t id, const SMediaItem& item) {
            note(QStringLiteral("mediaItemAdded %1 %2").arg(id).arg(item.type));
        });
        connect(p, &IMediaItemProvider::serviceUserAdded, this, [note](mid_t id, const SServiceUser& user) {
            note(QStringLiteral("serviceUserAdded %1 %2").arg(id).arg(user.name));
        });
        connect(p, &IMediaItemProvider::serviceError, this, [note](mid_t id, TMediaError error) {
            note(QStringLiteral("serviceError %1 %2").arg(id).arg(int(error)));
        });
    }
    int count(const QString& prefix) const
    {
        return int(std::count_if(m_log.cbegin(), m_log.cend(),
                                 [&](const QString& s) { return s.startsWith(prefix); }));
    }
    QString key(const QString& name) const
    {
        QString value = QStringLiteral("<missing>");
        m_db->serviceKey(MeskProvider::Facebook, name, value);
        return value;
    }
    // Signs in through the setup page and the fake browser.
    void signIn()
    {
        CFacebookSetupWidget wizard(m_provider->auth());
        wizard.onStartSetup();
        const QString session =
            QStringLiteral(R"({"session_key":"%1","uid":12345,"expires":0,"secret":"%2","sig":"ff"})")
                .arg(m_rest->sessionKey(), m_rest->sessionSecret());
        emit FakeBrowserBackend::instances().constLast()->navigateComplete(
            m_server->baseUrl() + QStringLiteral("/connect/login_success.html?session=") +
            QString::fromLatin1(QUrl::toPercentEncoding(session)));
        QTRY_VERIFY_WITH_TIMEOUT(wizard.donePage()->isVisibleTo(&wizard), 30000);
    }
    bool runUpdate()
    {
        const int before = count(QStringLiteral("updateDone"));
        m_provider->update();
        return QTest::qWaitFor([&] { return count(QStringLiteral("updateDone")) > before; }, 30000);
    }

private slots:
    void initTestCase()
    {
        registerMeskMetaTypes();
        registerFacebookMetaTypes();
        CMeskHttpTaskPool::init(this);
        m_browsers = std::make_unique<FakeBrowserBackendScope>();
        m_rest = std::make_unique<FakeFacebookRest>();
        m_rest->setCredentials(QStringLiteral(LUMESK_FACEBOOK_API_KEY),
                               QStringLiteral("3.abc-DEF_12.3600.1.12345"), QStringLiteral("s3cr3t,x"),
                               QStringLiteral("12345"));
        m_server = std::make_unique<LocalHttpServer>();
        QVERIFY(m_server->isListening());
        m_server->setFallback(m_rest->handler());
        qputenv("LUMESK_FACEBOOK_URL", m_server->baseUrl().toUtf8());
    }
    void cleanupTestCase()
    {
        CMeskHttpTaskPool::shutdown();
        m_server.reset();
        CMeskProviderManager::setProviderFactories({});
        qunsetenv("LUMESK_FACEBOOK_URL");
    }
    void init()
    {
        m_rest->clearRequests();
        m_rest->clearScripts();
        m_root = std::make_unique<TempStorageRoot>();
        m_db = std::make_unique<CMediaDataBase>(m_root->subPath(QStringLiteral("mstorage")));
        QVERIFY(m_db->open());
    }
    void cleanup()
    {
        m_manager.reset();
        m_provider = nullptr;
        m_db.reset();
        m_root.reset();
    }

    void registrationAndStart_data()
    {
        QTest::addColumn<bool>("keys");
        QTest::newRow("no keys") << false;
        QTest::newRow("four keys") << true;
    }
    void registrationAndStart()
    {
        QFETCH(bool, keys);
        if (keys) {
            const QStringList values{QStringLiteral("K"), QStringLiteral("S"), QStringLiteral("12345"),
                                     QStringLiteral("Pat Tester")};
            for (int i = 0; i < kKeys.size(); ++i)
                m_db->setServiceKey(MeskProvider::Facebook, kKeys.at(i), values.at(i));
        }
        loadProviders();
        // Listed by id: Twitter (1) before it, whatever other providers follow.
        QCOMPARE(m_manager->providers().at(1), static_cast<IMediaItemProvider*>(m_provider));
        QCOMPARE(m_provider->name(), QStringLiteral("Facebook"));
        QCOMPARE(m_provider->setupMode(), 2);
        QCOMPARE(m_provider->icon().deviceIndependentSize().toSize(), QSize(17, 17));
        QVERIFY(!m_provider->service(1));
        QCOMPARE(m_provider->isActivated(), keys);
        QCOMPARE(m_provider->userName(), keys ? QStringLiteral("Pat Tester") : QString());
        QTest::qWait(20);
        QVERIFY(m_log.isEmpty());
    }

    // An account that cannot be stored ends the setup on an error page and is not linked, in
    // this run or the next; nor is one that comes without its session.
    void accountNotStored()
    {
        m_db.reset();
        auto* storage = new FailingStorage(m_root->subPath(QStringLiteral("mstorage")));
        m_db.reset(storage);
        QVERIFY(m_db->open());
        storage->failCommits = true;
        loadProviders();
        {
            CFacebookSetupWidget wizard(m_provider->auth());
            wizard.onStartSetup();
            const QString session =
                QStringLiteral(R"({"session_key":"%1","uid":12345,"expires":0,"secret":"%2","sig":"ff"})")
                    .arg(m_rest->sessionKey(), m_rest->sessionSecret());
            QSignalSpy granted(m_provider->auth(), &CFacebookAuth::accessGranted);
            emit FakeBrowserBackend::instances().constLast()->navigateComplete(
                m_server->baseUrl() + QStringLiteral("/connect/login_success.html?session=") +
                QString::fromLatin1(QUrl::toPercentEncoding(session)));
            QTRY_VERIFY_WITH_TIMEOUT(wizard.errorPage()->isVisibleTo(&wizard), 30000);
            QCOMPARE(wizard.errorPage()->label()->text(),
                     QStringLiteral("Velto Lumesk internal error, please contact application support"));
            QCOMPARE(granted.size(), 0);
        }
        QVERIFY(!m_provider->isActivated());
        QCOMPARE(count(QStringLiteral("activated")), 0);

        storage->failCommits = false;
        SFacebookUser user;
        user.uid = QStringLiteral("12345");
        user.name = QStringLiteral("Pat Tester");
        emit m_provider->auth()->userAdded(QString(), QString(), user);
        QCOMPARE(count(QStringLiteral("activated")), 0);

        loadProviders(); // the next start
        QVERIFY(!m_provider->isActivated());
        QCOMPARE(key(QStringLiteral("session_id")), QStringLiteral("<missing>"));
    }

    // An answer that trickles in forever ends the run as a network error; the next run is sent.
    void tricklingAnswerEndsTheRun()
    {
        loadProviders();
        signIn();
        CMeskHttpTaskPool::setDefaultDeadlines(700, 700);
        m_server->setFallback(tricklingHandler(m_rest->handler()));
        m_rest->clearRequests();
        m_log.clear();
        QVERIFY(runUpdate());
        CMeskHttpTaskPool::setDefaultDeadlines(5 * 60 * 1000, 30 * 60 * 1000);
        m_server->setFallback(m_rest->handler());
        QCOMPARE(m_log, QStringList({"updateStarted 2", "serviceError 2 2", "updateDone 2"}));
        const qsizetype sent = m_rest->requests().size();
        m_log.clear();
        QVERIFY(runUpdate());
        QVERIFY(m_rest->requests().size() > sent);
        QVERIFY2(!m_log.join(QLatin1Char(',')).contains(QLatin1String("serviceError")),
                 qPrintable(m_log.join(QLatin1Char(','))));
    }

    // Setup stores the account; updates, items, own status and removal follow on it.
    void accountLifecycle()
    {
        loadProviders();
        signIn();
        QCOMPARE(m_log, QStringList({"serviceUserAdded 2 Pat Tester", "activated 2"}));
        QCOMPARE(key(QStringLiteral("session_id")), m_rest->sessionKey());
        QCOMPARE(key(QStringLiteral("session_secret")), m_rest->sessionSecret());
        QCOMPARE(key(QStringLiteral("user_id")), QStringLiteral("12345"));
        QCOMPARE(key(QStringLiteral("user_name")), QStringLiteral("Pat Tester"));
        const QList<SServiceUser> owner =
            m_db->serviceUserByMediaId(MeskProvider::Facebook, QStringLiteral("12345"));
        QCOMPARE(owner.size(), 1);
        QCOMPARE(owner.first().type, 1);

        // Update with the canned stream.
        m_log.clear();
        QVERIFY(runUpdate());
        QCOMPARE(m_log.first(), QStringLiteral("updateStarted 2"));
        QCOMPARE(m_log.last(), QStringLiteral("updateDone 2"));
        const QList<SMediaItem> events = m_db->eventItems(MeskProvider::Facebook);
        QVERIFY(!events.isEmpty());
        QCOMPARE(count(QStringLiteral("mediaItemAdded 2")), int(events.size()));
        QVERIFY(!m_db->syncRecords(MeskProvider::Facebook).isEmpty());

        // Items.
        const QList<SMediaItem> links = m_db->linkItems(MeskProvider::Facebook);
        QVERIFY(!links.isEmpty());
        QVERIFY(!m_provider->mediaObject(links.first()));
        QVERIFY(m_provider->linkItem(links.first()));
        QCOMPARE(m_provider->linkItem(links.first())->url(), links.first().content);
        std::unique_ptr<IMediaItemWidget> widget(m_provider->createItemWidget(events.first()));
        QVERIFY(qobject_cast<CFacebookEventWidget*>(widget.get()));
        SMediaItem orphan = events.first();
        orphan.user = 999999;
        QVERIFY(!m_provider->createItemWidget(orphan));
        QString text;
        m_provider->itemText(orphan, text);
        QCOMPARE(text, orphan.content);

        m_rest->scriptReply(
            kStream, 200,
            FacebookAnswers::stream(
                {FacebookAnswers::post(QStringLiteral("201_77"), QStringLiteral("201"), QStringLiteral("Hi"),
                                       QString::number(QDateTime::currentSecsSinceEpoch()))},
                {FacebookAnswers::profile(QStringLiteral("201"), QStringLiteral("Bob"))}),
            1);
        QVERIFY(runUpdate());
        const QList<SMediaItem> hi = m_db->itemByMediaId(MeskProvider::Facebook, QStringLiteral("201_77"));
        QCOMPARE(hi.size(), 1);
        m_provider->itemText(hi.first(), text);
        QCOMPARE(text, QStringLiteral("<b>Bob</b> Hi"));

        // Errors of an update.
        for (const auto& [drop, expected] :
             {std::pair{true, "serviceError 2 2"}, std::pair{false, "serviceError 2 6"}}) {
            m_log.clear();
            if (drop)
                m_rest->scriptDrop(kStream); // every time: the network layer may send it once more
            else
                m_rest->scriptError(kStream, 102, 200, 1);
            QVERIFY(runUpdate());
            QVERIFY2(m_log.contains(QLatin1String(expected)), qPrintable(m_log.join(QLatin1Char(','))));
            QCOMPARE(m_log.last(), QStringLiteral("updateDone 2"));
            m_rest->clearScripts();
        }

        // Own status through the posting manager.
        m_log.clear();
        QSignalSpy added(m_provider, &IMediaItemProvider::mediaItemAdded);
        CMeskUpdateManager poster(m_manager.get());
        poster.postUpdate(QStringLiteral("Hello"));
        QTRY_COMPARE_WITH_TIMEOUT(added.size(), 1, 30000);
        QCOMPARE(added.first().at(0).value<mid_t>(), mid_t(MeskProvider::Facebook));
        const auto status = added.first().at(1).value<SMediaItem>();
        QCOMPARE(status.type, 1);
        QCOMPARE(status.content, QStringLiteral("Hello"));
        QCOMPARE(status.extra1, QStringLiteral("spost"));
        QVERIFY(!status.mediaId.isEmpty());
        QCOMPARE(m_db->itemByMediaId(MeskProvider::Facebook, status.mediaId).size(), 1);
        bool synced = false;
        for (const SMediaItem& record : m_db->syncRecords(MeskProvider::Facebook))
            synced = synced || record.id == status.id;
        QVERIFY(synced);

        // Removal in the middle of an update (F7), with item widgets alive.
        std::unique_ptr<IMediaItemWidget> second(m_provider->createItemWidget(events.last()));
        // The stream's answer is held back for a second: the removal comes well before it.
        m_rest->scriptDelay(kStream, 1000, 1);
        m_log.clear();
        const qsizetype streamCalls = m_rest->requests(kStream).size();
        m_provider->update();
        QTRY_COMPARE_WITH_TIMEOUT(m_rest->requests(kStream).size(), streamCalls + 1, 30000);
        m_provider->removeAccount();
        QCOMPARE(m_log, QStringList({"updateStarted 2", "updateDone 2", "deactivated 2"}));
        QTest::qWait(1300);
        widget.reset();
        second.reset();
        QCOMPARE(count(QStringLiteral("deactivated")), 1);
        QCOMPARE(count(QStringLiteral("mediaItemAdded")), 0);
        for (const QString& name : kKeys)
            QCOMPARE(key(name), QString());
        QVERIFY(m_db->providerItems(MeskProvider::Facebook).isEmpty());
        QVERIFY(m_db->serviceUsers(MeskProvider::Facebook).isEmpty());
        QVERIFY(m_db->syncRecords(MeskProvider::Facebook).isEmpty());
        CFacebookProvider next;
        next.setStorage(m_db.get());
        QVERIFY(!next.isActivated());
    }
};

QTEST_MAIN(TestFacebookProvider)
#include "tst_facebookprovider.moc"
