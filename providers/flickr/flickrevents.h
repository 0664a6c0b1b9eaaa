#pragma once

#include "imediaobjects.h"
#include "meskrecords.h"

#include <QDateTime>
#include <QList>

class CFlickrPhoto;
class IMediaItemStorage;

// A Flickr feed event.
class IFlickrEvent : public IMediaEventItem
{
    Q_OBJECT
public:
    explicit IFlickrEvent(QObject* owner) : IMediaEventItem(owner) {}

    enum Kind
    {
        PhotoPost = 0,
        Comment = 1
    };

    virtual int eventKind() const = 0;
};

// The new photos of one user uploaded on one day: a stored item of type 2 whose children are
// the photos (type 5). Its created time is the newest upload time among them, so the feed
// sorts the post by its latest photo. The object manager owns every post object.
class CFlickrPhotoPost : public IFlickrEvent
{
    Q_OBJECT
public:
    explicit CFlickrPhotoPost(IMediaItemStorage* storage, QObject* owner = nullptr);

    // Stores a new, empty post of the user; created is the Unix epoch, so the first photo
    // always sets it. The row id, or 0 (logged).
    static mid_t create(IMediaItemStorage* storage, mid_t provider, mid_t user);
    // The post of a stored row of type 2; null (logged) otherwise.
    static CFlickrPhotoPost* load(IMediaItemStorage* storage, mid_t id);

    int eventKind() const override { return PhotoPost; }
    SMediaItem mediaItem() const { return m_item; }
    QDateTime created() const { return m_item.created; }
    // The stored image children, newest first (no order among equal times).
    QList<SMediaItem> photoItems() const;
    // The stored children of every type.
    int photoCount() const;
    // Makes the photo a child of the post; a photo newer than the post moves the post's created
    // time forward and writes its row. False when that write fails.
    bool addPhoto(CFlickrPhoto* photo);

private:
    SMediaItem m_item;
    IMediaItemStorage* m_storage;
};

// A comment on a photo. The system fetches, stores and loads none: the class is declared for
// the event kinds only.
class CFlickrComment : public IFlickrEvent
{
    Q_OBJECT
public:
    explicit CFlickrComment(QObject* owner = nullptr) : IFlickrEvent(owner) {}

    int eventKind() const override { return Comment; }
};
