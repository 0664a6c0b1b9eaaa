// Every Facebook call, formatted by CFacebookApi, sent through the HTTP task pool
// to the stand-in REST service on 127.0.0.1 and checked on the way back.
#include "facebookapi.h"
#include "fakefacebookrest.h"
#include "localhttpserver.h"
#include "meskhttptaskpool.h"
#include "meskrecords.h"
#include "testclock.h"

#include <QMutex>
#include <QTest>

#include <functional>
#include <memory>

namespace {
class Collector : public IMeskHttpTaskObserver
{
public:
    void onTaskResponse(const SMeskHttpResponseHeader& h, const QByteArray& b) override
    {
        QMutexLocker lock(&mutex);
        header = h;
        body = b;
    }
    void onTaskDone() override { done = true; }
    void onTaskFailed(TMeskHttpError e) override { error = e; }

    QMutex mutex;
    SMeskHttpResponseHeader header;
    QByteArray body;
    bool done = false;
    TMeskHttpError error = HttpNoError;
};

QString encoded(const QString& text)
{
    return QString::fromLatin1(QUrl::toPercentEncoding(text));
}

using Formatter = std::function<bool(CFacebookApi&, QString&)>;
} // namespace
Q_DECLARE_METATYPE(Formatter)

class TestFacebookRoundTrip : public QObject
{
    Q_OBJECT
private:
    std::unique_ptr<LocalHttpServer> m_server;
    std::unique_ptr<FakeFacebookRest> m_rest;
    std::unique_ptr<TestClock> m_clock;
    CFacebookApi m_api;

    // Sends the URL through the pool and waits for the end of the request.
    void send(const QString& url, Collector& collector)
    {
        QVERIFY(CMeskHttpTaskPool::get(url, &collector) > 0);
        QTRY_VERIFY_WITH_TIMEOUT(collector.done || collector.error != HttpNoError, 30000);
        QVERIFY2(collector.done, qPrintable(QStringLiteral("transport error %1").arg(int(collector.error))));
    }

private slots:
    void initTestCase()
    {
        registerMeskMetaTypes();
        CMeskHttpTaskPool::init(this);
        m_server = std::make_unique<LocalHttpServer>();
        QVERIFY(m_server->isListening());
        m_rest = std::make_unique<FakeFacebookRest>();
        m_server->mount("/", m_rest->handler());
        m_clock = std::make_unique<TestClock>(QDateTime(QDate(2009, 11, 26), QTime(12, 0)));
        m_api.setApiKey(FakeFacebookRest::defaultApiKey());
        m_api.setSession(FakeFacebookRest::defaultSessionKey(), FakeFacebookRest::defaultSessionSecret(),
                         FakeFacebookRest::defaultUid());
        m_api.setRestBaseUrl(m_server->url(QString()));
    }
    void cleanupTestCase()
    {
        CMeskHttpTaskPool::shutdown();
        m_server.reset();
    }
    void init()
    {
        m_rest->clearRequests();
        m_rest->clearScripts();
        m_clock->advanceSecs(1); // a fresh call_id per call
    }

