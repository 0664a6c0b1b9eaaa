#include "facebookprovider.h"

#include "facebookauth.h"
#include "facebookeventmanager.h"
#include "facebookitems.h"
#include "facebookobjects.h"
#include "facebookposter.h"
#include "facebooksync.h"
#include "imediaitemstorage.h"
#include "mediastoragebatch.h"
#include "style/quorimages.h"
#include "ui/facebookeventwidget.h"
#include "ui/facebooksetupwidget.h"

#include <QDebug>

namespace {
const QString kSessionId = QStringLiteral("session_id");
const QString kSessionSecret = QStringLiteral("session_secret");
const QString kUserId = QStringLiteral("user_id");
const QString kUserName = QStringLiteral("user_name");

constexpr qint32 kImageItem = 5;
constexpr qint32 kVideoItem = 6;
constexpr qint32 kLinkItem = 7;
} // namespace

CFacebookProvider::CFacebookProvider(QObject* parent) : IMediaItemProvider(parent)
{
    m_auth = new CFacebookAuth(&m_api, this);
    m_objects = new CFacebookObjectManager(&m_api, MeskProvider::Facebook, this);
    m_sync = new CFacebookSync(MeskProvider::Facebook, this);
    m_events = new CFacebookEventManager(&m_api, m_objects, m_sync, this);
    m_textPoster = new CFacebookTextPoster(&m_api, this);
    m_auth->setApiKey(apiKey());

    connect(m_objects, &CFacebookObjectManager::userAdded, this,
            qOverload<mid_t>(&CFacebookProvider::_onUserAdded));
    connect(m_events, &CFacebookEventManager::eventAdded, this, &CFacebookProvider::_onEventAdded);
    connect(m_events, &CFacebookEventManager::eventUpdated, this, &CFacebookProvider::_onEventUpdated);
    connect(m_events, &CFacebookEventManager::protocolError, this, &CFacebookProvider::_onProtocolError);
    connect(m_events, &CFacebookEventManager::networkError, this, &CFacebookProvider::_onNetworkError);
    connect(m_events, &CFacebookEventManager::updateStarted, this, &CFacebookProvider::_onUpdateStarted);
    connect(m_events, &CFacebookEventManager::updateDone, this, &CFacebookProvider::_onUpdateDone);
    connect(
        m_auth, &CFacebookAuth::userAdded, this,
        qOverload<const QString&, const QString&, const SFacebookUser&>(&CFacebookProvider::_onUserAdded));
    connect(m_auth, &CFacebookAuth::userRemoved, this, &CFacebookProvider::_onUserRemoved);
    connect(m_textPoster, &CFacebookTextPoster::statusUpdated, this, &CFacebookProvider::_onStatusUpdated);
}

CFacebookProvider::~CFacebookProvider()
{
    // The calls in flight go first, so no answer reaches objects being destroyed.
    delete m_events;
    m_events = nullptr;
    delete m_textPoster;
    m_textPoster = nullptr;
    delete m_auth;
    m_auth = nullptr;
}

mid_t CFacebookProvider::providerId() const
{
    return MeskProvider::Facebook;
}

QString CFacebookProvider::name() const
{
    return QStringLiteral("Facebook");
}

QPixmap CFacebookProvider::icon() const
{
    if (m_logo.isNull())
        m_logo = QuorImages::pixmap(QStringLiteral(":/images/facebook/facebook_logo_small.png"));
    return m_logo;
}

bool CFacebookProvider::isActivated() const
{
    return m_auth->isAuthorized();
}

QString CFacebookProvider::userName() const
{
    return m_auth->userName();
}

QString CFacebookProvider::emptyText() const
{
    return {};
}

int CFacebookProvider::setupMode() const
{
    return MeskSetupMode::Wizard;
}

void CFacebookProvider::itemHook(mid_t) {}

void CFacebookProvider::setup(QWidget* parent)
{
    CFacebookSetupWidget wizard(m_auth, parent);
    wizard.exec();
}

void CFacebookProvider::removeAccount()
{
    // First nothing in flight: a late answer would store the removed account again.
    m_events->reset();
    m_sync->reset();
    m_objects->clear();
    if (m_storage) {
        m_storage->deleteProviderItems(MeskProvider::Facebook);
        m_storage->deleteProviderUsers(MeskProvider::Facebook);
    }
    m_auth->logout();
}

bool CFacebookProvider::supportsService(int serviceType) const
{
    return serviceType == 0;
}

IMediaServiceUpdate* CFacebookProvider::service(int serviceType)
{
    return supportsService(serviceType) ? m_textPoster : nullptr;
}

void CFacebookProvider::setStorage(IMediaItemStorage* storage)
{
    m_storage = storage;
    if (m_storage) {
        QString sessionKey;
        QString sessionSecret;
        QString uid;
        QString name;
        if (m_storage->serviceKey(MeskProvider::Facebook, kSessionId, sessionKey) &&
            m_storage->serviceKey(MeskProvider::Facebook, kSessionSecret, sessionSecret) &&
            m_storage->serviceKey(MeskProvider::Facebook, kUserId, uid) &&
            m_storage->serviceKey(MeskProvider::Facebook, kUserName, name))
            m_auth->restoreSession(sessionKey, sessionSecret, uid, name);
    }
    m_objects->setStorage(m_storage);
    m_sync->load(m_storage);
}

bool CFacebookProvider::isReady() const
{
    return m_events->isReady();
}

