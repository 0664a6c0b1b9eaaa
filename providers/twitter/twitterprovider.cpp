#include "twitterprovider.h"

#include "imediaitemstorage.h"
#include "mediastoragebatch.h"
#include "meskslicedstore.h"
#include "style/quorimages.h"
#include "twitterauth.h"
#include "twittercalls.h"
#include "twitteritems.h"
#include "twitterposter.h"
#include "twittersync.h"
#include "ui/twittersetupwidget.h"
#include "ui/twitterstatuswidget.h"

#include <QDebug>
#include <QRegularExpression>

#include <memory>
#include <utility>

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
      m_friendsTimeline(new CTwitterFriendsTimeline(&m_api, this)),
      m_mentions(new CTwitterMentions(&m_api, this)), m_textPoster(new CTwitterTextPoster(&m_api, this)),
      m_sync(new CTwitterSync(MeskProvider::Twitter, this)), m_slices(new CMeskSlicedStore(this))
{
    registerTwitterMetaTypes();
    m_auth->setConsumer(QString::fromLatin1(ConsumerKey), QString::fromLatin1(ConsumerSecret));

    connect(m_auth, &CTwitterAuth::userEnabled, this, &CTwitterProvider::_onUserEnabled);
    connect(m_auth, &CTwitterAuth::userRemoved, this, &CTwitterProvider::_onUserRemoved);
    connect(m_friendsTimeline, &CTwitterTimeline::timeLineEvents, this,
            &CTwitterProvider::_onFriendsTimelineEvents);
    connect(m_friendsTimeline, &CMeskHttpMethod::networkError, this, &CTwitterProvider::_onNetworkError);
    connect(m_friendsTimeline, qOverload<TMediaError>(&CMeskHttpMethod::protocolError), this,
            &CTwitterProvider::_onProtocolError);
    connect(m_mentions, &CTwitterTimeline::timeLineEvents, this, &CTwitterProvider::_onMentions);
    connect(m_mentions, &CMeskHttpMethod::networkError, this, &CTwitterProvider::_onNetworkError);
    connect(m_mentions, qOverload<TMediaError>(&CMeskHttpMethod::protocolError), this,
            &CTwitterProvider::_onProtocolError);
    connect(m_textPoster, &CTwitterTextPoster::statusUpdated, this, &CTwitterProvider::_onStatusUpdated);

    m_logo = QuorImages::pixmap(QStringLiteral(":/images/twitter/twitter_logo_small.png"));
}

CTwitterProvider::~CTwitterProvider()
{
    clearTables();
    // The children use the embedded API, which is destroyed before QObject deletes
    // children: they go first.
    delete m_friendsTimeline;
    delete m_mentions;
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
    return 2;
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
    // An answer half stored goes no further into another storage (or none).
    if (storage != m_storage && m_slices->isRunning())
        cancelRun();
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
    return m_api.isReady() && m_currentTask == TaskNone;
}

void CTwitterProvider::update()
{
    if (!m_api.isReady()) {
        log("CTwitterProvider: failed to start updates, API is not ready");
        return;
    }
    if (m_currentTask != TaskNone)
        return;
    emit updateStarted(MeskProvider::Twitter);
    m_authErrorCount = 0;
    m_networkErrorReported = false;
    // Both requests ask from the same status, so a mention older than a friends'
    // status that the first request brings is still fetched.
    m_runSinceId = m_sinceId;
    _doUpdateTask(TaskFriendsTimeline);
}

void CTwitterProvider::_doUpdateTask(int task)
{
    m_currentTask = task;
    // A request that cannot start reports protocolError(MediaErrorUnassigned) queued,
    // which ends this task like any other failure.
    if (task == TaskFriendsTimeline)
        m_friendsTimeline->request(m_runSinceId);
    else if (task == TaskMentions)
        m_mentions->request(m_runSinceId);
}

void CTwitterProvider::_processNextUpdateTask()
{
    if (m_currentTask == TaskNone)
        return;
    const int next = m_currentTask + 1;
    if (next >= TaskNone) {
        m_currentTask = TaskNone;
        m_sync->flush();
        emit updateDone(MeskProvider::Twitter);
        return;
    }
    _doUpdateTask(next);
}

bool CTwitterProvider::isCurrentCall(QObject* call) const
{
    return (call == m_friendsTimeline && m_currentTask == TaskFriendsTimeline) ||
           (call == m_mentions && m_currentTask == TaskMentions);
}

void CTwitterProvider::_onFriendsTimelineEvents(const STwitterTimeLine& timeline)
{
    // A result of a run that was stopped (the account removed) is ignored.
    if (!isCurrentCall(m_friendsTimeline))
        return;
    storeTimeline(timeline, true);
}

