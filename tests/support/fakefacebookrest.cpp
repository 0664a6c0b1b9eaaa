#include "fakefacebookrest.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QDateTime>
#include <QImage>
#include <QMutexLocker>
#include <QRegularExpression>
#include <QStringList>
#include <QUrl>

namespace {

const char kXmlHead[] = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
const char kNamespaces[] = " xmlns=\"http://api.facebook.com/1.0/\""
                           " xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\""
                           " xsi:schemaLocation=\"http://api.facebook.com/1.0/ "
                           "http://api.facebook.com/1.0/facebook.xsd\"";

QString esc(const QString& text)
{
    return text.toHtmlEscaped();
}

// <name>text</name>, the text escaped.
QString el(const char* name, const QString& text)
{
    return QStringLiteral("<%1>%2</%1>").arg(QLatin1String(name), esc(text));
}

// A whole answer document: the top element with the service's namespaces.
QByteArray document(const QString& top, const QString& content, const QString& attributes = {})
{
    return QByteArray(kXmlHead) + "<" + top.toUtf8() + kNamespaces + attributes.toUtf8() + ">" +
           content.toUtf8() + "</" + top.toUtf8() + ">\n";
}

// The answer's top element: stream.getComments -> stream_getComments_response.
QString topElementOf(const QString& method)
{
    QString name = method;
    name.replace(QLatin1Char('.'), QLatin1Char('_'));
    return name + QStringLiteral("_response");
}

QString errorMessage(int code)
{
    switch (code) {
    case 1:
        return QStringLiteral("An unknown error occurred");
    case 2:
        return QStringLiteral("Service temporarily unavailable");
    case 4:
        return QStringLiteral("Application request limit reached");
    case 9:
        return QStringLiteral("Feed action request limit reached");
    case 10:
        return QStringLiteral("Application does not have permission for this action");
    case 100:
        return QStringLiteral("Invalid parameter");
    case 101:
        return QStringLiteral("Invalid API key");
    case 102:
        return QStringLiteral("Session key invalid or no longer valid");
    case 104:
        return QStringLiteral("Incorrect signature");
    case 190:
        return QStringLiteral("Invalid OAuth 2.0 Access Token");
    case 601:
        return QStringLiteral("Parser error: unexpected end of query.");
    default:
        return QStringLiteral("Unknown error");
    }
}

// The parameters each method needs besides the common ones.
const QHash<QString, QStringList>& requiredParams()
{
    static const QHash<QString, QStringList> params = {
        {QStringLiteral("users.getInfo"), {QStringLiteral("uids"), QStringLiteral("fields")}},
        {QStringLiteral("photos.get"), {QStringLiteral("pids")}},
        {QStringLiteral("stream.get"), {}},
        {QStringLiteral("fql.query"), {QStringLiteral("query")}},
        {QStringLiteral("stream.addLike"), {QStringLiteral("post_id")}},
        {QStringLiteral("stream.removeLike"), {QStringLiteral("post_id")}},
        {QStringLiteral("stream.getComments"), {QStringLiteral("post_id")}},
        {QStringLiteral("notifications.get"), {}},
        {QStringLiteral("message.getThreadsInFolder"), {QStringLiteral("folder_id"), QStringLiteral("uid")}},
        {QStringLiteral("stream.publish"), {QStringLiteral("message")}},
        {QStringLiteral("stream.addComment"), {QStringLiteral("post_id"), QStringLiteral("comment")}},
    };
    return params;
}

QString userName(const QString& uid)
{
    if (uid == QLatin1String("12345"))
        return QStringLiteral("Pat Tester");
    if (uid == QLatin1String("200"))
        return QStringLiteral("Alice Example");
    if (uid == QLatin1String("201"))
        return QStringLiteral("Bob Example");
    return QStringLiteral("User ") + uid;
}

// Addresses of pictures and pages, all on the stand-in's own host.
struct Links
{
    QString base; // http://host:port

