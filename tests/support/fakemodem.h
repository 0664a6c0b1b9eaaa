#pragma once

#include "imeskmodembackend.h"

#include <QList>
#include <QMap>
#include <QMutex>
#include <QStringList>
#include <QThread>
#include <QWaitCondition>

#include <atomic>
#include <functional>
#include <memory>

// A modem backend that tests drive, from any thread.
//
//   auto* modem = new FakeModem;             // supported, no device yet
//   modem->setDevicePresent(true);           // emits interfaceArrival()
//   modem->setReadyState(1);                 // emits readyStateChange()
//   modem->setSignalStrength(20);            // emits signalStateChange()
//   modem->setQueryFails(FakeModem::Query::ReadyState, true);
//   emit modem->preferredProvidersChange();  // any signal by hand
//
// Every setter is thread-safe and emits its event on the calling thread, so
// a test can play changes from another thread with FakeModemDriver. While
// silent, setters change the values without emitting. Queries fail while no
// device is present. Hand the fake to the network manager through
// MeskNetworkBackends::setFactory.
//
// SMS side (needs a device; without one the interface list is empty and every
// other SMS call answers MeskMbnResult::Failed):
//
//   modem->setSmsInterfaces({FakeModem::gsmInterface()});   // the default
//   modem->setSimMessage(3, 0, "0791...");                   // index, status, hex
//   modem->setSendSteps({FakeModem::SendStep::refuse(MeskMbnResult::SmsOperationNotAllowed)});
//   modem->setDefaultSendStep(FakeModem::SendStep::never());
//   modem->injectIncoming("0004...", false);                 // stores it, emits smsStatusChange()
//   modem->smsLog();                                         // "send 0031... 15", "read 2 1", "delete 3",
//   ...
//
// smsRead with flag 0 lists every stored message, with flag 2 the new
// (status 0) ones, which it marks read (1). smsDelete removes the index at
// once (unless setDeleteStatus scripts a failure) and confirms it later.
//
// Completions, read and delete answers come from an event thread the fake
// owns (and, for send steps that ask for it, from a second one); both are
// joined by the destructor, so release whatever listens before deleting the
// fake. Request ids count from 1, shared by every SMS call.
class FakeModem : public IMeskModemBackend
{
    Q_OBJECT
public:
    enum class Query
    {
        ReadyState,
        HardwareRadio,
        SignalStrength,
        HomeProvider,
        OwnNumbers
    };

    // The SMS calls whose result setSmsResult scripts.
    enum class SmsCall
    {
        Interfaces,
        Capability,
        Open,
        Read,
        Delete,
        Status
    };

    // How one smsSendPdu call answers.
    struct SendStep
    {
        enum Kind
        {
            Complete,           // smsSendComplete(id, status) after msecs
            CompleteDuringCall, // the completion starts before smsSendPdu returns
            Refuse,             // smsSendPdu returns result, no event
            Never               // accepted, never answered
        };
        Kind kind = Complete;
        int msecs = 0;
        qint32 status = MeskMbnResult::Ok; // status of the completion, or the refusal's result
        bool secondThread = false;         // complete from the second event thread

        static SendStep complete(int msecs = 0, qint32 status = MeskMbnResult::Ok, bool secondThread = false)
        {
            return {Complete, msecs, status, secondThread};
        }
        static SendStep duringCall() { return {CompleteDuringCall, 0, MeskMbnResult::Ok, false}; }
        static SendStep refuse(qint32 result) { return {Refuse, 0, result, false}; }
        static SendStep never() { return {Never, 0, MeskMbnResult::Ok, false}; }
    };

    explicit FakeModem(QObject* parent = nullptr);
    ~FakeModem() override;

    // open() answers false when unsupported.
    void setSupported(bool supported);
    void setWatchFails(bool fails);
    // While held, smsWatch() (the SMS manager's first call) waits until the hold is lifted.
    void setSmsWatchHeld(bool held);
    void setSilent(bool silent);

    // Emits interfaceArrival() or interfaceRemoval() when presence changes.
    void setDevicePresent(bool present);
    // The modem's ready state (0 to 7, see IMeskModemBackend); emits readyStateChange().
    void setReadyState(int state);
    // 0 off, 1 on; emits radioStateChange().
    void setRadio(int radio);
    // Raw 0 to 31 or 99; emits signalStateChange().
    void setSignalStrength(quint32 strength);
    // Emits homeProviderAvailable().
    void setHomeProvider(const QString& name);
    // Emits subscriberInformationChange().
    void setOwnNumbers(const QStringList& numbers);
    // Makes one query answer false until cleared.
    void setQueryFails(Query query, bool fails);

    // How often a query was asked.
    int queryCount(Query query) const;

    static SMeskModemInterface gsmInterface(const QString& id = QStringLiteral("gsm"));
    static SMeskModemInterface cdmaInterface(const QString& id = QStringLiteral("cdma"));
    static SMeskModemInterface noSmsInterface(const QString& id = QStringLiteral("nosms"));
    // The interfaces smsInterfaces lists (default: one GSM interface with SMS).
    void setSmsInterfaces(const QList<SMeskModemInterface>& interfaces);
    // Makes one SMS call (for Capability: every interface's capability query)
    // answer result; MeskMbnResult::Ok restores it.
    void setSmsResult(SmsCall call, qint32 result);
    // Statuses of the read and delete completions (a failed read lists nothing).
    void setReadStatus(qint32 status);
    void setDeleteStatus(qint32 status);

