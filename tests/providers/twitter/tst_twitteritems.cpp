// Twitter statuses, users and links: stored forms, and the avatar download judged by its
// answer, one at a time, with no endless retry of an address that failed.
#include "meskhttptaskpool.h"
#include "meskpictures.h"
#include "twitterapi.h"
#include "twitterfixture.h"
#include "twitteritems.h"

#include <QFile>
#include <QSignalSpy>
#include <QTest>

namespace {

bool sameImage(const QPixmap& a, const QPixmap& b)
{
    return a.toImage().convertToFormat(QImage::Format_ARGB32) ==
           b.toImage().convertToFormat(QImage::Format_ARGB32);
}

} // namespace

class TestTwitterItems : public QObject
{
    Q_OBJECT
private:
    std::unique_ptr<TwitterFixture> m_fx;
    std::unique_ptr<CTwitterApi> m_api;

    STwitterUserData userData(const QString& avatar)
    {
        STwitterUserData u;
        u.id = QStringLiteral("2001");
        u.name = QStringLiteral("Bob Builder");
        u.screen_name = QStringLiteral("bob");
        u.url = QStringLiteral("http://bob.example.com");
        u.profile_image_url = avatar;
        return u;
    }
    std::unique_ptr<CTwitterUser> makeUser(const QString& avatar)
    {
        auto user = std::make_unique<CTwitterUser>(m_api.get(), m_fx->db.get());
        if (!user->create(userData(avatar), MeskProvider::Twitter))
            return nullptr;
        return user;
    }
    SServiceUser storedUser(mid_t id)
    {
        SServiceUser u;
        m_fx->db->serviceUser(id, u);
        return u;
    }

private slots:
    void initTestCase()
    {
        registerMeskMetaTypes();
        CMeskHttpTaskPool::init(this);
    }
    void cleanupTestCase() { CMeskHttpTaskPool::shutdown(); }
    void init()
    {
        m_fx = std::make_unique<TwitterFixture>();
        QVERIFY(m_fx->start());
        m_api = std::make_unique<CTwitterApi>();
    }
    void cleanup()
    {
        m_api.reset();
        m_fx.reset();
    }

    void statusRoundTrip_data()
    {
        QTest::addColumn<bool>("own");
        QTest::addColumn<bool>("retweet");
        QTest::newRow("timeline") << false << false;
        QTest::newRow("own post") << true << false;
        QTest::newRow("native retweet") << false << true;
    }
    void statusRoundTrip()
    {
        QFETCH(bool, own);
        QFETCH(bool, retweet);
        STwitterStatusData data;
        data.id = QStringLiteral("123");
        data.text = QStringLiteral("hello http://a.com");
        if (retweet) {
            data.text = QStringLiteral("RT @peter: hello http://a.com and so on ...");
            data.retweeted_screen_name = QStringLiteral("peter");
            data.retweeted_text = QStringLiteral("hello http://a.com and so on, up to the last word");
        }
        data.created_at = QStringLiteral("Wed Aug 27 13:08:45 +0000 2008");
        CTwitterStatus status(m_api.get(), m_fx->db.get());
        QVERIFY(own ? status.createOwnStatus(data, MeskProvider::Twitter, 7)
                    : status.createStatus(data, MeskProvider::Twitter, 7));
        CTwitterStatus loaded(m_api.get(), m_fx->db.get());
        QVERIFY(loaded.load(status.mediaItem().id));
        const SMediaItem item = loaded.mediaItem();
        QCOMPARE(item.type, own ? MeskItemType::OwnPost : 1);
        QCOMPARE(loaded.isOwnStatus(), own);
        QCOMPARE(loaded.isStatus(), !own);
        QCOMPARE(item.created.toUTC(), QDateTime(QDate(2008, 8, 27), QTime(13, 8, 45), Qt::UTC));
        QCOMPARE(item.mediaId, QStringLiteral("123"));
        QCOMPARE(item.content,
                 retweet ? QStringLiteral("RT @peter: hello http://a.com and so on, up to the last word")
                         : data.text);
        QCOMPARE(item.user, mid_t(7));
        QCOMPARE(item.parent, mid_t(0));
        QCOMPARE(loaded.statusUrl(QStringLiteral("alice")), m_fx->server->baseUrl() + "/alice/status/123");

        CTwitterLink link(m_api.get(), m_fx->db.get());
        QVERIFY(link.create(QStringLiteral("http://a.com"), item.created, item.content, MeskProvider::Twitter,
                            7, item.id));
        CTwitterLink again(m_api.get(), m_fx->db.get());
        QVERIFY(again.load(link.mediaItem().id));
        QCOMPARE(again.mediaItem().type, MeskItemType::Link);
        QCOMPARE(again.url(), QStringLiteral("http://a.com"));
        QCOMPARE(again.description(), QStringLiteral("http://a.com"));
        QCOMPARE(again.caption(), item.content);
        QCOMPARE(again.mediaItem().parent, item.id);
    }

