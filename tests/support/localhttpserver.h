#pragma once

#include "testhttp.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <memory>

class QSslCertificate;
class QSslKey;
class QThread;
class LocalHttpServerWorker;
struct LocalHttpServerState;

// A scriptable HTTP/1.1 server on 127.0.0.1 for tests and developer tools (no Qt Test in it).
//
// It listens on a random port from construction to destruction and serves on a thread of its
// own, so a test that blocks its own thread still gets answers.
//
// Scripting replies. Each complete request is recorded first, then answered by the first of:
//   1. the queue: enqueue(reply) adds a reply that answers exactly one request (first in, first out);
//   2. a handler mounted with mount(prefix, handler) whose prefix matches the request path: the
//      path equals the prefix or continues it after a '/' ("/api" serves "/api" and "/api/x",
//      not "/apix"); a prefix ending in '/' matches every path that starts with it; the longest
//      matching prefix wins;
//   3. the fallback handler set with setFallback(handler);
//   4. otherwise 404 Not Found.
// A TestHttpReply sets status, reason, headers and body, the framing (Content-Length, chunked,
// close-delimited) and the delivery: delay, chunk size and pause between chunks, never answer
// (Action::Hang), close without answer (Action::CloseWithoutAnswer), cut after N body bytes.
//
// Writing handlers. A handler is a plain function TestHttpRequest → TestHttpReply; stand-in
// services are sets of handlers mounted on their paths:
//     LocalHttpServer server;
//     server.mount("/1/statuses", [](const TestHttpRequest& r) {
//         return r.method == "POST" ? TestHttpReply::ok("<status/>")
//                                   : TestHttpReply::withStatus(405, "Method Not Allowed");
//     });
//     const QString url = server.url("/1/statuses/home.xml?count=20");
// Handlers run on the server's thread, one request at a time; state they share with the test
// needs its own lock (or an atomic). A handler may call the server (enqueue, mount, requests).
//
// Clients: the server answers every request of a connection and keeps it open unless the
// client sent "Connection: close", used HTTP/1.0, or the reply closes it. A client that gives
// up on a connection the server closed may send the request again (QNetworkAccessManager does
// for a close without answer): count the recorded requests with that in mind.
//
// TLS: LocalHttpServer(Transport::Tls) answers https with the test certificate checked in
// beside this file (CN and subjectAltName 127.0.0.1, valid until 2126). A client trusts it after
// trustTestCertificate(), which adds it to QSslConfiguration's default configuration.
class LocalHttpServer
{
public:
    enum class Transport
    {
        Plain,
        Tls
    };

    explicit LocalHttpServer(Transport transport = Transport::Plain);
    ~LocalHttpServer();
    LocalHttpServer(const LocalHttpServer&) = delete;
    LocalHttpServer& operator=(const LocalHttpServer&) = delete;

    bool isListening() const { return m_port != 0; }
    quint16 port() const { return m_port; }
    // "http://127.0.0.1:<port>" (https for TLS), no trailing slash.
    QString baseUrl() const;
    // baseUrl() + pathAndQuery, which is taken as it is written (encode it yourself).
    QString url(const QString& pathAndQuery) const;

    void enqueue(const TestHttpReply& reply);
    void mount(const QByteArray& pathPrefix, TestHttpHandler handler);
    void setFallback(TestHttpHandler handler);
    // Drops the queue, the mounted handlers and the fallback.
    void resetScript();

    // Every complete request received so far, in order of arrival. Thread-safe.
    QList<TestHttpRequest> requests() const;
    int requestCount() const;
    // The last request; an empty one when none arrived.
    TestHttpRequest lastRequest() const;
    // Blocks the calling thread until `count` requests have arrived in all; false on timeout.
    bool waitForRequests(int count, int timeoutMs = 30000) const;
    void clearRequests();
    // Connections accepted so far.
    int connectionCount() const;
    // One entry per reply whose client closed the connection before the server had sent it
    // whole, in order: the bytes of it (head and body) that the network had taken by then.
    // A body without pauses between pieces is handed to the socket only as fast as the client
    // reads it (at most 256 KiB ahead), so the count stays well below a large body's size.
    QList<qint64> clientCloses() const;
    // Blocks until `count` such closes have happened; false on timeout.
    bool waitForClientCloses(int count, int timeoutMs = 30000) const;

    static QSslCertificate testCertificate();
    static QSslKey testKey();
    // Adds the test certificate to (or, with false, removes it from) the default CA list of
    // QSslConfiguration, which every request made afterwards starts from.
    static void trustTestCertificate(bool trust = true);

private:
    std::shared_ptr<LocalHttpServerState> m_state;
    QThread* m_thread = nullptr;
    LocalHttpServerWorker* m_worker = nullptr;
    Transport m_transport;
    quint16 m_port = 0;
};
