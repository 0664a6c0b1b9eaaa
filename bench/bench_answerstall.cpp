// The largest stall of the GUI thread (the largest gap between two ticks of a 2 ms timer):
//
// (a) twitter   the Twitter provider's update whose friends timeline holds 20,000 statuses
// (b) facebook  a Facebook update whose stream holds 20,000 posts
// (c) flickr    a Flickr update whose one contact search lists 20,000 photos
// (d) widget    a Twitter status widget with a 100 KB text made, laid out and painted: one long
//               word, one long address, short words
//
// Each from the start to the end of the work, through the stand-in services on 127.0.0.1 where a
// service is involved. Prints the build type and the median of 5 runs of each; the aim is below
// 100 ms, but none of the figures is a limit.
#include "benchsupport.h"
#include "facebookanswers.h"
#include "facebookapi.h"
#include "facebookeventmanager.h"
#include "facebookobjects.h"
#include "facebooksync.h"
#include "fakefacebookrest.h"
#include "fakeflickr.h"
#include "faketwitter.h"
#include "flickrapi.h"
#include "flickreventmanager.h"
#include "flickrobjects.h"
#include "flickrsync.h"
#include "localhttpserver.h"
#include "mediadatabase.h"
#include "meskhttptaskpool.h"
#include "tempstorage.h"
#include "twitterapi.h"
#include "twitteritems.h"
#include "twitterprovider.h"
#include "ui/twitterstatuswidget.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>

namespace {

using BenchSupport::buildType;
using BenchSupport::median;
using BenchSupport::StallMeter;

constexpr int kRuns = 5;
constexpr int kEntries = 20000;

void printRow(const char* name, const QList<double>& stalls)
{
    std::printf("%-28s largest stall, median of %d: %8.1f ms  (runs:", name, kRuns, median(stalls));
    for (double stall : stalls)
        std::printf(" %.1f", stall);
    std::printf(")\n");
    std::fflush(stdout);
}

} // namespace

