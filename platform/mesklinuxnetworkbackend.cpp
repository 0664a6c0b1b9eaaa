#include "mesklinuxnetworkbackend.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDebug>
#include <QList>
#include <QThread>
#include <QWaitCondition>

#include <algorithm>
#include <utility>

namespace {

using Feature = QNetworkInformation::Feature;
using Reachability = QNetworkInformation::Reachability;
using Medium = QNetworkInformation::TransportMedium;

// The process's network information, the thread it lives on, and its values as that thread last saw
// them. Everything here is guarded by the mutex.
struct SInformationHost
{
    QMutex mutex;
    QWaitCondition loadedCondition;
    QThread* thread = nullptr;
    // Lives on the thread; the end of the application stops the thread through it.
    QObject* anchor = nullptr;
    bool loaded = false;
    bool available = false;
    bool knowsMedium = false;
    Reachability reachability = Reachability::Unknown;
    Medium medium = Medium::Unknown;
    // The backends told of each change, on their own threads.
    QList<IMeskNetworkBackend*> subscribers;
};

SInformationHost& host()
{
    static SInformationHost s_host;
    return s_host;
}

// Runs on the information's thread, with the host locked: the values change, then every backend
// hears of it.
template <typename Value> void change(Value* field, Value value, void (IMeskNetworkBackend::*notice)())
{
    *field = value;
    for (IMeskNetworkBackend* backend : std::as_const(host().subscribers))
        QMetaObject::invokeMethod(
            backend, [backend, notice] { (backend->*notice)(); }, Qt::QueuedConnection);
}

// Runs on the information's thread, before its event loop.
void loadInformation()
{
    bool loaded =
        QNetworkInformation::loadBackendByFeatures(Feature::Reachability | Feature::TransportMedium);
    if (!loaded)
        loaded = QNetworkInformation::loadBackendByFeatures(Feature::Reachability);
    QNetworkInformation* info = loaded ? QNetworkInformation::instance() : nullptr;
    if (info)
        qDebug().noquote() << QStringLiteral("CMeskLinuxNetworkBackend: using %1").arg(info->backendName());
    else
        qDebug().noquote() << QStringLiteral("CMeskLinuxNetworkBackend: no network information backend");
    auto* anchor = new QObject;
    SInformationHost& h = host();
    QMutexLocker lock(&h.mutex);
    h.anchor = anchor;
    if (info) {
        h.available = true;
        h.knowsMedium = info->supports(Feature::TransportMedium);
        h.reachability = info->reachability();
        h.medium = h.knowsMedium ? info->transportMedium() : Medium::Unknown;
        QObject::connect(
            info, &QNetworkInformation::reachabilityChanged, anchor,
            [](Reachability reachability) {
                QMutexLocker lock(&host().mutex);
                change(&host().reachability, reachability, &IMeskNetworkBackend::connectivityChanged);
            },
            Qt::DirectConnection);
        if (h.knowsMedium) {
            QObject::connect(
                info, &QNetworkInformation::transportMediumChanged, anchor,
                [](Medium medium) {
                    QMutexLocker lock(&host().mutex);
                    change(&host().medium, medium, &IMeskNetworkBackend::networkPropertyChanged);
                },
                Qt::DirectConnection);
        }
    }
    h.loaded = true;
    h.loadedCondition.wakeAll();
}

// Called by the application's destructor after Qt has queued the information's own clean-up to its
// thread (routines run in the reverse order of their addition, and this one is added before the
// information exists): the thread runs that clean-up, then ends.
void stopInformationThread()
{
    SInformationHost& h = host();
    QThread* thread = nullptr;
    QObject* anchor = nullptr;
    {
        QMutexLocker lock(&h.mutex);
        // A load still running ends first: the anchor exists once it has.
        while (h.thread && !h.loaded)
            h.loadedCondition.wait(&h.mutex);
        thread = std::exchange(h.thread, nullptr);
        anchor = std::exchange(h.anchor, nullptr);
        h.loaded = false;
        h.available = false;
    }
    if (!thread)
        return;
    QMetaObject::invokeMethod(
        anchor,
        [anchor] {
            delete anchor;
            QThread::currentThread()->quit();
        },
        Qt::QueuedConnection);
    thread->wait();
    delete thread;
}

void startInformationThread()
{
    SInformationHost& h = host();
    QMutexLocker lock(&h.mutex);
    if (h.thread)
        return;
    h.thread = new QThread;
    h.thread->setObjectName(QStringLiteral("Network information"));
    QObject::connect(h.thread, &QThread::started, h.thread, &loadInformation, Qt::DirectConnection);
    qAddPostRoutine(&stopInformationThread);
    h.thread->start();
    // Wakes a thread waiting in waitForStart().
    h.loadedCondition.wakeAll();
}

bool onApplicationThread()
{
    const QCoreApplication* app = QCoreApplication::instance();
    return !app || QThread::currentThread() == app->thread();
}

// A thread other than the application's waits this long for the application's event loop to start
// the load before it starts the load itself; it stops waiting when it is asked to end.
constexpr qint64 kStartWaitMs = 30000;
constexpr qint64 kInterruptionCheckMs = 50;

// Whether the load has started (or the caller may start it); false when the calling thread was asked
// to end while it waited.
bool waitForStart()
{
    SInformationHost& h = host();
    {
        QMutexLocker lock(&h.mutex);
        if (!onApplicationThread()) {
            const QDeadlineTimer deadline(kStartWaitMs);
            while (!h.thread && !deadline.hasExpired()) {
                if (QThread::currentThread()->isInterruptionRequested())
                    return false;
                h.loadedCondition.wait(
                    &h.mutex, QDeadlineTimer(std::min(kInterruptionCheckMs, deadline.remainingTime())));
            }
        }
    }
    startInformationThread();
    return true;
}

} // namespace

