#pragma once

#include "imesksms.h"
#include "meskmbnsmsmanager.h"

#include <QHash>
#include <QMetaObject>
#include <QRecursiveMutex>
#include <QSet>

#include <atomic>
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
    void smsTextLength(const QString& text, int* used, int* left, int* parts) override;

    // The SMS availability that a cellular device state (0 to 5) gives; any
    // other value keeps the current one.
    static TMeskSmsState stateForCellular(int cellularState, TMeskSmsState current);
    // The text logged for a manager error code; empty for 16 and above.
    static QString errorText(quint32 errorCode);

    // IMeskMbnSmsManagerObserver: called on the manager's threads.
    void onMeskMbnSmsManagerNotification() override;
    void onMeskMbnSmsManagerMessageReceived(quint32 status, const QString& number, const QString& text,
                                            quint32 timeStamp, const QList<quint32>& indices) override;
    void onMeskMbnSmsManagerClass0MessageReceived(quint32 status, const QString& number, const QString& text,
                                                  quint32 timeStamp) override;
    void onMeskMbnSmsManagerSendDone(quint32 requestId) override;
    void onMeskMbnSmsManagerSendFailed(quint32 requestId, quint32 errorCode) override;
    void onMeskMbnSmsManagerError(quint32 errorCode) override;
    void onMeskMbnSmsManagerDeleteDone(quint32 index, quint32 errorCode) override;

    // The service key (under the SMS column's id) that lists the stored messages still on the
    // modem: their rows' ids, oldest first.
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

    // Runs work on the GUI thread unless stop() ends this run first.
    template <typename Work> void toGuiThread(Work work);

    // GUI thread.
    void sendEnded(quint32 requestId, bool done);
    // Logs an error the modem reports when it starts and when it ends (an empty error:
    // the modem answered normally).
    void noteCondition(const QString& error);
    void messageReceived(quint32 status, const QString& number, const QString& text, quint32 timeStamp,
                         const QList<quint32>& indices);
    void deleteEnded(quint32 index, quint32 errorCode);
    void deleteFromModem(mid_t row, const QList<quint32>& indices);
    void loadOnModem();
    void saveOnModem();

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

    // Stored messages the modem may still hold (their delete was refused or not yet confirmed),
    // kept in the storage across starts: a message read again matches one of them instead of
    // being stored twice. Each row is matched by at most one message per run, so two messages
    // on the modem are never merged. GUI thread.
    QList<mid_t> m_onModem;
    QSet<mid_t> m_matched;
    QSet<mid_t> m_refused;
    QHash<quint32, mid_t> m_rowOfIndex; // SIM index being deleted -> its row
    bool m_refusalLogged = false;
    // A SIM read was asked for before the worker made the manager. GUI thread.
    bool m_readWanted = false;
    QMetaObject::Connection m_stateConnection;
    QMetaObject::Connection m_signalConnection;

    Worker* m_worker = nullptr;
    // Lives on the worker thread: work queued to it runs inside its loop.
    QObject* m_workerContext = nullptr;
};
