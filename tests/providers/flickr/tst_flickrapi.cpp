#include "flickrapi.h"
#include "meskxml.h"

#include <QTest>

#include <functional>

namespace {

const QString kKey = QStringLiteral("8d27e4b1c9f05a36e2d7b4190c5fa8e3");
const QString kSecret = QStringLiteral("c4e81a9d27b5f063");
const QString kToken = QStringLiteral("72157000000000000-0123456789abcdef");
const QString kRest = QStringLiteral("http://api.flickr.test/services/rest/");
const QString kFrob = QStringLiteral("72157600000000000-abcdef0123456789-123456");
const QString kUser = QStringLiteral("12345678@N00");

using Builder = std::function<bool(CFlickrApi&, QString&)>;

void configure(CFlickrApi& api)
{
    api.setConsumer(kKey, kSecret);
    api.setToken(kToken);
    api.setRestUrl(kRest);
}

QList<QPair<QString, Builder>> allBuilders()
{
    return {
        {QStringLiteral("frob"), [](CFlickrApi& a, QString& u) { return a.frobRequest(u); }},
        {QStringLiteral("token"), [](CFlickrApi& a, QString& u) { return a.tokenRequest(u, kFrob); }},
        {QStringLiteral("authorization"),
         [](CFlickrApi& a, QString& u) { return a.authorizationUrl(u, kFrob); }},
        {QStringLiteral("userInfo"), [](CFlickrApi& a, QString& u) { return a.userInfoRequest(u, kUser); }},
        {QStringLiteral("photoInfo"),
         [](CFlickrApi& a, QString& u) {
             return a.photoInfoRequest(u, QStringLiteral("123"), QStringLiteral("a=b"));
         }},
        {QStringLiteral("photoSizes"),
         [](CFlickrApi& a, QString& u) { return a.photoSizesRequest(u, QStringLiteral("1&x=2 #+%")); }},
        {QStringLiteral("contacts"), [](CFlickrApi& a, QString& u) { return a.contactsPhotosRequest(u); }},
        {QStringLiteral("userPhotos"),
         [](CFlickrApi& a, QString& u) {
             return a.userPhotosRequest(u, kUser, QDateTime::fromSecsSinceEpoch(1200000000, Qt::UTC));
         }},
    };
}

QByteArray rsp(const QByteArray& content, const QByteArray& stat = "ok")
{
    return "<?xml version=\"1.0\" encoding=\"utf-8\" ?>\n<rsp stat=\"" + stat + "\">" + content + "</rsp>";
}

QByteArray fail(int code, const QByteArray& message)
{
    return rsp("<err code=\"" + QByteArray::number(code) + "\" msg=\"" + message + "\"/>", "fail");
}

SMeskHttpResponseHeader status(int code)
{
    SMeskHttpResponseHeader header;
    header.statusCode = code;
    return header;
}

} // namespace
Q_DECLARE_METATYPE(Builder)

