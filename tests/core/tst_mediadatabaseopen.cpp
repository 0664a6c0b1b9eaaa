#include "failingstorage.h"
#include "mediadatabase.h"
#include "mediadatabaseopen.h"
#include "mediadbtest.h"
#include "privatemounts.h"
#include "testclock.h"
#include "unlinkfaults.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <sqlite3.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

// How the media database opens a store, checks it, and rebuilds or recovers it: what it keeps, moves
// aside or removes of the files it finds.

using namespace MediaDbTest;

namespace {
// Set in a child that runs one row in a private mount namespace: the storage root, whose items folder
// is a mount point there.
constexpr char kMountedRootVariable[] = "LUMESK_TST_MOUNTED_ROOT";

const QStringList schemaTables{QStringLiteral("MEDIAITEMFIELDS"),   QStringLiteral("MEDIAITEMS"),
                               QStringLiteral("MEDIASMSMESSAGES"),  QStringLiteral("MEDIASMSONMODEM"),
                               QStringLiteral("MEDIASYNC"),         QStringLiteral("SERVICEKEYS"),
                               QStringLiteral("SERVICEUSERFIELDS"), QStringLiteral("SERVICEUSERS")};

// A database as this program writes it, with one text message, for the schema-check cases.
QStringList schemaStatements()
{
    return {
        QStringLiteral("CREATE TABLE SERVICEKEYS (PROVIDER INTEGER, KEY TEXT, VALUE TEXT);"),
        QStringLiteral(
            "CREATE TABLE SERVICEUSERS (PROVIDER INTEGER, NAME TEXT, MEDIAID TEXT, URL TEXT, AVATAR TEXT, "
            "TYPE INTEGER, EXTRA1 TEXT, EXTRA2 TEXT, EXTRA3 TEXT);"),
        QStringLiteral("CREATE TABLE SERVICEUSERFIELDS (USER INTEGER, FIELD TEXT, VALUE TEXT);"),
        QStringLiteral(
            "CREATE TABLE MEDIAITEMS (PROVIDER INTEGER, PARENT INTEGER, USER INTEGER, CREATED INTEGER, "
            "CONTENT TEXT, MEDIAID TEXT, TYPE INTEGER, ADDED INTEGER, EXTRA1 TEXT, EXTRA2 TEXT, EXTRA3 "
            "TEXT);"),
        QStringLiteral("CREATE TABLE MEDIAITEMFIELDS (ITEM INTEGER, FIELD TEXT, VALUE TEXT);"),
        QStringLiteral(
            "CREATE TABLE MEDIASMSMESSAGES (MESSAGE TEXT, PHONE TEXT, CREATED INTEGER, TYPE INTEGER);"),
        QStringLiteral(
            "CREATE TABLE MEDIASYNC (MEDIAEVENT INTEGER, PROVIDER INTEGER, SYNCDATE INTEGER, MAXPERIOD "
            "INTEGER);"),
        QStringLiteral("INSERT INTO SERVICEKEYS VALUES (0, 'MDB_SCHEMA_VERSION', '2');"),
        QStringLiteral("INSERT INTO MEDIASMSMESSAGES VALUES ('keep me', '+4912', 1259193600, 0);"),
        QStringLiteral("INSERT INTO SERVICEKEYS VALUES (1, 'token', 'secret');"),
    };
}

// The backups beside the database, without their -wal and -shm companions.
QStringList backups(const QString& root)
{
    QStringList names;
    for (const QString& name : QDir(root).entryList({QStringLiteral("mindex.db.bak-*")}, QDir::AllEntries)) {
        if (!name.endsWith(QLatin1String("-wal")) && !name.endsWith(QLatin1String("-shm")))
            names.append(name);
    }
    return names;
}

mode_t modeOf(const QString& path)
{
    struct stat info
    {
    };
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return 0;
    return info.st_mode & 07777;
}

// The default VFS of the SQLite library the Qt driver uses, wrapped while this object lives: reads of a
// main database file at a byte offset fail as the unix VFS fails a read that gets EIO, the first `times`
// of them (-1: every one).
class FailingReadVfs
{
public:
    FailingReadVfs(qint64 offset, int times) : m_offset(offset), m_times(times)
    {
        s_active = this;
        m_base = sqlite3_vfs_find(nullptr);
        m_vfs = *m_base;
        m_vfs.zName = "lumesk-failing-read";
        m_vfs.xOpen = &FailingReadVfs::open;
        sqlite3_vfs_register(&m_vfs, 1);
    }
    ~FailingReadVfs()
    {
        sqlite3_vfs_register(m_base, 1);
        sqlite3_vfs_unregister(&m_vfs);
        s_active = nullptr;
    }
    FailingReadVfs(const FailingReadVfs&) = delete;
    FailingReadVfs& operator=(const FailingReadVfs&) = delete;

    int failed() const { return m_failed; }

private:
    // The base VFS opens the file; a main database file then reads through this object.
    static int open(sqlite3_vfs*, const char* name, sqlite3_file* file, int flags, int* outFlags)
    {
        const int rc = s_active->m_base->xOpen(s_active->m_base, name, file, flags, outFlags);
        if (rc == SQLITE_OK && (flags & SQLITE_OPEN_MAIN_DB) && file->pMethods) {
            s_active->m_methods = *file->pMethods;
            s_active->m_methods.xRead = &FailingReadVfs::read;
            s_active->m_read = file->pMethods->xRead;
            file->pMethods = &s_active->m_methods;
        }
        return rc;
    }
    static int read(sqlite3_file* file, void* buffer, int amount, sqlite3_int64 offset)
    {
        FailingReadVfs* vfs = s_active;
        if (offset == vfs->m_offset && vfs->m_times != 0) {
            --vfs->m_times;
            ++vfs->m_failed;
            return SQLITE_IOERR_CORRUPTFS;
        }
        return vfs->m_read(file, buffer, amount, offset);
    }
    static inline FailingReadVfs* s_active = nullptr;

    sqlite3_vfs* m_base = nullptr;
    sqlite3_vfs m_vfs{};
    sqlite3_io_methods m_methods{};
    int (*m_read)(sqlite3_file*, void*, int, sqlite3_int64) = nullptr;
    qint64 m_offset;
    int m_times;
    int m_failed = 0;
};
} // namespace

class TestMediaDataBaseOpen : public QObject
{
    Q_OBJECT
private:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<TestClock> m_clock;
    std::unique_ptr<CMediaDataBase> m_db;
    QString m_root;

    // A storage on a fresh root that does not exist yet.
    void makeStorage() { m_db = std::make_unique<CMediaDataBase>(m_root); }

    // SQLite answers a file that may grow no further as it answers a full disk: the storage's own
    // connection is limited to the one page it has when the first table is made.
    void fillDiskAtFirstTable(bool& limited)
    {
        m_db->setStatementObserver([&limited](const QString& statement, const QVariantList&) {
            if (limited || !statement.startsWith(QLatin1String("CREATE TABLE")))
                return;
            for (const QString& name : QSqlDatabase::connectionNames()) {
                if (!name.startsWith(QLatin1String("CMediaDataBase-")))
                    continue;
                QSqlQuery pragma(QSqlDatabase::database(name, false));
                limited = pragma.exec(QStringLiteral("PRAGMA max_page_count = 1"));
            }
        });
    }

    // Runs the test function given (with its data tag, if any) again in a child in the private mount
    // namespace mounts makes; the child takes the storage root from kMountedRootVariable.
    void runInMountedChild(const SPrivateMounts& mounts, const QString& function)
    {
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QString::fromLatin1(kMountedRootVariable), m_root);
        child.setProcessEnvironment(env);
        child.setProcessChannelMode(QProcess::ForwardedChannels);
        child.start(mounts.program,
                    mounts.arguments + QStringList{QCoreApplication::applicationFilePath(), function});
        QVERIFY(child.waitForFinished(120000));
        QCOMPARE(child.exitStatus(), QProcess::NormalExit);
        QCOMPARE(child.exitCode(), 0);
    }

