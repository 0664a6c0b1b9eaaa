// One Flickr update run against the stand-in service and a real media database.
#include "failingstorage.h"
#include "flickrcalls.h"
#include "flickreventmanager.h"
#include "flickritems.h"
#include "flickrobjects.h"
#include "flickrstoragefixture.h"
#include "flickrsync.h"
#include "meskhttptaskpool.h"
#include "testclock.h"

#include <QRegularExpression>
#include <QSignalSpy>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTest>

namespace {

const QDateTime kNow(QDate(2024, 1, 15), QTime(12, 0), Qt::UTC);
const QString kAlice = QStringLiteral("111@N01");
const QString kBen = QStringLiteral("222@N01");
const QString kSearch = QStringLiteral("flickr.photos.search");
const QString kContacts = QStringLiteral("flickr.photos.getContactsPhotos");

qint64 daysAgo(int days, int hours = 0)
{
    return kNow.addDays(-days).addSecs(-hours * 3600).toSecsSinceEpoch();
}

FakeFlickrService::Photo photo(const QString& id, const QString& owner, qint64 uploaded)
{
    FakeFlickrService::Photo p;
    p.id = id;
    p.owner = owner;
    p.secret = QStringLiteral("ab");
    p.server = QStringLiteral("1234");
    p.farm = QStringLiteral("2");
    p.title = QStringLiteral("Photo ") + id;
    p.dateUpload = uploaded;
    return p;
}

QString photoRow(const QString& id, const QString& owner, qint64 uploaded)
{
    return QStringLiteral(
               "<photo id=\"%1\" owner=\"%2\" secret=\"ab\" server=\"1234\" farm=\"2\" title=\"T\" "
               "ispublic=\"1\" isfriend=\"0\" isfamily=\"0\" ownername=\"x\" dateupload=\"%3\" />")
        .arg(id, owner)
        .arg(uploaded);
}

} // namespace

class TestFlickrEventManager : public QObject
{
    Q_OBJECT
private:
    std::unique_ptr<TestClock> m_clock;
    std::unique_ptr<FlickrStorageFixture> m_fx;
    FailingStorage* m_storage = nullptr; // the fixture's database
    std::unique_ptr<CFlickrObjectManager> m_objects;
    std::unique_ptr<CFlickrSync> m_sync;
    std::unique_ptr<CFlickrEventManager> m_manager;

    // The posts announced, with their stored photo count at that moment.
    QList<QPair<SMediaItem, int>> m_added;

    FakeFlickrService& service() { return *m_fx->service; }
    mid_t userRow(const QString& nsid)
    {
        CFlickrUser* user = m_objects->findUser(nsid);
        return user ? user->serviceUser().id : 0;
    }
    QList<SMediaItem> posts() { return m_fx->db->itemsByType(MeskItemType::Event2, MeskProvider::Flickr); }

    // Runs one update to its end; fails unless it ends exactly once.
    bool run()
    {
        QSignalSpy started(m_manager.get(), &CFlickrEventManager::updateStarted);
        QSignalSpy done(m_manager.get(), &CFlickrEventManager::updateDone);
        m_added.clear();
        m_manager->update();
        if (started.size() != 1 || !done.wait(30000))
            return false;
        QTest::qWait(100);
        return done.size() == 1 && started.size() == 1 && m_manager->isReady();
    }
    // The users searched, and the min_upload_date of each.
    QHash<QString, qint64> searches()
    {
        QHash<QString, qint64> result;
        const QList<FakeFlickrService::Request> requests = service().requests(kSearch);
        for (const FakeFlickrService::Request& r : requests)
            result.insert(r.param(QStringLiteral("user_id")),
                          r.param(QStringLiteral("min_upload_date")).toLongLong());
        return result;
    }

private slots:
    void initTestCase()
    {
        registerMeskMetaTypes();
        registerFlickrMetaTypes();
        CMeskHttpTaskPool::init(this);
    }
    void cleanupTestCase() { CMeskHttpTaskPool::shutdown(); }

