#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>

#include <atomic>
#include <functional>
#include <memory>
#include <utility>

// The request and reply shapes of the scriptable local HTTP server. The stand-in
// services are written as handlers over them, free of Qt Test, so both the tests
// and tools/fake-services can mount them.

struct TestHttpRequest
{
    QByteArray method;  // "GET", "POST"
    QByteArray target;  // the request target exactly as sent ("/path?query")
    QByteArray version; // "HTTP/1.1"
    QList<QPair<QByteArray, QByteArray>> headers;
    QByteArray body;
    QByteArray raw; // the whole request as received

    // The first header of that name (case-insensitive); empty when absent.
    QByteArray header(const QByteArray& name) const
    {
        for (const auto& h : headers) {
            if (h.first.compare(name, Qt::CaseInsensitive) == 0)
                return h.second;
        }
        return {};
    }
    QByteArray path() const
    {
        const int q = target.indexOf('?');
        return q < 0 ? target : target.left(q);
    }
    QByteArray query() const
    {
        const int q = target.indexOf('?');
        return q < 0 ? QByteArray() : target.mid(q + 1);
    }
};

struct TestHttpReply
{
    // How the body is framed on the wire.
    enum class Framing
    {
        ContentLength, // Content-Length header
        Chunked,       // Transfer-Encoding: chunked
        CloseDelimited // no length; the server closes the connection after the body
    };

    // What the server does with the connection.
    enum class Action
    {
        Answer,            // send the reply
        Hang,              // never answer; the connection stays open until the client gives up
        CloseWithoutAnswer // close the connection without sending a byte
    };

    int status = 200;
    QByteArray reason = "OK";
    // Sent as given, in order. The server adds Content-Length (ContentLength framing, unless
    // given here), Transfer-Encoding: chunked (Chunked) and Connection: close when it closes.
    QList<QPair<QByteArray, QByteArray>> headers;
    QByteArray body;
    Framing framing = Framing::ContentLength;

    // Delivery, all optional.
    Action action = Action::Answer;
    int delayMs = 0;      // wait before answering (or before closing, for CloseWithoutAnswer)
    int chunkSize = 0;    // the body goes out in pieces of this many bytes (0: one piece);
                          // with Chunked framing each piece is one chunk
    int chunkDelayMs = 0; // pause between two pieces
    // Close the connection after this many body bytes although the framing announces the
    // whole body (-1: send it all).
    qint64 closeAfterBodyBytes = -1;

    static TestHttpReply ok(const QByteArray& body, const QByteArray& contentType = "text/xml; charset=utf-8")
    {
        TestHttpReply r;
        r.body = body;
        r.headers.append({"Content-Type", contentType});
        return r;
    }
    static TestHttpReply withStatus(int status, const QByteArray& reason, const QByteArray& body = {})
    {
        TestHttpReply r;
        r.status = status;
        r.reason = reason;
        r.body = body;
        return r;
    }
    static TestHttpReply hang()
    {
        TestHttpReply r;
        r.action = Action::Hang;
        return r;
    }
    static TestHttpReply closeWithoutAnswer()
    {
        TestHttpReply r;
        r.action = Action::CloseWithoutAnswer;
        return r;
    }
    TestHttpReply& withHeader(const QByteArray& name, const QByteArray& value)
    {
        headers.append({name, value});
        return *this;
    }
};

using TestHttpHandler = std::function<TestHttpReply(const TestHttpRequest&)>;

// Wraps a handler: its next `count` replies send their body one byte every 100 ms, so the answer
// never ends in reasonable time yet never goes quiet; the replies after those are left alone.
inline TestHttpHandler tricklingHandler(TestHttpHandler inner, int count = 1)
{
    auto left = std::make_shared<std::atomic<int>>(count);
    return [inner = std::move(inner), left](const TestHttpRequest& request) {
        TestHttpReply reply = inner(request);
        if (left->fetch_sub(1) > 0) {
            reply.chunkSize = 1;
            reply.chunkDelayMs = 100;
        }
        return reply;
    };
}
