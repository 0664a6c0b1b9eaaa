#include "mesklogindpowerevents.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

class TestLogindPowerEvents : public QObject
{
    Q_OBJECT
private slots:
    void cleanup();
    void resumeFromPrivateBus();
    void unconnectableBus();

private:
    QProcess m_daemon;
};

void TestLogindPowerEvents::cleanup()
{
    QDBusConnection::disconnectFromBus(QStringLiteral("lumesk-logind"));
    QDBusConnection::disconnectFromBus(QStringLiteral("lumesk-listener"));
    QDBusConnection::disconnectFromBus(QStringLiteral("lumesk-nowhere"));
    if (m_daemon.state() != QProcess::NotRunning) {
        m_daemon.terminate();
        if (!m_daemon.waitForFinished(5000)) {
            m_daemon.kill();
            m_daemon.waitForFinished(5000);
        }
    }
}

void TestLogindPowerEvents::resumeFromPrivateBus()
{
    const QString daemon = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
    if (daemon.isEmpty())
        QSKIP("dbus-daemon is not installed: the logind power-events layer is not tested on a bus");
    QTemporaryDir socketDir;
    QVERIFY(socketDir.isValid());
    m_daemon.start(daemon, {QStringLiteral("--session"), QStringLiteral("--nofork"),
                            QStringLiteral("--nopidfile"), QStringLiteral("--print-address=1"),
                            QStringLiteral("--address=unix:tmpdir=") + socketDir.path()});
    QVERIFY2(m_daemon.waitForStarted(30000), qPrintable(m_daemon.errorString()));
    while (!m_daemon.canReadLine())
        QVERIFY2(m_daemon.waitForReadyRead(30000), "dbus-daemon printed no address");
    const QString address = QString::fromUtf8(m_daemon.readLine()).trimmed();
    QVERIFY(!address.isEmpty());

    // The stand-in logind owns its name before the layer starts listening.
    QDBusConnection logind = QDBusConnection::connectToBus(address, QStringLiteral("lumesk-logind"));
    QVERIFY(logind.isConnected());
    QCOMPARE(logind.interface()->registerService(QStringLiteral("org.freedesktop.login1")).value(),
             QDBusConnectionInterface::ServiceRegistered);

    CMeskLogindPowerEvents events(QDBusConnection::connectToBus(address, QStringLiteral("lumesk-listener")));
    QVERIFY(events.isWatching());
    QSignalSpy resumed(&events, &IMeskPowerEvents::resumed);

    for (const bool start : {true, false}) {
        QDBusMessage message = QDBusMessage::createSignal(QStringLiteral("/org/freedesktop/login1"),
                                                          QStringLiteral("org.freedesktop.login1.Manager"),
                                                          QStringLiteral("PrepareForSleep"));
        message << start;
        QVERIFY(logind.send(message));
    }
    // Signals arrive in the order sent: when the wake-up is through, going to sleep was handled.
    QTRY_COMPARE_WITH_TIMEOUT(resumed.count(), 1, 30000);
    QTest::qWait(50);
    QCOMPARE(resumed.count(), 1);
}

void TestLogindPowerEvents::unconnectableBus()
{
    const QTemporaryDir dir;
    const QDBusConnection nowhere =
        QDBusConnection::connectToBus(QStringLiteral("unix:path=") + dir.path() + QStringLiteral("/no-bus"),
                                      QStringLiteral("lumesk-nowhere"));
    QVERIFY(!nowhere.isConnected());
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression(QStringLiteral("^CMeskLogindPowerEvents: ")));
    CMeskLogindPowerEvents events(nowhere);
    QVERIFY(!events.isWatching());
    QSignalSpy resumed(&events, &IMeskPowerEvents::resumed);
    QTest::qWait(20);
    QCOMPARE(resumed.count(), 0);

    // The program's own layer on the system bus, which may be missing here.
    const std::unique_ptr<IMeskPowerEvents> systemEvents = IMeskPowerEvents::create();
    QVERIFY(qobject_cast<CMeskLogindPowerEvents*>(systemEvents.get()));
}

QTEST_GUILESS_MAIN(TestLogindPowerEvents)
#include "tst_logindpowerevents.moc"
