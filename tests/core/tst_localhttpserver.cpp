// The scriptable HTTP server of tests/support, seen from a raw socket.
#include "localhttpserver.h"

#include <QElapsedTimer>
#include <QTcpSocket>
#include <QTest>

namespace {

// Sends `request` and reads until the server closes the connection (or `expect` bytes arrived).
QByteArray exchange(quint16 port, const QByteArray& request, qsizetype expect = -1)
{
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    if (!socket.waitForConnected(30000))
        return "<no connection>";
    socket.write(request);
    socket.waitForBytesWritten(30000);
    QByteArray received;
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < 30000) {
        if (expect >= 0 && received.size() >= expect)
            break;
        if (socket.state() != QAbstractSocket::ConnectedState && socket.bytesAvailable() == 0)
            break;
        socket.waitForReadyRead(100);
        received += socket.readAll();
    }
    return received;
}

QByteArray get(const QByteArray& target)
{
    return "GET " + target + " HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n";
}

QByteArray bodyOf(const QByteArray& response)
{
    return response.mid(response.indexOf("\r\n\r\n") + 4);
}

TestHttpHandler answer(const QByteArray& text)
{
    return [text](const TestHttpRequest&) { return TestHttpReply::ok(text, "text/plain"); };
}

} // namespace

class TestLocalHttpServer : public QObject
{
    Q_OBJECT
private slots:
    void routing_data()
    {
        QTest::addColumn<QByteArray>("target");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("prefix itself") << QByteArray("/api") << QByteArray("api");
        QTest::newRow("below prefix") << QByteArray("/api/x?y=1") << QByteArray("api");
        QTest::newRow("query on prefix") << QByteArray("/api?y=1") << QByteArray("api");
        QTest::newRow("not a segment") << QByteArray("/apix") << QByteArray("fallback");
        QTest::newRow("longest prefix") << QByteArray("/api/v2/items") << QByteArray("v2");
        QTest::newRow("prefix with slash") << QByteArray("/api/v2/") << QByteArray("v2");
        QTest::newRow("elsewhere") << QByteArray("/other") << QByteArray("fallback");
    }
    void routing()
    {
        QFETCH(QByteArray, target);
        QFETCH(QByteArray, expected);
        LocalHttpServer server;
        server.mount("/api", answer("api"));
        server.mount("/api/v2/", answer("v2"));
        server.setFallback(answer("fallback"));
        QCOMPARE(bodyOf(exchange(server.port(), get(target))), expected);
        QCOMPARE(server.lastRequest().target, target);
    }

    void queueComesFirstAndDefaultIs404()
    {
        LocalHttpServer server;
        QVERIFY(exchange(server.port(), get("/x")).startsWith("HTTP/1.1 404 Not Found\r\n"));
        server.mount("/x", answer("mounted"));
        server.enqueue(TestHttpReply::withStatus(503, "Busy", "queued"));
        const QByteArray first = exchange(server.port(), get("/x"));
        QVERIFY(first.startsWith("HTTP/1.1 503 Busy\r\n"));
        QCOMPARE(bodyOf(first), QByteArray("queued"));
        QCOMPARE(bodyOf(exchange(server.port(), get("/x"))), QByteArray("mounted"));
        server.resetScript();
        QVERIFY(exchange(server.port(), get("/x")).startsWith("HTTP/1.1 404"));
        QCOMPARE(server.requestCount(), 4);
    }

    void recordsRawRequests()
    {
        LocalHttpServer server;
        const QByteArray request = "POST /p?q=%2C HTTP/1.1\r\nHost: h\r\nX-B: 2\r\nx-a: 1\r\n"
                                   "Transfer-Encoding: chunked\r\nConnection: close\r\n\r\n"
                                   "3\r\nabc\r\n2;ext=1\r\nde\r\n0\r\n\r\n";
        exchange(server.port(), request);
        QVERIFY(server.waitForRequests(1));
        const TestHttpRequest r = server.lastRequest();
        QCOMPARE(r.method, QByteArray("POST"));
        QCOMPARE(r.target, QByteArray("/p?q=%2C"));
        QCOMPARE(r.path(), QByteArray("/p"));
        QCOMPARE(r.query(), QByteArray("q=%2C"));
        QCOMPARE(r.version, QByteArray("HTTP/1.1"));
        QCOMPARE(r.headers.at(1).first, QByteArray("X-B"));
        QCOMPARE(r.headers.at(2).first, QByteArray("x-a"));
        QCOMPARE(r.header("X-A"), QByteArray("1"));
        QCOMPARE(r.body, QByteArray("abcde"));
        QCOMPARE(r.raw, request);
    }

    void keepAliveAnswersEveryRequest()
    {
        LocalHttpServer server;
        server.setFallback(
            [](const TestHttpRequest& r) { return TestHttpReply::ok(r.target, "text/plain"); });
        const QByteArray two = "GET /one HTTP/1.1\r\nHost: h\r\n\r\n"
                               "POST /two HTTP/1.1\r\nHost: h\r\nContent-Length: 3\r\n\r\nxyz"
                               "GET /three HTTP/1.1\r\nHost: h\r\nConnection: close\r\n\r\n";
        const QByteArray received = exchange(server.port(), two);
        QCOMPARE(received.count("HTTP/1.1 200 OK"), 3);
        QVERIFY(received.endsWith("/three"));
        QCOMPARE(server.requestCount(), 3);
        QCOMPARE(server.connectionCount(), 1);
        QCOMPARE(server.requests().at(1).body, QByteArray("xyz"));
    }

