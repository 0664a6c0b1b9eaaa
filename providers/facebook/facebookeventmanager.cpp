#include "facebookeventmanager.h"

#include "facebookapi.h"
#include "facebookcalls.h"
#include "facebookitems.h"
#include "facebookobjects.h"
#include "facebooksync.h"
#include "mediastoragebatch.h"
#include "meskslicedstore.h"

#include <QDebug>
#include <QSet>

#include <limits>
#include <utility>

namespace {

void log(const char* text)
{
    qDebug().noquote() << QLatin1String(text);
}

using Kind = CFacebookObjectManager::Kind;

// A time as the service gives it (seconds since 1970) for ordering; an unreadable one is oldest.
qint64 postedAt(const QString& seconds)
{
    bool ok = false;
    const qint64 value = seconds.trimmed().toLongLong(&ok);
    return ok ? value : std::numeric_limits<qint64>::min();
}

} // namespace

// ---- CFacebookEventManager ----------------------------------------------------------------

CFacebookEventManager::CFacebookEventManager(CFacebookApi* api, CFacebookObjectManager* objects,
                                             CFacebookSync* sync, QObject* parent)
    : QObject(parent), m_api(api), m_streamCall(new CFacebookStreamEvents(api, this)),
      m_notificationsCall(new CFacebookNotifications(api, this)),
      m_messagesCall(new CFacebookMessages(api, this)),
      m_commentSync(new CFacebookCommentSync(api, objects, this)),
      m_eventPhotosCall(new CFacebookEventPhotos(api, this)), m_objects(objects), m_sync(sync),
      m_slices(new CMeskSlicedStore(this))
{
    connect(m_streamCall, &CFacebookStreamEvents::streamPosts, this, &CFacebookEventManager::_onStreamPosts);
    connect(m_notificationsCall, &CFacebookNotifications::notifications, this,
            &CFacebookEventManager::_onNotifications);
    connect(m_messagesCall, &CFacebookMessages::messages, this, &CFacebookEventManager::_onMessages);
    connect(m_eventPhotosCall, &CFacebookEventPhotos::eventPhotos, this,
            &CFacebookEventManager::_onEventPhotos);
    connect(m_eventPhotosCall, &CFacebookEventPhotos::eventPhotosFailed, this,
            &CFacebookEventManager::_onEventPhotosFailed);
    const std::pair<CMeskHttpMethod*, TUpdateTask> calls[] = {
        {m_streamCall, TaskStream}, {m_notificationsCall, TaskNotifications}, {m_messagesCall, TaskMessages}};
    for (const auto& [call, task] : calls) {
        // A failure of a task that no longer runs (the update was reset) ends nothing.
        connect(call, qOverload<TMediaError>(&CMeskHttpMethod::protocolError), this,
                [this, task = task](TMediaError error) {
                    if (m_currentTask != task)
                        return;
                    emit protocolError(error);
                    _onMethodError();
                });
        connect(call, &CMeskHttpMethod::networkError, this, [this, task = task](TMeskHttpError error) {
            if (m_currentTask != task)
                return;
            emit networkError(error);
            _onMethodError();
        });
    }
}

CFacebookEventManager::~CFacebookEventManager()
{
    m_streamCall->cancel();
    m_notificationsCall->cancel();
    m_messagesCall->cancel();
    m_eventPhotosCall->cancel();
}

bool CFacebookEventManager::isReady() const
{
    return m_api->isReady() && m_streamCall->isReady() && m_notificationsCall->isReady() &&
           m_messagesCall->isReady() && !m_slices->isRunning();
}

void CFacebookEventManager::update()
{
    if (!isReady())
        return;
    emit updateStarted();
    m_aborted = false;
    m_streamWhole = false;
    _doUpdateTask(TaskStream);
}

void CFacebookEventManager::reset()
{
    m_streamCall->cancel();
    m_notificationsCall->cancel();
    m_messagesCall->cancel();
    m_eventPhotosCall->cancel();
    m_pendingPhotoSets.clear();
    m_commentSync->reset();
    // The slices of an answer not yet stored are dropped; the lists keep what was stored.
    m_slices->cancel();
    m_sync->endStream(false);
    const bool running = m_currentTask != TaskDone;
    m_currentTask = TaskDone;
    m_aborted = false;
    if (running)
        emit updateDone();
}

