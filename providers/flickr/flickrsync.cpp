#include "flickrsync.h"

#include "imediaitemstorage.h"

#include <QSet>

#include <algorithm>
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
    QList<SMediaItem> items = m_storage->syncRecords(m_providerId, &read);
    if (!read)
        return false;
    m_loaded = true;
    // Records set while the stored ones could not be read are newer than those: a user's stored posts
    // give way to them.
    const QHash<mid_t, QList<mid_t>> newer = std::exchange(m_records, {});
    m_holders.clear();
    for (auto it = newer.cbegin(); it != newer.cend(); ++it) {
        for (mid_t post : it.value())
            append(it.key(), post);
    }
    // Each user's posts oldest first, whatever order the rows come in (a store that kept one post per
    // user reads as one post each).
    std::stable_sort(items.begin(), items.end(), [](const SMediaItem& a, const SMediaItem& b) {
        return a.created < b.created || (a.created == b.created && a.id < b.id);
    });
    for (const SMediaItem& item : std::as_const(items)) {
        if (!newer.contains(item.user))
            append(item.user, item.id);
    }
    return true;
}

void CFlickrSync::add(mid_t userId, mid_t eventId)
{
    ensureLoaded();
    append(userId, eventId);
}

void CFlickrSync::remove(mid_t userId)
{
    ensureLoaded();
    dropRecord(userId);
}

bool CFlickrSync::addRecords(const QList<mid_t>& posts)
{
    if (!m_storage)
        return false;
    const bool loaded = ensureLoaded();
    QList<mid_t> unheld;
    QSet<mid_t> seen;
    for (mid_t post : posts) {
        if ((!loaded || !m_holders.contains(post)) && !seen.contains(post)) {
            seen.insert(post);
            unheld.append(post);
        }
    }
    return unheld.isEmpty() || m_storage->addSyncRecords(m_providerId, unheld, 0);
}

void CFlickrSync::addStored(mid_t userId, const QList<mid_t>& posts)
{
    if (!ensureLoaded())
        return;
    for (mid_t post : posts)
        append(userId, post);
}

void CFlickrSync::append(mid_t userId, mid_t eventId) const
{
    if (m_holders.contains(eventId))
        return;
    m_records[userId].append(eventId);
    m_holders.insert(eventId, userId);
}

void CFlickrSync::dropRecord(mid_t userId) const
{
    const auto it = m_records.constFind(userId);
    if (it == m_records.cend())
        return;
    for (mid_t post : it.value())
        m_holders.remove(post);
    m_records.erase(it);
}

bool CFlickrSync::flush()
{
    if (!m_storage || !ensureLoaded())
        return false;
    QList<mid_t> posts;
    for (auto it = m_records.cbegin(); it != m_records.cend(); ++it)
        posts += it.value();
    return m_storage->setSyncRecords(m_providerId, posts, 0);
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
