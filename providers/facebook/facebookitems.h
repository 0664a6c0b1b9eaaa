#pragma once

#include "facebookrecords.h"
#include "imediaobjects.h"
#include "meskdownload.h"
#include "meskpictures.h"
#include "meskrecords.h"

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QMetaType>
#include <QObject>
#include <QPixmap>
#include <QString>

class CFacebookAddLike;
class CFacebookApi;
class CFacebookCalendarEvent;
class CFacebookComment;
class CFacebookCommentPoster;
class CFacebookLink;
class CFacebookPhoto;
class CFacebookPhotoInfo;
class CFacebookRemoveLike;
class CFacebookUserInfo;
class CFacebookVideo;
class CMeskHttpMethod;
class IMediaCommentPoster;
class IMediaItemStorage;

// The item classes of the Facebook provider, each over its stored row: the users, the
// feed events (posts, friend requests, messages), the media attached to posts, and the
// child items (comments and calendar events).

// One Facebook user over its SERVICEUSERS row: the account owner, the authors of
// posts, comments and messages, people asking for friendship. Keeps name and
// picture current (users.getInfo, or the stream's profile records), downloads the
// picture into the row's avatar file and hands it out at most 50 x 50 or 32 x 32,
// falling back to the default picture.
//
// Row type: 0 stored, not classified; 1 the account owner; 2 another user met in
// the fetched data.
//
// Avatar downloads: at most one at a time, and none while users.getInfo runs. A
// picture address that answered with a status outside 2xx, with a body that is no
// picture, or with a transport failure is marked as failed: asking for it again
// gives avatarUpdateFailed() at once and sends nothing, until users.getInfo or a
// profile record brings that address again. A good download clears both pixmap
// caches before avatarUpdated(). The pool keeps an earlier file on any failure.
//
// No Qt parent: the owner deletes it; its calls are its Qt children.
class CFacebookUser : public IMediaUser
{
    Q_OBJECT
public:
    enum Type
    {
        Unclassified = 0,
        Owner = MeskUserType::OwnAccount,
        Contact = MeskUserType::Contact
    };

    CFacebookUser(CFacebookApi* api, IMediaItemStorage* storage, QObject* owner = nullptr);
    ~CFacebookUser() override;

    // The user of a stored row; null when it cannot be read.
    static CFacebookUser* load(CFacebookApi* api, IMediaItemStorage* storage, mid_t id,
                               QObject* owner = nullptr);
    // Stores a new row of type 0 from a profile record; its id, or 0.
    static mid_t addUser(IMediaItemStorage* storage, const SFacebookUser& info, mid_t provider);
    // Stores a new row of type 0 that knows only the uid; its id, or 0.
    static mid_t addBareUser(IMediaItemStorage* storage, const QString& uid, mid_t provider);

    QString avatarFile() const override { return m_user.avatarFile; }
    QPixmap defaultAvatar() const override;
    // Downloads the picture when its address is known; asks users.getInfo first for a
    // user that has neither address nor name.
    void updateAvatar() override;
    QPixmap avatar() const override;
    QPixmap smallAvatar() const override;
    QString name() const override { return m_user.name; }
    SServiceUser serviceUser() const override { return m_user; }

    QString url() const { return m_user.url; }
    QString mediaId() const { return m_user.mediaId; }

    // Takes name and picture address from a profile record of this user (other uids
    // are ignored); writes the row and emits userInfoUpdated() when something changed,
    // and downloads a new picture.
    void updateFromInfo(const SFacebookUser& info);
    // Type 1, written at once.
    void markAsOwner();
    // Type 2 unless the row is the owner's.
    void markAsContact();

signals:
    void userInfoUpdated();

private slots:
    void _onUserInfoReady(const SFacebookUser& info);
    void _onUserInfoFailed();
    void _onAvatarLoaded();
    void _onAvatarFailed();

private:
    void requestUserInfo();
    void startAvatarDownload();
    // A new picture address: a fresh avatar file path, and the failure mark of that
    // address cleared (it is worth another try).
    void takeAvatarUrl(const QString& url);
    bool writeRow(const char* failure);