class TestFlickrApi : public QObject
{
    Q_OBJECT
private slots:
    void requests_data()
    {
        QTest::addColumn<Builder>("builder");
        QTest::addColumn<QString>("expected");
        const QString key = QStringLiteral("api_key=") + kKey;
        const QString token = QStringLiteral("&auth_token=") + kToken;
        CFlickrApi site;
        const QString home = site.homeUrl();

        QTest::newRow("frob, no token even with one set")
            << allBuilders().at(0).second
            << kRest + QStringLiteral("?") + key +
                   QStringLiteral("&method=flickr.auth.getFrob&api_sig=63ffdf835a3f94781dea9d77e0f78ef0");
        QTest::newRow("authorization page")
            << allBuilders().at(2).second
            << home + QStringLiteral("/services/auth/?") + key + QStringLiteral("&frob=") + kFrob +
                   QStringLiteral("&perms=write&api_sig=5006f12c2b222c3235efdd40f4e6936c");
        QTest::newRow("token")
            << allBuilders().at(1).second
            << kRest + QStringLiteral("?") + key + QStringLiteral("&frob=") + kFrob +
                   QStringLiteral("&method=flickr.auth.getToken&api_sig=2ba4673f1291b714f7c24e57b7f3b153");
        QTest::newRow("user photos")
            << allBuilders().at(7).second
            << kRest + QStringLiteral("?") + key + token +
                   QStringLiteral("&extras=owner_name,date_upload&method=flickr.photos.search"
                                  "&min_upload_date=1200000000&per_page=500&user_id=12345678@N00"
                                  "&api_sig=e2350344cf63c41ce7a57935ae6976ac");
        QTest::newRow("user photos, invalid date")
            << Builder([](CFlickrApi& a, QString& u) { return a.userPhotosRequest(u, kUser, QDateTime()); })
            << kRest + QStringLiteral("?") + key + token +
                   QStringLiteral(
                       "&extras=owner_name,date_upload&method=flickr.photos.search"
                       "&per_page=500&user_id=12345678@N00&api_sig=8488b277da0e0d4476d904c9fa206023");
        QTest::newRow("contacts photos")
            << allBuilders().at(6).second
            << kRest + QStringLiteral("?") + key + token +
                   QStringLiteral("&count=50&extras=date_upload&method=flickr.photos.getContactsPhotos"
                                  "&api_sig=8bb0d1d92af716f85757176a5fadfa1c");
        QTest::newRow("user info") << allBuilders().at(3).second
                                   << kRest + QStringLiteral("?") + key + token +
                                          QStringLiteral("&method=flickr.people.getInfo&user_id=12345678@N00"
                                                         "&api_sig=c00480e9304643b23bc4c1e706554f58");
        // "=" goes out encoded and is signed as it is.
        QTest::newRow("photo info, secret with =")
            << allBuilders().at(4).second
            << kRest + QStringLiteral("?") + key + token +
                   QStringLiteral("&method=flickr.photos.getInfo&photo_id=123&secret=a%3Db"
                                  "&api_sig=f362dc10722d7587e4df1626263e3496");
        QTest::newRow("photo info, no secret")
            << Builder(
                   [](CFlickrApi& a, QString& u) { return a.photoInfoRequest(u, QStringLiteral("123"), {}); })
            << kRest + QStringLiteral("?") + key + token +
                   QStringLiteral("&method=flickr.photos.getInfo&photo_id=123"
                                  "&api_sig=642ec643f4b8c2477dbed88777bf527b");
        QTest::newRow("photo sizes, query characters in the id")
            << allBuilders().at(5).second
            << kRest + QStringLiteral("?") + key + token +
                   QStringLiteral("&method=flickr.photos.getSizes&photo_id=1%26x%3D2%20%23%2B%25"
                                  "&api_sig=e45f3d273ad1e7a16d4734e19d0457f4");
    }
    void requests()
    {
        QFETCH(Builder, builder);
        QFETCH(QString, expected);
        CFlickrApi api;
        configure(api);
        QString url;
        QVERIFY(builder(api, url));
        QCOMPARE(url, expected);
        QCOMPARE(api.lastError(), 0);
        // Each URL is whole: the pool reads it strictly.
        QVERIFY(QUrl::fromEncoded(url.toLatin1(), QUrl::StrictMode).isValid());
    }

    void publishedExample()
    {
        CFlickrApi api;
        api.setConsumer(QStringLiteral("9a0554259914a86fb9e7eb014e4e5d52"),
                        QStringLiteral("000005fab4534d05"));
        QVERIFY(api.beginRequest());
        api.addParam(QStringLiteral("perms"), QStringLiteral("write"));
        api.addParam(QStringLiteral("api_key"), QStringLiteral("9a0554259914a86fb9e7eb014e4e5d52"));
        QString url;
        api.signUrl(url, QStringLiteral("http://flickr.com/services/auth/"));
        QCOMPARE(url,
                 QStringLiteral("http://flickr.com/services/auth/?api_key=9a0554259914a86fb9e7eb014e4e5d52"
                                "&perms=write&api_sig=a02506b31c1cd46c2e0b6380fb94eb3d"));
    }

    void noConsumer()
    {
        for (const auto& [name, builder] : allBuilders()) {
            CFlickrApi api;
            api.setConsumer(kKey, QString());
            api.setToken(kToken);
            QString url = QStringLiteral("untouched");
            QTest::ignoreMessage(QtDebugMsg, "CFlickrApi ERROR: consumer information is not set");
            QVERIFY2(!builder(api, url), qPrintable(name));
            QCOMPARE(api.lastError(), 106);
            QCOMPARE(url, QStringLiteral("untouched"));
        }
    }

