// The ModemManager modem layer against a stand-in ModemManager on a private bus: device state,
// and sending, reading and deleting messages through the SMS manager.
#include "fakemodemmanager.h"
#include "logrecorder.h"
#include "mediadatabase.h"
#include "meskcellularstate.h"
#include "meskmbnsmsmanager.h"
#include "meskmodemmanagerbackend.h"
#include "mesknetworkmanager.h"
#include "mesksmsengine.h"
#include "smspdu.h"
#include "smsstarts.h"
#include "tempstorage.h"

#include <QDBusConnectionInterface>
#include <QMutex>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>

#include <csignal>
#include <memory>

using namespace MeskModemManager;
using SmsStarts::runEngine;

namespace {

// The SMS manager's reports as text.
class Reports : public IMeskMbnSmsManagerObserver
{
public:
    void onMeskMbnSmsManagerNotification() override {}
    void onMeskMbnSmsManagerMessageReceived(quint32 status, const QString& number, const QString& text,
                                            quint32, const QList<quint32>& indices, const SMeskSmsOrigin&,
                                            quint32, bool, quint32, const QString&) override
    {
        QMutexLocker lock(&m_mutex);
        m_calls.append(QStringLiteral("received(%1, %2, %3)").arg(status).arg(number, text));
        m_indices += indices;
    }
    void onMeskMbnSmsManagerSendDone(quint32 requestId) override
    {
        add(QStringLiteral("done(%1)").arg(requestId));
    }
    void onMeskMbnSmsManagerSendFailed(quint32 requestId, quint32 code) override
    {
        add(QStringLiteral("failed(%1, %2)").arg(requestId).arg(code));
    }
    void onMeskMbnSmsManagerError(quint32 code) override { add(QStringLiteral("error(%1)").arg(code)); }

    QStringList calls() const
    {
        QMutexLocker lock(&m_mutex);
        return m_calls;
    }
    // The reports other than errors (a manager started without a device reports one).
    QStringList messages() const
    {
        QStringList out;
        for (const QString& call : calls()) {
            if (!call.startsWith(QLatin1String("error")))
                out.append(call);
        }
        return out;
    }
    QList<quint32> takeIndices()
    {
        QMutexLocker lock(&m_mutex);
        return std::exchange(m_indices, {});
    }
    void clear()
    {
        QMutexLocker lock(&m_mutex);
        m_calls.clear();
        m_indices.clear();
    }

private:
    void add(const QString& call)
    {
        QMutexLocker lock(&m_mutex);
        m_calls.append(call);
    }
    mutable QMutex m_mutex;
    QStringList m_calls;
    QList<quint32> m_indices;
};

} // namespace

class TestModemManager : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void readyStates_data();
    void readyStates();
    void signalStrengths_data();
    void signalStrengths();
    void modemComesAndGoes();
    void errorNames_data();
    void errorNames();

    void send_data();
    void send();
    void sendFails_data();
    void sendFails();
    void receive();
    void restart();

    void dataMessage();
    void storedOnceWhenDeleteRefused();
    void systemBusLimits();
    void startSequences_data();
    void startSequences();

private:
    bool startManager();
    quint32 sendNow(const QString& text);

    PrivateBus m_bus;
    std::unique_ptr<FakeModemManagerService> m_service;
    std::unique_ptr<CMeskModemManagerBackend> m_backend;
    std::unique_ptr<CMeskMbnSmsManager> m_manager;
    Reports m_reports;
    int m_connections = 0;
};

void TestModemManager::initTestCase()
{
    if (!m_bus.start()) {
        // Only a missing daemon is a reason to skip; one that does not start is a failure.
        if (!PrivateBus::isDaemonInstalled())
            QSKIP(qPrintable(m_bus.error()));
        QFAIL(qPrintable(m_bus.error()));
    }
    qRegisterMetaType<QList<SMeskSmsReadPdu>>();
}

void TestModemManager::init()
{
    CMeskMbnSmsManager::setWatchdogDelay(60000);
    m_service = std::make_unique<FakeModemManagerService>();
    QVERIFY(m_service->start(m_bus.address()));
    const QString name = QStringLiteral("layer-%1").arg(++m_connections);
    m_backend =
        std::make_unique<CMeskModemManagerBackend>(QDBusConnection::connectToBus(m_bus.address(), name));
    QVERIFY(m_backend->open());
}

void TestModemManager::cleanup()
{
    if (m_manager)
        m_manager->release();
    m_manager.reset();
    m_backend.reset();
    m_service.reset();
    m_reports.clear();
    QDBusConnection::disconnectFromBus(QStringLiteral("layer-%1").arg(m_connections));
    CMeskMbnSmsManager::setWatchdogDelay(60000);
}

bool TestModemManager::startManager()
{
    m_manager = std::make_unique<CMeskMbnSmsManager>();
    return m_manager->init(m_backend.get(), &m_reports);
}

quint32 TestModemManager::sendNow(const QString& text)
{
    quint32 id = 0;
    m_manager->send(QStringLiteral("+15550123"), text, &id);
    return id;
}

