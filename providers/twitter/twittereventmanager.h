#pragma once

#include "meskanswerspan.h"
#include "meskhttpresponse.h"
#include "meskrecords.h"
#include "twitterrecords.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

class CMeskSlicedStore;
class CTwitterApi;
class CTwitterFriendsTimeline;
class CTwitterLink;
class CTwitterMentions;
class CTwitterStatus;
class CTwitterSync;
class CTwitterUser;
class IMediaItemStorage;

// One Twitter update run: the friends timeline, then the mentions, both from the sinceId taken
// when the run starts, the new statuses stored with their authors and links; and the storing of
// the account's own posted status.
//
// A run starts with updateStarted() and always ends in exactly one updateDone(): a task that fails
// (or cannot start) goes on to the next. Each new status gets its sync record in the batch that
// stores it; a run that ended with its friends timeline stored whole (every slice committed, the
// condition that also moves sinceId), whatever the mentions did, writes the list of the newest
// statuses (CTwitterSync) before its updateDone(), which replaces those records and so cuts them
// to the newest. A run whose friends call failed or rolled back a slice, one without a storage,
// and a reset write nothing: the records stay the last list plus every status stored since. So a
// friends timeline that fails at every refresh cuts nothing, and the mentions and the own posted
// statuses stored meanwhile keep growing the list until one comes whole. A refusal of
// both calls of a run leaves as one protocolError(MediaErrorAuthorization), any other refusal as
// protocolError(code); a transport failure leaves as networkError() once per run, whichever
// transfer it broke.
//
// Every new status becomes a stored status item (type 1), its author a stored user and each web
// address in its text a stored link item (type 7), each once, also across restarts: a status id
// already stored adds nothing, and an account is looked up in the provider's users, then in the
// storage, before a row is made for it. The reply to the user's own post is stored as type 10.
//
// An answer keeps its 1,000 newest statuses and is written in slices across turns of the event
// loop, each slice in one storage batch. The objects a slice made are handed over only once its
// batch has been committed, in this order: the stored users the provider did not hold
// (userLoaded), the new users (userAdded), the links (linkAdded), the statuses (statusAdded);
// the receiver takes them over and must be connected directly. After a rollback the objects are
// dropped, the users of the provider that the slice touched read back, and sinceId stays, so the
// next run fetches those statuses again; so it does after reset() between slices (the rest of the
// answer is dropped).
//
// sinceId is raised only by statuses of someone else that came with the friends timeline (or by
// raiseSinceId), compared as unsigned 64-bit numbers: a mention or the user's own post never
// hides a friend's status. GUI thread only.
class CTwitterEventManager : public QObject
{
    Q_OBJECT
public:
    enum TUpdateTask
    {
        TaskFriendsTimeline = 0,
        TaskMentions = 1,
        TaskNone = 2,
    };

    // users: the provider's users by Twitter user id, read to find an account it already holds.
    CTwitterEventManager(CTwitterApi* api, const QHash<QString, CTwitterUser*>* users, CTwitterSync* sync,
                         QObject* parent = nullptr);
    ~CTwitterEventManager() override;

    // A storage other than the one in use stops a run whose answer is half stored.
    void setStorage(IMediaItemStorage* storage);
    // The account is set and no run is in progress.
    bool isReady() const;
    // Starts a run; logs and does nothing while the API is not ready, nothing while a run goes.
    void update();
    // Stops a run that is going: its calls are cancelled, the slices not yet stored are dropped,
    // sinceId stays, and the run ends with updateDone().
    void reset();
    // Stores the account's own posted status (type 10) with its sync record.
    void storeOwnStatus(const STwitterStatusEvent& event);

    // The newest friends' status id seen; empty before the first.
    QString sinceId() const { return m_sinceId; }
    void raiseSinceId(const QString& statusId);
    // Forgets sinceId (the account is removed).
    void clearSinceId();

    // The web addresses of a status text, in order.
    static QStringList extractLinks(const QString& text);

signals:
    void updateStarted();
    void updateDone();
    void protocolError(TMediaError error);
    void networkError(TMeskHttpError error);
    void userLoaded(CTwitterUser* user);
    void userAdded(CTwitterUser* user);
    void linkAdded(CTwitterLink* link);
    void statusAdded(CTwitterStatus* status);

private slots:
    // The provider's slots of the same names forward here.
    void _onFriendsTimelineEvents(const STwitterTimeLine& timeline);
    void _onMentions(const STwitterTimeLine& timeline);
    void _onProtocolError(TMediaError error);
    void _onNetworkError(TMeskHttpError error);
    void _onMethodError();
    void _doUpdateTask(int task);
    void _processNextUpdateTask();

private:
    friend class CTwitterProvider;

    // Writes the sync list; a failure is logged (the list is written whole at the next flush).
    void flushSync();

    // What one answer made, by kind, for the hand-over in its order; what a rollback undoes is
    // held by the span.
    struct SAnswer
    {
        QList<CTwitterUser*> createdUsers;      // new rows, announced on commit
        QList<CTwitterUser*> loadedUsers;       // stored rows that were not in the provider's users
        QHash<QString, CTwitterUser*> newUsers; // both of the above by Twitter user id
        QList<CTwitterUser*> updatedUsers;      // users of the provider whose row may have been rewritten
        QList<CTwitterStatus*> statuses;
        QList<CTwitterLink*> links;
    };

    // True when the signal comes from the call of the task that runs.
    bool isCurrentCall(QObject* call) const;
    // Stores a timeline answer in slices, then goes on with the run.
    void storeTimeline(STwitterTimeLine timeline, bool friends);
    // Stores the statuses [from, to) of an answer in one batch.
    void addTimeline(const STwitterTimeLine& timeline, qsizetype from, qsizetype to, bool friends);
    mid_t createOrUpdateUser(const STwitterUserData& data, SAnswer& answer);
    void createStatus(const STwitterStatusData& data, mid_t userMid, bool own, SAnswer& answer);
    // Ends the answer's span: hands its objects over, or drops them.
    void finishAnswer(SAnswer& answer, bool committed, bool raisesSinceId);
    // Adds the sync records of the answer's statuses in the open batch.
    void addSyncRecords(const SAnswer& answer);
    // Compares status ids as unsigned 64-bit numbers; an unreadable `than` is lower than any id.
    static bool isHigherId(const QString& id, const QString& than);

    CTwitterApi* m_api;
    const QHash<QString, CTwitterUser*>* m_users;
    CTwitterSync* m_sync;
    IMediaItemStorage* m_storage = nullptr;
    CTwitterFriendsTimeline* m_friendsTimeline;
    CTwitterMentions* m_mentions;
    CMeskSlicedStore* m_slices;
    // One answer (or slice of one) stored in one batch.
    CMeskAnswerSpan m_span;
    QString m_sinceId;
    // The sinceId that both requests of the running run send.
    QString m_runSinceId;
    // The highest friends' status id of the answer being stored.
    QString m_answerSinceId;
    int m_currentTask = TaskNone;
    int m_authErrorCount = 0;
    bool m_networkErrorReported = false;
    // Every slice of the answer being stored so far committed.
    bool m_answerWhole = false;
    // The friends timeline of the running run came and was stored whole: the run cuts the sync list.
    bool m_friendsWhole = false;
};
