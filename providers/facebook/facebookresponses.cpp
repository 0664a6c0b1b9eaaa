#include "facebookresponses.h"

#include "meskxml.h"

#include <QDomDocument>

namespace {

// True when the element's text is a decimal number other than 0.
bool isNonZeroNumber(const QDomElement& element)
{
    bool ok = false;
    const qint64 value = element.text().trimmed().toLongLong(&ok);
    return ok && value != 0;
}

// True when the element holds a child element or text other than blanks.
bool hasContent(const QDomElement& element)
{
    return !element.firstChildElement().isNull() || !element.text().trimmed().isEmpty();
}

void parseUserElement(const QDomElement& element, SFacebookUser& user)
{
    user.uid = sFacebookChildText(element, QStringLiteral("uid"));
    user.name = sFacebookChildText(element, QStringLiteral("name"));
    user.picSquare = sFacebookChildText(element, QStringLiteral("pic_square"));
    user.profileUrl = sFacebookChildText(element, QStringLiteral("profile_url"));
}

void parseProfileElement(const QDomElement& element, SFacebookUser& user)
{
    user.uid = sFacebookChildText(element, QStringLiteral("id"));
    user.name = sFacebookChildText(element, QStringLiteral("name"));
    user.picSquare = sFacebookChildText(element, QStringLiteral("pic_square"));
    user.profileUrl = sFacebookChildText(element, QStringLiteral("url"));
}

void parseMediaElement(const QDomElement& element, const QString& actorId, const QString& createdTime,
                       SFacebookAttachment& attachment)
{
    SFacebookMedia media;
    media.type = sFacebookChildText(element, QStringLiteral("type"));
    media.href = sFacebookChildText(element, QStringLiteral("href"));
    media.src = sFacebookChildText(element, QStringLiteral("src"));
    media.alt = sFacebookChildText(element, QStringLiteral("alt"));
    media.owner = actorId;
    media.created = createdTime;
    if (media.type == QLatin1String("photo")) {
        const QDomElement photo = element.firstChildElement(QStringLiteral("photo"));
        if (!photo.isNull()) {
            media.pid = sFacebookChildText(photo, QStringLiteral("pid"));
            media.aid = sFacebookChildText(photo, QStringLiteral("aid"));
            media.owner = sFacebookChildText(photo, QStringLiteral("owner"));
        }
    } else if (media.type == QLatin1String("video")) {
        const QDomElement video = element.firstChildElement(QStringLiteral("video"));
        if (!video.isNull()) {
            media.sourceUrl = sFacebookChildText(video, QStringLiteral("source_url"));
            media.owner = sFacebookChildText(video, QStringLiteral("owner"));
            media.sourceType = sFacebookChildText(video, QStringLiteral("source_type"));
        }
    } else if (media.type == QLatin1String("link")) {
        attachment.fbObjectType = QStringLiteral("link");
    }
    attachment.media.append(media);
}

} // namespace

QString sFacebookChildText(const QDomElement& element, const QString& name)
{
    return element.firstChildElement(name).text();
}

bool sFacebookParsePhotoElement(const QDomElement& element, SFacebookPhotoInfo& photo)
{
    if (element.isNull())
        return false;
    photo.pid = sFacebookChildText(element, QStringLiteral("pid"));
    photo.aid = sFacebookChildText(element, QStringLiteral("aid"));
    photo.owner = sFacebookChildText(element, QStringLiteral("owner"));
    photo.srcSmall = sFacebookChildText(element, QStringLiteral("src_small"));
    photo.srcBig = sFacebookChildText(element, QStringLiteral("src_big"));
    photo.src = sFacebookChildText(element, QStringLiteral("src"));
    photo.link = sFacebookChildText(element, QStringLiteral("link"));
    photo.caption = sFacebookChildText(element, QStringLiteral("caption"));
    photo.created = sFacebookChildText(element, QStringLiteral("created"));
    return true;
}

