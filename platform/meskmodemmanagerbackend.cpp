#include "meskmodemmanagerbackend.h"

#include <QDBusMetaType>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QDateTime>
#include <QDebug>
#include <QQueue>
#include <QRegularExpression>
#include <QTimer>
#include <QUuid>

#include <algorithm>
#include <cmath>
#include <functional>
#include <memory>

using namespace MeskModemManager;

QDBusArgument& operator<<(QDBusArgument& argument, const SignalQuality& quality)
{
    argument.beginStructure();
    argument << quality.percent << quality.recent;
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, SignalQuality& quality)
{
    argument.beginStructure();
    argument >> quality.percent >> quality.recent;
    argument.endStructure();
    return argument;
}

void MeskModemManager::registerTypes()
{
    static const bool registered = [] {
        qDBusRegisterMetaType<SignalQuality>();
        qDBusRegisterMetaType<Interfaces>();
        qDBusRegisterMetaType<ManagedObjects>();
        qDBusRegisterMetaType<QList<QDBusObjectPath>>();
        return true;
    }();
    Q_UNUSED(registered);
}

int MeskModemManager::readyState(int state, quint32 failedReason, quint32 unlockRequired)
{
    if (state == StateFailed) {
        switch (failedReason) {
        case FailedSimMissing:
            return 2; // SIM not inserted
        case FailedSimError:
            return 3; // bad SIM
        case FailedEsimWithoutProfiles:
            return 5; // not activated
        default:
            return 4; // failure
        }
    }
    if (state == StateLocked)
        return unlockRequired == LockSimPuk ? 7 : 6; // blocked, or locked by a PIN
    if (state >= StateDisabled)
        return 1; // initialised; whether it is switched on is the radio's matter
    return 0;     // unknown or still starting: off
}

int MeskModemManager::radio(int state, quint32 powerState)
{
    if (state >= StateDisabled && state <= StateEnabling)
        return 0;
    if (state >= StateEnabled && (powerState == PowerOff || powerState == PowerLow))
        return 0;
    return 1;
}

quint32 MeskModemManager::signalStrength(const SignalQuality& quality)
{
    if (!quality.recent)
        return 99;
    return quint32(std::lround(std::min<quint32>(quality.percent, 100) * 31.0 / 100.0));
}

qint32 MeskModemManager::errorResult(const QString& errorName)
{
    using namespace MeskMbnResult;
    static const QString core = QStringLiteral("org.freedesktop.ModemManager1.Error.Core.Unauthorized");
    if (errorName == core || errorName == QLatin1String("org.freedesktop.DBus.Error.AccessDenied"))
        return SmsOperationNotAllowed;
    if (errorName == QLatin1String("org.freedesktop.DBus.Error.NoReply"))
        return SmsNetworkTimeout;
    if (errorName == QLatin1String("org.freedesktop.ModemManager1.Error.Core.Failed"))
        return ModemFailure;
    static const QString message = QStringLiteral("org.freedesktop.ModemManager1.Error.Message.");
    static const QString equipment = QStringLiteral("org.freedesktop.ModemManager1.Error.MobileEquipment.");
    QStringView name;
    bool fromEquipment = false;
    if (errorName.startsWith(message)) {
        name = QStringView(errorName).mid(message.size());
    } else if (errorName.startsWith(equipment)) {
        name = QStringView(errorName).mid(equipment.size());
        fromEquipment = true;
    } else {
        return Failed;
    }
    struct Entry
    {
        const char* name;
        qint32 result;
        bool equipmentToo;
    };
    static const Entry table[] = {
        {"SimNotInserted", SimNotInserted, true},
        {"SimWrong", BadSim, true},
        {"SimFailure", BadSim, true},
        {"SimPin", PinRequired, true},
        {"SimPuk", PinRequired, true},
        {"MemoryFailure", SmsMemoryFailure, false},
        {"MemoryFull", SmsMemoryFull, false},
        {"SmscAddressUnknown", SmsUnknownSmscAddress, false},
        {"NoNetwork", NotRegistered, false},
        {"NetworkTimeout", SmsNetworkTimeout, false},
        {"NotAllowed", SmsOperationNotAllowed, false},
        {"InvalidPduParameter", InvalidArgument, false},
        {"InvalidTextParameter", InvalidArgument, false},
    };
    for (const Entry& entry : table) {
        if (name == QLatin1String(entry.name) && (!fromEquipment || entry.equipmentToo))
            return entry.result;
    }
    return Failed;
}

quint32 MeskModemManager::timeStamp(const QString& iso)
{
    QString text = iso.trimmed();
    // ModemManager writes the zone as "+02" when it has no minutes.
    static const QRegularExpression shortZone(QStringLiteral("[+-]\\d\\d$"));
    if (shortZone.match(text).hasMatch())
        text += QStringLiteral(":00");
    const QDateTime time = QDateTime::fromString(text, Qt::ISODate);
    if (!time.isValid() || time.toSecsSinceEpoch() <= 0)
        return 0;
    return quint32(std::min<qint64>(time.toSecsSinceEpoch(), 0xFFFFFFFF));
}

QDBusConnection MeskModemManager::bus()
{
    const QString address = qEnvironmentVariable(BusVariable);
    if (address.isEmpty())
        return QDBusConnection::systemBus();
    return QDBusConnection::connectToBus(address, QStringLiteral("lumesk-modemmanager"));
}

namespace {

// The delays between tries of a call: RetryDelay, doubled each time up to MaxRetryDelay.
constexpr int RetryDelay = 250;
constexpr int MaxRetryDelay = 4000;

} // namespace

// ---------------------------------------------------------------------------------------------
// The D-Bus calls of the layer, made on its thread: at most MaxCallsInFlight wait for an answer at
// once (the system bus refuses a connection more than 128, dbus-daemon's max_replies_per_connection),
// the others wait in order. A call that may be repeated (it is idempotent) and fails for want of an
// answer or of room on the bus is made again, later each time, while the run of ModemManager it
// belongs to lasts and, for the SMS side's calls, until that side is cancelled. Every call is
// answered once: one that is not made (again) is answered NoReply.

class CMeskModemManagerBackend::CallQueue : public QObject
{
public:
    using Answer = std::function<void(QDBusPendingCallWatcher&)>;

    explicit CallQueue(const QDBusConnection& bus, QObject* parent) : QObject(parent), m_bus(bus) {}

    // Queues a call. retry: it may be made again when it fails for want of an answer or of room.
    void call(const QDBusMessage& message, Answer answer, bool retry = true);
    // ModemManager's run of the calls: it counts its disappearances. Its objects are gone once it
    // ended: a path of the new run may name another object, so no call of the old one is made.
    quint64 run() const { return m_run; }
    void endRun();
    // The SMS side's user went: its calls waiting to be tried again are not made.
    void cancelSms();

private:
    // A call waiting for its turn or its answer.
    struct Call
    {
        QDBusMessage message;
        Answer answer;
        bool retry = false;
        int attempts = 0;
        quint64 run = 0;
        quint64 smsGeneration = 0;
    };

    void pump();
    void issue(Call call);
    // Answers a call that is not made (its run of ModemManager ended) with an error.
    static void drop(Call& call);
    static bool isPassingError(const QString& name);

    static constexpr int MaxCallsInFlight = 32;
    static constexpr int MaxAttempts = 5;

    QDBusConnection m_bus;
    QQueue<Call> m_waiting;
    int m_inFlight = 0;
    quint64 m_run = 0;
    quint64 m_smsGeneration = 0;
};

void CMeskModemManagerBackend::CallQueue::call(const QDBusMessage& message, Answer answer, bool retry)
{
    m_waiting.enqueue(Call{message, std::move(answer), retry, 0, m_run, m_smsGeneration});
    pump();
}