    void init()
    {
        m_clock = std::make_unique<TestClock>(kNow);
        m_fx = std::make_unique<FlickrStorageFixture>();
        QVERIFY(m_fx->start(true));
        service().clearStore();
        service().addUser({FakeFlickrService::defaultUserId(),
                           QStringLiteral("bob"),
                           {},
                           QStringLiteral("0"),
                           QStringLiteral("0"),
                           false});
        service().addUser(
            {kAlice, QStringLiteral("alice"), {}, QStringLiteral("0"), QStringLiteral("0"), true});
        service().addUser({kBen, QStringLiteral("ben"), {}, QStringLiteral("0"), QStringLiteral("0"), true});
        m_fx->db.reset();
        m_storage = new FailingStorage(m_fx->root.subPath(QStringLiteral("storage")));
        m_fx->db.reset(m_storage);
        QVERIFY(m_storage->open());
        m_objects = std::make_unique<CFlickrObjectManager>(m_fx->api.get(), MeskProvider::Flickr);
        m_objects->setStorage(m_storage);
        m_sync = std::make_unique<CFlickrSync>(MeskProvider::Flickr);
        m_sync->load(m_storage);
        m_manager = std::make_unique<CFlickrEventManager>(m_fx->api.get(), m_objects.get(), m_sync.get());
        connect(m_manager.get(), &CFlickrEventManager::eventAdded, this, [this](const SMediaItem& item) {
            m_added.append({item, int(m_fx->db->childItems(item.id).size())});
        });
    }
    void cleanup()
    {
        m_manager.reset();
        m_sync.reset();
        m_objects.reset();
        m_fx.reset();
        m_clock.reset();
    }

    // New photos of two contacts: the cutoffs, one post per user and day, the sync records;
    // a second run finds everything posted and costs no search.
    void newPhotosArePostedByDay()
    {
        service().addPhoto(photo(QStringLiteral("a1"), kAlice, daysAgo(2, 2)));
        service().addPhoto(photo(QStringLiteral("a2"), kAlice, daysAgo(2, 1)));
        service().addPhoto(photo(QStringLiteral("a3"), kAlice, daysAgo(5)));
        service().addPhoto(photo(QStringLiteral("b1"), kBen, daysAgo(20)));
        service().addPhoto(photo(QStringLiteral("b2"), kBen, daysAgo(3)));
        service().scriptDelay(kSearch, 200, 1);

        QSignalSpy started(m_manager.get(), &CFlickrEventManager::updateStarted);
        QSignalSpy done(m_manager.get(), &CFlickrEventManager::updateDone);
        m_manager->update();
        // A second update while a search runs does nothing.
        QTRY_COMPARE_WITH_TIMEOUT(service().requests(kSearch).size(), 1, 30000);
        QVERIFY(!m_manager->isReady());
        m_manager->update();
        QVERIFY(done.wait(30000));
        QTest::qWait(100);
        QCOMPARE(started.size(), 1);
        QCOMPARE(done.size(), 1);

        const QHash<QString, qint64> searched = searches();
        QCOMPARE(searched.size(), 2);
        QCOMPARE(searched.value(kAlice), kNow.addDays(-14).toSecsSinceEpoch());
        QCOMPARE(searched.value(kBen), kNow.addDays(-21).toSecsSinceEpoch());

        // Alice: a1 and a2 share a day, a3 has its own; Ben's photos are on two days.
        QCOMPARE(m_added.size(), 4);
        QCOMPARE(posts().size(), 4);
        const mid_t alice = userRow(kAlice);
        QHash<int, QDateTime> alicePosts; // photo count -> created
        QHash<int, mid_t> alicePostIds;   // photo count -> post
        for (const auto& [item, count] : std::as_const(m_added)) {
            QVERIFY(count > 0);
            if (item.user == alice) {
                alicePosts.insert(count, item.created);
                alicePostIds.insert(count, item.id);
            }
        }
        QCOMPARE(alicePosts.size(), 2);
        QCOMPARE(alicePosts.value(2).toSecsSinceEpoch(), daysAgo(2, 1));
        QCOMPARE(alicePosts.value(1).toSecsSinceEpoch(), daysAgo(5));
        // The sync records hold every post of the answer, the newest (Saturday's, whose day name sorts
        // before Wednesday's) last.
        QCOMPARE(m_sync->events(alice), (QList<mid_t>{alicePostIds.value(1), alicePostIds.value(2)}));
        QCOMPARE(m_sync->event(alice), alicePostIds.value(2));
        QCOMPARE(m_sync->events(userRow(kBen)).size(), 2);
        QCOMPARE(m_fx->db->serviceUsers(MeskProvider::Flickr).size(), 2);

        service().clearRequests();
        QVERIFY(run());
        QVERIFY(service().requests(kSearch).isEmpty());
        QVERIFY(m_added.isEmpty());
        QCOMPARE(posts().size(), 4);
        QCOMPARE(m_fx->db->serviceUsers(MeskProvider::Flickr).size(), 2);
        QCOMPARE(m_fx->db->itemsByType(MeskItemType::Image, MeskProvider::Flickr).size(), 5);
    }

