#include "fakemodemmanager.h"

#include "fakenetworkbackend.h"
#include "meskmodemmanagerbackend.h"
#include "mesknetworkbackends.h"

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QDBusMetaType>
#include <QDBusVirtualObject>
#include <QDateTime>
#include <QDir>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryFile>
#include <QTimer>

#include <sys/prctl.h>
#include <unistd.h>

#include <csignal>

using namespace MeskModemManager;

namespace {
// Where a message's hidden identity is kept among its properties (taken out of every answer).
const QString IdentityKey = QStringLiteral("lumesk-identity");
} // namespace

void useModemManagerAt(const QString& address, const QString& connection)
{
    MeskNetworkBackends::setFactory([address, connection] {
        SMeskNetworkBackends backends;
        backends.network = std::make_unique<FakeNetworkBackend>();
        backends.modem =
            std::make_unique<CMeskModemManagerBackend>(QDBusConnection::connectToBus(address, connection));
        return backends;
    });
}

PrivateBus::~PrivateBus()
{
    stop();
}

bool PrivateBus::isDaemonInstalled()
{
    return !QStandardPaths::findExecutable(QStringLiteral("dbus-daemon")).isEmpty();
}

// A listening address of its own in the abstract socket namespace: no file to remove, whatever ends the
// daemon (a terminal's Ctrl-C, a kill), and no limit from the length of a temporary folder's path.
static QString abstractAddress()
{
    return QStringLiteral("unix:abstract=lumesk-bus-%1-%2")
        .arg(QCoreApplication::applicationPid())
        .arg(QRandomGenerator::system()->generate64(), 16, 16, QLatin1Char('0'));
}

bool PrivateBus::start()
{
    return launch({QStringLiteral("--session"), QStringLiteral("--address=") + abstractAddress()});
}

bool PrivateBus::start(const QString& configuration)
{
    QTemporaryFile file(QDir::tempPath() + QStringLiteral("/lumesk-bus-XXXXXX.conf"));
    file.setAutoRemove(false);
    if (!file.open() || file.write(configuration.toUtf8()) < 0 || !file.flush()) {
        m_error = QStringLiteral("cannot write the bus configuration");
        return false;
    }
    m_configFile = file.fileName();
    return launch({QStringLiteral("--config-file=") + m_configFile});
}

QString PrivateBus::systemLimitsConfiguration()
{
    return QStringLiteral(R"(<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>%1</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
  <limit name="max_replies_per_connection">128</limit>
  <limit name="reply_timeout">25000</limit>
</busconfig>
)")
        .arg(abstractAddress());
}

bool PrivateBus::launch(const QStringList& arguments)
{
    const QString daemon = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
    if (daemon.isEmpty()) {
        m_error = QStringLiteral("dbus-daemon is not installed");
        return false;
    }
    // The bus ends with whoever started it, even one that is killed. It runs in a process group of its
    // own, so a terminal's Ctrl-C reaches its owner only, which stops it in turn.
    m_daemon.setChildProcessModifier([] {
        ::setpgid(0, 0);
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
    });
    m_daemon.start(daemon, QStringList{QStringLiteral("--nofork"), QStringLiteral("--nopidfile"),
                                       QStringLiteral("--print-address=1")} +
                               arguments);
    if (!m_daemon.waitForStarted(30000)) {
        m_error = m_daemon.errorString();
        return false;
    }
    while (!m_daemon.canReadLine()) {
        if (!m_daemon.waitForReadyRead(30000)) {
            // What dbus-daemon says when it cannot listen ("Socket name too long", a bad
            // configuration) is the reason.
            m_error = QStringLiteral("dbus-daemon printed no address: ") +
                      QString::fromLocal8Bit(m_daemon.readAllStandardError()).trimmed();
            stop();
            return false;
        }
    }
    m_address = QString::fromUtf8(m_daemon.readLine()).trimmed();
    if (m_address.isEmpty()) {
        m_error = QStringLiteral("dbus-daemon printed an empty address");
        stop();
        return false;
    }
    return true;
}

