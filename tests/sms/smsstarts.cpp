#include "smsstarts.h"

#include "meskmodemmanagerbackend.h"
#include "mesknetworkbackends.h"
#include "mesknetworkmanager.h"
#include "mesksmsengine.h"

#include <QDBusConnectionInterface>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

using namespace MeskModemManager;

namespace SmsStarts {

namespace {
const char ChildFlag[] = "--killed-while-storing";
int engineRuns = 0;
} // namespace

QStringList runEngine(const QString& address, IMediaItemStorage* storage, const std::function<bool()>& done)
{
    return runEngine(address, storage, [&](CMeskSmsEngine& engine, CMeskNetworkManager&) {
        QVERIFY(engine.readSimMessages());
        QTRY_VERIFY_WITH_TIMEOUT(done(), 60000);
    });
}

QStringList runEngine(const QString& address, IMediaItemStorage* storage, const EngineBody& body, bool ready)
{
    const QString name = QStringLiteral("engine-%1").arg(++engineRuns);
    useModemManagerAt(address, name);
    QStringList announced;
    {
        CMeskNetworkManager network;
        network.start();
        CMeskSmsEngine engine;
        QObject::connect(&engine, &CMeskSmsEngine::simMessageReady, &engine, [&](const SSmsMessage& message) {
            announced << message.phone + ' ' + message.message;
        });
        QObject::connect(&engine, &CMeskSmsEngine::newMessageReceived, &engine,
                         [&](const SSmsMessage& message) {
                             announced << QStringLiteral("new ") + message.phone + ' ' + message.message;
                         });
        QObject::connect(&engine, &CMeskSmsEngine::messageSendDone, &engine, [&](const SSmsMessage& message) {
            announced << QStringLiteral("done ") + message.message;
        });
        [&] {
            if (ready)
                QTRY_COMPARE_WITH_TIMEOUT(network.cellularState(), 5, 30000);
            engine.start(storage, &network);
            if (ready)
                QTRY_VERIFY_WITH_TIMEOUT(engine.isSmsReady(), 30000);
            body(engine, network);
        }();
        engine.stop();
        network.stop();
    }
    MeskNetworkBackends::setFactory({});
    QDBusConnection::disconnectFromBus(name);
    return announced;
}

void readAll(CMeskSmsEngine& engine)
{
    // The macro evaluates its expression more than once: one read is asked.
    bool asked = false;
    QTRY_VERIFY_WITH_TIMEOUT(asked || (engine.isSmsReady() && (asked = engine.readSimMessages())), 30000);
    QTRY_VERIFY_WITH_TIMEOUT(engine.isIdle(), 60000);
}

QStringList childArguments(const QString& address, const QString& storagePath, int limit)
{
    return {QLatin1String(ChildFlag), address, storagePath, QString::number(limit)};
}

bool isChild(int argc, char** argv)
{
    return argc == 5 && qstrcmp(argv[1], ChildFlag) == 0;
}

int childMain(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    CMediaDataBase storage(QString::fromLocal8Bit(argv[3]));
    if (!storage.open())
        return 3;
    const int limit = QByteArray(argv[4]).toInt();
    int notes = 0;
    storage.setStatementObserver([&](const QString& statement, const QVariantList&) {
        if (statement.startsWith(QLatin1String("INSERT INTO MEDIASMSONMODEM")) && ++notes == limit)
            ::raise(SIGKILL);
    });
    useModemManagerAt(QString::fromLocal8Bit(argv[2]), QStringLiteral("killed"));
    CMeskNetworkManager network;
    network.start();
    CMeskSmsEngine engine;
    if (!QTest::qWaitFor([&] { return network.cellularState() == 5; }, 30000))
        return 4;
    engine.start(&storage, &network);
    // An event at the start's first calls (ModemManager restarting, say) may leave the modem not
    // ready for a moment: the read is asked again as a user would.
    if (!QTest::qWaitFor([&] { return engine.isSmsReady() && engine.readSimMessages(); }, 30000))
        return 5;
    Q_UNUSED(QTest::qWaitFor([] { return false; }, 120000));
    return 6;
}

Script::Script() = default;

Script::~Script()
{
    m_service.reset();
    m_bus.reset();
}

void Script::setUp()
{
    m_storage = std::make_unique<CMediaDataBase>(m_root.subPath(QStringLiteral("storage")));
    QVERIFY(m_storage->open());
    m_bus = std::make_unique<PrivateBus>();
    QVERIFY2(m_bus->start(), qPrintable(m_bus->error()));
    m_service = std::make_unique<FakeModemManagerService>();
    QVERIFY(m_service->start(m_bus->address()));
    m_service->addModem();
    m_firstName = QDBusConnection::connectToBus(m_bus->address(), QStringLiteral("name-check"))
                      .interface()
                      ->serviceOwner(Service)
                      .value();
    QDBusConnection::disconnectFromBus(QStringLiteral("name-check"));
}

void Script::watchPowerCuts()
{
    const QString root = m_storage->root();
    // Closed, the store leaves no log: every sync the layer sees from here is of the new one.
    m_storage.reset();
    m_vfs = std::make_unique<FaultVfs>();
    m_syncedLog = 0;
    const QString log = QFileInfo(root).canonicalFilePath() + QStringLiteral("/mindex.db-wal");
    m_vfs->setSyncObserver([this, log](const std::string& file, sqlite3_int64 size) {
        if (QFileInfo(QFile::decodeName(file.c_str())).canonicalFilePath() == log)
            m_syncedLog = size;
    });
    m_storage = std::make_unique<CMediaDataBase>(root);
    QVERIFY(m_storage->open());
    // Calls reach the stand-in as events on this thread, while no batch of the store is open.
    m_service->addHook(QStringLiteral("Delete"), {}, [this](const QString&, const QString& message) {
        const QString text = m_service->messageText(message);
        if (!keptThroughPowerCut(text))
            m_lostAtPowerCut.append(text);
        return true;
    });
}

bool Script::keptThroughPowerCut(const QString& text)
{
    const QString database = m_storage->databasePath();
    QTemporaryDir copy;
    if (!copy.isValid() || !QFile::copy(database, copy.filePath(QStringLiteral("mindex.db"))))
        return false;
    QFile log(database + QStringLiteral("-wal"));
    QFile cut(copy.filePath(QStringLiteral("mindex.db-wal")));
    if (m_syncedLog > 0 && (!log.open(QIODevice::ReadOnly) || !cut.open(QIODevice::WriteOnly) ||
                            cut.write(log.read(m_syncedLog)) != m_syncedLog))
        return false;
    cut.close();
    const QString connection = QStringLiteral("power-cut");
    bool kept = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
        db.setDatabaseName(copy.filePath(QStringLiteral("mindex.db")));
        if (db.open()) {
            QSqlQuery query(db);
            kept = query.prepare(QStringLiteral("SELECT COUNT(*) FROM MEDIASMSMESSAGES WHERE MESSAGE = ?;"));
            query.addBindValue(text);
            kept = kept && query.exec() && query.next() && query.value(0).toInt() > 0;
        }
    }
    QSqlDatabase::removeDatabase(connection);
    return kept;
}

