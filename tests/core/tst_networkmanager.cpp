#include "fakemodem.h"
#include "fakenetworkbackend.h"
#include "mesknetworkmanager.h"

#include <QCoreApplication>
#include <QMutex>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>

#include <memory>

namespace {
// Debug messages of every thread, for the tests that look for a message.
QMutex s_logMutex;
QStringList s_log;
QtMessageHandler s_previousHandler = nullptr;

void recordMessage(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    {
        QMutexLocker lock(&s_logMutex);
        s_log << message;
    }
    s_previousHandler(type, context, message);
}

QStringList takeLog()
{
    QMutexLocker lock(&s_logMutex);
    return std::exchange(s_log, {});
}
} // namespace

class TestNetworkManager : public QObject
{
    Q_OBJECT

    FakeNetworkBackend* m_network = nullptr;
    FakeModem* m_modem = nullptr;
    bool m_networkSupported = true;
    bool m_modemSupported = true;
    bool m_linuxModem = false;

    // Signals of the manager in the order they arrived, with the thread that got them.
    QStringList m_signals;
    QList<QThread*> m_threads;

    std::unique_ptr<CMeskNetworkManager> makeManager()
    {
        auto manager = std::make_unique<CMeskNetworkManager>();
        const auto record = [this, m = manager.get()](auto signal, const char* name) {
            connect(m, signal, this, [this, name] {
                m_signals << QLatin1String(name);
                m_threads << QThread::currentThread();
            });
        };
        using M = CMeskNetworkManager;
        record(&M::ready, "ready");
        record(&M::networkChanged, "networkChanged");
        record(&M::internetConnected, "internetConnected");
        record(&M::internetDisconnected, "internetDisconnected");
        record(&M::cellularStateChanged, "cellularStateChanged");
        record(&M::cellularSignalChanged, "cellularSignalChanged");
        record(&M::initFailed, "initFailed");
        record(&M::networkListenerFailed, "networkListenerFailed");
        record(&M::cellularListenerFailed, "cellularListenerFailed");
        return manager;
    }

    bool allOnGuiThread() const
    {
        return std::all_of(m_threads.begin(), m_threads.end(),
                           [](QThread* thread) { return thread == QCoreApplication::instance()->thread(); });
    }

    bool readyWith(CMeskNetworkManager* manager, int count = 1)
    {
        manager->start();
        return QTest::qWaitFor([&] { return m_signals.count(QStringLiteral("ready")) >= count; }, 30000);
    }

private slots:
    void initTestCase() { s_previousHandler = qInstallMessageHandler(recordMessage); }

    void cleanupTestCase()
    {
        qInstallMessageHandler(s_previousHandler);
        MeskNetworkBackends::setFactory({});
    }

    void init()
    {
        m_networkSupported = true;
        m_modemSupported = true;
        m_linuxModem = false;
        m_signals.clear();
        m_threads.clear();
        takeLog();
        MeskNetworkBackends::setFactory([this] {
            SMeskNetworkBackends backends;
            auto network = std::make_unique<FakeNetworkBackend>();
            network->setSupported(m_networkSupported);
            m_network = network.get();
            backends.network = std::move(network);
            if (!m_linuxModem) {
                auto modem = std::make_unique<FakeModem>();
                modem->setSupported(m_modemSupported);
                m_modem = modem.get();
                backends.modem = std::move(modem);
            }
            return backends;
        });
    }

    void defaultsWithoutWorker()
    {
        CMeskNetworkManager manager;
        QCOMPARE(manager.networkType(), 1);
        QVERIFY(manager.isInternetConnected());
        QCOMPARE(manager.cellularState(), 0);
        QCOMPARE(manager.cellularSignal(), 3);
        QVERIFY(manager.operatorName().isNull());
        QVERIFY(manager.ownPhoneNumber().isNull());
        QCOMPARE(manager.modemBackend(), m_modem);
        QCOMPARE(manager.networkBackend(), m_network);
    }

