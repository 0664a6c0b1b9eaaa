// Facebook events: the rows the writers store, loading, likes and comments through the
// stand-in service.
#include "facebookitembed.h"
#include "facebookitems.h"
#include "imediaposting.h"

#include <QSignalSpy>
#include <QTest>

namespace {

constexpr mid_t kProvider = 2;

QByteArray likeAnswer(const char* method, const char* value)
{
    return QByteArray("<?xml version=\"1.0\" encoding=\"UTF-8\"?><") + method +
           "_response xmlns=\"http://api.facebook.com/1.0/\">" + value + "</" + method + "_response>";
}

} // namespace

class TestFacebookEvent : public QObject
{
    Q_OBJECT
private:
    FacebookItemBed m_bed;
    int m_next = 1;

    // A stored plain post with these counts.
    CFacebookEvent* storedPost(const QString& likes, const QString& userLikes = QStringLiteral("0"))
    {
        SFacebookStreamPost post;
        post.postId = QStringLiteral("100_%1").arg(m_next++);
        post.createdTime = QStringLiteral("1262304000");
        post.likesCount = likes;
        post.userLikes = userLikes;
        post.commentsCount = QStringLiteral("0");
        const mid_t id = CFacebookEvent::addPost(&m_bed.api, m_bed.db.get(), post, kProvider, 0);
        return id ? CFacebookEvent::load(&m_bed.api, m_bed.db.get(), id) : nullptr;
    }

    QHash<QString, QString> fields(mid_t id)
    {
        QHash<QString, QString> out;
        m_bed.db->mediaItemFields(id, out);
        return out;
    }

private slots:
    void initTestCase() { QVERIFY(m_bed.start(this)); }
    void cleanupTestCase() { m_bed.stop(); }
    void init() { m_bed.reset(); }

    // eventType and TYPE follow the kind the protocol library gives the attachment.
    void rowTypes_data()
    {
        QTest::addColumn<bool>("hasAttachment");
        QTest::addColumn<QString>("objectType");
        QTest::addColumn<QString>("mediaType");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("href");
        QTest::addColumn<int>("eventType");
        QTest::addColumn<int>("type");
        const QString n = QStringLiteral("Name");
        const QString h = QStringLiteral("http://h.example/x");
        QTest::newRow("none") << false << ""
                              << ""
                              << ""
                              << "" << 0 << 1;
        // The parser sets hasAttachment false for a whitespace-only attachment; its fields count for nothing.
        QTest::newRow("whitespace only") << false << "link"
                                         << "" << n << h << 0 << 1;
        QTest::newRow("photo") << true << "photo"
                               << ""
                               << ""
                               << "" << 1 << 2;
        QTest::newRow("album") << true << "album"
                               << ""
                               << ""
                               << "" << 2 << 2;
        QTest::newRow("link") << true << "link"
                              << ""
                              << ""
                              << "" << 3 << 4;
        QTest::newRow("event") << true << "event"
                               << ""
                               << ""
                               << "" << 4 << 1;
        QTest::newRow("video") << true << "video"
                               << ""
                               << ""
                               << "" << 5 << 3;
        QTest::newRow("other with name and href") << true << ""
                                                  << "swf" << n << h << 3 << 4;
        QTest::newRow("other without href") << true << ""
                                            << "swf" << n << "" << 0 << 1;
        QTest::newRow("other without name") << true << ""
                                            << ""
                                            << "" << h << 0 << 1;
    }
    void rowTypes()
    {
        QFETCH(bool, hasAttachment);
        QFETCH(QString, objectType);
        QFETCH(QString, mediaType);
        QFETCH(QString, name);
        QFETCH(QString, href);
        QFETCH(int, eventType);
        QFETCH(int, type);

        SFacebookStreamPost post;
        post.postId = QStringLiteral("100_%1").arg(m_next++);
        post.message = QStringLiteral("Hello");
        post.createdTime = QStringLiteral("4102444800"); // after 2038
        post.likesCount = QStringLiteral("4");
        post.commentsCount = QStringLiteral("2");
        post.userLikes = QStringLiteral("1");
        post.hasAttachment = hasAttachment;
        post.attachment.fbObjectType = objectType;
        post.attachment.name = name;
        post.attachment.href = href;
        if (!mediaType.isEmpty()) {
            SFacebookMedia media;
            media.type = mediaType;
            post.attachment.media.append(media);
        }
        const mid_t id = CFacebookEvent::addPost(&m_bed.api, m_bed.db.get(), post, kProvider, 7);
        QVERIFY(id);
        std::unique_ptr<CFacebookEvent> event(CFacebookEvent::load(&m_bed.api, m_bed.db.get(), id));
        QVERIFY(event);
        QVERIFY(!event->parent());
        const SMediaItem item = event->mediaItem();
        QCOMPARE(item.type, type);
        QCOMPARE(event->eventType(), eventType);
        QCOMPARE(item.extra1, QStringLiteral("spost"));
        QCOMPARE(item.user, mid_t(7));
        QCOMPARE(item.created, QDateTime(QDate(2100, 1, 1), QTime(0, 0), Qt::UTC));
        QCOMPARE(event->likeCount(), 4);
        QCOMPARE(event->commentsCount(), 2);
        QVERIFY(event->userLikes());
        QCOMPARE(fields(id).value(QStringLiteral("eventType")), QString::number(eventType));
    }

