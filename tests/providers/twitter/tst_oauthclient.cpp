#include "oauthclient.h"

#include <QSet>
#include <QTest>
#include <QUrlQuery>

namespace {
// The example of OAuth Core 1.0, Appendix A, and RFC 5849 section 1.2.
const QString ExampleConsumerKey = QStringLiteral("dpf43f3p2l4k3l03");
const QString ExampleConsumerSecret = QStringLiteral("kd94hf93k423kf44");
const QString ExampleToken = QStringLiteral("nnch734d00sl2jdk");
const QString ExampleTokenSecret = QStringLiteral("pfkkdhi9sl3r4s00");
const QString PhotosUrl = QStringLiteral("http://photos.example.net/photos");

void useFixedSources(COAuthClient& client, qint64 timestamp, const QString& nonce)
{
    client.setTimestampSource([timestamp] { return timestamp; });
    client.setNonceSource([nonce] { return nonce; });
}

QStringList queryEntries(const QString& url)
{
    const int q = url.indexOf(QLatin1Char('?'));
    return q < 0 ? QStringList() : url.mid(q + 1).split(QLatin1Char('&'));
}

QString paramValue(const QString& url, const QString& name)
{
    for (const QString& entry : queryEntries(url)) {
        if (entry.startsWith(name + QLatin1Char('=')))
            return entry.mid(name.size() + 1);
    }
    return {};
}
} // namespace

class TestOAuthClient : public QObject
{
    Q_OBJECT
private slots:
    void hmacSha1_data()
    {
        QTest::addColumn<QByteArray>("key");
        QTest::addColumn<QByteArray>("message");
        QTest::addColumn<QByteArray>("digest");

        // RFC 2202 section 3.
        QTest::newRow("rfc2202-1") << QByteArray(20, '\x0b') << QByteArray("Hi There")
                                   << QByteArray("b617318655057264e28bc0b6fb378c8ef146be00");
        QTest::newRow("rfc2202-2") << QByteArray("Jefe") << QByteArray("what do ya want for nothing?")
                                   << QByteArray("effcdf6ae5eb2fa2d27416d5f184df9c259a7c79");
        QTest::newRow("rfc2202-3") << QByteArray(20, '\xaa') << QByteArray(50, '\xdd')
                                   << QByteArray("125d7342b9ac11cd91a39af48aa17b4f63f175d3");
        QTest::newRow("rfc2202-4") << QByteArray::fromHex(
                                          "0102030405060708090a0b0c0d0e0f10111213141516171819")
                                   << QByteArray(50, '\xcd')
                                   << QByteArray("4c9007f4026250c6bc8414f9bf50c86c2d7235da");
        QTest::newRow("rfc2202-5") << QByteArray(20, '\x0c') << QByteArray("Test With Truncation")
                                   << QByteArray("4c1a03424b55e07fe7f27be1d58bb9324a9a5a04");
        QTest::newRow("rfc2202-6") << QByteArray(80, '\xaa')
                                   << QByteArray("Test Using Larger Than Block-Size Key - Hash Key First")
                                   << QByteArray("aa4ae5e15272d00e95705637ce8a3b55ed402112");
        QTest::newRow("rfc2202-7")
            << QByteArray(80, '\xaa')
            << QByteArray("Test Using Larger Than Block-Size Key and Larger Than One Block-Size Data")
            << QByteArray("e8e99d0f45237d786d6bbaa7965c7808bbff1a91");
        // The block-size boundary: 64 bytes are used as they are, 65 are hashed first.
        QTest::newRow("key-64") << QByteArray(64, 'k') << QByteArray("msg")
                                << QByteArray("1b372955c5162b8ba20a1974833498d3f7ec728a");
        QTest::newRow("key-65") << QByteArray(65, 'k') << QByteArray("msg")
                                << QByteArray("b75a0671ed2de039c033e5440f4bf8564f37fefe");
    }
    void hmacSha1()
    {
        QFETCH(QByteArray, key);
        QFETCH(QByteArray, message);
        QFETCH(QByteArray, digest);
        QCOMPARE(COAuthClient::hmacSha1(message, key).toHex(), digest);
    }

