#include "facebookapi.h"
#include "fakefacebookrest.h"
#include "testclock.h"

#include <QCryptographicHash>
#include <QTest>
#include <QUrl>

namespace {

const QString kBase = QStringLiteral("http://127.0.0.1:8080");

// The request the local HTTP server hands its handler for a GET of this URL.
TestHttpRequest requestFor(const QString& url, const QByteArray& method = "GET")
{
    const QByteArray bytes = url.toUtf8();
    const int hostStart = bytes.indexOf("//") + 2;
    const int pathStart = bytes.indexOf('/', hostStart);
    TestHttpRequest request;
    request.method = method;
    request.version = "HTTP/1.1";
    request.target = bytes.mid(pathStart);
    request.headers.append(qMakePair(QByteArray("Host"), bytes.mid(hostStart, pathStart - hostStart)));
    request.headers.append(qMakePair(QByteArray("User-Agent"), QByteArray("Velto Lumesk")));
    request.raw = method + " " + request.target + " HTTP/1.1\r\n\r\n";
    return request;
}

SMeskHttpResponseHeader headerOf(const TestHttpReply& reply)
{
    SMeskHttpResponseHeader header;
    header.statusCode = reply.status;
    header.reasonPhrase = QString::fromLatin1(reply.reason);
    return header;
}

// Entries of a URL's query, in wire order.
QStringList entriesOf(const QString& url)
{
    return url.section(QLatin1Char('?'), 1).split(QLatin1Char('&'));
}

QString urlOf(const QStringList& entries)
{
    return kBase + QStringLiteral("/restserver.php?") + entries.join(QLatin1Char('&'));
}

// Signs entries (without "sig") the way the service checks them and appends "sig".
QStringList signedEntries(QStringList entries, const QString& secret)
{
    QStringList sorted = entries;
    sorted.sort();
    QString base;
    for (const QString& entry : std::as_const(sorted))
        base += QUrl::fromPercentEncoding(entry.toUtf8());
    base += secret;
    entries << QStringLiteral("sig=") +
                   QString::fromLatin1(
                       QCryptographicHash::hash(base.toUtf8(), QCryptographicHash::Md5).toHex());
    return entries;
}

void configure(CFacebookApi& api)
{
    api.setApiKey(FakeFacebookRest::defaultApiKey());
    api.setSession(FakeFacebookRest::defaultSessionKey(), FakeFacebookRest::defaultSessionSecret(),
                   FakeFacebookRest::defaultUid());
    api.setRestBaseUrl(kBase);
    api.setWebBaseUrl(kBase);
}

// The error code of an error_response body; -1 when the body is none.
int errorCodeOf(const QByteArray& body)
{
    const int start = body.indexOf("<error_code>");
    const int end = body.indexOf("</error_code>");
    if (!body.contains("<error_response") || start < 0 || end < start)
        return -1;
    return body.mid(start + 12, end - start - 12).toInt();
}

enum Mutation
{
    ChangedCallId,
    ChangedPostId,
    SigFirst,
    SigMissing,
    SigWrong,
    SignedWithOtherSecret,
    WrongApiKey,
    WrongSessionKey,
    WrongVersion,
    FormatMissing,
    UnknownMethod,
    PostIdMissing,
};

} // namespace

