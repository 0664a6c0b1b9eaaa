#pragma once

#include "imeskmodembackend.h"
#include "mesksmswatchdog.h"
#include "smspdu.h"

#include <QList>
#include <QMap>
#include <QMetaObject>
#include <QMutex>
#include <QRecursiveMutex>
#include <QSet>
#include <QString>

#include <atomic>
#include <memory>

// What the SMS manager reports to its owner (the SMS engine). The calls come
// from the thread of the event that caused them (the modem's event threads,
// the watchdog's thread, or the caller of send for a refused first part),
// never with the manager's locks held, so the owner may take its own locks
// and call the manager back.
class IMeskMbnSmsManagerObserver
{
public:
    virtual ~IMeskMbnSmsManagerObserver() = default;
    // Never called.
    virtual void onMeskMbnSmsManagerNotification() = 0;
    // One complete message (status 0 new, 1 old, 2 draft, 3 sent, 4 kept unsent by a text-level
    // modem, reported by reads of every message only; the service centre's time in seconds since
    // 1970, UTC, 0 when it has none). It stays on the SIM until the owner, having stored it, hands
    // indices to deleteMessages. origin: where it lives on the modem, when the modem can tell;
    // readId: the read that found it (readAllMessages), 0 for a message that arrived; reloaded:
    // the modem announced it as it made its messages anew (SMeskSmsReadPdu::reloaded); renewal: the
    // renewal of the modem's messages it was read in (SMeskSmsReadPdu::renewal, 0: not known); sim:
    // the SIM it was read with (SMeskSmsReadPdu::sim, empty: not known).
    virtual void onMeskMbnSmsManagerMessageReceived(quint32 status, const QString& number,
                                                    const QString& text, quint32 timeStamp,
                                                    const QList<quint32>& indices,
                                                    const SMeskSmsOrigin& origin, quint32 readId,
                                                    bool reloaded, quint32 renewal, const QString& sim) = 0;
    // The objects of objectSet a read of every message found listed on the modem (SMeskSmsOrigin),
    // with sim in it, before the first of its messages is reported and before a renewal that came
    // after the list: also those it could not read or that are not complete yet. Not called when
    // the modem cannot name its messages.
    virtual void onMeskMbnSmsManagerReadListed(quint32 readId, const QList<SMeskSmsOrigin>& listed,
                                               const QString& objectSet, const QString& sim)
    {
        Q_UNUSED(readId);
        Q_UNUSED(listed);
        Q_UNUSED(objectSet);
        Q_UNUSED(sim);
    }
    // A read of every message ended, after its messages were reported. complete: it found every
    // message the modem holds, and listed names each of them, also those already reported
    // earlier in this run (which are not reported again); objectSet names the set of objects it read
    // (SMeskSmsOrigin::objectSet) and sim the SIM it read (empty: not known). A read that failed, or
    // whose modem cannot name its messages, is not complete.
    virtual void onMeskMbnSmsManagerReadEnded(quint32 readId, bool complete,
                                              const QList<SMeskSmsOrigin>& listed, const QString& objectSet,
                                              const QString& sim)
    {
        Q_UNUSED(readId);
        Q_UNUSED(complete);
        Q_UNUSED(listed);
        Q_UNUSED(objectSet);
        Q_UNUSED(sim);
    }
    // The modem made its messages anew: the origins reported so far name nothing now. announced:
    // each message made anew is reported as the modem makes it (with reloaded set); otherwise
    // only a read of every message finds them all. renewal: its number (smsMessagesRenewed).
    virtual void onMeskMbnSmsManagerMessagesRenewed(bool announced, quint32 renewal)
    {
        Q_UNUSED(announced);
        Q_UNUSED(renewal);
    }
    // The modem made the object of the message being sent with that id (a text-level interface):
    // where it lives until it is deleted, whether or not the send ends while the program runs; sim:
    // the SIM in the modem (empty: not known).
    virtual void onMeskMbnSmsManagerSendCreated(quint32 requestId, const SMeskSmsOrigin& origin,
                                                const QString& sim)
    {
        Q_UNUSED(requestId);
        Q_UNUSED(origin);
        Q_UNUSED(sim);
    }
    // Every part of the send with that id was accepted by the network. It may come after a
    // send-failed report for the same id, when the modem confirms a message after the watchdog.
    virtual void onMeskMbnSmsManagerSendDone(quint32 requestId) = 0;
    virtual void onMeskMbnSmsManagerSendFailed(quint32 requestId, quint32 errorCode) = 0;
    virtual void onMeskMbnSmsManagerError(quint32 errorCode) = 0;
    // The outcome of deleting the message at a SIM index: errorCode 0 when it is gone, else why
    // it stays (the codes of the error report).
    virtual void onMeskMbnSmsManagerDeleteDone(quint32 index, quint32 errorCode)
    {
        Q_UNUSED(index);
        Q_UNUSED(errorCode);
    }
};