    // A long answer keeps its 1,000 newest photos, stored over several turns; each day's post is
    // announced whole and listed in the contact's sync records (in memory and stored alike) from the
    // slice that stores it on, also when the run is reset between slices.
    void longAnswerInSlices_data()
    {
        QTest::addColumn<bool>("reset");
        QTest::newRow("stored") << false;
        QTest::newRow("reset between slices") << true;
    }
    void longAnswerInSlices()
    {
        QFETCH(bool, reset);
        service().addPhoto(photo(QStringLiteral("p1"), kAlice, daysAgo(0, 1)));
        QString rows;
        for (int i = 1; i <= 1200; ++i)
            rows += photoRow(QStringLiteral("p%1").arg(i), kAlice, daysAgo(0, 1) - 300 * i);
        service().scriptReply(
            kSearch, 200,
            (QStringLiteral("<rsp stat=\"ok\"><photos page=\"1\" pages=\"1\" total=\"1200\">") + rows +
             QStringLiteral("</photos></rsp>"))
                .toUtf8(),
            1);
        QList<mid_t> syncAtFirst;
        mid_t firstPost = 0;
        int announced = 0;
        connect(m_manager.get(), &CFlickrEventManager::eventAdded, this, [&](const SMediaItem& item) {
            if (++announced > 1)
                return;
            firstPost = item.id;
            syncAtFirst = m_sync->events(userRow(kAlice));
            if (reset)
                QMetaObject::invokeMethod(
                    this, [&] { m_manager->reset(); }, Qt::QueuedConnection);
        });
        QTest::ignoreMessage(QtDebugMsg, QRegularExpression("answer of 1200 entries, only the newest 1000"));
        QVERIFY(run());
        QVERIFY(syncAtFirst.contains(firstPost));
        const qsizetype photos = m_fx->db->itemsByType(MeskItemType::Image, MeskProvider::Flickr).size();
        if (reset) {
            QVERIFY2(photos < 1000, qPrintable(QString::number(photos)));
            QCOMPARE(m_sync->events(userRow(kAlice)).size(), posts().size());
            QCOMPARE(m_fx->db->syncRecords(MeskProvider::Flickr).size(), posts().size());
            return;
        }
        QCOMPARE(photos, 1000);
        QVERIFY(m_fx->db->itemByMediaId(MeskProvider::Flickr, QStringLiteral("p1000")).size() == 1);
        QVERIFY(m_fx->db->itemByMediaId(MeskProvider::Flickr, QStringLiteral("p1001")).isEmpty());
        QCOMPARE(m_added.size(), posts().size());
        for (const auto& [post, count] : std::as_const(m_added))
            QCOMPARE(count, int(m_fx->db->childItems(post.id).size()));
        QVERIFY(m_sync->event(userRow(kAlice)) != 0);
    }

    void alreadyPosted_data()
    {
        QTest::addColumn<bool>("otherHolds");
        QTest::newRow("the user's record takes the post") << false;
        QTest::newRow("another user's record holds it") << true;
    }
    // A photo posted before gives no new post; a photo of another owner is not stored.
    void alreadyPosted()
    {
        QFETCH(bool, otherHolds);
        const mid_t alice = m_objects->findOrAddUser(kAlice, QStringLiteral("alice"))->serviceUser().id;
        const mid_t other =
            m_objects->findOrAddUser(QStringLiteral("333@N01"), QStringLiteral("olga"))->serviceUser().id;
        SFlickrPhoto x;
        x.id = QStringLiteral("x");
        x.owner = kAlice;
        x.dateUpload = QString::number(daysAgo(3));
        CFlickrPhotoPost* post = m_objects->addPhotoPost(alice);
        QVERIFY(post->addPhoto(m_objects->findOrAddPhoto(x, alice)));
        const mid_t posted = post->mediaItem().id;
        if (otherHolds)
            m_sync->add(other, posted);
        service().addPhoto(photo(QStringLiteral("x"), kAlice, daysAgo(3)));
        service().addPhoto(photo(QStringLiteral("y"), kAlice, daysAgo(1)));
        service().scriptReply(
            kSearch, 200,
            (QStringLiteral("<rsp stat=\"ok\"><photos page=\"1\" pages=\"1\" total=\"2\">") +
             photoRow(QStringLiteral("x"), kAlice, daysAgo(3)) +
             photoRow(QStringLiteral("f"), kBen, daysAgo(1)) + QStringLiteral("</photos></rsp>"))
                .toUtf8(),
            1);

        QTest::ignoreMessage(QtDebugMsg, "CFlickrEventManager: user photo doesn't match requested user id");
        QVERIFY(run());
        QVERIFY(m_added.isEmpty());
        QCOMPARE(posts().size(), 1);
        QVERIFY(m_fx->db->itemByMediaId(MeskProvider::Flickr, QStringLiteral("f")).isEmpty());
        QCOMPARE(m_sync->event(alice), otherHolds ? 0 : posted);
        QCOMPARE(m_sync->event(other), otherHolds ? posted : 0);
    }

