// The Facebook object manager: one object per row, find-or-store by the service's ids of
// each kind, comment lists, and what empty ids do.
#include "facebookitembed.h"
#include "facebookitems.h"
#include "facebookobjects.h"
#include "failingstorage.h"

#include <QPointer>
#include <QSignalSpy>
#include <QTest>

namespace {

constexpr mid_t kProvider = 2;

SFacebookStreamPost plainPost(const QString& id, const QString& likes = QStringLiteral("0"))
{
    SFacebookStreamPost post;
    post.postId = id;
    post.actorId = QStringLiteral("100");
    post.createdTime = QStringLiteral("1262304000");
    post.likesCount = likes;
    post.commentsCount = QStringLiteral("0");
    return post;
}

} // namespace

class TestFacebookObjects : public QObject
{
    Q_OBJECT
private:
    FacebookItemBed m_bed;
    std::unique_ptr<CFacebookObjectManager> m_objects;

    int rows() { return int(m_bed.db->providerItems(kProvider).size()); }

    mid_t storeRow(int type, const QString& mediaId, mid_t parent = 0)
    {
        SMediaItem item;
        item.provider = kProvider;
        item.type = type;
        item.mediaId = mediaId;
        item.parent = parent;
        return m_bed.db->addMediaItem(item) ? item.id : 0;
    }

private slots:
    void initTestCase() { QVERIFY(m_bed.start(this)); }
    void cleanupTestCase()
    {
        m_objects.reset();
        m_bed.stop();
    }
    void init()
    {
        m_bed.reset();
        m_bed.db->deleteProviderItems(kProvider);
        m_bed.db->deleteProviderUsers(kProvider);
        m_objects = std::make_unique<CFacebookObjectManager>(&m_bed.api, kProvider);
        m_objects->setStorage(m_bed.db.get());
    }
    void cleanup() { m_objects.reset(); }

    // A look-up that fails stores no second copy of what is stored already.
    void failedLookUpStoresNothing_data()
    {
        QTest::addColumn<bool>("post"); // a post, or else a user
        QTest::newRow("post") << true;
        QTest::newRow("user") << false;
    }
    void failedLookUpStoresNothing()
    {
        QFETCH(bool, post);
        const auto add = [this, post] {
            return post ? static_cast<QObject*>(m_objects->addPost(plainPost(QStringLiteral("100_1")), 0))
                        : m_objects->userByMediaId(QStringLiteral("100"));
        };
        const auto count = [this, post] {
            return post ? rows() : int(m_bed.db->serviceUsers(kProvider).size());
        };
        checkFailedLookUpStoresNothing(add, count,
                                       post ? QStringLiteral("MEDIAITEMS") : QStringLiteral("SERVICEUSERS"));
    }

