#pragma once

#include <QMutex>
#include <QObject>
#include <QString>

class IMeskModemBackend;

// What the cellular state reports to its owner. Called on the thread the
// cellular state lives on.
class IMeskCellularStateListener
{
public:
    virtual ~IMeskCellularStateListener() = default;
    // The device state changed; state is the new value of state().
    virtual void onCellularStateChanged(int state) = 0;
    // The device data (state, operator, own number) was read again.
    virtual void onCellularInfoChanged() = 0;
    virtual void onCellularSignalChanged() = 0;
    // The system has no mobile-broadband support.
    virtual void onCellularError1() = 0;
    // A ready-state or signal-strength query failed.
    virtual void onCellularError2() = 0;
    // Change events cannot be delivered.
    virtual void onCellularError3() = 0;
};

// Modem events, one operation per backend signal of the same name.
class IMeskMbnInterfaceManagerObserver
{
public:
    virtual ~IMeskMbnInterfaceManagerObserver() = default;
    virtual void onInterfaceArrival() = 0;
    virtual void onInterfaceRemoval() = 0;
};

class IMeskMbnInterfaceObserver
{
public:
    virtual ~IMeskMbnInterfaceObserver() = default;
    virtual void onEmergencyModeChange() = 0;
    virtual void onInterfaceCapabilityAvailable() = 0;
    virtual void onHomeProviderAvailable() = 0;
    virtual void onPreferredProvidersChange() = 0;
    virtual void onReadyStateChange() = 0;
    virtual void onSetPreferredProvidersComplete(quint32 requestId, bool succeeded) = 0;
    virtual void onScanNetworkComplete(quint32 requestId, bool succeeded) = 0;
    virtual void onSubscriberInformationChange() = 0;
};

class IMeskMbnSignalStateObserver
{
public:
    virtual ~IMeskMbnSignalStateObserver() = default;
    virtual void onSignalStateChange() = 0;
};

class IMeskMbnRadioEvents
{
public:
    virtual ~IMeskMbnRadioEvents() = default;
    virtual void onRadioStateChange() = 0;
    virtual void onSetSoftwareRadioStateComplete(quint32 requestId, bool succeeded) = 0;
};

// The state of the mobile-broadband modem: a device state from 0 to 5
// (0 no usable device, 1 radio switched off, 2 SIM missing or unusable,
// 3 not activated, 4 locked by PIN or blocked, 5 ready), a signal level from
// 0 to 3, the home provider's name and the subscriber's own number.
//
// The object lives on one thread (the network worker): init, uninit and
// every event handler run there, because the backend's signals are queued
// onto it. The getters may be called from any thread and return copies.
class CMeskCellularState : public QObject,
                           public IMeskMbnInterfaceManagerObserver,
                           public IMeskMbnInterfaceObserver,
                           public IMeskMbnSignalStateObserver,
                           public IMeskMbnRadioEvents
{
    Q_OBJECT
public:
    // The backend is not owned and must outlive this object.
    explicit CMeskCellularState(IMeskModemBackend* backend, QObject* parent = nullptr);
    ~CMeskCellularState() override;

    bool init(IMeskCellularStateListener* listener);
    void uninit();

    int state() const;
    int signalLevel() const;
    QString providerName() const;
    QString phoneNumber() const;

    // The modem's ready state as a device state value.
    static int mapReadyState(int readyState);
    // Raw signal strength to level: below 10 gives 1, 10 to 24 gives 2,
    // 25 and above (also "not measurable") gives 3.
    static int mapSignalStrength(quint32 strength);

    void onInterfaceArrival() override {}
    void onInterfaceRemoval() override;
    void onEmergencyModeChange() override {}
    void onInterfaceCapabilityAvailable() override {}
    void onHomeProviderAvailable() override;
    void onPreferredProvidersChange() override;
    void onReadyStateChange() override;
    void onSetPreferredProvidersComplete(quint32, bool) override {}
    void onScanNetworkComplete(quint32, bool) override {}
    void onSubscriberInformationChange() override {}
    void onSignalStateChange() override;
    void onRadioStateChange() override;
    void onSetSoftwareRadioStateComplete(quint32, bool) override {}

private:
    void connectBackend();
    void refresh();
    void readReadyState();
    bool readProviderData();
    void updateRadio();
    void updateDeviceState();
    int stateLocked() const;

    IMeskModemBackend* m_backend;
    IMeskCellularStateListener* m_listener = nullptr;
    bool m_connectedToBackend = false;

    mutable QMutex m_mutex;
    int m_deviceState = 0;
    int m_signalLevel = 0;
    int m_radio = 1;
    QString m_providerName;
    QString m_phoneNumber;
};
