#include "twittercalls.h"

#include "twitterapi.h"

// ---------------------------------------------------------------------------------------------
// CTwitterTimeline

CTwitterTimeline::CTwitterTimeline(CTwitterApi* api, QObject* parent) : CMeskServiceCall(parent), m_api(api)
{
    registerTwitterMetaTypes();
}

CTwitterTimeline::~CTwitterTimeline()
{
    // parseResponse() may be running on the pool thread: wait for it and detach.
    cancel();
}

TMediaError CTwitterTimeline::mapError(int twitterError)
{
    switch (twitterError) {
    case TwitterNotModified:
        return MediaErrorNone;
    case TwitterBadRequest:
    case TwitterForbidden:
        return MediaErrorRequestRefused;
    case TwitterUnauthorized:
        return MediaErrorAuthorization;
    case TwitterBadGateway:
    case TwitterUnavailable:
        return MediaErrorServiceUnavailable;
    default:
        return MediaErrorGeneral;
    }
}

bool CTwitterTimeline::send(bool built, const QString& url)
{
    if (!built)
        return refuse(QStringLiteral("CTwitterTimeline: failed to format http request"));
    // A busy object may be parsing into the result on the pool thread: touch nothing.
    if (!isReady())
        return refuse(QStringLiteral("CTwitterTimeline: failed to create http request"));
    m_result.clear();
    m_parseError = TwitterNoError;
    return sendGet(url, QStringLiteral("CTwitterTimeline: failed to create http request"));
}

bool CTwitterTimeline::parseResponse(const SMeskHttpResponseHeader& header, const QByteArray& body)
{
    int error = TwitterNoError;
    const bool parsed = m_api->parseTimelineResponse(header, body, m_result, error);
    m_parseError = error;
    return parsed;
}

void CTwitterTimeline::emitResult()
{
    // A slot may start the next request on this object, which empties the list.
    const STwitterTimeLine events = m_result;
    emit timeLineEvents(events);
}

TMediaError CTwitterTimeline::errorCode() const
{
    return mapError(m_parseError);
}

bool CTwitterFriendsTimeline::request(const QString& sinceId)
{
    QString url;
    // The builder puts the id into the query as given.
    const bool built = api()->friendsTimelineUrl(url, COAuthClient::pct(sinceId));
    return send(built, url);
}

bool CTwitterMentions::request(const QString& sinceId)
{
    QString url;
    // The builder puts the id into the query as given.
    const bool built = api()->mentionsUrl(url, COAuthClient::pct(sinceId));
    return send(built, url);
}

bool CTwitterPublicTimeline::request()
{
    const QString url = api()->serviceUrl() + QStringLiteral("/statuses/public_timeline.xml");
    return send(!api()->serviceUrl().isEmpty(), url);
}

// ---------------------------------------------------------------------------------------------
// CTwitterUpdate

CTwitterUpdate::CTwitterUpdate(CTwitterApi* api, QObject* parent) : CMeskServiceCall(parent), m_api(api)
{
    registerTwitterMetaTypes();
}

CTwitterUpdate::~CTwitterUpdate()
{
    cancel();
}

bool CTwitterUpdate::request(const QString& encodedText, const QString& replyToId)
{
    if (!isReady())
        return refuse(QStringLiteral("CTwitterUpdate: failed to create http request"));
    QString url;
    if (!m_api->updateRequest(url, encodedText, COAuthClient::pct(replyToId)))
        return refuse(QStringLiteral("CTwitterUpdate: failed to format update request"));
    m_result = STwitterStatusEvent();
    m_parseError = TwitterNoError;
    return sendPost(url, QByteArray(), QStringLiteral("CTwitterUpdate: failed to create http request"));
}

bool CTwitterUpdate::parseResponse(const SMeskHttpResponseHeader& header, const QByteArray& body)
{
    int error = TwitterNoError;
    const bool parsed = m_api->parseUpdateResponse(header, body, m_result, error);
    m_parseError = error;
    return parsed;
}

void CTwitterUpdate::emitResult()
{
    const STwitterStatusEvent event = m_result;
    emit updatePosted(event);
}
