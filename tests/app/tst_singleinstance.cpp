#include "mesksingleinstance.h"
#include "meskstoragelock.h"
#include "tempstorage.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QSysInfo>
#include <QTest>
#include <QThread>

#include <cerrno>
#include <cstdio>
#include <future>

#include <pwd.h>
#include <signal.h>
#include <unistd.h>

namespace {

// How many of this process's open files are the file at path.
int openCount(const QString& path)
{
    int count = 0;
    const QString target = QFileInfo(path).canonicalFilePath();
    const QDir fds(QStringLiteral("/proc/self/fd"));
    for (const QString& fd : fds.entryList(QDir::Files | QDir::System | QDir::NoDotAndDotDot)) {
        if (QFileInfo(fds.filePath(fd)).symLinkTarget() == target)
            ++count;
    }
    return count;
}

// Leaves Qt no runtime folder: XDG_RUNTIME_DIR not set, and a file where Qt would make its own
// folder in the temporary folder (TMPDIR, which the caller restores).
void noRuntimeFolder(const TempStorageRoot& root)
{
    qunsetenv("XDG_RUNTIME_DIR");
    const QString tmp = root.subPath(QStringLiteral("tmp"));
    qputenv("TMPDIR", QFile::encodeName(tmp));
    const passwd* user = ::getpwuid(::geteuid());
    QFile file(tmp + QStringLiteral("/runtime-") + QString::fromLocal8Bit(user ? user->pw_name : ""));
    QVERIFY(file.open(QIODevice::WriteOnly));
}

} // namespace

// The single-instance guard: one holder per runtime folder, and no blocking by
// the lock of a copy that was killed.
class TestSingleInstance : public QObject
{
    Q_OBJECT

private slots:
    void lockFileName()
    {
        TempStorageRoot root;
        CMeskSingleInstance guard;
        QVERIFY(!guard.isAlreadyRunning());
        QCOMPARE(guard.lockFilePath(), root.subPath(QStringLiteral("runtime")) +
                                           QStringLiteral("/{8E02CE05-B6A2-482b-B838-296774DD4A50}.lock"));
        QVERIFY(QFileInfo::exists(guard.lockFilePath()));
    }

    void secondGuardReportsRunning()
    {
        TempStorageRoot root;
        {
            CMeskSingleInstance first;
            QVERIFY(!first.isAlreadyRunning());
            CMeskSingleInstance second;
            QVERIFY(second.isAlreadyRunning());
            // The loser leaves the winner's lock in place.
            QVERIFY(QFileInfo::exists(first.lockFilePath()));
            CMeskSingleInstance third;
            QVERIFY(third.isAlreadyRunning());
        }
        // Released with its holder.
        CMeskSingleInstance again;
        QVERIFY(!again.isAlreadyRunning());
    }

    // A copy that has run for a while is not taken for a dead one.
    void oldLockOfLivingCopyHolds()
    {
        TempStorageRoot root;
        CMeskSingleInstance first;
        QVERIFY(!first.isAlreadyRunning());
        QFile lock(first.lockFilePath());
        QVERIFY(lock.open(QIODevice::ReadWrite));
        QVERIFY(
            lock.setFileTime(QDateTime::currentDateTime().addDays(-2), QFileDevice::FileModificationTime));
        lock.close();
        CMeskSingleInstance second;
        QVERIFY(second.isAlreadyRunning());
    }

