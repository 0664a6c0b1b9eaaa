#include "flickreventmanager.h"

#include "flickrapi.h"
#include "flickrcalls.h"
#include "flickritems.h"
#include "flickrobjects.h"
#include "flickrsync.h"
#include "mediastoragebatch.h"
#include "meskclock.h"
#include "meskslicedstore.h"
#include "meskzone.h"

#include <QDebug>
#include <QMultiMap>
#include <QSet>

#include <memory>
#include <utility>

namespace {

void log(const char* text)
{
    qDebug().noquote() << QLatin1String(text);
}

// The upload time of a listed photo as a local date-time (an unreadable value is the epoch).
QDateTime uploadTime(const SFlickrPhoto& photo)
{
    return MeskZone::localInstant(qint64(photo.dateUpload.toULongLong()));
}

// Keeps the newest photos of a long answer.
void keepNewest(QList<SFlickrPhoto>& photos)
{
    CMeskSlicedStore::keepNewest(
        photos, [](const SFlickrPhoto& photo) { return photo.dateUpload.toULongLong(); },
        "CFlickrEventManager");
}

} // namespace

CFlickrEventManager::CFlickrEventManager(CFlickrApi* api, CFlickrObjectManager* objects, CFlickrSync* sync,
                                         QObject* parent)
    : QObject(parent), m_api(api), m_contactsCall(new CFlickrContactsPhotos(api, this)),
      m_userPhotosCall(new CFlickrUserPhotos(api, this)), m_objects(objects), m_sync(sync),
      m_slices(new CMeskSlicedStore(this))
{
    connect(m_contactsCall, &CFlickrContactsPhotos::contactPhotos, this,
            &CFlickrEventManager::_onContactPhotos);
    connect(m_userPhotosCall, &CFlickrUserPhotos::userPhotos, this, &CFlickrEventManager::_onUserPhotos);
    // An error leaves as a signal first; the run goes on after.
    for (CFlickrCall* call :
         {static_cast<CFlickrCall*>(m_contactsCall), static_cast<CFlickrCall*>(m_userPhotosCall)}) {
        connect(call, qOverload<TMediaError>(&CMeskHttpMethod::protocolError), this,
                qOverload<TMediaError>(&CFlickrEventManager::protocolError));
        connect(call, &CMeskHttpMethod::networkError, this, &CFlickrEventManager::networkError);
        connect(call, qOverload<TMediaError>(&CMeskHttpMethod::protocolError), this,
                &CFlickrEventManager::_onMethodError);
        connect(call, &CMeskHttpMethod::networkError, this, &CFlickrEventManager::_onMethodError);
    }
}

// The calls are children: deleting them cancels their requests.
CFlickrEventManager::~CFlickrEventManager() = default;

bool CFlickrEventManager::isReady() const
{
    // A run whose call could not start has idle calls until its queued error arrives: it still runs.
    return !m_running && m_api && m_api->isReady() && m_contactsCall->isReady() &&
           m_userPhotosCall->isReady();
}

void CFlickrEventManager::update()
{
    if (!isReady())
        return;
    m_running = true;
    m_pendingUsers.clear();
    m_contactPhotos.clear();
    m_answered.clear();
    emit updateStarted();
    // A call that cannot start reports protocolError(MediaErrorUnassigned), queued: the run then ends.
    m_contactsCall->request();
}

void CFlickrEventManager::reset()
{
    // The slices of an answer not yet stored are dropped, and the sync records stay as they are.
    m_slices->cancel();
    m_contactsCall->cancel();
    m_userPhotosCall->cancel();
    m_pendingUsers.clear();
    m_contactPhotos.clear();
    if (m_running)
        finish(false);
}