    QString avatar(const QString& uid) const
    {
        return base + QStringLiteral("/media/avatar_%1.jpg").arg(uid);
    }
    QString profile(const QString& uid) const { return base + QStringLiteral("/profile.php?id=%1").arg(uid); }
    QString photo(const QString& pid, const char* size) const
    {
        return base + QStringLiteral("/media/photo_%1%2.jpg").arg(pid, QLatin1String(size));
    }
    QString photoPage(const QString& pid) const
    {
        return base + QStringLiteral("/photo.php?pid=%1").arg(pid);
    }
    QString post(const QString& postId) const { return base + QStringLiteral("/posts/%1").arg(postId); }
};

QString photoElement(const Links& links, const QString& pid, const QString& aid, const QString& owner,
                     const QString& created)
{
    return QStringLiteral("<photo>") + el("pid", pid) + el("aid", aid) + el("owner", owner) +
           el("src_small", links.photo(pid, "_s")) + el("src_big", links.photo(pid, "_n")) +
           el("src", links.photo(pid, "")) + el("link", links.photoPage(pid)) +
           el("caption", QStringLiteral("Photo ") + pid) + el("created", created) +
           QStringLiteral("</photo>");
}

QString ownerOf(const QString& id)
{
    return id.contains(QLatin1Char('_')) ? id.section(QLatin1Char('_'), 0, 0) : QStringLiteral("200");
}

QString streamPost(const QString& postId, const QString& actor, const QString& message,
                   const QString& created, const QString& attachment, const QString& comments,
                   const QString& likes, const Links& links)
{
    return QStringLiteral("<stream_post>") + el("post_id", postId) +
           el("viewer_id", QStringLiteral("12345")) + QStringLiteral("<app_id/>") + el("source_id", actor) +
           el("updated_time", created) + el("created_time", created) +
           QStringLiteral("<filter_key/><attribution/>") + el("actor_id", actor) +
           QStringLiteral("<target_id/>") + el("message", message) +
           QStringLiteral("<app_data/><action_links/>") + attachment + comments + likes +
           QStringLiteral("<privacy><value>NOT_EVERYONE</value></privacy>") +
           el("permalink", links.post(postId)) + QStringLiteral("</stream_post>");
}

QString commentsElement(const QString& count, const QString& list)
{
    return QStringLiteral("<comments><can_remove>0</can_remove><can_post>1</can_post>") + el("count", count) +
           QStringLiteral("<comment_list list=\"true\">") + list +
           QStringLiteral("</comment_list></comments>");
}

QString commentElement(const QString& id, const QString& from, const QString& time, const QString& text)
{
    return QStringLiteral("<comment>") + el("fromid", from) + el("time", time) + el("text", text) +
           el("id", id) + QStringLiteral("</comment>");
}

QString likesElement(const QString& count, const QString& userLikes)
{
    return QStringLiteral("<likes><href>http://www.facebook.com/</href>") + el("count", count) +
           QStringLiteral("<sample list=\"true\"/><friends list=\"true\"/>") + el("user_likes", userLikes) +
           QStringLiteral("<can_like>1</can_like></likes>");
}

QByteArray streamAnswer(const Links& links)
{
    // An album of two photos with comments, a video, a link and a plain status.
    const QString album =
        QStringLiteral("<attachment><media list=\"true\">") + QStringLiteral("<stream_media>") +
        el("href", links.photoPage(QStringLiteral("200_70"))) + el("alt", QStringLiteral("Beach")) +
        el("type", QStringLiteral("photo")) + el("src", links.photo(QStringLiteral("200_70"), "_s")) +
        QStringLiteral("<photo><aid>200_7</aid><pid>200_70</pid><owner>200</owner><index>1</index>"
                       "<width>130</width><height>97</height></photo></stream_media>") +
        QStringLiteral("<stream_media>") + el("href", links.photoPage(QStringLiteral("200_71"))) +
        el("alt", QStringLiteral("Sunset")) + el("type", QStringLiteral("photo")) +
        el("src", links.photo(QStringLiteral("200_71"), "_s")) +
        QStringLiteral("<photo><aid>200_7</aid><pid>200_71</pid><owner>200</owner><index>2</index>"
                       "<width>130</width><height>97</height></photo></stream_media></media>") +
        el("name", QStringLiteral("Holiday")) + el("href", links.base + QStringLiteral("/album.php?aid=7")) +
        el("caption", QStringLiteral("2 new photos")) + QStringLiteral("<description/>") +
        QStringLiteral("<properties list=\"true\"/>") +
        el("icon", links.base + QStringLiteral("/media/album.gif")) +
        el("fb_object_type", QStringLiteral("album")) + el("fb_object_id", QStringLiteral("200_7")) +
        QStringLiteral("</attachment>");
    const QString video =
        QStringLiteral("<attachment><media list=\"true\"><stream_media>") +
        el("href", links.base + QStringLiteral("/video/video.php?v=900")) + el("alt", QStringLiteral("Cat")) +
        el("type", QStringLiteral("video")) +
        el("src", links.base + QStringLiteral("/media/video_900_s.jpg")) + QStringLiteral("<video>") +
        el("display_url", links.base + QStringLiteral("/video/video.php?v=900")) +
        el("source_url", links.base + QStringLiteral("/media/video_900.swf")) +
        el("owner", QStringLiteral("202")) + el("source_type", QStringLiteral("html")) +
        QStringLiteral("</video></stream_media></media>") + el("name", QStringLiteral("Cat video")) +
        el("href", links.base + QStringLiteral("/video/video.php?v=900")) + QStringLiteral("<caption/>") +
        el("description", QStringLiteral("A cat & a box")) +
        QStringLiteral("<properties list=\"true\"><stream_property>") + el("name", QStringLiteral("Length")) +
        el("text", QStringLiteral("0:42")) + QStringLiteral("</stream_property></properties>") +
        QStringLiteral("<icon/>") + el("fb_object_type", QStringLiteral("video")) +
        el("fb_object_id", QStringLiteral("900")) + QStringLiteral("</attachment>");
    const QString link =
        QStringLiteral("<attachment><media list=\"true\"><stream_media>") +
        el("href", links.base + QStringLiteral("/articles/1")) + el("alt", QStringLiteral("News")) +
        el("type", QStringLiteral("link")) + el("src", links.base + QStringLiteral("/media/link_1.jpg")) +
        QStringLiteral("</stream_media></media>") + el("name", QStringLiteral("An article")) +
        el("href", links.base + QStringLiteral("/articles/1")) +
        el("caption", QStringLiteral("example.org")) + el("description", QStringLiteral("Worth a read")) +
        QStringLiteral("<properties list=\"true\"/><icon/>") +
        QStringLiteral("<fb_object_type/><fb_object_id/></attachment>");

    const QString posts =
        streamPost(QStringLiteral("200_1001"), QStringLiteral("200"), QStringLiteral("Holiday pictures"),
                   QStringLiteral("1262300000"), album,
                   commentsElement(QStringLiteral("3"),
                                   commentElement(QStringLiteral("200_1001_1"), QStringLiteral("201"),
                                                  QStringLiteral("1262300100"), QStringLiteral("Lovely!")) +
                                       commentElement(QStringLiteral("200_1001_2"), QStringLiteral("12345"),
                                                      QStringLiteral("1262300200"),
                                                      QStringLiteral("Where & when?"))),
                   likesElement(QStringLiteral("2"), QStringLiteral("1")), links) +
        streamPost(QStringLiteral("201_1002"), QStringLiteral("201"), QStringLiteral("Look at this"),
                   QStringLiteral("1262290000"), video, commentsElement(QStringLiteral("0"), {}),
                   likesElement(QStringLiteral("0"), QStringLiteral("0")), links) +
        streamPost(QStringLiteral("201_1003"), QStringLiteral("201"), QStringLiteral("Interesting <article>"),
                   QStringLiteral("1262280000"), link, commentsElement(QStringLiteral("0"), {}),
                   likesElement(QStringLiteral("1"), QStringLiteral("0")), links) +
        streamPost(QStringLiteral("12345_1004"), QStringLiteral("12345"), QStringLiteral("Hello from Lumesk"),
                   QStringLiteral("1262270000"), QStringLiteral("<attachment/>"),
                   commentsElement(QStringLiteral("0"), {}),
                   likesElement(QStringLiteral("0"), QStringLiteral("0")), links);

    QString profiles;
    for (const QString& uid : {QStringLiteral("200"), QStringLiteral("201"), QStringLiteral("12345")}) {
        profiles += QStringLiteral("<profile>") + el("id", uid) + el("url", links.profile(uid)) +
                    el("name", userName(uid)) + el("pic_square", links.avatar(uid)) +
                    el("type", QStringLiteral("user")) + QStringLiteral("</profile>");
    }
    return document(QStringLiteral("stream_get_response"),
                    QStringLiteral("<posts list=\"true\">") + posts + QStringLiteral("</posts>") +
                        QStringLiteral("<profiles list=\"true\">") + profiles +
                        QStringLiteral("</profiles><albums list=\"true\"/>"));
}

QByteArray notificationsAnswer()
{
    return document(
        QStringLiteral("notifications_get_response"),
        QStringLiteral("<messages><unread>1</unread><most_recent>1262300000</most_recent></messages>"
                       "<pokes><unread>0</unread><most_recent>0</most_recent></pokes>"
                       "<shares><unread>0</unread><most_recent>0</most_recent></shares>"
                       "<friend_requests list=\"true\"><uid>300</uid><uid>301</uid></friend_requests>"
                       "<group_invites list=\"true\"/><event_invites list=\"true\"/>"));
}

QString messageElement(const QString& id, const QString& thread, const QString& author, const QString& body,
                       const QString& created)
{
    return QStringLiteral("<message>") + el("message_id", id) + el("thread_id", thread) +
           el("author_id", author) + el("body", body) + el("created_time", created) +
           QStringLiteral("<attachment/>") + QStringLiteral("</message>");
}

QByteArray threadsAnswer()
{
    // A thread with two unread messages of three, and a thread read already.
    const QString first =
        QStringLiteral("<thread><thread_id>1001</thread_id><subject>Dinner</subject>"
                       "<recipients list=\"true\"><uid>200</uid><uid>12345</uid></recipients>"
                       "<updated_time>1262300300</updated_time><message_count>3</message_count>"
                       "<snippet>See you</snippet><snippet_author>200</snippet_author><unread>2</unread>"
                       "<messages list=\"true\">") +
        messageElement(QStringLiteral("1001_1"), QStringLiteral("1001"), QStringLiteral("12345"),
                       QStringLiteral("Dinner tonight?"), QStringLiteral("1262300100")) +
        messageElement(QStringLiteral("1001_2"), QStringLiteral("1001"), QStringLiteral("200"),
                       QStringLiteral("Yes, at 8 & bring wine"), QStringLiteral("1262300200")) +
        messageElement(QStringLiteral("1001_3"), QStringLiteral("1001"), QStringLiteral("200"),
                       QStringLiteral("See you"), QStringLiteral("1262300300")) +
        QStringLiteral("</messages></thread>");
    const QString second =
        QStringLiteral("<thread><thread_id>1002</thread_id><subject>Old news</subject>"
                       "<recipients list=\"true\"><uid>201</uid><uid>12345</uid></recipients>"
                       "<updated_time>1262200000</updated_time><message_count>1</message_count>"
                       "<snippet>Done</snippet><snippet_author>201</snippet_author><unread>0</unread>"
                       "<messages list=\"true\">") +
        messageElement(QStringLiteral("1002_1"), QStringLiteral("1002"), QStringLiteral("201"),
                       QStringLiteral("Done"), QStringLiteral("1262200000")) +
        QStringLiteral("</messages></thread>");
    return document(QStringLiteral("message_getThreadsInFolder_response"), first + second,
                    QStringLiteral(" list=\"true\""));
}

// A picture the service would serve under /media/<name>: a PNG or a JPEG of 50 x 50
// pixels, or W x H when the name ends "_<W>x<H>" before its suffix; a few fixed bytes
// for any other suffix (video bodies and the like).
TestHttpReply mediaReply(const QString& name)
{
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    const QString suffix = dot < 0 ? QString() : name.mid(dot + 1).toLower();
    const QString stem = dot < 0 ? name : name.left(dot);
    const char* format = nullptr;
    if (suffix == QLatin1String("png"))
        format = "PNG";
    else if (suffix == QLatin1String("jpg") || suffix == QLatin1String("jpeg"))
        format = "JPEG";
    if (!format)
        return TestHttpReply::ok(QByteArrayLiteral("MEDIA-BODY:") + name.toUtf8(),
                                 "application/octet-stream");

    QSize size(50, 50);
    static const QRegularExpression sized(QStringLiteral("_(\\d{1,4})x(\\d{1,4})$"));
    const QRegularExpressionMatch m = sized.match(stem);
    if (m.hasMatch() && m.captured(1).toInt() > 0 && m.captured(2).toInt() > 0)
        size = QSize(m.captured(1).toInt(), m.captured(2).toInt());
    QImage image(size, QImage::Format_RGB32);
    image.fill(QColor(70, 110, 160));
    QByteArray body;
    QBuffer buffer(&body);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return TestHttpReply::ok(body, qstrcmp(format, "PNG") == 0 ? "image/png" : "image/jpeg");
}

} // namespace

