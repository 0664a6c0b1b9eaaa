#include "facebookanswers.h"

namespace {

const char kXmlHead[] = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";

QString el(const char* name, const QString& text)
{
    return QStringLiteral("<%1>%2</%1>").arg(QLatin1String(name), text.toHtmlEscaped());
}

QByteArray document(const char* top, const QString& content, bool list = false)
{
    QByteArray body = kXmlHead;
    body += '<';
    body += top;
    body += " xmlns=\"http://api.facebook.com/1.0/\"";
    if (list)
        body += " list=\"true\"";
    body += '>';
    body += content.toUtf8();
    body += "</";
    body += top;
    body += ">\n";
    return body;
}

QString baseOr(const QString& base)
{
    return base.isEmpty() ? QStringLiteral("http://127.0.0.1") : base;
}

QString mediaElement(const SFacebookMedia& media)
{
    QString out = QStringLiteral("<stream_media>") + el("href", media.href) + el("alt", media.alt) +
                  el("type", media.type) + el("src", media.src);
    if (media.type == QLatin1String("photo")) {
        out += QStringLiteral("<photo>") + el("aid", media.aid) + el("pid", media.pid) +
               el("owner", media.owner) + QStringLiteral("</photo>");
    } else if (media.type == QLatin1String("video")) {
        out += QStringLiteral("<video>") + el("display_url", media.href) + el("source_url", media.sourceUrl) +
               el("owner", media.owner) + el("source_type", media.sourceType) + QStringLiteral("</video>");
    }
    return out + QStringLiteral("</stream_media>");
}

QString attachmentElement(const SFacebookStreamPost& post)
{
    if (!post.hasAttachment)
        return QStringLiteral("<attachment/>");
    const SFacebookAttachment& a = post.attachment;
    QString out = QStringLiteral("<attachment><media list=\"true\">");
    for (const SFacebookMedia& media : a.media)
        out += mediaElement(media);
    out += QStringLiteral("</media>") + el("name", a.name) + el("href", a.href) + el("caption", a.caption) +
           el("description", a.description) + QStringLiteral("<properties list=\"true\">");
    for (const SFacebookProperty& property : a.properties)
        out += QStringLiteral("<stream_property>") + el("name", property.name) + el("text", property.text) +
               QStringLiteral("</stream_property>");
    out += QStringLiteral("</properties>") + el("icon", a.icon) + el("fb_object_type", a.fbObjectType) +
           el("fb_object_id", a.fbObjectId) + QStringLiteral("</attachment>");
    return out;
}

QString commentElement(const SFacebookComment& comment)
{
    return QStringLiteral("<comment>") + el("fromid", comment.fromId) + el("time", comment.time) +
           el("text", comment.text) + el("id", comment.id) + QStringLiteral("</comment>");
}

QString photoElement(const SFacebookPhotoInfo& photo)
{
    return QStringLiteral("<photo>") + el("pid", photo.pid) + el("aid", photo.aid) +
           el("owner", photo.owner) + el("src_small", photo.srcSmall) + el("src_big", photo.srcBig) +
           el("src", photo.src) + el("link", photo.link) + el("caption", photo.caption) +
           el("created", photo.created) + QStringLiteral("</photo>");
}

} // namespace

