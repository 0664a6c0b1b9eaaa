#include "flickrobjects.h"

#include "flickritems.h"
#include "imediaitemstorage.h"

#include <QDebug>

#include <utility>

namespace {

void log(const char* text)
{
    qDebug().noquote() << QLatin1String(text);
}

template <typename T> void deleteAll(QHash<mid_t, T*>& cache)
{
    // Taken out first, so nothing reaches a half-emptied cache while an object is deleted.
    const QHash<mid_t, T*> objects = std::exchange(cache, {});
    qDeleteAll(objects);
}

} // namespace

// ---- CFlickrObjectManager -----------------------------------------------------------------

CFlickrObjectManager::CFlickrObjectManager(CFlickrApi* api, mid_t providerId, QObject* parent)
    : QObject(parent), m_api(api), m_providerId(providerId)
{
}

CFlickrObjectManager::~CFlickrObjectManager()
{
    clear();
}

void CFlickrObjectManager::setStorage(IMediaItemStorage* storage)
{
    m_storage = storage;
}

void CFlickrObjectManager::clear()
{
    m_span.forget();
    deleteAll(m_events);
    deleteAll(m_photos);
    deleteAll(m_users);
}

IFlickrEvent* CFlickrObjectManager::loadEvent(const SMediaItem& item)
{
    switch (item.type) {
    case MeskItemType::Event2:
        return photoPost(item.id);
    case MeskItemType::Event1: // comments are not built
        return nullptr;
    default:
        log("CFlickrObjectManager: failed to load event, unknown event type");
        return nullptr;
    }
}

CFlickrPhotoPost* CFlickrObjectManager::photoPost(mid_t id)
{
    if (IFlickrEvent* cached = m_events.value(id))
        return qobject_cast<CFlickrPhotoPost*>(cached);
    CFlickrPhotoPost* post = CFlickrPhotoPost::load(m_storage, id);
    if (post)
        m_events.insert(id, post);
    return post;
}

CFlickrPhoto* CFlickrObjectManager::photo(mid_t id)
{
    if (CFlickrPhoto* cached = m_photos.value(id))
        return cached;
    CFlickrPhoto* loaded = CFlickrPhoto::load(m_api, m_storage, id);
    if (loaded)
        m_photos.insert(id, loaded);
    return loaded;
}

CFlickrUser* CFlickrObjectManager::user(mid_t id)
{
    if (CFlickrUser* cached = m_users.value(id))
        return cached;
    CFlickrUser* loaded = CFlickrUser::load(m_api, m_storage, id);
    if (loaded)
        m_users.insert(id, loaded);
    return loaded;
}

CFlickrPhoto* CFlickrObjectManager::findPhoto(const QString& photoId, bool* ok)
{
    if (ok)
        *ok = true;
    if (!m_storage)
        return nullptr;
    const QList<SMediaItem> items = m_storage->itemByMediaId(m_providerId, photoId, ok);
    return items.isEmpty() ? nullptr : photo(items.first().id);
}

CFlickrPhoto* CFlickrObjectManager::findOrAddPhoto(const SFlickrPhoto& record, mid_t userId)
{
    bool read = false;
    if (CFlickrPhoto* found = findPhoto(record.id, &read))
        return found;
    if (!read) {
        // A look-up that failed must not store a second copy.
        log("CFlickrObjectManager: the stored photos cannot be read");
        return nullptr;
    }
    const mid_t id = CFlickrPhoto::create(m_api, m_storage, record, m_providerId, userId);
    if (!id)
        return nullptr;
    CFlickrPhoto* made = photo(id);
    if (made)
        m_span.onDiscard([this, id] { delete m_photos.take(id); });
    return made;
}

CFlickrUser* CFlickrObjectManager::findUser(const QString& userId, bool* ok)
{
    if (ok)
        *ok = true;
    if (!m_storage)
        return nullptr;
    const QList<SServiceUser> users = m_storage->serviceUserByMediaId(m_providerId, userId, ok);
    return users.isEmpty() ? nullptr : user(users.first().id);
}

CFlickrUser* CFlickrObjectManager::findOrAddUser(const QString& userId, const QString& userName)
{
    bool read = false;
    if (CFlickrUser* found = findUser(userId, &read))
        return found;
    if (!read) {
        log("CFlickrObjectManager: the stored users cannot be read");
        return nullptr;
    }
    const mid_t id = CFlickrUser::create(m_api, m_storage, userId, userName, m_providerId);
    if (!id)
        return nullptr;
    CFlickrUser* made = user(id);
    if (made)
        m_span.onDiscard([this, id] { delete m_users.take(id); });
    if (made || !m_span.isOpen())
        m_span.announce([this, id] { emit userAdded(id); });
    return made;
}

CFlickrPhotoPost* CFlickrObjectManager::addPhotoPost(mid_t userId)
{
    const mid_t id = CFlickrPhotoPost::create(m_storage, m_providerId, userId);
    if (!id) {
        log("CFlickrObjectManager: failed to add new photo post");
        return nullptr;
    }
    CFlickrPhotoPost* post = photoPost(id);
    if (post)
        m_span.onDiscard([this, id] { delete m_events.take(id); });
    return post;
}

QList<CFlickrPhoto*> CFlickrObjectManager::photosOfPost(CFlickrPhotoPost* post)
{
    QList<CFlickrPhoto*> photos;
    if (!post)
        return photos;
    const QList<SMediaItem> items = post->photoItems();
    for (const SMediaItem& item : items)
        if (CFlickrPhoto* p = photo(item.id))
            photos.append(p);
    return photos;
}

void CFlickrObjectManager::beginNew()
{
    m_span.begin();
}

void CFlickrObjectManager::acceptNew()
{
    m_span.accept();
}

void CFlickrObjectManager::discardNew()
{
    m_span.discard();
}