QString FakeFacebookRest::Request::param(const QString& name) const
{
    for (const auto& p : params) {
        if (p.first == name)
            return p.second;
    }
    return {};
}

bool FakeFacebookRest::Request::hasParam(const QString& name) const
{
    for (const auto& p : params) {
        if (p.first == name)
            return true;
    }
    return false;
}

FakeFacebookRest::FakeFacebookRest()
    : m_apiKey(defaultApiKey()), m_sessionKey(defaultSessionKey()), m_sessionSecret(defaultSessionSecret()),
      m_uid(defaultUid())
{
}

void FakeFacebookRest::setCredentials(const QString& apiKey, const QString& sessionKey,
                                      const QString& sessionSecret, const QString& uid)
{
    QMutexLocker lock(&m_mutex);
    m_apiKey = apiKey;
    m_sessionKey = sessionKey;
    m_sessionSecret = sessionSecret;
    m_uid = uid;
}

QString FakeFacebookRest::apiKey() const
{
    QMutexLocker lock(&m_mutex);
    return m_apiKey;
}

QString FakeFacebookRest::sessionKey() const
{
    QMutexLocker lock(&m_mutex);
    return m_sessionKey;
}

QString FakeFacebookRest::sessionSecret() const
{
    QMutexLocker lock(&m_mutex);
    return m_sessionSecret;
}

