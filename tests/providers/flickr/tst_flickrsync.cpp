// The Flickr sync records on a real media database.
#include "failingstorage.h"
#include "flickritems.h"
#include "flickrstoragefixture.h"
#include "flickrsync.h"

#include <QTest>

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

    void syncRecords()
    {
        const mid_t u1 = 11;
        const mid_t u2 = 12;
        const mid_t older = CFlickrPhotoPost::create(m_fx->db.get(), MeskProvider::Flickr, u1);
        const mid_t newer = CFlickrPhotoPost::create(m_fx->db.get(), MeskProvider::Flickr, u1);
        const mid_t other = CFlickrPhotoPost::create(m_fx->db.get(), MeskProvider::Flickr, u2);
        QVERIFY(m_fx->db->setSyncRecords(MeskProvider::Flickr, {older, newer, other}, 0));

        CFlickrSync sync(MeskProvider::Flickr);
        sync.add(u1, older);
        sync.flush(); // no storage yet: nothing written
        QCOMPARE(m_fx->db->syncRecords(MeskProvider::Flickr).size(), 3);

        sync.load(m_fx->db.get());
        QCOMPARE(sync.records(), (QHash<mid_t, mid_t>{{u1, newer}, {u2, other}}));
        sync.add(u2, newer); // held by u1
        QCOMPARE(sync.event(u2), other);
        sync.add(u2, older); // u1 let go of it when it took the newer post
        QCOMPARE(sync.event(u2), older);
        sync.add(u1, other); // u2 let go of it just now
        QCOMPARE(sync.event(u1), other);
        sync.add(u2, other); // held by u1 again
        QCOMPARE(sync.event(u2), older);
        sync.add(u1, newer);
        sync.remove(u2);
        sync.flush();
        const QList<SMediaItem> stored = m_fx->db->syncRecords(MeskProvider::Flickr);
        QCOMPARE(stored.size(), 1);
        QCOMPARE(stored.at(0).id, newer);

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
        QCOMPARE(sync.records(), (QHash<mid_t, mid_t>{{u1, fresh}, {u2, second}}));
    }
};

QTEST_MAIN(TestFlickrSync)
#include "tst_flickrsync.moc"
