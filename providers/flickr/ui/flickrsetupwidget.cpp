#include "flickrsetupwidget.h"

#include "flickrauth.h"
#include "mesktexts.h"

#include <QBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QUrl>

namespace {
const QString kServiceName = QStringLiteral("Flickr");
} // namespace

CFlickrSetupWidget::CFlickrSetupWidget(CFlickrAuth* auth, QWidget* parent)
    : CMeskServiceSetupWidget(parent), m_auth(auth)
{
    setMinimumSize(950, 650);
    setTitle(wizardTitleText(kServiceName));
    showWelcomePage(welcomeText(kServiceName));
    connect(m_auth, &CFlickrAuth::authorizationUrl, this, &CFlickrSetupWidget::_onAuthorizationUrl);
    connect(m_auth, &CFlickrAuth::accessGranted, this, &CFlickrSetupWidget::_onAccessGranted);
    connect(m_auth, &CFlickrAuth::accessRejected, this, &CFlickrSetupWidget::_onAccessRejected);
    connect(m_auth, &CFlickrAuth::accountNotStored, this, &CFlickrSetupWidget::_onAccountNotStored);
    connect(m_auth, &CFlickrAuth::protocolError, this, &CFlickrSetupWidget::_onProtocolError);
    connect(m_auth, &CFlickrAuth::networkError, this, &CFlickrSetupWidget::_onNetworkError);
}

CFlickrSetupWidget::~CFlickrSetupWidget() = default;

QString CFlickrSetupWidget::siteDomain() const
{
    QString host = QUrl(m_auth->homeUrl()).host();
    if (host.startsWith(QLatin1String("www.")))
        host.remove(0, 4);
    return host;
}

void CFlickrSetupWidget::onStartSetup()
{
    m_state = 1;
    showConnectingPage(kServiceName);
    m_auth->requestAuthorization();
}

void CFlickrSetupWidget::onCancelSetup() {}

bool CFlickrSetupWidget::onHtmlPageRequested(const QString& url)
{
    const QString domain = siteDomain();
    if (!m_readyBar && !domain.isEmpty() && QUrl(url).host().contains(domain))
        insertReadyBar();
    return true;
}

void CFlickrSetupWidget::onHtmlPageLoaded(const QString& url)
{
    Q_UNUSED(url)
    stopWaiting();
}

void CFlickrSetupWidget::onHtmlPageFailed(const QString& url)
{
    stopWaiting();
    //: Error message meaning that a web-address couldn't be opened
    showErrorPage(tr("Failed to load page: ") + url);
}

void CFlickrSetupWidget::_onAuthorizationUrl(const QString& url)
{
    m_state = 2;
    showWebPage(url);
}

void CFlickrSetupWidget::_onAccessGranted()
{
    showDonePage(doneText(kServiceName));
}

void CFlickrSetupWidget::_onAccessRejected()
{
    showErrorPage(serviceErrorText(kServiceName));
}

void CFlickrSetupWidget::_onAccountNotStored()
{
    showErrorPage(CMeskTexts::errorText(0));
}

void CFlickrSetupWidget::_onProtocolError()
{
    showErrorPage(serviceErrorText(kServiceName));
}

void CFlickrSetupWidget::_onNetworkError()
{
    showErrorPage(networkErrorText(kServiceName));
}

void CFlickrSetupWidget::_onReady()
{
    if (m_state != 2)
        return;
    m_auth->requestToken();
    m_state = 4;
    m_readyBar = false;
    removeCustomPage();
}

void CFlickrSetupWidget::insertReadyBar()
{
    auto* bar = new QWidget;
    auto* layout = new QHBoxLayout(bar);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addStretch(1);
    //: Label text indicating to press a button when setup is concluded
    layout->addWidget(new QLabel(tr("when you are finished press "), bar));
    //: Button label
    auto* button = new QPushButton(tr("Ready"), bar);
    button->setFixedHeight(20);
    button->setProperty("com_velto_qstyleRole", QStringLiteral("quor.commonuilibrary.button.dashboard"));
    button->style()->unpolish(button);
    button->style()->polish(button);
    connect(button, &QPushButton::clicked, this, &CFlickrSetupWidget::_onReady);
    layout->addWidget(button);
    layout->addSpacing(25);
    insertCustomPage(bar);
    m_readyBar = true;
}
