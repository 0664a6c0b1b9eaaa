#include "meskservicesetupwidget.h"

#include "meskdialogtitlebar.h"
#include "meskwebwidget.h"
#include "style/quorcommonstyle.h"
#include "widgets/quoranimationwidget.h"
#include "widgets/quorbuttons.h"

#include <QDebug>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QScrollArea>
#include <QVBoxLayout>

CMeskSetupTextPage::CMeskSetupTextPage(const QString& buttonText, QWidget* parent) : QWidget(parent)
{
    auto* layout = new QVBoxLayout(this);
    // The message scrolls where the wizard is lower than the text wants (a small screen, large
    // fonts); the button stays below it, always in view.
    m_body = new QScrollArea(this);
    m_body->setObjectName(QStringLiteral("pageBody"));
    m_body->setFrameShape(QFrame::NoFrame);
    m_body->setWidgetResizable(true);
    m_body->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_body->viewport()->setAutoFillBackground(false);
    auto* holder = new QWidget;
    holder->setAutoFillBackground(false);
    // Centred between two stretches rather than by alignment: a row asks the wrapped label for
    // its height at the width it really gets, so the scrolled height holds the whole message.
    auto* holderLayout = new QHBoxLayout(holder);
    holderLayout->setContentsMargins(0, 0, 0, 0);
    m_label = new QLabel(holder);
    m_label->setWordWrap(true);
    m_label->setProperty("com_velto_fontRole", QStringLiteral("common.dialog.header.label"));
    holderLayout->addStretch(1);
    holderLayout->addWidget(m_label);
    holderLayout->addStretch(1);
    m_body->setWidget(holder);
    m_button = new CQuorGradientButton(this, CQuorGradientButton::Positive);
    m_button->setFixedHeight(40);
    m_button->setText(buttonText);
    layout->addWidget(m_body, 1);
    layout->addWidget(m_button, 0, Qt::AlignHCenter);
    layout->addSpacing(20);
    connect(m_button, &QAbstractButton::clicked, this, &CMeskSetupTextPage::nextPage);
}

CMeskSetupTextPage::~CMeskSetupTextPage() = default;

void CMeskSetupTextPage::setText(const QString& text)
{
    m_label->setText(text);
}

CMeskSetupWaitingPage::CMeskSetupWaitingPage(QWidget* parent) : QWidget(parent)
{
    auto* layout = new QVBoxLayout(this);
    m_animation = new CQuorAnimationWidget(this);
    layout->addWidget(m_animation, 0, Qt::AlignHCenter | Qt::AlignVCenter);
}

CMeskSetupWaitingPage::~CMeskSetupWaitingPage() = default;

void CMeskSetupWaitingPage::start()
{
    m_animation->start();
}

void CMeskSetupWaitingPage::stop()
{
    m_animation->stop();
}

CMeskServiceSetupWidget::CMeskServiceSetupWidget(QWidget* parent) : CQuorDialog(parent)
{
    setMinimumWidth(640);
    setMinimumHeight(480);

    m_titleBar = new CMeskDialogTitleBar(this, QString(), true);
    m_titleBar->setColor(CMeskDialogTitleBar::Gray);
    //: Title bar text for the setup wizard
    m_titleBar->setTitle(tr("Service setup Wizard"));

    m_bottomFrame = new QFrame(this);
    m_bottomFrame->setObjectName(QStringLiteral("bottomFrame"));
    m_bottomFrame->setFrameShape(QFrame::StyledPanel);
    m_bottomFrame->setFixedHeight(
        style()->pixelMetric(QStyle::PixelMetric(CQuorCommonStyle::PM_QuorSecondaryBottomBarHeight)));
    m_bottomFrame->setProperty("com_velto_qstyleRole",
                               QStringLiteral("quor.commonuilibrary.window.dialog.bottomFrame"));
    auto* bottomLayout = new QHBoxLayout(m_bottomFrame);
    m_statusAnimation = new CQuorAnimationWidget(m_bottomFrame);
    m_statusLabel = new QLabel(m_bottomFrame);
    // The browser's status text comes from web pages.
    m_statusLabel->setTextFormat(Qt::PlainText);
    QFont italic = m_statusLabel->font();
    italic.setItalic(true);
    m_statusLabel->setFont(italic);
    bottomLayout->addWidget(m_statusAnimation);
    bottomLayout->addWidget(m_statusLabel);
    bottomLayout->addStretch(1);
    stopWaiting();

    m_mainLayout = new QVBoxLayout(this);
    m_mainLayout->setContentsMargins(0, 0, 0, 0);
    m_mainLayout->setSpacing(0);
    m_mainLayout->addWidget(m_titleBar);

    //: Label for the button which initiates the setup wizards
    m_welcomePage = new CMeskSetupTextPage(tr("Click here to get started!"), this);
    //: Label for a button that restarts a failed operation
    m_errorPage = new CMeskSetupTextPage(tr("Try again"), this);
    //: Label for a button
    m_donePage = new CMeskSetupTextPage(tr("Close Wizard"), this);
    m_webPage = new CMeskWebWidget(this);
    m_waitingPage = new CMeskSetupWaitingPage(this);
    m_mainLayout->addWidget(m_welcomePage);
    m_mainLayout->addWidget(m_errorPage);
    m_mainLayout->addWidget(m_donePage);
    m_mainLayout->addWidget(m_webPage);
    m_mainLayout->addWidget(m_waitingPage);
    m_mainLayout->addWidget(m_bottomFrame);

    connect(m_welcomePage, &CMeskSetupTextPage::nextPage, this, &CMeskServiceSetupWidget::onStartSetup);
    connect(m_errorPage, &CMeskSetupTextPage::nextPage, this, &CMeskServiceSetupWidget::onStartSetup);
    connect(m_donePage, &CMeskSetupTextPage::nextPage, this, &QDialog::accept);
    connect(m_webPage, &CMeskWebWidget::urlChangeRequested, this, &CMeskServiceSetupWidget::_onUrlRequested);
    connect(m_webPage, &CMeskWebWidget::pageLoaded, this, &CMeskServiceSetupWidget::onHtmlPageLoaded);
    connect(m_webPage, &CMeskWebWidget::pageLoadFailed, this, &CMeskServiceSetupWidget::onHtmlPageFailed);
    connect(m_webPage, &CMeskWebWidget::statusTextChanged, this,
            &CMeskServiceSetupWidget::_onStatusTextChanged);

    hideCurrentPage();
}

