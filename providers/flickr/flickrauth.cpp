#include "flickrauth.h"

#include "flickrapi.h"
#include "meskhttpmethod.h"

#include <QDebug>

#include <utility>

CFlickrAuth::CFlickrAuth(CFlickrApi* api, QObject* parent)
    : QObject(parent), m_api(api), m_request(new CMeskHttpMethod(this))
{
    // A person watches the waiting page meanwhile.
    m_request->setDeadline(MeskHttpWaitingDeadlineMs);
    // A plain call object accepts every answer: each one ends in finished() and is judged here.
    connect(m_request, &CMeskHttpMethod::networkError, this, &CFlickrAuth::onNetworkError);
    connect(m_request, &CMeskHttpMethod::finished, this, &CFlickrAuth::onRequestFinished);
}

CFlickrAuth::~CFlickrAuth()
{
    delete m_request;
}

void CFlickrAuth::setConsumer(const QString& apiKey, const QString& sharedSecret)
{
    m_api->setConsumer(apiKey, sharedSecret);
}

QString CFlickrAuth::homeUrl() const
{
    return m_api->homeUrl();
}

bool CFlickrAuth::isAuthorized() const
{
    return m_api->isReady();
}

void CFlickrAuth::restoreUser(const QString& token, const QString& secret, const QString& userId,
                              const QString& userName)
{
    Q_UNUSED(secret);
    m_api->setToken(token);
    m_userId = userId;
    m_userName = userName;
}

void CFlickrAuth::clearUser()
{
    m_api->setToken(QString());
    m_userId.clear();
    m_userName.clear();
    emit userChanged(QString(), QString(), QString(), QString());
}

void CFlickrAuth::requestAuthorization()
{
    QString url;
    const bool built = m_api->frobRequest(url);
    start(built, url, WaitingForFrob);
}

void CFlickrAuth::requestToken()
{
    QString url;
    const bool built = m_api->tokenRequest(url, m_frob);
    start(built, url, WaitingForToken);
}

void CFlickrAuth::start(bool built, const QString& url, State state)
{
    if (!built) {
        emit protocolError();
        return;
    }
    // A new step replaces one still running: its answer would come in the wrong state.
    m_request->cancel();
    m_state = state;
    if (!m_request->get(url)) {
        qDebug().noquote() << QStringLiteral("CFlickrAuth: failed to create http request");
        m_state = Idle;
        emit protocolError();
    }
}

void CFlickrAuth::onNetworkError(TMeskHttpError error)
{
    Q_UNUSED(error);
    emit networkError();
}

void CFlickrAuth::onRequestFinished()
{
    switch (m_state) {
    case WaitingForFrob:
        readFrob();
        break;
    case WaitingForToken:
        readToken();
        break;
    default:
        break;
    }
}

void CFlickrAuth::readFrob()
{
    m_state = Idle;
    int error = 0;
    QString url;
    if (!m_api->parseFrob(m_request->responseHeader(), m_request->responseData(), m_frob, error) ||
        !m_api->authorizationUrl(url, m_frob)) {
        emit protocolError();
        return;
    }
    emit authorizationUrl(url);
}

void CFlickrAuth::readToken()
{
    m_state = Idle;
    int error = 0;
    QString token;
    if (!m_api->parseToken(m_request->responseHeader(), m_request->responseData(), token, m_userId,
                           m_userName, error)) {
        emit protocolError();
        return;
    }
    m_api->setToken(token);
    m_accountRejected = false;
    emit userChanged(token, QString(), m_userId, m_userName);
    if (std::exchange(m_accountRejected, false)) {
        m_api->setToken(QString());
        m_userId.clear();
        m_userName.clear();
        emit accountNotStored();
        return;
    }
    emit accessGranted();
}
