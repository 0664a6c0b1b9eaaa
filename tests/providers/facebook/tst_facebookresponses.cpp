#include "facebookrecords.h"
#include "facebookresponses.h"

#include <QTest>

namespace {

QByteArray doc(const QByteArray& top, const QByteArray& content, const QByteArray& attributes = {})
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<" + top + attributes + ">" + content + "</" + top +
           ">";
}

QByteArray post(const QByteArray& content)
{
    return "<stream_post><post_id>200_1</post_id><actor_id>200</actor_id><created_time>1262300000</"
           "created_time>" +
           content + "</stream_post>";
}

QByteArray stream(const QByteArray& posts, const QByteArray& rest = {})
{
    return doc("stream_get_response", "<posts list=\"true\">" + posts + "</posts>" + rest);
}

SFacebookStreamPost onePost(const QByteArray& content)
{
    QList<SFacebookStreamPost> posts;
    QList<SFacebookUser> users;
    if (!sFacebookParseStreamXml(stream(post(content)), posts, users) || posts.size() != 1)
        return {};
    return posts.constFirst();
}

QByteArray threadXml(int unread, int count, int first = 1)
{
    QByteArray messages;
    for (int i = first; i < first + count; ++i) {
        const QByteArray n = QByteArray::number(i);
        messages += "<message><message_id>m" + n + "</message_id><author_id>a" + n + "</author_id><body>b" +
                    n + "</body><created_time>" + n + "</created_time></message>";
    }
    return "<thread><unread>" + QByteArray::number(unread) + "</unread><messages list=\"true\">" + messages +
           "</messages></thread>";
}

// A stream answer that fills every field of every record once.
const QByteArray kFullStream = stream(
    post("<target_id>300</target_id><message>Hi &amp; bye</message><permalink>http://x/p</permalink>"
         "<attachment><media list=\"true\">"
         "<stream_media><href>http://x/ph</href><alt>A</alt><type>photo</type><src>http://x/s.jpg</src>"
         "<photo><aid>200_7</aid><pid>200_70</pid><owner>201</owner></photo></stream_media>"
         "<stream_media><href>http://x/v</href><type>video</type><src>http://x/v.jpg</src>"
         "<video><source_url>http://x/v.swf</source_url><owner>202</owner><source_type>html</source_type>"
         "</video></stream_media>"
         "</media><name>N</name><href>http://x/a</href><caption>C</caption><description>D</description>"
         "<properties list=\"true\"><stream_property><name>Length</name><text>0:42</text></stream_property>"
         "</properties><icon>http://x/i.gif</icon><fb_object_type>album</fb_object_type>"
         "<fb_object_id>200_7</fb_object_id></attachment>"
         "<comments><count>7</count><comment_list list=\"true\">"
         "<comment><fromid>201</fromid><time>11</time><text>one</text><id>c1</id></comment>"
         "<comment><fromid>202</fromid><time>12</time><text>two</text><id>c2</id></comment>"
         "</comment_list></comments><likes><count>3</count><user_likes>1</user_likes></likes>"),
    "<profiles list=\"true\"><profile><id>200</id><url>http://x/200</url><name>Alice</name>"
    "<pic_square>http://x/200.jpg</pic_square></profile></profiles>");

} // namespace

// Carries every record and list of records in its signals.
class Carrier : public QObject
{
    Q_OBJECT
signals:
    void user(SFacebookUser);
    void users(QList<SFacebookUser>);
    void photo(SFacebookPhotoInfo);
    void photos(QList<SFacebookPhotoInfo>);
    void post(SFacebookStreamPost);
    void posts(QList<SFacebookStreamPost>);
    void attachment(SFacebookAttachment);
    void attachments(QList<SFacebookAttachment>);
    void media(SFacebookMedia);
    void mediaList(QList<SFacebookMedia>);
    void property(SFacebookProperty);
    void properties(QList<SFacebookProperty>);
    void comment(SFacebookComment);
    void comments(QList<SFacebookComment>);
    void notifications(SFacebookNotifications);
    void notificationsList(QList<SFacebookNotifications>);
    void message(SFacebookMessage);
    void messages(QList<SFacebookMessage>);
};

