// The storage as it fills: every look-up searches an index, batches are all or nothing, an item is
// never stored without its fields, unusable files are caught at open, the clean-up removes exactly
// what it deletes, and the storage refuses what would damage it.
#include "mediadatabase.h"
#include "mediadbtest.h"
#include "mediastoragebatch.h"
#include "testclock.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSqlError>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <csignal>
#include <cstdio>
#include <memory>
#include <unistd.h>

using namespace MediaDbTest;

namespace {
const QString writerVariable = QStringLiteral("TST_STORAGE_WRITER");
const QString deathVariable = QStringLiteral("TST_STORAGE_DEATH");

QDateTime utc(int day, int hour = 12)
{
    return QDateTime(QDate(2009, 11, day), QTime(hour, 0), Qt::UTC);
}

QHash<QString, QString> postFields(int i)
{
    return {{QStringLiteral("likes"), QString::number(i)},
            {QStringLiteral("comments"), QStringLiteral("3")},
            {QStringLiteral("permalink"), QStringLiteral("http://example.com/%1").arg(i)},
            {QStringLiteral("source"), QStringLiteral("web")}};
}

SMediaItem post(int i, mid_t provider = 1, const QDateTime& created = utc(26))
{
    SMediaItem item;
    item.provider = provider;
    item.type = MeskItemType::Event1;
    item.created = created;
    item.mediaId = QStringLiteral("m%1").arg(i);
    item.content = QStringLiteral("post %1").arg(i);
    return item;
}

void touch(const QString& path)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("data");
}

// Every entry under the folder with its mode and, for files, a hash of the content.
QStringList snapshot(const QString& root)
{
    QStringList entries;
    QDirIterator it(root, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QFileInfo info(path);
        QString entry = path.mid(root.size()) + QLatin1Char(' ') + QString::number(info.permissions(), 8);
        QFile file(path);
        if (info.isFile() && file.open(QIODevice::ReadOnly))
            entry += QLatin1Char(' ') +
                     QString::fromLatin1(
                         QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha1).toHex());
        entries.append(entry);
    }
    entries.sort();
    return entries;
}

