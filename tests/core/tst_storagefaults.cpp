#include "faultvfs.h"
#include "mediadatabase.h"
#include "mediadbtest.h"
#include "mediastoragebatch.h"
#include "testclock.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

// The storage with each read, write, sync and truncation of its files failing in turn: a script of
// what one run does (open, store events and a text message with its note, write the sync list, read
// fields, clean up at exit, close) runs once untouched to count the operations, then once for each
// operation failing (once, or from it on). After each: the failure was told (or the open failed),
// nothing that existed before and outlives the untouched run is gone, what the script was told was
// stored is there, and the next open checks the whole file.

using namespace MediaDbTest;

namespace {

const QDateTime Now(QDate(2025, 3, 1), QTime(12, 0), Qt::UTC);

// What one run of the script saw.
struct SRun
{
    bool told = false;       // storageFailed() was emitted, or the open failed
    int beforeClose = 0;     // counted operations when the storage began to close
    QSet<mid_t> storedItems; // what the script was told was stored
    QSet<mid_t> storedMessages;
};

// Every row of the tables the script touches, as text, and every file below the root but the
// database's own.
QSet<QString> state(const QString& root)
{
    QSet<QString> all;
    const QString file = root + QStringLiteral("/mindex.db");
    for (const char* table : {"MEDIAITEMS", "MEDIAITEMFIELDS", "MEDIASMSMESSAGES", "MEDIASMSONMODEM",
                              "MEDIASYNC", "SERVICEKEYS", "SERVICEUSERS"}) {
        for (const QVariantList& row :
             rows(file, QStringLiteral("SELECT ROWID, * FROM %1").arg(QLatin1String(table)))) {
            QStringList values;
            for (const QVariant& value : row)
                values << value.toString();
            all.insert(QLatin1String(table) + QLatin1Char('|') + values.join(QLatin1Char('|')));
        }
    }
    QDirIterator it(root, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        if (!QFileInfo(path).fileName().startsWith(QLatin1String("mindex.")))
            all.insert(QStringLiteral("file|") + path.mid(root.size()));
    }
    return all;
}

// Makes the files below to those below from. Folders stay (removing one costs more than the run).
bool copyTree(const QString& from, const QString& to)
{
    QDirIterator old(to, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (old.hasNext()) {
        if (!QFile::remove(old.next()))
            return false;
    }
    QDirIterator it(from, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QString target = to + path.mid(from.size());
        // Not QFile::copy(), which syncs each copy to the disk.
        QFile source(path);
        QFile copy(target);
        if (!QDir().mkpath(QFileInfo(target).path()) || !source.open(QIODevice::ReadOnly) ||
            !copy.open(QIODevice::WriteOnly) || copy.write(source.readAll()) != source.size())
            return false;
    }
    return true;
}

bool writeFile(const QString& path)
{
    if (!QDir().mkpath(QFileInfo(path).path()))
        return false;
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write("image") == 5;
}

SMediaItem makeEvent(const QString& content, const QDateTime& created)
{
    SMediaItem item;
    item.provider = MeskProvider::Twitter;
    item.type = 1;
    item.content = content;
    item.created = created;
    item.added = created;
    return item;
}

// The store before the run: an event the sync list keeps (with a file), one it does not (with a file:
// the untouched run's clean-up removes both), a text message with its note, a service key.
bool makeStore(const QString& root, mid_t& listed)
{
    CMediaDataBase db(root);
    if (!db.open())
        return false;
    SMediaItem kept = makeEvent(QStringLiteral("kept"), Now.addDays(-3));
    SMediaItem old = makeEvent(QStringLiteral("old"), Now.addDays(-30));
    SSmsMessage message;
    message.phone = QStringLiteral("+123");
    message.message = QStringLiteral("before");
    message.created = Now.addDays(-2);
    if (!db.addMediaItem(kept, {{QStringLiteral("text"), QStringLiteral("kept")}}) ||
        !db.addMediaItem(old, {{QStringLiteral("text"), QStringLiteral("old")}}) ||
        !db.addSmsMessage(message) ||
        !db.setServiceKey(MeskProvider::Twitter, QStringLiteral("token"), QStringLiteral("secret")) ||
        !db.setSyncRecords(MeskProvider::Twitter, {kept.id}, 0))
        return false;
    SSmsOnModem note;
    note.message = message.id;
    note.phone = message.phone;
    note.text = message.message;
    if (!db.addSmsOnModem(note))
        return false;
    listed = kept.id;
    return writeFile(db.itemFilePath(kept, QStringLiteral("jpg"))) &&
           writeFile(db.itemFilePath(old, QStringLiteral("jpg")));
}

// One run of the program's storage, as the engine and the providers use it.
SRun runScript(const QString& root, mid_t listed, const FaultVfs& vfs)
{
    SRun run;
    {
        CMediaDataBase db(root);
        QObject::connect(&db, &IMediaItemStorage::storageFailed, [&run] { run.told = true; });
        if (!db.open()) {
            run.told = true;
            run.beforeClose = vfs.count();
            return run;
        }
        // An answer of two events with their fields, and a file of one, as a provider stores them.
        SMediaItem first = makeEvent(QStringLiteral("first"), Now.addSecs(-60));
        SMediaItem second = makeEvent(QStringLiteral("second"), Now.addSecs(-30));
        {
            CMediaStorageBatch batch(&db);
            db.addMediaItem(first, {{QStringLiteral("text"), QStringLiteral("first")}});
            db.addMediaItem(second, {{QStringLiteral("text"), QStringLiteral("second")}});
            if (batch.end()) {
                run.storedItems << first.id << second.id;
                writeFile(db.itemFilePath(first, QStringLiteral("jpg")));
            }
        }
        // A text message that arrived, with the note that the modem still holds it.
        {
            SSmsMessage message;
            message.phone = QStringLiteral("+456");
            message.message = QStringLiteral("arrived");
            message.created = Now.addSecs(-10);
            CMediaStorageBatch batch(&db);
            SSmsOnModem note;
            if (db.addSmsMessage(message)) {
                note.message = message.id;
                note.phone = message.phone;
                note.text = message.message;
                db.addSmsOnModem(note);
            }
            if (batch.end())
                run.storedMessages << message.id;
        }
        // The sync list: what the provider keeps.
        QList<mid_t> list{listed};
        for (mid_t id : std::as_const(run.storedItems))
            list << id;
        db.setSyncRecords(MeskProvider::Twitter, list, 0);
        // The window's reads.
        QHash<QString, QString> fields;
        db.mediaItemFields(listed, fields);
        db.eventItems(MeskProvider::Twitter);
        db.smsMessages();
        // The exit's clean-up, which the engine withholds once anything failed.
        if (!run.told)
            db.cleanup(false);
        run.beforeClose = vfs.count();
    }
    return run;
}

} // namespace

class TestStorageFaults : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TestClock> m_clock;
    // Every connection of the test goes through it (and so syncs nothing to the disk).
    std::unique_ptr<FaultVfs> m_vfs;
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_template;
    mid_t m_listed = 0;
    QSet<QString> m_before;
    QSet<QString> m_untouched;

private slots:
    void initTestCase()
    {
        m_clock = std::make_unique<TestClock>(Now);
        m_vfs = std::make_unique<FaultVfs>();
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        m_template = m_dir->path() + QStringLiteral("/template");
        QVERIFY(makeStore(m_template, m_listed));
        QVERIFY(QFileInfo::exists(m_template + QStringLiteral("/mindex.clean")));
        m_before = state(m_template);
        const QString untouched = m_dir->path() + QStringLiteral("/untouched");
        QVERIFY(copyTree(m_template, untouched));
        m_vfs->failAt(0, FaultVfs::Any);
        const SRun run = runScript(untouched, m_listed, *m_vfs);
        QVERIFY(!run.told);
        QCOMPARE(run.storedItems.size(), 2);
        QCOMPARE(run.storedMessages.size(), 1);
        m_untouched = state(untouched);
        // The untouched run removed the event no list keeps, with its file.
        QVERIFY(!(m_before - m_untouched).isEmpty());
        CMediaDataBase next(untouched);
        QVERIFY(next.open());
        QVERIFY(!next.checkedPagesAtOpen());
    }