void sFacebookParseStreamPostElement(const QDomElement& element, SFacebookStreamPost& post)
{
    post.postId = sFacebookChildText(element, QStringLiteral("post_id"));
    post.actorId = sFacebookChildText(element, QStringLiteral("actor_id"));
    post.targetId = sFacebookChildText(element, QStringLiteral("target_id"));
    post.message = sFacebookChildText(element, QStringLiteral("message"));
    post.createdTime = sFacebookChildText(element, QStringLiteral("created_time"));
    post.permalink = sFacebookChildText(element, QStringLiteral("permalink"));

    const QDomElement attachment = element.firstChildElement(QStringLiteral("attachment"));
    post.hasAttachment = !attachment.isNull() && hasContent(attachment);
    if (post.hasAttachment)
        sFacebookParseAttachmentElement(attachment, post.actorId, post.createdTime, post.attachment);

    const QDomElement comments = element.firstChildElement(QStringLiteral("comments"));
    if (!comments.isNull()) {
        post.commentsCount = sFacebookChildText(comments, QStringLiteral("count"));
        const QDomElement list = comments.firstChildElement(QStringLiteral("comment_list"));
        if (!list.isNull())
            sFacebookParseCommentListElement(list, post.comments);
    }

    const QDomElement likes = element.firstChildElement(QStringLiteral("likes"));
    if (!likes.isNull()) {
        post.likesCount = sFacebookChildText(likes, QStringLiteral("count"));
        post.userLikes = sFacebookChildText(likes, QStringLiteral("user_likes"));
    }
}

void sFacebookParseAttachmentElement(const QDomElement& element, const QString& actorId,
                                     const QString& createdTime, SFacebookAttachment& attachment)
{
    attachment.fbObjectId = sFacebookChildText(element, QStringLiteral("fb_object_id"));
    attachment.fbObjectType = sFacebookChildText(element, QStringLiteral("fb_object_type"));
    attachment.name = sFacebookChildText(element, QStringLiteral("name"));
    attachment.href = sFacebookChildText(element, QStringLiteral("href"));
    attachment.icon = sFacebookChildText(element, QStringLiteral("icon"));
    attachment.caption = sFacebookChildText(element, QStringLiteral("caption"));
    attachment.description = sFacebookChildText(element, QStringLiteral("description"));

    const QDomElement media = element.firstChildElement(QStringLiteral("media"));
    for (QDomElement e = media.firstChildElement(QStringLiteral("stream_media")); !e.isNull();
         e = e.nextSiblingElement(QStringLiteral("stream_media"))) {
        parseMediaElement(e, actorId, createdTime, attachment);
    }

    const QDomElement properties = element.firstChildElement(QStringLiteral("properties"));
    for (QDomElement e = properties.firstChildElement(QStringLiteral("stream_property")); !e.isNull();
         e = e.nextSiblingElement(QStringLiteral("stream_property"))) {
        SFacebookProperty property;
        property.name = sFacebookChildText(e, QStringLiteral("name"));
        property.text = sFacebookChildText(e, QStringLiteral("text"));
        attachment.properties.append(property);
    }
}

void sFacebookParseCommentListElement(const QDomElement& element, QList<SFacebookComment>& comments)
{
    for (QDomElement e = element.firstChildElement(QStringLiteral("comment")); !e.isNull();
         e = e.nextSiblingElement(QStringLiteral("comment"))) {
        SFacebookComment comment;
        comment.id = sFacebookChildText(e, QStringLiteral("id"));
        comment.fromId = sFacebookChildText(e, QStringLiteral("fromid"));
        comment.time = sFacebookChildText(e, QStringLiteral("time"));
        comment.text = sFacebookChildText(e, QStringLiteral("text"));
        comments.append(comment);
    }
}

void sFacebookParseMessageElement(const QDomElement& element, SFacebookMessage& message)
{
    message.messageId = sFacebookChildText(element, QStringLiteral("message_id"));
    message.authorId = sFacebookChildText(element, QStringLiteral("author_id"));
    message.body = sFacebookChildText(element, QStringLiteral("body"));
    message.createdTime = sFacebookChildText(element, QStringLiteral("created_time"));
}

bool sFacebookParseErrorDocument(const QDomDocument& doc, int& code, QString& message)
{
    const QDomElement top = doc.firstChildElement(QStringLiteral("error_response"));
    if (top.isNull())
        return false;
    code = sFacebookChildText(top, QStringLiteral("error_code")).trimmed().toInt();
    message = sFacebookChildText(top, QStringLiteral("error_msg"));
    return true;
}

