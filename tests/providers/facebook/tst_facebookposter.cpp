// The Facebook status and comment posters against the stand-in REST service on
// 127.0.0.1: every accepted post ends in exactly one outcome, every refused one
// returns false, and the next post is taken after any failure.
#include "facebookapi.h"
#include "facebookposter.h"
#include "fakefacebookrest.h"
#include "fakeprovider.h"
#include "localhttpserver.h"
#include "meskhttptaskpool.h"
#include "meskprovidermanager.h"
#include "meskupdatemanager.h"
#include "testclock.h"

#include <QTest>

#include <memory>

namespace {

const QString kText = QStringLiteral("a & b=c ü");
const QByteArray kEncoded = "a%20%26%20b%3Dc%20%C3%BC";

// A Facebook provider whose text poster is the real one.
class PosterProvider : public FakeProvider
{
public:
    PosterProvider(IMediaTextPoster* poster, QObject* parent)
        : FakeProvider(2, QStringLiteral("Facebook"), parent), m_textPoster(poster)
    {
        setSupportsService(MeskService::TextPoster, true);
        setActivated(true);
    }
    IMediaServiceUpdate* service(int serviceType) override
    {
        return serviceType == MeskService::TextPoster ? m_textPoster : nullptr;
    }

private:
    IMediaTextPoster* m_textPoster;
};

} // namespace

class TestFacebookPoster : public QObject
{
    Q_OBJECT
private:
    std::unique_ptr<LocalHttpServer> m_server;
    std::unique_ptr<FakeFacebookRest> m_rest;
    std::unique_ptr<TestClock> m_clock;
    CFacebookApi m_api;
    QStringList m_log;

    void watch(CFacebookTextPoster* poster)
    {
        connect(poster, &IMediaServiceUpdate::updateDone, this, [this] { m_log.append("updateDone"); });
        connect(poster, &IMediaServiceUpdate::updateFailed, this, [this] { m_log.append("updateFailed"); });
        connect(poster, &CFacebookTextPoster::statusUpdated, this,
                [this](const QString& text, const QString& id) {
                    m_log.append(QStringLiteral("statusUpdated(%1,%2)").arg(text, id.section('_', 0, 0)));
                });
    }
    void watch(CFacebookCommentPoster* poster)
    {
        connect(poster, &IMediaCommentPoster::posted, this, [this] { m_log.append("posted"); });
        connect(poster, &IMediaCommentPoster::failed, this, [this] { m_log.append("failed"); });
        connect(poster, &CFacebookCommentPoster::commentPosted, this,
                [this](const QString& postId, const QString& commentId, const QString& text) {
                    m_log.append(
                        QStringLiteral("commentPosted(%1,%2,%3)")
                            .arg(postId, commentId.startsWith(postId + '_') ? "id" : commentId, text));
                });
    }
    // Waits for `count` signals, then a little longer for strays.
    bool settle(int count)
    {
        if (!QTest::qWaitFor([&] { return m_log.size() >= count; }, 30000))
            return false;
        QTest::qWait(50);
        return true;
    }
    QByteArray lastTarget(const QString& method) const
    {
        for (qsizetype i = m_server->requests().size() - 1; i >= 0; --i) {
            const QByteArray target = m_server->requests().at(i).target;
            if (target.contains("method=" + method.toLatin1()))
                return target;
        }
        return {};
    }

private slots:
    void initTestCase()
    {
        registerMeskMetaTypes();
        registerFacebookMetaTypes();
        CMeskHttpTaskPool::init(this);
        m_server = std::make_unique<LocalHttpServer>();
        QVERIFY(m_server->isListening());
        m_rest = std::make_unique<FakeFacebookRest>();
        m_server->mount("/", m_rest->handler());
        m_clock = std::make_unique<TestClock>(QDateTime::fromSecsSinceEpoch(1234567890, Qt::UTC));
        m_api.setRestBaseUrl(m_server->baseUrl());
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
        m_api.setApiKey(FakeFacebookRest::defaultApiKey());
        m_api.setSession(FakeFacebookRest::defaultSessionKey(), FakeFacebookRest::defaultSessionSecret(),
                         FakeFacebookRest::defaultUid());
        m_rest->clearScripts();
        m_rest->clearRequests();
        m_server->clearRequests();
        m_log.clear();
    }