CMeskServiceSetupWidget::~CMeskServiceSetupWidget() = default;

void CMeskServiceSetupWidget::setTitle(const QString& text)
{
    m_titleBar->setTitle(text);
}

void CMeskServiceSetupWidget::hideCurrentPage()
{
    m_welcomePage->hide();
    m_errorPage->hide();
    m_donePage->hide();
    m_webPage->hide();
    m_waitingPage->hide();
    m_waitingPage->stop();
    stopWaiting();
}

void CMeskServiceSetupWidget::showWelcomePage(const QString& text)
{
    hideCurrentPage();
    m_welcomePage->setText(text);
    m_welcomePage->show();
}

void CMeskServiceSetupWidget::showDonePage(const QString& text)
{
    hideCurrentPage();
    m_donePage->setText(text);
    m_donePage->show();
}

void CMeskServiceSetupWidget::showErrorPage(const QString& text)
{
    hideCurrentPage();
    m_errorPage->setText(text);
    m_errorPage->show();
}

void CMeskServiceSetupWidget::showWaitingPage(const QString& text)
{
    Q_UNUSED(text)
    hideCurrentPage();
    m_waitingPage->show();
    m_waitingPage->start();
}

void CMeskServiceSetupWidget::showWebPage(const QString& url)
{
    hideCurrentPage();
    m_webPage->show();
    m_webPage->navigate(url);
}

void CMeskServiceSetupWidget::showConnectingPage(const QString& serviceName)
{
    //: Status message, informs that a connection is being opened
    showStatus(tr("Connecting to %1, please wait...").arg(serviceName));
}

void CMeskServiceSetupWidget::showStatus(const QString& text)
{
    m_statusAnimation->show();
    m_statusLabel->show();
    m_statusLabel->setText(text + QLatin1Char(' '));
    m_statusAnimation->start();
}

void CMeskServiceSetupWidget::stopWaiting()
{
    m_statusAnimation->stop();
    m_statusAnimation->hide();
    m_statusLabel->hide();
}

void CMeskServiceSetupWidget::insertCustomPage(QWidget* page)
{
    removeCustomPage();
    if (!page)
        return;
    m_customPage = page;
    page->setParent(this);
    // As wide as the layout makes it, so it follows the wizard when the user widens it.
    page->setFixedHeight(25);
    m_mainLayout->insertWidget(m_mainLayout->indexOf(m_titleBar) + 1, page, 0);
    QPalette palette = page->palette();
    // Pale yellow whether or not the wizard is the active window (the user switches to the
    // browser's page and back while reading it).
    palette.setColor(QPalette::Active, QPalette::Window, QColor(255, 255, 204));
    palette.setColor(QPalette::Inactive, QPalette::Window, QColor(255, 255, 204));
    page->setPalette(palette);
    page->setAutoFillBackground(true);
    page->setBackgroundRole(QPalette::Window);
    page->show();
}

void CMeskServiceSetupWidget::removeCustomPage()
{
    delete m_customPage;
    m_customPage = nullptr;
}

QString CMeskServiceSetupWidget::wizardTitleText(const QString& name)
{
    //: Window title for the setup process
    return tr("%1 service setup wizard").arg(name);
}

QString CMeskServiceSetupWidget::welcomeText(const QString& name)
{
    //: Note: states that user will add his 'social networking service' account into Mesk.
    return tr("Welcome to the setup wizard for %1. You will be redirected to %1 pages, please follow the "
              "instructions and authorize Velto Lumesk to access your account.")
        .arg(name);
}

QString CMeskServiceSetupWidget::doneText(const QString& name)
{
    //: User has completed the setup process for some social networking service
    return tr("Now Velto Lumesk is ready to use your %1 account").arg(name);
}

QString CMeskServiceSetupWidget::networkErrorText(const QString& name)
{
    //: Error: no network! Internet might be disconnected?
    return tr("There seems to be network problems accessing %1, please check that your network "
              "connection is working.")
        .arg(name);
}

QString CMeskServiceSetupWidget::serviceErrorText(const QString& name)
{
    //: Error:the social network service reported an error.
    return tr("%1 is having problems - please try again later.").arg(name);
}

void CMeskServiceSetupWidget::onStartSetup() {}

void CMeskServiceSetupWidget::onCancelSetup() {}

bool CMeskServiceSetupWidget::onHtmlPageRequested(const QString& url)
{
    qDebug() << "CMeskServiceSetupWidget::onHtmlPageRequested" << url;
    return true;
}

void CMeskServiceSetupWidget::onHtmlPageLoaded(const QString& url)
{
    Q_UNUSED(url)
}

void CMeskServiceSetupWidget::onHtmlPageFailed(const QString& url)
{
    Q_UNUSED(url)
}

void CMeskServiceSetupWidget::_onUrlRequested(const QString& url)
{
    onHtmlPageRequested(url);
}

void CMeskServiceSetupWidget::_onStatusTextChanged(const QString& text)
{
    m_statusLabel->setText(text + QLatin1Char(' '));
}
