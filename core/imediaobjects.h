#pragma once

#include "meskrecords.h"

#include <QObject>
#include <QPixmap>
#include <QString>
#include <QVariantList>

// Live objects that providers make from stored records. None of them has a Qt
// parent: the provider that creates one keeps and deletes it, and callers never
// delete what a provider hands out. The constructors take the owning provider
// for documentation only.

// A photo or video attached to a feed item (item type 5 or 6).
class IMediaObject : public QObject
{
    Q_OBJECT
public:
    explicit IMediaObject(QObject* owner) : QObject(nullptr) { Q_UNUSED(owner) }
    ~IMediaObject() override = default;

    enum Kind
    {
        Image = 0,
        Video = 1
    };

    // 0 for an image, 1 for a video.
    virtual int mediaKind() const = 0;
    virtual QString text() const = 0;
    virtual QString thumbnailFile() const = 0;
    // Starts the thumbnail download; true when the request was handed to the HTTP pool.
    // The outcome arrives as the thumbnail signals.
    virtual bool loadThumbnail() = 0;
    virtual SMediaItem mediaItem() const = 0;

signals:
    void thumbnailDownloadStarted();
    void thumbnailDownloadDone();
    void thumbnailDownloadFailed();
};

class IMediaImageItem : public IMediaObject
{
    Q_OBJECT
public:
    explicit IMediaImageItem(QObject* owner) : IMediaObject(owner) {}

    int mediaKind() const final { return Image; }
    virtual QString imageFile() const = 0;
    // Starts the full-size download; same meaning as loadThumbnail().
    virtual bool loadImage() = 0;

signals:
    void imageDownloadStarted();
    void imageDownloadProgress(int done, int total);
    void imageDownloadDone();
    void imageDownloadFailed();
};

class IMediaVideoItem : public IMediaObject
{
    Q_OBJECT
public:
    explicit IMediaVideoItem(QObject* owner) : IMediaObject(owner) {}

    // How the viewer plays a video.
    enum VideoKind
    {
        PlayFile = 0,  // play the downloaded file (any value but the two below)
        PlayUrl = 1,   // play videoUrl() with the video player
        FlashVideo = 2 // Flash content: the viewer shows its "not installed" page
    };

    int mediaKind() const final { return Video; }
    virtual QString videoFile() const = 0;
    virtual bool loadVideo() = 0;
    virtual QString videoUrl() const = 0;
    virtual int videoKind() const = 0;

signals:
    void downloadProgress(int done, int total);
    void downloadDone();
    void downloadFailed();
};

// A link attached to a feed item (item type 7).
class IMediaLinkItem : public QObject
{
    Q_OBJECT
public:
    explicit IMediaLinkItem(QObject* owner) : QObject(nullptr) { Q_UNUSED(owner) }
    ~IMediaLinkItem() override = default;

    virtual QString url() const = 0;
    virtual QString description() const = 0;
    virtual QString caption() const = 0;
    virtual SMediaItem mediaItem() const = 0;
};

// A feed event object; providers derive their event classes from it.
class IMediaEventItem : public QObject
{
    Q_OBJECT
public:
    explicit IMediaEventItem(QObject* owner) : QObject(nullptr) { Q_UNUSED(owner) }
    ~IMediaEventItem() override = default;
};

// A service user with an avatar.
class IMediaUser : public QObject
{
    Q_OBJECT
public:
    explicit IMediaUser(QObject* owner) : QObject(nullptr) { Q_UNUSED(owner) }
    ~IMediaUser() override = default;

    virtual QString avatarFile() const = 0;
    // The service's default picture.
    virtual QPixmap defaultAvatar() const = 0;
    // Downloads the avatar whenever its address is known and not marked as failed
    // (a download of it that failed before); the outcome arrives as avatarUpdated() or
    // avatarUpdateFailed(). avatar() and smallAvatar() may call it when they have no
    // picture to show.
    virtual void updateAvatar() = 0;
    // The avatar scaled to fit 50 x 50, or the default picture.
    virtual QPixmap avatar() const = 0;
    // The avatar scaled to fit 32 x 32, or the default picture.
    virtual QPixmap smallAvatar() const = 0;
    virtual QString name() const = 0;
    virtual QVariantList emptyList() const { return {}; }
    virtual SServiceUser serviceUser() const = 0;

signals:
    void avatarUpdated();
    void avatarUpdateFailed();
};
