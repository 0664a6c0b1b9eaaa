#pragma once

#include <QDateTime>
#include <QList>
#include <QMetaType>
#include <QString>
#include <QStringList>

// Value records of the Facebook REST answers. Every field is text as the service
// sent it; a field whose element was missing stays empty. Times are decimal
// seconds since 1970-01-01 UTC, left for the consumers to convert.

// A user of the service.
class SFacebookUser
{
public:
    QString uid;
    QString name;
    QString profileUrl;
    QString picSquare; // the square profile picture (the avatar)

    bool operator==(const SFacebookUser&) const = default;
};

// One photo.
class SFacebookPhotoInfo
{
public:
    QString pid;
    QString aid;
    QString owner;
    QString srcSmall;
    QString srcBig;
    QString src;
    QString link;
    QString caption;
    QString created;

    bool operator==(const SFacebookPhotoInfo&) const = default;
};

// One medium of a post's attachment.
class SFacebookMedia
{
public:
    QString pid;   // photos only
    QString aid;   // photos only
    QString owner; // starts as the post's actor
    QString type;  // "photo", "video", "link" or another text of the service
    QString created;
    QString href;
    QString src;        // thumbnail
    QString sourceUrl;  // videos only
    QString sourceType; // videos only: "raw" or "html"
    QString alt;

    bool operator==(const SFacebookMedia&) const = default;
};

// A name/text pair shown under an attachment.
class SFacebookProperty
{
public:
    QString name;
    QString text;

    bool operator==(const SFacebookProperty&) const = default;
};

class SFacebookAttachment
{
public:
    QString fbObjectId;
    QString fbObjectType;
    QString name;
    QString href;
    QString caption;
    QString description;
    QString icon;
    QList<SFacebookMedia> media;         // document order
    QList<SFacebookProperty> properties; // document order

    bool operator==(const SFacebookAttachment&) const = default;
};

class SFacebookComment
{
public:
    QString id;
    QString fromId; // the author's user id
    QString time;
    QString text;

    bool operator==(const SFacebookComment&) const = default;
};

// One post of the stream.
class SFacebookStreamPost
{
public:
    QString postId;
    QString actorId;  // the author
    QString targetId; // the user the post is addressed to
    QString message;
    QString createdTime;
    QString permalink;
    QString likesCount;
    QString userLikes; // "1" when the signed-in user likes the post
    QString commentsCount;
    SFacebookAttachment attachment;
    QList<SFacebookComment> comments; // the comments delivered with the post
    bool hasAttachment = false;       // the post carried an attachment with content

    bool operator==(const SFacebookStreamPost&) const = default;
};

class SFacebookNotifications
{
public:
    QString unreadMessages;
    QString unreadPokes;
    QStringList friendRequests; // ids of the users asking for friendship

    bool operator==(const SFacebookNotifications&) const = default;
};

// One mailbox message.
class SFacebookMessage
{
public:
    QString messageId;
    QString authorId;
    QString body;
    QString createdTime;

    bool operator==(const SFacebookMessage&) const = default;
};

Q_DECLARE_METATYPE(SFacebookUser)
Q_DECLARE_METATYPE(SFacebookPhotoInfo)
Q_DECLARE_METATYPE(SFacebookMedia)
Q_DECLARE_METATYPE(SFacebookProperty)
Q_DECLARE_METATYPE(SFacebookAttachment)
Q_DECLARE_METATYPE(SFacebookComment)
Q_DECLARE_METATYPE(SFacebookStreamPost)
Q_DECLARE_METATYPE(SFacebookNotifications)
Q_DECLARE_METATYPE(SFacebookMessage)

// A time of the service (decimal seconds since 1970-01-01 UTC) as a UTC date-time;
// a null date-time when the text is not a whole number.
QDateTime facebookDateTime(const QString& secondsSince1970);

// Registers the records and the lists of them with Qt's type system, so queued
// and string-based connections can carry them. Safe to call more than once.
void registerFacebookMetaTypes();
