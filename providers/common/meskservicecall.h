#pragma once

#include "meskhttpmethod.h"

#include <QByteArray>
#include <QString>

// Base of the providers' call objects: one way to refuse a request.
//
// A request() that cannot start (the object is busy, the address cannot be built, the pool
// does not take it) logs one line, returns false and reports the refusal to every listener,
// whatever it connected to, as protocolError(MediaErrorUnassigned) followed by protocolError().
// Both go out queued, once request() has returned, so a slot that starts again never runs inside
// the caller's own request(). A refusal is dropped when a later request of the same object has
// started meanwhile (its outcome is what the listeners wait for), and when the object is deleted
// first.
class CMeskServiceCall : public CMeskHttpMethod
{
    Q_OBJECT
public:
    explicit CMeskServiceCall(QObject* parent = nullptr);
    ~CMeskServiceCall() override;

    // "<Class>: failed to <what> http request", in the class's own name.
    QString failureLine(const char* what) const;

protected:
    // Logs line, reports the refusal as above and returns false.
    bool refuse(const QString& line);
    // Starts a GET or a POST; refuses with line when the pool does not take it.
    bool sendGet(const QString& url, const QString& line);
    bool sendPost(const QString& url, const QByteArray& body, const QString& line);

private:
    bool started(bool ok, const QString& line);

    // Counts the requests and refusals of this object; a queued refusal checks it.
    quint64 m_attempt = 0;
};
