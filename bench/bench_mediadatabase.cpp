// How fast the storage stores, finds and cleans up as it fills. A "post" is what a provider stores
// for one feed entry: an event with four fields and one child photo.
//
// ingest    posts stored as a provider stores them (look-up by media id, then the event with its
//           fields and its child, one batch per 100 posts) against the same rows written by
//           prepared QtSql INSERTs in one transaction, at 1,000 and at 10,000 posts already stored
// look-up   1,000 itemByMediaId at 10,000 stored
// clean-up  5,000 posts with one file each, all expired, through cleanup()
// sync list one provider's sync list of 10,000 posts read back (as a provider does at start)
// expiry    the end-of-run clean-up of 10,000 posts with one file each, of which 9,500 expire
// shutdown  the engine's end-of-run clean-up with 10,000 stored posts of which 5,000 expire
//
// Each prints the build type and a table; none of the figures is a limit.
#include "benchsupport.h"
#include "fakemodem.h"
#include "fakenetworkbackend.h"
#include "imesksms.h"
#include "mediadatabase.h"
#include "mediastoragebatch.h"
#include "meskengine.h"
#include "mesknetworkbackends.h"
#include "meskprovidermanager.h"
#include "tempstorage.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTest>

#include <algorithm>
#include <cstdio>
#include <memory>

namespace {

using BenchSupport::buildType;
using BenchSupport::median;
const QDateTime firstDay{QDate(2009, 11, 1), QTime(0, 0)};

// Posts spread over three days, so a day folder holds about a third of their files; shift moves them
// that many days later.
SMediaItem postEvent(int i, int total, int shift = 0)
{
    SMediaItem item;
    item.provider = 1 + mid_t(i % 3);
    item.type = 1 + i % 4;
    item.created = firstDay.addDays(shift).addSecs(qint64(i) * (3 * 86400 / qMax(total, 1)));
    item.mediaId = QString::number(1000000 + i);
    item.content =
        QStringLiteral("Status number %1 with some text, a link http://example.com/%1 and 50% more").arg(i);
    return item;
}

SMediaItem postChild(const SMediaItem& event, int i)
{
    SMediaItem child = event;
    child.type = MeskItemType::Image;
    child.parent = event.id;
    child.mediaId = QStringLiteral("p%1").arg(i);
    child.content = QStringLiteral("http://example.com/photo/%1.jpg").arg(i);
    return child;
}

QHash<QString, QString> postFields(int i)
{
    return {{QStringLiteral("likes"), QString::number(i % 50)},
            {QStringLiteral("comments"), QString::number(i % 7)},
            {QStringLiteral("permalink"), QStringLiteral("http://example.com/p/%1").arg(i)},
            {QStringLiteral("source"), QStringLiteral("web")}};
}

// Stores posts [from, to) the way a provider does; with a file, writes one downloaded file per post.
bool storePosts(IMediaItemStorage* db, int from, int to, int total, bool withFile = false,
                QList<mid_t>* events = nullptr, int shift = 0)
{
    for (int start = from; start < to; start += 100) {
        CMediaStorageBatch batch(db);
        for (int i = start; i < qMin(to, start + 100); ++i) {
            SMediaItem event = postEvent(i, total, shift);
            if (!db->itemByMediaId(event.provider, event.mediaId).isEmpty())
                continue;
            if (!db->addMediaItem(event, postFields(i)))
                return false;
            SMediaItem child = postChild(event, i);
            if (!db->addMediaItem(child))
                return false;
            if (events)
                events->append(event.id);
            if (withFile) {
                QFile file(db->itemFilePath(event, QStringLiteral("jpg")));
                if (!file.open(QIODevice::WriteOnly) || file.write(QByteArray(512, 'j')) != 512)
                    return false;
            }
        }
        if (!batch.end())
            return false;
    }
    return true;
}

// The same rows through prepared QtSql INSERTs in one transaction, with nothing looked up.
bool storeRaw(const QString& file, int from, int to, int total)
{
    const QString name = QStringLiteral("raw");
    bool ok = true;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(file);
        ok = db.open();
        QSqlQuery pragma(db);
        pragma.exec(QStringLiteral("PRAGMA journal_mode=WAL;"));
        pragma.exec(QStringLiteral("PRAGMA synchronous=NORMAL;"));
        QSqlQuery item(db);
        QSqlQuery field(db);
        ok = ok && db.transaction() &&
             item.prepare(QStringLiteral(
                 "INSERT INTO MEDIAITEMS (PROVIDER, PARENT, USER, CREATED, CONTENT, MEDIAID, TYPE, ADDED, "
                 "EXTRA1, EXTRA2, EXTRA3) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?);")) &&
             field.prepare(
                 QStringLiteral("INSERT INTO MEDIAITEMFIELDS (ITEM, FIELD, VALUE) VALUES (?, ?, ?);"));
        const auto insert = [&item](const SMediaItem& row, qint64 parent) {
            const QVariantList values{qint64(row.provider),
                                      parent,
                                      0,
                                      row.created.toSecsSinceEpoch(),
                                      row.content,
                                      row.mediaId,
                                      row.type,
                                      row.created.toSecsSinceEpoch(),
                                      QString(),
                                      QString(),
                                      QString()};
            for (int v = 0; v < values.size(); ++v)
                item.bindValue(v, values.at(v));
            return item.exec() ? item.lastInsertId().toLongLong() : qint64(-1);
        };
        for (int i = from; ok && i < to; ++i) {
            const SMediaItem event = postEvent(i, total);
            const qint64 id = insert(event, 0);
            ok = id > 0;
            const QHash<QString, QString> fields = postFields(i);
            for (auto it = fields.cbegin(); ok && it != fields.cend(); ++it) {
                field.bindValue(0, id);
                field.bindValue(1, it.key());
                field.bindValue(2, it.value());
                ok = field.exec();
            }
            ok = ok && insert(postChild(event, i), id) > 0;
        }
        ok = ok && db.commit();
        item.finish();
        field.finish();
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return ok;
}

void printRow(const char* format, auto... values)
{
    std::printf(format, values...);
    std::fflush(stdout);
}
} // namespace