    CFacebookApi* m_api;
    CFacebookUserInfo* m_userInfoCall = nullptr;
    CMeskHttpMethod* m_avatarCall = nullptr;
    IMediaItemStorage* m_storage;
    SServiceUser m_user;
    // No picture to show: updateAvatar() fetches it.
    TMeskAvatarPictures m_avatarPictures{[this] { updateAvatar(); }, [this] { return defaultAvatar(); }};
    QString m_downloadUrl; // the address of the running download
    QString m_failedUrl;   // the address marked as failed
};

// What a Facebook event row shows: the "eventType" field.
namespace FacebookEventType {
constexpr int Plain = 0;
constexpr int Photo = 1;
constexpr int Album = 2;
constexpr int Link = 3;
constexpr int CalendarEvent = 4;
constexpr int Video = 5;
constexpr int Message = 6;
constexpr int FriendRequest = 7;
} // namespace FacebookEventType

// The kinds of Facebook event rows (MEDIAITEMS.EXTRA1).
namespace FacebookEventKind {
inline QString post()
{
    return QStringLiteral("spost");
}
inline QString friendRequest()
{
    return QStringLiteral("frequest");
}
inline QString message()
{
    return QStringLiteral("message");
}
} // namespace FacebookEventKind

// One Facebook feed event over its stored row (types 1 to 4): a stream post or the
// user's own status ("spost"), a friend request ("frequest") or a mailbox message
// ("message"). Fields: "likeCount", "commentsCount", "userLikes" (posts only) and
// "eventType". The counts are written through at each change, so a reload gives
// the same values.
//
// Photos, videos, links, calendar events and comments hang under it as child rows.
// Likes, unlikes and comments go out through its own call objects (its Qt
// children); a like or unlike that fails emits likeFailed() and changes nothing.
//
// No Qt parent: the owner (the object manager) deletes it.
class CFacebookEvent : public IMediaEventItem
{
    Q_OBJECT
public:
    CFacebookEvent(CFacebookApi* api, IMediaItemStorage* storage, QObject* owner = nullptr);
    ~CFacebookEvent() override;

    // Row writers: each stores the row with its fields and returns its id, or 0.
    static mid_t addPost(CFacebookApi* api, IMediaItemStorage* storage, const SFacebookStreamPost& post,
                         mid_t provider, mid_t user);
    static mid_t addStatus(IMediaItemStorage* storage, const QString& postId, const QString& text,
                           mid_t provider, mid_t user);
    static mid_t addFriendRequest(IMediaItemStorage* storage, const QString& uid, mid_t provider, mid_t user);
    static mid_t addMessage(IMediaItemStorage* storage, const SFacebookMessage& message, mid_t provider,
                            mid_t user);
    // The event of a stored row of type 1 to 4; null otherwise.
    static CFacebookEvent* load(CFacebookApi* api, IMediaItemStorage* storage, mid_t id,
                                QObject* owner = nullptr);

    // The eventType and the row type a stream post is stored with.
    static int postEventType(const SFacebookStreamPost& post, int* itemType = nullptr);

    SMediaItem mediaItem() const { return m_item; }
    QString text() const { return m_item.content; }
    QDateTime created() const { return m_item.created; }
    int likeCount() const { return m_likeCount; }
    int commentsCount() const { return m_commentsCount; }
    int eventType() const { return m_eventType; }
    bool userLikes() const { return m_userLikes; }

    // Takes the counts of a fresh stream post; emits updated() and returns true when
    // either changed.
    bool update(const SFacebookStreamPost& post);
    // The same without the signal, for a caller that emits it once its batch is in.
    bool applyCounts(const SFacebookStreamPost& post);
    void refreshCommentsCount(int count);
    void setCommentsCount(int count);
    void setLikeCount(int count);
    // Reads the counts from the stored fields again (after a rolled-back batch).
    // False, with the object as it was, when the fields cannot be read.
    bool reloadFields();

    bool attachPhoto(CFacebookPhoto* photo);
    bool attachVideo(CFacebookVideo* video);
    bool attachLink(CFacebookLink* link);
    bool attachCalendarEvent(CFacebookCalendarEvent* event);
    bool attachComment(CFacebookComment* comment);

    // Child rows in storage order: photos, videos, links and calendar events; comments.
    QList<SMediaItem> mediaObjects() const;
    // ok (when given) is false when the stored comments cannot be read.
    QList<SMediaItem> comments(bool* ok = nullptr) const;

