#pragma once

#include "imesksms.h"
#include "meskmbnsmsmanager.h"

#include <QHash>
#include <QMap>
#include <QMetaObject>
#include <QRecursiveMutex>
#include <QSet>

#include <atomic>
#include <functional>
#include <memory>

class IMeskModemBackend;
class QThread;

// The SMS engine. It derives the SMS availability from the network manager's
// cellular state, sends and receives text messages through the modem's SMS
// manager, stores every message and keeps the ones being sent until the
// network confirms or refuses them.
//
// Threads: the engine lives on the GUI thread. start() runs a worker thread
// (a QThread with an event loop) that creates the SMS manager, keeps it while
// the loop runs and deletes it at the loop's end; stop() ends the loop and
// waits for the worker, never killing it. The manager reports on its own
// threads; each report is only handed to the GUI thread, where the pending
// table, the storage and the signals are dealt with. So every signal is
// emitted, and the storage used, on the GUI thread; a confirmation that races
// send() is handled after sendMessage() has returned. Reports of a run that
// stop() ended are dropped.
class CMeskSmsEngine : public IMeskSmsEngine, public IMeskMbnSmsManagerObserver
{
    Q_OBJECT
public:
    explicit CMeskSmsEngine(QObject* parent = nullptr);
    ~CMeskSmsEngine() override;

    void start(IMediaItemStorage* storage, CMeskNetworkManager* network) override;
    void stop() override;
    TMeskSmsState state() const override { return m_state; }
    bool isSmsSupported() const override { return true; }
    bool isSmsReady() const override;
    bool readSimMessages() override;
    bool sendMessage(const QString& phone, const QString& text) override;
    void forgetMessage(const SSmsMessage& message) override;
    void smsTextLength(const QString& text, int* used, int* left, int* parts) override;

    // Whether no read of every message and no delete that this run asked for still waits for
    // the modem.
    bool isIdle() const { return m_reads.isEmpty() && m_entryOfIndex.isEmpty(); }

    // The SMS availability that a cellular device state (0 to 5) gives; any
    // other value keeps the current one.
    static TMeskSmsState stateForCellular(int cellularState, TMeskSmsState current);
    // The text logged for a manager error code; empty for 17 and above.
    static QString errorText(quint32 errorCode);

    // For tests: run on the worker thread right after it posted its step to the GUI thread, once it
    // has tried to make the manager (empty: nothing). Set while no engine runs.
    static void setInitHook(std::function<void()> hook);

    // IMeskMbnSmsManagerObserver: called on the manager's threads.
    void onMeskMbnSmsManagerNotification() override;
    void onMeskMbnSmsManagerMessageReceived(quint32 status, const QString& number, const QString& text,
                                            quint32 timeStamp, const QList<quint32>& indices,
                                            const SMeskSmsOrigin& origin, quint32 readId, bool reloaded,
                                            quint32 renewal, const QString& sim) override;
    void onMeskMbnSmsManagerReadListed(quint32 readId, const QList<SMeskSmsOrigin>& listed,
                                       const QString& objectSet, const QString& sim) override;
    void onMeskMbnSmsManagerReadEnded(quint32 readId, bool complete, const QList<SMeskSmsOrigin>& listed,
                                      const QString& objectSet, const QString& sim) override;
    void onMeskMbnSmsManagerMessagesRenewed(bool announced, quint32 renewal) override;
    void onMeskMbnSmsManagerSendCreated(quint32 requestId, const SMeskSmsOrigin& origin,
                                        const QString& sim) override;
    void onMeskMbnSmsManagerSendDone(quint32 requestId) override;
    void onMeskMbnSmsManagerSendFailed(quint32 requestId, quint32 errorCode) override;
    void onMeskMbnSmsManagerError(quint32 errorCode) override;
    void onMeskMbnSmsManagerDeleteDone(quint32 index, quint32 errorCode) override;

    // The service key (under the SMS column's id) that listed the messages still on the modem
    // before the storage had a table for them (a JSON array, oldest first; an older form held
    // their rows' ids, separated by blanks). Carried over into the table once, and removed.
    static QString onModemKey();

private slots:
    void _onCellularStateChanged();
    void _onCellularSignalChanged();

private:
    class Worker;

    void updateState();
    void setState(TMeskSmsState state);