namespace FacebookAnswers {

QByteArray stream(const QList<SFacebookStreamPost>& posts, const QList<SFacebookUser>& profiles)
{
    QString content = QStringLiteral("<posts list=\"true\">");
    for (const SFacebookStreamPost& post : posts) {
        QString comments;
        for (const SFacebookComment& comment : post.comments)
            comments += commentElement(comment);
        content += QStringLiteral("<stream_post>") + el("post_id", post.postId) +
                   el("actor_id", post.actorId) + el("target_id", post.targetId) +
                   el("message", post.message) + el("created_time", post.createdTime) +
                   attachmentElement(post) + QStringLiteral("<comments><can_post>1</can_post>") +
                   el("count", post.commentsCount) + QStringLiteral("<comment_list list=\"true\">") +
                   comments + QStringLiteral("</comment_list></comments><likes>") +
                   el("count", post.likesCount) + el("user_likes", post.userLikes) +
                   QStringLiteral("</likes>") + el("permalink", post.permalink) +
                   QStringLiteral("</stream_post>");
    }
    content += QStringLiteral("</posts><profiles list=\"true\">");
    for (const SFacebookUser& user : profiles) {
        content += QStringLiteral("<profile>") + el("id", user.uid) + el("url", user.profileUrl) +
                   el("name", user.name) + el("pic_square", user.picSquare) +
                   el("type", QStringLiteral("user")) + QStringLiteral("</profile>");
    }
    content += QStringLiteral("</profiles><albums list=\"true\"/>");
    return document("stream_get_response", content);
}

QByteArray notifications(const SFacebookNotifications& notifications)
{
    QString uids;
    for (const QString& uid : notifications.friendRequests)
        uids += el("uid", uid);
    return document("notifications_get_response",
                    QStringLiteral("<messages>") + el("unread", notifications.unreadMessages) +
                        QStringLiteral("</messages><pokes>") + el("unread", notifications.unreadPokes) +
                        QStringLiteral("</pokes><friend_requests list=\"true\">") + uids +
                        QStringLiteral("</friend_requests>"));
}

QByteArray threads(const QList<Thread>& threads)
{
    QString content;
    for (const Thread& thread : threads) {
        content += QStringLiteral("<thread>") + el("thread_id", thread.threadId) +
                   el("message_count", QString::number(thread.messages.size())) +
                   el("unread", QString::number(thread.unread)) + QStringLiteral("<messages list=\"true\">");
        for (const SFacebookMessage& message : thread.messages) {
            content += QStringLiteral("<message>") + el("message_id", message.messageId) +
                       el("thread_id", thread.threadId) + el("author_id", message.authorId) +
                       el("body", message.body) + el("created_time", message.createdTime) +
                       QStringLiteral("<attachment/></message>");
        }
        content += QStringLiteral("</messages></thread>");
    }
    return document("message_getThreadsInFolder_response", content, true);
}

QByteArray fqlPhotos(const QList<SFacebookPhotoInfo>& photos)
{
    QString content;
    for (const SFacebookPhotoInfo& photo : photos)
        content += photoElement(photo);
    return document("fql_query_response", content, true);
}

QByteArray comments(const QList<SFacebookComment>& comments)
{
    QString content;
    for (const SFacebookComment& comment : comments)
        content += commentElement(comment);
    return document("stream_getComments_response", content, true);
}

SFacebookUser profile(const QString& uid, const QString& name, const QString& base)
{
    SFacebookUser user;
    user.uid = uid;
    user.name = name;
    user.profileUrl = baseOr(base) + QStringLiteral("/profile.php?id=") + uid;
    user.picSquare = baseOr(base) + QStringLiteral("/media/avatar_%1.jpg").arg(uid);
    return user;
}

SFacebookStreamPost post(const QString& postId, const QString& actorId, const QString& message,
                         const QString& created)
{
    SFacebookStreamPost p;
    p.postId = postId;
    p.actorId = actorId;
    p.message = message;
    p.createdTime = created;
    p.likesCount = QStringLiteral("0");
    p.userLikes = QStringLiteral("0");
    p.commentsCount = QStringLiteral("0");
    return p;
}

SFacebookMedia photoMedia(const QString& pid, const QString& aid, const QString& owner, const QString& base)
{
    SFacebookMedia media;
    media.type = QStringLiteral("photo");
    media.pid = pid;
    media.aid = aid;
    media.owner = owner;
    media.href = baseOr(base) + QStringLiteral("/photo.php?pid=") + pid;
    media.src = baseOr(base) + QStringLiteral("/media/photo_%1_s.jpg").arg(pid);
    media.alt = QStringLiteral("Photo ") + pid;
    return media;
}

SFacebookPhotoInfo photoInfo(const QString& pid, const QString& aid, const QString& owner,
                             const QString& created, const QString& base)
{
    SFacebookPhotoInfo info;
    info.pid = pid;
    info.aid = aid;
    info.owner = owner;
    info.srcSmall = baseOr(base) + QStringLiteral("/media/photo_%1_s.jpg").arg(pid);
    info.srcBig = baseOr(base) + QStringLiteral("/media/photo_%1_n.jpg").arg(pid);
    info.src = baseOr(base) + QStringLiteral("/media/photo_%1.jpg").arg(pid);
    info.link = baseOr(base) + QStringLiteral("/photo.php?pid=") + pid;
    info.caption = QStringLiteral("Photo ") + pid;
    info.created = created;
    return info;
}

SFacebookComment comment(const QString& id, const QString& fromId, const QString& time, const QString& text)
{
    return {id, fromId, time, text};
}

QList<SFacebookUser> generateProfiles(int count, int first, const QString& base)
{
    QList<SFacebookUser> users;
    users.reserve(count);
    for (int i = 0; i < count; ++i) {
        const QString uid = QString::number(first + i);
        users.append(profile(uid, QStringLiteral("User ") + uid, base));
    }
    return users;
}

QList<SFacebookStreamPost> generatePosts(int count, const QList<SFacebookUser>& profiles, int firstId,
                                         const QString& base)
{
    QList<SFacebookStreamPost> posts;
    posts.reserve(count);
    const qint64 newest = 1262304000;
    for (int i = 0; i < count; ++i) {
        const int number = firstId + i;
        const QString actor =
            profiles.isEmpty() ? QStringLiteral("1000") : profiles.at(i % profiles.size()).uid;
        const QString id = actor + QLatin1Char('_') + QString::number(number);
        const QString created = QString::number(newest - 60 * i);
        SFacebookStreamPost p = post(id, actor, QStringLiteral("Post %1").arg(number), created);
        SFacebookAttachment& a = p.attachment;
        switch (i % 6) {
        case 0: // plain
            break;
        case 1:
        case 2: { // one or two photos
            p.hasAttachment = true;
            a.fbObjectType = QStringLiteral("photo");
            a.media.append(photoMedia(id + QStringLiteral("_p1"), QString(), actor, base));
            if (i % 6 == 2) {
                a.fbObjectType = QStringLiteral("album");
                const QString aid = id + QStringLiteral("_a");
                a.media.first().aid = aid;
                a.media.append(photoMedia(id + QStringLiteral("_p2"), aid, actor, base));
            }
            break;
        }
        case 3: // link
            p.hasAttachment = true;
            a.fbObjectType = QStringLiteral("link");
            a.name = QStringLiteral("Article %1").arg(number);
            a.href = baseOr(base) + QStringLiteral("/articles/%1").arg(number);
            a.caption = QStringLiteral("example.org");
            break;
        case 4: { // video
            p.hasAttachment = true;
            a.fbObjectType = QStringLiteral("video");
            a.fbObjectId = id + QStringLiteral("_v");
            a.name = QStringLiteral("Video %1").arg(number);
            SFacebookMedia media;
            media.type = QStringLiteral("video");
            media.href = baseOr(base) + QStringLiteral("/video/video.php?v=%1").arg(number);
            media.src = baseOr(base) + QStringLiteral("/media/video_%1_s.jpg").arg(number);
            media.sourceUrl = baseOr(base) + QStringLiteral("/media/video_%1.mp4").arg(number);
            media.sourceType = QStringLiteral("raw");
            media.owner = actor;
            a.media.append(media);
            break;
        }
        default: // calendar event
            p.hasAttachment = true;
            a.fbObjectType = QStringLiteral("event");
            a.fbObjectId = QStringLiteral("e%1").arg(number);
            a.name = QStringLiteral("Party %1").arg(number);
            a.href = baseOr(base) + QStringLiteral("/event.php?eid=e%1").arg(number);
            a.description = QStringLiteral("Bring friends");
            a.properties = {{QStringLiteral("When"), QStringLiteral("Friday")},
                            {QStringLiteral("Where"), QStringLiteral("Here")}};
            break;
        }
        const QString author = profiles.isEmpty() ? actor : profiles.at((i + 1) % profiles.size()).uid;
        p.comments = {comment(id + QStringLiteral("_c1"), author, created, QStringLiteral("Nice")),
                      comment(id + QStringLiteral("_c2"), actor, created, QStringLiteral("Thanks"))};
        p.commentsCount = QStringLiteral("2");
        posts.append(p);
    }
    return posts;
}

} // namespace FacebookAnswers