void PrivateBus::stop()
{
    if (!m_configFile.isEmpty()) {
        QFile::remove(m_configFile);
        m_configFile.clear();
    }
    if (m_daemon.state() == QProcess::NotRunning)
        return;
    m_daemon.terminate();
    if (!m_daemon.waitForFinished(5000)) {
        m_daemon.kill();
        m_daemon.waitForFinished(5000);
    }
}

// ---------------------------------------------------------------------------------------------

class FakeModemManagerService::Tree : public QDBusVirtualObject
{
public:
    explicit Tree(FakeModemManagerService* owner) : m_owner(owner) {}
    QString introspect(const QString&) const override { return {}; }
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override
    {
        return m_owner->handle(message, connection);
    }

private:
    FakeModemManagerService* m_owner;
};

FakeModemManagerService::FakeModemManagerService(QObject* parent) : QObject(parent)
{
    registerTypes();
}

FakeModemManagerService::~FakeModemManagerService()
{
    stop();
}

bool FakeModemManagerService::start(const QString& address)
{
    stop();
    m_address = address;
    m_connectionName = QStringLiteral("fake-modemmanager-%1-%2").arg(quintptr(this)).arg(++m_run);
    QDBusConnection bus = QDBusConnection::connectToBus(address, m_connectionName);
    if (!bus.isConnected())
        return false;
    m_tree = new Tree(this);
    if (!bus.registerVirtualObject(ManagerPath, m_tree, QDBusConnection::SubPath))
        return false;
    return bus.interface()->registerService(Service).value() == QDBusConnectionInterface::ServiceRegistered;
}

void FakeModemManagerService::stop()
{
    if (m_connectionName.isEmpty())
        return;
    m_unanswered.clear();
    m_heldDeletes.clear();
    for (const QDBusMessage& reply : std::exchange(m_heldReads, {}))
        QDBusConnection(m_connectionName).send(reply);
    m_holdReads.clear();
    for (const QDBusMessage& reply : std::exchange(m_lateReplies, {}))
        QDBusConnection(m_connectionName).send(reply);
    {
        // QtDBus hands each call to the tree as an event on this thread. Once the tree is
        // unregistered no new one comes; those already queued are answered while the connection
        // is still there (dropped with the tree, each would answer through a connection that is
        // gone).
        QDBusConnection bus(m_connectionName);
        bus.unregisterObject(ManagerPath, QDBusConnection::UnregisterTree);
        if (m_tree)
            QCoreApplication::sendPostedEvents(m_tree);
    }
    QDBusConnection::disconnectFromBus(m_connectionName);
    m_connectionName.clear();
    delete m_tree;
    m_tree = nullptr;
}

bool FakeModemManagerService::restart()
{
    stop();
    // A new run numbers its objects afresh and knows only what the SIM keeps.
    m_nextObject = 0;
    m_nextModem = 0;
    m_disableWaiting = false;
    m_second = {};
    keepOnSim();
    if (m_hasModem) {
        m_modemPath = ManagerPath + QStringLiteral("/Modem/%1").arg(m_nextModem);
        m_simPath = ManagerPath + QStringLiteral("/SIM/%1").arg(m_nextModem++);
        m_modem.insert(QStringLiteral("State"), StateDisabled);
    }
    if (!start(m_address))
        return false;
    if (m_hasModem) {
        emitSignal(
            ManagerPath, ObjectManagerInterface, QStringLiteral("InterfacesAdded"),
            {QVariant::fromValue(QDBusObjectPath(m_modemPath)), QVariant::fromValue(modemInterfaces())});
        enableModem();
    }
    return true;
}

void FakeModemManagerService::renumberMessages()
{
    QMap<QString, QVariantMap> messages;
    for (const QVariantMap& message : std::as_const(m_messages))
        messages.insert(nextPath(QStringLiteral("SMS")), message);
    m_messages = messages;
}

