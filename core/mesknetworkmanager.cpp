#include "mesknetworkmanager.h"

#include "imeskmodembackend.h"
#include "imesknetworkbackend.h"

#include <QDebug>
#include <QThread>

namespace {
void log(const char* message)
{
    qDebug().noquote() << QStringLiteral("CMeskNetworkManager: %1").arg(QLatin1String(message));
}

// What the getters answer while no network state is published.
constexpr int kUnknownNetworkType = 1;
constexpr bool kUnknownConnected = true;
} // namespace

CMeskNetworkManager::CMeskNetworkManager(QObject* parent)
    : QObject(parent), m_backends(MeskNetworkBackends::create())
{
}

CMeskNetworkManager::~CMeskNetworkManager()
{
    stop();
}

void CMeskNetworkManager::start()
{
    stop();
    m_worker = new QThread;
    m_worker->setObjectName(QStringLiteral("CMeskNetworkManager worker"));
    // Both run on the worker itself: started before its event loop runs,
    // finished after the loop has ended.
    connect(
        m_worker, &QThread::started, m_worker, [this] { initWorker(); }, Qt::DirectConnection);
    connect(
        m_worker, &QThread::finished, m_worker, [this] { releaseWorker(); }, Qt::DirectConnection);
    m_worker->start();
}

void CMeskNetworkManager::stop()
{
    if (!m_worker) {
        return;
    }
    // The worker never waits for this thread, so this cannot deadlock; a backend still waiting to
    // load (until this thread's event loop runs) gives up.
    m_worker->requestInterruption();
    m_worker->quit();
    m_worker->wait();
    delete m_worker;
    m_worker = nullptr;
}

void CMeskNetworkManager::initWorker()
{
    auto* network = new CMeskNetworkState(m_backends.network.get());
    auto* cellular = new CMeskCellularState(m_backends.modem.get());
    {
        QMutexLocker lock(&m_mutex);
        m_cellularState = cellular;
    }

    // The network state's init reads the connection type before the connectivity, and may wait
    // for the system's network information to load: the state is published only once both are
    // read, so the getters never answer a type without its connectivity.
    if (network->init(this)) {
        {
            QMutexLocker lock(&m_mutex);
            m_networkState = network;
        }
        announceLoadedNetwork(*network);
    } else {
        log("failed to init network state listener");
        delete network;
        network = nullptr;
        emit networkListenerFailed();
    }

    if (!cellular->init(this)) {
        log("failed to init cellular network state listener");
        {
            QMutexLocker lock(&m_mutex);
            m_cellularState = nullptr;
        }
        delete cellular;
        cellular = nullptr;
        emit cellularListenerFailed();
    }

    if (network || cellular) {
        emit ready();
    } else {
        emit initFailed();
    }
}

void CMeskNetworkManager::announceLoadedNetwork(const CMeskNetworkState& network)
{
    // Whoever read the getters before the state was published saw the defaults (connected, type
    // 1): the differences are announced as changes, so that a view built meanwhile catches up.
    // The state's own init is silent, and its later changes are announced by the state itself.
    static_assert(kUnknownConnected, "only a disconnection can differ from the defaults");
    if (!network.isInternetConnected()) {
        emit internetDisconnected();
    }
    if (network.connectionType() != kUnknownNetworkType) {
        emit networkChanged();
    }
}

void CMeskNetworkManager::releaseWorker()
{
    CMeskNetworkState* network;
    CMeskCellularState* cellular;
    {
        QMutexLocker lock(&m_mutex);
        network = m_networkState;
        cellular = m_cellularState;
        m_networkState = nullptr;
        m_cellularState = nullptr;
    }
    if (network) {
        network->uninit();
        delete network;
    }
    if (cellular) {
        cellular->uninit();
        delete cellular;
    }
}

int CMeskNetworkManager::networkType() const
{
    QMutexLocker lock(&m_mutex);
    return m_networkState ? m_networkState->connectionType() : kUnknownNetworkType;
}

bool CMeskNetworkManager::isInternetConnected() const
{
    QMutexLocker lock(&m_mutex);
    return m_networkState ? m_networkState->isInternetConnected() : kUnknownConnected;
}

int CMeskNetworkManager::cellularState() const
{
    QMutexLocker lock(&m_mutex);
    return m_cellularState ? m_cellularState->state() : 0;
}

int CMeskNetworkManager::cellularSignal() const
{
    QMutexLocker lock(&m_mutex);
    return m_cellularState ? m_cellularState->signalLevel() : 3;
}

QString CMeskNetworkManager::operatorName() const
{
    QMutexLocker lock(&m_mutex);
    return m_cellularState ? m_cellularState->providerName() : QString();
}

QString CMeskNetworkManager::ownPhoneNumber() const
{
    QMutexLocker lock(&m_mutex);
    return m_cellularState ? m_cellularState->phoneNumber() : QString();
}

void CMeskNetworkManager::onConnectionTypeChanged()
{
    emit networkChanged();
}

void CMeskNetworkManager::onInternetConnected()
{
    emit internetConnected();
}

void CMeskNetworkManager::onInternetDisconnected()
{
    emit internetDisconnected();
}

void CMeskNetworkManager::onNetworkError1()
{
    log("network list manager not supported");
}

void CMeskNetworkManager::onNetworkError2()
{
    log("state change error");
}

void CMeskNetworkManager::onNetworkError3()
{
    log("network state fatal error");
}

void CMeskNetworkManager::onCellularStateChanged(int)
{
    emit cellularStateChanged();
}

void CMeskNetworkManager::onCellularInfoChanged()
{
    emit cellularStateChanged();
}

void CMeskNetworkManager::onCellularSignalChanged()
{
    emit cellularSignalChanged();
}

void CMeskNetworkManager::onCellularError1()
{
    log("there is no mobile broad band API available");
}

void CMeskNetworkManager::onCellularError2()
{
    log("mobile broad band API request failed");
}

void CMeskNetworkManager::onCellularError3()
{
    log("mobile broad band fatal error");
}
