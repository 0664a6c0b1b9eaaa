#include "twittersync.h"

#include "imediaitemstorage.h"

CTwitterSync::CTwitterSync(mid_t providerId, QObject* parent) : QObject(parent), m_providerId(providerId) {}

CTwitterSync::~CTwitterSync() = default;

void CTwitterSync::setStorage(IMediaItemStorage* storage)
{
    m_storage = storage;
    m_loaded = !m_storage;
}

bool CTwitterSync::ensureLoaded() const
{
    if (m_loaded)
        return true;
    bool read = false;
    const QList<SMediaItem> records = m_storage->syncRecords(m_providerId, &read);
    if (!read)
        return false;
    m_loaded = true;
    for (const SMediaItem& item : records)
        insert(item);
    return true;
}

void CTwitterSync::add(const SMediaItem& item)
{
    ensureLoaded();
    insert(item);
}

void CTwitterSync::insert(const SMediaItem& item) const
{
    if (item.id == 0)
        return;
    for (auto it = m_items.cbegin(); it != m_items.cend(); ++it) {
        if (it.value() == item.id)
            return;
    }
    const Key key(item.created, item.id);
    if (m_items.size() < MaxItems) {
        m_items.insert(key, item.id);
        return;
    }
    if (m_items.firstKey() < key) {
        m_items.erase(m_items.begin());
        m_items.insert(key, item.id);
    }
}

bool CTwitterSync::flush()
{
    if (!m_storage || !ensureLoaded())
        return false;
    return m_storage->setSyncRecords(m_providerId, ids(), 0);
}

bool CTwitterSync::addRecords(const QList<mid_t>& ids)
{
    if (!m_storage)
        return false;
    return ids.isEmpty() || m_storage->addSyncRecords(m_providerId, ids, 0);
}

bool CTwitterSync::reset()
{
    if (!m_storage)
        return false;
    m_items.clear();
    m_loaded = true;
    return m_storage->setSyncRecords(m_providerId, {}, 0);
}

QList<mid_t> CTwitterSync::ids() const
{
    ensureLoaded();
    return m_items.values();
}
