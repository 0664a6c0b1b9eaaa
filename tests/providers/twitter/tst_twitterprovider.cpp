// The Twitter provider against the stand-in service: update runs, what is stored once and
// announced after the commit, the since marker, errors, account link and removal.
#include "imediaitemwidget.h"
#include "imediaposting.h"
#include "meskhttptaskpool.h"
#include "meskslicedstore.h"
#include "twitterauth.h"
#include "twitterfixture.h"
#include "twitterprovider.h"
#include "twittersync.h"

#include <QPointer>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTest>

namespace {

const QStringList kKeys = {QStringLiteral("key"), QStringLiteral("secret"), QStringLiteral("user_id"),
                           QStringLiteral("user_name")};

} // namespace

class TestTwitterProvider : public QObject
{
    Q_OBJECT
private:
    std::unique_ptr<TwitterFixture> m_fx;

    void writeKeys(bool withName = true)
    {
        const QStringList values = {QStringLiteral("AT"), QStringLiteral("AS"), QStringLiteral("123"),
                                    QStringLiteral("alice")};
        for (int i = 0; i < (withName ? 4 : 3); ++i)
            m_fx->db->setServiceKey(MeskProvider::Twitter, kKeys[i], values[i]);
    }
    std::unique_ptr<CTwitterProvider> linkedProvider()
    {
        writeKeys();
        auto provider = std::make_unique<CTwitterProvider>();
        provider->setStorage(m_fx->db.get());
        return provider;
    }
    // One update run; false when it does not end.
    static bool run(CTwitterProvider& provider)
    {
        QSignalSpy done(&provider, &IMediaItemProvider::updateDone);
        provider.update();
        return QTest::qWaitFor([&] { return done.size() == 1; }, 30000) && done.first().at(0).toInt() == 1;
    }
    QList<SMediaItem> items(int type) { return m_fx->db->itemsByType(type, MeskProvider::Twitter); }
    QStringList statusIds()
    {
        QStringList ids;
        for (const SMediaItem& item : m_fx->db->providerItems(MeskProvider::Twitter))
            if (item.type != MeskItemType::Link)
                ids << item.mediaId;
        ids.sort();
        return ids;
    }
    FakeTwitterService::Author bob() { return m_fx->author("2001", QStringLiteral("bob")); }
    FakeTwitterService::Author erin() { return m_fx->author("2004", QStringLiteral("erin"), false); }

private slots:
    void initTestCase()
    {
        registerMeskMetaTypes();
        CMeskHttpTaskPool::init(this);
    }
    void cleanupTestCase() { CMeskHttpTaskPool::shutdown(); }
    void init()
    {
        m_fx = std::make_unique<TwitterFixture>();
        QVERIFY(m_fx->start());
    }
    void cleanup() { m_fx.reset(); }

    void setStorage_data()
    {
        QTest::addColumn<bool>("withName");
        QTest::newRow("four keys") << true;
        QTest::newRow("no user_name") << false;
    }
    void setStorage()
    {
        QFETCH(bool, withName);
        writeKeys(withName);
        CTwitterProvider provider;
        QSignalSpy activated(&provider, &IMediaItemProvider::activated);
        provider.setStorage(m_fx->db.get());
        QCOMPARE(provider.isActivated(), withName);
        QCOMPARE(provider.isReady(), withName);
        QCOMPARE(provider.userName(), withName ? QStringLiteral("alice") : QString());
        QCOMPARE(activated.size(), 0);
        QVERIFY(!provider.icon().isNull());
    }