void CFacebookEventManager::_doUpdateTask(TUpdateTask task)
{
    m_currentTask = task;
    switch (task) {
    case TaskStream:
        m_streamCall->request();
        break;
    case TaskNotifications:
        m_notificationsCall->request();
        break;
    case TaskMessages:
        m_messagesCall->request();
        break;
    case TaskDone:
        break;
    }
}

void CFacebookEventManager::_processNextUpdateTask()
{
    if (m_currentTask == TaskDone)
        return; // reset() ended the update
    const int next = m_currentTask + 1;
    if (next < TaskDone && !m_aborted) {
        _doUpdateTask(static_cast<TUpdateTask>(next));
        return;
    }
    m_currentTask = TaskDone;
    // The stream list is replaced when the stream answer was stored whole, whatever the notifications
    // and messages did; otherwise it stays the last one plus every post stored since. The messages and
    // friend requests past their 14 days go at the end of every update, whatever failed.
    m_sync->endStream(m_streamWhole);
    if (!m_sync->save())
        log("CFacebookEventManager: the sync list was not written");
    emit updateDone();
}

void CFacebookEventManager::_onMethodError()
{
    m_aborted = true;
    _processNextUpdateTask();
}

bool CFacebookEventManager::storeAnswer(const std::function<void()>& store)
{
    if (m_answerDepth > 0) {
        store();
        return true;
    }
    const CFacebookSync::State before = m_sync->state();
    const QHash<QString, SFacebookStreamPost> pendingBefore = m_pendingPhotoSets;
    ++m_answerDepth;
    m_objects->beginNew();
    bool committed = false;
    {
        CMediaStorageBatch batch(m_objects->storage());
        store();
        committed = batch.end();
    }
    --m_answerDepth;
    const QList<Told> told = std::exchange(m_told, {});
    const QList<QPointer<CFacebookEvent>> touched = std::exchange(m_touched, {});
    if (!committed) {
        log("CFacebookEventManager: failed to store the answer, nothing of it kept");
        m_objects->discardNew();
        m_sync->restore(before);
        m_pendingPhotoSets = pendingBefore; // a photo set that answer asked for is not waited for
        for (const QPointer<CFacebookEvent>& event : touched) {
            if (event)
                event->reloadFields();
        }
        return false;
    }
    m_objects->acceptNew();
    for (const QPointer<CFacebookEvent>& event : touched) {
        if (event)
            emit event->updated();
    }
    for (const Told& entry : told) {
        if (entry.added)
            emit eventAdded(entry.item);
        else
            emit eventUpdated(entry.item);
    }
    return true;
}

void CFacebookEventManager::added(CFacebookEvent* event)
{
    m_told.append({true, event->mediaItem(), event});
}

void CFacebookEventManager::storeInSlices(qsizetype count, const std::function<void(qsizetype)>& storeOne,
                                          const std::function<void(bool)>& done)
{
    m_slices->start(
        count,
        [this, storeOne, done](qsizetype from, qsizetype to) {
            const bool stored = storeAnswer([&] {
                for (qsizetype i = from; i < to; ++i)
                    storeOne(i);
            });
            if (!stored) {
                // The rest of the answer waits for the next update.
                m_slices->cancel();
                done(false);
            }
        },
        [done] { done(true); });
}

void CFacebookEventManager::_onStreamPosts(const QList<SFacebookStreamPost>& answerPosts,
                                           const QList<SFacebookUser>& answerUsers)
{
    QList<SFacebookStreamPost> posts = answerPosts;
    QList<SFacebookUser> users = answerUsers;
    CMeskSlicedStore::keepNewest(
        posts, [](const SFacebookStreamPost& post) { return postedAt(post.createdTime); },
        "CFacebookEventManager");
    if (posts.size() < answerPosts.size()) {
        // Only the profiles the kept posts name.
        QSet<QString> named;
        for (const SFacebookStreamPost& post : std::as_const(posts)) {
            named << post.actorId << post.targetId;
            for (const SFacebookComment& comment : post.comments)
                named << comment.fromId;
        }
        users.removeIf([&](const SFacebookUser& user) { return !named.contains(user.uid); });
    }
    // The posts of the answer (and those stored until the refresh ends) make the next stream list;
    // each is listed as it is stored, so a run stopped between the slices keeps them.
    m_sync->beginStream();
    const qsizetype profiles = users.size();
    storeInSlices(
        profiles + posts.size(),
        [this, users, posts, profiles](qsizetype i) {
            if (i >= profiles) {
                storePost(posts.at(i - profiles));
                return;
            }
            const SFacebookUser& profile = users.at(i);
            if (CFacebookUser* known = m_objects->findUserByMediaId(profile.uid))
                known->updateFromInfo(profile);
            else
                m_objects->addUser(profile, true);
        },
        [this](bool whole) {
            m_streamWhole = whole;
            _processNextUpdateTask();
        });
}