    void cleanupTestCase()
    {
        m_dir.reset();
        m_vfs.reset();
        m_clock.reset();
    }

    void eachOperationFails_data()
    {
        QTest::addColumn<int>("operations"); // FaultVfs::Operation mask
        QTest::addColumn<int>("fault");      // FaultVfs::Fault
        QTest::addColumn<bool>("persistent");
        QTest::addColumn<int>("stride"); // every stride-th operation
        const int io = int(FaultVfs::Fault::IoError);
        QTest::newRow("each write, sync or truncation, once") << int(FaultVfs::AnyWrite) << io << false << 1;
        QTest::newRow("writes, disk full once")
            << int(FaultVfs::Write) << int(FaultVfs::Fault::DiskFull) << false << 2;
        QTest::newRow("writes, syncs and truncations, from one on")
            << int(FaultVfs::AnyWrite) << io << true << 3;
        QTest::newRow("writes, disk full from one on")
            << int(FaultVfs::AnyWrite) << int(FaultVfs::Fault::DiskFull) << true << 4;
        QTest::newRow("reads, once") << int(FaultVfs::Read) << io << false << 3;
        QTest::newRow("reads, from one on") << int(FaultVfs::Read) << io << true << 5;
    }
    void eachOperationFails()
    {
        QFETCH(int, operations);
        QFETCH(int, fault);
        QFETCH(bool, persistent);
        QFETCH(int, stride);
        // How many such operations the untouched script makes.
        int total = 0;
        {
            const QString counted = m_dir->path() + QStringLiteral("/counted");
            QVERIFY(copyTree(m_template, counted));
            m_vfs->failAt(0, operations);
            runScript(counted, m_listed, *m_vfs);
            total = m_vfs->count();
            QVERIFY(QDir(counted).removeRecursively());
        }
        QVERIFY(total > 0);
        int told = 0;
        for (int n = 1; n <= total; n += stride) {
            const QString root = m_dir->path() + QStringLiteral("/run");
            QVERIFY(copyTree(m_template, root));
            m_vfs->failAt(n, operations, FaultVfs::Fault(fault), persistent);
            const SRun run = runScript(root, m_listed, *m_vfs);
            const int failed = m_vfs->failed();
            m_vfs->failAt(0, 0);
            const QByteArray where =
                QByteArray("operation ") + QByteArray::number(n) + " of " + QByteArray::number(total);
            if (failed == 0)
                continue;
            // A failure before the storage began to close is told; one while it closes cannot be.
            if (n <= run.beforeClose)
                QVERIFY2(run.told, where.constData());
            told += run.told ? 1 : 0;
            {
                CMediaDataBase next(root);
                QVERIFY2(next.open(), where.constData());
                // Nothing vouches for a file a failure met: the next open checks all of it.
                QVERIFY2(next.checkedPagesAtOpen(), where.constData());
            }
            const QSet<QString> after = state(root);
            const QSet<QString> lost = (m_before & m_untouched) - after;
            QVERIFY2(lost.isEmpty(),
                     (where + ": lost " + QStringList(lost.values()).join(u' ').toUtf8()).constData());
            // What the script was told was stored is there (the sync list or the clean-up may have failed:
            // nothing of this run is removed for it).
            for (mid_t id : std::as_const(run.storedItems)) {
                QVERIFY2(value(root + QStringLiteral("/mindex.db"),
                               QStringLiteral("SELECT COUNT(*) FROM MEDIAITEMS WHERE ROWID = %1").arg(id))
                                 .toInt() == 1,
                         where.constData());
            }
            for (mid_t id : std::as_const(run.storedMessages)) {
                QVERIFY2(
                    value(root + QStringLiteral("/mindex.db"),
                          QStringLiteral("SELECT COUNT(*) FROM MEDIASMSMESSAGES WHERE ROWID = %1").arg(id))
                            .toInt() == 1,
                    where.constData());
            }
        }
        qInfo("%d operations, every %d failed, %d failures told", total, stride, told);
        QVERIFY(told > 0);
    }