// The query plan of a statement with its values, through a connection of its own: one detail per step.
// The setup statements run first on that connection (the temporary tables a statement uses).
QStringList queryPlan(const QString& file, const QString& statement, const QVariantList& values,
                      const QStringList& setup = {})
{
    QStringList details;
    const QString name = nextConnectionName();
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(file);
        if (db.open()) {
            for (const QString& statement : setup)
                QSqlQuery(db).exec(statement);
            QSqlQuery query(db);
            if (query.prepare(QStringLiteral("EXPLAIN QUERY PLAN ") + statement)) {
                for (int i = 0; i < values.size(); ++i)
                    query.bindValue(i, values.at(i));
                if (query.exec()) {
                    while (query.next())
                        details.append(query.value(3).toString());
                }
            }
            if (query.lastError().isValid())
                details.append(QStringLiteral("SCAN (failed: %1)").arg(query.lastError().text()));
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return details;
}

// The backups beside the database, without their -wal and -shm companions.
QStringList backups(const QString& root)
{
    QStringList names;
    for (const QString& name : QDir(root).entryList({QStringLiteral("mindex.db.bak-*")}, QDir::Files)) {
        if (!name.endsWith(QLatin1String("-wal")) && !name.endsWith(QLatin1String("-shm")))
            names.append(name);
    }
    return names;
}

QString schemaVersionRow()
{
    return QStringLiteral("INSERT INTO SERVICEKEYS VALUES (0, 'MDB_SCHEMA_VERSION', '2');");
}

// The seven tables as the first releases wrote them, without any index, and a few rows.
QStringList fileWithoutIndexes()
{
    return {
        QStringLiteral("CREATE TABLE SERVICEKEYS (PROVIDER INTEGER, KEY TEXT, VALUE TEXT);"),
        QStringLiteral("CREATE TABLE SERVICEUSERS (PROVIDER INTEGER, NAME TEXT, MEDIAID TEXT, URL TEXT, "
                       "AVATAR TEXT, TYPE INTEGER, EXTRA1 TEXT, EXTRA2 TEXT, EXTRA3 TEXT);"),
        QStringLiteral("CREATE TABLE SERVICEUSERFIELDS (USER INTEGER, FIELD TEXT, VALUE TEXT);"),
        QStringLiteral("CREATE TABLE MEDIAITEMS (PROVIDER INTEGER, PARENT INTEGER, USER INTEGER, CREATED "
                       "INTEGER, CONTENT TEXT, MEDIAID TEXT, TYPE INTEGER, ADDED INTEGER, EXTRA1 TEXT, "
                       "EXTRA2 TEXT, EXTRA3 TEXT);"),
        QStringLiteral("CREATE TABLE MEDIAITEMFIELDS (ITEM INTEGER, FIELD TEXT, VALUE TEXT);"),
        QStringLiteral(
            "CREATE TABLE MEDIASMSMESSAGES (MESSAGE TEXT, PHONE TEXT, CREATED INTEGER, TYPE INTEGER);"),
        QStringLiteral("CREATE TABLE MEDIASYNC (MEDIAEVENT INTEGER, PROVIDER INTEGER, SYNCDATE INTEGER, "
                       "MAXPERIOD INTEGER);"),
        schemaVersionRow(),
        QStringLiteral("INSERT INTO SERVICEKEYS VALUES (1, 'token', 'secret');"),
        QStringLiteral("INSERT INTO MEDIAITEMS VALUES (1, 0, 0, 1259236800, 'old', 'old1', 1, 1259236800, "
                       "'', '', '');"),
        QStringLiteral("INSERT INTO MEDIAITEMFIELDS VALUES (1, 'likes', '7');"),
        QStringLiteral("INSERT INTO SERVICEUSERS VALUES (1, 'Ann', 'u1', '', '', 0, '', '', '');"),
        QStringLiteral("INSERT INTO MEDIASMSMESSAGES VALUES ('keep me', '+4912', 1259193600, 0);"),
    };
}

// Child process: stores posts until it is killed, each an item with five fields: every other one in
// one call, the others as a provider does, the item with four fields and then, in the same batch, a
// field that needs the new id.
int runWriter(const QString& root)
{
    CMediaDataBase db(root);
    if (!db.open())
        return 2;
    std::printf("ready\n");
    std::fflush(stdout);
    for (int i = 0;; ++i) {
        SMediaItem item = post(i);
        QHash<QString, QString> fields = postFields(i);
        if (i % 2 == 0) {
            fields.insert(QStringLiteral("file"), QStringLiteral("in one call"));
            if (!db.addMediaItem(item, fields))
                return 3;
            continue;
        }
        CMediaStorageBatch batch(&db);
        if (!db.addMediaItem(item, fields))
            return 3;
        db.setMediaItemField(item.id,
                             {{QStringLiteral("file"), db.itemFilePath(item, QStringLiteral("jpg"))}});
        if (!batch.end())
            return 3;
    }
}

// Overwrites the root page of the items table and its right-most child: damage only a full read of
// the file finds.
bool damageItemPages(const QString& file)
{
    const int root =
        value(file, QStringLiteral("SELECT rootpage FROM sqlite_master WHERE name = 'MEDIAITEMS'")).toInt();
    const int pageSize = value(file, QStringLiteral("PRAGMA page_size")).toInt();
    QFile f(file);
    if (root <= 0 || pageSize <= 0 || !f.open(QIODevice::ReadWrite) || !f.seek(qint64(root - 1) * pageSize))
        return false;
    // An interior page of a table tree (type 5) keeps the child's number in bytes 8..11.
    const QByteArray header = f.read(12);
    if (header.size() != 12 || header.at(0) != 5)
        return false;
    const int child = (uchar(header.at(8)) << 24) | (uchar(header.at(9)) << 16) |
                      (uchar(header.at(10)) << 8) | uchar(header.at(11));
    for (int page : {root, child}) {
        if (!f.seek(qint64(page - 1) * pageSize) || f.write(QByteArray(pageSize, '\x5a')) != pageSize)
            return false;
    }
    return true;
}

// Child process: ends in a failed assertion, or ("crash") damages the open file and is killed.
int runDeath(const QString& mode, const QString& root)
{
    CMediaDataBase db(root);
    if (!db.open())
        return 2;
    if (mode == QLatin1String("crash")) {
        if (!damageItemPages(db.databasePath()))
            return 3;
        ::kill(::getpid(), SIGKILL);
    } else if (mode == QLatin1String("thread")) {
        std::unique_ptr<QThread> thread(QThread::create([&db] { db.smsMessages(); }));
        thread->start();
        thread->wait();
    } else {
        db.beginBatch(IMediaItemStorage::Commit::Normal);
        QCoreApplication::processEvents();
        db.endBatch();
    }
    return 0;
}
} // namespace