void TestModemManager::readyStates_data()
{
    QTest::addColumn<int>("state");
    QTest::addColumn<uint>("reason");
    QTest::addColumn<uint>("unlock");
    QTest::addColumn<uint>("power");
    QTest::addColumn<int>("deviceState"); // as the cellular state reports it

    QTest::newRow("registered") << 8 << 0u << 1u << 3u << 5;
    QTest::newRow("connected") << 11 << 0u << 1u << 3u << 5;
    QTest::newRow("no SIM") << -1 << 2u << 0u << 3u << 2;
    QTest::newRow("bad SIM") << -1 << 3u << 0u << 3u << 2;
    QTest::newRow("eSIM without profiles") << -1 << 5u << 0u << 3u << 3;
    QTest::newRow("other failure") << -1 << 4u << 0u << 3u << 0;
    QTest::newRow("PIN") << 2 << 0u << 2u << 2u << 4;
    QTest::newRow("PUK") << 2 << 0u << 4u << 2u << 4;
    QTest::newRow("disabled") << 3 << 0u << 1u << 2u << 1;
    QTest::newRow("power off") << 8 << 0u << 1u << 1u << 1;
    QTest::newRow("power low") << 6 << 0u << 1u << 2u << 1;
    QTest::newRow("initializing") << 1 << 0u << 0u << 3u << 0;
}

void TestModemManager::readyStates()
{
    QFETCH(int, state);
    QFETCH(uint, reason);
    QFETCH(uint, unlock);
    QFETCH(uint, power);
    QFETCH(int, deviceState);

    QCOMPARE(MeskModemManager::radio(state, power) == 0, deviceState == 1);

    // Through the bus and the cellular state, as the network worker sees it.
    m_service->addModem();
    CMeskCellularState cellular(m_backend.get());
    QVERIFY(cellular.init(nullptr));
    QTRY_COMPARE_WITH_TIMEOUT(cellular.state(), 5, 30000);
    m_service->setModemProperty(QStringLiteral("StateFailedReason"), reason);
    m_service->setModemProperty(QStringLiteral("UnlockRequired"), unlock);
    m_service->setModemProperty(QStringLiteral("PowerState"), power);
    m_service->setModemProperty(QStringLiteral("State"), state);
    QTRY_COMPARE_WITH_TIMEOUT(cellular.state(), deviceState, 30000);
    QTRY_COMPARE_WITH_TIMEOUT(cellular.providerName(), QStringLiteral("Stand-in Mobile"), 30000);
    QCOMPARE(cellular.phoneNumber(), QStringLiteral("+15550100"));
}

void TestModemManager::signalStrengths_data()
{
    QTest::addColumn<uint>("percent");
    QTest::addColumn<bool>("recent");
    QTest::addColumn<uint>("strength");
    QTest::newRow("none") << 0u << true << 0u;
    QTest::newRow("half") << 50u << true << 16u;
    QTest::newRow("full") << 100u << true << 31u;
    QTest::newRow("stale") << 80u << false << 99u;
}

void TestModemManager::signalStrengths()
{
    QFETCH(uint, percent);
    QFETCH(bool, recent);
    QFETCH(uint, strength);
    QSignalSpy changed(m_backend.get(), &IMeskModemBackend::signalStateChange);
    m_service->addModem();
    QTRY_VERIFY_WITH_TIMEOUT(m_backend->hasDevice(), 30000);
    m_service->setModemProperty(QStringLiteral("SignalQuality"),
                                QVariant::fromValue(SignalQuality{percent, recent}));
    quint32 read = 1000;
    QTRY_VERIFY_WITH_TIMEOUT(m_backend->signalStrength(&read) && read == strength, 30000);
    QVERIFY(changed.count() >= 1);
}

void TestModemManager::modemComesAndGoes()
{
    // ModemManager is not there when the program starts.
    m_service->stop();
    m_backend.reset();
    m_backend = std::make_unique<CMeskModemManagerBackend>(
        QDBusConnection::connectToBus(m_bus.address(), QStringLiteral("layer-%1").arg(m_connections)));
    CMeskCellularState cellular(m_backend.get());
    QVERIFY(cellular.init(nullptr));
    QSignalSpy arrived(m_backend.get(), &IMeskModemBackend::interfaceArrival);
    QSignalSpy removed(m_backend.get(), &IMeskModemBackend::interfaceRemoval);
    QCOMPARE(cellular.state(), 0);

    QVERIFY(m_service->start(m_bus.address()));
    m_service->addModem();
    QTRY_COMPARE_WITH_TIMEOUT(cellular.state(), 5, 30000);
    QCOMPARE(arrived.count(), 1);

    m_service->removeModem();
    QTRY_COMPARE_WITH_TIMEOUT(cellular.state(), 0, 30000);
    QCOMPARE(removed.count(), 1);
    QVERIFY(!m_backend->hasDevice());

    // A CDMA-only modem is a device whose messages the manager refuses to send.
    m_service->addModem(1u << 1);
    QTRY_VERIFY_WITH_TIMEOUT(m_backend->hasDevice(), 30000);
    QList<SMeskModemInterface> interfaces;
    QCOMPARE(m_backend->smsInterfaces(&interfaces), MeskMbnResult::Ok);
    QCOMPARE(interfaces.size(), 1);
    QCOMPARE(interfaces.first().cellularClass, 2u);
}

