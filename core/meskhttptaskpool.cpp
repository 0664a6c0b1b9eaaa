#include "meskhttptaskpool.h"

#include "mesksavefile.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDebug>
#include <QFile>
#include <QMutexLocker>
#include <QNetworkAccessManager>
#include <QNetworkCookie>
#include <QNetworkCookieJar>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSaveFile>
#include <QTimer>
#include <QUrl>

#include <atomic>
#include <climits>

namespace {

// The one pool of the process; read and written on the GUI thread only.
CMeskHttpTaskPool* s_pool = nullptr;
std::atomic<int> s_transferTimeoutMs{120000};
std::atomic<int> s_memoryDeadlineMs{5 * 60 * 1000};
std::atomic<int> s_fileDeadlineMs{30 * 60 * 1000};

// A cookie jar that keeps nothing: no request carries a cookie, no answer stores one.
class CMeskNoCookieJar : public QNetworkCookieJar
{
public:
    QList<QNetworkCookie> cookiesForUrl(const QUrl&) const override { return {}; }
    bool setCookiesFromUrl(const QList<QNetworkCookie>&, const QUrl&) override { return false; }
};

// An error that QNAM derives from an HTTP status the server sent: the reply is still a response.
bool isStatusError(QNetworkReply::NetworkError error)
{
    return error == QNetworkReply::NoError ||
           (error >= QNetworkReply::ContentAccessDenied && error <= QNetworkReply::UnknownContentError) ||
           error == QNetworkReply::ProtocolInvalidOperationError ||
           (error >= QNetworkReply::InternalServerError && error <= QNetworkReply::UnknownServerError);
}

int clampToInt(qint64 value)
{
    if (value < 0)
        return 0;
    return value > INT_MAX ? INT_MAX : static_cast<int>(value);
}

} // namespace

// ---------------------------------------------------------------------------------------------
// CMeskPoolEvent

CMeskPoolEvent::CMeskPoolEvent(IMeskHttpTaskObserver* observer, int kind, const QString& url,
                               const QString& fileName, const QByteArray& body, int taskId, int deadlineMs)
    : QEvent(EventType), observer(observer), kind(kind), url(url), fileName(fileName), body(body),
      taskId(taskId), deadlineMs(deadlineMs)
{
}

// ---------------------------------------------------------------------------------------------
// CMeskPoolEventProxy

CMeskPoolEventProxy::CMeskPoolEventProxy(CMeskHttpTaskPool* pool) : m_pool(pool) {}

bool CMeskPoolEventProxy::event(QEvent* e)
{
    if (e->type() == CMeskPoolEvent::EventType) {
        m_pool->customEvent(e);
        return true;
    }
    return QObject::event(e);
}

// ---------------------------------------------------------------------------------------------
// CMeskHttpTaskList

CMeskHttpTaskList::CMeskHttpTaskList() = default;

void CMeskHttpTaskList::addPending(int id, IMeskHttpTaskObserver* observer)
{
    QMutexLocker lock(&m_mutex);
    m_pending.insert(id, Pending{observer, false});
}

CMeskHttpTask* CMeskHttpTaskList::createTask(IMeskHttpTaskObserver* observer, int id,
                                             QNetworkAccessManager* nam)
{
    QMutexLocker lock(&m_mutex);
    for (auto it = m_pending.find(id); it != m_pending.end() && it.key() == id; ++it) {
        if (it.value().observer != observer)
            continue;
        // A request cancelled before its event arrived is never sent.
        const bool cancelled = it.value().cancelled;
        m_pending.erase(it);
        if (cancelled)
            return nullptr;
        auto* task = new CMeskHttpTask(observer, id, nam, this);
        m_tasks.insert(id, task);
        return task;
    }
    return nullptr;
}

