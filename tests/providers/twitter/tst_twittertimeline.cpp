// The timeline calls against the stand-in Twitter service through the HTTP task pool.
#include "faketwitter.h"
#include "localhttpserver.h"
#include "meskhttptaskpool.h"
#include "twitterapi.h"
#include "twittercalls.h"

#include <QSignalSpy>
#include <QTest>
#include <QThread>

#include <atomic>
#include <memory>

namespace {

// Records the thread its answers are parsed on.
class ProbedFriends : public CTwitterFriendsTimeline
{
public:
    using CTwitterFriendsTimeline::CTwitterFriendsTimeline;
    ~ProbedFriends() override { cancel(); }
    std::atomic<QThread*> parseThread{nullptr};

protected:
    bool parseResponse(const SMeskHttpResponseHeader& header, const QByteArray& body) override
    {
        parseThread = QThread::currentThread();
        return CTwitterFriendsTimeline::parseResponse(header, body);
    }
};

QStringList ids(const STwitterTimeLine& timeline)
{
    QStringList result;
    for (const STwitterStatusEvent& event : timeline)
        result.append(event.status.id);
    return result;
}

} // namespace

class TestTwitterTimeline : public QObject
{
    Q_OBJECT
private:
    std::unique_ptr<LocalHttpServer> m_server;
    std::unique_ptr<FakeTwitterService> m_service;
    std::unique_ptr<CTwitterApi> m_api;

private slots:
    void initTestCase()
    {
        registerMeskMetaTypes();
        CMeskHttpTaskPool::init(this);
        m_server = std::make_unique<LocalHttpServer>();
        QVERIFY(m_server->isListening());
        m_service = std::make_unique<FakeTwitterService>();
        m_server->setFallback(m_service->handler());
        const QDateTime t0(QDate(2009, 3, 1), QTime(10, 0), Qt::UTC);
        const FakeTwitterService::Author bob{"7", "bob", "Bob", "http://bob", "http://img/bob.png", true};
        m_service->addStatus({"100", "older", t0, bob});
        m_service->addStatus({"101", "newer @alice", t0.addSecs(5), bob});
    }
    void cleanupTestCase()
    {
        CMeskHttpTaskPool::shutdown();
        m_server.reset();
    }
    void init()
    {
        if (!CMeskHttpTaskPool::isPoolRunning())
            CMeskHttpTaskPool::init(this);
        m_api = std::make_unique<CTwitterApi>();
        QVERIFY(m_api->setServiceUrl(m_server->baseUrl()));
        m_api->setConsumer(QString::fromLatin1(FakeTwitterService::DefaultConsumerKey),
                           QString::fromLatin1(FakeTwitterService::DefaultConsumerSecret));
        m_api->setToken(QStringLiteral("AT"), QStringLiteral("AS"));
        m_service->clearRequests();
        m_service->clearScripts();
    }

    void fetches_data()
    {
        QTest::addColumn<QString>("sinceId");
        QTest::addColumn<QStringList>("expected");
        QTest::addColumn<QByteArray>("sent");
        QTest::newRow("newest page") << QString() << QStringList{"101", "100"} << QByteArray();
        QTest::newRow("since 100") << QStringLiteral("100") << QStringList{"101"}
                                   << QByteArray("since_id=100&");
        QTest::newRow("reserved characters")
            << QStringLiteral("1 2&3") << QStringList{"101", "100"} << QByteArray("since_id=1%202%263&");
    }
    void fetches()
    {
        QFETCH(QString, sinceId);
        QFETCH(QStringList, expected);
        QFETCH(QByteArray, sent);
        ProbedFriends friends(m_api.get());
        QThread* signalThread = nullptr;
        QStringList received;
        // The slot starts the next request on the same object before it reads its argument.
        connect(&friends, &CTwitterTimeline::timeLineEvents, this, [&](const STwitterTimeLine& events) {
            signalThread = QThread::currentThread();
            if (received.isEmpty())
                QVERIFY(friends.request(sinceId));
            received.append(ids(events).join(','));
        });
        QVERIFY(friends.request(sinceId));
        QTRY_COMPARE_WITH_TIMEOUT(received.size(), 2, 30000);
        QCOMPARE(received, QStringList(2, expected.join(',')));
        QCOMPARE(signalThread, QThread::currentThread());
        QVERIFY(friends.parseThread.load() != nullptr);
        QVERIFY(friends.parseThread.load() != QThread::currentThread());

        const FakeTwitterService::Record record = m_service->requests().value(0);
        QCOMPARE(record.refusal, QByteArray());
        QCOMPARE(record.request.path(), QByteArray("/statuses/friends_timeline.xml"));
        if (sent.isEmpty())
            QVERIFY(!record.request.query().contains("since_id"));
        else
            QVERIFY(record.request.query().contains(sent));

        // The mentions hold the status naming the account.
        CTwitterMentions mentions(m_api.get());
        QSignalSpy events(&mentions, &CTwitterTimeline::timeLineEvents);
        QVERIFY(mentions.request(QString()));
        QVERIFY(events.wait(30000));
        QCOMPARE(ids(events.at(0).at(0).value<STwitterTimeLine>()), QStringList{"101"});
    }

