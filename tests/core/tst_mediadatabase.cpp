#include "mediadatabase.h"
#include "mediadbtest.h"
#include "testclock.h"
#include "unlinkfaults.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

// The media database's paths of downloaded files, its text messages, keys and users. How it opens
// and recovers a store is tested in tst_mediadatabaseopen.

using namespace MediaDbTest;

class TestMediaDataBase : public QObject
{
    Q_OBJECT
private:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<TestClock> m_clock;
    std::unique_ptr<CMediaDataBase> m_db;
    QString m_root;

    // A storage on a fresh root that does not exist yet.
    void makeStorage() { m_db = std::make_unique<CMediaDataBase>(m_root); }

private slots:
    void initTestCase() { setTimeZone("UTC"); }

    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        m_clock = std::make_unique<TestClock>(QDateTime(QDate(2010, 1, 2), QTime(3, 4, 5), Qt::UTC));
        m_root = m_dir->filePath(QStringLiteral("store"));
        makeStorage();
    }
    void cleanup()
    {
        UnlinkFaults::refused().clear();
        m_db.reset();
        m_clock.reset();
        m_dir.reset();
        setTimeZone("UTC");
    }

    // --- File paths -------------------------------------------------------------------------------

    void itemFilesAreNumbered()
    {
        QVERIFY(m_db->open());
        writeFile(m_root + QStringLiteral("/items/091126/42.1.jpg"));
        writeFile(m_root + QStringLiteral("/items/091126/42.2.jpg"));
        const SMediaItem item = dayItem(42, QDateTime(QDate(2009, 11, 26), QTime(10, 0)));
        QVERIFY(m_db->itemFilePath(item, QStringLiteral("jpg"))
                    .endsWith(QLatin1String("/store/items/091126/42.3.jpg")));
        QVERIFY(m_db->mediaFilePath(item, QStringLiteral("jpg"))
                    .endsWith(QLatin1String("/store/media/091126/42.1.jpg")));
        QVERIFY(QFileInfo(m_root + QStringLiteral("/media/091126")).isDir());
        QVERIFY(m_db->itemFilePath(dayItem(42, QDateTime()), QStringLiteral("jpg"))
                    .endsWith(QLatin1String("/store/items//42.1.jpg")));
        writeFile(m_root + QStringLiteral("/users/12.1.png"));
        QCOMPARE(m_db->userFilePath(12, QStringLiteral("png")), m_root + QStringLiteral("/users/12.2.png"));

        // With every number taken the last name is handed out again, and said so.
        for (int n = 1; n <= 1000; ++n)
            writeFile(m_root + QStringLiteral("/users/13.%1.png").arg(n));
        const QString last = m_root + QStringLiteral("/users/13.1000.png");
        QTest::ignoreMessage(
            QtDebugMsg, qPrintable(QStringLiteral("CMediaDataBase: no free file name, reusing ") + last));
        QCOMPARE(m_db->userFilePath(13, QStringLiteral("png")), last);
    }

    void unsafeSuffixes_data()
    {
        QTest::addColumn<QString>("suffix");
        QTest::addColumn<QString>("used");
        QTest::newRow("parent folder") << "../x"
                                       << "img";
        QTest::newRow("separator") << "a/b"
                                   << "img";
        QTest::newRow("query") << "j?g"
                               << "img";
        QTest::newRow("empty") << ""
                               << "img";
        QTest::newRow("long letters") << "jpeg"
                                      << "jpeg";
        QTest::newRow("digits") << "mp4"
                                << "mp4";
    }
    void unsafeSuffixes()
    {
        QFETCH(QString, suffix);
        QFETCH(QString, used);
        QVERIFY(m_db->open());
        const SMediaItem item = dayItem(7, QDateTime(QDate(2009, 11, 26), QTime(10, 0)));
        const QString path = m_db->itemFilePath(item, suffix);
        QCOMPARE(path, m_root + QStringLiteral("/items/091126/7.1.") + used);
        QCOMPARE(m_db->mediaFilePath(item, suffix), m_root + QStringLiteral("/media/091126/7.1.") + used);
        QCOMPARE(m_db->userFilePath(7, suffix), m_root + QStringLiteral("/users/7.1.") + used);
    }

    void userImagePaths_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<QString>("name");
        QTest::newRow("jpeg") << "http://h/a.jpeg"
                              << "12.img";
        QTest::newRow("png") << "http://h/a.png"
                             << "12.png";
        QTest::newRow("no suffix") << "http://a.b/photo"
                                   << "12.img";
        QTest::newRow("short path after dot") << "http://a.b/c"
                                              << "12.img";
        QTest::newRow("query mark") << "http://h/x.j?g"
                                    << "12.img";
        QTest::newRow("jpg") << "http://h/a/b.jpg"
                             << "12.jpg";
        QTest::newRow("no dot") << "abc"
                                << "12.abc";
    }
    void userImagePaths()
    {
        QFETCH(QString, url);
        QFETCH(QString, name);
        QVERIFY(m_db->open());
        QCOMPARE(m_db->userImagePath(12, url), m_root + QStringLiteral("/users/") + name);
    }

    void dayFolderFollowsLocalTime()
    {
        setTimeZone("Asia/Tokyo");
        QVERIFY(m_db->open());
        SMediaItem item;
        item.type = MeskItemType::Event1;
        item.created = QDateTime(QDate(2009, 11, 26), QTime(20, 0), Qt::UTC);
        QVERIFY(m_db->addMediaItem(item));
        const QString itemFile = m_db->itemFilePath(item, QStringLiteral("jpg"));
        const QString mediaFile = m_db->mediaFilePath(item, QStringLiteral("png"));
        QCOMPARE(itemFile, m_root + QStringLiteral("/items/091127/%1.1.jpg").arg(item.id));
        writeFile(itemFile);
        writeFile(mediaFile);
        SMediaItem stored;
        QVERIFY(m_db->mediaItem(item.id, stored));
        // Read back as the clock time of the zone in force.
        QCOMPARE(stored.created.offsetFromUtc(), stored.created.toLocalTime().offsetFromUtc());
        QVERIFY(m_db->deleteMediaItem(stored.id));
        QVERIFY(!QFileInfo::exists(itemFile));
        QVERIFY(!QFileInfo::exists(mediaFile));
        QVERIFY(!QFileInfo::exists(m_root + QStringLiteral("/items/091127")));
        QVERIFY(!QFileInfo::exists(m_root + QStringLiteral("/media/091127")));
    }

    void removingItemFilesKeepsOthers()
    {
        QVERIFY(m_db->open());
        SMediaItem four;
        four.created = QDateTime(QDate(2009, 11, 26), QTime(10, 0), Qt::UTC);
        four.type = MeskItemType::Image;
        QVERIFY(m_db->addMediaItem(four));
        SMediaItem alone = four;
        alone.created = QDateTime(QDate(2009, 11, 27), QTime(10, 0), Qt::UTC);
        QVERIFY(m_db->addMediaItem(alone));
        const QString id = QString::number(four.id);
        const QString day = m_root + QStringLiteral("/items/091126/");
        writeFile(day + id + QStringLiteral(".1.jpg"));
        writeFile(day + id + QStringLiteral(".2.png"));
        writeFile(day + id + QStringLiteral("2.1.jpg"));
        writeFile(m_root + QStringLiteral("/media/091126/") + id + QStringLiteral(".1.jpg"));
        writeFile(m_db->itemFilePath(alone, QStringLiteral("jpg")));

        QVERIFY(m_db->deleteMediaItem(four.id));
        QCOMPARE(entries(day), QStringList{id + QStringLiteral("2.1.jpg")});
        QVERIFY(!QFileInfo::exists(m_root + QStringLiteral("/media/091126")));
        QVERIFY(m_db->deleteMediaItem(alone.id));
        QVERIFY(!QFileInfo::exists(m_root + QStringLiteral("/items/091127")));
        QVERIFY(QFileInfo(m_root + QStringLiteral("/items")).isDir());
    }

    // The exit's clean-up and a user's deletion remove only the program's names of the id's own exact shape,
    // never a link, and nothing in a day folder the user linked elsewhere: names the user gave files beside
    // them stay, also six letters after a name of the program's (a download's leftover has that shape too,
    // and nothing tells the two apart).
    void removalTakesOnlyExactNames_data()
    {
        QTest::addColumn<QString>("where"); // "day": an event's day folder; "linked day": the same as the
                                            // user's link to a folder elsewhere; "top": items/ of an
                                            // undated event; "users": a user's; "stuck day", "stuck
                                            // users": the same, the file cannot be removed
        QTest::addColumn<QString>("name");  // %1 is the id
        QTest::addColumn<bool>("link");     // a link of the user's to a file elsewhere
        QTest::addColumn<bool>("removed");
        QTest::newRow("item file") << "day"
                                   << "%1.1.jpg" << false << true;
        QTest::newRow("download's temporary tail") << "day"
                                                   << "%1.2.jpg.AbCdEf" << false << false;
        QTest::newRow("user's backup copy") << "day"
                                            << "%1.1.jpg.backup" << false << false;
        QTest::newRow("user's edited copy") << "day"
                                            << "%1.1.jpg.edited" << false << false;
        QTest::newRow("item file in a linked day folder") << "linked day"
                                                          << "%1.1.jpg" << false << false;
        QTest::newRow("notes") << "day"
                               << "%1.notes.txt" << false << false;
        QTest::newRow("name with a space") << "day"
                                           << "%1.my holiday.png" << false << false;
        QTest::newRow("copy's tail") << "day"
                                     << "%1.1.jpg.orig" << false << false;
        QTest::newRow("edited copy") << "day"
                                     << "%1.edited.xcf" << false << false;
        QTest::newRow("line feed at the end") << "day"
                                              << "%1.1.jpg\n"
                                              << false << false;
        QTest::newRow("number 0") << "day"
                                  << "%1.0.jpg" << false << false;
        QTest::newRow("link by an item file's name") << "day"
                                                     << "%1.3.jpg" << true << false;
        QTest::newRow("undated item file") << "top"
                                           << "%1.1.html" << false << true;
        QTest::newRow("undated, line feed at the end") << "top"
                                                       << "%1.1.html\n"
                                                       << false << false;
        QTest::newRow("user image") << "users"
                                    << "%1.jpg" << false << true;
        QTest::newRow("user image's temporary tail") << "users"
                                                     << "%1.jpg.QwErTy" << false << false;
        QTest::newRow("user image's backup copy") << "users"
                                                  << "%1.png.backup" << false << false;
        QTest::newRow("user file") << "users"
                                   << "%1.1.png" << false << true;
        QTest::newRow("user image, line feed at the end") << "users"
                                                          << "%1.jpg\n"
                                                          << false << false;
        QTest::newRow("user image, long suffix") << "users"
                                                 << "%1.jpeg" << false << false;
        QTest::newRow("user's notes") << "users"
                                      << "%1.notes.txt" << false << false;
        QTest::newRow("link by a user image's name") << "users"
                                                     << "%1.png" << true << false;
        // The rows are deleted and committed all the same: the deletion succeeds.
        QTest::newRow("item file that cannot be removed") << "stuck day"
                                                          << "%1.1.jpg" << false << false;
        QTest::newRow("user image that cannot be removed") << "stuck users"
                                                           << "%1.jpg" << false << false;
    }
    void removalTakesOnlyExactNames()
    {
        QFETCH(QString, where);
        QFETCH(QString, name);
        QFETCH(bool, link);
        QFETCH(bool, removed);
        const bool stuck = where.startsWith(QLatin1String("stuck "));
        if (stuck)
            where.remove(0, 6);
        QVERIFY(m_db->open());
        mid_t id = 0;
        QString folder;
        if (where == QLatin1String("users")) {
            SServiceUser user;
            user.provider = 1;
            QVERIFY(m_db->addServiceUser(user));
            id = user.id;
            folder = m_root + QStringLiteral("/users/");
        } else {
            SMediaItem event;
            event.provider = 1;
            event.type = MeskItemType::Event1;
            if (where != QLatin1String("top"))
                event.created = QDateTime(QDate(2009, 11, 26), QTime(10, 0), Qt::UTC);
            QVERIFY(m_db->addMediaItem(event));
            id = event.id;
            folder = m_root + (where != QLatin1String("top") ? QStringLiteral("/items/091126/")
                                                             : QStringLiteral("/items/"));
        }
        if (where == QLatin1String("linked day")) {
            const QString pictures = m_dir->filePath(QStringLiteral("Pictures"));
            QVERIFY(QDir().mkpath(pictures));
            QVERIFY(QDir().mkpath(m_root + QStringLiteral("/items")));
            QVERIFY(QFile::link(pictures, m_root + QStringLiteral("/items/091126")));
        }
        const QString path = folder + name.arg(id);
        const QString elsewhere = m_dir->filePath(QStringLiteral("mine.jpg"));
        writeFile(elsewhere, "mine");
        if (link) {
            QVERIFY(QDir().mkpath(folder));
            QVERIFY(QFile::link(elsewhere, path));
        } else {
            writeFile(path, "x");
        }

        if (stuck)
            UnlinkFaults::refused().insert(QFile::encodeName(path));
        if (where == QLatin1String("users"))
            QVERIFY(m_db->deleteServiceUser(id));
        else
            QVERIFY(m_db->cleanup(false)); // no sync list keeps the event
        UnlinkFaults::refused().clear();
        SMediaItem gone;
        SServiceUser goneUser;
        QVERIFY(where == QLatin1String("users") ? !m_db->serviceUser(id, goneUser)
                                                : !m_db->mediaItem(id, gone));
        QCOMPARE(QFileInfo::exists(path) || QFileInfo(path).isSymLink(), !removed);
        QVERIFY(QFileInfo::exists(elsewhere));
        QCOMPARE(QFileInfo(m_root + QStringLiteral("/items/091126")).isSymLink(),
                 where == QLatin1String("linked day"));
    }

    void undatedItemKeepsTheItemsFolder()
    {
        QVERIFY(m_db->open());
        SMediaItem item;
        item.type = MeskItemType::Link;
        QVERIFY(m_db->addMediaItem(item));
        const QString file = m_db->itemFilePath(item, QStringLiteral("html"));
        QCOMPARE(file, m_root + QStringLiteral("/items//%1.1.html").arg(item.id));
        writeFile(file);
        QVERIFY(m_db->deleteMediaItem(item.id));
        QVERIFY(!QFileInfo::exists(file));
        QVERIFY(QFileInfo(m_root + QStringLiteral("/items")).isDir());
        QVERIFY(QFileInfo(m_root + QStringLiteral("/media")).isDir());
    }

    // --- Text messages and keys -------------------------------------------------------------------

    void smsMessagesRoundTrip()
    {
        QVERIFY(m_db->open());
        SSmsMessage message;
        message.message = QStringLiteral("100% sure_#1 [it's]");
        message.phone = QStringLiteral("+49 170 1234567");
        message.created = QDateTime(QDate(2009, 11, 26), QTime(8, 9, 10, 500), Qt::UTC);
        message.type = SSmsMessage::Sent;
        QVERIFY(m_db->addSmsMessage(message));
        QVERIFY(message.id != 0);
        QList<SSmsMessage> messages = m_db->smsMessages();
        QCOMPARE(messages.size(), 1);
        QCOMPARE(messages[0].id, message.id);
        QCOMPARE(messages[0].message, message.message);
        QCOMPARE(messages[0].phone, message.phone);
        QCOMPARE(messages[0].created, message.created.addMSecs(-500));
        QCOMPARE(messages[0].type, message.type);

        message.type = SSmsMessage::SendFailed;
        message.message = QStringLiteral("changed");
        QVERIFY(m_db->updateSmsMessage(message));
        messages = m_db->smsMessages();
        QCOMPARE(messages[0].type, qint32(SSmsMessage::SendFailed));
        QCOMPARE(messages[0].message, QStringLiteral("changed"));

        // What the modem still holds of it, and the same with its origin forgotten.
        SSmsOnModem noted{0,
                          message.id,
                          QStringLiteral("bus mm /Modem/0"),
                          QStringLiteral("/SMS/3"),
                          message.phone,
                          QStringLiteral("it's 100%"),
                          SSmsMessage::Sent,
                          4000000000u,
                          false,
                          true,
                          QDateTime(QDate(2009, 11, 26), QTime(8, 9, 10), Qt::UTC),
                          true,
                          QStringLiteral("bus mm /Modem/0")};
        noted.sim = QStringLiteral("89014103211118510720");
        QVERIFY(m_db->addSmsOnModem(noted));
        QVERIFY(noted.id != 0);
        QCOMPARE(m_db->smsOnModem(), QList<SSmsOnModem>{noted});
        // The SIM stays.
        QVERIFY(m_db->clearSmsOnModemOrigins());
        QCOMPARE(m_db->smsOnModem().value(0).sim, noted.sim);
        noted.objectSet.clear();
        noted.object.clear();
        noted.message = 0;
        QVERIFY(m_db->updateSmsOnModem(noted));
        QCOMPARE(m_db->smsOnModem(), QList<SSmsOnModem>{noted});
        QVERIFY(m_db->deleteSmsOnModem(noted.id));
        QVERIFY(m_db->smsOnModem().isEmpty());

        QTest::ignoreMessage(QtDebugMsg, "CMediaDataBaseSms: no message with id 999 to delete");
        QVERIFY(m_db->deleteSmsMessage(999));
        QVERIFY(m_db->deleteSmsMessage(message.id));
        QVERIFY(m_db->smsMessages().isEmpty());
    }

    void serviceKeys()
    {
        QVERIFY(m_db->open());
        QVERIFY(m_db->setServiceKey(1, QStringLiteral("token"), QStringLiteral("one")));
        QVERIFY(m_db->setServiceKey(1, QStringLiteral("token"), QStringLiteral("two")));
        QVERIFY(m_db->setServiceKey(1, QStringLiteral("O'Brien"), QStringLiteral("it's")));
        QVERIFY(m_db->setServiceKey(2, QStringLiteral("token"), QStringLiteral("other")));
        const QString file = m_db->databasePath();
        QCOMPARE(
            rows(file, QStringLiteral("SELECT VALUE FROM SERVICEKEYS WHERE PROVIDER = 1 AND KEY = 'token'")),
            QList<QVariantList>{{QStringLiteral("two")}});
        QCOMPARE(
            value(file, QStringLiteral("SELECT VALUE FROM SERVICEKEYS WHERE KEY = 'O''Brien'")).toString(),
            QStringLiteral("it's"));
        QString out = QStringLiteral("sentinel");
        QVERIFY(m_db->serviceKey(1, QStringLiteral("O'Brien"), out));
        QCOMPARE(out, QStringLiteral("it's"));

        out = QStringLiteral("sentinel");
        QVERIFY(!m_db->serviceKey(1, QStringLiteral("missing"), out));
        QCOMPARE(out, QStringLiteral("sentinel"));

        QVERIFY(m_db->deleteServiceKey(1, QStringLiteral("O'Brien")));
        QVERIFY(!m_db->serviceKey(1, QStringLiteral("O'Brien"), out));
        QVERIFY(m_db->deleteServiceKeys(2));
        QVERIFY(!m_db->serviceKey(2, QStringLiteral("token"), out));
        QVERIFY(m_db->serviceKey(1, QStringLiteral("token"), out));
        QCOMPARE(out, QStringLiteral("two"));
        QVERIFY(m_db->serviceKey(0, QStringLiteral("MDB_SCHEMA_VERSION"), out));
        QCOMPARE(out, QStringLiteral("2"));
    }

    // A received part can start or end inside a surrogate pair that the sender cut in two. The file
    // holds UTF-8, which has no form for half a pair: that half becomes U+FFFD, and the characters
    // around it stay as they were.
    void unpairedSurrogatesKeepTheirNeighbours()
    {
        QVERIFY(m_db->open());
        const QString emoji = QString::fromUtf16(u"\U0001F600");
        const QChar high(0xD83D);
        const QChar low(0xDE00);
        const QChar replacement(QChar::ReplacementCharacter);

        SSmsMessage message;
        message.message = QString(low) + QStringLiteral("AB") + high + QStringLiteral("CD") + emoji + high;
        message.phone = QStringLiteral("+4912");
        QVERIFY(m_db->addSmsMessage(message));
        const QList<SSmsMessage> messages = m_db->smsMessages();
        QCOMPARE(messages.size(), 1);
        QCOMPARE(messages[0].message, QString(replacement) + QStringLiteral("AB") + replacement +
                                          QStringLiteral("CD") + emoji + replacement);

        QVERIFY(
            m_db->setServiceKey(1, QStringLiteral("k") + low + QStringLiteral("ey"), QStringLiteral("v")));
        QString out;
        QVERIFY(m_db->serviceKey(1, QStringLiteral("k") + replacement + QStringLiteral("ey"), out));
        QCOMPARE(out, QStringLiteral("v"));
    }

    // --- Users ------------------------------------------------------------------------------------

    void userAvatarFile()
    {
        QVERIFY(m_db->open());
        SServiceUser user;
        user.provider = 1;
        user.avatar = QStringLiteral("http://h/a/b.jpg");
        QVERIFY(m_db->addServiceUser(user));
        QCOMPARE(user.avatarFile, m_root + QStringLiteral("/users/%1.jpg").arg(user.id));
        SServiceUser read;
        QVERIFY(m_db->serviceUser(user.id, read));
        QCOMPARE(read.avatarFile, user.avatarFile);

        SServiceUser plain;
        plain.provider = 1;
        QVERIFY(m_db->addServiceUser(plain));
        QVERIFY(plain.avatarFile.isEmpty());
        // Lists carry no avatar file.
        for (const SServiceUser& listed : m_db->serviceUsers(1))
            QVERIFY(listed.avatarFile.isEmpty());
    }

    void userTextsRoundTrip()
    {
        QVERIFY(m_db->open());
        SServiceUser user;
        user.provider = 2;
        user.name = QStringLiteral("O'Brien_1");
        user.mediaId = QStringLiteral("id'1");
        user.url = QStringLiteral("http://h/o'brien?a=1&b=%20");
        user.avatar = QStringLiteral("http://h/o'b.png");
        user.type = 3;
        user.extra1 = QStringLiteral("one_%");
        user.extra2 = QStringLiteral("[two]");
        user.extra3 = QStringLiteral("#3^");
        QVERIFY(m_db->addServiceUser(user));
        SServiceUser read;
        QVERIFY(m_db->serviceUser(user.id, read));
        QCOMPARE(read, user);
        QCOMPARE(value(m_db->databasePath(), QStringLiteral("SELECT NAME FROM SERVICEUSERS")).toString(),
                 QStringLiteral("O'Brien[_]1"));
        QCOMPARE(value(m_db->databasePath(), QStringLiteral("SELECT URL FROM SERVICEUSERS")).toString(),
                 user.url);

        user.name = QStringLiteral("O'Brien_2");
        user.extra2 = QStringLiteral("x");
        QVERIFY(m_db->updateServiceUser(user));
        QVERIFY(m_db->serviceUser(user.id, read));
        QCOMPARE(read, user);
        QCOMPARE(m_db->serviceUserByMediaId(2, QStringLiteral("id'1")).size(), 1);
    }

    void findServiceUsers_data()
    {
        QTest::addColumn<mid_t>("provider");
        QTest::addColumn<QString>("prefix");
        QTest::addColumn<QStringList>("names");
        QTest::newRow("an") << mid_t(1) << "an" << QStringList{"ANDREW", "Anna"};
        QTest::newRow("quote") << mid_t(1) << "o'b" << QStringList{"O'Brien"};
        // The stored form's brackets match literally; the "_" or "%" inside them keeps its LIKE meaning,
        // so a marked prefix finds names that start with any marked character, never plain ones.
        QTest::newRow("underscore") << mid_t(1) << "_" << QStringList{"%off", "_bot"};
        QTest::newRow("percent") << mid_t(1) << "%" << QStringList{"%off", "_bot"};
        QTest::newRow("empty prefix") << mid_t(2) << "" << QStringList{"Andy"};
        QTest::newRow("every provider") << mid_t(0) << "and" << QStringList{"ANDREW", "Andy"};
    }
    void findServiceUsers()
    {
        QFETCH(mid_t, provider);
        QFETCH(QString, prefix);
        QFETCH(QStringList, names);
        QVERIFY(m_db->open());
        const QList<QPair<mid_t, QString>> users{{1, "Anna"},    {1, "ANDREW"}, {1, "Joanna"},
                                                 {1, "O'Brien"}, {1, "_bot"},   {1, "Xavier"},
                                                 {1, "%off"},    {1, "5off"},   {2, "Andy"}};
        for (const auto& entry : users) {
            SServiceUser user;
            user.provider = entry.first;
            user.name = entry.second;
            QVERIFY(m_db->addServiceUser(user));
        }
        QStringList found;
        for (const SServiceUser& user : m_db->findServiceUsers(provider, prefix))
            found.append(user.name);
        found.sort();
        QCOMPARE(found, names);
    }

    void userMessages()
    {
        QVERIFY(m_db->open());
        QTest::ignoreMessage(QtDebugMsg, "CMediaDataBaseUsers: provider or mediaId were not set");
        QVERIFY(m_db->serviceUserByMediaId(0, QStringLiteral("x")).isEmpty());
        QTest::ignoreMessage(QtDebugMsg, "CMediaDataBaseUsers: provider or mediaId were not set");
        QVERIFY(m_db->serviceUserByMediaId(1, QString()).isEmpty());
        QTest::ignoreMessage(QtDebugMsg, "CMediaDataBaseUsers: no user with id 77 found");
        QVERIFY(!m_db->deleteServiceUser(77));
    }

    void userFields()
    {
        QVERIFY(m_db->open());
        const QHash<QString, QString> fields{{QStringLiteral("it's"), QStringLiteral("a_b%c")},
                                             {QStringLiteral("plain"), QStringLiteral("[x]")}};
        m_db->setServiceUserField(5, fields);
        m_db->setServiceUserField(5, {{QStringLiteral("plain"), QStringLiteral("second")}});
        QHash<QString, QString> read{{QStringLiteral("kept"), QStringLiteral("yes")}};
        m_db->serviceUserFields(5, read);
        QCOMPARE(read, (QHash<QString, QString>{{QStringLiteral("it's"), QStringLiteral("a_b%c")},
                                                {QStringLiteral("plain"), QStringLiteral("second")},
                                                {QStringLiteral("kept"), QStringLiteral("yes")}}));
        QCOMPARE(
            value(m_db->databasePath(), QStringLiteral("SELECT COUNT(*) FROM SERVICEUSERFIELDS")).toInt(), 2);
        QCOMPARE(value(m_db->databasePath(),
                       QStringLiteral("SELECT VALUE FROM SERVICEUSERFIELDS WHERE FIELD = 'it''s'"))
                     .toString(),
                 QStringLiteral("a[_]b[%]c"));
    }

    void deletingUsersRemovesTheirFiles()
    {
        QVERIFY(m_db->open());
        SServiceUser user;
        user.provider = 1;
        user.avatar = QStringLiteral("http://h/a.jpg");
        QVERIFY(m_db->addServiceUser(user));
        SServiceUser other = user;
        other.provider = 2;
        QVERIFY(m_db->addServiceUser(other));
        m_db->setServiceUserField(user.id, {{QStringLiteral("f"), QStringLiteral("v")}});
        writeFile(user.avatarFile);
        writeFile(m_db->userFilePath(user.id, QStringLiteral("png")));
        writeFile(m_db->userFilePath(user.id, QStringLiteral("png")));
        writeFile(other.avatarFile);
        const QString similar = m_root + QStringLiteral("/users/%1%2.jpg").arg(user.id).arg(user.id);
        writeFile(similar);

        QVERIFY(m_db->deleteServiceUser(user.id));
        QCOMPARE(entries(m_root + QStringLiteral("/users")).size(), 2);
        QVERIFY(QFileInfo::exists(similar));
        QHash<QString, QString> fields;
        m_db->serviceUserFields(user.id, fields);
        QVERIFY(fields.isEmpty());
        QVERIFY(m_db->serviceUsers(1).isEmpty());

        QVERIFY(m_db->deleteProviderUsers(2));
        QVERIFY(m_db->serviceUsers(0).isEmpty());
        QCOMPARE(entries(m_root + QStringLiteral("/users")), QStringList{QFileInfo(similar).fileName()});
    }
};

QTEST_GUILESS_MAIN(TestMediaDataBase)
#include "tst_mediadatabase.moc"
