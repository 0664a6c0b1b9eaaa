#pragma once

#include <QHash>

#include <QDBusConnection>
#include <QDBusMessage>
#include <QMap>
#include <QObject>
#include <QProcess>
#include <QSet>

#include <QVariantMap>
#include <functional>

// A private message bus: dbus-daemon as a child in a process group of its own, ended with its owner
// (and, should the owner die, by the system). It listens on an abstract socket, so however it ends it
// leaves no socket file.
class PrivateBus
{
public:
    PrivateBus() = default;
    ~PrivateBus();
    PrivateBus(const PrivateBus&) = delete;
    PrivateBus& operator=(const PrivateBus&) = delete;

    // Whether there is a dbus-daemon to start.
    static bool isDaemonInstalled();
    // False (with a reason in error()) when dbus-daemon is missing or does not start.
    bool start();
    // Starts the bus with this configuration instead of the session one: the file is written to a
    // temporary folder, and its <listen> is the bus's own (limits such as the system bus's
    // max_replies_per_connection can so be tried on a bus the test owns).
    bool start(const QString& configuration);
    // A session-type configuration with the system bus's default limits (dbus-daemon's built-in
    // ones, which Debian's system.conf leaves as they are): 128 calls waiting per connection. Each
    // call names a fresh address to listen on, an abstract socket (no file is left behind).
    static QString systemLimitsConfiguration();
    void stop();
    QString address() const { return m_address; }
    QString error() const { return m_error; }

private:
    bool launch(const QStringList& arguments);

    QProcess m_daemon;
    QString m_configFile;
    QString m_address;
    QString m_error;
};

// The network managers made from now on get a fake network backend and a ModemManager layer of
// their own on the bus at address, through a connection of that name (undone by
// MeskNetworkBackends::setFactory({})).
void useModemManagerAt(const QString& address, const QString& connection);

// The values of the Sms property Storage the stand-in gives: the SIM, or the modem's own memory (where
// ModemManager 1.20 keeps new messages when it can; they stay when the SIM is swapped).
constexpr quint32 StorageSm = 1;
constexpr quint32 StorageMe = 2;

// A stand-in ModemManager on a bus: the object manager, one modem with a SIM
// and the Messaging interface, and its messages (and, when asked, a second modem
// with a SIM of its own and no messages). It answers on the thread it lives on.
class FakeModemManagerService : public QObject
{
    Q_OBJECT
public:
    explicit FakeModemManagerService(QObject* parent = nullptr);
    ~FakeModemManagerService() override;

    // Connects to the bus and takes ModemManager's name.
    bool start(const QString& address);
    // Leaves the bus: calls still waiting for an answer fail with NoReply.
    void stop();
    // Leaves the bus and comes back, as ModemManager does when it restarts: it numbers its
    // objects afresh, so the modem and its messages come back at the paths of its first run
    // (the messages made by Create do not come back), and the modem is switched on again.
    bool restart();

    // Adds the modem (GSM and LTE, SIM with its own number): it comes disabled and is switched on
    // at once (enableModem), ending registered. Like ModemManager, each modem added gets a path of
    // its own, and messages kept meanwhile come with new paths.
    void addModem(quint32 capabilities = (1u << 2) | (1u << 3));
    void removeModem();
    // Switches the modem off as ModemManager does (a modem reset, a suspend): disabling, every
    // message object dropped without a Deleted signal (those made by Create for good), disabled.
    // As with ModemManager, a disable asked while the modem is being switched on waits for the
    // enable to reach its final state (finishEnabling: enabled), and only then runs.
    void disableModem();
    // Switches it on: beginEnabling, loadMessages, finishEnabling.
    void enableModem();
    // State enabling: List and Create are refused until finishEnabling, Delete is allowed.
    void beginEnabling();
    // The messages kept on the SIM come at new paths, each announced with Added while enabling:
    // received = true for a received message, false for one kept as sent or unsent.
    void loadMessages();
    // State enabled, then registered (or, when a disable waited for the enable, disabled at once).
    void finishEnabling();
    // Whether a disable waits for the enable to end.
    bool disableWaiting() const { return m_disableWaiting; }
    QString modemPath() const { return m_modemPath; }
    // Sets a Modem property and announces it.
    void setModemProperty(const QString& name, const QVariant& value);
    // The next modem added gets this number (ModemManager numbers its modems from one counter of its
    // run: /Modem/10 comes after /Modem/9, and before it in the order of the paths).
    void setNextModemNumber(int number) { m_nextModem = number; }
    // The SIM in the modem (SimIdentifier, Imsi) and the one out of it.
    QString simIdentifier() const { return m_sim.identifier; }
    // The user swaps the SIM for the other one, as ModemManager sees it: the modem goes (it is
    // disabled and probed again), the SIM's messages go with the SIM while those in the modem's memory
    // (Storage ME) stay, and the modem comes back at a new path with a new SIM object naming the
    // other SIM, whose messages it loads as it is switched on.
    void swapSim();
    // A second modem (GSM and LTE, registered) with a SIM of its own and no messages, numbered from
    // the same counter; removeSecondModem: it goes.
    void addSecondModem();
    void removeSecondModem();
    QString secondModemPath() const { return m_second.path; }