    void errorCodes_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<int>("code");
        QTest::newRow("304 empty") << 304 << 4;
        QTest::newRow("400") << 400 << 5;
        QTest::newRow("401") << 401 << 6;
        QTest::newRow("403") << 403 << 5;
        QTest::newRow("404") << 404 << 4;
        QTest::newRow("500") << 500 << 4;
        QTest::newRow("502") << 502 << 3;
        QTest::newRow("503") << 503 << 3;
        QTest::newRow("200 empty") << 200 << 4;
    }
    void errorCodes()
    {
        QFETCH(int, status);
        QFETCH(int, code);
        m_service->script("/statuses/friends_timeline.xml", status);
        CTwitterFriendsTimeline friends(m_api.get());
        QStringList log;
        connect(&friends, qOverload<TMediaError>(&CMeskHttpMethod::protocolError), this,
                [&](TMediaError error) { log.append(QString::number(error)); });
        connect(&friends, qOverload<>(&CMeskHttpMethod::protocolError), this,
                [&] { log.append("protocolError"); });
        connect(&friends, &CTwitterTimeline::timeLineEvents, this, [&] { log.append("events"); });
        QVERIFY(friends.request(QString()));
        QTRY_COMPARE_WITH_TIMEOUT(log.size(), 2, 30000);
        QCOMPARE(log, (QStringList{QString::number(code), "protocolError"}));
        QVERIFY(friends.isReady());
    }

    // Two calls failing differently at the same time each report their own code.
    void ownErrorCodes()
    {
        m_service->script("/statuses/friends_timeline.xml", 401);
        m_service->script("/statuses/mentions.xml", 503);
        CTwitterFriendsTimeline friends(m_api.get());
        CTwitterMentions mentions(m_api.get());
        QList<int> friendsCodes;
        QList<int> mentionsCodes;
        connect(&friends, qOverload<TMediaError>(&CMeskHttpMethod::protocolError), this,
                [&](TMediaError error) { friendsCodes.append(error); });
        connect(&mentions, qOverload<TMediaError>(&CMeskHttpMethod::protocolError), this,
                [&](TMediaError error) { mentionsCodes.append(error); });
        const int rounds = 200;
        for (int round = 1; round <= rounds; ++round) {
            QVERIFY(friends.request(QString()));
            QVERIFY(mentions.request(QString()));
            QVERIFY(QTest::qWaitFor(
                [&] { return friendsCodes.size() == round && mentionsCodes.size() == round; }, 30000));
        }
        QCOMPARE(friendsCodes, QList<int>(rounds, MediaErrorAuthorization));
        QCOMPARE(mentionsCodes, QList<int>(rounds, MediaErrorServiceUnavailable));
    }

    // A request that cannot start returns false and reports both errors afterwards, once.
    void notStarted_data()
    {
        QTest::addColumn<QString>("what");
        QTest::newRow("pool shut down") << "pool down";
        QTest::newRow("no consumer") << "no consumer";
        QTest::newRow("busy") << "busy";
    }
    void notStarted()
    {
        QFETCH(QString, what);
        if (what == QLatin1String("no consumer"))
            m_api->setConsumer(QString(), QString());
        CTwitterMentions mentions(m_api.get());
        QStringList log;
        connect(&mentions, qOverload<TMediaError>(&CMeskHttpMethod::protocolError), this,
                [&](TMediaError error) { log.append(QString::number(error)); });
        connect(&mentions, qOverload<>(&CMeskHttpMethod::protocolError), this,
                [&] { log.append("protocolError"); });
        connect(&mentions, &CTwitterTimeline::timeLineEvents, this, [&] { log.append("events"); });
        if (what == QLatin1String("pool down"))
            CMeskHttpTaskPool::shutdown();
        if (what == QLatin1String("busy"))
            QVERIFY(mentions.request(QString()));
        QVERIFY(!mentions.request(QString()));
        QVERIFY(log.isEmpty());
        const QStringList expected = {"1", "protocolError"};
        QTRY_COMPARE_WITH_TIMEOUT(log.mid(0, 2), expected, 30000);
        // The busy object's own request still ends as usual.
        const QStringList all = what == QLatin1String("busy") ? expected + QStringList{"events"} : expected;
        QTRY_COMPARE_WITH_TIMEOUT(log, all, 30000);
        QTest::qWait(100);
        QCOMPARE(log, all);
        if (what == QLatin1String("pool down"))
            CMeskHttpTaskPool::init(this);

        // The refusal is dropped when the call is deleted before it arrives.
        log.clear();
        if (what != QLatin1String("busy")) {
            if (what == QLatin1String("pool down"))
                CMeskHttpTaskPool::shutdown();
            auto* doomed = new CTwitterFriendsTimeline(m_api.get());
            connect(doomed, qOverload<>(&CMeskHttpMethod::protocolError), this, [&] { log.append("late"); });
            QVERIFY(!doomed->request(QString()));
            delete doomed;
            // A queued call made after the refusal was queued runs after it would have.
            bool flushed = false;
            QMetaObject::invokeMethod(
                this, [&flushed] { flushed = true; }, Qt::QueuedConnection);
            QTRY_VERIFY_WITH_TIMEOUT(flushed, 30000);
            QVERIFY(log.isEmpty());
            if (what == QLatin1String("pool down"))
                CMeskHttpTaskPool::init(this);
        }
    }

    // The public timeline is an unsigned GET.
    void publicTimelineUnsigned()
    {
        CTwitterPublicTimeline timeline(m_api.get());
        QSignalSpy failed(&timeline, qOverload<>(&CMeskHttpMethod::protocolError));
        QVERIFY(timeline.request());
        QVERIFY(failed.wait(30000));
        QCOMPARE(m_service->requests().value(0).request.target, QByteArray("/statuses/public_timeline.xml"));
    }
};

QTEST_GUILESS_MAIN(TestTwitterTimeline)
#include "tst_twittertimeline.moc"
