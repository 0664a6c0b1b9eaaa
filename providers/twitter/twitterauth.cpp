#include "twitterauth.h"

#include "meskhttpmethod.h"
#include "twitterapi.h"

#include <QDebug>

#include <utility>

CTwitterAuth::CTwitterAuth(CTwitterApi* api, QObject* parent)
    : QObject(parent), m_api(api), m_method(new CMeskHttpMethod(this))
{
    // A person watches the waiting page meanwhile.
    m_method->setDeadline(MeskHttpWaitingDeadlineMs);
    // A plain call object accepts every answer: each one ends in finished() and is judged here.
    connect(m_method, &CMeskHttpMethod::networkError, this, &CTwitterAuth::onNetworkError);
    connect(m_method, &CMeskHttpMethod::finished, this, &CTwitterAuth::onRequestFinished);
}

CTwitterAuth::~CTwitterAuth()
{
    delete m_method;
}

void CTwitterAuth::setConsumer(const QString& key, const QString& secret)
{
    m_api->setConsumer(key, secret);
}

void CTwitterAuth::setUser(const QString& token, const QString& secret, const QString& userId,
                           const QString& userName)
{
    m_api->setToken(token, secret);
    m_api->setUser(userId, userName);
}

void CTwitterAuth::removeUser()
{
    m_api->setToken(QString(), QString());
    m_api->setUser(QString(), QString());
    emit userRemoved();
}

bool CTwitterAuth::isAuthorized() const
{
    return m_api->isReady();
}

QString CTwitterAuth::userId() const
{
    return m_api->userId();
}

QString CTwitterAuth::userName() const
{
    return m_api->userName();
}

void CTwitterAuth::requestAccess()
{
    QString url;
    const bool built = m_api->requestTokenUrl(url);
    start(built, url, RequestingToken);
}

void CTwitterAuth::requestAccessToken(const QString& pin)
{
    QString url;
    const bool built = m_api->accessTokenUrl(url, m_requestToken, m_requestTokenSecret, pin);
    start(built, url, RequestingAccessToken);
}

void CTwitterAuth::start(bool built, const QString& url, State state)
{
    // A new step replaces one still running: its answer would arrive in the wrong state.
    m_method->cancel();
    if (!built) {
        m_state = Idle;
        emit protocolError();
        return;
    }
    m_state = state;
    if (!m_method->get(url)) {
        qDebug().noquote() << QStringLiteral("CTwitterAuth: failed to create http request");
        m_state = Idle;
        emit protocolError();
    }
}

void CTwitterAuth::onNetworkError(TMeskHttpError error)
{
    Q_UNUSED(error);
    m_state = Idle;
    emit networkError();
}

void CTwitterAuth::onRequestFinished()
{
    switch (m_state) {
    case RequestingToken:
        readRequestToken();
        break;
    case RequestingAccessToken:
        readAccessToken();
        break;
    default:
        break;
    }
}

void CTwitterAuth::readRequestToken()
{
    m_state = Idle;
    QString token;
    QString secret;
    int error = TwitterNoError;
    if (!m_api->parseRequestToken(m_method->responseHeader(), m_method->responseData(), token, secret,
                                  error)) {
        qDebug().noquote() << QStringLiteral("CTwitterAuth: request token refused (error %1)").arg(error);
        emit protocolError();
        return;
    }
    m_requestToken = token;
    m_requestTokenSecret = secret;
    QString url;
    if (!m_api->authorizeUrl(url, m_api->webHost(), m_requestToken)) {
        emit protocolError();
        return;
    }
    emit authorizationUrl(url);
}

void CTwitterAuth::readAccessToken()
{
    m_state = Idle;
    QString token;
    QString secret;
    QString userId;
    QString userName;
    int error = TwitterNoError;
    if (!m_api->parseAccessToken(m_method->responseHeader(), m_method->responseData(), token, secret, userId,
                                 userName, error)) {
        qDebug().noquote() << QStringLiteral("CTwitterAuth: access token refused (error %1)").arg(error);
        emit protocolError();
        return;
    }
    m_api->setToken(token, secret);
    m_api->setUser(userId, userName);
    m_accountRejected = false;
    emit userEnabled(token, secret, userId, userName);
    if (std::exchange(m_accountRejected, false)) {
        m_api->setToken(QString(), QString());
        m_api->setUser(QString(), QString());
        emit accountNotStored();
        return;
    }
    emit accessGranted();
}
