// The Flickr provider against the stand-in service and a real media database.
#include "failingstorage.h"
#include "fakebrowserbackend.h"
#include "flickrauth.h"
#include "flickritems.h"
#include "flickrobjects.h"
#include "flickrprovider.h"
#include "flickrstoragefixture.h"
#include "flickrsync.h"
#include "imediaitemwidget.h"
#include "imediaobjects.h"
#include "meskhttptaskpool.h"
#include "testclock.h"
#include "ui/flickrphotowidget.h"
#include "ui/flickrsetupwidget.h"

#include <QFile>
#include <QLabel>
#include <QPointer>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTest>

namespace {
const QString kSearch = QStringLiteral("flickr.photos.search");
const QString kContacts = QStringLiteral("flickr.photos.getContactsPhotos");
} // namespace

class TestFlickrProvider : public QObject
{
    Q_OBJECT
private:
    std::unique_ptr<FlickrStorageFixture> m_fx;
    FailingStorage* m_storage = nullptr; // the fixture's database
    std::unique_ptr<CFlickrProvider> m_provider;
    QStringList m_log; // the provider's signals, in order

    void storeKeys(bool withName)
    {
        m_fx->db->setServiceKey(MeskProvider::Flickr, QStringLiteral("key"),
                                FakeFlickrService::defaultToken());
        m_fx->db->setServiceKey(MeskProvider::Flickr, QStringLiteral("user_id"),
                                FakeFlickrService::defaultUserId());
        if (withName)
            m_fx->db->setServiceKey(MeskProvider::Flickr, QStringLiteral("user_name"), QStringLiteral("bob"));
    }
    // A provider on the storage, its signals logged.
    void makeProvider()
    {
        m_provider = std::make_unique<CFlickrProvider>();
        CFlickrProvider* p = m_provider.get();
        const auto note = [this](const QString& text) { m_log.append(text); };
        connect(p, &IMediaItemProvider::activated, this,
                [note](mid_t id) { note(QStringLiteral("activated %1").arg(id)); });
        connect(p, &IMediaItemProvider::deactivated, this,
                [note](mid_t id) { note(QStringLiteral("deactivated %1").arg(id)); });
        connect(p, &IMediaItemProvider::updateStarted, this,
                [note](mid_t id) { note(QStringLiteral("updateStarted %1").arg(id)); });
        connect(p, &IMediaItemProvider::updateDone, this, [this, note](mid_t id) {
            // The sync records are written before the run is announced as done.
            note(QStringLiteral("updateDone %1 sync %2")
                     .arg(id)
                     .arg(m_fx->db->syncRecords(MeskProvider::Flickr).isEmpty() ? 0 : 1));
        });
        connect(p, &IMediaItemProvider::mediaItemAdded, this, [note](mid_t id, const SMediaItem& item) {
            note(QStringLiteral("mediaItemAdded %1 type %2").arg(id).arg(item.type));
        });
        connect(p, &IMediaItemProvider::serviceUserAdded, this, [note](mid_t id, const SServiceUser& user) {
            note(QStringLiteral("serviceUserAdded %1 %2").arg(id).arg(user.name));
        });
        connect(p, &IMediaItemProvider::serviceError, this, [note](mid_t id, TMediaError error) {
            note(QStringLiteral("serviceError %1 %2").arg(id).arg(int(error)));
        });
        m_provider->setStorage(m_storage);
    }
    int count(const QString& prefix) const
    {
        return int(std::count_if(m_log.cbegin(), m_log.cend(),
                                 [&](const QString& s) { return s.startsWith(prefix); }));
    }
    bool runToEnd()
    {
        m_provider->update();
        if (!QTest::qWaitFor([this] { return count(QStringLiteral("updateDone")) > 0; }, 30000))
            return false;
        QTest::qWait(100);
        return count(QStringLiteral("updateStarted")) == 1 && count(QStringLiteral("updateDone")) == 1;
    }
    QStringList keys()
    {
        QStringList result;
        for (const QString& key :
             {QStringLiteral("key"), QStringLiteral("user_id"), QStringLiteral("user_name")}) {
            QString value = QStringLiteral("<none>");
            m_fx->db->serviceKey(MeskProvider::Flickr, key, value);
            result.append(value);
        }
        return result;
    }

private slots:
    void initTestCase()
    {
        registerMeskMetaTypes();
        CMeskHttpTaskPool::init(this);
    }
    void cleanupTestCase() { CMeskHttpTaskPool::shutdown(); }
    void init()
    {
        m_log.clear();
        m_fx = std::make_unique<FlickrStorageFixture>();
        QVERIFY(m_fx->start(true));
        m_fx->db.reset();
        m_storage = new FailingStorage(m_fx->root.subPath(QStringLiteral("storage")));
        m_fx->db.reset(m_storage);
        QVERIFY(m_storage->open());
    }
    void cleanup()
    {
        m_provider.reset();
        m_fx.reset();
    }

