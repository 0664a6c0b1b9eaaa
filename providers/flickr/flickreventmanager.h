#pragma once

#include "flickrrecords.h"
#include "meskhttpresponse.h"
#include "meskrecords.h"

#include <QDate>
#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

class CFlickrApi;
class CFlickrPhotoPost;
class CMeskSlicedStore;
class CFlickrContactsPhotos;
class CFlickrObjectManager;
class CFlickrSync;
class CFlickrUserPhotos;

// One Flickr update run: the latest photos of the user's contacts, then a search of every
// contact whose listed photos are not all posted yet, the new photos stored and grouped into one
// photo post per contact and upload day.
//
// A run starts with updateStarted() and ends with exactly one updateDone(), whatever fails on the
// way: a failed call (reported first as protocolError or networkError, a call that cannot start
// as protocolError(MediaErrorUnassigned)) moves the run on to the next contact. An answer keeps
// its 1,000 newest photos and is stored in slices across turns of the event loop, each in one
// storage batch with the sync records of its posts that no record holds; posts and the new users
// are announced only after their slice's batch committed. When the run ends (not on a reset), the
// sync records of each contact whose search answer was stored whole are replaced by the posts of
// that answer, whatever the other searches did, and the records are written whole; a contact not
// searched, or whose search failed or rolled back, keeps its records. A slice that rolls back
// drops the rest of its answer. reset() drops the slices not yet stored. GUI thread only.
class CFlickrEventManager : public QObject
{
    Q_OBJECT
public:
    CFlickrEventManager(CFlickrApi* api, CFlickrObjectManager* objects, CFlickrSync* sync,
                        QObject* parent = nullptr);
    ~CFlickrEventManager() override;

    // The account is set and no run is in progress.
    bool isReady() const;
    // Starts a run; nothing happens while isReady() is false.
    void update();
    // Cancels the calls in flight and drops the pending work, so nothing of the account reaches
    // the storage afterwards; a run in progress ends with its updateDone().
    void reset();

signals:
    void eventAdded(const SMediaItem& item);
    // Flickr events are only added; declared for the provider's connection.
    void eventUpdated(const SMediaItem& item);
    void updateStarted();
    void updateDone();
    void protocolError(TMediaError error);
    void networkError(TMeskHttpError error);

private slots:
    void _onContactPhotos(const QList<SFlickrPhoto>& photos);
    void _onUserPhotos(const QString& userId, const QList<SFlickrPhoto>& photos);
    void _onMethodError();

private:
    // Starts the search of the next pending contact, or ends the run.
    void nextPendingUser();
    // What a search answer stores, held across its slices.
    struct SUserAnswer
    {
        mid_t userRow = 0;
        QList<SFlickrPhoto> photos; // grouped by upload day, oldest day first
        QList<QDate> days;          // the day of each photo
        QHash<QDate, qsizetype> lastOfDay;
        QHash<QDate, CFlickrPhotoPost*> posts; // the posts of the slices committed so far
        QList<mid_t> syncPosts;                // the posts of the answer's photos, oldest day first
    };
    // Stores one search answer in slices, then goes on with the next contact.
    void storeUserPhotos(const QString& userId, const QList<SFlickrPhoto>& photos);
    // Stores the photos [from, to) of an answer in one batch; announces the posts it completes
    // after the commit.
    void storeUserPhotos(SUserAnswer& answer, qsizetype from, qsizetype to);
    // Ends the run; `ended` is false for a reset, which writes no records.
    void finish(bool ended);

    CFlickrApi* m_api;
    CFlickrContactsPhotos* m_contactsCall;
    CFlickrUserPhotos* m_userPhotosCall;
    QStringList m_pendingUsers;
    QList<SFlickrPhoto> m_contactPhotos;
    CFlickrObjectManager* m_objects;
    CFlickrSync* m_sync;
    bool m_running = false;
    // The posts of each contact whose search answer was stored whole in this run.
    QHash<mid_t, QList<mid_t>> m_answered;
    CMeskSlicedStore* m_slices;
};