void CMeskModemManagerBackend::CallQueue::pump()
{
    while (m_inFlight < MaxCallsInFlight && !m_waiting.isEmpty()) {
        Call next = m_waiting.dequeue();
        // Its objects are gone; a path of the new run may name another object.
        if (next.run != m_run)
            drop(next);
        else
            issue(std::move(next));
    }
}

void CMeskModemManagerBackend::CallQueue::drop(Call& call)
{
    QDBusPendingCallWatcher failed(QDBusPendingCall::fromError(
        QDBusError(QDBusError::NoReply, QStringLiteral("ModemManager ended before the call was made"))));
    call.answer(failed);
}

void CMeskModemManagerBackend::CallQueue::issue(Call call)
{
    ++m_inFlight;
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call.message, CallTimeout), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, watcher, call = std::move(call)]() mutable {
                watcher->deleteLater();
                --m_inFlight;
                const QString error = watcher->isError() ? watcher->error().name() : QString();
                // Only idempotent calls are tried again, and only while the run they belong to lasts.
                if (call.retry && isPassingError(error) && call.attempts + 1 < MaxAttempts &&
                    call.run == m_run && call.smsGeneration == m_smsGeneration) {
                    const int delay = std::min(RetryDelay << call.attempts, MaxRetryDelay);
                    ++call.attempts;
                    QTimer::singleShot(delay, this, [this, call = std::move(call)]() mutable {
                        // Every call is answered: one that is not made again fails.
                        if (call.run != m_run || call.smsGeneration != m_smsGeneration) {
                            drop(call);
                            return;
                        }
                        m_waiting.enqueue(std::move(call));
                        pump();
                    });
                    pump();
                    return;
                }
                if (!error.isEmpty() && call.attempts > 0 && isPassingError(error))
                    qDebug().noquote() << QStringLiteral("CMeskModemManagerBackend: %1 failed %2 times: %3")
                                              .arg(call.message.member())
                                              .arg(call.attempts + 1)
                                              .arg(error);
                call.answer(*watcher);
                pump();
            });
}

bool CMeskModemManagerBackend::CallQueue::isPassingError(const QString& name)
{
    return name == QLatin1String("org.freedesktop.DBus.Error.LimitsExceeded") ||
           name == QLatin1String("org.freedesktop.DBus.Error.NoReply") ||
           name == QLatin1String("org.freedesktop.DBus.Error.Timeout") ||
           name == QLatin1String("org.freedesktop.DBus.Error.TimedOut");
}

void CMeskModemManagerBackend::CallQueue::cancelSms()
{
    ++m_smsGeneration;
}

void CMeskModemManagerBackend::CallQueue::endRun()
{
    ++m_run;
}

// ---------------------------------------------------------------------------------------------
// The worker: lives on the layer's thread and makes every D-Bus call there.

class CMeskModemManagerBackend::Worker : public QObject
{
    Q_OBJECT
public:
    Worker(CMeskModemManagerBackend* owner, const QDBusConnection& bus)
        : m_owner(owner), m_bus(bus), m_calls(bus, this)
    {
    }

    void start();
    void sendText(const QString& modem, const QString& number, const QString& text, quint32 requestId);
    void read(const QString& modem, quint32 flag, quint32 requestId);
    void remove(quint32 index, quint32 requestId);
    // Calls of the SMS side that wait for a retry are dropped.
    void cancelSms();

public slots:
    void onServiceRegistered();
    void onServiceUnregistered();
    void onInterfacesAdded(const QDBusMessage& message);
    void onInterfacesRemoved(const QDBusMessage& message);
    void onPropertiesChanged(const QDBusMessage& message);
    // The Sms properties of any object of the service (one rule for every message).
    void onMessageChanged(const QDBusMessage& message);
    void onMessageAdded(const QDBusMessage& message);
    void onMessageDeleted(const QDBusMessage& message);

private:
    struct Modem
    {
        Device values;
        QString simPath;
        // Changes each time the modem is seen to switch off or on, or to come again, which makes
        // its message objects anew; empty when first seen enabled: that name of the set stands for
        // the last one an earlier start noted with an epoch (SMeskSmsObjectSet::sameSet).
        QString epoch;
        bool stateKnown = false;
        // The SIM's SimIdentifier (its ICCID) and Imsi, as its object gave them; empty while the
        // modem has no SIM object or its answer has not come.
        QString simIdentifier;
        QString simImsi;
        // The SIM that names the messages read: the ICCID, else the IMSI (some SIMs change theirs).
        QString sim() const { return !simIdentifier.isEmpty() ? simIdentifier : simImsi; }
    };
    // What the layer knows of one message object of the run (by its index, indexOf).
    //
    // The combinations of the first four flags that occur:
    //   stored arriving completed fresh
    //     -       -        -       -    nothing known: the record goes (dropIfIdle) unless a read
    //                                   asked it or it was announced as reloaded
    //     x       -        -       -    an object of its modem's current set, read or being read;
    //                                   the program may delete it
    //     x       x        -       -    still arriving (Added with its first part, or found
    //                                   RECEIVING by a read): followed until its State is RECEIVED
    //     x       -        -       x    complete while followed and announced: the next read of new
    //                                   messages asks for it, and reports it as new
    //     x       -        x       -    turned RECEIVED while no one followed it (it completed
    //                                   between a List and its GetAll): the read reports it as new
    //     -       -        x       -    a State signal of an object no List or Added named yet: a
    //                                   read that finds it reports it as new
    // A successful delete clears stored and fresh. reloaded (announced as the modem made its
    // messages anew) and asked (the reads running that will report it) go with any of them.
    struct Message
    {
        QString path;
        QString modem;         // its modem; empty until a List or Added ties it to one
        bool stored = false;   // its modem's object in the current set: it can be deleted
        bool arriving = false; // received, followed until all of it is there
        // Turned received while no one followed it (it completed as a read took it): a read
        // reports it as new.
        bool completed = false;
        bool fresh = false;    // received while watched and not yet read
        bool reloaded = false; // announced as its modem made its messages anew, not yet read
        int asked = 0;         // how many running reads will report it
        bool idle() const { return !stored && !arriving && !completed && !fresh && !reloaded && asked == 0; }
    };
    // One read (Worker::read): what it asked and what it has gathered so far. Each read has its own,
    // which outlives what a delete or a renewal removes meanwhile.
    struct Gathering
    {
        quint32 requestId = 0;
        QString modem;
        bool every = false; // a read of every message (List), else of the new ones
        quint64 run = 0;
        // The set of objects the paths read belong to, as known when they were listed, and its renewal.
        SMeskSmsObjectSet objectSet;
        quint32 renewal = 0;
        QString sim; // the SIM in the modem then (Modem::sim)
        QList<SMeskSmsReadPdu> messages;
        qsizetype left = 0;
        // A listed message could not be read: it is still on the modem, not in the answer.
        bool missed = false;
        // Deleted by the program since the read began: stored already, so not reported.
        QSet<quint32> deleted;
        // The messages this read will report (or leave out) when it ends.
        QSet<quint32> asked;
        // For a read of every message: each object its List named.
        QList<SMeskSmsOrigin> listed;
    };