QString FakeFacebookRest::uid() const
{
    QMutexLocker lock(&m_mutex);
    return m_uid;
}

QStringList FakeFacebookRest::methods()
{
    QStringList names = requiredParams().keys();
    names.sort();
    return names;
}

QByteArray FakeFacebookRest::errorResponse(int code, const QString& message)
{
    return document(QStringLiteral("error_response"),
                    el("error_code", QString::number(code)) +
                        el("error_msg", message.isEmpty() ? errorMessage(code) : message) +
                        QStringLiteral("<request_args list=\"true\"/>"));
}

FakeFacebookRest::Outcome FakeFacebookRest::respond(const TestHttpRequest& request)
{
    QMutexLocker lock(&m_mutex);
    Outcome outcome;
    if (request.method == "GET" && request.path().startsWith("/media/")) {
        outcome.reply = mediaReply(QString::fromUtf8(request.path().mid(7)));
        return outcome;
    }
    QByteArray host = request.header("Host");
    if (host.isEmpty())
        host = "127.0.0.1";
    const QString siteBase = QStringLiteral("http://") + QString::fromLatin1(host);
    if (request.method == "GET" && request.path() == "/login.php")
        return loginPage(request, siteBase);
    if (request.method == "GET" && (request.path() == "/connect/login_success.html" ||
                                    request.path() == "/connect/login_failure.html")) {
        outcome.reply =
            TestHttpReply::ok("<html><body><p>Done.</p></body></html>", "text/html; charset=utf-8");
        return outcome;
    }
    if (request.path() != "/restserver.php") {
        outcome.reply = TestHttpReply::withStatus(404, "Not Found", "Not Found");
        return outcome;
    }

    // The entries as sent, and their decoded form.
    const QList<QByteArray> entries =
        request.query().isEmpty() ? QList<QByteArray>() : request.query().split('&');
    Request record;
    for (const QByteArray& entry : entries) {
        const int eq = entry.indexOf('=');
        const QByteArray name = eq < 0 ? entry : entry.left(eq);
        const QByteArray value = eq < 0 ? QByteArray() : entry.mid(eq + 1);
        record.params.append({QUrl::fromPercentEncoding(name), QUrl::fromPercentEncoding(value)});
    }
    record.method = record.param(QStringLiteral("method"));

    if (request.method != "GET") {
        m_requests.append(record);
        outcome.reply = TestHttpReply::withStatus(405, "Method Not Allowed", "Method Not Allowed");
        return outcome;
    }

    for (const char* name : {"api_key", "v", "format", "session_key", "call_id", "method", "sig"}) {
        if (!record.hasParam(QLatin1String(name)))
            return refuse(record, 100,
                          QStringLiteral("Invalid parameter: %1 is missing").arg(QLatin1String(name)));
    }
    if (record.param(QStringLiteral("api_key")) != m_apiKey)
        return refuse(record, 101, {});
    if (record.param(QStringLiteral("v")) != QLatin1String("1.0") ||
        record.param(QStringLiteral("format")) != QLatin1String("XML"))
        return refuse(record, 100, {});
    if (record.param(QStringLiteral("session_key")) != m_sessionKey)
        return refuse(record, 102, {});
    if (record.params.constLast().first != QLatin1String("sig"))
        return refuse(record, 104, {});

    // The signature covers every entry but the last, sorted by its encoded text.
    QStringList signedEntries;
    for (qsizetype i = 0; i + 1 < entries.size(); ++i)
        signedEntries.append(QString::fromUtf8(entries.at(i)));
    signedEntries.sort(Qt::CaseSensitive);
    QString base;
    for (const QString& entry : std::as_const(signedEntries))
        base += QUrl::fromPercentEncoding(entry.toUtf8());
    base += m_sessionSecret;
    const QString expected =
        QString::fromLatin1(QCryptographicHash::hash(base.toUtf8(), QCryptographicHash::Md5).toHex());
    if (record.params.constLast().second != expected)
        return refuse(record, 104, {});

    const auto required = requiredParams().constFind(record.method);
    if (required == requiredParams().constEnd())
        return refuse(record, 100, QStringLiteral("Unknown method"));
    for (const QString& name : *required) {
        if (!record.hasParam(name))
            return refuse(record, 100, QStringLiteral("Invalid parameter: %1 is missing").arg(name));
    }

    m_requests.append(record);
    return answer(record, host);
}