    void userRoundTrip()
    {
        std::unique_ptr<CTwitterUser> user = makeUser(m_fx->avatarUrl("bob.png"));
        QVERIFY(user);
        CTwitterUser loaded(m_api.get(), m_fx->db.get());
        QVERIFY(loaded.load(user->serviceUser().id));
        const SServiceUser u = loaded.serviceUser();
        QCOMPARE(u.name, QStringLiteral("bob"));
        QCOMPARE(u.mediaId, QStringLiteral("2001"));
        QCOMPARE(u.url, QStringLiteral("http://bob.example.com"));
        QCOMPARE(u.avatar, m_fx->avatarUrl("bob.png"));
        QCOMPARE(u.type, 2);
        QVERIFY(!u.avatarFile.isEmpty());
        QCOMPARE(loaded.profileUrl(), m_fx->server->baseUrl() + "/bob");

        CTwitterUser own(m_api.get(), m_fx->db.get());
        QVERIFY(own.createOwn(QStringLiteral("123"), QStringLiteral("alice"), MeskProvider::Twitter));
        const SServiceUser o = storedUser(own.serviceUser().id);
        QCOMPARE(o.type, 1);
        QCOMPARE(o.name, QStringLiteral("alice"));
        QVERIFY(o.avatar.isEmpty());
        // Without an address the default picture stays; the download is refused and logged.
        QTest::ignoreMessage(QtDebugMsg, "CMeskHttpMethod: requested URL is empty");
        QVERIFY(sameImage(own.avatar(), scaleToNormalAvatar(own.defaultAvatar())));
        own.avatar(); // refused once: not asked again
    }

    void avatarDownload()
    {
        // The picture arrives only after the fallback was looked at: a download that ends first puts the
        // file in place, and the pictures come from it.
        m_fx->holdAvatars();
        std::unique_ptr<CTwitterUser> user = makeUser(m_fx->avatarUrl("bob.png"));
        QVERIFY(user);
        QSignalSpy updated(user.get(), &IMediaUser::avatarUpdated);
        const QPixmap fallback = scaleToNormalAvatar(user->defaultAvatar());
        QCOMPARE(fallback.deviceIndependentSize().toSize(), QSize(50, 50));
        QVERIFY(sameImage(user->avatar(), fallback));
        QVERIFY(user->isAvatarLoading());
        QVERIFY(sameImage(user->smallAvatar(), scaleToSmallAvatar(user->defaultAvatar())));
        m_fx->releaseAvatar();
        QTRY_COMPARE_WITH_TIMEOUT(updated.size(), 1, 30000);
        QCOMPARE(m_fx->avatarRequests(), 1);
        const QPixmap real = user->avatar();
        QCOMPARE(real.size(), QSize(50, 50));
        QCOMPARE(real.toImage().pixelColor(25, 25), QColor(10, 120, 200));
        QCOMPARE(user->smallAvatar().size(), QSize(32, 32));
    }

