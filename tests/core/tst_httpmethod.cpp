#include "localhttpserver.h"
#include "meskhttpmethod.h"
#include "meskhttptaskpool.h"
#include "meskxml.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QDomDocument>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <atomic>

namespace {

// Logs the result signals of a call object in the order they arrive.
struct SignalLog
{
    QStringList names;
    QList<QThread*> threads;
    QList<int> codes;

    void attach(CMeskHttpMethod* method, QObject* context)
    {
        QObject::connect(method, &CMeskHttpMethod::finished, context, [this] { add("finished", -1); });
        QObject::connect(method, qOverload<TMediaError>(&CMeskHttpMethod::protocolError), context,
                         [this](TMediaError e) { add("protocolError(code)", e); });
        QObject::connect(method, qOverload<>(&CMeskHttpMethod::protocolError), context,
                         [this] { add("protocolError()", -1); });
        QObject::connect(method, &CMeskHttpMethod::networkError, context,
                         [this](TMeskHttpError e) { add("networkError", e); });
    }
    void add(const QString& name, int code)
    {
        names.append(name);
        codes.append(code);
        threads.append(QThread::currentThread());
    }
    bool waitFor(int count) const
    {
        return QTest::qWaitFor([this, count] { return names.size() >= count; }, 30000);
    }
};

// A parse step that fails and maps to an authorization error.
class FailingParse : public CMeskHttpMethod
{
public:
    using CMeskHttpMethod::CMeskHttpMethod;
    ~FailingParse() override { cancel(); }

protected:
    bool parseResponse(const SMeskHttpResponseHeader&, const QByteArray&) override { return false; }
    TMediaError errorCode() const override { return MediaErrorAuthorization; }
};

// Records the thread its parse step runs on.
class ThreadRecording : public CMeskHttpMethod
{
public:
    using CMeskHttpMethod::CMeskHttpMethod;
    ~ThreadRecording() override { cancel(); }
    std::atomic<QThread*> parsedOn{nullptr};

protected:
    bool parseResponse(const SMeskHttpResponseHeader& header, const QByteArray& body) override
    {
        parsedOn = QThread::currentThread();
        return CMeskHttpMethod::parseResponse(header, body);
    }
};

// A slow parse step that writes its own members after sleeping.
class SlowParse : public CMeskHttpMethod
{
public:
    SlowParse(std::atomic<bool>* entered, QObject* parent = nullptr)
        : CMeskHttpMethod(parent), m_entered(entered)
    {
    }
    ~SlowParse() override { cancel(); }

protected:
    bool parseResponse(const SMeskHttpResponseHeader&, const QByteArray& body) override
    {
        *m_entered = true;
        QThread::msleep(200);
        m_items = QList<QByteArray>(1000, body);
        m_count = int(m_items.size());
        return true;
    }

private:
    std::atomic<bool>* m_entered;
    QList<QByteArray> m_items;
    int m_count = 0;
};

// Counts its parse steps and accepts every answer.
class CountingParse : public CMeskHttpMethod
{
public:
    using CMeskHttpMethod::CMeskHttpMethod;
    ~CountingParse() override { cancel(); }
    std::atomic<int> parses{0};

protected:
    bool parseResponse(const SMeskHttpResponseHeader& header, const QByteArray& body) override
    {
        ++parses;
        return CMeskHttpMethod::parseResponse(header, body);
    }
};

// Reads its answer as the service call objects do: through the shared XML reader.
class XmlParse : public CMeskHttpMethod
{
public:
    using CMeskHttpMethod::CMeskHttpMethod;
    ~XmlParse() override { cancel(); }

protected:
    bool parseResponse(const SMeskHttpResponseHeader&, const QByteArray& body) override
    {
        QDomDocument doc;
        return meskReadXml(body, doc);
    }
};

// Blocks (without running this thread's event loop) until the server has logged a request
// for target.
bool waitForTarget(const LocalHttpServer& server, const QByteArray& target)
{
    QDeadlineTimer deadline(20000);
    while (!deadline.hasExpired()) {
        const QList<TestHttpRequest> requests = server.requests();
        for (const TestHttpRequest& request : requests) {
            if (request.target == target)
                return true;
        }
        server.waitForRequests(int(requests.size()) + 1, 50);
    }
    return false;
}

quint16 closedPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    const quint16 port = probe.serverPort();
    probe.close();
    return port;
}