// The modem's SMS events, one operation per backend signal of the same name.
class IMeskMbnSmsEventsObserver
{
public:
    virtual ~IMeskMbnSmsEventsObserver() = default;
    virtual void onSetSmsConfigurationComplete(quint32 requestId, qint32 status) = 0;
    virtual void onSmsConfigurationChange() = 0;
    virtual void onSmsDeleteComplete(quint32 requestId, qint32 status) = 0;
    virtual void onSmsNewClass0Message(quint32 format, const QList<SMeskSmsReadPdu>& messages) = 0;
    virtual void onSmsReadComplete(quint32 format, const QList<SMeskSmsReadPdu>& messages, bool moreMessages,
                                   quint32 requestId, qint32 status, const QString& objectSet,
                                   const QList<SMeskSmsOrigin>& listed, const QString& sim) = 0;
    virtual void onSmsReadListed(quint32 requestId, const QString& objectSet,
                                 const QList<SMeskSmsOrigin>& listed, const QString& sim) = 0;
    virtual void onSmsSendComplete(quint32 requestId, qint32 status) = 0;
    virtual void onSmsSendCreated(quint32 requestId, const SMeskSmsOrigin& origin, const QString& sim) = 0;
    virtual void onSmsStatusChange() = 0;
    virtual void onSmsMessagesRenewed(bool announced, quint32 renewal) = 0;
};

// Sends, reads and deletes text messages through the modem's SMS interface.
//
// Sending: each message is encoded into parts and queued (an interface that
// takes text gets the whole message, with the encoder's substitutions, as one
// unit on the air); one part is on the
// air at a time, guarded by a watchdog; every message ends in exactly one
// send-done or send-failed report, and after every failure the next queued
// message starts at once. Reading: messages are decoded, the parts of a long
// message are joined once parts 1..N of one sender and reference are all
// there; a received message, a flash (class-0) message too, leaves the SIM
// only when the owner has stored it and calls deleteMessages.
//
// Error codes: 1 internal, 2 device not found, 3 request rejected (CDMA
// sending), 4 text or number cannot be encoded, 5-15 the modem's failures
// (errorCode()), 16 the modem failed the operation (ErrorModemFailure).
//
// Threads: send, readAllMessages, deleteMessages and textLength may be called
// from any thread; the modem's events run on the threads that emit them
// (direct connections), the time-out on the watchdog's thread. release()
// (also run by the destructor) waits for running event handlers, so it must
// not be called from an observer call.
class CMeskMbnSmsManager : public IMeskMbnSmsEventsObserver
{
public:
    CMeskMbnSmsManager();
    ~CMeskMbnSmsManager() override;
    CMeskMbnSmsManager(const CMeskMbnSmsManager&) = delete;
    CMeskMbnSmsManager& operator=(const CMeskMbnSmsManager&) = delete;

    // The backend is not owned and must outlive release(). False (and error 1)
    // when the backend cannot deliver SMS events.
    bool init(IMeskModemBackend* backend, IMeskMbnSmsManagerObserver* observer);
    void release();

    // Reads every message on the SIM: the id its reports carry, 0 when the read did not start.
    quint32 readAllMessages();
    // Queues text for phone; requestId receives the id of the later report.
    // False when the message was not taken or its first part was refused
    // (reported as send-failed before returning).
    bool send(const QString& phone, const QString& text, quint32* requestId);
    // Deletes the messages at indices from the SIM (after they were stored).
    void deleteMessages(const QList<quint32>& indices);
    // The character counter; outputs untouched in CDMA format.
    void textLength(const QString& text, int* used, int* left, int* parts);

    // The watchdog delay of each part, for managers initialised afterwards.
    static void setWatchdogDelay(int ms);
    static int watchdogDelay();
    // The error code of a modem that failed the operation (MeskMbnResult::ModemFailure): after a
    // delete failed so, a later delete of the same message may answer success while the SIM keeps it.
    static constexpr quint32 ErrorModemFailure = 16;
    // A modem result or failed status as an error code.
    static quint32 errorCode(qint32 result);

