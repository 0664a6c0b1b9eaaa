#include "localhttpserver.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QHostAddress>
#include <QMutex>
#include <QMutexLocker>
#include <QPointer>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslKey>
#include <QSslServer>
#include <QSslSocket>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>
#include <QWaitCondition>

static void initTestSupportResources()
{
    Q_INIT_RESOURCE(testcert);
}

struct LocalHttpServerState
{
    mutable QMutex mutex;
    mutable QWaitCondition arrived;
    QList<TestHttpReply> queue;
    QList<QPair<QByteArray, TestHttpHandler>> mounts;
    TestHttpHandler fallback;
    QList<TestHttpRequest> requests;
    QList<qint64> clientCloses; // bytes of each reply sent before its client closed
    int connections = 0;

    static bool matches(const QByteArray& prefix, const QByteArray& path)
    {
        if (!path.startsWith(prefix))
            return false;
        return path.size() == prefix.size() || prefix.endsWith('/') || path.at(prefix.size()) == '/';
    }

    // Records the request, then picks its answer from the script.
    TestHttpReply answer(const TestHttpRequest& request)
    {
        TestHttpHandler handler;
        {
            QMutexLocker lock(&mutex);
            requests.append(request);
            arrived.wakeAll();
            if (!queue.isEmpty())
                return queue.takeFirst();
            const QByteArray path = request.path();
            qsizetype best = -1;
            for (const auto& mount : std::as_const(mounts)) {
                if (mount.first.size() > best && matches(mount.first, path)) {
                    best = mount.first.size();
                    handler = mount.second;
                }
            }
            if (!handler)
                handler = fallback;
        }
        if (handler)
            return handler(request);
        return TestHttpReply::withStatus(404, "Not Found", "not found");
    }
};

namespace {

enum class ParseResult
{
    Incomplete,
    Complete,
    Bad
};

// Parses one request from the front of `buffer`; on Complete, `consumed` bytes form it.
ParseResult parseRequest(const QByteArray& buffer, TestHttpRequest* request, qsizetype* consumed)
{
    const qsizetype headEnd = buffer.indexOf("\r\n\r\n");
    if (headEnd < 0)
        return buffer.size() > 1024 * 1024 ? ParseResult::Bad : ParseResult::Incomplete;
    const QList<QByteArray> lines = buffer.left(headEnd).split('\n');
    const QList<QByteArray> requestLine = lines.first().trimmed().split(' ');
    if (requestLine.size() != 3)
        return ParseResult::Bad;
    TestHttpRequest r;
    r.method = requestLine.at(0);
    r.target = requestLine.at(1);
    r.version = requestLine.at(2);
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QByteArray line = lines.at(i).endsWith('\r') ? lines.at(i).chopped(1) : lines.at(i);
        const qsizetype colon = line.indexOf(':');
        if (colon <= 0)
            return ParseResult::Bad;
        r.headers.append({line.left(colon), line.mid(colon + 1).trimmed()});
    }
    qsizetype pos = headEnd + 4;
    if (r.header("Transfer-Encoding").toLower().contains("chunked")) {
        for (;;) {
            const qsizetype lineEnd = buffer.indexOf("\r\n", pos);
            if (lineEnd < 0)
                return ParseResult::Incomplete;
            QByteArray sizeText = buffer.mid(pos, lineEnd - pos);
            const qsizetype semicolon = sizeText.indexOf(';');
            if (semicolon >= 0)
                sizeText.truncate(semicolon);
            bool ok = false;
            const qsizetype size = sizeText.trimmed().toLongLong(&ok, 16);
            if (!ok || size < 0)
                return ParseResult::Bad;
            pos = lineEnd + 2;
            if (size == 0) {
                // Trailer section up to an empty line.
                const qsizetype end = buffer.indexOf("\r\n", pos);
                if (end < 0)
                    return ParseResult::Incomplete;
                if (end == pos) {
                    pos += 2;
                    break;
                }
                const qsizetype trailerEnd = buffer.indexOf("\r\n\r\n", pos);
                if (trailerEnd < 0)
                    return ParseResult::Incomplete;
                pos = trailerEnd + 4;
                break;
            }
            if (buffer.size() < pos + size + 2)
                return ParseResult::Incomplete;
            r.body.append(buffer.mid(pos, size));
            pos += size + 2;
        }
    } else if (!r.header("Content-Length").isEmpty()) {
        bool ok = false;
        const qsizetype length = r.header("Content-Length").toLongLong(&ok);
        if (!ok || length < 0)
            return ParseResult::Bad;
        if (buffer.size() < pos + length)
            return ParseResult::Incomplete;
        r.body = buffer.mid(pos, length);
        pos += length;
    }
    r.raw = buffer.left(pos);
    *request = r;
    *consumed = pos;
    return ParseResult::Complete;
}