    void failures_data()
    {
        QTest::addColumn<QString>("failure");
        QTest::addColumn<QList<int>>("protocolErrors");
        QTest::addColumn<int>("networkErrors");
        QTest::addColumn<int>("searched");
        QTest::addColumn<int>("postsAdded");
        // Given: a first refresh posts a1 and b1, the service then lists this one no more, and each of
        // three refreshes fails Ben's search while Alice lists a new photo; its post stays or leaves at
        // each clean-up.
        QTest::addColumn<QString>("dropped");
        QTest::addColumn<bool>("droppedStays");
        QTest::newRow("first search refused")
            << "search-first" << QList<int>{3} << 0 << 2 << 1 << QString() << false;
        QTest::newRow("both searches refused")
            << "search-all" << QList<int>{3, 3} << 0 << 2 << 0 << QString() << false;
        QTest::newRow("contacts refused") << "contacts" << QList<int>{6} << 0 << 0 << 0 << QString() << false;
        QTest::newRow("no task pool") << "pool" << QList<int>{1} << 0 << 0 << 0 << QString() << false;
        QTest::newRow("search dropped") << "drop" << QList<int>{} << 1 << 2 << 1 << QString() << false;
        QTest::newRow("other search refused at every refresh")
            << "search-second" << QList<int>{3} << 0 << 2 << 1 << QStringLiteral("a1") << false;
        QTest::newRow("refused search keeps its contact's posts")
            << "search-second" << QList<int>{3} << 0 << 2 << 1 << QStringLiteral("b1") << true;
    }
    // Every failure is reported once and the run goes on; it ends with one updateDone(). A contact's
    // posts are replaced by those of its own answer, whatever another search did.
    void failures()
    {
        QFETCH(QString, failure);
        QFETCH(QList<int>, protocolErrors);
        QFETCH(int, networkErrors);
        QFETCH(int, searched);
        QFETCH(int, postsAdded);
        QFETCH(QString, dropped);
        QFETCH(bool, droppedStays);
        service().addPhoto(photo(QStringLiteral("a1"), kAlice, daysAgo(2)));
        service().addPhoto(photo(QStringLiteral("b1"), kBen, daysAgo(3)));
        // Alice lists a new photo, so she is searched, then Ben (contacts go in id order), whose
        // search is refused.
        const auto refuseSecondSearch = [this](int refresh) {
            service().addPhoto(photo(QStringLiteral("n%1").arg(refresh), kAlice, daysAgo(0, 10 - refresh)));
            service().scriptDelay(kSearch, 0, 1);
            service().scriptError(kSearch, 105, 200, 1);
        };
        if (!dropped.isEmpty()) {
            QVERIFY(run());
            service().removePhoto(dropped);
            service().addPhoto(photo(QStringLiteral("b2"), kBen, daysAgo(1)));
            service().clearRequests();
            refuseSecondSearch(0);
        }
        if (failure == QLatin1String("search-first"))
            service().scriptError(kSearch, 105, 200, 1);
        else if (failure == QLatin1String("search-all"))
            service().scriptError(kSearch, 105);
        else if (failure == QLatin1String("contacts"))
            service().scriptError(kContacts, 98);
        else if (failure == QLatin1String("drop"))
            service().scriptDrop(kSearch, 2); // the network layer tries a dropped request twice
        else if (failure == QLatin1String("pool"))
            CMeskHttpTaskPool::shutdown();

        QSignalSpy protocol(m_manager.get(), &CFlickrEventManager::protocolError);
        QSignalSpy network(m_manager.get(), &CFlickrEventManager::networkError);
        const bool ended = run();
        if (failure == QLatin1String("pool"))
            CMeskHttpTaskPool::init(this);
        QVERIFY(ended);
        QList<int> codes;
        for (const QList<QVariant>& args : std::as_const(protocol))
            codes.append(args.at(0).value<TMediaError>());
        QCOMPARE(codes, protocolErrors);
        QCOMPARE(network.size(), networkErrors);
        QCOMPARE(searches().size(), searched);
        QCOMPARE(m_added.size(), postsAdded);
        if (dropped.isEmpty())
            return;
        const QString other = dropped == QLatin1String("a1") ? QStringLiteral("b1") : QStringLiteral("a1");
        for (int refresh = 1;; ++refresh) {
            QVERIFY(m_fx->db->cleanup(false));
            QCOMPARE(m_fx->db->itemByMediaId(MeskProvider::Flickr, dropped).size(), droppedStays ? 1 : 0);
            QCOMPARE(m_fx->db->itemByMediaId(MeskProvider::Flickr, other).size(), 1);
            if (refresh == 3)
                break;
            refuseSecondSearch(refresh);
            QVERIFY(run());
            QCOMPARE(m_added.size(), 1);
        }
    }

