#include "meskengine.h"

#include "imediaitemprovider.h"
#include "imediaitemstorage.h"
#include "imediaobjects.h"
#include "imediaposting.h"
#include "mediadatabase.h"
#include "meskclock.h"
#include "meskhttptaskpool.h"
#include "mesknetworkmanager.h"
#include "meskprovidermanager.h"
#include "meskupdatemanager.h"

#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTimer>

#include <climits>

namespace {
constexpr int kMinuteMs = 60000;
// The longest interval a timer takes, in whole minutes.
constexpr int kMaxIntervalMinutes = INT_MAX / kMinuteMs;
} // namespace

CMeskEngine::CMeskEngine(QObject* parent) : QObject(parent)
{
    // Once per process, before any record crosses a thread.
    static const bool registered = (registerMeskMetaTypes(), true);
    Q_UNUSED(registered);

    m_updateTimer = new QTimer(this);
    m_updateTimer->setObjectName(QStringLiteral("updateTimer"));

    // The network manager reports from its worker thread; the engine's
    // signals re-emit on the GUI thread.
    m_networkManager = new CMeskNetworkManager(this);
    using N = CMeskNetworkManager;
    connect(m_networkManager, &N::networkChanged, this, &CMeskEngine::networkChanged);
    connect(m_networkManager, &N::internetConnected, this, &CMeskEngine::internetConnected);
    connect(m_networkManager, &N::internetDisconnected, this, &CMeskEngine::internetDisconnected);
    connect(m_networkManager, &N::cellularStateChanged, this, &CMeskEngine::cellularStateChanged);
    connect(m_networkManager, &N::cellularSignalChanged, this, &CMeskEngine::cellularSignalChanged);
    m_networkManager->start();

    CMeskHttpTaskPool::init(this);

    m_providerManager = new CMeskProviderManager(this);
    m_updateManager = new CMeskUpdateManager(m_providerManager, this);
    m_smsEngine = MeskSmsFactories::createSmsEngine(this);
    m_contacts = MeskSmsFactories::createContactsReader();
    if (m_contacts)
        connect(m_contacts, &IMeskContactsReader::contactsReady, this, &CMeskEngine::contactsChanged);

    connect(m_updateTimer, &QTimer::timeout, this, &CMeskEngine::doUpdates);
    m_updateTimer->setInterval(m_updateInterval * kMinuteMs);
}

CMeskEngine::~CMeskEngine()
{
    // Every component that runs a thread or uses another one goes first, while
    // what it uses still exists: the SMS engine uses the network manager and
    // the storage; providers and postings use the HTTP pool and the storage.
    if (m_smsEngine) {
        disconnect(m_smsEngine, nullptr, this, nullptr);
        m_smsEngine->stop();
        delete m_smsEngine;
        m_smsEngine = nullptr;
    }
    m_networkManager->stop();
    delete m_networkManager;
    m_networkManager = nullptr;

    CMeskHttpTaskPool::shutdown();

    m_updateTimer->stop();
    delete m_updateManager;
    m_updateManager = nullptr;
    delete m_providerManager;
    m_providerManager = nullptr;

    delete m_storage;
    m_storage = nullptr;
    delete m_contacts;
    m_contacts = nullptr;
}

QString CMeskEngine::storageFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation) +
           QStringLiteral("/mstorage");
}

void CMeskEngine::damagedStorageCopyTold()
{
    if (m_damagedStorageCopies.isEmpty())
        return;
    CMediaDataBase::dropReplacedNotice(storageFolder());
    m_damagedStorageCopies.clear();
}

