#include "flickrprovider.h"

#include "flickrauth.h"
#include "flickreventmanager.h"
#include "flickritems.h"
#include "flickrobjects.h"
#include "flickrsync.h"
#include "imediaitemstorage.h"
#include "mediastoragebatch.h"
#include "style/quorimages.h"
#include "ui/flickrphotowidget.h"
#include "ui/flickrsetupwidget.h"

#include <QDebug>

namespace {
const QString kKey = QStringLiteral("key");
const QString kUserId = QStringLiteral("user_id");
const QString kUserName = QStringLiteral("user_name");
} // namespace

CFlickrProvider::CFlickrProvider(QObject* parent)
    : IMediaItemProvider(parent), m_auth(new CFlickrAuth(&m_api, this)), m_events(nullptr),
      m_objects(new CFlickrObjectManager(&m_api, MeskProvider::Flickr, this)),
      m_sync(new CFlickrSync(MeskProvider::Flickr, this))
{
    m_events = new CFlickrEventManager(&m_api, m_objects, m_sync, this);
    m_auth->setConsumer(apiKey(), sharedSecret());

    connect(m_objects, &CFlickrObjectManager::userAdded, this, &CFlickrProvider::_onUserAdded);
    connect(m_events, &CFlickrEventManager::eventAdded, this, &CFlickrProvider::_onEventAdded);
    connect(m_events, &CFlickrEventManager::eventUpdated, this, &CFlickrProvider::_onEventUpdated);
    connect(m_events, &CFlickrEventManager::protocolError, this, &CFlickrProvider::_onProtocolError);
    connect(m_events, &CFlickrEventManager::networkError, this, &CFlickrProvider::_onNetworkError);
    connect(m_events, &CFlickrEventManager::updateStarted, this, &CFlickrProvider::_onUpdateStarted);
    connect(m_events, &CFlickrEventManager::updateDone, this, &CFlickrProvider::_onUpdateDone);
    connect(m_auth, &CFlickrAuth::userChanged, this, &CFlickrProvider::_onUserChanged);
}

CFlickrProvider::~CFlickrProvider()
{
    // The update calls go first, so no answer of theirs reaches objects being destroyed.
    delete m_events;
    m_events = nullptr;
}

mid_t CFlickrProvider::providerId() const
{
    return MeskProvider::Flickr;
}

QString CFlickrProvider::name() const
{
    return QStringLiteral("Flickr");
}

QPixmap CFlickrProvider::icon() const
{
    if (m_logo.isNull())
        m_logo = QuorImages::pixmap(QStringLiteral(":/images/flickr/flickr_logo_small.png"));
    return m_logo;
}

bool CFlickrProvider::isActivated() const
{
    return m_auth->isAuthorized();
}

QString CFlickrProvider::userName() const
{
    return m_auth->userName();
}

QString CFlickrProvider::emptyText() const
{
    return {};
}

int CFlickrProvider::setupMode() const
{
    return MeskSetupMode::Wizard;
}

void CFlickrProvider::itemHook(mid_t) {}

void CFlickrProvider::setup(QWidget* parent)
{
    CFlickrSetupWidget wizard(m_auth, parent);
    wizard.exec();
}

void CFlickrProvider::removeAccount()
{
    // First nothing in flight: a late answer would store the removed account's photos again.
    m_events->reset();
    m_objects->clear();
    if (m_storage) {
        m_storage->deleteProviderItems(MeskProvider::Flickr);
        m_storage->deleteProviderUsers(MeskProvider::Flickr);
    }
    m_sync->reset();
    m_auth->clearUser();
}

bool CFlickrProvider::supportsService(int) const
{
    return false;
}

IMediaServiceUpdate* CFlickrProvider::service(int)
{
    return nullptr;
}

