#include "fakemodem.h"
#include "meskcellularstate.h"

#include <QCoreApplication>
#include <QTest>

namespace {
// Records the listener calls in order.
class Recorder : public IMeskCellularStateListener
{
public:
    QStringList calls;
    void onCellularStateChanged(int state) override { calls << QStringLiteral("state %1").arg(state); }
    void onCellularInfoChanged() override { calls << QStringLiteral("info"); }
    void onCellularSignalChanged() override { calls << QStringLiteral("signal"); }
    void onCellularError1() override { calls << QStringLiteral("error1"); }
    void onCellularError2() override { calls << QStringLiteral("error2"); }
    void onCellularError3() override { calls << QStringLiteral("error3"); }
};

using Step = FakeModemDriver::Step;

// A modem with a ready SIM: present, initialised, radio on.
void makeReady(FakeModem& modem)
{
    modem.setSilent(true);
    modem.setDevicePresent(true);
    modem.setReadyState(1);
    modem.setRadio(1);
    modem.setHomeProvider(QStringLiteral("Testnett"));
    modem.setOwnNumbers({QStringLiteral("+4791234567")});
    modem.setSilent(false);
}
} // namespace

class TestCellularState : public QObject
{
    Q_OBJECT

    FakeModem* m_modem = nullptr;
    FakeModemDriver* m_driver = nullptr;
    CMeskCellularState* m_state = nullptr;
    Recorder m_recorder;

    // Plays the script on the driver's thread, then delivers its events here.
    void play(QList<Step> script)
    {
        QVERIFY(m_driver->run(std::move(script)));
        QCoreApplication::sendPostedEvents();
    }

    bool initState()
    {
        m_state = new CMeskCellularState(m_modem);
        return m_state->init(&m_recorder);
    }

private slots:
    void init()
    {
        m_modem = new FakeModem;
        m_driver = new FakeModemDriver(m_modem);
        m_recorder.calls.clear();
    }

    void cleanup()
    {
        delete m_state;
        m_state = nullptr;
        delete m_driver;
        delete m_modem;
    }

    void noDevice()
    {
        QVERIFY(initState());
        QCOMPARE(m_state->state(), 0);
        QCOMPARE(m_state->signalLevel(), 0);
        QVERIFY(m_state->providerName().isNull());
        QVERIFY(m_state->phoneNumber().isNull());
        play({[](FakeModem& m) { emit m.homeProviderAvailable(); }});
        QCOMPARE(m_recorder.calls, QStringList());
    }

    void readyDevice()
    {
        makeReady(*m_modem);
        QVERIFY(initState());
        QCOMPARE(m_state->state(), 5);
        QCOMPARE(m_recorder.calls, (QStringList{QStringLiteral("state 5"), QStringLiteral("info")}));
        QCOMPARE(m_state->signalLevel(), 0);
        QCOMPARE(m_state->providerName(), QStringLiteral("Testnett"));
        QCOMPARE(m_state->phoneNumber(), QStringLiteral("+4791234567"));

        m_recorder.calls.clear();
        play({[](FakeModem& m) { m.setSignalStrength(20); }});
        QCOMPARE(m_state->signalLevel(), 2);
        QCOMPARE(m_recorder.calls, QStringList{QStringLiteral("signal")});
    }

    void readyStateMap_data()
    {
        QTest::addColumn<int>("readyState");
        QTest::addColumn<int>("state");
        const int expected[] = {0, 5, 2, 2, 0, 3, 4, 4, 0};
        for (int ready = 0; ready <= 8; ++ready) {
            QTest::addRow("%d", ready) << ready << expected[ready];
        }
        QTest::newRow("-1") << -1 << 0;
    }

    void readyStateMap()
    {
        QFETCH(int, readyState);
        QFETCH(int, state);
        QCOMPARE(CMeskCellularState::mapReadyState(readyState), state);

        // The same value arrives through an event, starting from "off".
        m_modem->setSilent(true);
        m_modem->setDevicePresent(true);
        m_modem->setSilent(false);
        QVERIFY(initState());
        m_recorder.calls.clear();
        play({[readyState](FakeModem& m) { m.setReadyState(readyState); }});
        QCOMPARE(m_state->state(), state);
        QCOMPARE(m_recorder.calls,
                 state == 0 ? QStringList() : QStringList{QStringLiteral("state %1").arg(state)});
    }

