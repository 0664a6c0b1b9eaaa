#pragma once

#include "meskhttpresponse.h"

#include <QByteArray>
#include <QObject>

// The client side of one request handed to CMeskHttpTaskPool.
//
// onTaskResponse and onTaskProgress are called on the pool thread while the pool holds the
// task's mutex; onTaskDone and onTaskFailed arrive queued on the observer's own thread.
// Exactly one of onTaskDone (after onTaskResponse) or onTaskFailed ends a request, unless the
// observer was detached first (CMeskHttpTaskPool::cancelTask), after which nothing reaches it.
// An observer must detach itself before it is destroyed (CMeskHttpMethod does).
class IMeskHttpTaskObserver : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    // The request ended with an HTTP response (any status). body is empty for a download
    // into a file.
    virtual void onTaskResponse(const SMeskHttpResponseHeader& header, const QByteArray& body)
    {
        Q_UNUSED(header);
        Q_UNUSED(body);
    }
    // Bytes read or sent so far; total is 0 when unknown.
    virtual void onTaskProgress(int done, int total)
    {
        Q_UNUSED(done);
        Q_UNUSED(total);
    }

public slots:
    virtual void onTaskDone() = 0;
    virtual void onTaskFailed(TMeskHttpError error) = 0;
};