void CMeskHttpTaskList::cancelTask(int id, IMeskHttpTaskObserver* observer)
{
    QMutexLocker lock(&m_mutex);
    for (auto it = m_pending.find(id); it != m_pending.end() && it.key() == id; ++it) {
        if (!observer || it.value().observer == observer)
            it.value().cancelled = true;
    }
    for (auto it = m_tasks.constFind(id); it != m_tasks.constEnd() && it.key() == id; ++it) {
        CMeskHttpTask* task = it.value();
        if (!task->detachObserver(observer))
            continue;
        // The transfer stops on the pool thread. The task cannot go away before the call is
        // posted (its destructor takes this mutex first), and a task deleted meanwhile takes
        // its posted calls with it.
        QMetaObject::invokeMethod(task, &CMeskHttpTask::dropCancelled, Qt::QueuedConnection);
    }
    for (auto it = m_ended.find(id); it != m_ended.end() && it.key() == id;) {
        if (observer && it.value().observer != observer) {
            ++it;
            continue;
        }
        if (const auto detached = it.value().detached.lock())
            detached->store(true);
        it = m_ended.erase(it);
    }
}

void CMeskHttpTaskList::abortAll()
{
    QList<CMeskHttpTask*> tasks;
    {
        QMutexLocker lock(&m_mutex);
        m_pending.clear();
        for (const Ended& ended : std::as_const(m_ended)) {
            if (const auto detached = ended.detached.lock())
                detached->store(true);
        }
        m_ended.clear();
        tasks = m_tasks.values();
        for (CMeskHttpTask* task : std::as_const(tasks))
            task->detachObserver();
    }
    // Deleting a task takes the list mutex (forget), so it happens outside the lock.
    for (CMeskHttpTask* task : std::as_const(tasks)) {
        task->abort();
        delete task;
    }
}

void CMeskHttpTaskList::forget(CMeskHttpTask* task)
{
    QMutexLocker lock(&m_mutex);
    m_tasks.remove(task->taskId(), task);
    // Ends delivered (or dropped with their observer) have released their flag.
    m_ended.removeIf(
        [](const QMultiHash<int, Ended>::iterator& it) { return it.value().detached.expired(); });
    // The observer is only changed under this mutex (cancelTask, abortAll).
    if (task->m_observer)
        m_ended.insert(task->taskId(), Ended{task->m_observer, task->m_detached});
}

// ---------------------------------------------------------------------------------------------
// CMeskHttpTask

CMeskHttpTask::CMeskHttpTask(IMeskHttpTaskObserver* observer, int id, QNetworkAccessManager* nam,
                             CMeskHttpTaskList* list)
    : QObject(list), m_observer(observer), m_nam(nam), m_list(list), m_taskId(id)
{
    if (m_observer) {
        // The end travels queued to the observer's thread. Disconnecting does not recall an end
        // already on its way, so it looks on arrival whether the observer was detached meanwhile.
        IMeskHttpTaskObserver* target = m_observer;
        const std::shared_ptr<std::atomic<bool>> detached = m_detached;
        m_doneConnection = connect(this, &CMeskHttpTask::taskDone, m_observer, [target, detached] {
            if (!detached->load())
                target->onTaskDone();
        });
        m_failedConnection =
            connect(this, &CMeskHttpTask::taskFailed, m_observer, [target, detached](TMeskHttpError error) {
                if (!detached->load())
                    target->onTaskFailed(error);
            });
    }
}

CMeskHttpTask::~CMeskHttpTask()
{
    // Wait for a cancel look-up in progress before the task goes away.
    m_list->forget(this);
    abort();
}

TMeskHttpError CMeskHttpTask::mapError(int networkError)
{
    switch (static_cast<QNetworkReply::NetworkError>(networkError)) {
    case QNetworkReply::NoError:
        return HttpNoError;
    case QNetworkReply::HostNotFoundError:
        return HttpHostNotFound;
    case QNetworkReply::ConnectionRefusedError:
        return HttpConnectionRefused;
    case QNetworkReply::RemoteHostClosedError:
        return HttpUnexpectedClose;
    case QNetworkReply::OperationCanceledError:
    case QNetworkReply::TimeoutError:
        return HttpAborted;
    case QNetworkReply::ProxyAuthenticationRequiredError:
        return HttpProxyAuthenticationRequired;
    case QNetworkReply::ProtocolFailure:
        return HttpInvalidResponseHeader;
    default:
        return HttpUnknownError;
    }
}