    // The SIM store. setSimMessage emits nothing.
    void setSimMessage(quint32 index, quint32 status, const QString& hex);
    QMap<quint32, SMeskSmsReadPdu> simMessages() const;
    // Stores a received message at a new index and returns it; then emits
    // smsStatusChange() (the message is new), or smsNewClass0Message() with
    // the message (stored as already read), on the calling thread.
    quint32 injectIncoming(const QString& hex, bool class0);

    // Send steps are used one per smsSendPdu call, then the default step.
    void setSendSteps(const QList<SendStep>& steps);
    void setDefaultSendStep(const SendStep& step);

    // Every SMS call, in order: "interfaces", "open <id>", "send <hex> <length>",
    // "read <flag> <format>", "delete <index>", "status".
    QStringList smsLog() const;
    // The entries of smsLog() that start with prefix.
    QStringList smsCalls(const QString& prefix) const;
    void clearSmsLog();
    // Waits until both event threads have nothing due within delayLimit ms
    // and run nothing; false on time-out.
    bool waitForSmsEvents(int msecs = 30000, int delayLimit = 1000);

    bool open() override;
    bool watch() override;
    bool hasDevice() override;
    bool readyState(int* state) override;
    bool hardwareRadio(int* radio) override;
    bool signalStrength(quint32* strength) override;
    bool homeProviderName(QString* name) override;
    bool ownNumbers(QStringList* numbers) override;

    qint32 smsInterfaces(QList<SMeskModemInterface>* interfaces) override;
    qint32 smsOpen(const QString& interfaceId) override;
    qint32 smsSendPdu(const QString& interfaceId, const QString& hexText, quint8 length,
                      quint32* requestId) override;
    qint32 smsRead(const QString& interfaceId, quint32 flag, quint32 format, quint32* requestId) override;
    qint32 smsDelete(const QString& interfaceId, quint32 index, quint32* requestId) override;
    qint32 smsStatus(const QString& interfaceId, quint32* flag, quint32* index) override;
    bool smsWatch() override;

    class EventThread;

protected:
    // Counts the query and tells whether it may answer; call with m_mutex held.
    bool answersLocked(Query query);
    bool silent() const;

    mutable QMutex m_mutex;

private:
    static constexpr int QueryKinds = 5;

    bool m_supported = true;
    bool m_watchFails = false;
    QMutex m_holdMutex;
    QWaitCondition m_holdLifted;
    bool m_watchHeld = false;
    bool m_silent = false;
    bool m_present = false;
    int m_readyState = 0;
    int m_radio = 1;
    quint32 m_signal = 99;
    QString m_provider;
    QStringList m_numbers;
    bool m_fails[QueryKinds] = {};
    int m_counts[QueryKinds] = {};

    // Checks the device, the interface and the scripted result of call; logs entry.
    qint32 smsCallLocked(SmsCall call, const QString& interfaceId, const QString& entry);
    EventThread& eventsLocked(bool second);

    static constexpr int SmsCallKinds = 6;
    QList<SMeskModemInterface> m_interfaces;
    qint32 m_smsResults[SmsCallKinds] = {};
    qint32 m_readStatus = MeskMbnResult::Ok;
    qint32 m_deleteStatus = MeskMbnResult::Ok;
    QMap<quint32, SMeskSmsReadPdu> m_sim;
    quint32 m_nextIndex = 1;
    quint32 m_lastNewIndex = 0;
    QList<SendStep> m_sendSteps;
    SendStep m_defaultSendStep;
    QStringList m_smsLog;
    quint32 m_nextRequestId = 1;
    std::unique_ptr<EventThread> m_events;
    std::unique_ptr<EventThread> m_sendEvents;
};

// Plays changes on a FakeModem from a thread of its own.
//
//   FakeModemDriver driver(modem);
//   driver.play({[](FakeModem& m) { m.setDevicePresent(true); },
//                [](FakeModem& m) { m.setReadyState(1); }});
//   driver.wait();
//   driver.playRepeatedly([](FakeModem& m, int round) { m.setSignalStrength(round % 32); });
//   ...
//   driver.stop();   // ends the repetition and waits for the thread
class FakeModemDriver
{
public:
    using Step = std::function<void(FakeModem&)>;
    using RepeatedStep = std::function<void(FakeModem&, int round)>;

    explicit FakeModemDriver(FakeModem* modem);
    ~FakeModemDriver();
    FakeModemDriver(const FakeModemDriver&) = delete;
    FakeModemDriver& operator=(const FakeModemDriver&) = delete;

    // Runs the steps in order on the driver's thread; returns at once. A
    // script that is still playing is finished first.
    void play(QList<Step> script);
    // Runs the step again and again, counting rounds from 0, until stop().
    void playRepeatedly(RepeatedStep step);
    // Plays the script and waits for its end.
    bool run(QList<Step> script);
    // Waits for the script to end; false on timeout.
    bool wait(int msecs = 30000);
    // Ends a repetition after its current round, and waits.
    void stop();

    QThread* thread() const { return m_thread.get(); }
    int rounds() const { return m_rounds.load(); }

private:
    FakeModem* m_modem;
    std::unique_ptr<QThread> m_thread;
    std::atomic_bool m_stop = false;
    std::atomic_int m_rounds = 0;
};