void FakeModemManagerService::keepOnSim()
{
    dropCreatedMessages();
    m_disabledMessages.insert(m_messages);
    m_disabledMessages.insert(std::exchange(m_simOnly, {}));
    m_messages.clear();
    m_placeLost.clear();
    // The failures set for objects end with them (a path may name another message next time).
    m_deleteFailures.clear();
}

void FakeModemManagerService::dropCreatedMessages()
{
    for (const QString& path : std::as_const(m_created))
        m_messages.remove(path);
    m_created.clear();
}

QString FakeModemManagerService::nextPath(const QString& kind)
{
    return ManagerPath + QLatin1Char('/') + kind + QLatin1Char('/') + QString::number(m_nextObject++);
}

void FakeModemManagerService::addModem(quint32 capabilities)
{
    m_hasModem = true;
    m_modemPath = ManagerPath + QStringLiteral("/Modem/%1").arg(m_nextModem);
    // A modem added again makes the messages of its SIM anew as it is switched on.
    if (m_nextModem > 0)
        keepOnSim();
    m_simPath = ManagerPath + QStringLiteral("/SIM/%1").arg(m_nextModem++);
    m_modem = newModem(capabilities);
    emitSignal(ManagerPath, ObjectManagerInterface, QStringLiteral("InterfacesAdded"),
               {QVariant::fromValue(QDBusObjectPath(m_modemPath)), QVariant::fromValue(modemInterfaces())});
    enableModem();
}

QVariantMap FakeModemManagerService::newModem(quint32 capabilities)
{
    return {
        {QStringLiteral("CurrentCapabilities"), capabilities},
        {QStringLiteral("State"), StateDisabled},
        {QStringLiteral("StateFailedReason"), 0u},
        {QStringLiteral("UnlockRequired"), LockNone},
        {QStringLiteral("PowerState"), PowerOn},
        {QStringLiteral("SignalQuality"), QVariant::fromValue(SignalQuality{75, true})},
        {QStringLiteral("OwnNumbers"), QStringList{QStringLiteral("+15550100")}},
    };
}

void FakeModemManagerService::swapSim()
{
    const quint32 capabilities = m_modem.value(QStringLiteral("CurrentCapabilities")).toUInt();
    removeModem();
    keepOnSim();
    // What the SIM holds goes with it (under keys of its own: a path may be given again after a
    // restart); what the modem's memory holds stays.
    QMap<QString, QVariantMap> inModem;
    for (auto message = m_disabledMessages.cbegin(); message != m_disabledMessages.cend(); ++message) {
        if (message->value(QStringLiteral("Storage")).toUInt() == StorageMe)
            inModem.insert(message.key(), message.value());
        else
            m_sim.messages.insert(QStringLiteral("swap/%1/%2").arg(++m_swaps).arg(message.key()),
                                  message.value());
    }
    m_disabledMessages = inModem;
    std::swap(m_sim, m_otherSim);
    for (auto message = m_sim.messages.cbegin(); message != m_sim.messages.cend(); ++message)
        m_disabledMessages.insert(message.key(), message.value());
    m_sim.messages.clear();
    addModem(capabilities);
}

void FakeModemManagerService::addSecondModem()
{
    m_second.path = ManagerPath + QStringLiteral("/Modem/%1").arg(m_nextModem);
    m_second.simPath = ManagerPath + QStringLiteral("/SIM/%1").arg(m_nextModem++);
    m_second.modem = newModem((1u << 2) | (1u << 3));
    m_second.modem.insert(QStringLiteral("State"), StateRegistered);
    emitSignal(ManagerPath, ObjectManagerInterface, QStringLiteral("InterfacesAdded"),
               {QVariant::fromValue(QDBusObjectPath(m_second.path)),
                QVariant::fromValue(interfacesOf(m_second.modem, m_second.simPath))});
}