bool CMeskHttpTask::detachObserver(IMeskHttpTaskObserver* only)
{
    QMutexLocker lock(&m_mutex);
    if (!m_observer)
        return true;
    if (only && only != m_observer)
        return false;
    m_detached->store(true);
    disconnect(m_doneConnection);
    disconnect(m_failedConnection);
    m_observer = nullptr;
    return true;
}

void CMeskHttpTask::dropCancelled()
{
    {
        QMutexLocker lock(&m_mutex);
        if (m_observer)
            return;
    }
    abort();
    deleteLater();
}

void CMeskHttpTask::abort()
{
    if (!m_reply)
        return;
    QNetworkReply* reply = m_reply;
    m_reply = nullptr;
    if (m_deadline)
        m_deadline->stop();
    disconnect(reply, nullptr, this, nullptr);
    reply->abort();
    delete reply;
    m_target.reset(); // an unfinished download is discarded; an earlier file stays
    m_source.reset();
}

bool CMeskHttpTask::prepare(const QString& url, QUrl* parsed)
{
    const QUrl u = QUrl::fromEncoded(url.toUtf8(), QUrl::StrictMode);
    const QString scheme = u.scheme();
    if (!u.isValid() || u.host().isEmpty() ||
        (scheme != QLatin1String("http") && scheme != QLatin1String("https"))) {
        qDebug().noquote() << QStringLiteral("CMeskHttpTask: url parsing failed ") + url;
        fail(HttpUnknownError);
        return false;
    }
    m_body.clear();
    *parsed = u;
    return true;
}

void CMeskHttpTask::get(const QString& url)
{
    QUrl u;
    if (prepare(url, &u))
        start(Get, u, nullptr, nullptr);
}

void CMeskHttpTask::getToFile(const QString& url, const QString& fileName)
{
    QUrl u;
    if (!prepare(url, &u))
        return;
    // The body goes into a temporary sibling that replaces the target only after a 2xx answer,
    // so a failed download never destroys a good earlier file.
    m_target = std::make_unique<QSaveFile>(fileName);
    if (!m_target->open(QIODevice::WriteOnly)) {
        m_target.reset();
        qDebug().noquote() << QStringLiteral("CMeskHttpTask: failed to open file ") + fileName;
        fail(HttpUnknownError);
        return;
    }
    start(Get, u, nullptr, nullptr);
}

void CMeskHttpTask::post(const QString& url, const QByteArray& body)
{
    QUrl u;
    if (prepare(url, &u))
        start(Post, u, &body, nullptr);
}

void CMeskHttpTask::postFile(const QString& url, const QString& fileName)
{
    QUrl u;
    if (!prepare(url, &u))
        return;
    // The source is only read; nothing ever removes it.
    m_source = std::make_unique<QFile>(fileName);
    if (!m_source->open(QIODevice::ReadOnly)) {
        m_source.reset();
        qDebug().noquote() << QStringLiteral("CMeskHttpTask: failed to open file ") + fileName;
        fail(HttpUnknownError);
        return;
    }
    start(Post, u, nullptr, m_source.get());
}

