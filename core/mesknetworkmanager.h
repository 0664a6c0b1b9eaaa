#pragma once

#include "meskcellularstate.h"
#include "mesknetworkbackends.h"
#include "mesknetworkstate.h"

#include <QMutex>
#include <QObject>
#include <QString>

class QThread;

// Tells the rest of the system whether the computer is on the Internet, over
// which kind of connection, and in which state the mobile-broadband modem is.
//
// The manager belongs to the GUI thread, and so do its backends (taken from
// MeskNetworkBackends when the manager is constructed). The two state objects
// live on the manager's network worker thread, which start() creates; every
// change they report is emitted from that thread, so receivers on the GUI
// thread get the signals queued. The getters are for the GUI thread and
// answer with fixed defaults while a state object is absent.
//
// The network state is published once its init has read both values (which
// may take until the system's network information has loaded, after the
// window is up). Where they differ from the defaults the worker then emits
// internetDisconnected() and networkChanged(), in that order, before ready():
// once per start, and nothing for a connected wired (or unknown) network.
class CMeskNetworkManager : public QObject,
                            public IMeskNetworkStateListener,
                            public IMeskCellularStateListener
{
    Q_OBJECT
public:
    explicit CMeskNetworkManager(QObject* parent = nullptr);
    ~CMeskNetworkManager() override;

    // Stops a running worker, then starts a new one, which creates and
    // initialises both state objects and emits ready() or initFailed().
    void start();
    // Releases the state objects on the worker and ends it. Returns when the
    // worker has ended; after that no event of the backends is handled.
    void stop();

    // 0 none, 1 wired or other, 2 wireless LAN, 3 mobile broadband; 1 when unknown.
    int networkType() const;
    // True when unknown, so that nothing is held back for want of knowledge.
    bool isInternetConnected() const;
    // 0 to 5 (see CMeskCellularState); 0 when unknown.
    int cellularState() const;
    // 0 to 3; 3 when unknown.
    int cellularSignal() const;
    QString operatorName() const;
    QString ownPhoneNumber() const;

    IMeskNetworkBackend* networkBackend() const { return m_backends.network.get(); }
    // The modem the SMS engine talks to.
    IMeskModemBackend* modemBackend() const { return m_backends.modem.get(); }

signals:
    void ready();
    void networkChanged();
    void internetConnected();
    void internetDisconnected();
    void cellularStateChanged();
    void cellularSignalChanged();
    void initFailed();
    void networkListenerFailed();
    void cellularListenerFailed();

private:
    void onConnectionTypeChanged() override;
    void onInternetConnected() override;
    void onInternetDisconnected() override;
    void onNetworkError1() override;
    void onNetworkError2() override;
    void onNetworkError3() override;

    void onCellularStateChanged(int state) override;
    void onCellularInfoChanged() override;
    void onCellularSignalChanged() override;
    void onCellularError1() override;
    void onCellularError2() override;
    void onCellularError3() override;

    // Run on the worker thread.
    void initWorker();
    void announceLoadedNetwork(const CMeskNetworkState& network);
    void releaseWorker();

    SMeskNetworkBackends m_backends;
    QThread* m_worker = nullptr;

    // Guards the two pointers: the worker sets and clears them while the GUI
    // thread reads through them.
    mutable QMutex m_mutex;
    CMeskNetworkState* m_networkState = nullptr;
    CMeskCellularState* m_cellularState = nullptr;
};