FakeFacebookRest::Outcome FakeFacebookRest::refuse(Request& record, int code, const QString& message)
{
    record.errorCode = code;
    m_requests.append(record);
    Outcome outcome;
    outcome.reply = TestHttpReply::ok(errorResponse(code, message));
    return outcome;
}

FakeFacebookRest::Outcome FakeFacebookRest::answer(const Request& record, const QByteArray& host)
{
    // The first script of the method, used up after its count of requests.
    Script script;
    script.canned = true;
    auto scripts = m_scripts.find(record.method);
    if (scripts != m_scripts.end() && !scripts->isEmpty()) {
        script = scripts->constFirst();
        if (script.times > 0 && --scripts->first().times == 0)
            scripts->removeFirst();
    }
    if (!script.canned)
        return script.outcome;

    Outcome outcome = script.outcome;
    int errorCode = 0;
    const QByteArray body = cannedBody(record, host, errorCode);
    outcome.reply = TestHttpReply::ok(errorCode ? errorResponse(errorCode) : body);
    return outcome;
}

QByteArray FakeFacebookRest::cannedBody(const Request& record, const QByteArray& host, int& errorCode)
{
    const Links links{QStringLiteral("http://") + QString::fromLatin1(host)};
    const QString& method = record.method;
    const QString top = topElementOf(method);

    if (method == QLatin1String("users.getInfo")) {
        QString users;
        const QStringList uids =
            record.param(QStringLiteral("uids")).split(QLatin1Char(','), Qt::SkipEmptyParts);
        for (const QString& uid : uids) {
            users += QStringLiteral("<user>") + el("uid", uid) + el("name", userName(uid)) +
                     el("pic_square", links.avatar(uid)) + el("profile_url", links.profile(uid)) +
                     QStringLiteral("</user>");
        }
        return document(top, users, QStringLiteral(" list=\"true\""));
    }
    if (method == QLatin1String("photos.get")) {
        QString photos;
        const QStringList pids =
            record.param(QStringLiteral("pids")).split(QLatin1Char(','), Qt::SkipEmptyParts);
        for (const QString& pid : pids)
            photos += photoElement(links, pid, ownerOf(pid) + QStringLiteral("_7"), ownerOf(pid),
                                   QStringLiteral("1262304000"));
        return document(top, photos, QStringLiteral(" list=\"true\""));
    }
    if (method == QLatin1String("fql.query")) {
        // Three photos of the album asked for, from the first photo asked for on.
        static const QRegularExpression where(
            QStringLiteral("WHERE aid='([^']*)' AND pid >= '([^']*)' AND created <= (\\d+)"));
        const QRegularExpressionMatch m = where.match(record.param(QStringLiteral("query")));
        if (!m.hasMatch()) {
            errorCode = 601;
            return {};
        }
        const QString aid = m.captured(1);
        const QString pid = m.captured(2);
        const qint64 created = m.captured(3).toLongLong();
        QString photos;
        for (int i = 0; i < 3; ++i) {
            photos += photoElement(links, i == 0 ? pid : pid + QString::number(i), aid, ownerOf(aid),
                                   QString::number(created - 60 * i));
        }
        return document(top, photos, QStringLiteral(" list=\"true\""));
    }
    if (method == QLatin1String("stream.get"))
        return streamAnswer(links);
    if (method == QLatin1String("stream.addLike") || method == QLatin1String("stream.removeLike"))
        return document(top, QStringLiteral("1"));
    if (method == QLatin1String("stream.getComments")) {
        const QString postId = record.param(QStringLiteral("post_id"));
        return document(top,
                        commentElement(postId + QStringLiteral("_1"), QStringLiteral("200"),
                                       QStringLiteral("1262300100"), QStringLiteral("First!")) +
                            commentElement(postId + QStringLiteral("_2"), QStringLiteral("201"),
                                           QStringLiteral("1262300200"), QStringLiteral("Agreed & <more>")),
                        QStringLiteral(" list=\"true\""));
    }
    if (method == QLatin1String("notifications.get"))
        return notificationsAnswer();
    if (method == QLatin1String("message.getThreadsInFolder"))
        return threadsAnswer();
    if (method == QLatin1String("stream.publish")) {
        const QString postId = m_uid + QLatin1Char('_') + QString::number(m_nextId++);
        m_posted.append(
            {postId, record.param(QStringLiteral("message")), QDateTime::currentSecsSinceEpoch()});
        return document(top, postId);
    }
    if (method == QLatin1String("stream.addComment"))
        return document(top, record.param(QStringLiteral("post_id")) + QLatin1Char('_') +
                                 QString::number(m_nextId++));
    errorCode = 100;
    return {};
}