    // OAuth Core 1.0 Appendix A; its signature also shows %2B, %2F and %3D.
    void appendixA()
    {
        COAuthClient client;
        client.setConsumer(ExampleConsumerKey, ExampleConsumerSecret);
        client.setToken(ExampleToken, ExampleTokenSecret);
        useFixedSources(client, 1191242096, QStringLiteral("kllo9940pd9333jh"));
        client.addParam(QStringLiteral("size"), QStringLiteral("original"));
        client.addParam(QStringLiteral("file"), QStringLiteral("vacation.jpg"));
        QCOMPARE(client.signRequest(QStringLiteral("GET"), PhotosUrl),
                 QStringLiteral("http://photos.example.net/photos?file=vacation.jpg"
                                "&oauth_consumer_key=dpf43f3p2l4k3l03&oauth_nonce=kllo9940pd9333jh"
                                "&oauth_signature_method=HMAC-SHA1&oauth_timestamp=1191242096"
                                "&oauth_token=nnch734d00sl2jdk&oauth_version=1.0&size=original"
                                "&oauth_signature=tR3%2BTy81lMeYAr%2FFid0kMTYa%2FWM%3D"));
        // The list keeps its entries, the signature included, until it is cleared.
        QCOMPARE(client.params().size(), 9);
        QCOMPARE(client.params().last(),
                 QStringLiteral("oauth_signature=tR3%2BTy81lMeYAr%2FFid0kMTYa%2FWM%3D"));
    }

    // RFC 5849 section 1.2: a request without oauth_version.
    void rfc5849Example()
    {
        const QStringList params = {
            QStringLiteral("file=vacation.jpg"),
            QStringLiteral("oauth_consumer_key=dpf43f3p2l4k3l03"),
            QStringLiteral("oauth_nonce=chapoH"),
            QStringLiteral("oauth_signature_method=HMAC-SHA1"),
            QStringLiteral("oauth_timestamp=137131202"),
            QStringLiteral("oauth_token=nnch734d00sl2jdk"),
            QStringLiteral("size=original"),
        };
        const QString key = COAuthClient::signingKey(ExampleConsumerSecret, ExampleTokenSecret);
        QCOMPARE(key, QStringLiteral("kd94hf93k423kf44&pfkkdhi9sl3r4s00"));
        QCOMPARE(COAuthClient::signature(QStringLiteral("GET"), PhotosUrl, key, params),
                 QStringLiteral("MdpQcU8iPSUjWoN%2FUDMsK2sui9I%3D"));
    }

    void signingKeyEncodesBothSecrets()
    {
        QCOMPARE(COAuthClient::signingKey(QStringLiteral("a&b c"), QString()), QStringLiteral("a%26b%20c&"));
        QCOMPARE(COAuthClient::signingKey(QStringLiteral("s"), QStringLiteral("t~=")),
                 QStringLiteral("s&t~%3D"));
    }

    // The order of addParam() calls makes no difference; the signature comes last.
    void paramOrderDoesNotMatter()
    {
        auto sign = [](const QList<QPair<QString, QString>>& params) {
            COAuthClient client;
            client.setConsumer(ExampleConsumerKey, ExampleConsumerSecret);
            client.setToken(ExampleToken, ExampleTokenSecret);
            useFixedSources(client, 1191242096, QStringLiteral("kllo9940pd9333jh"));
            for (const auto& p : params)
                client.addParam(p.first, p.second);
            return client.signRequest(QStringLiteral("GET"), PhotosUrl);
        };
        const QString forward = sign({{QStringLiteral("a"), QStringLiteral("1")},
                                      {QStringLiteral("z"), QStringLiteral("2")},
                                      {QStringLiteral("since_id"), QStringLiteral("9")}});
        const QString backward = sign({{QStringLiteral("since_id"), QStringLiteral("9")},
                                       {QStringLiteral("z"), QStringLiteral("2")},
                                       {QStringLiteral("a"), QStringLiteral("1")}});
        QCOMPARE(forward, backward);
        const QStringList entries = queryEntries(forward);
        QVERIFY(entries.last().startsWith(QStringLiteral("oauth_signature=")));
        QStringList rest = entries.mid(0, entries.size() - 1);
        QStringList sorted = rest;
        sorted.sort();
        QCOMPARE(rest, sorted);
        QCOMPARE(rest.first(), QStringLiteral("a=1"));
        QCOMPARE(rest.last(), QStringLiteral("z=2"));
    }