    void restore_data()
    {
        QTest::addColumn<bool>("withName");
        QTest::newRow("three keys") << true;
        QTest::newRow("no user name") << false;
    }
    // A stored account is restored silently; an incomplete one not at all.
    void restore()
    {
        QFETCH(bool, withName);
        storeKeys(withName);
        makeProvider();
        QCOMPARE(m_provider->isActivated(), withName);
        QCOMPARE(m_provider->isReady(), withName);
        QCOMPARE(m_provider->userName(), withName ? QStringLiteral("bob") : QString());
        QVERIFY(m_log.isEmpty());
        QVERIFY(m_fx->service->requests().isEmpty());
    }

    // A granted authorisation writes the three keys in order and activates the provider.
    void signIn()
    {
        makeProvider();
        QSignalSpy url(m_provider->auth(), &CFlickrAuth::authorizationUrl);
        m_provider->auth()->requestAuthorization();
        QVERIFY(url.wait(30000));
        QVERIFY(m_fx->service->authorizeFrob(m_provider->auth()->frob()));
        m_provider->auth()->requestToken();
        QTRY_COMPARE_WITH_TIMEOUT(m_log, QStringList{QStringLiteral("activated 3")}, 30000);
        QCOMPARE(m_storage->keyWrites,
                 QStringList({QStringLiteral("key=") + FakeFlickrService::defaultToken(),
                              QStringLiteral("user_id=") + FakeFlickrService::defaultUserId(),
                              QStringLiteral("user_name=") + FakeFlickrService::defaultUserName()}));
        QVERIFY(m_provider->isActivated());
    }

    // An account that cannot be stored ends the setup on an error page and is not linked, in this
    // run or the next.
    void accountNotStored()
    {
        FakeBrowserBackendScope browsers;
        m_storage->failCommits = true;
        makeProvider();
        {
            CFlickrSetupWidget wizard(m_provider->auth());
            QSignalSpy url(m_provider->auth(), &CFlickrAuth::authorizationUrl);
            QSignalSpy granted(m_provider->auth(), &CFlickrAuth::accessGranted);
            m_provider->auth()->requestAuthorization();
            QVERIFY(url.wait(30000));
            QVERIFY(m_fx->service->authorizeFrob(m_provider->auth()->frob()));
            m_provider->auth()->requestToken();
            QTRY_VERIFY_WITH_TIMEOUT(wizard.errorPage()->isVisibleTo(&wizard), 30000);
            QCOMPARE(wizard.errorPage()->label()->text(),
                     QStringLiteral("Velto Lumesk internal error, please contact application support"));
            QCOMPARE(granted.size(), 0);
        }
        QVERIFY(m_log.isEmpty());
        QVERIFY(!m_provider->isActivated());

        m_storage->failCommits = false;
        makeProvider(); // the next start
        QVERIFY(!m_provider->isActivated());
        QCOMPARE(keys(), QStringList({"<none>", "<none>", "<none>"}));
    }

