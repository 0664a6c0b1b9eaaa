#include "fakemodemmanager.h"
#include "mesklogindpowerevents.h"

#include <QDBusConnectionInterface>
#include <QDBusError>
#include <QDBusMessage>
#include <QRegularExpression>
#include <QSignalSpy>
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
    PrivateBus m_bus;
};

void TestLogindPowerEvents::cleanup()
{
    QDBusConnection::disconnectFromBus(QStringLiteral("lumesk-logind"));
    QDBusConnection::disconnectFromBus(QStringLiteral("lumesk-listener"));
    QDBusConnection::disconnectFromBus(QStringLiteral("lumesk-nowhere"));
    m_bus.stop();
}

void TestLogindPowerEvents::resumeFromPrivateBus()
{
    if (!PrivateBus::isDaemonInstalled())
        QSKIP("dbus-daemon is not installed: the logind power-events layer is not tested on a bus");
    QVERIFY2(m_bus.start(), qPrintable(m_bus.error()));
    const QString address = m_bus.address();

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
    // Nothing listens in a folder made just now: the socket is not there. The folder is in /tmp, not
    // in TMPDIR, so the path is short enough for a socket wherever the test runs.
    const QTemporaryDir dir(QStringLiteral("/tmp/lumesk-nobus-XXXXXX"));
    QVERIFY(dir.isValid());
    const QDBusConnection nowhere =
        QDBusConnection::connectToBus(QStringLiteral("unix:path=") + dir.path() + QStringLiteral("/no-bus"),
                                      QStringLiteral("lumesk-nowhere"));
    QVERIFY(!nowhere.isConnected());
    QCOMPARE(nowhere.lastError().name(), QStringLiteral("org.freedesktop.DBus.Error.FileNotFound"));
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
