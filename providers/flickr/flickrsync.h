#pragma once

#include "meskrecords.h"

#include <QHash>
#include <QList>
#include <QObject>

class IMediaItemStorage;

// Per Flickr user (user row id), the photo posts of the user's last search answer, kept in MEDIASYNC
// (one row per post), so the clean-up at exit keeps every post the service still lists: a post it
// deleted would be fetched and announced again at the next update. A user's posts are ordered
// oldest first, so the last one is the user's newest post. A post is held by one user at most.
// Until a run ends, the records are the last complete ones plus every post stored since: a post
// gets its row in the batch that stores it (addRecords), so a close or a kill at any moment keeps
// it; a run that ended (not a reset) replaces the records of each user whose search answer it stored
// whole, whatever the other searches did, and writes them whole; a user not searched, or whose search
// failed, keeps its records.
class CFlickrSync : public QObject
{
    Q_OBJECT
public:
    explicit CFlickrSync(mid_t providerId, QObject* parent = nullptr);

    // Keeps the storage; its records are read (each user's posts ordered by their created date-time)
    // when they are first used (an update, a flush, a look-up), not at start-up.
    void load(IMediaItemStorage* storage);
    // Appends the post to the user's posts, as the user's newest; nothing happens when a record
    // already holds the post (the user's own or another user's).
    void add(mid_t userId, mid_t eventId);
    // Drops every post of the user.
    void remove(mid_t userId);
    // Adds a row to the stored records, in the caller's open batch, for each post no record holds (for
    // each of them while the stored records cannot be read); the records here are unchanged. False
    // when the rows cannot be written.
    bool addRecords(const QList<mid_t>& posts);
    // Once addRecords()'s batch committed: appends the posts to the user's posts as add() does; nothing
    // while the stored records cannot be read (they bring them when they are).
    void addStored(mid_t userId, const QList<mid_t>& posts);
    // Writes every record's posts; nothing without a storage or while the stored records cannot be read.
    // True when the records were written. The records stay as they are either way: each flush writes
    // them whole, so one that failed is made good by the next.
    bool flush();
    // Empties the records and the stored ones; nothing without a storage.
    void reset();

    // The user's newest post; 0 when there is none.
    mid_t event(mid_t userId) const
    {
        ensureLoaded();
        const auto it = m_records.constFind(userId);
        return it == m_records.cend() || it->isEmpty() ? 0 : it->constLast();
    }
    // The user's posts, oldest first.
    QList<mid_t> events(mid_t userId) const
    {
        ensureLoaded();
        return m_records.value(userId);
    }
    QHash<mid_t, QList<mid_t>> records() const
    {
        ensureLoaded();
        return m_records;
    }

private:
    // Reads the storage's records on their first use; records set before take precedence. False when
    // they cannot be read: the records then stay unloaded (and are read again at their next use).
    bool ensureLoaded() const;
    // Appends the post to the user's posts unless a record holds it.
    void append(mid_t userId, mid_t eventId) const;
    void dropRecord(mid_t userId) const;

    IMediaItemStorage* m_storage = nullptr;
    mutable QHash<mid_t, QList<mid_t>> m_records;
    // The user whose record holds each post: the look-up behind add().
    mutable QHash<mid_t, mid_t> m_holders;
    mutable bool m_loaded = true;
    mid_t m_providerId;
};