void FakeModemManagerService::removeSecondModem()
{
    if (m_second.path.isEmpty())
        return;
    emitSignal(ManagerPath, ObjectManagerInterface, QStringLiteral("InterfacesRemoved"),
               {QVariant::fromValue(QDBusObjectPath(m_second.path)),
                QVariant(interfacesOf(m_second.modem, m_second.simPath).keys())});
    m_second = {};
}

int FakeModemManagerService::answerHeldReads()
{
    const QList<QDBusMessage> held = std::exchange(m_heldReads, {});
    for (const QDBusMessage& reply : held)
        QDBusConnection(m_connectionName).send(reply);
    return int(held.size());
}

void FakeModemManagerService::removeModem()
{
    if (!m_hasModem)
        return;
    m_hasModem = false;
    emitSignal(ManagerPath, ObjectManagerInterface, QStringLiteral("InterfacesRemoved"),
               {QVariant::fromValue(QDBusObjectPath(m_modemPath)), QVariant(modemInterfaces().keys())});
}

void FakeModemManagerService::disableModem()
{
    // ModemManager's disable first waits for the modem to reach a final state: one being enabled
    // is first enabled (its messages loaded and announced), then disabled.
    if (m_modem.value(QStringLiteral("State")).toInt() == StateEnabling) {
        m_disableWaiting = true;
        return;
    }
    setModemProperty(QStringLiteral("State"), StateDisabling);
    keepOnSim();
    setModemProperty(QStringLiteral("State"), StateDisabled);
}

void FakeModemManagerService::enableModem()
{
    beginEnabling();
    loadMessages();
    finishEnabling();
}

void FakeModemManagerService::beginEnabling()
{
    setModemProperty(QStringLiteral("State"), StateEnabling);
}

void FakeModemManagerService::loadMessages()
{
    const QMap<QString, QVariantMap> kept = std::exchange(m_disabledMessages, {});
    for (const QVariantMap& message : kept) {
        const QString path = nextPath(QStringLiteral("SMS"));
        m_messages.insert(path, message);
        const quint32 state = message.value(QStringLiteral("State")).toUInt();
        emitSignal(
            m_modemPath, MessagingInterface, QStringLiteral("Added"),
            {QVariant::fromValue(QDBusObjectPath(path)), state == SmsReceived || state == SmsReceiving});
    }
}

void FakeModemManagerService::finishEnabling()
{
    setModemProperty(QStringLiteral("State"), StateEnabled);
    if (std::exchange(m_disableWaiting, false)) {
        disableModem();
        return;
    }
    setModemProperty(QStringLiteral("State"), StateRegistered);
}

void FakeModemManagerService::finishHeldSends(bool sent)
{
    const QList<QDBusMessage> held = std::exchange(m_unanswered, {});
    QDBusConnection bus(m_connectionName);
    for (const QDBusMessage& message : held) {
        if (sent && m_messages.contains(message.path())) {
            answerSent(message.path());
            bus.send(message.createReply());
        } else {
            bus.send(message.createErrorReply(
                QStringLiteral("org.freedesktop.ModemManager1.Error.Message.NetworkTimeout"),
                QStringLiteral("refused by the stand-in")));
        }
    }
}

void FakeModemManagerService::answerSent(const QString& path)
{
    QVariantMap& sms = m_messages[path];
    sms.insert(QStringLiteral("State"), SmsSent);
    const Sent sent{sms.value(QStringLiteral("Number")).toString(),
                    sms.value(QStringLiteral("Text")).toString()};
    m_sent.append(sent);
    emit messageSent(sent.number, sent.text);
    if (m_answerDelay >= 0) {
        QTimer::singleShot(m_answerDelay, this, [this, sent] {
            if (!m_hasModem)
                return;
            const QString answer = addMessage(sent.number, QStringLiteral("Got it: ") + sent.text,
                                              SmsReceiving, PduDeliver, true);
            setMessageState(answer, SmsReceived);
        });
    }
}

