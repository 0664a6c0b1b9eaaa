#include "filesizelimit.h"
#include "localhttpserver.h"
#include "meskhttptaskpool.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QMutex>
#include <QMutexLocker>
#include <QPointer>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSet>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <atomic>
#include <climits>
#include <optional>
#include <thread>

namespace {

// Records everything the pool reports for one request.
class Recorder : public IMeskHttpTaskObserver
{
    Q_OBJECT
public:
    ~Recorder() override { CMeskHttpTaskPool::cancelTask(taskId, this); }

    void onTaskResponse(const SMeskHttpResponseHeader& header, const QByteArray& body) override
    {
        QMutexLocker lock(&mutex);
        headers.append(header);
        bodies.append(body);
    }
    void onTaskProgress(int done, int total) override
    {
        QMutexLocker lock(&mutex);
        progress.append({done, total});
    }

    bool ended() const { return done + failures.size() > 0; }
    bool wait(int timeoutMs = 20000) const
    {
        return QTest::qWaitFor([this] { return ended(); }, timeoutMs);
    }
    int responses() const
    {
        QMutexLocker lock(&mutex);
        return int(headers.size());
    }

    int taskId = 0;
    mutable QMutex mutex;
    QList<SMeskHttpResponseHeader> headers;
    QList<QByteArray> bodies;
    QList<QPair<int, int>> progress;
    int done = 0;
    QList<TMeskHttpError> failures;

public slots:
    void onTaskDone() override { ++done; }
    void onTaskFailed(TMeskHttpError error) override { failures.append(error); }
};

// Holds the pool thread inside its answer until released.
class Blocker : public Recorder
{
    Q_OBJECT
public:
    void onTaskResponse(const SMeskHttpResponseHeader& header, const QByteArray& body) override
    {
        entered = true;
        while (!release.load())
            QThread::msleep(1);
        Recorder::onTaskResponse(header, body);
    }
    std::atomic<bool> entered{false};
    std::atomic<bool> release{false};
};

QByteArray randomBytes(int size)
{
    QByteArray data(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i)
        data[i] = char(QRandomGenerator::global()->bounded(256));
    return data;
}

QByteArray firstLine(const QByteArray& raw)
{
    return raw.left(raw.indexOf("\r\n"));
}

quint16 closedPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    const quint16 port = probe.serverPort();
    probe.close();
    return port;
}

bool writeFile(const QString& path, const QByteArray& data)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(data) == data.size();
}

QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

} // namespace

