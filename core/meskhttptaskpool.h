#pragma once

#include "meskhttpresponse.h"
#include "meskhttptaskobserver.h"

#include <QByteArray>
#include <QEvent>
#include <QHash>
#include <QMutex>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QThread>

#include <atomic>
#include <memory>

class QFile;
class QNetworkAccessManager;
class QNetworkReply;
class QSaveFile;
class QTimer;
class CMeskHttpTaskPool;

// One request on its way from an entry point of the pool to the pool thread.
class CMeskPoolEvent : public QEvent
{
public:
    static constexpr QEvent::Type EventType = static_cast<QEvent::Type>(QEvent::User + 1); // 1001

    enum Kind
    {
        KindGet = 0,       // GET, body collected in memory
        KindGetToFile = 1, // GET, body written into fileName
        KindPost = 2,      // POST with body
        KindPostFile = 3,  // POST with the content of fileName
    };

    CMeskPoolEvent(IMeskHttpTaskObserver* observer, int kind, const QString& url, const QString& fileName,
                   const QByteArray& body, int taskId, int deadlineMs);

    IMeskHttpTaskObserver* observer; // not owned
    int kind;
    QString url;
    QString fileName;
    QByteArray body;
    int taskId;
    int deadlineMs; // total time the request may take
};

// Receives the pool's events on the pool thread and hands them to the pool.
class CMeskPoolEventProxy : public QObject
{
    Q_OBJECT
public:
    explicit CMeskPoolEventProxy(CMeskHttpTaskPool* pool);
    bool event(QEvent* e) override;

private:
    CMeskHttpTaskPool* m_pool;
};

class CMeskHttpTask;

// The live tasks of the pool. Lives on the pool thread; the list mutex guards the task table and
// the table of requests posted but not yet started against cancel look-ups from the GUI thread.
// Lock order: list mutex, then a task's mutex.
class CMeskHttpTaskList : public QObject
{
    Q_OBJECT
public:
    CMeskHttpTaskList();

    // GUI thread: a request was accepted and its event is on the way.
    void addPending(int id, IMeskHttpTaskObserver* observer);
    // Pool thread: creates the task of a delivered request. Null when the request was
    // cancelled before it started (it is never sent) or the pool was shut down meanwhile.
    CMeskHttpTask* createTask(IMeskHttpTaskObserver* observer, int id, QNetworkAccessManager* nam);
    // Any thread: detaches the observer of the request with this id (only when it is
    // `observer`, unless observer is null) and has the pool thread abort its transfer.
    // Returns after a running parse step has finished.
    void cancelTask(int id, IMeskHttpTaskObserver* observer = nullptr);
    // Pool thread: detaches every observer, aborts and deletes every task.
    void abortAll();

private:
    friend class CMeskHttpTask;
    void forget(CMeskHttpTask* task);

    QMutex m_mutex;
    // Keyed by task id; an id can repeat once the counter has wrapped or a new pool started.
    struct Pending
    {
        IMeskHttpTaskObserver* observer; // as the event carries it; never used once cancelled
        bool cancelled;
    };
    // A task gone after it had queued its end to its observer: the end may not have arrived
    // yet, and a cancel must still stop it. Kept until the queued end is delivered or dropped.
    struct Ended
    {
        IMeskHttpTaskObserver* observer; // never used, only compared
        std::weak_ptr<std::atomic<bool>> detached;
    };
    QMultiHash<int, CMeskHttpTask*> m_tasks;
    QMultiHash<int, Pending> m_pending;
    QMultiHash<int, Ended> m_ended;
};

// One request, run on the pool thread through the pool's QNetworkAccessManager.
class CMeskHttpTask : public QObject
{
    Q_OBJECT
public:
    CMeskHttpTask(IMeskHttpTaskObserver* observer, int id, QNetworkAccessManager* nam,
                  CMeskHttpTaskList* list);
    ~CMeskHttpTask() override;

    int taskId() const { return m_taskId; }

    // Total time the request started next may take, in milliseconds.
    void setDeadline(int msecs) { m_deadlineMs = msecs; }

    void get(const QString& url);
    void getToFile(const QString& url, const QString& fileName);
    void post(const QString& url, const QByteArray& body);
    void postFile(const QString& url, const QString& fileName);

    // Any thread: after it returns the task neither calls the observer nor signals it. When
    // `only` is given, the observer is detached only when it is that one. True when the task
    // has no observer any more.
    bool detachObserver(IMeskHttpTaskObserver* only = nullptr);
    // Pool thread: drops the request without reporting anything.
    void abort();

    // QNetworkReply::NetworkError → TMeskHttpError.
    static TMeskHttpError mapError(int networkError);

signals:
    void taskDone();
    void taskFailed(TMeskHttpError error);

private slots:
    void _onFinished();
    void _onReadyRead();
    void _onProgress(qint64 done, qint64 total);
    void _onDeadline();

private:
    friend class CMeskHttpTaskList;
    enum Method
    {
        Get,
        Post
    };
    bool prepare(const QString& url, QUrl* parsed);
    void start(Method method, const QUrl& url, const QByteArray* body, QIODevice* device);
    void fail(TMeskHttpError error);
    void finish();
    // Pool thread: a task whose observer was cancelled stops its transfer and goes away (a
    // download's temporary file with it).
    void dropCancelled();
    // Pool thread: the in-memory answer passed MeskHttpMaxBodySize; ends the request unparsed.
    void refuseTooLarge();
    // Pool thread: stops the transfer and reports `error`; nothing of the answer is kept.
    void end(TMeskHttpError error);

