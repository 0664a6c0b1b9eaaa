#pragma once

#include "imediaobjects.h"

// Media objects and users with settable answers. They count the downloads asked of them and
// emit their signals when the test says so:
//
//   FakeImageItem image;
//   image.file = dir.filePath("a.png");   // missing: the viewer asks loadImage()
//   viewer.setImageItem(&image);
//   writePng(image.file); emit image.imageDownloadDone();

// A media object of any kind (also kinds no viewer shows) without image or video operations.
class FakeMediaObject : public IMediaObject
{
    Q_OBJECT
public:
    explicit FakeMediaObject(int kind = Image) : IMediaObject(nullptr), kind(kind) {}

    int mediaKind() const override { return kind; }
    QString text() const override { return caption; }
    QString thumbnailFile() const override { return thumbnail; }
    bool loadThumbnail() override
    {
        ++thumbnailLoads;
        return true;
    }
    SMediaItem mediaItem() const override { return item; }

    int kind;
    QString caption;
    QString thumbnail;
    SMediaItem item;
    int thumbnailLoads = 0;
};

class FakeImageItem : public IMediaImageItem
{
    Q_OBJECT
public:
    FakeImageItem() : IMediaImageItem(nullptr) {}

    QString text() const override { return caption; }
    QString thumbnailFile() const override { return thumbnail; }
    bool loadThumbnail() override
    {
        ++thumbnailLoads;
        return true;
    }
    SMediaItem mediaItem() const override { return item; }
    QString imageFile() const override { return file; }
    bool loadImage() override
    {
        ++imageLoads;
        return true;
    }

    QString caption;
    QString thumbnail;
    QString file;
    SMediaItem item;
    int thumbnailLoads = 0;
    int imageLoads = 0;
};

class FakeVideoItem : public IMediaVideoItem
{
    Q_OBJECT
public:
    explicit FakeVideoItem(int kind = PlayFile) : IMediaVideoItem(nullptr), kind(kind) {}

    QString text() const override { return caption; }
    QString thumbnailFile() const override { return thumbnail; }
    bool loadThumbnail() override
    {
        ++thumbnailLoads;
        return true;
    }
    SMediaItem mediaItem() const override { return item; }
    QString videoFile() const override { return file; }
    bool loadVideo() override
    {
        ++videoLoads;
        return true;
    }
    QString videoUrl() const override { return url; }
    int videoKind() const override { return kind; }

    int kind;
    QString caption;
    QString thumbnail;
    QString file;
    QString url;
    SMediaItem item;
    int thumbnailLoads = 0;
    int videoLoads = 0;
};

class FakeMediaUser : public IMediaUser
{
    Q_OBJECT
public:
    FakeMediaUser() : IMediaUser(nullptr) {}

    QString avatarFile() const override { return file; }
    QPixmap defaultAvatar() const override { return fallback; }
    void updateAvatar() override { ++avatarUpdates; }
    QPixmap avatar() const override { return fallback; }
    QPixmap smallAvatar() const override { return fallback; }
    QString name() const override { return userName; }
    SServiceUser serviceUser() const override { return record; }

    QString file;
    QPixmap fallback;
    QString userName;
    SServiceUser record;
    int avatarUpdates = 0;
};