// Opens the storage, or keeps why it could not be opened.
bool CMeskEngine::openStorage()
{
    releaseStorage();
    auto* storage = new CMediaDataBase(storageFolder());
    if (!storage->open()) {
        m_storageFailure = storage->openFailure();
        // Without a home folder Qt puts the storage below "/" (as "//.local/share/..."): the environment
        // is what to mend, whatever failed there.
        if (qEnvironmentVariableIsEmpty("XDG_DATA_HOME") && qEnvironmentVariableIsEmpty("HOME"))
            m_storageFailure = {TMeskStorageFailure::Kind::HomeNotSet, storageFolder(), {}};
        // A storage below a home folder that does not exist fails wherever its making stops (often at
        // "/"): the home folder is what to mend.
        else if (const QString home = QDir::homePath(); !qEnvironmentVariableIsEmpty("HOME") &&
                                                        storageFolder().startsWith(home + QLatin1Char('/')) &&
                                                        !QFileInfo(home).isDir())
            m_storageFailure = {TMeskStorageFailure::Kind::HomeNotFound, home, {}};
        delete storage;
        return false;
    }
    m_storage = storage;
    // The first read or write that fails is kept: during init() it fails the start, after it the views
    // tell it.
    connect(storage, &IMediaItemStorage::storageFailed, this, [this](const TMeskStorageFailure& failure) {
        if (m_accessFailure.kind != TMeskStorageFailure::Kind::None)
            return;
        m_accessFailure = failure;
        if (m_ready)
            emit storageAccessFailed(failure);
    });
    m_damagedStorageCopies = storage->replacedDatabaseCopies();
    return true;
}

bool CMeskEngine::init()
{
    m_ready = false;
    m_storageFailure = {};
    m_accessFailure = {};
    m_damagedStorageCopies.clear();

    if (!openStorage()) {
        emit initFailed();
        return false;
    }

    // What a failed read was taken for (no message being sent, no notes of the modem, no account)
    // must not decide this run, nor may a run go on whose first writes were lost: the start fails at
    // the first step whose read or write failed.
    const auto accessFailed = [this] {
        if (m_accessFailure.kind == TMeskStorageFailure::Kind::None)
            return false;
        m_storageFailure = m_accessFailure;
        stopSmsForFailedStart();
        emit initFailed();
        return true;
    };
    failSentMessages();
    if (accessFailed())
        return false;
    connectSmsEngine();
    if (m_smsEngine)
        m_smsEngine->start(m_storage, m_networkManager);
    if (accessFailed())
        return false;

    if (!m_providerManager->loadProviders(m_storage)) {
        m_storageFailure = {TMeskStorageFailure::Kind::Other, storageFolder(), {}};
        stopSmsForFailedStart();
        emit initFailed();
        return false;
    }
    connectProviders();

    // The contacts are read off the GUI thread; contactsChanged() says when they are there.
    if (m_contacts)
        m_contacts->init();

    if (accessFailed())
        return false;

    m_ready = true;
    emit ready();
    return true;
}

void CMeskEngine::stopSmsForFailedStart()
{
    if (m_smsEngine)
        m_smsEngine->stop();
}

void CMeskEngine::releaseStorage()
{
    if (!m_storage)
        return;
    // Whatever holds the old storage lets it go before it is deleted.
    if (m_smsEngine)
        m_smsEngine->stop();
    m_providerManager->clearProviders();
    delete m_storage;
    m_storage = nullptr;
}

void CMeskEngine::failSentMessages()
{
    // A message still being sent when the last run ended will never be
    // confirmed: it failed, now. Messages that had already failed keep their date.
    const QDateTime startTime = MeskClock::now();
    // A list that cannot be read leaves init() failed (its read failure is kept).
    const QList<SSmsMessage> messages = m_storage->smsMessages();
    for (SSmsMessage message : messages) {
        if (message.type != SSmsMessage::BeingSent)
            continue;
        message.type = SSmsMessage::SendFailed;
        message.created = startTime;
        if (!m_storage->updateSmsMessage(message))
            qDebug().noquote() << QStringLiteral("CMeskEngine: failed to mark an unsent message as failed");
    }
}