    void update_data()
    {
        QTest::addColumn<bool>("newAddress");
        QTest::addColumn<bool>("whileLoading");
        QTest::newRow("same address") << false << false;
        QTest::newRow("new address") << true << false;
        QTest::newRow("new address while downloading") << true << true;
    }
    void update()
    {
        QFETCH(bool, newAddress);
        QFETCH(bool, whileLoading);
        std::unique_ptr<CTwitterUser> user = makeUser(m_fx->avatarUrl("bob.png"));
        QVERIFY(user);
        const mid_t id = user->serviceUser().id;
        if (whileLoading) {
            user->updateAvatar();
            QVERIFY(user->isAvatarLoading());
        }
        // A change made elsewhere shows whether update() writes the row.
        SServiceUser tampered = storedUser(id);
        tampered.name = QStringLiteral("renamed");
        QVERIFY(m_fx->db->updateServiceUser(tampered));
        const QString address = m_fx->avatarUrl(newAddress ? "bob2.png" : "bob.png");
        user->update(userData(address));
        const SServiceUser stored = storedUser(id);
        const bool written = newAddress && !whileLoading;
        QCOMPARE(stored.name, written ? QStringLiteral("bob") : QStringLiteral("renamed"));
        QCOMPARE(stored.avatar, written ? address : m_fx->avatarUrl("bob.png"));
        QCOMPARE(user->serviceUser().avatar, stored.avatar);
        if (written)
            QCOMPARE(user->avatarFile(), m_fx->db->userImagePath(id, address));
        QTRY_COMPARE_WITH_TIMEOUT(user->isAvatarLoading(), false, 30000);
        QCOMPARE(m_fx->avatarRequests(), written || whileLoading ? 1 : 0);
        if (written)
            QCOMPARE(m_fx->server->lastRequest().path(), QByteArray("/avatars/bob2.png"));
    }

    // Every failed download: the earlier file stays, and the address is not asked again by
    // the picture getters until the service brings the account again.
    void failedDownload_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("404") << "404";
        QTest::newRow("closed port") << "closed";
        QTest::newRow("not a picture") << "garbage";
    }
    void failedDownload()
    {
        QFETCH(QString, kind);
        QString address = m_fx->avatarUrl("bob.png");
        if (kind == QLatin1String("closed"))
            address = LocalHttpServer().url(QStringLiteral("/bob.png"));
        if (kind == QLatin1String("404"))
            m_fx->setAvatarStatus(404);
        if (kind == QLatin1String("garbage"))
            m_fx->setAvatarBody("<html>not a picture</html>");
        std::unique_ptr<CTwitterUser> user = makeUser(address);
        QVERIFY(user);
        if (kind != QLatin1String("garbage")) {
            QFile earlier(user->avatarFile());
            QVERIFY(earlier.open(QIODevice::WriteOnly));
            earlier.write("earlier");
        }
        QSignalSpy updated(user.get(), &IMediaUser::avatarUpdated);
        QSignalSpy failed(user.get(), &IMediaUser::avatarUpdateFailed);
        user->updateAvatar();
        QTRY_COMPARE_WITH_TIMEOUT(failed.size(), 1, 30000);
        QCOMPARE(updated.size(), 0);
        if (kind != QLatin1String("garbage")) {
            QFile file(user->avatarFile());
            QVERIFY(file.open(QIODevice::ReadOnly));
            QCOMPARE(file.readAll(), QByteArray("earlier"));
        }
        QVERIFY(sameImage(user->avatar(), scaleToNormalAvatar(user->defaultAvatar())));
        QVERIFY(!user->isAvatarLoading());
        user->update(userData(address));
        user->avatar();
        QVERIFY(user->isAvatarLoading());
        QTRY_COMPARE_WITH_TIMEOUT(failed.size(), 2, 30000);
    }
};

QTEST_MAIN(TestTwitterItems)
#include "tst_twitteritems.moc"
