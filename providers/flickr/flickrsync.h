#pragma once

#include "meskrecords.h"

#include <QHash>
#include <QObject>

class IMediaItemStorage;

// The newest photo post of each Flickr user (user row id -> post id), kept in MEDIASYNC.
class CFlickrSync : public QObject
{
    Q_OBJECT
public:
    explicit CFlickrSync(mid_t providerId, QObject* parent = nullptr);

    // Keeps the storage; its records are read (a later record of the same user wins) when they are
    // first used (an update, a flush, a look-up), not at start-up.
    void load(IMediaItemStorage* storage);
    // Nothing happens when another record already holds the post.
    void add(mid_t userId, mid_t eventId);
    void remove(mid_t userId);
    // Writes every record's post; nothing without a storage or while the stored records cannot be read.
    // True when the records were written. The records stay as they are either way: each flush writes
    // them whole, so one that failed is made good by the next.
    bool flush();
    // Empties the records and the stored ones; nothing without a storage.
    void reset();

    // The user's newest post; 0 when there is none.
    mid_t event(mid_t userId) const
    {
        ensureLoaded();
        return m_records.value(userId);
    }
    QHash<mid_t, mid_t> records() const
    {
        ensureLoaded();
        return m_records;
    }

private:
    // Reads the storage's records on their first use; records set before take precedence. False when
    // they cannot be read: the records then stay unloaded (and are read again at their next use).
    bool ensureLoaded() const;
    // Sets the user's record; the post it held before loses one holder.
    void setRecord(mid_t userId, mid_t eventId) const;
    void dropRecord(mid_t userId) const;

    IMediaItemStorage* m_storage = nullptr;
    mutable QHash<mid_t, mid_t> m_records;
    // How many records hold each post: the look-up behind add().
    mutable QHash<mid_t, int> m_holders;
    mutable bool m_loaded = true;
    mid_t m_providerId;
};