void CMeskHttpTask::start(Method method, const QUrl& url, const QByteArray* body, QIODevice* device)
{
    QNetworkRequest request(url);
    request.setRawHeader("User-Agent", "Velto Lumesk");
    request.setRawHeader("Connection", "close");
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    request.setAttribute(QNetworkRequest::Http2AllowedAttribute, false);
    request.setAttribute(QNetworkRequest::CookieLoadControlAttribute, QNetworkRequest::Manual);
    request.setAttribute(QNetworkRequest::CookieSaveControlAttribute, QNetworkRequest::Manual);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    request.setTransferTimeout(s_transferTimeoutMs.load());
    // The inactivity timeout restarts with every byte: an answer that trickles in would never end
    // without a deadline for the whole request. A timer, not a check on read: a server may send nothing.
    if (!m_deadline) {
        m_deadline = new QTimer(this);
        m_deadline->setSingleShot(true);
        connect(m_deadline, &QTimer::timeout, this, &CMeskHttpTask::_onDeadline);
    }
    m_deadline->start(m_deadlineMs > 0 ? m_deadlineMs
                                       : CMeskHttpTaskPool::defaultDeadline(m_target != nullptr));

    if (method == Get) {
        m_reply = m_nam->get(request);
    } else {
        // The form encoding QNAM would pick anyway; naming it keeps QNAM from warning.
        request.setHeader(QNetworkRequest::ContentTypeHeader,
                          QByteArrayLiteral("application/x-www-form-urlencoded"));
        m_reply = device ? m_nam->post(request, device) : m_nam->post(request, *body);
        connect(m_reply, &QNetworkReply::uploadProgress, this, &CMeskHttpTask::_onProgress);
    }
    connect(m_reply, &QNetworkReply::readyRead, this, &CMeskHttpTask::_onReadyRead);
    connect(m_reply, &QNetworkReply::downloadProgress, this, &CMeskHttpTask::_onProgress);
    connect(m_reply, &QNetworkReply::finished, this, &CMeskHttpTask::_onFinished);
}

void CMeskHttpTask::fail(TMeskHttpError error)
{
    {
        QMutexLocker lock(&m_mutex);
        if (m_observer)
            emit taskFailed(error);
    }
    deleteLater();
}

void CMeskHttpTask::_onReadyRead()
{
    if (!m_reply || !m_reply->isOpen())
        return;
    if (m_target) {
        const QByteArray data = m_reply->readAll();
        if (!data.isEmpty() && !m_writeFailed && m_target->write(data) != data.size())
            m_writeFailed = true;
        return;
    }
    // An answer kept in memory ends at the limit: an announced length beyond it is refused at
    // once, and of an unannounced one at most one byte past the limit is read.
    bool announced = false;
    const qint64 length = m_reply->header(QNetworkRequest::ContentLengthHeader).toLongLong(&announced);
    if (announced && length > MeskHttpMaxBodySize) {
        refuseTooLarge();
        return;
    }
    m_body.append(m_reply->read(MeskHttpMaxBodySize - m_body.size() + 1));
    if (m_body.size() > MeskHttpMaxBodySize)
        refuseTooLarge();
}

void CMeskHttpTask::refuseTooLarge()
{
    qDebug().noquote()
        << QStringLiteral("CMeskHttpTask: answer larger than %1 bytes refused").arg(MeskHttpMaxBodySize);
    end(HttpResponseTooLarge);
}

void CMeskHttpTask::_onDeadline()
{
    if (!m_reply)
        return;
    qDebug().noquote() << QStringLiteral("CMeskHttpTask: no complete answer within %1 ms, aborted")
                              .arg(m_deadline->interval());
    end(HttpTimedOut);
}

void CMeskHttpTask::end(TMeskHttpError error)
{
    QNetworkReply* reply = m_reply;
    m_reply = nullptr;
    if (m_deadline)
        m_deadline->stop();
    disconnect(reply, nullptr, this, nullptr);
    reply->abort();
    reply->deleteLater();
    m_body = QByteArray();
    m_source.reset();
    m_target.reset(); // an unfinished download is discarded; an earlier file stays
    fail(error);
}

void CMeskHttpTask::_onProgress(qint64 done, qint64 total)
{
    QMutexLocker lock(&m_mutex);
    if (m_observer)
        m_observer->onTaskProgress(clampToInt(done), clampToInt(total));
}