    void bothUnsupported()
    {
        m_networkSupported = false;
        m_modemSupported = false;
        auto manager = makeManager();
        manager->start();
        QTRY_VERIFY_WITH_TIMEOUT(m_signals.contains(QStringLiteral("initFailed")), 30000);
        QCoreApplication::processEvents();
        QCOMPARE(m_signals,
                 (QStringList{QStringLiteral("networkListenerFailed"),
                              QStringLiteral("cellularListenerFailed"), QStringLiteral("initFailed")}));
        QVERIFY(allOnGuiThread());
        QCOMPARE(manager->networkType(), 1);
        QVERIFY(manager->isInternetConnected());
        QCOMPARE(manager->cellularState(), 0);
        QCOMPARE(manager->cellularSignal(), 3);
        QVERIFY(manager->operatorName().isNull());
        QVERIFY(manager->ownPhoneNumber().isNull());
        const QStringList log = takeLog();
        QVERIFY(log.contains(QStringLiteral("CMeskNetworkManager: network list manager not supported")));
        QVERIFY(
            log.contains(QStringLiteral("CMeskNetworkManager: there is no mobile broad band API available")));
    }

    void oneSideUnsupported_data()
    {
        QTest::addColumn<bool>("networkSupported");
        QTest::addColumn<QString>("failure");
        QTest::newRow("network") << false << QStringLiteral("networkListenerFailed");
        QTest::newRow("modem") << true << QStringLiteral("cellularListenerFailed");
    }

    void oneSideUnsupported()
    {
        QFETCH(bool, networkSupported);
        QFETCH(QString, failure);
        m_networkSupported = networkSupported;
        m_modemSupported = !networkSupported;
        auto manager = makeManager();
        // The working side reports its own state; the other side answers its defaults.
        m_network->setOnline(false);
        m_modem->setSilent(true);
        m_modem->setDevicePresent(true);
        m_modem->setReadyState(1);
        QVERIFY(readyWith(manager.get()));
        QCOMPARE(m_signals.count(failure), 1);
        QVERIFY(m_signals.indexOf(failure) < m_signals.indexOf(QStringLiteral("ready")));
        QVERIFY(!m_signals.contains(QStringLiteral("initFailed")));
        if (networkSupported) {
            QVERIFY(!manager->isInternetConnected());
            QCOMPARE(manager->networkType(), 0);
            QCOMPARE(manager->cellularState(), 0);
            QCOMPARE(manager->cellularSignal(), 3);
        } else {
            QVERIFY(manager->isInternetConnected());
            QCOMPARE(manager->networkType(), 1);
            QCOMPARE(manager->cellularState(), 5);
            QCOMPARE(manager->cellularSignal(), 0);
        }
        QVERIFY(allOnGuiThread());
    }

    void linuxModemHasNoDevice()
    {
        m_linuxModem = true;
        auto manager = makeManager();
        QVERIFY(readyWith(manager.get()));
        QCOMPARE(manager->cellularState(), 0);
        QCOMPARE(manager->cellularSignal(), 0);
        QVERIFY(manager->operatorName().isNull());
        QVERIFY(!m_signals.contains(QStringLiteral("cellularListenerFailed")));
    }

    void changesArriveOnGuiThread()
    {
        auto manager = makeManager();
        QVERIFY(readyWith(manager.get()));
        m_signals.clear();
        m_threads.clear();

        FakeModemDriver driver(m_modem);
        QVERIFY(driver.run({[](FakeModem& m) { m.setDevicePresent(true); },
                            [](FakeModem& m) { m.setReadyState(1); },
                            [](FakeModem& m) { m.setSignalStrength(27); }}));
        QTRY_VERIFY_WITH_TIMEOUT(m_signals.contains(QStringLiteral("cellularSignalChanged")), 30000);
        QVERIFY(m_signals.contains(QStringLiteral("cellularStateChanged")));
        QCOMPARE(manager->cellularState(), 5);
        QCOMPARE(manager->cellularSignal(), 3);

        m_network->setOnline(false);
        QTRY_VERIFY_WITH_TIMEOUT(m_signals.contains(QStringLiteral("internetDisconnected")), 30000);
        QVERIFY(!manager->isInternetConnected());
        QCOMPARE(manager->networkType(), 0);

        m_network->setMedium(2);
        m_network->setOnline(true);
        QTRY_VERIFY_WITH_TIMEOUT(m_signals.contains(QStringLiteral("networkChanged")), 30000);
        QVERIFY(m_signals.indexOf(QStringLiteral("internetConnected")) <
                m_signals.indexOf(QStringLiteral("networkChanged")));
        QCOMPARE(manager->networkType(), 2);
        QVERIFY(allOnGuiThread());
    }