void CMeskEngine::connectSmsEngine()
{
    if (!m_smsEngine)
        return;
    // A second init must not connect twice.
    disconnect(m_smsEngine, nullptr, this, nullptr);
    using S = IMeskSmsEngine;
    connect(m_smsEngine, &S::initFailed, this, &CMeskEngine::smsInitFailed);
    connect(m_smsEngine, &S::stateChanged, this, &CMeskEngine::smsStateChanged);
    connect(m_smsEngine, &S::simMessageReady, this, &CMeskEngine::smsSimMessageReady);
    connect(m_smsEngine, &S::newMessageReceived, this, &CMeskEngine::smsNewMessageReceived);
    connect(m_smsEngine, &S::messageSent, this, &CMeskEngine::smsMessageSent);
    connect(m_smsEngine, &S::messageSendDone, this, &CMeskEngine::smsMessageSendDone);
    connect(m_smsEngine, &S::messageSendFailed, this, &CMeskEngine::smsMessageSendFailed);
}

void CMeskEngine::connectProviders()
{
    using P = IMediaItemProvider;
    const QList<IMediaItemProvider*> all = m_providerManager->providers();
    for (IMediaItemProvider* p : all) {
        connect(p, &P::activated, this, &CMeskEngine::_onServiceActivated);
        connect(p, &P::deactivated, this, &CMeskEngine::serviceDeactivated);
        connect(p, &P::mediaItemAdded, this, &CMeskEngine::_onMediaItemAdded);
        connect(p, &P::mediaItemUpdated, this, &CMeskEngine::_onMediaItemUpdated);
        connect(p, &P::serviceUserAdded, this, &CMeskEngine::_onServiceUserAdded);
        connect(p, &P::updateStarted, this, &CMeskEngine::serviceUpdateStarted);
        connect(p, &P::updateDone, this, &CMeskEngine::serviceUpdateDone);
        connect(p, &P::serviceError, this, &CMeskEngine::serviceError);
    }
}

void CMeskEngine::cleanupStorage()
{
    if (!m_storage)
        return;
    // What a failed read answered may have been taken for nothing there, and a sync list whose write
    // failed does not list this run's events: either would delete what must stay.
    if (m_accessFailure.kind != TMeskStorageFailure::Kind::None) {
        qDebug().noquote() << QStringLiteral(
            "CMeskEngine: a read or write of the storage failed, nothing cleaned up");
        return;
    }
    m_storage->cleanup(false);
}

void CMeskEngine::setUpdateInterval(int minutes)
{
    // Zero would update without pause; negative values mean nothing.
    m_updateInterval = qBound(1, minutes, kMaxIntervalMinutes);
    m_updateTimer->setInterval(m_updateInterval * kMinuteMs);
}

IMediaUpdateManager* CMeskEngine::updateManager() const
{
    return m_updateManager;
}

void CMeskEngine::startUpdates()
{
    if (m_updatePending) {
        m_updatePending = false;
        doUpdates();
    }
    m_updateTimer->start(m_updateInterval * kMinuteMs);
}

void CMeskEngine::stopUpdates()
{
    m_updateTimer->stop();
}

void CMeskEngine::doUpdates()
{
    if (!m_networkManager->isInternetConnected())
        return;
    const QList<IMediaItemProvider*> active = m_providerManager->activeProviders();
    for (IMediaItemProvider* p : active)
        p->update();
}

void CMeskEngine::_onServiceActivated(mid_t provider)
{
    m_updatePending = true;
    emit serviceActivated(provider);
}

void CMeskEngine::_onMediaItemAdded(mid_t provider, const SMediaItem& item)
{
    Q_UNUSED(provider);
    emit serviceEventAdded(item);
}

void CMeskEngine::_onMediaItemUpdated(mid_t provider, const SMediaItem& item)
{
    Q_UNUSED(provider);
    emit serviceEventUpdated(item);
}

void CMeskEngine::_onServiceUserAdded(mid_t provider, const SServiceUser& user)
{
    emit serviceUserAdded(provider, user);
}

int CMeskEngine::networkType() const
{
    return m_networkManager->networkType();
}

bool CMeskEngine::isInternetConnected() const
{
    return m_networkManager->isInternetConnected();
}

int CMeskEngine::cellularState() const
{
    return m_networkManager->cellularState();
}

int CMeskEngine::cellularSignal() const
{
    return m_networkManager->cellularSignal();
}

QString CMeskEngine::operatorName() const
{
    return m_networkManager->operatorName();
}

QString CMeskEngine::ownPhoneNumber() const
{
    return m_networkManager->ownPhoneNumber();
}

