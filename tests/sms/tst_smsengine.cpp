#include "fakemodem.h"
#include "fakenetworkbackend.h"
#include "meskcontacts.h"
#include "mesknetworkmanager.h"
#include "mesksmsengine.h"

#include <QSignalSpy>
#include <QTest>

#include <memory>

// The SMS engine as far as it goes without the modem's SMS manager: the SMS
// availability follows the cellular state, and nothing is ever sent. And the
// contacts reader's search rules.
class TestSmsEngine : public QObject
{
    Q_OBJECT

    FakeModem* m_modem = nullptr;
    std::unique_ptr<CMeskNetworkManager> m_network;

    bool cellularBecomes(int state)
    {
        return QTest::qWaitFor([&] { return m_network->cellularState() == state; }, 5000);
    }

private slots:
    void initTestCase()
    {
        registerMeskMetaTypes();
        MeskNetworkBackends::setFactory([this] {
            SMeskNetworkBackends backends;
            backends.network = std::make_unique<FakeNetworkBackend>();
            auto modem = std::make_unique<FakeModem>();
            m_modem = modem.get();
            backends.modem = std::move(modem);
            return backends;
        });
    }

    void cleanupTestCase() { MeskNetworkBackends::setFactory({}); }

    void init()
    {
        m_network = std::make_unique<CMeskNetworkManager>();
        // ready() comes from the worker thread; the spy may see it before wait() starts.
        QSignalSpy ready(m_network.get(), &CMeskNetworkManager::ready);
        m_network->start();
        QVERIFY(QTest::qWaitFor([&] { return ready.count() > 0; }, 5000));
    }

    void cleanup() { m_network.reset(); }

    void neverDerivedBeforeStart()
    {
        CMeskSmsEngine engine;
        QCOMPARE(int(engine.state()), 0);
        QVERIFY(engine.isSmsSupported());
        QVERIFY(!engine.isSmsReady());
        QVERIFY(QMetaType::fromName("SSmsMessage").isValid());
    }

    // The modem's ready state, the device state it gives, the SMS state that gives.
    void followsCellularState_data()
    {
        QTest::addColumn<int>("readyState");
        QTest::addColumn<int>("cellular");
        QTest::addColumn<int>("sms");
        QTest::newRow("ready") << 1 << 5 << 6;
        QTest::newRow("pin locked") << 6 << 4 << 5;
        QTest::newRow("not activated") << 5 << 3 << 4;
        QTest::newRow("sim missing") << 2 << 2 << 4;
    }

    void followsCellularState()
    {
        QFETCH(int, readyState);
        QFETCH(int, cellular);
        QFETCH(int, sms);
        CMeskSmsEngine engine;
        QSignalSpy changed(&engine, &IMeskSmsEngine::stateChanged);
        engine.start(nullptr, m_network.get());
        // No device yet: no cellular state.
        QCOMPARE(int(engine.state()), 1);
        QCOMPARE(changed.count(), 1);
        m_modem->setDevicePresent(true);
        m_modem->setReadyState(readyState);
        QVERIFY(cellularBecomes(cellular));
        QTRY_COMPARE(int(engine.state()), sms);
        QCOMPARE(changed.count(), 2);
        QCOMPARE(changed.last().at(0).value<TMeskSmsState>(), TMeskSmsState(sms));
        QVERIFY(!engine.isSmsReady());

        // Back to no device.
        m_modem->setDevicePresent(false);
        QVERIFY(cellularBecomes(0));
        QTRY_COMPARE(int(engine.state()), 1);
        QCOMPARE(changed.count(), 3);
    }

    void mapping_data()
    {
        QTest::addColumn<int>("cellular");
        QTest::addColumn<int>("current");
        QTest::addColumn<int>("expected");
        QTest::newRow("0") << 0 << 6 << 1;
        QTest::newRow("1") << 1 << 6 << 2;
        QTest::newRow("2") << 2 << 6 << 4;
        QTest::newRow("3") << 3 << 6 << 4;
        QTest::newRow("4") << 4 << 6 << 5;
        QTest::newRow("5") << 5 << 1 << 6;
        QTest::newRow("6 keeps") << 6 << 5 << 5;
        QTest::newRow("-1 keeps") << -1 << 2 << 2;
    }

    void mapping()
    {
        QFETCH(int, cellular);
        QFETCH(int, current);
        QFETCH(int, expected);
        QCOMPARE(int(CMeskSmsEngine::stateForCellular(cellular, TMeskSmsState(current))), expected);
    }