    void statusArrivesIntact()
    {
        CFacebookTextPoster poster(&m_api);
        watch(&poster);
        QCOMPARE(poster.serviceType(), MeskService::TextPoster);
        QCOMPARE(poster.maxTextLength(), 0);
        // An empty text is done before postText() returns, and sends nothing.
        QVERIFY(poster.postText(QString()));
        QCOMPARE(m_log, QStringList{"updateDone"});
        m_log.clear();

        QVERIFY(poster.postText(kText));
        QVERIFY(poster.isBusy());
        QVERIFY(!poster.canPost());
        QVERIFY(settle(2));
        QCOMPARE(m_log, (QStringList{"statusUpdated(" + kText + ",12345)", "updateDone"}));
        QVERIFY(lastTarget("stream.publish").contains("&message=" + kEncoded + "&"));
        const auto requests = m_rest->requests("stream.publish");
        QCOMPARE(requests.size(), 1);
        QCOMPARE(requests.first().errorCode, 0);
        QCOMPARE(requests.first().param("message"), kText);
        QCOMPARE(requests.first().param("sig"), QStringLiteral("33d901fe6508fd86ad3547fbfc2a0dfd"));
        QVERIFY(poster.canPost());
        QVERIFY(!poster.isBusy());
    }

    // Each failure gives one updateFailed(), and the next post goes out.
    void statusFailures_data()
    {
        QTest::addColumn<QString>("script");
        QTest::newRow("error answer") << "error";
        QTest::newRow("dropped") << "drop";
        QTest::newRow("status 500 with a valid body") << "500";
        QTest::newRow("busy") << "busy";
    }
    void statusFailures()
    {
        QFETCH(QString, script);
        const QString method = QStringLiteral("stream.publish");
        if (script == "error")
            m_rest->scriptError(method, 10);
        else if (script == "drop")
            m_rest->scriptDrop(method);
        else if (script == "500")
            m_rest->scriptReply(method, 500,
                                "<?xml version=\"1.0\" encoding=\"UTF-8\"?><stream_publish_response "
                                "xmlns=\"http://api.facebook.com/1.0/\">12345_1</stream_publish_response>");
        else
            m_rest->scriptDelay(method, 300);
        CFacebookTextPoster poster(&m_api);
        watch(&poster);
        QVERIFY(poster.postText("first"));
        if (script == "busy") {
            QVERIFY(!poster.postText("second"));
            QCOMPARE(m_log, QStringList{"updateFailed"});
            QVERIFY(settle(3));
            QCOMPARE(m_log, (QStringList{"updateFailed", "statusUpdated(first,12345)", "updateDone"}));
        } else {
            QVERIFY(settle(1));
            QCOMPARE(m_log, QStringList{"updateFailed"});
        }
        QVERIFY(poster.canPost());

        m_rest->clearScripts();
        m_log.clear();
        QVERIFY(poster.postText("again"));
        QVERIFY(settle(2));
        QCOMPARE(m_log, (QStringList{"statusUpdated(again,12345)", "updateDone"}));
    }

    void statusWithoutSession()
    {
        m_api.setSession({}, {}, {});
        CMeskProviderManager providers;
        auto* poster = new CFacebookTextPoster(&m_api, &providers);
        watch(poster);
        QTest::ignoreMessage(QtDebugMsg, "CFacebookUpdate: failed to format http request");
        QVERIFY(!poster->postText("x"));
        QCOMPARE(m_log, QStringList{"updateFailed"});
        QVERIFY(poster->canPost());
        m_log.clear();

        // Through the posting manager: the provider is named as failed, and the posting ends.
        auto* provider = new PosterProvider(poster, &providers);
        providers.registerProvider(provider, nullptr);
        CMeskUpdateManager manager(&providers);
        connect(&manager, &IMediaUpdateManager::updateDone, this, [this] { m_log.append("done"); });
        connect(&manager, &IMediaUpdateManager::providerFailed, this,
                [this](const QString& name) { m_log.append("failed " + name); });
        manager.postUpdate("x");
        QTest::qWait(50);
        QCOMPARE(m_log, (QStringList{"updateFailed", "failed Facebook", "done"}));
        QVERIFY(!manager.isPosting());
        QCOMPARE(m_server->requestCount(), 0);
    }

