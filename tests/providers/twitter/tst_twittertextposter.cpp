// Posting statuses, whole or in pieces, to the stand-in Twitter service.
#include "faketwitter.h"
#include "localhttpserver.h"
#include "mediadatabase.h"
#include "meskhttptaskpool.h"
#include "tempstorage.h"
#include "twitterapi.h"
#include "twittercalls.h"
#include "twitterposter.h"

#include <QSignalSpy>
#include <QTest>

#include <memory>

namespace {

QString repeated(const QString& piece, int count)
{
    return piece.repeated(count);
}

const QString Smiley = QString::fromUcs4(U"\U0001F600");

} // namespace

class TestTwitterTextPoster : public QObject
{
    Q_OBJECT
private:
    std::unique_ptr<TempStorageRoot> m_root;
    std::unique_ptr<CMediaDataBase> m_storage;
    std::unique_ptr<LocalHttpServer> m_server;
    std::unique_ptr<FakeTwitterService> m_service;
    std::unique_ptr<CTwitterApi> m_api;
    QStringList m_log;
    int m_overtaken = 0; // POSTs that arrived before the piece before them was confirmed

    void watch(CTwitterTextPoster* poster)
    {
        connect(poster, &IMediaServiceUpdate::updateDone, this, [this] { m_log.append("updateDone"); });
        connect(poster, &IMediaServiceUpdate::updateFailed, this, [this] { m_log.append("updateFailed"); });
        connect(poster, &CTwitterTextPoster::statusUpdated, this,
                [this, poster](const STwitterStatusEvent& event) {
                    const int confirmed = int(m_log.filter("statusUpdated").size()) + 1;
                    if (updates().size() > confirmed + 1)
                        ++m_overtaken;
                    m_log.append(QStringLiteral("statusUpdated %1 %2")
                                     .arg(event.user.screen_name, poster->isBusy() ? "busy" : "idle"));
                });
    }
    // The raw status values of the updates the stand-in received, in order.
    QStringList updates() const
    {
        QStringList result;
        for (const FakeTwitterService::Record& record : m_service->requests()) {
            if (record.request.path() != "/statuses/update.xml")
                continue;
            for (const QByteArray& pair : record.request.query().split('&')) {
                if (pair.startsWith("status="))
                    result.append(QString::fromLatin1(pair.mid(7)));
            }
        }
        return result;
    }
    bool settle(int count)
    {
        if (!QTest::qWaitFor([&] { return m_log.size() >= count; }, 30000))
            return false;
        QTest::qWait(100);
        return true;
    }

private slots:
    void initTestCase()
    {
        registerMeskMetaTypes();
        m_root = std::make_unique<TempStorageRoot>();
        m_storage = std::make_unique<CMediaDataBase>(m_root->subPath(QStringLiteral("store")));
        QVERIFY(m_storage->open());
        CMeskHttpTaskPool::init(this);
        m_server = std::make_unique<LocalHttpServer>();
        QVERIFY(m_server->isListening());
        m_service = std::make_unique<FakeTwitterService>();
        m_server->setFallback(m_service->handler());
    }
    void cleanupTestCase()
    {
        CMeskHttpTaskPool::shutdown();
        m_server.reset();
        m_storage.reset();
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
        m_service->clearStatuses();
        m_log.clear();
        m_overtaken = 0;
    }