void Script::failUnsent()
{
    for (SSmsMessage message : m_storage->smsMessages()) {
        if (message.type == SSmsMessage::BeingSent) {
            message.type = SSmsMessage::SendFailed;
            message.created = QDateTime::currentDateTime();
            QVERIFY(m_storage->updateSmsMessage(message));
        }
    }
}

void Script::run(const QString& step)
{
    CMediaDataBase& storage = *m_storage;
    std::unique_ptr<PrivateBus>& bus = m_bus;
    std::unique_ptr<FakeModemManagerService>& service = m_service;
    QStringList& announced = m_announced;
    const QString& firstName = m_firstName;
    const QString refused = QStringLiteral("org.freedesktop.ModemManager1.Error.Core.Unauthorized");
    const auto serviceName = [&] {
        return QDBusConnection::connectToBus(bus->address(), QStringLiteral("name-check"))
            .interface()
            ->serviceOwner(Service)
            .value();
    };
    const auto failUnsent = [this] { Script::failUnsent(); };
    const auto forgetFirst = [&](CMeskSmsEngine& engine) {
        const SSmsMessage first = storage.smsMessages().first();
        QVERIFY(storage.deleteSmsMessage(first.id));
        engine.forgetMessage(first);
    };
    const QStringList words = step.split(QLatin1Char(' '));
    const QString& verb = words.first();
    const int count = words.value(1).toInt();
    if (verb == QLatin1String("received") || verb == QLatin1String("sent")) {
        for (int i = 0; i < count; ++i) {
            if (verb == QLatin1String("received"))
                service->addMessage(QStringLiteral("+1555%1").arg(i, 4, 10, QLatin1Char('0')),
                                    QStringLiteral("message %1").arg(i));
            else
                service->addMessage(QStringLiteral("+15550177"), QStringLiteral("sent %1").arg(i), SmsSent,
                                    PduSubmit);
        }
    } else if (verb == QLatin1String("receiving")) {
        for (int i = 0; i < count; ++i)
            service->addMessage(QStringLiteral("+15550166"), QString(), SmsReceiving);
    } else if (verb == QLatin1String("memory")) {
        for (const QString& path : service->messagePaths())
            service->setMessageProperty(path, QStringLiteral("Storage"), StorageMe);
    } else if (verb == QLatin1String("swap")) {
        service->swapSim();
    } else if (verb == QLatin1String("modem9")) {
        service->removeModem();
        service->setNextModemNumber(9);
        service->addModem();
    } else if (verb == QLatin1String("class0")) {
        for (const QString& path : service->messagePaths())
            service->setMessageProperty(path, QStringLiteral("Class"), 0);
    } else if (verb == QLatin1String("refuse") || verb == QLatin1String("allow")) {
        service->setDeleteError(verb == QLatin1String("refuse") ? refused : QString());
    } else if (verb == QLatin1String("replace")) {
        const QString first = service->messagePaths().first();
        const QString text = service->messageText(first);
        service->removeMessage(first);
        service->addMessage(QStringLiteral("+15550177"), text, SmsSent, PduSubmit);
    } else if (verb == QLatin1String("reboot")) {
        service.reset();
        bus = std::make_unique<PrivateBus>();
        QVERIFY2(bus->start(), qPrintable(bus->error()));
        service = std::make_unique<FakeModemManagerService>();
        QVERIFY(service->start(bus->address()));
        service->addModem();
        for (int i = 0; i < 2; ++i)
            service->addMessage(QStringLiteral("+15550177"), QStringLiteral("after reboot %1").arg(i),
                                SmsSent, PduSubmit);
        service->setDeleteError(refused);
        QCOMPARE(serviceName(), firstName);
        QDBusConnection::disconnectFromBus(QStringLiteral("name-check"));
    } else if (verb == QLatin1String("removeall")) {
        for (const QString& path : service->messagePaths())
            service->removeMessage(path);
    } else if (verb == QLatin1String("faildelete")) {
        service->failNextDelete();
    } else if (verb == QLatin1String("answer")) {
        service->setDeleteHeld(false);
        QVERIFY(service->answerHeldDeletes(words.value(1)) > 0);
    } else if (verb == QLatin1String("mmrestart")) {
        QVERIFY(service->restart());
    } else if (verb == QLatin1String("failmanaged")) {
        service->failNextCall(QStringLiteral("GetManagedObjects"),
                              QStringLiteral("org.freedesktop.DBus.Error.Failed"));
    } else if (verb == QLatin1String("hold")) {
        service->setDeleteHeld(true);
    } else if (verb == QLatin1String("off")) {
        service->disableModem();
        service->beginEnabling();
    } else if (verb == QLatin1String("on")) {
        service->loadMessages();
        service->finishEnabling();
    } else if (verb == QLatin1String("sendends")) {
        QCOMPARE(service->heldSends(), 1);
        service->finishHeldSends(words.value(1) == QLatin1String("ok"));
    } else if (verb == QLatin1String("killed")) {
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedChannels);
        // "delete": killed from here as its deletes come.
        const bool atDelete = words.value(1) == QLatin1String("delete");
        const int deletes =
            service->callCount(QStringLiteral("Delete")) + int(service->messagePaths().size());
        child.start(QCoreApplication::applicationFilePath(),
                    childArguments(bus->address(), storage.root(), atDelete ? 0 : count));
        if (atDelete) {
            QTRY_COMPARE_WITH_TIMEOUT(service->callCount(QStringLiteral("Delete")), deletes, 180000);
            child.kill();
        }
        // The stand-in answers it from this thread's event loop.
        QTRY_COMPARE_WITH_TIMEOUT(child.state(), QProcess::NotRunning, 180000);
        QVERIFY2(child.exitStatus() == QProcess::CrashExit,
                 qPrintable(QStringLiteral("it ended with %1").arg(child.exitCode())));
    } else if (verb == QLatin1String("news")) {
        QCOMPARE(announced.filter(QRegularExpression(QStringLiteral("^new "))).size(), count);
    } else if (verb == QLatin1String("noted")) {
        QCOMPARE(storage.smsOnModem().size(), words.value(1).toInt());
    } else if (verb == QLatin1String("kinds")) {
        QString kinds;
        for (const SSmsMessage& message : storage.smsMessages())
            kinds += QLatin1String("RBSF").at(message.type);
        QCOMPARE(kinds, words.value(1));
    } else if (verb == QLatin1String("start")) {
        const QString event = words.value(1);
        failUnsent();
        const bool ready = event != QLatin1String("enabling");
        announced = SmsStarts::runEngine(
            bus->address(), &storage,
            [&](CMeskSmsEngine& engine, CMeskNetworkManager& network) {
                if (event == QLatin1String("enabling")) {
                    // Seen switched off while ModemManager loads the SIM.
                    QTRY_COMPARE_WITH_TIMEOUT(network.cellularState(), 1, 30000);
                    service->loadMessages();
                    service->finishEnabling();
                    readAll(engine);
                    return;
                }
                if (event == QLatin1String("pending")) {
                    // Closed once every delete is on its way.
                    const int deletes =
                        service->callCount(QStringLiteral("Delete")) + int(service->messagePaths().size());
                    QVERIFY(engine.readSimMessages());
                    QTRY_COMPARE_WITH_TIMEOUT(service->callCount(QStringLiteral("Delete")), deletes, 60000);
                    return;
                }
                if (event == QLatin1String("vanish")) {
                    QTRY_VERIFY_WITH_TIMEOUT(engine.isSmsReady(), 30000);
                    QVERIFY(engine.readSimMessages());
                    QTRY_COMPARE_WITH_TIMEOUT(service->callCount(QStringLiteral("Delete")), 3, 60000);
                    service->setDeleteHeld(false);
                    QVERIFY(service->restart());
                    // Every delete asked is answered, or the engine is never idle to read again;
                    // a read made before the layer saw the restart deletes nothing.
                    QTRY_VERIFY_WITH_TIMEOUT(
                        [&] {
                            if (engine.isIdle() && engine.isSmsReady())
                                engine.readSimMessages();
                            return service->messagePaths().isEmpty();
                        }(),
                        60000);
                    QTRY_VERIFY_WITH_TIMEOUT(engine.isIdle(), 60000);
                    return;
                }
                if (event == QLatin1String("midread")) {
                    service->atCall(QStringLiteral("GetAll"),
                                    service->callCount(QStringLiteral("GetAll")) + 20, [&] {
                                        service->disableModem();
                                        service->beginEnabling();
                                    });
                    readAll(engine);
                    return;
                }
                if (event == QLatin1String("cutread")) {
                    // Switched off and on as the first read reads its first listed message: that read
                    // never ends; what ModemManager announces as it switches the modem on is taken in.
                    QTRY_VERIFY_WITH_TIMEOUT(engine.isSmsReady(), 30000);
                    service->atCall(QStringLiteral("GetAll"),
                                    service->callCount(QStringLiteral("GetAll")) + 1, [&] {
                                        service->disableModem();
                                        service->enableModem();
                                    });
                    readAll(engine);
                    readAll(engine);
                    return;
                }
                if (event == QLatin1String("reload")) {
                    // Deleted as announced, with no read of every message.
                    QTRY_VERIFY_WITH_TIMEOUT(engine.isSmsReady(), 30000);
                    service->disableModem();
                    service->enableModem();
                    QTRY_VERIFY_WITH_TIMEOUT(service->messagePaths().isEmpty(), 60000);
                    QTRY_VERIFY_WITH_TIMEOUT(engine.isIdle(), 60000);
                    return;
                }
                // The last parts of the messages still arriving: each is stored and deleted.
                const auto completeAll = [&] {
                    int part = 0;
                    for (const QString& path : service->messagePaths()) {
                        if (service->messageProperties(path).value(QStringLiteral("State")) == SmsReceiving) {
                            service->setMessageProperty(path, QStringLiteral("Text"),
                                                        QStringLiteral("long %1").arg(++part));
                            service->setMessageState(path, SmsReceived);
                        }
                    }
                };
                if (event == QLatin1String("racing")) {
                    for (const QString& path : service->messagePaths())
                        service->afterNextRead(path, completeAll);
                }
                // Completed as its GetAll comes: ModemManager says so before it answers.
                if (event == QLatin1String("completing"))
                    service->atCall(QStringLiteral("GetAll"),
                                    service->callCount(QStringLiteral("GetAll")) + 1, completeAll);
                if (event == QLatin1String("overtaken")) {
                    // The user's message is sent; the layer's delete of its object waits.
                    service->setDeleteHeld(true);
                    const int deletes = service->callCount(QStringLiteral("Delete"));
                    QVERIFY(engine.sendMessage(QStringLiteral("+15550123"), QStringLiteral("see you")));
                    QTRY_COMPARE_WITH_TIMEOUT(service->callCount(QStringLiteral("Delete")), deletes + 1,
                                              30000);
                    // A read of every message reads the sent object; its read of another message fails
                    // for want of room on the bus, and the call tried again is answered only once a
                    // newer read, which no longer finds the sent object, has ended.
                    const QString other =
                        service->addMessage(QStringLiteral("+15550199"), QStringLiteral("later"));
                    service->failNextRead(other, QStringLiteral("org.freedesktop.DBus.Error.LimitsExceeded"));
                    service->holdNextRead(other);
                    QVERIFY(engine.readSimMessages());
                    QTRY_COMPARE_WITH_TIMEOUT(service->propertyCalls(other), 2, 30000);
                    service->setDeleteHeld(false);
                    QCOMPARE(service->answerHeldDeletes(QStringLiteral("ok")), 1);
                    const qsizetype rows = storage.smsMessages().size();
                    QVERIFY(engine.readSimMessages());
                    QTRY_COMPARE_WITH_TIMEOUT(storage.smsMessages().size(), rows + 1, 30000);
                    QCOMPARE(service->answerHeldReads(), 1);
                    QTRY_VERIFY_WITH_TIMEOUT(engine.isIdle(), 60000);
                    return;
                }
                if (event == QLatin1String("send")) {
                    service->setSendSilent(true);
                    QVERIFY(engine.sendMessage(QStringLiteral("+15550123"), QStringLiteral("see you")));
                    // Stopped once the send is on its way and its object noted.
                    QTRY_COMPARE_WITH_TIMEOUT(service->heldSends(), 1, 30000);
                    QTRY_COMPARE_WITH_TIMEOUT(storage.smsOnModem().size(), 1, 30000);
                    return;
                }
                if (event == QLatin1String("silently")) {
                    service->atCall(
                        QStringLiteral("GetAll"), service->callCount(QStringLiteral("GetAll")) + 1, [&] {
                            for (const QString& path : service->messagePaths()) {
                                service->setMessageProperty(path, QStringLiteral("Text"),
                                                            QStringLiteral("long"));
                                service->setMessageProperty(path, QStringLiteral("State"), SmsReceived);
                                service->afterNextRead(
                                    path, [&, path] { service->setMessageState(path, SmsReceived); });
                            }
                        });
                }
                if (event == QLatin1String("forget"))
                    forgetFirst(engine);
                // Every message on the modem now is stored by this start, once.
                const qsizetype toStore = storage.smsMessages().size() + service->messagePaths().size();
                readAll(engine);
                if (event.isEmpty() || event == QLatin1String("forget"))
                    return;
                if (event == QLatin1String("away") || event == QLatin1String("awayview")) {
                    // Found only by a read of every message: it was not there to be announced.
                    const int lists = service->callCount(QStringLiteral("List"));
                    if (event == QLatin1String("awayview")) {
                        QObject::connect(&engine, &CMeskSmsEngine::stateChanged, &engine,
                                         [&](TMeskSmsState state) {
                                             if (state == SmsStateReady)
                                                 engine.readSimMessages();
                                         });
                    }
                    QVERIFY(service->restart());
                    service->addMessage(QStringLiteral("+15550122"), QStringLiteral("while away"));
                    QTRY_COMPARE_WITH_TIMEOUT(storage.smsMessages().size(), toStore + 1, 60000);
                    QTRY_VERIFY_WITH_TIMEOUT(service->messagePaths().isEmpty(), 60000);
                    QTRY_VERIFY_WITH_TIMEOUT(engine.isIdle(), 60000);
                    QCOMPARE(service->callCount(QStringLiteral("List")), lists + 1);
                    return;
                }
                if (event == QLatin1String("complete") || event == QLatin1String("racing") ||
                    event == QLatin1String("completing") || event == QLatin1String("silently") ||
                    event == QLatin1String("flash") || event == QLatin1String("retried") ||
                    event == QLatin1String("gone")) {
                    if (event == QLatin1String("complete")) {
                        // Incomplete: neither stored nor deleted.
                        const qsizetype incomplete = service->messagePaths().size();
                        QCOMPARE(storage.smsMessages().size(), toStore - incomplete);
                        completeAll();
                    } else if (event == QLatin1String("flash")) {
                        const QString path =
                            service->addMessage(QStringLiteral("+15550155"), QStringLiteral("Balance low"),
                                                SmsReceiving, PduDeliver, true);
                        service->setMessageProperty(path, QStringLiteral("Class"), 0);
                        service->setMessageState(path, SmsReceived);
                    } else if (event == QLatin1String("retried")) {
                        // A long message whose first read fails once; as the read of the new
                        // one below asks for it, a read of every message begins.
                        const QString later = service->addMessage(QStringLiteral("+15550144"), QString(),
                                                                  SmsReceiving, PduDeliver, true);
                        service->failNextRead(later,
                                              QStringLiteral("org.freedesktop.DBus.Error.LimitsExceeded"));
                        const QString path =
                            service->addMessage(QStringLiteral("+15550155"), QStringLiteral("Retried"),
                                                SmsReceiving, PduDeliver, true);
                        service->atCall(QStringLiteral("GetAll"),
                                        service->callCount(QStringLiteral("GetAll")) + 1,
                                        [&] { QVERIFY(engine.readSimMessages()); });
                        service->setMessageState(path, SmsReceived);
                        QTRY_COMPARE_WITH_TIMEOUT(storage.smsMessages().size(), toStore + 1, 60000);
                        QTRY_VERIFY_WITH_TIMEOUT(engine.isIdle(), 60000);
                        completeAll();
                    } else if (event == QLatin1String("gone")) {
                        const QString gone =
                            service->addMessage(QStringLiteral("+15550133"), QStringLiteral("Gone"),
                                                SmsReceived, PduDeliver, true);
                        service->atCall(QStringLiteral("GetAll"),
                                        service->callCount(QStringLiteral("GetAll")) + 1,
                                        [&] { service->removeMessage(gone); });
                        // Its State, then its read, which finds it gone; the later reads leave it.
                        QTRY_COMPARE_WITH_TIMEOUT(service->propertyCalls(gone), 2, 60000);
                        for (int i = 0; i < 3; ++i) {
                            service->addMessage(QStringLiteral("+15550134"),
                                                QStringLiteral("after %1").arg(i), SmsReceived, PduDeliver,
                                                true);
                            QTRY_COMPARE_WITH_TIMEOUT(storage.smsMessages().size(), toStore + i + 1, 60000);
                        }
                        QCOMPARE(service->propertyCalls(gone), 2);
                    }
                    const qsizetype arrived = event == QLatin1String("flash")     ? 1
                                              : event == QLatin1String("retried") ? 2
                                              : event == QLatin1String("gone")    ? 3
                                                                                  : 0;
                    QTRY_COMPARE_WITH_TIMEOUT(storage.smsMessages().size(), toStore + arrived, 60000);
                    QTRY_VERIFY_WITH_TIMEOUT(service->messagePaths().isEmpty(), 60000);
                    QTRY_VERIFY_WITH_TIMEOUT(engine.isIdle(), 60000);
                    return;
                }
                if (event == QLatin1String("user")) {
                    forgetFirst(engine);
                    return;
                }
                if (event == QLatin1String("swap") || event == QLatin1String("second")) {
                    const auto deviceIs = [&](const QString& path) {
                        QTRY_VERIFY_WITH_TIMEOUT(
                            [&] {
                                QList<SMeskModemInterface> modems;
                                network.modemBackend()->smsInterfaces(&modems);
                                return modems.size() == 1 && modems.first().id == path;
                            }(),
                            30000);
                    };
                    if (event == QLatin1String("swap")) {
                        // The SIM swapped out and back while the program runs, each SIM read.
                        for (int i = 0; i < 2; ++i) {
                            service->swapSim();
                            deviceIs(service->modemPath());
                            readAll(engine);
                        }
                    } else {
                        // A second modem comes before the first in the order of the paths: it is the
                        // device while it is there.
                        service->addSecondModem();
                        deviceIs(service->secondModemPath());
                        readAll(engine);
                        service->removeSecondModem();
                        deviceIs(service->modemPath());
                        readAll(engine);
                    }
                    return;
                }
                const QStringList before = service->messagePaths();
                const qsizetype kept = before.size();
                // Switched off and on: the messages are announced anew and read.
                const auto cycle = [&] {
                    const int reads = service->callCount(QStringLiteral("GetAll"));
                    service->disableModem();
                    service->enableModem();
                    QTRY_VERIFY_WITH_TIMEOUT(service->callCount(QStringLiteral("GetAll")) >= reads + kept,
                                             60000);
                };
                if (event == QLatin1String("twice") || event == QLatin1String("restartcycle")) {
                    service->setReadDelay(1000);
                    if (event == QLatin1String("twice")) {
                        cycle();
                    } else {
                        const int reads = service->callCount(QStringLiteral("GetAll"));
                        QVERIFY(service->restart());
                        QTRY_VERIFY_WITH_TIMEOUT(service->callCount(QStringLiteral("GetAll")) > reads, 60000);
                    }
                    // Made anew again as the reads above are answered.
                    cycle();
                    service->setReadDelay(0);
                    // Each message announced last is taken in (deleted again, or stored and deleted).
                    QTRY_VERIFY_WITH_TIMEOUT(
                        [&] {
                            const QStringList paths = service->messagePaths();
                            return std::all_of(paths.cbegin(), paths.cend(), [&](const QString& path) {
                                return service->deleteCalls(path) > 0;
                            });
                        }(),
                        60000);
                    QTRY_VERIFY_WITH_TIMEOUT(engine.isIdle(), 60000);
                } else if (event == QLatin1String("restart")) {
                    QVERIFY(service->restart());
                } else if (event == QLatin1String("disable")) {
                    const int deletes = service->callCount(QStringLiteral("Delete"));
                    service->disableModem();
                    service->enableModem();
                    // What ModemManager announced as it switched the modem on is taken in (each
                    // message deleted again, or stored and deleted) before the read below.
                    QTRY_VERIFY_WITH_TIMEOUT(service->callCount(QStringLiteral("Delete")) >=
                                                 deletes + service->messagePaths().size(),
                                             60000);
                } else if (event == QLatin1String("arrive")) {
                    service->disableModem();
                    service->beginEnabling();
                    service->loadMessages();
                    service->addMessage(QStringLiteral("+15550188"), QStringLiteral("meanwhile"), SmsReceived,
                                        PduDeliver, true);
                    service->finishEnabling();
                } else {
                    service->removeModem();
                    QTRY_COMPARE_WITH_TIMEOUT(network.cellularState(), 0, 30000);
                    service->addModem();
                }
                // The messages are there again under other objects (a restarted ModemManager
                // numbers them afresh, so at the same paths), listed once more.
                QVERIFY(event == QLatin1String("restart") || service->messagePaths() != before);
                QTRY_VERIFY_WITH_TIMEOUT(
                    [&] {
                        QList<SMeskModemInterface> modems;
                        network.modemBackend()->smsInterfaces(&modems);
                        return modems.size() == 1 && modems.first().id == service->modemPath();
                    }(),
                    30000);
                readAll(engine);
            },
            ready);
    } else if (verb == QLatin1String("powercut")) {
        watchPowerCuts();
    } else if (verb == QLatin1String("expect")) {
        QCOMPARE(m_lostAtPowerCut, QStringList());
        QCOMPARE(storage.smsMessages().size(), words.value(1).toInt());
        // "-": as many as the start found to store (how many a killed start kept varies).
        if (words.value(2) != QLatin1String("-"))
            QCOMPARE(announced.size(), words.value(2).toInt());
        QCOMPARE(announced.removeDuplicates(), 0);
        QCOMPARE(service->messagePaths().size(), words.value(3).toInt());
    } else {
        QFAIL(qPrintable(QStringLiteral("unknown step ") + step));
    }
}

} // namespace SmsStarts
