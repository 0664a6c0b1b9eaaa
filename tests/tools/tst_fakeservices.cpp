// tools/fake-services as a process: it announces its addresses, then "ready"; its Twitter
// stand-in answers a signed friends timeline with statuses, its Facebook stand-in serves the
// login page and answers a stream.get signed with the session that page grants; a second run
// with the same state folder serves what the first one left. Each run gets a state folder of
// its own, removed afterwards.
#include "facebookapi.h"
#include "fakefacebookrest.h"
#include "fakeflickr.h"
#include "fakenetworkbackend.h"
#include "mediadatabase.h"
#include "mesknetworkbackends.h"
#include "mesknetworkmanager.h"
#include "mesksmsengine.h"
#include "tempstorage.h"
#include "twitterapi.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QSignalSpy>

#include <QDateTime>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QUrlQuery>

#include <sys/types.h>
#include <unistd.h>

#include <csignal>

class TestFakeServices : public QObject
{
    Q_OBJECT

    // The status and the body of a GET.
    static QPair<int, QByteArray> fetch(QNetworkAccessManager& manager, const QString& url)
    {
        QNetworkReply* reply = manager.get(QNetworkRequest(QUrl::fromEncoded(url.toLatin1())));
        QEventLoop loop;
        connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
        loop.exec();
        const QPair<int, QByteArray> answer{
            reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(), reply->readAll()};
        reply->deleteLater();
        return answer;
    }

    // Starts the program with its state in that folder and reads what it announces up to "ready".
    static bool announce(QProcess& process, QStringList* names, QHash<QString, QString>* variables,
                         const QString& stateHome)
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_STATE_HOME"), stateHome);
        process.setProcessEnvironment(environment);
        process.start(QStringLiteral(LUMESK_FAKE_SERVICES), {});
        if (!process.waitForStarted(10000))
            return false;
        while (process.waitForReadyRead(20000)) {
            while (process.canReadLine()) {
                const QString line = QString::fromUtf8(process.readLine()).trimmed();
                if (line == QLatin1String("ready"))
                    return true;
                const qsizetype eq = line.indexOf(QLatin1Char('='));
                if (eq <= 0 || !line.startsWith(QLatin1String("LUMESK_")))
                    return false;
                names->append(line.left(eq));
                variables->insert(line.left(eq), line.mid(eq + 1));
            }
        }
        return false;
    }

    // One call to the stand-in ModemManager.
    static QDBusMessage modemCall(const QString& address, const QString& path, const QString& interface,
                                  const QString& method, const QVariantList& arguments = {})
    {
        QDBusConnection bus = QDBusConnection::connectToBus(address, QStringLiteral("sim-check"));
        QDBusMessage call = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.ModemManager1"),
                                                           path, interface, method);
        call.setArguments(arguments);
        const QDBusMessage reply = bus.call(call);
        QDBusConnection::disconnectFromBus(QStringLiteral("sim-check"));
        return reply;
    }

    // The stand-in modem's object path; empty when it cannot be asked.
    static QString modemPath(const QString& address)
    {
        const QDBusMessage objects = modemCall(address, QStringLiteral("/org/freedesktop/ModemManager1"),
                                               QStringLiteral("org.freedesktop.DBus.ObjectManager"),
                                               QStringLiteral("GetManagedObjects"));
        using Objects = QMap<QDBusObjectPath, QMap<QString, QVariantMap>>;
        const Objects modems = qdbus_cast<Objects>(objects.arguments().value(0));
        return objects.type() == QDBusMessage::ReplyMessage && !modems.isEmpty() ? modems.firstKey().path()
                                                                                 : QString();
    }

    // The object paths of the messages the stand-in modem keeps; false when it cannot be asked.
    static bool simPaths(const QString& address, QList<QDBusObjectPath>* paths)
    {
        const QString modem = modemPath(address);
        if (modem.isEmpty())
            return false;
        const QDBusMessage list =
            modemCall(address, modem, QStringLiteral("org.freedesktop.ModemManager1.Modem.Messaging"),
                      QStringLiteral("List"));
        *paths = qdbus_cast<QList<QDBusObjectPath>>(list.arguments().value(0));
        return list.type() == QDBusMessage::ReplyMessage;
    }

    // The number of messages the stand-in modem keeps; -1 when it cannot be asked.
    static int modemMessages(const QString& address)
    {
        QList<QDBusObjectPath> paths;
        return simPaths(address, &paths) ? int(paths.size()) : -1;
    }

    // The stand-in modem's messages as "text|time|state", sorted.
    static QStringList simMessages(const QString& address)
    {
        QList<QDBusObjectPath> paths;
        simPaths(address, &paths);
        QStringList messages;
        for (const QDBusObjectPath& path : std::as_const(paths)) {
            const QVariantMap sms = qdbus_cast<QVariantMap>(
                modemCall(address, path.path(), QStringLiteral("org.freedesktop.DBus.Properties"),
                          QStringLiteral("GetAll"), {QStringLiteral("org.freedesktop.ModemManager1.Sms")})
                    .arguments()
                    .value(0));
            messages << sms.value(QStringLiteral("Text")).toString() + QLatin1Char('|') +
                            sms.value(QStringLiteral("Timestamp")).toString() + QLatin1Char('|') +
                            QString::number(sms.value(QStringLiteral("State")).toUInt());
        }
        messages.sort();
        return messages;
    }

    // The items of an answer by id, each with its date, found by a pattern with the groups "id"
    // and "date"; an id that comes twice is dated "twice".
    static QMap<QString, QString> dated(const QByteArray& body, const QString& pattern)
    {
        QMap<QString, QString> items;
        const QRegularExpression item(pattern, QRegularExpression::DotMatchesEverythingOption);
        for (const QRegularExpressionMatch& m : item.globalMatch(QString::fromUtf8(body))) {
            const QString id = m.captured(QStringLiteral("id"));
            items.insert(id,
                         items.contains(id) ? QStringLiteral("twice") : m.captured(QStringLiteral("date")));
        }
        return items;
    }

    // The ids after has beyond before, when after holds every item of before with its date.
    static QStringList added(const QMap<QString, QString>& after, const QMap<QString, QString>& before)
    {
        QMap<QString, QString> rest = after;
        for (auto it = before.constBegin(); it != before.constEnd(); ++it) {
            if (rest.take(it.key()) != it.value())
                return {QStringLiteral("lost ") + it.key()};
        }
        return rest.keys();
    }