    using Answer = CallQueue::Answer;
    // Queues a call (CallQueue::call).
    void call(const QDBusMessage& message, Answer answer, bool retry = true)
    {
        m_calls.call(message, std::move(answer), retry);
    }
    QDBusMessage method(const QString& path, const QString& interface, const QString& name) const
    {
        return QDBusMessage::createMethodCall(Service, path, interface, name);
    }
    // Loads ModemManager's name and objects; attempt counts the tries made for them in this run.
    void loadAll(int attempt = 0);
    void applyInterfaces(const QString& path, const Interfaces& interfaces);
    void applyModemProperty(Modem& modem, const QString& interface, const QString& name,
                            const QVariant& value);
    void loadSim(const QString& simPath);
    void watchPath(const QString& path, bool modem);
    // Follows a received message of modemPath until all of it is there (it is announced then).
    // Every message's State is followed from the start; askState: it is also asked, for a message
    // that was complete already when it was named. A message found several ways is followed once.
    void follow(const QString& modemPath, const QString& path, bool askState = true);
    // The steps of a read: the objects listed (a read of every message), each one's properties
    // gathered (noteUnreadable: not read; addToAnswer: read, true when the read reports it), one
    // call after which the messages that completed as they were answered are known, and the report.
    void list(const std::shared_ptr<Gathering>& gathering);
    void gather(const std::shared_ptr<Gathering>& gathering, const QList<QDBusObjectPath>& paths);
    bool noteUnreadable(Gathering& gathering, const QString& path, const QString& error);
    bool addToAnswer(Gathering& gathering, const QString& path, quint32 index, bool reloaded,
                     const QVariantMap& properties);
    void reportAfterPendingSignals(const std::shared_ptr<Gathering>& gathering);
    void report(Gathering& gathering);
    // A read ended: what it asked is left to the reads to come.
    void ended(Gathering& gathering);
    void release(quint32 index);
    // The record of the object at path, made when there is none.
    Message& messageAt(const QString& path);
    // Removes the records that match, and tells the layer which messages are new.
    template <typename Predicate> void dropMessages(Predicate predicate);
    // Drops the record at index once nothing is known of it.
    void dropIfIdle(quint32 index);
    QSet<quint32> newMessages() const;
    // A message the service no longer has: nothing follows or reads it any more.
    void forget(const QString& path);
    // Asks the State of the message at path and runs action if it is state (and the worker's run
    // has not changed meanwhile).
    void whenState(const QString& path, quint32 state, const std::function<void()>& action);
    void messageReceived(const QString& path);
    // A message to be read by the next read of the new ones.
    void announce(quint32 index);
    void publish();
    quint32 indexOf(const QString& path) const;
    // The name of the set of message objects the modem's service made for a modem
    // (SMeskSmsObjectSet); empty while it is not known.
    SMeskSmsObjectSet objectSetOf(const QString& modemPath) const;
    // The SIM in a modem (Modem::sim); empty while it is not known.
    QString simOf(const QString& modemPath) const;
    // The modem's messages were made anew: what the layer knew of them names nothing now.
    // announced: the modem stays and is followed, so ModemManager's announcements of the messages
    // it makes anew are seen (smsMessagesRenewed).
    void renew(const QString& modemPath, bool announced);
    static bool isGoneError(const QString& name);

    CMeskModemManagerBackend* m_owner;
    QDBusConnection m_bus;
    QDBusServiceWatcher* m_watcher = nullptr;
    // The bus's id (a new one after each boot) and ModemManager's unique name on it (a new one
    // for each of its runs; they repeat only on another bus).
    QString m_busId;
    QString m_serviceName;
    QSet<QString> m_removedModems; // modems that went in this run
    // Counts the times the message objects were made anew (smsMessagesRenewed), from 1; a message
    // read carries the renewal its read began in.
    quint32 m_renewal = 1;
    QMap<QString, Modem> m_modems;
    QSet<QString> m_watchedPaths;
    // The message objects, by index; a record goes only through dropMessages.
    QHash<quint32, Message> m_messages;
    // The reads running: a read of the new messages asks only for those no running read takes.
    QList<std::weak_ptr<Gathering>> m_gatherings;

    CallQueue m_calls;
};

void CMeskModemManagerBackend::Worker::cancelSms()
{
    m_calls.cancelSms();
}

SMeskSmsObjectSet CMeskModemManagerBackend::Worker::objectSetOf(const QString& modemPath) const
{
    const auto modem = m_modems.constFind(modemPath);
    if (m_busId.isEmpty() || m_serviceName.isEmpty() || modem == m_modems.cend())
        return {};
    return {m_busId, m_serviceName, modemPath, modem->epoch};
}

QString CMeskModemManagerBackend::Worker::simOf(const QString& modemPath) const
{
    const auto modem = m_modems.constFind(modemPath);
    return modem == m_modems.cend() ? QString() : modem->sim();
}

void CMeskModemManagerBackend::Worker::renew(const QString& modemPath, bool announced)
{
    if (const auto modem = m_modems.find(modemPath); modem != m_modems.end())
        modem->epoch = QUuid::createUuid().toString(QUuid::WithoutBraces);
    // Messages still arriving are announced again as the modem makes its messages anew. A message
    // no List or Added tied to a modem may have been the modem's: its object is gone too.
    dropMessages(
        [&](const Message& message) { return message.modem == modemPath || message.modem.isEmpty(); });
    emit m_owner->smsMessagesRenewed(announced, ++m_renewal);
}

bool CMeskModemManagerBackend::Worker::isGoneError(const QString& name)
{
    // GDBus answers UnknownMethod for an object that is not there.
    return name == QLatin1String("org.freedesktop.DBus.Error.UnknownObject") ||
           name == QLatin1String("org.freedesktop.DBus.Error.UnknownMethod") ||
           name == QLatin1String("org.freedesktop.DBus.Error.UnknownInterface");
}

quint32 CMeskModemManagerBackend::Worker::indexOf(const QString& path) const
{
    // The trailing number of the path, and the run of ModemManager in the top
    // byte: a restarted ModemManager numbers its messages from 0 again, and an
    // index the SMS manager still holds from the old run must not name a new
    // message.
    const quint32 number = path.mid(path.lastIndexOf(QLatin1Char('/')) + 1).toUInt();
    return quint32((m_calls.run() & 0xFF) << 24) | (number & 0xFFFFFF);
}

void CMeskModemManagerBackend::Worker::start()
{
    // One rule follows the State of every message object, in place before the first List: a
    // message that completes between a List and its read is seen completing. (Per-object rules
    // would also run into the bus's limit of rules per connection.) The empty path matches every
    // object.
    m_bus.connect(Service, QString(), PropertiesInterface, QStringLiteral("PropertiesChanged"),
                  {SmsInterface}, QString(), this, SLOT(onMessageChanged(QDBusMessage)));
    m_watcher = new QDBusServiceWatcher(
        Service, m_bus,
        QDBusServiceWatcher::WatchForRegistration | QDBusServiceWatcher::WatchForUnregistration, this);
    connect(m_watcher, &QDBusServiceWatcher::serviceRegistered, this, &Worker::onServiceRegistered);
    connect(m_watcher, &QDBusServiceWatcher::serviceUnregistered, this, &Worker::onServiceUnregistered);
    m_bus.connect(Service, ManagerPath, ObjectManagerInterface, QStringLiteral("InterfacesAdded"), this,
                  SLOT(onInterfacesAdded(QDBusMessage)));
    m_bus.connect(Service, ManagerPath, ObjectManagerInterface, QStringLiteral("InterfacesRemoved"), this,
                  SLOT(onInterfacesRemoved(QDBusMessage)));
    const QString busService = QStringLiteral("org.freedesktop.DBus");
    const QString busPath = QStringLiteral("/org/freedesktop/DBus");
    call(QDBusMessage::createMethodCall(busService, busPath, busService, QStringLiteral("GetId")),
         [this](QDBusPendingCallWatcher& watcher) {
             const QDBusPendingReply<QString> reply = watcher;
             if (!reply.isError())
                 m_busId = reply.value();
             loadAll();
         });
}