    void linkRunAndRemove()
    {
        CTwitterProvider provider;
        provider.setStorage(m_fx->db.get());
        QSignalSpy activated(&provider, &IMediaItemProvider::activated);
        QSignalSpy deactivated(&provider, &IMediaItemProvider::deactivated);
        QSignalSpy started(&provider, &IMediaItemProvider::updateStarted);
        QSignalSpy added(&provider, &IMediaItemProvider::mediaItemAdded);
        QSignalSpy usersAdded(&provider, &IMediaItemProvider::serviceUserAdded);
        for (int link = 0; link < 2; ++link) {
            provider.auth()->setUser(QStringLiteral("AT"), QStringLiteral("AS"), QStringLiteral("123"),
                                     QStringLiteral("alice"));
            emit provider.auth()->userEnabled(QStringLiteral("AT"), QStringLiteral("AS"),
                                              QStringLiteral("123"), QStringLiteral("alice"));
        }
        QCOMPARE(activated.size(), 2);
        const QStringList expected = {QStringLiteral("AT"), QStringLiteral("AS"), QStringLiteral("123"),
                                      QStringLiteral("alice")};
        for (int i = 0; i < 4; ++i) {
            QString value;
            QVERIFY(m_fx->db->serviceKey(MeskProvider::Twitter, kKeys[i], value));
            QCOMPARE(value, expected[i]);
        }
        const QList<SServiceUser> own = m_fx->db->serviceUserByMediaId(MeskProvider::Twitter, "123");
        QCOMPARE(own.size(), 1);
        QCOMPARE(own.first().type, 1);
        QCOMPARE(usersAdded.size(), 0);

        m_fx->addStatus("1001", QStringLiteral("see http://a.com/x, and www.b.org."), bob());
        m_fx->addStatus("1002", QStringLiteral("plain"), m_fx->author("2002", QStringLiteral("carol")));
        m_fx->addStatus("1003", QStringLiteral("my own"), m_fx->author("123", QStringLiteral("alice")));
        m_fx->addStatus("1004", QStringLiteral("@alice hi https://c.net/"), erin());
        QVERIFY(run(provider));
        QCOMPARE(started.size(), 1);
        QCOMPARE(m_fx->timelineRequests(), QStringList({"friends:", "mentions:"}));
        QCOMPARE(statusIds(), QStringList({"1001", "1002", "1004"}));
        QCOMPARE(added.size(), 3);
        QCOMPARE(usersAdded.size(), 3);
        QCOMPARE(items(MeskItemType::Event1).size(), 3);
        QCOMPARE(m_fx->db->serviceUsers(MeskProvider::Twitter).size(), 4);
        const SMediaItem parent = m_fx->db->itemByMediaId(MeskProvider::Twitter, "1001").first();
        QStringList links;
        for (const SMediaItem& link : items(MeskItemType::Link))
            links << link.mediaId + QLatin1Char('@') + (link.parent == parent.id ? "1001" : "?");
        links.sort();
        QCOMPARE(links, QStringList({"http://a.com/x@1001", "https://c.net@?", "www.b.org@1001"}));
        QVERIFY(!m_fx->db->syncRecords(MeskProvider::Twitter).isEmpty());
        QCOMPARE(provider.sinceId(), QStringLiteral("1002"));

        {
            // Linked again after a restart: the stored row of the account is used again.
            CTwitterProvider restarted;
            restarted.setStorage(m_fx->db.get());
            emit restarted.auth()->userEnabled(QStringLiteral("AT"), QStringLiteral("AS"),
                                               QStringLiteral("123"), QStringLiteral("alice"));
            QCOMPARE(m_fx->db->serviceUserByMediaId(MeskProvider::Twitter, "123").size(), 1);
        }

        provider.removeAccount();
        QCOMPARE(deactivated.size(), 1);
        QVERIFY(!provider.isActivated());
        for (const QString& key : kKeys) {
            QString value = QStringLiteral("x");
            QVERIFY(m_fx->db->serviceKey(MeskProvider::Twitter, key, value));
            QVERIFY(value.isEmpty());
        }
        QVERIFY(m_fx->db->providerItems(MeskProvider::Twitter).isEmpty());
        QVERIFY(m_fx->db->serviceUsers(MeskProvider::Twitter).isEmpty());
        QVERIFY(m_fx->db->syncRecords(MeskProvider::Twitter).isEmpty());
        QVERIFY(provider.sinceId().isEmpty());
        QTest::ignoreMessage(QtDebugMsg, "CTwitterProvider: failed to load user");
        QCOMPARE(provider.user(parent.user), nullptr);
    }

    void removalDuringRun()
    {
        std::unique_ptr<CTwitterProvider> provider = linkedProvider();
        m_fx->addStatus("1001", QStringLiteral("late"), bob());
        FakeTwitterService* service = m_fx->service.get();
        m_fx->server->mount("/statuses/friends_timeline.xml", [service](const TestHttpRequest& request) {
            TestHttpReply reply = service->handle(request);
            reply.delayMs = 600;
            return reply;
        });
        QSignalSpy done(provider.get(), &IMediaItemProvider::updateDone);
        QSignalSpy added(provider.get(), &IMediaItemProvider::mediaItemAdded);
        provider->update();
        QVERIFY(m_fx->server->waitForRequests(1));
        provider->removeAccount();
        QCOMPARE(done.size(), 1);
        QTest::qWait(1000);
        QCOMPARE(done.size(), 1);
        QCOMPARE(added.size(), 0);
        QVERIFY(m_fx->db->providerItems(MeskProvider::Twitter).isEmpty());
        QVERIFY(m_fx->db->serviceUsers(MeskProvider::Twitter).isEmpty());
    }

