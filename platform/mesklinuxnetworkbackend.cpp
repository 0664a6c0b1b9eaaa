#include "mesklinuxnetworkbackend.h"

#include <QDebug>

CMeskLinuxNetworkBackend::CMeskLinuxNetworkBackend(QObject* parent) : IMeskNetworkBackend(parent)
{
    using Feature = QNetworkInformation::Feature;
    bool loaded =
        QNetworkInformation::loadBackendByFeatures(Feature::Reachability | Feature::TransportMedium);
    if (!loaded) {
        loaded = QNetworkInformation::loadBackendByFeatures(Feature::Reachability);
    }
    QNetworkInformation* info = loaded ? QNetworkInformation::instance() : nullptr;
    if (!info) {
        qDebug().noquote() << QStringLiteral("CMeskLinuxNetworkBackend: no network information backend");
        return;
    }
    qDebug().noquote() << QStringLiteral("CMeskLinuxNetworkBackend: using %1").arg(info->backendName());

    {
        QMutexLocker lock(&m_mutex);
        m_loaded = true;
        m_knowsMedium = info->supports(Feature::TransportMedium);
        m_reachability = info->reachability();
        m_medium = m_knowsMedium ? info->transportMedium() : QNetworkInformation::TransportMedium::Unknown;
    }
    connect(info, &QNetworkInformation::reachabilityChanged, this,
            &CMeskLinuxNetworkBackend::_onReachabilityChanged);
    if (m_knowsMedium) {
        connect(info, &QNetworkInformation::transportMediumChanged, this,
                &CMeskLinuxNetworkBackend::_onTransportMediumChanged);
    }
}

CMeskLinuxNetworkBackend::~CMeskLinuxNetworkBackend() = default;

bool CMeskLinuxNetworkBackend::open()
{
    QMutexLocker lock(&m_mutex);
    return m_loaded;
}

bool CMeskLinuxNetworkBackend::watch()
{
    // The connections are made when the information is loaded.
    QMutexLocker lock(&m_mutex);
    return m_loaded;
}

bool CMeskLinuxNetworkBackend::knowsMedium() const
{
    QMutexLocker lock(&m_mutex);
    return m_knowsMedium;
}

bool CMeskLinuxNetworkBackend::queryConnectivity(bool* connected)
{
    QMutexLocker lock(&m_mutex);
    return m_loaded && mapReachability(m_reachability, connected);
}

bool CMeskLinuxNetworkBackend::queryConnectionType(int* type)
{
    QMutexLocker lock(&m_mutex);
    if (!m_loaded) {
        return false;
    }
    *type = mapTransportMedium(m_medium);
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

void CMeskLinuxNetworkBackend::_onReachabilityChanged(QNetworkInformation::Reachability reachability)
{
    {
        QMutexLocker lock(&m_mutex);
        m_reachability = reachability;
    }
    emit connectivityChanged();
}

void CMeskLinuxNetworkBackend::_onTransportMediumChanged(QNetworkInformation::TransportMedium medium)
{
    {
        QMutexLocker lock(&m_mutex);
        m_medium = medium;
    }
    emit networkPropertyChanged();
}