void TestModemManager::errorNames_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<uint>("code"); // the SMS manager's error code
    const QString message = QStringLiteral("org.freedesktop.ModemManager1.Error.Message.");
    const QString equipment = QStringLiteral("org.freedesktop.ModemManager1.Error.MobileEquipment.");
    QTest::newRow("SIM not inserted") << message + "SimNotInserted" << 5u;
    QTest::newRow("ME SIM not inserted") << equipment + "SimNotInserted" << 5u;
    QTest::newRow("SIM wrong") << message + "SimWrong" << 6u;
    QTest::newRow("ME SIM failure") << equipment + "SimFailure" << 6u;
    QTest::newRow("SIM PIN") << message + "SimPin" << 7u;
    QTest::newRow("ME SIM PUK") << equipment + "SimPuk" << 7u;
    QTest::newRow("memory failure") << message + "MemoryFailure" << 8u;
    QTest::newRow("memory full") << message + "MemoryFull" << 9u;
    QTest::newRow("SMSC unknown") << message + "SmscAddressUnknown" << 10u;
    QTest::newRow("invalid PDU") << message + "InvalidPduParameter" << 12u;
    QTest::newRow("invalid text") << message + "InvalidTextParameter" << 12u;
    QTest::newRow("network timeout") << message + "NetworkTimeout" << 13u;
    QTest::newRow("no network") << message + "NoNetwork" << 14u;
    QTest::newRow("not allowed") << message + "NotAllowed" << 15u;
    QTest::newRow("polkit") << QStringLiteral("org.freedesktop.ModemManager1.Error.Core.Unauthorized") << 15u;
    QTest::newRow("access denied") << QStringLiteral("org.freedesktop.DBus.Error.AccessDenied") << 15u;
    QTest::newRow("no reply") << QStringLiteral("org.freedesktop.DBus.Error.NoReply") << 13u;
    QTest::newRow("ME memory full is no SIM case") << equipment + "MemoryFull" << 1u;
    QTest::newRow("modem failure") << QStringLiteral("org.freedesktop.ModemManager1.Error.Core.Failed")
                                   << 16u;
    QTest::newRow("other") << QStringLiteral("org.freedesktop.ModemManager1.Error.Core.WrongState") << 1u;
}

void TestModemManager::errorNames()
{
    QFETCH(QString, name);
    QFETCH(uint, code);
    QCOMPARE(CMeskMbnSmsManager::errorCode(errorResult(name)), code);
}

void TestModemManager::send_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("onTheAir"); // the start of what the modem gets
    QTest::newRow("short") << QStringLiteral("See you at eight") << QStringLiteral("See you at eight");
    // Several parts on the air as one message; look-alikes substituted as the counter counts them.
    QTest::newRow("long with look-alikes")
        << QString(QStringLiteral("\u03b4\u00e1 long line of text. ")).repeated(20)
        << QStringLiteral("\u0394a long line");
    QTest::newRow("UCS-2") << QStringLiteral("\u4f60\u597d") << QStringLiteral("\u4f60\u597d");
}

void TestModemManager::send()
{
    QFETCH(QString, text);
    QFETCH(QString, onTheAir);
    m_service->addModem();
    QTRY_VERIFY_WITH_TIMEOUT(m_backend->hasDevice(), 30000);
    QVERIFY(startManager());
    int parts = 0;
    m_manager->textLength(text, nullptr, nullptr, &parts);
    const quint32 id = sendNow(text);
    QTRY_COMPARE_WITH_TIMEOUT(m_reports.messages(), QStringList{QStringLiteral("done(%1)").arg(id)}, 30000);
    QCOMPARE(m_service->sent().size(), 1);
    QCOMPARE(m_service->sent().first().number, QStringLiteral("+15550123"));
    QCOMPARE(m_service->sent().first().text, smsPduSendableText(text));
    QVERIFY(m_service->sent().first().text.startsWith(onTheAir));
    QCOMPARE(parts, text.size() > 160 ? 3 : 1);
    // The sent message does not stay in the modem's storage.
    QTRY_VERIFY_WITH_TIMEOUT(m_service->messagePaths().isEmpty(), 30000);
}

void TestModemManager::sendFails_data()
{
    QTest::addColumn<QString>("how");
    // How each report starts; %1: the first id, %2: the second.
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("refused") << "error" << QStringList{"failed(%1, 6)", "failed(%2, 6)"};
    QTest::newRow("no reply") << "silent" << QStringList{"failed(%1, 13)", "failed(%2, 13)"};
    QTest::newRow("modem pulled out") << "removed" << QStringList{"failed(%1, 13)", "failed(%2, 2)"};
    // The message on the air gets no answer; the queued one meets the old or no modem.
    QTest::newRow("ModemManager restarts") << "restart" << QStringList{"failed(%1, 13)", "failed(%2, "};
}

void TestModemManager::sendFails()
{
    QFETCH(QString, how);
    QFETCH(QStringList, expected);
    CMeskMbnSmsManager::setWatchdogDelay(how == QLatin1String("error") ? 60000 : 1000);
    m_service->addModem();
    QTRY_VERIFY_WITH_TIMEOUT(m_backend->hasDevice(), 30000);
    QVERIFY(startManager());
    m_service->setSendError(how == QLatin1String("error")
                                ? QStringLiteral("org.freedesktop.ModemManager1.Error.Message.SimWrong")
                                : QString());
    m_service->setSendSilent(how != QLatin1String("error"));
    const quint32 first = sendNow(QStringLiteral("first"));
    const quint32 second = sendNow(QStringLiteral("second"));
    if (how != QLatin1String("error"))
        QTRY_COMPARE_WITH_TIMEOUT(m_service->heldSends(), 1, 30000);
    if (how == QLatin1String("removed")) {
        m_service->removeModem();
        QTRY_VERIFY_WITH_TIMEOUT(!m_backend->hasDevice(), 30000);
    } else if (how == QLatin1String("restart")) {
        m_service->setSendSilent(false);
        QVERIFY(m_service->restart());
    }
    QTRY_COMPARE_WITH_TIMEOUT(m_reports.messages().size(), expected.size(), 30000);
    for (int i = 0; i < expected.size(); ++i) {
        const QString start = QString(expected.at(i))
                                  .replace(QLatin1String("%1"), QString::number(first))
                                  .replace(QLatin1String("%2"), QString::number(second));
        QVERIFY2(m_reports.messages().at(i).startsWith(start), qPrintable(m_reports.messages().join(' ')));
    }
    QTest::qWait(100);
    QCOMPARE(m_reports.messages().size(), expected.size());
}

