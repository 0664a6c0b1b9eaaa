#include "flickrsync.h"

#include "imediaitemstorage.h"

CFlickrSync::CFlickrSync(mid_t providerId, QObject* parent) : QObject(parent), m_providerId(providerId) {}

void CFlickrSync::load(IMediaItemStorage* storage)
{
    m_storage = storage;
    m_records.clear();
    m_holders.clear();
    m_loaded = !m_storage;
}

void CFlickrSync::ensureLoaded() const
{
    if (m_loaded)
        return;
    m_loaded = true;
    const QList<SMediaItem> items = m_storage->syncRecords(m_providerId);
    for (const SMediaItem& item : items)
        setRecord(item.user, item.id);
}

void CFlickrSync::add(mid_t userId, mid_t eventId)
{
    ensureLoaded();
    if (!m_holders.contains(eventId))
        setRecord(userId, eventId);
}

void CFlickrSync::remove(mid_t userId)
{
    ensureLoaded();
    dropRecord(userId);
}

void CFlickrSync::setRecord(mid_t userId, mid_t eventId) const
{
    dropRecord(userId);
    m_records.insert(userId, eventId);
    ++m_holders[eventId];
}

void CFlickrSync::dropRecord(mid_t userId) const
{
    const auto it = m_records.constFind(userId);
    if (it == m_records.cend())
        return;
    const auto holder = m_holders.find(it.value());
    if (holder != m_holders.end() && --holder.value() <= 0)
        m_holders.erase(holder);
    m_records.erase(it);
}

void CFlickrSync::flush()
{
    if (!m_storage)
        return;
    ensureLoaded();
    m_storage->setSyncRecords(m_providerId, m_records.values(), 0);
}

void CFlickrSync::reset()
{
    if (!m_storage)
        return;
    m_records.clear();
    m_holders.clear();
    m_loaded = true;
    m_storage->setSyncRecords(m_providerId, {}, 0);
}
