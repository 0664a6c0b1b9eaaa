#pragma once

#include "imediaitemprovider.h"
#include "meskhttpresponse.h"
#include "twitterapi.h"
#include "twittereventmanager.h"
#include "twitterrecords.h"

#include <QHash>
#include <QList>
#include <QPixmap>
#include <QString>

class CTwitterAuth;
class CTwitterLink;
class CTwitterStatus;
class CTwitterSync;
class CTwitterTextPoster;
class CTwitterUser;

// The Twitter provider (provider id 1).
//
// It owns the request builder, the authorisation, the update run (CTwitterEventManager: the
// friends timeline, then the mentions, and how each answer is stored), the text poster and the
// sync list, keeps the account in the service keys "key", "secret", "user_id" and "user_name",
// and turns its helpers' signals into the provider's signals. An update run always ends in
// updateDone(1); its failures are reported through serviceError(1, code). The update slots of
// the provider forward to the event manager.
//
// The provider's tables own the item objects: the users, statuses and links that the event
// manager hands over once their storage batch has been committed, and those loaded for the
// views. A status enters the statuses table and the sync list, and is announced with
// mediaItemAdded(), after the users and links of its batch; a new user is announced with
// serviceUserAdded(). A stored status loaded for a widget raises sinceId.
//
// The item objects have no Qt parent; the provider's tables own them.
class CTwitterProvider : public IMediaItemProvider
{
    Q_OBJECT
public:
    // The application's consumer pair.
    static constexpr const char* ConsumerKey = LUMESK_TWITTER_CONSUMER_KEY;
    static constexpr const char* ConsumerSecret = LUMESK_TWITTER_CONSUMER_SECRET;

    using TUpdateTask = CTwitterEventManager::TUpdateTask;

    explicit CTwitterProvider(QObject* parent = nullptr);
    ~CTwitterProvider() override;

    CTwitterAuth* auth() const { return m_auth; }
    CTwitterApi* api() { return &m_api; }
    // The newest friends' status id seen; empty before the first.
    QString sinceId() const { return m_events->sinceId(); }

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
    // The update slots forward to the event manager; the errors are those it reports.
    void _onFriendsTimelineEvents(const STwitterTimeLine& timeline);
    void _onMentions(const STwitterTimeLine& timeline);
    void _onStatusUpdated(const STwitterStatusEvent& event);
    void _onProtocolError(TMediaError error);
    void _onNetworkError(TMeskHttpError error);
    void _onMethodError();
    void _doUpdateTask(int task);
    void _processNextUpdateTask();
    void _onUpdateStarted();
    void _onUpdateDone();
    // The objects of an answer, handed over once its batch has been committed.
    void _onUserLoaded(CTwitterUser* user);
    void _onUserAdded(CTwitterUser* user);
    void _onLinkAdded(CTwitterLink* link);
    void _onStatusAdded(CTwitterStatus* status);

private:
    void addUser(CTwitterUser* user);
    void registerStatus(CTwitterStatus* status, bool raisesSinceId);
    void clearTables();

    CTwitterApi m_api;
    CTwitterAuth* m_auth;
    CTwitterTextPoster* m_textPoster;
    IMediaItemStorage* m_storage = nullptr;
    CTwitterSync* m_sync;
    CTwitterEventManager* m_events;
    // Loaded when first asked for.
    mutable QPixmap m_logo;
    // Users by Twitter user id (an index) and by stored row id (the owning table).
    QHash<QString, CTwitterUser*> m_users;
    QHash<mid_t, CTwitterUser*> m_usersByMid;
    QHash<mid_t, CTwitterStatus*> m_statuses;
    QHash<mid_t, CTwitterLink*> m_links;
};