class TestFakeFacebookRest : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        m_clock.reset(new TestClock(QDateTime::fromSecsSinceEpoch(1262304000, Qt::UTC)));
        m_api = CFacebookApi();
        configure(m_api);
    }
    void cleanup() { m_clock.reset(); }

    void acceptsEveryFormattedUrl_data()
    {
        QTest::addColumn<QString>("method");
        for (const QString& method : FakeFacebookRest::methods())
            QTest::newRow(qPrintable(method)) << method;
    }
    void acceptsEveryFormattedUrl()
    {
        QFETCH(QString, method);
        FakeFacebookRest rest;
        QString url;
        int error = -1;
        const auto send = [&] {
            FakeFacebookRest::Outcome outcome = rest.respond(requestFor(url));
            if (outcome.reply.status != 200 || errorCodeOf(outcome.reply.body) != -1 || outcome.delayMs ||
                outcome.dropConnection) {
                qWarning().noquote() << url << outcome.reply.status << outcome.reply.body;
                return TestHttpReply();
            }
            return outcome.reply;
        };

        if (method == QLatin1String("users.getInfo")) {
            QVERIFY(m_api.formatUsersGetInfo(url, QStringLiteral("200")));
            const TestHttpReply reply = send();
            SFacebookUser user;
            QVERIFY(m_api.parseUsersGetInfo(headerOf(reply), reply.body, user, error));
            QCOMPARE(user, (SFacebookUser{"200", "Alice Example", kBase + "/profile.php?id=200",
                                          kBase + "/media/avatar_200.jpg"}));
        } else if (method == QLatin1String("photos.get")) {
            QVERIFY(m_api.formatPhotosGet(url, QStringLiteral("200_70")));
            const TestHttpReply reply = send();
            SFacebookPhotoInfo photo;
            QVERIFY(m_api.parsePhotosGet(headerOf(reply), reply.body, photo, error));
            QCOMPARE(photo.pid, QStringLiteral("200_70"));
            QCOMPARE(photo.aid, QStringLiteral("200_7"));
            QCOMPARE(photo.owner, QStringLiteral("200"));
            QCOMPARE(photo.srcBig, kBase + QStringLiteral("/media/photo_200_70_n.jpg"));
        } else if (method == QLatin1String("stream.get")) {
            QVERIFY(m_api.formatStreamGet(url));
            const TestHttpReply reply = send();
            QList<SFacebookStreamPost> posts;
            QList<SFacebookUser> users;
            QVERIFY(m_api.parseStreamGet(headerOf(reply), reply.body, posts, users, error));
            QCOMPARE(posts.size(), 4);
            QCOMPARE(users.size(), 3);
            QCOMPARE(users.at(1).name, QStringLiteral("Bob Example"));
            QCOMPARE(CFacebookApi::attachmentType(posts.at(0).attachment), 3);
            QCOMPARE(posts.at(0).attachment.media.size(), 2);
            QCOMPARE(posts.at(0).attachment.media.at(1).pid, QStringLiteral("200_71"));
            QCOMPARE(posts.at(0).commentsCount, QStringLiteral("3"));
            QCOMPARE(posts.at(0).comments.size(), 2);
            QCOMPARE(posts.at(0).comments.at(1).text, QStringLiteral("Where & when?"));
            QCOMPARE(posts.at(0).userLikes, QStringLiteral("1"));
            QCOMPARE(CFacebookApi::attachmentType(posts.at(1).attachment), 1);
            QCOMPARE(CFacebookApi::videoType(posts.at(1).attachment.media.constFirst()), 1);
            QCOMPARE(posts.at(1).attachment.media.constFirst().owner, QStringLiteral("202"));
            QCOMPARE(CFacebookApi::attachmentType(posts.at(2).attachment), 2);
            QCOMPARE(posts.at(2).message, QStringLiteral("Interesting <article>"));
            QVERIFY(!posts.at(3).hasAttachment);
            QCOMPARE(posts.at(3).actorId, FakeFacebookRest::defaultUid());
        } else if (method == QLatin1String("fql.query")) {
            QVERIFY(m_api.formatEventPhotosQuery(url, QStringLiteral("200_7"), QStringLiteral("200_70"),
                                                 QStringLiteral("1262304000")));
            const TestHttpReply reply = send();
            QList<SFacebookPhotoInfo> photos;
            QVERIFY(m_api.parseEventPhotosQuery(headerOf(reply), reply.body, photos, error));
            QCOMPARE(photos.size(), 3);
            for (const SFacebookPhotoInfo& photo : std::as_const(photos)) {
                QCOMPARE(photo.aid, QStringLiteral("200_7"));
                QVERIFY(photo.pid >= QStringLiteral("200_70"));
                QVERIFY(photo.created.toLongLong() <= 1262304000);
            }
            QCOMPARE(photos.constFirst().pid, QStringLiteral("200_70"));
        } else if (method == QLatin1String("stream.addLike")) {
            QVERIFY(m_api.formatAddLike(url, QStringLiteral("200_1001")));
            const TestHttpReply reply = send();
            QVERIFY(m_api.parseAddLike(headerOf(reply), reply.body, error));
        } else if (method == QLatin1String("stream.removeLike")) {
            QVERIFY(m_api.formatRemoveLike(url, QStringLiteral("200_1001")));
            const TestHttpReply reply = send();
            QVERIFY(m_api.parseRemoveLike(headerOf(reply), reply.body, error));
        } else if (method == QLatin1String("stream.getComments")) {
            QVERIFY(m_api.formatGetComments(url, QStringLiteral("200_1001")));
            const TestHttpReply reply = send();
            QList<SFacebookComment> comments;
            QVERIFY(m_api.parseGetComments(headerOf(reply), reply.body, comments, error));
            QCOMPARE(comments.size(), 2);
            QCOMPARE(comments.at(1),
                     (SFacebookComment{"200_1001_2", "201", "1262300200", "Agreed & <more>"}));
        } else if (method == QLatin1String("notifications.get")) {
            QVERIFY(m_api.formatNotificationsGet(url));
            const TestHttpReply reply = send();
            SFacebookNotifications notifications;
            QVERIFY(m_api.parseNotificationsGet(headerOf(reply), reply.body, notifications, error));
            QCOMPARE(notifications, (SFacebookNotifications{"1", "0", {"300", "301"}}));
        } else if (method == QLatin1String("message.getThreadsInFolder")) {
            QVERIFY(m_api.formatMessageThreads(url));
            const TestHttpReply reply = send();
            QList<SFacebookMessage> messages;
            QVERIFY(m_api.parseMessageThreads(headerOf(reply), reply.body, messages, error));
            QCOMPARE(messages.size(), 2);
            QCOMPARE(messages.at(0), (SFacebookMessage{"1001_3", "200", "See you", "1262300300"}));
            QCOMPARE(messages.at(1).body, QStringLiteral("Yes, at 8 & bring wine"));
        } else if (method == QLatin1String("stream.publish")) {
            QVERIFY(m_api.formatStreamPublish(url, QStringLiteral("Hello%20w%C3%B6rld%20%26%20a%3Db")));
            const TestHttpReply reply = send();
            QString postId;
            QVERIFY(m_api.parseStreamPublish(headerOf(reply), reply.body, postId, error));
            QCOMPARE(postId, QStringLiteral("12345_5001"));
            QCOMPARE(rest.requests().constLast().param(QStringLiteral("message")),
                     QStringLiteral("Hello wörld & a=b"));
        } else if (method == QLatin1String("stream.addComment")) {
            QVERIFY(
                m_api.formatAddComment(url, QStringLiteral("200_1001"), QStringLiteral("a%20%26%20b%3Dc")));
            const TestHttpReply reply = send();
            QString commentId;
            QVERIFY(m_api.parseAddComment(headerOf(reply), reply.body, commentId, error));
            QVERIFY(commentId.startsWith(QLatin1String("200_1001_")));
            QCOMPARE(rest.requests().constLast().param(QStringLiteral("comment")), QStringLiteral("a & b=c"));
        } else {
            QFAIL("a method without a case");
        }
        QCOMPARE(error, 0);
        const QList<FakeFacebookRest::Request> log = rest.requests();
        QCOMPARE(log.size(), 1);
        QCOMPARE(log.constFirst().method, method);
        QCOMPARE(log.constFirst().errorCode, 0);
        QCOMPARE(log.constFirst().params.constLast().first, QStringLiteral("sig"));
    }

    void refusals_data()
    {
        QTest::addColumn<int>("mutation");
        QTest::addColumn<int>("refusal");
        QTest::addColumn<int>("parsed"); // the code the API makes of the refusal
        QTest::newRow("call_id changed") << int(ChangedCallId) << 104 << 105;
        QTest::newRow("post_id changed") << int(ChangedPostId) << 104 << 105;
        QTest::newRow("sig not last") << int(SigFirst) << 104 << 105;
        QTest::newRow("sig missing") << int(SigMissing) << 100 << 105;
        QTest::newRow("sig wrong") << int(SigWrong) << 104 << 105;
        QTest::newRow("other secret") << int(SignedWithOtherSecret) << 104 << 105;
        QTest::newRow("wrong api_key") << int(WrongApiKey) << 101 << 101;
        QTest::newRow("wrong session_key") << int(WrongSessionKey) << 102 << 102;
        QTest::newRow("v=2.0") << int(WrongVersion) << 100 << 105;
        QTest::newRow("format missing") << int(FormatMissing) << 100 << 105;
        QTest::newRow("unknown method") << int(UnknownMethod) << 100 << 105;
        QTest::newRow("post_id missing") << int(PostIdMissing) << 100 << 105;
    }
    void refusals()
    {
        QFETCH(int, mutation);
        QFETCH(int, refusal);
        QFETCH(int, parsed);

        FakeFacebookRest rest;
        QString url;
        QVERIFY(m_api.formatAddLike(url, QStringLiteral("200_1001")));
        QStringList entries = entriesOf(url);
        QStringList unsignedEntries = entries.mid(0, entries.size() - 1);
        const QString secret = FakeFacebookRest::defaultSessionSecret();
        auto replace = [&](const QString& name, const QString& value) {
            for (QString& e : unsignedEntries) {
                if (e.startsWith(name + QLatin1Char('=')))
                    e = name + QLatin1Char('=') + value;
            }
        };
        auto remove = [&](const QString& name) {
            unsignedEntries.removeIf([&](const QString& e) { return e.startsWith(name + QLatin1Char('=')); });
        };

        switch (mutation) {
        case ChangedCallId:
            entries.replaceInStrings(QStringLiteral("call_id=1262304000"),
                                     QStringLiteral("call_id=1262304001"));
            break;
        case ChangedPostId:
            entries.replaceInStrings(QStringLiteral("post_id=200_1001"), QStringLiteral("post_id=200_1002"));
            break;
        case SigFirst:
            entries.prepend(entries.takeLast());
            break;
        case SigMissing:
            entries.removeLast();
            break;
        case SigWrong:
            entries.last() = QStringLiteral("sig=00000000000000000000000000000000");
            break;
        case SignedWithOtherSecret:
            entries = signedEntries(unsignedEntries, QStringLiteral("other"));
            break;
        case WrongApiKey:
            replace(QStringLiteral("api_key"), QStringLiteral("ffffffffffffffffffffffffffffffff"));
            entries = signedEntries(unsignedEntries, secret);
            break;
        case WrongSessionKey:
            replace(QStringLiteral("session_key"), QStringLiteral("OTHER"));
            entries = signedEntries(unsignedEntries, secret);
            break;
        case WrongVersion:
            replace(QStringLiteral("v"), QStringLiteral("2.0"));
            entries = signedEntries(unsignedEntries, secret);
            break;
        case FormatMissing:
            remove(QStringLiteral("format"));
            entries = signedEntries(unsignedEntries, secret);
            break;
        case UnknownMethod:
            replace(QStringLiteral("method"), QStringLiteral("stream.poke"));
            entries = signedEntries(unsignedEntries, secret);
            break;
        case PostIdMissing:
            remove(QStringLiteral("post_id"));
            entries = signedEntries(unsignedEntries, secret);
            break;
        }

        const TestHttpReply reply = rest.handle(requestFor(urlOf(entries)));
        QCOMPARE(reply.status, 200);
        QCOMPARE(errorCodeOf(reply.body), refusal);
        if (refusal == 104)
            QVERIFY(reply.body.contains("<error_msg>Incorrect signature</error_msg>"));
        int error = -1;
        QVERIFY(!m_api.parseAddLike(headerOf(reply), reply.body, error));
        QCOMPARE(error, parsed);

        QCOMPARE(rest.requests().size(), 1);
        QCOMPARE(rest.requests().constFirst().errorCode, refusal);
    }

    void signedAgainUnchangedIsAccepted()
    {
        // The test's own signer agrees with the stand-in, so the refusals above are
        // about the change made, not about the signer.
        FakeFacebookRest rest;
        QString url;
        QVERIFY(m_api.formatAddLike(url, QStringLiteral("200_1001")));
        QStringList entries = entriesOf(url);
        entries.removeLast();
        QCOMPARE(urlOf(signedEntries(entries, FakeFacebookRest::defaultSessionSecret())), url);
    }

    void credentialsAreConfigurable()
    {
        FakeFacebookRest rest;
        rest.setCredentials(QStringLiteral("abc"), QStringLiteral("K2"), QStringLiteral("S2"),
                            QStringLiteral("77"));
        QString url;
        QVERIFY(m_api.formatStreamPublish(url, QStringLiteral("x")));
        QCOMPARE(errorCodeOf(rest.handle(requestFor(url)).body), 101);

        m_api.setApiKey(QStringLiteral("abc"));
        m_api.setSession(QStringLiteral("K2"), QStringLiteral("S2"), QStringLiteral("77"));
        QVERIFY(m_api.formatStreamPublish(url, QStringLiteral("x")));
        const TestHttpReply reply = rest.handle(requestFor(url));
        QString postId;
        int error = -1;
        QVERIFY(m_api.parseStreamPublish(headerOf(reply), reply.body, postId, error));
        QVERIFY(postId.startsWith(QLatin1String("77_")));
    }

    void idsArriveWhole_data()
    {
        QTest::addColumn<QString>("id");
        QTest::newRow("& and blank") << "1&2 3";
        QTest::newRow("# and %") << "4#5%6";
        QTest::newRow("= and +") << "a=b+c";
        QTest::newRow("list") << "100_1,100_2";
        QTest::newRow("non-ASCII") << "ü_1";
    }
    void idsArriveWhole()
    {
        QFETCH(QString, id);
        FakeFacebookRest rest;
        QString url;
        QVERIFY(m_api.formatAddLike(url, id));
        // The HTTP layer takes URLs strictly as encoded: nothing may be cut off or re-encoded.
        const QUrl strict = QUrl::fromEncoded(url.toUtf8(), QUrl::StrictMode);
        QVERIFY(strict.isValid());
        QVERIFY(!strict.hasFragment());
        QCOMPARE(strict.toEncoded(), url.toUtf8());

        QVERIFY(m_api.formatGetComments(url, id));
        const TestHttpReply reply = rest.handle(requestFor(url));
        QCOMPARE(errorCodeOf(reply.body), -1);
        QVERIFY(m_api.formatPhotosGet(url, id));
        QCOMPARE(errorCodeOf(rest.handle(requestFor(url)).body), -1);
        QVERIFY(m_api.formatUsersGetInfo(url, id));
        QCOMPARE(errorCodeOf(rest.handle(requestFor(url)).body), -1);
        QVERIFY(m_api.formatAddComment(url, id, QStringLiteral("c")));
        QCOMPARE(errorCodeOf(rest.handle(requestFor(url)).body), -1);

        const QList<FakeFacebookRest::Request> log = rest.requests();
        QCOMPARE(log.size(), 4);
        QCOMPARE(log.at(0).param(QStringLiteral("post_id")), id);
        QCOMPARE(log.at(1).param(QStringLiteral("pids")), id);
        QCOMPARE(log.at(2).param(QStringLiteral("uids")), id);
        QCOMPARE(log.at(3).param(QStringLiteral("post_id")), id);

        // The stand-in echoes the id back whole.
        QList<SFacebookComment> comments;
        int error = -1;
        QVERIFY(m_api.parseGetComments(headerOf(reply), reply.body, comments, error));
        QCOMPARE(comments.constFirst().id, id + QStringLiteral("_1"));
    }

    void scriptedAnswers_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("status");
        QTest::addColumn<bool>("emptyBody");
        QTest::addColumn<int>("parsed");
        QTest::newRow("empty") << "empty" << 200 << true << 105;
        QTest::newRow("malformed") << "malformed" << 200 << false << 105;
        QTest::newRow("status 500") << "500" << 500 << false << 105;
        QTest::newRow("error 4 under 500") << "error4-500" << 500 << false << 4;
        QTest::newRow("error 102 under 200") << "error102" << 200 << false << 102;
        QTest::newRow("error 190 under 200") << "error190" << 200 << false << 105;
        QTest::newRow("body") << "body" << 200 << false << 0;
    }
    void scriptedAnswers()
    {
        QFETCH(QString, kind);
        QFETCH(int, status);
        QFETCH(bool, emptyBody);
        QFETCH(int, parsed);

        FakeFacebookRest rest;
        const QString method = QStringLiteral("notifications.get");
        if (kind == QLatin1String("empty"))
            rest.scriptEmpty(method);
        else if (kind == QLatin1String("malformed"))
            rest.scriptMalformed(method);
        else if (kind == QLatin1String("500"))
            rest.scriptReply(method, 500, "<html>Internal Server Error</html>");
        else if (kind == QLatin1String("error4-500"))
            rest.scriptError(method, 4, 500);
        else if (kind == QLatin1String("error102"))
            rest.scriptError(method, 102);
        else if (kind == QLatin1String("error190"))
            rest.scriptError(method, 190);
        else
            rest.scriptReply(method, 200,
                             "<notifications_get_response><messages><unread>9</unread></messages>"
                             "</notifications_get_response>");

        QString url;
        QVERIFY(m_api.formatNotificationsGet(url));
        for (int round = 0; round < 2; ++round) { // a script without a count stays
            const FakeFacebookRest::Outcome outcome = rest.respond(requestFor(url));
            QCOMPARE(outcome.reply.status, status);
            QCOMPARE(outcome.reply.body.isEmpty(), emptyBody);
            QVERIFY(!outcome.dropConnection);
            SFacebookNotifications notifications;
            int error = -1;
            QCOMPARE(m_api.parseNotificationsGet(headerOf(outcome.reply), outcome.reply.body, notifications,
                                                 error),
                     parsed == 0);
            QCOMPARE(error, parsed);
            if (parsed == 0)
                QCOMPARE(notifications.unreadMessages, QStringLiteral("9"));
        }

        // Another method keeps its canned answer; clearing brings the canned one back.
        QVERIFY(m_api.formatStreamGet(url));
        QVERIFY(rest.handle(requestFor(url)).body.contains("<stream_get_response"));
        rest.clearScripts();
        QVERIFY(m_api.formatNotificationsGet(url));
        QVERIFY(rest.handle(requestFor(url)).body.contains("<friend_requests"));
    }

    void delayDropAndCounts()
    {
        FakeFacebookRest rest;
        const QString method = QStringLiteral("stream.get");
        rest.scriptDrop(method, 1);
        rest.scriptDelay(method, 250, 2);
        rest.scriptError(method, 2, 200, 1);
        QString url;
        QVERIFY(m_api.formatStreamGet(url));

        FakeFacebookRest::Outcome outcome = rest.respond(requestFor(url));
        QVERIFY(outcome.dropConnection);
        for (int i = 0; i < 2; ++i) {
            outcome = rest.respond(requestFor(url));
            QVERIFY(!outcome.dropConnection);
            QCOMPARE(outcome.delayMs, 250);
            QVERIFY(outcome.reply.body.contains("<stream_get_response"));
        }
        outcome = rest.respond(requestFor(url));
        QCOMPARE(outcome.delayMs, 0);
        QCOMPARE(errorCodeOf(outcome.reply.body), 2);
        outcome = rest.respond(requestFor(url));
        QVERIFY(outcome.reply.body.contains("<stream_get_response"));
        QCOMPARE(rest.requests(method).size(), 5);
    }

    void scriptsDoNotOverrideRefusals()
    {
        FakeFacebookRest rest;
        rest.scriptReply(QStringLiteral("stream.get"), 200,
                         "<stream_get_response><posts/></stream_get_response>");
        m_api.setSession(QStringLiteral("OTHER"), FakeFacebookRest::defaultSessionSecret(), QString());
        QString url;
        QVERIFY(m_api.formatStreamGet(url));
        QCOMPARE(errorCodeOf(rest.handle(requestFor(url)).body), 102);
    }

    void requestLog()
    {
        FakeFacebookRest rest;
        QString url;
        QVERIFY(m_api.formatMessageThreads(url));
        rest.handle(requestFor(url));
        QVERIFY(m_api.formatAddComment(url, QStringLiteral("1_2"), QStringLiteral("x%20y")));
        rest.handle(requestFor(url + QStringLiteral("0"))); // a broken signature is recorded too

        const QList<FakeFacebookRest::Request> log = rest.requests();
        QCOMPARE(log.size(), 2);
        QCOMPARE(log.at(0).method, QStringLiteral("message.getThreadsInFolder"));
        QStringList names;
        for (const auto& p : log.at(0).params)
            names << p.first;
        QCOMPARE(names, (QStringList{"api_key", "call_id", "folder_id", "format", "method", "session_key",
                                     "uid", "v", "sig"}));
        QCOMPARE(log.at(0).param(QStringLiteral("folder_id")), QStringLiteral("0"));
        QCOMPARE(log.at(1).method, QStringLiteral("stream.addComment"));
        QCOMPARE(log.at(1).param(QStringLiteral("comment")), QStringLiteral("x y"));
        QCOMPARE(log.at(1).errorCode, 104);
        QCOMPARE(rest.requests(QStringLiteral("stream.addComment")).size(), 1);
        rest.clearRequests();
        QVERIFY(rest.requests().isEmpty());
    }

    void otherPathsAndMethods()
    {
        FakeFacebookRest rest;
        QCOMPARE(rest.handle(requestFor(kBase + QStringLiteral("/other.php?x=1"))).status, 404);
        QString url;
        QVERIFY(m_api.formatStreamGet(url));
        QCOMPARE(rest.handle(requestFor(url, "POST")).status, 405);
        QCOMPARE(errorCodeOf(rest.handle(requestFor(kBase + QStringLiteral("/restserver.php"))).body), 100);

        // The handler form serves a server taking a TestHttpHandler.
        const TestHttpHandler handler = rest.handler();
        QVERIFY(handler(requestFor(url)).body.contains("<stream_get_response"));
    }

private:
    std::unique_ptr<TestClock> m_clock;
    CFacebookApi m_api;
};

QTEST_GUILESS_MAIN(TestFakeFacebookRest)
#include "tst_fakefacebookrest.moc"
