// Facebook users: refreshing name and picture, avatars with their fallback, and the
// bounds on downloads of a picture address that does not give a picture.
#include "facebookitembed.h"
#include "facebookitems.h"
#include "style/quorimages.h"

#include <QSignalSpy>

#include <memory>

namespace {

// The user's signals in the order they came.
struct UserLog
{
    QStringList entries;
    QObject context;

    explicit UserLog(CFacebookUser* user)
    {
        QObject::connect(user, &CFacebookUser::userInfoUpdated, &context,
                         [this] { entries << "userInfoUpdated"; });
        QObject::connect(user, &CFacebookUser::avatarUpdated, &context,
                         [this] { entries << "avatarUpdated"; });
        QObject::connect(user, &CFacebookUser::avatarUpdateFailed, &context,
                         [this] { entries << "avatarUpdateFailed"; });
    }
    bool waitFor(int count)
    {
        const bool ok = QTest::qWaitFor([&] { return entries.size() >= count; }, 30000);
        QTest::qWait(100); // strays
        return ok;
    }
};

} // namespace

class TestFacebookUser : public QObject
{
    Q_OBJECT
private:
    FacebookItemBed m_bed;

    std::unique_ptr<CFacebookUser> load(mid_t id)
    {
        return std::unique_ptr<CFacebookUser>(CFacebookUser::load(&m_bed.api, m_bed.db.get(), id));
    }
    // A stored user whose picture is served at path.
    std::unique_ptr<CFacebookUser> userWithPicture(const QString& uid, const QString& path)
    {
        const SFacebookUser info{uid, QStringLiteral("User ") + uid,
                                 m_bed.url(QStringLiteral("/profile.php")),
                                 path.isEmpty() ? QString() : m_bed.url(path)};
        return load(CFacebookUser::addUser(m_bed.db.get(), info, 2));
    }

private slots:
    void initTestCase() { QVERIFY(m_bed.start(this)); }
    void cleanupTestCase() { m_bed.stop(); }
    void init() { m_bed.reset(); }

    void artwork()
    {
        QCOMPARE(QuorImages::pixmap(QStringLiteral(":/images/facebook/facebook_default_profile_avatar.png"))
                     .size(),
                 QSize(50, 50));
        QCOMPARE(QuorImages::pixmap(QStringLiteral(":/images/facebook/facebook_logo_small.png")).size(),
                 QSize(17, 17));
    }

    // A user known only by uid asks users.getInfo, stores what comes, then fetches the picture.
    void refresh()
    {
        std::unique_ptr<CFacebookUser> user =
            load(CFacebookUser::addBareUser(m_bed.db.get(), QStringLiteral("300"), 2));
        QVERIFY(user);
        UserLog log(user.get());
        user->updateAvatar();
        QVERIFY(log.waitFor(2));
        QCOMPARE(log.entries, QStringList({"userInfoUpdated", "avatarUpdated"}));
        const QList<FakeFacebookRest::Request> calls = m_bed.rest->requests(QStringLiteral("users.getInfo"));
        QCOMPARE(calls.size(), 1);
        QCOMPARE(calls.first().param(QStringLiteral("uids")), QStringLiteral("300"));
        QCOMPARE(m_bed.gets(QStringLiteral("/media/avatar_300.jpg")), 1);

        SServiceUser row;
        QVERIFY(m_bed.db->serviceUser(user->serviceUser().id, row));
        QCOMPARE(row.name, QStringLiteral("User 300"));
        QCOMPARE(row.avatar, m_bed.url(QStringLiteral("/media/avatar_300.jpg")));
        QCOMPARE(row.url, m_bed.url(QStringLiteral("/profile.php?id=300")));
        QCOMPARE(user->name(), row.name);
        QCOMPARE(user->avatarFile(), row.avatarFile);
        QCOMPARE(user->avatar().size(), QSize(50, 50));
    }

