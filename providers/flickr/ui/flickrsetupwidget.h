#pragma once

#include "meskservicesetupwidget.h"

class CFlickrAuth;

// The Flickr page logic of the setup wizard: asks for a frob, shows the service's authorisation
// page, offers a "Ready" bar once a page of the service's site is requested, and on "Ready"
// exchanges the frob for the token, ending on the done page or an error page.
//
// States: 0 welcome; 1 frob requested; 2 authorisation page shown; 4 token requested.
class CFlickrSetupWidget : public CMeskServiceSetupWidget
{
    Q_OBJECT
public:
    explicit CFlickrSetupWidget(CFlickrAuth* auth, QWidget* parent = nullptr);
    ~CFlickrSetupWidget() override;

    int state() const { return m_state; }
    // The site's domain that brings the "Ready" bar: the host of the service's home address
    // without a leading "www.".
    QString siteDomain() const;

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
    void _onReady();

private:
    void insertReadyBar();

    int m_state = 0;
    CFlickrAuth* m_auth;
    bool m_readyBar = false;
};