void CFlickrEventManager::_onContactPhotos(const QList<SFlickrPhoto>& answer)
{
    if (!m_running)
        return;
    QList<SFlickrPhoto> photos = answer;
    keepNewest(photos);
    // Per owner, the photos in reverse order of the list.
    auto byOwner = std::make_shared<QMultiMap<QString, SFlickrPhoto>>();
    for (const SFlickrPhoto& photo : std::as_const(photos))
        byOwner->insert(photo.owner, photo);
    const QList<QString> owners = byOwner->uniqueKeys();
    auto pending = std::make_shared<QStringList>();

    m_slices->start(
        owners.size(),
        [this, byOwner, owners, pending](qsizetype from, qsizetype to) {
            QStringList slicePending;
            CMediaStorageBatch batch(m_objects->storage());
            m_objects->beginNew();
            for (qsizetype i = from; i < to; ++i) {
                const QString& owner = owners.at(i);
                const QList<SFlickrPhoto> group = byOwner->values(owner);
                if (!m_objects->findOrAddUser(owner, group.first().ownerName)) {
                    log("CFlickrEventManager: failed to add new user, photos ignored");
                    continue;
                }
                for (const SFlickrPhoto& photo : group) {
                    CFlickrPhoto* stored = m_objects->findPhoto(photo.id);
                    if (!stored || stored->mediaItem().parent == 0) {
                        slicePending.append(owner);
                        break;
                    }
                }
            }
            if (!batch.end()) {
                log("CFlickrEventManager: failed to store photos, left for the next update");
                m_objects->discardNew();
                m_slices->cancel();
                finish(true);
                return;
            }
            m_objects->acceptNew();
            *pending += slicePending;
        },
        [this, pending, photos] {
            if (pending->isEmpty()) {
                finish(true);
                return;
            }
            m_pendingUsers = *pending;
            m_contactPhotos = photos;
            nextPendingUser();
        });
}

void CFlickrEventManager::nextPendingUser()
{
    if (m_pendingUsers.isEmpty()) {
        finish(true);
        return;
    }
    const QString userId = m_pendingUsers.takeFirst();
    const QDateTime now = MeskClock::now();
    QDateTime cutoff = now.addDays(-14);
    QDateTime oldest = now;
    for (const SFlickrPhoto& photo : std::as_const(m_contactPhotos)) {
        if (photo.owner != userId)
            continue;
        const QDateTime uploaded = uploadTime(photo);
        if (uploaded < oldest)
            oldest = uploaded;
    }
    if (oldest < cutoff)
        cutoff = oldest.addDays(-1);
    // A search that cannot start reports protocolError(MediaErrorUnassigned), queued: the run
    // then goes on with the next contact.
    m_userPhotosCall->request(userId, cutoff);
}

void CFlickrEventManager::_onUserPhotos(const QString& userId, const QList<SFlickrPhoto>& photos)
{
    if (!m_running)
        return;
    storeUserPhotos(userId, photos);
}

void CFlickrEventManager::storeUserPhotos(const QString& userId, const QList<SFlickrPhoto>& answer)
{
    CFlickrUser* user = m_objects->findUser(userId);
    if (!user) {
        log("CFlickrEventManager: failed to load user, photos ignored");
        nextPendingUser();
        return;
    }
    QList<SFlickrPhoto> listed = answer;
    keepNewest(listed);

    // The answer as it is stored: the photos of one upload day after another, each photo once (its
    // second listing would find the object made for the first and count it as stored before,
    // which a rollback deletes). A day's photos form one post, announced with the slice that
    // stores the last of them.
    auto stored = std::make_shared<SUserAnswer>();
    stored->userRow = user->serviceUser().id;
    // Days in date order, so the newest day's post is the last one the contact's sync records take.
    QMultiMap<QDate, SFlickrPhoto> byDay;
    QSet<QString> seen;
    for (const SFlickrPhoto& record : std::as_const(listed)) {
        if (record.owner != userId) {
            log("CFlickrEventManager: user photo doesn't match requested user id");
            continue;
        }
        if (seen.contains(record.id))
            continue;
        seen.insert(record.id);
        byDay.insert(uploadTime(record).date(), record);
    }
    for (auto it = byDay.cbegin(); it != byDay.cend(); ++it) {
        stored->photos.append(it.value());
        stored->days.append(it.key());
        stored->lastOfDay.insert(it.key(), stored->photos.size() - 1);
    }

    m_slices->start(
        stored->photos.size(),
        [this, stored](qsizetype from, qsizetype to) { storeUserPhotos(*stored, from, to); },
        [this, stored] {
            // Once all of the answer is stored, the contact's sync records become the posts of its
            // photos when the run ends, so the clean-up at exit keeps every post the service still lists.
            m_answered.insert(stored->userRow, stored->syncPosts);
            nextPendingUser();
        });
}