    // False while a call of the same kind still runs, or when the request cannot start.
    bool addLike();
    bool removeLike();
    // The poster of this post's comments, posting as the user with that uid.
    IMediaCommentPoster* commentPoster(const QString& posterUserId);

signals:
    void updated();
    void commentAdded(const QString& commentId, const QString& text);
    void likeAdded();
    void likeRemoved();
    void likeFailed();

private slots:
    void _onCommentPosted(const QString& postId, const QString& commentId, const QString& text);
    void _onLikeAdded();
    void _onLikeRemoved();

private:
    static mid_t addRow(IMediaItemStorage* storage, SMediaItem& item, const QHash<QString, QString>& fields);
    void likeDone(bool liked);

    CFacebookApi* m_api;
    CFacebookCommentPoster* m_commentPoster = nullptr;
    CFacebookAddLike* m_addLikeCall = nullptr;
    CFacebookRemoveLike* m_removeLikeCall = nullptr;
    int m_eventType = FacebookEventType::Plain;
    SMediaItem m_item;
    IMediaItemStorage* m_storage;
    int m_likeCount = 0;
    int m_commentsCount = 0;
    QString m_posterUserId;
    bool m_userLikes = false;
};

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
    TMeskDownloadStart startThumbnail();
    TMeskDownloadStart startOriginal();
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

// The item types the Facebook provider adds to the core's: the comments on a post
// and the calendar event a post announces. Both hang under a feed event; the
// grouped queries of the storage never list them.
namespace FacebookItemType {
constexpr int Comment = 8;
constexpr int CalendarEvent = 9;
} // namespace FacebookItemType

// One comment on a post (item type 8), over its stored item. A comment has no
// fields. It has no Qt parent: its owner deletes it.
class CFacebookComment : public QObject
{
    Q_OBJECT
public:
    CFacebookComment(CFacebookApi* api, IMediaItemStorage* storage, QObject* owner = nullptr);
    ~CFacebookComment() override;

    // The comment of a stored item; null when the item cannot be read or is no comment.
    static CFacebookComment* load(CFacebookApi* api, IMediaItemStorage* storage, mid_t id,
                                  QObject* owner = nullptr);
    // Stores a fetched comment, dated by its "time"; the new item's id, or 0.
    static mid_t create(CFacebookApi* api, IMediaItemStorage* storage, const SFacebookComment& comment,
                        mid_t provider, mid_t user);
    // Stores a comment the user has just posted, dated now; the new item's id, or 0.
    static mid_t createPosted(CFacebookApi* api, IMediaItemStorage* storage, const QString& commentId,
                              const QString& text, mid_t provider, mid_t user);

    // Attaches the comment to its event and writes the item back; the storage's result.
    bool setParent(mid_t parent);

    QString text() const { return m_item.content; }
    mid_t userId() const { return m_item.user; }
    QDateTime created() const { return m_item.created; }
    SMediaItem mediaItem() const { return m_item; }

private:
    static mid_t store(IMediaItemStorage* storage, SMediaItem& item);

    CFacebookApi* m_api;
    IMediaItemStorage* m_storage;
    SMediaItem m_item;
};

// The calendar event a post's attachment announces (item type 9): its page, its
// name and description, and the attachment's properties in the order the service
// listed them. It has no Qt parent: its owner deletes it.
class CFacebookCalendarEvent : public QObject
{
    Q_OBJECT
public:
    CFacebookCalendarEvent(CFacebookApi* api, IMediaItemStorage* storage, QObject* owner = nullptr);
    ~CFacebookCalendarEvent() override;

    static CFacebookCalendarEvent* load(CFacebookApi* api, IMediaItemStorage* storage, mid_t id,
                                        QObject* owner = nullptr);
    // Stores the calendar event of the post's attachment with one field per property
    // (a repeated name keeps its first place and takes the later text), then
    // "eventName" and "eventDescr"; the new item's id, or 0.
    static mid_t create(CFacebookApi* api, IMediaItemStorage* storage, const SFacebookStreamPost& post,
                        mid_t provider, mid_t user);

    bool setParent(mid_t parent);

    QString url() const { return m_item.content; }
    QString name() const { return m_name; }
    QString description() const { return m_description; }
    QList<SFacebookProperty> properties() const { return m_properties; }
    SMediaItem mediaItem() const { return m_item; }

private:
    CFacebookApi* m_api;
    IMediaItemStorage* m_storage;
    SMediaItem m_item;
    QString m_name;
    QString m_description;
    QList<SFacebookProperty> m_properties;
};