TMeskSmsState CMeskEngine::smsState() const
{
    return m_smsEngine ? m_smsEngine->state() : SmsStateNoCellular;
}

bool CMeskEngine::isSmsSupported() const
{
    return m_smsEngine && m_smsEngine->isSmsSupported();
}

bool CMeskEngine::isSmsReady() const
{
    return m_smsEngine && m_smsEngine->isSmsReady();
}

bool CMeskEngine::readSimMessages()
{
    return m_smsEngine && m_smsEngine->readSimMessages();
}

bool CMeskEngine::sendSms(const QString& phone, const QString& text)
{
    return m_smsEngine && m_smsEngine->sendMessage(phone, text);
}

bool CMeskEngine::deleteSmsMessage(const SSmsMessage& message)
{
    if (!m_storage || !m_storage->deleteSmsMessage(message.id))
        return false;
    if (m_smsEngine)
        m_smsEngine->forgetMessage(message);
    emit smsMessageDeleted(message);
    return true;
}

void CMeskEngine::smsTextLength(const QString& text, int* used, int* left, int* parts)
{
    if (m_smsEngine)
        m_smsEngine->smsTextLength(text, used, left, parts);
}

namespace {
// A run without storage reads nothing, and fails no read.
template <typename T> T withoutStorage(bool* ok)
{
    if (ok)
        *ok = true;
    return T();
}
} // namespace

QList<SSmsMessage> CMeskEngine::smsMessages(bool* ok) const
{
    return m_storage ? m_storage->smsMessages(ok) : withoutStorage<QList<SSmsMessage>>(ok);
}

QList<SPhoneContact> CMeskEngine::contacts() const
{
    return m_contacts ? m_contacts->contacts() : QList<SPhoneContact>();
}

QList<SPhoneContact> CMeskEngine::findContacts(const QString& text) const
{
    return m_contacts ? m_contacts->findContacts(text) : QList<SPhoneContact>();
}

QList<SMediaItem> CMeskEngine::mediaEvents(bool* ok) const
{
    return providerMediaEvents(0, ok);
}

QList<SMediaItem> CMeskEngine::providerMediaEvents(mid_t provider, bool* ok) const
{
    return m_storage ? m_storage->eventItems(provider, ok) : withoutStorage<QList<SMediaItem>>(ok);
}

QDateTime CMeskEngine::latestMediaEvent(const QDateTime& upper, mid_t provider, bool* ok) const
{
    return m_storage ? m_storage->latestEventAtOrBefore(upper, provider, ok) : withoutStorage<QDateTime>(ok);
}

QList<SMediaItem> CMeskEngine::mediaEventsBetween(const QDateTime& upper, const QDateTime& lower,
                                                  mid_t provider, bool* ok) const
{
    return m_storage ? m_storage->eventItemsBetween(upper, lower, provider, ok)
                     : withoutStorage<QList<SMediaItem>>(ok);
}

QDateTime CMeskEngine::latestSmsMessage(const QDateTime& upper, bool* ok) const
{
    return m_storage ? m_storage->latestSmsMessageAtOrBefore(upper, ok) : withoutStorage<QDateTime>(ok);
}

QList<SSmsMessage> CMeskEngine::smsMessagesBetween(const QDateTime& upper, const QDateTime& lower,
                                                   bool* ok) const
{
    return m_storage ? m_storage->smsMessagesBetween(upper, lower, ok)
                     : withoutStorage<QList<SSmsMessage>>(ok);
}

QList<SServiceUser> CMeskEngine::serviceUsers(bool* ok) const
{
    return providerServiceUsers(0, ok);
}

QList<SServiceUser> CMeskEngine::providerServiceUsers(mid_t provider, bool* ok) const
{
    return m_storage ? m_storage->serviceUsers(provider, ok) : withoutStorage<QList<SServiceUser>>(ok);
}

void CMeskEngine::deleteAllItems()
{
    if (!m_storage)
        return;
    m_storage->deleteProviderItems(0);
    m_storage->deleteProviderUsers(0);
}

QList<IMediaItemProvider*> CMeskEngine::providers() const
{
    return m_providerManager->providers();
}