    void refreshFailures_data()
    {
        QTest::addColumn<QString>("failure");
        QTest::newRow("named, no picture address") << "none";
        QTest::newRow("users.getInfo refused") << "refused";
        QTest::newRow("users.getInfo dropped") << "dropped";
    }
    void refreshFailures()
    {
        QFETCH(QString, failure);
        std::unique_ptr<CFacebookUser> user =
            failure == QLatin1String("none")
                ? userWithPicture(QStringLiteral("301"), QString())
                : load(CFacebookUser::addBareUser(m_bed.db.get(), QStringLiteral("302"), 2));
        QVERIFY(user);
        if (failure == QLatin1String("refused"))
            m_bed.rest->scriptError(QStringLiteral("users.getInfo"), 2);
        else if (failure == QLatin1String("dropped"))
            m_bed.rest->scriptDrop(QStringLiteral("users.getInfo"));
        UserLog log(user.get());
        user->updateAvatar();
        if (failure == QLatin1String("none"))
            QCOMPARE(log.entries, QStringList({"avatarUpdateFailed"})); // at once
        QVERIFY(log.waitFor(1));
        QCOMPARE(log.entries, QStringList({"avatarUpdateFailed"}));
        QCOMPARE(m_bed.server->requests().size() > 0, failure != QLatin1String("none"));
    }

    void updateFromInfo_data()
    {
        QTest::addColumn<QString>("uid");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("picture");
        QTest::addColumn<QStringList>("signals_");
        QTest::addColumn<int>("gets");
        QTest::newRow("another uid") << "999"
                                     << "Other"
                                     << "/media/other.png" << QStringList() << 0;
        QTest::newRow("identical") << "400"
                                   << "User 400"
                                   << "/media/u400.png" << QStringList() << 0;
        QTest::newRow("new name") << "400"
                                  << "Dana"
                                  << "/media/u400.png" << QStringList({"userInfoUpdated"}) << 0;
        QTest::newRow("new picture") << "400"
                                     << "User 400"
                                     << "/media/u400_b.png"
                                     << QStringList({"userInfoUpdated", "avatarUpdated"}) << 1;
    }
    void updateFromInfo()
    {
        QFETCH(QString, uid);
        QFETCH(QString, name);
        QFETCH(QString, picture);
        QFETCH(QStringList, signals_);
        QFETCH(int, gets);
        std::unique_ptr<CFacebookUser> user =
            userWithPicture(QStringLiteral("400"), QStringLiteral("/media/u400.png"));
        const SServiceUser before = user->serviceUser();
        UserLog log(user.get());
        user->updateFromInfo({uid, name, QString(), m_bed.url(picture)});
        log.waitFor(signals_.size());
        QCOMPARE(log.entries, signals_);
        QCOMPARE(m_bed.gets(picture), gets);
        SServiceUser row;
        QVERIFY(m_bed.db->serviceUser(before.id, row));
        QCOMPARE(row.name, uid == QLatin1String("400") ? name : before.name);
        QCOMPARE(row.avatar, uid == QLatin1String("400") ? m_bed.url(picture) : before.avatar);
        if (gets)
            QCOMPARE(user->avatarFile(), row.avatarFile);
    }

    // Before any download the default picture; then the download, scaled to each size.
    void avatars()
    {
        std::unique_ptr<CFacebookUser> user =
            userWithPicture(QStringLiteral("500"), QStringLiteral("/media/a_80x40.png"));
        QSignalSpy updated(user.get(), &CFacebookUser::avatarUpdated);
        QCOMPARE(user->avatar().size(), QSize(50, 50));
        QCOMPARE(user->smallAvatar().size(), QSize(32, 32));
        QVERIFY(updated.wait(30000));
        QCOMPARE(m_bed.gets(QStringLiteral("/media/a_80x40.png")), 1);
        QCOMPARE(user->avatar().size(), QSize(50, 25));
        QCOMPARE(user->smallAvatar().size(), QSize(32, 16));
        QCOMPARE(user->defaultAvatar().size(), QSize(50, 50));
    }