    void framingAndCuts_data()
    {
        QTest::addColumn<int>("framing");
        QTest::addColumn<int>("chunkSize");
        QTest::addColumn<qint64>("cutAfter");
        QTest::addColumn<QByteArray>("expectedBody");
        QTest::addColumn<QByteArray>("expectedHeader");
        const int cl = int(TestHttpReply::Framing::ContentLength);
        const int ch = int(TestHttpReply::Framing::Chunked);
        const int cd = int(TestHttpReply::Framing::CloseDelimited);
        QTest::newRow("length") << cl << 0 << qint64(-1) << QByteArray("abcdefghij")
                                << QByteArray("Content-Length: 10");
        QTest::newRow("length cut") << cl << 3 << qint64(6) << QByteArray("abcdef")
                                    << QByteArray("Content-Length: 10");
        QTest::newRow("chunked") << ch << 4 << qint64(-1)
                                 << QByteArray("4\r\nabcd\r\n4\r\nefgh\r\n2\r\nij\r\n0\r\n\r\n")
                                 << QByteArray("Transfer-Encoding: chunked");
        QTest::newRow("chunked cut") << ch << 4 << qint64(6) << QByteArray("4\r\nabcd\r\n4\r\nef")
                                     << QByteArray("Transfer-Encoding: chunked");
        QTest::newRow("close-delimited")
            << cd << 0 << qint64(-1) << QByteArray("abcdefghij") << QByteArray("Connection: close");
    }
    void framingAndCuts()
    {
        QFETCH(int, framing);
        QFETCH(int, chunkSize);
        QFETCH(qint64, cutAfter);
        QFETCH(QByteArray, expectedBody);
        QFETCH(QByteArray, expectedHeader);
        LocalHttpServer server;
        TestHttpReply reply = TestHttpReply::ok("abcdefghij", "text/plain");
        reply.framing = TestHttpReply::Framing(framing);
        reply.chunkSize = chunkSize;
        reply.chunkDelayMs = chunkSize > 0 ? 5 : 0;
        reply.closeAfterBodyBytes = cutAfter;
        server.enqueue(reply);
        // Without "Connection: close" only the cuts and the close-delimited body end the connection.
        const bool closes = cutAfter >= 0 || framing == int(TestHttpReply::Framing::CloseDelimited);
        const QByteArray request = closes ? "GET / HTTP/1.1\r\nHost: h\r\n\r\n" : get("/");
        const QByteArray received = exchange(server.port(), request);
        const QByteArray head = received.left(received.indexOf("\r\n\r\n"));
        QVERIFY2(head.contains(expectedHeader), head.constData());
        QCOMPARE(bodyOf(received), expectedBody);
        if (framing == int(TestHttpReply::Framing::CloseDelimited))
            QVERIFY(!head.contains("Content-Length"));
    }

    void dropsAndHangs()
    {
        LocalHttpServer server;
        server.enqueue(TestHttpReply::closeWithoutAnswer());
        QCOMPARE(exchange(server.port(), get("/drop")), QByteArray());

        TestHttpReply hang = TestHttpReply::hang();
        server.enqueue(hang);
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, server.port());
        QVERIFY(socket.waitForConnected(30000));
        socket.write(get("/hang"));
        socket.flush();
        QVERIFY(server.waitForRequests(2));
        QVERIFY(!socket.waitForReadyRead(300));
        QCOMPARE(socket.state(), QAbstractSocket::ConnectedState);

        // A malformed request gets 400 and the connection closes.
        QVERIFY(exchange(server.port(), "NONSENSE\r\n\r\n").startsWith("HTTP/1.1 400 Bad Request"));
    }

    // A 20 MB body without pauses goes out as the client reads it: a client that reads it all
    // gets every byte and leaves no close on record; one that closes after the first bytes
    // leaves one, far below the body's size.
    void clientCloses_data()
    {
        QTest::addColumn<bool>("readAll");
        QTest::newRow("read to the end") << true;
        QTest::newRow("closed early") << false;
    }
    void clientCloses()
    {
        QFETCH(bool, readAll);
        const qint64 total = 20 * 1000 * 1000;
        LocalHttpServer server;
        TestHttpReply big = TestHttpReply::ok(QByteArray(total, 'z'), "application/octet-stream");
        big.chunkSize = 64 * 1024;
        server.enqueue(big);
        if (readAll) {
            const QByteArray received = exchange(server.port(), get("/big"));
            QCOMPARE(bodyOf(received).size(), total);
            QVERIFY(!server.waitForClientCloses(1, 200));
            return;
        }
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, server.port());
        QVERIFY(socket.waitForConnected(30000));
        socket.setReadBufferSize(64 * 1024);
        socket.write(get("/big"));
        QVERIFY(socket.waitForReadyRead(30000));
        socket.abort();
        QVERIFY(server.waitForClientCloses(1));
        const qint64 sent = server.clientCloses().constFirst();
        QVERIFY2(sent > 0 && sent < total / 2, QByteArray::number(sent).constData());
    }

    void waitForRequests()
    {
        LocalHttpServer server;
        QVERIFY(!server.waitForRequests(1, 50));
        TestHttpReply slow = TestHttpReply::ok("slow");
        slow.delayMs = 200;
        server.enqueue(slow);
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, server.port());
        QVERIFY(socket.waitForConnected(30000));
        socket.write(get("/w"));
        socket.flush();
        QVERIFY(server.waitForRequests(1));
        // Recorded before the answer goes out.
        QCOMPARE(socket.bytesAvailable(), 0);
        server.clearRequests();
        QCOMPARE(server.requestCount(), 0);
    }
};

QTEST_GUILESS_MAIN(TestLocalHttpServer)
#include "tst_localhttpserver.moc"