    void onSetSmsConfigurationComplete(quint32, qint32) override {}
    void onSmsConfigurationChange() override {}
    void onSmsDeleteComplete(quint32 requestId, qint32 status) override;
    void onSmsNewClass0Message(quint32 format, const QList<SMeskSmsReadPdu>& messages) override;
    void onSmsReadComplete(quint32 format, const QList<SMeskSmsReadPdu>& messages, bool moreMessages,
                           quint32 requestId, qint32 status, const QString& objectSet,
                           const QList<SMeskSmsOrigin>& listed, const QString& sim) override;
    void onSmsReadListed(quint32 requestId, const QString& objectSet, const QList<SMeskSmsOrigin>& listed,
                         const QString& sim) override;
    void onSmsSendComplete(quint32 requestId, qint32 status) override;
    void onSmsSendCreated(quint32 requestId, const SMeskSmsOrigin& origin, const QString& sim) override;
    void onSmsStatusChange() override;
    void onSmsMessagesRenewed(bool announced, quint32 renewal) override;

    class Gate;
    struct Reports;

private:
    struct SmsSendRequest
    {
        QList<SmsPdu> parts;
        qsizetype partIndex = 0;
        quint32 modemRequestId = 0;
        quint32 requestId = 0;
        // For a text-level interface: the whole message, handed over at once
        // and answered once, as if it were a single part.
        QString phone;
        QString text;
        bool sentWhole = false;
    };

    // A long message being collected: parts by number, the SIM indices of
    // every copy read.
    struct PartGroup
    {
        QString number;
        quint8 reference = 0;
        quint8 partCount = 0;
        QMap<quint8, SmsPduMessage> parts;
        quint32 status = 0;
        QList<quint32> indices;
    };
    // A long message already reported in this run: its parts' texts.
    struct ReportedGroup
    {
        QString number;
        quint8 reference = 0;
        quint8 partCount = 0;
        QMap<quint8, QString> texts;
    };

    bool obtainInterface(Reports& reports, QString* id);
    quint32 readMessages(quint32 flag, Reports& reports);
    void startNextLocked(const QString& interfaceId, Reports& reports);
    void afterPartLocked(Reports& reports);
    void failAllLocked(quint32 code, Reports& reports);
    void onTimeout(quint64 generation);
    // requestId: the read that found the messages (0 for a class-0 event). The end of a read of
    // every message is reported after its messages, complete unless moreMessages says otherwise
    // or a message cannot be named; objectSet: the set of objects it read; sim: the SIM it read.
    void processMessages(const QList<SMeskSmsReadPdu>& messages, quint32 requestId = 0,
                         bool moreMessages = true, const QString& objectSet = QString(),
                         const QString& sim = QString());
    void deleteIndices(const QList<quint32>& indices, Reports& reports);
    void deliver(const Reports& reports);
    void connectBackend();

    IMeskModemBackend* m_backend = nullptr;
    IMeskMbnSmsManagerObserver* m_observer = nullptr;
    std::shared_ptr<Gate> m_gate;
    QList<QMetaObject::Connection> m_connections;
    std::unique_ptr<CMeskSmsWatchdog> m_watchdog;
    std::atomic<quint32> m_format = 0; // 0 unknown, else MeskSmsFormat
    std::atomic_bool m_textLevel = false;

    // Guards the send queue, the part on the air and the watchdog's generation.
    QRecursiveMutex m_mutex;
    QList<SmsSendRequest> m_requests;
    bool m_onAir = false;
    quint32 m_busyRequestId = 0;
    quint32 m_nextRequestId = 1;
    quint64 m_watchdogGeneration = 0;
    // Messages whose last part timed out, by the modem's request id of that part: a later
    // confirmation reports them sent after all.
    QList<QPair<quint32, quint32>> m_timedOut; // modem request id, request id

    // Guards what reading keeps: the groups, the SIM indices that are held in
    // a group, reported and not yet deleted, or being deleted, and the
    // deletions on their way.
    QMutex m_readMutex;
    QList<PartGroup> m_partGroups;
    QList<ReportedGroup> m_reportedGroups;
    QSet<quint32> m_claimed;
    QMap<quint32, quint32> m_deleting; // modem request id -> index
    QSet<quint32> m_fullReads;         // reads of every message on their way, by request id

    static std::atomic<int> s_watchdogDelay;
};
