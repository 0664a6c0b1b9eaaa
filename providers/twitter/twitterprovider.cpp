#include "twitterprovider.h"

#include "imediaitemstorage.h"
#include "mediastoragebatch.h"
#include "style/quorimages.h"
#include "twitterauth.h"
#include "twittereventmanager.h"
#include "twitteritems.h"
#include "twitterposter.h"
#include "twittersync.h"
#include "ui/twittersetupwidget.h"
#include "ui/twitterstatuswidget.h"

#include <QDebug>

namespace {

const QString kKey = QStringLiteral("key");
const QString kSecret = QStringLiteral("secret");
const QString kUserId = QStringLiteral("user_id");
const QString kUserName = QStringLiteral("user_name");

void log(const char* text)
{
    qDebug().noquote() << QLatin1String(text);
}

// Service text goes into rich text with "<" escaped; the service's own entities stay.
QString escapeLt(QString text)
{
    return text.replace(QLatin1Char('<'), QStringLiteral("&lt;"));
}

} // namespace

CTwitterProvider::CTwitterProvider(QObject* parent)
    : IMediaItemProvider(parent), m_auth(new CTwitterAuth(&m_api, this)),
      m_textPoster(new CTwitterTextPoster(&m_api, this)),
      m_sync(new CTwitterSync(MeskProvider::Twitter, this)),
      m_events(new CTwitterEventManager(&m_api, &m_users, m_sync, this))
{
    registerTwitterMetaTypes();
    m_auth->setConsumer(QString::fromLatin1(ConsumerKey), QString::fromLatin1(ConsumerSecret));

    connect(m_auth, &CTwitterAuth::userEnabled, this, &CTwitterProvider::_onUserEnabled);
    connect(m_auth, &CTwitterAuth::userRemoved, this, &CTwitterProvider::_onUserRemoved);
    // Direct connections: the objects of an answer enter the tables, and are announced, before
    // the event manager goes on.
    connect(m_events, &CTwitterEventManager::updateStarted, this, &CTwitterProvider::_onUpdateStarted);
    connect(m_events, &CTwitterEventManager::updateDone, this, &CTwitterProvider::_onUpdateDone);
    connect(m_events, &CTwitterEventManager::protocolError, this, &CTwitterProvider::_onProtocolError);
    connect(m_events, &CTwitterEventManager::networkError, this, &CTwitterProvider::_onNetworkError);
    connect(m_events, &CTwitterEventManager::userLoaded, this, &CTwitterProvider::_onUserLoaded,
            Qt::DirectConnection);
    connect(m_events, &CTwitterEventManager::userAdded, this, &CTwitterProvider::_onUserAdded,
            Qt::DirectConnection);
    connect(m_events, &CTwitterEventManager::linkAdded, this, &CTwitterProvider::_onLinkAdded,
            Qt::DirectConnection);
    connect(m_events, &CTwitterEventManager::statusAdded, this, &CTwitterProvider::_onStatusAdded,
            Qt::DirectConnection);
    connect(m_textPoster, &CTwitterTextPoster::statusUpdated, this, &CTwitterProvider::_onStatusUpdated);
}

CTwitterProvider::~CTwitterProvider()
{
    clearTables();
    // The children use the embedded API, which is destroyed before QObject deletes
    // children: they go first, the update run (with its calls) before the sync list it writes.
    delete m_events;
    delete m_textPoster;
    delete m_auth;
    delete m_sync;
}

mid_t CTwitterProvider::providerId() const
{
    return MeskProvider::Twitter;
}

QString CTwitterProvider::name() const
{
    return QStringLiteral("Twitter");
}

QPixmap CTwitterProvider::icon() const
{
    if (m_logo.isNull())
        m_logo = QuorImages::pixmap(QStringLiteral(":/images/twitter/twitter_logo_small.png"));
    return m_logo;
}

bool CTwitterProvider::isActivated() const
{
    return m_auth->isAuthorized();
}

QString CTwitterProvider::userName() const
{
    return m_api.userName();
}

QString CTwitterProvider::emptyText() const
{
    return QString();
}

int CTwitterProvider::setupMode() const
{
    return MeskSetupMode::Wizard;
}

void CTwitterProvider::itemHook(mid_t item)
{
    Q_UNUSED(item)
}

void CTwitterProvider::setup(QWidget* parent)
{
    CTwitterSetupWidget wizard(m_auth, parent);
    wizard.exec();
}

bool CTwitterProvider::supportsService(int serviceType) const
{
    return serviceType == MeskService::TextPoster;
}

