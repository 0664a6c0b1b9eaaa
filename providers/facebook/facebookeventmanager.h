#pragma once

#include "facebookrecords.h"
#include "meskhttpresponse.h"
#include "meskrecords.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>

class CFacebookApi;
class CFacebookCommentSync;
class CFacebookEvent;
class CFacebookEventPhotos;
class CFacebookMessages;
class CFacebookNotifications;
class CFacebookObjectManager;
class CFacebookStreamEvents;
class CFacebookSync;
class CFacebookUser;
class CMeskSlicedStore;

// One Facebook update: the stream, then the notifications, then the message threads.
// Stores what is new through the object manager and reports each new or changed
// event; completes the photo sets of new album posts and the comment lists of posts.
//
// An answer keeps its 1,000 newest entries and is stored in slices across turns of the
// event loop, each slice in one storage batch with the sync records of its new events.
// eventAdded() and eventUpdated() go out only after a slice's batch committed; the next
// task starts only after the last slice. A failed call ends the update (the calls after it
// are not asked). When an update ends, the stream list is replaced if the stream answer was
// stored whole, whatever the notifications and messages did (a photo set still pending is
// listed once it is stored), and the sync lists are written whole, dropping the messages and
// friend requests past their 14 days, whatever failed. A batch that rolled back emits
// nothing: the sync lists are put back, the objects cached for it are released and the
// counts of known events read again; the cycle goes on. reset() drops the slices not yet
// stored and replaces nothing.
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
    // The stream answer of the running update came and every slice of it was committed.
    bool m_streamWhole = false;
    QHash<QString, SFacebookStreamPost> m_pendingPhotoSets;

    int m_answerDepth = 0;
    QList<Told> m_told;                        // told after the batch commits
    QList<QPointer<CFacebookEvent>> m_touched; // known events whose counts changed

    CMeskSlicedStore* m_slices;
};