private slots:
    void initTestCase() { setTimeZone("UTC"); }

    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        m_clock = std::make_unique<TestClock>(QDateTime(QDate(2010, 1, 2), QTime(3, 4, 5), Qt::UTC));
        m_root = m_dir->filePath(QStringLiteral("store"));
        makeStorage();
    }
    void cleanup()
    {
        UnlinkFaults::refused().clear();
        m_db.reset();
        m_clock.reset();
        m_dir.reset();
        setTimeZone("UTC");
    }

    // --- Open, check, rebuild ---------------------------------------------------------------------

    void openCreatesPrivateRootAndSchema()
    {
        m_root = m_dir->filePath(QStringLiteral("a/b/store"));
        makeStorage();
        QVERIFY(m_db->open());
        QCOMPARE(modeOf(m_root), mode_t(0700));
        for (const char* name : {"users", "items", "media"})
            QVERIFY(QFileInfo(m_root + QLatin1Char('/') + QLatin1String(name)).isDir());
        const QString file = m_db->databasePath();
        QCOMPARE(tables(file), schemaTables);
        QCOMPARE(rows(file, QStringLiteral("SELECT PROVIDER, KEY, VALUE FROM SERVICEKEYS")),
                 (QList<QVariantList>{{0, QStringLiteral("MDB_SCHEMA_VERSION"), QStringLiteral("2")}}));
        QCOMPARE(value(file, QStringLiteral("PRAGMA journal_mode")).toString(), QStringLiteral("wal"));
        QVERIFY(backups(m_root).isEmpty());
        // The tables are created exactly as the file format gives them.
        QCOMPARE(
            value(file, QStringLiteral("SELECT sql FROM sqlite_master WHERE name = 'MEDIASYNC'")).toString(),
            QStringLiteral("CREATE TABLE MEDIASYNC (MEDIAEVENT INTEGER, PROVIDER INTEGER, SYNCDATE INTEGER, "
                           "MAXPERIOD INTEGER)"));
    }

    void filesMadeBeforehandBecomePrivate_data()
    {
        QTest::addColumn<bool>("valid");
        QTest::addColumn<bool>("linked"); // mindex.db is a link to a file elsewhere
        QTest::newRow("kept database") << true << false;
        QTest::newRow("database moved aside") << false << false;
        QTest::newRow("link to a database") << true << true;
        QTest::newRow("link to a missing file") << false << true;
    }
    void filesMadeBeforehandBecomePrivate()
    {
        QFETCH(bool, valid);
        QFETCH(bool, linked);
        const QString file = m_root + QStringLiteral("/mindex.db");
        const QString elsewhere = m_dir->filePath(QStringLiteral("elsewhere"));
        QVERIFY(QDir().mkpath(m_root + QStringLiteral("/items")));
        if (linked) {
            QVERIFY(QDir().mkpath(elsewhere));
            QVERIFY(QFile::link(elsewhere + QStringLiteral("/target.db"), file));
        }
        if (valid) {
            bool ok = false;
            run(file, schemaStatements(), &ok);
            QVERIFY(ok);
        } else if (!linked) {
            writeFile(file, QByteArray(4096, 't'));
        }
        const QStringList files{file, file + QStringLiteral("-wal"), file + QStringLiteral("-shm"),
                                file + QStringLiteral(".bak-20091126-120000")};
        for (const QString& path : files.mid(1))
            writeFile(path, QByteArray());
        for (const QString& path : files.mid(linked && !valid ? 1 : 0))
            QCOMPARE(::chmod(QFile::encodeName(path).constData(), 0644), 0);
        QCOMPARE(::chmod(QFile::encodeName(m_root).constData(), 0755), 0);
        QCOMPARE(::chmod(QFile::encodeName(m_root + QStringLiteral("/items")).constData(), 0755), 0);

        QVERIFY(m_db->open());
        QVERIFY(m_db->setServiceKey(1, QStringLiteral("token"), QStringLiteral("secret")));

        QCOMPARE(modeOf(m_root), mode_t(0700));
        for (const char* name : {"users", "items", "media"})
            QCOMPARE(modeOf(m_root + QLatin1Char('/') + QLatin1String(name)), mode_t(0700));
        const QStringList found = entries(m_root).filter(QStringLiteral("mindex.db"));
        // Beside the database: its -wal and -shm, the old backup and, when moved aside, the new one with
        // both.
        QCOMPARE(found.size(), valid || linked ? 4 : 7);
        for (const QString& name : found)
            QVERIFY2(modeOf(m_root + QLatin1Char('/') + name) == 0600, qPrintable(name));
        // A link's target is the database, and SQLite's -wal and -shm are beside it.
        for (const QString& name : entries(elsewhere))
            QVERIFY2(modeOf(elsewhere + QLatin1Char('/') + name) == 0600, qPrintable(name));
        QCOMPARE(entries(elsewhere).size(), linked ? 3 : 0);
    }

    void mismatchIsMovedAsideAndRebuilt_data()
    {
        QTest::addColumn<QStringList>("damage");
        QTest::addColumn<QByteArray>("fileContent");
        QTest::addColumn<bool>("backupHoldsRows");
        QTest::addColumn<bool>("otherVersion");
        QTest::newRow("version 1") << QStringList{QStringLiteral(
                                          "UPDATE SERVICEKEYS SET VALUE = '1' WHERE PROVIDER = 0")}
                                   << QByteArray() << true << true;
        QTest::newRow("version not a number")
            << QStringList{QStringLiteral("UPDATE SERVICEKEYS SET VALUE = 'x' WHERE PROVIDER = 0")}
            << QByteArray() << true << false;
        QTest::newRow("no MEDIASYNC")
            << QStringList{QStringLiteral("DROP TABLE MEDIASYNC")} << QByteArray() << true << false;
        QTest::newRow("no version row")
            << QStringList{QStringLiteral("DELETE FROM SERVICEKEYS WHERE PROVIDER = 0")} << QByteArray()
            << true << false;
        QTest::newRow("text file") << QStringList() << QByteArray(4096, 't') << false << false;
        QTest::newRow("damaged file") << QStringList() << QByteArray("damaged") << false << false;
    }
    void mismatchIsMovedAsideAndRebuilt()
    {
        QFETCH(QStringList, damage);
        QFETCH(QByteArray, fileContent);
        QFETCH(bool, backupHoldsRows);
        QFETCH(bool, otherVersion);
        const QString file = m_root + QStringLiteral("/mindex.db");
        QVERIFY(QDir().mkpath(m_root));
        if (fileContent == "damaged") {
            // A real database whose table list is overwritten: SQLite reports it as malformed.
            bool ok = false;
            run(file, schemaStatements() + QStringList{QStringLiteral("PRAGMA journal_mode=DELETE")}, &ok);
            QVERIFY(ok);
            QFile damaged(file);
            QVERIFY(damaged.open(QIODevice::ReadWrite));
            QVERIFY(damaged.seek(100));
            damaged.write(QByteArray(1000, char(0x5a)));
            damaged.close();
            QVERIFY(damaged.open(QIODevice::ReadOnly));
            fileContent = damaged.readAll();
        } else if (fileContent.isEmpty()) {
            bool ok = false;
            run(file, schemaStatements() + damage, &ok);
            QVERIFY(ok);
        } else {
            writeFile(file, fileContent);
        }
        writeFile(m_root + QStringLiteral("/items/091126/1.1.jpg"));
        writeFile(m_root + QStringLiteral("/media/091126/1.1.jpg"));
        writeFile(m_root + QStringLiteral("/users/3.jpg"));

        QVERIFY(m_db->open());

        QCOMPARE(backups(m_root), QStringList{QStringLiteral("mindex.db.bak-20100102-030405")});
        const QString backup = m_root + QStringLiteral("/mindex.db.bak-20100102-030405");
        if (backupHoldsRows) {
            // Moved aside as found: not switched to a write-ahead log first.
            QCOMPARE(value(backup, QStringLiteral("PRAGMA journal_mode")).toString(),
                     QStringLiteral("delete"));
            QCOMPARE(value(backup, QStringLiteral("SELECT MESSAGE FROM MEDIASMSMESSAGES")).toString(),
                     QStringLiteral("keep me"));
        } else {
            QFile saved(backup);
            QVERIFY(saved.open(QIODevice::ReadOnly));
            QCOMPARE(saved.readAll(), fileContent);
        }
        QCOMPARE(tables(file), schemaTables);
        QCOMPARE(rows(file, QStringLiteral("SELECT PROVIDER, KEY, VALUE FROM SERVICEKEYS")),
                 (QList<QVariantList>{{0, QStringLiteral("MDB_SCHEMA_VERSION"), QStringLiteral("2")}}));
        QCOMPARE(value(file, QStringLiteral("SELECT COUNT(*) FROM MEDIASMSMESSAGES")).toInt(), 0);
        for (const char* name : {"users", "items", "media"}) {
            const QString folder = m_root + QLatin1Char('/') + QLatin1String(name);
            QVERIFY(QFileInfo(folder).isDir());
            QVERIFY2(entries(folder).isEmpty(), name);
        }
        QVERIFY(m_db->smsMessages().isEmpty());

        // Named, with why, until the user has been told: also to the next start.
        for (int start = 0; start < 2; ++start) {
            QCOMPARE(m_db->replacedDatabaseCopies(), (QList<SMediaDataBaseCopy>{{backup, otherVersion}}));
            makeStorage();
            QVERIFY(m_db->open());
        }
        CMediaDataBase::dropReplacedNotice(m_root);
        makeStorage();
        QVERIFY(m_db->open());
        QCOMPARE(m_db->replacedDatabaseCopies(), QList<SMediaDataBaseCopy>());
    }

    // A second store this version cannot use, met before the user was told of the first copy, adds its copy
    // to the notice: each is named, with its own reason, until told; a copy that is gone is not.
    void untoldCopiesAreAllNamed()
    {
        writeFile(m_root + QStringLiteral("/mindex.db"), QByteArray(4096, 't'));
        QVERIFY(m_db->open());
        m_db.reset();
        bool ok = false;
        run(m_root + QStringLiteral("/mindex.db"),
            {QStringLiteral("UPDATE SERVICEKEYS SET VALUE = '1' WHERE PROVIDER = 0")}, &ok);
        QVERIFY(ok);
        makeStorage();
        QVERIFY(m_db->open());
        const QString first = m_root + QStringLiteral("/mindex.db.bak-20100102-030405");
        const QString second = first + QStringLiteral("-2");
        const QList<SMediaDataBaseCopy> both{{first, false}, {second, true}};
        QCOMPARE(m_db->replacedDatabaseCopies(), both);
        makeStorage();
        QVERIFY(m_db->open());
        QCOMPARE(m_db->replacedDatabaseCopies(), both);

        QVERIFY(QFile::remove(first));
        makeStorage();
        QVERIFY(m_db->open());
        QCOMPARE(m_db->replacedDatabaseCopies(), (QList<SMediaDataBaseCopy>{{second, true}}));
        CMediaDataBase::dropReplacedNotice(m_root);
        makeStorage();
        QVERIFY(m_db->open());
        QCOMPARE(m_db->replacedDatabaseCopies(), QList<SMediaDataBaseCopy>());
    }

    // A rename that fails (mindex.db a mount point) leaves the notice as it was: the copy not yet told stays
    // named.
    void failedRenameKeepsTheNotice()
    {
        const QByteArray notice = "damaged\nmindex.db.bak-20000101-000000\n";
        if (!qEnvironmentVariableIsSet(kMountedRootVariable)) {
            // The row runs again in a child in a private user and mount namespace, where mindex.db is a
            // damaged file mounted over it.
            writeFile(m_root + QStringLiteral("/mindex.notice"), notice);
            writeFile(m_root + QStringLiteral("/mindex.db.bak-20000101-000000"), QByteArray(4096, 't'));
            writeFile(m_root + QStringLiteral("/mindex.db"));
            const QString damaged = m_dir->filePath(QStringLiteral("damaged.db"));
            writeFile(damaged, QByteArray(4096, 'z'));
            const SPrivateMounts mounts =
                privateMounts(QStringLiteral("mount --bind \"$1\" \"$2\" && shift 2 && exec \"$@\""),
                              {damaged, m_root + QStringLiteral("/mindex.db")});
            if (!mounts.unavailable.isEmpty())
                QSKIP(qPrintable(mounts.unavailable));
            runInMountedChild(mounts, QStringLiteral("failedRenameKeepsTheNotice"));
            return;
        }
        m_root = qEnvironmentVariable(kMountedRootVariable);
        makeStorage();
        QVERIFY(!m_db->open());
        QCOMPARE(m_db->openFailure().kind, TMeskStorageFailure::Kind::FolderNotWritable);
        QFile file(m_root + QStringLiteral("/mindex.notice"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), notice);
        QCOMPARE(backups(m_root), QStringList{QStringLiteral("mindex.db.bak-20000101-000000")});
    }

    // The notice and the emptying record reach the disk whole: each is written before it is synced, so a
    // power cut after the rebuild finds what they say, never an empty file.
    void markersAreSyncedWhole()
    {
        QList<QPair<QString, qint64>> synced;
        CMediaDataBaseMarker::setSyncObserver([&synced](const QString& file, qint64 size) {
            synced.append({QFileInfo(file).fileName(), size});
        });
        writeFile(m_root + QStringLiteral("/mindex.db"), QByteArray(4096, 'z'));
        // A file of the user's keeps items in place, so the rebuild names it in mindex.emptying.
        writeFile(m_root + QStringLiteral("/items/holiday.jpg"));
        writeFile(m_root + QStringLiteral("/items/091126/1.1.jpg"));
        const bool opened = m_db->open();
        CMediaDataBaseMarker::setSyncObserver({});
        QVERIFY(opened);
        const QByteArray notice = "damaged\nmindex.db.bak-20100102-030405\n";
        QCOMPARE(synced,
                 (QList<QPair<QString, qint64>>{{QStringLiteral("mindex.notice.new"), notice.size()},
                                                // "store <id>\nitems\n", the id a UUID
                                                {QStringLiteral("mindex.emptying.new"), 6 + 36 + 1 + 6}}));
        QFile file(m_root + QStringLiteral("/mindex.notice"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), notice);
    }

    // The notice naming the copy is written before the database is renamed: when it cannot be, nothing
    // is renamed and the open fails.
    void unwritableNoticeRenamesNothing()
    {
        const QString file = m_root + QStringLiteral("/mindex.db");
        writeFile(file, QByteArray(4096, 't'));
        QVERIFY(QDir().mkpath(m_root + QStringLiteral("/mindex.notice")));
        QTest::ignoreMessage(QtDebugMsg, QRegularExpression(QStringLiteral("mindex.notice")));
        QVERIFY(!m_db->open());
        QCOMPARE(m_db->openFailure().kind, TMeskStorageFailure::Kind::FolderNotWritable);
        QVERIFY(backups(m_root).isEmpty());
        QCOMPARE(QFileInfo(file).size(), 4096);
    }

    // Damage that SQLite reports in other words than "corrupt" or "not a database".
    void damagedFormsAreMovedAside_data()
    {
        QTest::addColumn<QString>("form");
        QTest::newRow("unknown collation") << QStringLiteral("collation");
        QTest::newRow("schema page overwritten") << QStringLiteral("page");
        QTest::newRow("random bytes") << QStringLiteral("random");
        QTest::newRow("truncated") << QStringLiteral("truncated");
    }
    void damagedFormsAreMovedAside()
    {
        QFETCH(QString, form);
        const QString file = m_root + QStringLiteral("/mindex.db");
        QVERIFY(QDir().mkpath(m_root));
        QByteArray content;
        if (form == QLatin1String("random")) {
            QRandomGenerator generator(55);
            content.resize(3 * 4096);
            generator.fillRange(reinterpret_cast<quint32*>(content.data()), content.size() / 4);
        } else {
            bool ok = false;
            QStringList statements = schemaStatements();
            statements << QStringLiteral(
                "CREATE INDEX SERVICEUSERS_NAME ON SERVICEUSERS (NAME COLLATE NOCASE)");
            for (int i = 0; i < 300; ++i)
                statements << QStringLiteral("INSERT INTO MEDIAITEMS (CONTENT) VALUES ('%1')")
                                  .arg(QString::number(i).repeated(20));
            run(file, statements, &ok);
            QVERIFY(ok);
            QFile read(file);
            QVERIFY(read.open(QIODevice::ReadOnly));
            content = read.readAll();
            if (form == QLatin1String("collation")) {
                const qsizetype at = content.indexOf("COLLATE NOCASE");
                QVERIFY(at > 0);
                content[at + 13] = 'F';
            } else if (form == QLatin1String("page")) {
                // Bytes that make SQLite read the schema as "string or blob too big".
                for (int i = 2048; i < 4096; ++i)
                    content[i] = char((i * 229 + 7 + (i >> 8)) & 0xff);
            } else {
                content.truncate(content.size() / 2);
            }
        }
        writeFile(file, content);

        QVERIFY(m_db->open());
        QCOMPARE(backups(m_root), QStringList{QStringLiteral("mindex.db.bak-20100102-030405")});
        QFile saved(m_root + QStringLiteral("/mindex.db.bak-20100102-030405"));
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QVERIFY(saved.readAll() == content);
        QCOMPARE(tables(file), schemaTables);
        QVERIFY(m_db->setServiceKey(1, QStringLiteral("token"), QStringLiteral("new")));
    }

    void lockedDatabaseIsLeftAlone()
    {
        QVERIFY(QDir().mkpath(m_root));
        QVERIFY(m_db->open());
        m_db.reset();
        const QString file = m_root + QStringLiteral("/mindex.db");
        const QString name = QStringLiteral("holder");
        {
            QSqlDatabase holder = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
            holder.setDatabaseName(file);
            QVERIFY(holder.open());
            QSqlQuery query(holder);
            QVERIFY(query.exec(QStringLiteral("PRAGMA locking_mode=EXCLUSIVE")));
            QVERIFY(query.exec(QStringLiteral("INSERT INTO SERVICEKEYS VALUES (1, 'token', 'held')")));
            makeStorage();
            QTest::ignoreMessage(QtDebugMsg, "CMediaDataBase: failed to open SQLite database");
            QTest::ignoreMessage(QtDebugMsg, QRegularExpression(QStringLiteral("locked")));
            QVERIFY(!m_db->open());
            QCOMPARE(m_db->openFailure().kind, TMeskStorageFailure::Kind::FileNotReadable);
            QCOMPARE(m_db->openFailure().path, file);
            QCOMPARE(m_db->openFailure().detail, QStringLiteral("database is locked"));
            QVERIFY(backups(m_root).isEmpty());
            query.finish();
            holder.close();
        }
        QSqlDatabase::removeDatabase(name);
        QCOMPARE(value(file, QStringLiteral("SELECT VALUE FROM SERVICEKEYS WHERE PROVIDER = 1")).toString(),
                 QStringLiteral("held"));
    }

    // A read the device fails is no damage: the store and its downloaded files stay, and the open fails
    // as for a file that cannot be read now. SQLite tells the read as a line of its quick check, or in a
    // statement as damage, which a second look then does not find.
    void readErrorLeavesTheStore_data()
    {
        QTest::addColumn<bool>("cleanClose"); // closed cleanly: the quick check is left out
        QTest::addColumn<QString>("page");    // gives the number of the page whose read fails
        QTest::addColumn<int>("times");       // how many reads of it fail; -1: every one
        QTest::newRow("in the quick check") << false << QStringLiteral("PRAGMA page_count") << -1;
        QTest::newRow("in a statement before it")
            << true << QStringLiteral("SELECT rootpage FROM sqlite_master WHERE name = 'SERVICEKEYS'") << 1;
    }
    void readErrorLeavesTheStore()
    {
        QFETCH(bool, cleanClose);
        QFETCH(QString, page);
        QFETCH(int, times);
        const QString file = m_root + QStringLiteral("/mindex.db");
        QVERIFY(QDir().mkpath(m_root));
        QStringList statements = schemaStatements();
        for (int i = 0; i < 300; ++i)
            statements << QStringLiteral("INSERT INTO MEDIAITEMS (CONTENT) VALUES ('%1')")
                              .arg(QString(200, QLatin1Char('a' + i % 26)));
        bool ok = false;
        run(file, statements, &ok);
        QVERIFY(ok);
        const qint64 offset = (value(file, page).toLongLong() - 1) *
                              value(file, QStringLiteral("PRAGMA page_size")).toLongLong();
        if (cleanClose) {
            QVERIFY(m_db->open());
            makeStorage();
            QVERIFY(QFileInfo::exists(m_root + QStringLiteral("/mindex.clean")));
        }
        const QStringList downloaded{QStringLiteral("items/091126/1.1.jpg"),
                                     QStringLiteral("media/091126/1.1.jpg"), QStringLiteral("users/3.jpg")};
        for (const QString& name : downloaded)
            writeFile(m_root + QLatin1Char('/') + name);

        {
            FailingReadVfs vfs(offset, times);
            QVERIFY(!m_db->open());
            QVERIFY(vfs.failed() > 0);
        }
        QCOMPARE(m_db->openFailure().kind, TMeskStorageFailure::Kind::FileNotReadable);
        QCOMPARE(m_db->openFailure().path, file);
        QCOMPARE(m_db->openFailure().detail, QStringLiteral("disk I/O error"));
        QVERIFY(backups(m_root).isEmpty());
        QCOMPARE(entries(m_root).filter(QStringLiteral(".replaced")), QStringList());
        for (const QString& name : downloaded)
            QVERIFY2(QFileInfo::exists(m_root + QLatin1Char('/') + name), qPrintable(name));
        // The device well again, the store opens as it was.
        makeStorage();
        QVERIFY(m_db->open());
        QCOMPARE(m_db->smsMessages().size(), 1);
        QCOMPARE(value(file, QStringLiteral("SELECT COUNT(*) FROM MEDIAITEMS")).toInt(), 300);
    }

    // A read that fails once the store is open may have met a damaged page: that close leaves no record
    // of a clean close, so the next open checks the whole file.
    void readErrorWhileOpenLeavesNoCleanClose()
    {
        const QString record = m_root + QStringLiteral("/mindex.clean");
        QVERIFY(m_db->open());
        {
            FailingReads reads(QStringLiteral("FROM MEDIAITEMS"), 1);
            bool ok = true;
            m_db->providerItems(MeskProvider::Twitter, &ok);
            QVERIFY(!ok);
        }
        makeStorage();
        QVERIFY(!QFileInfo::exists(record));
        QVERIFY(m_db->open());
        makeStorage();
        QVERIFY(QFileInfo::exists(record));
    }

    // SQLite opens a store whose -wal or -shm it cannot write read-only and fails only its first write:
    // the open fails instead, naming that file, and leaves the store as it is.
    void unwritableCompanionFailsTheOpen_data()
    {
        QTest::addColumn<QString>("companion");
        // A folder in its place, else a link to a file of mode 0444 (the start makes a file of the user's
        // own private and writable, and the tests cannot make one of another user's).
        QTest::addColumn<bool>("folder");
        QTest::newRow("folder in place of -shm") << QStringLiteral("-shm") << true;
        QTest::newRow("folder in place of -wal") << QStringLiteral("-wal") << true;
        QTest::newRow("read-only -shm") << QStringLiteral("-shm") << false;
        QTest::newRow("read-only -wal") << QStringLiteral("-wal") << false;
    }
    void unwritableCompanionFailsTheOpen()
    {
        QFETCH(QString, companion);
        QFETCH(bool, folder);
        if (!folder && ::geteuid() == 0)
            QSKIP("root writes every file");
        QVERIFY(m_db->open());
        QVERIFY(m_db->setServiceKey(1, QStringLiteral("token"), QStringLiteral("secret")));
        writeFile(m_root + QStringLiteral("/items/091126/1.1.jpg"));
        makeStorage();
        const QString file = m_root + QStringLiteral("/mindex.db");
        const QString path = file + companion;
        if (folder) {
            QVERIFY(QDir().mkdir(path));
        } else {
            const QString readOnly = m_dir->filePath(QStringLiteral("read-only"));
            writeFile(readOnly, QByteArray());
            QVERIFY(QFile::setPermissions(readOnly, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
            QVERIFY(QFile::link(readOnly, path));
        }

        QVERIFY(!m_db->open());
        QCOMPARE(m_db->openFailure().kind, TMeskStorageFailure::Kind::FileNotWritable);
        QCOMPARE(m_db->openFailure().path, path);
        QVERIFY(backups(m_root).isEmpty());
        QVERIFY(QFileInfo::exists(m_root + QStringLiteral("/items/091126/1.1.jpg")));
        QVERIFY(QDir().rmdir(path) || QFile::remove(path));
        QCOMPARE(value(file, QStringLiteral("SELECT VALUE FROM SERVICEKEYS WHERE PROVIDER = 1")).toString(),
                 QStringLiteral("secret"));
    }

    // A mindex.db that links to a file on a disk that is not there now: with downloaded files to lose,
    // the open fails naming the link and its target, and nothing is made or removed.
    void databaseLinkToNothingKeepsTheFiles()
    {
        const QString elsewhere = m_dir->filePath(QStringLiteral("unmounted"));
        const QString target = elsewhere + QStringLiteral("/mindex.db");
        QVERIFY(QDir().mkpath(elsewhere));
        QVERIFY(QDir().mkpath(m_root));
        QVERIFY(QFile::link(target, m_root + QStringLiteral("/mindex.db")));
        writeFile(m_root + QStringLiteral("/media/091126/1.1.jpg"));

        QVERIFY(!m_db->open());
        QCOMPARE(m_db->openFailure().kind, TMeskStorageFailure::Kind::BrokenLink);
        QCOMPARE(m_db->openFailure().path, m_root + QStringLiteral("/mindex.db"));
        QCOMPARE(m_db->openFailure().detail, target);
        QCOMPARE(entries(elsewhere), QStringList());
        QCOMPARE(entries(m_root), (QStringList{QStringLiteral("media"), QStringLiteral("mindex.db")}));
        QVERIFY(QFileInfo::exists(m_root + QStringLiteral("/media/091126/1.1.jpg")));
    }

    // A loop of links where the storage needs a folder leads nowhere, like a link to nothing: told as such,
    // never as a file in the folder's place.
    void linkLoopIsToldAsLinkToNothing_data()
    {
        QTest::addColumn<QString>("link");  // under the storage's parent folder
        QTest::addColumn<QString>("other"); // the second link of the loop, or none
        QTest::newRow("items links to itself") << QStringLiteral("store/items") << QString();
        QTest::newRow("items in a loop of two") << QStringLiteral("store/items") << QStringLiteral("round");
        QTest::newRow("storage folder links to itself") << QStringLiteral("store") << QString();
    }
    void linkLoopIsToldAsLinkToNothing()
    {
        QFETCH(QString, link);
        QFETCH(QString, other);
        const QString path = m_dir->filePath(link);
        QVERIFY(QDir().mkpath(QFileInfo(path).path()));
        const QString target = other.isEmpty() ? path : m_dir->filePath(other);
        QVERIFY(QFile::link(target, path));
        if (!other.isEmpty())
            QVERIFY(QFile::link(path, target));
        QTest::ignoreMessage(QtDebugMsg, "CMediaDataBase: failed to init file system");
        QVERIFY(!m_db->open());
        QCOMPARE(m_db->openFailure().kind, TMeskStorageFailure::Kind::BrokenLink);
        QCOMPARE(m_db->openFailure().path, path);
        QCOMPARE(m_db->openFailure().detail, target);
    }

    void secondRebuildKeepsFirstBackup()
    {
        QVERIFY(QDir().mkpath(m_root));
        const QString file = m_root + QStringLiteral("/mindex.db");
        writeFile(file, QByteArray(4096, 'a'));
        QVERIFY(m_db->open());
        // Same second: the first backup is not overwritten.
        bool ok = false;
        run(file, {QStringLiteral("DELETE FROM SERVICEKEYS WHERE PROVIDER = 0")}, &ok);
        QVERIFY(ok);
        QVERIFY(m_db->open());
        QCOMPARE(backups(m_root), (QStringList{QStringLiteral("mindex.db.bak-20100102-030405"),
                                               QStringLiteral("mindex.db.bak-20100102-030405-2")}));
        QFile first(m_root + QStringLiteral("/mindex.db.bak-20100102-030405"));
        QVERIFY(first.open(QIODevice::ReadOnly));
        QCOMPARE(first.readAll(), QByteArray(4096, 'a'));
    }

    void validDatabaseIsUntouched()
    {
        QVERIFY(QDir().mkpath(m_root));
        const QString file = m_root + QStringLiteral("/mindex.db");
        bool ok = false;
        run(file,
            schemaStatements() + QStringList{QStringLiteral("CREATE TABLE EXTRA (X TEXT)"),
                                             QStringLiteral("INSERT INTO EXTRA VALUES ('x')")},
            &ok);
        QVERIFY(ok);
        writeFile(m_root + QStringLiteral("/items/091126/1.1.jpg"));

        QVERIFY(m_db->open());
        QVERIFY(backups(m_root).isEmpty());
        QCOMPARE(value(file, QStringLiteral("SELECT X FROM EXTRA")).toString(), QStringLiteral("x"));
        QCOMPARE(value(file, QStringLiteral("PRAGMA journal_mode")).toString(), QStringLiteral("wal"));
        QString token;
        QVERIFY(m_db->serviceKey(1, QStringLiteral("token"), token));
        QCOMPARE(token, QStringLiteral("secret"));
        QCOMPARE(m_db->smsMessages().size(), 1);
        // A table newer than the file is added to it.
        QVERIFY(tables(file).contains(QStringLiteral("MEDIASMSONMODEM")));
        QVERIFY(QFileInfo::exists(m_root + QStringLiteral("/items/091126/1.1.jpg")));
    }

    void onModemTableGainsColumns_data()
    {
        QTest::addColumn<QString>("columns");
        QTest::newRow("from before the delete columns") << QString();
        // A start stopped between the two columns by an older version.
        QTest::newRow("the first column alone") << QStringLiteral(", DELETEFAILED INTEGER");
        QTest::newRow("from before the pending mark")
            << QStringLiteral(", DELETEFAILED INTEGER, DELETEDIN TEXT");
        QTest::newRow("from before the SIM")
            << QStringLiteral(", DELETEFAILED INTEGER, DELETEDIN TEXT, DELETEPENDING INTEGER");
    }

    void onModemTableGainsColumns()
    {
        // A file whose list of messages left on the modem lacks columns about their deletes.
        QFETCH(QString, columns);
        QVERIFY(QDir().mkpath(m_root));
        const QString file = m_root + QStringLiteral("/mindex.db");
        bool ok = false;
        run(file,
            schemaStatements() +
                QStringList{
                    QStringLiteral("CREATE TABLE MEDIASMSONMODEM (ID INTEGER PRIMARY KEY, MESSAGE INTEGER, "
                                   "STORE TEXT, OBJECT TEXT, PHONE TEXT, TEXT TEXT, TYPE INTEGER, TIME "
                                   "INTEGER, ANYTIME INTEGER, OWN INTEGER, SENT INTEGER%1)")
                        .arg(columns),
                    QStringLiteral(
                        "INSERT INTO MEDIASMSONMODEM (MESSAGE, STORE, OBJECT, PHONE, TEXT, TYPE, "
                        "TIME, ANYTIME, OWN) VALUES (1, 's', '/SMS/1', '+4912', 'hi', 0, 7, 0, 0)")},
            &ok);
        QVERIFY(ok);
        QVERIFY(m_db->open());
        QList<SSmsOnModem> noted = m_db->smsOnModem();
        QCOMPARE(noted.size(), 1);
        QCOMPARE(noted.first().text, QStringLiteral("hi"));
        // Noted by an older version: no SIM.
        QCOMPARE(noted.first().sim, QString());
        noted.first().sim = QStringLiteral("89014103211118510720");
        noted.first().deleteFailed = true;
        noted.first().deletedIn = QStringLiteral("s");
        noted.first().deletePending = true;
        QVERIFY(m_db->updateSmsOnModem(noted.first()));
        QCOMPARE(m_db->smsOnModem(), noted);
        QVERIFY(backups(m_root).isEmpty());
    }

    void unreadableDatabaseIsLeftAlone()
    {
        QVERIFY(QDir().mkpath(m_root + QStringLiteral("/mindex.db")));
        writeFile(m_root + QStringLiteral("/items/keep.jpg"));
        QTest::ignoreMessage(QtDebugMsg, "CMediaDataBase: failed to open SQLite database");
        QTest::ignoreMessage(QtDebugMsg, QRegularExpression(QStringLiteral(".+")));
        QVERIFY(!m_db->open());
        QCOMPARE(m_db->openFailure().kind, TMeskStorageFailure::Kind::FileNotReadable);
        QCOMPARE(m_db->openFailure().path, m_root + QStringLiteral("/mindex.db"));
        QCOMPARE(m_db->openFailure().detail, QStringLiteral("unable to open database file"));
        QVERIFY(QFileInfo(m_root + QStringLiteral("/mindex.db")).isDir());
        QVERIFY(QFileInfo::exists(m_root + QStringLiteral("/items/keep.jpg")));
        QVERIFY(backups(m_root).isEmpty());
    }

    void unreadablePermissionsAreLeftAlone()
    {
        if (::geteuid() == 0)
            QSKIP("root reads every file");
        QVERIFY(QDir().mkpath(m_root));
        const QString file = m_root + QStringLiteral("/mindex.db");
        bool ok = false;
        run(file, schemaStatements(), &ok);
        QVERIFY(ok);
        QVERIFY(QFile::setPermissions(file, QFileDevice::Permissions()));
        QTest::ignoreMessage(QtDebugMsg, "CMediaDataBase: failed to open SQLite database");
        QTest::ignoreMessage(QtDebugMsg, QRegularExpression(QStringLiteral(".+")));
        QVERIFY(!m_db->open());
        // Told as a file that cannot be read, with no words of SQLite's: it never opened the file.
        QCOMPARE(m_db->openFailure().kind, TMeskStorageFailure::Kind::FileNotReadable);
        QCOMPARE(m_db->openFailure().path, file);
        QCOMPARE(m_db->openFailure().detail, QString());
        QVERIFY(QFile::setPermissions(file, QFileDevice::ReadOwner | QFileDevice::WriteOwner));
        QVERIFY(backups(m_root).isEmpty());
        QCOMPARE(value(file, QStringLiteral("SELECT MESSAGE FROM MEDIASMSMESSAGES")).toString(),
                 QStringLiteral("keep me"));
    }

    void backupFailureClearsNothing()
    {
        if (::geteuid() == 0)
            QSKIP("root may rename in any folder");
        for (const char* name : {"/users", "/items", "/media"})
            QVERIFY(QDir().mkpath(m_root + QLatin1String(name)));
        writeFile(m_root + QStringLiteral("/mindex.db"), QByteArray(4096, 't'));
        writeFile(m_root + QStringLiteral("/items/keep.jpg"));
        QVERIFY(QFile::setPermissions(m_root, QFileDevice::ReadOwner | QFileDevice::ExeOwner));
        // A root that cannot take the backup is refused before anything is read or moved.
        QTest::ignoreMessage(QtDebugMsg, "CMediaDataBase: failed to open SQLite database");
        QTest::ignoreMessage(QtDebugMsg,
                             qPrintable(QStringLiteral("CMediaDataBase: %1 is not writable").arg(m_root)));
        const bool opened = m_db->open();
        QVERIFY(QFile::setPermissions(m_root, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                  QFileDevice::ExeOwner));
        QVERIFY(!opened);
        QCOMPARE(m_db->openFailure().kind, TMeskStorageFailure::Kind::FolderNotWritable);
        QCOMPARE(m_db->openFailure().path, m_root);
        QVERIFY(QFileInfo::exists(m_root + QStringLiteral("/items/keep.jpg")));
        QCOMPARE(QFileInfo(m_root + QStringLiteral("/mindex.db")).size(), 4096);
    }

    void rebuildNeverFollowsLinks()
    {
        const QString outside = m_dir->filePath(QStringLiteral("outside"));
        writeFile(outside + QStringLiteral("/precious.txt"));
        QVERIFY(QDir().mkpath(m_root + QStringLiteral("/items")));
        QVERIFY(QFile::link(outside, m_root + QStringLiteral("/items/link")));
        QVERIFY(QFile::link(outside + QStringLiteral("/precious.txt"),
                            m_root + QStringLiteral("/items/filelink")));
        writeFile(m_root + QStringLiteral("/mindex.db"), QByteArray(4096, 'z'));

        // The program writes no links: one by a name the program gives its files is the user's too.
        QVERIFY(QDir().mkpath(m_root + QStringLiteral("/items/091126")));
        QVERIFY(QFile::link(outside + QStringLiteral("/precious.txt"),
                            m_root + QStringLiteral("/items/091126/1.1.jpg")));

        QVERIFY(m_db->open());
        QCOMPARE(backups(m_root).size(), 1);
        QVERIFY(QFileInfo::exists(outside + QStringLiteral("/precious.txt")));
        // The links are the user's: they stay, with the folders that hold them.
        QCOMPARE(entries(m_root + QStringLiteral("/items")),
                 (QStringList{QStringLiteral("091126"), QStringLiteral("filelink"), QStringLiteral("link")}));
        QVERIFY(QFileInfo(m_root + QStringLiteral("/items/091126/1.1.jpg")).isSymLink());
        QVERIFY(!QFileInfo::exists(m_root + QStringLiteral("/items.replaced")));
    }

    void schemaVersionDeletedRebuildsOnNextOpen()
    {
        QVERIFY(m_db->open());
        SSmsMessage message;
        message.message = QStringLiteral("before");
        QVERIFY(m_db->addSmsMessage(message));
        bool ok = false;
        run(m_db->databasePath(), {QStringLiteral("DELETE FROM SERVICEKEYS WHERE PROVIDER = 0")}, &ok);
        QVERIFY(ok);
        QVERIFY(m_db->open());
        const QStringList saved = backups(m_root);
        QCOMPARE(saved.size(), 1);
        QCOMPARE(value(m_root + QLatin1Char('/') + saved.first(),
                       QStringLiteral("SELECT MESSAGE FROM MEDIASMSMESSAGES"))
                     .toString(),
                 QStringLiteral("before"));
        QVERIFY(m_db->smsMessages().isEmpty());
        QString version;
        QVERIFY(m_db->serviceKey(0, QStringLiteral("MDB_SCHEMA_VERSION"), version));
        QCOMPARE(version, QStringLiteral("2"));
    }

    void rootUnderRegularFileFails()
    {
        writeFile(m_dir->filePath(QStringLiteral("plain")));
        m_root = m_dir->filePath(QStringLiteral("plain/store"));
        makeStorage();
        QTest::ignoreMessage(QtDebugMsg, "CMediaDataBase: failed to init file system");
        QVERIFY(!m_db->open());
        // What stands in the way is named.
        QCOMPARE(m_db->openFailure().kind, TMeskStorageFailure::Kind::NotAFolder);
        QCOMPARE(m_db->openFailure().path, m_dir->filePath(QStringLiteral("plain")));
    }

    void fullDiskIsTold()
    {
        bool limited = false;
        fillDiskAtFirstTable(limited);
        QTest::ignoreMessage(QtDebugMsg, QRegularExpression(QStringLiteral("database or disk is full")));
        QVERIFY(!m_db->open());
        QVERIFY(limited);
        QCOMPARE(m_db->openFailure().kind, TMeskStorageFailure::Kind::DiskFull);
        QCOMPARE(m_db->openFailure().path, m_root);

        // With room again, the next open builds the file and has nothing to tell.
        m_db->setStatementObserver({});
        QVERIFY(m_db->open());
        QCOMPARE(m_db->openFailure().kind, TMeskStorageFailure::Kind::None);
        QCOMPARE(tables(m_db->databasePath()), schemaTables);
    }

    // The downloaded files go only with a rebuild that committed; a rebuild stopped at any step leaves
    // its files aside, where the next open finds them.
    void rebuildRemovesFilesOnlyOnceCommitted_data()
    {
        QTest::addColumn<QString>("database"); // mindex.db: "empty", "damaged", or "valid" (rebuilt)
        QTest::addColumn<bool>("stopped");     // a rebuild had moved the files aside when it stopped
        QTest::addColumn<bool>("fails");       // the disk is full for this rebuild
        QTest::newRow("failed rebuild of an empty file") << QStringLiteral("empty") << false << true;
        QTest::newRow("failed rebuild of a damaged file") << QStringLiteral("damaged") << false << true;
        QTest::newRow("failed rebuild after a stop") << QStringLiteral("empty") << true << true;
        QTest::newRow("stopped before the commit") << QStringLiteral("empty") << true << false;
        QTest::newRow("stopped after the commit") << QStringLiteral("valid") << true << false;
    }
    void rebuildRemovesFilesOnlyOnceCommitted()
    {
        QFETCH(QString, database);
        QFETCH(bool, stopped);
        QFETCH(bool, fails);
        const QStringList oldFiles{QStringLiteral("items/091126/1.1.jpg"),
                                   QStringLiteral("media/091126/1.1.jpg"), QStringLiteral("users/3.jpg")};
        if (database == QLatin1String("valid")) {
            QVERIFY(m_db->open());
            makeStorage();
            writeFile(m_root + QStringLiteral("/users/3.jpg"), "new");
        } else {
            writeFile(m_root + QStringLiteral("/mindex.db"),
                      database == QLatin1String("damaged") ? QByteArray(4096, 't') : QByteArray());
        }
        for (QString name : oldFiles) {
            if (stopped)
                name.replace(QRegularExpression(QStringLiteral("^(\\w+)/")), QStringLiteral("\\1.replaced/"));
            writeFile(m_root + QLatin1Char('/') + name, "old");
        }

        bool limited = false;
        if (fails) {
            fillDiskAtFirstTable(limited);
            QTest::ignoreMessage(QtDebugMsg, QRegularExpression(QStringLiteral("database or disk is full")));
        }
        QCOMPARE(m_db->open(), !fails);
        QCOMPARE(limited, fails);
        QCOMPARE(entries(m_root).filter(QStringLiteral(".replaced")), QStringList());
        // A failed rebuild leaves every old file where it was; a committed one leaves none, and what the
        // new database wrote stays.
        for (const QString& name : oldFiles) {
            QFile file(m_root + QLatin1Char('/') + name);
            QByteArray kept = fails ? "old" : "";
            if (database == QLatin1String("valid") && name.startsWith(QLatin1String("users")))
                kept = "new";
            QCOMPARE(file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray(), kept);
        }
    }

    // A folder of downloaded files that the user arranged (a link to a folder elsewhere, a file system of its
    // own, a bind mount on the same one) loses nothing: at a first start, a rebuild, and when an emptying a
    // stop left is finished, the program's files there (a day folder of nothing else whole) move into one
    // replaced-<date-time> folder in it. One that cannot be moved (a folder the user made read-only, a full
    // disk) stays where it is, named in the log, and the start goes on; the replaced folder is made only
    // for what moves. A plain folder that holds anything the program did not write stays where it is and
    // loses only the program's files once the new database is committed. Either way everything else stays:
    // links by the program's names, names that end in a line feed, a year-month folder, six letters after a
    // name of the program's (a user's copy, or a download's leftover: nothing tells them apart).
    void folderInPlaceIsEmptied_data()
    {
        QTest::addColumn<QString>("kind");  // items is a "link" to a folder elsewhere, a "mount" point of a
                                            // file system of its own, a "bind" mount of a folder on the same
                                            // one, a "plain" folder
        QTest::addColumn<QString>("found"); // "none": a first start; "damaged" mindex.db; "stopped" after the
                                            // commit (the emptying record left behind)
        QTest::addColumn<QString>("blocked"); // what keeps the program's files from moving: "day", the day
                                              // folder 091126 read-only; "folder", items read-only (for a
                                              // user, not root); "busy", a file mounted over 091126/1.1.jpg;
                                              // "read-only", items mounted read-only; "full", no room left
                                              // on its disk; "record": the removal of the emptying
                                              // record fails; empty: nothing
        for (const char* kind : {"link", "mount", "bind", "plain"}) {
            for (const char* found : {"none", "damaged", "stopped"}) {
                QTest::addRow("%s, %s", kind, found)
                    << QString::fromLatin1(kind) << QString::fromLatin1(found) << QString();
            }
        }
        QTest::newRow("link, none, read-only day folder")
            << QStringLiteral("link") << QStringLiteral("none") << QStringLiteral("day");
        QTest::newRow("link, damaged, read-only folder")
            << QStringLiteral("link") << QStringLiteral("damaged") << QStringLiteral("folder");
        QTest::newRow("bind, none, a file mounted over")
            << QStringLiteral("bind") << QStringLiteral("none") << QStringLiteral("busy");
        QTest::newRow("bind, damaged, read-only mount")
            << QStringLiteral("bind") << QStringLiteral("damaged") << QStringLiteral("read-only");
        QTest::newRow("mount, damaged, full disk")
            << QStringLiteral("mount") << QStringLiteral("damaged") << QStringLiteral("full");
        // The record stays, but the emptying is done: the next open takes nothing of the new database's.
        QTest::newRow("plain, damaged, the record stays")
            << QStringLiteral("plain") << QStringLiteral("damaged") << QStringLiteral("record");
        QTest::newRow("plain, stopped, the record stays")
            << QStringLiteral("plain") << QStringLiteral("stopped") << QStringLiteral("record");
    }
    void folderInPlaceIsEmptied()
    {
        QFETCH(QString, kind);
        QFETCH(QString, found);
        QFETCH(QString, blocked);
        if ((blocked == QLatin1String("day") || blocked == QLatin1String("folder")) && ::geteuid() == 0)
            QSKIP("a read-only folder stops no move of root's");
        const bool mounted = kind == QLatin1String("mount") || kind == QLatin1String("bind");
        QString items = m_root + QStringLiteral("/items");
        const QString target = m_dir->filePath(QStringLiteral("elsewhere"));
        if (mounted && !qEnvironmentVariableIsSet(kMountedRootVariable)) {
            // The row runs again in a child in a private user and mount namespace, where items is a small
            // file system of its own, or a folder elsewhere on the same one bound there.
            QVERIFY(QDir().mkpath(items));
            QVERIFY(QDir().mkpath(target));
            const SPrivateMounts mounts =
                kind == QLatin1String("mount")
                    ? privateMounts(
                          blocked == QLatin1String("full")
                              ? QStringLiteral("mount -t tmpfs -o nr_inodes=64 lumesk \"$1\" && shift "
                                               "&& exec \"$@\"")
                              : QStringLiteral("mount -t tmpfs lumesk \"$1\" && shift && exec \"$@\""),
                          {items})
                    : privateMounts(QStringLiteral("mount --bind \"$1\" \"$2\" && shift 2 && exec \"$@\""),
                                    {target, items});
            if (!mounts.unavailable.isEmpty())
                QSKIP(qPrintable(mounts.unavailable));
            runInMountedChild(mounts, QStringLiteral("folderInPlaceIsEmptied:") +
                                          QString::fromLatin1(QTest::currentDataTag()));
            return;
        }
        if (mounted) {
            m_root = qEnvironmentVariable(kMountedRootVariable);
            items = m_root + QStringLiteral("/items");
            makeStorage();
        } else if (kind == QLatin1String("link")) {
            QVERIFY(QDir().mkpath(target));
            QVERIFY(QDir().mkpath(m_root));
            QVERIFY(QFile::link(target, items));
        }
        if (found == QLatin1String("stopped")) {
            // A rebuild's store owes the emptying from the transaction that built it.
            QVERIFY(m_db->open());
            makeStorage();
            bool ok = false;
            run(m_root + QStringLiteral("/mindex.db"),
                {QStringLiteral("INSERT INTO SERVICEKEYS (PROVIDER, KEY, VALUE) VALUES (0, 'MDB_EMPTYING', "
                                "'a-rebuild');")},
                &ok);
            QVERIFY(ok);
            writeFile(m_root + QStringLiteral("/mindex.emptying"), "store a-rebuild\nitems\n");
        } else if (found == QLatin1String("damaged")) {
            writeFile(m_root + QStringLiteral("/mindex.db"), QByteArray(4096, 'z'));
        }
        // The program's: item files in day folders and at the top.
        const QStringList own{QStringLiteral("091126/1.1.jpg"), QStringLiteral("101010/7.1.png"),
                              QStringLiteral("2.1.png"), QStringLiteral("2019.1.jpg")};
        // Everything else: the user's files, folders and links, and names close to the program's.
        QStringList others{QStringLiteral(".hidden"),          QStringLiteral("holiday.jpg"),
                           QStringLiteral("2019/wedding.png"), QStringLiteral("keep/1.1.jpg"),
                           QStringLiteral("091126/notes.txt"), QStringLiteral("123456"),
                           QStringLiteral("1.1.jpg.abcdefg"),  QStringLiteral("01.1.jpg"),
                           QStringLiteral("4.0.jpg"),          QStringLiteral("5.1.jpg.Ab3dEf"),
                           QStringLiteral("201905/12.1.jpg"),  QStringLiteral("1.2.jpg\n"),
                           QStringLiteral("123457\n/1.1.jpg"), QStringLiteral("091131/1.1.jpg"),
                           QStringLiteral("3.10.jpg.QwErTy"),  QStringLiteral("091126/1.2.jpg.AbCdEf"),
                           QStringLiteral("2.1.png.edited"),   QStringLiteral("091126/1.1.jpg.backup")};
        for (const QString& name : own + others)
            writeFile(items + QLatin1Char('/') + name, "old");
        // The program writes no links: these are the user's, whatever their names.
        QVERIFY(QFile::link(items + QStringLiteral("/holiday.jpg"), items + QStringLiteral("/8.1.jpg")));
        QVERIFY(QFile::link(items + QStringLiteral("/2019"), items + QStringLiteral("/9.1.jpg")));
        QVERIFY(QFile::link(items + QStringLiteral("/2019"), items + QStringLiteral("/111111")));
        // The program's files that stay where they are.
        QStringList stuck;
        const QString readOnly = blocked == QLatin1String("day") ? items + QStringLiteral("/091126") : items;
        const QFile::Permissions writable = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner;
        if (blocked == QLatin1String("day") || blocked == QLatin1String("folder")) {
            QVERIFY(QFile::setPermissions(readOnly, QFile::ReadOwner | QFile::ExeOwner));
            stuck = blocked == QLatin1String("day") ? QStringList{QStringLiteral("091126/1.1.jpg")} : own;
        } else if (blocked == QLatin1String("full")) {
            for (int n = 0; QFile(items + QStringLiteral("/fill-%1").arg(n)).open(QIODevice::WriteOnly); ++n)
                others << QStringLiteral("fill-%1").arg(n);
            stuck = own;
        }
        // In the child's private mount namespace, where even root cannot move a mount point or write to a
        // read-only mount.
        const QByteArray busy = QFile::encodeName(items + QStringLiteral("/091126/1.1.jpg"));
        const QByteArray itemsName = QFile::encodeName(items);
        if (blocked == QLatin1String("busy")) {
            QCOMPARE(::mount(QFile::encodeName(items + QStringLiteral("/holiday.jpg")).constData(),
                             busy.constData(), nullptr, MS_BIND, nullptr),
                     0);
            stuck = QStringList{QStringLiteral("091126/1.1.jpg")};
        } else if (blocked == QLatin1String("read-only")) {
            QCOMPARE(
                ::mount(nullptr, itemsName.constData(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr),
                0);
            stuck = own;
        }

        const QByteArray record = QFile::encodeName(m_root + QStringLiteral("/mindex.emptying"));
        if (blocked == QLatin1String("record"))
            UnlinkFaults::refused().insert(record);

        MessageLog log;
        const bool opened = m_db->open();
        UnlinkFaults::refused().clear();
        if (blocked == QLatin1String("day") || blocked == QLatin1String("folder"))
            QVERIFY(QFile::setPermissions(readOnly, writable));
        else if (blocked == QLatin1String("busy"))
            QCOMPARE(::umount(busy.constData()), 0);
        else if (blocked == QLatin1String("read-only"))
            QCOMPARE(::mount(nullptr, itemsName.constData(), nullptr, MS_REMOUNT | MS_BIND, nullptr), 0);
        QVERIFY(opened);
        QCOMPARE(backups(m_root).size(), found == QLatin1String("damaged") ? 1 : 0);
        QStringList left;
        QDirIterator it(items, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System | QDir::Hidden,
                        QDirIterator::Subdirectories);
        while (it.hasNext())
            left.append(it.next().mid(items.size() + 1));
        left.sort();
        QStringList kept = others + QStringList{QStringLiteral("091126"), QStringLiteral("111111"),
                                                QStringLiteral("2019"),   QStringLiteral("keep"),
                                                QStringLiteral("201905"), QStringLiteral("123457\n"),
                                                QStringLiteral("091131"), QStringLiteral("8.1.jpg"),
                                                QStringLiteral("9.1.jpg")};
        const QString replaced = QStringLiteral("replaced-20100102-030405");
        const QString logText = log.messages.join('\n');
        for (const QString& name : std::as_const(stuck)) {
            kept << name;
            if (name.contains(QLatin1Char('/')) && !kept.contains(name.section(QLatin1Char('/'), 0, 0)))
                kept << name.section(QLatin1Char('/'), 0, 0);
            // A day folder of nothing else stays whole, and is named so.
            const QString named = name.startsWith(QLatin1String("101010/")) ? QStringLiteral("101010") : name;
            QVERIFY2(logText.contains(QRegularExpression(QStringLiteral("could not be moved aside: .*") +
                                                         QRegularExpression::escape(named))),
                     qPrintable(logText));
        }
        if (blocked == QLatin1String("full"))
            QVERIFY2(logText.contains(QStringLiteral("the disk that holds %1 is full").arg(items)),
                     qPrintable(logText));
        if (kind != QLatin1String("plain") && stuck.size() < own.size()) {
            kept << replaced;
            for (const QString& name : own) {
                if (stuck.contains(name))
                    continue;
                kept << replaced + QLatin1Char('/') + name;
                const QString day = replaced + QLatin1Char('/') + name.section(QLatin1Char('/'), 0, 0);
                if (name.contains(QLatin1Char('/')) && !kept.contains(day))
                    kept << day;
            }
            QVERIFY2(!log.messages.filter(replaced).isEmpty(), qPrintable(logText));
        }
        QFile first(items +
                    (stuck.contains(QStringLiteral("091126/1.1.jpg")) || kind == QLatin1String("plain")
                         ? QStringLiteral("/091126/1.1.jpg")
                         : QLatin1Char('/') + replaced + QStringLiteral("/091126/1.1.jpg")));
        if (kind != QLatin1String("plain")) {
            QVERIFY(first.open(QIODevice::ReadOnly));
            QCOMPARE(first.readAll(), QByteArray("old"));
        }
        kept.sort();
        QCOMPARE(left, kept);
        QCOMPARE(QFileInfo(items).isSymLink(), kind == QLatin1String("link"));
        QVERIFY(QFileInfo(kind == QLatin1String("link") ? target : items).isDir());
        QCOMPARE(entries(m_root).filter(QRegularExpression(QStringLiteral("replaced|emptying"))),
                 blocked == QLatin1String("record") ? QStringList{QStringLiteral("mindex.emptying")}
                                                    : QStringList());
        // The folder fills for the new database, beside what stayed, and the next open keeps what it holds.
        SMediaItem item = dayItem(1, QDateTime(QDate(2009, 11, 26), QTime(12, 0), Qt::UTC));
        const QString fresh = m_db->itemFilePath(item, QStringLiteral("jpg"));
        QCOMPARE(fresh, items + (stuck.isEmpty() ? QStringLiteral("/091126/1.1.jpg")
                                                 : QStringLiteral("/091126/1.2.jpg")));
        if (blocked == QLatin1String("full"))
            return;
        writeFile(fresh, "new");
        QVERIFY(m_db->open());
        QVERIFY(QFileInfo::exists(fresh));
        QCOMPARE(entries(m_root).filter(QRegularExpression(QStringLiteral("replaced|emptying"))),
                 QStringList());
    }

    // A folder of downloaded files the user arranged holds nothing a rebuild deletes, also when what the
    // user keeps there is only the program's names: the whole folder's program files move aside, and the
    // emptying record never names it.
    void arrangedFolderIsNeverEmptied()
    {
        const QString target = m_dir->filePath(QStringLiteral("Pictures"));
        writeFile(target + QStringLiteral("/2019.1.jpg"), "mine");
        writeFile(target + QStringLiteral("/201905/12.1.jpg"), "mine");
        QVERIFY(QDir().mkpath(m_root));
        QVERIFY(QFile::link(target, m_root + QStringLiteral("/media")));
        writeFile(m_root + QStringLiteral("/users/5.jpg"), "old");
        writeFile(m_root + QStringLiteral("/users/notes.txt"), "mine");
        // The rebuild writes the emptying record (users holds a file of the user's) before its commit.
        QList<QByteArray> records;
        CMediaDataBaseMarker::setSyncObserver([&records, this](const QString& file, qint64) {
            QFile written(file);
            if (file.endsWith(QLatin1String("mindex.emptying.new")) && written.open(QIODevice::ReadOnly))
                records.append(written.readAll());
        });
        const bool opened = m_db->open();
        CMediaDataBaseMarker::setSyncObserver({});
        QVERIFY(opened);
        QCOMPARE(records.size(), 1);
        QVERIFY2(records.first().startsWith("store ") && records.first().endsWith("\nusers\n"),
                 records.first().constData());
        QCOMPARE(entries(target),
                 (QStringList{QStringLiteral("201905"), QStringLiteral("replaced-20100102-030405")}));
        QCOMPARE(entries(target + QStringLiteral("/replaced-20100102-030405")),
                 QStringList{QStringLiteral("2019.1.jpg")});
        QCOMPARE(entries(target + QStringLiteral("/201905")), QStringList{QStringLiteral("12.1.jpg")});
        QCOMPARE(entries(m_root + QStringLiteral("/users")), QStringList{QStringLiteral("notes.txt")});
    }

    // users/ keeps what the program did not write (six letters after a name of the program's too), and loses
    // user images and files.
    void usersFolderKeepsOtherFiles()
    {
        const QString users = m_root + QStringLiteral("/users");
        writeFile(m_root + QStringLiteral("/mindex.db"), QByteArray(4096, 'z'));
        const QStringList own{QStringLiteral("3.jpg"), QStringLiteral("4.1.png"), QStringLiteral("5.j")};
        const QStringList others{QStringLiteral("3.jpeg"),       QStringLiteral("notes.txt"),
                                 QStringLiteral(".hidden"),      QStringLiteral("091126/1.1.jpg"),
                                 QStringLiteral("3.jpg.AbCdEf"), QStringLiteral("4.2.png.QwErTy")};
        for (const QString& name : own + others)
            writeFile(users + QLatin1Char('/') + name, "old");
        QVERIFY(m_db->open());
        QCOMPARE(entries(users),
                 (QStringList{QStringLiteral(".hidden"), QStringLiteral("091126"), QStringLiteral("3.jpeg"),
                              QStringLiteral("3.jpg.AbCdEf"), QStringLiteral("4.2.png.QwErTy"),
                              QStringLiteral("notes.txt")}));
        QCOMPARE(entries(users + QStringLiteral("/091126")), QStringList{QStringLiteral("1.1.jpg")});
        QCOMPARE(entries(m_root).filter(QRegularExpression(QStringLiteral("replaced|emptying"))),
                 QStringList());
    }

    void twoStoragesCoexist()
    {
        MessageLog log;
        auto other = std::make_unique<CMediaDataBase>(m_dir->filePath(QStringLiteral("other")));
        QVERIFY(m_db->open());
        QVERIFY(other->open());
        SSmsMessage first;
        first.message = QStringLiteral("first");
        QVERIFY(m_db->addSmsMessage(first));
        SSmsMessage second;
        second.message = QStringLiteral("second");
        QVERIFY(other->addSmsMessage(second));
        other.reset();
        SSmsMessage third;
        third.message = QStringLiteral("third");
        QVERIFY(m_db->addSmsMessage(third));
        const QList<SSmsMessage> messages = m_db->smsMessages();
        QCOMPARE(messages.size(), 2);
        QCOMPARE(messages[1].message, QStringLiteral("third"));
        m_db.reset();
        QVERIFY2(log.messages.filter(QStringLiteral("still in use")).isEmpty(),
                 qPrintable(log.messages.join('\n')));
    }
};

QTEST_GUILESS_MAIN(TestMediaDataBaseOpen)
#include "tst_mediadatabaseopen.moc"
