#include "facebookauth.h"

#include "facebookapi.h"
#include "facebookcalls.h"

#include <QDebug>
#include <QTimer>
#include <QUrl>

namespace {
const QString kServiceName = QStringLiteral("Facebook");
}

CFacebookAuth::CFacebookAuth(CFacebookApi* api, QObject* parent) : QObject(parent), m_api(api) {}

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

void CFacebookAuth::restoreSession(const QString& sessionKey, const QString& sessionSecret, const QString& uid,
                                   const QString& userName)
{
    m_api->setSession(sessionKey, sessionSecret, uid);
    m_uid = uid;
    m_userName = userName;
}

void CFacebookAuth::logout()
{
    clearSession();
    m_uid.clear();
    m_userName.clear();
    emit userRemoved();
}

void CFacebookAuth::requestAuthorization()
{
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
    m_api->setSession(sessionKey, sessionSecret, uid);
    m_uid = uid;
    m_retryCount = 0;
    if (!requestUserInfo(m_uid))
        emit protocolError();
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
    // A formatting failure arrives as protocolError() and takes the retry path.
    m_userInfoCall->request(uid);
    return true;
}

void CFacebookAuth::_onUserInfoReady(const SFacebookUser& user)
{
    if (m_userInfoCall) {
        m_userInfoCall->deleteLater();
        m_userInfoCall = nullptr;
    }
    m_userName = user.name;
    emit userAdded(m_api->sessionKey(), m_api->sessionSecret(), user);
    emit accessGranted();
}

void CFacebookAuth::_onProtocolError()
{
    if (m_retryCount >= kMaxRetries) {
        clearSession();
        emit accessRejected();
        return;
    }
    ++m_retryCount;
    QTimer::singleShot(m_retryIntervalMs, this, &CFacebookAuth::_onRequestUserInfoAgain);
}

void CFacebookAuth::_onNetworkError(TMeskHttpError error)
{
    Q_UNUSED(error) // every transport failure reads as a network problem
    clearSession();
    emit networkError();
}

void CFacebookAuth::_onRequestUserInfoAgain()
{
    if (m_userInfoCall && m_userInfoCall->request(m_uid))
        return;
    clearSession();
    emit accessRejected();
}

void CFacebookAuth::clearSession()
{
    m_api->setSession(QString(), QString(), QString());
}

CFacebookSetupWidget::CFacebookSetupWidget(CFacebookAuth* auth, QWidget* parent)
    : CMeskServiceSetupWidget(parent), m_auth(auth)
{
    setMinimumSize(500, 470);
    setTitle(wizardTitleText(kServiceName));
    showWelcomePage(welcomeText(kServiceName));
    connect(m_auth, &CFacebookAuth::authorizationUrl, this, &CFacebookSetupWidget::_onAuthorizationUrl);
    connect(m_auth, &CFacebookAuth::accessGranted, this, &CFacebookSetupWidget::_onAccessGranted);
    connect(m_auth, &CFacebookAuth::accessRejected, this, &CFacebookSetupWidget::_onAccessRejected);
    connect(m_auth, &CFacebookAuth::protocolError, this, &CFacebookSetupWidget::_onProtocolError);
    connect(m_auth, &CFacebookAuth::networkError, this, &CFacebookSetupWidget::_onNetworkError);
}

CFacebookSetupWidget::~CFacebookSetupWidget() = default;

bool CFacebookSetupWidget::isSamePage(const QString& url, const QString& page)
{
    const QUrl landed(url);
    const QUrl expected(page);
    return landed.authority() == expected.authority() && landed.path() == expected.path();
}

void CFacebookSetupWidget::onStartSetup()
{
    showConnectingPage(kServiceName);
    m_auth->requestAuthorization();
}

void CFacebookSetupWidget::onCancelSetup() {}

bool CFacebookSetupWidget::onHtmlPageRequested(const QString& url)
{
    Q_UNUSED(url)
    return true;
}

void CFacebookSetupWidget::onHtmlPageLoaded(const QString& url)
{
    if (isSamePage(url, m_auth->api()->loginSuccessUrl())) {
        // The waiting page first: reading the landing may end on an error page at once.
        showWaitingPage(QString());
        m_auth->processCallbackUrl(url);
    } else if (isSamePage(url, m_auth->api()->loginFailureUrl())) {
        showErrorPage(QStringLiteral("Failed to authorize your Facebook account"));
        stopWaiting();
    }
}

void CFacebookSetupWidget::onHtmlPageFailed(const QString& url)
{
    stopWaiting();
    showErrorPage(QStringLiteral("Failed to load page: ") + url);
}

void CFacebookSetupWidget::_onAuthorizationUrl(const QString& url)
{
    showWebPage(url);
}

void CFacebookSetupWidget::_onAccessGranted()
{
    showDonePage(doneText(kServiceName));
}

void CFacebookSetupWidget::_onAccessRejected()
{
    showErrorPage(serviceErrorText(kServiceName));
}

void CFacebookSetupWidget::_onProtocolError()
{
    showErrorPage(serviceErrorText(kServiceName));
}

void CFacebookSetupWidget::_onNetworkError()
{
    showErrorPage(networkErrorText(kServiceName));
}