bool sFacebookParseUserInfoDocument(const QDomDocument& doc, SFacebookUser& user)
{
    const QDomElement top = doc.firstChildElement(QStringLiteral("users_getInfo_response"));
    const QDomElement element = top.firstChildElement(QStringLiteral("user"));
    if (element.isNull())
        return false;
    parseUserElement(element, user);
    return true;
}

bool sFacebookParsePhotosDocument(const QDomDocument& doc, SFacebookPhotoInfo& photo)
{
    const QDomElement top = doc.firstChildElement(QStringLiteral("photos_get_response"));
    return sFacebookParsePhotoElement(top.firstChildElement(QStringLiteral("photo")), photo);
}

bool sFacebookParseStreamDocument(const QDomDocument& doc, QList<SFacebookStreamPost>& posts,
                                  QList<SFacebookUser>& users)
{
    const QDomElement top = doc.firstChildElement(QStringLiteral("stream_get_response"));
    const QDomElement postsElement = top.firstChildElement(QStringLiteral("posts"));
    if (postsElement.isNull())
        return false;
    for (QDomElement e = postsElement.firstChildElement(QStringLiteral("stream_post")); !e.isNull();
         e = e.nextSiblingElement(QStringLiteral("stream_post"))) {
        SFacebookStreamPost post;
        sFacebookParseStreamPostElement(e, post);
        posts.append(post);
    }
    const QDomElement profiles = top.firstChildElement(QStringLiteral("profiles"));
    for (QDomElement e = profiles.firstChildElement(QStringLiteral("profile")); !e.isNull();
         e = e.nextSiblingElement(QStringLiteral("profile"))) {
        SFacebookUser user;
        parseProfileElement(e, user);
        users.append(user);
    }
    return true;
}

bool sFacebookParseFqlPhotosDocument(const QDomDocument& doc, QList<SFacebookPhotoInfo>& photos)
{
    const QDomElement top = doc.firstChildElement(QStringLiteral("fql_query_response"));
    if (top.isNull())
        return false;
    for (QDomElement e = top.firstChildElement(QStringLiteral("photo")); !e.isNull();
         e = e.nextSiblingElement(QStringLiteral("photo"))) {
        SFacebookPhotoInfo photo;
        sFacebookParsePhotoElement(e, photo);
        photos.append(photo);
    }
    return true;
}

bool sFacebookParseCommentsDocument(const QDomDocument& doc, QList<SFacebookComment>& comments)
{
    const QDomElement top = doc.firstChildElement(QStringLiteral("stream_getComments_response"));
    if (top.isNull())
        return false;
    sFacebookParseCommentListElement(top, comments);
    return true;
}

bool sFacebookParseNotificationsDocument(const QDomDocument& doc, SFacebookNotifications& notifications)
{
    const QDomElement top = doc.firstChildElement(QStringLiteral("notifications_get_response"));
    if (top.isNull())
        return false;
    const QDomElement messages = top.firstChildElement(QStringLiteral("messages"));
    if (!messages.isNull())
        notifications.unreadMessages = sFacebookChildText(messages, QStringLiteral("unread"));
    const QDomElement pokes = top.firstChildElement(QStringLiteral("pokes"));
    if (!pokes.isNull())
        notifications.unreadPokes = sFacebookChildText(pokes, QStringLiteral("unread"));
    const QDomElement requests = top.firstChildElement(QStringLiteral("friend_requests"));
    for (QDomElement e = requests.firstChildElement(QStringLiteral("uid")); !e.isNull();
         e = e.nextSiblingElement(QStringLiteral("uid"))) {
        const QString uid = e.text();
        if (!uid.isEmpty())
            notifications.friendRequests.append(uid);
    }
    return true;
}

bool sFacebookParseThreadsDocument(const QDomDocument& doc, QList<SFacebookMessage>& messages)
{
    const QDomElement top = doc.firstChildElement(QStringLiteral("message_getThreadsInFolder_response"));
    if (top.isNull())
        return false;
    for (QDomElement thread = top.firstChildElement(QStringLiteral("thread")); !thread.isNull();
         thread = thread.nextSiblingElement(QStringLiteral("thread"))) {
        int unread = sFacebookChildText(thread, QStringLiteral("unread")).trimmed().toInt();
        if (unread <= 0)
            continue;
        const QDomElement list = thread.firstChildElement(QStringLiteral("messages"));
        for (QDomElement e = list.lastChildElement(QStringLiteral("message")); !e.isNull() && unread > 0;
             e = e.previousSiblingElement(QStringLiteral("message")), --unread) {
            SFacebookMessage message;
            sFacebookParseMessageElement(e, message);
            messages.append(message);
        }
    }
    return true;
}