void CMeskHttpTask::_onFinished()
{
    _onReadyRead();
    if (!m_reply)
        return; // refused as too large
    QNetworkReply* reply = m_reply;
    m_reply = nullptr;
    if (m_deadline)
        m_deadline->stop();
    disconnect(reply, nullptr, this, nullptr);
    reply->deleteLater();
    deleteLater();

    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    const QNetworkReply::NetworkError error = reply->error();
    const bool isResponse = status.isValid() && status.toInt() > 0 && isStatusError(error);
    m_source.reset();

    if (!isResponse) {
        m_target.reset(); // discards the temporary file
        fail(mapError(error));
        return;
    }

    SMeskHttpResponseHeader header;
    header.statusCode = status.toInt();
    header.reasonPhrase =
        QString::fromUtf8(reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toByteArray());
    const auto pairs = reply->rawHeaderPairs();
    for (const auto& pair : pairs)
        header.headers.append({QString::fromUtf8(pair.first), QString::fromUtf8(pair.second)});

    if (m_target) {
        const QString fileName = m_target->fileName();
        const bool success = header.statusCode >= 200 && header.statusCode < 300;
        if (success && (m_writeFailed || !MeskSaveFile::commit(*m_target))) {
            qDebug().noquote() << QStringLiteral("CMeskHttpTask: failed to write file ") + fileName;
            m_target.reset();
            fail(HttpUnknownError);
            return;
        }
        m_target.reset(); // without a commit the temporary goes, an earlier file stays
    }

    QMutexLocker lock(&m_mutex);
    if (m_observer) {
        m_observer->onTaskResponse(header, m_body);
        emit taskDone();
    }
}

// ---------------------------------------------------------------------------------------------
// CMeskHttpTaskPool

CMeskHttpTaskPool::CMeskHttpTaskPool()
{
    qRegisterMetaType<TMeskHttpError>("TMeskHttpError");
    qRegisterMetaType<SMeskHttpResponseHeader>("SMeskHttpResponseHeader");
    // Both exist before the thread starts: requests posted right after init wait in the
    // receiver's queue until the pool thread's event loop runs.
    m_taskList = new CMeskHttpTaskList;
    m_taskList->moveToThread(this);
    m_receiver = new CMeskPoolEventProxy(this);
    m_receiver->moveToThread(this);
}

CMeskHttpTaskPool::~CMeskHttpTaskPool()
{
    if (s_pool == this)
        s_pool = nullptr;
    stop();
    delete m_receiver;
    delete m_taskList;
}

CMeskHttpTaskPool* CMeskHttpTaskPool::instance()
{
    if (!s_pool)
        s_pool = new CMeskHttpTaskPool;
    return s_pool;
}

void CMeskHttpTaskPool::init(QObject* parent)
{
    CMeskHttpTaskPool* pool = instance();
    if (pool->m_accepting)
        return;
    pool->start(QThread::InheritPriority);
    pool->m_accepting = true;
    pool->setParent(parent);
}

void CMeskHttpTaskPool::shutdown()
{
    CMeskHttpTaskPool* pool = s_pool;
    if (!pool)
        return;
    s_pool = nullptr;
    pool->stop();
    delete pool;
}

bool CMeskHttpTaskPool::isPoolRunning()
{
    return s_pool && s_pool->m_accepting;
}

void CMeskHttpTaskPool::stop()
{
    m_accepting = false;
    if (!isRunning())
        return;
    // On the pool thread: detach every observer and drop every request, then leave the loop.
    QMetaObject::invokeMethod(
        m_receiver,
        [this] {
            m_taskList->abortAll();
            quit();
        },
        Qt::QueuedConnection);
    if (wait(QDeadlineTimer(3000)))
        return;
    // The thread must have finished before the pool is deleted (deleting a running thread ends
    // the process): wait on, and say so once a second.
    for (int waitedMs = 3000;; waitedMs += 1000) {
        qDebug().noquote() << QStringLiteral(
                                  "CMeskHttpTaskPool: pool thread still running after %1 ms, waiting")
                                  .arg(waitedMs);
        if (wait(QDeadlineTimer(1000)))
            return;
    }
}

void CMeskHttpTaskPool::run()
{
    auto* nam = new QNetworkAccessManager;
    nam->setRedirectPolicy(QNetworkRequest::ManualRedirectPolicy);
    nam->setCookieJar(new CMeskNoCookieJar);
    nam->setAutoDeleteReplies(false);
    m_nam = nam;
    exec();
    m_taskList->abortAll();
    m_nam = nullptr;
    delete nam;
}

