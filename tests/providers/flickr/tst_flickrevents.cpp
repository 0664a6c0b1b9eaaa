// Photo posts on a real media database: loading, gathering photos, the post's time.
#include "flickritems.h"
#include "flickrstoragefixture.h"

#include <QTest>

namespace {
QDateTime at(qint64 secs)
{
    return QDateTime::fromSecsSinceEpoch(secs, Qt::UTC);
}
} // namespace

class TestFlickrEvents : public QObject
{
    Q_OBJECT
private:
    std::unique_ptr<FlickrStorageFixture> m_fx;

    // A stored photo of the stand-in owner, uploaded at secs.
    mid_t addPhoto(const QString& id, qint64 secs)
    {
        SFlickrPhoto photo;
        photo.id = id;
        photo.owner = QStringLiteral("12345678@N00");
        photo.server = QStringLiteral("1234");
        photo.farm = QStringLiteral("2");
        photo.secret = QStringLiteral("ab");
        photo.dateUpload = QString::number(secs);
        return CFlickrPhoto::create(m_fx->api.get(), m_fx->db.get(), photo, MeskProvider::Flickr, 5);
    }

private slots:
    void init()
    {
        m_fx = std::make_unique<FlickrStorageFixture>();
        QVERIFY(m_fx->start(false));
    }
    void cleanup() { m_fx.reset(); }

    void loadRefusesOtherRows_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("message");
        QTest::newRow("image row") << int(MeskItemType::Image)
                                   << QStringLiteral("CFlickrPhotoPost: item type check failed while loading "
                                                     "from storage, must be ePhotoEventMediaItem");
        QTest::newRow("missing row") << 0
                                     << QStringLiteral("CFlickrPhotoPost: failed to load event from storage");
    }
    void loadRefusesOtherRows()
    {
        QFETCH(int, type);
        QFETCH(QString, message);
        const mid_t id = type ? m_fx->addItem(type, at(1000)) : 4711;
        QVERIFY(id);
        QTest::ignoreMessage(QtDebugMsg, qPrintable(message));
        QCOMPARE(CFlickrPhotoPost::load(m_fx->db.get(), id), nullptr);
    }

    void createdFollowsTheNewestPhoto()
    {
        const mid_t postId = CFlickrPhotoPost::create(m_fx->db.get(), MeskProvider::Flickr, 5);
        QVERIFY(postId);
        std::unique_ptr<CFlickrPhotoPost> post(CFlickrPhotoPost::load(m_fx->db.get(), postId));
        QVERIFY(post);
        QCOMPARE(post->created().toSecsSinceEpoch(), 0);
        QCOMPARE(post->mediaItem().type, MeskItemType::Event2);
        QCOMPARE(post->mediaItem().user, mid_t(5));

        const mid_t newer = addPhoto(QStringLiteral("2"), 1200000200);
        const mid_t older = addPhoto(QStringLiteral("1"), 1200000100);
        std::unique_ptr<CFlickrPhoto> p2(CFlickrPhoto::load(m_fx->api.get(), m_fx->db.get(), newer));
        std::unique_ptr<CFlickrPhoto> p1(CFlickrPhoto::load(m_fx->api.get(), m_fx->db.get(), older));
        QVERIFY(p1 && p2);
        QVERIFY(post->addPhoto(p2.get()));
        QVERIFY(post->addPhoto(p1.get()));

        // Both are children; the older photo did not move the post back.
        for (mid_t id : {newer, older})
            QCOMPARE(m_fx->storedItem(id).parent, postId);
        QCOMPARE(p1->mediaItem().parent, postId);
        QCOMPARE(post->created(), at(1200000200));
        QCOMPARE(m_fx->storedItem(postId).created, at(1200000200));
    }

    void photoItems_data()
    {
        QTest::addColumn<QList<qint64>>("imageTimes");
        QTest::addColumn<bool>("withVideo");
        QTest::addColumn<QList<qint64>>("expected");
        QTest::newRow("images and a video") << QList<qint64>{100, 300} << true << QList<qint64>{300, 100};
        QTest::newRow("equal times") << QList<qint64>{200, 200} << false << QList<qint64>{200, 200};
    }
    void photoItems()
    {
        QFETCH(QList<qint64>, imageTimes);
        QFETCH(bool, withVideo);
        QFETCH(QList<qint64>, expected);
        const mid_t postId = CFlickrPhotoPost::create(m_fx->db.get(), MeskProvider::Flickr, 5);
        std::unique_ptr<CFlickrPhotoPost> post(CFlickrPhotoPost::load(m_fx->db.get(), postId));
        QVERIFY(post);
        QList<mid_t> images;
        for (qint64 t : imageTimes)
            images << m_fx->addItem(MeskItemType::Image, at(t), postId);
        if (withVideo)
            QVERIFY(m_fx->addItem(MeskItemType::Video, at(500), postId));
        m_fx->addItem(MeskItemType::Image, at(900)); // not a child

        const QList<SMediaItem> items = post->photoItems();
        QList<qint64> times;
        QSet<mid_t> ids;
        for (const SMediaItem& item : items) {
            times << item.created.toSecsSinceEpoch();
            ids.insert(item.id);
        }
        QCOMPARE(times, expected);
        QCOMPARE(ids, QSet<mid_t>(images.cbegin(), images.cend()));
        QCOMPARE(post->photoCount(), int(imageTimes.size()) + (withVideo ? 1 : 0));
    }
};

QTEST_GUILESS_MAIN(TestFlickrEvents)
#include "tst_flickrevents.moc"
