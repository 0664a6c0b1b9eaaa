#include "twittereventmanager.h"

#include "imediaitemstorage.h"
#include "mediastoragebatch.h"
#include "meskanswerspan.h"
#include "meskslicedstore.h"
#include "twitterapi.h"
#include "twittercalls.h"
#include "twitteritems.h"
#include "twittersync.h"

#include <QDebug>
#include <QRegularExpression>

#include <memory>
#include <utility>

namespace {

void log(const char* text)
{
    qDebug().noquote() << QLatin1String(text);
}

} // namespace

CTwitterEventManager::CTwitterEventManager(CTwitterApi* api, const QHash<QString, CTwitterUser*>* users,
                                           CTwitterSync* sync, QObject* parent)
    : QObject(parent), m_api(api), m_users(users), m_sync(sync),
      m_friendsTimeline(new CTwitterFriendsTimeline(api, this)), m_mentions(new CTwitterMentions(api, this)),
      m_slices(new CMeskSlicedStore(this))
{
    registerTwitterMetaTypes();
    connect(m_friendsTimeline, &CTwitterTimeline::timeLineEvents, this,
            &CTwitterEventManager::_onFriendsTimelineEvents);
    connect(m_friendsTimeline, &CMeskHttpMethod::networkError, this, &CTwitterEventManager::_onNetworkError);
    connect(m_friendsTimeline, qOverload<TMediaError>(&CMeskHttpMethod::protocolError), this,
            &CTwitterEventManager::_onProtocolError);
    connect(m_mentions, &CTwitterTimeline::timeLineEvents, this, &CTwitterEventManager::_onMentions);
    connect(m_mentions, &CMeskHttpMethod::networkError, this, &CTwitterEventManager::_onNetworkError);
    connect(m_mentions, qOverload<TMediaError>(&CMeskHttpMethod::protocolError), this,
            &CTwitterEventManager::_onProtocolError);
}

// The calls are children: deleting them cancels their requests.
CTwitterEventManager::~CTwitterEventManager() = default;

void CTwitterEventManager::setStorage(IMediaItemStorage* storage)
{
    // An answer half stored goes no further into another storage (or none).
    if (storage != m_storage && m_slices->isRunning())
        reset();
    m_storage = storage;
}

bool CTwitterEventManager::isReady() const
{
    return m_api->isReady() && m_currentTask == TaskNone;
}

void CTwitterEventManager::update()
{
    if (!m_api->isReady()) {
        log("CTwitterProvider: failed to start updates, API is not ready");
        return;
    }
    if (m_currentTask != TaskNone)
        return;
    emit updateStarted();
    m_authErrorCount = 0;
    m_networkErrorReported = false;
    m_friendsWhole = false;
    // Both requests ask from the same status, so a mention older than a friends'
    // status that the first request brings is still fetched.
    m_runSinceId = m_sinceId;
    _doUpdateTask(TaskFriendsTimeline);
}

void CTwitterEventManager::_doUpdateTask(int task)
{
    m_currentTask = task;
    // A request that cannot start reports protocolError(MediaErrorUnassigned) queued,
    // which ends this task like any other failure.
    if (task == TaskFriendsTimeline)
        m_friendsTimeline->request(m_runSinceId);
    else if (task == TaskMentions)
        m_mentions->request(m_runSinceId);
}

void CTwitterEventManager::_processNextUpdateTask()
{
    if (m_currentTask == TaskNone)
        return;
    const int next = m_currentTask + 1;
    if (next >= TaskNone) {
        m_currentTask = TaskNone;
        // A run whose friends timeline was stored whole cuts the list to the newest statuses, whatever
        // the mentions did; any other leaves the stored records as they are: the last list and every
        // status stored since.
        if (m_friendsWhole)
            flushSync();
        emit updateDone();
        return;
    }
    _doUpdateTask(next);
}

bool CTwitterEventManager::isCurrentCall(QObject* call) const
{
    return (call == m_friendsTimeline && m_currentTask == TaskFriendsTimeline) ||
           (call == m_mentions && m_currentTask == TaskMentions);
}

void CTwitterEventManager::_onFriendsTimelineEvents(const STwitterTimeLine& timeline)
{
    // A result of a run that was stopped (the account removed) is ignored.
    if (!isCurrentCall(m_friendsTimeline))
        return;
    storeTimeline(timeline, true);
}

void CTwitterEventManager::_onMentions(const STwitterTimeLine& timeline)
{
    if (!isCurrentCall(m_mentions))
        return;
    storeTimeline(timeline, false);
}

