#pragma once

#include "facebookrecords.h"
#include "meskhttpresponse.h"
#include "meskrecords.h"

#include <QObject>
#include <QString>

class CFacebookApi;
class CFacebookUserInfo;
class QTimer;

// The session side of a Facebook login. Gives the login page address, reads the session
// out of the page the browser lands on, fetches the signed-in user's own profile with
// users.getInfo (retried on service errors) and then announces the account with
// userAdded() and accessGranted(). A failed login clears the session again; a landing
// that cannot be read leaves any earlier session, uid and retry count untouched.
//
// Each readable landing starts one login attempt, which ends in exactly one outcome.
// The attempt owns its users.getInfo call and its retry timer: a new landing, a new
// requestAuthorization(), logout(), endAttempt() (the wizard closing) and the outcome
// stop both, and an answer or refusal that arrives for an ended attempt is ignored. A
// refused request (the call busy or not started) is no service error and is never
// retried. The receiver of userAdded() that cannot keep the account calls
// rejectAccount() from its slot: the session is cleared and the attempt ends in
// accountNotStored() instead of accessGranted(). GUI thread only.
class CFacebookAuth : public QObject
{
    Q_OBJECT
public:
    // users.getInfo is tried again this many times after a service error.
    static constexpr int kMaxRetries = 3;
    static constexpr int kDefaultRetryIntervalMs = 5000;

    CFacebookAuth(CFacebookApi* api, QObject* parent = nullptr);
    ~CFacebookAuth() override;

    CFacebookApi* api() const { return m_api; }
    void setApiKey(const QString& key);
    bool isAuthorized() const;
    QString uid() const { return m_uid; }
    QString userName() const { return m_userName; }
    // Sets a stored session again (start-up); emits nothing.
    void restoreSession(const QString& sessionKey, const QString& sessionSecret, const QString& uid,
                        const QString& userName);
    // Clears the session and the user, then emits userRemoved().
    void logout();
    // Emits authorizationUrl() with the login page, or protocolError() without a key.
    void requestAuthorization();
    // Reads the page the login landed on; ends in userAdded() and accessGranted(), or in
    // one of the error signals.
    void processCallbackUrl(const QString& url);
    // Starts users.getInfo for uid; false while one is running or when it is refused.
    bool requestUserInfo(const QString& uid);
    // Ends a login attempt that has no outcome yet, without one: its call and retry stop
    // and its session is cleared. Nothing happens without such an attempt.
    void endAttempt();
    // From a slot of userAdded(): the account could not be kept.
    void rejectAccount();
    bool isRetryPending() const;

    int retryIntervalMs() const { return m_retryIntervalMs; }
    void setRetryIntervalMs(int ms) { m_retryIntervalMs = ms; }

signals:
    void userAdded(const QString& sessionKey, const QString& sessionSecret, const SFacebookUser& user);
    void userRemoved();
    void authorizationUrl(const QString& url);
    void accessGranted();
    void accessRejected();
    void accountNotStored();
    void protocolError();
    void networkError();

private slots:
    void _onUserInfoReady(const SFacebookUser& user);
    void _onProtocolError(TMediaError error);
    void _onNetworkError(TMeskHttpError error);
    void _onRequestUserInfoAgain();

private:
    void clearSession();
    // Stops the attempt's call and retry; the attempt has ended.
    void stopAttempt();
    // True when the signal comes from the running attempt's call.
    bool isAttemptCall(QObject* call) const;

    CFacebookApi* m_api;
    CFacebookUserInfo* m_userInfoCall = nullptr;
    QTimer* m_retryTimer;
    QString m_uid;
    QString m_userName;
    int m_retryCount = 0;
    int m_retryIntervalMs = kDefaultRetryIntervalMs;
    bool m_attemptRunning = false;
    bool m_accountRejected = false;
};