    void radioOffAndOn()
    {
        makeReady(*m_modem);
        m_modem->setSilent(true);
        m_modem->setReadyState(6);
        m_modem->setSilent(false);
        QVERIFY(initState());
        QCOMPARE(m_state->state(), 4);

        m_recorder.calls.clear();
        play({[](FakeModem& m) { m.setRadio(0); }});
        QCOMPARE(m_state->state(), 1);
        QCOMPARE(m_recorder.calls, QStringList{QStringLiteral("state 1")});

        // A ready-state change under a switched-off radio still answers 1.
        m_recorder.calls.clear();
        play({[](FakeModem& m) { m.setReadyState(1); }});
        QCOMPARE(m_state->state(), 1);
        QCOMPARE(m_recorder.calls, QStringList{QStringLiteral("state 1")});

        m_recorder.calls.clear();
        play({[](FakeModem& m) { m.setRadio(1); }});
        QCOMPARE(m_state->state(), 5);
        QCOMPARE(m_recorder.calls, QStringList{QStringLiteral("state 5")});
    }

    void radioOffAtStart()
    {
        makeReady(*m_modem);
        m_modem->setSilent(true);
        m_modem->setRadio(0);
        m_modem->setSilent(false);
        QVERIFY(initState());
        QCOMPARE(m_state->state(), 1);
        QCOMPARE(m_recorder.calls, (QStringList{QStringLiteral("state 1"), QStringLiteral("info")}));
    }

    void signalLevels_data()
    {
        QTest::addColumn<quint32>("raw");
        QTest::addColumn<int>("level");
        QTest::newRow("0") << 0u << 1;
        QTest::newRow("9") << 9u << 1;
        QTest::newRow("10") << 10u << 2;
        QTest::newRow("24") << 24u << 2;
        QTest::newRow("25") << 25u << 3;
        QTest::newRow("31") << 31u << 3;
        QTest::newRow("99 not measurable") << 99u << 3;
    }

    void signalLevels()
    {
        QFETCH(quint32, raw);
        QFETCH(int, level);
        QCOMPARE(CMeskCellularState::mapSignalStrength(raw), level);
        makeReady(*m_modem);
        QVERIFY(initState());
        play({[raw](FakeModem& m) { m.setSignalStrength(raw); }});
        QCOMPARE(m_state->signalLevel(), level);
    }

    void signalReportedOnlyOnChange()
    {
        makeReady(*m_modem);
        QVERIFY(initState());
        m_recorder.calls.clear();
        play({[](FakeModem& m) { m.setSignalStrength(11); }, [](FakeModem& m) { m.setSignalStrength(12); }});
        QCOMPARE(m_state->signalLevel(), 2);
        QCOMPARE(m_recorder.calls, QStringList{QStringLiteral("signal")});
    }

    void removal()
    {
        makeReady(*m_modem);
        QVERIFY(initState());
        play({[](FakeModem& m) { m.setSignalStrength(30); }});
        m_recorder.calls.clear();

        play({[](FakeModem& m) { m.setDevicePresent(false); }});
        QCOMPARE(m_state->state(), 0);
        QCOMPARE(m_state->signalLevel(), 0);
        QVERIFY(m_state->providerName().isNull());
        QVERIFY(m_state->phoneNumber().isNull());
        QCOMPARE(m_recorder.calls.count(QStringLiteral("state 0")), 1);
        QCOMPARE(m_recorder.calls.first(), QStringLiteral("state 0"));

        m_recorder.calls.clear();
        play({[](FakeModem& m) { emit m.interfaceRemoval(); }});
        QCOMPARE(m_recorder.calls, QStringList());
    }

    void removalWithRadioOff()
    {
        // A removed device is no device, not a switched-off radio.
        makeReady(*m_modem);
        m_modem->setSilent(true);
        m_modem->setRadio(0);
        m_modem->setSilent(false);
        QVERIFY(initState());
        QCOMPARE(m_state->state(), 1);
        m_recorder.calls.clear();
        play({[](FakeModem& m) { m.setDevicePresent(false); }});
        QCOMPARE(m_state->state(), 0);
        QCOMPARE(m_recorder.calls.first(), QStringLiteral("state 0"));
    }

    void arrivalThenReadyState()
    {
        QVERIFY(initState());
        play({[](FakeModem& m) {
            m.setSilent(true);
            m.setReadyState(1);
            m.setHomeProvider(QStringLiteral("Testnett"));
            m.setSilent(false);
            m.setDevicePresent(true);
        }});
        QCOMPARE(m_state->state(), 0);
        QCOMPARE(m_recorder.calls, QStringList());

        play({[](FakeModem& m) { emit m.readyStateChange(); }});
        QCOMPARE(m_state->state(), 5);
        QCOMPARE(m_state->providerName(), QStringLiteral("Testnett"));
        QCOMPARE(m_recorder.calls, (QStringList{QStringLiteral("state 5"), QStringLiteral("info")}));
    }

