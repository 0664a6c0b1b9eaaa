#pragma once

#include "imesknetworkbackend.h"

#include <QMutex>
#include <QNetworkInformation>

// Network backend over Qt's process-wide QNetworkInformation.
//
// The information is loaded on a thread of its own, started once the application's event loop runs
// (or at the first query from the application's thread) and ended with the application: loading the
// plug-ins and the system's backend takes milliseconds the GUI thread need not wait for, and the
// backend's events need a thread that runs an event loop for as long as the information exists.
// open() and the queries wait for that load (on the thread that asks, normally the network
// manager's worker, which gives up when asked to end; one that waits 30 s for the event loop starts
// the load itself). That thread keeps the values under a mutex, which makes
// the queries safe from any thread; changes are reported on the thread the backend belongs to.
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
    // Waits for the load the first time; whether there is information.
    bool attach() const;

    mutable QMutex m_mutex;
    mutable bool m_attached = false;
    mutable bool m_available = false;
};
