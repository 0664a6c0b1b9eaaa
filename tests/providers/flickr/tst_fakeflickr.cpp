#include "fakeflickr.h"
#include "flickrapi.h"

#include <QImage>
#include <QTest>

#include <functional>

namespace {

const QString kBase = QStringLiteral("http://127.0.0.1:8080");

using Builder = std::function<bool(CFlickrApi&, QString&)>;

// The request the local HTTP server hands its handler for a GET of this URL.
TestHttpRequest requestFor(const QString& url)
{
    const QByteArray bytes = url.toUtf8();
    const int hostStart = bytes.indexOf("//") + 2;
    const int pathStart = bytes.indexOf('/', hostStart);
    TestHttpRequest request;
    request.method = "GET";
    request.version = "HTTP/1.1";
    request.target = bytes.mid(pathStart);
    request.headers.append(qMakePair(QByteArray("Host"), bytes.mid(hostStart, pathStart - hostStart)));
    request.raw = "GET " + request.target + " HTTP/1.1\r\n\r\n";
    return request;
}

void configure(CFlickrApi& api, const QString& key = FakeFlickrService::defaultApiKey(),
               const QString& token = FakeFlickrService::defaultToken())
{
    api.setConsumer(key, FakeFlickrService::defaultSecret());
    api.setToken(token);
    api.setRestUrl(kBase + QStringLiteral("/services/rest/"));
    api.setHomeUrl(kBase);
    api.setStaticUrlPattern(kBase + QStringLiteral("/farm%1"));
}

SMeskHttpResponseHeader headerOf(const TestHttpReply& reply)
{
    SMeskHttpResponseHeader header;
    header.statusCode = reply.status;
    return header;
}

// The Flickr code of an answer: 0 for stat="ok", -1 when it is no rsp.
int codeOf(const TestHttpReply& reply)
{
    CFlickrApi api;
    int code = -1;
    if (api.checkResponse(headerOf(reply), reply.body, code))
        return 0;
    const int at = reply.body.indexOf("code=\"");
    return at < 0 ? -1 : reply.body.mid(at + 6).split('"').value(0).toInt();
}

QString issueFrob(FakeFlickrService& service)
{
    CFlickrApi api;
    configure(api);
    QString url;
    api.frobRequest(url);
    QString frob;
    int code = 0;
    const TestHttpReply reply = service.handle(requestFor(url));
    return api.parseFrob(headerOf(reply), reply.body, frob, code) ? frob : QString();
}

} // namespace
Q_DECLARE_METATYPE(Builder)

