#pragma once

#include "facebookitems.h"
#include "facebookrecords.h"
#include "meskanswerspan.h"
#include "meskrecords.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QSet>
#include <QString>

class CFacebookApi;
class CFacebookCalendarEvent;
class CFacebookComment;
class CFacebookEvent;
class CFacebookLink;
class CFacebookPhoto;
class CFacebookUser;
class CFacebookVideo;
class IMediaItemStorage;

// The Facebook provider's cache and factory of item objects: one object per stored row,
// handed to every caller that asks for it. The manager owns every object without being
// its Qt parent; clear() releases them with deleteLater() and the destructor deletes
// what is left. Callers never delete them.
//
// Look-ups by the service's ids match only rows of their own kind (posts and statuses:
// types 1 to 4 with kind "spost"; friend requests "frequest"; messages "message";
// photos type 5; comments 8; calendar events 9), since all kinds share the media id
// column and the service's ids of different kinds can coincide. An empty id never takes
// part in a look-up: a photo or a calendar event without one is always stored (it
// belongs to a post being stored right now); a post, request, message, status, comment
// or user without one is refused, since it would be stored again at every update.
//
// Objects of a batch: a writer that stores one answer in one storage batch wraps it in
// beginNew() and acceptNew() (the batch committed) or discardNew() (it rolled back). In
// between, the objects cached are noted and userAdded() is held back; discardNew()
// releases and forgets them, since SQLite hands the rolled-back row ids out again.
// Spans nest: only the outermost one accepts or discards (CMeskAnswerSpan).
class CFacebookObjectManager : public QObject
{
    Q_OBJECT
public:
    // The kinds the look-ups by media id tell apart.
    enum class Kind
    {
        Post,
        FriendRequest,
        Message,
        Photo,
        Comment,
        CalendarEvent
    };

    CFacebookObjectManager(CFacebookApi* api, mid_t providerId, QObject* parent = nullptr);
    ~CFacebookObjectManager() override;

    void setStorage(IMediaItemStorage* storage);
    IMediaItemStorage* storage() const { return m_storage; }
    CFacebookApi* api() const { return m_api; }
    mid_t providerId() const { return m_providerId; }
    // Releases every cached object with deleteLater() and empties the caches.
    void clear();

    // Cached, else loaded and cached; null (and nothing cached) when the row cannot be loaded.
    CFacebookUser* user(mid_t id);
    CFacebookEvent* event(mid_t id);
    CFacebookPhoto* photo(mid_t id);
    CFacebookVideo* video(mid_t id);
    CFacebookLink* link(mid_t id);
    CFacebookComment* comment(mid_t id);
    CFacebookCalendarEvent* calendarEvent(mid_t id);

    // By the service's ids, without storing anything.
    CFacebookEvent* eventByMediaId(const QString& postId);
    CFacebookComment* commentByMediaId(const QString& commentId);
    // ok (when given) is false when the stored users cannot be read.
    CFacebookUser* findUserByMediaId(const QString& uid, bool* ok = nullptr);
    bool existsByMediaId(const QString& mediaId, Kind kind);

    // Find-or-store: the object of the stored row of that id, else of a new row.
    CFacebookEvent* addPost(const SFacebookStreamPost& post, mid_t userId);
    CFacebookEvent* addFriendRequest(const QString& uid, mid_t userId);
    CFacebookEvent* addMessage(const SFacebookMessage& message, mid_t userId);
    CFacebookEvent* addStatus(const QString& postId, const QString& text, mid_t userId);
    CFacebookPhoto* photoFromMedia(const SFacebookMedia& media, mid_t userId);
    CFacebookPhoto* photoFromInfo(const SFacebookPhotoInfo& info, mid_t userId);
    // Always store.
    CFacebookVideo* addVideo(const SFacebookStreamPost& post, mid_t userId);
    CFacebookLink* addLink(const SFacebookLink& link, mid_t userId);
    CFacebookComment* commentFromRecord(const SFacebookComment& comment, mid_t userId);
    CFacebookCalendarEvent* addCalendarEvent(const SFacebookStreamPost& post, mid_t userId);
    // Emit userAdded() for a new row (held back inside a span).
    CFacebookUser* userByMediaId(const QString& uid);
    CFacebookUser* addUser(const SFacebookUser& info, bool markContact);

    // Comments under an event: each one not stored yet is stored with its author
    // (stored bare when unknown) and attached.
    void addComments(CFacebookEvent* event, const QList<SFacebookComment>& comments);
    bool addComment(CFacebookEvent* event, const SFacebookComment& comment);
    // Releases the rows' objects and deletes the rows.
    void deleteComments(const QList<SMediaItem>& comments);
    // Makes the event's stored comments equal the fetched list, in one storage batch;
    // when something changed, emits the event's updated() once the batch is in. The
    // event's comment count stays the service's.
    void syncComments(CFacebookEvent* event, const QList<SFacebookComment>& comments);

    // The span of one storage batch (see above).
    void beginNew();
    void acceptNew();
    void discardNew();

signals:
    void userAdded(mid_t id);

private:
    // 0 when none is stored; ok (when given) is false when the stored items cannot be read.
    mid_t findItem(const QString& mediaId, Kind kind, bool* ok = nullptr);
    template <typename T, typename Load> T* cached(QHash<mid_t, T*>& cache, mid_t id, Load load);
    void noteNewUser(mid_t id);

    QHash<mid_t, CFacebookUser*> m_users;
    QHash<mid_t, CFacebookEvent*> m_events;
    QHash<mid_t, CFacebookPhoto*> m_photos;
    QHash<mid_t, CFacebookVideo*> m_videos;
    QHash<mid_t, CFacebookLink*> m_links;
    QHash<mid_t, CFacebookComment*> m_comments;
    QHash<mid_t, CFacebookCalendarEvent*> m_calendarEvents;
    CFacebookApi* m_api;
    IMediaItemStorage* m_storage = nullptr;
    mid_t m_providerId;

    // Objects cached inside the span are released when it rolls back; userAdded() is held.
    CMeskAnswerSpan m_span;
};
