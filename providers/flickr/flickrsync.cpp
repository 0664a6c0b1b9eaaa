#include "flickrsync.h"

#include "imediaitemstorage.h"

#include <utility>

CFlickrSync::CFlickrSync(mid_t providerId, QObject* parent) : QObject(parent), m_providerId(providerId) {}

void CFlickrSync::load(IMediaItemStorage* storage)
{
    m_storage = storage;
    m_records.clear();
    m_holders.clear();
    m_loaded = !m_storage;
}

bool CFlickrSync::ensureLoaded() const
{
    if (m_loaded)
        return true;
    bool read = false;
    const QList<SMediaItem> items = m_storage->syncRecords(m_providerId, &read);
    if (!read)
        return false;
    m_loaded = true;
    // Records set while the stored ones could not be read are newer than those.
    const QHash<mid_t, mid_t> newer = std::exchange(m_records, {});
    m_holders.clear();
    for (const SMediaItem& item : items)
        setRecord(item.user, item.id);
    for (auto it = newer.cbegin(); it != newer.cend(); ++it)
        setRecord(it.key(), it.value());
    return true;
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

bool CFlickrSync::flush()
{
    if (!m_storage || !ensureLoaded())
        return false;
    return m_storage->setSyncRecords(m_providerId, m_records.values(), 0);
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
