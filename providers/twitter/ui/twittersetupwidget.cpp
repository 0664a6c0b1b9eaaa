#include "twittersetupwidget.h"

#include "mesktexts.h"
#include "twitterauth.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>

namespace {

const QString kServiceName = QStringLiteral("Twitter");

} // namespace

CTwitterSetupWidget::CTwitterSetupWidget(CTwitterAuth* auth, QWidget* parent)
    : CMeskServiceSetupWidget(parent), m_auth(auth)
{
    setMinimumWidth(800);
    setMinimumHeight(500);
    setTitle(wizardTitleText(kServiceName));
    showWelcomePage(welcomeText(kServiceName));
    if (auth) {
        connect(auth, &CTwitterAuth::authorizationUrl, this, &CTwitterSetupWidget::_onAuthorizationUrl);
        connect(auth, &CTwitterAuth::accessGranted, this, &CTwitterSetupWidget::_onAccessGranted);
        connect(auth, &CTwitterAuth::accessRejected, this, &CTwitterSetupWidget::_onAccessRejected);
        connect(auth, &CTwitterAuth::accountNotStored, this, &CTwitterSetupWidget::_onAccountNotStored);
        connect(auth, &CTwitterAuth::protocolError, this, &CTwitterSetupWidget::_onProtocolError);
        connect(auth, &CTwitterAuth::networkError, this, &CTwitterSetupWidget::_onNetworkError);
    }
}

CTwitterSetupWidget::~CTwitterSetupWidget() = default;

void CTwitterSetupWidget::onStartSetup()
{
    showConnectingPage(kServiceName);
    if (m_auth)
        m_auth->requestAccess();
}

void CTwitterSetupWidget::onCancelSetup() {}

bool CTwitterSetupWidget::onHtmlPageRequested(const QString& url)
{
    Q_UNUSED(url)
    return true;
}

void CTwitterSetupWidget::onHtmlPageLoaded(const QString& url)
{
    Q_UNUSED(url)
    if (!m_pinBar)
        buildPinBar();
    stopWaiting();
}

void CTwitterSetupWidget::onHtmlPageFailed(const QString& url)
{
    stopWaiting();
    //: Error message meaning that a web-address couldn't be opened
    showErrorPage(tr("Failed to load page: ") + url);
}

void CTwitterSetupWidget::_onAuthorizationUrl(const QString& url)
{
    showWebPage(url);
}

void CTwitterSetupWidget::_onAccessGranted()
{
    showDonePage(doneText(kServiceName));
}

void CTwitterSetupWidget::_onAccessRejected()
{
    showErrorPage(serviceErrorText(kServiceName));
}

void CTwitterSetupWidget::_onAccountNotStored()
{
    showErrorPage(CMeskTexts::errorText(0));
}

void CTwitterSetupWidget::_onProtocolError()
{
    showErrorPage(serviceErrorText(kServiceName));
}

void CTwitterSetupWidget::_onNetworkError()
{
    showErrorPage(networkErrorText(kServiceName));
}

void CTwitterSetupWidget::_onReady()
{
    if (!m_pinField)
        return;
    // A PIN copied from the page often brings blanks along; the service knows it without them.
    const QString pin = m_pinField->text().trimmed();
    if (pin.isEmpty())
        return;
    if (m_auth)
        m_auth->requestAccessToken(pin);
    m_pinBar = false;
    removeCustomPage();
}

void CTwitterSetupWidget::buildPinBar()
{
    auto* bar = new QWidget;
    auto* layout = new QHBoxLayout(bar);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addStretch(1);
    //: Label text indicating the next step when setup is concluded
    layout->addWidget(new QLabel(tr("when you are finished, enter the pin ")));
    m_pinField = new QLineEdit;
    layout->addWidget(m_pinField);
    //: complementary text to indicate the next step (press button)
    layout->addWidget(new QLabel(tr(" and press ")));
    //: Button label
    auto* ready = new QPushButton(tr("Ready"));
    layout->addWidget(ready);
    layout->addSpacing(20);

    ready->setFixedHeight(25);
    m_pinField->setFixedHeight(25);
    ready->setProperty("com_velto_qstyleRole", QStringLiteral("quor.commonuilibrary.button.dashboard"));
    style()->unpolish(ready);
    style()->polish(ready);
    connect(ready, &QPushButton::clicked, this, &CTwitterSetupWidget::_onReady);

    m_pinBar = true;
    insertCustomPage(bar);
}