bool sFacebookParsePublishDocument(const QDomDocument& doc, QString& postId)
{
    const QDomElement top = doc.firstChildElement(QStringLiteral("stream_publish_response"));
    if (top.isNull())
        return false;
    postId = top.text();
    return true;
}

bool sFacebookParseAddCommentDocument(const QDomDocument& doc, QString& commentId)
{
    const QDomElement top = doc.firstChildElement(QStringLiteral("stream_addComment_response"));
    if (top.isNull())
        return false;
    commentId = top.text();
    return true;
}

bool sFacebookParseAddLikeDocument(const QDomDocument& doc)
{
    return isNonZeroNumber(doc.firstChildElement(QStringLiteral("stream_addLike_response")));
}

bool sFacebookParseRemoveLikeDocument(const QDomDocument& doc)
{
    return isNonZeroNumber(doc.firstChildElement(QStringLiteral("stream_removeLike_response")));
}

// The body-taking forms read the body through meskReadXml and parse that document.

bool sFacebookParseErrorXml(const QByteArray& body, int& code, QString& message)
{
    QDomDocument doc;
    meskReadXml(body, doc);
    return sFacebookParseErrorDocument(doc, code, message);
}

bool sFacebookParseUserInfoXml(const QByteArray& body, SFacebookUser& user)
{
    QDomDocument doc;
    meskReadXml(body, doc);
    return sFacebookParseUserInfoDocument(doc, user);
}

bool sFacebookParsePhotosXml(const QByteArray& body, SFacebookPhotoInfo& photo)
{
    QDomDocument doc;
    meskReadXml(body, doc);
    return sFacebookParsePhotosDocument(doc, photo);
}

bool sFacebookParseStreamXml(const QByteArray& body, QList<SFacebookStreamPost>& posts,
                             QList<SFacebookUser>& users)
{
    QDomDocument doc;
    meskReadXml(body, doc);
    return sFacebookParseStreamDocument(doc, posts, users);
}

bool sFacebookParseFqlPhotosXml(const QByteArray& body, QList<SFacebookPhotoInfo>& photos)
{
    QDomDocument doc;
    meskReadXml(body, doc);
    return sFacebookParseFqlPhotosDocument(doc, photos);
}

bool sFacebookParseCommentsXml(const QByteArray& body, QList<SFacebookComment>& comments)
{
    QDomDocument doc;
    meskReadXml(body, doc);
    return sFacebookParseCommentsDocument(doc, comments);
}

bool sFacebookParseNotificationsXml(const QByteArray& body, SFacebookNotifications& notifications)
{
    QDomDocument doc;
    meskReadXml(body, doc);
    return sFacebookParseNotificationsDocument(doc, notifications);
}

bool sFacebookParseThreadsXml(const QByteArray& body, QList<SFacebookMessage>& messages)
{
    QDomDocument doc;
    meskReadXml(body, doc);
    return sFacebookParseThreadsDocument(doc, messages);
}

bool sFacebookParsePublishXml(const QByteArray& body, QString& postId)
{
    QDomDocument doc;
    meskReadXml(body, doc);
    return sFacebookParsePublishDocument(doc, postId);
}

bool sFacebookParseAddCommentXml(const QByteArray& body, QString& commentId)
{
    QDomDocument doc;
    meskReadXml(body, doc);
    return sFacebookParseAddCommentDocument(doc, commentId);
}

bool sFacebookParseAddLikeXml(const QByteArray& body)
{
    QDomDocument doc;
    meskReadXml(body, doc);
    return sFacebookParseAddLikeDocument(doc);
}

bool sFacebookParseRemoveLikeXml(const QByteArray& body)
{
    QDomDocument doc;
    meskReadXml(body, doc);
    return sFacebookParseRemoveLikeDocument(doc);
}
