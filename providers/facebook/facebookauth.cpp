#include "facebookauth.h"

#include "facebookapi.h"
#include "facebookcalls.h"

#include <QDebug>
#include <QTimer>

#include <utility>

CFacebookAuth::CFacebookAuth(CFacebookApi* api, QObject* parent)
    : QObject(parent), m_api(api), m_retryTimer(new QTimer(this))
{
    m_retryTimer->setSingleShot(true);
    connect(m_retryTimer, &QTimer::timeout, this, &CFacebookAuth::_onRequestUserInfoAgain);
}

CFacebookAuth::~CFacebookAuth()
{
    // Cancels a request in flight before this object goes.
    delete m_userInfoCall;
}

void CFacebookAuth::setApiKey(const QString& key)
{
    m_api->setApiKey(key);
}

bool CFacebookAuth::isAuthorized() const
{
    return m_api->isReady();
}

void CFacebookAuth::restoreSession(const QString& sessionKey, const QString& sessionSecret,
                                   const QString& uid, const QString& userName)
{
    m_api->setSession(sessionKey, sessionSecret, uid);
    m_uid = uid;
    m_userName = userName;
}

void CFacebookAuth::logout()
{
    stopAttempt();
    clearSession();
    m_uid.clear();
    m_userName.clear();
    emit userRemoved();
}

void CFacebookAuth::requestAuthorization()
{
    // A new login: an earlier attempt still waiting for its profile ends without an outcome.
    endAttempt();
    QString url;
    if (m_api->authorizationUrl(url))
        emit authorizationUrl(url);
    else
        emit protocolError();
}

void CFacebookAuth::processCallbackUrl(const QString& url)
{
    // Read into locals: a landing that cannot be read must not touch the session in use.
    QString sessionKey;
    QString sessionSecret;
    QString uid;
    if (!m_api->parseCallbackUrl(url, sessionKey, sessionSecret, uid)) {
        if (m_api->lastError() == CFacebookApi::LoginRefused)
            emit accessRejected();
        else
            emit protocolError();
        return;
    }
    if (m_userInfoCall && !m_userInfoCall->isReady()) {
        // A second landing while the own profile is being fetched.
        emit protocolError();
        return;
    }
    stopAttempt();
    m_api->setSession(sessionKey, sessionSecret, uid);
    m_uid = uid;
    m_retryCount = 0;
    m_attemptRunning = true;
    if (!requestUserInfo(m_uid)) {
        stopAttempt();
        clearSession();
        emit protocolError();
    }
}

bool CFacebookAuth::requestUserInfo(const QString& uid)
{
    if (m_userInfoCall && !m_userInfoCall->isReady())
        return false;
    delete m_userInfoCall;
    m_userInfoCall = new CFacebookUserInfo(m_api, this);
    m_userInfoCall->setDeadline(MeskHttpWaitingDeadlineMs); // the wizard's waiting page is up meanwhile
    connect(m_userInfoCall, &CFacebookUserInfo::userInfoReady, this, &CFacebookAuth::_onUserInfoReady);
    connect(m_userInfoCall, &CFacebookUserInfo::networkError, this, &CFacebookAuth::_onNetworkError);
    connect(m_userInfoCall, qOverload<TMediaError>(&CMeskHttpMethod::protocolError), this,
            &CFacebookAuth::_onProtocolError);
    return m_userInfoCall->request(uid);
}

void CFacebookAuth::endAttempt()
{
    if (!m_attemptRunning)
        return;
    stopAttempt();
    clearSession();
}

void CFacebookAuth::rejectAccount()
{
    m_accountRejected = true;
}

bool CFacebookAuth::isRetryPending() const
{
    return m_retryTimer->isActive();
}

void CFacebookAuth::stopAttempt()
{
    m_attemptRunning = false;
    m_retryTimer->stop();
    if (m_userInfoCall)
        m_userInfoCall->cancel();
}

bool CFacebookAuth::isAttemptCall(QObject* call) const
{
    return m_attemptRunning && call && call == m_userInfoCall;
}

void CFacebookAuth::_onUserInfoReady(const SFacebookUser& user)
{
    if (!isAttemptCall(sender()))
        return;
    stopAttempt();
    m_userInfoCall->deleteLater();
    m_userInfoCall = nullptr;
    const QString sessionKey = m_api->sessionKey();
    const QString sessionSecret = m_api->sessionSecret();
    if (sessionKey.isEmpty() || sessionSecret.isEmpty()) {
        // Nothing to link: an account without its session would look linked and never update.
        qDebug().noquote() << QLatin1String("CFacebookAuth: profile arrived without a session");
        clearSession();
        emit protocolError();
        return;
    }
    m_userName = user.name;
    m_accountRejected = false;
    emit userAdded(sessionKey, sessionSecret, user);
    if (std::exchange(m_accountRejected, false)) {
        clearSession();
        emit accountNotStored();
        return;
    }
    emit accessGranted();
}

void CFacebookAuth::_onProtocolError(TMediaError error)
{
    // A refusal is told by request()'s result where it was made; it is no service error.
    if (error == MediaErrorUnassigned || !isAttemptCall(sender()))
        return;
    if (m_retryCount >= kMaxRetries) {
        stopAttempt();
        clearSession();
        emit accessRejected();
        return;
    }
    ++m_retryCount;
    m_retryTimer->start(m_retryIntervalMs);
}

void CFacebookAuth::_onNetworkError(TMeskHttpError error)
{
    Q_UNUSED(error) // every transport failure reads as a network problem
    if (!isAttemptCall(sender()))
        return;
    stopAttempt();
    clearSession();
    emit networkError();
}

void CFacebookAuth::_onRequestUserInfoAgain()
{
    if (!m_attemptRunning)
        return;
    if (m_userInfoCall && m_userInfoCall->request(m_uid))
        return;
    stopAttempt();
    clearSession();
    emit accessRejected();
}

void CFacebookAuth::clearSession()
{
    m_api->setSession(QString(), QString(), QString());
}