    void providerData_data()
    {
        QTest::addColumn<QStringList>("numbers");
        QTest::addColumn<QString>("number");
        QTest::newRow("two") << QStringList{QStringLiteral("+4791234567"), QStringLiteral("+4799999999")}
                             << QStringLiteral("+4791234567");
        QTest::newRow("one") << QStringList{QStringLiteral("+4799999999")} << QStringLiteral("+4799999999");
        QTest::newRow("none") << QStringList() << QString();
    }

    void providerData()
    {
        QFETCH(QStringList, numbers);
        QFETCH(QString, number);
        makeReady(*m_modem);
        QVERIFY(initState());
        m_recorder.calls.clear();
        // The numbers are read with the next provider event.
        play({[numbers](FakeModem& m) {
            m.setOwnNumbers(numbers);
            m.setHomeProvider(QStringLiteral("Telia"));
        }});
        QCOMPARE(m_state->providerName(), QStringLiteral("Telia"));
        QCOMPARE(m_state->phoneNumber(), number);
        QCOMPARE(m_recorder.calls, QStringList{QStringLiteral("info")});

        m_recorder.calls.clear();
        play({[](FakeModem& m) { emit m.preferredProvidersChange(); }});
        QCOMPARE(m_recorder.calls, QStringList());
    }

    void failingProviderQueriesAreSilent()
    {
        makeReady(*m_modem);
        m_modem->setQueryFails(FakeModem::Query::HomeProvider, true);
        m_modem->setQueryFails(FakeModem::Query::OwnNumbers, true);
        QVERIFY(initState());
        QCOMPARE(m_state->state(), 5);
        QVERIFY(m_state->providerName().isEmpty());
        QVERIFY(m_state->phoneNumber().isEmpty());
        QCOMPARE(m_recorder.calls, (QStringList{QStringLiteral("state 5"), QStringLiteral("info")}));

        m_recorder.calls.clear();
        play({[](FakeModem& m) { m.setReadyState(1); }});
        QCOMPARE(m_recorder.calls, QStringList());
    }

    void failingQueriesKeepValues()
    {
        makeReady(*m_modem);
        QVERIFY(initState());
        play({[](FakeModem& m) { m.setSignalStrength(5); }});
        m_recorder.calls.clear();

        m_modem->setQueryFails(FakeModem::Query::ReadyState, true);
        m_modem->setQueryFails(FakeModem::Query::SignalStrength, true);
        play({[](FakeModem& m) {
            m.setReadyState(6);
            m.setSignalStrength(30);
        }});
        QCOMPARE(m_recorder.calls, (QStringList{QStringLiteral("error2"), QStringLiteral("error2")}));
        QCOMPARE(m_state->state(), 5);
        QCOMPARE(m_state->signalLevel(), 1);
    }

    void failingReadyStateAtInit()
    {
        makeReady(*m_modem);
        m_modem->setQueryFails(FakeModem::Query::ReadyState, true);
        QVERIFY(initState());
        QCOMPARE(m_state->state(), 0);
        QCOMPARE(m_recorder.calls,
                 (QStringList{QStringLiteral("error2"), QStringLiteral("state 0"), QStringLiteral("info")}));
    }

    void initFailures()
    {
        m_modem->setSupported(false);
        QVERIFY(!initState());
        QCOMPARE(m_recorder.calls, QStringList{QStringLiteral("error1")});
        delete m_state;
        m_state = nullptr;

        m_recorder.calls.clear();
        m_modem->setSupported(true);
        m_modem->setWatchFails(true);
        makeReady(*m_modem);
        QVERIFY(!initState());
        QCOMPARE(m_recorder.calls.last(), QStringLiteral("error3"));
        m_recorder.calls.clear();
        play({[](FakeModem& m) { m.setRadio(0); }});
        QCOMPARE(m_recorder.calls, QStringList());
    }

    void uninitStopsEvents()
    {
        makeReady(*m_modem);
        QVERIFY(initState());
        m_recorder.calls.clear();
        QVERIFY(m_driver->run({[](FakeModem& m) { m.setRadio(0); }}));
        m_state->uninit();
        QCoreApplication::sendPostedEvents();
        QCOMPARE(m_recorder.calls, QStringList());
        QCOMPARE(m_state->state(), 5);
    }
};

QTEST_GUILESS_MAIN(TestCellularState)
#include "tst_cellularstate.moc"