    // Stores a message (state RECEIVED by default). announce: as a message
    // that arrives now (Added, with RECEIVING first when state says so).
    QString addMessage(const QString& number, const QString& text, quint32 state = 3, quint32 pduType = 1,
                       bool announce = false);
    void setMessageState(const QString& path, quint32 state);
    // The message is deleted, by another client or by a Delete call (the SIM keeps it when its delete
    // failed once).
    void removeMessage(const QString& path);
    // Sets an Sms property without announcing it (e.g. "Data" with "Text" empty: a data message).
    void setMessageProperty(const QString& path, const QString& name, const QVariant& value)
    {
        m_messages[path].insert(name, value);
    }
    QStringList messagePaths() const { return m_messages.keys(); }
    QString messageText(const QString& path) const;
    // All Sms properties of a message (empty for an unknown path).
    QVariantMap messageProperties(const QString& path) const;

    // Every message the stand-in holds has a hidden identity (never seen on the bus) that stays with
    // it through new objects (a restart, a power cycle, a modem added again) and a delete that left
    // it on the SIM; 0 for an unknown path.
    int messageIdentity(const QString& path) const;
    // What became of every message the stand-in ever held, by identity, from the first time it held
    // it: the truth a check of what a client stored compares with.
    struct History
    {
        int identity = 0;
        QString number;
        QString text;
        QString timestamp;            // empty: none (a message kept as sent)
        quint32 state = 0;            // as it was last held
        bool created = false;         // made by Create (a client's own message being sent)
        bool deletedByCall = false;   // a Delete call answered success for one of its objects
        bool deletedByClient = false; // removeMessage: another client deleted it
        bool placeLost = false; // a Delete failed with Core.Failed: a later success leaves it on the SIM
        bool held = false;      // on the modem now: an object, or kept on the SIM to come back
    };
    QList<History> history() const;

    // Deletes fail with this error name (empty: they succeed), e.g.
    // "org.freedesktop.ModemManager1.Error.Core.Unauthorized" as for a session without the right.
    void setDeleteError(const QString& errorName) { m_deleteError = errorName; }
    // The next Delete fails with Core.Failed, as ModemManager answers when the modem fails to delete
    // a part: it keeps the object, but the part has lost its place on the SIM, so a later Delete of
    // that object answers success and drops it while the SIM keeps the message (it comes back when
    // the modem is switched on again or the service restarts).
    void failNextDelete() { m_failNextDelete = true; }
    // The next GetAll of the message at path fails once with this error name.
    void failNextRead(const QString& path, const QString& errorName) { m_failReads.insert(path, errorName); }
    // The next call of a method (by member name) fails once with this error name.
    void failNextCall(const QString& member, const QString& errorName)
    {
        m_failCalls.insert(member, errorName);
    }
    // The next GetAll of the message at path (after a failure set for it) gets no answer until
    // answerHeldReads, which answers it with the values it had when it came.
    void holdNextRead(const QString& path) { m_holdReads.insert(path); }
    int answerHeldReads();
    // Runs action just after the next GetAll of the message at path is answered, as the service's
    // next step (its signals reach only those already following them).
    void afterNextRead(const QString& path, std::function<void()> action)
    {
        m_afterReads.insert(path, std::move(action));
    }
    // Calls of a method (by member name) so far.
    int callCount(const QString& member) const { return m_callCounts.value(member); }
    // Get and GetAll calls on the object at path so far.
    int propertyCalls(const QString& path) const { return m_propertyCalls.value(path); }
    // Delete calls of the object at path so far.
    int deleteCalls(const QString& path) const { return m_deleteCalls.value(path); }
    // Get and GetAll calls on message objects so far.
    int messagePropertyCalls() const;
    // Runs action as the call of member that makes callCount(member) reach count comes, before it
    // is answered.
    void atCall(const QString& member, int count, std::function<void()> action)
    {
        m_atCall = {member, count, std::move(action)};
    }
    // Deletes of the object at path fail with errorName the next times times (negative: always).
    // Core.Failed does as failNextDelete: the object stays, and the part has lost its place.
    void failDeleteOf(const QString& path, const QString& errorName, int times = 1)
    {
        m_deleteFailures.insert(path, {errorName, times});
    }
    // A hook runs as a call comes, before it is answered (and before any failure set for it):
    // member is its method's name, object the object it names (for Delete, the message it deletes;
    // otherwise its path). It stays while it returns true. Hooks run in the order they were added.
    using Hook = std::function<bool(const QString& member, const QString& object)>;
    void addHook(const QString& member, const QString& object, Hook hook)
    {
        m_hooks.append({member, object, std::move(hook)});
    }
    void clearHooks() { m_hooks.clear(); }
    // Deletes are held without an answer (until the service leaves the bus).
    void setDeleteHeld(bool held) { m_deleteHeld = held; }
    // Answers the held deletes, also when their caller has left: "ok" (the object goes), "failed"
    // (Core.Failed, as failNextDelete) or "refused" (Core.Unauthorized). Returns how many there were.
    int answerHeldDeletes(const QString& outcome);
    // The objects the held deletes name, in the order they came.
    QStringList heldDeletes() const;
    // GetAll of a message is answered ms after it comes, with the values it had when it came, as a
    // busy bus delivers it (0: at once). Answers still on their way when the service leaves the
    // bus are sent before it goes.
    void setReadDelay(int ms) { m_readDelay = ms; }