    // A run announces its posts and new users between updateStarted and updateDone, and the
    // sync records are stored by then; the lookups answer from the stored rows.
    void runAndLookups()
    {
        storeKeys(true);
        makeProvider();
        QVERIFY(runToEnd());
        const QList<SMediaItem> posts = m_fx->db->itemsByType(MeskItemType::Event2, MeskProvider::Flickr);
        const QList<SServiceUser> users = m_fx->db->serviceUsers(MeskProvider::Flickr);
        QVERIFY(!posts.isEmpty());
        QCOMPARE(m_log.first(), QStringLiteral("updateStarted 3"));
        QCOMPARE(m_log.last(), QStringLiteral("updateDone 3 sync 1"));
        QCOMPARE(count(QStringLiteral("mediaItemAdded 3 type 2")), posts.size());
        QCOMPARE(count(QStringLiteral("serviceUserAdded 3 ")), users.size());
        QCOMPARE(m_log.size(), 2 + posts.size() + users.size());

        const SMediaItem post = posts.first();
        IMediaEventItem* event = m_provider->eventObject(post);
        QVERIFY(event);
        QCOMPARE(m_provider->eventObject(post), event);
        QVERIFY(!m_provider->mediaObject(post));
        const SMediaItem photo = m_fx->db->childItems(post.id).first();
        QCOMPARE(m_provider->mediaObject(photo)->mediaItem().id, photo.id);
        QCOMPARE(m_provider->user(post.user)->serviceUser().id, post.user);
        QTest::ignoreMessage(QtDebugMsg, "CFlickrProvider: link item is not supported");
        QVERIFY(!m_provider->linkItem(post));
    }

    void itemText_data()
    {
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("text");
        QTest::newRow("one photo") << "bob"
                                   << "<b>bob</b> posted a new photo: \"Sunset\"";
        QTest::newRow("markup in the name") << "<x"
                                            << "<b>&lt;x</b> posted a new photo: \"Sunset\"";
    }
    // A stored post's caption, and its widget only while the post has photos and its user exists.
    void itemText()
    {
        QFETCH(QString, user);
        QFETCH(QString, text);
        makeProvider();
        CFlickrObjectManager* objects = m_provider->objectManager();
        CFlickrUser* author = objects->findOrAddUser(FakeFlickrService::defaultUserId(), user);
        QVERIFY(author);
        CFlickrPhotoPost* post = objects->addPhotoPost(author->serviceUser().id);
        QVERIFY(post);
        SFlickrPhoto record;
        record.id = QStringLiteral("9");
        record.owner = FakeFlickrService::defaultUserId();
        record.dateUpload = QStringLiteral("1700000000");
        record.title = QStringLiteral("Sunset");
        CFlickrPhoto* photo = objects->findOrAddPhoto(record, author->serviceUser().id);
        QVERIFY(photo && post->addPhoto(photo));
        const SMediaItem item = m_fx->storedItem(post->mediaItem().id);

        QString caption;
        m_provider->itemText(item, caption);
        QCOMPARE(caption, text);
        std::unique_ptr<IMediaItemWidget> widget(m_provider->createItemWidget(item));
        QVERIFY(qobject_cast<CFlickrPhotoWidget*>(widget.get()));
        QVERIFY(!widget->parent());
        QCOMPARE(widget->mediaItem().id, item.id);

        SMediaItem strayUser = item;
        strayUser.user = 4711;
        QVERIFY(!m_provider->createItemWidget(strayUser));
        QVERIFY(m_fx->db->deleteMediaItem(photo->mediaItem().id));
        QVERIFY(!m_provider->createItemWidget(item));
    }

    void errors_data()
    {
        QTest::addColumn<bool>("closedPort");
        QTest::addColumn<QString>("error");
        QTest::newRow("contacts refused 98") << false << "serviceError 3 6";
        QTest::newRow("closed port") << true << "serviceError 3 2";
    }
    void errors()
    {
        QFETCH(bool, closedPort);
        QFETCH(QString, error);
        storeKeys(true);
        if (closedPort) {
            QTcpServer probe;
            QVERIFY(probe.listen(QHostAddress::LocalHost));
            const quint16 port = probe.serverPort();
            probe.close();
            qputenv("LUMESK_FLICKR_URL", QStringLiteral("http://127.0.0.1:%1").arg(port).toUtf8());
        } else {
            m_fx->service->scriptError(kContacts, 98);
        }
        makeProvider();
        QVERIFY(runToEnd());
        QCOMPARE(m_log, QStringList({QStringLiteral("updateStarted 3"), error,
                                     QStringLiteral("updateDone 3 sync 0")}));
    }