void CFacebookEventManager::storePost(const SFacebookStreamPost& post)
{
    CFacebookUser* actor = m_objects->userByMediaId(post.actorId);
    if (!actor) {
        log("CFacebookEventManager: failed to add new user, event ignored");
        return;
    }
    actor->markAsContact();
    const mid_t userId = actor->serviceUser().id;

    CFacebookEvent* event = m_objects->eventByMediaId(post.postId);
    const bool isNew = !event;
    const int kind = CFacebookApi::attachmentType(post.attachment);
    if (isNew && post.hasAttachment && post.attachment.media.size() >= 3 && (kind == 0 || kind == 3)) {
        m_pendingPhotoSets.insert(post.postId, post);
        fetchNextPhotoSet();
        return;
    }
    if (isNew)
        event = m_objects->addPost(post, userId);
    if (!event) {
        log("CFacebookEventManager: failed to add new event");
        return;
    }
    m_sync->addStreamEvent(event->mediaItem().id);
    m_objects->addComments(event, post.comments);
    if (isNew) {
        if (post.hasAttachment && !addAttachment(event, post, userId))
            log("CFacebookEventManager: Failed to add event attachment");
        added(event);
    } else if (event->applyCounts(post)) {
        m_touched.append(event);
        m_told.append({false, event->mediaItem(), event});
    }
    if (post.comments.size() != post.commentsCount.trimmed().toInt())
        m_commentSync->schedule(event);
}

bool CFacebookEventManager::addAttachment(CFacebookEvent* event, const SFacebookStreamPost& post,
                                          mid_t userId)
{
    switch (event->eventType()) {
    case FacebookEventType::Photo:
    case FacebookEventType::Album: {
        bool ok = true;
        for (const SFacebookMedia& media : post.attachment.media)
            ok = addPhoto(event, &media, nullptr, userId) && ok;
        return ok;
    }
    case FacebookEventType::Link: {
        SFacebookLink link;
        link.url = post.attachment.href;
        link.name = post.attachment.name;
        link.caption = post.attachment.caption;
        link.created = post.createdTime;
        return event->attachLink(m_objects->addLink(link, event->mediaItem().user));
    }
    case FacebookEventType::CalendarEvent:
        return event->attachCalendarEvent(m_objects->addCalendarEvent(post, event->mediaItem().user));
    case FacebookEventType::Video:
        return event->attachVideo(m_objects->addVideo(post, userId));
    default:
        return false;
    }
}

bool CFacebookEventManager::addPhoto(CFacebookEvent* event, const SFacebookMedia* media,
                                     const SFacebookPhotoInfo* info, mid_t userId)
{
    const QString pid = media ? media->pid : info->pid;
    if (m_objects->existsByMediaId(pid, Kind::Photo)) {
        log("CFacebookEventManager: photo object with the same PID already exists in database");
        return false;
    }
    CFacebookPhoto* photo =
        media ? m_objects->photoFromMedia(*media, userId) : m_objects->photoFromInfo(*info, userId);
    return photo && event->attachPhoto(photo);
}

void CFacebookEventManager::fetchNextPhotoSet()
{
    while (m_eventPhotosCall->isReady() && !m_pendingPhotoSets.isEmpty()) {
        const SFacebookStreamPost post = m_pendingPhotoSets.cbegin().value();
        QString aid;
        QString lowestPid;
        for (const SFacebookMedia& media : post.attachment.media) {
            if (aid.isEmpty() && !media.aid.isEmpty())
                aid = media.aid;
            if (!media.pid.isEmpty() && (lowestPid.isEmpty() || media.pid < lowestPid))
                lowestPid = media.pid;
        }
        if (aid.isEmpty() || lowestPid.isEmpty()) {
            m_pendingPhotoSets.remove(post.postId);
            storeAnswer([&] { addPostWithPhotos(post, {}); });
            continue;
        }
        // A request that cannot be made reports its failure at once.
        m_eventPhotosCall->request(post.postId, aid, lowestPid, post.createdTime);
        return;
    }
}