    // Parameters sort by encoded name, then by encoded value (RFC 5849 section
    // 3.4.1.3.2), also where one name is a prefix of another.
    void sortsByNameThenValue_data()
    {
        QTest::addColumn<QStringList>("added");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("name is a prefix") << QStringList{"x%21y=1", "x=2"} << QStringList{"x=2", "x%21y=1"};
        QTest::newRow("prefix with a dash") << QStringList{"a-b=1", "a=9"} << QStringList{"a=9", "a-b=1"};
        QTest::newRow("same name, values")
            << QStringList{"a=2", "a=10", "a=1"} << QStringList{"a=1", "a=10", "a=2"};
    }
    void sortsByNameThenValue()
    {
        QFETCH(QStringList, added);
        QFETCH(QStringList, expected);
        COAuthClient client;
        client.setConsumer(ExampleConsumerKey, ExampleConsumerSecret);
        useFixedSources(client, 1, QStringLiteral("n"));
        for (const QString& entry : added)
            client.addParam(entry.section(QLatin1Char('='), 0, 0), entry.section(QLatin1Char('='), 1));
        const QString url = client.signRequest(QStringLiteral("GET"), PhotosUrl);
        QStringList own;
        for (const QString& entry : queryEntries(url)) {
            if (!entry.startsWith(QStringLiteral("oauth_")))
                own.append(entry);
        }
        QCOMPARE(own, expected);
        // The base string holds the same order.
        QStringList params = client.params();
        params.removeLast();
        QCOMPARE(paramValue(url, QStringLiteral("oauth_signature")),
                 COAuthClient::signature(QStringLiteral("GET"), PhotosUrl,
                                         ExampleConsumerSecret + QLatin1Char('&'), params));
    }

    // Without a token the URL has no oauth_token and the key is the consumer secret and "&".
    void noTokenRequest()
    {
        COAuthClient client;
        client.setConsumer(ExampleConsumerKey, ExampleConsumerSecret);
        useFixedSources(client, 1191242096, QStringLiteral("n"));
        const QString url = client.signRequest(QStringLiteral("GET"), PhotosUrl);
        QVERIFY(!url.contains(QStringLiteral("oauth_token")));
        QStringList params = client.params();
        params.removeLast();
        QCOMPARE(paramValue(url, QStringLiteral("oauth_signature")),
                 COAuthClient::signature(QStringLiteral("GET"), PhotosUrl,
                                         ExampleConsumerSecret + QLatin1Char('&'), params));
    }

    // A value stands once encoded in the URL and twice in the base string.
    void encodedValueInUrlAndBaseString()
    {
        COAuthClient client;
        client.setConsumer(ExampleConsumerKey, ExampleConsumerSecret);
        client.setToken(ExampleToken, ExampleTokenSecret);
        useFixedSources(client, 1, QStringLiteral("n"));
        const QString encoded = COAuthClient::pct(QStringLiteral("Hi & bye"));
        client.addParam(QStringLiteral("status"), encoded);
        const QString url = client.signRequest(QStringLiteral("POST"), PhotosUrl);
        QCOMPARE(paramValue(url, QStringLiteral("status")), QStringLiteral("Hi%20%26%20bye"));
        // Signing the doubly encoded entry by hand gives the same signature.
        QStringList params = client.params();
        params.removeLast();
        QVERIFY(params.contains(QStringLiteral("status=Hi%20%26%20bye")));
        QCOMPARE(paramValue(url, QStringLiteral("oauth_signature")),
                 COAuthClient::signature(QStringLiteral("POST"), PhotosUrl,
                                         COAuthClient::signingKey(ExampleConsumerSecret, ExampleTokenSecret),
                                         params));
        QVERIFY(COAuthClient::pct(params.last()).contains(QStringLiteral("status%3DHi%2520%2526%2520bye")));
    }

