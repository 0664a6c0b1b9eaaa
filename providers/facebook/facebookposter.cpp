#include "facebookposter.h"

#include "facebookapi.h"
#include "facebookcalls.h"
#include "meskhttpmethod.h"

#include <QUrl>

#include <utility>

namespace {

// Free text is percent-encoded once, here; the formatters put it in unchanged.
QString encodedText(const QString& text)
{
    return QString::fromLatin1(QUrl::toPercentEncoding(text));
}

} // namespace

// ---------------------------------------------------------------------------------------------
// CFacebookTextPoster

CFacebookTextPoster::CFacebookTextPoster(CFacebookApi* api, QObject* parent)
    : IMediaTextPoster(parent), m_api(api)
{
}

CFacebookTextPoster::~CFacebookTextPoster() = default;

int CFacebookTextPoster::serviceType() const
{
    return MeskService::TextPoster;
}

bool CFacebookTextPoster::canPost() const
{
    return !m_updateCall || m_updateCall->isReady();
}

bool CFacebookTextPoster::isBusy() const
{
    return m_updateCall && !m_updateCall->isReady();
}

int CFacebookTextPoster::maxTextLength() const
{
    return 0;
}

bool CFacebookTextPoster::postText(const QString& text)
{
    if (text.isEmpty()) {
        emit updateDone();
        return true;
    }
    if (isBusy()) {
        emit updateFailed();
        return false;
    }
    releaseCall();
    m_text = text;

    m_updateCall = new CFacebookUpdate(m_api, this);
    connect(m_updateCall, &CFacebookUpdate::updatePosted, this, &CFacebookTextPoster::_onUpdatePosted);
    connect(m_updateCall, qOverload<>(&CMeskHttpMethod::protocolError), this,
            &IMediaServiceUpdate::updateFailed);
    connect(m_updateCall, &CMeskHttpMethod::networkError, this, &IMediaServiceUpdate::updateFailed);
    if (!m_updateCall->request(encodedText(text))) {
        // Not formatted or not started: nothing is pending.
        releaseCall();
        emit updateFailed();
        return false;
    }
    return true;
}

void CFacebookTextPoster::_onUpdatePosted(const QString& postId)
{
    releaseCall();
    const QString text = m_text;
    emit statusUpdated(text, postId);
    emit updateDone();
}

void CFacebookTextPoster::releaseCall()
{
    if (!m_updateCall)
        return;
    // This may run inside one of the call's own signals: detach it from us and from its
    // request now, and delete it once control is back in the event loop.
    CFacebookUpdate* call = std::exchange(m_updateCall, nullptr);
    disconnect(call, nullptr, this, nullptr);
    call->cancel();
    call->deleteLater();
}

// ---------------------------------------------------------------------------------------------
// CFacebookCommentPoster

CFacebookCommentPoster::CFacebookCommentPoster(CFacebookApi* api, const QString& postId, QObject* parent)
    : IMediaCommentPoster(parent), m_api(api), m_postId(postId)
{
}

CFacebookCommentPoster::~CFacebookCommentPoster() = default;

bool CFacebookCommentPoster::canPost() const
{
    return m_api && m_api->isReady() && !m_request;
}

bool CFacebookCommentPoster::isBusy() const
{
    return m_request && !m_request->isReady();
}

bool CFacebookCommentPoster::postComment(const QString& text)
{
    if (m_request)
        return false;
    QString url;
    if (!m_api || !m_api->formatAddComment(url, m_postId, encodedText(text)))
        return false;

    auto* request = new CMeskHttpMethod(this);
    connect(request, &CMeskHttpMethod::finished, this, &CFacebookCommentPoster::_onRequestFinished);
    connect(request, &CMeskHttpMethod::networkError, this, &CFacebookCommentPoster::_onNetworkError);
    if (!request->get(url)) {
        delete request;
        return false;
    }
    m_request = request;
    m_text = text;
    return true;
}

void CFacebookCommentPoster::_onRequestFinished()
{
    if (!m_request)
        return;
    // The request takes no second GET, so what its pool-thread parse stored is final.
    const SMeskHttpResponseHeader header = m_request->responseHeader();
    const QByteArray body = m_request->responseData();
    releaseRequest();

    QString commentId;
    int error = CFacebookApi::NoError;
    if (m_api && m_api->parseAddComment(header, body, commentId, error)) {
        const QString postId = m_postId;
        const QString text = m_text;
        emit commentPosted(postId, commentId, text);
        emit posted();
    } else {
        emit failed();
    }
}

void CFacebookCommentPoster::_onNetworkError()
{
    if (!m_request)
        return;
    releaseRequest();
    emit failed();
}

void CFacebookCommentPoster::releaseRequest()
{
    CMeskHttpMethod* request = std::exchange(m_request, nullptr);
    disconnect(request, nullptr, this, nullptr);
    request->deleteLater();
}