void CFlickrEventManager::storeUserPhotos(SUserAnswer& answer, qsizetype from, qsizetype to)
{
    // What the slice changes outside the storage, applied once the batch committed.
    QList<mid_t> syncPosts;
    QHash<QDate, CFlickrPhotoPost*> newPosts;
    QList<CFlickrPhotoPost*> complete;
    // Stored photos without a post that this slice gives one; put back when the batch rolls back.
    QList<CFlickrPhoto*> reparented;

    CMediaStorageBatch batch(m_objects->storage());
    m_objects->beginNew();
    for (qsizetype i = from; i < to; ++i) {
        const SFlickrPhoto& record = answer.photos.at(i);
        const QDate day = answer.days.at(i);
        CFlickrPhoto* photo = m_objects->findPhoto(record.id);
        if (photo && photo->mediaItem().parent != 0) {
            syncPosts.append(photo->mediaItem().parent);
        } else {
            if (photo) {
                reparented.append(photo);
            } else {
                photo = m_objects->findOrAddPhoto(record, answer.userRow);
                if (!photo)
                    log("CFlickrEventManager: failed to add new photo, ignored");
            }
            CFlickrPhotoPost* post = answer.posts.value(day, newPosts.value(day));
            if (photo && !post) {
                post = m_objects->addPhotoPost(answer.userRow);
                if (post) {
                    newPosts.insert(day, post);
                    syncPosts.append(post->mediaItem().id);
                } else {
                    log("CFlickrEventManager: failed to add new photo event, photos ignored");
                }
            }
            if (photo && post)
                post->addPhoto(photo);
        }
        if (answer.lastOfDay.value(day) == i) {
            if (CFlickrPhotoPost* post = answer.posts.value(day, newPosts.value(day)))
                complete.append(post);
        }
    }

    // The posts of the slice that no record holds are listed in the same batch.
    m_sync->addRecords(syncPosts);
    if (!batch.end()) {
        // The rest of the answer waits for the next update; the sync records stay.
        log("CFlickrEventManager: failed to store photos, left for the next update");
        m_objects->discardNew();
        // The rows hold no post again; so must the cached objects, or they would pass for posted.
        for (CFlickrPhoto* photo : std::as_const(reparented))
            photo->setParentEvent(0);
        m_slices->cancel();
        nextPendingUser();
        return;
    }
    m_objects->acceptNew();
    m_sync->addStored(answer.userRow, syncPosts);
    answer.posts.insert(newPosts);
    answer.syncPosts += syncPosts;
    for (CFlickrPhotoPost* post : std::as_const(complete))
        emit eventAdded(post->mediaItem());
}

void CFlickrEventManager::_onMethodError()
{
    // A late error of a run that reset() ended changes nothing.
    if (!m_running)
        return;
    nextPendingUser();
}

void CFlickrEventManager::finish(bool ended)
{
    // A run that ended replaces the records of each contact whose search answer was stored whole,
    // whatever the other searches did; a contact not searched, or whose search failed or rolled back,
    // keeps its records: the last complete ones and every post stored since. A reset replaces nothing.
    const QHash<mid_t, QList<mid_t>> answered = std::exchange(m_answered, {});
    if (ended) {
        for (auto it = answered.cbegin(); it != answered.cend(); ++it) {
            m_sync->remove(it.key());
            for (mid_t post : it.value())
                m_sync->add(it.key(), post);
        }
        // Records that were not written stay as they are and are written whole after the next run
        // that ends; the storage told the failure, and the exit's clean-up does not run on them.
        if (!m_sync->flush())
            log("CFlickrEventManager: the sync records were not written");
    }
    m_running = false;
    m_pendingUsers.clear();
    m_contactPhotos.clear();
    emit updateDone();
}