void CMeskModemManagerBackend::Worker::loadAll(int attempt)
{
    // ModemManager's unique name first, then its objects: a run that ends in between drops both.
    const QString busService = QStringLiteral("org.freedesktop.DBus");
    QDBusMessage owner = QDBusMessage::createMethodCall(busService, QStringLiteral("/org/freedesktop/DBus"),
                                                        busService, QStringLiteral("GetNameOwner"));
    owner << Service;
    // An answer with an error is asked again, later each time, while the run lasts: a device that
    // is not loaded now is announced by no one. A service that is not there is loaded when it comes.
    const auto failed = [this, attempt](const QString& member, const QString& error) {
        qDebug().noquote() << QStringLiteral("CMeskModemManagerBackend: %1 failed: %2").arg(member, error);
        if (error == QLatin1String("org.freedesktop.DBus.Error.NameHasNoOwner") ||
            error == QLatin1String("org.freedesktop.DBus.Error.ServiceUnknown"))
            return;
        const int delay = std::min(RetryDelay << std::min(attempt, 8), MaxRetryDelay);
        QTimer::singleShot(delay, this, [this, attempt, run = m_calls.run()] {
            if (run == m_calls.run())
                loadAll(attempt + 1);
        });
    };
    call(owner, [this, run = m_calls.run(), failed](QDBusPendingCallWatcher& ownerWatcher) {
        const QDBusPendingReply<QString> name = ownerWatcher;
        if (run != m_calls.run())
            return;
        if (name.isError()) {
            failed(QStringLiteral("GetNameOwner"), name.error().name());
            return;
        }
        m_serviceName = name.value();
        QDBusMessage message =
            method(ManagerPath, ObjectManagerInterface, QStringLiteral("GetManagedObjects"));
        // Asking must not start ModemManager: it is followed when it comes.
        message.setAutoStartService(false);
        call(message, [this, run, failed](QDBusPendingCallWatcher& watcher) {
            const QDBusPendingReply<ManagedObjects> reply = watcher;
            if (run != m_calls.run())
                return;
            if (reply.isError()) {
                failed(QStringLiteral("GetManagedObjects"), reply.error().name());
                return;
            }
            const ManagedObjects objects = reply.value();
            qDebug().noquote() << QStringLiteral("CMeskModemManagerBackend: %1 has %2 objects")
                                      .arg(m_serviceName)
                                      .arg(objects.size());
            for (auto object = objects.cbegin(); object != objects.cend(); ++object)
                applyInterfaces(object.key().path(), object.value());
            publish();
        });
    });
}

void CMeskModemManagerBackend::Worker::onServiceRegistered()
{
    qDebug().noquote() << QStringLiteral("CMeskModemManagerBackend: ModemManager came");
    loadAll();
}

void CMeskModemManagerBackend::Worker::onServiceUnregistered()
{
    qDebug().noquote() << QStringLiteral("CMeskModemManagerBackend: ModemManager went");
    // Every object of the old run is gone; the new run has paths of its own.
    m_calls.endRun();
    for (const QString& path : std::as_const(m_watchedPaths)) {
        m_bus.disconnect(Service, path, PropertiesInterface, QStringLiteral("PropertiesChanged"), this,
                         SLOT(onPropertiesChanged(QDBusMessage)));
        m_bus.disconnect(Service, path, MessagingInterface, QStringLiteral("Added"), this,
                         SLOT(onMessageAdded(QDBusMessage)));
        m_bus.disconnect(Service, path, MessagingInterface, QStringLiteral("Deleted"), this,
                         SLOT(onMessageDeleted(QDBusMessage)));
    }
    m_watchedPaths.clear();
    const bool hadModems = !m_modems.isEmpty();
    m_modems.clear();
    m_removedModems.clear();
    m_serviceName.clear();
    dropMessages([](const Message&) { return true; });
    publish();
    // Whatever a read of the ended run gathers was read before this renewal.
    ++m_renewal;
    if (hadModems)
        emit m_owner->smsMessagesRenewed(false, m_renewal);
}

void CMeskModemManagerBackend::Worker::watchPath(const QString& path, bool modem)
{
    if (m_watchedPaths.contains(path))
        return;
    m_watchedPaths.insert(path);
    m_bus.connect(Service, path, PropertiesInterface, QStringLiteral("PropertiesChanged"), this,
                  SLOT(onPropertiesChanged(QDBusMessage)));
    if (modem) {
        m_bus.connect(Service, path, MessagingInterface, QStringLiteral("Added"), this,
                      SLOT(onMessageAdded(QDBusMessage)));
        m_bus.connect(Service, path, MessagingInterface, QStringLiteral("Deleted"), this,
                      SLOT(onMessageDeleted(QDBusMessage)));
    }
}

void CMeskModemManagerBackend::Worker::applyInterfaces(const QString& path, const Interfaces& interfaces)
{
    if (!interfaces.contains(ModemInterface) && !m_modems.contains(path))
        return;
    watchPath(path, true);
    const bool known = m_modems.contains(path);
    Modem& modem = m_modems[path];
    // A modem that comes again in the same run has made its messages anew.
    if (!known && m_removedModems.remove(path))
        modem.epoch = QUuid::createUuid().toString(QUuid::WithoutBraces);
    modem.values.path = path;
    if (interfaces.contains(MessagingInterface))
        modem.values.messaging = true;
    for (auto interface = interfaces.cbegin(); interface != interfaces.cend(); ++interface) {
        const QVariantMap& properties = interface.value();
        for (auto property = properties.cbegin(); property != properties.cend(); ++property)
            applyModemProperty(modem, interface.key(), property.key(), property.value());
    }
}

void CMeskModemManagerBackend::Worker::applyModemProperty(Modem& modem, const QString& interface,
                                                          const QString& name, const QVariant& value)
{
    Device& values = modem.values;
    if (interface == Modem3gppInterface) {
        if (name == QLatin1String("OperatorName"))
            values.networkOperator = value.toString();
        return;
    }
    if (interface != ModemInterface)
        return;
    if (name == QLatin1String("CurrentCapabilities")) {
        values.capabilities = value.toUInt();
    } else if (name == QLatin1String("State")) {
        const int state = value.toInt();
        // Leaving enabled, ModemManager drops the modem's message objects; while enabling again it
        // makes them anew from the SIM and announces each. Reaching enabled changes nothing more.
        const bool renewed = modem.stateKnown && values.state >= StateEnabled && state < StateEnabled;
        // A modem first seen below enabled has yet to make its messages: they are not the objects
        // an earlier start may have seen under the same names.
        if (!modem.stateKnown && state < StateEnabled && modem.epoch.isEmpty())
            modem.epoch = QUuid::createUuid().toString(QUuid::WithoutBraces);
        modem.stateKnown = true;
        values.state = state;
        if (renewed)
            renew(values.path, true);
    } else if (name == QLatin1String("StateFailedReason")) {
        values.failedReason = value.toUInt();
    } else if (name == QLatin1String("UnlockRequired")) {
        values.unlockRequired = value.toUInt();
    } else if (name == QLatin1String("PowerState")) {
        values.powerState = value.toUInt();
    } else if (name == QLatin1String("SignalQuality")) {
        values.signal = qdbus_cast<SignalQuality>(value);
    } else if (name == QLatin1String("OwnNumbers")) {
        values.numbers = qdbus_cast<QStringList>(value);
    } else if (name == QLatin1String("Sim")) {
        const QString simPath = qdbus_cast<QDBusObjectPath>(value).path();
        if (simPath == modem.simPath)
            return;
        modem.simPath = simPath;
        values.simOperator.clear();
        modem.simIdentifier.clear();
        modem.simImsi.clear();
        if (!simPath.isEmpty() && simPath != QLatin1String("/"))
            loadSim(simPath);
    }
}

