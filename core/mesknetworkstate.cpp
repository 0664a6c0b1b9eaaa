#include "mesknetworkstate.h"

#include "imesknetworkbackend.h"

CMeskNetworkState::CMeskNetworkState(IMeskNetworkBackend* backend, QObject* parent)
    : QObject(parent), m_backend(backend)
{
}

CMeskNetworkState::~CMeskNetworkState()
{
    uninit();
}

bool CMeskNetworkState::init(IMeskNetworkStateListener* listener)
{
    m_listener = listener;
    if (!m_backend || !m_backend->open()) {
        if (m_listener) {
            m_listener->onNetworkError1();
        }
        return false;
    }

    // Listen before the first reads so that no change between them is missed;
    // an event that arrives meanwhile only re-reads the same values.
    connectBackend();

    readConnectionType();
    readConnectivity();
    {
        // Without connectivity there is no connection type.
        QMutexLocker lock(&m_mutex);
        if (!m_connected) {
            m_type = 0;
        }
    }

    if (!m_backend->watch()) {
        uninit();
        if (m_listener) {
            m_listener->onNetworkError3();
        }
        return false;
    }
    return true;
}

void CMeskNetworkState::uninit()
{
    if (m_connectedToBackend && m_backend) {
        disconnect(m_backend, nullptr, this, nullptr);
    }
    m_connectedToBackend = false;
}

int CMeskNetworkState::connectionType() const
{
    QMutexLocker lock(&m_mutex);
    return m_type;
}

bool CMeskNetworkState::isInternetConnected() const
{
    QMutexLocker lock(&m_mutex);
    return m_connected;
}

void CMeskNetworkState::connectBackend()
{
    const auto queued = Qt::QueuedConnection;
    connect(m_backend, &IMeskNetworkBackend::networkAdded, this, &CMeskNetworkState::onNetworkAdded, queued);
    connect(m_backend, &IMeskNetworkBackend::networkDeleted, this, &CMeskNetworkState::onNetworkDeleted,
            queued);
    connect(m_backend, &IMeskNetworkBackend::networkConnectivityChanged, this,
            &CMeskNetworkState::onNetworkConnectivityChanged, queued);
    connect(m_backend, &IMeskNetworkBackend::networkPropertyChanged, this,
            &CMeskNetworkState::onNetworkPropertyChanged, queued);
    connect(m_backend, &IMeskNetworkBackend::connectivityChanged, this,
            &CMeskNetworkState::onConnectivityChanged, queued);
    m_connectedToBackend = true;
}

void CMeskNetworkState::readConnectivity()
{
    bool connected = false;
    if (!m_backend->queryConnectivity(&connected)) {
        if (m_listener) {
            m_listener->onNetworkError2();
        }
        return;
    }
    QMutexLocker lock(&m_mutex);
    m_connected = connected;
}

void CMeskNetworkState::readConnectionType()
{
    int type = 1;
    if (!m_backend->queryConnectionType(&type)) {
        if (m_listener) {
            m_listener->onNetworkError2();
        }
        return;
    }
    if (type < 1 || type > 3) {
        type = 1;
    }
    QMutexLocker lock(&m_mutex);
    m_type = type;
}

void CMeskNetworkState::refresh()
{
    if (!m_connectedToBackend) {
        return;
    }
    int oldType;
    bool oldConnected;
    {
        QMutexLocker lock(&m_mutex);
        oldType = m_type;
        oldConnected = m_connected;
    }

    readConnectivity();
    const bool connected = isInternetConnected();
    if (connected != oldConnected && m_listener) {
        if (connected) {
            m_listener->onInternetConnected();
        } else {
            m_listener->onInternetDisconnected();
        }
    }

    if (connected) {
        readConnectionType();
        if (connectionType() != oldType && m_listener) {
            m_listener->onConnectionTypeChanged();
        }
    } else {
        QMutexLocker lock(&m_mutex);
        m_type = 0;
    }
}