    void lockOfKilledCopyIsTakenOver()
    {
        TempStorageRoot root;
        QProcess holder;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("TST_HOLD_LOCK"), QStringLiteral("1"));
        holder.setProcessEnvironment(env);
        holder.start(QCoreApplication::applicationFilePath(), {});
        QVERIFY(holder.waitForStarted());
        QVERIFY(holder.waitForReadyRead(20000));
        QCOMPARE(holder.readAllStandardOutput().trimmed(), QByteArray("holding"));
        {
            CMeskSingleInstance whileAlive;
            QVERIFY(whileAlive.isAlreadyRunning());
        }
        holder.kill();
        QVERIFY(holder.waitForFinished());
        CMeskSingleInstance next;
        QVERIFY(QFileInfo::exists(next.lockFilePath()));
        QVERIFY(!next.isAlreadyRunning());
    }

    // The program lets go of the guard when its window closes, before its storage clean-up: the
    // next copy starts at once.
    void releasedGuardLetsNextCopyIn()
    {
        TempStorageRoot root;
        CMeskSingleInstance first;
        QVERIFY(!first.isAlreadyRunning());
        first.release();
        CMeskSingleInstance next;
        QVERIFY(!next.isAlreadyRunning());
        CMeskSingleInstance third;
        QVERIFY(third.isAlreadyRunning());
        // A loser's release leaves the holder's lock alone.
        third.release();
        CMeskSingleInstance fourth;
        QVERIFY(fourth.isAlreadyRunning());
    }

    // The storage lock: a second holder waits for the first (up to its time-out), a copy that
    // was killed blocks nobody.
    void storageLockWaitsForHolder()
    {
        TempStorageRoot root;
        const QString storage = root.subPath(QStringLiteral("data")) + QStringLiteral("/Velto/mstorage");
        CMeskStorageLock first(storage);
        QVERIFY(first.acquire(0));
        QCOMPARE(first.lockFilePath(), storage + QStringLiteral(".lock"));
        QVERIFY(QFileInfo::exists(first.lockFilePath()));

        CMeskStorageLock second(storage);
        QVERIFY(!second.acquire(0));
        QVERIFY(!second.isHeld());
        // Taken as soon as the holder lets go, while the second one waits.
        std::future<bool> waiting =
            std::async(std::launch::async, [&second] { return second.acquire(10000); });
        first.release();
        QVERIFY(waiting.get());
        QVERIFY(second.isHeld());
        QVERIFY(!first.acquire(0));
        second.release();
        QVERIFY(first.acquire(0));
    }

    void storageLockOfKilledCopyIsTakenOver()
    {
        TempStorageRoot root;
        const QString storage = root.subPath(QStringLiteral("mstorage"));
        QProcess holder;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("TST_HOLD_STORAGE"), storage);
        holder.setProcessEnvironment(env);
        holder.start(QCoreApplication::applicationFilePath(), {});
        QVERIFY(holder.waitForStarted());
        QVERIFY(holder.waitForReadyRead(20000));
        QCOMPARE(holder.readAllStandardOutput().trimmed(), QByteArray("holding"));
        CMeskStorageLock lock(storage);
        QVERIFY(!lock.acquire(0));
        holder.kill();
        QVERIFY(holder.waitForFinished());
        QVERIFY(lock.acquire(0));
    }

    // Both locks end with their holder, whatever their file holds: a kill while the file was made
    // leaves it empty. A living holder still keeps everyone else out.
    void emptyLockFileBlocksNobody_data()
    {
        QTest::addColumn<bool>("storageLock");
        QTest::newRow("single-instance guard") << false;
        QTest::newRow("storage lock") << true;
    }
    void emptyLockFileBlocksNobody()
    {
        QFETCH(bool, storageLock);
        TempStorageRoot root;
        const QString storage = root.subPath(QStringLiteral("mstorage"));
        QFile empty(storageLock ? storage + QStringLiteral(".lock")
                                : root.subPath(QStringLiteral("runtime")) + QLatin1Char('/') +
                                      CMeskSingleInstance::guardId() + QStringLiteral(".lock"));
        QVERIFY(empty.open(QIODevice::WriteOnly));
        empty.close();
        if (storageLock) {
            CMeskStorageLock first(storage);
            QVERIFY(first.acquire(0));
            QVERIFY(!CMeskStorageLock(storage).acquire(0));
        } else {
            CMeskSingleInstance first;
            QVERIFY(!first.isAlreadyRunning());
            QVERIFY(CMeskSingleInstance().isAlreadyRunning());
        }
    }

    // A program the holder started (a browser, a player) does not keep the lock once the holder is gone.
    void childOfHolderDoesNotKeepLock_data()
    {
        QTest::addColumn<QString>("variable");
        QTest::newRow("single-instance guard") << QStringLiteral("TST_HOLD_LOCK");
        QTest::newRow("storage lock") << QStringLiteral("TST_HOLD_STORAGE");
    }
    void childOfHolderDoesNotKeepLock()
    {
        QFETCH(QString, variable);
        TempStorageRoot root;
        const QString storage = root.subPath(QStringLiteral("mstorage"));
        QProcess holder;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(variable, variable == QLatin1String("TST_HOLD_LOCK") ? QStringLiteral("1") : storage);
        env.insert(QStringLiteral("TST_START_CHILD"), QStringLiteral("1"));
        holder.setProcessEnvironment(env);
        holder.start(QCoreApplication::applicationFilePath(), {});
        QVERIFY(holder.waitForStarted());
        QVERIFY(holder.waitForReadyRead(20000));
        const QList<QByteArray> said = holder.readAllStandardOutput().trimmed().split(' ');
        QCOMPARE(said.size(), 2);
        QCOMPARE(said.first(), QByteArray("holding"));
        const pid_t child = said.last().toInt();
        QVERIFY(child > 0);
        const auto endChild = qScopeGuard([child] { ::kill(child, SIGKILL); });
        holder.kill();
        QVERIFY(holder.waitForFinished());
        // The child outlives its parent.
        QCOMPARE(::kill(child, 0), 0);
        if (variable == QLatin1String("TST_HOLD_LOCK"))
            QVERIFY(!CMeskSingleInstance().isAlreadyRunning());
        else
            QVERIFY(CMeskStorageLock(storage).acquire(0));
    }

    // A runtime folder that cannot hold a lock does not keep the program from starting; the guard
    // keeps why, and says it.
    void unusableFolderDoesNotBlock_data()
    {
        QTest::addColumn<QString>("setup");
        QTest::addColumn<int>("error");
        QTest::newRow("folder missing") << QStringLiteral("missing") << ENOENT;
        QTest::newRow("lock file is a folder") << QStringLiteral("folder") << EISDIR;
        QTest::newRow("folder not writable") << QStringLiteral("read-only") << EACCES;
        // Qt has no runtime folder to offer: the lock file is not made in the current folder.
        QTest::newRow("no runtime folder") << QStringLiteral("none") << ENOENT;
    }
    void unusableFolderDoesNotBlock()
    {
        QFETCH(QString, setup);
        QFETCH(int, error);
        if (setup == QLatin1String("read-only") && ::geteuid() == 0)
            QSKIP("root writes into every folder");
        TempStorageRoot root;
        QString folder = root.subPath(QStringLiteral("locks"));
        const QByteArray tmp = qgetenv("TMPDIR");
        const auto restoreTmp =
            qScopeGuard([tmp] { tmp.isEmpty() ? qunsetenv("TMPDIR") : qputenv("TMPDIR", tmp); });
        if (setup == QLatin1String("none")) {
            noRuntimeFolder(root);
            folder.clear();
            QVERIFY(QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation).isEmpty());
        } else if (setup == QLatin1String("missing"))
            folder = root.path() + QStringLiteral("/missing/folder");
        else if (setup == QLatin1String("folder"))
            QVERIFY(QDir(folder).mkdir(CMeskSingleInstance::guardId() + QStringLiteral(".lock")));
        else
            QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner));
        const QString lockFile =
            folder.isEmpty()
                ? QStringLiteral("(no runtime folder)")
                : folder + QLatin1Char('/') + CMeskSingleInstance::guardId() + QStringLiteral(".lock");
        QTest::ignoreMessage(
            QtWarningMsg, QRegularExpression(QRegularExpression::escape(lockFile) + QStringLiteral(".*: ") +
                                             QRegularExpression::escape(qt_error_string(error))));
        CMeskSingleInstance guard(folder);
        QVERIFY(!guard.isAlreadyRunning());
        QVERIFY(!guard.isHeld());
        QVERIFY(guard.isUnusable());
        QCOMPARE(guard.folder(), folder);
        QCOMPARE(guard.error(), error);
        QVERIFY(!QFileInfo::exists(CMeskSingleInstance::guardId() + QStringLiteral(".lock")));
        // A second copy finds the same.
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QRegularExpression::escape(lockFile)));
        QCOMPARE(CMeskSingleInstance(folder).error(), error);
    }

    // A copy of the program from before these locks (Qt's QLockFile, which takes over a file only when
    // the process its lines name is gone, and never one without them) is kept out while a holder lives
    // and gets the file once the holder has ended, however it ended.
    void olderCopyTakesFileOfEndedHolder_data()
    {
        QTest::addColumn<QString>("variable");
        QTest::addColumn<bool>("killed");
        QTest::newRow("single-instance guard, closed") << QStringLiteral("TST_HOLD_LOCK") << false;
        QTest::newRow("single-instance guard, killed") << QStringLiteral("TST_HOLD_LOCK") << true;
        QTest::newRow("storage lock, closed") << QStringLiteral("TST_HOLD_STORAGE") << false;
        QTest::newRow("storage lock, killed") << QStringLiteral("TST_HOLD_STORAGE") << true;
    }
    void olderCopyTakesFileOfEndedHolder()
    {
        QFETCH(QString, variable);
        QFETCH(bool, killed);
        TempStorageRoot root;
        const bool guard = variable == QLatin1String("TST_HOLD_LOCK");
        const QString storage = root.subPath(QStringLiteral("mstorage"));
        const QString lockFile = guard ? root.subPath(QStringLiteral("runtime")) + QLatin1Char('/') +
                                             CMeskSingleInstance::guardId() + QStringLiteral(".lock")
                                       : storage + QStringLiteral(".lock");
        QProcess holder;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(variable, guard ? QStringLiteral("1") : storage);
        env.insert(QStringLiteral("TST_END_ON_INPUT"), QStringLiteral("1"));
        holder.setProcessEnvironment(env);
        holder.start(QCoreApplication::applicationFilePath(), {});
        QVERIFY(holder.waitForStarted());
        QVERIFY(holder.waitForReadyRead(20000));
        QCOMPARE(holder.readAllStandardOutput().trimmed(), QByteArray("holding"));

        QLockFile older(lockFile);
        older.setStaleLockTime(0);
        QVERIFY(!older.tryLock(0));
        QCOMPARE(older.error(), QLockFile::LockFailedError);
        qint64 pid = 0;
        QString host;
        QString program;
        QVERIFY(older.getLockInfo(&pid, &host, &program));
        QCOMPARE(pid, holder.processId());
        QCOMPARE(host, QSysInfo::machineHostName());
        QCOMPARE(program, QFileInfo(QCoreApplication::applicationFilePath()).fileName());

        if (killed) {
            holder.kill();
        } else {
            holder.write("end\n");
            holder.closeWriteChannel();
        }
        QVERIFY(holder.waitForFinished(20000));
        if (!killed) {
            QCOMPARE(holder.exitStatus(), QProcess::NormalExit);
            QCOMPARE(holder.exitCode(), 0);
        }
        QVERIFY(QFileInfo::exists(lockFile));
        QVERIFY(older.tryLock(0));
        // The older copy's lock keeps this program out, as its own does.
        if (guard)
            QVERIFY(CMeskSingleInstance().isAlreadyRunning());
        else
            QVERIFY(!CMeskStorageLock(storage).acquire(0));
        // It removes the file when it ends; the next start makes it again.
        older.unlock();
        QVERIFY(!QFileInfo::exists(lockFile));
        if (guard)
            QVERIFY(!CMeskSingleInstance().isAlreadyRunning());
        else
            QVERIFY(CMeskStorageLock(storage).acquire(0));
    }

    // An older copy removes its file when it ends, after its lock is gone from it: a copy that was
    // waiting for that lock takes the file at the path, not the removed one, and keeps everyone out.
    void waiterTakesFileOfPath()
    {
        TempStorageRoot root;
        const QString storage = root.subPath(QStringLiteral("mstorage"));
        const QString lockFile = storage + QStringLiteral(".lock");
        QLockFile older(lockFile);
        older.setStaleLockTime(0);
        QVERIFY(older.tryLock(0));
        QCOMPARE(openCount(lockFile), 1);

        CMeskStorageLock waiter(storage);
        std::future<bool> waiting =
            std::async(std::launch::async, [&waiter] { return waiter.acquire(60000); });
        // The waiter has the older copy's file open, and waits for its lock.
        QTRY_COMPARE_WITH_TIMEOUT(openCount(lockFile), 2, 20000);
        older.unlock();
        QVERIFY(waiting.get());
        QVERIFY(waiter.isHeld());
        QVERIFY(QFileInfo::exists(lockFile));
        QVERIFY(!CMeskStorageLock(storage).acquire(0));
        QLockFile another(lockFile);
        another.setStaleLockTime(0);
        QVERIFY(!another.tryLock(0));
    }
};