void TestModemManager::receive()
{
    m_service->addModem();
    m_service->addMessage(QStringLiteral("+15550199"), QStringLiteral("Stored before"));
    m_service->addMessage(QStringLiteral("+15550199"), QStringLiteral("report"), SmsReceived,
                          PduStatusReport);
    QTRY_VERIFY_WITH_TIMEOUT(m_backend->hasDevice(), 30000);
    QVERIFY(startManager());

    // Found at start: already read; the status report goes unreported and is deleted.
    QVERIFY(m_manager->readAllMessages());
    QTRY_COMPARE_WITH_TIMEOUT(m_reports.messages(), QStringList{"received(1, +15550199, Stored before)"},
                              30000);
    QTRY_COMPARE_WITH_TIMEOUT(m_service->messagePaths().size(), 1, 30000);
    // Not stored (the owner does not delete it): it stays, and is not reported twice.
    QList<quint32> stored = m_reports.takeIndices();
    QVERIFY(m_manager->readAllMessages());
    QTest::qWait(200);
    QCOMPARE(m_service->messagePaths().size(), 1);
    m_manager->deleteMessages(stored);
    QTRY_VERIFY_WITH_TIMEOUT(m_service->messagePaths().isEmpty(), 30000);

    // Arriving: reported as new once every part is there.
    m_reports.clear();
    const QString arriving = m_service->addMessage(QStringLiteral("+15550177"), QStringLiteral("Hello there"),
                                                   SmsReceiving, PduDeliver, true);
    QTest::qWait(300);
    QCOMPARE(m_reports.messages(), QStringList());
    m_service->setMessageState(arriving, SmsReceived);
    QTRY_COMPARE_WITH_TIMEOUT(m_reports.messages(), QStringList{"received(0, +15550177, Hello there)"},
                              30000);
    m_manager->deleteMessages(m_reports.takeIndices());
    QTRY_VERIFY_WITH_TIMEOUT(m_service->messagePaths().isEmpty(), 30000);
}

void TestModemManager::restart()
{
    m_service->addModem();
    m_service->addMessage(QStringLiteral("+15550199"), QStringLiteral("kept"));
    QTRY_VERIFY_WITH_TIMEOUT(m_backend->hasDevice(), 30000);
    QVERIFY(startManager());
    QVERIFY(m_manager->readAllMessages());
    QTRY_COMPARE_WITH_TIMEOUT(m_reports.messages().size(), 1, 30000);
    const QList<quint32> old = m_reports.takeIndices();

    // ModemManager goes away: a message sent meanwhile fails with "device not found".
    m_service->stop();
    QTRY_VERIFY_WITH_TIMEOUT(!m_backend->hasDevice(), 30000);
    m_reports.clear();
    const quint32 id = sendNow(QStringLiteral("while away"));
    QTRY_COMPARE_WITH_TIMEOUT(m_reports.calls(), QStringList({QStringLiteral("error(2)")}), 30000);
    Q_UNUSED(id);

    // Back with new paths; the same numbers are reused by the new run and still reach its messages.
    m_reports.clear();
    QVERIFY(m_service->restart());
    QTRY_VERIFY_WITH_TIMEOUT(m_backend->hasDevice(), 30000);
    m_service->addMessage(QStringLiteral("+15550188"), QStringLiteral("after restart"), SmsReceiving,
                          PduDeliver, true);
    m_service->setMessageState(m_service->messagePaths().last(), SmsReceived);
    QTRY_VERIFY_WITH_TIMEOUT(
        m_reports.messages().contains(QStringLiteral("received(0, +15550188, after restart)")), 30000);
    // The kept message comes with the read, or earlier, when the layer followed the new run in time to
    // see it announced as the modem was switched on: once either way.
    QVERIFY(m_manager->readAllMessages());
    QTRY_COMPARE_WITH_TIMEOUT(m_reports.messages().size(), 2, 30000);
    QCOMPARE(m_reports.messages().filter(QStringLiteral("+15550199, kept")).size(), 1);
    m_manager->deleteMessages(m_reports.takeIndices());
    QTRY_VERIFY_WITH_TIMEOUT(m_service->messagePaths().isEmpty(), 30000);
    Q_UNUSED(old);
}

// A message with data and no text (a WAP push) is reported with the data marker, not as junk,
// and is deleted like any other once stored.
void TestModemManager::dataMessage()
{
    m_service->addModem();
    const QString path = m_service->addMessage(QStringLiteral("+15550199"), QString());
    m_service->setMessageProperty(path, QStringLiteral("Data"), QByteArray("\xff\xfe\x01wap push", 12));
    QTRY_VERIFY_WITH_TIMEOUT(m_backend->hasDevice(), 30000);
    QVERIFY(startManager());
    QVERIFY(m_manager->readAllMessages());
    QTRY_COMPARE_WITH_TIMEOUT(
        m_reports.messages(),
        QStringList{QStringLiteral("received(1, +15550199, %1)").arg(SSmsMessage::dataMessageMarker())},
        30000);
    m_manager->deleteMessages(m_reports.takeIndices());
    QTRY_VERIFY_WITH_TIMEOUT(m_service->messagePaths().isEmpty(), 30000);
}

