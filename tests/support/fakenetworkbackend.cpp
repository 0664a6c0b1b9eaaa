#include "fakenetworkbackend.h"

#include <QThread>

void FakeNetworkBackend::setSupported(bool supported)
{
    QMutexLocker lock(&m_mutex);
    m_supported = supported;
}

void FakeNetworkBackend::setWatchFails(bool fails)
{
    QMutexLocker lock(&m_mutex);
    m_watchFails = fails;
}

void FakeNetworkBackend::setOnline(bool online)
{
    {
        QMutexLocker lock(&m_mutex);
        if (m_online == online) {
            return;
        }
        m_online = online;
    }
    emit connectivityChanged();
}

void FakeNetworkBackend::setMedium(int type)
{
    {
        QMutexLocker lock(&m_mutex);
        if (m_medium == type) {
            return;
        }
        m_medium = type;
    }
    emit networkPropertyChanged();
}

void FakeNetworkBackend::setConnectivityQueryFails(bool fails)
{
    QMutexLocker lock(&m_mutex);
    m_connectivityFails = fails;
}

void FakeNetworkBackend::setTypeQueryFails(bool fails)
{
    QMutexLocker lock(&m_mutex);
    m_typeFails = fails;
}

void FakeNetworkBackend::hold()
{
    QMutexLocker lock(&m_mutex);
    m_held = true;
}

void FakeNetworkBackend::release()
{
    QMutexLocker lock(&m_mutex);
    m_held = false;
    m_released.wakeAll();
}

int FakeNetworkBackend::connectivityQueries() const
{
    QMutexLocker lock(&m_mutex);
    return m_connectivityQueries;
}

int FakeNetworkBackend::typeQueries() const
{
    QMutexLocker lock(&m_mutex);
    return m_typeQueries;
}

bool FakeNetworkBackend::open()
{
    QMutexLocker lock(&m_mutex);
    while (m_held) {
        if (QThread::currentThread()->isInterruptionRequested()) {
            return false;
        }
        m_released.wait(&m_mutex, 50);
    }
    return m_supported;
}

bool FakeNetworkBackend::watch()
{
    QMutexLocker lock(&m_mutex);
    return m_supported && !m_watchFails;
}

bool FakeNetworkBackend::queryConnectivity(bool* connected)
{
    QMutexLocker lock(&m_mutex);
    ++m_connectivityQueries;
    if (!m_supported || m_connectivityFails) {
        return false;
    }
    *connected = m_online;
    return true;
}

bool FakeNetworkBackend::queryConnectionType(int* type)
{
    QMutexLocker lock(&m_mutex);
    ++m_typeQueries;
    if (!m_supported || m_typeFails) {
        return false;
    }
    *type = m_medium;
    return true;
}