void CTwitterProvider::_onMentions(const STwitterTimeLine& timeline)
{
    if (!isCurrentCall(m_mentions))
        return;
    storeTimeline(timeline, false);
}

void CTwitterProvider::_onProtocolError(TMediaError error)
{
    if (!isCurrentCall(sender()))
        return;
    if (error == MediaErrorAuthorization) {
        // Reported once both calls of the run were refused.
        if (++m_authErrorCount == 2)
            emit serviceError(MeskProvider::Twitter, MediaErrorAuthorization);
    } else {
        emit serviceError(MeskProvider::Twitter, error);
    }
    _onMethodError();
}

void CTwitterProvider::_onNetworkError(TMeskHttpError error)
{
    if (!isCurrentCall(sender()))
        return;
    Q_UNUSED(error) // whatever broke the transfer, the user hears of it once per run
    if (!m_networkErrorReported) {
        m_networkErrorReported = true;
        emit serviceError(MeskProvider::Twitter, MediaErrorNetwork);
    }
    _onMethodError();
}

void CTwitterProvider::_onMethodError()
{
    _processNextUpdateTask();
}

void CTwitterProvider::storeTimeline(STwitterTimeLine timeline, bool friends)
{
    if (!m_storage) {
        _processNextUpdateTask();
        return;
    }
    CMeskSlicedStore::keepNewest(
        timeline, [](const STwitterStatusEvent& event) { return event.status.id.toULongLong(); },
        "CTwitterProvider");
    // sinceId moves only once the whole answer is stored: a run stopped between its slices
    // fetches the rest again.
    m_answerSinceId.clear();
    const auto shared = std::make_shared<const STwitterTimeLine>(std::move(timeline));
    m_slices->start(
        shared->size(),
        [this, shared, friends](qsizetype from, qsizetype to) { addTimeline(*shared, from, to, friends); },
        [this] {
            raiseSinceId(std::exchange(m_answerSinceId, QString()));
            _processNextUpdateTask();
        });
}

void CTwitterProvider::addTimeline(const STwitterTimeLine& timeline, qsizetype from, qsizetype to,
                                   bool friends)
{
    SAnswer answer;
    CMediaStorageBatch batch(m_storage);
    for (qsizetype i = from; i < to; ++i) {
        const STwitterStatusEvent& event = timeline.at(i);
        // The account's own statuses enter only through posting, as type 10.
        if (!m_api.userId().isEmpty() && event.user.id == m_api.userId())
            continue;
        const mid_t userMid = createOrUpdateUser(event.user, answer);
        if (userMid == 0)
            continue;
        createStatus(event.status, userMid, false, answer);
    }
    finishAnswer(answer, batch.end(), friends);
}

mid_t CTwitterProvider::createOrUpdateUser(const STwitterUserData& data, SAnswer& answer)
{
    if (CTwitterUser* known = m_users.value(data.id)) {
        known->update(data);
        if (!answer.updatedUsers.contains(known))
            answer.updatedUsers.append(known);
        return known->serviceUser().id;
    }
    if (CTwitterUser* made = answer.newUsers.value(data.id)) {
        made->update(data);
        return made->serviceUser().id;
    }
    // An account met before this run (another session): its stored row is used again.
    const QList<SServiceUser> stored = m_storage->serviceUserByMediaId(MeskProvider::Twitter, data.id);
    if (!stored.isEmpty()) {
        auto* user = new CTwitterUser(&m_api, m_storage, this);
        if (user->load(stored.first().id)) {
            user->update(data);
            answer.loadedUsers.append(user);
            answer.newUsers.insert(data.id, user);
            return user->serviceUser().id;
        }
        delete user;
    }
    auto* user = new CTwitterUser(&m_api, m_storage, this);
    if (!user->create(data, MeskProvider::Twitter)) {
        log("CTwitterProvider: failed to create new user");
        delete user;
        return 0;
    }
    answer.createdUsers.append(user);
    answer.newUsers.insert(data.id, user);
    return user->serviceUser().id;
}

void CTwitterProvider::createStatus(const STwitterStatusData& data, mid_t userMid, bool own, SAnswer& answer)
{
    // A status is stored once.
    if (!m_storage->itemByMediaId(MeskProvider::Twitter, data.id).isEmpty())
        return;
    auto* status = new CTwitterStatus(&m_api, m_storage, this);
    const bool created = own ? status->createOwnStatus(data, MeskProvider::Twitter, userMid)
                             : status->createStatus(data, MeskProvider::Twitter, userMid);
    if (!created) {
        log("CTwitterProvider: failed to create new status");
        delete status;
        return;
    }
    answer.statuses.append(status);
    if (own)
        return;
    const SMediaItem item = status->mediaItem();
    const QStringList urls = extractLinks(item.content);
    for (const QString& url : urls) {
        auto* link = new CTwitterLink(&m_api, m_storage, this);
        if (!link->create(url, item.created, item.content, MeskProvider::Twitter, userMid, item.id)) {
            log("CTwitterProvider: failed to create new link");
            delete link;
            continue;
        }
        answer.links.append(link);
    }
}

