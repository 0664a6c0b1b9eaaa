#pragma once

#include "facebookrecords.h"
#include "imediaobjects.h"

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QString>

class CFacebookAddLike;
class CFacebookApi;
class CFacebookCalendarEvent;
class CFacebookComment;
class CFacebookCommentPoster;
class CFacebookLink;
class CFacebookPhoto;
class CFacebookRemoveLike;
class CFacebookVideo;
class IMediaCommentPoster;
class IMediaItemStorage;

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
    void reloadFields();

    bool attachPhoto(CFacebookPhoto* photo);
    bool attachVideo(CFacebookVideo* video);
    bool attachLink(CFacebookLink* link);
    bool attachCalendarEvent(CFacebookCalendarEvent* event);
    bool attachComment(CFacebookComment* comment);

    // Child rows in storage order: photos, videos, links and calendar events; comments.
    QList<SMediaItem> mediaObjects() const;
    QList<SMediaItem> comments() const;

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