class TestMediaDataBaseScale : public QObject
{
    Q_OBJECT
private:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<TestClock> m_clock;
    std::unique_ptr<CMediaDataBase> m_db;
    QString m_root;

    int count(const QString& statement) const { return value(m_db->databasePath(), statement).toInt(); }

private slots:
    void initTestCase() { setTimeZone("UTC"); }

    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        m_clock = std::make_unique<TestClock>(QDateTime(QDate(2010, 1, 2), QTime(3, 4, 5), Qt::UTC));
        m_root = m_dir->filePath(QStringLiteral("store"));
        m_db = std::make_unique<CMediaDataBase>(m_root);
    }
    void cleanup()
    {
        m_db.reset();
        m_clock.reset();
        m_dir.reset();
    }

    // --- Indexes ----------------------------------------------------------------------------------

    void lookupsSearchAnIndex_data()
    {
        QTest::addColumn<bool>("oldFile");
        QTest::newRow("fresh file") << false;
        QTest::newRow("file without indexes") << true;
    }
    void lookupsSearchAnIndex()
    {
        QFETCH(bool, oldFile);
        const QString file = m_root + QStringLiteral("/mindex.db");
        if (oldFile) {
            QVERIFY(QDir().mkpath(m_root));
            bool ok = false;
            run(file, fileWithoutIndexes(), &ok);
            QVERIFY(ok);
        }
        QVERIFY(m_db->open());
        QVERIFY(backups(m_root).isEmpty());
        if (oldFile) {
            // Every row is still there.
            QCOMPARE(m_db->providerItems(0).size(), 1);
            QHash<QString, QString> fields;
            m_db->mediaItemFields(1, fields);
            QCOMPARE(fields.value(QStringLiteral("likes")), QStringLiteral("7"));
            QCOMPARE(m_db->serviceUsers(0).size(), 1);
            QCOMPARE(m_db->smsMessages().size(), 1);
            QString token;
            QVERIFY(m_db->serviceKey(1, QStringLiteral("token"), token));
            QCOMPARE(token, QStringLiteral("secret"));
        }

        SMediaItem parent = post(1);
        QVERIFY(m_db->addMediaItem(parent, postFields(1)));
        SMediaItem child = post(2);
        child.type = MeskItemType::Image;
        child.parent = parent.id;
        QVERIFY(m_db->addMediaItem(child));
        SServiceUser user;
        user.provider = 1;
        user.name = QStringLiteral("Bea");
        user.mediaId = QStringLiteral("u2");
        QVERIFY(m_db->addServiceUser(user));

        QList<QPair<QString, QVariantList>> statements;
        m_db->setStatementObserver([&statements](const QString& statement, const QVariantList& values) {
            statements.append({statement, values});
        });
        SMediaItem item;
        QVERIFY(m_db->mediaItem(parent.id, item));
        QCOMPARE(m_db->itemByMediaId(1, parent.mediaId).size(), 1);
        QCOMPARE(m_db->childItems(parent.id).size(), 1);
        QHash<QString, QString> fields;
        m_db->mediaItemFields(parent.id, fields);
        m_db->setMediaItemField(parent.id, {{QStringLiteral("likes"), QStringLiteral("9")},
                                            {QStringLiteral("new"), QStringLiteral("x")}});
        QVERIFY(m_db->updateMediaItem(parent));
        m_db->eventItemsBetween(utc(27), utc(25), 0);
        m_db->eventItemsBetween(utc(27), utc(25), 1);
        m_db->eventItems(0);
        m_db->eventItems(1);
        m_db->latestEventAtOrBefore(utc(27), 0);
        m_db->latestEventAtOrBefore(utc(27), 1);
        m_db->latestSmsMessageAtOrBefore(utc(27));
        m_db->smsMessagesBetween(utc(27), utc(25));
        m_db->mediaObjects(0);
        m_db->mediaObjectsBetween(utc(27), utc(25), 1);
        m_db->linkItems(1);
        m_db->linkItemsBetween(utc(27), utc(25), 0);
        m_db->itemsByType(MeskItemType::Image, 1);
        m_db->itemsByTypeBetween(utc(27), utc(25), MeskItemType::Image, 0);
        m_db->itemsBetween(utc(27), utc(25), 0);
        m_db->itemsBetween(utc(27), utc(25), 1);
        m_db->providerItems(1);
        m_db->itemsByContent(1, QStringLiteral("post"));
        m_db->latestItem(0);
        m_db->latestItem(1);
        m_db->itemsByMediaIdDesc(1);
        SServiceUser read;
        QVERIFY(m_db->serviceUser(user.id, read));
        QCOMPARE(m_db->serviceUserByMediaId(1, QStringLiteral("u2")).size(), 1);
        m_db->serviceUsers(1);
        QCOMPARE(m_db->findServiceUsers(0, QStringLiteral("Be")).size(), 1);
        m_db->findServiceUsers(1, QStringLiteral("Be"));
        m_db->setServiceUserField(user.id, {{QStringLiteral("city"), QStringLiteral("Oslo")}});
        m_db->serviceUserFields(user.id, fields);
        QVERIFY(m_db->updateServiceUser(user));
        QVERIFY(m_db->setServiceKey(1, QStringLiteral("token"), QStringLiteral("new")));
        QString key;
        QVERIFY(m_db->serviceKey(1, QStringLiteral("token"), key));
        QVERIFY(m_db->setSyncRecords(1, {parent.id}, 0));
        QCOMPARE(m_db->syncRecords(1).size(), 1);
        QVERIFY(m_db->deleteMediaItem(parent.id));
        QVERIFY(m_db->deleteServiceUser(user.id));
        QVERIFY(m_db->deleteServiceKeys(1));
        QVERIFY(m_db->deleteProviderItems(1));
        QVERIFY(m_db->deleteProviderUsers(1));
        m_db->setStatementObserver({});

        int checked = 0;
        for (const auto& [statement, values] : statements) {
            if (statement.startsWith(QLatin1String("INSERT")))
                continue;
            // The whole-table lists read every row by design.
            if (!statement.contains(QLatin1String(" WHERE ")))
                QFAIL(qPrintable(QStringLiteral("a look-up without a condition: ") + statement));
            const QStringList plan = queryPlan(file, statement, values);
            const bool searches = std::any_of(plan.cbegin(), plan.cend(), [](const QString& step) {
                return step.startsWith(QLatin1String("SEARCH"));
            });
            const bool scans = std::any_of(plan.cbegin(), plan.cend(), [](const QString& step) {
                return step.startsWith(QLatin1String("SCAN"));
            });
            QVERIFY2(searches && !scans,
                     qPrintable(statement + QStringLiteral(" -> ") + plan.join(QLatin1String("; "))));
            ++checked;
        }
        QVERIFY(checked > 30);
    }

    // The clean-up's statements find the rows of the item tables through an index: only the sync rows,
    // read whole by design, and its own temporary tables are read from end to end.
    void cleanupSearchesAnIndex()
    {
        QVERIFY(m_db->open());
        QList<mid_t> listed;
        for (int i = 0; i < 20; ++i) {
            SMediaItem made = post(i);
            QVERIFY(m_db->addMediaItem(made, postFields(i)));
            SMediaItem photo = made;
            photo.type = MeskItemType::Image;
            photo.parent = made.id;
            QVERIFY(m_db->addMediaItem(photo));
            if (i % 4 == 0)
                listed.append(made.id);
        }
        QVERIFY(m_db->setSyncRecords(1, listed, 1));
        QList<QPair<QString, QVariantList>> statements;
        m_db->setStatementObserver([&statements](const QString& statement, const QVariantList& values) {
            statements.append({statement, values});
        });
        QVERIFY(m_db->cleanup(true));
        QVERIFY(m_db->cleanup(false));
        m_db->setStatementObserver({});
        QCOMPARE(m_db->eventItems(0).size(), listed.size());

        QStringList setup;
        for (const auto& [statement, values] : statements) {
            if (statement.startsWith(QLatin1String("CREATE TEMP")))
                setup.append(statement);
        }
        QVERIFY(!setup.isEmpty());
        int checked = 0;
        for (const auto& [statement, values] : statements) {
            if (!statement.contains(QLatin1String("MEDIAITEM")))
                continue;
            const QStringList plan = queryPlan(m_db->databasePath(), statement, values, setup);
            QVERIFY2(!plan.isEmpty(), qPrintable(statement));
            for (const QString& step : plan) {
                const bool itemTables =
                    step.contains(QLatin1String("MEDIAITEMS")) ||
                    step.contains(QLatin1String("MEDIAITEMFIELDS")) || step.contains(QLatin1String(" M ")) ||
                    step.endsWith(QLatin1String(" M")) || step.contains(QLatin1String(" I ")) ||
                    step.endsWith(QLatin1String(" I"));
                QVERIFY2(!itemTables || step.startsWith(QLatin1String("SEARCH")),
                         qPrintable(statement + QStringLiteral(" -> ") + plan.join(QLatin1String("; "))));
            }
            ++checked;
        }
        QVERIFY(checked >= 3);
    }

    // --- Batches ----------------------------------------------------------------------------------

    void batchIsOneTransaction_data()
    {
        QTest::addColumn<int>("failAt");
        QTest::addColumn<bool>("nested");
        QTest::newRow("commit") << -1 << false;
        QTest::newRow("nested commit") << -1 << true;
        QTest::newRow("failed statement") << 50 << false;
        QTest::newRow("failed statement, nested") << 50 << true;
    }
    void batchIsOneTransaction()
    {
        QFETCH(int, failAt);
        QFETCH(bool, nested);
        QVERIFY(m_db->open());
        const QString file = m_db->databasePath();
        if (failAt >= 0) {
            bool ok = false;
            run(file,
                {QStringLiteral("CREATE TRIGGER REFUSE BEFORE INSERT ON MEDIAITEMS WHEN NEW.MEDIAID = 'm%1' "
                                "BEGIN SELECT RAISE(ABORT, 'refused'); END;")
                     .arg(failAt)},
                &ok);
            QVERIFY(ok);
        }
        const QString items = QStringLiteral("SELECT COUNT(*) FROM MEDIAITEMS");
        const QString fields = QStringLiteral("SELECT COUNT(*) FROM MEDIAITEMFIELDS");
        bool committed = false;
        {
            CMediaStorageBatch outer(m_db.get());
            auto inner = nested ? std::make_unique<CMediaStorageBatch>(m_db.get()) : nullptr;
            for (int i = 0; i < 100; ++i) {
                SMediaItem item = post(i);
                const bool stored = m_db->addMediaItem(item, postFields(i));
                QCOMPARE(stored, failAt < 0 || i < failAt);
                if (stored) {
                    m_db->setMediaItemField(item.id,
                                            {{QStringLiteral("file"), QStringLiteral("f%1").arg(i)}});
                    QCOMPARE(item.id != 0, true);
                }
            }
            if (inner)
                QCOMPARE(inner->end(), failAt < 0);
            QCOMPARE(count(items), 0);
            QCOMPARE(count(fields), 0);
            committed = outer.end();
            QVERIFY(!outer.end());
        }
        QCOMPARE(committed, failAt < 0);
        QCOMPARE(count(items), failAt < 0 ? 100 : 0);
        QCOMPARE(count(fields), failAt < 0 ? 500 : 0);
        // The storage works on after the batch, whatever became of it.
        SMediaItem after = post(1000);
        QVERIFY(m_db->addMediaItem(after));
    }

    void deletedFilesGoAfterTheCommit_data()
    {
        QTest::addColumn<bool>("commit");
        QTest::newRow("committed") << true;
        QTest::newRow("rolled back") << false;
    }
    void deletedFilesGoAfterTheCommit()
    {
        QFETCH(bool, commit);
        QVERIFY(m_db->open());
        SMediaItem item = post(1);
        QVERIFY(m_db->addMediaItem(item));
        const QString path = m_db->itemFilePath(item, QStringLiteral("jpg"));
        touch(path);
        bool ok = false;
        run(m_db->databasePath(),
            {QStringLiteral("CREATE TRIGGER REFUSE BEFORE INSERT ON MEDIAITEMS "
                            "WHEN NEW.MEDIAID = 'm2' BEGIN SELECT RAISE(ABORT, 'no'); END;")},
            &ok);
        QVERIFY(ok);
        {
            CMediaStorageBatch batch(m_db.get());
            QVERIFY(m_db->deleteMediaItem(item.id));
            QVERIFY(QFileInfo::exists(path));
            if (!commit) {
                QTest::ignoreMessage(QtDebugMsg,
                                     QRegularExpression(QStringLiteral("^CMediaDataBaseMethod: sql")));
                SMediaItem refused = post(2);
                QVERIFY(!m_db->addMediaItem(refused));
            }
            QCOMPARE(batch.end(), commit);
        }
        QCOMPARE(QFileInfo::exists(path), !commit);
        SMediaItem stored;
        QCOMPARE(m_db->mediaItem(item.id, stored), !commit);
    }

    // --- An item is stored with its fields ----------------------------------------------------------

    void killedWriterLeavesWholeItems()
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(writerVariable, m_root);
        for (int round = 0; round < 20; ++round) {
            QProcess writer;
            writer.setProcessEnvironment(env);
            writer.start(QCoreApplication::applicationFilePath(), {});
            QVERIFY(writer.waitForStarted());
            QVERIFY(writer.waitForReadyRead(30000));
            QCOMPARE(writer.readAllStandardOutput().trimmed(), QByteArray("ready"));
            QThread::msleep(QRandomGenerator::global()->bounded(5, 60));
            writer.kill();
            QVERIFY(writer.waitForFinished(30000));
            QCOMPARE(writer.exitStatus(), QProcess::CrashExit);
        }
        const QString file = m_root + QStringLiteral("/mindex.db");
        QVERIFY(value(file, QStringLiteral("SELECT COUNT(*) FROM MEDIAITEMS")).toInt() > 0);
        QCOMPARE(value(file, QStringLiteral("SELECT COUNT(*) FROM MEDIAITEMS WHERE (SELECT COUNT(*) FROM "
                                            "MEDIAITEMFIELDS WHERE ITEM = MEDIAITEMS.ROWID) <> 5"))
                     .toInt(),
                 0);
        QCOMPARE(value(file, QStringLiteral("SELECT COUNT(*) FROM MEDIAITEMFIELDS WHERE ITEM NOT IN "
                                            "(SELECT ROWID FROM MEDIAITEMS)"))
                     .toInt(),
                 0);
        QCOMPARE(value(file, QStringLiteral("PRAGMA integrity_check")).toString(), QStringLiteral("ok"));
    }

    // --- Unusable files ---------------------------------------------------------------------------

    void unusableFilesAreCaughtAtOpen_data()
    {
        QTest::addColumn<QString>("damage");
        QTest::newRow("damaged pages") << "pages";
        QTest::newRow("read-only file") << "file";
        QTest::newRow("read-only root") << "root";
    }
    void unusableFilesAreCaughtAtOpen()
    {
        QFETCH(QString, damage);
        if (damage != QLatin1String("pages") && ::geteuid() == 0)
            QSKIP("root writes every file");
        QVERIFY(m_db->open());
        for (int i = 0; i < 300; ++i) {
            SMediaItem item = post(i);
            item.content = QString(200, QLatin1Char('a' + i % 26));
            QVERIFY(m_db->addMediaItem(item));
        }
        SSmsMessage message;
        message.message = QStringLiteral("keep me");
        QVERIFY(m_db->addSmsMessage(message));
        m_db = std::make_unique<CMediaDataBase>(m_root);
        const QString file = m_root + QStringLiteral("/mindex.db");
        QVERIFY(!QFileInfo::exists(file + QStringLiteral("-wal")));

        if (damage == QLatin1String("pages")) {
            const int root = value(file, QStringLiteral("SELECT rootpage FROM sqlite_master WHERE name = "
                                                        "'MEDIAITEMS'"))
                                 .toInt();
            const int pageSize = value(file, QStringLiteral("PRAGMA page_size")).toInt();
            QVERIFY(root > 0 && pageSize > 0);
            QFile f(file);
            QVERIFY(f.open(QIODevice::ReadWrite));
            // The root and its right-most child: an interior page of a table tree (type 5) keeps the
            // child's number in bytes 8..11.
            QVERIFY(f.seek(qint64(root - 1) * pageSize));
            const QByteArray header = f.read(12);
            QCOMPARE(int(header.at(0)), 5);
            const int child = (uchar(header.at(8)) << 24) | (uchar(header.at(9)) << 16) |
                              (uchar(header.at(10)) << 8) | uchar(header.at(11));
            for (int page : {root, child}) {
                QVERIFY(f.seek(qint64(page - 1) * pageSize));
                f.write(QByteArray(pageSize, '\x5a'));
            }
            f.close();
            QTest::ignoreMessage(QtDebugMsg,
                                 QRegularExpression(QStringLiteral("^CMediaDataBase: not a usable")));
            QTest::ignoreMessage(QtDebugMsg,
                                 QRegularExpression(QStringLiteral("^CMediaDataBase: moved the old")));
            QVERIFY(m_db->open());
            const QStringList saved = backups(m_root);
            QCOMPARE(saved.size(), 1);
            QCOMPARE(value(m_root + QLatin1Char('/') + saved.first(),
                           QStringLiteral("SELECT MESSAGE FROM MEDIASMSMESSAGES"))
                         .toString(),
                     QStringLiteral("keep me"));
            QVERIFY(m_db->providerItems(0).isEmpty());
            return;
        }

        const QString target = damage == QLatin1String("file") ? file : m_root;
        const QFile::Permissions mode =
            damage == QLatin1String("file") ? QFile::ReadOwner : QFile::ReadOwner | QFile::ExeOwner;
        QVERIFY(QFile::setPermissions(target, mode));
        const QStringList before = snapshot(m_root);
        QTest::ignoreMessage(QtDebugMsg, "CMediaDataBase: failed to open SQLite database");
        QTest::ignoreMessage(QtDebugMsg,
                             qPrintable(QStringLiteral("CMediaDataBase: %1 is not writable").arg(target)));
        const bool opened = m_db->open();
        const QStringList after = snapshot(m_root);
        QVERIFY(QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        QVERIFY(!opened);
        QCOMPARE(after, before);
    }

    // The full read of the file is left out only when it is exactly as a clean close left it.
    void cleanCloseSkipsTheFullCheck_data()
    {
        QTest::addColumn<bool>("crash");
        QTest::addColumn<bool>("damagedLater");
        QTest::newRow("clean close, unchanged") << false << false;
        QTest::newRow("damaged, then killed") << true << false;
        QTest::newRow("clean close, damaged later") << false << true;
    }
    void cleanCloseSkipsTheFullCheck()
    {
        QFETCH(bool, crash);
        QFETCH(bool, damagedLater);
        QVERIFY(m_db->open());
        for (int i = 0; i < 300; ++i) {
            SMediaItem item = post(i);
            item.content = QString(200, QLatin1Char('a' + i % 26));
            QVERIFY(m_db->addMediaItem(item));
        }
        m_db = std::make_unique<CMediaDataBase>(m_root);
        const QString file = m_root + QStringLiteral("/mindex.db");
        if (crash) {
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert(deathVariable, QStringLiteral("crash"));
            env.insert(writerVariable, m_root);
            QProcess child;
            child.setProcessEnvironment(env);
            child.start(QCoreApplication::applicationFilePath(), {});
            QVERIFY(child.waitForFinished(60000));
            QCOMPARE(child.exitStatus(), QProcess::CrashExit);
        }
        if (damagedLater)
            QVERIFY(damageItemPages(file));
        const bool damaged = crash || damagedLater;
        if (damaged) {
            QTest::ignoreMessage(QtDebugMsg,
                                 QRegularExpression(QStringLiteral("^CMediaDataBase: not a usable")));
            QTest::ignoreMessage(QtDebugMsg,
                                 QRegularExpression(QStringLiteral("^CMediaDataBase: moved the old")));
        }
        QVERIFY(m_db->open());
        QCOMPARE(m_db->checkedPagesAtOpen(), damaged);
        QCOMPARE(backups(m_root).size(), damaged ? 1 : 0);
        QCOMPARE(m_db->providerItems(1).size(), damaged ? 0 : 300);
        // Taken at open: a crash from here on leaves nothing that vouches for the file.
        QVERIFY(!QFileInfo::exists(m_root + QStringLiteral("/mindex.clean")));
    }

    // --- Clean-up and provider deletion -------------------------------------------------------------

    void deletionRemovesExactlyItsFiles_data()
    {
        QTest::addColumn<bool>("cleanup");
        QTest::newRow("clean-up") << true;
        QTest::newRow("provider deletion") << false;
    }
    void deletionRemovesExactlyItsFiles()
    {
        QFETCH(bool, cleanup);
        QVERIFY(m_db->open());
        // 300 posts over three days, of providers 1 and 2, each an event with a photo, and files of
        // both in items and media.
        QList<SMediaItem> posts;
        QHash<mid_t, QStringList> files;
        QList<mid_t> listed;
        for (int i = 0; i < 300; ++i) {
            SMediaItem made = post(i, 1 + mid_t(i % 2), utc(24 + i / 100, i % 24));
            QVERIFY(m_db->addMediaItem(made, postFields(i)));
            SMediaItem photo = made;
            photo.type = MeskItemType::Image;
            photo.parent = made.id;
            photo.mediaId += QStringLiteral("p");
            QVERIFY(m_db->addMediaItem(photo));
            for (const SMediaItem& item : {made, photo}) {
                files[made.id] << m_db->itemFilePath(item, QStringLiteral("jpg"));
                touch(files[made.id].last());
                files[made.id] << m_db->mediaFilePath(item, QStringLiteral("png"));
                touch(files[made.id].last());
            }
            posts.append(made);
            // Day 26 (posts 200..299) is not listed at all: its folders empty out.
            if (i % 3 == 0 && i < 200)
                listed.append(made.id);
        }
        QVERIFY(m_db->setSyncRecords(1, listed, 0));
        // Names that only resemble an item's, in the folders of days 24 and 25.
        const QStringList foreign{m_root + QStringLiteral("/items/091124/notes.txt"),
                                  m_root + QStringLiteral("/items/091124/0%1.1.jpg").arg(posts[1].id),
                                  m_root + QStringLiteral("/media/091125/%1x.1.png").arg(posts[101].id),
                                  m_root + QStringLiteral("/media/091125/%1").arg(posts[101].id)};
        for (const QString& path : foreign)
            touch(path);

        if (cleanup)
            QVERIFY(m_db->cleanup(false));
        else
            QVERIFY(m_db->deleteProviderItems(1));

        int kept = 0;
        for (const SMediaItem& made : posts) {
            const bool gone = cleanup ? !listed.contains(made.id) : made.provider == 1;
            kept += gone ? 0 : 1;
            SMediaItem stored;
            QCOMPARE(m_db->mediaItem(made.id, stored), !gone);
            QCOMPARE(m_db->childItems(made.id).size(), gone ? 0 : 1);
            for (const QString& path : files.value(made.id))
                QVERIFY2(QFileInfo::exists(path) != gone, qPrintable(path));
        }
        QCOMPARE(count(QStringLiteral("SELECT COUNT(*) FROM MEDIAITEMS")), kept * 2);
        QCOMPARE(count(QStringLiteral("SELECT COUNT(*) FROM MEDIAITEMFIELDS")), kept * 4);
        for (const QString& path : foreign)
            QVERIFY2(QFileInfo::exists(path), qPrintable(path));
        // The clean-up empties day 26; the provider deletion leaves provider 2's files there.
        QCOMPARE(QFileInfo::exists(m_root + QStringLiteral("/items/091126")), !cleanup);
        QCOMPARE(QFileInfo::exists(m_root + QStringLiteral("/media/091126")), !cleanup);
        QVERIFY(QFileInfo(m_root + QStringLiteral("/items")).isDir());
    }

    // --- Refusals -----------------------------------------------------------------------------------

    void schemaRowCannotBeChanged()
    {
        QVERIFY(m_db->open());
        QVERIFY(m_db->setServiceKey(1, QStringLiteral("token"), QStringLiteral("secret")));
        const QString file = m_db->databasePath();
        const QList<QVariantList> before =
            rows(file, QStringLiteral("SELECT * FROM SERVICEKEYS ORDER BY ROWID"));
        QTest::ignoreMessage(QtDebugMsg, "CMediaDataBase: the keys of provider 0 are the storage's own");
        QVERIFY(!m_db->setServiceKey(0, QStringLiteral("MDB_SCHEMA_VERSION"), QStringLiteral("3")));
        QTest::ignoreMessage(QtDebugMsg, "CMediaDataBase: the keys of provider 0 are the storage's own");
        QVERIFY(!m_db->deleteServiceKeys(0));
        QVERIFY(m_db->open());
        QVERIFY(backups(m_root).isEmpty());
        QCOMPARE(rows(file, QStringLiteral("SELECT * FROM SERVICEKEYS ORDER BY ROWID")), before);
    }

    void misuseEndsTheProgram_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QString>("named");
        QTest::newRow("call from another thread") << "thread"
                                                  << "smsMessages";
        QTest::newRow("batch across the event loop") << "batch"
                                                     << "CMediaStorageBatch";
    }
    void misuseEndsTheProgram()
    {
#ifdef QT_NO_DEBUG
        QSKIP("the checks are assertions of debug builds");
#endif
        QFETCH(QString, mode);
        QFETCH(QString, named);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(deathVariable, mode);
        env.insert(writerVariable, m_root);
        QProcess child;
        child.setProcessEnvironment(env);
        child.setProcessChannelMode(QProcess::MergedChannels);
        child.start(QCoreApplication::applicationFilePath(), {});
        QVERIFY(child.waitForFinished(60000));
        const QString output = QString::fromLocal8Bit(child.readAll());
        QCOMPARE(child.exitStatus(), QProcess::CrashExit);
        QVERIFY2(output.contains(QStringLiteral("ASSERT failure in ") + named), qPrintable(output));
    }
};

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QString root = qEnvironmentVariable("TST_STORAGE_WRITER");
    const QString death = qEnvironmentVariable("TST_STORAGE_DEATH");
    if (!death.isEmpty())
        return runDeath(death, root);
    if (!root.isEmpty())
        return runWriter(root);
    TestMediaDataBaseScale test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_mediadatabasescale.moc"