QVariantMap FakeModemManagerService::modemProperties() const
{
    return interfacesOf(m_modem, m_simPath).value(ModemInterface);
}

QMap<QString, QVariantMap> FakeModemManagerService::modemInterfaces() const
{
    return interfacesOf(m_modem, m_simPath);
}

QMap<QString, QVariantMap> FakeModemManagerService::interfacesOf(const QVariantMap& modem,
                                                                 const QString& simPath)
{
    QVariantMap properties = modem;
    properties.insert(QStringLiteral("Sim"), QVariant::fromValue(QDBusObjectPath(simPath)));
    return {{ModemInterface, properties},
            {Modem3gppInterface, {{QStringLiteral("OperatorName"), QStringLiteral("Stand-in Network")}}},
            {MessagingInterface, {}}};
}

void FakeModemManagerService::setModemProperty(const QString& name, const QVariant& value)
{
    m_modem.insert(name, value);
    emitSignal(m_modemPath, PropertiesInterface, QStringLiteral("PropertiesChanged"),
               {ModemInterface, QVariantMap{{name, value}}, QStringList()});
}

QString FakeModemManagerService::addMessage(const QString& number, const QString& text, quint32 state,
                                            quint32 pduType, bool announce)
{
    const QString path = nextPath(QStringLiteral("SMS"));
    // The service centre's time as ModemManager writes it: now, zone in hours; none for a message
    // the modem keeps as sent or one a client made to send (Create sets no time).
    const QString time =
        state == SmsSent || pduType == PduSubmit
            ? QString()
            : QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")) +
                  QStringLiteral("+00");
    QVariantMap message{{QStringLiteral("Number"), number},    {QStringLiteral("Text"), text},
                        {QStringLiteral("Timestamp"), time},   {QStringLiteral("State"), state},
                        {QStringLiteral("PduType"), pduType},  {QStringLiteral("Class"), -1},
                        {QStringLiteral("Storage"), StorageSm}};
    noteHeld(message);
    m_messages.insert(path, message);
    emit messageAdded(path);
    if (announce) {
        emitSignal(m_modemPath, MessagingInterface, QStringLiteral("Added"),
                   {QVariant::fromValue(QDBusObjectPath(path)), true});
    }
    return path;
}

void FakeModemManagerService::setMessageState(const QString& path, quint32 state)
{
    if (!m_messages.contains(path))
        return;
    m_messages[path].insert(QStringLiteral("State"), state);
    emitSignal(path, PropertiesInterface, QStringLiteral("PropertiesChanged"),
               {SmsInterface, QVariantMap{{QStringLiteral("State"), state}}, QStringList()});
}

void FakeModemManagerService::removeMessage(const QString& path)
{
    dropMessage(path, false);
}

void FakeModemManagerService::dropMessage(const QString& path, bool byCall)
{
    if (!m_messages.contains(path))
        return;
    History& history = m_history[messageIdentity(path)];
    (byCall ? history.deletedByCall : history.deletedByClient) = true;
    const QVariantMap& gone = m_messages[path];
    history.number = gone.value(QStringLiteral("Number")).toString();
    history.text = gone.value(QStringLiteral("Text")).toString();
    history.timestamp = gone.value(QStringLiteral("Timestamp")).toString();
    history.state = gone.value(QStringLiteral("State")).toUInt();
    // As for the program's own Delete: a message whose part lost its place stays on the SIM.
    if (m_placeLost.remove(path))
        m_simOnly.insert(path, m_messages.value(path));
    m_messages.remove(path);
    m_created.remove(path);
    emitSignal(m_modemPath, MessagingInterface, QStringLiteral("Deleted"),
               {QVariant::fromValue(QDBusObjectPath(path))});
    emit messageDeleted(path);
}

void FakeModemManagerService::noteHeld(QVariantMap& message)
{
    if (message.contains(IdentityKey))
        return;
    const int identity = ++m_nextIdentity;
    message.insert(IdentityKey, identity);
    History entry;
    entry.identity = identity;
    m_history.insert(identity, entry);
}

