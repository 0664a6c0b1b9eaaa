#pragma once

#include "meskservicecall.h"
#include "twitterrecords.h"

#include <QString>

class CTwitterApi;

// The call objects of the Twitter timelines and of a status update.
//
// Each sends one request per request() through the HTTP task pool and parses
// the answer on the pool thread with one of CTwitterApi's const reply
// operations. The code that parse hands back is kept in the object itself, so a
// failed call maps its own code and never that of another call in flight.
//
// Outcomes, on the object's thread: the result signal; protocolError(code)
// followed by protocolError() for an answer that was not accepted; or
// networkError(error) for a transport failure. A request that cannot be built
// (no consumer) or started (the object is busy, the pool does not take it)
// returns false and is refused as CMeskServiceCall says: protocolError(
// MediaErrorUnassigned) followed by protocolError(), both queued.
//
// The object is ready again before its result signal goes out, so a slot may
// start the next request on it: the signal carries a copy of the result.
// Every class calls cancel() first in its destructor.

// A timeline of statuses.
class CTwitterTimeline : public CMeskServiceCall
{
    Q_OBJECT
public:
    CTwitterTimeline(CTwitterApi* api, QObject* parent = nullptr);
    ~CTwitterTimeline() override;

    CTwitterApi* api() const { return m_api; }

    // TTwitterError -> TMediaError.
    static TMediaError mapError(int twitterError);

signals:
    void timeLineEvents(const STwitterTimeLine& events);

protected:
    bool parseResponse(const SMeskHttpResponseHeader& header, const QByteArray& body) override;
    void emitResult() override;
    TMediaError errorCode() const override;

    // Starts the GET of a URL built by the API (built false: not built).
    bool send(bool built, const QString& url);

private:
    CTwitterApi* m_api;
    // Written by parseResponse() on the pool thread, read on the object's
    // thread once the completion has arrived.
    STwitterTimeLine m_result;
    int m_parseError = 0;
};

// The signed friends timeline, from a status id on (empty: the newest page).
class CTwitterFriendsTimeline : public CTwitterTimeline
{
    Q_OBJECT
public:
    using CTwitterTimeline::CTwitterTimeline;
    bool request(const QString& sinceId);
};

// The signed mentions of the account, from a status id on.
class CTwitterMentions : public CTwitterTimeline
{
    Q_OBJECT
public:
    using CTwitterTimeline::CTwitterTimeline;
    bool request(const QString& sinceId);
};

// The unsigned public timeline. The provider does not use it.
class CTwitterPublicTimeline : public CTwitterTimeline
{
    Q_OBJECT
public:
    using CTwitterTimeline::CTwitterTimeline;
    bool request();
};

// One status update: a signed POST with an empty body.
class CTwitterUpdate : public CMeskServiceCall
{
    Q_OBJECT
public:
    CTwitterUpdate(CTwitterApi* api, QObject* parent = nullptr);
    ~CTwitterUpdate() override;

    // encodedText comes percent-encoded; replyToId is taken as plain text and
    // encoded here (empty: not a reply).
    bool request(const QString& encodedText, const QString& replyToId);

signals:
    void updatePosted(const STwitterStatusEvent& event);

protected:
    bool parseResponse(const SMeskHttpResponseHeader& header, const QByteArray& body) override;
    void emitResult() override;

private:
    CTwitterApi* m_api;
    STwitterStatusEvent m_result;
    int m_parseError = 0;
};
