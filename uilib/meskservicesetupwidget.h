#pragma once

#include "windows/quordialog.h"

#include <QPointer>
#include <QWidget>

class CMeskDialogTitleBar;
class CMeskWebWidget;
class CQuorAnimationWidget;
class CQuorGradientButton;
class QFrame;
class QLabel;
class QScrollArea;
class QVBoxLayout;

// A wizard page with a message and one button, which emits nextPage(). The message scrolls
// when the page is too low for it; the button stays outside the scrolled part.
class CMeskSetupTextPage : public QWidget
{
    Q_OBJECT
public:
    CMeskSetupTextPage(const QString& buttonText, QWidget* parent = nullptr);
    ~CMeskSetupTextPage() override;

    void setText(const QString& text);
    QLabel* label() const { return m_label; }
    CQuorGradientButton* button() const { return m_button; }
    QScrollArea* body() const { return m_body; }

signals:
    void nextPage();

private:
    QScrollArea* m_body = nullptr;
    QLabel* m_label = nullptr;
    CQuorGradientButton* m_button = nullptr;
};

// A wizard page with the wait animation alone.
class CMeskSetupWaitingPage : public QWidget
{
    Q_OBJECT
public:
    explicit CMeskSetupWaitingPage(QWidget* parent = nullptr);
    ~CMeskSetupWaitingPage() override;

    void start();
    void stop();
    CQuorAnimationWidget* animation() const { return m_animation; }

private:
    CQuorAnimationWidget* m_animation = nullptr;
};

// The modal dialog through which the user connects one web-service account; each service's
// setup derives from it. It holds five pages of which at most one shows (welcome, error, done,
// embedded web page, waiting), a status line at the bottom and an optional instruction strip
// under the caption. The subclass drives the authorisation through the virtual slots and calls
// the page operations; the base never talks to a service. The constructor hides every page: a
// subclass shows its first page itself (each service's wizard shows the welcome page in its own
// constructor).
class CMeskServiceSetupWidget : public CQuorDialog
{
    Q_OBJECT
public:
    explicit CMeskServiceSetupWidget(QWidget* parent = nullptr);
    ~CMeskServiceSetupWidget() override;

    void setTitle(const QString& text);
    // Hides every page and the status line.
    void hideCurrentPage();
    void showWelcomePage(const QString& text);
    void showDonePage(const QString& text);
    void showErrorPage(const QString& text);
    // The text is not shown: the waiting page has the animation only.
    void showWaitingPage(const QString& text);
    void showWebPage(const QString& url);
    // The status line "Connecting to <service>, please wait..." with its animation; the page
    // stays as it is.
    void showConnectingPage(const QString& serviceName);
    // Hides the status line.
    void stopWaiting();

    // The instruction strip under the caption, 25 px high, on a pale yellow background; it
    // replaces (and deletes) the one before. The wizard takes it.
    void insertCustomPage(QWidget* page);
    void removeCustomPage();
    QWidget* customPage() const { return m_customPage; }

    static QString wizardTitleText(const QString& name);
    static QString welcomeText(const QString& name);
    static QString doneText(const QString& name);
    static QString networkErrorText(const QString& name);
    static QString serviceErrorText(const QString& name);

    CMeskDialogTitleBar* setupTitleBar() const { return m_titleBar; }
    CMeskSetupTextPage* welcomePage() const { return m_welcomePage; }
    CMeskSetupTextPage* errorPage() const { return m_errorPage; }
    CMeskSetupTextPage* donePage() const { return m_donePage; }
    CMeskWebWidget* webPage() const { return m_webPage; }
    CMeskSetupWaitingPage* waitingPage() const { return m_waitingPage; }
    CQuorAnimationWidget* statusAnimation() const { return m_statusAnimation; }
    QLabel* statusLabel() const { return m_statusLabel; }

public slots:
    // Called by the buttons of the welcome page and of the error page ("Try again"): the subclass
    // starts (or starts again) its authorisation. The done page's button calls accept() instead.
    virtual void onStartSetup();
    // Nothing calls it; the base does nothing.
    virtual void onCancelSetup();
    // Called by the web page for every navigation it announces; navigation goes ahead whatever it
    // answers.
    virtual bool onHtmlPageRequested(const QString& url);
    // Called by the web page when a page has loaded, or failed to load.
    virtual void onHtmlPageLoaded(const QString& url);
    virtual void onHtmlPageFailed(const QString& url);

private slots:
    void _onUrlRequested(const QString& url);
    void _onStatusTextChanged(const QString& text);

private:
    void showStatus(const QString& text);

    CMeskDialogTitleBar* m_titleBar = nullptr;
    QPointer<QWidget> m_customPage;
    QFrame* m_bottomFrame = nullptr;
    CQuorAnimationWidget* m_statusAnimation = nullptr;
    QLabel* m_statusLabel = nullptr;
    QVBoxLayout* m_mainLayout = nullptr;
    CMeskSetupTextPage* m_welcomePage = nullptr;
    CMeskSetupTextPage* m_donePage = nullptr;
    CMeskSetupTextPage* m_errorPage = nullptr;
    CMeskWebWidget* m_webPage = nullptr;
    CMeskSetupWaitingPage* m_waitingPage = nullptr;
};
