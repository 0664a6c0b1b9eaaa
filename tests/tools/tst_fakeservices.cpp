// tools/fake-services as a process: it announces its addresses, then "ready"; its Twitter
// stand-in answers a signed friends timeline with statuses, its Facebook stand-in serves the
// login page and answers a stream.get signed with the session that page grants.
#include "facebookapi.h"
#include "twitterapi.h"

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
        const QPair<int, QByteArray> answer{reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(),
                                           reply->readAll()};
        reply->deleteLater();
        return answer;
    }

private slots:
    void announcesAndServes()
    {
        QProcess process;
        process.start(QStringLiteral(LUMESK_FAKE_SERVICES), {});
        QVERIFY(process.waitForStarted(10000));
        QHash<QString, QString> variables;
        QStringList names;
        bool ready = false;
        while (!ready && process.waitForReadyRead(20000)) {
            while (process.canReadLine()) {
                const QString line = QString::fromUtf8(process.readLine()).trimmed();
                if (line == QLatin1String("ready")) {
                    ready = true;
                    break;
                }
                const qsizetype eq = line.indexOf(QLatin1Char('='));
                QVERIFY2(eq > 0 && line.startsWith(QLatin1String("LUMESK_")), qPrintable(line));
                names << line.left(eq);
                variables.insert(line.left(eq), line.mid(eq + 1));
            }
        }
        QVERIFY(ready);
        QCOMPARE(names, QStringList({"LUMESK_TWITTER_URL", "LUMESK_TWITTER_WEB_HOST", "LUMESK_FLICKR_URL",
                                     "LUMESK_FACEBOOK_URL"}));
        QVERIFY(variables.value(QStringLiteral("LUMESK_TWITTER_URL")).startsWith(QLatin1String("http://127.0.0.1:")));

        CTwitterApi api;
        QVERIFY(api.setServiceUrl(variables.value(QStringLiteral("LUMESK_TWITTER_URL"))));
        api.setConsumer(QStringLiteral("Qm7TzK2pLw9XvR4nBc8Hd"), QStringLiteral("Zt6Wq3Ny8Ls1Hf5Kd0Xp7Vc2Rm9Gb4Jw6Tn1Qe8Ua"));
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
        QVERIFY(facebook.parseCallbackUrl(match.captured(1).replace(QLatin1String("&amp;"), QLatin1String("&")), key,
                                          secret, uid));
        facebook.setSession(key, secret, uid);
        QVERIFY(facebook.formatStreamGet(url));
        const auto [streamStatus, stream] = fetch(manager, url);
        QCOMPARE(streamStatus, 200);
        QVERIFY2(stream.contains("<stream_post>"), stream.left(400).constData());

        process.kill();
        process.waitForFinished(10000);
    }
};

QTEST_MAIN(TestFakeServices)
#include "tst_fakeservices.moc"