QVariantMap FakeModemManagerService::messageProperties(const QString& path) const
{
    QVariantMap properties = m_messages.value(path);
    properties.remove(IdentityKey);
    return properties;
}

int FakeModemManagerService::messageIdentity(const QString& path) const
{
    return m_messages.value(path).value(IdentityKey).toInt();
}

QList<FakeModemManagerService::History> FakeModemManagerService::history() const
{
    QMap<int, History> history = m_history;
    for (History& entry : history)
        entry.held = false;
    for (const auto* held : {&m_messages, &m_simOnly, &m_disabledMessages, &m_otherSim.messages}) {
        for (const QVariantMap& message : *held) {
            History& entry = history[message.value(IdentityKey).toInt()];
            entry.number = message.value(QStringLiteral("Number")).toString();
            entry.text = message.value(QStringLiteral("Text")).toString();
            entry.timestamp = message.value(QStringLiteral("Timestamp")).toString();
            entry.state = message.value(QStringLiteral("State")).toUInt();
            entry.held = true;
        }
    }
    return history.values();
}

void FakeModemManagerService::runHooks(const QString& member, const QString& object)
{
    // A hook may add hooks (or clear them): it runs on a copy, and stays unless it said otherwise.
    const QList<HookEntry> hooks = std::exchange(m_hooks, {});
    QList<HookEntry> kept;
    for (const HookEntry& entry : hooks) {
        if ((!entry.member.isEmpty() && entry.member != member) ||
            (!entry.object.isEmpty() && entry.object != object) || entry.hook(member, object))
            kept.append(entry);
    }
    m_hooks = kept + m_hooks;
}

int FakeModemManagerService::messagePropertyCalls() const
{
    const QString messages = ManagerPath + QStringLiteral("/SMS/");
    int calls = 0;
    for (auto path = m_propertyCalls.cbegin(); path != m_propertyCalls.cend(); ++path) {
        if (path.key().startsWith(messages))
            calls += path.value();
    }
    return calls;
}

QString FakeModemManagerService::messageText(const QString& path) const
{
    return m_messages.value(path).value(QStringLiteral("Text")).toString();
}

void FakeModemManagerService::emitSignal(const QString& path, const QString& interface, const QString& name,
                                         const QVariantList& arguments)
{
    if (m_connectionName.isEmpty())
        return;
    QDBusMessage signal = QDBusMessage::createSignal(path, interface, name);
    signal.setArguments(arguments);
    QDBusConnection(m_connectionName).send(signal);
}

QStringList FakeModemManagerService::heldDeletes() const
{
    QStringList objects;
    for (const QDBusMessage& message : m_heldDeletes)
        objects << qdbus_cast<QDBusObjectPath>(message.arguments().value(0)).path();
    return objects;
}

int FakeModemManagerService::answerHeldDeletes(const QString& outcome)
{
    const QList<QDBusMessage> held = std::exchange(m_heldDeletes, {});
    QDBusConnection bus(m_connectionName);
    for (const QDBusMessage& message : held) {
        const QString deleted = qdbus_cast<QDBusObjectPath>(message.arguments().value(0)).path();
        if (outcome == QLatin1String("refused")) {
            bus.send(message.createErrorReply(
                QStringLiteral("org.freedesktop.ModemManager1.Error.Core.Unauthorized"),
                QStringLiteral("refused by the stand-in")));
        } else if (!m_messages.contains(deleted)) {
            bus.send(
                message.createErrorReply(QStringLiteral("org.freedesktop.ModemManager1.Error.Core.NotFound"),
                                         QStringLiteral("no such message")));
        } else if (outcome == QLatin1String("failed")) {
            m_placeLost.insert(deleted);
            m_history[messageIdentity(deleted)].placeLost = true;
            bus.send(
                message.createErrorReply(QStringLiteral("org.freedesktop.ModemManager1.Error.Core.Failed"),
                                         QStringLiteral("failed by the stand-in")));
        } else {
            dropMessage(deleted, true);
            bus.send(message.createReply());
        }
    }
    return int(held.size());
}