// ModemManager refuses Delete to a session without the right: the messages stay on the modem,
// and three starts on one storage store and announce each of them once. The sent message kept on
// the modem has no time, as with ModemManager.
void TestModemManager::storedOnceWhenDeleteRefused()
{
    TempStorageRoot root;
    CMediaDataBase storage(root.subPath(QStringLiteral("storage")));
    QVERIFY(storage.open());
    m_service->addModem();
    m_service->addMessage(QStringLiteral("+15550199"), QStringLiteral("first"));
    m_service->addMessage(QStringLiteral("+15550199"), QStringLiteral("first"));
    m_service->addMessage(QStringLiteral("+15550177"), QStringLiteral("kept sent"), SmsSent, PduSubmit);
    m_service->setDeleteError(QStringLiteral("org.freedesktop.ModemManager1.Error.Core.Unauthorized"));
    for (int run = 1; run <= 3; ++run) {
        LogRecorder log;
        const QStringList announced = runEngine(m_bus.address(), &storage, [&] {
            return m_service->callCount(QStringLiteral("Delete")) >= 3 * run;
        });
        QCOMPARE(announced, run == 1
                                ? QStringList({"+15550199 first", "+15550199 first", "+15550177 kept sent"})
                                : QStringList());
        QCOMPARE(storage.smsMessages().size(), 3);
        QCOMPARE(m_service->messagePaths().size(), 3);
    }
}

// A private bus with the system bus's limit of 128 calls waiting per connection and 2,000
// messages on the modem: every message is read (one read refused once for want of room is
// read again), stored once and deleted, and the next start stores none.
void TestModemManager::systemBusLimits()
{
    PrivateBus bus;
    if (!bus.start(PrivateBus::systemLimitsConfiguration())) {
        // Only a missing daemon is a reason to skip; one that does not start is a failure.
        if (!PrivateBus::isDaemonInstalled())
            QSKIP(qPrintable(bus.error()));
        QFAIL(qPrintable(bus.error()));
    }
    FakeModemManagerService service;
    QVERIFY(service.start(bus.address()));
    service.addModem();
    constexpr int Count = 2000;
    for (int i = 0; i < Count; ++i)
        service.addMessage(QStringLiteral("+1555%1").arg(i, 4, 10, QLatin1Char('0')),
                           QStringLiteral("message %1").arg(i));
    const QStringList paths = service.messagePaths();
    for (int i : {0, 777, Count - 1})
        service.failNextRead(paths.at(i), QStringLiteral("org.freedesktop.DBus.Error.LimitsExceeded"));

    TempStorageRoot root;
    CMediaDataBase storage(root.subPath(QStringLiteral("storage")));
    QVERIFY(storage.open());
    QStringList announced =
        runEngine(bus.address(), &storage, [&] { return service.messagePaths().isEmpty(); });
    QCOMPARE(announced.size(), Count);
    QCOMPARE(announced.removeDuplicates(), 0);
    QCOMPARE(storage.smsMessages().size(), Count);
    QCOMPARE(service.callCount(QStringLiteral("GetAll")), Count + 3 + 1); // and the SIM's

    // The next start finds nothing (its read is over once the modem's list was asked twice).
    const int lists = service.callCount(QStringLiteral("List"));
    QCOMPARE(
        runEngine(bus.address(), &storage, [&] { return service.callCount(QStringLiteral("List")) > lists; }),
        QStringList());
    QCOMPARE(storage.smsMessages().size(), Count);
}

