// The Flickr object manager on a real media database.
#include "failingstorage.h"
#include "flickritems.h"
#include "flickrobjects.h"
#include "flickrstoragefixture.h"

#include <QPointer>
#include <QSignalSpy>
#include <QTest>

namespace {
QDateTime at(qint64 secs)
{
    return QDateTime::fromSecsSinceEpoch(secs, Qt::UTC);
}

SFlickrPhoto photoRecord(const QString& id, qint64 secs)
{
    SFlickrPhoto photo;
    photo.id = id;
    photo.owner = QStringLiteral("12345678@N00");
    photo.server = QStringLiteral("1234");
    photo.farm = QStringLiteral("2");
    photo.secret = QStringLiteral("ab");
    photo.title = QStringLiteral("Photo ") + id;
    photo.dateUpload = QString::number(secs);
    return photo;
}
} // namespace

class TestFlickrObjects : public QObject
{
    Q_OBJECT
private:
    std::unique_ptr<FlickrStorageFixture> m_fx;
    std::unique_ptr<CFlickrObjectManager> m_manager;

    int rowCount() { return int(m_fx->db->providerItems(MeskProvider::Flickr).size()); }

private slots:
    void init()
    {
        m_fx = std::make_unique<FlickrStorageFixture>();
        QVERIFY(m_fx->start(false));
        m_manager = std::make_unique<CFlickrObjectManager>(m_fx->api.get(), MeskProvider::Flickr);
        m_manager->setStorage(m_fx->db.get());
    }
    void cleanup()
    {
        m_manager.reset();
        m_fx.reset();
    }

    // A look-up that fails stores no second copy of what is stored already.
    void failedLookUpStoresNothing_data()
    {
        QTest::addColumn<bool>("photo"); // a photo, or else a user
        QTest::newRow("photo") << true;
        QTest::newRow("user") << false;
    }
    void failedLookUpStoresNothing()
    {
        QFETCH(bool, photo);
        const auto add = [this, photo] {
            return photo ? static_cast<QObject*>(
                               m_manager->findOrAddPhoto(photoRecord(QStringLiteral("9"), 1000), 0))
                         : m_manager->findOrAddUser(QStringLiteral("1@N01"), QStringLiteral("one"));
        };
        const auto count = [this, photo] {
            return photo ? rowCount() : int(m_fx->db->serviceUsers(MeskProvider::Flickr).size());
        };
        checkFailedLookUpStoresNothing(add, count,
                                       photo ? QStringLiteral("MEDIAITEMS") : QStringLiteral("SERVICEUSERS"));
    }