bool hasHeader(const QList<QPair<QByteArray, QByteArray>>& headers, const QByteArray& name)
{
    for (const auto& h : headers) {
        if (h.first.compare(name, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

// One client connection, owned by the worker, on the server thread.
class Connection : public QObject
{
public:
    Connection(QTcpSocket* socket, std::shared_ptr<LocalHttpServerState> state, QObject* parent)
        : QObject(parent), m_socket(socket), m_state(std::move(state))
    {
        socket->setParent(this);
        connect(socket, &QTcpSocket::readyRead, this, &Connection::onReadyRead);
        connect(socket, &QTcpSocket::bytesWritten, this, &Connection::onBytesWritten);
        connect(socket, &QTcpSocket::disconnected, this, &Connection::onDisconnected);
        onReadyRead();
    }
    ~Connection() override
    {
        // The socket (a child) closes after this: that is no client's close.
        m_socket->disconnect(this);
    }

private:
    // Bytes the server keeps handed to the socket ahead of what the network took.
    static constexpr qint64 WriteAhead = 256 * 1024;

    void send(const QByteArray& data)
    {
        m_queued += data.size();
        m_socket->write(data);
    }

    void onBytesWritten(qint64 bytes)
    {
        m_written += bytes;
        if (m_waitingForDrain) {
            m_waitingForDrain = false;
            writeNextPiece();
        }
    }

    void onDisconnected()
    {
        // A reply not yet wholly sent when the connection closed was broken off by the client.
        if (m_replyStart >= 0 && (!m_pieces.isEmpty() || m_written < m_queued || m_waitingForDrain)) {
            QMutexLocker lock(&m_state->mutex);
            m_state->clientCloses.append(m_written - m_replyStart);
            m_state->arrived.wakeAll();
        }
        m_replyStart = -1;
        m_pieces.clear();
        deleteLater();
    }

    void onReadyRead()
    {
        m_buffer.append(m_socket->readAll());
        processBuffer();
    }

    void processBuffer()
    {
        if (m_busy)
            return;
        TestHttpRequest request;
        qsizetype consumed = 0;
        switch (parseRequest(m_buffer, &request, &consumed)) {
        case ParseResult::Incomplete:
            return;
        case ParseResult::Bad:
            m_busy = true;
            m_socket->write("HTTP/1.1 400 Bad Request\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
            m_socket->disconnectFromHost();
            return;
        case ParseResult::Complete:
            break;
        }
        m_buffer.remove(0, consumed);
        m_busy = true;
        const bool clientCloses =
            request.header("Connection").toLower() == "close" || request.version == "HTTP/1.0";
        const TestHttpReply reply = m_state->answer(request);
        if (reply.action == TestHttpReply::Action::Hang)
            return; // stays busy: nothing more is answered on this connection
        if (reply.delayMs > 0)
            QTimer::singleShot(reply.delayMs, this,
                               [this, reply, clientCloses] { respond(reply, clientCloses); });
        else
            respond(reply, clientCloses);
    }

    void respond(const TestHttpReply& reply, bool clientCloses)
    {
        if (reply.action == TestHttpReply::Action::CloseWithoutAnswer) {
            m_socket->disconnectFromHost();
            return;
        }
        const bool cut = reply.closeAfterBodyBytes >= 0 && reply.closeAfterBodyBytes < reply.body.size();
        m_closeAfter = clientCloses || cut || reply.framing == TestHttpReply::Framing::CloseDelimited;

        QByteArray head = "HTTP/1.1 " + QByteArray::number(reply.status) + ' ' + reply.reason + "\r\n";
        for (const auto& h : reply.headers)
            head += h.first + ": " + h.second + "\r\n";
        if (reply.framing == TestHttpReply::Framing::ContentLength &&
            !hasHeader(reply.headers, "Content-Length"))
            head += "Content-Length: " + QByteArray::number(reply.body.size()) + "\r\n";
        if (reply.framing == TestHttpReply::Framing::Chunked &&
            !hasHeader(reply.headers, "Transfer-Encoding"))
            head += "Transfer-Encoding: chunked\r\n";
        if (m_closeAfter && !hasHeader(reply.headers, "Connection"))
            head += "Connection: close\r\n";
        head += "\r\n";

        // The wire pieces of the body, cut after closeAfterBodyBytes when asked.
        m_pieces.clear();
        const bool chunked = reply.framing == TestHttpReply::Framing::Chunked;
        const qsizetype pieceSize =
            reply.chunkSize > 0 ? reply.chunkSize : qMax<qsizetype>(reply.body.size(), 1);
        const qsizetype limit = cut ? reply.closeAfterBodyBytes : reply.body.size();
        for (qsizetype pos = 0; pos < reply.body.size() && pos < limit; pos += pieceSize) {
            const QByteArray piece = reply.body.mid(pos, pieceSize);
            const QByteArray sent = piece.left(limit - pos);
            if (chunked) {
                QByteArray wire = QByteArray::number(piece.size(), 16) + "\r\n" + sent;
                if (sent.size() == piece.size())
                    wire += "\r\n";
                m_pieces.append(wire);
            } else {
                m_pieces.append(sent);
            }
        }
        if (chunked && !cut)
            m_pieces.append("0\r\n\r\n");
        m_pieceDelayMs = reply.chunkDelayMs;

        m_replyStart = m_queued;
        send(head);
        writeNextPiece();
    }

    void writeNextPiece()
    {
        if (m_pieceDelayMs <= 0) {
            // Without pauses the pieces follow as the network takes them, so a client that
            // closes early stops the sending.
            while (!m_pieces.isEmpty() && m_socket->bytesToWrite() < WriteAhead)
                send(m_pieces.takeFirst());
            if (!m_pieces.isEmpty()) {
                m_waitingForDrain = true;
                return;
            }
        } else if (!m_pieces.isEmpty()) {
            send(m_pieces.takeFirst());
            if (!m_pieces.isEmpty()) {
                QTimer::singleShot(m_pieceDelayMs, this, [this] { writeNextPiece(); });
                return;
            }
        }
        finishReply();
    }

    void finishReply()
    {
        if (m_closeAfter) {
            m_socket->disconnectFromHost(); // after the pending bytes are written
            return;
        }
        m_busy = false;
        processBuffer();
    }

    QTcpSocket* m_socket;
    std::shared_ptr<LocalHttpServerState> m_state;
    QByteArray m_buffer;
    QList<QByteArray> m_pieces;
    int m_pieceDelayMs = 0;
    qint64 m_queued = 0;      // bytes handed to the socket on this connection
    qint64 m_written = 0;     // of them, bytes the network took
    qint64 m_replyStart = -1; // m_queued when the reply being sent began; -1: none
    bool m_waitingForDrain = false;
    bool m_busy = false;
    bool m_closeAfter = false;
};

} // namespace

// Owns the listening socket and the connections; lives on the server thread.
class LocalHttpServerWorker : public QObject
{
public:
    LocalHttpServerWorker(std::shared_ptr<LocalHttpServerState> state, bool tls)
        : m_state(std::move(state)), m_tls(tls)
    {
    }

    quint16 start()
    {
        if (m_tls) {
            auto* server = new QSslServer(this);
            QSslConfiguration config = QSslConfiguration::defaultConfiguration();
            config.setLocalCertificate(LocalHttpServer::testCertificate());
            config.setPrivateKey(LocalHttpServer::testKey());
            config.setPeerVerifyMode(QSslSocket::VerifyNone);
            server->setSslConfiguration(config);
            m_server = server;
        } else {
            m_server = new QTcpServer(this);
        }
        connect(m_server, &QTcpServer::pendingConnectionAvailable, this, [this] { acceptConnections(); });
        if (!m_server->listen(QHostAddress::LocalHost, 0))
            return 0;
        return m_server->serverPort();
    }

    void stop()
    {
        // Deleting the connections closes their sockets at once.
        const auto children = this->children();
        qDeleteAll(children);
        m_server = nullptr;
    }

private:
    void acceptConnections()
    {
        while (m_server && m_server->hasPendingConnections()) {
            QTcpSocket* socket = m_server->nextPendingConnection();
            {
                QMutexLocker lock(&m_state->mutex);
                ++m_state->connections;
            }
            new Connection(socket, m_state, this);
        }
    }

    std::shared_ptr<LocalHttpServerState> m_state;
    bool m_tls;
    QTcpServer* m_server = nullptr;
};

LocalHttpServer::LocalHttpServer(Transport transport)
    : m_state(std::make_shared<LocalHttpServerState>()), m_transport(transport)
{
    initTestSupportResources();
    m_thread = new QThread;
    m_thread->setObjectName(QStringLiteral("LocalHttpServer"));
    m_worker = new LocalHttpServerWorker(m_state, transport == Transport::Tls);
    m_worker->moveToThread(m_thread);
    m_thread->start();
    quint16 port = 0;
    QMetaObject::invokeMethod(
        m_worker, [this, &port] { port = m_worker->start(); }, Qt::BlockingQueuedConnection);
    m_port = port;
    if (m_port == 0)
        qWarning().noquote() << QStringLiteral("LocalHttpServer: cannot listen on 127.0.0.1");
}

LocalHttpServer::~LocalHttpServer()
{
    QMetaObject::invokeMethod(
        m_worker, [this] { m_worker->stop(); }, Qt::BlockingQueuedConnection);
    m_thread->quit();
    m_thread->wait();
    delete m_worker;
    delete m_thread;
}

QString LocalHttpServer::baseUrl() const
{
    const QString scheme = m_transport == Transport::Tls ? QStringLiteral("https") : QStringLiteral("http");
    return scheme + QStringLiteral("://127.0.0.1:") + QString::number(m_port);
}

QString LocalHttpServer::url(const QString& pathAndQuery) const
{
    return baseUrl() + pathAndQuery;
}

void LocalHttpServer::enqueue(const TestHttpReply& reply)
{
    QMutexLocker lock(&m_state->mutex);
    m_state->queue.append(reply);
}

void LocalHttpServer::mount(const QByteArray& pathPrefix, TestHttpHandler handler)
{
    QMutexLocker lock(&m_state->mutex);
    for (auto& mount : m_state->mounts) {
        if (mount.first == pathPrefix) {
            mount.second = std::move(handler);
            return;
        }
    }
    m_state->mounts.append({pathPrefix, std::move(handler)});
}

void LocalHttpServer::setFallback(TestHttpHandler handler)
{
    QMutexLocker lock(&m_state->mutex);
    m_state->fallback = std::move(handler);
}

void LocalHttpServer::resetScript()
{
    QMutexLocker lock(&m_state->mutex);
    m_state->queue.clear();
    m_state->mounts.clear();
    m_state->fallback = nullptr;
}

QList<TestHttpRequest> LocalHttpServer::requests() const
{
    QMutexLocker lock(&m_state->mutex);
    return m_state->requests;
}

int LocalHttpServer::requestCount() const
{
    QMutexLocker lock(&m_state->mutex);
    return int(m_state->requests.size());
}

TestHttpRequest LocalHttpServer::lastRequest() const
{
    QMutexLocker lock(&m_state->mutex);
    return m_state->requests.isEmpty() ? TestHttpRequest() : m_state->requests.last();
}

bool LocalHttpServer::waitForRequests(int count, int timeoutMs) const
{
    QDeadlineTimer deadline(timeoutMs);
    QMutexLocker lock(&m_state->mutex);
    while (m_state->requests.size() < count) {
        if (!m_state->arrived.wait(&m_state->mutex, deadline))
            return m_state->requests.size() >= count;
    }
    return true;
}

void LocalHttpServer::clearRequests()
{
    QMutexLocker lock(&m_state->mutex);
    m_state->requests.clear();
}

QList<qint64> LocalHttpServer::clientCloses() const
{
    QMutexLocker lock(&m_state->mutex);
    return m_state->clientCloses;
}

bool LocalHttpServer::waitForClientCloses(int count, int timeoutMs) const
{
    QDeadlineTimer deadline(timeoutMs);
    QMutexLocker lock(&m_state->mutex);
    while (m_state->clientCloses.size() < count) {
        if (!m_state->arrived.wait(&m_state->mutex, deadline))
            return m_state->clientCloses.size() >= count;
    }
    return true;
}

int LocalHttpServer::connectionCount() const
{
    QMutexLocker lock(&m_state->mutex);
    return m_state->connections;
}

static QByteArray readResource(const QString& path)
{
    initTestSupportResources();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

QSslCertificate LocalHttpServer::testCertificate()
{
    return QSslCertificate(readResource(QStringLiteral(":/testsupport/testcert.pem")), QSsl::Pem);
}

QSslKey LocalHttpServer::testKey()
{
    return QSslKey(readResource(QStringLiteral(":/testsupport/testkey.pem")), QSsl::Rsa, QSsl::Pem);
}

void LocalHttpServer::trustTestCertificate(bool trust)
{
    const QSslCertificate cert = testCertificate();
    QSslConfiguration config = QSslConfiguration::defaultConfiguration();
    QList<QSslCertificate> cas = config.caCertificates();
    cas.removeAll(cert);
    if (trust)
        cas.append(cert);
    config.setCaCertificates(cas);
    QSslConfiguration::setDefaultConfiguration(config);
}
