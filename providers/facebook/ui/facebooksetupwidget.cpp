#include "facebooksetupwidget.h"

#include "facebookapi.h"
#include "facebookauth.h"
#include "mesktexts.h"

#include <QUrl>

namespace {
const QString kServiceName = QStringLiteral("Facebook");
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
    connect(m_auth, &CFacebookAuth::accountNotStored, this, &CFacebookSetupWidget::_onAccountNotStored);
    connect(m_auth, &CFacebookAuth::protocolError, this, &CFacebookSetupWidget::_onProtocolError);
    connect(m_auth, &CFacebookAuth::networkError, this, &CFacebookSetupWidget::_onNetworkError);
}

CFacebookSetupWidget::~CFacebookSetupWidget()
{
    // A login still waiting for its profile ends with the wizard.
    if (m_auth)
        m_auth->endAttempt();
}

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
        // This text, like that of a page that fails to load (onHtmlPageFailed), is shown as it
        // stands in every language: do not wrap it in tr(), though another wizard translates its own.
        showErrorPage(QStringLiteral("Failed to authorize your Facebook account"));
        stopWaiting();
    }
}

void CFacebookSetupWidget::onHtmlPageFailed(const QString& url)
{
    stopWaiting();
    // Shown as it stands in every language: do not wrap it in tr() (see onHtmlPageLoaded).
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

void CFacebookSetupWidget::_onAccountNotStored()
{
    showErrorPage(CMeskTexts::errorText(0));
}

void CFacebookSetupWidget::_onProtocolError()
{
    showErrorPage(serviceErrorText(kServiceName));
}

void CFacebookSetupWidget::_onNetworkError()
{
    showErrorPage(networkErrorText(kServiceName));
}