    // Answers that trickle in forever end the run; the next run is sent and stores.
    void tricklingAnswerEndsTheRun()
    {
        std::unique_ptr<CTwitterProvider> provider = linkedProvider();
        m_fx->addStatus("1001", QStringLiteral("slow"), bob());
        CMeskHttpTaskPool::setDefaultDeadlines(700, 700);
        m_fx->server->setFallback(tricklingHandler(m_fx->service->handler(), 2));
        const bool ended = run(*provider);
        CMeskHttpTaskPool::setDefaultDeadlines(5 * 60 * 1000, 30 * 60 * 1000);
        m_fx->server->setFallback(m_fx->service->handler());
        QVERIFY(ended);
        QVERIFY(statusIds().isEmpty());
        const int sent = m_fx->server->requestCount();
        QVERIFY(run(*provider));
        QVERIFY(m_fx->server->requestCount() > sent);
        QCOMPARE(statusIds(), QStringList{QStringLiteral("1001")});
    }

    // A long answer keeps its 1,000 newest statuses, stored over several turns; sinceId moves only
    // after the last slice, and not at all when the account goes between slices or a slice is rolled
    // back (nothing is cut then; the next run stores the rest). A close while the mentions are held
    // (the exit's clean-up runs, then a start) keeps every status stored: the next run announces none
    // again, and only once it ended is the sync list cut to the newest; a run after the start that
    // reaches no service cuts nothing.
    void longAnswerInSlices_data()
    {
        QTest::addColumn<bool>("remove");
        QTest::addColumn<bool>("close");
        QTest::addColumn<bool>("offline");
        QTest::addColumn<QByteArray>("refused"); // a status whose row the database refuses
        QTest::newRow("stored") << false << false << false << QByteArray();
        QTest::newRow("removed between slices") << true << false << false << QByteArray();
        QTest::newRow("closed while the mentions are held") << false << true << false << QByteArray();
        QTest::newRow("offline run after close") << false << true << true << QByteArray();
        QTest::newRow("a slice rolled back") << false << false << false << QByteArray("10500");
    }
    void longAnswerInSlices()
    {
        QFETCH(bool, remove);
        QFETCH(bool, close);
        QFETCH(bool, offline);
        QFETCH(QByteArray, refused);
        std::unique_ptr<CTwitterProvider> provider = linkedProvider();
        // The service never sends that many; a stand-in that does is scripted.
        QByteArray body = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<statuses type=\"array\">";
        for (int i = 1; i <= 1200; ++i) {
            FakeTwitterService::Status status;
            status.id = QByteArray::number(10000 + i);
            status.text = QStringLiteral("s%1").arg(i);
            status.created = QDateTime(QDate(2020, 1, 1), QTime(0, 0), Qt::UTC).addSecs(i);
            status.author = bob();
            body += FakeTwitterService::statusXml(status);
        }
        m_fx->service->script("/statuses/friends_timeline.xml", 200, body + "</statuses>",
                              close || !refused.isEmpty() ? 2 : 1);
        const QString blocker = QStringLiteral("blocker");
        if (!refused.isEmpty()) {
            QSqlDatabase second = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), blocker);
            second.setDatabaseName(m_fx->root.subPath(QStringLiteral("storage")) +
                                   QStringLiteral("/mindex.db"));
            QVERIFY(second.open());
            QVERIFY(
                QSqlQuery(second).exec(QStringLiteral("CREATE TRIGGER block BEFORE INSERT ON MEDIAITEMS WHEN "
                                                      "NEW.MEDIAID = '%1' BEGIN SELECT RAISE(ABORT, "
                                                      "'blocked'); END")
                                           .arg(QString::fromLatin1(refused))));
        }
        auto held = std::make_shared<QAtomicInt>(0);
        if (close)
            m_fx->server->mount("/statuses/mentions.xml", [held](const TestHttpRequest&) {
                held->storeRelaxed(1);
                return TestHttpReply::hang();
            });
        int added = 0;
        QString sinceAtFirst = QStringLiteral("unset");
        connect(provider.get(), &IMediaItemProvider::mediaItemAdded, this, [&] {
            if (++added > 1)
                return;
            sinceAtFirst = provider->sinceId();
            // Between this slice and the next, as a person would.
            if (remove)
                QMetaObject::invokeMethod(
                    this, [&] { provider->removeAccount(); }, Qt::QueuedConnection);
        });
        QSignalSpy done(provider.get(), &IMediaItemProvider::updateDone);
        const QPointer<CMeskSlicedStore> slices = provider->findChild<CMeskSlicedStore*>();
        QVERIFY(slices);
        QTest::ignoreMessage(QtDebugMsg, QRegularExpression("answer of 1200 entries, only the newest 1000"));
        provider->update();
        if (close) {
            QTRY_COMPARE_WITH_TIMEOUT(held->loadRelaxed(), 1, 60000);
            QCOMPARE(added, 1000);
            provider.reset();
            QVERIFY(m_fx->db->cleanup(false));
            m_fx->db = std::make_unique<CMediaDataBase>(m_fx->root.subPath(QStringLiteral("storage")));
            QVERIFY(m_fx->db->open());
            QCOMPARE(statusIds().size(), 1000);
            m_fx->server->mount("/statuses/mentions.xml", m_fx->service->handler());
            provider = linkedProvider();
            QSignalSpy again(provider.get(), &IMediaItemProvider::mediaItemAdded);
            if (offline) {
                const QString home = provider->api()->serviceUrl();
                QVERIFY(provider->api()->setServiceUrl(LocalHttpServer().baseUrl()));
                QVERIFY(run(*provider));
                QVERIFY(provider->api()->setServiceUrl(home));
                QVERIFY(m_fx->db->cleanup(false));
                QCOMPARE(statusIds().size(), 1000);
            }
            QVERIFY(run(*provider));
            QCOMPARE(again.size(), 0);
            QVERIFY(m_fx->db->cleanup(false));
            QCOMPARE(statusIds().size(), CTwitterSync::MaxItems);
            return;
        }
        QTRY_COMPARE_WITH_TIMEOUT(done.size(), 1, 60000);
        QCOMPARE(sinceAtFirst, QString());
        if (!refused.isEmpty()) {
            QVERIFY2(added < 1000, qPrintable(QString::number(added)));
            QVERIFY(provider->sinceId().isEmpty());
            QVERIFY(m_fx->db->cleanup(false));
            QCOMPARE(statusIds().size(), added);
            {
                QSqlDatabase second = QSqlDatabase::database(blocker);
                QVERIFY(QSqlQuery(second).exec(QStringLiteral("DROP TRIGGER block")));
                second.close();
            }
            QSqlDatabase::removeDatabase(blocker);
            QTest::ignoreMessage(QtDebugMsg,
                                 QRegularExpression("answer of 1200 entries, only the newest 1000"));
            QVERIFY(run(*provider));
            QCOMPARE(added, 1000);
            QVERIFY(!provider->sinceId().isEmpty());
            QVERIFY(m_fx->db->cleanup(false));
            QCOMPARE(statusIds().size(), CTwitterSync::MaxItems);
            return;
        }
        if (remove) {
            // No slice is left to store more.
            QTRY_VERIFY_WITH_TIMEOUT(!slices || !slices->isRunning(), 30000);
            QVERIFY2(added < 1000, qPrintable(QString::number(added)));
            QVERIFY(provider->sinceId().isEmpty());
            QVERIFY(statusIds().isEmpty());
            return;
        }
        QCOMPARE(added, 1000);
        QCOMPARE(provider->sinceId(), QStringLiteral("11200"));
        const QStringList ids = statusIds();
        QCOMPARE(ids.size(), 1000);
        QVERIFY(!ids.contains(QStringLiteral("10200")));
        QVERIFY(ids.contains(QStringLiteral("10201")));
    }

    // A batch that fails stores and announces nothing and keeps the since marker, so the
    // next run fetches the same statuses again.
    void failingBatch()
    {
        std::unique_ptr<CTwitterProvider> provider = linkedProvider();
        m_fx->addStatus("1001", QStringLiteral("first"), bob());
        QVERIFY(run(*provider));
        m_fx->addStatus("1005", QStringLiteral("second"), bob());
        m_fx->addStatus("1006", QStringLiteral("new face http://d.org"),
                        m_fx->author("2003", QStringLiteral("dave")));
        {
            QSqlDatabase second =
                QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("blocker"));
            second.setDatabaseName(m_fx->root.subPath(QStringLiteral("storage")) +
                                   QStringLiteral("/mindex.db"));
            QVERIFY(second.open());
            QVERIFY(QSqlQuery(second).exec(QStringLiteral("CREATE TRIGGER block BEFORE INSERT ON MEDIAITEMS "
                                                          "BEGIN SELECT RAISE(ABORT, 'blocked'); END")));
        }
        QSignalSpy added(provider.get(), &IMediaItemProvider::mediaItemAdded);
        QSignalSpy usersAdded(provider.get(), &IMediaItemProvider::serviceUserAdded);
        QVERIFY(run(*provider));
        QCOMPARE(added.size(), 0);
        QCOMPARE(usersAdded.size(), 0);
        QCOMPARE(provider->sinceId(), QStringLiteral("1001"));
        QCOMPARE(statusIds(), QStringList({"1001"}));
        {
            QSqlDatabase second = QSqlDatabase::database(QStringLiteral("blocker"));
            QVERIFY(QSqlQuery(second).exec(QStringLiteral("DROP TRIGGER block")));
            second.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("blocker"));
        m_fx->service->clearRequests();
        QVERIFY(run(*provider));
        QCOMPARE(m_fx->timelineRequests(), QStringList({"friends:1001", "mentions:1001"}));
        QCOMPARE(statusIds(), QStringList({"1001", "1005", "1006"}));
        QCOMPARE(added.size(), 2);
        QCOMPARE(usersAdded.size(), 1);
        QCOMPARE(items(MeskItemType::Link).size(), 1);
        QCOMPARE(m_fx->db->serviceUserByMediaId(MeskProvider::Twitter, "2003").size(), 1);
    }

    // Both requests of a run send the marker taken at its start; only friends' statuses
    // raise it, never a mention or the user's own post.
    void sinceMarkerAcrossRuns()
    {
        std::unique_ptr<CTwitterProvider> provider = linkedProvider();
        m_fx->addStatus("90", QStringLiteral("a"), bob());
        m_fx->addStatus("100", QStringLiteral("b"), bob());
        QVERIFY(run(*provider));
        m_fx->addStatus("150", QStringLiteral("c"), bob());
        m_fx->addStatus("120", QStringLiteral("@alice from outside"), erin());
        QVERIFY(run(*provider));
        QCOMPARE(statusIds(), QStringList({"100", "120", "150", "90"}));

        QSignalSpy posted(provider->service(MeskService::TextPoster), &IMediaServiceUpdate::updateDone);
        QVERIFY(static_cast<IMediaTextPoster*>(provider->service(MeskService::TextPoster))
                    ->postText(QStringLiteral("my own words")));
        QTRY_COMPARE_WITH_TIMEOUT(posted.size(), 1, 30000);
        QTRY_COMPARE_WITH_TIMEOUT(items(MeskItemType::OwnPost).size(), 1, 30000);
        QVERIFY(items(MeskItemType::OwnPost).first().mediaId.toULongLong() > 150);
        QVERIFY(run(*provider));
        QCOMPARE(m_fx->timelineRequests(), QStringList({"friends:", "mentions:", "friends:100",
                                                        "mentions:100", "friends:150", "mentions:150"}));
        // The account's own row got its avatar address from the reply to the post.
        QVERIFY(!m_fx->db->serviceUserByMediaId(MeskProvider::Twitter, "123").first().avatar.isEmpty());
    }

    void sinceMarkerNumbers_data()
    {
        QTest::addColumn<QByteArray>("first");
        QTest::addColumn<QByteArray>("second");
        QTest::addColumn<QString>("afterFirst");
        QTest::addColumn<QString>("afterSecond");
        QTest::newRow("more digits") << QByteArray("99") << QByteArray("100") << "99"
                                     << "100";
        QTest::newRow("beyond double precision")
            << QByteArray("9007199254740992") << QByteArray("9007199254740993") << "9007199254740992"
            << "9007199254740993";
        QTest::newRow("not a number") << QByteArray("abc") << QByteArray("7") << ""
                                      << "7";
    }
    void sinceMarkerNumbers()
    {
        QFETCH(QByteArray, first);
        QFETCH(QByteArray, second);
        QFETCH(QString, afterFirst);
        QFETCH(QString, afterSecond);
        std::unique_ptr<CTwitterProvider> provider = linkedProvider();
        m_fx->addStatus(first, QStringLiteral("one"), bob());
        QVERIFY(run(*provider));
        m_fx->service->clearStatuses();
        m_fx->addStatus(second, QStringLiteral("two"), bob());
        QVERIFY(run(*provider));
        QVERIFY(run(*provider));
        QCOMPARE(m_fx->timelineRequests().mid(2, 4),
                 QStringList({"friends:" + afterFirst, "mentions:" + afterFirst, "friends:" + afterSecond,
                              "mentions:" + afterSecond}));
    }

    // After a restart, accounts met again use their stored rows; a stored status adds nothing.
    void restartMeetsStoredRows()
    {
        m_fx->addStatus("1001", QStringLiteral("hello"), bob());
        {
            std::unique_ptr<CTwitterProvider> first = linkedProvider();
            QVERIFY(run(*first));
        }
        m_fx->service->clearStatuses();
        FakeTwitterService::Author moved = bob();
        moved.profileImageUrl = m_fx->avatarUrl(QStringLiteral("bob-new.png"));
        m_fx->addStatus("1001", QStringLiteral("hello"), moved);
        auto second = std::make_unique<CTwitterProvider>();
        second->setStorage(m_fx->db.get());
        QSignalSpy added(second.get(), &IMediaItemProvider::mediaItemAdded);
        QSignalSpy usersAdded(second.get(), &IMediaItemProvider::serviceUserAdded);
        QVERIFY(run(*second));
        QCOMPARE(added.size(), 0);
        QCOMPARE(usersAdded.size(), 0);
        const QList<SServiceUser> rows = m_fx->db->serviceUserByMediaId(MeskProvider::Twitter, "2001");
        QCOMPARE(rows.size(), 1);
        QCOMPARE(rows.first().avatar, moved.profileImageUrl);
        QCOMPARE(statusIds(), QStringList({"1001"}));

        // A stored friends' status loaded for a widget raises the marker.
        auto third = std::make_unique<CTwitterProvider>();
        third->setStorage(m_fx->db.get());
        QVERIFY(third->sinceId().isEmpty());
        delete third->createItemWidget(m_fx->db->itemByMediaId(MeskProvider::Twitter, "1001").first());
        QCOMPARE(third->sinceId(), QStringLiteral("1001"));
    }

    void errors_data()
    {
        QTest::addColumn<int>("friendsStatus");
        QTest::addColumn<int>("mentionsStatus");
        QTest::addColumn<QString>("transport");
        QTest::addColumn<QList<int>>("errors");
        // Given: the failing call fails at every refresh; each round, 20 new statuses come through the
        // other call, a run, the exit's clean-up, and this many statuses stay.
        QTest::addColumn<QList<int>>("kept");
        QTest::newRow("both 503") << 503 << 503 << QString() << QList<int>{3, 3} << QList<int>{};
        QTest::newRow("401 on both") << 401 << 401 << QString() << QList<int>{6} << QList<int>{};
        QTest::newRow("401 on mentions") << 200 << 401 << QString() << QList<int>{} << QList<int>{};
        QTest::newRow("500 on mentions at every refresh")
            << 200 << 500 << QString() << QList<int>{4} << QList<int>{20, 20, 20};
        // Without a whole friends answer nothing is cut: the mentions grow the list.
        QTest::newRow("500 on friends at every refresh")
            << 500 << 200 << QString() << QList<int>{4} << QList<int>{20, 40, 60};
        QTest::newRow("closed port") << 200 << 200 << QStringLiteral("closed") << QList<int>{2}
                                     << QList<int>{};
        QTest::newRow("pool down") << 200 << 200 << QStringLiteral("pool") << QList<int>{1, 1}
                                   << QList<int>{};
    }
    void errors()
    {
        QFETCH(int, friendsStatus);
        QFETCH(int, mentionsStatus);
        QFETCH(QString, transport);
        QFETCH(QList<int>, errors);
        QFETCH(QList<int>, kept);
        const int times = kept.isEmpty() ? 1 : -1;
        if (friendsStatus != 200)
            m_fx->service->script("/statuses/friends_timeline.xml", friendsStatus, "<hash/>", times);
        if (mentionsStatus != 200)
            m_fx->service->script("/statuses/mentions.xml", mentionsStatus, "<hash/>", times);
        if (transport == QLatin1String("closed")) {
            auto gone = std::make_unique<LocalHttpServer>();
            qputenv("LUMESK_TWITTER_URL", gone->baseUrl().toUtf8());
        }
        std::unique_ptr<CTwitterProvider> provider = linkedProvider();
        QSignalSpy failed(provider.get(), &IMediaItemProvider::serviceError);
        if (transport == QLatin1String("pool"))
            CMeskHttpTaskPool::shutdown();
        const bool ended = run(*provider);
        if (transport == QLatin1String("pool"))
            CMeskHttpTaskPool::init(this);
        QVERIFY(ended);
        QList<int> codes;
        for (const QList<QVariant>& args : failed) {
            QCOMPARE(args.at(0).value<mid_t>(), MeskProvider::Twitter);
            codes << args.at(1).value<TMediaError>();
        }
        QCOMPARE(codes, errors);
        QVERIFY(provider->isReady());
        if (transport == QLatin1String("pool")) {
            m_fx->addStatus("1001", QStringLiteral("after"), bob());
            QVERIFY(run(*provider));
            QCOMPARE(statusIds(), QStringList({"1001"}));
            QCOMPARE(failed.size(), 2);
        }
        for (int round = 0; round < kept.size(); ++round) {
            for (int i = 0; i < 20; ++i) {
                const QByteArray id = QByteArray::number(1000 + 20 * round + i);
                if (friendsStatus == 200)
                    m_fx->addStatus(id, QStringLiteral("news"), bob());
                else
                    m_fx->addStatus(id, QStringLiteral("@alice news"), erin());
            }
            QVERIFY(run(*provider));
            QVERIFY(m_fx->db->cleanup(false));
            const QStringList ids = statusIds();
            QCOMPARE(ids.size(), kept.at(round));
            QCOMPARE(ids.first(), QString::number(1000 + 20 * (round + 1) - kept.at(round)));
        }
    }

    // A run that brings no timeline, whatever the reason, says so once and keeps the since
    // marker; the next run fetches the same statuses again.
    void failedRunKeepsMarker_data()
    {
        QTest::addColumn<QByteArray>("body"); // answered with 200 to the friends timeline
        QTest::addColumn<QString>("transport");
        QTest::addColumn<int>("error");
        const int general = MediaErrorGeneral;
        QTest::newRow("html page") << QByteArray(
                                          "<html><body><h1>Twitter is over capacity.</h1></body></html>")
                                   << QString() << general;
        QTest::newRow("error document")
            << QByteArray("<hash><request>/statuses/friends_timeline.xml</request><error>Rate limit exceeded."
                          "</error></hash>")
            << QString() << general;
        QTest::newRow("not authenticated") // to both requests, as a 401 would be
            << QByteArray("<hash><request>/statuses/friends_timeline.xml</request><error>Could not "
                          "authenticate you.</error></hash>")
            << QString() << int(MediaErrorAuthorization);
        QTest::newRow("nested too deep") << "<statuses>" + QByteArray("<x>").repeated(300) +
                                                QByteArray("</x>").repeated(300) + "</statuses>"
                                         << QString() << general;
        QTest::newRow("invalid utf-8")
            << QByteArray("<statuses><status><id>1005</id><text>caf\xe9</text></status></statuses>")
            << QString() << general;
        const int network = MediaErrorNetwork;
        QTest::newRow("closed port") << QByteArray() << QStringLiteral("closed") << network;
        QTest::newRow("closed without answer") << QByteArray() << QStringLiteral("close") << network;
        QTest::newRow("cut short") << QByteArray() << QStringLiteral("cut") << network;
        QTest::newRow("time-out") << QByteArray() << QStringLiteral("hang") << network;
        QTest::newRow("untrusted certificate") << QByteArray() << QStringLiteral("tls") << network;
    }
    void failedRunKeepsMarker()
    {
        QFETCH(QByteArray, body);
        QFETCH(QString, transport);
        QFETCH(int, error);
        std::unique_ptr<CTwitterProvider> provider = linkedProvider();
        m_fx->addStatus("1001", QStringLiteral("first"), bob());
        QVERIFY(run(*provider));
        m_fx->addStatus("1005", QStringLiteral("second"), bob());

        const QString home = provider->api()->serviceUrl();
        std::unique_ptr<LocalHttpServer> elsewhere;
        auto failing = std::make_shared<QAtomicInt>(1);
        if (!body.isEmpty()) {
            m_fx->service->script("/statuses/friends_timeline.xml", 200, body, 1);
            if (error == MediaErrorAuthorization)
                m_fx->service->script("/statuses/mentions.xml", 200, body, 1);
        } else if (transport == QLatin1String("closed") || transport == QLatin1String("tls")) {
            elsewhere = std::make_unique<LocalHttpServer>(transport == QLatin1String("tls")
                                                              ? LocalHttpServer::Transport::Tls
                                                              : LocalHttpServer::Transport::Plain);
            QVERIFY(provider->api()->setServiceUrl(elsewhere->baseUrl()));
            if (transport == QLatin1String("closed"))
                elsewhere.reset();
        } else {
            TestHttpReply broken = TestHttpReply::hang();
            if (transport == QLatin1String("close"))
                broken = TestHttpReply::closeWithoutAnswer();
            if (transport == QLatin1String("cut")) {
                broken = TestHttpReply::ok(QByteArray(4096, ' ') + "<statuses/>");
                broken.closeAfterBodyBytes = 100;
            }
            FakeTwitterService* service = m_fx->service.get();
            for (const QByteArray path : {"/statuses/friends_timeline.xml", "/statuses/mentions.xml"})
                m_fx->server->mount(path, [failing, broken, service](const TestHttpRequest& request) {
                    return failing->loadRelaxed() ? broken : service->handle(request);
                });
        }
        const int timeout = CMeskHttpTaskPool::transferTimeout();
        if (transport == QLatin1String("hang"))
            CMeskHttpTaskPool::setTransferTimeout(300);
        QSignalSpy failed(provider.get(), &IMediaItemProvider::serviceError);
        const bool ended = run(*provider);
        CMeskHttpTaskPool::setTransferTimeout(timeout);
        failing->storeRelaxed(0);
        QVERIFY(provider->api()->setServiceUrl(home));
        QVERIFY(ended);
        QCOMPARE(failed.size(), 1);
        QCOMPARE(failed.first().at(1).value<TMediaError>(), TMediaError(error));
        QCOMPARE(provider->sinceId(), QStringLiteral("1001"));
        QCOMPARE(statusIds(), QStringList({"1001"}));

        m_fx->service->clearRequests();
        QVERIFY(run(*provider));
        QCOMPARE(m_fx->timelineRequests(), QStringList({"friends:1001", "mentions:1001"}));
        QCOMPARE(statusIds(), QStringList({"1001", "1005"}));
        QCOMPARE(failed.size(), 1);
    }

    void itemText_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("content");
        QTest::addColumn<QString>("expected");
        QTest::newRow("plain") << "bob"
                               << "hello"
                               << "<b>bob</b> hello";
        QTest::newRow("markup escaped") << "<i>x"
                                        << "a<b &amp; c"
                                        << "<b>&lt;i>x</b> a&lt;b &amp; c";
        QTest::newRow("no author") << QString() << "a<b"
                                   << "a&lt;b";
    }
    void itemText()
    {
        QFETCH(QString, name);
        QFETCH(QString, content);
        QFETCH(QString, expected);
        CTwitterProvider provider;
        provider.setStorage(m_fx->db.get());
        SMediaItem item;
        item.provider = MeskProvider::Twitter;
        item.type = 1;
        item.content = content;
        item.user = 999;
        if (!name.isNull()) {
            SServiceUser user;
            user.provider = MeskProvider::Twitter;
            user.name = name;
            user.mediaId = QStringLiteral("2001");
            QVERIFY(m_fx->db->addServiceUser(user));
            item.user = user.id;
        } else {
            QTest::ignoreMessage(QtDebugMsg, "CTwitterUser: failed to load user from storage");
            QTest::ignoreMessage(QtDebugMsg, "CTwitterProvider: failed to load user");
        }
        QString text;
        provider.itemText(item, text);
        QCOMPARE(text, expected);
    }
};

QTEST_MAIN(TestTwitterProvider)
#include "tst_twitterprovider.moc"