void FakeFacebookRest::addScript(const QString& method, const Script& script)
{
    QMutexLocker lock(&m_mutex);
    m_scripts[method].append(script);
}

void FakeFacebookRest::scriptReply(const QString& method, int status, const QByteArray& body, int times,
                                   int delayMs)
{
    Script script;
    script.outcome.delayMs = delayMs;
    script.outcome.reply = TestHttpReply::withStatus(status, status == 200 ? "OK" : "Error", body);
    script.outcome.reply.headers.append(
        qMakePair(QByteArray("Content-Type"), QByteArray("text/xml; charset=utf-8")));
    script.times = times;
    addScript(method, script);
}

void FakeFacebookRest::scriptError(const QString& method, int code, int status, int times, int delayMs)
{
    scriptReply(method, status, errorResponse(code), times, delayMs);
}

void FakeFacebookRest::scriptEmpty(const QString& method, int status, int times)
{
    scriptReply(method, status, QByteArray(), times);
}

void FakeFacebookRest::scriptMalformed(const QString& method, int times)
{
    const QByteArray top = topElementOf(method).toUtf8();
    scriptReply(method, 200, QByteArray(kXmlHead) + "<" + top + "><unclosed>1</" + top + ">", times);
}

void FakeFacebookRest::scriptDelay(const QString& method, int delayMs, int times)
{
    Script script;
    script.canned = true;
    script.outcome.delayMs = delayMs;
    script.times = times;
    addScript(method, script);
}