    // Worker thread.
    std::unique_ptr<CMeskMbnSmsManager> initMbn(IMeskModemBackend* backend);
    void releaseMbn();
    // Posts the step that follows the manager's making to the GUI thread, then runs the hook.
    void postInitStep(std::function<void()> step);
    static std::function<void()>& initHook();
    static void runInitHook();

    // Runs work on the GUI thread unless stop() ends this run first.
    template <typename Work> void toGuiThread(Work work);

    // GUI thread.
    void sendEnded(quint32 requestId, bool done);
    // Logs an error the modem reports when it starts and when it ends (an empty error:
    // the modem answered normally).
    void noteCondition(const QString& error);
    struct OnModem;
    struct Read;
    // A message reported by the manager, waiting for the GUI thread.
    struct Incoming
    {
        quint32 status = 0;
        QString number;
        QString text;
        quint32 timeStamp = 0;
        QList<quint32> indices;
        SMeskSmsOrigin origin;
        quint32 readId = 0;
        bool reloaded = false;
        quint32 renewal = 0;
        QString sim;
    };
    // What taking messages in leads to once its transaction is committed.
    struct Outcome
    {
        QList<QPair<quint64, QList<quint32>>> deletes; // entry serial, the indices to delete
        QList<SSmsMessage> settled;                    // marked sent
        QList<QPair<SSmsMessage, quint32>> announced;  // stored, with the status reported
    };
    // Takes in the messages waiting, in one transaction; then asks their deletes and announces them.
    void storeIncoming();
    void receive(const Incoming& incoming, Outcome& outcome);
    // A stored message the modem still holds, read again: its note learns where it is now, and its
    // delete is asked again once the transaction is committed.
    void noteSightingAndDeleteAgain(OnModem& entry, const SMeskSmsOrigin& origin, const Incoming& incoming,
                                    Outcome& outcome);
    // The entry of the message read, or null: the same object, else, for a message found by a
    // read of every message or announced as the modem made its messages anew (read not null),
    // one that is alike and not yet found by the same read (or since the same renewal), whose set
    // of objects is another (or not known); of the same set only with the same service-centre
    // time, and only when the modem's service took its object away with the message maybe still
    // on the SIM, or the read's list does not name it. A message the program made is found by its
    // object, and by what it holds only once its set is gone. A message without a service-centre
    // time is found by what it holds only in a note of its SIM (sim) or of no SIM (or, read while the
    // SIM was not known, in any).
    OnModem* findOnModem(const SSmsMessage& message, quint32 timeStamp, const SMeskSmsOrigin& origin,
                         const QString& sim, const Read* read);
    // A message the program made to send, found on the modem: the row takes what became of it,
    // and the object is deleted.
    void finishOwnSend(OnModem& entry, quint32 status, const QList<quint32>& indices, Outcome& outcome);
    // A complete read forgets the notes of its SIM (or of no SIM) it did not find.
    void readEnded(quint32 readId, bool complete, const QList<SMeskSmsOrigin>& listed,
                   const QString& objectSet, const QString& sim);
    // A set of message objects is seen under the name current: the notes that name the same set
    // otherwise (SMeskSmsObjectSet::sameSet: a start that saw no reload carries over the name of
    // the last run) take this name, so that one set has one name.
    void carryOverSetName(const QString& current);
    void deleteEnded(quint32 index, quint32 errorCode);
    // Deletes this sighting of the entry's message; its entry goes once each index is confirmed.
    void deleteFromModem(OnModem& entry, const QList<quint32>& indices);
    // Reads the notes of the messages the modem may hold; entries made in this run stay. False when
    // they cannot be read: no read of the modem is made until they can (it would store again every
    // message they tell of).
    bool loadOnModem();
    // Moves the list kept under onModemKey() into the storage's table. False, with nothing written,
    // when what it needs cannot be read.
    bool carryOverOnModem(const QString& value);
    void writeOnModem(const OnModem& entry);
    // Writes the entry's note with the others queued in the same turn, in one transaction (the
    // answers of many deletes come together).
    void queueWrite(const OnModem& entry);
    void writeQueued();
    template <typename Predicate> qsizetype removeOnModem(Predicate predicate);
    // Deletes the notes of the entries removed since the last time.
    void forgetRemoved();

