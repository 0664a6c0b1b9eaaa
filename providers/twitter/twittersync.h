#pragma once

#include "meskrecords.h"

#include <QDateTime>
#include <QList>
#include <QMap>
#include <QObject>
#include <QPair>

class IMediaItemStorage;

// The stored ids of the 20 newest status items of a provider, written to the
// storage as its sync records (flush) by a refresh that ended with its friends
// timeline stored whole, whatever its mentions did. Until then the stored records
// are the last list written plus every status stored since, each added in the batch
// that stores it (addRecords), so a close or a kill at any moment keeps it. A friends
// timeline that fails at every refresh never lets the list be cut: the mentions and
// own posted statuses stored meanwhile make it grow.
//
// Items are ordered by (created date-time, item id), so two items created in
// the same second are both kept; the oldest entry is the smallest of those keys.
// GUI thread only.
class CTwitterSync : public QObject
{
    Q_OBJECT
public:
    static constexpr int MaxItems = 20;

    CTwitterSync(mid_t providerId, QObject* parent = nullptr);
    ~CTwitterSync() override;

    // Keeps the storage; the provider's sync records are read into the list at its first use (an
    // update, a flush, ids()), not at start-up.
    void setStorage(IMediaItemStorage* storage);
    // Keeps a stored item (id > 0) if it is among the newest; an id already listed is ignored.
    void add(const SMediaItem& item);
    // Writes the ids, oldest first, as the provider's sync records; false without a storage, when the
    // stored records cannot be read (nothing is written then: the list lacks them) or when the storage
    // failed.
    bool flush();
    // Adds a sync record per id to the stored ones, in the caller's open batch; the list here takes
    // the items with add() once the batch committed. False without a storage or when the storage
    // failed.
    bool addRecords(const QList<mid_t>& ids);
    // Empties the list and the provider's sync records; nothing without a storage.
    bool reset();

    // The listed ids, oldest first.
    QList<mid_t> ids() const;
    int count() const
    {
        ensureLoaded();
        return int(m_items.size());
    }

private:
    using Key = QPair<QDateTime, mid_t>;

    // Reads the storage's sync records into the list on its first use. False when they cannot be read:
    // the list then stays unloaded (and is read again at its next use), holding only what was added.
    bool ensureLoaded() const;
    void insert(const SMediaItem& item) const;

    IMediaItemStorage* m_storage = nullptr;
    mutable QMap<Key, mid_t> m_items;
    mutable bool m_loaded = true;
    mid_t m_providerId;
};