IMediaServiceUpdate* CTwitterProvider::service(int serviceType)
{
    return supportsService(serviceType) ? m_textPoster : nullptr;
}

void CTwitterProvider::setStorage(IMediaItemStorage* storage)
{
    m_events->setStorage(storage);
    m_storage = storage;
    if (m_storage) {
        QString values[4];
        const QString* keys[4] = {&kKey, &kSecret, &kUserId, &kUserName};
        bool all = true;
        for (int i = 0; i < 4 && all; ++i)
            all = m_storage->serviceKey(MeskProvider::Twitter, *keys[i], values[i]);
        if (all)
            m_auth->setUser(values[0], values[1], values[2], values[3]);
    }
    m_textPoster->setStorage(storage);
    m_sync->setStorage(storage);
}

bool CTwitterProvider::isReady() const
{
    return m_events->isReady();
}

void CTwitterProvider::update()
{
    m_events->update();
}

void CTwitterProvider::_doUpdateTask(int task)
{
    m_events->_doUpdateTask(task);
}

void CTwitterProvider::_processNextUpdateTask()
{
    m_events->_processNextUpdateTask();
}

void CTwitterProvider::_onFriendsTimelineEvents(const STwitterTimeLine& timeline)
{
    m_events->_onFriendsTimelineEvents(timeline);
}

void CTwitterProvider::_onMentions(const STwitterTimeLine& timeline)
{
    m_events->_onMentions(timeline);
}

void CTwitterProvider::_onMethodError()
{
    m_events->_onMethodError();
}

void CTwitterProvider::_onUpdateStarted()
{
    emit updateStarted(MeskProvider::Twitter);
}

void CTwitterProvider::_onUpdateDone()
{
    emit updateDone(MeskProvider::Twitter);
}

void CTwitterProvider::_onProtocolError(TMediaError error)
{
    emit serviceError(MeskProvider::Twitter, error);
}

void CTwitterProvider::_onNetworkError(TMeskHttpError error)
{
    Q_UNUSED(error) // every transport failure reads as a network error
    emit serviceError(MeskProvider::Twitter, MediaErrorNetwork);
}

void CTwitterProvider::_onUserLoaded(CTwitterUser* user)
{
    addUser(user);
}

void CTwitterProvider::_onUserAdded(CTwitterUser* user)
{
    // Read first: a row that already has its object keeps that one, and this one goes.
    const SServiceUser record = user->serviceUser();
    addUser(user);
    emit serviceUserAdded(MeskProvider::Twitter, record);
}

void CTwitterProvider::_onLinkAdded(CTwitterLink* link)
{
    m_links.insert(link->mediaItem().id, link);
}

void CTwitterProvider::_onStatusAdded(CTwitterStatus* status)
{
    registerStatus(status, false);
    emit mediaItemAdded(MeskProvider::Twitter, status->mediaItem());
}

void CTwitterProvider::addUser(CTwitterUser* user)
{
    const mid_t id = user->serviceUser().id;
    if (m_usersByMid.contains(id)) {
        // The row already has its object, which views may hold: keep that one.
        delete user;
        return;
    }
    m_usersByMid.insert(id, user);
    if (!m_users.contains(user->userId()))
        m_users.insert(user->userId(), user);
}

void CTwitterProvider::registerStatus(CTwitterStatus* status, bool raisesSinceId)
{
    const SMediaItem item = status->mediaItem();
    m_statuses.insert(item.id, status);
    if (raisesSinceId && status->isStatus())
        m_events->raiseSinceId(status->statusId());
    m_sync->add(item);
}

QStringList CTwitterProvider::extractLinks(const QString& text)
{
    return CTwitterEventManager::extractLinks(text);
}

void CTwitterProvider::_onStatusUpdated(const STwitterStatusEvent& event)
{
    m_events->storeOwnStatus(event);
}

