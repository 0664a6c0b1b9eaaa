// How long one Facebook update takes from update() to updateDone(), through the stand-in
// service on 127.0.0.1. The stream answer holds 500 posts by 200 users (plain, photo, album of
// two, link, video and calendar event posts, each with 2 comments and a count of 2); the
// notifications and threads answers are empty.
//
// (a) update  the update on a fresh storage: parse, store and emit
// (b) parse   the XML parse of the same body alone (sFacebookParseStreamXml)
// (c) again   the same update a second time, which stores nothing
// (d) full    the update of (a) on a storage already holding 10,000 other posts, stored
//             beforehand through the same path
//
// Prints the build type, the median of 5 runs of each and the ratios (a)/(b), (c)/(b) and
// (d)/(a); none of the figures is a limit.
#include "benchsupport.h"
#include "facebookanswers.h"
#include "facebookapi.h"
#include "facebookeventmanager.h"
#include "facebookobjects.h"
#include "facebookresponses.h"
#include "facebooksync.h"
#include "fakefacebookrest.h"
#include "localhttpserver.h"
#include "mediadatabase.h"
#include "meskhttptaskpool.h"
#include "tempstorage.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <QTest>

#include <algorithm>
#include <cstdio>
#include <memory>

namespace {

using BenchSupport::buildType;
using BenchSupport::median;

constexpr mid_t kProvider = 2;
constexpr int kRuns = 5;

void printRow(const char* format, auto... values)
{
    std::printf(format, values...);
    std::fflush(stdout);
}

} // namespace

class BenchFacebookUpdate : public QObject
{
    Q_OBJECT
private:
    std::unique_ptr<LocalHttpServer> m_server;
    FakeFacebookRest m_rest;
    CFacebookApi m_api;
    QByteArray m_body;               // the 500 posts
    QList<QByteArray> m_otherBodies; // 10,000 other posts, 500 an answer (an answer stays below 8 MiB)

    void serve(const QByteArray& stream)
    {
        m_rest.clearScripts();
        m_rest.scriptReply(QStringLiteral("stream.get"), 200, stream);
        m_rest.scriptReply(QStringLiteral("notifications.get"), 200, FacebookAnswers::notifications({}));
        m_rest.scriptReply(QStringLiteral("message.getThreadsInFolder"), 200, FacebookAnswers::threads({}));
    }

    // One update on the storage under root, in seconds; negative when it did not end.
    double update(const QString& root)
    {
        CMediaDataBase db(root);
        if (!db.open())
            return -1;
        CFacebookObjectManager objects(&m_api, kProvider);
        objects.setStorage(&db);
        CFacebookSync sync(kProvider);
        sync.load(&db);
        CFacebookEventManager events(&m_api, &objects, &sync);
        QSignalSpy done(&events, &CFacebookEventManager::updateDone);
        QElapsedTimer timer;
        timer.start();
        events.update();
        if (!done.wait(600000))
            return -1;
        const double seconds = timer.nsecsElapsed() / 1e9;
        sync.save();
        objects.clear();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return seconds;
    }

private slots:
    void initTestCase()
    {
        registerMeskMetaTypes();
        registerFacebookMetaTypes();
        CMeskHttpTaskPool::init(this);
        m_server = std::make_unique<LocalHttpServer>();
        QVERIFY(m_server->isListening());
        m_server->mount("/", m_rest.handler());
        m_api.setRestBaseUrl(m_server->baseUrl());
        m_api.setApiKey(FakeFacebookRest::defaultApiKey());
        m_api.setSession(FakeFacebookRest::defaultSessionKey(), FakeFacebookRest::defaultSessionSecret(),
                         FakeFacebookRest::defaultUid());
        const QList<SFacebookUser> profiles =
            FacebookAnswers::generateProfiles(200, 1000, m_server->baseUrl());
        m_body = FacebookAnswers::stream(
            FacebookAnswers::generatePosts(500, profiles, 1, m_server->baseUrl()), profiles);
        const QList<SFacebookUser> others = FacebookAnswers::generateProfiles(200, 5000, m_server->baseUrl());
        for (int first = 100000; first < 110000; first += 500) {
            m_otherBodies << FacebookAnswers::stream(
                FacebookAnswers::generatePosts(500, others, first, m_server->baseUrl()), others);
        }
    }
    void cleanupTestCase()
    {
        CMeskHttpTaskPool::shutdown();
        m_server.reset();
    }

    void update()
    {
        // The storage of (d): 10,000 other posts, stored once and copied for each run.
        TempStorageRoot full;
        const QString fullRoot = full.subPath(QStringLiteral("full"));
        for (const QByteArray& body : std::as_const(m_otherBodies)) {
            serve(body);
            QVERIFY(update(fullRoot) > 0);
        }
        {
            CMediaDataBase db(fullRoot);
            QVERIFY(db.open());
            QCOMPARE(db.eventItems(kProvider).size(), 10000);
        }
        const QString fullFile = QDir(fullRoot).filePath(QStringLiteral("mindex.db"));
        QVERIFY(QFile::exists(fullFile));

        serve(m_body);
        QList<double> fresh;
        QList<double> again;
        QList<double> onFull;
        QList<double> parse;
        for (int run = 0; run < kRuns; ++run) {
            TempStorageRoot root;
            const QString path = root.subPath(QStringLiteral("run"));
            const double first = update(path);
            const double second = update(path);
            QVERIFY(first > 0 && second > 0);
            {
                CMediaDataBase db(path);
                QVERIFY(db.open());
                QCOMPARE(db.eventItems(kProvider).size(), 500);
            }
            fresh << first;
            again << second;

            const QString copy = root.subPath(QStringLiteral("copy"));
            QVERIFY(QDir().mkpath(copy));
            QVERIFY(QFile::copy(fullFile, QDir(copy).filePath(QStringLiteral("mindex.db"))));
            const double loaded = update(copy);
            QVERIFY(loaded > 0);
            onFull << loaded;
            {
                CMediaDataBase db(copy);
                QVERIFY(db.open());
                QCOMPARE(db.eventItems(kProvider).size(), 10500);
            }

            QList<SFacebookStreamPost> posts;
            QList<SFacebookUser> users;
            QElapsedTimer timer;
            timer.start();
            QVERIFY(sFacebookParseStreamXml(m_body, posts, users));
            parse << timer.nsecsElapsed() / 1e9;
            QCOMPARE(posts.size(), 500);
        }
        const double a = median(fresh);
        const double b = median(parse);
        const double c = median(again);
        const double d = median(onFull);
        printRow("\nFacebook update (%s build): 500 posts, 200 users, %d runs, medians\n", buildType(),
                 kRuns);
        printRow("%-44s %10s\n", "measure", "ms");
        printRow("%-44s %10.1f\n", "(a) update on a fresh storage", a * 1e3);
        printRow("%-44s %10.1f\n", "(b) parse of the stream answer", b * 1e3);
        printRow("%-44s %10.1f\n", "(c) the same update again", c * 1e3);
        printRow("%-44s %10.1f\n", "(d) update on 10,000 stored posts", d * 1e3);
        printRow("%-44s %10.2f\n", "(a)/(b)", a / b);
        printRow("%-44s %10.2f\n", "(c)/(b)", c / b);
        printRow("%-44s %10.2f\n", "(d)/(a)", d / a);
    }
};

QTEST_GUILESS_MAIN(BenchFacebookUpdate)
#include "bench_facebookupdate.moc"