    // An answer that trickles in forever ends the run as a network error; the next run is sent.
    void tricklingAnswerEndsTheRun()
    {
        storeKeys(true);
        makeProvider();
        CMeskHttpTaskPool::setDefaultDeadlines(700, 700);
        m_fx->server->setFallback(tricklingHandler(m_fx->service->handler()));
        const bool ended = runToEnd();
        CMeskHttpTaskPool::setDefaultDeadlines(5 * 60 * 1000, 30 * 60 * 1000);
        m_fx->server->setFallback(m_fx->service->handler());
        QVERIFY(ended);
        QCOMPARE(m_log, QStringList({QStringLiteral("updateStarted 3"), QStringLiteral("serviceError 3 2"),
                                     QStringLiteral("updateDone 3 sync 0")}));
        const int sent = m_fx->server->requestCount();
        m_log.clear();
        QVERIFY(runToEnd());
        QVERIFY(m_fx->server->requestCount() > sent);
        QCOMPARE(count(QStringLiteral("serviceError")), 0);
        QCOMPARE(m_log.last(), QStringLiteral("updateDone 3 sync 1"));
    }

    // A contact's photos of three days over closes and starts: the clean-up at exit keeps every post
    // the service still lists, so a later run finds them posted, stores nothing again and announces
    // nothing; the newest day's post is the contact's newest record, though its day name sorts first.
    // So it is when the first close comes while another contact's search is held: the posts and
    // files stored so far stay, also after the next run, which searches only that other contact.
    void postsOutliveCloseAndStart_data()
    {
        QTest::addColumn<bool>("held");
        QTest::newRow("after a run") << false;
        QTest::newRow("closed while a search is held") << true;
    }
    void postsOutliveCloseAndStart()
    {
        QFETCH(bool, held);
        const QDateTime now(QDate(2024, 1, 15), QTime(12, 0), Qt::UTC); // a Monday
        TestClock clock(now);
        FakeFlickrService& service = *m_fx->service;
        service.clearStore();
        service.addUser({FakeFlickrService::defaultUserId(),
                         QStringLiteral("bob"),
                         {},
                         QStringLiteral("0"),
                         QStringLiteral("0"),
                         false});
        const QString alice = QStringLiteral("111@N01");
        service.addUser({alice, QStringLiteral("alice"), {}, QStringLiteral("0"), QStringLiteral("0"), true});
        for (int day = 0; day < 3; ++day) { // Monday, Sunday, Saturday
            FakeFlickrService::Photo photo;
            photo.id = QStringLiteral("p%1").arg(day);
            photo.owner = alice;
            photo.secret = QStringLiteral("ab");
            photo.server = QStringLiteral("1234");
            photo.farm = QStringLiteral("2");
            photo.title = QStringLiteral("Garden %1").arg(day);
            photo.dateUpload = now.addDays(-day).addSecs(-3600).toSecsSinceEpoch();
            service.addPhoto(photo);
        }
        if (held) {
            const QString ben = QStringLiteral("222@N01"); // searched after alice
            service.addUser({ben, QStringLiteral("ben"), {}, QStringLiteral("0"), QStringLiteral("0"), true});
            FakeFlickrService::Photo photo = service.photos().constLast();
            photo.id = QStringLiteral("q0");
            photo.owner = ben;
            service.addPhoto(photo);
            service.scriptDelay(kSearch, 0, 1);
            service.scriptDelay(kSearch, 600000, 1);
        }
        storeKeys(true);
        makeProvider();
        if (held) {
            m_provider->update();
            QTRY_COMPARE_WITH_TIMEOUT(service.requests(kSearch).size(), 2, 30000);
        } else {
            QVERIFY(runToEnd());
        }
        QCOMPARE(count(QStringLiteral("mediaItemAdded 3 type 2")), 3);
        QStringList files;
        for (const SMediaItem& photo : m_fx->db->itemsByType(MeskItemType::Image, MeskProvider::Flickr)) {
            QFile file(m_storage->itemFilePath(photo, QStringLiteral("jpg")));
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write("jpg") == 3);
            files << file.fileName();
        }
        QCOMPARE(files.size(), 3);
        const QList<SMediaItem> posts = m_fx->db->itemsByType(MeskItemType::Event2, MeskProvider::Flickr);
        QCOMPARE(posts.size(), 3);
        const auto newest = std::max_element(
            posts.cbegin(), posts.cend(), [](const auto& a, const auto& b) { return a.created < b.created; });
        QCOMPARE(newest->created.toSecsSinceEpoch(), now.addSecs(-3600).toSecsSinceEpoch());

