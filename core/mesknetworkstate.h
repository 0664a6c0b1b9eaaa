#pragma once

#include <QMutex>
#include <QObject>

class IMeskNetworkBackend;

// What the network state reports to its owner. Called on the thread the
// network state lives on.
class IMeskNetworkStateListener
{
public:
    virtual ~IMeskNetworkStateListener() = default;
    // The connection type changed while connected.
    virtual void onConnectionTypeChanged() = 0;
    virtual void onInternetConnected() = 0;
    virtual void onInternetDisconnected() = 0;
    // No network information is available at all.
    virtual void onNetworkError1() = 0;
    // A connectivity or connection-type query failed.
    virtual void onNetworkError2() = 0;
    // Change events cannot be delivered.
    virtual void onNetworkError3() = 0;
};

// Network events, one operation per backend signal of the same name.
class IMeskNetworkEventsObserver
{
public:
    virtual ~IMeskNetworkEventsObserver() = default;
    virtual void onNetworkAdded() = 0;
    virtual void onNetworkDeleted() = 0;
    virtual void onNetworkConnectivityChanged() = 0;
    virtual void onNetworkPropertyChanged() = 0;
};

class IMeskNetworkManagerObserver
{
public:
    virtual ~IMeskNetworkManagerObserver() = default;
    virtual void onConnectivityChanged() = 0;
};

// Whether the computer is on the Internet and over which kind of connection:
// 0 none, 1 wired or other, 2 wireless LAN, 3 mobile broadband.
//
// The object lives on one thread (the network worker): init, uninit and
// every event handler run there, because the backend's signals are queued
// onto it. The getters may be called from any thread.
class CMeskNetworkState : public QObject,
                          public IMeskNetworkEventsObserver,
                          public IMeskNetworkManagerObserver
{
    Q_OBJECT
public:
    // The backend is not owned and must outlive this object.
    explicit CMeskNetworkState(IMeskNetworkBackend* backend, QObject* parent = nullptr);
    ~CMeskNetworkState() override;

    bool init(IMeskNetworkStateListener* listener);
    void uninit();

    int connectionType() const;
    bool isInternetConnected() const;

    void onNetworkAdded() override { refresh(); }
    void onNetworkDeleted() override { refresh(); }
    void onNetworkConnectivityChanged() override { refresh(); }
    void onNetworkPropertyChanged() override { refresh(); }
    void onConnectivityChanged() override { refresh(); }

private:
    void connectBackend();
    void refresh();
    void readConnectivity();
    void readConnectionType();

    IMeskNetworkBackend* m_backend;
    IMeskNetworkStateListener* m_listener = nullptr;
    bool m_connectedToBackend = false;

    mutable QMutex m_mutex;
    int m_type = 1;
    bool m_connected = true;
};
