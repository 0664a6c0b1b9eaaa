#pragma once

#include "imesknetworkbackend.h"

#include <QMutex>
#include <QWaitCondition>

// A network backend that tests drive by hand.
//
//   auto* net = new FakeNetworkBackend;     // online over Ethernet
//   net->setOnline(false);                  // emits connectivityChanged()
//   net->setMedium(2);                      // emits networkPropertyChanged()
//   net->setConnectivityQueryFails(true);   // the next query answers false
//   emit net->networkAdded();               // any of the five signals by hand
//   net->hold(); ... net->release();        // open() waits in between
//
// Hand it to the network manager through MeskNetworkBackends::setFactory.
// Every member is thread-safe; signals are emitted on the calling thread.
class FakeNetworkBackend : public IMeskNetworkBackend
{
    Q_OBJECT
public:
    using IMeskNetworkBackend::IMeskNetworkBackend;

    // open() answers false when unsupported.
    void setSupported(bool supported);
    void setWatchFails(bool fails);
    // Changes connectivity; emits connectivityChanged() when it changed.
    void setOnline(bool online);
    // Connection type the query reports: 1 wired, 2 WLAN, 3 mobile broadband.
    // Emits networkPropertyChanged() when it changed.
    void setMedium(int type);
    void setConnectivityQueryFails(bool fails);
    void setTypeQueryFails(bool fails);
    // While held, open() waits, as the system's network information does until it has loaded: a
    // test builds its window on the defaults, then releases. A thread asked to end (a network
    // manager stopping) stops waiting, and open() answers false.
    void hold();
    void release();

    // How often each query was asked.
    int connectivityQueries() const;
    int typeQueries() const;

    bool open() override;
    bool watch() override;
    bool queryConnectivity(bool* connected) override;
    bool queryConnectionType(int* type) override;

private:
    mutable QMutex m_mutex;
    QWaitCondition m_released;
    bool m_held = false;
    bool m_supported = true;
    bool m_watchFails = false;
    bool m_online = true;
    int m_medium = 1;
    bool m_connectivityFails = false;
    bool m_typeFails = false;
    int m_connectivityQueries = 0;
    int m_typeQueries = 0;
};