// Sends a value through a queued connection and checks it arrives whole.
template <typename T>
bool roundTrip(Carrier& carrier, void (Carrier::*signal)(T), const T& value, const char* typeName)
{
    if (!QMetaType::fromName(typeName).isValid())
        return false;
    T received{};
    bool got = false;
    const auto connection = QObject::connect(
        &carrier, signal, &carrier,
        [&](const T& v) {
            received = v;
            got = true;
        },
        Qt::QueuedConnection);
    emit(carrier.*signal)(value);
    const bool queued = !got;
    const bool arrived = QTest::qWaitFor([&] { return got; }, 30000);
    QObject::disconnect(connection);
    return queued && arrived && received == value;
}

class TestFacebookResponses : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { registerFacebookMetaTypes(); }

    void fullStreamPost()
    {
        QList<SFacebookStreamPost> posts;
        QList<SFacebookUser> users;
        QVERIFY(sFacebookParseStreamXml(kFullStream, posts, users));
        QCOMPARE(posts.size(), 1);
        const SFacebookStreamPost& p = posts.constFirst();
        QCOMPARE(p.postId, QStringLiteral("200_1"));
        QCOMPARE(p.actorId, QStringLiteral("200"));
        QCOMPARE(p.targetId, QStringLiteral("300"));
        QCOMPARE(p.message, QStringLiteral("Hi & bye"));
        QCOMPARE(p.permalink, QStringLiteral("http://x/p"));
        QCOMPARE(p.commentsCount, QStringLiteral("7"));
        QCOMPARE(p.likesCount, QStringLiteral("3"));
        QCOMPARE(p.userLikes, QStringLiteral("1"));
        QVERIFY(p.hasAttachment);

        const SFacebookAttachment& a = p.attachment;
        QCOMPARE(a.fbObjectType, QStringLiteral("album"));
        QCOMPARE(a.fbObjectId, QStringLiteral("200_7"));
        QCOMPARE(a.name, QStringLiteral("N"));
        QCOMPARE(a.href, QStringLiteral("http://x/a"));
        QCOMPARE(a.caption, QStringLiteral("C"));
        QCOMPARE(a.description, QStringLiteral("D"));
        QCOMPARE(a.icon, QStringLiteral("http://x/i.gif"));
        QCOMPARE(a.properties.size(), 1);
        QCOMPARE(a.properties.constFirst().name, QStringLiteral("Length"));
        QCOMPARE(a.properties.constFirst().text, QStringLiteral("0:42"));

        QCOMPARE(a.media.size(), 2);
        const SFacebookMedia& photo = a.media.at(0);
        QCOMPARE(photo.type, QStringLiteral("photo"));
        QCOMPARE(photo.pid, QStringLiteral("200_70"));
        QCOMPARE(photo.aid, QStringLiteral("200_7"));
        QCOMPARE(photo.owner, QStringLiteral("201")); // the photo's owner replaces the actor
        QCOMPARE(photo.created, QStringLiteral("1262300000"));
        QCOMPARE(photo.href, QStringLiteral("http://x/ph"));
        QCOMPARE(photo.src, QStringLiteral("http://x/s.jpg"));
        QCOMPARE(photo.alt, QStringLiteral("A"));
        const SFacebookMedia& video = a.media.at(1);
        QCOMPARE(video.sourceUrl, QStringLiteral("http://x/v.swf"));
        QCOMPARE(video.owner, QStringLiteral("202"));
        QCOMPARE(video.sourceType, QStringLiteral("html"));
        QVERIFY(video.pid.isEmpty());

        QCOMPARE(p.comments.size(), 2);
        QCOMPARE(p.comments.at(1), (SFacebookComment{"c2", "202", "12", "two"}));

        QCOMPARE(users.size(), 1);
        QCOMPARE(users.constFirst(), (SFacebookUser{"200", "Alice", "http://x/200", "http://x/200.jpg"}));
    }

    void streamWithoutProfiles()
    {
        QList<SFacebookStreamPost> posts;
        QList<SFacebookUser> users;
        QVERIFY(sFacebookParseStreamXml(stream(post({}) + post({})), posts, users));
        QCOMPARE(posts.size(), 2);
        QCOMPARE(users.size(), 0);
    }

    void streamWithoutPosts()
    {
        QList<SFacebookStreamPost> posts;
        QList<SFacebookUser> users;
        QVERIFY(!sFacebookParseStreamXml(doc("stream_get_response", "<profiles/>"), posts, users));
        QVERIFY(posts.isEmpty() && users.isEmpty());
    }

    void photoMediumWithoutPhoto()
    {
        const SFacebookStreamPost p =
            onePost("<attachment><media><stream_media><type>photo</type>"
                    "<src>http://x/s.jpg</src></stream_media></media></attachment>");
        QCOMPARE(p.attachment.media.size(), 1);
        const SFacebookMedia& m = p.attachment.media.constFirst();
        QCOMPARE(m.owner, QStringLiteral("200"));
        QVERIFY(m.pid.isEmpty());
        QVERIFY(m.aid.isEmpty());
        QCOMPARE(m.src, QStringLiteral("http://x/s.jpg"));
    }

    void videoMediumWithoutVideo()
    {
        const SFacebookStreamPost p = onePost(
            "<attachment><media><stream_media><type>video</type></stream_media></media></attachment>");
        QCOMPARE(p.attachment.media.constFirst().owner, QStringLiteral("200"));
        QVERIFY(p.attachment.media.constFirst().sourceUrl.isEmpty());
    }

    void linkMediumMakesLinkAttachment_data()
    {
        QTest::addColumn<QByteArray>("objectType");
        QTest::addColumn<QString>("expected");
        QTest::newRow("empty") << QByteArray("<fb_object_type/>") << "link";
        QTest::newRow("missing") << QByteArray() << "link";
        QTest::newRow("other") << QByteArray("<fb_object_type>note</fb_object_type>") << "link";
    }
    void linkMediumMakesLinkAttachment()
    {
        QFETCH(QByteArray, objectType);
        QFETCH(QString, expected);
        const SFacebookStreamPost p =
            onePost("<attachment><media><stream_media><type>link</type></stream_media>"
                    "</media>" +
                    objectType + "</attachment>");
        QCOMPARE(p.attachment.fbObjectType, expected);
    }

    void attachmentContent_data()
    {
        QTest::addColumn<QByteArray>("element");
        QTest::addColumn<bool>("hasAttachment");
        QTest::newRow("none") << QByteArray() << false;
        QTest::newRow("empty") << QByteArray("<attachment/>") << false;
        QTest::newRow("whitespace") << QByteArray("<attachment>\n   \t </attachment>") << false;
        QTest::newRow("a child") << QByteArray("<attachment><name>N</name></attachment>") << true;
    }
    void attachmentContent()
    {
        QFETCH(QByteArray, element);
        QFETCH(bool, hasAttachment);
        const SFacebookStreamPost p = onePost(element);
        QCOMPARE(p.postId, QStringLiteral("200_1"));
        QCOMPARE(p.hasAttachment, hasAttachment);
        if (!hasAttachment)
            QCOMPARE(p.attachment, SFacebookAttachment());
    }

    void commentsCountAndList()
    {
        const SFacebookStreamPost p = onePost("<comments><count>7</count><comment_list><comment><id>1</id></"
                                              "comment><comment><id>2</id></comment>"
                                              "</comment_list></comments>");
        QCOMPARE(p.commentsCount, QStringLiteral("7"));
        QCOMPARE(p.comments.size(), 2);
        QCOMPARE(p.comments.at(1).id, QStringLiteral("2"));
    }

    void threads_data()
    {
        QTest::addColumn<QByteArray>("threads");
        QTest::addColumn<QStringList>("ids");
        QTest::newRow("unread 2 of 5") << threadXml(2, 5) << QStringList{"m5", "m4"};
        QTest::newRow("unread 0") << threadXml(0, 5) << QStringList();
        QTest::newRow("unread more than listed") << threadXml(9, 2) << QStringList{"m2", "m1"};
        QTest::newRow("unread not a number")
            << QByteArray("<thread><unread>x</unread><messages><message>"
                          "<message_id>m</message_id></message></messages></thread>")
            << QStringList();
        QTest::newRow("two threads") << threadXml(1, 3) + threadXml(0, 2, 10) + threadXml(2, 2, 20)
                                     << QStringList{"m3", "m21", "m20"};
    }
    void threads()
    {
        QFETCH(QByteArray, threads);
        QFETCH(QStringList, ids);
        QList<SFacebookMessage> messages;
        QVERIFY(sFacebookParseThreadsXml(doc("message_getThreadsInFolder_response", threads), messages));
        QStringList actual;
        for (const SFacebookMessage& m : messages)
            actual << m.messageId;
        QCOMPARE(actual, ids);
        if (!messages.isEmpty()) {
            const QString n = ids.constFirst().mid(1);
            QCOMPARE(messages.constFirst(), (SFacebookMessage{ids.constFirst(), QStringLiteral("a") + n,
                                                              QStringLiteral("b") + n, n}));
        }
    }

    void notifications()
    {
        SFacebookNotifications n;
        QVERIFY(sFacebookParseNotificationsXml(
            doc("notifications_get_response",
                "<messages><unread>3</unread></messages><pokes><unread>1</unread></pokes>"
                "<friend_requests><uid>300</uid><uid/><uid>301</uid></friend_requests>"),
            n));
        QCOMPARE(n.unreadMessages, QStringLiteral("3"));
        QCOMPARE(n.unreadPokes, QStringLiteral("1"));
        QCOMPARE(n.friendRequests, (QStringList{"300", "301"}));

        // A later answer without a "messages" element keeps the count the caller holds.
        n.friendRequests.clear();
        QVERIFY(sFacebookParseNotificationsXml(
            doc("notifications_get_response", "<pokes><unread>0</unread></pokes>"), n));
        QCOMPARE(n.unreadMessages, QStringLiteral("3"));
        QCOMPARE(n.unreadPokes, QStringLiteral("0"));
        QVERIFY(n.friendRequests.isEmpty());
    }

    void likes_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<bool>("ok");
        QTest::newRow("1") << QByteArray("1") << true;
        QTest::newRow("0") << QByteArray("0") << false;
        QTest::newRow("blank around 1") << QByteArray(" 1\n") << true;
        QTest::newRow("empty") << QByteArray() << false;
        QTest::newRow("true") << QByteArray("true") << false;
    }
    void likes()
    {
        QFETCH(QByteArray, text);
        QFETCH(bool, ok);
        QCOMPARE(sFacebookParseAddLikeXml(doc("stream_addLike_response", text)), ok);
        QCOMPARE(sFacebookParseRemoveLikeXml(doc("stream_removeLike_response", text)), ok);
        // Each answers only to its own top element.
        QVERIFY(!sFacebookParseAddLikeXml(doc("stream_removeLike_response", text)));
        QVERIFY(!sFacebookParseRemoveLikeXml(doc("stream_addLike_response", text)));
    }

    void idsAndSingleRecords()
    {
        QString id = QStringLiteral("kept");
        QVERIFY(sFacebookParsePublishXml(doc("stream_publish_response", "12345_678"), id));
        QCOMPARE(id, QStringLiteral("12345_678"));
        QVERIFY(sFacebookParseAddCommentXml(doc("stream_addComment_response", "12345_678_9"), id));
        QCOMPARE(id, QStringLiteral("12345_678_9"));

        SFacebookUser user;
        QVERIFY(sFacebookParseUserInfoXml(doc("users_getInfo_response",
                                              "<user><uid>1</uid><name>A</name><pic_square>p</pic_square>"
                                              "<profile_url>u</profile_url></user><user><uid>2</uid></user>"),
                                          user));
        QCOMPARE(user, (SFacebookUser{"1", "A", "u", "p"}));
        QVERIFY(!sFacebookParseUserInfoXml(doc("users_getInfo_response", ""), user));

        SFacebookPhotoInfo photo;
        QVERIFY(sFacebookParsePhotosXml(doc("photos_get_response",
                                            "<photo><pid>p1</pid><caption>c</caption></photo>"
                                            "<photo><pid>p2</pid></photo>"),
                                        photo));
        QCOMPARE(photo.pid, QStringLiteral("p1"));
        QCOMPARE(photo.caption, QStringLiteral("c"));
        QVERIFY(photo.srcBig.isEmpty());
        QVERIFY(!sFacebookParsePhotosXml(doc("photos_get_response", ""), photo));
        QVERIFY(!sFacebookParsePhotoElement(QDomElement(), photo));

        int code = -1;
        QString message;
        QVERIFY(sFacebookParseErrorXml(
            doc("error_response", "<error_code>102</error_code><error_msg>Bad</error_msg>"), code, message));
        QCOMPARE(code, 102);
        QCOMPARE(message, QStringLiteral("Bad"));
        QVERIFY(sFacebookParseErrorXml(doc("error_response", "<error_code>x</error_code>"), code, message));
        QCOMPARE(code, 0);
    }

    // Lists are appended to, never cleared.
    void listsAreAppended()
    {
        QList<SFacebookPhotoInfo> photos{SFacebookPhotoInfo{"old", {}, {}, {}, {}, {}, {}, {}, {}}};
        QVERIFY(sFacebookParseFqlPhotosXml(doc("fql_query_response", "<photo><pid>a</pid></photo>"
                                                                     "<photo><pid>b</pid></photo>"),
                                           photos));
        QCOMPARE(photos.size(), 3);
        QCOMPARE(photos.at(0).pid, QStringLiteral("old"));
        QCOMPARE(photos.at(2).pid, QStringLiteral("b"));

        QList<SFacebookComment> comments{SFacebookComment{"old", {}, {}, {}}};
        QVERIFY(sFacebookParseCommentsXml(
            doc("stream_getComments_response",
                "<comment><id>c1</id><fromid>200</fromid><time>5</time><text>t</text></comment>"),
            comments));
        QCOMPARE(comments.size(), 2);
        QCOMPARE(comments.at(1), (SFacebookComment{"c1", "200", "5", "t"}));

        QList<SFacebookMessage> messages{SFacebookMessage{"old", {}, {}, {}}};
        QVERIFY(
            sFacebookParseThreadsXml(doc("message_getThreadsInFolder_response", threadXml(1, 1)), messages));
        QCOMPARE(messages.size(), 2);
        QCOMPARE(messages.at(0).messageId, QStringLiteral("old"));
    }

    // Every parser refuses an answer of another method, an unreadable body and
    // an empty one, and leaves its outputs alone.
    void wrongTopElement_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::newRow("another method") << doc("other_method_response", "<posts/><user/><photo/><thread/>1");
        QTest::newRow("malformed") << QByteArray("<stream_get_response><posts>");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("not xml") << QByteArray("Bad Gateway");
        QTest::newRow("error answer") << doc("error_response", "<error_code>102</error_code>");
    }
    void wrongTopElement()
    {
        QFETCH(QByteArray, body);
        const SFacebookUser user{"u", "n", "p", "s"};
        SFacebookUser userOut = user;
        QVERIFY(!sFacebookParseUserInfoXml(body, userOut));
        QCOMPARE(userOut, user);

        const SFacebookPhotoInfo photo{"p", "a", "o", "s", "b", "n", "l", "c", "t"};
        SFacebookPhotoInfo photoOut = photo;
        QVERIFY(!sFacebookParsePhotosXml(body, photoOut));
        QCOMPARE(photoOut, photo);

        QList<SFacebookStreamPost> posts{SFacebookStreamPost()};
        QList<SFacebookUser> users{user};
        QVERIFY(!sFacebookParseStreamXml(body, posts, users));
        QCOMPARE(posts.size(), 1);
        QCOMPARE(users.size(), 1);

        QList<SFacebookPhotoInfo> photos{photo};
        QVERIFY(!sFacebookParseFqlPhotosXml(body, photos));
        QCOMPARE(photos.size(), 1);

        QList<SFacebookComment> comments;
        QVERIFY(!sFacebookParseCommentsXml(body, comments));
        QVERIFY(comments.isEmpty());

        const SFacebookNotifications notifications{"1", "2", {"3"}};
        SFacebookNotifications notificationsOut = notifications;
        QVERIFY(!sFacebookParseNotificationsXml(body, notificationsOut));
        QCOMPARE(notificationsOut, notifications);

        QList<SFacebookMessage> messages;
        QVERIFY(!sFacebookParseThreadsXml(body, messages));
        QVERIFY(messages.isEmpty());

        QString id = QStringLiteral("kept");
        QVERIFY(!sFacebookParsePublishXml(body, id));
        QVERIFY(!sFacebookParseAddCommentXml(body, id));
        QCOMPARE(id, QStringLiteral("kept"));
        QVERIFY(!sFacebookParseAddLikeXml(body));
        QVERIFY(!sFacebookParseRemoveLikeXml(body));
    }

    void defaultNamespaceChangesNothing()
    {
        const QByteArray ns = " xmlns=\"http://api.facebook.com/1.0/\" "
                              "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\"";
        QByteArray withNs = kFullStream;
        withNs.replace("<stream_get_response>", "<stream_get_response" + ns + ">");
        QVERIFY(withNs != kFullStream);

        QList<SFacebookStreamPost> plainPosts, nsPosts;
        QList<SFacebookUser> plainUsers, nsUsers;
        QVERIFY(sFacebookParseStreamXml(kFullStream, plainPosts, plainUsers));
        QVERIFY(sFacebookParseStreamXml(withNs, nsPosts, nsUsers));
        QCOMPARE(nsPosts, plainPosts);
        QCOMPARE(nsUsers, plainUsers);

        SFacebookNotifications n;
        QVERIFY(sFacebookParseNotificationsXml(
            doc("notifications_get_response", "<messages><unread>3</unread></messages>", ns), n));
        QCOMPARE(n.unreadMessages, QStringLiteral("3"));
        QVERIFY(sFacebookParseAddLikeXml(doc("stream_addLike_response", "1", ns)));
    }

    void recordsTravelQueued()
    {
        QList<SFacebookStreamPost> posts;
        QList<SFacebookUser> users;
        QVERIFY(sFacebookParseStreamXml(kFullStream, posts, users));
        const SFacebookStreamPost post = posts.constFirst();
        const SFacebookPhotoInfo photo{"p", "a", "o", "s", "b", "n", "l", "c", "t"};
        const SFacebookNotifications notifications{"1", "2", {"300", "301"}};
        const SFacebookMessage message{"m", "a", "body & more", "5"};

        Carrier c;
        QVERIFY(roundTrip(c, &Carrier::user, users.constFirst(), "SFacebookUser"));
        QVERIFY(roundTrip(c, &Carrier::users, users, "QList<SFacebookUser>"));
        QVERIFY(roundTrip(c, &Carrier::photo, photo, "SFacebookPhotoInfo"));
        QVERIFY(roundTrip(c, &Carrier::photos, {photo, photo}, "QList<SFacebookPhotoInfo>"));
        QVERIFY(roundTrip(c, &Carrier::post, post, "SFacebookStreamPost"));
        QVERIFY(roundTrip(c, &Carrier::posts, posts, "QList<SFacebookStreamPost>"));
        QVERIFY(roundTrip(c, &Carrier::attachment, post.attachment, "SFacebookAttachment"));
        QVERIFY(roundTrip(c, &Carrier::attachments, {post.attachment}, "QList<SFacebookAttachment>"));
        QVERIFY(roundTrip(c, &Carrier::media, post.attachment.media.at(1), "SFacebookMedia"));
        QVERIFY(roundTrip(c, &Carrier::mediaList, post.attachment.media, "QList<SFacebookMedia>"));
        QVERIFY(
            roundTrip(c, &Carrier::property, post.attachment.properties.constFirst(), "SFacebookProperty"));
        QVERIFY(roundTrip(c, &Carrier::properties, post.attachment.properties, "QList<SFacebookProperty>"));
        QVERIFY(roundTrip(c, &Carrier::comment, post.comments.constFirst(), "SFacebookComment"));
        QVERIFY(roundTrip(c, &Carrier::comments, post.comments, "QList<SFacebookComment>"));
        QVERIFY(roundTrip(c, &Carrier::notifications, notifications, "SFacebookNotifications"));
        QVERIFY(roundTrip(c, &Carrier::notificationsList, {notifications}, "QList<SFacebookNotifications>"));
        QVERIFY(roundTrip(c, &Carrier::message, message, "SFacebookMessage"));
        QVERIFY(roundTrip(c, &Carrier::messages, {message, message}, "QList<SFacebookMessage>"));
    }
};

QTEST_GUILESS_MAIN(TestFacebookResponses)
#include "tst_facebookresponses.moc"