void FakeFacebookRest::scriptDrop(const QString& method, int times)
{
    Script script;
    script.outcome.dropConnection = true;
    script.times = times;
    addScript(method, script);
}

void FakeFacebookRest::clearScripts()
{
    QMutexLocker lock(&m_mutex);
    m_scripts.clear();
}

QList<FakeFacebookRest::Posted> FakeFacebookRest::posted() const
{
    QMutexLocker lock(&m_mutex);
    return m_posted;
}

void FakeFacebookRest::setNextId(qint64 id)
{
    QMutexLocker lock(&m_mutex);
    m_nextId = id;
}

qint64 FakeFacebookRest::nextId() const
{
    QMutexLocker lock(&m_mutex);
    return m_nextId;
}

QList<FakeFacebookRest::Request> FakeFacebookRest::requests() const
{
    QMutexLocker lock(&m_mutex);
    return m_requests;
}

QList<FakeFacebookRest::Request> FakeFacebookRest::requests(const QString& method) const
{
    QMutexLocker lock(&m_mutex);
    QList<Request> result;
    for (const Request& r : m_requests) {
        if (r.method == method)
            result.append(r);
    }
    return result;
}

void FakeFacebookRest::clearRequests()
{
    QMutexLocker lock(&m_mutex);
    m_requests.clear();
}