    void noConsumerSignsNothing_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("secret");
        QTest::newRow("none") << QString() << QString();
        QTest::newRow("no secret") << ExampleConsumerKey << QString();
        QTest::newRow("no key") << QString() << ExampleConsumerSecret;
    }
    void noConsumerSignsNothing()
    {
        QFETCH(QString, key);
        QFETCH(QString, secret);
        COAuthClient client;
        client.setConsumer(key, secret);
        QVERIFY(!client.hasConsumer());
        client.addParam(QStringLiteral("a"), QStringLiteral("1"));
        QCOMPARE(client.signRequest(QStringLiteral("GET"), PhotosUrl), QString());
        QCOMPARE(client.params(), QStringList{QStringLiteral("a=1")});
        QCOMPARE(client.requestTokenRequest(PhotosUrl), QString());
        QCOMPARE(client.accessTokenRequest(PhotosUrl, QStringLiteral("RT"), QStringLiteral("RS"),
                                           QStringLiteral("1")),
                 QString());
    }

    // The flow's requests leave the stored token pair as they found it.
    void flowRequestsKeepTokenPair()
    {
        COAuthClient client;
        client.setConsumer(ExampleConsumerKey, ExampleConsumerSecret);
        client.setToken(ExampleToken, ExampleTokenSecret);
        useFixedSources(client, 5, QStringLiteral("n"));

        const QString request = client.requestTokenRequest(PhotosUrl);
        QVERIFY(!request.isEmpty());
        QVERIFY(!request.contains(QStringLiteral("oauth_token")));
        QCOMPARE(client.token(), ExampleToken);
        QCOMPARE(client.tokenSecret(), ExampleTokenSecret);

        const QString access = client.accessTokenRequest(PhotosUrl, QStringLiteral("RT"),
                                                         QStringLiteral("RS"), QStringLiteral("9"));
        QCOMPARE(paramValue(access, QStringLiteral("oauth_token")), QStringLiteral("RT"));
        QCOMPARE(client.token(), ExampleToken);
        QCOMPARE(client.tokenSecret(), ExampleTokenSecret);

        // Signed with the request token's secret, not the stored one nor none.
        QStringList params = client.params();
        params.removeLast();
        QCOMPARE(paramValue(access, QStringLiteral("oauth_signature")),
                 COAuthClient::signature(
                     QStringLiteral("GET"), PhotosUrl,
                     COAuthClient::signingKey(ExampleConsumerSecret, QStringLiteral("RS")), params));
    }

    // A typed PIN is trimmed and encoded, in the URL and in the base string.
    void verifierIsTrimmedAndEncoded_data()
    {
        QTest::addColumn<QString>("verifier");
        QTest::addColumn<QString>("onWire");
        QTest::newRow("digits") << QStringLiteral("1234567") << QStringLiteral("1234567");
        QTest::newRow("blanks around") << QStringLiteral(" 1234567 ") << QStringLiteral("1234567");
        QTest::newRow("reserved") << QStringLiteral("12 3&4") << QStringLiteral("12%203%264");
        QTest::newRow("hash") << QStringLiteral("12#4") << QStringLiteral("12%234");
        QTest::newRow("blank only") << QStringLiteral("  ") << QString();
    }
    void verifierIsTrimmedAndEncoded()
    {
        QFETCH(QString, verifier);
        QFETCH(QString, onWire);
        COAuthClient client;
        client.setConsumer(ExampleConsumerKey, ExampleConsumerSecret);
        useFixedSources(client, 5, QStringLiteral("n"));
        const QString url =
            client.accessTokenRequest(PhotosUrl, QStringLiteral("RT"), QStringLiteral("RS"), verifier);
        QCOMPARE(paramValue(url, QStringLiteral("oauth_verifier")), onWire);
        QCOMPARE(url.contains(QStringLiteral("oauth_verifier=")), !onWire.isEmpty());
        // The query string still splits into whole name=value pairs.
        for (const QString& entry : queryEntries(url))
            QVERIFY2(entry.count(QLatin1Char('=')) == 1, qPrintable(entry));
        QVERIFY(!url.contains(QLatin1Char('#')));
        QVERIFY(!url.contains(QLatin1Char(' ')));
    }

    void authorizeRequestIsUnsigned()
    {
        COAuthClient client;
        client.addParam(QStringLiteral("keep"), QStringLiteral("me"));
        QCOMPARE(client.authorizeRequest(QStringLiteral("http://h/oauth/authorize"),
                                         QStringLiteral("www.h:8080"), QStringLiteral("R&T")),
                 QStringLiteral("http://h/oauth/authorize?oauth_token=R%26T&oauth_callback=www.h%3A8080"));
        QCOMPARE(client.params(), QStringList{QStringLiteral("keep=me")});
    }

    // Requests signed within one second still differ in their nonce.
    void defaultNonceDiffersWithinOneSecond()
    {
        COAuthClient client;
        client.setConsumer(ExampleConsumerKey, ExampleConsumerSecret);
        client.setTimestampSource([] { return qint64(1300000000); });
        const QString first = client.requestTokenRequest(PhotosUrl);
        const QString second = client.requestTokenRequest(PhotosUrl);
        const QString n1 = paramValue(first, QStringLiteral("oauth_nonce"));
        const QString n2 = paramValue(second, QStringLiteral("oauth_nonce"));
        QCOMPARE(paramValue(first, QStringLiteral("oauth_timestamp")), QStringLiteral("1300000000"));
        QCOMPARE(paramValue(second, QStringLiteral("oauth_timestamp")), QStringLiteral("1300000000"));
        QVERIFY(n1 != n2);
        QSet<QString> seen;
        for (int i = 0; i < 100; ++i) {
            const QString n = client.nonce();
            bool ok = false;
            n.toULongLong(&ok);
            QVERIFY2(ok, qPrintable(n));
            seen.insert(n);
        }
        QCOMPARE(seen.size(), 100);
    }
};

QTEST_GUILESS_MAIN(TestOAuthClient)
#include "tst_oauthclient.moc"
