// The sync list of the 20 newest statuses on the media database.
#include "failingstorage.h"
#include "mediadatabase.h"
#include "tempstorage.h"
#include "twittersync.h"

#include <QTest>

#include <algorithm>
#include <memory>

namespace {
const mid_t Twitter = 1;
const QDateTime T0(QDate(2009, 3, 1), QTime(10, 0), Qt::UTC);
} // namespace

class TestTwitterSync : public QObject
{
    Q_OBJECT
private:
    std::unique_ptr<TempStorageRoot> m_root;
    std::unique_ptr<CMediaDataBase> m_storage;
    int m_nextMediaId = 0;

    SMediaItem store(const QDateTime& created)
    {
        SMediaItem item;
        item.provider = Twitter;
        item.type = MeskItemType::Event1;
        item.created = created;
        item.content = QStringLiteral("status");
        item.mediaId = QString::number(++m_nextMediaId);
        if (!m_storage->addMediaItem(item))
            qFatal("item not stored");
        return item;
    }
    QList<mid_t> storedIds()
    {
        QList<mid_t> ids;
        for (const SMediaItem& item : m_storage->syncRecords(Twitter))
            ids.append(item.id);
        std::sort(ids.begin(), ids.end());
        return ids;
    }

private slots:
    void init()
    {
        m_root = std::make_unique<TempStorageRoot>();
        m_storage = std::make_unique<CMediaDataBase>(m_root->subPath(QStringLiteral("store")));
        QVERIFY(m_storage->open());
    }
    void cleanup()
    {
        m_storage.reset();
        m_root.reset();
    }

    // Records that cannot be read are not none: the list writes nothing until it has read them, so
    // the clean-up at exit keeps every listed event.
    void unreadableRecordsWriteNothing()
    {
        QList<mid_t> listed;
        for (int i = 0; i < 3; ++i)
            listed.append(store(T0.addSecs(60 * i)).id);
        QVERIFY(m_storage->setSyncRecords(Twitter, listed, 0));
        const SMediaItem fresh = store(T0.addSecs(3600));
        CTwitterSync sync(Twitter);
        sync.setStorage(m_storage.get());
        {
            FailingReads reads(QStringLiteral("FROM MEDIASYNC"));
            sync.add(fresh);
            QVERIFY(!sync.flush());
            QVERIFY(reads.failed() > 0);
        }
        QVERIFY(m_storage->cleanup(false));
        QCOMPARE(m_storage->eventItems(Twitter).size(), 3);
        // Read once they can be, with what was added meanwhile.
        sync.add(store(T0.addSecs(7200)));
        QVERIFY(sync.flush());
        QCOMPARE(storedIds().size(), 4);
    }

    void keepsNewest_data()
    {
        QTest::addColumn<int>("offset"); // seconds from the oldest of the 20
        QTest::addColumn<bool>("kept");
        QTest::newRow("older than all") << -60 << false;
        QTest::newRow("same second as the oldest, later id") << 0 << true;
        QTest::newRow("newer than all") << 3600 << true;
    }
    void keepsNewest()
    {
        QFETCH(int, offset);
        QFETCH(bool, kept);
        CTwitterSync sync(Twitter);
        sync.setStorage(m_storage.get());
        QList<SMediaItem> items;
        for (int i = 0; i < 20; ++i)
            items.append(store(T0.addSecs(60 * i)));
        // Added newest first, as a timeline page arrives; a second add of an id changes nothing.
        for (qsizetype i = items.size() - 1; i >= 0; --i)
            sync.add(items.at(i));
        sync.add(items.at(5));
        QCOMPARE(sync.count(), 20);
        QList<mid_t> before;
        for (const SMediaItem& item : items)
            before.append(item.id);
        QCOMPARE(sync.ids(), before);

        const SMediaItem extra = store(T0.addSecs(offset));
        sync.add(extra);
        QCOMPARE(sync.count(), 20);
        QCOMPARE(sync.ids().contains(extra.id), kept);
        QCOMPARE(sync.ids().contains(items.first().id), !kept);
    }

    // Statuses of the same second are all kept, and read back in (created, id) order.
    void flushAndReadBack()
    {
        CTwitterSync sync(Twitter);
        sync.add(store(T0)); // before a storage is set: kept, not written
        QVERIFY(!sync.flush());
        sync.setStorage(m_storage.get());
        const SMediaItem a = store(T0.addSecs(10));
        const SMediaItem b = store(T0.addSecs(10));
        const SMediaItem c = store(T0.addSecs(5));
        sync.add(b);
        sync.add(a);
        sync.add(c);
        QCOMPARE(sync.count(), 4);
        QCOMPARE(sync.ids().mid(1), (QList<mid_t>{c.id, a.id, b.id}));
        QVERIFY(sync.flush());
        QCOMPARE(storedIds().size(), 4);

        CTwitterSync again(Twitter);
        again.setStorage(m_storage.get());
        QCOMPARE(again.ids(), sync.ids());

        // Another provider's records are its own.
        CTwitterSync other(3);
        other.setStorage(m_storage.get());
        QCOMPARE(other.count(), 0);

        QVERIFY(again.reset());
        QCOMPARE(again.count(), 0);
        QVERIFY(storedIds().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestTwitterSync)
#include "tst_twittersync.moc"