    // Messages handed to the modem and not yet confirmed, by request id;
    // guarded by m_mutex, which sendMessage holds across the hand-over.
    QHash<quint32, SSmsMessage> m_pending;
    // Messages reported failed in this run, by request id, newest last: a later confirmation
    // marks them sent. Guarded by m_mutex.
    QList<QPair<quint32, SSmsMessage>> m_failedSends;
    QRecursiveMutex m_mutex;

    // Set on the worker thread (release), read on the GUI thread (acquire).
    // Both are cleared before the manager is deleted, which happens only while
    // stop() waits for the worker.
    std::atomic<CMeskMbnSmsManager*> m_manager = nullptr;
    std::atomic_bool m_mbnReady = false;
    // Set on the worker thread once it has tried to make the manager.
    std::atomic_bool m_initDone = false;
    // Counts the runs that stop() ended; a report carries the run it belongs to.
    std::atomic<quint64> m_run = 0;

    CMeskNetworkManager* m_network = nullptr;
    IMediaItemStorage* m_storage = nullptr;
    TMeskSmsState m_state = TMeskSmsState(0);
    // The error the modem keeps reporting, on the GUI thread.
    QString m_condition;

    // The messages the modem may still hold (their delete was refused or not yet confirmed),
    // kept in the storage across starts: a message read again matches one of them instead of
    // being stored again, and one the user deleted is not shown again. GUI thread.
    struct OnModem
    {
        SSmsOnModem noted;  // as the storage keeps it (id 0: the storage could not keep it)
        quint64 serial = 0; // order of making, in this run
        // Made by the program in this run to send a message: what becomes of it is learnt from
        // the send, not from a read.
        bool live = false;
        // The delete of its latest sighting: the indices not yet answered, and whether one was
        // refused.
        QSet<quint32> deleting;
        bool deleteRefused = false;
        // Its note said at the start that a delete was pending when the program last stopped: the
        // first sighting, or the first complete read, settles what became of it.
        bool pendingBefore = false;

        SMeskSmsOrigin origin() const { return {noted.objectSet, noted.object}; }
        void setOrigin(const SMeskSmsOrigin& origin)
        {
            noted.objectSet = origin.objectSet;
            noted.object = origin.object;
        }
    };
    // A read of every message that this engine asked for: what existed when it began and what
    // it found. Each entry is found at most once per read, so two messages on the modem are
    // never merged.
    struct Read
    {
        quint64 before = 0; // entries up to this serial existed when it began
        quint64 order = 0;  // reads asked before it have a lower one (0: the messages of a renewal)
        QSet<quint64> found;
        // The objects the modem listed for it, told before its messages (listKnown).
        QSet<SMeskSmsOrigin> listed;
        bool listKnown = false;
    };
    // Forgets the notes of messages without a time that a read's list of their set no longer names.
    void forgetUnlisted(const Read& read, const QString& objectSet, const QString& sim);
    QList<OnModem> m_onModem;
    QHash<quint32, Read> m_reads;
    // The messages announced as the modem made its messages anew, by renewal (0: before the first
    // one this run learnt of): each entry is found at most once among those of one renewal.
    QMap<quint32, Read> m_reloads;
    // The latest renewal of the modem's messages known (SMeskSmsReadPdu::renewal); a message read
    // in an earlier one is matched only within its own, and changes no entry's origin.
    quint32 m_renewal = 0;
    quint64 m_serial = 0;
    quint64 m_readsAsked = 0;
    QList<Incoming> m_incoming;
    QList<mid_t> m_removed;                 // notes of removed entries, not yet deleted from the storage
    QSet<mid_t> m_queuedWrites;             // notes changed, not yet written (queueWrite)
    QHash<quint32, quint64> m_entryOfIndex; // SIM index being deleted -> its entry's serial
    bool m_refusalLogged = false;
    // A SIM read was asked for before the worker made the manager. GUI thread.
    bool m_readWanted = false;
    // The modem made its messages anew, and no read of every message began since. GUI thread.
    bool m_readOwed = false;
    // The notes of the messages on the modem have been read; until they are, the messages reported
    // wait in m_incoming. GUI thread.
    bool m_notesRead = false;
    bool m_holdLogged = false;
    // The names of sets of message objects carried over to since the notes were read.
    QSet<QString> m_setNamesSeen;
    QMetaObject::Connection m_stateConnection;
    QMetaObject::Connection m_signalConnection;

    Worker* m_worker = nullptr;
    // Lives on the worker thread: work queued to it runs inside its loop.
    QObject* m_workerContext = nullptr;
};