// Starts of the program while ModemManager makes its messages anew, another client deletes one,
// the machine reboots or the user deletes one. Each row is a script of steps:
//   received N / sent N   N messages on the modem, received with a time or kept as sent without
//   receiving N           N long messages on the modem of which the last part has yet to come
//   class0                every message on the modem so far is a flash message (Class 0)
//   memory                every message on the modem so far is kept in the modem's memory (ME), not
//                         on the SIM: it stays when the SIM is swapped
//   swap                  the user swaps the SIM for the other one (the modem goes and comes back)
//   modem9                the modem comes again as ModemManager's tenth (/Modem/9)
//   refuse / allow        ModemManager refuses deletes (a session without the right) or allows them
//   start [event]         one start: a read, and with an event a second read after ModemManager
//                         restarts, the modem is switched off and on, or it is removed and added
//                         again; "user" instead has the user delete the first stored message;
//                         "complete" has the long messages' last parts come after the read,
//                         "racing" as the read takes them, "completing" as its read comes;
//                         "flash" has a flash message arrive; "retried" has a read of every message
//                         wait for a call tried again while a read of the new ones stores and
//                         deletes; "gone" has another client delete a new message as it is read;
//                         "swap" swaps the SIM out and back, reading each; "cutread" switches
//                         the modem off and on as the first read reads its first listed message;
//                         "second" has a second modem come first in the order of the paths and go,
//                         reading each;
//                         "overtaken" sends a message, and a read of every message that read its
//                         object is answered (a call tried again) after a newer read that did not
//   faildelete            the next delete fails, and a later one answers success while the SIM
//                         keeps the message
//   replace               between starts another client deletes the first message and an identical
//                         one arrives
//   reboot                a new bus whose ModemManager has the same name and paths, and the messages
//                         "after reboot N" instead
//   expect R A M          R rows stored, A messages announced by the last start, M left on the modem
//   news N                N of those announced as new
//   powercut              from now on the store is watched: each message the stand-in is asked to
//                         delete must be in the store as a power cut right then would leave it
void TestModemManager::startSequences_data()
{
    QTest::addColumn<QStringList>("steps");
    const QString unmoved = QStringLiteral("expect 3 0 3");
    QTest::newRow("ModemManager restarts during a start")
        << QStringList{"received 2", "sent 1", "refuse", "start restart", "expect 3 3 3", "start", unmoved};
    QTest::newRow("modem off and on during a start")
        << QStringList{"received 2", "sent 1", "refuse", "start disable", "expect 3 3 3", "start", unmoved};
    QTest::newRow("modem removed and added during a start")
        << QStringList{"received 2", "sent 1", "refuse", "start readd", "expect 3 3 3", "start", unmoved};
    QTest::newRow("a message without time deleted by another client, an identical one comes")
        << QStringList{"sent 1", "refuse",       "start", "expect 1 1 1", "replace",
                       "start",  "expect 2 1 1", "allow", "start",        "expect 2 0 0"};
    // The user deleted it first: its note stays while the modem may keep it. The read that would
    // forget it is cut short by a power cycle, its list already without the old object: the new
    // message, announced as the modem is switched on, is not taken for the one deleted.
    QTest::newRow("a deleted message without time deleted by another client, an identical one comes, "
                  "off and on during the read")
        << QStringList{"sent 1",  "refuse",        "start user",  "expect 0 1 1",
                       "replace", "start cutread", "expect 1 1 1"};
    QTest::newRow("reboot: the same name and paths on a new bus")
        << QStringList{"sent 2", "refuse", "start", "expect 2 2 2", "reboot", "start", "expect 4 2 2"};
    QTest::newRow("more messages than the modem ever held")
        << QStringList{"received 4100", "refuse",
                       "start",         "expect 4100 4100 4100",
                       "start",         "expect 4100 0 4100",
                       "start",         "expect 4100 0 4100"};
    QTest::newRow("the user deletes a kept message")
        << QStringList{"received 1",   "sent 1", "refuse", "start user",   "expect 1 2 2", "start",
                       "expect 1 0 2", "allow",  "start",  "expect 1 0 0", "start",        "expect 1 0 0"};
    // Switched on, ModemManager announces every message it loads from the SIM (also in the row
    // "modem off and on during a start").
    QTest::newRow("a message the user deleted stays deleted through off and on")
        << QStringList{"received 3",    "sent 1",       "refuse", "start user",  "expect 3 4 4",
                       "start disable", "expect 3 0 4", "start",  "expect 3 0 4"};
    QTest::newRow("a message arrives while the modem is switched on")
        << QStringList{"received 2", "refuse", "start arrive", "expect 3 3 3", "start", "expect 3 0 3"};
    QTest::newRow("the program starts while the modem is being switched on")
        << QStringList{"received 2", "sent 1",         "refuse",       "start", "expect 3 3 3",
                       "off",        "start enabling", "expect 3 0 3", "start", "expect 3 0 3"};
    // Switched off during the read, the program closed while ModemManager loads the SIM again.
    QTest::newRow("off and on in the middle of a read, then closed") << QStringList{
        "received 40", "refuse", "start midread", "expect 19 19 0", "on", "start", "expect 40 21 40"};
    QTest::newRow("messages announced while enabling keep their objects") << QStringList{
        "received 2", "refuse", "start", "expect 2 2 2", "allow", "start reload", "expect 2 0 0"};
    // The window closed while ModemManager still sends: it finishes without its caller and keeps the
    // object; the next start marks the row failed, then learns from the object what became of it.
    QTest::newRow("sent after the program stopped")
        << QStringList{"start send", "expect 1 0 1", "sendends ok", "start", "expect 1 1 0", "kinds S"};
    QTest::newRow("failed after the program stopped")
        << QStringList{"start send", "expect 1 0 1", "sendends fail", "start", "expect 1 0 0", "kinds F"};
    QTest::newRow("sent after the program stopped, the row deleted before the read")
        << QStringList{"start send", "sendends ok", "start forget", "expect 0 0 0"};
    // The modem lets a message go only once its row is on the disk: received ones, and the user's own
    // sent message, whose row an earlier batch stored.
    QTest::newRow("a power cut as the modem deletes what was read")
        << QStringList{"received 2", "sent 1", "powercut", "start", "expect 3 3 0"};
    QTest::newRow("a power cut as the modem deletes the user's sent message") << QStringList{
        "powercut", "start send", "expect 1 0 1", "sendends ok", "start", "expect 1 1 0", "kinds S"};
    QTest::newRow("killed while storing a read, deletes refused")
        << QStringList{"received 300", "refuse", "killed 150", "start", "expect 300 - 300"};
    QTest::newRow("killed while storing a read, deletes allowed")
        << QStringList{"received 300", "killed 150", "start", "expect 300 - 0"};
    QTest::newRow("ModemManager goes while deletes wait") << QStringList{
        "received 3", "hold", "start vanish", "expect 3 3 0", "noted 0", "start", "expect 3 0 0"};
    // ModemManager gives Class 0 to flash messages and to voicemail notices: each is kept and shown
    // as any other message, once.
    QTest::newRow("flash messages on the modem")
        << QStringList{"received 2", "sent 1",       "class0", "refuse", "start",        "expect 3 3 3",
                       "start",      "expect 3 0 3", "allow",  "start",  "expect 3 0 0", "kinds RRS"};
    QTest::newRow("a flash message arrives") << QStringList{"start flash", "expect 1 1 0", "news 1"};
    // ModemManager announces a long message with its first part only: one whose first part came
    // before the start is new when its last part comes.
    QTest::newRow("a long message completes while the program runs")
        << QStringList{"receiving 2", "received 1", "start complete", "expect 3 3 0", "news 2"};
    QTest::newRow("a long message completes as the program reads it")
        << QStringList{"receiving 1", "start racing", "expect 1 1 0", "news 1"};
    QTest::newRow("a long message completes as its read comes")
        << QStringList{"receiving 1", "start completing", "expect 1 1 0", "news 1"};
    QTest::newRow("a read waits for a call tried again while its message is stored")
        << QStringList{"start retried", "expect 2 2 0", "news 2"};
    QTest::newRow("another client deletes a new message")
        << QStringList{"start gone", "expect 3 3 0", "news 3"};
    // ModemManager answers a delete that failed once with success the next time, while the SIM
    // keeps the message: it comes back when ModemManager loads the SIM again.
    QTest::newRow("a delete fails, then succeeds, ModemManager restarts") << QStringList{
        "received 1", "faildelete", "start", "expect 1 1 1", "start restart", "expect 1 0 0", "noted 0"};
    QTest::newRow("a delete fails, then succeeds, the modem is switched off and on while closed")
        << QStringList{"received 1",   "faildelete",   "start",   "expect 1 1 1", "start",
                       "expect 1 0 0", "start",        "noted 1", "off",          "on",
                       "start",        "expect 1 0 0", "noted 0"};
    QTest::newRow("a delete fails, another client deletes it, ModemManager restarts")
        << QStringList{"received 1", "faildelete", "start",         "expect 1 1 1", "removeall",
                       "start",      "noted 1",    "start restart", "expect 1 0 0", "noted 0"};
    // A message without a time whose object ModemManager dropped while the SIM keeps it: a new identical
    // message under another object of the same set is another message, stored.
    QTest::newRow("a delete of a message without time fails, then succeeds, an identical one comes")
        << QStringList{"sent 1",       "faildelete",    "start",        "expect 1 1 1",
                       "start",        "expect 1 0 0",  "sent 1",       "start",
                       "expect 2 1 0", "start restart", "expect 2 0 0", "noted 0"};
    // A message is forgotten only by a complete read of the SIM it was last seen with.
    QTest::newRow("a kept message, the SIM swapped out and back while closed")
        << QStringList{"received 1",   "refuse", "start", "expect 1 1 1", "swap",   "start",
                       "expect 1 0 0", "swap",   "start", "expect 1 0 1", "noted 1"};
    QTest::newRow("a delete fails, the SIM swapped out and back while closed")
        << QStringList{"received 1",   "faildelete", "start", "expect 1 1 1", "swap",   "start",
                       "expect 1 0 0", "swap",       "start", "expect 1 0 0", "noted 0"};
    QTest::newRow("a kept message, the SIM swapped out and back while the program runs")
        << QStringList{"received 1", "refuse", "start swap", "expect 1 1 1", "start", "expect 1 0 1"};
    QTest::newRow("a kept message, a second modem becomes the device and goes") << QStringList{
        "received 1", "refuse", "modem9", "start second", "expect 1 1 1", "start", "expect 1 0 1"};
    // The modem's memory keeps its messages through a swap: one with a time is known by what it
    // holds; one without a time, read with another SIM, is another message.
    QTest::newRow("a kept message in the modem's memory, the SIM swapped out and back")
        << QStringList{"received 1", "memory",       "refuse", "start", "expect 1 1 1", "swap",
                       "start",      "expect 1 0 1", "swap",   "start", "expect 1 0 1"};
    QTest::newRow("a kept message without time in the modem's memory, read with another SIM") << QStringList{
        "sent 1", "memory", "refuse", "start", "expect 1 1 1", "swap", "start", "expect 2 1 1"};
    // A read that began before a newer one ended may still report what the newer one no longer found.
    QTest::newRow("a read answered after a newer one, the user's message sent meanwhile")
        << QStringList{"start overtaken", "kinds SR", "start", "expect 2 0 0", "noted 0", "kinds SR"};
    // Only a modem that failed a delete leaves the message on the SIM behind a later success.
    QTest::newRow("a refused delete, then allowed") << QStringList{
        "received 1", "refuse", "start", "expect 1 1 1", "allow", "start", "expect 1 0 0", "noted 0"};
    // The set of objects has the same name: a message with a time is known by what it holds.
    QTest::newRow("a kept message, the modem switched off and on while closed")
        << QStringList{"received 1", "refuse",       "start", "expect 1 1 1", "off",         "on",
                       "start",      "expect 1 0 1", "allow", "start",        "expect 1 0 0"};
    // ModemManager restarts while the program runs, a message came meanwhile; no one reads at the
    // state change, or the window does (and the program does not read a second time).
    QTest::newRow("ModemManager restarts with a message that came meanwhile")
        << QStringList{"received 1", "start away", "expect 2 2 0"};
    QTest::newRow("ModemManager restarts, the window reads at the change to ready")
        << QStringList{"received 1", "start awayview", "expect 2 2 0"};
    // Completed as its GetAll comes, its change signal sent after the answer (GDBus's order).
    QTest::newRow("a long message completes as its read is answered, its signal after")
        << QStringList{"receiving 1", "start silently", "expect 1 1 0", "news 1"};
    // The modem's objects are made anew while the reads of the ones made before are still
    // answered (a busy bus): those reads name objects that are gone.
    QTest::newRow("two power cycles in a row, reads answered late, deletes refused")
        << QStringList{"received 60", "refuse", "start", "expect 60 60 60", "start twice", "expect 60 0 60"};
    QTest::newRow("ModemManager restarts as reads are answered late, the modem off and on right after")
        << QStringList{"received 20",        "refuse",        "start", "expect 20 20 20",
                       "start restartcycle", "expect 20 0 20"};
    // The program closes (or is killed) as its delete goes out; the delete ends while it is away.
    // A message with a time keeps its note until another set of objects is read: the delete may
    // have failed while the program was away, and the SIM kept the message (the row below).
    QTest::newRow("closed during a delete that succeeds")
        << QStringList{"received 1",   "hold",    "start pending", "expect 1 1 1", "answer ok", "start",
                       "expect 1 0 0", "noted 1", "start restart", "expect 1 0 0", "noted 0"};
    QTest::newRow("closed during a delete that fails, another client deletes it, ModemManager restarts")
        << QStringList{"received 1",    "hold",          "start pending", "expect 1 1 1",
                       "answer failed", "removeall",     "start",         "expect 1 0 0",
                       "noted 1",       "start restart", "expect 1 0 0",  "noted 0"};
    // A message without a time: a delete that was out as the program closed and was refused is not
    // taken for a failed one, and a new identical message is stored.
    QTest::newRow("closed during a refused delete of a message without time, an identical one comes")
        << QStringList{"sent 1",       "hold",    "start pending", "expect 1 1 1", "answer refused", "start",
                       "expect 1 0 0", "noted 0", "sent 1",        "start",        "expect 2 1 0"};
    // The delete of a message without a time was out as the program closed and went through; an
    // identical message came and ModemManager restarted: found under another object of another set,
    // it cannot be told from the one deleted, and is stored (a second row rather than a lost message).
    QTest::newRow("closed during a delete of a message without time that succeeds, an identical one comes, "
                  "ModemManager restarts")
        << QStringList{"sent 1", "hold",      "start pending", "expect 1 1 1", "answer ok",
                       "sent 1", "mmrestart", "start",         "expect 2 1 0", "noted 0"};
    // A start that saw the modem switched off and on names the set of objects with an epoch; the
    // next start, which saw no reload, names the same set without it.
    QTest::newRow("a kept message without time, off and on seen, an identical one replaces it")
        << QStringList{"sent 1",  "refuse", "start disable", "expect 1 1 1",
                       "replace", "start",  "expect 2 1 1"};
    QTest::newRow("a delete fails in a start that saw the modem switched on, ModemManager restarts")
        << QStringList{"received 1",    "faildelete",   "off",          "start enabling",
                       "expect 1 1 1",  "start",        "expect 1 0 0", "noted 1",
                       "start restart", "expect 1 0 0", "noted 0"};
    // The program's own sent message, kept (deletes refused), and 40 received: the modem is switched
    // off in the middle of a read, which reports with no origin. Its own message is known by what it
    // holds (and marked sent): no second row of it.
    QTest::newRow("an own sent message kept, off in the middle of a read")
        << QStringList{"start send",
                       "sendends ok",
                       "refuse",
                       "received 40",
                       "start midread",
                       "expect 19 19 0",
                       "kinds SRRRRRRRRRRRRRRRRRR",
                       "on",
                       "start",
                       "expect 41 22 40"};
    QTest::newRow("closed during a delete that fails, ModemManager restarts")
        << QStringList{"received 1",   "hold",    "start pending", "expect 1 1 1", "answer failed", "start",
                       "expect 1 0 0", "noted 1", "start restart", "expect 1 0 0", "noted 0"};
    QTest::newRow("closed during a delete that is refused, ModemManager restarts")
        << QStringList{"received 1", "hold",         "start pending", "expect 1 1 1", "answer refused",
                       "start",      "expect 1 0 0", "start restart", "expect 1 0 0", "noted 0"};
    QTest::newRow("killed during a delete that fails, ModemManager restarts")
        << QStringList{"received 1",   "hold",          "killed delete", "answer failed", "start",
                       "expect 1 0 0", "start restart", "expect 1 0 0",  "noted 0"};
    // ModemManager restarted while the program was closed; its objects cannot be listed at once.
    QTest::newRow("ModemManager's objects not listed at the first try") << QStringList{
        "received 1", "refuse", "start", "expect 1 1 1", "mmrestart", "failmanaged", "start", "expect 1 0 1"};
}

void TestModemManager::startSequences()
{
    QFETCH(QStringList, steps);
    SmsStarts::Script script;
    script.setUp();
    if (QTest::currentTestFailed())
        return;
    for (const QString& step : std::as_const(steps)) {
        script.run(step);
        if (QTest::currentTestFailed()) {
            qWarning().noquote() << "failed at step" << steps.indexOf(step) + 1 << step;
            return;
        }
    }
}

int main(int argc, char** argv)
{
    if (SmsStarts::isChild(argc, argv))
        return SmsStarts::childMain(argc, argv);
    QCoreApplication app(argc, argv);
    TestModemManager test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "tst_modemmanager.moc"