    void everyCallIsAccepted_data()
    {
        QTest::addColumn<Formatter>("format");
        QTest::addColumn<QString>("method");
        // Free text comes percent-encoded by the caller (the posters encode it).
        const QString odd = encoded(QStringLiteral("a&b=c+d #é ✓ 100% \"q\" <x>"));
        QTest::newRow("users.getInfo") << Formatter([](CFacebookApi& a, QString& u) {
            return a.formatUsersGetInfo(u, QStringLiteral("200,201"));
        }) << QStringLiteral("users.getInfo");
        QTest::newRow("photos.get") << Formatter([](CFacebookApi& a, QString& u) {
            return a.formatPhotosGet(u, QStringLiteral("1001,1002"));
        }) << QStringLiteral("photos.get");
        QTest::newRow("stream.get") << Formatter([](CFacebookApi& a, QString& u) {
            return a.formatStreamGet(u);
        }) << QStringLiteral("stream.get");
        QTest::newRow("stream.addLike") << Formatter([](CFacebookApi& a, QString& u) {
            return a.formatAddLike(u, QStringLiteral("200_1001"));
        }) << QStringLiteral("stream.addLike");
        QTest::newRow("stream.removeLike") << Formatter([](CFacebookApi& a, QString& u) {
            return a.formatRemoveLike(u, QStringLiteral("200_1001"));
        }) << QStringLiteral("stream.removeLike");
        QTest::newRow("stream.getComments") << Formatter([](CFacebookApi& a, QString& u) {
            return a.formatGetComments(u, QStringLiteral("200_1001"));
        }) << QStringLiteral("stream.getComments");
        QTest::newRow("notifications.get")
            << Formatter([](CFacebookApi& a, QString& u) { return a.formatNotificationsGet(u); })
            << QStringLiteral("notifications.get");
        QTest::newRow("message threads")
            << Formatter([](CFacebookApi& a, QString& u) { return a.formatMessageThreads(u); }) << QString();
        QTest::newRow("stream.publish, any text")
            << Formatter([odd](CFacebookApi& a, QString& u) { return a.formatStreamPublish(u, odd); })
            << QStringLiteral("stream.publish");
        QTest::newRow("stream.addComment, any text") << Formatter([odd](CFacebookApi& a, QString& u) {
            return a.formatAddComment(u, QStringLiteral("200_1001"), odd);
        }) << QStringLiteral("stream.addComment");
        QTest::newRow("event photos query") << Formatter([](CFacebookApi& a, QString& u) {
            return a.formatEventPhotosQuery(u, QStringLiteral("aid1"), QStringLiteral("pid1"),
                                            QStringLiteral("1259236800"));
        }) << QString();
    }
    void everyCallIsAccepted()
    {
        QFETCH(Formatter, format);
        QFETCH(QString, method);
        QString url;
        QVERIFY(format(m_api, url));
        Collector collector;
        send(url, collector);

        // The service saw a correctly signed request, and its answer passes our check.
        const QList<FakeFacebookRest::Request> log = m_rest->requests();
        QCOMPARE(log.size(), 1);
        QCOMPARE(log.first().errorCode, 0);
        if (!method.isEmpty())
            QCOMPARE(log.first().method, method);
        QCOMPARE(collector.header.statusCode, 200);
        int error = -1;
        QVERIFY(m_api.checkResponse(collector.header, collector.body, error));
        QCOMPARE(error, 0);
    }

    void freeTextArrivesIntact()
    {
        const QString text = QStringLiteral("Tom & Jerry = 1+1 #tag é ✓ 50% ?x=y");
        QString url;
        QVERIFY(m_api.formatStreamPublish(url, encoded(text)));
        Collector collector;
        send(url, collector);
        QCOMPARE(m_rest->requests().size(), 1);
        QCOMPARE(m_rest->requests().first().errorCode, 0);
        QCOMPARE(m_rest->requests().first().param(QStringLiteral("message")), text);
        QString postId;
        int error = -1;
        QVERIFY(m_api.parseStreamPublish(collector.header, collector.body, postId, error));
        QVERIFY(!postId.isEmpty());
    }

    void serviceErrorsComeBackAsCodes()
    {
        m_rest->scriptError(QStringLiteral("stream.get"), 102);
        QString url;
        QVERIFY(m_api.formatStreamGet(url));
        Collector collector;
        send(url, collector);
        int error = 0;
        QVERIFY(!m_api.checkResponse(collector.header, collector.body, error));
        QCOMPARE(error, 102);
    }

    void droppedConnectionIsATransportFailure()
    {
        m_rest->scriptDrop(QStringLiteral("stream.get"));
        QString url;
        QVERIFY(m_api.formatStreamGet(url));
        Collector collector;
        QVERIFY(CMeskHttpTaskPool::get(url, &collector) > 0);
        QTRY_VERIFY_WITH_TIMEOUT(collector.done || collector.error != HttpNoError, 30000);
        QVERIFY(!collector.done);
        QVERIFY(collector.error != HttpNoError);
    }
};

QTEST_GUILESS_MAIN(TestFacebookRoundTrip)
#include "tst_facebookroundtrip.moc"
