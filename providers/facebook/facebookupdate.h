#pragma once

#include "facebookrecords.h"
#include "meskhttpresponse.h"
#include "meskrecords.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QString>

#include <functional>

class CFacebookApi;
class CFacebookEvent;
class CFacebookEventComments;
class CFacebookEventPhotos;
class CFacebookMessages;
class CFacebookNotifications;
class CFacebookObjectManager;
class CFacebookStreamEvents;
class CFacebookUser;
class CMeskSlicedStore;
class IMediaItemStorage;

// Which stored events are current: the posts of the last stream result (and the
// photo-set posts and own statuses stored since), and the messages and friend
// requests stored in the last 14 calendar days. Written to the storage's sync
// records as a whole, with a maximum period of 336 hours.
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
        QHash<mid_t, SMediaItem> messages;
        QHash<mid_t, SMediaItem> friendRequests;
    };

    explicit CFacebookSync(mid_t providerId, QObject* parent = nullptr);

    void load(IMediaItemStorage* storage);
    // Drops messages and friend requests added more than 14 days before today, then
    // writes the records; nothing without a storage.
    void save();
    // Empties the lists and leaves the provider no sync records.
    void reset();
    void beginStream();
    void addStreamEvent(mid_t id);
    void addMessage(const SMediaItem& item);
    void addFriendRequest(const SMediaItem& item);

    State state() const { return m_state; }
    void restore(const State& state) { m_state = state; }

private:
    IMediaItemStorage* m_storage = nullptr;
    State m_state;
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

// One Facebook update: the stream, then the notifications, then the message threads.
// Stores what is new through the object manager and reports each new or changed
// event; completes the photo sets of new album posts and the comment lists of posts.
//
// An answer keeps its 1,000 newest entries and is stored in slices across turns of the
// event loop, each slice in one storage batch. eventAdded() and eventUpdated() go out
// only after a slice's batch committed; the next task starts and the stream list is
// replaced only after the last slice. A batch that rolled back emits nothing: the sync
// lists are put back, the objects cached for it are released and the counts of known
// events read again; the cycle goes on. reset() drops the slices not yet stored.
class CFacebookEventManager : public QObject
{
    Q_OBJECT
public:
    enum TUpdateTask
    {
        TaskStream = 0,
        TaskNotifications = 1,
        TaskMessages = 2,
        TaskDone = 3
    };

    CFacebookEventManager(CFacebookApi* api, CFacebookObjectManager* objects, CFacebookSync* sync,
                          QObject* parent = nullptr);
    ~CFacebookEventManager() override;

    bool isReady() const;
    void update();
    // Stops every call in flight and forgets what waits (account removal); emits
    // updateDone() when an update was running.
    void reset();

signals:
    void eventAdded(const SMediaItem& item);
    void eventUpdated(const SMediaItem& item);
    void updateStarted();
    void updateDone();
    void protocolError(TMediaError error);
    void networkError(TMeskHttpError error);

private slots:
    void _onStreamPosts(const QList<SFacebookStreamPost>& posts, const QList<SFacebookUser>& users);
    void _onNotifications(const SFacebookNotifications& notifications);
    void _onMessages(const QList<SFacebookMessage>& messages);
    void _onEventPhotos(const QString& postId, const QList<SFacebookPhotoInfo>& photos);
    void _onEventPhotosFailed(const QString& postId);
    void _onMethodError();
    void _doUpdateTask(TUpdateTask task);
    void _processNextUpdateTask();

private:
    // Runs store inside one storage batch and object span; tells the collected
    // events after the commit. Runs store directly when an answer is being stored.
    // False when the batch rolled back.
    bool storeAnswer(const std::function<void()>& store);
    // Stores the entries 0..count-1 of an answer by storeOne in slices, each through
    // storeAnswer, across turns of the event loop; done(true) runs after the last slice,
    // done(false) after a slice that rolled back (the rest of the answer is dropped).
    void storeInSlices(qsizetype count, const std::function<void(qsizetype)>& storeOne,
                       const std::function<void(bool)>& done);
    // A post of the stream list: kept back while a stream answer is being stored.
    void noteStreamEvent(mid_t id);
    void storePost(const SFacebookStreamPost& post);
    bool addAttachment(CFacebookEvent* event, const SFacebookStreamPost& post, mid_t userId);
    bool addPhoto(CFacebookEvent* event, const SFacebookMedia* media, const SFacebookPhotoInfo* info,
                  mid_t userId);
    void fetchNextPhotoSet();
    void addPostWithPhotos(const SFacebookStreamPost& post, const QList<SFacebookPhotoInfo>& photos);
    void added(CFacebookEvent* event);

    struct Told
    {
        bool added = true;
        SMediaItem item;
        QPointer<CFacebookEvent> event;
    };

    CFacebookApi* m_api;
    CFacebookStreamEvents* m_streamCall;
    CFacebookNotifications* m_notificationsCall;
    CFacebookMessages* m_messagesCall;
    CFacebookCommentSync* m_commentSync;
    CFacebookEventPhotos* m_eventPhotosCall;
    CFacebookObjectManager* m_objects;
    CFacebookSync* m_sync;
    TUpdateTask m_currentTask = TaskDone;
    bool m_aborted = false;
    QHash<QString, SFacebookStreamPost> m_pendingPhotoSets;

    int m_answerDepth = 0;
    QList<Told> m_told;                        // told after the batch commits
    QList<QPointer<CFacebookEvent>> m_touched; // known events whose counts changed

    CMeskSlicedStore* m_slices;
    bool m_storingStream = false;
    QList<mid_t> m_answerStream; // the stream list of the answer being stored
};
