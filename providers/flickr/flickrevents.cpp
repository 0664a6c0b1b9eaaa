#include "flickrevents.h"

#include "flickritems.h"
#include "imediaitemstorage.h"

#include <QDebug>

#include <algorithm>

namespace {
void log(const char* text)
{
    qDebug().noquote() << QLatin1String(text);
}
} // namespace

CFlickrPhotoPost::CFlickrPhotoPost(IMediaItemStorage* storage, QObject* owner)
    : IFlickrEvent(owner), m_storage(storage)
{
}

mid_t CFlickrPhotoPost::create(IMediaItemStorage* storage, mid_t provider, mid_t user)
{
    SMediaItem item;
    item.provider = provider;
    item.user = user;
    item.type = MeskItemType::Event2;
    item.created = QDateTime::fromSecsSinceEpoch(0);
    if (!storage || !storage->addMediaItem(item)) {
        log("CFlickrPhotoPost: failed to add new event to storage");
        return 0;
    }
    return item.id;
}

CFlickrPhotoPost* CFlickrPhotoPost::load(IMediaItemStorage* storage, mid_t id)
{
    auto* post = new CFlickrPhotoPost(storage, nullptr);
    if (!storage || !storage->mediaItem(id, post->m_item)) {
        log("CFlickrPhotoPost: failed to load event from storage");
        delete post;
        return nullptr;
    }
    if (post->m_item.type != MeskItemType::Event2) {
        log("CFlickrPhotoPost: item type check failed while loading from storage, must be "
            "ePhotoEventMediaItem");
        delete post;
        return nullptr;
    }
    return post;
}

QList<SMediaItem> CFlickrPhotoPost::photoItems() const
{
    QList<SMediaItem> photos;
    if (!m_storage)
        return photos;
    const QList<SMediaItem> children = m_storage->childItems(m_item.id);
    for (const SMediaItem& child : children)
        if (child.type == MeskItemType::Image)
            photos.append(child);
    std::stable_sort(photos.begin(), photos.end(),
                     [](const SMediaItem& a, const SMediaItem& b) { return a.created > b.created; });
    return photos;
}

int CFlickrPhotoPost::photoCount() const
{
    return m_storage ? int(m_storage->childItems(m_item.id).size()) : 0;
}

bool CFlickrPhotoPost::addPhoto(CFlickrPhoto* photo)
{
    if (!photo)
        return false;
    photo->setParentEvent(m_item.id);
    const QDateTime taken = photo->mediaItem().created;
    if (!m_item.created.isNull() && m_item.created >= taken)
        return true;
    SMediaItem item = m_item;
    item.created = taken;
    if (!m_storage || !m_storage->updateMediaItem(item))
        return false;
    m_item = item;
    return true;
}