    // Photos left without a post by a failed post or a rolled-back answer are posted by a later
    // run; nothing of a rolled-back answer is announced.
    void storageFailuresLeavePhotosForLater()
    {
        service().addPhoto(photo(QStringLiteral("a1"), kAlice, daysAgo(2, 2)));
        service().addPhoto(photo(QStringLiteral("a2"), kAlice, daysAgo(2, 1)));
        service().addPhoto(photo(QStringLiteral("a3"), kAlice, daysAgo(5)));

        // The posts cannot be created: the photos stay stored without one.
        m_storage->failAddTypes = {MeskItemType::Event2};
        for (int day = 0; day < 2; ++day) {
            QTest::ignoreMessage(QtDebugMsg,
                                 "CFlickrEventManager: failed to add new photo event, photos ignored");
        }
        QVERIFY(run());
        m_storage->failAddTypes.clear();
        QVERIFY(m_added.isEmpty());
        QVERIFY(posts().isEmpty());
        QCOMPARE(m_fx->db->itemsByType(MeskItemType::Image, MeskProvider::Flickr).size(), 3);

        // The second post of the answer is refused by the database: the answer rolls back.
        const QString connection = QStringLiteral("trigger");
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
            db.setDatabaseName(m_fx->root.subPath(QStringLiteral("storage")) + QStringLiteral("/mindex.db"));
            QVERIFY(db.open());
            QSqlQuery query(db);
            QVERIFY(query.exec(QStringLiteral(
                "CREATE TRIGGER refuse_second_post BEFORE INSERT ON MEDIAITEMS WHEN NEW.TYPE = 2 AND "
                "(SELECT COUNT(*) FROM MEDIAITEMS WHERE TYPE = 2) >= 1 BEGIN SELECT RAISE(ABORT, 'refused'); "
                "END")));
        }
        QTest::ignoreMessage(QtDebugMsg,
                             "CFlickrEventManager: failed to store photos, left for the next update");
        QVERIFY(run());
        QVERIFY(m_added.isEmpty());
        QVERIFY(posts().isEmpty());
        QVERIFY(m_sync->records().isEmpty());
        for (const QString& id : {QStringLiteral("a1"), QStringLiteral("a2"), QStringLiteral("a3")})
            QCOMPARE(m_objects->findPhoto(id)->mediaItem().parent, mid_t(0));
        {
            QSqlDatabase db = QSqlDatabase::database(connection);
            QSqlQuery query(db);
            QVERIFY(query.exec(QStringLiteral("DROP TRIGGER refuse_second_post")));
        }
        QSqlDatabase::removeDatabase(connection);

        QVERIFY(run());
        QCOMPARE(m_added.size(), 2);
        QCOMPARE(m_added.at(0).second + m_added.at(1).second, 3);
        QVERIFY(m_sync->event(userRow(kAlice)) != 0);
    }
};

QTEST_GUILESS_MAIN(TestFlickrEventManager)
#include "tst_flickreventmanager.moc"