    // The other writers: friend request, message and own status.
    void otherRows_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("mediaId");
        QTest::addColumn<QString>("extra1");
        QTest::addColumn<int>("eventType");
        QTest::newRow("friend request") << "frequest"
                                        << "frequest_300"
                                        << "frequest" << 7;
        QTest::newRow("message") << "message"
                                 << "m'1"
                                 << "message" << 6;
        QTest::newRow("status") << "status"
                                << "12345_9"
                                << "spost" << 0;
    }
    void otherRows()
    {
        QFETCH(QString, kind);
        QFETCH(QString, mediaId);
        QFETCH(QString, extra1);
        QFETCH(int, eventType);
        mid_t id = 0;
        if (kind == "frequest") {
            id = CFacebookEvent::addFriendRequest(m_bed.db.get(), QStringLiteral("300"), kProvider, 3);
        } else if (kind == "message") {
            id = CFacebookEvent::addMessage(
                m_bed.db.get(), {mediaId, QStringLiteral("400"), "Hi", "1262304000"}, kProvider, 3);
        } else {
            id = CFacebookEvent::addStatus(m_bed.db.get(), mediaId, QStringLiteral("Hi"), kProvider, 3);
        }
        QVERIFY(id);
        std::unique_ptr<CFacebookEvent> event(CFacebookEvent::load(&m_bed.api, m_bed.db.get(), id));
        QVERIFY(event);
        QCOMPARE(event->mediaItem().mediaId, mediaId);
        QCOMPARE(event->mediaItem().type, 1);
        QCOMPARE(event->mediaItem().extra1, extra1);
        QCOMPARE(event->eventType(), eventType);
        QCOMPARE(fields(id).contains(QStringLiteral("userLikes")), false);
        QCOMPARE(fields(id).value(QStringLiteral("likeCount")), QStringLiteral("0"));
    }

    void loadRefusesOtherTypes_data()
    {
        QTest::addColumn<int>("type");
        for (int type = 5; type <= 10; ++type)
            QTest::newRow(qPrintable(QString::number(type))) << type;
    }
    void loadRefusesOtherTypes()
    {
        QFETCH(int, type);
        SMediaItem item;
        item.provider = kProvider;
        item.type = type;
        item.mediaId = QStringLiteral("x");
        QVERIFY(m_bed.db->addMediaItem(item));
        QTest::ignoreMessage(QtDebugMsg,
                             "CFacebookEvent: item type check failed while loading from storage, must "
                             "be one of the event types");
        QVERIFY(!CFacebookEvent::load(&m_bed.api, m_bed.db.get(), item.id));
    }

    // A like or unlike changes the counts only when the service accepted it.
    void likes_data()
    {
        QTest::addColumn<bool>("unlike");
        QTest::addColumn<QString>("startCount");
        QTest::addColumn<QString>("script");
        QTest::addColumn<QString>("signal");
        QTest::addColumn<int>("count");
        QTest::addColumn<QString>("userLikes");
        QTest::newRow("like") << false << "2"
                              << "1"
                              << "likeAdded" << 3 << "1";
        QTest::newRow("like refused") << false << "2"
                                      << "0"
                                      << "likeFailed" << 2 << "0";
        QTest::newRow("like dropped") << false << "2"
                                      << "drop"
                                      << "likeFailed" << 2 << "0";
        QTest::newRow("unlike") << true << "2"
                                << "1"
                                << "likeRemoved" << 1 << "0";
        QTest::newRow("unlike at 0") << true << "0"
                                     << "1"
                                     << "likeRemoved" << 0 << "0";
    }
    void likes()
    {
        QFETCH(bool, unlike);
        QFETCH(QString, startCount);
        QFETCH(QString, script);
        QFETCH(QString, signal);
        QFETCH(int, count);
        QFETCH(QString, userLikes);
        const char* method = unlike ? "stream.removeLike" : "stream.addLike";
        const char* top = unlike ? "stream_removeLike" : "stream_addLike";
        if (script == "drop")
            m_bed.rest->scriptDrop(QLatin1String(method));
        else
            m_bed.rest->scriptReply(QLatin1String(method), 200,
                                    likeAnswer(top, script.toLatin1().constData()), -1, 150);
        std::unique_ptr<CFacebookEvent> event(storedPost(startCount, unlike ? "1" : "0"));
        QVERIFY(event);
        QSignalSpy added(event.get(), &CFacebookEvent::likeAdded);
        QSignalSpy removed(event.get(), &CFacebookEvent::likeRemoved);
        QSignalSpy failed(event.get(), &CFacebookEvent::likeFailed);
        QVERIFY(unlike ? event->removeLike() : event->addLike());
        QVERIFY(!(unlike ? event->removeLike() : event->addLike())); // the first one still runs
        QSignalSpy& expected = signal == "likeAdded" ? added : signal == "likeRemoved" ? removed : failed;
        QTRY_COMPARE_WITH_TIMEOUT(expected.count(), 1, 30000);
        QTest::qWait(50);
        QCOMPARE(added.count() + removed.count() + failed.count(), 1);
        QCOMPARE(event->likeCount(), count);
        const QHash<QString, QString> stored = fields(event->mediaItem().id);
        QCOMPARE(stored.value(QStringLiteral("likeCount")), QString::number(count));
        if (signal != "likeFailed")
            QCOMPARE(stored.value(QStringLiteral("userLikes")), userLikes);
        if (script != "drop") // the network layer sends a GET again once after a dropped connection
            QCOMPARE(m_bed.rest->requests(QLatin1String(method)).size(), 1);
    }

    // A posted comment is stored under the event as the posting user's, and counted.
    void postedComment_data()
    {
        QTest::addColumn<bool>("userStored");
        QTest::newRow("user stored") << true;
        QTest::newRow("no such user") << false;
    }
    void postedComment()
    {
        QFETCH(bool, userStored);
        m_bed.db->deleteProviderUsers(kProvider);
        const mid_t userId = userStored ? CFacebookUser::addBareUser(m_bed.db.get(), "100", kProvider) : 0;
        std::unique_ptr<CFacebookEvent> event(storedPost(QStringLiteral("0")));
        QVERIFY(event);
        QSignalSpy added(event.get(), &CFacebookEvent::commentAdded);
        IMediaCommentPoster* poster = event->commentPoster(QStringLiteral("100"));
        QCOMPARE(event->commentPoster(QStringLiteral("100")), poster);
        QSignalSpy posted(poster, &IMediaCommentPoster::posted);
        if (!userStored)
            QTest::ignoreMessage(QtDebugMsg, "CFacebookEvent: failed to load posting user from database");
        QVERIFY(poster->postComment(QStringLiteral("Thanks")));
        QTRY_COMPARE_WITH_TIMEOUT(posted.count(), 1, 30000);
        const QList<SMediaItem> comments = event->comments();
        if (!userStored) {
            QVERIFY(comments.isEmpty());
            QCOMPARE(added.count(), 0);
            QCOMPARE(event->commentsCount(), 0);
            return;
        }
        QCOMPARE(comments.size(), 1);
        QCOMPARE(comments.first().user, userId);
        QCOMPARE(comments.first().content, QStringLiteral("Thanks"));
        QCOMPARE(event->commentsCount(), 1);
        QCOMPARE(fields(event->mediaItem().id).value(QStringLiteral("commentsCount")), QStringLiteral("1"));
        QCOMPARE(added.count(), 1);
        QCOMPARE(added.first().at(0).toString(), comments.first().mediaId);
        QCOMPARE(added.first().at(1).toString(), QStringLiteral("Thanks"));
    }

    void attachingTwiceFails()
    {
        std::unique_ptr<CFacebookEvent> first(storedPost(QStringLiteral("0")));
        std::unique_ptr<CFacebookEvent> second(storedPost(QStringLiteral("0")));
        const mid_t id = CFacebookComment::create(&m_bed.api, m_bed.db.get(),
                                                  {"c1", "100", "1262304000", "Hi"}, kProvider, 0);
        std::unique_ptr<CFacebookComment> comment(CFacebookComment::load(&m_bed.api, m_bed.db.get(), id));
        QVERIFY(comment);
        QVERIFY(first->attachComment(comment.get()));
        QTest::ignoreMessage(QtDebugMsg, "CFacebookEvent: comment already has a parent");
        QVERIFY(!second->attachComment(comment.get()));
        QCOMPARE(first->comments().size(), 1);
        QVERIFY(second->comments().isEmpty());
    }
};

QTEST_MAIN(TestFacebookEvent)
#include "tst_facebookevent.moc"