CMeskLinuxNetworkBackend::CMeskLinuxNetworkBackend(QObject* parent) : IMeskNetworkBackend(parent)
{
    // The load starts once the application's event loop runs, after the window is up: the plug-ins
    // bring libraries of their own, and loading them beside the GUI thread's would make each wait
    // for the other's turn at the dynamic loader.
    if (onApplicationThread() && QCoreApplication::instance())
        QMetaObject::invokeMethod(
            QCoreApplication::instance(), [] { startInformationThread(); }, Qt::QueuedConnection);
    else
        startInformationThread();
}

CMeskLinuxNetworkBackend::~CMeskLinuxNetworkBackend()
{
    QMutexLocker lock(&host().mutex);
    host().subscribers.removeAll(this);
}

bool CMeskLinuxNetworkBackend::attach() const
{
    QMutexLocker lock(&m_mutex);
    if (!m_attached) {
        if (!waitForStart())
            return false;
        SInformationHost& h = host();
        QMutexLocker hostLock(&h.mutex);
        while (!h.loaded)
            h.loadedCondition.wait(&h.mutex);
        m_attached = true;
        m_available = h.available;
        // Told of every change after the values the queries read from here on.
        if (m_available)
            h.subscribers.append(const_cast<CMeskLinuxNetworkBackend*>(this));
    }
    return m_available;
}

bool CMeskLinuxNetworkBackend::open()
{
    return attach();
}

bool CMeskLinuxNetworkBackend::watch()
{
    // Changes are followed from the first attach on.
    return attach();
}

bool CMeskLinuxNetworkBackend::knowsMedium() const
{
    if (!attach())
        return false;
    QMutexLocker lock(&host().mutex);
    return host().knowsMedium;
}

bool CMeskLinuxNetworkBackend::queryConnectivity(bool* connected)
{
    if (!attach())
        return false;
    QMutexLocker lock(&host().mutex);
    return mapReachability(host().reachability, connected);
}

bool CMeskLinuxNetworkBackend::queryConnectionType(int* type)
{
    if (!attach())
        return false;
    QMutexLocker lock(&host().mutex);
    *type = mapTransportMedium(host().medium);
    return true;
}

bool CMeskLinuxNetworkBackend::mapReachability(QNetworkInformation::Reachability reachability,
                                               bool* connected)
{
    using R = QNetworkInformation::Reachability;
    switch (reachability) {
    case R::Online:
        *connected = true;
        return true;
    case R::Disconnected:
    case R::Local:
    case R::Site:
        *connected = false;
        return true;
    case R::Unknown:
        break;
    }
    return false;
}

int CMeskLinuxNetworkBackend::mapTransportMedium(QNetworkInformation::TransportMedium medium)
{
    using M = QNetworkInformation::TransportMedium;
    switch (medium) {
    case M::Ethernet:
        return 1;
    case M::WiFi:
        return 2;
    case M::Cellular:
        return 3;
    case M::Bluetooth:
    case M::Unknown:
        break;
    }
    return 1;
}
