#pragma once

#include "meskhttpresponse.h"
#include "meskhttptaskobserver.h"
#include "meskrecords.h"

#include <QByteArray>
#include <QString>

#include <atomic>

// Base of every web service call object: one request at a time through CMeskHttpTaskPool.
//
// The answer is parsed on the pool thread by parseResponse(); the outcome arrives on the
// object's own thread as finished() (through emitResult()), protocolError(errorCode()) followed
// by protocolError(), or networkError() for a transport failure (HttpResponseTooLarge for an
// answer kept in memory that passed MeskHttpMaxBodySize: it is never parsed). The parse step
// runs under the task's lock, which cancel() waits for: it reads XML through meskReadXml
// (core/meskxml.h), whose depth limit and the size limit keep it short. isReady() is true
// again before any of them is emitted, so a slot may start the next request on the same object.
// finished() says only that an answer arrived and was accepted: callers of a plain object
// check httpStatus() (outside 2xx means the request failed).
//
// Lifetime rule: a subclass that overrides parseResponse() or onTaskResponse() must call
// cancel() first thing in its own destructor. The pool may be inside that override on its
// thread; cancel() waits for it to finish and detaches the object, so nothing runs on the
// derived parts once they are destroyed. The base destructor calls cancel() again, which is
// harmless. Release call objects with deleteLater().
class CMeskHttpMethod : public IMeskHttpTaskObserver
{
    Q_OBJECT
public:
    explicit CMeskHttpMethod(QObject* parent = nullptr);
    ~CMeskHttpMethod() override;

    bool isReady() const { return m_ready; }
    int taskId() const { return m_taskId; }
    // Status of the last response; 0 before any response and after a transport failure.
    int httpStatus() const { return m_httpStatus.load(); }

    // Total time each request started afterwards may take, in milliseconds; 0 takes the pool's
    // default. A request that passes it fails as networkError(HttpTimedOut).
    void setDeadline(int msecs) { m_deadlineMs = msecs; }

    bool get(const QString& url);
    bool getToFile(const QString& url, const QString& fileName);
    bool post(const QString& url, const QByteArray& body);
    bool postFile(const QString& url, const QString& fileName);

    // Detaches this object from its request and has the transfer aborted (never sent when it had
    // not started); returns after a running parse step has finished. Nothing of that request is
    // reported afterwards, and the object is ready again. Idempotent.
    void cancel();

    void onTaskResponse(const SMeskHttpResponseHeader& header, const QByteArray& body) override;

    virtual SMeskHttpResponseHeader responseHeader() const;
    virtual QByteArray responseData() const;

public slots:
    void onTaskDone() override;
    void onTaskFailed(TMeskHttpError error) override;

signals:
    void finished();
    void protocolError(TMediaError error);
    void networkError(TMeskHttpError error);
    void protocolError();

protected:
    // Pool thread. Stores header and body and accepts the answer.
    virtual bool parseResponse(const SMeskHttpResponseHeader& header, const QByteArray& body);
    // Object's thread, after a successful parse step.
    virtual void emitResult();
    // Object's thread, after a failed parse step.
    virtual TMediaError errorCode() const;

private:
    bool begin(const QString& url);
    bool started(int id);

    bool m_ready = true;
    bool m_parsed = false;
    int m_taskId = 0;
    int m_deadlineMs = 0;
    SMeskHttpResponseHeader m_responseHeader;
    QByteArray m_responseData;
    std::atomic<int> m_httpStatus{0};
};