void CMeskModemManagerBackend::Worker::loadSim(const QString& simPath)
{
    watchPath(simPath, false);
    QDBusMessage message = method(simPath, PropertiesInterface, QStringLiteral("GetAll"));
    message << SimInterface;
    call(message, [this, simPath, run = m_calls.run()](QDBusPendingCallWatcher& watcher) {
        const QDBusPendingReply<QVariantMap> reply = watcher;
        if (run != m_calls.run() || reply.isError())
            return;
        const QVariantMap properties = reply.value();
        for (Modem& modem : m_modems) {
            if (modem.simPath == simPath) {
                modem.values.simOperator = properties.value(QStringLiteral("OperatorName")).toString();
                modem.simIdentifier = properties.value(QStringLiteral("SimIdentifier")).toString();
                modem.simImsi = properties.value(QStringLiteral("Imsi")).toString();
            }
        }
        publish();
    });
}

void CMeskModemManagerBackend::Worker::onInterfacesAdded(const QDBusMessage& message)
{
    const QList<QVariant> arguments = message.arguments();
    if (arguments.size() < 2)
        return;
    const QString path = qdbus_cast<QDBusObjectPath>(arguments.at(0)).path();
    const bool known = m_modems.contains(path);
    applyInterfaces(path, qdbus_cast<Interfaces>(arguments.at(1)));
    publish();
    if (known || !m_modems.contains(path))
        return;
    // A modem that just came is switched on at once: what changed before its signals were
    // followed is read once they are.
    QDBusMessage getAll = method(path, PropertiesInterface, QStringLiteral("GetAll"));
    getAll << ModemInterface;
    call(getAll, [this, path, run = m_calls.run()](QDBusPendingCallWatcher& watcher) {
        const QDBusPendingReply<QVariantMap> reply = watcher;
        const auto modem = m_modems.find(path);
        if (run != m_calls.run() || reply.isError() || modem == m_modems.end())
            return;
        const QVariantMap properties = reply.value();
        for (auto property = properties.cbegin(); property != properties.cend(); ++property)
            applyModemProperty(*modem, ModemInterface, property.key(), property.value());
        publish();
    });
}

void CMeskModemManagerBackend::Worker::onInterfacesRemoved(const QDBusMessage& message)
{
    const QList<QVariant> arguments = message.arguments();
    if (arguments.size() < 2)
        return;
    const QString path = qdbus_cast<QDBusObjectPath>(arguments.at(0)).path();
    const QStringList interfaces = qdbus_cast<QStringList>(arguments.at(1));
    const auto modem = m_modems.find(path);
    if (modem == m_modems.end())
        return;
    if (interfaces.contains(ModemInterface)) {
        // A modem that comes again is a new object, whose announcements come before the layer
        // follows them.
        renew(path, false);
        m_modems.remove(path);
        m_removedModems.insert(path);
    } else if (interfaces.contains(MessagingInterface)) {
        modem->values.messaging = false;
    }
    publish();
}

void CMeskModemManagerBackend::Worker::onPropertiesChanged(const QDBusMessage& message)
{
    const QList<QVariant> arguments = message.arguments();
    if (arguments.size() < 2)
        return;
    const QString path = message.path();
    const QString interface = arguments.at(0).toString();
    const QVariantMap changed = qdbus_cast<QVariantMap>(arguments.at(1));
    if (const auto modem = m_modems.find(path); modem != m_modems.end()) {
        for (auto property = changed.cbegin(); property != changed.cend(); ++property)
            applyModemProperty(*modem, interface, property.key(), property.value());
        publish();
        return;
    }
    if (interface == SimInterface) {
        for (Modem& modem : m_modems) {
            if (modem.simPath != path)
                continue;
            if (const auto name = changed.constFind(QStringLiteral("OperatorName")); name != changed.cend())
                modem.values.simOperator = name->toString();
            if (const auto id = changed.constFind(QStringLiteral("SimIdentifier")); id != changed.cend())
                modem.simIdentifier = id->toString();
            if (const auto imsi = changed.constFind(QStringLiteral("Imsi")); imsi != changed.cend())
                modem.simImsi = imsi->toString();
        }
        publish();
    }
}

void CMeskModemManagerBackend::Worker::onMessageChanged(const QDBusMessage& message)
{
    static const QString messages = ManagerPath + QStringLiteral("/SMS/");
    const QList<QVariant> arguments = message.arguments();
    const QString path = message.path();
    if (arguments.size() < 2 || !path.startsWith(messages))
        return;
    const QVariantMap changed = qdbus_cast<QVariantMap>(arguments.at(1));
    const auto state = changed.constFind(QStringLiteral("State"));
    if (state == changed.cend() || state->toUInt() != SmsReceived)
        return;
    Message& record = messageAt(path);
    if (record.arriving)
        messageReceived(path);
    else
        record.completed = true;
}

void CMeskModemManagerBackend::Worker::onMessageDeleted(const QDBusMessage& message)
{
    const QList<QVariant> arguments = message.arguments();
    if (!arguments.isEmpty())
        forget(qdbus_cast<QDBusObjectPath>(arguments.at(0)).path());
}

void CMeskModemManagerBackend::Worker::forget(const QString& path)
{
    dropMessages([&](const Message& message) { return message.path == path; });
}

CMeskModemManagerBackend::Worker::Message& CMeskModemManagerBackend::Worker::messageAt(const QString& path)
{
    Message& record = m_messages[indexOf(path)];
    record.path = path;
    return record;
}

template <typename Predicate> void CMeskModemManagerBackend::Worker::dropMessages(Predicate predicate)
{
    const bool hadNew = std::any_of(m_messages.cbegin(), m_messages.cend(), [&](const Message& message) {
        return message.fresh && predicate(message);
    });
    m_messages.removeIf([&](const auto& message) { return predicate(message.value()); });
    if (hadNew)
        m_owner->setNewMessages(newMessages());
}

void CMeskModemManagerBackend::Worker::dropIfIdle(quint32 index)
{
    if (const auto record = m_messages.constFind(index); record != m_messages.cend() && record->idle()) {
        const QString path = record->path;
        dropMessages([&](const Message& message) { return message.path == path && message.idle(); });
    }
}

QSet<quint32> CMeskModemManagerBackend::Worker::newMessages() const
{
    QSet<quint32> indices;
    for (auto record = m_messages.cbegin(); record != m_messages.cend(); ++record) {
        if (record->fresh)
            indices.insert(record.key());
    }
    return indices;
}

void CMeskModemManagerBackend::Worker::onMessageAdded(const QDBusMessage& message)
{
    const QList<QVariant> arguments = message.arguments();
    if (arguments.size() < 2)
        return;
    const bool received = arguments.at(1).toBool();
    const auto modem = m_modems.constFind(message.path());
    // While the modem is being switched on, ModemManager announces every message it loads from the
    // SIM, the ones kept as sent too.
    const bool reloading = modem != m_modems.cend() && modem->values.state < StateEnabled;
    // Otherwise a message that was not received was made by a client to be sent: not news.
    if (!received && !reloading)
        return;
    const QString path = qdbus_cast<QDBusObjectPath>(arguments.at(0)).path();
    const quint32 index = indexOf(path);
    Message& record = messageAt(path);
    record.modem = message.path();
    record.stored = true;
    record.reloaded = record.reloaded || reloading;
    // Added comes with the first part: the message counts once all of it is there.
    if (received) {
        follow(message.path(), path);
        return;
    }
    whenState(path, SmsSent, [this, index] { announce(index); });
}

