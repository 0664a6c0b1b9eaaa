#pragma once

#include "imediaitemprovider.h"
#include "meskhttpresponse.h"
#include "twitterapi.h"
#include "twitterrecords.h"

#include <QHash>
#include <QList>
#include <QPixmap>
#include <QString>

class CMeskSlicedStore;
class CTwitterAuth;
class CTwitterFriendsTimeline;
class CTwitterLink;
class CTwitterMentions;
class CTwitterStatus;
class CTwitterSync;
class CTwitterTextPoster;
class CTwitterUser;

// The Twitter provider (provider id 1).
//
// An update run fetches the friends timeline, then the mentions, both from the
// sinceId taken when the run starts, and always ends in updateDone(1): a task
// that fails (or cannot start) is reported through serviceError(1, code) and
// the run goes on; a transport failure is reported once per run, whichever
// transfer it broke. Every new status becomes a stored status item (type 1), its
// author a stored user and each web address in its text a stored link item
// (type 7), each once, also across restarts: a status id already stored adds
// nothing, and an account is looked up in the users table, then in the storage,
// before a row is made for it. The reply to the user's own post is stored as
// type 10.
//
// An answer keeps its 1,000 newest statuses and is written in slices across turns
// of the event loop, each slice in one storage batch; the new objects of a slice
// enter the tables, the signals go out and the sync list grows only once its batch
// has been committed, and sinceId rises only once every slice is stored. After a
// rollback the objects made for that slice are dropped and sinceId stays, so the
// next run fetches those statuses again; so it does when the account is removed
// between slices (the rest of the answer is dropped).
//
// sinceId is raised only by statuses of someone else that came with the friends
// timeline (or stored ones loaded for a widget), compared as unsigned 64-bit
// numbers: a mention or the user's own post never hides a friend's status.
//
// The item objects have no Qt parent; the provider's tables own them.
class CTwitterProvider : public IMediaItemProvider
{
    Q_OBJECT
public:
    // The application's consumer pair.
    static constexpr const char* ConsumerKey = LUMESK_TWITTER_CONSUMER_KEY;
    static constexpr const char* ConsumerSecret = LUMESK_TWITTER_CONSUMER_SECRET;

    enum TUpdateTask
    {
        TaskFriendsTimeline = 0,
        TaskMentions = 1,
        TaskNone = 2,
    };

    explicit CTwitterProvider(QObject* parent = nullptr);
    ~CTwitterProvider() override;

    CTwitterAuth* auth() const { return m_auth; }
    CTwitterApi* api() { return &m_api; }
    // The newest friends' status id seen; empty before the first.
    QString sinceId() const { return m_sinceId; }

    mid_t providerId() const override;
    QString name() const override;
    QPixmap icon() const override;
    bool isActivated() const override;
    QString userName() const override;
    QString emptyText() const override;
    int setupMode() const override;
    void itemHook(mid_t item) override;
    void setup(QWidget* parent) override;
    void removeAccount() override;
    bool supportsService(int serviceType) const override;
    IMediaServiceUpdate* service(int serviceType) override;
    void setStorage(IMediaItemStorage* storage) override;
    bool isReady() const override;
    void update() override;
    IMediaItemWidget* createItemWidget(const SMediaItem& item) override;
    void itemText(const SMediaItem& item, QString& text) override;
    IMediaEventItem* eventObject(const SMediaItem& item) override;
    IMediaObject* mediaObject(const SMediaItem& item) override;
    IMediaLinkItem* linkItem(const SMediaItem& item) override;
    IMediaUser* user(mid_t userId) override;

    // The web addresses of a status text, in order.
    static QStringList extractLinks(const QString& text);

private slots:
    void _onUserEnabled(const QString& token, const QString& secret, const QString& userId,
                        const QString& userName);
    void _onUserRemoved();
    void _onFriendsTimelineEvents(const STwitterTimeLine& timeline);
    void _onMentions(const STwitterTimeLine& timeline);
    void _onStatusUpdated(const STwitterStatusEvent& event);
    void _onProtocolError(TMediaError error);
    void _onNetworkError(TMeskHttpError error);
    void _onMethodError();
    void _doUpdateTask(int task);
    void _processNextUpdateTask();

private:
    // What one answer made, held back until its storage batch has been committed.
    struct SAnswer
    {
        QList<CTwitterUser*> createdUsers;      // new rows, announced on commit
        QList<CTwitterUser*> loadedUsers;       // stored rows that were not in the tables
        QHash<QString, CTwitterUser*> newUsers; // both of the above by Twitter user id
        QList<CTwitterUser*> updatedUsers;      // users of the tables whose row may have been rewritten
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
    // Hands the answer's objects to the tables and announces them, or drops them.
    void finishAnswer(SAnswer& answer, bool committed, bool raisesSinceId);
    void addUser(CTwitterUser* user);
    void registerStatus(CTwitterStatus* status, bool raisesSinceId);
    void raiseSinceId(const QString& statusId);
    // Compares status ids as unsigned 64-bit numbers; an unreadable `than` is lower than any id.
    static bool isHigherId(const QString& id, const QString& than);
    void clearTables();
    // Stops a run that is going: its calls are cancelled and it ends with updateDone(1).
    void cancelRun();

    CTwitterApi m_api;
    CTwitterAuth* m_auth;
    CTwitterFriendsTimeline* m_friendsTimeline;
    CTwitterMentions* m_mentions;
    CTwitterTextPoster* m_textPoster;
    QString m_sinceId;
    // The sinceId that both requests of the running run send.
    QString m_runSinceId;
    // The highest friends' status id of the answer being stored.
    QString m_answerSinceId;
    IMediaItemStorage* m_storage = nullptr;
    CTwitterSync* m_sync;
    CMeskSlicedStore* m_slices;
    QPixmap m_logo;
    int m_currentTask = TaskNone;
    int m_authErrorCount = 0;
    bool m_networkErrorReported = false;
    // Users by Twitter user id (an index) and by stored row id (the owning table).
    QHash<QString, CTwitterUser*> m_users;
    QHash<mid_t, CTwitterUser*> m_usersByMid;
    QHash<mid_t, CTwitterStatus*> m_statuses;
    QHash<mid_t, CTwitterLink*> m_links;
};
