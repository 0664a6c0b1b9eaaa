#include "failingstorage.h"
#include "fakemodem.h"
#include "fakenetworkbackend.h"
#include "logrecorder.h"
#include "mediadatabase.h"
#include "meskcontacts.h"
#include "meskengine.h"
#include "mesklinuxmodembackend.h"
#include "mesknetworkmanager.h"
#include "mesksmsengine.h"
#include "mesksmsfactories.h"
#include "smspdu.h"
#include "tempstorage.h"
#include "testclock.h"

#include <QScopeGuard>
#include <QSemaphore>
#include <QSignalSpy>
#include <QTest>
#include <QThread>

#include <atomic>
#include <memory>

namespace {

// "hello" from +123, sent 2024-01-15 10:30:00 at UTC+1.
const QString Hello = QStringLiteral("0004039121F300004210510103004005E8329BFD06");
const QDateTime HelloTime = QDateTime(QDate(2024, 1, 15), QTime(9, 30), Qt::UTC);
// The same with month 13: no usable service-centre time.
const QString HelloMonth13 = QStringLiteral("0004039121F300004231510103004005E8329BFD06");
// The same as a class-0 (flash) message.
const QString HelloClass0 = QStringLiteral("0004039121F300104210510103004005E8329BFD06");
// A status report of a sent message.
const QString StatusReport = QStringLiteral("00062A039121F3421051010300404210510103004000");

const QDateTime ClockTime = QDateTime(QDate(2025, 3, 1), QTime(12, 0), Qt::UTC);

// The storage of the tests: its four SMS operations record the thread they
// run on and fail on demand.
class RecordingStorage : public CMediaDataBase
{
public:
    using CMediaDataBase::CMediaDataBase;

    bool failAdd = false;
    bool failUpdate = false;
    QList<QThread*> threads;

    bool addSmsMessage(SSmsMessage& message) override
    {
        threads << QThread::currentThread();
        return !failAdd && CMediaDataBase::addSmsMessage(message);
    }
    bool updateSmsMessage(const SSmsMessage& message) override
    {
        threads << QThread::currentThread();
        return !failUpdate && CMediaDataBase::updateSmsMessage(message);
    }
    bool deleteSmsMessage(mid_t id) override
    {
        threads << QThread::currentThread();
        return CMediaDataBase::deleteSmsMessage(id);
    }
    QList<SSmsMessage> smsMessages(bool* ok = nullptr) override
    {
        threads << QThread::currentThread();
        return CMediaDataBase::smsMessages(ok);
    }
};

// Every signal of an SMS engine as "name" or "name type phone text", with the
// thread it was emitted on.
class SignalLog : public QObject
{
public:
    explicit SignalLog(IMeskSmsEngine* engine)
    {
        using E = IMeskSmsEngine;
        const auto record = [this](const QString& name) {
            return [this, name](const SSmsMessage& m) {
                add(QStringLiteral("%1 %2 %3 %4").arg(name).arg(m.type).arg(m.phone, m.message), m);
            };
        };
        connect(engine, &E::simMessageReady, this, record(QStringLiteral("sim")), Qt::DirectConnection);
        connect(engine, &E::newMessageReceived, this, record(QStringLiteral("new")), Qt::DirectConnection);
        connect(engine, &E::messageSent, this, record(QStringLiteral("sent")), Qt::DirectConnection);
        connect(engine, &E::messageSendDone, this, record(QStringLiteral("done")), Qt::DirectConnection);
        connect(engine, &E::messageSendFailed, this, record(QStringLiteral("failed")), Qt::DirectConnection);
        connect(
            engine, &E::initFailed, this, [this] { add(QStringLiteral("initFailed"), {}); },
            Qt::DirectConnection);
    }

    QStringList names;
    QList<SSmsMessage> messages;
    QList<QThread*> threads;

private:
    void add(const QString& name, const SSmsMessage& message)
    {
        names << name;
        messages << message;
        threads << QThread::currentThread();
    }
};

bool onlyOn(const QList<QThread*>& threads, QThread* thread)
{
    return std::all_of(threads.cbegin(), threads.cend(), [thread](QThread* t) { return t == thread; });
}

} // namespace

// The SMS engine: its state follows the cellular state; it sends, receives
// and stores text messages through the modem's SMS manager on a worker
// thread, and reports everything on the GUI thread. And the contacts
// reader's search rules.
class TestSmsEngine : public QObject
{
    Q_OBJECT

    FakeModem* m_modem = nullptr;
    bool m_linuxModem = false;
    std::unique_ptr<CMeskNetworkManager> m_network;
    std::unique_ptr<TempStorageRoot> m_root;
    std::unique_ptr<RecordingStorage> m_storage;

    bool cellularBecomes(int state)
    {
        return QTest::qWaitFor([&] { return m_network->cellularState() == state; }, 30000);
    }

    // The modem present and ready; the SMS engine started and ready.
    bool startReady(CMeskSmsEngine& engine)
    {
        m_modem->setDevicePresent(true);
        m_modem->setReadyState(1);
        if (!cellularBecomes(5))
            return false;
        engine.start(m_storage.get(), m_network.get());
        return QTest::qWaitFor([&] { return engine.isSmsReady(); }, 30000);
    }

    QList<SSmsMessage> rows() { return m_storage->CMediaDataBase::smsMessages(); }