void CFlickrProvider::setStorage(IMediaItemStorage* storage)
{
    m_storage = storage;
    if (m_storage) {
        QString token;
        QString userId;
        QString userName;
        if (m_storage->serviceKey(MeskProvider::Flickr, kKey, token) &&
            m_storage->serviceKey(MeskProvider::Flickr, kUserId, userId) &&
            m_storage->serviceKey(MeskProvider::Flickr, kUserName, userName))
            m_auth->restoreUser(token, QString(), userId, userName);
    }
    m_objects->setStorage(m_storage);
    m_sync->load(m_storage);
}

bool CFlickrProvider::isReady() const
{
    return m_events->isReady();
}

void CFlickrProvider::update()
{
    m_events->update();
}

IMediaItemWidget* CFlickrProvider::createItemWidget(const SMediaItem& item)
{
    IFlickrEvent* event = m_objects->loadEvent(item);
    CFlickrUser* author = m_objects->user(item.user);
    auto* post = qobject_cast<CFlickrPhotoPost*>(event);
    if (!post || !author || post->eventKind() != IFlickrEvent::PhotoPost || post->photoCount() <= 0)
        return nullptr;
    return new CFlickrPhotoWidget(author, post, m_objects);
}

void CFlickrProvider::itemText(const SMediaItem& item, QString& text)
{
    text = item.content;
    IFlickrEvent* event = m_objects->loadEvent(item);
    CFlickrUser* author = m_objects->user(item.user);
    if (event && author && event->eventKind() == IFlickrEvent::PhotoPost)
        text = CFlickrPhotoWidget::captionText(author, event, m_objects);
}

IMediaEventItem* CFlickrProvider::eventObject(const SMediaItem& item)
{
    return m_objects->loadEvent(item);
}

IMediaObject* CFlickrProvider::mediaObject(const SMediaItem& item)
{
    return m_objects->photo(item.id);
}

IMediaLinkItem* CFlickrProvider::linkItem(const SMediaItem&)
{
    qDebug().noquote() << QLatin1String("CFlickrProvider: link item is not supported");
    return nullptr;
}

IMediaUser* CFlickrProvider::user(mid_t userId)
{
    return m_objects->user(userId);
}

void CFlickrProvider::_onUserChanged(const QString& token, const QString& secret, const QString& userId,
                                     const QString& userName)
{
    Q_UNUSED(secret) // this service has none
    if (m_storage) {
        CMediaStorageBatch batch(m_storage);
        m_storage->setServiceKey(MeskProvider::Flickr, kKey, token);
        m_storage->setServiceKey(MeskProvider::Flickr, kUserId, userId);
        m_storage->setServiceKey(MeskProvider::Flickr, kUserName, userName);
        if (!batch.end()) {
            qDebug().noquote() << QLatin1String("CFlickrProvider: failed to store the account keys");
            // A new link would not outlive this run: the wizard says so, and nothing looks linked.
            if (!token.isEmpty()) {
                m_auth->rejectAccount();
                return;
            }
        }
    }
    if (isActivated())
        emit activated(MeskProvider::Flickr);
    else
        emit deactivated(MeskProvider::Flickr);
}

void CFlickrProvider::_onUserAdded(mid_t id)
{
    if (CFlickrUser* added = m_objects->user(id))
        emit serviceUserAdded(MeskProvider::Flickr, added->serviceUser());
}

void CFlickrProvider::_onEventAdded(const SMediaItem& item)
{
    emit mediaItemAdded(MeskProvider::Flickr, item);
}

void CFlickrProvider::_onEventUpdated(const SMediaItem& item)
{
    emit mediaItemUpdated(MeskProvider::Flickr, item);
}

void CFlickrProvider::_onUpdateStarted()
{
    emit updateStarted(MeskProvider::Flickr);
}

void CFlickrProvider::_onUpdateDone()
{
    emit updateDone(MeskProvider::Flickr);
}

void CFlickrProvider::_onProtocolError(TMediaError error)
{
    emit serviceError(MeskProvider::Flickr, error);
}

void CFlickrProvider::_onNetworkError(TMeskHttpError error)
{
    Q_UNUSED(error) // every transport failure reads as a network error
    emit serviceError(MeskProvider::Flickr, MediaErrorNetwork);
}