class BenchAnswerStall : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        std::printf("build: %s\n", buildType());
        registerMeskMetaTypes();
        registerFacebookMetaTypes();
        registerFlickrMetaTypes();
        CMeskHttpTaskPool::init(this);
    }
    void cleanupTestCase() { CMeskHttpTaskPool::shutdown(); }

    void twitter()
    {
        FakeTwitterService service;
        LocalHttpServer server;
        QVERIFY(server.isListening());
        server.setFallback(service.handler());
        qputenv("LUMESK_TWITTER_URL", server.baseUrl().toUtf8());
        QByteArray body = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<statuses type=\"array\">";
        for (int i = 1; i <= kEntries; ++i) {
            FakeTwitterService::Status status;
            status.id = QByteArray::number(100000 + i);
            // As short as can be: the answer stays below 8 MiB.
            status.text = QStringLiteral("s");
            status.created = QDateTime(QDate(2020, 1, 1), QTime(0, 0), Qt::UTC).addSecs(i);
            status.author.id = QByteArray::number(2000 + i % 500);
            status.author.screenName = QStringLiteral("u");
            status.author.name = status.author.screenName;
            body += FakeTwitterService::statusXml(status);
        }
        body += "</statuses>";
        std::printf("twitter answer: %lld bytes\n", qint64(body.size()));
        QList<double> stalls;
        for (int run = 0; run < kRuns; ++run) {
            service.script("/statuses/friends_timeline.xml", 200, body, 1);
            TempStorageRoot root;
            CMediaDataBase db(root.subPath(QStringLiteral("storage")));
            QVERIFY(db.open());
            const QStringList keys{QStringLiteral("key"), QStringLiteral("secret"), QStringLiteral("user_id"),
                                   QStringLiteral("user_name")};
            const QStringList values{QStringLiteral("AT"), QStringLiteral("AS"), QStringLiteral("123"),
                                     QStringLiteral("alice")};
            for (int i = 0; i < keys.size(); ++i)
                db.setServiceKey(MeskProvider::Twitter, keys.at(i), values.at(i));
            auto provider = std::make_unique<CTwitterProvider>();
            provider->setStorage(&db);
            QSignalSpy done(provider.get(), &IMediaItemProvider::updateDone);
            StallMeter meter(2);
            provider->update();
            QVERIFY(done.wait(600000));
            stalls << meter.largestMs();
            QCOMPARE(db.providerItems(MeskProvider::Twitter).size(), 1000);
            provider.reset();
        }
        qunsetenv("LUMESK_TWITTER_URL");
        printRow("(a) twitter, 20,000 statuses", stalls);
    }

    void facebook()
    {
        FakeFacebookRest rest;
        LocalHttpServer server;
        QVERIFY(server.isListening());
        server.mount("/", rest.handler());
        CFacebookApi api;
        api.setRestBaseUrl(server.baseUrl());
        api.setApiKey(FakeFacebookRest::defaultApiKey());
        api.setSession(FakeFacebookRest::defaultSessionKey(), FakeFacebookRest::defaultSessionSecret(),
                       FakeFacebookRest::defaultUid());
        QList<SFacebookStreamPost> posts;
        for (int i = 1; i <= kEntries; ++i) {
            posts << FacebookAnswers::post(
                QStringLiteral("%1_%2").arg(1000 + i % 500).arg(i), QString::number(1000 + i % 500),
                QStringLiteral("Post number %1").arg(i), QString::number(1262304000 - i));
        }
        const QByteArray body =
            FacebookAnswers::stream(posts, FacebookAnswers::generateProfiles(500, 1000, server.baseUrl()));
        QList<double> stalls;
        for (int run = 0; run < kRuns; ++run) {
            rest.clearScripts();
            rest.scriptReply(QStringLiteral("stream.get"), 200, body);
            rest.scriptReply(QStringLiteral("notifications.get"), 200, FacebookAnswers::notifications({}));
            rest.scriptReply(QStringLiteral("message.getThreadsInFolder"), 200, FacebookAnswers::threads({}));
            TempStorageRoot root;
            CMediaDataBase db(root.subPath(QStringLiteral("storage")));
            QVERIFY(db.open());
            CFacebookObjectManager objects(&api, MeskProvider::Facebook);
            objects.setStorage(&db);
            CFacebookSync sync(MeskProvider::Facebook);
            sync.load(&db);
            CFacebookEventManager events(&api, &objects, &sync);
            QSignalSpy done(&events, &CFacebookEventManager::updateDone);
            StallMeter meter(2);
            events.update();
            QVERIFY(done.wait(600000));
            stalls << meter.largestMs();
            QCOMPARE(db.eventItems(MeskProvider::Facebook).size(), 1000);
            objects.clear();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        }
        printRow("(b) facebook, 20,000 posts", stalls);
    }

    void flickr()
    {
        FakeFlickrService service;
        LocalHttpServer server;
        QVERIFY(server.isListening());
        server.setFallback(service.handler());
        qputenv("LUMESK_FLICKR_URL", server.baseUrl().toUtf8());
        const QString alice = QStringLiteral("111@N01");
        service.clearStore();
        service.addUser({FakeFlickrService::defaultUserId(),
                         QStringLiteral("bob"),
                         {},
                         QStringLiteral("0"),
                         QStringLiteral("0"),
                         false});
        service.addUser({alice, QStringLiteral("alice"), {}, QStringLiteral("0"), QStringLiteral("0"), true});
        const qint64 now = QDateTime::currentSecsSinceEpoch();
        FakeFlickrService::Photo listed;
        listed.id = QStringLiteral("1");
        listed.owner = alice;
        listed.secret = QStringLiteral("ab");
        listed.server = QStringLiteral("1234");
        listed.farm = QStringLiteral("2");
        listed.title = QStringLiteral("Photo");
        listed.dateUpload = now - 60;
        service.addPhoto(listed);
        QByteArray rows;
        for (int i = 1; i <= kEntries; ++i) {
            rows += QStringLiteral("<photo id=\"%1\" owner=\"%2\" secret=\"ab\" server=\"1234\" farm=\"2\" "
                                   "title=\"Photo %1\" ispublic=\"1\" isfriend=\"0\" isfamily=\"0\" "
                                   "ownername=\"alice\" dateupload=\"%3\" />")
                        .arg(i)
                        .arg(alice)
                        .arg(now - 60 * i)
                        .toUtf8();
        }
        const QByteArray body =
            "<rsp stat=\"ok\"><photos page=\"1\" pages=\"1\" total=\"20000\">" + rows + "</photos></rsp>";
        QList<double> stalls;
        for (int run = 0; run < kRuns; ++run) {
            service.scriptReply(QStringLiteral("flickr.photos.search"), 200, body, 1);
            CFlickrApi api;
            api.setConsumer(FakeFlickrService::defaultApiKey(), FakeFlickrService::defaultSecret());
            api.setToken(FakeFlickrService::defaultToken());
            TempStorageRoot root;
            CMediaDataBase db(root.subPath(QStringLiteral("storage")));
            QVERIFY(db.open());
            CFlickrObjectManager objects(&api, MeskProvider::Flickr);
            objects.setStorage(&db);
            CFlickrSync sync(MeskProvider::Flickr);
            sync.load(&db);
            CFlickrEventManager events(&api, &objects, &sync);
            QSignalSpy done(&events, &CFlickrEventManager::updateDone);
            StallMeter meter(2);
            events.update();
            QVERIFY(done.wait(600000));
            stalls << meter.largestMs();
            QCOMPARE(db.itemsByType(MeskItemType::Image, MeskProvider::Flickr).size(), 1000);
        }
        qunsetenv("LUMESK_FLICKR_URL");
        printRow("(c) flickr, 20,000 photos", stalls);
    }

    void widget_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("one long word") << QString(100000, QLatin1Char('x'));
        QTest::newRow("one long address") << QStringLiteral("www.") + QString(99996, QLatin1Char('w'));
        QString words;
        while (words.size() < 100000)
            words += QStringLiteral("short words ");
        QTest::newRow("short words") << words;
    }
    void widget()
    {
        QFETCH(QString, text);
        TempStorageRoot root;
        CMediaDataBase db(root.subPath(QStringLiteral("storage")));
        QVERIFY(db.open());
        CTwitterApi api;
        CTwitterUser user(&api, &db);
        STwitterUserData u;
        u.id = QStringLiteral("2001");
        u.screen_name = QStringLiteral("bob");
        QVERIFY(user.create(u, MeskProvider::Twitter));
        CTwitterStatus status(&api, &db);
        STwitterStatusData s;
        s.id = QStringLiteral("123");
        s.text = text;
        s.created_at = QStringLiteral("Wed Aug 27 13:08:45 +0000 2008");
        QVERIFY(status.create(s, MeskProvider::Twitter, user.serviceUser().id, 1));
        QList<double> stalls;
        for (int run = 0; run < kRuns; ++run) {
            std::unique_ptr<CTwitterStatusWidget> shown;
            StallMeter meter(2);
            QTimer::singleShot(20, this, [&] {
                shown = std::make_unique<CTwitterStatusWidget>(&user, &status);
                shown->resize(368, shown->heightForWidth(368));
                shown->show();
                shown->grab();
            });
            QTRY_VERIFY(shown);
            QTest::qWait(100);
            stalls << meter.largestMs();
        }
        const QByteArray name = QByteArray("(d) widget, ") + QTest::currentDataTag();
        printRow(name.constData(), stalls);
    }
};

QTEST_MAIN(BenchAnswerStall)
#include "bench_answerstall.moc"