void CMeskModemManagerBackend::Worker::follow(const QString& modemPath, const QString& path, bool askState)
{
    Message& record = messageAt(path);
    if (record.arriving)
        return;
    record.arriving = true;
    record.modem = modemPath;
    // Every message's State is followed from the start; a message announced with Added may have
    // been complete already (one of a single part comes so).
    if (askState)
        whenState(path, SmsReceived, [this, path] { messageReceived(path); });
}

void CMeskModemManagerBackend::Worker::whenState(const QString& path, quint32 state,
                                                 const std::function<void()>& action)
{
    QDBusMessage get = method(path, PropertiesInterface, QStringLiteral("Get"));
    get << SmsInterface << QStringLiteral("State");
    call(get, [this, path, state, action, run = m_calls.run()](QDBusPendingCallWatcher& watcher) {
        const QDBusPendingReply<QDBusVariant> reply = watcher;
        if (run != m_calls.run())
            return;
        if (reply.isError() && isGoneError(reply.error().name()))
            forget(path);
        else if (!reply.isError() && reply.value().variant().toUInt() == state)
            action();
    });
}

void CMeskModemManagerBackend::Worker::messageReceived(const QString& path)
{
    const auto record = m_messages.find(indexOf(path));
    if (record == m_messages.end() || !std::exchange(record->arriving, false))
        return;
    announce(record.key());
}

void CMeskModemManagerBackend::Worker::announce(quint32 index)
{
    if (const auto record = m_messages.find(index); record != m_messages.end()) {
        record->fresh = true;
        m_owner->setNewMessages(newMessages());
    }
    emit m_owner->smsStatusChange();
}

void CMeskModemManagerBackend::Worker::publish()
{
    const Modem* chosen = nullptr;
    for (const Modem& modem : std::as_const(m_modems)) {
        if (modem.values.capabilities & (CapabilityGsmUmts | CapabilityLte | Capability5gnr)) {
            chosen = &modem;
            break;
        }
        if (!chosen && (modem.values.capabilities & CapabilityCdmaEvdo))
            chosen = &modem;
    }
    m_owner->publish(chosen ? chosen->values : Device());
}

void CMeskModemManagerBackend::Worker::sendText(const QString& modem, const QString& number,
                                                const QString& text, quint32 requestId)
{
    QDBusMessage create = method(modem, MessagingInterface, QStringLiteral("Create"));
    const QVariantMap properties{{QStringLiteral("number"), number},
                                 {QStringLiteral("text"), text},
                                 {QStringLiteral("delivery-report-request"), true}};
    create << properties;
    // Neither Create nor Send is made twice: a repeated one could send the message twice.
    call(
        create,
        [this, modem, requestId](QDBusPendingCallWatcher& watcher) {
            const QDBusPendingReply<QDBusObjectPath> created = watcher;
            if (created.isError()) {
                emit m_owner->smsSendComplete(requestId, errorResult(created.error().name()));
                return;
            }
            const QString sms = created.value().path();
            if (const SMeskSmsObjectSet objectSet = objectSetOf(modem); !objectSet.isEmpty())
                emit m_owner->smsSendCreated(requestId, SMeskSmsOrigin{objectSet.name(), sms}, simOf(modem));
            call(
                method(sms, SmsInterface, QStringLiteral("Send")),
                [this, modem, sms, requestId](QDBusPendingCallWatcher& sent) {
                    const qint32 status =
                        sent.isError() ? errorResult(sent.error().name()) : MeskMbnResult::Ok;
                    // Sent or not, the message leaves the modem's storage.
                    QDBusMessage remove = method(modem, MessagingInterface, QStringLiteral("Delete"));
                    remove << QVariant::fromValue(QDBusObjectPath(sms));
                    call(remove, [](QDBusPendingCallWatcher&) {});
                    emit m_owner->smsSendComplete(requestId, status);
                },
                false);
        },
        false);
}

void CMeskModemManagerBackend::Worker::read(const QString& modem, quint32 flag, quint32 requestId)
{
    auto gathering = std::make_shared<Gathering>();
    gathering->requestId = requestId;
    gathering->modem = modem;
    gathering->every = flag == 0;
    gathering->run = m_calls.run();
    m_gatherings.append(gathering);
    if (gathering->every) {
        list(gathering);
        return;
    }
    // Each new message is asked by one read at a time: a read running already reports it.
    QList<QDBusObjectPath> paths;
    for (const Message& message : std::as_const(m_messages)) {
        if (message.fresh && message.stored && message.asked == 0)
            paths.append(QDBusObjectPath(message.path));
    }
    gather(gathering, paths);
}

void CMeskModemManagerBackend::Worker::list(const std::shared_ptr<Gathering>& gathering)
{
    call(method(gathering->modem, MessagingInterface, QStringLiteral("List")),
         [this, gathering](QDBusPendingCallWatcher& watcher) {
             const QDBusPendingReply<QList<QDBusObjectPath>> reply = watcher;
             if (reply.isError()) {
                 ended(*gathering);
                 emit m_owner->smsReadComplete(MeskSmsFormat::Pdu, {}, true, gathering->requestId,
                                               errorResult(reply.error().name()), QString());
                 return;
             }
             gather(gathering, reply.value());
         });
}

void CMeskModemManagerBackend::Worker::gather(const std::shared_ptr<Gathering>& gathering,
                                              const QList<QDBusObjectPath>& paths)
{
    gathering->objectSet = objectSetOf(gathering->modem);
    gathering->renewal = m_renewal;
    gathering->sim = simOf(gathering->modem);
    gathering->left = paths.size();
    if (gathering->every && !gathering->objectSet.isEmpty()) {
        for (const QDBusObjectPath& object : paths)
            gathering->listed.append(SMeskSmsOrigin{gathering->objectSet.name(), object.path()});
        emit m_owner->smsReadListed(gathering->requestId, gathering->objectSet.name(), gathering->listed,
                                    gathering->sim);
    }
    if (paths.isEmpty()) {
        reportAfterPendingSignals(gathering);
        return;
    }
    for (const QDBusObjectPath& object : paths) {
        const QString path = object.path();
        const quint32 index = indexOf(path);
        Message& record = messageAt(path);
        record.modem = gathering->modem;
        gathering->asked.insert(index);
        ++record.asked;
        QDBusMessage getAll = method(path, PropertiesInterface, QStringLiteral("GetAll"));
        getAll << SmsInterface;
        // Announced as its renewal made it: so it is reported, even when a later renewal has come by
        // the time it is answered.
        const bool reloaded = record.reloaded;
        call(getAll, [this, gathering, path, index, reloaded](QDBusPendingCallWatcher& watcher) {
            const QDBusPendingReply<QVariantMap> reply = watcher;
            const bool gathered = reply.isError()
                                      ? noteUnreadable(*gathering, path, reply.error().name())
                                      : addToAnswer(*gathering, path, index, reloaded, reply.value());
            // A message this read does not report is left to others at once.
            if (!gathered && gathering->asked.remove(index))
                release(index);
            if (--gathering->left == 0)
                reportAfterPendingSignals(gathering);
        });
    }
}

bool CMeskModemManagerBackend::Worker::noteUnreadable(Gathering& gathering, const QString& path,
                                                      const QString& error)
{
    // Gone since it was listed (deleted meanwhile), or left on the modem: the next read finds it again.
    if (isGoneError(error)) {
        forget(path);
        return false;
    }
    gathering.missed = true;
    qDebug().noquote() << QStringLiteral("CMeskModemManagerBackend: cannot read %1: %2").arg(path, error);
    return false;
}

