#include "faketwitter.h"
#include "localhttpserver.h"
#include "meskhttpmethod.h"
#include "meskhttptaskpool.h"
#include "twitterapi.h"

#include <QSignalSpy>
#include <QTest>

namespace {
// Sends one request through the pool and waits for its answer.
bool send(CMeskHttpMethod& method, const QByteArray& verb, const QString& url)
{
    QSignalSpy finished(&method, &CMeskHttpMethod::finished);
    const bool started = verb == "POST" ? method.post(url, QByteArray()) : method.get(url);
    return started && finished.wait(30000);
}
} // namespace

// Signed requests leave through the HTTP task pool byte for byte and the
// stand-in service accepts them.
class TestTwitterRoundTrip : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { CMeskHttpTaskPool::init(nullptr); }
    void cleanupTestCase() { CMeskHttpTaskPool::shutdown(); }

    void linkAccountAndPost()
    {
        LocalHttpServer server;
        FakeTwitterService service;
        server.setFallback(service.handler());

        CTwitterApi api;
        api.setConsumer(QString::fromLatin1(FakeTwitterService::DefaultConsumerKey),
                        QString::fromLatin1(FakeTwitterService::DefaultConsumerSecret));
        QVERIFY(api.setServiceUrl(server.baseUrl()));
        CMeskHttpMethod method;
        int error = -1;

        QString url;
        QVERIFY(api.requestTokenUrl(url));
        QVERIFY(send(method, "GET", url));
        QString requestToken, requestSecret;
        QVERIFY(api.parseRequestToken(method.responseHeader(), method.responseData(), requestToken,
                                      requestSecret, error));
        QCOMPARE(requestToken + '/' + requestSecret, QStringLiteral("RT/RS"));

        QVERIFY(api.accessTokenUrl(url, requestToken, requestSecret, QStringLiteral(" 1234567 ")));
        QVERIFY(send(method, "GET", url));
        QString token, secret, userId, userName;
        QVERIFY(api.parseAccessToken(method.responseHeader(), method.responseData(), token, secret, userId,
                                     userName, error));
        QCOMPARE((QStringList{token, secret, userId, userName}), (QStringList{"AT", "AS", "123", "alice"}));

        api.setToken(token, secret);
        QVERIFY(api.updateRequest(url, QStringLiteral("Hi%20there%20%26%20%C3%BC"), QString()));
        service.script(
            "/statuses/update.xml", 200,
            "<status><id>9</id><text>Hi there &amp; \xc3\xbc</text><user><id>123</id><name>A</name>"
            "<profile_image_url>http://img/a.png</profile_image_url></user></status>");
        QVERIFY(send(method, "POST", url));
        STwitterStatusEvent event;
        QVERIFY(api.parseUpdateResponse(method.responseHeader(), method.responseData(), event, error));
        QCOMPARE(event.status.text, QStringLiteral("Hi there & \u00fc"));

        const QList<FakeTwitterService::Record> log = service.requests();
        QCOMPARE(log.size(), 3);
        for (const FakeTwitterService::Record& record : log) {
            QCOMPARE(record.refusal, QByteArray());
            QCOMPARE(record.status, 200);
        }
        // The URL left as it was built: "%20", "%26" and "%C3%BC" intact, an empty body.
        QCOMPARE(QString::fromLatin1(log.at(2).request.target), url.mid(server.baseUrl().size()));
        QVERIFY(log.at(2).request.target.contains("status=Hi%20there%20%26%20%C3%BC&"));
        QCOMPARE(log.at(2).request.method, QByteArray("POST"));
        QVERIFY(log.at(2).request.body.isEmpty());
    }

    // The access-token request signed without the request token's secret is refused.
    void literalKeyRefused()
    {
        LocalHttpServer server;
        FakeTwitterService service;
        server.setFallback(service.handler());

        COAuthClient literal;
        literal.setConsumer(QString::fromLatin1(FakeTwitterService::DefaultConsumerKey),
                            QString::fromLatin1(FakeTwitterService::DefaultConsumerSecret));
        literal.setToken(QStringLiteral("RT"), QString());
        literal.addParam(QStringLiteral("oauth_verifier"), QStringLiteral("1234567"));
        const QString url = literal.signRequest(QStringLiteral("GET"), server.url("/oauth/access_token"));

        CMeskHttpMethod method;
        QTest::ignoreMessage(QtDebugMsg, "CMeskHttpMethod::onTaskResponse 401");
        QVERIFY(send(method, "GET", url));
        QCOMPARE(method.httpStatus(), 401);
        CTwitterApi api;
        QString token, secret, userId, userName;
        int error = -1;
        QTest::ignoreMessage(QtDebugMsg, "CTwitterApi: http response error 401");
        QVERIFY(!api.parseAccessToken(method.responseHeader(), method.responseData(), token, secret, userId,
                                      userName, error));
        QCOMPARE(error, int(TwitterUnauthorized));
        QCOMPARE(service.requests().value(0).refusal, QByteArray("invalid signature"));
    }
};

QTEST_GUILESS_MAIN(TestTwitterRoundTrip)
#include "tst_twitterroundtrip.moc"