    // Lets queued work reach the GUI thread once the modem is quiet.
    void settle()
    {
        QVERIFY(m_modem->waitForSmsEvents());
        QTest::qWait(20);
        QVERIFY(m_modem->waitForSmsEvents());
        QCoreApplication::processEvents();
    }

private slots:
    void initTestCase()
    {
        registerMeskMetaTypes();
        CMeskMbnSmsManager::setWatchdogDelay(50);
        MeskNetworkBackends::setFactory([this] {
            SMeskNetworkBackends backends;
            backends.network = std::make_unique<FakeNetworkBackend>();
            if (m_linuxModem) {
                backends.modem = std::make_unique<CMeskLinuxModemBackend>();
                return backends;
            }
            auto modem = std::make_unique<FakeModem>();
            m_modem = modem.get();
            backends.modem = std::move(modem);
            return backends;
        });
    }

    void cleanupTestCase()
    {
        MeskNetworkBackends::setFactory({});
        CMeskMbnSmsManager::setWatchdogDelay(60000);
    }

    void init()
    {
        m_root = std::make_unique<TempStorageRoot>();
        m_storage = std::make_unique<RecordingStorage>(m_root->subPath(QStringLiteral("storage")));
        QVERIFY(m_storage->open());
        m_network = std::make_unique<CMeskNetworkManager>();
        // ready() comes from the worker thread; the spy may see it before wait() starts.
        QSignalSpy ready(m_network.get(), &CMeskNetworkManager::ready);
        m_network->start();
        QVERIFY(QTest::qWaitFor([&] { return ready.count() > 0; }, 30000));
    }

    void cleanup()
    {
        CMeskMbnSmsManager::setWatchdogDelay(50);
        m_network.reset();
        m_storage.reset();
        m_root.reset();
        m_linuxModem = false;
    }

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
        QTRY_COMPARE_WITH_TIMEOUT(int(engine.state()), sms, 30000);
        QCOMPARE(changed.count(), 2);
        QCOMPARE(changed.last().at(0).value<TMeskSmsState>(), TMeskSmsState(sms));
        // Ready to send only in the ready state, once the worker is up.
        QTRY_COMPARE_WITH_TIMEOUT(engine.isSmsReady(), sms == 6, 30000);

        // Back to no device.
        m_modem->setDevicePresent(false);
        QVERIFY(cellularBecomes(0));
        QTRY_COMPARE_WITH_TIMEOUT(int(engine.state()), 1, 30000);
        QCOMPARE(changed.count(), 3);
        QVERIFY(!engine.isSmsReady());
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
        QTRY_COMPARE_WITH_TIMEOUT(changed.count(), 1, 30000);
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

    // --- start and stop ---------------------------------------------------

    void startUp_data()
    {
        QTest::addColumn<QString>("failure");
        QTest::addColumn<QString>("line");
        QTest::newRow("gsm") << ""
                             << "";
        QTest::newRow("no mobile broadband") << "unsupported"
                                             << "CMeskSmsEngine: Mbn Api is not supported";
        QTest::newRow("no network manager") << "no network"
                                            << "CMeskSmsEngine: Mbn Api is not supported";
        QTest::newRow("no SMS events") << "no watch"
                                       << "CMeskSmsEngine: failed to init Mbn SMS manager";
    }

    void startUp()
    {
        QFETCH(QString, failure);
        QFETCH(QString, line);
        m_modem->setDevicePresent(true);
        m_modem->setReadyState(1);
        QVERIFY(cellularBecomes(5));
        m_modem->setSupported(failure != QLatin1String("unsupported"));
        m_modem->setWatchFails(failure == QLatin1String("no watch"));

        LogRecorder log;
        CMeskSmsEngine engine;
        SignalLog signalLog(&engine);
        engine.start(m_storage.get(), failure == QLatin1String("no network") ? nullptr : m_network.get());
        if (failure.isEmpty()) {
            QTRY_VERIFY_WITH_TIMEOUT(engine.isSmsReady(), 30000);
            QTest::qWait(50);
            QVERIFY(signalLog.names.isEmpty());
            return;
        }
        QTRY_COMPARE_WITH_TIMEOUT(signalLog.names, QStringList{"initFailed"}, 30000);
        QCOMPARE(signalLog.threads, QList<QThread*>{QThread::currentThread()});
        QCOMPARE(log.count(line), 1);
        QTest::qWait(50);
        QVERIFY(!engine.isSmsReady());
        QCOMPARE(signalLog.names.size(), 1);
    }