bool CMeskModemManagerBackend::Worker::addToAnswer(Gathering& gathering, const QString& path, quint32 index,
                                                   bool reloaded, const QVariantMap& properties)
{
    const QString& modem = gathering.modem;
    // An object of messages made anew since the read began cannot be deleted or followed.
    const bool current = gathering.objectSet == objectSetOf(modem);
    const quint32 state = properties.value(QStringLiteral("State")).toUInt();
    // Messages still arriving are read once they are complete. A read of every message also gives
    // the unsent ones (drafts, messages being sent): the program may have made one before it stopped.
    const bool unsent = state == SmsUnknown || state == SmsStored || state == SmsSending;
    if (state == SmsReceiving) {
        // Parts of it came before anyone followed it (before the program started): its completion
        // is not announced with Added, so it is followed from here. Its State changes from now on
        // come after this answer.
        if (current) {
            messageAt(path).stored = true;
            follow(modem, path, false);
        }
        return false;
    }
    if (state != SmsReceived && state != SmsSent && !(gathering.every && unsent))
        return false;
    // The record of a message of the run (a renewal may have dropped it meanwhile).
    Message* record = m_messages.contains(index) || current ? &messageAt(path) : nullptr;
    if (current)
        record->stored = true;
    // Completed while the program ran, though no one followed it yet.
    const bool completed = state == SmsReceived && record && std::exchange(record->completed, false);
    SMeskSmsReadPdu message;
    message.index = index;
    message.status = unsent                                   ? MeskSmsStatus::Unsent
                     : state == SmsSent                       ? MeskSmsStatus::Sent
                     : completed || (record && record->fresh) ? MeskSmsStatus::New
                                                              : MeskSmsStatus::Old;
    message.reloaded = reloaded || (record && record->reloaded);
    message.number = properties.value(QStringLiteral("Number")).toString();
    message.text = properties.value(QStringLiteral("Text")).toString();
    // A data message has no text to show: it is marked, not read as Latin-1.
    message.data =
        message.text.isEmpty() && !properties.value(QStringLiteral("Data")).toByteArray().isEmpty();
    message.timeStamp = timeStamp(properties.value(QStringLiteral("Timestamp")).toString());
    const quint32 pduType = properties.value(QStringLiteral("PduType")).toUInt();
    message.pduType = pduType != 0 ? pduType : PduDeliver;
    message.origin = {gathering.objectSet.name(), path};
    message.sim = gathering.sim;
    gathering.messages.append(message);
    return true;
}

void CMeskModemManagerBackend::Worker::reportAfterPendingSignals(const std::shared_ptr<Gathering>& gathering)
{
    if (!gathering->every || gathering->messages.isEmpty()) {
        report(*gathering);
        return;
    }
    // ModemManager (GDBus) answers a property read with the value of the moment and sends the change
    // signal from an idle callback: a message that completed as its read was answered is read
    // complete, and its signal comes after the answer. One more call, answered after every signal
    // already on its way, lets the read take those messages as new. A value that does not change
    // sends no signal: an old message is never taken for new.
    QDBusMessage state = method(gathering->modem, PropertiesInterface, QStringLiteral("Get"));
    state << ModemInterface << QStringLiteral("State");
    call(state, [this, gathering](QDBusPendingCallWatcher&) { report(*gathering); });
}

void CMeskModemManagerBackend::Worker::report(Gathering& gathering)
{
    ended(gathering);
    QList<SMeskSmsReadPdu>& messages = gathering.messages;
    for (SMeskSmsReadPdu& message : messages) {
        const auto record = m_messages.find(message.index);
        if (record == m_messages.end())
            continue;
        // Announced after its answer came, while this read still ran: no other read asks for it. Or
        // completed as its answer was made, its change signal sent after the answer.
        const bool completed = std::exchange(record->completed, false);
        if ((std::exchange(record->fresh, false) || completed) && message.status == MeskSmsStatus::Old)
            message.status = MeskSmsStatus::New;
        message.reloaded = std::exchange(record->reloaded, false) || message.reloaded;
    }
    m_owner->setNewMessages(newMessages());
    for (const SMeskSmsReadPdu& message : std::as_const(messages))
        dropIfIdle(message.index);
    // Stored and deleted while this read waited (for a call tried again, say): reported again, it
    // would be stored again.
    messages.removeIf(
        [&](const SMeskSmsReadPdu& message) { return gathering.deleted.contains(message.index); });
    std::sort(messages.begin(), messages.end(),
              [](const SMeskSmsReadPdu& a, const SMeskSmsReadPdu& b) { return a.index < b.index; });
    // The objects read belong to a set that was dropped during the read: they name nothing now.
    const bool renewed = gathering.run != m_calls.run() ||
                         gathering.objectSet != objectSetOf(gathering.modem) ||
                         gathering.renewal != m_renewal;
    for (SMeskSmsReadPdu& message : messages) {
        message.renewal = gathering.renewal;
        if (renewed)
            message.origin = {};
    }
    // Complete when every listed message was read or is gone, and the objects listed are still the
    // modem's at its end.
    const bool complete = !gathering.missed && !renewed && !gathering.objectSet.isEmpty();
    emit m_owner->smsReadComplete(MeskSmsFormat::Pdu, messages, !complete, gathering.requestId,
                                  MeskMbnResult::Ok, gathering.objectSet.name(),
                                  renewed ? QList<SMeskSmsOrigin>() : gathering.listed, gathering.sim);
}

void CMeskModemManagerBackend::Worker::ended(Gathering& gathering)
{
    m_gatherings.removeIf([&](const std::weak_ptr<Gathering>& other) {
        const std::shared_ptr<Gathering> running = other.lock();
        return !running || running.get() == &gathering;
    });
    for (quint32 index : std::as_const(gathering.asked))
        release(index);
    gathering.asked.clear();
}

void CMeskModemManagerBackend::Worker::release(quint32 index)
{
    if (const auto record = m_messages.find(index); record != m_messages.end() && record->asked > 0) {
        --record->asked;
        dropIfIdle(index);
    }
}

void CMeskModemManagerBackend::Worker::remove(quint32 index, quint32 requestId)
{
    const auto record = m_messages.constFind(index);
    if (record == m_messages.cend() || !record->stored) {
        // Not known in this run of ModemManager (it restarted since the read).
        emit m_owner->smsDeleteComplete(requestId, MeskMbnResult::Failed);
        return;
    }
    QDBusMessage message = method(record->modem, MessagingInterface, QStringLiteral("Delete"));
    message << QVariant::fromValue(QDBusObjectPath(record->path));
    const SMeskSmsObjectSet objectSet = objectSetOf(record->modem);
    call(message, [this, index, requestId, modem = record->modem,
                   objectSet](QDBusPendingCallWatcher& watcher) {
        // NotFound: an earlier try that got no answer deleted it after all, unless the modem made
        // its messages anew meanwhile (the message may be there under another object).
        const bool same = !objectSet.isEmpty() && objectSet == objectSetOf(modem);
        if (watcher.isError() &&
            (watcher.error().name() != QLatin1String("org.freedesktop.ModemManager1.Error.Core.NotFound") ||
             !same)) {
            emit m_owner->smsDeleteComplete(requestId, errorResult(watcher.error().name()));
            return;
        }
        if (same) {
            if (const auto deleted = m_messages.find(index); deleted != m_messages.end()) {
                deleted->stored = false;
                if (std::exchange(deleted->fresh, false))
                    m_owner->setNewMessages(newMessages());
                dropIfIdle(index);
            }
        }
        // The reads that took it before it went leave it out: it was stored.
        for (const std::weak_ptr<Gathering>& running : std::as_const(m_gatherings)) {
            if (const std::shared_ptr<Gathering> gathering = running.lock();
                gathering && gathering->asked.contains(index))
                gathering->deleted.insert(index);
        }
        emit m_owner->smsDeleteComplete(requestId, MeskMbnResult::Ok);
    });
}