    void caching()
    {
        CFacebookEvent* event = m_objects->addPost(plainPost(QStringLiteral("100_1")), 0);
        QVERIFY(event);
        const mid_t id = event->mediaItem().id;
        QCOMPARE(m_objects->event(id), event);
        QCOMPARE(m_objects->eventByMediaId(QStringLiteral("100_1")), event);
        QVERIFY(!event->parent());
        CFacebookUser* user = m_objects->userByMediaId(QStringLiteral("100"));
        QVERIFY(user);
        QCOMPARE(m_objects->user(user->serviceUser().id), user);
        QVERIFY(!user->parent());

        QPointer<CFacebookEvent> eventGuard(event);
        QPointer<CFacebookUser> userGuard(user);
        m_objects->clear();
        QVERIFY(eventGuard && userGuard); // released, not deleted at once
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!eventGuard && !userGuard);
        CFacebookEvent* again = m_objects->event(id);
        QVERIFY(again);
        QCOMPARE(again->mediaItem().mediaId, QStringLiteral("100_1"));
    }

    // Every find-or-store stores a row once, whatever its id holds and whichever other
    // kinds share it.
    void findOrStore_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("id");
        QTest::newRow("post") << "post"
                              << "100_2";
        QTest::newRow("post with quotes") << "post"
                                          << "100_2'; --";
        QTest::newRow("post id of a stored photo") << "post over photo"
                                                   << "100_5";
        QTest::newRow("friend request") << "frequest"
                                        << "300";
        QTest::newRow("message") << "message"
                                 << "m\"1";
        QTest::newRow("comment id of a stored post") << "comment over post"
                                                     << "100_5";
    }
    void findOrStore()
    {
        QFETCH(QString, kind);
        QFETCH(QString, id);
        if (kind == "post over photo")
            QVERIFY(storeRow(MeskItemType::Image, id));
        if (kind == "comment over post")
            QVERIFY(m_objects->addPost(plainPost(id), 0));
        const int before = rows();
        const auto store = [&](const QString& likes) -> QObject* {
            if (kind.startsWith("post"))
                return m_objects->addPost(plainPost(id, likes), 0);
            if (kind == "frequest")
                return m_objects->addFriendRequest(id, 0);
            if (kind == "message")
                return m_objects->addMessage({id, "400", "Hi", "1262304000"}, 0);
            return m_objects->commentFromRecord({id, "300", "1262304000", "Hi"}, 0);
        };
        QObject* first = store(QStringLiteral("1"));
        QVERIFY(first);
        QCOMPARE(rows(), before + 1);
        QObject* second = store(QStringLiteral("5")); // changed counts are not this operation's business
        QCOMPARE(second, first);
        QCOMPARE(rows(), before + 1);
        if (auto* event = qobject_cast<CFacebookEvent*>(first)) {
            QCOMPARE(event->likeCount(), kind.startsWith("post") ? 1 : 0);
            QHash<QString, QString> fields;
            m_bed.db->mediaItemFields(event->mediaItem().id, fields);
            QCOMPARE(fields.value(QStringLiteral("likeCount")), kind.startsWith("post") ? "1" : "0");
        }
    }

    // An empty id never finds anything: an empty photo or calendar key stores a new row,
    // any other empty id stores nothing.
    void emptyIds()
    {
        CFacebookEvent* owner = m_objects->addPost(plainPost(QStringLiteral("100_1")), 0);
        CFacebookEvent* other = m_objects->addPost(plainPost(QStringLiteral("100_2")), 0);
        QVERIFY(owner && other);
        const QString empty = QStringLiteral(""); // non-null, as <pid/> parses
        const mid_t otherPhoto = storeRow(MeskItemType::Image, empty, other->mediaItem().id);
        const mid_t link = storeRow(MeskItemType::Link, empty, other->mediaItem().id);
        QVERIFY(otherPhoto && link);
        QVERIFY(!m_objects->existsByMediaId(empty, CFacebookObjectManager::Kind::Photo));
        QVERIFY(!m_objects->existsByMediaId(QString(), CFacebookObjectManager::Kind::Photo));

        SFacebookMedia media;
        media.type = QStringLiteral("photo");
        media.pid = empty;
        CFacebookPhoto* photo = m_objects->photoFromMedia(media, 0);
        QVERIFY(photo);
        QVERIFY(photo->mediaItem().id != otherPhoto && photo->mediaItem().id != link);
        QVERIFY(owner->attachPhoto(photo));
        QCOMPARE(owner->mediaObjects().size(), 1);
        QCOMPARE(other->mediaObjects().size(), 2);

        const int before = rows();
        const int users = int(m_bed.db->serviceUsers(kProvider).size());
        QVERIFY(!m_objects->addPost(plainPost(empty), 0));
        QVERIFY(!m_objects->addPost(plainPost(QString()), 0));
        QVERIFY(!m_objects->addFriendRequest(empty, 0));
        QVERIFY(!m_objects->userByMediaId(empty));
        QVERIFY(!m_objects->commentFromRecord({empty, "300", "1262304000", "Hi"}, 0));
        QCOMPARE(rows(), before);
        QCOMPARE(int(m_bed.db->serviceUsers(kProvider).size()), users);
    }

    // A comment by an unknown author: the author is stored bare and told before the comment is stored.
    void commentAuthor()
    {
        CFacebookEvent* event = m_objects->addPost(plainPost(QStringLiteral("100_1")), 0);
        QVERIFY(event);
        bool commentStoredAtSignal = true;
        connect(m_objects.get(), &CFacebookObjectManager::userAdded, this, [&](mid_t) {
            commentStoredAtSignal = !m_bed.db->itemByMediaId(kProvider, QStringLiteral("c1")).isEmpty();
        });
        QSignalSpy usersAdded(m_objects.get(), &CFacebookObjectManager::userAdded);
        QVERIFY(m_objects->addComment(event, {"c1", "300", "1262304000", "Hi"}));
        QCOMPARE(usersAdded.count(), 1);
        QVERIFY(!commentStoredAtSignal);
        CFacebookUser* author = m_objects->findUserByMediaId(QStringLiteral("300"));
        QVERIFY(author);
        QCOMPARE(usersAdded.first().first().value<mid_t>(), author->serviceUser().id);
        QCOMPARE(author->serviceUser().type, 0);
        QCOMPARE(event->comments().size(), 1);
        QCOMPARE(event->comments().first().user, author->serviceUser().id);
        QVERIFY(!m_objects->addComment(event, {"c1", "300", "1262304000", "Hi"})); // stored already
    }

    void syncComments_data()
    {
        QTest::addColumn<QStringList>("fetched");
        QTest::addColumn<QStringList>("expected");
        QTest::addColumn<int>("updates");
        QTest::newRow("unchanged") << QStringList{"c1", "c2"} << QStringList{"c1", "c2"} << 0;
        QTest::newRow("one gone, one new") << QStringList{"c2", "c3"} << QStringList{"c2", "c3"} << 1;
    }
    void syncComments()
    {
        QFETCH(QStringList, fetched);
        QFETCH(QStringList, expected);
        QFETCH(int, updates);
        SFacebookStreamPost post = plainPost(QStringLiteral("100_1"));
        post.commentsCount = QStringLiteral("7");
        CFacebookEvent* event = m_objects->addPost(post, 0);
        QVERIFY(event);
        m_objects->addComments(event,
                               {{"c1", "300", "1262304000", "one"}, {"c2", "300", "1262304001", "two"}});
        QPointer<CFacebookComment> first = m_objects->commentByMediaId(QStringLiteral("c1"));
        QVERIFY(first);

        QList<SFacebookComment> records;
        for (const QString& id : std::as_const(fetched))
            records.append({id, "300", "1262304002", id});
        QSignalSpy updated(event, &CFacebookEvent::updated);
        m_objects->syncComments(event, records);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCOMPARE(updated.count(), updates);
        QStringList stored;
        for (const SMediaItem& row : event->comments())
            stored.append(row.mediaId);
        stored.sort();
        QCOMPARE(stored, expected);
        QCOMPARE(bool(first), expected.contains("c1"));
        QCOMPARE(event->commentsCount(), 7);
        QHash<QString, QString> fields;
        m_bed.db->mediaItemFields(event->mediaItem().id, fields);
        QCOMPARE(fields.value(QStringLiteral("commentsCount")), QStringLiteral("7"));
    }
};

QTEST_MAIN(TestFacebookObjects)
#include "tst_facebookobjects.moc"
