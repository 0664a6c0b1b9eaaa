#pragma once

#include "imesknetworkbackend.h"

#include <QMutex>
#include <QNetworkInformation>

// Network backend over Qt's process-wide QNetworkInformation.
//
// QNetworkInformation belongs to the thread that loaded it, so the backend
// loads it in its constructor: construct it on the GUI thread. The values are
// cached under a mutex, which makes the queries safe from any thread.
class CMeskLinuxNetworkBackend : public IMeskNetworkBackend
{
    Q_OBJECT
public:
    explicit CMeskLinuxNetworkBackend(QObject* parent = nullptr);
    ~CMeskLinuxNetworkBackend() override;

    bool open() override;
    bool watch() override;
    bool queryConnectivity(bool* connected) override;
    bool queryConnectionType(int* type) override;

    // Whether the loaded backend reports the transport medium.
    bool knowsMedium() const;

    // Online counts as connected; Disconnected, Local and Site do not;
    // Unknown gives false (the query failed).
    static bool mapReachability(QNetworkInformation::Reachability reachability, bool* connected);
    // Ethernet 1, WiFi 2, Cellular 3, anything else 1.
    static int mapTransportMedium(QNetworkInformation::TransportMedium medium);

private:
    void _onReachabilityChanged(QNetworkInformation::Reachability reachability);
    void _onTransportMediumChanged(QNetworkInformation::TransportMedium medium);

    mutable QMutex m_mutex;
    bool m_loaded = false;
    bool m_knowsMedium = false;
    QNetworkInformation::Reachability m_reachability = QNetworkInformation::Reachability::Unknown;
    QNetworkInformation::TransportMedium m_medium = QNetworkInformation::TransportMedium::Unknown;
};