        for (int start = 0; start < 2; ++start) {
            // Closed as main() closes: the provider goes, the clean-up runs; then a start on the same files.
            m_provider.reset();
            QVERIFY(m_storage->cleanup(false));
            m_fx->db.reset();
            m_storage = new FailingStorage(m_fx->root.subPath(QStringLiteral("storage")));
            m_fx->db.reset(m_storage);
            QVERIFY(m_storage->open());
            m_log.clear();
            service.clearRequests();
            makeProvider();
            QVERIFY(runToEnd());
            // Only the held search's post is new at the first start.
            const int fresh = held && start == 0 ? 1 : 0;
            QCOMPARE(count(QStringLiteral("mediaItemAdded")), fresh);
            QCOMPARE(service.requests(kSearch).size(), fresh);
            QCOMPARE(m_fx->db->itemsByType(MeskItemType::Event2, MeskProvider::Flickr).size(), 3 + held);
            QCOMPARE(m_fx->db->itemsByType(MeskItemType::Image, MeskProvider::Flickr).size(), 3 + held);
            QCOMPARE(m_fx->db->syncRecords(MeskProvider::Flickr).size(), 3 + held);
            for (const QString& path : std::as_const(files))
                QVERIFY2(QFile::exists(path), qPrintable(path));
            CFlickrSync sync(MeskProvider::Flickr);
            sync.load(m_storage);
            QCOMPARE(sync.event(newest->user), newest->id);
        }
    }

    void removeAccount_data()
    {
        QTest::addColumn<QString>("state");
        QTest::newRow("after a run") << "run";
        QTest::newRow("while a search waits") << "search";
        QTest::newRow("no account") << "none";
    }
    // Removal leaves nothing of the account, not even from an answer still on its way.
    void removeAccount()
    {
        QFETCH(QString, state);
        if (state != QLatin1String("none"))
            storeKeys(true);
        makeProvider();
        QPointer<IMediaUser> user;
        if (state == QLatin1String("run")) {
            QVERIFY(runToEnd());
            const SMediaItem post = m_fx->db->itemsByType(MeskItemType::Event2, MeskProvider::Flickr).first();
            user = m_provider->user(post.user);
            QVERIFY(user);
        } else if (state == QLatin1String("search")) {
            m_fx->service->scriptDelay(kSearch, 300);
            m_provider->update();
            QTRY_COMPARE_WITH_TIMEOUT(m_fx->service->requests(kSearch).size(), 1, 30000);
        }
        m_log.clear();
        m_provider->removeAccount();
        QTest::qWait(600); // past the delayed answer
        QVERIFY(!user);
        QVERIFY(m_fx->db->providerItems(MeskProvider::Flickr).isEmpty());
        QVERIFY(m_fx->db->serviceUsers(MeskProvider::Flickr).isEmpty());
        QVERIFY(m_fx->db->syncRecords(MeskProvider::Flickr).isEmpty());
        QCOMPARE(keys(), QStringList({QString(), QString(), QString()}));
        QStringList expected{QStringLiteral("deactivated 3")};
        if (state == QLatin1String("search"))
            expected.prepend(QStringLiteral("updateDone 3 sync 0"));
        QCOMPARE(m_log, expected);
        QVERIFY(!m_provider->isActivated());
    }
};

QTEST_MAIN(TestFlickrProvider)
#include "tst_flickrprovider.moc"