    void readsWhileModemChanges()
    {
        auto manager = makeManager();
        m_modem->setSilent(true);
        m_modem->setDevicePresent(true);
        m_modem->setReadyState(1);
        m_modem->setSilent(false);
        QVERIFY(readyWith(manager.get()));

        static const QRegularExpression operatorForm(QStringLiteral("^Operator \\d+$"));
        static const QRegularExpression numberForm(QStringLiteral("^\\+47\\d+$"));
        constexpr int changes = 10000;
        FakeModemDriver driver(m_modem);
        driver.play({[](FakeModem& m) {
            for (int i = 0; i < changes; ++i) {
                m.setOwnNumbers({QStringLiteral("+47%1").arg(i), QStringLiteral("+4700000000")});
                m.setHomeProvider(QStringLiteral("Operator %1").arg(i));
            }
        }});
        int reads = 0;
        do {
            const QString name = manager->operatorName();
            const QString number = manager->ownPhoneNumber();
            ++reads;
            if (!name.isEmpty()) {
                QVERIFY2(operatorForm.match(name).hasMatch(), qPrintable(name));
            }
            if (!number.isEmpty()) {
                QVERIFY2(numberForm.match(number).hasMatch(), qPrintable(number));
            }
        } while (!driver.wait(0));
        QVERIFY(reads > 0);
        QTRY_COMPARE_WITH_TIMEOUT(manager->operatorName(), QStringLiteral("Operator %1").arg(changes - 1),
                                  30000);
        QCOMPARE(manager->ownPhoneNumber(), QStringLiteral("+47%1").arg(changes - 1));
    }

    void stopAndRestart()
    {
        auto manager = makeManager();
        manager->stop(); // never started
        QVERIFY(readyWith(manager.get()));
        QCOMPARE(manager->cellularState(), 0);

        // The new worker reads the modem afresh.
        m_modem->setSilent(true);
        m_modem->setDevicePresent(true);
        m_modem->setReadyState(6);
        QVERIFY(readyWith(manager.get(), 2));
        QCOMPARE(manager->cellularState(), 4);

        manager->stop();
        manager->stop();
        QCOMPARE(manager->cellularState(), 0);
        QCOMPARE(manager->cellularSignal(), 3);
        QVERIFY(manager->isInternetConnected());

        // Started and stopped at once, the worker still ends cleanly.
        for (int i = 0; i < 20; ++i) {
            manager->start();
            manager->stop();
        }
        // Whatever the stopped workers reported is already queued here.
        QCoreApplication::sendPostedEvents();
        m_signals.clear();
        QVERIFY(readyWith(manager.get()));
        QCOMPARE(manager->cellularState(), 4);
    }

    void stopWhileModemEmits()
    {
        auto manager = makeManager();
        m_modem->setSilent(true);
        m_modem->setDevicePresent(true);
        m_modem->setReadyState(1);
        m_modem->setSilent(false);
        QVERIFY(readyWith(manager.get()));

        FakeModemDriver driver(m_modem);
        driver.playRepeatedly([](FakeModem& m, int round) {
            m.setSignalStrength(quint32(round % 32));
            m.setReadyState(round % 2 ? 1 : 6);
        });
        QTRY_VERIFY_WITH_TIMEOUT(m_modem->queryCount(FakeModem::Query::SignalStrength) > 200, 30000);
        manager->stop();

        const int signalQueries = m_modem->queryCount(FakeModem::Query::SignalStrength);
        const int readyQueries = m_modem->queryCount(FakeModem::Query::ReadyState);
        const int rounds = driver.rounds();
        QTRY_VERIFY_WITH_TIMEOUT(driver.rounds() > rounds + 500, 30000);
        driver.stop();
        QCOMPARE(m_modem->queryCount(FakeModem::Query::SignalStrength), signalQueries);
        QCOMPARE(m_modem->queryCount(FakeModem::Query::ReadyState), readyQueries);
        QCOMPARE(manager->cellularSignal(), 3);
    }

    void destroyedWhileRunning()
    {
        auto manager = makeManager();
        QVERIFY(readyWith(manager.get()));
        FakeModemDriver driver(m_modem);
        driver.playRepeatedly([](FakeModem& m, int round) { m.setDevicePresent(round % 2); });
        QTRY_VERIFY_WITH_TIMEOUT(driver.rounds() > 100, 30000);
        driver.stop(); // the modem dies with the manager
        manager.reset();
    }
};

QTEST_GUILESS_MAIN(TestNetworkManager)
#include "tst_networkmanager.moc"
