#pragma once

#include "flickrrecords.h"
#include "meskhttpresponse.h"
#include "meskrecords.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

class CFlickrApi;
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
// as protocolError(MediaErrorUnassigned)) moves the run on to the next contact. Each answer is
// stored in one storage batch; posts, sync records and the new users are announced only after
// the batch committed. GUI thread only.
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
    // Stores one search answer in one batch; announces it after the commit.
    void storeUserPhotos(const QString& userId, const QList<SFlickrPhoto>& photos);
    void finish();

    CFlickrApi* m_api;
    CFlickrContactsPhotos* m_contactsCall;
    CFlickrUserPhotos* m_userPhotosCall;
    QStringList m_pendingUsers;
    QList<SFlickrPhoto> m_contactPhotos;
    CFlickrObjectManager* m_objects;
    CFlickrSync* m_sync;
    bool m_running = false;
};