class BenchMediaDataBase : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QCoreApplication::setOrganizationName(QStringLiteral("Velto"));
        QCoreApplication::setApplicationName(QStringLiteral("Velto Lumesk"));
    }

    void ingest()
    {
        constexpr int batchPosts = 5000;
        printRow("\ningest (%s build): %d posts stored on top of those already there\n", buildType(),
                 batchPosts);
        printRow("%10s %14s %14s %8s %14s\n", "stored", "storage p/s", "raw QtSql p/s", "ratio",
                 "us per post");
        {
            // Untimed: loads the driver and warms the caches, so the first row is not the slowest.
            TempStorageRoot root;
            CMediaDataBase db(root.subPath(QStringLiteral("warm-up")));
            QVERIFY(db.open());
            QVERIFY(storePosts(&db, 0, batchPosts, batchPosts));
            QVERIFY(storeRaw(db.databasePath(), batchPosts, 2 * batchPosts, 2 * batchPosts));
        }
        for (int stored : {1000, 10000}) {
            TempStorageRoot root;
            CMediaDataBase db(root.subPath(QStringLiteral("provider")));
            QVERIFY(db.open());
            QVERIFY(storePosts(&db, 0, stored, stored + batchPosts));
            CMediaDataBase rawFile(root.subPath(QStringLiteral("raw")));
            QVERIFY(rawFile.open());
            QVERIFY(storePosts(&rawFile, 0, stored, stored + batchPosts));

            QElapsedTimer timer;
            timer.start();
            QVERIFY(storePosts(&db, stored, stored + batchPosts, stored + batchPosts));
            const double storage = timer.nsecsElapsed() / 1e9;
            timer.restart();
            QVERIFY(storeRaw(rawFile.databasePath(), stored, stored + batchPosts, stored + batchPosts));
            const double raw = timer.nsecsElapsed() / 1e9;
            printRow("%10d %14.0f %14.0f %8.2f %14.1f\n", stored, batchPosts / storage, batchPosts / raw,
                     raw / storage, storage * 1e6 / batchPosts);
        }
    }

    void lookup()
    {
        TempStorageRoot root;
        CMediaDataBase db(root.subPath(QStringLiteral("mstorage")));
        QVERIFY(db.open());
        QVERIFY(storePosts(&db, 0, 10000, 10000));
        QElapsedTimer timer;
        timer.start();
        int found = 0;
        for (int n = 0; n < 1000; ++n) {
            const SMediaItem event = postEvent((n * 7) % 10000, 10000);
            found += int(db.itemByMediaId(event.provider, event.mediaId).size());
        }
        const double seconds = timer.nsecsElapsed() / 1e9;
        QCOMPARE(found, 1000);
        printRow("\nlook-up (%s build): itemByMediaId at 10,000 stored posts\n", buildType());
        printRow("%10s %12s %14s\n", "look-ups", "seconds", "us each");
        printRow("%10d %12.3f %14.1f\n", 1000, seconds, seconds * 1e6 / 1000);
    }

    void cleanUpExpired()
    {
        TempStorageRoot root;
        CMediaDataBase db(root.subPath(QStringLiteral("mstorage")));
        QVERIFY(db.open());
        QVERIFY(storePosts(&db, 0, 5000, 5000, true));
        QElapsedTimer timer;
        timer.start();
        QVERIFY(db.cleanup(false));
        const double seconds = timer.nsecsElapsed() / 1e9;
        QVERIFY(db.providerItems(0).isEmpty());
        printRow("\nclean-up (%s build): every post expired, one file each, three day folders\n",
                 buildType());
        printRow("%10s %12s %14s\n", "posts", "seconds", "us per post");
        printRow("%10d %12.3f %14.1f\n", 5000, seconds, seconds * 1e6 / 5000);
    }

    // Read once per run from a storage of its own, as a provider reads it at start: no date read
    // back is one an earlier run has read.
    void syncListRead()
    {
        constexpr int posts = 10000;
        constexpr int runs = 5;
        QList<double> times;
        for (int run = 0; run < runs; ++run) {
            TempStorageRoot root;
            CMediaDataBase db(root.subPath(QStringLiteral("mstorage")));
            QVERIFY(db.open());
            QList<mid_t> events;
            QVERIFY(storePosts(&db, 0, posts, posts, false, &events, 10 * (run + 1)));
            QVERIFY(db.setSyncRecords(1, events, 336));
            QElapsedTimer timer;
            timer.start();
            const QList<SMediaItem> records = db.syncRecords(1);
            times.append(timer.nsecsElapsed() / 1e6);
            QCOMPARE(records.size(), posts);
        }
        printRow("\nsync list (%s build): one provider's sync list read back, median of %d\n", buildType(),
                 runs);
        printRow("%10s %12s %14s\n", "records", "ms", "us per record");
        printRow("%10d %12.2f %14.2f\n", posts, median(times), median(times) * 1e3 / posts);
    }

    // The storage's part of the end of a run: most of the feed has left its service's lists. With
    // files, their removal (one per expiring post) is part of it.
    void expiry()
    {
        constexpr int posts = 10000;
        constexpr int kept = 500;
        constexpr int runs = 5;
        printRow("\nexpiry (%s build): clean-up of %d stored posts, %d expire, median of %d\n", buildType(),
                 posts, posts - kept, runs);
        printRow("%10s %10s %12s %14s\n", "expired", "files", "ms", "us per post");
        for (bool withFiles : {false, true}) {
            QList<double> times;
            for (int run = 0; run < runs; ++run) {
                TempStorageRoot root;
                CMediaDataBase db(root.subPath(QStringLiteral("mstorage")));
                QVERIFY(db.open());
                QList<mid_t> events;
                QVERIFY(storePosts(&db, 0, posts, posts, withFiles, &events));
                QList<mid_t> listed;
                for (qsizetype i = 0; i < events.size(); i += posts / kept)
                    listed.append(events[i]);
                QVERIFY(db.setSyncRecords(1, listed, 0));
                QElapsedTimer timer;
                timer.start();
                QVERIFY(db.cleanup(false));
                times.append(timer.nsecsElapsed() / 1e6);
                QCOMPARE(db.eventItems(0).size(), kept);
            }
            printRow("%10d %10s %12.1f %14.1f\n", posts - kept, withFiles ? "one each" : "none",
                     median(times), median(times) * 1e3 / (posts - kept));
        }
    }

    // What the program does after its window closes, while the next start would find it running.
    void shutdown()
    {
        TempStorageRoot root;
        MeskNetworkBackends::setFactory([] {
            SMeskNetworkBackends backends;
            backends.network = std::make_unique<FakeNetworkBackend>();
            backends.modem = std::make_unique<FakeModem>();
            return backends;
        });
        CMeskProviderManager::setProviderFactories({});
        MeskSmsFactories::setSmsEngineFactory({});
        MeskSmsFactories::setContactsReaderFactory({});
        {
            CMediaDataBase db(root.dataHome() + QStringLiteral("/Velto/Velto Lumesk/mstorage"));
            QVERIFY(db.open());
            QList<mid_t> events;
            QVERIFY(storePosts(&db, 0, 10000, 10000, true, &events));
            // Every other post is still listed by its service; the rest expire.
            QList<mid_t> listed;
            for (qsizetype i = 0; i < events.size(); i += 2)
                listed.append(events[i]);
            QVERIFY(db.setSyncRecords(1, listed, 0));
        }
        auto engine = std::make_unique<CMeskEngine>();
        QVERIFY(engine->init());
        QElapsedTimer timer;
        timer.start();
        engine->cleanupStorage();
        const double seconds = timer.nsecsElapsed() / 1e9;
        QCOMPARE(engine->mediaEvents().size(), 5000);
        engine.reset();
        MeskNetworkBackends::setFactory({});
        printRow("\nshutdown (%s build): end-of-run clean-up, 10,000 stored posts, 5,000 expire\n",
                 buildType());
        printRow("%10s %12s\n", "expired", "seconds");
        printRow("%10d %12.3f\n", 5000, seconds);
    }
};

QTEST_GUILESS_MAIN(BenchMediaDataBase)
#include "bench_mediadatabase.moc"