// ---------------------------------------------------------------------------------------------
// The layer

CMeskModemManagerBackend::CMeskModemManagerBackend(const QDBusConnection& bus, QObject* parent)
    : IMeskModemBackend(parent), m_bus(bus)
{
    registerTypes();
    qRegisterMetaType<QList<SMeskSmsReadPdu>>();
    m_thread.setObjectName(QStringLiteral("ModemManager"));
    m_worker = new Worker(this, m_bus);
    m_worker->moveToThread(&m_thread);
    connect(&m_thread, &QThread::started, m_worker, &Worker::start);
    // The worker ends with its thread, on that thread.
    Worker* worker = m_worker;
    connect(
        &m_thread, &QThread::finished, worker, [worker] { delete worker; }, Qt::DirectConnection);
    if (m_bus.isConnected())
        m_thread.start();
}

CMeskModemManagerBackend::~CMeskModemManagerBackend()
{
    if (m_thread.isRunning()) {
        m_thread.quit();
        m_thread.wait();
    } else {
        delete m_worker;
    }
}

bool CMeskModemManagerBackend::open()
{
    return m_bus.isConnected();
}

bool CMeskModemManagerBackend::watch()
{
    return m_bus.isConnected();
}

quint32 CMeskModemManagerBackend::nextRequestId()
{
    return ++m_nextRequestId;
}

void CMeskModemManagerBackend::publish(const Device& device)
{
    Device old;
    {
        QMutexLocker lock(&m_mutex);
        old = m_device;
        m_device = device;
    }
    const bool had = !old.path.isEmpty();
    const bool has = !device.path.isEmpty();
    if (had && (!has || old.path != device.path))
        emit interfaceRemoval();
    if (has && (!had || old.path != device.path)) {
        // A device that comes is read by its first events.
        emit interfaceArrival();
        emit readyStateChange();
        emit radioStateChange();
        emit signalStateChange();
        emit homeProviderAvailable();
        return;
    }
    if (!has)
        return;
    const bool powerChanged = old.powerState != device.powerState;
    if (old.state != device.state || old.failedReason != device.failedReason ||
        old.unlockRequired != device.unlockRequired || powerChanged ||
        old.capabilities != device.capabilities)
        emit readyStateChange();
    if (powerChanged || old.state != device.state)
        emit radioStateChange();
    if (old.signal.percent != device.signal.percent || old.signal.recent != device.signal.recent)
        emit signalStateChange();
    if (old.simOperator != device.simOperator || old.networkOperator != device.networkOperator ||
        old.numbers != device.numbers)
        emit homeProviderAvailable();
}

void CMeskModemManagerBackend::setNewMessages(const QSet<quint32>& indices)
{
    QMutexLocker lock(&m_mutex);
    m_newMessages = indices;
}

bool CMeskModemManagerBackend::hasDevice()
{
    QMutexLocker lock(&m_mutex);
    return !m_device.path.isEmpty();
}

bool CMeskModemManagerBackend::readyState(int* state)
{
    QMutexLocker lock(&m_mutex);
    if (m_device.path.isEmpty())
        return false;
    *state = MeskModemManager::readyState(m_device.state, m_device.failedReason, m_device.unlockRequired);
    return true;
}

bool CMeskModemManagerBackend::hardwareRadio(int* radio)
{
    QMutexLocker lock(&m_mutex);
    if (m_device.path.isEmpty())
        return false;
    *radio = MeskModemManager::radio(m_device.state, m_device.powerState);
    return true;
}

bool CMeskModemManagerBackend::signalStrength(quint32* strength)
{
    QMutexLocker lock(&m_mutex);
    if (m_device.path.isEmpty())
        return false;
    *strength = MeskModemManager::signalStrength(m_device.signal);
    return true;
}

bool CMeskModemManagerBackend::homeProviderName(QString* name)
{
    QMutexLocker lock(&m_mutex);
    if (m_device.path.isEmpty())
        return false;
    *name = !m_device.simOperator.isEmpty() ? m_device.simOperator : m_device.networkOperator;
    return !name->isEmpty();
}

bool CMeskModemManagerBackend::ownNumbers(QStringList* numbers)
{
    QMutexLocker lock(&m_mutex);
    if (m_device.path.isEmpty())
        return false;
    *numbers = m_device.numbers;
    return true;
}

qint32 CMeskModemManagerBackend::smsInterfaces(QList<SMeskModemInterface>* interfaces)
{
    interfaces->clear();
    QMutexLocker lock(&m_mutex);
    if (m_device.path.isEmpty())
        return MeskMbnResult::Ok;
    SMeskModemInterface modem;
    modem.id = m_device.path;
    modem.cellularClass =
        (m_device.capabilities & (CapabilityGsmUmts | CapabilityLte | Capability5gnr)) != 0 ? 1 : 2;
    modem.smsCaps = m_device.messaging ? 1 : 0;
    modem.textLevel = true;
    interfaces->append(modem);
    return MeskMbnResult::Ok;
}

qint32 CMeskModemManagerBackend::smsOpen(const QString& interfaceId)
{
    QMutexLocker lock(&m_mutex);
    return !m_device.path.isEmpty() && interfaceId == m_device.path ? MeskMbnResult::Ok
                                                                    : MeskMbnResult::Failed;
}

qint32 CMeskModemManagerBackend::smsSendPdu(const QString&, const QString&, quint8, quint32*)
{
    // ModemManager has no raw-PDU send: this interface takes text.
    return MeskMbnResult::Failed;
}

qint32 CMeskModemManagerBackend::smsSendText(const QString& interfaceId, const QString& number,
                                             const QString& text, quint32* requestId)
{
    const quint32 id = nextRequestId();
    *requestId = id;
    QMetaObject::invokeMethod(
        m_worker,
        [worker = m_worker, interfaceId, number, text, id] {
            worker->sendText(interfaceId, number, text, id);
        },
        Qt::QueuedConnection);
    return MeskMbnResult::Ok;
}

qint32 CMeskModemManagerBackend::smsRead(const QString& interfaceId, quint32 flag, quint32,
                                         quint32* requestId)
{
    const quint32 id = nextRequestId();
    *requestId = id;
    QMetaObject::invokeMethod(
        m_worker, [worker = m_worker, interfaceId, flag, id] { worker->read(interfaceId, flag, id); },
        Qt::QueuedConnection);
    return MeskMbnResult::Ok;
}

qint32 CMeskModemManagerBackend::smsDelete(const QString&, quint32 index, quint32* requestId)
{
    const quint32 id = nextRequestId();
    *requestId = id;
    QMetaObject::invokeMethod(
        m_worker, [worker = m_worker, index, id] { worker->remove(index, id); }, Qt::QueuedConnection);
    return MeskMbnResult::Ok;
}

void CMeskModemManagerBackend::smsCancel()
{
    QMetaObject::invokeMethod(
        m_worker, [worker = m_worker] { worker->cancelSms(); }, Qt::QueuedConnection);
}

qint32 CMeskModemManagerBackend::smsStatus(const QString&, quint32* flag, quint32* index)
{
    QMutexLocker lock(&m_mutex);
    *flag = m_newMessages.isEmpty() ? 0 : 2;
    *index = m_newMessages.isEmpty() ? 0 : *m_newMessages.cbegin();
    return MeskMbnResult::Ok;
}

#include "meskmodemmanagerbackend.moc"