private slots:
    void announcesAndServes()
    {
        QTemporaryDir stateHome;
        QVERIFY(stateHome.isValid());
        QProcess process;
        QHash<QString, QString> variables;
        QStringList names;
        QVERIFY(announce(process, &names, &variables, stateHome.path()));
        // The stand-ins' variables in the providers' order (a further provider adds its own among
        // them), then the modem's and the contacts'.
        const QStringList known{"LUMESK_TWITTER_URL",  "LUMESK_TWITTER_WEB_HOST", "LUMESK_FLICKR_URL",
                                "LUMESK_FACEBOOK_URL", "LUMESK_MODEMMANAGER_BUS", "LUMESK_CONTACTS_PATH"};
        QStringList seen;
        for (const QString& name : std::as_const(names)) {
            QVERIFY2(name.startsWith(QLatin1String("LUMESK_")), qPrintable(name));
            if (known.contains(name))
                seen.append(name);
        }
        QCOMPARE(seen, known);
        QCOMPARE(names.mid(names.size() - 2), known.mid(known.size() - 2));
        QVERIFY(variables.value(QStringLiteral("LUMESK_TWITTER_URL"))
                    .startsWith(QLatin1String("http://127.0.0.1:")));

        CTwitterApi api;
        QVERIFY(api.setServiceUrl(variables.value(QStringLiteral("LUMESK_TWITTER_URL"))));
        api.setConsumer(QStringLiteral(LUMESK_TWITTER_CONSUMER_KEY),
                        QStringLiteral(LUMESK_TWITTER_CONSUMER_SECRET));
        api.setToken(QStringLiteral("AT"), QStringLiteral("AS"));
        QString url;
        QVERIFY(api.friendsTimelineUrl(url, QString()));
        QNetworkAccessManager manager;
        QNetworkReply* reply = manager.get(QNetworkRequest(QUrl::fromEncoded(url.toLatin1())));
        QEventLoop loop;
        connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
        loop.exec();
        QCOMPARE(reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(), 200);
        QByteArray statuses = reply->readAll();
        QVERIFY(statuses.contains("<status>"));
        reply->deleteLater();

        // Every picture a status names is served, the linked account's own included.
        QVERIFY(api.updateRequest(url, QStringLiteral("Hello"), QString()));
        reply = manager.post(QNetworkRequest(QUrl::fromEncoded(url.toLatin1())), QByteArray());
        connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
        loop.exec();
        QCOMPARE(reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(), 200);
        const QByteArray own = reply->readAll();
        reply->deleteLater();
        const QRegularExpression picture(QStringLiteral("<profile_image_url>([^<]+)</profile_image_url>"));
        QStringList pictures;
        for (const QRegularExpressionMatch& m : picture.globalMatch(QString::fromUtf8(statuses + own)))
            pictures << m.captured(1);
        QVERIFY(QString::fromUtf8(own).contains(picture));
        for (const QString& address : std::as_const(pictures)) {
            const auto [pictureStatus, png] = fetch(manager, address);
            QCOMPARE(pictureStatus, 200);
            QVERIFY2(!QImage::fromData(png).isNull(), qPrintable(address));
        }

        // Facebook: the login page offers both links; the session of its "Allow" link is accepted.
        CFacebookApi facebook;
        facebook.setRestBaseUrl(variables.value(QStringLiteral("LUMESK_FACEBOOK_URL")));
        facebook.setWebBaseUrl(variables.value(QStringLiteral("LUMESK_FACEBOOK_URL")));
        facebook.setApiKey(QStringLiteral(LUMESK_FACEBOOK_API_KEY));
        QVERIFY(facebook.authorizationUrl(url));
        const auto [loginStatus, login] = fetch(manager, url);
        QCOMPARE(loginStatus, 200);
        const QRegularExpression allow(QStringLiteral("href=\"([^\"]*login_success[^\"]*)\""));
        const QRegularExpressionMatch match = allow.match(QString::fromUtf8(login));
        QVERIFY2(match.hasMatch(), login.constData());
        QVERIFY(login.contains("login_failure.html"));
        QString key, secret, uid;
        QVERIFY(facebook.parseCallbackUrl(
            match.captured(1).replace(QLatin1String("&amp;"), QLatin1String("&")), key, secret, uid));
        facebook.setSession(key, secret, uid);
        QVERIFY(facebook.formatStreamGet(url));
        const auto [streamStatus, stream] = fetch(manager, url);
        QCOMPARE(streamStatus, 200);
        QVERIFY2(stream.contains("<stream_post>"), stream.left(400).constData());

        process.kill();
        process.waitForFinished(10000);
    }

    // The SMS engine against the stand-in ModemManager, as the application runs it: ready, the
    // welcome message stored and taken off the SIM, a message sent and its answer received. Ended
    // as run.sh ends it, the program takes its message bus along.
    void smsAgainstTheStandIn()
    {
        QTemporaryDir stateHome;
        QVERIFY(stateHome.isValid());
        QProcess process;
        QHash<QString, QString> variables;
        QStringList names;
        QVERIFY(announce(process, &names, &variables, stateHome.path()));
        const QString address = variables.value(QStringLiteral("LUMESK_MODEMMANAGER_BUS"));
        QCOMPARE(modemMessages(address), 1);

        registerMeskMetaTypes();
        TempStorageRoot root;
        qputenv("LUMESK_MODEMMANAGER_BUS", address.toUtf8());
        MeskNetworkBackends::setFactory([] {
            SMeskNetworkBackends backends;
            backends.network = std::make_unique<FakeNetworkBackend>();
            return backends;
        });
        {
            CMediaDataBase storage(root.subPath(QStringLiteral("storage")));
            QVERIFY(storage.open());
            CMeskNetworkManager network;
            network.start();
            CMeskSmsEngine engine;
            QSignalSpy stored(&engine, &IMeskSmsEngine::simMessageReady);
            QSignalSpy sent(&engine, &IMeskSmsEngine::messageSendDone);
            QSignalSpy answered(&engine, &IMeskSmsEngine::newMessageReceived);
            engine.start(&storage, &network);
            QTRY_VERIFY_WITH_TIMEOUT(engine.isSmsReady(), 30000);
            QVERIFY(engine.readSimMessages());
            QTRY_COMPARE_WITH_TIMEOUT(stored.count(), 1, 30000);
            QCOMPARE(stored.first().first().value<SSmsMessage>().message,
                     QStringLiteral("Welcome to the stand-in modem"));
            QCOMPARE(storage.smsMessages().size(), 1);
            QTRY_COMPARE_WITH_TIMEOUT(modemMessages(address), 0, 30000);

            QVERIFY(engine.sendMessage(QStringLiteral("+15550199"), QStringLiteral("See you")));
            QTRY_COMPARE_WITH_TIMEOUT(sent.count(), 1, 30000);
            QTRY_COMPARE_WITH_TIMEOUT(answered.count(), 1, 30000);
            QCOMPARE(answered.first().first().value<SSmsMessage>().message,
                     QStringLiteral("Got it: See you"));
        }
        MeskNetworkBackends::setFactory({});
        qunsetenv("LUMESK_MODEMMANAGER_BUS");
        QDBusConnection::disconnectFromBus(QStringLiteral("lumesk-modemmanager"));

        process.terminate();
        QVERIFY(process.waitForFinished(10000));
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QTRY_COMPARE_WITH_TIMEOUT(modemMessages(address), -1, 30000);
        QVERIFY(!QDBusConnection::connectToBus(address, QStringLiteral("after-end")).isConnected());
        QDBusConnection::disconnectFromBus(QStringLiteral("after-end"));
    }

    // However the program and its process group end (a terminal's Ctrl-C reaches the whole foreground
    // group, a session's end may kill it), its message bus ends too and leaves no socket file behind.
    void busLeavesNothingWhenItsGroupEnds_data()
    {
        QTest::addColumn<int>("signal");
        QTest::newRow("interrupt") << SIGINT;
        QTest::newRow("kill") << SIGKILL;
    }

    void busLeavesNothingWhenItsGroupEnds()
    {
        QFETCH(int, signal);
        QTemporaryDir stateHome;
        QVERIFY(stateHome.isValid());
        QProcess process;
        // A process group of its own, as a shell's foreground job has.
        process.setChildProcessModifier([] { ::setpgid(0, 0); });
        QHash<QString, QString> variables;
        QStringList names;
        QVERIFY(announce(process, &names, &variables, stateHome.path()));
        const QString address = variables.value(QStringLiteral("LUMESK_MODEMMANAGER_BUS"));
        QCOMPARE(modemMessages(address), 1);
        const QRegularExpression pathKey(QStringLiteral("(?:^|[:,;])(?:path|dir|tmpdir)=([^,;]*)"));
        const QRegularExpressionMatch named = pathKey.match(address);
        const QString socketFile = named.hasMatch() ? named.captured(1) : QString();
        QVERIFY(socketFile.isEmpty() || QFileInfo::exists(socketFile));

        QCOMPARE(::kill(-static_cast<pid_t>(process.processId()), signal), 0);
        QVERIFY(process.waitForFinished(30000));
        QTRY_COMPARE_WITH_TIMEOUT(modemMessages(address), -1, 30000);
        if (!socketFile.isEmpty())
            QVERIFY2(!QFileInfo::exists(socketFile), qPrintable(socketFile + QStringLiteral(" is left")));
    }

    // A stand-in's state that cannot be read, is of the wrong shape or holds a value of the wrong
    // type or out of range is said in one line, and the stand-in starts afresh: a new first start
    // and nothing kept (the modem's SIM back to its welcome message).
    void damagedStateStartsAfresh_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("state");
        QTest::addColumn<QString>("said");
        const QByteArray started =
            "\"started\": " + QByteArray::number(QDateTime::currentSecsSinceEpoch() - 60);
        QTest::newRow("not JSON") << "facebook" << QByteArray("{\"started\": 1}}")
                                  << "garbage at the end of the document";
        QTest::newRow("not an object") << "facebook" << QByteArray("[1]") << "not a JSON object";
        QTest::newRow("started far ahead") << "twitter" << QByteArray("{\"started\": 1e300}")
                                           << "\"started\" is not a time from 1970 to now";
        QTest::newRow("started before 1970")
            << "flickr" << QByteArray("{\"started\": -5}") << "\"started\" is not a time from 1970 to now";
        QTest::newRow("started as text") << "modem" << QByteArray("{\"started\": \"today\"}")
                                         << "\"started\" is not a time from 1970 to now";
        QTest::newRow("uploads not a list") << "flickr"
                                            << "{" + started + ", \"uploads\": {}}"
                                            << "\"uploads\" is not a list";
        QTest::newRow("an upload's id as text")
            << "flickr"
            << "{" + started +
                   ", \"uploads\": [{\"id\": \"x\", \"owner\": \"o\", \"title\": \"t\", \"uploaded\": 1}]}"
            << "\"id\" of entry 1 of \"uploads\" is not a number from 0 to 999999999";
        QTest::newRow("posts not a list") << "facebook"
                                          << "{" + started + ", \"posted\": 3}"
                                          << "\"posted\" is not a list";
        QTest::newRow("a message that is not an object") << "modem"
                                                         << "{" + started + ", \"messages\": [3]}"
                                                         << "entry 1 of \"messages\" is not an object";
        QTest::newRow("a message's state as text")
            << "modem"
            << "{" + started +
                   ", \"messages\": [{\"Number\": \"+1\", \"Text\": \"hi\", \"Timestamp\": \"\", \"State\": "
                   "\"x\", \"PduType\": 1}]}"
            << "\"State\" of entry 1 of \"messages\" is not a number from 0 to 999999999";
    }

    void damagedStateStartsAfresh()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, state);
        QFETCH(QString, said);
        QTemporaryDir stateHome;
        QVERIFY(stateHome.isValid());
        const QString path = stateHome.filePath(QStringLiteral("velto-lumesk-stand-ins/%1.json").arg(name));
        QVERIFY(QDir().mkpath(QFileInfo(path).path()));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(state);
        file.close();
        const qint64 before = QDateTime::currentSecsSinceEpoch();
        QProcess process;
        QHash<QString, QString> variables;
        QStringList names;
        QVERIFY(announce(process, &names, &variables, stateHome.path()));
        process.terminate();
        QVERIFY(process.waitForFinished(10000));

        const QStringList lines = QString::fromUtf8(process.readAllStandardError())
                                      .split(QLatin1Char('\n'))
                                      .filter(QLatin1String("fake-services:"));
        QCOMPARE(lines, QStringList{QStringLiteral("fake-services: %1 is not a stand-in's state (%2); the "
                                                   "stand-in starts afresh")
                                        .arg(path, said)});
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QJsonObject after = QJsonDocument::fromJson(file.readAll()).object();
        const qint64 started = after.value(QStringLiteral("started")).toInteger(-1);
        QVERIFY2(started >= before && started <= QDateTime::currentSecsSinceEpoch(),
                 qPrintable(QString::number(started)));
        const QJsonArray messages = after.value(QStringLiteral("messages")).toArray();
        if (name == QLatin1String("modem")) {
            QCOMPARE(after.keys(), (QStringList{"messages", "started"}));
            QCOMPARE(messages.size(), 1);
            QCOMPARE(messages.first()[QStringLiteral("Text")].toString(),
                     QStringLiteral("Welcome to the stand-in modem"));
        } else {
            QCOMPARE(after.keys(), QStringList{"started"});
        }
    }

    // A second run with the same state folder serves what the first one left: every status, photo
    // and post with its id and date, the status posted and the status and upload made in the first
    // run, the Facebook post of the first run, and the SIM as the first run left it (the welcome deleted, a
    // sent message and its answer kept). What the second run makes takes ids not used before.
    void keepsItsStateBetweenRuns()
    {
        QTemporaryDir stateHome;
        QVERIFY(stateHome.isValid());
        const QString timelinePattern =
            QStringLiteral("<created_at>(?<date>[^<]+)</created_at><id>(?<id>\\d+)</id>");
        QMap<QString, QString> statuses, photos, posts;
        QStringList sim, postedToFacebook;
        for (int run = 0; run < 2; ++run) {
            QProcess process;
            QHash<QString, QString> variables;
            QStringList names;
            QVERIFY(announce(process, &names, &variables, stateHome.path()));
            QNetworkAccessManager manager;
            CTwitterApi twitter;
            QVERIFY(twitter.setServiceUrl(variables.value(QStringLiteral("LUMESK_TWITTER_URL"))));
            twitter.setConsumer(QStringLiteral(LUMESK_TWITTER_CONSUMER_KEY),
                                QStringLiteral(LUMESK_TWITTER_CONSUMER_SECRET));
            twitter.setToken(QStringLiteral("AT"), QStringLiteral("AS"));
            const auto timeline = [&] {
                QString url;
                return twitter.friendsTimelineUrl(url, QString())
                           ? dated(fetch(manager, url).second, timelinePattern)
                           : QMap<QString, QString>();
            };
            // Flickr's contacts photos, every one of them.
            QList<QPair<QString, QString>> pairs{
                {QStringLiteral("method"), QStringLiteral("flickr.photos.getContactsPhotos")},
                {QStringLiteral("api_key"), QStringLiteral(LUMESK_FLICKR_API_KEY)},
                {QStringLiteral("auth_token"), FakeFlickrService::defaultToken()},
                {QStringLiteral("count"), QStringLiteral("50")},
                {QStringLiteral("extras"), QStringLiteral("date_upload")}};
            pairs.append({QStringLiteral("api_sig"),
                          FakeFlickrService::signature(QStringLiteral(LUMESK_FLICKR_SHARED_SECRET), pairs)});
            QUrlQuery query;
            query.setQueryItems(pairs);
            const QString contactsUrl = variables.value(QStringLiteral("LUMESK_FLICKR_URL")) +
                                        QStringLiteral("/services/rest/?") +
                                        query.toString(QUrl::FullyEncoded);
            const auto contactsPhotos = [&] {
                return dated(fetch(manager, contactsUrl).second,
                             QStringLiteral("<photo id=\"(?<id>\\d+)\"[^>]* dateupload=\"(?<date>\\d+)\""));
            };
            CFacebookApi facebook;
            facebook.setRestBaseUrl(variables.value(QStringLiteral("LUMESK_FACEBOOK_URL")));
            facebook.setApiKey(QStringLiteral(LUMESK_FACEBOOK_API_KEY));
            facebook.setSession(FakeFacebookRest::defaultSessionKey(),
                                FakeFacebookRest::defaultSessionSecret(), FakeFacebookRest::defaultUid());
            QString streamUrl;
            QVERIFY(facebook.formatStreamGet(streamUrl));
            QByteArray streamBody;
            const auto facebookStream = [&] {
                streamBody = fetch(manager, streamUrl).second;
                return dated(streamBody, QStringLiteral("<post_id>(?<id>[^<]+)</post_id>.*?<created_time>(?<"
                                                        "date>\\d+)</created_time>"));
            };
            const QMap<QString, QString> stream = facebookStream();
            const QString address = variables.value(QStringLiteral("LUMESK_MODEMMANAGER_BUS"));

            // What the first run started with, and what the second run finds.
            const QMap<QString, QString> firstStatuses = timeline();
            const QMap<QString, QString> firstPhotos = contactsPhotos();
            if (run == 0) {
                QCOMPARE(firstStatuses.size(), 4);
                QCOMPARE(firstPhotos.size(), 12);
                QCOMPARE(stream.size(), 10);
                QCOMPARE(simMessages(address).size(), 1);
                QVERIFY(
                    simMessages(address).first().startsWith(QLatin1String("Welcome to the stand-in modem|")));
                statuses = firstStatuses;
                photos = firstPhotos;
                posts = stream;
            } else {
                QCOMPARE(firstStatuses, statuses);
                QCOMPARE(firstPhotos, photos);
                QCOMPARE(stream, posts);
                QCOMPARE(simMessages(address), sim);
            }

            QStringList expected;
            if (run == 0) {
                // A status posted, a message sent (and answered) and the welcome deleted.
                QString url;
                QVERIFY(twitter.updateRequest(url, QStringLiteral("Hello"), QString()));
                QNetworkReply* reply =
                    manager.post(QNetworkRequest(QUrl::fromEncoded(url.toLatin1())), QByteArray());
                QSignalSpy posted(reply, &QNetworkReply::finished);
                QVERIFY(posted.wait(30000));
                expected = dated(reply->readAll(), timelinePattern).keys();
                reply->deleteLater();
                QCOMPARE(expected.size(), 1);

                QList<QDBusObjectPath> welcome;
                QVERIFY(simPaths(address, &welcome));
                const QString modem = modemPath(address);
                const QDBusMessage created =
                    modemCall(address, modem, QStringLiteral("org.freedesktop.ModemManager1.Modem.Messaging"),
                              QStringLiteral("Create"),
                              {QVariantMap{{QStringLiteral("number"), QStringLiteral("+15550199")},
                                           {QStringLiteral("text"), QStringLiteral("See you")}}});
                QCOMPARE(created.type(), QDBusMessage::ReplyMessage);
                QCOMPARE(modemCall(address, qdbus_cast<QDBusObjectPath>(created.arguments().value(0)).path(),
                                   QStringLiteral("org.freedesktop.ModemManager1.Sms"),
                                   QStringLiteral("Send"))
                             .type(),
                         QDBusMessage::ReplyMessage);
                QTRY_COMPARE_WITH_TIMEOUT(modemMessages(address), 3, 30000);
                QCOMPARE(modemCall(address, modem,
                                   QStringLiteral("org.freedesktop.ModemManager1.Modem.Messaging"),
                                   QStringLiteral("Delete"), {QVariant::fromValue(welcome.value(0))})
                             .type(),
                         QDBusMessage::ReplyMessage);
                sim = simMessages(address);
                QCOMPARE(sim.size(), 2);
                QVERIFY(sim.first().startsWith(QLatin1String("Got it: See you|20")));
            }
            // A Facebook post of each run is listed in the stream from then on, the first run's in the
            // second run too, each under an id of its own.
            QString publishUrl;
            const QString message = QStringLiteral("Probe %1").arg(run);
            QVERIFY(facebook.formatStreamPublish(publishUrl, message));
            const QString postId =
                QRegularExpression(QStringLiteral("<stream_publish_response[^>]*>([^<]+)<"))
                    .match(QString::fromUtf8(fetch(manager, publishUrl).second))
                    .captured(1);
            QVERIFY(!postId.isEmpty());
            QVERIFY(!posts.contains(postId));
            postedToFacebook.append(postId);
            const QMap<QString, QString> afterPost = facebookStream();
            QCOMPARE(added(afterPost, posts), QStringList{postId});
            for (int i = 0; i <= run; ++i)
                QVERIFY(streamBody.contains(QStringLiteral("Probe %1").arg(i).toUtf8()));
            posts = afterPost;

            // Every third request brings a new status and a new upload, under an id not used before.
            timeline();
            contactsPhotos();
            const QMap<QString, QString> lastStatuses = timeline();
            const QStringList newStatuses = added(lastStatuses, statuses);
            QCOMPARE(newStatuses.size(), expected.size() + 1);
            for (const QString& id : std::as_const(expected))
                QVERIFY(newStatuses.contains(id));
            QVERIFY(std::all_of(newStatuses.cbegin(), newStatuses.cend(), [&](const QString& id) {
                return id.toLongLong() > statuses.lastKey().toLongLong();
            }));
            const QMap<QString, QString> lastPhotos = contactsPhotos();
            const QStringList newPhotos = added(lastPhotos, photos);
            QCOMPARE(newPhotos.size(), 1);
            QVERIFY(newPhotos.first().toInt() > photos.lastKey().toInt());
            statuses = lastStatuses;
            photos = lastPhotos;

            process.terminate();
            QVERIFY(process.waitForFinished(10000));
        }
        QCOMPARE(postedToFacebook.size(), 2);
        QVERIFY(postedToFacebook.first() != postedToFacebook.last());
    }
};

QTEST_MAIN(TestFakeServices)
#include "tst_fakeservices.moc"