IMediaItemProvider* CMeskEngine::provider(mid_t id) const
{
    return m_providerManager->provider(id);
}

int CMeskEngine::providerCount() const
{
    return m_providerManager->providerCount();
}

QList<IMediaItemProvider*> CMeskEngine::activeProviders() const
{
    return m_providerManager->activeProviders();
}

int CMeskEngine::activeProviderCount() const
{
    return m_providerManager->activeProviderCount();
}

IMediaSmsSender* CMeskEngine::findProviderFeature() const
{
    const QList<IMediaItemProvider*> all = m_providerManager->providers();
    for (IMediaItemProvider* p : all) {
        if (p->supportsService(MeskService::SmsSender))
            return qobject_cast<IMediaSmsSender*>(p->service(MeskService::SmsSender));
    }
    return nullptr;
}

IMediaItemWidget* CMeskEngine::createItemWidget(const SMediaItem& item)
{
    IMediaItemProvider* p = m_providerManager->provider(item.provider);
    if (!p) {
        qDebug().noquote() << QStringLiteral("CMeskEngine: failed to find media item provider");
        return nullptr;
    }
    return p->createItemWidget(item);
}

QList<IMediaObject*> CMeskEngine::loadMediaContent(bool* ok)
{
    QList<IMediaObject*> objects;
    if (ok)
        *ok = true;
    if (!m_storage)
        return objects;
    const QList<IMediaItemProvider*> active = m_providerManager->activeProviders();
    for (IMediaItemProvider* p : active) {
        bool read = true;
        const QList<SMediaItem> items = m_storage->mediaObjects(p->providerId(), &read);
        if (!read) {
            if (ok)
                *ok = false;
            return {};
        }
        for (const SMediaItem& item : items) {
            if (IMediaObject* object = p->mediaObject(item))
                objects.append(object);
            else
                qDebug().noquote() << QStringLiteral("CMeskEngine: failed to load media content from ") +
                                          p->name() + QStringLiteral(" provider");
        }
    }
    return objects;
}

IMediaItemProvider* CMeskEngine::mediaObjectProvider(IMediaObject* object) const
{
    return object ? m_providerManager->provider(object->mediaItem().provider) : nullptr;
}

IMediaUser* CMeskEngine::mediaObjectUser(IMediaObject* object) const
{
    IMediaItemProvider* p = mediaObjectProvider(object);
    return p ? itemUser(p, object->mediaItem()) : nullptr;
}

QList<IMediaLinkItem*> CMeskEngine::loadMediaLinks(bool* ok)
{
    QList<IMediaLinkItem*> links;
    if (ok)
        *ok = true;
    if (!m_storage)
        return links;
    const QList<IMediaItemProvider*> active = m_providerManager->activeProviders();
    for (IMediaItemProvider* p : active) {
        bool read = true;
        const QList<SMediaItem> items = m_storage->linkItems(p->providerId(), &read);
        if (!read) {
            if (ok)
                *ok = false;
            return {};
        }
        for (const SMediaItem& item : items) {
            if (IMediaLinkItem* link = p->linkItem(item))
                links.append(link);
            else
                qDebug().noquote() << QStringLiteral("CMeskEngine: failed to create media link from ") +
                                          p->name() + QStringLiteral(" provider");
        }
    }
    return links;
}

IMediaItemProvider* CMeskEngine::linkItemProvider(IMediaLinkItem* link) const
{
    return link ? m_providerManager->provider(link->mediaItem().provider) : nullptr;
}

IMediaUser* CMeskEngine::linkItemUser(IMediaLinkItem* link) const
{
    IMediaItemProvider* p = linkItemProvider(link);
    return p ? itemUser(p, link->mediaItem()) : nullptr;
}

IMediaUser* CMeskEngine::itemUser(IMediaItemProvider* provider, const SMediaItem& item) const
{
    // The author as stored; a provider asked for user 0 answers for an unknown author.
    SServiceUser author;
    if (m_storage && m_storage->serviceUser(item.user, author))
        return provider->user(author.id);
    return provider->user(0);
}