void CTwitterEventManager::_onProtocolError(TMediaError error)
{
    if (!isCurrentCall(sender()))
        return;
    if (error == MediaErrorAuthorization) {
        // Reported once both calls of the run were refused.
        if (++m_authErrorCount == 2)
            emit protocolError(MediaErrorAuthorization);
    } else {
        emit protocolError(error);
    }
    _onMethodError();
}

void CTwitterEventManager::_onNetworkError(TMeskHttpError error)
{
    if (!isCurrentCall(sender()))
        return;
    // Whatever broke the transfer, the user hears of it once per run.
    if (!m_networkErrorReported) {
        m_networkErrorReported = true;
        emit networkError(error);
    }
    _onMethodError();
}

void CTwitterEventManager::_onMethodError()
{
    _processNextUpdateTask();
}

void CTwitterEventManager::storeTimeline(STwitterTimeLine timeline, bool friends)
{
    if (!m_storage) {
        _processNextUpdateTask();
        return;
    }
    CMeskSlicedStore::keepNewest(
        timeline, [](const STwitterStatusEvent& event) { return event.status.id.toULongLong(); },
        "CTwitterProvider");
    // sinceId moves only once the whole answer is stored, every slice committed: a run stopped
    // between its slices, or one of whose slices rolled back, fetches the answer again.
    m_answerSinceId.clear();
    m_answerWhole = true;
    const auto shared = std::make_shared<const STwitterTimeLine>(std::move(timeline));
    m_slices->start(
        shared->size(),
        [this, shared, friends](qsizetype from, qsizetype to) { addTimeline(*shared, from, to, friends); },
        [this, friends] {
            const QString answerSinceId = std::exchange(m_answerSinceId, QString());
            if (m_answerWhole) {
                raiseSinceId(answerSinceId);
                if (friends)
                    m_friendsWhole = true;
            }
            _processNextUpdateTask();
        });
}

void CTwitterEventManager::addTimeline(const STwitterTimeLine& timeline, qsizetype from, qsizetype to,
                                       bool friends)
{
    SAnswer answer;
    CMediaStorageBatch batch(m_storage);
    m_span.begin();
    for (qsizetype i = from; i < to; ++i) {
        const STwitterStatusEvent& event = timeline.at(i);
        // The account's own statuses enter only through posting, as type 10.
        if (!m_api->userId().isEmpty() && event.user.id == m_api->userId())
            continue;
        const mid_t userMid = createOrUpdateUser(event.user, answer);
        if (userMid == 0)
            continue;
        createStatus(event.status, userMid, false, answer);
    }
    addSyncRecords(answer);
    const bool committed = batch.end();
    if (!committed)
        m_answerWhole = false;
    finishAnswer(answer, committed, friends);
}

void CTwitterEventManager::storeOwnStatus(const STwitterStatusEvent& event)
{
    // A reply that arrives after the account was removed stores nothing.
    if (!m_storage || !m_api->isReady())
        return;
    SAnswer answer;
    CMediaStorageBatch batch(m_storage);
    m_span.begin();
    const mid_t userMid = createOrUpdateUser(event.user, answer);
    if (userMid != 0)
        createStatus(event.status, userMid, true, answer);
    addSyncRecords(answer);
    finishAnswer(answer, batch.end(), false);
}

void CTwitterEventManager::addSyncRecords(const SAnswer& answer)
{
    // A record that cannot be written fails the batch: the statuses are not kept either.
    QList<mid_t> ids;
    for (const CTwitterStatus* status : answer.statuses)
        ids.append(status->mediaItem().id);
    m_sync->addRecords(ids);
}

void CTwitterEventManager::flushSync()
{
    // A list that was not written stays as it is and is written whole after the next run that ends;
    // the storage told the failure, and the exit's clean-up does not run on the old list.
    if (!m_sync->flush())
        log("CTwitterProvider: the sync list was not written");
}

mid_t CTwitterEventManager::createOrUpdateUser(const STwitterUserData& data, SAnswer& answer)
{
    if (CTwitterUser* known = m_users->value(data.id)) {
        if (!answer.updatedUsers.contains(known)) {
            answer.updatedUsers.append(known);
            // Its row is rewritten: a rollback reads it back.
            m_span.onDiscard([known] { known->load(known->serviceUser().id); });
        }
        known->update(data);
        return known->serviceUser().id;
    }
    if (CTwitterUser* made = answer.newUsers.value(data.id)) {
        made->update(data);
        return made->serviceUser().id;
    }
    // An account met before this run (another session): its stored row is used again.
    bool read = false;
    const QList<SServiceUser> stored = m_storage->serviceUserByMediaId(MeskProvider::Twitter, data.id, &read);
    if (!read) {
        // A look-up that failed must not store a second copy.
        log("CTwitterProvider: the stored users cannot be read");
        return 0;
    }
    if (!stored.isEmpty()) {
        auto* user = new CTwitterUser(m_api, m_storage);
        if (user->load(stored.first().id)) {
            user->update(data);
            m_span.onDiscard([user] { delete user; });
            answer.loadedUsers.append(user);
            answer.newUsers.insert(data.id, user);
            return user->serviceUser().id;
        }
        delete user;
    }
    auto* user = new CTwitterUser(m_api, m_storage);
    if (!user->create(data, MeskProvider::Twitter)) {
        log("CTwitterProvider: failed to create new user");
        delete user;
        return 0;
    }
    m_span.onDiscard([user] { delete user; });
    answer.createdUsers.append(user);
    answer.newUsers.insert(data.id, user);
    return user->serviceUser().id;
}