    void templates_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<QString>("expected");
        CFlickrApi api;
        api.setHomeUrl(QStringLiteral("http://www.flickr.test/"));
        api.setStaticUrlPattern(QStringLiteral("http://farm%1.static.flickr.test"));
        QString url;
        api.thumbnailUrl(url, QStringLiteral("2"), QStringLiteral("1234"), QStringLiteral("9"),
                         QStringLiteral("ab"));
        QTest::newRow("thumbnail") << url
                                   << QStringLiteral("http://farm2.static.flickr.test/1234/9_ab_s.jpg");
        api.originalUrl(url, QStringLiteral("2"), QStringLiteral("1234"), QStringLiteral("9"),
                        QStringLiteral("cd"), QStringLiteral("png"));
        QTest::newRow("original") << url << QStringLiteral("http://farm2.static.flickr.test/1234/9_cd_o.png");
        api.profileUrl(url, kUser);
        QTest::newRow("profile") << url << QStringLiteral("http://www.flickr.test/people/12345678@N00");
        api.photoPageUrl(url, kUser, QStringLiteral("9"));
        QTest::newRow("photo page") << url << QStringLiteral("http://www.flickr.test/photos/12345678@N00/9");
        api.buddyIconUrl(url, QStringLiteral("1"), QStringLiteral("42"), kUser);
        QTest::newRow("icon") << url
                              << QStringLiteral(
                                     "http://farm1.static.flickr.test/42/buddyicons/12345678@N00.jpg");
        for (const QString& server : {QString(), QStringLiteral("0"), QStringLiteral("x")}) {
            api.buddyIconUrl(url, QStringLiteral("1"), server, kUser);
            QTest::newRow(qPrintable(QStringLiteral("default icon for \"%1\"").arg(server)))
                << url << QStringLiteral("http://www.flickr.test/images/buddyicon.jpg");
        }
    }
    void templates()
    {
        QFETCH(QString, url);
        QFETCH(QString, expected);
        QCOMPARE(url, expected);
    }

    void addresses_data()
    {
        QTest::addColumn<QByteArray>("variable");
        QTest::addColumn<QString>("rest");
        QTest::addColumn<QString>("home");
        QTest::addColumn<QString>("farm2");
        QTest::newRow("unset") << QByteArray() << QStringLiteral("http://api.flickr.com/services/rest/")
                               << QStringLiteral("http://www.flickr.com")
                               << QStringLiteral("http://farm2.static.flickr.com");
        QTest::newRow("local") << QByteArray("http://127.0.0.1:8080/")
                               << QStringLiteral("http://127.0.0.1:8080/services/rest/")
                               << QStringLiteral("http://127.0.0.1:8080")
                               << QStringLiteral("http://127.0.0.1:8080/farm2");
        QTest::newRow("unusable") << QByteArray("ftp:x")
                                  << QStringLiteral("http://api.flickr.com/services/rest/")
                                  << QStringLiteral("http://www.flickr.com")
                                  << QStringLiteral("http://farm2.static.flickr.com");
    }
    void addresses()
    {
        QFETCH(QByteArray, variable);
        QFETCH(QString, rest);
        QFETCH(QString, home);
        QFETCH(QString, farm2);
        if (variable.isEmpty())
            qunsetenv("LUMESK_FLICKR_URL");
        else
            qputenv("LUMESK_FLICKR_URL", variable);
        if (variable == "ftp:x")
            QTest::ignoreMessage(QtDebugMsg, "CFlickrApi: ignoring unusable LUMESK_FLICKR_URL \"ftp:x\"");
        CFlickrApi api;
        qunsetenv("LUMESK_FLICKR_URL");
        QCOMPARE(api.restUrl(), rest);
        QCOMPARE(api.homeUrl(), home);
        QString url;
        api.thumbnailUrl(url, QStringLiteral("2"), QStringLiteral("1"), QStringLiteral("9"),
                         QStringLiteral("ab"));
        QCOMPARE(url, farm2 + QStringLiteral("/1/9_ab_s.jpg"));
    }

    void readers_data()
    {
        QTest::addColumn<QString>("reader");
        QTest::addColumn<int>("httpStatus");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<int>("error");
        QTest::addColumn<QStringList>("logs");

        const QByteArray frob = rsp("<frob>F</frob>");
        QTest::newRow("500 with ok body")
            << "frob" << 500 << frob << false << 107
            << QStringList{QStringLiteral("CFlickrApi: http response error 500")};
        QTest::newRow("empty body") << "frob" << 200 << QByteArray() << false << 107
                                    << QStringList{QStringLiteral("CFlickrApi: response is empty")};
        QTest::newRow("no rsp") << "photos" << 200 << QByteArray("<html><body>busy</body></html>") << false
                                << 107
                                << QStringList{
                                       QStringLiteral("sFlickrParseResponseCode: flickr response failed")};
        QTest::newRow("not XML") << "check" << 200 << QByteArray("<rsp stat=\"ok\"") << false << 107
                                 << QStringList{
                                        QStringLiteral("sFlickrParseResponseCode: flickr response failed")};
        QTest::newRow("fail 99") << "photos" << 200 << fail(99, "Insufficient permissions") << false << 107
                                 << QStringList{
                                        QStringLiteral("Flickr returned error 99:Insufficient permissions")};
        QTest::newRow("fail without err")
            << "check" << 200 << rsp({}, "fail") << false << 107
            << QStringList{QStringLiteral("sFlickrParseResponseCode: flickr response failed fail")};
        QTest::newRow("empty frob") << "frob" << 200 << rsp("<frob></frob>") << false << 107 << QStringList();
        QTest::newRow("token without username")
            << "token" << 200
            << rsp("<auth><token>T</token><perms>write</perms><user nsid=\"12345678@N00\"/></auth>") << false
            << 107 << QStringList();
        QByteArray deep = "<photo id=\"1\" username=\"a\">";
        for (int i = 0; i < 300; ++i)
            deep += "<x>";
        for (int i = 0; i < 300; ++i)
            deep += "</x>";
        QTest::newRow("photo row nested 300 deep")
            << "photos" << 200 << rsp("<photos>" + deep + "</photo></photos>") << false << 107
            << QStringList{QStringLiteral("sFlickrParseResponseCode: flickr response failed")};
        QTest::newRow("fail 98") << "photos" << 200 << fail(98, "Invalid auth token") << false << 98
                                 << QStringList{
                                        QStringLiteral("Flickr returned error 98:Invalid auth token")};
        QTest::newRow("fail 98 under 500")
            << "photos" << 500 << fail(98, "Invalid auth token") << false << 107
            << QStringList{QStringLiteral("Flickr returned error 98:Invalid auth token"),
                           QStringLiteral("CFlickrApi: http response error 500")};
        for (int code : {2, 4, 10, 96, 97, 100, 105}) {
            const QString message = QStringLiteral("Message %1").arg(code);
            QTest::newRow(qPrintable(QStringLiteral("fail %1 kept").arg(code)))
                << "check" << 200 << fail(code, message.toUtf8()) << false << code
                << QStringList{QStringLiteral("Flickr returned error %1:%2").arg(code).arg(message)};
        }
        QTest::newRow("person missing") << "user" << 200 << rsp("<user/>") << false << 107 << QStringList();
        QTest::newRow("photo missing") << "info" << 200 << rsp({}) << false << 107 << QStringList();
        QTest::newRow("sizes missing") << "sizes" << 200 << rsp("<size/>") << false << 107 << QStringList();
        QTest::newRow("empty photos")
            << "photos" << 200 << rsp("<photos page=\"1\"/>") << true << 0 << QStringList();
        QTest::newRow("empty sizes") << "sizes" << 200 << rsp("<sizes/>") << true << 0 << QStringList();
        QTest::newRow("photo without owner name")
            << "photos" << 200
            << rsp("<photos><photo id=\"1\" owner=\"o1\" username=\"a\"/><photo id=\"2\" owner=\"o2\"/>"
                   "<photo id=\"3\" owner=\"o3\" ownername=\"c\" username=\"x\"/></photos>")
            << true << 0 << QStringList{QStringLiteral("sFlickrParsePhotoXml: user name not found")};
    }
    void readers()
    {
        QFETCH(QString, reader);
        QFETCH(int, httpStatus);
        QFETCH(QByteArray, body);
        QFETCH(bool, ok);
        QFETCH(int, error);
        QFETCH(QStringList, logs);
        for (const QString& line : std::as_const(logs))
            QTest::ignoreMessage(QtDebugMsg, qPrintable(line));
        QTest::failOnWarning(QRegularExpression(QStringLiteral(".")));

        CFlickrApi api;
        const SMeskHttpResponseHeader header = status(httpStatus);
        const int documents = meskXmlDocumentCount();
        int code = -1;
        bool result = false;
        QString frob, token, userId, userName;
        SFlickrUser user;
        SFlickrPhotoExt info;
        QList<SFlickrPhotoSize> sizes;
        QList<SFlickrPhoto> photos;
        if (reader == QLatin1String("check"))
            result = api.checkResponse(header, body, code);
        else if (reader == QLatin1String("frob"))
            result = api.parseFrob(header, body, frob, code);
        else if (reader == QLatin1String("token"))
            result = api.parseToken(header, body, token, userId, userName, code);
        else if (reader == QLatin1String("user"))
            result = api.parseUserInfo(header, body, user, code);
        else if (reader == QLatin1String("info"))
            result = api.parsePhotoInfo(header, body, info, code);
        else if (reader == QLatin1String("sizes"))
            result = api.parsePhotoSizes(header, body, sizes, code);
        else
            result = api.parseUserPhotos(header, body, photos, code);
        QCOMPARE(result, ok);
        QCOMPARE(code, error);
        QVERIFY(meskXmlDocumentCount() - documents <= 1); // each answer is read once
        QCOMPARE(api.lastError(), 0);                     // readers leave the builder's code alone

        if (QByteArray(QTest::currentDataTag()) == "token without username") {
            // What was read before the reader stopped stays.
            QCOMPARE(userId, kUser);
            QVERIFY(userName.isEmpty());
        }
        if (QByteArray(QTest::currentDataTag()) == "photo without owner name") {
            QCOMPARE(photos.size(), 2);
            QCOMPARE(photos.at(0).ownerName, QStringLiteral("a"));
            QCOMPARE(photos.at(1).id, QStringLiteral("3"));
            QCOMPARE(photos.at(1).ownerName, QStringLiteral("c"));
        }
    }

    void records()
    {
        CFlickrApi api;
        int code = -1;
        SFlickrPhotoExt info;
        QVERIFY(api.parsePhotoInfo(
            status(200),
            rsp("<photo id=\"9\" secret=\"ab\" server=\"12\" farm=\"3\" dateuploaded=\"1262300000\" "
                "isfavorite=\"1\""
                " originalsecret=\"cd\" originalformat=\"png\"><owner nsid=\"o@N01\" username=\"amy\"/>"
                "<title>T &amp; t</title><description>D</description><comments>4</comments></photo>"),
            info, code));
        const SFlickrPhotoExt expectedInfo{
            QStringLiteral("9"),     QStringLiteral("ab"),         QStringLiteral("12"),
            QStringLiteral("3"),     QStringLiteral("o@N01"),      QStringLiteral("amy"),
            QStringLiteral("T & t"), QStringLiteral("1262300000"), QStringLiteral("cd"),
            QStringLiteral("png"),   QStringLiteral("D"),          QStringLiteral("4"),
            QStringLiteral("1")};
        QCOMPARE(info, expectedInfo);

        SFlickrUser user;
        QVERIFY(api.parseUserInfo(
            status(200),
            rsp("<person id=\"o@N01\" iconserver=\"5\" iconfarm=\"1\"><username>amy</username>"
                "<realname>Amy A</realname><photosurl>P</photosurl><profileurl>R</profileurl></person>"),
            user, code));
        const SFlickrUser expectedUser{
            QStringLiteral("o@N01"), QStringLiteral("Amy A"), QStringLiteral("amy"), QStringLiteral("5"),
            QStringLiteral("1"),     QStringLiteral("P"),     QStringLiteral("R")};
        QCOMPARE(user, expectedUser);
        // The answer as the service documents it names the person by nsid only.
        QVERIFY(
            api.parseUserInfo(status(200),
                              rsp("<person nsid=\"o@N01\" ispro=\"0\" iconserver=\"5\" iconfarm=\"1\">"
                                  "<username>amy</username><realname>Amy A</realname><photosurl>P</photosurl>"
                                  "<profileurl>R</profileurl></person>"),
                              user, code));
        QCOMPARE(user, expectedUser);

        QString token, userId, userName;
        QVERIFY(api.parseToken(status(200),
                               rsp("<auth><token>T</token><perms>write</perms>"
                                   "<user nsid=\"12345678@N00\" username=\"bob\" fullname=\"\"/></auth>"),
                               token, userId, userName, code));
        QCOMPARE(QStringList({token, userId, userName}),
                 QStringList({QStringLiteral("T"), kUser, QStringLiteral("bob")}));
    }
};

QTEST_GUILESS_MAIN(TestFlickrApi)
#include "tst_flickrapi.moc"