void CMeskHttpTaskPool::customEvent(QEvent* e)
{
    if (e->type() != CMeskPoolEvent::EventType || QThread::currentThread() != this || !m_nam)
        return;
    auto* ev = static_cast<CMeskPoolEvent*>(e);
    if (ev->kind < CMeskPoolEvent::KindGet || ev->kind > CMeskPoolEvent::KindPostFile)
        return;
    CMeskHttpTask* task = m_taskList->createTask(ev->observer, ev->taskId, m_nam);
    if (!task)
        return;
    task->setDeadline(ev->deadlineMs);
    switch (ev->kind) {
    case CMeskPoolEvent::KindGet:
        task->get(ev->url);
        break;
    case CMeskPoolEvent::KindGetToFile:
        task->getToFile(ev->url, ev->fileName);
        break;
    case CMeskPoolEvent::KindPost:
        task->post(ev->url, ev->body);
        break;
    case CMeskPoolEvent::KindPostFile:
        task->postFile(ev->url, ev->fileName);
        break;
    }
}

int CMeskHttpTaskPool::nextTaskId()
{
    m_taskCounter = m_taskCounter >= INT_MAX || m_taskCounter < 0 ? 1 : m_taskCounter + 1;
    return m_taskCounter;
}

int CMeskHttpTaskPool::enqueue(CMeskPoolEvent::Kind kind, const QString& url, const QString& fileName,
                               const QByteArray& body, IMeskHttpTaskObserver* observer, int deadlineMs)
{
    if (!isPoolRunning()) {
        qDebug().noquote() << QStringLiteral(
            "CMeskHttpTaskPool: task pool is not running, you need to call CMeskHttpTaskPool::init");
        return -1;
    }
    const int id = s_pool->nextTaskId();
    s_pool->m_taskList->addPending(id, observer);
    QCoreApplication::postEvent(s_pool->m_receiver,
                                new CMeskPoolEvent(observer, kind, url, fileName, body, id, deadlineMs));
    return id;
}

int CMeskHttpTaskPool::get(const QString& url, IMeskHttpTaskObserver* observer, int deadlineMs)
{
    return enqueue(CMeskPoolEvent::KindGet, url, {}, {}, observer, deadlineMs);
}

int CMeskHttpTaskPool::getToFile(const QString& url, const QString& fileName, IMeskHttpTaskObserver* observer,
                                 int deadlineMs)
{
    return enqueue(CMeskPoolEvent::KindGetToFile, url, fileName, {}, observer, deadlineMs);
}

int CMeskHttpTaskPool::post(const QString& url, const QByteArray& body, IMeskHttpTaskObserver* observer,
                            int deadlineMs)
{
    return enqueue(CMeskPoolEvent::KindPost, url, {}, body, observer, deadlineMs);
}

int CMeskHttpTaskPool::postFile(const QString& url, const QString& fileName, IMeskHttpTaskObserver* observer,
                                int deadlineMs)
{
    return enqueue(CMeskPoolEvent::KindPostFile, url, fileName, {}, observer, deadlineMs);
}

void CMeskHttpTaskPool::cancelTask(int id, IMeskHttpTaskObserver* observer)
{
    if (s_pool && id > 0)
        s_pool->m_taskList->cancelTask(id, observer);
}

void CMeskHttpTaskPool::setTransferTimeout(int msecs)
{
    s_transferTimeoutMs.store(msecs);
}

int CMeskHttpTaskPool::transferTimeout()
{
    return s_transferTimeoutMs.load();
}

void CMeskHttpTaskPool::setDefaultDeadlines(int memoryMsecs, int fileMsecs)
{
    s_memoryDeadlineMs.store(memoryMsecs);
    s_fileDeadlineMs.store(fileMsecs);
}

int CMeskHttpTaskPool::defaultDeadline(bool toFile)
{
    return toFile ? s_fileDeadlineMs.load() : s_memoryDeadlineMs.load();
}

void CMeskHttpTaskPool::setTaskCounterForTest(int value)
{
    if (s_pool)
        s_pool->m_taskCounter = value;
}
