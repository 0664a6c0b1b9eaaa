#pragma once

#include "meskhttpresponse.h"

#include <QObject>
#include <QString>

class CFlickrApi;
class CMeskHttpMethod;

// The desktop authorisation with a frob, and the signed-in account.
//
// requestAuthorization() asks for a frob and emits authorizationUrl(url) with
// the page where the user grants access; requestToken() then exchanges the frob
// for the auth token and the user, sets the token on the API and emits
// userChanged(token, "", userId, userName) and accessGranted(); a receiver of
// userChanged() that cannot keep the account calls rejectAccount() from its slot,
// and the account is cleared again with accountNotStored() instead of
// accessGranted(). A refused or
// unreadable answer, or a request that cannot be built or started, gives
// protocolError(); a transport failure gives networkError() and keeps the state.
// The token lives in CFlickrApi; this object keeps the frob and the user.
// GUI thread only.
class CFlickrAuth : public QObject
{
    Q_OBJECT
public:
    enum State
    {
        Idle = 0,
        WaitingForFrob = 1,
        WaitingForToken = 2,
    };

    CFlickrAuth(CFlickrApi* api, QObject* parent);
    ~CFlickrAuth() override;

    void setConsumer(const QString& apiKey, const QString& sharedSecret);
    bool isAuthorized() const;
    int state() const { return m_state; }
    QString frob() const { return m_frob; }
    QString userId() const { return m_userId; }
    QString userName() const { return m_userName; }
    // The service's web site (CFlickrApi::homeUrl), for the setup page.
    QString homeUrl() const;

    // A stored account; the secret is not used by this service. No signal.
    void restoreUser(const QString& token, const QString& secret, const QString& userId,
                     const QString& userName);
    // Signs out; always emits userChanged with four empty texts.
    void clearUser();

    void requestAuthorization();
    void requestToken();
    // From a slot of userChanged(): the account could not be kept.
    void rejectAccount() { m_accountRejected = true; }

signals:
    void userChanged(const QString& token, const QString& secret, const QString& userId,
                     const QString& userName);
    void authorizationUrl(const QString& url);
    void accessGranted();
    void accessRejected();
    void accountNotStored();
    void protocolError();
    void networkError();

public slots:
    void onNetworkError(TMeskHttpError error);
    void onRequestFinished();

private:
    // Starts the GET of a built URL in the given state.
    void start(bool built, const QString& url, State state);
    void readFrob();
    void readToken();

    CFlickrApi* m_api;
    CMeskHttpMethod* m_request;
    int m_state = Idle;
    QString m_frob;
    QString m_userId;
    QString m_userName;
    bool m_accountRejected = false;
};
