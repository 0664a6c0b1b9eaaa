#pragma once

#include "facebookrecords.h"
#include "imediaobjects.h"

#include <QMetaType>
#include <QString>

class CFacebookApi;
class CFacebookPhotoInfo;
class CMeskHttpMethod;
class IMediaItemStorage;

// A link attachment of a post, as the update cycle hands it over.
class SFacebookLink
{
public:
    QString url;  // the attachment's href
    QString name; // its title
    QString caption;
    QString created; // the post's time: decimal seconds since 1970

    bool operator==(const SFacebookLink&) const = default;
};
Q_DECLARE_METATYPE(SFacebookLink)

// The file suffix of a downloaded address: the text after its last full stop when
// that is one to three ASCII letters or digits, else the fallback ("jpg" for
// pictures, "mp4" for video bodies).
QString facebookFileSuffix(const QString& url, const QString& fallback);

// The photos, videos and links attached to Facebook posts. Each is a view of one
// stored item and its fields; none has a Qt parent (the owner deletes it). Their
// downloads and photo-info calls are their Qt children, so deleting an object
// cancels them and nothing of them is reported.
//
// A download is done only when the answer had a 2xx status: any other status
// (the pool then writes no file and an earlier one stays) and a transport failure
// end in the matching failure signal. The start and progress signals of the
// interfaces are never emitted.

// How a download request went: started, left to the one still running, or refused
// (no address or file, or the pool did not take it).
enum class TFacebookDownloadStart
{
    Started,
    Busy,
    Refused
};

// A photo (item type 5). Fields: "photoUrl", "thumbnailUrl", "thumbnailFile",
// "originalUrl", "originalFile". A photo that lacks an address asks photos.get for
// it first and starts the download the caller wanted once the answer is in.
class CFacebookPhoto : public IMediaImageItem
{
    Q_OBJECT
public:
    CFacebookPhoto(CFacebookApi* api, IMediaItemStorage* storage, QObject* owner = nullptr);
    ~CFacebookPhoto() override;

    static CFacebookPhoto* load(CFacebookApi* api, IMediaItemStorage* storage, mid_t id,
                                QObject* owner = nullptr);
    // Stores a photo of a stream post's attachment: no full-size address yet.
    static mid_t createFromMedia(CFacebookApi* api, IMediaItemStorage* storage, const SFacebookMedia& media,
                                 mid_t provider, mid_t user);
    // Stores a photo from a photo record.
    static mid_t createFromPhotoInfo(CFacebookApi* api, IMediaItemStorage* storage,
                                     const SFacebookPhotoInfo& info, mid_t provider, mid_t user);

    // Attaches the photo to its event and writes the item back; the storage's result.
    bool setParent(mid_t parent);

    QString text() const override { return m_item.content; }
    QString thumbnailFile() const override { return m_thumbnailFile; }
    bool loadThumbnail() override;
    SMediaItem mediaItem() const override { return m_item; }
    QString imageFile() const override { return m_originalFile; }
    bool loadImage() override;

    QString photoUrl() const { return m_photoUrl; }
    QString thumbnailUrl() const { return m_thumbnailUrl; }
    QString originalUrl() const { return m_originalUrl; }

private slots:
    void _onThumbnailLoaded();
    void _onPhotoInfo(const SFacebookPhotoInfo& info);
    void _onPhotoInfoFailed();
    void _onOriginalLoaded();

private:
    TFacebookDownloadStart startThumbnail();
    TFacebookDownloadStart startOriginal();
    bool requestPhotoInfo();

    CFacebookApi* m_api;
    CFacebookPhotoInfo* m_infoCall = nullptr;
    CMeskHttpMethod* m_thumbnailCall = nullptr;
    CMeskHttpMethod* m_originalCall = nullptr;
    bool m_imageWanted = false;
    bool m_thumbnailWanted = false;
    IMediaItemStorage* m_storage;
    SMediaItem m_item;
    QString m_photoUrl;
    QString m_thumbnailUrl;
    QString m_originalUrl;
    QString m_thumbnailFile;
    QString m_originalFile;
};

// A video (item type 6). Fields: "pageUrl", "originalUrl" (the video body),
// "originalFile", "thumbnailUrl", "thumbnailFile", "videoType".
class CFacebookVideo : public IMediaVideoItem
{
    Q_OBJECT
public:
    CFacebookVideo(CFacebookApi* api, IMediaItemStorage* storage, QObject* owner = nullptr);
    ~CFacebookVideo() override;

    static CFacebookVideo* load(CFacebookApi* api, IMediaItemStorage* storage, mid_t id,
                                QObject* owner = nullptr);
    // Stores the video of the post's attachment (its first medium).
    static mid_t create(CFacebookApi* api, IMediaItemStorage* storage, const SFacebookStreamPost& post,
                        mid_t provider, mid_t user);

    bool setParent(mid_t parent);

    QString text() const override { return m_item.content; }
    QString thumbnailFile() const override { return m_thumbnailFile; }
    bool loadThumbnail() override;
    SMediaItem mediaItem() const override { return m_item; }
    QString videoFile() const override { return m_videoFile; }
    bool loadVideo() override;
    QString videoUrl() const override { return m_videoUrl; }
    // FlashVideo for a player page ("html"), PlayFile for anything else.
    int videoKind() const override { return m_videoKind; }

    QString pageUrl() const { return m_pageUrl; }

private slots:
    void _onThumbnailLoaded();
    void _onVideoLoaded();

private:
    CFacebookApi* m_api;
    CMeskHttpMethod* m_thumbnailCall = nullptr;
    CMeskHttpMethod* m_videoCall = nullptr;
    IMediaItemStorage* m_storage;
    SMediaItem m_item;
    int m_videoKind = PlayFile;
    QString m_pageUrl;
    QString m_videoUrl;
    QString m_thumbnailUrl;
    QString m_thumbnailFile;
    QString m_videoFile;
};

// A link (item type 7): the address is the item's content. Fields: "linkName",
// "linkCaption".
class CFacebookLink : public IMediaLinkItem
{
    Q_OBJECT
public:
    CFacebookLink(CFacebookApi* api, IMediaItemStorage* storage, QObject* owner = nullptr);
    ~CFacebookLink() override;

    static CFacebookLink* load(CFacebookApi* api, IMediaItemStorage* storage, mid_t id,
                               QObject* owner = nullptr);
    static mid_t create(CFacebookApi* api, IMediaItemStorage* storage, const SFacebookLink& link,
                        mid_t provider, mid_t user);

    bool setParent(mid_t parent);

    QString url() const override { return m_item.content; }
    QString description() const override { return m_name; }
    QString caption() const override { return m_caption; }
    SMediaItem mediaItem() const override { return m_item; }

private:
    CFacebookApi* m_api;
    IMediaItemStorage* m_storage;
    SMediaItem m_item;
    QString m_name;
    QString m_caption;
};
