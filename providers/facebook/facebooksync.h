#pragma once

#include "facebookrecords.h"
#include "meskrecords.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QSet>

class CFacebookApi;
class CFacebookEvent;
class CFacebookEventComments;
class CFacebookObjectManager;
class IMediaItemStorage;

// Which stored events are current: the posts of the last stream result (and the
// photo-set posts and own statuses stored since), and the messages and friend
// requests stored in the last 14 calendar days, with a maximum period of 336 hours.
//
// Until a refresh ends, the lists are the last ones plus every event added since: each
// event new to them gets its sync record at once, in the storage batch that stores it, so
// a close or a kill at any moment leaves no stored event out of the storage's records.
// Only a refresh that ended replaces the stream list by the one it made (endStream), and
// only when its stream answer was stored whole; every refresh that ended writes the lists
// whole (save), whatever failed, so the messages and friend requests past their 14 days
// go then. Messages and friend requests are never replaced from an answer.
class CFacebookSync : public QObject
{
    Q_OBJECT
public:
    // The lists, as a writer keeps them to put back after a rolled-back batch.
    struct State
    {
        QList<mid_t> streamEvents;
        // The ids of streamEvents, for the look-up behind addStreamEvent().
        QSet<mid_t> streamEventIds;
        // The stream list the running refresh makes (since beginStream()).
        QList<mid_t> nextStream;
        QSet<mid_t> nextStreamIds;
        bool streaming = false;
        QHash<mid_t, SMediaItem> messages;
        QHash<mid_t, SMediaItem> friendRequests;
        // Whether the stored records had been read into the lists.
        bool loaded = false;
    };

    explicit CFacebookSync(mid_t providerId, QObject* parent = nullptr);

    // Keeps the storage; its sync records are read when the lists are first used (an update, the
    // save at clean-up, state()), not at start-up.
    void load(IMediaItemStorage* storage);
    // Drops messages and friend requests added more than 14 days before today, then
    // writes the records whole; nothing without a storage or while the stored records cannot be
    // read. True when the records were written. The lists stay as they are either way: each save
    // writes them whole, so one that failed is made good by the next.
    bool save();
    // Empties the lists and leaves the provider no sync records.
    void reset();
    // Starts the stream list of a refresh: the posts added from now on.
    void beginStream();
    // Ends it: with replace (the refresh ended, its stream answer stored whole) it becomes the stream
    // list; otherwise it is dropped.
    void endStream(bool replace);
    // Each adds the event to its list, and one new to the list gets its sync record in the caller's
    // open batch (also while the stored records cannot be read: they are read with it later). A
    // writer restores the state it kept when its batch rolls back.
    void addStreamEvent(mid_t id);
    void addMessage(const SMediaItem& item);
    void addFriendRequest(const SMediaItem& item);

    State state() const
    {
        ensureLoaded();
        State state = m_state;
        state.loaded = m_loaded;
        return state;
    }
    void restore(const State& state)
    {
        m_state = state;
        m_loaded = state.loaded;
    }

private:
    // Reads the storage's sync records into the lists on their first use. False when they cannot be
    // read: the lists then stay unloaded (and are read again at their next use).
    bool ensureLoaded() const;
    void addRecord(mid_t id);

    IMediaItemStorage* m_storage = nullptr;
    mutable State m_state;
    mutable bool m_loaded = true;
    mid_t m_providerId;
};

// Fetches the full comment lists of posts whose stream entry carries fewer comments
// than their count, one post at a time. Events that are gone when their turn or
// their answer comes are skipped.
class CFacebookCommentSync : public QObject
{
    Q_OBJECT
public:
    CFacebookCommentSync(CFacebookApi* api, CFacebookObjectManager* objects, QObject* parent = nullptr);
    ~CFacebookCommentSync() override;

    void schedule(CFacebookEvent* event);
    // Stops the running fetch, empties the queue and forgets the current event.
    void reset();

private slots:
    void _onEventComments(const QList<SFacebookComment>& comments);
    void _onSyncFailed();

private:
    void syncNext();

    CFacebookApi* m_api;
    CFacebookObjectManager* m_objects;
    QPointer<CFacebookEvent> m_current;
    QList<QPointer<CFacebookEvent>> m_queue;
    CFacebookEventComments* m_commentsCall;
};
