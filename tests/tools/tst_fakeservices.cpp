// tools/fake-services as a process: it announces its addresses, then "ready"; its Twitter
// stand-in answers a signed friends timeline with statuses, its Facebook stand-in serves the
// login page and answers a stream.get signed with the session that page grants.
#include "facebookapi.h"
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

#include <QEventLoop>
#include <QImage>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

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

    // Starts the program and reads what it announces up to "ready".
    static bool announce(QProcess& process, QStringList* names, QHash<QString, QString>* variables)
    {
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

    // The number of messages the stand-in modem keeps; -1 when it cannot be asked.
    static int modemMessages(const QString& address)
    {
        QDBusConnection bus = QDBusConnection::connectToBus(address, QStringLiteral("sim-check"));
        const auto call = [&](const QString& path, const QString& interface, const QString& method) {
            return bus.call(QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.ModemManager1"),
                                                           path, interface, method));
        };
        int count = -1;
        const QDBusMessage objects =
            call(QStringLiteral("/org/freedesktop/ModemManager1"),
                 QStringLiteral("org.freedesktop.DBus.ObjectManager"), QStringLiteral("GetManagedObjects"));
        if (objects.type() == QDBusMessage::ReplyMessage) {
            using Objects = QMap<QDBusObjectPath, QMap<QString, QVariantMap>>;
            const Objects modems = qdbus_cast<Objects>(objects.arguments().value(0));
            if (!modems.isEmpty()) {
                const QDBusMessage list = call(
                    modems.firstKey().path(), QStringLiteral("org.freedesktop.ModemManager1.Modem.Messaging"),
                    QStringLiteral("List"));
                if (list.type() == QDBusMessage::ReplyMessage)
                    count = int(qdbus_cast<QList<QDBusObjectPath>>(list.arguments().value(0)).size());
            }
        }
        QDBusConnection::disconnectFromBus(QStringLiteral("sim-check"));
        return count;
    }

private slots:
    void announcesAndServes()
    {
        QProcess process;
        QHash<QString, QString> variables;
        QStringList names;
        QVERIFY(announce(process, &names, &variables));
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
        api.setConsumer(QStringLiteral("Qm7TzK2pLw9XvR4nBc8Hd"),
                        QStringLiteral("Zt6Wq3Ny8Ls1Hf5Kd0Xp7Vc2Rm9Gb4Jw6Tn1Qe8Ua"));
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
        QProcess process;
        QHash<QString, QString> variables;
        QStringList names;
        QVERIFY(announce(process, &names, &variables));
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
};

QTEST_MAIN(TestFakeServices)
#include "tst_fakeservices.moc"