    void loadEvent_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<bool>("built");
        QTest::addColumn<QString>("message");
        QTest::newRow("photo post") << int(MeskItemType::Event2) << true << QString();
        QTest::newRow("comment") << int(MeskItemType::Event1) << false << QString();
        QTest::newRow("link") << int(MeskItemType::Link) << false
                              << QStringLiteral(
                                     "CFlickrObjectManager: failed to load event, unknown event type");
    }
    void loadEvent()
    {
        QFETCH(int, type);
        QFETCH(bool, built);
        QFETCH(QString, message);
        const mid_t id = m_fx->addItem(type, at(1000));
        const SMediaItem item = m_fx->storedItem(id);
        if (!message.isEmpty())
            QTest::ignoreMessage(QtDebugMsg, qPrintable(message));
        IFlickrEvent* first = m_manager->loadEvent(item);
        QCOMPARE(first != nullptr, built);
        if (built) {
            QCOMPARE(first->eventKind(), int(IFlickrEvent::PhotoPost));
            QCOMPARE(m_manager->loadEvent(item), first);
            QCOMPARE(m_manager->photoPost(id), first);
        }
    }

    void wrongRowIsNotCached()
    {
        const mid_t video = m_fx->addItem(MeskItemType::Video, at(1000));
        const QByteArray line =
            "CFlickrPhoto: item type check failed while loading from storage, must be eImageMediaItem";
        // Logged twice: the second lookup reads the row again instead of a cached object.
        QTest::ignoreMessage(QtDebugMsg, line.constData());
        QTest::ignoreMessage(QtDebugMsg, line.constData());
        QCOMPARE(m_manager->photo(video), nullptr);
        QCOMPARE(m_manager->photo(video), nullptr);
    }

    void findOrAdd()
    {
        QSignalSpy added(m_manager.get(), &CFlickrObjectManager::userAdded);
        CFlickrUser* user = m_manager->findOrAddUser(QStringLiteral("12345678@N00"), QStringLiteral("bob"));
        QVERIFY(user);
        QCOMPARE(added.size(), 1);
        QCOMPARE(added.at(0).at(0).value<mid_t>(), user->serviceUser().id);
        // Stored already: the same object, no signal.
        QCOMPARE(m_manager->findOrAddUser(QStringLiteral("12345678@N00"), QStringLiteral("bob")), user);
        QCOMPARE(m_manager->findUser(QStringLiteral("12345678@N00")), user);
        QCOMPARE(added.size(), 1);

        const mid_t owner = user->serviceUser().id;
        CFlickrPhoto* photo = m_manager->findOrAddPhoto(photoRecord(QStringLiteral("9"), 1000), owner);
        QVERIFY(photo);
        const int rows = rowCount();
        QCOMPARE(m_manager->findOrAddPhoto(photoRecord(QStringLiteral("9"), 1000), owner), photo);
        QCOMPARE(m_manager->findPhoto(QStringLiteral("9")), photo);
        QCOMPARE(rowCount(), rows);
    }

    void objectsOfABatch()
    {
        QSignalSpy added(m_manager.get(), &CFlickrObjectManager::userAdded);

        // Accepted: the signal waits for the commit.
        m_manager->beginNew();
        CFlickrUser* kept = m_manager->findOrAddUser(QStringLiteral("1@N01"), QStringLiteral("a"));
        QVERIFY(kept);
        QCOMPARE(added.size(), 0);
        m_manager->acceptNew();
        QCOMPARE(added.size(), 1);
        QCOMPARE(m_manager->user(kept->serviceUser().id), kept);

        // Discarded: no signal, and every object made in the span is gone from the caches.
        m_manager->beginNew();
        QPointer<CFlickrUser> user = m_manager->findOrAddUser(QStringLiteral("2@N01"), QStringLiteral("b"));
        QVERIFY(user);
        const mid_t userId = user->serviceUser().id;
        QPointer<CFlickrPhoto> photo =
            m_manager->findOrAddPhoto(photoRecord(QStringLiteral("7"), 1000), userId);
        QPointer<CFlickrPhotoPost> post = m_manager->addPhotoPost(userId);
        QPointer<CFlickrUser> known = m_manager->findUser(QStringLiteral("1@N01"));
        QVERIFY(photo && post && known);
        m_manager->discardNew();
        QCOMPARE(added.size(), 1);
        QVERIFY(!user && !photo && !post);
        QCOMPARE(known.data(), kept); // met in the span, made before it

        // Outside a span the signal goes out at once.
        QVERIFY(m_manager->findOrAddUser(QStringLiteral("3@N01"), QStringLiteral("c")));
        QCOMPARE(added.size(), 2);
    }

    void photosOfPostAndClear()
    {
        CFlickrPhotoPost* post = m_manager->addPhotoPost(5);
        QVERIFY(post);
        const mid_t postId = post->mediaItem().id;
        QList<mid_t> ids;
        for (qint64 t : {100, 300, 200}) {
            CFlickrPhoto* photo = m_manager->findOrAddPhoto(photoRecord(QString::number(t), t), 5);
            QVERIFY(photo);
            QVERIFY(post->addPhoto(photo));
            ids << photo->mediaItem().id;
        }
        QVERIFY(m_fx->db->deleteMediaItem(ids.at(2)));
        const QList<CFlickrPhoto*> photos = m_manager->photosOfPost(post);
        QCOMPARE(photos.size(), 2);
        QCOMPARE(photos.at(0)->mediaItem().id, ids.at(1));
        QCOMPARE(photos.at(1)->mediaItem().id, ids.at(0));
        QCOMPARE(post->created(), at(300));

        QPointer<CFlickrPhotoPost> oldPost = post;
        QPointer<CFlickrPhoto> oldPhoto = photos.at(0);
        QPointer<CFlickrUser> oldUser =
            m_manager->findOrAddUser(QStringLiteral("1@N01"), QStringLiteral("a"));
        QVERIFY(oldUser);
        m_manager->clear();
        QVERIFY(!oldPost && !oldPhoto && !oldUser);
        CFlickrPhotoPost* fresh = m_manager->photoPost(postId);
        QVERIFY(fresh);
        QCOMPARE(fresh->created(), at(300));
        QCOMPARE(m_manager->photosOfPost(fresh).size(), 2);
        QVERIFY(m_manager->findUser(QStringLiteral("1@N01")));
    }
};

QTEST_MAIN(TestFlickrObjects)
#include "tst_flickrobjects.moc"