    // A failed download never replaces a good picture and never announces one; an address
    // that gave no picture is not asked again until the service brings it again.
    void failedPictures_data()
    {
        QTest::addColumn<FacebookItemBed::Answer>("answer");
        QTest::addColumn<bool>("earlierFile");
        QTest::newRow("404 over a good file") << FacebookItemBed::Answer::NotFound << true;
        QTest::newRow("404, no file") << FacebookItemBed::Answer::NotFound << false;
        QTest::newRow("200, no picture") << FacebookItemBed::Answer::Junk << false;
        QTest::newRow("drop, no file") << FacebookItemBed::Answer::Drop << false;
    }
    void failedPictures()
    {
        QFETCH(FacebookItemBed::Answer, answer);
        QFETCH(bool, earlierFile);
        static int row = 0;
        const QString uid = QString::number(600 + ++row);
        const QString path = QStringLiteral("/media/f_%1.jpg").arg(uid);
        m_bed.serve(path, FacebookItemBed::Answer::Picture);
        std::unique_ptr<CFacebookUser> user = userWithPicture(uid, path);
        UserLog log(user.get());
        QByteArray before;
        if (earlierFile) {
            user->updateAvatar();
            QVERIFY(log.waitFor(1));
            QCOMPARE(log.entries, QStringList({"avatarUpdated"}));
            before = FacebookItemBed::contents(user->avatarFile());
            QVERIFY(!before.isEmpty());
            log.entries.clear();
            m_bed.server->clearRequests();
        }
        m_bed.serve(path, answer);
        QCOMPARE(user->avatar().size(), QSize(50, 50)); // starts the download when there is no file
        if (earlierFile)
            user->updateAvatar();
        QVERIFY(log.waitFor(1));
        QCOMPARE(log.entries, QStringList({"avatarUpdateFailed"}));
        // A 2xx body is the pool's to write; only refused answers keep the file as it was.
        if (answer != FacebookItemBed::Answer::Junk)
            QCOMPARE(FacebookItemBed::contents(user->avatarFile()), before);
        const int sent = m_bed.server->requestCount();
        QVERIFY(sent >= 1);

        // Asked again: refused at once, nothing sent.
        log.entries.clear();
        for (int i = 0; i < 3; ++i)
            QCOMPARE(user->avatar().size(), QSize(50, 50));
        QCOMPARE(log.entries.size(), earlierFile ? 0 : 3); // a good file is shown without asking
        log.entries.clear();
        user->updateAvatar();
        QCOMPARE(log.entries, QStringList({"avatarUpdateFailed"})); // at once
        QTest::qWait(150);
        QCOMPARE(m_bed.server->requestCount(), sent);

        // The service brings the same address again: worth one more try.
        log.entries.clear();
        m_bed.serve(path, FacebookItemBed::Answer::Picture);
        user->updateFromInfo({uid, user->name(), QString(), m_bed.url(path)});
        user->updateAvatar();
        QVERIFY(log.waitFor(1));
        QCOMPARE(log.entries, QStringList({"avatarUpdated"}));

        // A new address replaces the picture shown.
        log.entries.clear();
        const QString next = QStringLiteral("/media/n_%1_40x20.png").arg(uid);
        user->updateFromInfo({uid, user->name(), QString(), m_bed.url(next)});
        QVERIFY(log.waitFor(2));
        QCOMPARE(log.entries, QStringList({"userInfoUpdated", "avatarUpdated"}));
        QCOMPARE(m_bed.gets(next), 1);
        QCOMPARE(user->avatar().size(), QSize(40, 20));
    }

    void types()
    {
        std::unique_ptr<CFacebookUser> owner = userWithPicture(QStringLiteral("700"), QString());
        std::unique_ptr<CFacebookUser> contact = userWithPicture(QStringLiteral("701"), QString());
        owner->markAsOwner();
        owner->markAsContact();
        contact->markAsContact();
        SServiceUser row;
        QVERIFY(m_bed.db->serviceUser(owner->serviceUser().id, row));
        QCOMPARE(row.type, int(CFacebookUser::Owner));
        QVERIFY(m_bed.db->serviceUser(contact->serviceUser().id, row));
        QCOMPARE(row.type, int(CFacebookUser::Contact));
    }
};

QTEST_MAIN(TestFacebookUser)
#include "tst_facebookuser.moc"
