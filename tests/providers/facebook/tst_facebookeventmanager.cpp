// The Facebook update cycle against the stand-in service: what one update stores and
// tells, that a second one stores nothing, failed answers, photo sets, the task chain,
// the sync records and account removal in the middle of an update.
#include "../../core/mediadbtest.h"
#include "facebookanswers.h"
#include "facebookcalls.h"
#include "facebookeventmanager.h"
#include "facebookitembed.h"
#include "facebookitems.h"
#include "facebookobjects.h"
#include "facebooksync.h"
#include "failingstorage.h"
#include "meskslicedstore.h"

#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>

#include <algorithm>

namespace {

constexpr mid_t kProvider = 2;
const QString kCreated = QStringLiteral("1262304000");

namespace A = FacebookAnswers;

SFacebookStreamPost attached(SFacebookStreamPost post, const QString& objectType,
                             const QList<SFacebookMedia>& media)
{
    post.hasAttachment = true;
    post.attachment.fbObjectType = objectType;
    post.attachment.media = media;
    return post;
}

SFacebookMedia photo(const QString& pid, const QString& aid = QStringLiteral("100_30"))
{
    return A::photoMedia(pid, aid, QStringLiteral("100"));
}

QList<SFacebookStreamPost> scriptedPosts()
{
    QList<SFacebookStreamPost> posts;
    posts << A::post("100_1", "100", "Hi", kCreated);
    posts << attached(A::post("100_2", "100", "A photo", kCreated), "photo", {photo("100_5")});
    posts << attached(A::post("100_3", "100", "Two", kCreated), "album", {photo("100_31"), photo("100_32")});
    posts << attached(A::post("100_4", "100", "Three", kCreated), "album",
                      {photo("100_7", "100_1"), photo("100_6", "100_1"), photo("100_8", "100_1")});
    SFacebookStreamPost link = attached(A::post("100_5", "100", "Read", kCreated), "link", {});
    link.attachment.name = QStringLiteral("Example");
    link.attachment.href = QStringLiteral("http://www.example/a");
    posts << link;
    SFacebookStreamPost party = attached(A::post("100_6", "100", "Come", kCreated), "event", {});
    party.attachment.fbObjectId = QStringLiteral("777");
    party.attachment.name = QStringLiteral("Party");
    party.attachment.properties = {{"When", "Friday"}, {"Where", "Here"}};
    posts << party;
    QList<SFacebookMedia> clips;
    for (int i = 0; i < 5; ++i) {
        SFacebookMedia clip;
        clip.type = QStringLiteral("video");
        clip.href = QStringLiteral("http://127.0.0.1/video/%1").arg(i);
        clip.src = QStringLiteral("http://127.0.0.1/media/v%1.jpg").arg(i);
        clip.sourceType = QStringLiteral("raw");
        clips << clip;
    }
    posts << attached(A::post("101_7", "101", "Watch", kCreated), "video", clips);
    SFacebookMedia swf;
    swf.type = QStringLiteral("swf");
    SFacebookStreamPost flash = attached(A::post("100_8", "100", "Flash", kCreated), "", {swf});
    flash.attachment.name = QStringLiteral("Game");
    posts << flash;
    SFacebookStreamPost talk = A::post("100_9", "100", "Talk", kCreated);
    talk.commentsCount = QStringLiteral("7");
    talk.comments = {A::comment("100_9_1", "300", kCreated, "one"),
                     A::comment("100_9_2", "300", kCreated, "two")};
    posts << talk;
    return posts;
}

QList<SFacebookComment> allComments()
{
    QList<SFacebookComment> comments;
    for (int i = 1; i <= 7; ++i)
        comments << A::comment(QStringLiteral("100_9_%1").arg(i), "300", kCreated, QString::number(i));
    return comments;
}

QList<SFacebookPhotoInfo> albumPhotos()
{
    QList<SFacebookPhotoInfo> photos;
    for (const char* pid : {"100_6", "100_7", "100_8", "100_9"})
        photos << A::photoInfo(QLatin1String(pid), "100_1", "100", kCreated);
    return photos;
}

} // namespace