    // What counts as a failure of a write: one the device refuses, a commit that fails (in write-ahead-log
    // mode with no code); not one a constraint refuses, which leaves the file as it was. (Reads: above.) At
    // the open, a write the device refuses fails the open as a write, by SQLite's extended code: switching a
    // new file to the write-ahead log (once, or with every sync refused), or adding an index an older file
    // lacks.
    void whatIsAFailure_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<bool>("failure");
        QTest::newRow("constraint") << QStringLiteral("constraint") << false;
        QTest::newRow("write") << QStringLiteral("write") << true;
        QTest::newRow("commit") << QStringLiteral("commit") << true;
        QTest::newRow("journal mode at a first start") << QStringLiteral("journal mode") << true;
        QTest::newRow("syncs at a first start") << QStringLiteral("syncs") << true;
        QTest::newRow("index at the open") << QStringLiteral("index") << true;
    }
    void whatIsAFailure()
    {
        QFETCH(QString, how);
        QFETCH(bool, failure);
        const QString root = m_dir->path() + QStringLiteral("/failure");
        QVERIFY(copyTree(m_template, root));
        const QString file = root + QStringLiteral("/mindex.db");
        if (how == QLatin1String("journal mode") || how == QLatin1String("syncs") ||
            how == QLatin1String("index")) {
            const QString first = m_dir->path() + QStringLiteral("/first");
            const QString opened = how == QLatin1String("index") ? root : first;
            const QString openedFile = opened + QStringLiteral("/mindex.db");
            if (how == QLatin1String("index")) {
                bool ok = false;
                run(file, {QStringLiteral("DROP INDEX MEDIAITEMS_PARENT")}, &ok);
                QVERIFY(ok);
            } else {
                QVERIFY(!QFileInfo::exists(first) || QDir(first).removeRecursively());
            }
            {
                CMediaDataBase db(opened);
                m_vfs->failAt(1, how == QLatin1String("syncs") ? FaultVfs::Sync : FaultVfs::Write,
                              FaultVfs::Fault::IoError, how != QLatin1String("journal mode"));
                const bool ok = db.open();
                const int failed = m_vfs->failed();
                m_vfs->failAt(0, 0);
                QVERIFY(!ok);
                QVERIFY(failed > 0);
                QCOMPARE(db.openFailure().kind, TMeskStorageFailure::Kind::FileNotWritable);
                QCOMPARE(db.openFailure().path, openedFile);
                QCOMPARE(db.openFailure().detail, QStringLiteral("disk I/O error"));
            }
            // With the device well again the store opens, in write-ahead-log mode.
            CMediaDataBase db(opened);
            QVERIFY(db.open());
            QCOMPARE(value(openedFile, QStringLiteral("PRAGMA journal_mode")).toString(),
                     QStringLiteral("wal"));
            return;
        }
        if (how == QLatin1String("constraint")) {
            bool ok = false;
            run(file,
                {QStringLiteral("CREATE TRIGGER refuse BEFORE INSERT ON MEDIAITEMS BEGIN SELECT RAISE(ABORT, "
                                "'refused'); END")},
                &ok);
            QVERIFY(ok);
        }
        QList<TMeskStorageFailure> told;
        {
            CMediaDataBase db(root);
            QObject::connect(&db, &IMediaItemStorage::storageFailed,
                             [&told](const TMeskStorageFailure& f) { told << f; });
            QVERIFY(db.open());
            SMediaItem item = makeEvent(QStringLiteral("new"), Now);
            if (how == QLatin1String("commit")) {
                // The batch's statements are written at its commit, which the device refuses.
                m_vfs->failAt(1, FaultVfs::AnyWrite, FaultVfs::Fault::IoError, true);
                CMediaStorageBatch batch(&db);
                QVERIFY(db.addMediaItem(item));
                QVERIFY(!batch.end());
            } else {
                if (how == QLatin1String("write"))
                    m_vfs->failAt(1, FaultVfs::AnyWrite, FaultVfs::Fault::IoError, true);
                QVERIFY(!db.addMediaItem(item));
            }
            QVERIFY(how == QLatin1String("constraint") || m_vfs->failed() > 0);
            m_vfs->failAt(0, 0);
        }
        QCOMPARE(told.size(), failure ? 1 : 0);
        if (failure) {
            QCOMPARE(told.first().kind, TMeskStorageFailure::Kind::NotSaved);
            QCOMPARE(told.first().path, file);
            QVERIFY(!told.first().detail.isEmpty());
        }
        // Only a run without a failure vouches for the file.
        QCOMPARE(QFileInfo::exists(root + QStringLiteral("/mindex.clean")), !failure);
    }
};

QTEST_GUILESS_MAIN(TestStorageFaults)
#include "tst_storagefaults.moc"
