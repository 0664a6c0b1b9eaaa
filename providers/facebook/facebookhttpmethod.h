#pragma once

#include "meskhttpmethod.h"

class CFacebookApi;

// Base of the Facebook REST call objects.
//
// A call formats its signed URL with the shared CFacebookApi on the GUI thread,
// sends it as one GET, and parses the answer on the pool thread with one of the
// API's const parse operations. The code that parse hands back is kept in the
// object itself (parseError()), so a failed call reports its own error and never
// the code of another call running at the same time; errorCode() maps it.
//
// request() of every call refuses, returning false, when the object is busy
// (logged "<Class>: failed to create http request", before anything is stored or
// cleared), when the URL cannot be formatted ("<Class>: failed to format http
// request"), and when the pool does not take the GET. The refusal also reaches
// the listeners as protocolError(MediaErrorUnassigned) and protocolError(),
// queued: after request() has returned, and not at all once a later request of
// the same object has started.
class CFacebookHttpMethod : public CMeskHttpMethod
{
    Q_OBJECT
public:
    CFacebookHttpMethod(CFacebookApi* api, QObject* parent);
    ~CFacebookHttpMethod() override;

    CFacebookApi* api() const { return m_api; }

    // CFacebookApi::Error → TMediaError.
    static TMediaError mapError(int apiError);

protected:
    // Maps the code of this object's last parse.
    TMediaError errorCode() const override;

    // The code of this object's own parse: written by parseResponse() on the pool
    // thread, read on the object's thread once the completion has arrived.
    int m_parseError = 0;

    // For request(): logs "<Class>: failed to format http request" or
    // "<Class>: failed to create http request", queues the refusal's signals
    // and returns false.
    bool refuseFormat();
    bool refuseCreate();
    // Starts the GET; refuses as refuseCreate() when the pool does not take it.
    bool send(const QString& url);
    void logFailure(const char* what) const;

private:
    bool refuse(const char* what);

    CFacebookApi* m_api;
    // Counts the requests and refusals of this object; a queued refusal checks it.
    quint64 m_attempt = 0;
};