class TestFacebookEventManager : public QObject
{
    Q_OBJECT
private:
    FacebookItemBed m_bed;
    std::unique_ptr<CFacebookObjectManager> m_objects;
    std::unique_ptr<CFacebookSync> m_sync;
    std::unique_ptr<CFacebookEventManager> m_events;
    QList<SFacebookStreamPost> m_posts;
    QList<SMediaItem> m_added;
    QList<SMediaItem> m_updated;
    int m_started = 0;
    int m_done = 0;

    void script(int streamDelay = 0, int commentsDelay = 0, int fqlDelay = 0, int notificationsDelay = 0)
    {
        m_bed.rest->scriptReply("stream.get", 200, A::stream(m_posts, {A::profile("100", "Bob")}), -1,
                                streamDelay);
        SFacebookNotifications notifications;
        notifications.friendRequests = {"300", "301"};
        m_bed.rest->scriptReply("notifications.get", 200, A::notifications(notifications), -1,
                                notificationsDelay);
        A::Thread thread{"1", 2, {}};
        for (int i = 1; i <= 3; ++i)
            thread.messages << SFacebookMessage{QStringLiteral("m%1").arg(i), "400", "Hello", kCreated};
        m_bed.rest->scriptReply("message.getThreadsInFolder", 200, A::threads({thread}));
        m_bed.rest->scriptReply("fql.query", 200, A::fqlPhotos(albumPhotos()), -1, fqlDelay);
        m_bed.rest->scriptReply("stream.getComments", 200, A::comments(allComments()), -1, commentsDelay);
    }

    int rows() { return int(m_bed.db->providerItems(kProvider).size()); }
    int requests(const char* method) { return int(m_bed.rest->requests(QLatin1String(method)).size()); }
    QStringList addedIds() const
    {
        QStringList ids;
        for (const SMediaItem& item : m_added)
            ids << item.mediaId;
        ids.sort();
        return ids;
    }
    CFacebookEvent* eventOf(const QString& postId) { return m_objects->eventByMediaId(postId); }
    QList<SMediaItem> childrenOf(const QString& postId)
    {
        CFacebookEvent* event = eventOf(postId);
        return event ? event->mediaObjects() : QList<SMediaItem>();
    }

    // An update to its end, and the photo set and comment fetch it started.
    bool runUpdate(int expectedGetComments)
    {
        const int comments = requests("stream.getComments") + expectedGetComments;
        const int done = m_done;
        m_events->update();
        QElapsedTimer timer;
        timer.start();
        // The photo sets and comments it started run on after its end: every call is back.
        const auto idle = [this] {
            const QList<CMeskHttpMethod*> calls = m_events->findChildren<CMeskHttpMethod*>();
            return std::all_of(calls.cbegin(), calls.cend(),
                               [](const CMeskHttpMethod* call) { return call->isReady(); });
        };
        while ((m_done != done + 1 || requests("stream.getComments") != comments || !idle()) &&
               timer.elapsed() < 20000)
            QTest::qWait(20);
        QTest::qWait(300); // strays
        return m_done == done + 1 && requests("stream.getComments") == comments && idle() &&
               m_events->isReady();
    }

    int userType(const QString& uid)
    {
        const QList<SServiceUser> users = m_bed.db->serviceUserByMediaId(kProvider, uid);
        return users.isEmpty() ? -1 : users.first().type;
    }