    void notReady_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("counts");
        QTest::newRow("never started") << "never started" << false;
        QTest::newRow("pin locked") << "pin locked" << true;
        QTest::newRow("no device") << "no device" << true;
        QTest::newRow("no mobile broadband") << "unsupported" << false;
    }

    // Nothing is sent, read, stored or announced while the engine is not
    // ready; the counter works whenever a manager exists.
    void notReady()
    {
        QFETCH(QString, kind);
        QFETCH(bool, counts);
        CMeskSmsEngine engine;
        SignalLog signalLog(&engine);
        if (kind == QLatin1String("pin locked")) {
            m_modem->setDevicePresent(true);
            m_modem->setReadyState(6);
            QVERIFY(cellularBecomes(4));
        }
        if (kind == QLatin1String("unsupported")) {
            m_modem->setDevicePresent(true);
            m_modem->setReadyState(1);
            QVERIFY(cellularBecomes(5));
            m_modem->setSupported(false);
        }
        if (kind != QLatin1String("never started")) {
            engine.start(m_storage.get(), m_network.get());
            // The worker has come up: its manager counts, or it failed to make one.
            if (counts) {
                QTRY_VERIFY_WITH_TIMEOUT(
                    [&] {
                        int used = -1;
                        engine.smsTextLength(QStringLiteral("x"), &used, nullptr, nullptr);
                        return used == 1;
                    }(),
                    30000);
            } else {
                QTRY_COMPARE_WITH_TIMEOUT(signalLog.names, QStringList{"initFailed"}, 30000);
            }
        }
        m_modem->clearSmsLog();
        QVERIFY(!engine.isSmsReady());
        QVERIFY(!engine.sendMessage(QStringLiteral("+123"), QStringLiteral("hello")));
        QVERIFY(!engine.readSimMessages());
        int used = -1, left = -1, parts = -1;
        engine.smsTextLength(QStringLiteral("hello!"), &used, &left, &parts);
        if (counts) {
            QCOMPARE(used, 6);
            QCOMPARE(left, 154);
            QCOMPARE(parts, 1);
        } else {
            QCOMPARE(used, -1);
            QCOMPARE(left, -1);
            QCOMPARE(parts, -1);
        }
        QTest::qWait(50);
        QCOMPARE(m_modem->smsCalls(QStringLiteral("send")), QStringList());
        QCOMPARE(m_modem->smsCalls(QStringLiteral("read")), QStringList());
        QVERIFY(rows().isEmpty());
        const QStringList expected =
            kind == QLatin1String("unsupported") ? QStringList{"initFailed"} : QStringList{};
        QTRY_COMPARE_WITH_TIMEOUT(signalLog.names, expected, 30000);
    }

    void textLengthWithLinuxModem()
    {
        m_network.reset();
        m_linuxModem = true;
        m_network = std::make_unique<CMeskNetworkManager>();
        QSignalSpy ready(m_network.get(), &CMeskNetworkManager::ready);
        m_network->start();
        QVERIFY(QTest::qWaitFor([&] { return ready.count() > 0; }, 30000));

        LogRecorder log;
        CMeskSmsEngine engine;
        engine.start(m_storage.get(), m_network.get());
        int used = -1, left = -1, parts = -1;
        QVERIFY(QTest::qWaitFor(
            [&] {
                engine.smsTextLength(QStringLiteral("hello!"), &used, &left, &parts);
                return used != -1;
            },
            30000));
        QCOMPARE(used, 6);
        QCOMPARE(left, 154);
        QCOMPARE(parts, 1);
        QVERIFY(!engine.isSmsReady());
        QTRY_VERIFY_WITH_TIMEOUT(
            log.contains(QStringLiteral("CMeskSmsEngine::onMeskMbnSmsManagerError: Device not found")),
            30000);
    }

    // Two starts leave one worker: a message arrives once.
    void startTwiceRunsOneWorker()
    {
        CMeskSmsEngine engine;
        QVERIFY(startReady(engine));
        engine.start(m_storage.get(), m_network.get());
        QTRY_VERIFY_WITH_TIMEOUT(engine.isSmsReady(), 30000);
        SignalLog signalLog(&engine);
        m_modem->injectIncoming(Hello, false);
        QTRY_COMPARE_WITH_TIMEOUT(signalLog.names.size(), 1, 30000);
        settle();
        QCOMPARE(signalLog.names, QStringList{"new 0 +123 hello"});
        QCOMPARE(rows().size(), 1);
        QCOMPARE(m_modem->smsCalls(QStringLiteral("read")).size(), 1);
    }

    // Once stop() returns, nothing of the run is handled any more.
    void stopWhileEventsArrive()
    {
        CMeskSmsEngine engine;
        QVERIFY(startReady(engine));
        SignalLog signalLog(&engine);
        m_modem->setDefaultSendStep(FakeModem::SendStep::complete(1, MeskMbnResult::Ok, true));
        FakeModemDriver driver(m_modem);
        driver.playRepeatedly([](FakeModem& modem, int round) {
            modem.injectIncoming(Hello, round % 5 == 0);
            modem.setSignalStrength(quint32(round % 32));
        });
        QTRY_VERIFY_WITH_TIMEOUT(signalLog.names.size() > 5, 30000);
        for (int i = 0; i < 5; ++i)
            QVERIFY(engine.sendMessage(QStringLiteral("+123"), QStringLiteral("hello")));
        engine.stop();
        const QStringList names = signalLog.names;
        const qsizetype stored = rows().size();
        QTest::qWait(100);
        driver.stop();
        QVERIFY(m_modem->waitForSmsEvents());
        QCoreApplication::processEvents();
        QCOMPARE(signalLog.names, names);
        QCOMPARE(rows().size(), stored);
        QVERIFY(onlyOn(signalLog.threads, QThread::currentThread()));
    }

    // Start-up and shut-down over and over, asked about its readiness meanwhile.
    void startStopCycles()
    {
        m_modem->setDevicePresent(true);
        m_modem->setReadyState(1);
        QVERIFY(cellularBecomes(5));
        CMeskSmsEngine engine;
        for (int cycle = 0; cycle < 200; ++cycle) {
            engine.start(m_storage.get(), m_network.get());
            for (int poll = 0; poll < cycle % 4; ++poll) {
                int used = -1, left = -1, parts = -1;
                engine.smsTextLength(QStringLiteral("hi"), &used, &left, &parts);
                QVERIFY(used == -1 || used == 2);
                QThread::yieldCurrentThread();
            }
            if (cycle % 50 == 0) {
                QTRY_VERIFY_WITH_TIMEOUT(engine.isSmsReady(), 30000);
                int used = -1, left = -1, parts = -1;
                engine.smsTextLength(QStringLiteral("hi"), &used, &left, &parts);
                QCOMPARE(used, 2);
            }
            engine.stop();
            QVERIFY(!engine.isSmsReady());
        }
    }

    // --- sending ----------------------------------------------------------

    void sending_data()
    {
        QTest::addColumn<int>("step"); // 0 complete, 1 during the call, 2 refused by the network, 3 no answer
        QTest::addColumn<bool>("addFails");
        QTest::addColumn<QString>("end");
        QTest::addColumn<int>("finalType");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("sentText"); // what the recipient gets, stored and shown
        const QString hello = QStringLiteral("hello");
        QTest::newRow("confirmed") << 0 << false << "done" << int(SSmsMessage::Sent) << hello << hello;
        QTest::newRow("confirmed during send")
            << 1 << false << "done" << int(SSmsMessage::Sent) << hello << hello;
        QTest::newRow("refused") << 2 << false << "failed" << int(SSmsMessage::SendFailed) << hello << hello;
        QTest::newRow("no answer") << 3 << false << "failed" << int(SSmsMessage::SendFailed) << hello
                                   << hello;
        QTest::newRow("not stored") << 0 << true << "done" << -1 << hello << hello;
        // Characters outside the default alphabet go out as their look-alikes.
        QTest::newRow("look-alikes") << 0 << false << "done" << int(SSmsMessage::Sent)
                                     << QStringLiteral("Zo\u00EB is na\u00EFve")
                                     << QStringLiteral("Zoe is naive");
        QTest::newRow("look-alike beside a default-alphabet letter")
            << 2 << false << "failed" << int(SSmsMessage::SendFailed) << QStringLiteral("\u00FCn\u00EFcode")
            << QStringLiteral("\u00FCnicode");
        QTest::newRow("outside every table: sent as typed")
            << 0 << false << "done" << int(SSmsMessage::Sent) << QStringLiteral("na\u00EFve \u65E5\u672C")
            << QStringLiteral("na\u00EFve \u65E5\u672C");
    }

    void sending()
    {
        QFETCH(int, step);
        QFETCH(bool, addFails);
        QFETCH(QString, end);
        QFETCH(int, finalType);
        QFETCH(QString, text);
        QFETCH(QString, sentText);
        TestClock clock(ClockTime);
        // Only the unanswered send waits for the watchdog: under load the modem's answer can
        // come later than a short one.
        CMeskMbnSmsManager::setWatchdogDelay(step == 3 ? 50 : 600000);
        CMeskSmsEngine engine;
        QVERIFY(startReady(engine));
        const QList<FakeModem::SendStep> steps{
            FakeModem::SendStep::complete(5),
            FakeModem::SendStep::duringCall(),
            FakeModem::SendStep::complete(5, MeskMbnResult::SmsOperationNotAllowed),
            FakeModem::SendStep::never(),
        };
        m_modem->setDefaultSendStep(steps.at(step));
        m_storage->failAdd = addFails;
        m_storage->threads.clear();
        SignalLog signalLog(&engine);
        LogRecorder log;

        QVERIFY(engine.sendMessage(QStringLiteral("+123"), text));
        // Announced at once, as stored (unless storing failed), with the text that went out.
        QCOMPARE(signalLog.names, QStringList{"sent 1 +123 " + sentText});
        const SSmsMessage sent = signalLog.messages.first();
        QCOMPARE(sent.created, ClockTime);
        if (addFails) {
            QCOMPARE(sent.id, mid_t(0));
            QCOMPARE(log.count(QStringLiteral("CMeskSmsEngine: failed to add new message to storage")), 1);
            QVERIFY(rows().isEmpty());
        } else {
            QVERIFY(sent.id != 0);
            QCOMPARE(rows(), QList<SSmsMessage>{sent});
        }

        QTRY_COMPARE_WITH_TIMEOUT(signalLog.names.size(), 2, 30000);
        settle();
        QCOMPARE(signalLog.names,
                 (QStringList{"sent 1 +123 " + sentText, QStringLiteral("%1 %2 +123 %3")
                                                             .arg(end)
                                                             .arg(end == QLatin1String("done") ? 2 : 3)
                                                             .arg(sentText)}));
        QCOMPARE(signalLog.messages.last().id, sent.id);
        if (finalType >= 0) {
            SSmsMessage expected = sent;
            expected.type = finalType;
            QCOMPARE(rows(), QList<SSmsMessage>{expected});
        } else {
            QVERIFY(rows().isEmpty());
        }
        // Every signal and every storage call on the GUI thread.
        QVERIFY(onlyOn(signalLog.threads, QThread::currentThread()));
        QVERIFY(onlyOn(m_storage->threads, QThread::currentThread()));
        const QStringList sends = m_modem->smsCalls(QStringLiteral("send"));
        QCOMPARE(sends.size(), 1);
        // The text kept is the one the modem was given.
        QByteArray tpdu;
        SmsPduMessage onAir;
        QVERIFY(smsPduFromHex(sends.first().section(QLatin1Char(' '), 1, 1), tpdu));
        QVERIFY(smsPduDecode(tpdu, onAir));
        QCOMPARE(onAir.text, sentText);
    }

    void cdmaSendsNothing()
    {
        m_modem->setSmsInterfaces({FakeModem::cdmaInterface()});
        CMeskSmsEngine engine;
        QVERIFY(startReady(engine));
        SignalLog signalLog(&engine);
        LogRecorder log;
        QVERIFY(!engine.sendMessage(QStringLiteral("+123"), QStringLiteral("hello")));
        QCOMPARE(log.count(QStringLiteral("CMeskSmsEngine: failed to send sms message")), 1);
        QTRY_VERIFY_WITH_TIMEOUT(
            log.contains(QStringLiteral("CMeskSmsEngine::onMeskMbnSmsManagerError: API request rejected")),
            30000);
        QVERIFY(rows().isEmpty());
        QVERIFY(signalLog.names.isEmpty());
        // CDMA counts nothing either.
        int used = -1, left = -1, parts = -1;
        engine.smsTextLength(QStringLiteral("hello!"), &used, &left, &parts);
        QCOMPARE(used, -1);
    }

    // --- receiving --------------------------------------------------------

    void receiving_data()
    {
        QTest::addColumn<QString>("pdu");
        QTest::addColumn<bool>("class0");
        QTest::addColumn<bool>("addFails");
        QTest::addColumn<QDateTime>("created");
        QTest::newRow("new") << Hello << false << false << HelloTime;
        QTest::newRow("not stored") << Hello << false << true << HelloTime;
        QTest::newRow("month 13") << HelloMonth13 << false << false << ClockTime;
        // A flash message is kept and shown as any other, and leaves the modem once stored.
        QTest::newRow("class 0") << HelloClass0 << true << false << HelloTime;
    }

    void receiving()
    {
        QFETCH(QString, pdu);
        QFETCH(bool, class0);
        QFETCH(bool, addFails);
        QFETCH(QDateTime, created);
        TestClock clock(ClockTime);
        CMeskSmsEngine engine;
        QVERIFY(startReady(engine));
        SignalLog signalLog(&engine);
        m_storage->failAdd = addFails;
        m_storage->threads.clear();
        m_modem->clearSmsLog();
        const quint32 index = m_modem->injectIncoming(pdu, class0);
        if (addFails) {
            // Left on the SIM, to be read again at the next start, and not announced: it has no row.
            QTRY_VERIFY_WITH_TIMEOUT(!m_storage->threads.isEmpty(), 30000);
            settle();
            QCOMPARE(signalLog.names, QStringList());
            QVERIFY(rows().isEmpty());
            QCOMPARE(m_modem->smsCalls(QStringLiteral("delete")), QStringList());
            QVERIFY(m_modem->simMessages().contains(index));
        } else {
            QTRY_COMPARE_WITH_TIMEOUT(signalLog.names.size(), 1, 30000);
            settle();
            QCOMPARE(signalLog.names, QStringList{"new 0 +123 hello"});
            const SSmsMessage message = signalLog.messages.first();
            QCOMPARE(message.created, created);
            const QList<SSmsMessage> stored = rows();
            QCOMPARE(stored.size(), 1);
            QCOMPARE(stored.first(), message);
            QCOMPARE(stored.first().created, created);
            // The SIM copy goes after the signal, on the worker thread.
            QTRY_COMPARE_WITH_TIMEOUT(m_modem->smsCalls(QStringLiteral("delete")),
                                      QStringList{QStringLiteral("delete %1").arg(index)}, 30000);
            QVERIFY(!m_modem->simMessages().contains(index));
        }
        QVERIFY(onlyOn(signalLog.threads, QThread::currentThread()));
        QVERIFY(onlyOn(m_storage->threads, QThread::currentThread()));
    }

    void simMessages_data()
    {
        QTest::addColumn<quint32>("status");
        QTest::addColumn<QString>("signal");
        QTest::newRow("new") << 0u << "new 0 +123 hello";
        QTest::newRow("old") << 1u << "sim 0 +123 hello";
        QTest::newRow("draft") << 2u << "sim 0 +123 hello";
        QTest::newRow("sent") << 3u << "sim 2 +123 hello";
    }

    void simMessages()
    {
        QFETCH(quint32, status);
        QFETCH(QString, signal);
        m_modem->setSimMessage(7, status, Hello);
        CMeskSmsEngine engine;
        QVERIFY(startReady(engine));
        SignalLog signalLog(&engine);
        QVERIFY(engine.readSimMessages());
        QTRY_COMPARE_WITH_TIMEOUT(signalLog.names.size(), 1, 30000);
        settle();
        QCOMPARE(signalLog.names, QStringList{signal});
        QCOMPARE(rows().size(), 1);
        QCOMPARE(rows().first().type, signalLog.messages.first().type);
        QTRY_COMPARE_WITH_TIMEOUT(m_modem->smsCalls(QStringLiteral("delete")), QStringList{"delete 7"},
                                  30000);
    }

    // A message the modem keeps because its delete is refused is stored and announced once over
    // several starts, and its delete is asked again at each; two equal messages on the modem
    // stay two, with or without a service-centre time; once deleted, a new equal message is
    // new again.
    void storedOnceWhenDeleteRefused()
    {
        TestClock clock(ClockTime);
        m_modem->setSimMessage(3, 1, Hello);
        m_modem->setSimMessage(4, 1, Hello);
        m_modem->setSimMessage(5, 1, HelloMonth13);
        m_modem->setSimMessage(6, 1, HelloMonth13);
        m_modem->setDeleteStatus(MeskMbnResult::SmsOperationNotAllowed);
        const auto run = [&](int expectedNew, bool refused) {
            CMeskSmsEngine engine;
            if (!startReady(engine))
                return false;
            SignalLog signalLog(&engine);
            LogRecorder log;
            m_modem->clearSmsLog();
            if (!engine.readSimMessages())
                return false;
            const int onSim = int(m_modem->simMessages().size());
            // Every message read is handled by the time its delete is asked.
            if (!QTest::qWaitFor([&] { return m_modem->smsCalls(QStringLiteral("delete")).size() == onSim; },
                                 30000))
                return false;
            settle();
            const auto refusals = [&] {
                return std::count_if(log.lines().cbegin(), log.lines().cend(), [](const QString& line) {
                    return line.contains(QLatin1String("delete was refused"));
                });
            };
            if (refused && !QTest::qWaitFor([&] { return refusals() > 0; }, 30000))
                return false;
            if (!refused && !QTest::qWaitFor([&] { return m_modem->simMessages().isEmpty(); }, 30000))
                return false;
            settle();
            [&] {
                QCOMPARE(signalLog.names.size(), expectedNew);
                QCOMPARE(refusals(), refused ? 1 : 0);
            }();
            return !QTest::currentTestFailed();
        };
        QVERIFY(run(4, true));
        QCOMPARE(rows().size(), 4);
        // The list as an older version kept it, the rows' ids alone, is understood.
        QStringList ids;
        for (const SSmsMessage& row : rows())
            ids.append(QString::number(row.id));
        QVERIFY(m_storage->setServiceKey(MeskProvider::SmsColumn, CMeskSmsEngine::onModemKey(),
                                         ids.join(QLatin1Char(' '))));
        QVERIFY(run(0, true));
        QVERIFY(run(0, true));
        QCOMPARE(rows().size(), 4);

        // Deleted at last; the same message sent again later is a new one.
        m_modem->setDeleteStatus(MeskMbnResult::Ok);
        QVERIFY(run(0, false));
        QCOMPARE(rows().size(), 4);
        m_modem->setSimMessage(7, 1, Hello);
        m_modem->setSimMessage(8, 1, HelloMonth13);
        QVERIFY(run(2, false));
        QCOMPARE(rows().size(), 6);
    }

    // Notes of the messages on the modem that cannot be read are not none: the modem is not read while
    // they cannot be (it would store each message again), and once they can, nothing is stored twice.
    void unreadableNotes_data()
    {
        QTest::addColumn<bool>("olderForm"); // the notes as an older version kept them (a key of row ids)
        QTest::newRow("notes") << false;
        QTest::newRow("older form") << true;
    }
    void unreadableNotes()
    {
        QFETCH(bool, olderForm);
        m_modem->setSimMessage(3, 1, Hello);
        m_modem->setDeleteStatus(MeskMbnResult::SmsOperationNotAllowed);
        {
            CMeskSmsEngine engine;
            QVERIFY(startReady(engine));
            QVERIFY(engine.readSimMessages());
            QTRY_COMPARE_WITH_TIMEOUT(m_modem->smsCalls(QStringLiteral("delete")).size(), 1, 30000);
            settle();
        }
        QCOMPARE(rows().size(), 1);
        if (olderForm) {
            for (const SSmsOnModem& noted : m_storage->smsOnModem())
                QVERIFY(m_storage->deleteSmsOnModem(noted.id));
            QVERIFY(m_storage->setServiceKey(MeskProvider::SmsColumn, CMeskSmsEngine::onModemKey(),
                                             QString::number(rows().first().id)));
        }
        CMeskSmsEngine engine;
        SignalLog signalLog(&engine);
        {
            FailingReads reads(olderForm ? QStringLiteral("FROM SERVICEKEYS")
                                         : QStringLiteral("FROM MEDIASMSONMODEM"));
            QVERIFY(startReady(engine));
            m_modem->clearSmsLog();
            QVERIFY(!engine.readSimMessages());
            QVERIFY(reads.failed() >= 2);
        }
        QCOMPARE(m_modem->smsCalls(QStringLiteral("read")), QStringList());
        QVERIFY(engine.readSimMessages());
        QTRY_COMPARE_WITH_TIMEOUT(m_modem->smsCalls(QStringLiteral("delete")).size(), 1, 30000);
        settle();
        QCOMPARE(rows().size(), 1);
        QCOMPARE(signalLog.names, QStringList());
    }

    // While the notes of the messages on the modem cannot be read, nothing is stored or announced: a
    // message kept from the last run, announced again as the modem made its messages anew, would be
    // taken for a new one. The messages wait (the SMS manager does not report them again) and are
    // taken in once the notes can be read.
    void messagesWaitForTheNotes()
    {
        const QString set = QStringLiteral("bus run modem");
        const QString reloaded = QStringLiteral("bus run modem epoch");
        const auto report = [](CMeskSmsEngine& engine, quint32 status, const QString& text, quint32 time,
                               quint32 index, const QString& objectSet, bool announced, quint32 renewal) {
            engine.onMeskMbnSmsManagerMessageReceived(status, QStringLiteral("+123"), text, time, {index},
                                                      {objectSet, QStringLiteral("/SMS/%1").arg(index)}, 0,
                                                      announced, renewal, {});
        };
        const auto announced = [](const SignalLog& signalLog) {
            QStringList names = signalLog.names;
            names.removeAll(QStringLiteral("initFailed")); // no modem
            return names;
        };
        {
            CMeskSmsEngine engine;
            engine.start(m_storage.get(), nullptr);
            report(engine, MeskSmsStatus::Old, QStringLiteral("hello"), 1705311000, 7, set, false, 1);
            QTRY_COMPARE_WITH_TIMEOUT(m_storage->smsOnModem().size(), 1, 30000);
        }
        QCOMPARE(rows().size(), 1);
        CMeskSmsEngine engine;
        SignalLog signalLog(&engine);
        {
            FailingReads reads(QStringLiteral("FROM MEDIASMSONMODEM"));
            engine.start(m_storage.get(), nullptr);
            QCOMPARE(reads.failed(), 1);
            engine.onMeskMbnSmsManagerMessagesRenewed(true, 2);
            report(engine, MeskSmsStatus::Old, QStringLiteral("hello"), 1705311000, 9, reloaded, true, 2);
            // Its taking in tried to read the notes again (or, wrongly, stored it).
            QTRY_VERIFY_WITH_TIMEOUT(reads.failed() >= 2 || rows().size() > 1, 30000);
            QCOMPARE(rows().size(), 1);
            QCOMPARE(announced(signalLog), QStringList());
        }
        // The next report finds the notes readable: both are taken in, the kept one known.
        report(engine, MeskSmsStatus::New, QStringLiteral("again"), 1705312000, 10, reloaded, false, 2);
        QTRY_COMPARE_WITH_TIMEOUT(announced(signalLog), QStringList{"new 0 +123 again"}, 30000);
        QCOMPARE(rows().size(), 2);
        QCOMPARE(m_storage->smsOnModem().size(), 2);
    }

    // A note whose change waits to be written, then a renewal of the modem's objects: the note is
    // written as it stands, its origin cleared.
    void renewalAfterQueuedWrite()
    {
        CMeskSmsEngine engine;
        // No modem: the delete asked is never answered but by this test.
        engine.start(m_storage.get(), nullptr);
        engine.onMeskMbnSmsManagerMessageReceived(
            MeskSmsStatus::New, QStringLiteral("+123"), QStringLiteral("hello"), 1705311000, {7},
            {QStringLiteral("bus run modem"), QStringLiteral("/SMS/7")}, 0, false, 1, {});
        QTRY_COMPARE_WITH_TIMEOUT(m_storage->smsOnModem().size(), 1, 30000);
        engine.onMeskMbnSmsManagerDeleteDone(7, CMeskMbnSmsManager::ErrorModemFailure);
        engine.onMeskMbnSmsManagerMessagesRenewed(true, 2);
        QTRY_VERIFY_WITH_TIMEOUT(m_storage->smsOnModem().value(0).deleteFailed, 30000);
        QCOMPARE(m_storage->smsOnModem().value(0).objectSet, QString());
        QCOMPARE(m_storage->smsOnModem().value(0).object, QString());
    }

    // A confirmation that comes after the watchdog gave up marks the message sent, in the
    // storage and by messageSendDone.
    void lateConfirmation()
    {
        CMeskSmsEngine engine;
        QVERIFY(startReady(engine));
        SignalLog signalLog(&engine);
        // The watchdog waits 50 ms; the modem answers after 3 s.
        m_modem->setSendSteps({FakeModem::SendStep::complete(3000)});
        QVERIFY(engine.sendMessage(QStringLiteral("+123"), QStringLiteral("late")));
        QTRY_COMPARE_WITH_TIMEOUT(signalLog.names.size(), 3, 30000);
        QCOMPARE(signalLog.names,
                 (QStringList{"sent 1 +123 late", "failed 3 +123 late", "done 2 +123 late"}));
        QCOMPARE(signalLog.messages.at(2).id, signalLog.messages.first().id);
        QCOMPARE(rows().size(), 1);
        QCOMPARE(rows().first().type, qint32(SSmsMessage::Sent));
    }

    // A read asked for after the engine's start but before its worker has made the SMS
    // manager happens once the manager is there.
    void readAskedBeforeTheManager()
    {
        m_modem->setSimMessage(7, 1, Hello);
        m_modem->setDevicePresent(true);
        m_modem->setReadyState(1);
        QVERIFY(cellularBecomes(5));
        m_modem->setSmsWatchHeld(true);
        const auto lift = qScopeGuard([&] { m_modem->setSmsWatchHeld(false); });
        CMeskSmsEngine engine;
        SignalLog signalLog(&engine);
        engine.start(m_storage.get(), m_network.get());
        QVERIFY(!engine.isSmsReady());
        QVERIFY(engine.readSimMessages());
        m_modem->setSmsWatchHeld(false);
        QTRY_COMPARE_WITH_TIMEOUT(signalLog.names, QStringList{"sim 0 +123 hello"}, 30000);
        QTRY_COMPARE_WITH_TIMEOUT(m_modem->smsCalls(QStringLiteral("read")).size(), 1, 30000);
    }

    // The worker has posted its step to the GUI thread and is held there; the step runs, then a
    // read is asked: it is made, though the worker has not gone on.
    void readAskedAsTheManagerIsMade()
    {
        m_modem->setSimMessage(7, 1, Hello);
        QSemaphore held;
        std::atomic_bool posted = false;
        CMeskSmsEngine engine;
        SignalLog signalLog(&engine);
        CMeskSmsEngine::setInitHook([&] {
            posted.store(true);
            held.acquire();
        });
        // Before the engine ends, which waits for the worker.
        const auto unhook = qScopeGuard([&] {
            held.release(8);
            CMeskSmsEngine::setInitHook({});
        });
        QVERIFY(startReady(engine));
        QTRY_VERIFY_WITH_TIMEOUT(posted.load(), 30000);
        // Queued behind the worker's step.
        bool asked = false;
        QMetaObject::invokeMethod(
            &engine, [&] { asked = engine.readSimMessages(); }, Qt::QueuedConnection);
        QTRY_VERIFY_WITH_TIMEOUT(asked, 30000);
        held.release();
        QTRY_COMPARE_WITH_TIMEOUT(signalLog.names, QStringList{"sim 0 +123 hello"}, 30000);
        QCOMPARE(m_modem->smsCalls(QStringLiteral("read")).size(), 1);
    }

    // A status report leaves no row and no signal.
    void statusReportNotKept()
    {
        CMeskSmsEngine engine;
        QVERIFY(startReady(engine));
        SignalLog signalLog(&engine);
        m_modem->clearSmsLog();
        m_modem->injectIncoming(StatusReport, false);
        QTRY_COMPARE_WITH_TIMEOUT(m_modem->smsCalls(QStringLiteral("delete")).size(), 1, 30000);
        settle();
        QVERIFY(signalLog.names.isEmpty());
        QVERIFY(rows().isEmpty());
    }

    void errorTexts_data()
    {
        QTest::addColumn<quint32>("code");
        QTest::addColumn<QString>("text");
        QTest::newRow("0") << 0u << "no error";
        QTest::newRow("10") << 10u << "Unknown service center number";
        QTest::newRow("15") << 15u << "Operation failed";
        QTest::newRow("16") << 16u << "Modem failure";
        QTest::newRow("17") << 17u << "";
        QTest::newRow("huge") << 0xFFFFFFFFu << "";
    }

    void errorTexts()
    {
        QFETCH(quint32, code);
        QFETCH(QString, text);
        CMeskSmsEngine engine;
        LogRecorder log;
        engine.onMeskMbnSmsManagerError(code);
        // Logged on the GUI thread's next turn.
        const QStringList expected =
            text.isEmpty() ? QStringList{} : QStringList{"CMeskSmsEngine::onMeskMbnSmsManagerError: " + text};
        QTRY_COMPARE_WITH_TIMEOUT(log.lines(), expected, 30000);
    }

    // A modem error repeated on every poll is logged when it starts and when it ends.
    void repeatedErrors_data()
    {
        QTest::addColumn<QList<quint32>>("reports"); // error codes; 0xFF: the modem answered normally
        QTest::addColumn<QStringList>("expected");
        const QString error = QStringLiteral("CMeskSmsEngine::onMeskMbnSmsManagerError: ");
        const QString ended = QStringLiteral("CMeskSmsEngine: ended: ");
        QTest::newRow("same thrice") << QList<quint32>{2, 2, 2} << QStringList{error + "Device not found"};
        QTest::newRow("then an answer")
            << QList<quint32>{2, 2, 0xFF, 0xFF}
            << QStringList{error + "Device not found", ended + "Device not found"};
        QTest::newRow("another error")
            << QList<quint32>{2, 5, 5}
            << QStringList{error + "Device not found", ended + "Device not found", error + "No SIM inserted"};
        QTest::newRow("back again") << QList<quint32>{2, 0xFF, 2}
                                    << QStringList{error + "Device not found", ended + "Device not found",
                                                   error + "Device not found"};
    }

    void repeatedErrors()
    {
        QFETCH(QList<quint32>, reports);
        QFETCH(QStringList, expected);
        CMeskSmsEngine engine;
        LogRecorder log;
        for (quint32 report : reports) {
            if (report == 0xFF)
                engine.onMeskMbnSmsManagerSendDone(77); // a request nobody waits for
            else
                engine.onMeskMbnSmsManagerError(report);
        }
        // Queued behind the reports: once it ran, every report has been handled.
        bool handled = false;
        QMetaObject::invokeMethod(
            &engine, [&handled] { handled = true; }, Qt::QueuedConnection);
        QTRY_VERIFY_WITH_TIMEOUT(handled, 30000);
        QCOMPARE(log.lines(), expected);
    }

    // --- the core engine with the SMS library ------------------------------

    void throughTheEngine()
    {
        QCoreApplication::setApplicationName(QStringLiteral("Velto Lumesk"));
        MeskSms::registerFactories();
        m_network.reset();
        CMeskEngine engine;
        FakeModem* modem = m_modem; // the engine's own
        modem->setDevicePresent(true);
        modem->setReadyState(1);
        QVERIFY(engine.init());
        QTRY_VERIFY_WITH_TIMEOUT(engine.isSmsReady(), 30000);
        QSignalSpy sent(&engine, &CMeskEngine::smsMessageSent);
        QSignalSpy done(&engine, &CMeskEngine::smsMessageSendDone);
        QVERIFY(engine.sendSms(QStringLiteral("+123"), QStringLiteral("hello")));
        QCOMPARE(sent.count(), 1);
        QTRY_COMPARE_WITH_TIMEOUT(done.count(), 1, 30000);
        const QList<SSmsMessage> messages = engine.smsMessages();
        QCOMPARE(messages.size(), 1);
        QCOMPARE(messages.first().type, qint32(SSmsMessage::Sent));
        QCOMPARE(messages.first().id, done.first().at(0).value<SSmsMessage>().id);
        MeskSmsFactories::setSmsEngineFactory({});
        MeskSmsFactories::setContactsReaderFactory({});
    }

    void contactsReader()
    {
        QObject owner;
        CMeskContacts contacts(&owner);
        QCOMPARE(contacts.parent(), nullptr);
        QSignalSpy ready(&contacts, &IMeskContactsReader::contactsReady);
        QVERIFY(contacts.init());
        QTRY_COMPARE_WITH_TIMEOUT(ready.count(), 1, 30000);
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
