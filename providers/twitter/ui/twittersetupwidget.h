#pragma once

#include "meskservicesetupwidget.h"

#include <QLineEdit>
#include <QPointer>

class CTwitterAuth;

// The Twitter page logic of the setup wizard: the PIN flow of CTwitterAuth. Starting asks for
// the authorisation page and shows it in the wizard's browser; each page load that finds no
// PIN bar adds one under the caption ("when you are finished, enter the pin [...] and press
// Ready"). "Ready" hands the trimmed PIN to CTwitterAuth and removes the bar at once (a field
// that is empty or holds only blanks does nothing). The outcome gives the done page, or an
// error page that says whether the service or the network failed; a page that cannot be
// loaded gives an error page with its address.
class CTwitterSetupWidget : public CMeskServiceSetupWidget
{
    Q_OBJECT
public:
    CTwitterSetupWidget(CTwitterAuth* auth, QWidget* parent = nullptr);
    ~CTwitterSetupWidget() override;

    bool hasPinBar() const { return m_pinBar; }
    QLineEdit* pinField() const { return m_pinField; }

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
    void buildPinBar();

    QPointer<CTwitterAuth> m_auth;
    bool m_pinBar = false;
    // Belongs to the bar, which the wizard deletes when it removes it.
    QPointer<QLineEdit> m_pinField;
};
