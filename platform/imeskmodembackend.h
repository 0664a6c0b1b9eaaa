#pragma once

#include <QObject>
#include <QStringList>

// The mobile-broadband (3G) modem. The cellular state object reads the
// modem's values through the queries and re-reads them when a signal says
// that something changed.
//
// Every query is thread-safe; false means the query failed (also when no
// device is present) and the out value is left alone. The signals may be
// emitted on any thread, so receivers connect with a queued connection.
class IMeskModemBackend : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;
    ~IMeskModemBackend() override = default;

    // False when the system has no mobile-broadband support.
    virtual bool open() = 0;
    // False when change events cannot be delivered.
    virtual bool watch() = 0;
    // Whether a device with a cellular class is present.
    virtual bool hasDevice() = 0;

    // Ready state: 0 off, 1 initialised, 2 SIM not inserted, 3 bad SIM,
    // 4 failure, 5 not activated, 6 device locked, 7 device blocked.
    virtual bool readyState(int* state) = 0;
    // Hardware radio switch: 0 off, 1 on.
    virtual bool hardwareRadio(int* radio) = 0;
    // Raw signal strength: 0 to 31, 99 when it cannot be measured.
    virtual bool signalStrength(quint32* strength) = 0;
    virtual bool homeProviderName(QString* name) = 0;
    // The SIM subscriber's own telephone numbers.
    virtual bool ownNumbers(QStringList* numbers) = 0;

signals:
    // Device manager events.
    void interfaceArrival();
    void interfaceRemoval();
    // Device events.
    void emergencyModeChange();
    void interfaceCapabilityAvailable();
    void homeProviderAvailable();
    void preferredProvidersChange();
    void readyStateChange();
    void setPreferredProvidersComplete(quint32 requestId, bool succeeded);
    void scanNetworkComplete(quint32 requestId, bool succeeded);
    void subscriberInformationChange();
    // Signal and radio events.
    void signalStateChange();
    void radioStateChange();
    void setSoftwareRadioStateComplete(quint32 requestId, bool succeeded);
};