class TestFakeFlickr : public QObject
{
    Q_OBJECT
private slots:
    void accepted_data()
    {
        QTest::addColumn<Builder>("builder");
        QTest::addColumn<int>("status");
        QTest::addColumn<int>("code");
        QTest::newRow("frob") << Builder([](CFlickrApi& a, QString& u) { return a.frobRequest(u); }) << 200
                              << 0;
        QTest::newRow("token for an unissued frob")
            << Builder([](CFlickrApi& a, QString& u) { return a.tokenRequest(u, QStringLiteral("72157-x")); })
            << 200 << 108;
        QTest::newRow("authorization page") << Builder([](CFlickrApi& a, QString& u) {
            return a.authorizationUrl(u, QStringLiteral("72157600000000000-abcdef0123456789-123456"));
        }) << 302 << -1;
        QTest::newRow("user info") << Builder([](CFlickrApi& a, QString& u) {
            return a.userInfoRequest(u, FakeFlickrService::defaultUserId());
        }) << 200 << 0;
        QTest::newRow("photo info") << Builder([](CFlickrApi& a, QString& u) {
            return a.photoInfoRequest(u, QStringLiteral("4001"), QStringLiteral("a1b2c3d4e5"));
        }) << 200 << 0;
        QTest::newRow("photo info, secret with =") << Builder([](CFlickrApi& a, QString& u) {
            return a.photoInfoRequest(u, QStringLiteral("123"), QStringLiteral("a=b"));
        }) << 200 << 1;
        QTest::newRow("photo sizes, query characters") << Builder([](CFlickrApi& a, QString& u) {
            return a.photoSizesRequest(u, QStringLiteral("1&x=2 #+%"));
        }) << 200 << 1;
        QTest::newRow("contacts photos")
            << Builder([](CFlickrApi& a, QString& u) { return a.contactsPhotosRequest(u); }) << 200 << 0;
        QTest::newRow("user photos") << Builder([](CFlickrApi& a, QString& u) {
            return a.userPhotosRequest(u, FakeFlickrService::defaultUserId(),
                                       QDateTime::fromSecsSinceEpoch(1200000000, Qt::UTC));
        }) << 200 << 0;
    }
    void accepted()
    {
        QFETCH(Builder, builder);
        QFETCH(int, status);
        QFETCH(int, code);
        FakeFlickrService service;
        issueFrob(service); // the first frob is the one the authorization row signs
        service.clearRequests();
        CFlickrApi api;
        configure(api);
        QString url;
        QVERIFY(builder(api, url));
        if (code > 0)
            QTest::ignoreMessage(QtDebugMsg, QRegularExpression(QStringLiteral("^Flickr returned error")));
        const TestHttpReply reply = service.handle(requestFor(url));
        QCOMPARE(reply.status, status);
        if (status == 302) {
            QVERIFY(service.requests().isEmpty());
            return;
        }
        QCOMPARE(codeOf(reply), code);
        QCOMPARE(service.requests().size(), 1);
        QCOMPARE(service.requests().constFirst().errorCode, code);
        if (QByteArray(QTest::currentDataTag()) == "photo sizes, query characters")
            QCOMPARE(service.requests().constFirst().param(QStringLiteral("photo_id")),
                     QStringLiteral("1&x=2 #+%"));
        if (QByteArray(QTest::currentDataTag()) == "photo info, secret with =")
            QCOMPARE(service.requests().constFirst().param(QStringLiteral("secret")), QStringLiteral("a=b"));
    }

    void refused_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<int>("code");
        CFlickrApi api;
        configure(api);
        QString url;
        api.userInfoRequest(url, FakeFlickrService::defaultUserId());
        QString changed = url;
        changed.replace(changed.size() - 1, 1,
                        changed.endsWith(QLatin1Char('0')) ? QStringLiteral("1") : QStringLiteral("0"));
        QTest::newRow("changed signature") << changed << 96;
        QTest::newRow("missing signature") << url.left(url.indexOf(QStringLiteral("&api_sig="))) << 97;
        QString changedValue = url;
        changedValue.replace(QStringLiteral("user_id=12345678@N00"), QStringLiteral("user_id=12345678@N01"));
        QTest::newRow("changed value") << changedValue << 96;

        CFlickrApi otherKey;
        configure(otherKey, QStringLiteral("0123456789abcdef0123456789abcdef"));
        otherKey.userInfoRequest(url, FakeFlickrService::defaultUserId());
        QTest::newRow("wrong key") << url << 100;

        CFlickrApi otherToken;
        configure(otherToken, FakeFlickrService::defaultApiKey(),
                  QStringLiteral("72157000000000000-fedcba9876543210"));
        otherToken.photoSizesRequest(url, QStringLiteral("4001"));
        QTest::newRow("unknown token") << url << 98;