    // Sends fail with this error name (empty: they succeed).
    void setSendError(const QString& errorName) { m_sendError = errorName; }
    // Sends are never answered.
    void setSendSilent(bool silent) { m_sendSilent = silent; }
    // Each message sent is answered with "Got it: " + its text after delay ms; negative: never.
    void setAnswerDelay(int ms) { m_answerDelay = ms; }

    struct Sent
    {
        QString number;
        QString text;
    };
    QList<Sent> sent() const { return m_sent; }
    // Sends held without an answer (setSendSilent).
    int heldSends() const { return int(m_unanswered.size()); }
    // Ends the held sends, as ModemManager does also when their caller has left: sent (state
    // SENT, answered) or failed (the state left as it was, answered with an error).
    void finishHeldSends(bool sent);

    // Handles one call to the service's objects (for the object tree).
    bool handle(const QDBusMessage& message, const QDBusConnection& connection);

signals:
    void messageSent(const QString& number, const QString& text);
    // A message was stored (addMessage, also a Create or an answer) or deleted (a Delete call,
    // removeMessage).
    void messageAdded(const QString& path);
    void messageDeleted(const QString& path);

private:
    QVariantMap modemProperties() const;
    QMap<QString, QVariantMap> modemInterfaces() const;
    static QVariantMap newModem(quint32 capabilities);
    static QMap<QString, QVariantMap> interfacesOf(const QVariantMap& modem, const QString& simPath);
    void emitSignal(const QString& path, const QString& interface, const QString& name,
                    const QVariantList& arguments);
    QString nextPath(const QString& kind);
    // Every message at a new path.
    void renumberMessages();
    // The modem is switched off: its message objects go, what the SIM holds stays to be loaded.
    void keepOnSim();
    void dropCreatedMessages();
    void answerSent(const QString& path);
    // Records a message now held (a new identity when it has none) in the history.
    void noteHeld(QVariantMap& message);
    // The object goes as a Delete call or another client deletes it.
    void dropMessage(const QString& path, bool byCall);
    void runHooks(const QString& member, const QString& object);

    class Tree;
    Tree* m_tree = nullptr;
    QString m_connectionName;
    QString m_address;
    int m_run = 0;
    int m_nextObject = 0;
    int m_nextModem = 0;
    bool m_hasModem = false;
    QMap<QString, QVariantMap> m_disabledMessages; // kept on the SIM while the modem is off
    struct Sim
    {
        QString identifier;
        QString imsi;
        QMap<QString, QVariantMap> messages; // out of the modem: the messages it keeps
    };
    Sim m_sim{QStringLiteral("89014103211118510720"), QStringLiteral("310150123456789"), {}};
    Sim m_otherSim{QStringLiteral("89014103211118510738"), QStringLiteral("310150987654321"), {}};
    int m_swaps = 0;
    struct SecondModem
    {
        QString path;
        QString simPath;
        QVariantMap modem;
    };
    SecondModem m_second;
    QSet<QString> m_holdReads;
    QList<QDBusMessage> m_heldReads;
    QString m_modemPath;
    QString m_simPath;
    QVariantMap m_modem;
    QMap<QString, QVariantMap> m_messages; // path -> Sms properties
    QSet<QString> m_created;               // made by Create: gone for good when the modem is
    QString m_sendError;
    QString m_deleteError;
    QHash<QString, QString> m_failReads;
    QHash<QString, QString> m_failCalls;
    QHash<QString, std::function<void()>> m_afterReads;
    QHash<QString, int> m_callCounts;
    QHash<QString, int> m_propertyCalls;
    QHash<QString, int> m_deleteCalls;
    bool m_failNextDelete = false;
    bool m_disableWaiting = false;
    int m_nextIdentity = 0;
    QMap<int, History> m_history;
    struct DeleteFailure
    {
        QString errorName;
        int times = 0;
    };
    QHash<QString, DeleteFailure> m_deleteFailures;
    struct HookEntry
    {
        QString member;
        QString object;
        Hook hook;
    };
    QList<HookEntry> m_hooks;
    QSet<QString> m_placeLost;            // objects whose delete failed
    QMap<QString, QVariantMap> m_simOnly; // dropped by a delete, still on the SIM
    bool m_sendSilent = false;
    bool m_deleteHeld = false;
    QList<QDBusMessage> m_heldDeletes;
    int m_readDelay = 0;
    QMap<quint64, QDBusMessage> m_lateReplies; // in the order they came
    quint64 m_lateCount = 0;
    struct AtCall
    {
        QString member;
        int count = 0;
        std::function<void()> action;
    };
    AtCall m_atCall;
    int m_answerDelay = -1;
    QList<Sent> m_sent;
    QList<QDBusMessage> m_unanswered;
};