void CTwitterProvider::_onUserEnabled(const QString& token, const QString& secret, const QString& userId,
                                      const QString& userName)
{
    if (m_storage) {
        CTwitterUser* own = nullptr;
        CMediaStorageBatch batch(m_storage);
        m_storage->setServiceKey(MeskProvider::Twitter, kKey, token);
        m_storage->setServiceKey(MeskProvider::Twitter, kSecret, secret);
        m_storage->setServiceKey(MeskProvider::Twitter, kUserId, userId);
        m_storage->setServiceKey(MeskProvider::Twitter, kUserName, userName);
        // The account's row of an earlier link (or a timeline) is used again.
        if (!m_users.contains(userId)) {
            const QList<SServiceUser> stored = m_storage->serviceUserByMediaId(MeskProvider::Twitter, userId);
            auto* user = new CTwitterUser(&m_api, m_storage, this);
            if (!stored.isEmpty() && user->load(stored.first().id)) {
                own = user;
            } else if (user->createOwn(userId, userName, MeskProvider::Twitter)) {
                // The own account is not announced as a service user.
                own = user;
            } else {
                log("CTwitterProvider: failed to create new user");
                delete user;
            }
        }
        const bool committed = batch.end();
        // The row enters the tables only once committed; after a rollback its id may be handed out again.
        if (own && committed)
            addUser(own);
        else
            delete own;
        if (!committed) {
            // The link would not outlive this run: the wizard says so, and nothing looks linked.
            log("CTwitterProvider: failed to store the account");
            m_auth->rejectAccount();
            return;
        }
    }
    emit activated(MeskProvider::Twitter);
}

void CTwitterProvider::_onUserRemoved()
{
    if (m_storage) {
        CMediaStorageBatch batch(m_storage);
        for (const QString* key : {&kKey, &kSecret, &kUserId, &kUserName})
            m_storage->setServiceKey(MeskProvider::Twitter, *key, QString());
        batch.end();
    }
    emit deactivated(MeskProvider::Twitter);
}

void CTwitterProvider::clearTables()
{
    qDeleteAll(m_usersByMid);
    m_usersByMid.clear();
    m_users.clear();
    qDeleteAll(m_statuses);
    m_statuses.clear();
    qDeleteAll(m_links);
    m_links.clear();
}

void CTwitterProvider::removeAccount()
{
    // Nothing of a run in flight may come back after this point.
    m_events->reset();
    clearTables();
    if (m_storage) {
        CMediaStorageBatch batch(m_storage);
        m_sync->reset();
        m_storage->deleteProviderItems(MeskProvider::Twitter);
        m_storage->deleteProviderUsers(MeskProvider::Twitter);
        if (!batch.end())
            log("CTwitterProvider: failed to remove the account's stored statuses and users");
    }
    m_events->clearSinceId();
    m_auth->removeUser();
}

IMediaItemWidget* CTwitterProvider::createItemWidget(const SMediaItem& item)
{
    // Only statuses have a widget: any other item (a link) never becomes a status object, so
    // it reaches neither the statuses table nor the sync list nor sinceId.
    if (item.type != CTwitterStatus::StatusType && item.type != CTwitterStatus::OwnStatusType) {
        log("CTwitterProvider: unknown event type");
        return nullptr;
    }
    CTwitterStatus* status = m_statuses.value(item.id);
    if (!status) {
        status = new CTwitterStatus(&m_api, m_storage, this);
        status->setItem(item);
        registerStatus(status, true);
    }
    auto* author = qobject_cast<CTwitterUser*>(user(item.user));
    if (!author)
        return nullptr;
    if (status->isStatus())
        return new CTwitterStatusWidget(author, status, nullptr);
    return new CTwitterUpdateWidget(author, status, nullptr);
}

void CTwitterProvider::itemText(const SMediaItem& item, QString& text)
{
    IMediaUser* author = user(item.user);
    if (!author) {
        text = escapeLt(item.content);
        return;
    }
    text = QStringLiteral("<b>%1</b> %2").arg(escapeLt(author->name()), escapeLt(item.content));
}

IMediaEventItem* CTwitterProvider::eventObject(const SMediaItem& item)
{
    Q_UNUSED(item)
    return nullptr;
}

IMediaObject* CTwitterProvider::mediaObject(const SMediaItem& item)
{
    Q_UNUSED(item)
    return nullptr;
}

IMediaLinkItem* CTwitterProvider::linkItem(const SMediaItem& item)
{
    if (CTwitterLink* link = m_links.value(item.id))
        return link;
    auto* link = new CTwitterLink(&m_api, m_storage, this);
    if (item.id == 0 || !link->load(item.id)) {
        log("CTwitterProvider: failed to load link item");
        delete link;
        return nullptr;
    }
    m_links.insert(item.id, link);
    return link;
}

IMediaUser* CTwitterProvider::user(mid_t userId)
{
    if (CTwitterUser* known = m_usersByMid.value(userId))
        return known;
    auto* user = new CTwitterUser(&m_api, m_storage, this);
    if (userId == 0 || !user->load(userId)) {
        log("CTwitterProvider: failed to load user");
        delete user;
        return nullptr;
    }
    addUser(user);
    return user;
}