TestHttpReply delayed(const QByteArray& body, int delayMs)
{
    TestHttpReply reply = TestHttpReply::ok(body);
    reply.delayMs = delayMs;
    return reply;
}

} // namespace

class TestHttpMethod : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { CMeskHttpTaskPool::init(nullptr); }
    void cleanupTestCase() { CMeskHttpTaskPool::shutdown(); }

    void secondRequestWhileBusy()
    {
        LocalHttpServer server;
        server.enqueue(delayed("first", 200));
        CMeskHttpMethod method;
        SignalLog log;
        log.attach(&method, this);
        QVERIFY(method.isReady());
        QVERIFY(method.get(server.url("/one")));
        QVERIFY(!method.isReady());
        QTest::ignoreMessage(QtDebugMsg, "CMeskHttpMethod: method is not ready");
        QVERIFY(!method.get(server.url("/two")));
        QTest::ignoreMessage(QtDebugMsg, "CMeskHttpMethod: method is not ready");
        QVERIFY(!method.post(server.url("/two"), "x"));
        QVERIFY(log.waitFor(1));
        QCOMPARE(log.names, QStringList{"finished"});
        QCOMPARE(method.responseData(), QByteArray("first"));
        QCOMPARE(method.httpStatus(), 200);
        QCOMPARE(server.requestCount(), 1);
    }

    void emptyUrl()
    {
        CMeskHttpMethod method;
        QTest::ignoreMessage(QtDebugMsg, "CMeskHttpMethod: requested URL is empty");
        QVERIFY(!method.get(QString()));
        QVERIFY(method.isReady());
        QTest::ignoreMessage(QtDebugMsg, "CMeskHttpMethod: requested URL is empty");
        QVERIFY(!method.getToFile(QString(), "x"));
        QVERIFY(method.isReady());
    }

    void poolNotRunning()
    {
        LocalHttpServer server;
        CMeskHttpTaskPool::shutdown();
        CMeskHttpMethod method;
        QTest::ignoreMessage(
            QtDebugMsg,
            "CMeskHttpTaskPool: task pool is not running, you need to call CMeskHttpTaskPool::init");
        QVERIFY(!method.get(server.url("/x")));
        QVERIFY(method.isReady());
        CMeskHttpTaskPool::init(nullptr);
        // The same object works once the pool runs.
        SignalLog log;
        log.attach(&method, this);
        QTest::ignoreMessage(QtDebugMsg, "CMeskHttpMethod::onTaskResponse 404");
        QVERIFY(method.get(server.url("/x")));
        QVERIFY(log.waitFor(1));
        QCOMPARE(log.names, QStringList{"finished"});
    }

    void statusWithDefaultParse_data()
    {
        QTest::addColumn<int>("status");
        QTest::newRow("404") << 404;
        QTest::newRow("500") << 500;
        QTest::newRow("201") << 201;
    }
    void statusWithDefaultParse()
    {
        QFETCH(int, status);
        LocalHttpServer server;
        server.enqueue(TestHttpReply::withStatus(status, "Whatever", "<error/>"));
        CMeskHttpMethod method;
        SignalLog log;
        log.attach(&method, this);
        QTest::ignoreMessage(QtDebugMsg,
                             qPrintable("CMeskHttpMethod::onTaskResponse " + QString::number(status)));
        QVERIFY(method.get(server.url("/missing")));
        QVERIFY(log.waitFor(1));
        QTest::qWait(20);
        QCOMPARE(log.names, QStringList{"finished"});
        QCOMPARE(method.httpStatus(), status);
        QCOMPARE(method.responseHeader().statusCode, status);
        QCOMPARE(method.responseData(), QByteArray("<error/>"));
    }

    void failingParse()
    {
        LocalHttpServer server;
        server.enqueue(TestHttpReply::ok("<garbage"));
        FailingParse method;
        SignalLog log;
        log.attach(&method, this);
        QSignalSpy codes(&method, qOverload<TMediaError>(&CMeskHttpMethod::protocolError));
        QVERIFY(method.get(server.url("/p")));
        QVERIFY(log.waitFor(2));
        QTest::qWait(20);
        QCOMPARE(log.names, (QStringList{"protocolError(code)", "protocolError()"}));
        QCOMPARE(codes.size(), 1);
        QCOMPARE(codes.at(0).at(0).value<TMediaError>(), MediaErrorAuthorization);
        QCOMPARE(method.httpStatus(), 200);
        QVERIFY(method.isReady());
    }

    void transportFailure()
    {
        LocalHttpServer server;
        CMeskHttpMethod method;
        SignalLog log;
        log.attach(&method, this);
        QTest::ignoreMessage(QtDebugMsg, "CMeskHttpMethod::onTaskResponse 404");
        QVERIFY(method.get(server.url("/ok")));
        QVERIFY(log.waitFor(1));
        QCOMPARE(method.httpStatus(), 404);

        QVERIFY(method.get("http://127.0.0.1:" + QString::number(closedPort()) + "/x"));
        QVERIFY(log.waitFor(2));
        QTest::qWait(20);
        QCOMPARE(log.names, (QStringList{"finished", "networkError"}));
        QCOMPARE(log.codes.last(), int(HttpConnectionRefused));
        QCOMPARE(method.httpStatus(), 0);
        QVERIFY(method.isReady());

        QTest::ignoreMessage(QtDebugMsg, "CMeskHttpTask: url parsing failed ftp://h/x");
        QVERIFY(method.get("ftp://h/x"));
        QVERIFY(log.waitFor(3));
        QCOMPARE(log.codes.last(), int(HttpUnknownError));
    }

    void threads()
    {
        LocalHttpServer server;
        server.enqueue(TestHttpReply::ok("a"));
        server.enqueue(TestHttpReply::ok("b"));
        ThreadRecording method;
        SignalLog log;
        log.attach(&method, this);
        QVERIFY(method.get(server.url("/t")));
        QVERIFY(log.waitFor(1));
        QVERIFY(method.parsedOn.load() != nullptr);
        QVERIFY(method.parsedOn.load() != QThread::currentThread());
        QCOMPARE(method.parsedOn.load(), static_cast<QThread*>(CMeskHttpTaskPool::instance()));
        QCOMPARE(log.threads.value(0), QThread::currentThread());

        FailingParse failing;
        failing.setObjectName("failing");
        log.attach(&failing, this);
        QVERIFY(failing.get(server.url("/t")));
        QVERIFY(log.waitFor(3));
        for (QThread* t : std::as_const(log.threads))
            QCOMPARE(t, QThread::currentThread());
    }

    void nextRequestFromTheResultSlot()
    {
        LocalHttpServer server;
        server.setFallback([](const TestHttpRequest& r) { return TestHttpReply::ok(r.target); });
        CMeskHttpMethod method;
        QList<bool> readyInSlot;
        QList<bool> restarted;
        QList<QByteArray> bodies;
        connect(&method, &CMeskHttpMethod::finished, this, [&] {
            readyInSlot.append(method.isReady());
            bodies.append(method.responseData());
            if (restarted.size() < 2)
                restarted.append(method.get(server.url("/next" + QString::number(restarted.size()))));
        });
        QVERIFY(method.get(server.url("/first")));
        QVERIFY(QTest::qWaitFor([&] { return bodies.size() == 3; }, 30000));
        QCOMPARE(readyInSlot, (QList<bool>{true, true, true}));
        QCOMPARE(restarted, (QList<bool>{true, true}));
        QCOMPARE(bodies, (QList<QByteArray>{"/first", "/next0", "/next1"}));
    }

    void deletedDuringParse()
    {
        LocalHttpServer server;
        server.enqueue(TestHttpReply::ok(QByteArray(1000, 'p')));
        std::atomic<bool> entered{false};
        auto* method = new SlowParse(&entered);
        int emitted = 0;
        connect(method, &CMeskHttpMethod::finished, this, [&emitted] { ++emitted; });
        connect(method, &CMeskHttpMethod::networkError, this, [&emitted] { ++emitted; });
        connect(method, qOverload<>(&CMeskHttpMethod::protocolError), this, [&emitted] { ++emitted; });
        QVERIFY(method->get(server.url("/slow")));
        QVERIFY(QTest::qWaitFor([&entered] { return entered.load(); }, 30000));
        delete method; // waits for the running parse step
        QTest::qWait(300);
        QCOMPARE(emitted, 0);
    }

    void deletedBeforeTheAnswer()
    {
        LocalHttpServer server;
        server.setFallback([](const TestHttpRequest&) { return delayed("late", 300); });
        const QByteArray body(200000, 'b');
        int emitted = 0;
        {
            CMeskHttpMethod method;
            connect(&method, &CMeskHttpMethod::finished, this, [&emitted] { ++emitted; });
            connect(&method, &CMeskHttpMethod::networkError, this, [&emitted] { ++emitted; });
            QVERIFY(method.post(server.url("/status"), body));
        }
        // Also an object released with deleteLater right after its request.
        auto* released = new CMeskHttpMethod;
        connect(released, &CMeskHttpMethod::finished, this, [&emitted] { ++emitted; });
        QVERIFY(released->get(server.url("/released")));
        released->deleteLater();

        QVERIFY(server.waitForRequests(1));
        QTest::qWait(600);
        QCOMPARE(emitted, 0);
        // A request cancelled before the pool thread took it up is never sent; one that was
        // under way went out whole before it was aborted.
        for (const auto& request : server.requests()) {
            if (request.target == "/status")
                QVERIFY(request.body == body);
        }
    }

    // An answer kept in memory stops at 8 MiB and is never parsed; a download into a file has
    // no such limit.
    void answerSizeLimit_data()
    {
        QTest::addColumn<qint64>("size");
        QTest::addColumn<bool>("announced");
        QTest::addColumn<bool>("toFile");
        QTest::addColumn<bool>("accepted");
        const qint64 mib = 1024 * 1024;
        QTest::newRow("9 MiB in memory") << 9 * mib << true << false << false;
        QTest::newRow("9 MiB in memory, length not announced") << 9 * mib << false << false << false;
        QTest::newRow("one byte past the limit, not announced")
            << MeskHttpMaxBodySize + 1 << false << false << false;
        QTest::newRow("exactly the limit in memory") << MeskHttpMaxBodySize << true << false << true;
        QTest::newRow("9 MiB to a file") << 9 * mib << true << true << true;
    }
    void answerSizeLimit()
    {
        QFETCH(qint64, size);
        QFETCH(bool, announced);
        QFETCH(bool, toFile);
        QFETCH(bool, accepted);
        LocalHttpServer server;
        TestHttpReply reply = TestHttpReply::ok(QByteArray(size, 'x'), "application/octet-stream");
        reply.chunkSize = 256 * 1024;
        if (!announced)
            reply.framing = TestHttpReply::Framing::Chunked;
        server.setFallback([reply](const TestHttpRequest&) { return reply; });
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("big.bin"));
        CountingParse method;
        SignalLog log;
        log.attach(&method, this);
        if (!accepted)
            QTest::ignoreMessage(QtDebugMsg, "CMeskHttpTask: answer larger than 8388608 bytes refused");
        QVERIFY(toFile ? method.getToFile(server.url("/big"), file) : method.get(server.url("/big")));
        QVERIFY(log.waitFor(1));
        if (!accepted) {
            QCOMPARE(log.names, QStringList{"networkError"});
            QCOMPARE(log.codes, QList<int>{HttpResponseTooLarge});
            QCOMPARE(method.parses.load(), 0);
            QVERIFY(method.responseData().isEmpty());
            return;
        }
        QCOMPARE(log.names, QStringList{"finished"});
        QCOMPARE(method.parses.load(), 1);
        if (toFile) {
            QCOMPARE(QFileInfo(file).size(), size);
            QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"big.bin"});
        } else {
            QCOMPARE(method.responseData().size(), size);
        }
    }

    // A hostile answer nested 30,000 deep: the depth check refuses it before any document is
    // built, so deleting its call object never waits long, and nothing is reported.
    void cancelDuringHostileAnswer()
    {
        LocalHttpServer server;
        const QByteArray deep = QByteArray("<a>").repeated(30000) + QByteArray("</a>").repeated(30000);
        server.setFallback([deep](const TestHttpRequest&) { return TestHttpReply::ok(deep); });
        const int documents = meskXmlDocumentCount();
        int emitted = 0;
        const auto count = [this, &emitted](CMeskHttpMethod* method) {
            connect(method, &CMeskHttpMethod::finished, this, [&emitted] { ++emitted; });
            connect(method, &CMeskHttpMethod::networkError, this, [&emitted] { ++emitted; });
            connect(method, qOverload<>(&CMeskHttpMethod::protocolError), this, [&emitted] { ++emitted; });
        };

        auto* early = new XmlParse;
        count(early);
        QVERIFY(early->get(server.url("/early")));
        delete early;
        for (int i = 0; i < 20; ++i) {
            const QByteArray target = "/deep" + QByteArray::number(i);
            auto* method = new XmlParse;
            count(method);
            QVERIFY(method->get(server.url(QString::fromLatin1(target))));
            QVERIFY(waitForTarget(server, target));
            delete method;
        }
        QTest::qWait(300);
        QCOMPARE(emitted, 0);

        // Left to run, the same answer is an unreadable one.
        XmlParse whole;
        SignalLog log;
        log.attach(&whole, this);
        QVERIFY(whole.get(server.url("/whole")));
        QVERIFY(log.waitFor(2));
        QCOMPARE(log.names, (QStringList{"protocolError(code)", "protocolError()"}));
        QCOMPARE(meskXmlDocumentCount(), documents);
    }

    // A cancelled request reports nothing, and the object takes the next one, whether it was
    // cancelled while the server still worked on it or after its answer had arrived.
    void reusableAfterCancel_data()
    {
        QTest::addColumn<bool>("answered");
        QTest::newRow("hanging") << false;
        QTest::newRow("answered") << true;
    }
    void reusableAfterCancel()
    {
        QFETCH(bool, answered);
        LocalHttpServer server;
        server.setFallback([](const TestHttpRequest& r) {
            return r.target == "/hang" ? TestHttpReply::hang() : TestHttpReply::ok(r.target);
        });
        CMeskHttpMethod method;
        SignalLog log;
        log.attach(&method, this);
        QVERIFY(method.get(server.url(answered ? "/first" : "/hang")));
        QVERIFY(server.waitForRequests(1));
        if (answered) {
            // Without running this thread's event loop: the answer is parsed, its end queued.
            QDeadlineTimer deadline(20000);
            while (method.httpStatus() == 0 && !deadline.hasExpired())
                QThread::msleep(5);
            QCOMPARE(method.httpStatus(), 200);
        }
        method.cancel();
        QVERIFY(method.isReady());
        QVERIFY(method.get(server.url("/second")));
        QVERIFY(log.waitFor(1));
        QTest::qWait(100);
        QCOMPARE(log.names, QStringList{"finished"});
        QCOMPARE(method.responseData(), QByteArray("/second"));
    }

    void wrappers()
    {
        LocalHttpServer server;
        server.setFallback([](const TestHttpRequest& r) {
            return TestHttpReply::ok(r.method + ' ' + r.target + ' ' + QByteArray::number(r.body.size()));
        });
        QTemporaryDir dir;
        const QString file = dir.filePath("data.bin");
        CMeskHttpMethod method;
        SignalLog log;
        log.attach(&method, this);

        QVERIFY(method.getToFile(server.url("/g"), file));
        QVERIFY(log.waitFor(1));
        QVERIFY(method.responseData().isEmpty());
        QFile f(file);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("GET /g 0"));
        f.close();

        QVERIFY(method.post(server.url("/p"), "a=1&b=2"));
        QVERIFY(log.waitFor(2));
        QCOMPARE(method.responseData(), QByteArray("POST /p 7"));

        QVERIFY(method.postFile(server.url("/pf"), file));
        QVERIFY(log.waitFor(3));
        QCOMPARE(method.responseData(), QByteArray("POST /pf 8"));
        QCOMPARE(log.names, (QStringList{"finished", "finished", "finished"}));
        QVERIFY(QFile::exists(file));
    }
};

QTEST_GUILESS_MAIN(TestHttpMethod)
#include "tst_httpmethod.moc"