    void postsInPieces_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("pieces");
        const QString words = QStringList(47, QStringLiteral("ab")).join(QLatin1Char(' '));
        QTest::newRow("47 words") << words
                                  << QStringList{QStringList(27, "ab").join("%20") + "...",
                                                 repeated("%20ab", 20)};
        QTest::newRow("300 letters") << repeated("x", 300)
                                     << QStringList{repeated("x", 136) + "...", repeated("x", 136) + "...",
                                                    repeated("x", 28)};
        QTest::newRow("140 letters") << repeated("x", 140) << QStringList{repeated("x", 140)};
        QTest::newRow("reserved and non-ASCII")
            << QStringLiteral("Hi there & \u00fc") << QStringList{"Hi%20there%20%26%20%C3%BC"};
        QTest::newRow("pair at the limit")
            << repeated("x", 127) + Smiley + repeated("x", 20)
            << QStringList{repeated("x", 127) + "...", "%F0%9F%98%80" + repeated("x", 20)};
        QTest::newRow("pair past the limit")
            << repeated("x", 131) + Smiley + repeated("x", 20)
            << QStringList{repeated("x", 131) + "...", "%F0%9F%98%80" + repeated("x", 20)};
    }
    void postsInPieces()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, pieces);
        CTwitterTextPoster poster(m_api.get());
        watch(&poster);
        QCOMPARE(poster.serviceType(), 0);
        QCOMPARE(poster.maxTextLength(), 140);
        QVERIFY(!poster.canPost());
        poster.setStorage(m_storage.get());
        QVERIFY(poster.canPost());

        QVERIFY(poster.postText(text));
        QVERIFY(poster.isBusy());
        QVERIFY(!poster.canPost());
        QVERIFY(settle(pieces.size() + 1));

        QCOMPARE(updates(), pieces);
        for (const QString& piece : updates()) {
            QVERIFY2(piece.size() <= 140, qPrintable(piece));
            QVERIFY(!piece.contains(QStringLiteral("%3F")));
        }
        // One confirmation per piece, each after the next piece was started or after updateDone().
        QStringList expected(pieces.size() - 1, QStringLiteral("statusUpdated alice busy"));
        expected << QStringLiteral("updateDone") << QStringLiteral("statusUpdated alice idle");
        QCOMPARE(m_log, expected);
        QCOMPARE(m_overtaken, 0);
        QVERIFY(poster.canPost());
        // The stand-in stored the pieces in order; without the suffixes they give the text.
        QString joined;
        for (const FakeTwitterService::Status& status : m_service->statuses())
            joined += status.text.endsWith("...") ? status.text.chopped(3) : status.text;
        QCOMPARE(joined, text);
        for (const FakeTwitterService::Record& record : m_service->requests()) {
            QCOMPARE(record.refusal, QByteArray());
            QVERIFY(!record.request.query().contains("in_reply_to_status_id"));
        }
    }

    void failures_data()
    {
        QTest::addColumn<QString>("what");
        QTest::addColumn<QStringList>("log");
        QTest::addColumn<int>("posts");
        QTest::newRow("piece 2 of 3 answered 500")
            << "500" << QStringList{"statusUpdated alice busy", "updateFailed"} << 2;
        QTest::newRow("closed port") << "closed port" << QStringList{"updateFailed"} << 0;
        QTest::newRow("pool shut down") << "pool down" << QStringList{"updateFailed"} << 0;
        QTest::newRow("no consumer") << "no consumer" << QStringList{"updateFailed"} << 0;
    }
    void failures()
    {
        QFETCH(QString, what);
        QFETCH(QStringList, log);
        QFETCH(int, posts);
        if (what == QLatin1String("500"))
            m_service->script("/statuses/update.xml", 500, "<error>down</error>", 1, 1);
        if (what == QLatin1String("closed port")) {
            auto closed = std::make_unique<LocalHttpServer>();
            QVERIFY(m_api->setServiceUrl(closed->baseUrl()));
        }
        if (what == QLatin1String("no consumer"))
            m_api->setConsumer(QString(), QString());
        CTwitterTextPoster poster(m_api.get());
        poster.setStorage(m_storage.get());
        watch(&poster);
        if (what == QLatin1String("pool down"))
            CMeskHttpTaskPool::shutdown();

        QVERIFY(poster.postText(repeated("x", 300)));
        // Every outcome arrives after postText() has returned.
        QVERIFY(m_log.isEmpty());
        QVERIFY(settle(log.size()));
        QCOMPARE(m_log, log);
        QCOMPARE(updates().size(), posts);
        QVERIFY(!poster.isBusy());
        QVERIFY(poster.canPost());
        if (what == QLatin1String("pool down"))
            CMeskHttpTaskPool::init(this);
    }

    // Refused at once, with no signal: not ready, or a posting in progress.
    void refuses()
    {
        CTwitterTextPoster poster(m_api.get());
        watch(&poster);
        QTest::ignoreMessage(QtDebugMsg, "CTwitterTextPoster: not ready to post text");
        QVERIFY(!poster.postText(QStringLiteral("hello")));
        // An empty text is done before postText() returns, ready or not.
        QVERIFY(poster.postText(QString()));
        QCOMPARE(m_log, QStringList{"updateDone"});
        m_log.clear();

        poster.setStorage(m_storage.get());
        QVERIFY(poster.postText(QStringLiteral("hello")));
        QTest::ignoreMessage(QtDebugMsg, "CTwitterTextPoster: not ready to post text");
        QVERIFY(!poster.postText(QStringLiteral("again")));
        QVERIFY(settle(2));
        QCOMPARE(m_log, (QStringList{"updateDone", "statusUpdated alice idle"}));
        QCOMPARE(updates(), QStringList{"hello"});
    }

    // The reply-to id is encoded by the call; the signature still holds.
    void replyToIdEncoded()
    {
        CTwitterUpdate update(m_api.get());
        QSignalSpy posted(&update, &CTwitterUpdate::updatePosted);
        QVERIFY(update.request(QStringLiteral("x"), QStringLiteral("1 2&3")));
        QVERIFY(posted.wait(30000));
        const FakeTwitterService::Record record = m_service->requests().value(0);
        QCOMPARE(record.refusal, QByteArray());
        QCOMPARE(record.status, 200);
        QVERIFY(record.request.query().contains("in_reply_to_status_id=1%202%263&"));
        QCOMPARE(posted.at(0).at(0).value<STwitterStatusEvent>().status.text, QStringLiteral("x"));
    }
};

QTEST_GUILESS_MAIN(TestTwitterTextPoster)
#include "tst_twittertextposter.moc"
