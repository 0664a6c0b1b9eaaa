#pragma once

#include "meskhttpresponse.h"

#include <QObject>
#include <QString>

class CMeskHttpMethod;
class CTwitterApi;

// The PIN flow of OAuth 1.0 that links a Twitter account.
//
// requestAccess() fetches a request token and emits authorizationUrl(url), the
// page where the user signs in and reads a PIN; requestAccessToken(pin) then
// exchanges the request token (signed with its secret) and the PIN for the
// account's token pair, user id and screen name, sets them on the API and emits
// userEnabled(token, secret, userId, userName) followed by accessGranted(). A
// receiver of userEnabled() that cannot keep the account calls rejectAccount()
// from its slot: the API's account is emptied and accountNotStored() comes
// instead of accessGranted().
//
// Every failure returns to state 0 and leaves the API's account as it was: no
// consumer, a request the pool does not take, an error status or an unreadable
// reply give protocolError(); a transport failure gives networkError(). Starting
// either step cancels a request of the flow that still runs, so a new flow
// starts over. accessRejected() is declared for the setup wizard and never
// emitted. GUI thread only; the replies are judged here, after the call object
// has finished.
class CTwitterAuth : public QObject
{
    Q_OBJECT
public:
    enum State
    {
        Idle = 0,
        RequestingToken = 1,
        RequestingAccessToken = 2,
    };

    CTwitterAuth(CTwitterApi* api, QObject* parent);
    ~CTwitterAuth() override;

    void setConsumer(const QString& key, const QString& secret);
    // Restores a stored account on the API; no signal.
    void setUser(const QString& token, const QString& secret, const QString& userId, const QString& userName);
    // Empties the API's account, then emits userRemoved().
    void removeUser();
    bool isAuthorized() const;
    QString userId() const;
    QString userName() const;
    int state() const { return m_state; }

    void requestAccess();
    void requestAccessToken(const QString& pin);
    // From a slot of userEnabled(): the account could not be kept.
    void rejectAccount() { m_accountRejected = true; }

signals:
    void userEnabled(const QString& token, const QString& secret, const QString& userId,
                     const QString& userName);
    void userRemoved();
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
    // Starts the GET of a built URL in the given state; protocolError() when it was
    // not built or the pool does not take it.
    void start(bool built, const QString& url, State state);
    void readRequestToken();
    void readAccessToken();

    CTwitterApi* m_api;
    CMeskHttpMethod* m_method;
    int m_state = Idle;
    QString m_requestToken;
    QString m_requestTokenSecret;
    bool m_accountRejected = false;
};