void CTwitterEventManager::createStatus(const STwitterStatusData& data, mid_t userMid, bool own,
                                        SAnswer& answer)
{
    // A status is stored once: a look-up that failed stores nothing.
    bool read = false;
    if (!m_storage->itemByMediaId(MeskProvider::Twitter, data.id, &read).isEmpty())
        return;
    if (!read) {
        log("CTwitterProvider: the stored statuses cannot be read");
        return;
    }
    auto* status = new CTwitterStatus(m_api, m_storage);
    const bool created = own ? status->createOwnStatus(data, MeskProvider::Twitter, userMid)
                             : status->createStatus(data, MeskProvider::Twitter, userMid);
    if (!created) {
        log("CTwitterProvider: failed to create new status");
        delete status;
        return;
    }
    m_span.onDiscard([status] { delete status; });
    answer.statuses.append(status);
    if (own)
        return;
    const SMediaItem item = status->mediaItem();
    const QStringList urls = extractLinks(item.content);
    for (const QString& url : urls) {
        auto* link = new CTwitterLink(m_api, m_storage);
        if (!link->create(url, item.created, item.content, MeskProvider::Twitter, userMid, item.id)) {
            log("CTwitterProvider: failed to create new link");
            delete link;
            continue;
        }
        m_span.onDiscard([link] { delete link; });
        answer.links.append(link);
    }
}

void CTwitterEventManager::finishAnswer(SAnswer& answer, bool committed, bool raisesSinceId)
{
    // Once the batch is in, the objects are handed over by kind; after a rollback the row ids may
    // be handed out again, no view holds these objects, and they go.
    for (CTwitterUser* user : std::as_const(answer.loadedUsers))
        m_span.announce([this, user] { emit userLoaded(user); });
    for (CTwitterUser* user : std::as_const(answer.createdUsers))
        m_span.announce([this, user] { emit userAdded(user); });
    for (CTwitterLink* link : std::as_const(answer.links))
        m_span.announce([this, link] { emit linkAdded(link); });
    for (CTwitterStatus* status : std::as_const(answer.statuses)) {
        m_span.announce([this, status, raisesSinceId] {
            // Read before the hand-over: a receiver may delete the status (the account removed).
            if (raisesSinceId && status->isStatus() && isHigherId(status->statusId(), m_answerSinceId))
                m_answerSinceId = status->statusId();
            emit statusAdded(status);
        });
    }
    m_span.end(committed);
}

bool CTwitterEventManager::isHigherId(const QString& id, const QString& than)
{
    bool ok = false;
    const qulonglong value = id.toULongLong(&ok);
    if (!ok)
        return false;
    bool thanOk = false;
    const qulonglong other = than.toULongLong(&thanOk);
    return !thanOk || value > other;
}

void CTwitterEventManager::raiseSinceId(const QString& statusId)
{
    if (isHigherId(statusId, m_sinceId))
        m_sinceId = QString::number(statusId.toULongLong());
}

void CTwitterEventManager::clearSinceId()
{
    m_sinceId.clear();
    m_runSinceId.clear();
}

QStringList CTwitterEventManager::extractLinks(const QString& text)
{
    static const QRegularExpression pattern(QStringLiteral("\\b(http://|https://|www.)\\S+\\b"),
                                            QRegularExpression::UseUnicodePropertiesOption);
    QStringList urls;
    QRegularExpressionMatchIterator it = pattern.globalMatch(text);
    while (it.hasNext())
        urls.append(it.next().captured(0));
    return urls;
}

void CTwitterEventManager::reset()
{
    if (m_currentTask == TaskNone)
        return;
    // The slices of an answer not yet stored are dropped, and sinceId stays where it was.
    m_slices->cancel();
    m_answerSinceId.clear();
    m_friendsTimeline->cancel();
    m_mentions->cancel();
    m_currentTask = TaskNone;
    emit updateDone();
}