void FakeFacebookRest::setLoginRedirect(bool redirect)
{
    QMutexLocker lock(&m_mutex);
    m_loginRedirect = redirect;
}

QString FakeFacebookRest::allowUrl(const QString& base) const
{
    QMutexLocker lock(&m_mutex);
    return allowUrlLocked(base);
}

QString FakeFacebookRest::allowUrlLocked(const QString& base) const
{
    bool numeric = false;
    m_uid.toLongLong(&numeric);
    const QString uid = numeric ? m_uid : QLatin1Char('"') + m_uid + QLatin1Char('"');
    const QString session =
        QStringLiteral(R"({"session_key":"%1","uid":%2,"expires":0,"secret":"%3","sig":"ff"})")
            .arg(m_sessionKey, uid, m_sessionSecret);
    return base + QStringLiteral("/connect/login_success.html?session=") +
           QString::fromLatin1(QUrl::toPercentEncoding(session));
}

FakeFacebookRest::Outcome FakeFacebookRest::loginPage(const TestHttpRequest& request, const QString& base)
{
    // Called with the lock held.
    QHash<QString, QString> params;
    const QList<QByteArray> entries =
        request.query().isEmpty() ? QList<QByteArray>() : request.query().split('&');
    for (const QByteArray& entry : entries) {
        const int eq = entry.indexOf('=');
        const QString name = QUrl::fromPercentEncoding(eq < 0 ? entry : entry.left(eq));
        if (!params.contains(name))
            params.insert(name, eq < 0 ? QString() : QUrl::fromPercentEncoding(entry.mid(eq + 1)));
    }
    const QString next = base + QStringLiteral("/connect/login_success.html");
    const QString cancel = base + QStringLiteral("/connect/login_failure.html");
    QString problem;
    if (params.value(QStringLiteral("api_key")) != m_apiKey)
        problem = QStringLiteral("api_key");
    else if (params.value(QStringLiteral("next")) != next)
        problem = QStringLiteral("next");
    else if (params.value(QStringLiteral("cancel_url")) != cancel)
        problem = QStringLiteral("cancel_url");

    Outcome outcome;
    if (!problem.isEmpty()) {
        outcome.reply = TestHttpReply::ok(
            QStringLiteral("<html><body><h1>Login refused</h1><p>Wrong or missing %1.</p></body></html>")
                .arg(problem)
                .toUtf8(),
            "text/html; charset=utf-8");
        return outcome;
    }
    const QString allow = allowUrlLocked(base);
    if (m_loginRedirect) {
        outcome.reply = TestHttpReply::withStatus(302, "Found").withHeader("Location", allow.toLatin1());
        return outcome;
    }
    outcome.reply = TestHttpReply::ok(
        QStringLiteral("<html><head><title>Log in</title></head><body style=\"font-family:sans-serif\">"
                       "<h1>Stand-in Facebook</h1><p>Velto Lumesk asks to read your stream and "
                       "publish for you.</p><p><a id=\"allow\" href=\"%1\">Allow</a> "
                       "<a id=\"cancel\" href=\"%2\">Cancel</a></p></body></html>")
            .arg(allow.toHtmlEscaped(), cancel.toHtmlEscaped())
            .toUtf8(),
        "text/html; charset=utf-8");
    return outcome;
}