void CFacebookEventManager::addPostWithPhotos(const SFacebookStreamPost& post,
                                              const QList<SFacebookPhotoInfo>& photos)
{
    CFacebookUser* actor = m_objects->userByMediaId(post.actorId);
    if (!actor) {
        log("CFacebookEventManager: failed to add new user, photo set ignored");
        return;
    }
    const mid_t userId = actor->serviceUser().id;
    CFacebookEvent* event = m_objects->addPost(post, userId);
    if (!event) {
        log("CFacebookEventManager: failed to add event, photo set ignored");
        return;
    }
    m_sync->addStreamEvent(event->mediaItem().id);
    if (photos.isEmpty()) {
        for (const SFacebookMedia& media : post.attachment.media)
            addPhoto(event, &media, nullptr, userId);
    } else {
        for (const SFacebookPhotoInfo& info : photos)
            addPhoto(event, nullptr, &info, userId);
    }
    added(event);
}

void CFacebookEventManager::_onEventPhotos(const QString& postId, const QList<SFacebookPhotoInfo>& photos)
{
    storeAnswer([&] {
        const auto pending = m_pendingPhotoSets.constFind(postId);
        if (pending != m_pendingPhotoSets.cend()) {
            const SFacebookStreamPost post = pending.value();
            m_pendingPhotoSets.remove(postId);
            addPostWithPhotos(post, photos);
        }
        fetchNextPhotoSet();
    });
}

void CFacebookEventManager::_onEventPhotosFailed(const QString& postId)
{
    m_pendingPhotoSets.remove(postId);
    log("CFacebookEventManager: failed to get all photos for post, event ignored");
    storeAnswer([&] { fetchNextPhotoSet(); });
}

void CFacebookEventManager::_onNotifications(const SFacebookNotifications& notifications)
{
    QStringList requests = notifications.friendRequests;
    if (requests.size() > CMeskSlicedStore::MaxAnswerEntries) {
        log("CFacebookEventManager: too many friend requests, only the first are stored");
        requests.resize(CMeskSlicedStore::MaxAnswerEntries);
    }
    storeInSlices(
        requests.size(),
        [this, requests](qsizetype i) {
            const QString& uid = requests.at(i);
            if (m_objects->existsByMediaId(CFacebookApi::friendRequestId(uid), Kind::FriendRequest))
                return;
            CFacebookUser* requester = m_objects->userByMediaId(uid);
            if (!requester) {
                log("CFacebookEventManager: failed to add new user, event ignored");
                return;
            }
            CFacebookEvent* event = m_objects->addFriendRequest(uid, requester->serviceUser().id);
            if (!event) {
                log("CFacebookEventManager: failed to add new friend request");
                return;
            }
            m_sync->addFriendRequest(event->mediaItem());
            added(event);
        },
        [this](bool) { _processNextUpdateTask(); });
}

void CFacebookEventManager::_onMessages(const QList<SFacebookMessage>& answer)
{
    QList<SFacebookMessage> messages = answer;
    CMeskSlicedStore::keepNewest(
        messages, [](const SFacebookMessage& message) { return postedAt(message.createdTime); },
        "CFacebookEventManager");
    storeInSlices(
        messages.size(),
        [this, messages](qsizetype i) {
            const SFacebookMessage& message = messages.at(i);
            if (m_objects->existsByMediaId(message.messageId, Kind::Message))
                return;
            CFacebookUser* author = m_objects->userByMediaId(message.authorId);
            if (!author) {
                log("CFacebookEventManager: failed to add new user, message ignored");
                return;
            }
            author->markAsContact();
            CFacebookEvent* event = m_objects->addMessage(message, author->serviceUser().id);
            if (!event) {
                log("CFacebookEventManager: failed to add new message");
                return;
            }
            m_sync->addMessage(event->mediaItem());
            added(event);
        },
        [this](bool) { _processNextUpdateTask(); });
}
