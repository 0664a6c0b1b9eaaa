// The Flickr sync records on a real media database.
#include "failingstorage.h"
#include "flickritems.h"
#include "flickrstoragefixture.h"
#include "flickrsync.h"

#include <QTest>

#include <algorithm>

class TestFlickrSync : public QObject
{
    Q_OBJECT
private:
    std::unique_ptr<FlickrStorageFixture> m_fx;

private slots:
    void init()
    {
        m_fx = std::make_unique<FlickrStorageFixture>();
        QVERIFY(m_fx->start(false));
    }
    void cleanup() { m_fx.reset(); }

    // A user's record holds every post of the user's last answer, the newest last; a post is held by
    // one user only. Stored records load each user's posts oldest first, whatever order the rows are in,
    // and a store that kept one post per user still loads.
    void syncRecords()
    {
        const mid_t u1 = 11;
        const mid_t u2 = 12;
        const mid_t newer = CFlickrPhotoPost::create(m_fx->db.get(), MeskProvider::Flickr, u1);
        const mid_t older = CFlickrPhotoPost::create(m_fx->db.get(), MeskProvider::Flickr, u1);
        const mid_t other = CFlickrPhotoPost::create(m_fx->db.get(), MeskProvider::Flickr, u2);
        for (const auto& [id, secs] : {std::pair{newer, 2000}, std::pair{older, 1000}}) {
            SMediaItem post;
            QVERIFY(m_fx->db->mediaItem(id, post));
            post.created = QDateTime::fromSecsSinceEpoch(secs);
            QVERIFY(m_fx->db->updateMediaItem(post));
        }
        QVERIFY(m_fx->db->setSyncRecords(MeskProvider::Flickr, {newer, older, other}, 0));

        CFlickrSync sync(MeskProvider::Flickr);
        sync.add(u1, older);
        sync.flush(); // no storage yet: nothing written
        QCOMPARE(m_fx->db->syncRecords(MeskProvider::Flickr).size(), 3);

        sync.load(m_fx->db.get());
        QCOMPARE(sync.records(), (QHash<mid_t, QList<mid_t>>{{u1, {older, newer}}, {u2, {other}}}));
        QCOMPARE(sync.event(u1), newer);
        sync.add(u2, newer); // held by u1
        sync.add(u1, older); // held already: stays where it is
        QCOMPARE(sync.events(u2), QList<mid_t>{other});
        QCOMPARE(sync.event(u1), newer);
        sync.remove(u1); // lets go of both
        sync.add(u2, newer);
        QCOMPARE(sync.events(u2), (QList<mid_t>{other, newer}));
        QCOMPARE(sync.event(u2), newer);
        sync.add(u1, older);
        sync.flush();
        QList<mid_t> stored;
        for (const SMediaItem& item : m_fx->db->syncRecords(MeskProvider::Flickr))
            stored.append(item.id);
        std::sort(stored.begin(), stored.end());
        QCOMPARE(stored, (QList<mid_t>{newer, older, other}));

        // The one-post-per-user form of an older store.
        QVERIFY(m_fx->db->setSyncRecords(MeskProvider::Flickr, {older, other}, 0));
        sync.load(m_fx->db.get());
        QCOMPARE(sync.records(), (QHash<mid_t, QList<mid_t>>{{u1, {older}}, {u2, {other}}}));

        sync.reset();
        QVERIFY(sync.records().isEmpty());
        QVERIFY(m_fx->db->syncRecords(MeskProvider::Flickr).isEmpty());
    }

    // Records that cannot be read are not none: nothing is written until they are read, so the
    // clean-up at exit keeps every listed post; a record set meanwhile is newer than the stored one.
    void unreadableRecordsWriteNothing()
    {
        const mid_t u1 = 11;
        const mid_t u2 = 12;
        const mid_t first = CFlickrPhotoPost::create(m_fx->db.get(), MeskProvider::Flickr, u1);
        const mid_t second = CFlickrPhotoPost::create(m_fx->db.get(), MeskProvider::Flickr, u2);
        QVERIFY(m_fx->db->setSyncRecords(MeskProvider::Flickr, {first, second}, 0));
        const mid_t fresh = CFlickrPhotoPost::create(m_fx->db.get(), MeskProvider::Flickr, u1);
        CFlickrSync sync(MeskProvider::Flickr);
        sync.load(m_fx->db.get());
        {
            FailingReads reads(QStringLiteral("FROM MEDIASYNC"));
            sync.add(u1, fresh);
            sync.flush();
            QVERIFY(reads.failed() > 0);
        }
        QVERIFY(m_fx->db->cleanup(false));
        QCOMPARE(m_fx->db->eventItems(MeskProvider::Flickr).size(), 2);
        QCOMPARE(sync.records(), (QHash<mid_t, QList<mid_t>>{{u1, {fresh}}, {u2, {second}}}));
    }
};

QTEST_MAIN(TestFlickrSync)
#include "tst_flickrsync.moc"
