#pragma once

#include <QObject>

// Where the Internet state comes from. The network state object asks the
// backend for the current values and re-reads them whenever one of the
// signals fires. The signals carry no arguments: each only says "something
// may have changed".
class IMeskNetworkBackend : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;
    ~IMeskNetworkBackend() override = default;

    // False when the system offers no network information at all.
    virtual bool open() = 0;
    // False when change events cannot be delivered.
    virtual bool watch() = 0;

    // Both queries may be called from any thread; false means the query
    // failed and the out value is left alone.
    virtual bool queryConnectivity(bool* connected) = 0;
    // Connection type: 1 wired or other, 2 wireless LAN, 3 mobile broadband.
    virtual bool queryConnectionType(int* type) = 0;

signals:
    void networkAdded();
    void networkDeleted();
    void networkConnectivityChanged();
    void networkPropertyChanged();
    void connectivityChanged();
};
