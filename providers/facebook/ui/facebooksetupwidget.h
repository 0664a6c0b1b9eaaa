#pragma once

#include "meskservicesetupwidget.h"

#include <QPointer>
#include <QString>

class CFacebookAuth;

// The Facebook page logic of the setup wizard: opens the login page in the embedded
// browser, hands the success landing to CFacebookAuth and turns its outcomes into the
// wizard's done and error pages.
class CFacebookSetupWidget : public CMeskServiceSetupWidget
{
    Q_OBJECT
public:
    CFacebookSetupWidget(CFacebookAuth* auth, QWidget* parent = nullptr);
    ~CFacebookSetupWidget() override;

    // Whether a page address is the login success or failure landing: same authority
    // (host and port) and path as the page the login was told to return to.
    static bool isSamePage(const QString& url, const QString& page);

public slots:
    void onStartSetup() override;
    void onCancelSetup() override;
    bool onHtmlPageRequested(const QString& url) override;
    void onHtmlPageLoaded(const QString& url) override;
    void onHtmlPageFailed(const QString& url) override;

private slots:
    void _onAuthorizationUrl(const QString& url);
    void _onAccessGranted();
    void _onAccessRejected();
    void _onAccountNotStored();
    void _onProtocolError();
    void _onNetworkError();

private:
    // The wizard may outlive the login object it was made for.
    QPointer<CFacebookAuth> m_auth;
};
