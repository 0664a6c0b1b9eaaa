#include "flickreventmanager.h"

#include "flickrapi.h"
#include "flickrcalls.h"
#include "flickrevents.h"
#include "flickritems.h"
#include "flickrobjects.h"
#include "mediastoragebatch.h"
#include "meskclock.h"

#include <QDebug>
#include <QMultiMap>
#include <QSet>

namespace {

void log(const char* text)
{
    qDebug().noquote() << QLatin1String(text);
}

// The upload time of a listed photo as a local date-time (an unreadable value is the epoch).
QDateTime uploadTime(const SFlickrPhoto& photo)
{
    return QDateTime::fromSecsSinceEpoch(qint64(photo.dateUpload.toULongLong()));
}

} // namespace

CFlickrEventManager::CFlickrEventManager(CFlickrApi* api, CFlickrObjectManager* objects, CFlickrSync* sync,
                                         QObject* parent)
    : QObject(parent), m_api(api), m_contactsCall(new CFlickrContactsPhotos(api, this)),
      m_userPhotosCall(new CFlickrUserPhotos(api, this)), m_objects(objects), m_sync(sync)
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
    emit updateStarted();
    // A call that cannot start reports protocolError(MediaErrorUnassigned), queued: the run then ends.
    m_contactsCall->request();
}

void CFlickrEventManager::reset()
{
    m_contactsCall->cancel();
    m_userPhotosCall->cancel();
    m_pendingUsers.clear();
    m_contactPhotos.clear();
    if (m_running)
        finish();
}

void CFlickrEventManager::_onContactPhotos(const QList<SFlickrPhoto>& photos)
{
    if (!m_running)
        return;
    // Per owner, the photos in reverse order of the list.
    QMultiMap<QString, SFlickrPhoto> byOwner;
    for (const SFlickrPhoto& photo : photos)
        byOwner.insert(photo.owner, photo);

    QStringList pending;
    CMediaStorageBatch batch(m_objects->storage());
    m_objects->beginNew();
    const QList<QString> owners = byOwner.uniqueKeys();
    for (const QString& owner : owners) {
        const QList<SFlickrPhoto> group = byOwner.values(owner);
        if (!m_objects->findOrAddUser(owner, group.first().ownerName)) {
            log("CFlickrEventManager: failed to add new user, photos ignored");
            continue;
        }
        for (const SFlickrPhoto& photo : group) {
            CFlickrPhoto* stored = m_objects->findPhoto(photo.id);
            if (!stored || stored->mediaItem().parent == 0) {
                pending.append(owner);
                break;
            }
        }
    }
    if (!batch.end()) {
        log("CFlickrEventManager: failed to store photos, left for the next update");
        m_objects->discardNew();
        finish();
        return;
    }
    m_objects->acceptNew();

    if (pending.isEmpty()) {
        finish();
        return;
    }
    m_pendingUsers = pending;
    m_contactPhotos = photos;
    nextPendingUser();
}

void CFlickrEventManager::nextPendingUser()
{
    if (m_pendingUsers.isEmpty()) {
        finish();
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
    nextPendingUser();
}

void CFlickrEventManager::storeUserPhotos(const QString& userId, const QList<SFlickrPhoto>& photos)
{
    CFlickrUser* user = m_objects->findUser(userId);
    if (!user) {
        log("CFlickrEventManager: failed to load user, photos ignored");
        return;
    }
    const mid_t userRow = user->serviceUser().id;

    // What the answer changes outside the storage, applied once the batch committed.
    QList<mid_t> syncPosts;
    QList<CFlickrPhotoPost*> posts;
    // Stored photos without a post that this answer gives one; put back when the batch rolls back.
    QList<CFlickrPhoto*> reparented;

    CMediaStorageBatch batch(m_objects->storage());
    m_objects->beginNew();
    QMultiMap<QString, CFlickrPhoto*> byDay;
    QSet<QString> seen;
    for (const SFlickrPhoto& record : photos) {
        if (record.owner != userId) {
            log("CFlickrEventManager: user photo doesn't match requested user id");
            continue;
        }
        // A photo listed twice is taken once: its second listing would find the object made for
        // the first and count it as stored before, which a rollback deletes.
        if (seen.contains(record.id))
            continue;
        seen.insert(record.id);
        CFlickrPhoto* photo = m_objects->findPhoto(record.id);
        if (photo && photo->mediaItem().parent != 0) {
            syncPosts.append(photo->mediaItem().parent);
            continue;
        }
        if (photo) {
            reparented.append(photo);
        } else {
            photo = m_objects->findOrAddPhoto(record, userRow);
            if (!photo) {
                log("CFlickrEventManager: failed to add new photo, ignored");
                continue;
            }
        }
        byDay.insert(photo->mediaItem().created.toLocalTime().date().toString(), photo);
    }
    const QList<QString> days = byDay.uniqueKeys();
    for (const QString& day : days) {
        CFlickrPhotoPost* post = m_objects->addPhotoPost(userRow);
        if (!post) {
            log("CFlickrEventManager: failed to add new photo event, photos ignored");
            continue;
        }
        const QList<CFlickrPhoto*> dayPhotos = byDay.values(day);
        for (CFlickrPhoto* photo : dayPhotos)
            post->addPhoto(photo);
        syncPosts.append(post->mediaItem().id);
        posts.append(post);
    }

    if (!batch.end()) {
        log("CFlickrEventManager: failed to store photos, left for the next update");
        m_objects->discardNew();
        // The rows hold no post again; so must the cached objects, or they would pass for posted.
        for (CFlickrPhoto* photo : std::as_const(reparented))
            photo->setParentEvent(0);
        return;
    }
    m_objects->acceptNew();
    m_sync->remove(userRow);
    for (mid_t post : std::as_const(syncPosts))
        m_sync->add(userRow, post);
    for (CFlickrPhotoPost* post : std::as_const(posts))
        emit eventAdded(post->mediaItem());
}

void CFlickrEventManager::_onMethodError()
{
    // A late error of a run that reset() ended changes nothing.
    if (m_running)
        nextPendingUser();
}

void CFlickrEventManager::finish()
{
    m_running = false;
    m_pendingUsers.clear();
    m_contactPhotos.clear();
    emit updateDone();
}