    IMeskHttpTaskObserver* m_observer;
    QByteArray m_body;
    std::unique_ptr<QSaveFile> m_target; // download target, written through a temporary sibling
    std::unique_ptr<QFile> m_source;     // upload source, only read
    QNetworkAccessManager* m_nam;
    QNetworkReply* m_reply = nullptr;
    QTimer* m_deadline = nullptr; // child of the task, so on the pool thread
    int m_deadlineMs = 0;
    CMeskHttpTaskList* m_list;
    QMetaObject::Connection m_doneConnection;
    QMetaObject::Connection m_failedConnection;
    // Set when the observer is detached; an end already queued to it checks it on arrival.
    std::shared_ptr<std::atomic<bool>> m_detached = std::make_shared<std::atomic<bool>>(false);
    bool m_writeFailed = false;
    QMutex m_mutex;
    int m_taskId;
};

// The process-wide HTTP worker thread. Every entry point is called on the GUI thread.
//
// One QNetworkAccessManager on the pool thread sends every request as HTTP/1.1 with
// "User-Agent: Velto Lumesk" and "Connection: close", follows no redirect, keeps no cookies and
// no cache. A URL goes out as the caller encoded it (QUrl strict mode), except that
// percent-encoded unreserved characters are decoded, an empty path is sent as "/" and the
// fragment is dropped. Any answer with an HTTP status is a response (onTaskResponse, then
// onTaskDone); a transport failure, a body cut short or the inactivity timeout is a failure
// (onTaskFailed). Every request also has a total deadline, however steadily its answer trickles
// in: when it passes, the transfer is aborted and the request fails as HttpTimedOut. An answer body kept in
// memory that grows past MeskHttpMaxBodySize ends the request as HttpResponseTooLarge without reaching
// onTaskResponse; a download into a file has no such limit. A cancelled request is aborted (or, not yet
// started, never sent). The pool never retries, but QNAM itself sends a request once more when the server
// closes the connection without answering it.
class CMeskHttpTaskPool : public QThread
{
    Q_OBJECT
public:
    ~CMeskHttpTaskPool() override;

    // Starts the pool thread (unless it runs already) and gives the pool `parent` as Qt parent.
    static void init(QObject* parent);
    // The pool, created on first use.
    static CMeskHttpTaskPool* instance();
    // Detaches every observer and aborts every request on the pool thread, stops the thread,
    // waits until it has finished and deletes the pool. A later init starts a fresh pool.
    static void shutdown();
    static bool isPoolRunning();

    // Each returns the task id (≥ 1), or -1 when the pool does not run (nothing is sent then).
    // deadlineMs is the total time the request may take; 0 (or less) takes the default deadline.
    static int get(const QString& url, IMeskHttpTaskObserver* observer, int deadlineMs = 0);
    static int getToFile(const QString& url, const QString& fileName, IMeskHttpTaskObserver* observer,
                         int deadlineMs = 0);
    static int post(const QString& url, const QByteArray& body, IMeskHttpTaskObserver* observer,
                    int deadlineMs = 0);
    static int postFile(const QString& url, const QString& fileName, IMeskHttpTaskObserver* observer,
                        int deadlineMs = 0);

    // Detaches the observer from the task with this id: nothing reaches it afterwards, and the
    // transfer is aborted on the pool thread (a download's temporary file is removed, an earlier
    // file stays). When `observer` is given, only a task of that observer is touched (ids are
    // reused by a new pool). Returns after a parse step running for that task has finished.
    static void cancelTask(int id, IMeskHttpTaskObserver* observer = nullptr);

    // Inactivity timeout of every request started afterwards, in milliseconds (default 120000).
    static void setTransferTimeout(int msecs);
    static int transferTimeout();
    // Default total deadlines of requests started afterwards, in milliseconds: answers read into
    // memory (default 5 minutes) and downloads into a file (default 30 minutes).
    static void setDefaultDeadlines(int memoryMsecs, int fileMsecs);
    static int defaultDeadline(bool toFile);
    // Test hook: the value the task counter holds; the next id is the value plus one
    // (or 1 when that overflows).
    static void setTaskCounterForTest(int value);

protected:
    void run() override;
    void customEvent(QEvent* e) override;

private:
    CMeskHttpTaskPool();
    static int enqueue(CMeskPoolEvent::Kind kind, const QString& url, const QString& fileName,
                       const QByteArray& body, IMeskHttpTaskObserver* observer, int deadlineMs);
    int nextTaskId();
    void stop();

    friend class CMeskPoolEventProxy;

    CMeskPoolEventProxy* m_receiver = nullptr;
    CMeskHttpTaskList* m_taskList = nullptr;
    int m_taskCounter = 0;
    bool m_accepting = false;
    QNetworkAccessManager* m_nam = nullptr; // pool thread only
};