bool FakeModemManagerService::handle(const QDBusMessage& message, const QDBusConnection& connection)
{
    const QString path = message.path();
    const QString interface = message.interface();
    const QString member = message.member();
    const QVariantList arguments = message.arguments();
    const auto reply = [&](const QVariantList& values) {
        connection.send(message.createReply(values));
        return true;
    };
    const auto fail = [&](const QString& name) {
        connection.send(message.createErrorReply(name, QStringLiteral("refused by the stand-in")));
        return true;
    };
    // GDBus answers a call to an object that is not there so.
    const QString unknown = QStringLiteral("org.freedesktop.DBus.Error.UnknownMethod");
    const QString wrongState = QStringLiteral("org.freedesktop.ModemManager1.Error.Core.WrongState");
    const bool isModem = m_hasModem && path == m_modemPath;
    const bool isSecond = !m_second.path.isEmpty() && path == m_second.path;
    const int state = m_modem.value(QStringLiteral("State")).toInt();
    if (++m_callCounts[member] == m_atCall.count && member == m_atCall.member)
        std::exchange(m_atCall, {}).action();
    if (!m_hooks.isEmpty()) {
        runHooks(member, member == QLatin1String("Delete")
                             ? qdbus_cast<QDBusObjectPath>(arguments.value(0)).path()
                             : path);
    }
    if (member == QLatin1String("GetAll") || member == QLatin1String("Get"))
        ++m_propertyCalls[path];
    if (member == QLatin1String("Delete"))
        ++m_deleteCalls[qdbus_cast<QDBusObjectPath>(arguments.value(0)).path()];
    if (member == QLatin1String("GetAll") && m_failReads.contains(path))
        return fail(m_failReads.take(path));
    if (m_failCalls.contains(member))
        return fail(m_failCalls.take(member));
    // The answer is on its way before anything this thread does next; the action comes before any
    // call that arrives later (a posted event, as GDBus's idle callbacks come in order), never after
    // it as a timer could.
    if (member == QLatin1String("GetAll") && m_afterReads.contains(path))
        QMetaObject::invokeMethod(this, m_afterReads.take(path), Qt::QueuedConnection);

    if (interface == ObjectManagerInterface && member == QLatin1String("GetManagedObjects")) {
        ManagedObjects objects;
        if (m_hasModem)
            objects.insert(QDBusObjectPath(m_modemPath), modemInterfaces());
        if (!m_second.path.isEmpty())
            objects.insert(QDBusObjectPath(m_second.path), interfacesOf(m_second.modem, m_second.simPath));
        return reply({QVariant::fromValue(objects)});
    }
    if (interface == PropertiesInterface &&
        (member == QLatin1String("GetAll") || member == QLatin1String("Get"))) {
        QVariantMap properties;
        if (isModem)
            properties = modemInterfaces().value(arguments.value(0).toString());
        else if (isSecond)
            properties = interfacesOf(m_second.modem, m_second.simPath).value(arguments.value(0).toString());
        else if (m_hasModem && path == m_simPath)
            properties = {{QStringLiteral("OperatorName"), QStringLiteral("Stand-in Mobile")},
                          {QStringLiteral("SimIdentifier"), m_sim.identifier},
                          {QStringLiteral("Imsi"), m_sim.imsi}};
        else if (!m_second.path.isEmpty() && path == m_second.simPath)
            properties = {{QStringLiteral("OperatorName"), QStringLiteral("Stand-in Second")},
                          {QStringLiteral("SimIdentifier"), QStringLiteral("89014103211118510746")},
                          {QStringLiteral("Imsi"), QStringLiteral("310150555555555")}};
        else if (m_messages.contains(path))
            properties = messageProperties(path);
        else
            return fail(unknown);
        if (member == QLatin1String("GetAll") && m_messages.contains(path) && m_holdReads.remove(path)) {
            m_heldReads.append(message.createReply(QVariantList{properties}));
            return true;
        }
        if (member == QLatin1String("GetAll") && m_readDelay > 0 && m_messages.contains(path)) {
            const quint64 late = ++m_lateCount;
            m_lateReplies.insert(late, message.createReply(QVariantList{properties}));
            QTimer::singleShot(m_readDelay, this, [this, late] {
                if (m_lateReplies.contains(late))
                    QDBusConnection(m_connectionName).send(m_lateReplies.take(late));
            });
            return true;
        }
        if (member == QLatin1String("GetAll"))
            return reply({properties});
        return reply({QVariant::fromValue(QDBusVariant(properties.value(arguments.value(1).toString())))});
    }
    // The second modem holds no messages and sends none.
    if (interface == MessagingInterface && isSecond) {
        if (member == QLatin1String("List"))
            return reply({QVariant::fromValue(QList<QDBusObjectPath>())});
        return fail(QStringLiteral("org.freedesktop.ModemManager1.Error.Core.NotFound"));
    }
    if (interface == MessagingInterface && isModem) {
        if ((member == QLatin1String("List") || member == QLatin1String("Create")) && state < StateEnabled)
            return fail(wrongState);
        if (member == QLatin1String("Delete") && state <= StateDisabled)
            return fail(wrongState);
        if (member == QLatin1String("List")) {
            QList<QDBusObjectPath> paths;
            for (const QString& sms : m_messages.keys())
                paths.append(QDBusObjectPath(sms));
            return reply({QVariant::fromValue(paths)});
        }
        if (member == QLatin1String("Create")) {
            const QVariantMap properties = qdbus_cast<QVariantMap>(arguments.value(0));
            const QString sms =
                addMessage(properties.value(QStringLiteral("number")).toString(),
                           properties.value(QStringLiteral("text")).toString(), SmsUnknown, PduSubmit);
            m_created.insert(sms);
            m_history[messageIdentity(sms)].created = true;
            return reply({QVariant::fromValue(QDBusObjectPath(sms))});
        }
        if (member == QLatin1String("Delete")) {
            const QString deleted = qdbus_cast<QDBusObjectPath>(arguments.value(0)).path();
            const QString coreFailed = QStringLiteral("org.freedesktop.ModemManager1.Error.Core.Failed");
            if (std::exchange(m_failNextDelete, false) && m_messages.contains(deleted)) {
                m_placeLost.insert(deleted);
                m_history[messageIdentity(deleted)].placeLost = true;
                return fail(coreFailed);
            }
            if (m_deleteFailures.contains(deleted) && m_messages.contains(deleted)) {
                DeleteFailure& failure = m_deleteFailures[deleted];
                const QString errorName = failure.errorName;
                if (failure.times > 0 && --failure.times == 0)
                    m_deleteFailures.remove(deleted);
                if (errorName == coreFailed) {
                    m_placeLost.insert(deleted);
                    m_history[messageIdentity(deleted)].placeLost = true;
                }
                return fail(errorName);
            }
            if (!m_deleteError.isEmpty())
                return fail(m_deleteError);
            if (m_deleteHeld) {
                message.setDelayedReply(true);
                m_heldDeletes.append(message);
                return true;
            }
            if (!m_messages.contains(deleted))
                return fail(QStringLiteral("org.freedesktop.ModemManager1.Error.Core.NotFound"));
            dropMessage(deleted, true);
            return reply({});
        }
    }
    if (interface == SmsInterface && member == QLatin1String("Send") && m_messages.contains(path)) {
        if (!m_sendError.isEmpty())
            return fail(m_sendError);
        if (m_sendSilent) {
            message.setDelayedReply(true);
            m_unanswered.append(message);
            return true;
        }
        answerSent(path);
        return reply({});
    }
    if (!path.startsWith(ManagerPath))
        return false;
    return fail(unknown);
}