    void stopForgetsAndRestartFollowsOnce()
    {
        CMeskSmsEngine engine;
        QSignalSpy changed(&engine, &IMeskSmsEngine::stateChanged);
        engine.start(nullptr, m_network.get());
        engine.start(nullptr, m_network.get());
        // The second start reset the state to "not derived" and derived it again.
        QCOMPARE(changed.count(), 2);
        engine.stop();
        QCOMPARE(int(engine.state()), 0);
        QCOMPARE(changed.count(), 2);

        // A stopped engine no longer follows the modem.
        m_modem->setDevicePresent(true);
        m_modem->setReadyState(1);
        QVERIFY(cellularBecomes(5));
        QTest::qWait(50);
        QCOMPARE(int(engine.state()), 0);

        // Started again, it follows once per change, not once per start.
        engine.start(nullptr, m_network.get());
        QCOMPARE(int(engine.state()), 6);
        changed.clear();
        m_modem->setReadyState(6);
        QVERIFY(cellularBecomes(4));
        QTRY_COMPARE(changed.count(), 1);
        QTest::qWait(50);
        QCOMPARE(changed.count(), 1);
    }

    void startWithoutNetworkKeepsState()
    {
        CMeskSmsEngine engine;
        QSignalSpy changed(&engine, &IMeskSmsEngine::stateChanged);
        engine.start(nullptr, nullptr);
        QCOMPARE(int(engine.state()), 0);
        QCOMPARE(changed.count(), 0);
    }

    void nothingSentWhileNotReady()
    {
        CMeskSmsEngine engine;
        m_modem->setDevicePresent(true);
        m_modem->setReadyState(1);
        QVERIFY(cellularBecomes(5));
        engine.start(nullptr, m_network.get());
        QCOMPARE(int(engine.state()), 6);
        QSignalSpy sent(&engine, &IMeskSmsEngine::messageSent);
        QVERIFY(!engine.sendMessage(QStringLiteral("+4712345678"), QStringLiteral("hello")));
        QVERIFY(!engine.readSimMessages());
        QCOMPARE(sent.count(), 0);
        int used = -1, left = -1, parts = -1;
        engine.smsTextLength(QStringLiteral("hello"), &used, &left, &parts);
        QCOMPARE(used, -1);
        QCOMPARE(left, -1);
        QCOMPARE(parts, -1);
    }

    void contactsReader()
    {
        QObject owner;
        CMeskContacts contacts(&owner);
        QCOMPARE(contacts.parent(), nullptr);
        QVERIFY(contacts.init());
        QVERIFY(contacts.contacts().isEmpty());
        QTest::ignoreMessage(QtDebugMsg, "CMeskContacts::findContacts ann");
        QVERIFY(contacts.findContacts(QStringLiteral("ann")).isEmpty());
    }

    void contactMatching_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("matches");
        QTest::newRow("last name") << "Smi" << true;
        QTest::newRow("ignores case") << "smi" << true;
        QTest::newRow("company") << "thers" << true;
        QTest::newRow("nick name") << "bobby" << true;
        QTest::newRow("display name across names") << "Ann Smith" << true;
        QTest::newRow("empty") << "" << true;
        QTest::newRow("national form") << "040 123 4567" << true;
        QTest::newRow("digits inside the tail") << "4567" << true;
        QTest::newRow("digits reaching before the tail") << "1234" << false;
        QTest::newRow("other number") << "0409999999" << false;
        QTest::newRow("digits only before the tail") << "+358 40" << false;
        QTest::newRow("other name") << "Jones" << false;
    }

    void contactMatching()
    {
        QFETCH(QString, text);
        QFETCH(bool, matches);
        SPhoneContact contact;
        contact.givenName = QStringLiteral("Ann");
        contact.lastName = QStringLiteral("Smith");
        contact.displayName = QStringLiteral("Ann Smith");
        contact.nickName = QStringLiteral("Bobby");
        contact.company = QStringLiteral("Smithers");
        contact.phones = {{QStringLiteral("+358 40 123 4567"), QStringLiteral("GeneralMobile")}};
        QCOMPARE(CMeskContacts::matches(contact, text), matches);
    }
};

QTEST_GUILESS_MAIN(TestSmsEngine)
#include "tst_smsengine.moc"