void CFacebookProvider::update()
{
    m_events->update();
}

IMediaItemWidget* CFacebookProvider::createItemWidget(const SMediaItem& item)
{
    CFacebookEvent* event = m_objects->event(item.id);
    CFacebookUser* author = m_objects->user(item.user);
    if (!event || !author)
        return nullptr;
    return new CFacebookEventWidget(author, event, m_objects, m_auth->uid(), nullptr);
}

void CFacebookProvider::itemText(const SMediaItem& item, QString& text)
{
    CFacebookEvent* event = m_objects->event(item.id);
    CFacebookUser* author = m_objects->user(item.user);
    if (!event || !author) {
        text = item.content;
        return;
    }
    CFacebookEventWidget::captionText(event, author, text, author->mediaId() == m_auth->uid(), m_objects);
}

IMediaEventItem* CFacebookProvider::eventObject(const SMediaItem&)
{
    return nullptr;
}

IMediaObject* CFacebookProvider::mediaObject(const SMediaItem& item)
{
    if (item.type == kImageItem)
        return m_objects->photo(item.id);
    if (item.type == kVideoItem)
        return m_objects->video(item.id);
    return nullptr;
}

IMediaLinkItem* CFacebookProvider::linkItem(const SMediaItem& item)
{
    return item.type == kLinkItem ? m_objects->link(item.id) : nullptr;
}

IMediaUser* CFacebookProvider::user(mid_t userId)
{
    return m_objects->user(userId);
}

void CFacebookProvider::_onUserAdded(const QString& sessionKey, const QString& sessionSecret,
                                     const SFacebookUser& user)
{
    if (!m_storage)
        return;
    if (sessionKey.isEmpty() || sessionSecret.isEmpty()) {
        // Such an account would look linked and never update.
        qDebug().noquote() << QLatin1String("CFacebookProvider: not storing an account without its session");
        m_auth->rejectAccount();
        return;
    }
    m_objects->beginNew();
    bool committed = false;
    {
        CMediaStorageBatch batch(m_storage);
        if (CFacebookUser* added = m_objects->addUser(user, false))
            added->markAsOwner();
        m_storage->setServiceKey(MeskProvider::Facebook, kSessionId, sessionKey);
        m_storage->setServiceKey(MeskProvider::Facebook, kSessionSecret, sessionSecret);
        m_storage->setServiceKey(MeskProvider::Facebook, kUserId, user.uid);
        m_storage->setServiceKey(MeskProvider::Facebook, kUserName, user.name);
        committed = batch.end();
    }
    if (!committed) {
        m_objects->discardNew();
        qDebug().noquote() << QLatin1String("CFacebookProvider: failed to store the account");
        // The login ends on an error page and the session is cleared: this link would not
        // outlive the run.
        m_auth->rejectAccount();
        return;
    }
    m_objects->acceptNew(); // a newly stored user reaches _onUserAdded(mid_t) here
    emit activated(MeskProvider::Facebook);
}

void CFacebookProvider::_onUserRemoved()
{
    if (m_storage) {
        CMediaStorageBatch batch(m_storage);
        for (const QString& key : {kSessionId, kSessionSecret, kUserId, kUserName})
            m_storage->setServiceKey(MeskProvider::Facebook, key, QString());
        if (!batch.end())
            qDebug().noquote() << QLatin1String("CFacebookProvider: failed to clear the account keys");
    }
    emit deactivated(MeskProvider::Facebook);
}

void CFacebookProvider::_onStatusUpdated(const QString& text, const QString& postId)
{
    if (!m_storage)
        return;
    CFacebookUser* own = m_objects->findUserByMediaId(m_auth->uid());
    if (!own)
        return;
    const CFacebookSync::State before = m_sync->state();
    m_objects->beginNew();
    CFacebookEvent* event = nullptr;
    bool committed = false;
    {
        CMediaStorageBatch batch(m_storage);
        event = m_objects->addStatus(postId, text, own->serviceUser().id);
        if (event)
            m_sync->addStreamEvent(event->mediaItem().id);
        committed = batch.end();
    }
    if (!committed) {
        m_objects->discardNew();
        m_sync->restore(before);
        qDebug().noquote() << QLatin1String("CFacebookProvider: failed to store the status");
        return;
    }
    m_objects->acceptNew();
    if (event)
        emit mediaItemAdded(MeskProvider::Facebook, event->mediaItem());
}

void CFacebookProvider::_onUserAdded(mid_t id)
{
    if (CFacebookUser* added = m_objects->user(id))
        emit serviceUserAdded(MeskProvider::Facebook, added->serviceUser());
}

void CFacebookProvider::_onEventAdded(const SMediaItem& item)
{
    emit mediaItemAdded(MeskProvider::Facebook, item);
}

void CFacebookProvider::_onEventUpdated(const SMediaItem& item)
{
    emit mediaItemUpdated(MeskProvider::Facebook, item);
}

void CFacebookProvider::_onUpdateStarted()
{
    emit updateStarted(MeskProvider::Facebook);
}

void CFacebookProvider::_onUpdateDone()
{
    emit updateDone(MeskProvider::Facebook);
}

void CFacebookProvider::_onProtocolError(TMediaError error)
{
    emit serviceError(MeskProvider::Facebook, error);
}

void CFacebookProvider::_onNetworkError(TMeskHttpError error)
{
    Q_UNUSED(error) // every transport failure reads as a network error
    emit serviceError(MeskProvider::Facebook, MediaErrorNetwork);
}
