#pragma once

#include "meskanswerspan.h"
#include "meskrecords.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QString>

class CFlickrApi;
class CFlickrPhoto;
class CFlickrPhotoPost;
class CFlickrUser;
class IFlickrEvent;
class IMediaItemStorage;
class SFlickrPhoto;

// The Flickr provider's cache and factory of stored objects: one object per stored id, handed
// to every caller that asks for it. The manager owns every object it hands out (they have no
// Qt parent) and deletes them in clear() and in its destructor; callers never delete them.
//
// Objects of a batch: the event manager stores each answer in one storage batch and wraps it
// in beginNew() and acceptNew() (the batch committed) or discardNew() (it rolled back). In
// between, the objects made for new rows are noted and userAdded() is held back; discardNew()
// deletes those objects, whose ids SQLite hands out again, before anything outside saw them.
class CFlickrObjectManager : public QObject
{
    Q_OBJECT
public:
    CFlickrObjectManager(CFlickrApi* api, mid_t providerId, QObject* parent = nullptr);
    ~CFlickrObjectManager() override;

    void setStorage(IMediaItemStorage* storage);
    IMediaItemStorage* storage() const { return m_storage; }
    // Deletes every cached object.
    void clear();

    // The event object of a stored feed item: a photo post for type 2; null for a comment
    // (type 1, never built) and for any other type (logged).
    IFlickrEvent* loadEvent(const SMediaItem& item);
    // Cached, else loaded and cached; null (and nothing cached) when the row cannot be loaded.
    CFlickrPhotoPost* photoPost(mid_t id);
    CFlickrPhoto* photo(mid_t id);
    CFlickrUser* user(mid_t id);

    // By the service's ids; the find-or-add variants store a new row when none exists, and nothing
    // (null) when the look-up failed (ok false).
    CFlickrPhoto* findPhoto(const QString& photoId, bool* ok = nullptr);
    CFlickrPhoto* findOrAddPhoto(const SFlickrPhoto& photo, mid_t userId);
    CFlickrUser* findUser(const QString& userId, bool* ok = nullptr);
    // Emits userAdded() for a new row only (held back inside beginNew()).
    CFlickrUser* findOrAddUser(const QString& userId, const QString& userName);
    // A new, empty photo post of the user.
    CFlickrPhotoPost* addPhotoPost(mid_t userId);
    // The post's photos, newest first; photos that cannot be loaded are left out.
    QList<CFlickrPhoto*> photosOfPost(CFlickrPhotoPost* post);

    // The span of one storage batch (see above; CMeskAnswerSpan). Spans nest: only the outermost
    // one accepts or discards.
    void beginNew();
    // The batch committed: emits the held userAdded() signals.
    void acceptNew();
    // The batch rolled back: forgets and deletes the objects made in the span.
    void discardNew();

signals:
    void userAdded(mid_t id);

private:
    QHash<mid_t, IFlickrEvent*> m_events;
    QHash<mid_t, CFlickrPhoto*> m_photos;
    QHash<mid_t, CFlickrUser*> m_users;
    CFlickrApi* m_api;
    IMediaItemStorage* m_storage = nullptr;
    mid_t m_providerId;

    // Objects made for new rows inside the span are deleted when it rolls back; userAdded() is held.
    CMeskAnswerSpan m_span;
};