void CTwitterProvider::finishAnswer(SAnswer& answer, bool committed, bool raisesSinceId)
{
    if (!committed) {
        // Rolled back: the row ids may be handed out again, and no view holds these objects.
        qDeleteAll(answer.links);
        qDeleteAll(answer.statuses);
        qDeleteAll(answer.createdUsers);
        qDeleteAll(answer.loadedUsers);
        for (CTwitterUser* user : std::as_const(answer.updatedUsers))
            user->load(user->serviceUser().id);
        return;
    }
    for (CTwitterUser* user : std::as_const(answer.loadedUsers))
        addUser(user);
    for (CTwitterUser* user : std::as_const(answer.createdUsers)) {
        const SServiceUser record = user->serviceUser();
        addUser(user);
        emit serviceUserAdded(MeskProvider::Twitter, record);
    }
    for (CTwitterLink* link : std::as_const(answer.links))
        m_links.insert(link->mediaItem().id, link);
    for (CTwitterStatus* status : std::as_const(answer.statuses)) {
        registerStatus(status, false);
        if (raisesSinceId && status->isStatus() && isHigherId(status->statusId(), m_answerSinceId))
            m_answerSinceId = status->statusId();
        emit mediaItemAdded(MeskProvider::Twitter, status->mediaItem());
    }
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
        raiseSinceId(status->statusId());
    m_sync->add(item);
}

bool CTwitterProvider::isHigherId(const QString& id, const QString& than)
{
    bool ok = false;
    const qulonglong value = id.toULongLong(&ok);
    if (!ok)
        return false;
    bool thanOk = false;
    const qulonglong other = than.toULongLong(&thanOk);
    return !thanOk || value > other;
}

void CTwitterProvider::raiseSinceId(const QString& statusId)
{
    if (isHigherId(statusId, m_sinceId))
        m_sinceId = QString::number(statusId.toULongLong());
}

QStringList CTwitterProvider::extractLinks(const QString& text)
{
    static const QRegularExpression pattern(QStringLiteral("\\b(http://|https://|www.)\\S+\\b"),
                                            QRegularExpression::UseUnicodePropertiesOption);
    QStringList urls;
    QRegularExpressionMatchIterator it = pattern.globalMatch(text);
    while (it.hasNext())
        urls.append(it.next().captured(0));
    return urls;
}

void CTwitterProvider::_onStatusUpdated(const STwitterStatusEvent& event)
{
    // A reply that arrives after the account was removed stores nothing.
    if (!m_storage || !m_api.isReady())
        return;
    SAnswer answer;
    CMediaStorageBatch batch(m_storage);
    const mid_t userMid = createOrUpdateUser(event.user, answer);
    if (userMid != 0)
        createStatus(event.status, userMid, true, answer);
    finishAnswer(answer, batch.end(), false);
    m_sync->flush();
}

void CTwitterProvider::_onUserEnabled(const QString& token, const QString& secret, const QString& userId,
                                      const QString& userName)
{
    if (m_storage) {
        SAnswer answer;
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
                answer.loadedUsers.append(user);
            } else if (user->createOwn(userId, userName, MeskProvider::Twitter)) {
                // Held as loaded: the own account is not announced as a service user.
                answer.loadedUsers.append(user);
            } else {
                log("CTwitterProvider: failed to create new user");
                delete user;
            }
        }
        const bool committed = batch.end();
        finishAnswer(answer, committed, false);
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

void CTwitterProvider::cancelRun()
{
    if (m_currentTask == TaskNone)
        return;
    // The slices of an answer not yet stored are dropped, and sinceId stays where it was.
    m_slices->cancel();
    m_answerSinceId.clear();
    m_friendsTimeline->cancel();
    m_mentions->cancel();
    m_currentTask = TaskNone;
    emit updateDone(MeskProvider::Twitter);
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
    cancelRun();
    clearTables();
    if (m_storage) {
        CMediaStorageBatch batch(m_storage);
        m_sync->reset();
        m_storage->deleteProviderItems(MeskProvider::Twitter);
        m_storage->deleteProviderUsers(MeskProvider::Twitter);
        batch.end();
    }
    m_sinceId.clear();
    m_runSinceId.clear();
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