        CFlickrApi noToken;
        configure(noToken, FakeFlickrService::defaultApiKey(), QString());
        noToken.contactsPhotosRequest(url);
        QTest::newRow("contacts without a token") << url << 99;
    }
    void refused()
    {
        QFETCH(QString, url);
        QFETCH(int, code);
        FakeFlickrService service;
        const TestHttpReply reply = service.handle(requestFor(url));
        QCOMPARE(reply.status, 200);
        QVERIFY(reply.body.contains("<rsp stat=\"fail\">"));
        QTest::ignoreMessage(QtDebugMsg,
                             QRegularExpression(QStringLiteral("^Flickr returned error %1:").arg(code)));
        QCOMPARE(codeOf(reply), code);
        QCOMPARE(service.requests().size(), 1);
        QCOMPARE(service.requests().constFirst().errorCode, code);
    }

    void authorisation()
    {
        FakeFlickrService service;
        const QString frob = issueFrob(service);
        QCOMPARE(frob, QStringLiteral("72157600000000000-abcdef0123456789-123456"));
        QVERIFY(!service.authorizeFrob(QStringLiteral("never issued")));

        CFlickrApi api;
        configure(api);
        api.setToken(QString());
        QString url;
        QVERIFY(api.tokenRequest(url, frob));
        QTest::ignoreMessage(QtDebugMsg, "Flickr returned error 108:Invalid frob");
        QCOMPARE(codeOf(service.handle(requestFor(url))), 108);

        // The signed page sends the browser to a confirmation page on the same host.
        QString page;
        QVERIFY(api.authorizationUrl(page, frob));
        TestHttpRequest pageRequest = requestFor(page);
        pageRequest.headers[0].second = "localhost:9999";
        const TestHttpReply redirect = service.handle(pageRequest);
        QCOMPARE(redirect.status, 302);
        QByteArray location;
        for (const auto& h : redirect.headers) {
            if (h.first == "Location")
                location = h.second;
        }
        QVERIFY2(location.startsWith("http://localhost:9999/"), location.constData());
        const TestHttpReply confirmation = service.handle(requestFor(QString::fromLatin1(location)));
        QCOMPARE(confirmation.status, 200);
        QVERIFY(confirmation.body.contains("<html>"));

        const TestHttpReply answer = service.handle(requestFor(url));
        QString token, userId, userName;
        int code = -1;
        QVERIFY(api.parseToken(headerOf(answer), answer.body, token, userId, userName, code));
        QCOMPARE(QStringList({token, userId, userName}),
                 QStringList({FakeFlickrService::defaultToken(), FakeFlickrService::defaultUserId(),
                              QStringLiteral("bob")}));

        // A badly signed page authorises nothing.
        const QString second = issueFrob(service);
        QVERIFY(api.authorizationUrl(page, second));
        page.chop(1);
        QCOMPARE(service.handle(requestFor(page)).status, 400);
        QVERIFY(api.tokenRequest(url, second));
        QTest::ignoreMessage(QtDebugMsg, "Flickr returned error 108:Invalid frob");
        QCOMPARE(codeOf(service.handle(requestFor(url))), 108);
    }

    void pictures_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("format");
        QTest::addColumn<QSize>("size");
        QTest::newRow("thumbnail") << "/farm3/3001/4001_a1b2c3d4e5_s.jpg" << 200 << QByteArray("JPG")
                                   << QSize(75, 75);
        QTest::newRow("medium") << "/farm3/3001/4001_a1b2c3d4e5.jpg" << 200 << QByteArray("JPG")
                                << QSize(500, 375);
        QTest::newRow("original png")
            << "/farm3/3001/4002_0fc3d4e5f6_o.png" << 200 << QByteArray("PNG") << QSize(1024, 768);
        QTest::newRow("buddy icon") << "/farm1/1234/buddyicons/12345678@N00.jpg" << 200 << QByteArray("JPG")
                                    << QSize(48, 48);
        QTest::newRow("default icon") << "/images/buddyicon.jpg" << 200 << QByteArray("JPG") << QSize(48, 48);
        QTest::newRow("wrong secret")
            << "/farm3/3001/4001_a1b2c3d4e6_s.jpg" << 404 << QByteArray() << QSize();
        QTest::newRow("original under the small secret")
            << "/farm3/3001/4002_b2c3d4e5f6_o.png" << 404 << QByteArray() << QSize();
        QTest::newRow("icon of a user without one")
            << "/farm0/0/buddyicons/34567890@N02.jpg" << 404 << QByteArray() << QSize();
    }
    void pictures()
    {
        QFETCH(QString, path);
        QFETCH(int, status);
        QFETCH(QByteArray, format);
        QFETCH(QSize, size);
        FakeFlickrService service;
        const TestHttpReply reply = service.handle(requestFor(kBase + path));
        QCOMPARE(reply.status, status);
        QCOMPARE(service.pictureRequests(), QStringList{path});
        if (status != 200)
            return;
        const QImage image = QImage::fromData(reply.body, format.constData());
        QCOMPARE(image.size(), size);
        // The same picture every time.
        QCOMPARE(service.handle(requestFor(kBase + path)).body, reply.body);
    }

    void sizeSourcesLoad()
    {
        FakeFlickrService service;
        CFlickrApi api;
        configure(api);
        QString url;
        QVERIFY(api.photoSizesRequest(url, QStringLiteral("4002")));
        const TestHttpReply reply = service.handle(requestFor(url));
        QList<SFlickrPhotoSize> sizes;
        int code = -1;
        QVERIFY(api.parsePhotoSizes(headerOf(reply), reply.body, sizes, code));
        QCOMPARE(sizes.size(), 5);
        for (const SFlickrPhotoSize& size : std::as_const(sizes)) {
            QVERIFY2(size.source.startsWith(kBase + QStringLiteral("/farm3/")), qPrintable(size.source));
            const TestHttpReply picture = service.handle(requestFor(size.source));
            QCOMPARE(picture.status, 200);
            const QImage image = QImage::fromData(picture.body);
            QCOMPARE(image.size(), QSize(size.width.toInt(), size.height.toInt()));
        }
        QVERIFY(sizes.constLast().source.endsWith(QStringLiteral("_o.png")));
    }

    void scripts()
    {
        FakeFlickrService service;
        CFlickrApi api;
        configure(api);
        QString url;
        QVERIFY(api.contactsPhotosRequest(url));
        const QString method = QStringLiteral("flickr.photos.getContactsPhotos");
        service.scriptError(method, 105, 200, 1);
        service.scriptDrop(method, 1);
        service.scriptEmpty(method, 500, 1);
        service.scriptDelay(method, 250, 1);
        QTest::ignoreMessage(QtDebugMsg, "Flickr returned error 105:Service currently unavailable");
        QCOMPARE(codeOf(service.handle(requestFor(url))), 105);
        QVERIFY(service.respond(requestFor(url)).dropConnection);
        const TestHttpReply empty = service.handle(requestFor(url));
        QCOMPARE(empty.status, 500);
        QVERIFY(empty.body.isEmpty());
        const FakeFlickrService::Outcome late = service.respond(requestFor(url));
        QCOMPARE(late.delayMs, 250);
        QCOMPARE(codeOf(late.reply), 0);
        QCOMPARE(codeOf(service.handle(requestFor(url))), 0);
        QCOMPARE(service.requests(method).size(), 5);

        // A script is used only once the request passed its checks.
        service.scriptError(method, 2);
        CFlickrApi noToken;
        configure(noToken, FakeFlickrService::defaultApiKey(), QString());
        QVERIFY(noToken.contactsPhotosRequest(url));
        QTest::ignoreMessage(QtDebugMsg, "Flickr returned error 99:Insufficient permissions");
        QCOMPARE(codeOf(service.handle(requestFor(url))), 99);

        const QString path = QStringLiteral("/farm3/3001/4001_a1b2c3d4e5_s.jpg");
        service.scriptPicture(path, 503, 0, 1);
        QCOMPARE(service.handle(requestFor(kBase + path)).status, 503);
        QCOMPARE(service.handle(requestFor(kBase + path)).status, 200);
    }
};

QTEST_GUILESS_MAIN(TestFakeFlickr)
#include "tst_fakeflickr.moc"
