#include "mesksingleinstance.h"
#include "tempstorage.h"

#include <QFileInfo>
#include <QLockFile>
#include <QProcess>
#include <QTest>

// The program as a process: a second copy leaves at once with 0 while the
// first runs, and the lock of a killed copy blocks nobody.
class TestStartupProcess : public QObject
{
    Q_OBJECT

    std::unique_ptr<TempStorageRoot> m_root;

    void prepare(QProcess& process)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("LUMESK_INSTALLER_INI"), m_root->path() + QStringLiteral("/none.ini"));
        process.setProcessEnvironment(env);
        process.setProcessChannelMode(QProcess::ForwardedChannels);
        process.setProgram(QStringLiteral(LUMESK_APP_BINARY));
    }

private slots:
    void init() { m_root = std::make_unique<TempStorageRoot>(); }
    void cleanup() { m_root.reset(); }

    void secondCopyLeaves()
    {
        const QString lockFile = m_root->subPath(QStringLiteral("runtime")) + QLatin1Char('/') +
                                 CMeskSingleInstance::guardId() + QStringLiteral(".lock");
        const QString database =
            m_root->dataHome() + QStringLiteral("/Velto/Velto Lumesk/mstorage/mindex.db");

        QProcess first;
        prepare(first);
        first.start();
        QVERIFY(first.waitForStarted());
        // Up: the guard is taken and the engine has opened its storage.
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(lockFile) && QFileInfo::exists(database), 30000);
        QCOMPARE(first.state(), QProcess::Running);

        QProcess second;
        prepare(second);
        second.start();
        QVERIFY(second.waitForFinished(30000));
        QCOMPARE(second.exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.exitCode(), 0);
        QCOMPARE(first.state(), QProcess::Running);

        first.kill();
        QVERIFY(first.waitForFinished());
        QVERIFY(QFileInfo::exists(lockFile));
        CMeskSingleInstance next;
        QVERIFY(!next.isAlreadyRunning());
    }

    // An earlier version of the program, which used QLockFile (stale time 0) on the same two files, is
    // kept out while the program runs and takes both files once it has ended.
    void earlierVersionStartsAfterProgram()
    {
        const QStringList lockFiles{m_root->subPath(QStringLiteral("runtime")) + QLatin1Char('/') +
                                        CMeskSingleInstance::guardId() + QStringLiteral(".lock"),
                                    m_root->dataHome() + QStringLiteral("/Velto/Velto Lumesk/mstorage.lock")};
        const QString database =
            m_root->dataHome() + QStringLiteral("/Velto/Velto Lumesk/mstorage/mindex.db");
        QProcess program;
        prepare(program);
        program.start();
        QVERIFY(program.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(database), 30000);
        for (const QString& lockFile : lockFiles) {
            QLockFile earlier(lockFile);
            earlier.setStaleLockTime(0);
            QVERIFY2(!earlier.tryLock(0), qPrintable(lockFile));
            qint64 pid = 0;
            QString name;
            QVERIFY(earlier.getLockInfo(&pid, nullptr, &name));
            QCOMPARE(pid, program.processId());
            QCOMPARE(name, QFileInfo(QStringLiteral(LUMESK_APP_BINARY)).fileName());
        }
        program.kill();
        QVERIFY(program.waitForFinished());
        for (const QString& lockFile : lockFiles) {
            QLockFile earlier(lockFile);
            earlier.setStaleLockTime(0);
            QVERIFY2(earlier.tryLock(0), qPrintable(lockFile));
        }
    }
};

QTEST_GUILESS_MAIN(TestStartupProcess)
#include "tst_startupprocess.moc"