namespace {

// Helper mode: with TST_START_CHILD, starts a program that outlives this one and adds its process id;
// then waits until killed.
[[noreturn]] void holdUntilKilled(bool holding)
{
    qint64 child = 0;
    if (holding && qEnvironmentVariableIsSet("TST_START_CHILD"))
        holding = QProcess::startDetached(QStringLiteral("sleep"), {QStringLiteral("600")}, {}, &child);
    std::printf("%s", holding ? "holding" : "refused");
    if (child > 0)
        std::printf(" %lld", child);
    std::printf("\n");
    std::fflush(stdout);
    for (;;)
        QThread::sleep(1);
}

} // namespace

namespace {

// Helper mode: with TST_END_ON_INPUT, says whether it holds and returns once a line comes in (or the
// input ends); otherwise holds until killed.
void holdUntilTold(bool holding)
{
    if (!qEnvironmentVariableIsSet("TST_END_ON_INPUT"))
        holdUntilKilled(holding);
    std::printf("%s\n", holding ? "holding" : "refused");
    std::fflush(stdout);
    char line[16];
    (void)std::fgets(line, sizeof line, stdin);
}

} // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsSet("TST_HOLD_LOCK")) {
        // Helper mode: hold the guard until killed or told to end.
        CMeskSingleInstance guard;
        holdUntilTold(!guard.isAlreadyRunning());
        return 0;
    }
    if (qEnvironmentVariableIsSet("TST_HOLD_STORAGE")) {
        // Helper mode: hold the storage lock until killed or told to end.
        CMeskStorageLock lock(qEnvironmentVariable("TST_HOLD_STORAGE"));
        holdUntilTold(lock.acquire(0));
        return 0;
    }
    QCoreApplication app(argc, argv);
    TestSingleInstance test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_singleinstance.moc"