    // A close (the exit's clean-up runs) and a start on the same storage.
    bool restart()
    {
        m_events.reset();
        m_sync.reset();
        m_objects.reset();
        if (!m_bed.db->cleanup(false))
            return false;
        start();
        return true;
    }
    static QStringList sortedIds(const QList<SMediaItem>& items)
    {
        QStringList ids;
        for (const SMediaItem& item : items)
            ids << item.mediaId;
        ids.sort();
        return ids;
    }
    QStringList storedEvents() { return sortedIds(m_bed.db->eventItems(kProvider)); }
    QStringList syncIds() { return sortedIds(m_bed.db->syncRecords(kProvider)); }

private slots:
    void initTestCase() { QVERIFY(m_bed.start(this)); }
    void cleanupTestCase()
    {
        m_events.reset();
        m_objects.reset();
        m_bed.stop();
    }
    void init()
    {
        m_bed.reset();
        m_bed.clock->set(QDateTime::fromSecsSinceEpoch(1262304000, Qt::UTC));
        m_bed.db->deleteProviderItems(kProvider);
        m_bed.db->deleteProviderUsers(kProvider);
        m_bed.db->setSyncRecords(kProvider, {}, 0);
        start();
        m_posts = scriptedPosts();
        script();
    }
    // The objects of one run of the program on the storage.
    void start()
    {
        m_objects = std::make_unique<CFacebookObjectManager>(&m_bed.api, kProvider);
        m_objects->setStorage(m_bed.db.get());
        m_sync = std::make_unique<CFacebookSync>(kProvider);
        m_sync->load(m_bed.db.get());
        m_events = std::make_unique<CFacebookEventManager>(&m_bed.api, m_objects.get(), m_sync.get());
        m_added.clear();
        m_updated.clear();
        m_started = m_done = 0;
        connect(m_events.get(), &CFacebookEventManager::eventAdded, this,
                [this](const SMediaItem& item) { m_added << item; });
        connect(m_events.get(), &CFacebookEventManager::eventUpdated, this,
                [this](const SMediaItem& item) { m_updated << item; });
        connect(m_events.get(), &CFacebookEventManager::updateStarted, this, [this] { ++m_started; });
        connect(m_events.get(), &CFacebookEventManager::updateDone, this, [this] { ++m_done; });
    }
    void cleanup()
    {
        m_events.reset();
        m_sync.reset();
        m_objects.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    void scriptedUpdate()
    {
        QVERIFY(runUpdate(1));
        QCOMPARE(m_started, 1);
        QCOMPARE(m_done, 1);
        QCOMPARE(addedIds(), (QStringList{"100_1", "100_2", "100_3", "100_4", "100_5", "100_6", "100_8",
                                          "100_9", "101_7", "frequest_300", "frequest_301", "m2", "m3"}));
        QVERIFY(m_updated.isEmpty());
        for (const SMediaItem& item : std::as_const(m_added)) {
            CFacebookEvent* event = m_objects->event(item.id);
            QVERIFY(event);
            QCOMPARE(event->mediaItem().mediaId, item.mediaId);
        }

        // Photos whose pids are post ids too, the album of 2 at once, the album of 3 from its photo set.
        QCOMPARE(childrenOf("100_2").size(), 1);
        QCOMPARE(childrenOf("100_2").first().mediaId, QStringLiteral("100_5"));
        QCOMPARE(childrenOf("100_3").size(), 2);
        QStringList album;
        for (const SMediaItem& item : childrenOf("100_4"))
            album << item.mediaId;
        QCOMPARE(album, (QStringList{"100_6", "100_7", "100_8", "100_9"}));
        QCOMPARE(requests("fql.query"), 1);
        const QString query = m_bed.rest->requests("fql.query").first().param("query");
        QVERIFY2(query.contains("aid='100_1'") && query.contains("pid >= '100_6'") &&
                     query.contains("created <= 1262304000"),
                 qPrintable(query));
        QCOMPARE(childrenOf("100_5").size(), 1);
        QCOMPARE(childrenOf("100_5").first().content, QStringLiteral("http://www.example/a"));
        QCOMPARE(childrenOf("100_6").size(), 1);
        QCOMPARE(childrenOf("100_6").first().mediaId, QStringLiteral("777"));
        QCOMPARE(childrenOf("101_7").size(), 1);
        QCOMPARE(childrenOf("100_8").size(), 0);
        QCOMPARE(eventOf("100_8")->eventType(), 0);
        QCOMPARE(eventOf("100_9")->comments().size(), 7);
        QCOMPARE(m_bed.rest->requests("stream.getComments").first().param("post_id"),
                 QStringLiteral("100_9"));

        QCOMPARE(userType("100"), 2);
        QCOMPARE(userType("101"), 2);
        QCOMPARE(userType("400"), 2);
        QCOMPARE(userType("300"), 0);

        m_sync->save();
        QCOMPARE(syncIds(), (QStringList{"100_1", "100_2", "100_3", "100_4", "100_5", "100_6", "100_8",
                                         "100_9", "101_7", "frequest_300", "frequest_301", "m2", "m3"}));
        QCOMPARE(MediaDbTest::value(m_bed.db->databasePath(),
                                    "SELECT COUNT(*) FROM MEDIASYNC WHERE PROVIDER = 2 AND MAXPERIOD = 336")
                     .toInt(),
                 13);
    }

    void secondUpdateStoresNothing()
    {
        QVERIFY(runUpdate(1));
        QCOMPARE(m_added.size(), 13);
        const int stored = rows();
        const int users = int(m_bed.db->serviceUsers(kProvider).size());
        m_added.clear();
        QVERIFY(runUpdate(1)); // the comment fetch is asked again and changes nothing
        QVERIFY(m_added.isEmpty());
        QVERIFY(m_updated.isEmpty());
        QCOMPARE(rows(), stored);
        QCOMPARE(int(m_bed.db->serviceUsers(kProvider).size()), users);

        m_posts[0].likesCount = QStringLiteral("1");
        m_bed.rest->clearScripts();
        script();
        QSignalSpy eventSignal(eventOf("100_1"), &CFacebookEvent::updated);
        QVERIFY(runUpdate(1));
        QCOMPARE(m_updated.size(), 1);
        QCOMPARE(m_updated.first().mediaId, QStringLiteral("100_1"));
        QCOMPARE(eventSignal.count(), 1);
        QCOMPARE(eventOf("100_1")->likeCount(), 1);
        QVERIFY(m_added.isEmpty());
        QCOMPARE(rows(), stored);
    }

    // A stream answer that cannot be stored whole keeps nothing of it and tells nothing.
    void failedAnswer()
    {
        bool ok = false;
        MediaDbTest::run(m_bed.db->databasePath(),
                         {"CREATE TRIGGER REFUSE BEFORE INSERT ON MEDIAITEMS WHEN NEW.MEDIAID = '100_5' "
                          "BEGIN SELECT RAISE(ABORT, 'refused'); END;"},
                         &ok);
        QVERIFY(ok);
        m_sync->addStreamEvent(999);
        const CFacebookSync::State before = m_sync->state();
        QTest::ignoreMessage(QtDebugMsg, QRegularExpression("^CMediaDataBaseMethod: sql"));
        QVERIFY(runUpdate(0));
        QCOMPARE(addedIds(), (QStringList{"frequest_300", "frequest_301", "m2", "m3"}));
        for (const SMediaItem& item : m_bed.db->providerItems(kProvider))
            QVERIFY2(item.extra1 != "spost", qPrintable(item.mediaId));
        QCOMPARE(m_sync->state().streamEvents, before.streamEvents);

        MediaDbTest::run(m_bed.db->databasePath(), {"DROP TRIGGER REFUSE;"}, &ok);
        QVERIFY(ok);
        m_added.clear();
        QVERIFY(runUpdate(1));
        QCOMPARE(addedIds(), (QStringList{"100_1", "100_2", "100_3", "100_4", "100_5", "100_6", "100_8",
                                          "100_9", "101_7"}));
        for (const SMediaItem& item : std::as_const(m_added)) {
            CFacebookEvent* event = m_objects->event(item.id);
            QVERIFY(event);
            QCOMPARE(event->mediaItem().mediaId, item.mediaId);
        }
    }

    // A long stream keeps its 1,000 newest posts, stored over several turns; until the update ends
    // the stream list is the one before plus every post stored (in memory and in the records alike),
    // replaced at its end, and not at all when the account goes between slices.
    void longStreamInSlices_data()
    {
        QTest::addColumn<bool>("reset");
        QTest::newRow("stored") << false;
        QTest::newRow("reset between slices") << true;
    }
    void longStreamInSlices()
    {
        QFETCH(bool, reset);
        m_posts.clear();
        for (int i = 1; i <= 1200; ++i)
            m_posts << A::post(QStringLiteral("100_%1").arg(i), "100", "Hi",
                               QString::number(1262304000 - 3600 * i));
        m_bed.rest->clearScripts();
        script();
        m_sync->addStreamEvent(999);
        const CFacebookSync::State before = m_sync->state();
        QList<mid_t> streamAtFirst{0, 0};
        connect(m_events.get(), &CFacebookEventManager::eventAdded, this, [&] {
            if (m_added.size() > 1)
                return;
            streamAtFirst = m_sync->state().streamEvents;
            if (reset)
                QMetaObject::invokeMethod(
                    this, [&] { m_events->reset(); }, Qt::QueuedConnection);
        });
        const CMeskSlicedStore* slices = m_events->findChild<CMeskSlicedStore*>();
        QVERIFY(slices);
        QTest::ignoreMessage(QtDebugMsg, QRegularExpression("answer of 1200 entries, only the newest 1000"));
        m_events->update();
        QTRY_COMPARE_WITH_TIMEOUT(m_done, 1, 60000);
        QCOMPARE(streamAtFirst.first(), before.streamEvents.first());
        QVERIFY(streamAtFirst.contains(m_added.first().id));
        if (reset) {
            // No slice is left to store more.
            QTRY_VERIFY_WITH_TIMEOUT(!slices->isRunning(), 30000);
            QVERIFY2(m_added.size() < 1000, qPrintable(QString::number(m_added.size())));
            QCOMPARE(m_sync->state().streamEvents.size(), before.streamEvents.size() + m_added.size());
            QCOMPARE(syncIds().size(), m_added.size());
            return;
        }
        QTRY_VERIFY_WITH_TIMEOUT(m_events->isReady(), 60000);
        QStringList posts = addedIds().filter(QRegularExpression("^100_"));
        QCOMPARE(posts.size(), 1000);
        QVERIFY(posts.contains("100_1") && posts.contains("100_1000") && !posts.contains("100_1001"));
        QCOMPARE(m_sync->state().streamEvents.size(), 1000);
    }

    void photoSets()
    {
        SFacebookStreamPost loose = attached(A::post("100_10", "100", "No album", kCreated), "album",
                                             {photo("100_41", ""), photo("100_42", ""), photo("100_43", "")});
        m_posts = {m_posts.at(3), loose};
        m_bed.rest->clearScripts();
        m_bed.rest->scriptError("fql.query", 601, 200, 1); // scripts of a method are used in order
        script();
        QVERIFY(runUpdate(0));
        QCOMPARE(addedIds(), (QStringList{"100_10", "frequest_300", "frequest_301", "m2", "m3"}));
        QCOMPARE(childrenOf("100_10").size(), 3);
        QVERIFY(!eventOf("100_4"));
        QCOMPARE(requests("fql.query"), 1); // the album without aid asks for nothing

        m_added.clear();
        QVERIFY(runUpdate(0));
        QTRY_COMPARE_WITH_TIMEOUT(addedIds(), QStringList{"100_4"}, 30000);
        QCOMPARE(childrenOf("100_4").size(), 4);
    }

    void taskChain_data()
    {
        QTest::addColumn<QString>("failure");
        QTest::newRow("update while running") << "busy";
        QTest::newRow("notifications dropped") << "drop";
        QTest::newRow("stream refused") << "102";
        // Refused at every refresh of three, each one closed and started again, while a post leaves the
        // stream (and 15 days pass): each list goes by its own answer, not by the failed one.
        QTest::newRow("notifications refused at every refresh") << "refused notifications.get";
        QTest::newRow("notifications refused at every refresh, 15 days on")
            << "refused notifications.get late";
        QTest::newRow("stream refused at every refresh") << "refused stream.get";
        QTest::newRow("stream refused at every refresh, 15 days on") << "refused stream.get late";
    }
    void taskChain()
    {
        QFETCH(QString, failure);
        m_bed.rest->clearScripts();
        QSignalSpy protocolErrors(m_events.get(), &CFacebookEventManager::protocolError);
        QSignalSpy networkErrors(m_events.get(), &CFacebookEventManager::networkError);
        if (failure == "busy") {
            script(400);
            m_events->update();
            QVERIFY(!m_events->isReady());
            m_events->update();
            QTRY_COMPARE_WITH_TIMEOUT(m_done, 1, 30000);
            QCOMPARE(m_started, 1);
            QCOMPARE(requests("stream.get"), 1);
            return;
        }
        if (failure.startsWith("refused")) {
            script();
            QVERIFY(runUpdate(1));
            QVERIFY(restart());
            QStringList kept = storedEvents();
            QCOMPARE(kept.size(), 13);
            const QString method = failure.section(' ', 1, 1);
            const bool late = failure.endsWith("late");
            m_posts.removeFirst();
            m_bed.rest->clearScripts();
            m_bed.rest->scriptError(method, 10); // a permission never granted
            script();
            if (method == "notifications.get")
                kept.removeOne("100_1");
            if (late) {
                m_bed.clock->set(m_bed.clock->now().addDays(15));
                kept.removeIf(
                    [](const QString& id) { return id.startsWith("frequest_") || id.startsWith('m'); });
            }
            for (int refresh = 1; refresh <= 3; ++refresh) {
                QVERIFY(runUpdate(method == "stream.get" ? 0 : 1));
                QVERIFY(m_added.isEmpty());
                QVERIFY(restart());
                QCOMPARE(storedEvents(), kept);
                QCOMPARE(requests("message.getThreadsInFolder"), 1);
                QCOMPARE(requests(method.toLatin1().constData()), refresh + 1);
            }
            return;
        }
        if (failure == "drop") {
            m_bed.rest->scriptDrop("notifications.get");
            script();
        } else {
            m_bed.rest->scriptError("stream.get", 102);
        }
        m_events->update();
        QTRY_COMPARE_WITH_TIMEOUT(m_done, 1, 30000);
        QTest::qWait(200);
        QCOMPARE(m_done, 1);
        QCOMPARE(requests("message.getThreadsInFolder"), 0);
        if (failure == "drop") {
            QCOMPARE(networkErrors.count(), 1);
            QCOMPARE(protocolErrors.count(), 0);
        } else {
            QCOMPARE(protocolErrors.count(), 1);
            QCOMPARE(protocolErrors.first().first().value<TMediaError>(), TMediaError(6));
            QCOMPARE(requests("notifications.get"), 0);
        }
        QVERIFY(m_events->isReady());
    }

    // Messages and friend requests stay 14 calendar days; posts only while the stream lists them.
    // Records that cannot be read are not none: nothing is written until they are read, so the
    // clean-up at exit keeps every listed event.
    void unreadableRecordsWriteNothing()
    {
        QList<mid_t> listed;
        for (int i = 0; i < 2; ++i) {
            SMediaItem event;
            event.provider = kProvider;
            event.type = MeskItemType::Event1;
            event.mediaId = QStringLiteral("100_%1").arg(i);
            QVERIFY(m_bed.db->addMediaItem(event));
            listed.append(event.id);
        }
        QVERIFY(m_bed.db->setSyncRecords(kProvider, listed, 0));
        m_sync->load(m_bed.db.get());
        {
            FailingReads reads(QStringLiteral("FROM MEDIASYNC"));
            m_sync->beginStream();
            m_sync->save();
            QVERIFY(reads.failed() > 0);
        }
        QVERIFY(m_bed.db->cleanup(false));
        QCOMPARE(m_bed.db->eventItems(kProvider).size(), 2);
    }

    void syncRecords_data()
    {
        QTest::addColumn<int>("days");
        QTest::addColumn<bool>("kept");
        QTest::newRow("14 days") << 14 << true;
        QTest::newRow("15 days") << 15 << false;
    }
    void syncRecords()
    {
        QFETCH(int, days);
        QFETCH(bool, kept);
        QVERIFY(runUpdate(1));
        m_sync->save();
        QCOMPARE(syncIds().size(), 13);

        m_posts.removeFirst(); // 100_1 leaves the stream
        m_bed.rest->clearScripts();
        script();
        m_bed.clock->set(m_bed.clock->now().addDays(days));
        QVERIFY(runUpdate(1));
        m_sync->save();
        const QStringList ids = syncIds();
        QVERIFY(!ids.contains("100_1"));
        QVERIFY(ids.contains("100_2"));
        QCOMPARE(ids.contains("m2"), kept);
        QCOMPARE(ids.contains("frequest_300"), kept);

        m_sync->reset();
        QCOMPARE(
            MediaDbTest::value(m_bed.db->databasePath(), "SELECT COUNT(*) FROM MEDIASYNC WHERE PROVIDER = 2")
                .toInt(),
            0);
    }

    // A comment fetch that cannot start (here: the session went while the stream answer was on
    // its way) leaves that post behind: a later update fetches its comments.
    void refusedCommentFetch()
    {
        m_bed.rest->clearScripts();
        script(300);
        m_events->update();
        QTRY_COMPARE_WITH_TIMEOUT(requests("stream.get"), 1, 30000);
        m_bed.api.setSession({}, {}, {});
        QTRY_COMPARE_WITH_TIMEOUT(m_done, 1, 30000);
        QCOMPARE(requests("stream.getComments"), 0);
        QVERIFY(eventOf("100_9"));
        QVERIFY(eventOf("100_9")->comments().size() < 7); // those the stream carried

        m_bed.api.setSession(FakeFacebookRest::defaultSessionKey(), FakeFacebookRest::defaultSessionSecret(),
                             FakeFacebookRest::defaultUid());
        m_bed.rest->clearScripts();
        script();
        QVERIFY(runUpdate(1));
        QCOMPARE(eventOf("100_9")->comments().size(), 7);
    }

    // Removing the account while a call runs: nothing of it is stored or told afterwards. Closing
    // while one runs (the objects go, the exit's clean-up runs, then a start): what was stored stays
    // with its files, and the next update tells none of it again.
    void resetInFlight_data()
    {
        QTest::addColumn<QString>("call");
        QTest::newRow("stream.get") << "stream.get";
        QTest::newRow("getComments of a deleted event") << "stream.getComments";
        QTest::newRow("fql query") << "fql.query";
        QTest::newRow("closed while notifications.get and a photo set's query run") << "notifications.get";
    }
    void resetInFlight()
    {
        QFETCH(QString, call);
        m_bed.rest->clearScripts();
        // The call's answer is held back for a second: the reset comes well before it; a close
        // comes before it whatever the wait.
        const bool close = call == "notifications.get";
        const int delay = close ? 600000 : 1000;
        script(call == "stream.get" ? delay : 0, call == "stream.getComments" ? delay : 0,
               call == "fql.query" || close ? delay : 0, close ? delay : 0);
        m_events->update();
        if (close) {
            // Every post but the photo set's is stored, and the full comment list.
            QTRY_COMPARE_WITH_TIMEOUT(m_added.size(), 8, 30000);
            QTRY_COMPARE_WITH_TIMEOUT(eventOf("100_9")->comments().size(), 7, 30000);
            const int stored = rows();
            QStringList files;
            for (const SMediaItem& photo : m_bed.db->itemsByType(MeskItemType::Image, kProvider)) {
                QFile file(m_bed.db->itemFilePath(photo, QStringLiteral("jpg")));
                QVERIFY(file.open(QIODevice::WriteOnly) && file.write("jpg") == 3);
                files << file.fileName();
            }
            QCOMPARE(files.size(), 3);
            m_events.reset();
            m_sync.reset();
            m_objects.reset();
            QVERIFY(m_bed.db->cleanup(false));
            m_bed.db = std::make_unique<CMediaDataBase>(m_bed.root->subPath(QStringLiteral("mstorage")));
            QVERIFY(m_bed.db->open());
            start();
            QCOMPARE(rows(), stored);
            for (const QString& path : std::as_const(files))
                QVERIFY2(QFile::exists(path), qPrintable(path));
            m_added.clear();
            m_bed.rest->clearScripts();
            script();
            QVERIFY(runUpdate(1));
            QCOMPARE(addedIds(), (QStringList{"100_4", "frequest_300", "frequest_301", "m2", "m3"}));
            return;
        }
        if (call != "stream.get")
            QTRY_COMPARE_WITH_TIMEOUT(m_done, 1, 30000);
        QTRY_COMPARE_WITH_TIMEOUT(requests(call.toLatin1().constData()), 1, 30000);
        const int doneBefore = m_done;
        m_added.clear();

        m_events->reset();
        m_objects->clear();
        m_bed.db->deleteProviderItems(kProvider);
        m_bed.db->deleteProviderUsers(kProvider);
        QTest::qWait(delay + 300);
        QVERIFY(m_added.isEmpty());
        QCOMPARE(rows(), 0);
        QCOMPARE(m_done - doneBefore, call == "stream.get" ? 1 : 0);
        QVERIFY(m_events->isReady());

        m_bed.rest->clearScripts();
        script();
        QVERIFY(runUpdate(1));
        QCOMPARE(m_added.size(), 13);
    }
};

QTEST_MAIN(TestFacebookEventManager)
#include "tst_facebookeventmanager.moc"
