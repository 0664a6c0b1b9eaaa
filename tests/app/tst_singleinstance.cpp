#include "mesksingleinstance.h"
#include "meskstoragelock.h"
#include "tempstorage.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QScopeGuard>
#include <QTest>
#include <QThread>

#include <cstdio>
#include <future>

#include <signal.h>

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

    // A runtime folder that cannot hold a lock does not keep the program from starting.
    void unusableFolderDoesNotBlock()
    {
        TempStorageRoot root;
        CMeskSingleInstance guard(root.path() + QStringLiteral("/missing/folder"));
        QVERIFY(!guard.isAlreadyRunning());
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

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsSet("TST_HOLD_LOCK")) {
        // Helper mode: hold the guard until killed.
        CMeskSingleInstance guard;
        holdUntilKilled(!guard.isAlreadyRunning());
    }
    if (qEnvironmentVariableIsSet("TST_HOLD_STORAGE")) {
        // Helper mode: hold the storage lock until killed.
        CMeskStorageLock lock(qEnvironmentVariable("TST_HOLD_STORAGE"));
        holdUntilKilled(lock.acquire(0));
    }
    QCoreApplication app(argc, argv);
    TestSingleInstance test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_singleinstance.moc"