    void commentArrivesIntact()
    {
        CFacebookCommentPoster poster(&m_api, "100_200");
        watch(&poster);
        QVERIFY(poster.canPost());
        QVERIFY(poster.postComment(kText));
        QVERIFY(poster.isBusy());
        QVERIFY(!poster.canPost());
        QVERIFY(!poster.postComment("second"));
        QVERIFY(settle(2));
        QCOMPARE(m_log, (QStringList{"commentPosted(100_200,id," + kText + ")", "posted"}));
        QVERIFY(lastTarget("stream.addComment").contains("comment=" + kEncoded + "&"));
        const auto requests = m_rest->requests("stream.addComment");
        QCOMPARE(requests.size(), 1);
        QCOMPARE(requests.first().errorCode, 0);
        QCOMPARE(requests.first().param("comment"), kText);
        QCOMPARE(requests.first().param("post_id"), QStringLiteral("100_200"));
        QCOMPARE(requests.first().param("sig"), QStringLiteral("d334692085a1dcf7933e2f70ddc79681"));
        QVERIFY(poster.canPost());
        QVERIFY(!poster.isBusy());
    }

    // Each failure gives one failed(); the poster can post again, and the next
    // comment reaches the service.
    void commentFailures_data()
    {
        QTest::addColumn<QString>("script");
        QTest::newRow("error answer") << "error";
        QTest::newRow("status 404") << "404";
        QTest::newRow("dropped") << "drop";
    }
    void commentFailures()
    {
        QFETCH(QString, script);
        const QString method = QStringLiteral("stream.addComment");
        if (script == "error")
            m_rest->scriptError(method, 2);
        else if (script == "404")
            m_rest->scriptReply(
                method, 404,
                "<?xml version=\"1.0\" encoding=\"UTF-8\"?><stream_addComment_response "
                "xmlns=\"http://api.facebook.com/1.0/\">100_200_1</stream_addComment_response>");
        else
            m_rest->scriptDrop(method);
        CFacebookCommentPoster poster(&m_api, "100_200");
        watch(&poster);
        QVERIFY(poster.postComment("first"));
        QVERIFY(settle(1));
        QCOMPARE(m_log, QStringList{"failed"});
        QVERIFY(poster.canPost());
        QVERIFY(!poster.isBusy());

        m_rest->clearScripts();
        m_log.clear();
        const qsizetype before = m_rest->requests(method).size();
        QVERIFY(poster.postComment("next"));
        QVERIFY(settle(2));
        QCOMPARE(m_log, (QStringList{"commentPosted(100_200,id,next)", "posted"}));
        QCOMPARE(m_rest->requests(method).size(), before + 1);
        QCOMPARE(m_rest->requests(method).constLast().param("comment"), QStringLiteral("next"));
    }

    void commentRefusedWithoutSessionOrPool()
    {
        CFacebookCommentPoster poster(&m_api, "100_200");
        watch(&poster);

        m_api.setSession({}, {}, {});
        QVERIFY(!poster.canPost());
        QVERIFY(!poster.postComment("x"));
        QVERIFY(!poster.isBusy());

        // The pool is gone: the request is not started and nothing stays pending.
        m_api.setSession(FakeFacebookRest::defaultSessionKey(), FakeFacebookRest::defaultSessionSecret(),
                         FakeFacebookRest::defaultUid());
        CMeskHttpTaskPool::shutdown();
        QVERIFY(!poster.postComment("x"));
        QVERIFY(!poster.isBusy());
        QVERIFY(poster.canPost());

        // The text poster answers such a refusal with updateFailed().
        CFacebookTextPoster status(&m_api);
        watch(&status);
        QTest::ignoreMessage(QtDebugMsg, "CFacebookUpdate: failed to create http request");
        QVERIFY(!status.postText("x"));
        QCOMPARE(m_log, QStringList{"updateFailed"});
        QVERIFY(status.canPost());

        QTest::qWait(50);
        QCOMPARE(m_log.size(), 1);
        QCOMPARE(m_server->requestCount(), 0);
    }
};

QTEST_GUILESS_MAIN(TestFacebookPoster)
#include "tst_facebookposter.moc"