class TestHttpTaskPool : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { CMeskHttpTaskPool::init(nullptr); }
    void cleanupTestCase() { CMeskHttpTaskPool::shutdown(); }
    void cleanup()
    {
        CMeskHttpTaskPool::setTransferTimeout(120000);
        CMeskHttpTaskPool::setDefaultDeadlines(5 * 60 * 1000, 30 * 60 * 1000);
    }

    void taskIds()
    {
        CMeskHttpTaskPool::shutdown();
        CMeskHttpTaskPool::init(nullptr);
        LocalHttpServer server;
        Recorder a, b, c;
        a.taskId = CMeskHttpTaskPool::get(server.url("/a"), &a);
        b.taskId = CMeskHttpTaskPool::get(server.url("/b"), &b);
        QCOMPARE(a.taskId, 1);
        QCOMPARE(b.taskId, 2);
        CMeskHttpTaskPool::setTaskCounterForTest(INT_MAX);
        c.taskId = CMeskHttpTaskPool::get(server.url("/c"), &c);
        QCOMPARE(c.taskId, 1);
        QVERIFY(a.wait(30000));
        QVERIFY(b.wait(30000));
        QVERIFY(c.wait(30000));
        QCOMPARE(c.done, 1);
    }

    void refusedWhenNotRunning()
    {
        LocalHttpServer server;
        const QByteArray message =
            "CMeskHttpTaskPool: task pool is not running, you need to call CMeskHttpTaskPool::init";
        CMeskHttpTaskPool::shutdown();
        QVERIFY(!CMeskHttpTaskPool::isPoolRunning());
        Recorder r;
        for (int i = 0; i < 4; ++i)
            QTest::ignoreMessage(QtDebugMsg, message.constData());
        QCOMPARE(CMeskHttpTaskPool::get(server.url("/x"), &r), -1);
        QCOMPARE(CMeskHttpTaskPool::getToFile(server.url("/x"), QDir::tempPath() + "/never", &r), -1);
        QCOMPARE(CMeskHttpTaskPool::post(server.url("/x"), "a=b", &r), -1);
        QCOMPARE(CMeskHttpTaskPool::postFile(server.url("/x"), QDir::tempPath() + "/never", &r), -1);

        // A pool created but never started refuses too.
        CMeskHttpTaskPool::instance();
        QTest::ignoreMessage(QtDebugMsg, message.constData());
        QCOMPARE(CMeskHttpTaskPool::get(server.url("/x"), &r), -1);
        CMeskHttpTaskPool::shutdown();

        QTest::qWait(50);
        QCOMPARE(server.connectionCount(), 0);
        QVERIFY(!r.ended());
        CMeskHttpTaskPool::init(nullptr);
    }

    void poolStopsWithItsParent()
    {
        LocalHttpServer server;
        server.setFallback([](const TestHttpRequest&) { return TestHttpReply::hang(); });
        CMeskHttpTaskPool::shutdown();
        auto* engine = new QObject;
        CMeskHttpTaskPool::init(engine);
        CMeskHttpTaskPool::init(nullptr); // running already: nothing changes
        QPointer<CMeskHttpTaskPool> pool = CMeskHttpTaskPool::instance();
        QCOMPARE(pool->parent(), engine);
        Recorder r;
        r.taskId = CMeskHttpTaskPool::get(server.url("/hang"), &r);
        QVERIFY(server.waitForRequests(1));
        delete engine; // stops the running pool thread before it goes
        QVERIFY(pool.isNull());
        QVERIFY(!CMeskHttpTaskPool::isPoolRunning());
        QTest::qWait(50);
        QVERIFY(!r.ended());
        CMeskHttpTaskPool::init(nullptr);
        QVERIFY(CMeskHttpTaskPool::isPoolRunning());
    }

    void requestRightAfterInit()
    {
        LocalHttpServer server;
        server.setFallback([](const TestHttpRequest&) { return TestHttpReply::ok("hello"); });
        for (int round = 0; round < 5; ++round) {
            CMeskHttpTaskPool::shutdown();
            CMeskHttpTaskPool::init(nullptr);
            Recorder r;
            r.taskId = CMeskHttpTaskPool::get(server.url("/first"), &r);
            QVERIFY(r.taskId > 0);
            QVERIFY(r.wait(30000));
            QCOMPARE(r.done, 1);
            QCOMPARE(r.bodies.value(0), QByteArray("hello"));
        }
    }

    void shutdownWithHangingRequests()
    {
        LocalHttpServer server;
        server.setFallback([](const TestHttpRequest&) { return TestHttpReply::hang(); });
        QPointer<CMeskHttpTaskPool> pool = CMeskHttpTaskPool::instance();
        std::atomic<bool> finished{false};
        connect(
            pool, &QThread::finished, pool, [&finished] { finished = true; }, Qt::DirectConnection);
        Recorder r[3];
        for (auto& one : r)
            one.taskId = CMeskHttpTaskPool::get(server.url("/hang"), &one);
        QVERIFY(server.waitForRequests(3));

        CMeskHttpTaskPool::shutdown();
        QVERIFY(finished);
        QVERIFY(pool.isNull());
        QVERIFY(!CMeskHttpTaskPool::isPoolRunning());
        QTest::qWait(100);
        for (const auto& one : r) {
            QVERIFY(!one.ended());
            QCOMPARE(one.responses(), 0);
        }

        CMeskHttpTaskPool::init(nullptr);
        server.setFallback([](const TestHttpRequest&) { return TestHttpReply::ok("again"); });
        Recorder after;
        after.taskId = CMeskHttpTaskPool::get(server.url("/again"), &after);
        QVERIFY(after.wait(30000));
        QCOMPARE(after.done, 1);
        QCOMPARE(after.bodies.value(0), QByteArray("again"));
    }

    // A shutdown waits for a parse still running on the pool thread (deleting a running thread
    // would end the process), and says so once a second after the first three.
    void shutdownWaitsForARunningParse()
    {
        LocalHttpServer server;
        server.setFallback([](const TestHttpRequest&) { return TestHttpReply::ok("x"); });
        Blocker blocker;
        blocker.taskId = CMeskHttpTaskPool::get(server.url("/parse"), &blocker);
        QVERIFY(QTest::qWaitFor([&blocker] { return blocker.entered.load(); }, 30000));
        // The parse is let go once shutdown has said it waits past four seconds, however late
        // shutdown itself got going.
        static std::atomic<bool> saidFourSeconds;
        static QtMessageHandler previous;
        saidFourSeconds = false;
        previous = qInstallMessageHandler(
            [](QtMsgType type, const QMessageLogContext& context, const QString& message) {
                if (message.contains(QLatin1String("still running after 4000 ms")))
                    saidFourSeconds = true;
                if (previous)
                    previous(type, context, message);
            });
        std::thread releaser([&blocker] {
            while (!saidFourSeconds.load())
                QThread::msleep(5);
            blocker.release = true;
        });
        QTest::ignoreMessage(QtDebugMsg,
                             "CMeskHttpTaskPool: pool thread still running after 3000 ms, waiting");
        QTest::ignoreMessage(QtDebugMsg,
                             "CMeskHttpTaskPool: pool thread still running after 4000 ms, waiting");
        CMeskHttpTaskPool::shutdown();
        const bool released = blocker.release.load();
        qInstallMessageHandler(previous);
        saidFourSeconds = true;
        releaser.join();
        QVERIFY(released);
        QVERIFY(!CMeskHttpTaskPool::isPoolRunning());
        CMeskHttpTaskPool::init(nullptr);
    }

    void requestShape_data()
    {
        QTest::addColumn<QString>("suffix");
        QTest::addColumn<QByteArray>("requestLine");
        QTest::newRow("encoded query")
            << "/a/b?x=%2C+y%20z&s=%3D%2B" << QByteArray("GET /a/b?x=%2C+y%20z&s=%3D%2B HTTP/1.1");
        QTest::newRow("unreserved decoded") << "/?q=%7E" << QByteArray("GET /?q=~ HTTP/1.1");
        QTest::newRow("empty path") << "" << QByteArray("GET / HTTP/1.1");
        QTest::newRow("empty path with query") << "?q=1" << QByteArray("GET /?q=1 HTTP/1.1");
        QTest::newRow("fragment") << "/p?a=1#frag" << QByteArray("GET /p?a=1 HTTP/1.1");
        QTest::newRow("utf-8 in path") << "/%C3%A4%20b" << QByteArray("GET /%C3%A4%20b HTTP/1.1");
    }
    void requestShape()
    {
        QFETCH(QString, suffix);
        QFETCH(QByteArray, requestLine);
        LocalHttpServer server;
        Recorder r;
        r.taskId = CMeskHttpTaskPool::get(server.url(suffix), &r);
        QVERIFY(r.wait(30000));
        QCOMPARE(server.requestCount(), 1);
        const TestHttpRequest request = server.lastRequest();
        QCOMPARE(firstLine(request.raw), requestLine);
        QCOMPARE(request.header("User-Agent"), QByteArray("Velto Lumesk"));
        QCOMPARE(request.header("Host"), "127.0.0.1:" + QByteArray::number(server.port()));
        QCOMPARE(request.header("Connection").toLower(), QByteArray("close"));
        QCOMPARE(request.raw.toLower().count("\r\nconnection:"), 1);
        QCOMPARE(request.raw.toLower().count("\r\nhost:"), 1);
        QVERIFY(!request.raw.contains("frag"));
        QVERIFY(request.header("Cookie").isEmpty());
    }

    void postShape()
    {
        LocalHttpServer server;
        QByteArray body = randomBytes(1024 * 1024);
        body[10] = '\0';
        body[body.size() - 1] = '\0';
        Recorder r;
        r.taskId = CMeskHttpTaskPool::post(server.url("/post"), body, &r);
        QVERIFY(r.wait(30000));
        const TestHttpRequest request = server.lastRequest();
        QCOMPARE(request.method, QByteArray("POST"));
        QCOMPARE(request.header("Content-Length"), QByteArray::number(body.size()));
        QVERIFY(request.body == body);
        QCOMPARE(request.header("User-Agent"), QByteArray("Velto Lumesk"));

        QTemporaryDir dir;
        const QString source = dir.filePath("upload.bin");
        const QByteArray content = randomBytes(300000);
        QVERIFY(writeFile(source, content));
        Recorder f;
        f.taskId = CMeskHttpTaskPool::postFile(server.url("/upload"), source, &f);
        QVERIFY(f.wait(30000));
        QCOMPARE(f.done, 1);
        QVERIFY(server.lastRequest().body == content);
        QCOMPARE(server.lastRequest().header("Content-Length"), QByteArray::number(content.size()));
        QCOMPARE(readFile(source), content);
    }

    void noCookies()
    {
        LocalHttpServer server;
        server.enqueue(TestHttpReply::ok("one").withHeader("Set-Cookie", "session=abc; Path=/"));
        server.enqueue(TestHttpReply::ok("two"));
        Recorder first, second;
        first.taskId = CMeskHttpTaskPool::get(server.url("/login"), &first);
        QVERIFY(first.wait(30000));
        QCOMPARE(first.headers.value(0).value("set-cookie"), QString("session=abc; Path=/"));
        second.taskId = CMeskHttpTaskPool::get(server.url("/next"), &second);
        QVERIFY(second.wait(30000));
        QCOMPARE(server.requestCount(), 2);
        QVERIFY(!server.lastRequest().raw.toLower().contains("cookie"));
    }

    void statusIsAResponse_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("header");
        QTest::addColumn<QByteArray>("value");
        QTest::newRow("302 not followed") << 302 << QByteArray("Location") << QByteArray("/elsewhere");
        QTest::newRow("401") << 401 << QByteArray("WWW-Authenticate") << QByteArray("Basic realm=\"x\"");
        QTest::newRow("400") << 400 << QByteArray("X-Reason") << QByteArray("bad");
        QTest::newRow("403") << 403 << QByteArray("X-Reason") << QByteArray("forbidden");
        QTest::newRow("404") << 404 << QByteArray("X-Reason") << QByteArray("missing");
        QTest::newRow("500") << 500 << QByteArray("X-Reason") << QByteArray("broken");
        QTest::newRow("503") << 503 << QByteArray("Retry-After") << QByteArray("10");
        QTest::newRow("204") << 204 << QByteArray("X-Reason") << QByteArray("empty");
    }
    void statusIsAResponse()
    {
        QFETCH(int, status);
        QFETCH(QByteArray, header);
        QFETCH(QByteArray, value);
        LocalHttpServer server;
        const QByteArray body =
            status == 204 ? QByteArray() : "<error>status " + QByteArray::number(status) + "</error>";
        server.enqueue(TestHttpReply::withStatus(status, "Reason Here", body).withHeader(header, value));
        Recorder r;
        r.taskId = CMeskHttpTaskPool::get(server.url("/s"), &r);
        QVERIFY(r.wait(30000));
        QCOMPARE(r.failures, QList<TMeskHttpError>());
        QCOMPARE(r.done, 1);
        QCOMPARE(r.headers.value(0).statusCode, status);
        QCOMPARE(r.headers.value(0).reasonPhrase, QString("Reason Here"));
        QCOMPARE(r.headers.value(0).value(QString::fromLatin1(header).toUpper()), QString::fromLatin1(value));
        QCOMPARE(r.bodies.value(0), body);
        QTest::qWait(50);
        QCOMPARE(server.requestCount(), 1);
    }

    void bodies_data()
    {
        QTest::addColumn<int>("framing");
        QTest::addColumn<int>("chunkSize");
        QTest::newRow("content-length") << int(TestHttpReply::Framing::ContentLength) << 0;
        QTest::newRow("content-length in pieces") << int(TestHttpReply::Framing::ContentLength) << 1000;
        QTest::newRow("chunked") << int(TestHttpReply::Framing::Chunked) << 777;
        QTest::newRow("chunked one chunk") << int(TestHttpReply::Framing::Chunked) << 0;
        QTest::newRow("close-delimited") << int(TestHttpReply::Framing::CloseDelimited) << 4096;
    }
    void bodies()
    {
        QFETCH(int, framing);
        QFETCH(int, chunkSize);
        LocalHttpServer server;
        TestHttpReply reply = TestHttpReply::ok(randomBytes(100000), "application/octet-stream");
        reply.framing = TestHttpReply::Framing(framing);
        reply.chunkSize = chunkSize;
        reply.chunkDelayMs = chunkSize > 0 ? 1 : 0;
        server.enqueue(reply);
        Recorder r;
        r.taskId = CMeskHttpTaskPool::get(server.url("/body"), &r);
        QVERIFY(r.wait(30000));
        QCOMPARE(r.done, 1);
        QVERIFY(r.bodies.value(0) == reply.body);
    }

    void progressOfALargeAnswer()
    {
        LocalHttpServer server;
        TestHttpReply reply = TestHttpReply::ok(QByteArray(5 * 1024 * 1024, 'x'), "application/octet-stream");
        // QNAM reports download progress at most every 100 ms: spread the answer out.
        reply.chunkSize = 512 * 1024;
        reply.chunkDelayMs = 60;
        server.enqueue(reply);
        Recorder r;
        r.taskId = CMeskHttpTaskPool::get(server.url("/big"), &r);
        QVERIFY(r.wait(30000));
        QCOMPARE(r.done, 1);
        QCOMPARE(r.bodies.value(0).size(), 5242880);
        QVERIFY(r.progress.size() > 1);
        for (qsizetype i = 1; i < r.progress.size(); ++i)
            QVERIFY2(r.progress.at(i).first >= r.progress.at(i - 1).first, "progress went back");
        QCOMPARE(r.progress.last().first, 5242880);
        QCOMPARE(r.progress.last().second, 5242880);
    }

    void progressWithUnknownTotal()
    {
        LocalHttpServer server;
        TestHttpReply reply = TestHttpReply::ok(QByteArray(200000, 'y'));
        reply.framing = TestHttpReply::Framing::Chunked;
        reply.chunkSize = 50000;
        reply.chunkDelayMs = 150;
        server.enqueue(reply);
        Recorder r;
        r.taskId = CMeskHttpTaskPool::get(server.url("/chunks"), &r);
        QVERIFY(r.wait(30000));
        QVERIFY(!r.progress.isEmpty());
        // While the length is unknown the total is 0; the last call reports the whole body.
        QVERIFY(r.progress.size() > 1);
        for (const auto& p : std::as_const(r.progress)) {
            if (p.first < 200000)
                QCOMPARE(p.second, 0);
        }
        QCOMPARE(r.progress.first().second, 0);
        QCOMPARE(r.progress.last().first, 200000);
    }

    void downloadToFile()
    {
        LocalHttpServer server;
        QTemporaryDir dir;
        const QString target = dir.filePath("avatar.png");
        const QByteArray body = randomBytes(70000);
        server.enqueue(TestHttpReply::ok(body, "image/png"));
        Recorder r;
        r.taskId = CMeskHttpTaskPool::getToFile(server.url("/avatar.png"), target, &r);
        QVERIFY(r.wait(30000));
        QCOMPARE(r.done, 1);
        QCOMPARE(r.headers.value(0).statusCode, 200);
        QVERIFY(r.bodies.value(0).isEmpty());
        QVERIFY(readFile(target) == body);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"avatar.png"});
    }

    void failedDownloadLeavesNoFile()
    {
        LocalHttpServer server;
        QTemporaryDir dir;
        const QString target = dir.filePath("thumb.jpg");
        server.enqueue(TestHttpReply::withStatus(404, "Not Found", "nothing here"));
        Recorder r;
        r.taskId = CMeskHttpTaskPool::getToFile(server.url("/thumb.jpg"), target, &r);
        QVERIFY(r.wait(30000));
        QCOMPARE(r.headers.value(0).statusCode, 404);
        QCOMPARE(r.done, 1);
        QVERIFY(!QFile::exists(target));
        QVERIFY(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).isEmpty());
    }

    void failedDownloadKeepsEarlierFile_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("404") << "404";
        QTest::newRow("500") << "500";
        QTest::newRow("refused") << "refused";
        QTest::newRow("cut after half") << "cut";
        QTest::newRow("timeout") << "timeout";
        // The file may grow no further (a full disk) once half the answer is written, or from its first
        // byte: the writes left for the commit fail.
        QTest::newRow("no room for the last buffer") << "room for half";
        QTest::newRow("no room at all") << "no room";
    }
    void failedDownloadKeepsEarlierFile()
    {
        QFETCH(QString, how);
        LocalHttpServer server;
        QTemporaryDir dir;
        const QString target = dir.filePath("user_42.png");
        QVERIFY(writeFile(target, "OLD"));
        QString url = server.url("/avatar");
        qint64 size = 0;
        qint64 room = 0;
        if (how == "404") {
            server.enqueue(TestHttpReply::withStatus(404, "Not Found", "gone"));
        } else if (how == "500") {
            server.enqueue(TestHttpReply::withStatus(500, "Internal Server Error", "oops"));
        } else if (how == "refused") {
            url = "http://127.0.0.1:" + QString::number(closedPort()) + "/avatar";
        } else if (how == "cut") {
            TestHttpReply reply = TestHttpReply::ok(QByteArray(20000, 'n'), "image/png");
            reply.closeAfterBodyBytes = 10000;
            server.setFallback([reply](const TestHttpRequest&) { return reply; });
        } else if (how == "no room" || how == "room for half") {
            size = 10000;
            room = how == "no room" ? 0 : size / 2;
            server.enqueue(TestHttpReply::ok(QByteArray(size, 'n'), "image/png"));
        } else {
            CMeskHttpTaskPool::setTransferTimeout(300);
            TestHttpReply reply = TestHttpReply::ok(QByteArray(20000, 'n'), "image/png");
            reply.chunkSize = 5000;
            reply.chunkDelayMs = 60000; // first piece, then silence
            server.setFallback([reply](const TestHttpRequest&) { return reply; });
        }
        std::optional<FileSizeLimit> limit;
        if (size > 0) {
            limit.emplace(rlim_t(room));
            QVERIFY(limit->isSet());
        }
        Recorder r;
        r.taskId = CMeskHttpTaskPool::getToFile(url, target, &r);
        QVERIFY(r.wait(30000));
        limit.reset();
        QCOMPARE(readFile(target), QByteArray("OLD"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"user_42.png"});
        if (how == "refused")
            QCOMPARE(r.failures, QList<TMeskHttpError>{HttpConnectionRefused});
        else if (how == "cut")
            QCOMPARE(r.failures, QList<TMeskHttpError>{HttpUnexpectedClose});
        else if (how == "timeout")
            QCOMPARE(r.failures, QList<TMeskHttpError>{HttpAborted});
        else if (size > 0)
            QCOMPARE(r.failures, QList<TMeskHttpError>{HttpUnknownError});
        else
            QCOMPARE(r.done, 1);
    }

    void failedUploadKeepsSource()
    {
        LocalHttpServer server;
        server.setFallback([](const TestHttpRequest&) { return TestHttpReply::closeWithoutAnswer(); });
        QTemporaryDir dir;
        const QString source = dir.filePath("photo.jpg");
        QVERIFY(writeFile(source, "PHOTO"));
        Recorder r;
        r.taskId = CMeskHttpTaskPool::postFile(server.url("/upload"), source, &r);
        QVERIFY(r.wait(30000));
        QCOMPARE(r.failures, QList<TMeskHttpError>{HttpUnexpectedClose});
        QCOMPARE(r.responses(), 0);
        QVERIFY(server.requestCount() >= 1);
        QCOMPARE(server.lastRequest().body, QByteArray("PHOTO"));
        QCOMPARE(readFile(source), QByteArray("PHOTO"));

        // A 500 answer leaves it too.
        server.setFallback([](const TestHttpRequest&) { return TestHttpReply::withStatus(500, "Error"); });
        Recorder again;
        again.taskId = CMeskHttpTaskPool::postFile(server.url("/upload"), source, &again);
        QVERIFY(again.wait(30000));
        QCOMPARE(again.headers.value(0).statusCode, 500);
        QCOMPARE(readFile(source), QByteArray("PHOTO"));
    }

    void fileCannotBeOpened_data()
    {
        QTest::addColumn<bool>("upload");
        QTest::newRow("download into a missing folder") << false;
        QTest::newRow("upload of a missing file") << true;
    }
    void fileCannotBeOpened()
    {
        QFETCH(bool, upload);
        LocalHttpServer server;
        QTemporaryDir dir;
        const QString name = dir.filePath(upload ? "missing.jpg" : "no/such/folder/file.jpg");
        QTest::ignoreMessage(QtDebugMsg, qPrintable("CMeskHttpTask: failed to open file " + name));
        Recorder r;
        r.taskId = upload ? CMeskHttpTaskPool::postFile(server.url("/f"), name, &r)
                          : CMeskHttpTaskPool::getToFile(server.url("/f"), name, &r);
        QVERIFY(r.wait(30000));
        QCOMPARE(r.failures, QList<TMeskHttpError>{HttpUnknownError});
        QCOMPARE(r.done, 0);
        QTest::qWait(50);
        QCOMPARE(server.connectionCount(), 0);
    }

    void badUrl_data()
    {
        QTest::addColumn<QString>("url");
        QTest::newRow("space in host") << "http://exa mple.com/";
        QTest::newRow("ftp") << "ftp://h/x";
        QTest::newRow("no host") << "http:///path";
        QTest::newRow("not a url") << "just text";
        QTest::newRow("bad escape") << "http://127.0.0.1/%zz";
    }
    void badUrl()
    {
        QFETCH(QString, url);
        QTest::ignoreMessage(QtDebugMsg, qPrintable("CMeskHttpTask: url parsing failed " + url));
        Recorder r;
        r.taskId = CMeskHttpTaskPool::get(url, &r);
        QVERIFY(r.taskId > 0);
        QVERIFY(r.wait(30000));
        QCOMPARE(r.failures, QList<TMeskHttpError>{HttpUnknownError});
        QCOMPARE(r.done, 0);
    }

    void connectionRefused()
    {
        Recorder r;
        r.taskId = CMeskHttpTaskPool::get("http://127.0.0.1:" + QString::number(closedPort()) + "/", &r);
        QVERIFY(r.wait(30000));
        QTest::qWait(50);
        QCOMPARE(r.failures, QList<TMeskHttpError>{HttpConnectionRefused});
        QCOMPARE(r.done, 0);
        QCOMPARE(r.responses(), 0);
    }

    void stalledServerTimesOut()
    {
        LocalHttpServer server;
        server.setFallback([](const TestHttpRequest&) { return TestHttpReply::hang(); });
        CMeskHttpTaskPool::setTransferTimeout(300);
        Recorder r;
        r.taskId = CMeskHttpTaskPool::get(server.url("/stall"), &r);
        QVERIFY(r.wait(30000));
        QCOMPARE(r.failures, QList<TMeskHttpError>{HttpAborted});
        QCOMPARE(r.responses(), 0);
    }

    // One byte every 100 ms keeps the inactivity timeout from ever firing.
    void tricklingAnswerEndsAtTheDeadline_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("memory default") << "memory";
        QTest::newRow("file default") << "file";
        QTest::newRow("per request") << "request";
        QTest::newRow("nothing sent") << "silent";
    }
    void tricklingAnswerEndsAtTheDeadline()
    {
        QFETCH(QString, how);
        LocalHttpServer server;
        if (how == "silent") {
            server.setFallback([](const TestHttpRequest&) { return TestHttpReply::hang(); });
        } else {
            TestHttpReply reply = TestHttpReply::ok(QByteArray(100000, 't'));
            reply.chunkSize = 1;
            reply.chunkDelayMs = 100;
            server.setFallback([reply](const TestHttpRequest&) { return reply; });
        }
        // The default that must not apply is long, the one that must is short.
        const bool perRequest = how == "request";
        CMeskHttpTaskPool::setDefaultDeadlines(how == "file" || perRequest ? 600000 : 700,
                                               how == "file" ? 700 : 600000);
        QTemporaryDir dir;
        const QString target = dir.filePath("photo.jpg");
        QVERIFY(writeFile(target, "OLD"));
        QTest::ignoreMessage(QtDebugMsg, QRegularExpression("no complete answer within 700 ms"));
        Recorder r;
        if (how == "file")
            r.taskId = CMeskHttpTaskPool::getToFile(server.url("/t"), target, &r);
        else
            r.taskId = CMeskHttpTaskPool::get(server.url("/t"), &r, perRequest ? 700 : 0);
        QVERIFY(r.wait(30000));
        QCOMPARE(r.failures, QList<TMeskHttpError>{HttpTimedOut});
        QCOMPARE(r.responses(), 0);
        QCOMPARE(readFile(target), QByteArray("OLD"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"photo.jpg"});
    }

    void tls()
    {
        const TestHttpHandler echo = [](const TestHttpRequest& request) {
            return TestHttpReply::ok("secure " + request.target);
        };
        // QNAM keeps the TLS settings of a host and port with its cached connection, so the two
        // cases talk to two servers.
        LocalHttpServer untrustedServer(LocalHttpServer::Transport::Tls);
        untrustedServer.setFallback(echo);
        Recorder untrusted;
        untrusted.taskId = CMeskHttpTaskPool::get(untrustedServer.url("/s"), &untrusted);
        QVERIFY(untrusted.wait(30000));
        QCOMPARE(untrusted.failures, QList<TMeskHttpError>{HttpUnknownError});
        QCOMPARE(untrusted.responses(), 0);
        QCOMPARE(untrustedServer.requestCount(), 0);

        LocalHttpServer server(LocalHttpServer::Transport::Tls);
        server.setFallback(echo);
        LocalHttpServer::trustTestCertificate(true);
        Recorder trusted;
        trusted.taskId = CMeskHttpTaskPool::get(server.url("/s?a=%2C"), &trusted);
        const bool ended = trusted.wait();
        LocalHttpServer::trustTestCertificate(false);
        QVERIFY(ended);
        QCOMPARE(trusted.failures, QList<TMeskHttpError>());
        QCOMPARE(trusted.headers.value(0).statusCode, 200);
        QCOMPARE(trusted.bodies.value(0), QByteArray("secure /s?a=%2C"));
        QCOMPARE(server.lastRequest().header("Host"), "127.0.0.1:" + QByteArray::number(server.port()));
    }

    void manyAtOnce()
    {
        LocalHttpServer server;
        server.setFallback([](const TestHttpRequest& request) { return TestHttpReply::ok(request.target); });
        std::vector<std::unique_ptr<Recorder>> recorders;
        QSet<int> ids;
        for (int i = 0; i < 50; ++i) {
            recorders.push_back(std::make_unique<Recorder>());
            recorders.back()->taskId =
                CMeskHttpTaskPool::get(server.url("/n" + QString::number(i)), recorders.back().get());
            ids.insert(recorders.back()->taskId);
        }
        QCOMPARE(ids.size(), 50);
        QVERIFY(!ids.contains(-1));
        for (int i = 0; i < 50; ++i) {
            QVERIFY(recorders[i]->wait());
            QCOMPARE(recorders[i]->done, 1);
            QCOMPARE(recorders[i]->bodies.value(0), "/n" + QByteArray::number(i));
        }
        QCOMPARE(server.requestCount(), 50);
    }

    void cancelledObserverGetsNothing()
    {
        LocalHttpServer server;
        TestHttpReply slow = TestHttpReply::ok("late");
        slow.delayMs = 200;
        server.setFallback([slow](const TestHttpRequest&) { return slow; });
        // Cancelled before the pool thread has started the request (it is never sent): the
        // pool thread is held inside another request's parse meanwhile.
        Blocker blocker;
        blocker.taskId = CMeskHttpTaskPool::get(server.url("/block"), &blocker);
        QVERIFY(QTest::qWaitFor([&blocker] { return blocker.entered.load(); }, 30000));
        auto early = std::make_unique<Recorder>();
        early->taskId = CMeskHttpTaskPool::get(server.url("/early"), early.get());
        CMeskHttpTaskPool::cancelTask(early->taskId, early.get());
        blocker.release = true;
        QVERIFY(blocker.wait(30000));
        // Cancelled while it runs: it is aborted.
        auto running = std::make_unique<Recorder>();
        running->taskId = CMeskHttpTaskPool::post(server.url("/running"), "x=1", running.get());
        QVERIFY(server.waitForRequests(2));
        CMeskHttpTaskPool::cancelTask(running->taskId, running.get());
        // Another observer's id does not cancel this one.
        Recorder other;
        other.taskId = CMeskHttpTaskPool::get(server.url("/other"), &other);
        CMeskHttpTaskPool::cancelTask(other.taskId, running.get());
        QVERIFY(other.wait(30000));
        QCOMPARE(other.done, 1);
        QTest::qWait(300);
        QVERIFY(!early->ended());
        QVERIFY(!running->ended());
        QCOMPARE(running->responses(), 0);
        QStringList targets;
        for (const auto& request : server.requests())
            targets.append(QString::fromLatin1(request.target));
        targets.sort();
        QCOMPARE(targets, (QStringList{"/block", "/other", "/running"}));
    }

    // A download cancelled half-way stops using the link at once: the server is left with most
    // of a 50 MB answer unsent, the temporary file goes and an earlier file stays.
    void cancelStopsTheTransfer_data()
    {
        QTest::addColumn<bool>("earlierFile");
        QTest::newRow("no earlier file") << false;
        QTest::newRow("earlier file stays") << true;
    }
    void cancelStopsTheTransfer()
    {
        QFETCH(bool, earlierFile);
        const qint64 total = 50 * 1000 * 1000;
        LocalHttpServer server;
        TestHttpReply big = TestHttpReply::ok(QByteArray(total, 'v'), "application/octet-stream");
        big.chunkSize = 64 * 1024;
        big.chunkDelayMs = 2;
        server.setFallback([big](const TestHttpRequest&) { return big; });
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("video.bin"));
        if (earlierFile)
            QVERIFY(writeFile(file, "earlier"));

        Recorder recorder;
        recorder.taskId = CMeskHttpTaskPool::getToFile(server.url("/video"), file, &recorder);
        const auto received = [&recorder] {
            QMutexLocker lock(&recorder.mutex);
            return recorder.progress.isEmpty() ? 0 : recorder.progress.last().first;
        };
        QDeadlineTimer deadline(20000);
        while (received() < 1024 * 1024 && !deadline.hasExpired())
            QThread::msleep(1);
        QVERIFY(received() >= 1024 * 1024);
        CMeskHttpTaskPool::cancelTask(recorder.taskId, &recorder);

        QVERIFY(server.waitForClientCloses(1));
        QVERIFY2(server.clientCloses().constFirst() < total / 2,
                 QByteArray::number(server.clientCloses().constFirst()).constData());
        const QStringList expected = earlierFile ? QStringList{"video.bin"} : QStringList();
        QTRY_COMPARE_WITH_TIMEOUT(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), expected, 30000);
        if (earlierFile)
            QCOMPARE(readFile(file), QByteArray("earlier"));
        QTest::qWait(100);
        QVERIFY(!recorder.ended());
    }

    // The request has ended on the pool thread, but its end has not yet been delivered on this
    // thread when the observer is detached: the end must not arrive afterwards.
    void detachedAfterTheEndWasQueued_data()
    {
        QTest::addColumn<bool>("shutdown");
        QTest::newRow("cancelTask") << false;
        QTest::newRow("shutdown") << true;
    }
    void detachedAfterTheEndWasQueued()
    {
        QFETCH(bool, shutdown);
        LocalHttpServer server;
        server.setFallback([](const TestHttpRequest&) { return TestHttpReply::ok("x"); });
        // The pool thread takes requests in order: the bad URL has failed before the answer
        // of the second request reaches its observer.
        Recorder failed;
        QTest::ignoreMessage(QtDebugMsg, "CMeskHttpTask: url parsing failed ftp://h/x");
        failed.taskId = CMeskHttpTaskPool::get("ftp://h/x", &failed);
        Recorder answered;
        answered.taskId = CMeskHttpTaskPool::get(server.url("/ok"), &answered);
        // Without running this thread's event loop, so that both ends stay queued here.
        QDeadlineTimer deadline(20000);
        while (answered.responses() == 0 && !deadline.hasExpired())
            QThread::msleep(5);
        QCOMPARE(answered.responses(), 1);
        if (shutdown) {
            CMeskHttpTaskPool::shutdown();
        } else {
            CMeskHttpTaskPool::cancelTask(failed.taskId, &failed);
            CMeskHttpTaskPool::cancelTask(answered.taskId, &answered);
        }
        QTest::qWait(200);
        QCOMPARE(failed.failures, QList<TMeskHttpError>());
        QCOMPARE(answered.done, 0);
        if (shutdown)
            CMeskHttpTaskPool::init(nullptr);
    }
};

QTEST_GUILESS_MAIN(TestHttpTaskPool)
#include "tst_httptaskpool.moc"
