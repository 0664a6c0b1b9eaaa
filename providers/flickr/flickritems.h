#pragma once

#include "flickrrecords.h"
#include "imediaobjects.h"
#include "meskhttpresponse.h"
#include "meskpictures.h"
#include "meskrecords.h"

#include <QDateTime>
#include <QList>
#include <QPixmap>
#include <QString>

class CFlickrApi;
class CFlickrPhotoInfo;
class CFlickrPhotoSizes;
class CFlickrUserInfo;
class CMeskHttpMethod;
class IMediaItemStorage;

// One Flickr photo as a stored media object (item type 5).
//
// Stored form: one MEDIAITEMS row (provider, owner's user row, created = the upload time,
// content = the title, mediaId = the photo id, parent = the photo post once it takes the
// photo) and the fields "photoUrl", "thumbnailUrl", "thumbnailFile", written with the row,
// and "originalUrl", "originalFile", written together once the full-size address is known.
//
// Requests and downloads run as child call objects, at most one of each kind: starting one
// while it runs returns false and starts nothing. Every download is judged by its HTTP
// status, and every start ends in exactly one of the done or failed signals, so a viewer
// never waits for ever. A photo has no Qt parent: the object manager owns it.
class CFlickrPhoto : public IMediaImageItem
{
    Q_OBJECT
public:
    CFlickrPhoto(CFlickrApi* api, IMediaItemStorage* storage, QObject* owner = nullptr);
    ~CFlickrPhoto() override;

    // Stores a new photo row with its first three fields in one storage batch (joining a
    // batch the caller holds); the row id, or 0 (logged) when it was not stored.
    static mid_t create(CFlickrApi* api, IMediaItemStorage* storage, const SFlickrPhoto& photo,
                        mid_t provider, mid_t user);
    // The photo of a stored row of type 5; null (logged) otherwise.
    static CFlickrPhoto* load(CFlickrApi* api, IMediaItemStorage* storage, mid_t id);

    // Makes the photo a child of a photo post and writes its row.
    bool setParentEvent(mid_t parent);
    // The photo's page on the web site.
    QString photoUrl() const { return m_photoUrl; }
    QString thumbnailUrl() const { return m_thumbnailUrl; }
    // The full-size picture's address; empty until it has been looked up.
    QString originalUrl() const { return m_originalUrl; }
    // Finds the full-size address through the photo's details (no part of the system uses it:
    // loadImage() goes through the sizes). The outcome arrives like loadImage()'s.
    bool requestPhotoInfo(const QString& photoId, const QString& secret);

    QString text() const override;
    QString thumbnailFile() const override;
    bool loadThumbnail() override;
    SMediaItem mediaItem() const override;
    // Empty until the full-size address is known.
    QString imageFile() const override;
    // Downloads the full-size picture, looking its address up first when it is not known.
    bool loadImage() override;

signals:
    // Declared for the interface's users; never emitted.
    void protocolError();
    void networkError(TMeskHttpError error);

private slots:
    void _onThumbnailLoaded();
    void _onPhotoInfo(const SFlickrPhotoExt& info);
    void _onPhotoSizes(const QList<SFlickrPhotoSize>& sizes);
    void _onOriginalLoaded();

private:
    bool requestSizes(const QString& photoId);
    bool downloadOriginal();
    // Stores the full-size address and its local path; starts the download when a
    // loadImage() is waiting for it.
    void setOriginal(const QString& url, const QString& format);
    void lookupFailed();

    CFlickrApi* m_api;
    CFlickrPhotoInfo* m_infoRequest = nullptr;
    CFlickrPhotoSizes* m_sizesRequest = nullptr;
    CMeskHttpMethod* m_thumbnailDownload = nullptr;
    CMeskHttpMethod* m_originalDownload = nullptr;
    bool m_loadAfterLookup = false;
    IMediaItemStorage* m_storage;
    SMediaItem m_item;
    QString m_photoUrl;
    QString m_thumbnailUrl;
    QString m_originalUrl;
    QString m_thumbnailFile;
    QString m_originalFile;
};

// One Flickr account as a stored service user (type 2), with its buddy icon as avatar.
//
// A new user has no avatar address: the first updateAvatar() (which avatar() calls while no
// picture is on disk) looks the user's details up, stores the buddy-icon address and then
// downloads the icon. Each ends in avatarUpdated() or avatarUpdateFailed(). A user has no Qt
// parent: the object manager owns it.
class CFlickrUser : public IMediaUser
{
    Q_OBJECT
public:
    CFlickrUser(CFlickrApi* api, IMediaItemStorage* storage, QObject* owner = nullptr);
    ~CFlickrUser() override;

    // Stores a new user row; its id, or 0 (logged).
    static mid_t create(CFlickrApi* api, IMediaItemStorage* storage, const QString& userId,
                        const QString& userName, mid_t provider);
    // The user of a stored row; null (logged) when there is none.
    static CFlickrUser* load(CFlickrApi* api, IMediaItemStorage* storage, mid_t id);

    // The user's page on the web site.
    QString profileUrl() const { return m_user.url; }
    // The Flickr user id (NSID).
    QString userId() const { return m_user.mediaId; }

    QString avatarFile() const override;
    QPixmap defaultAvatar() const override;
    void updateAvatar() override;
    QPixmap avatar() const override;
    QPixmap smallAvatar() const override;
    QString name() const override;
    SServiceUser serviceUser() const override;

private slots:
    void _onUserInfoReady(const SFlickrUser& info);
    void _onAvatarLoaded();

private:
    // The one-request rule of updateAvatar(): false when the lookup or download runs or
    // cannot start.
    bool startAvatarUpdate();
    bool requestUserInfo();
    bool downloadAvatar();

    CFlickrApi* m_api;
    CFlickrUserInfo* m_infoRequest = nullptr;
    CMeskHttpMethod* m_avatarDownload = nullptr;
    IMediaItemStorage* m_storage;
    SServiceUser m_user;
    // Filled by the const picture getters. No picture on disk yet: fetch it (at most one
    // lookup and one download run at a time).
    TMeskAvatarPictures m_avatarPictures{[this] { startAvatarUpdate(); }, [this] { return defaultAvatar(); }};
};

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
