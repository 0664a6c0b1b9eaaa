#pragma once

#include "imeskmodembackend.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusObjectPath>
#include <QMap>
#include <QMutex>
#include <QSet>
#include <QThread>
#include <QVariantMap>

#include <atomic>

// ModemManager's names, the values of its properties that the layer reads,
// and the (ub) signal quality with its QtDBus marshalling.
namespace MeskModemManager {

inline const QString Service = QStringLiteral("org.freedesktop.ModemManager1");
inline const QString ManagerPath = QStringLiteral("/org/freedesktop/ModemManager1");
inline const QString ModemInterface = QStringLiteral("org.freedesktop.ModemManager1.Modem");
inline const QString Modem3gppInterface = QStringLiteral("org.freedesktop.ModemManager1.Modem.Modem3gpp");
inline const QString MessagingInterface = QStringLiteral("org.freedesktop.ModemManager1.Modem.Messaging");
inline const QString SimInterface = QStringLiteral("org.freedesktop.ModemManager1.Sim");
inline const QString SmsInterface = QStringLiteral("org.freedesktop.ModemManager1.Sms");
inline const QString PropertiesInterface = QStringLiteral("org.freedesktop.DBus.Properties");
inline const QString ObjectManagerInterface = QStringLiteral("org.freedesktop.DBus.ObjectManager");

// The environment variable that names the bus to use instead of the system bus.
inline const char* const BusVariable = "LUMESK_MODEMMANAGER_BUS";

// Modem.CurrentCapabilities bits.
constexpr quint32 CapabilityCdmaEvdo = 1u << 1;
constexpr quint32 CapabilityGsmUmts = 1u << 2;
constexpr quint32 CapabilityLte = 1u << 3;
constexpr quint32 Capability5gnr = 1u << 6;

// Modem.State (signed).
constexpr int StateFailed = -1;
constexpr int StateLocked = 2;
constexpr int StateDisabled = 3;
constexpr int StateDisabling = 4;
constexpr int StateEnabling = 5;
constexpr int StateEnabled = 6;
constexpr int StateRegistered = 8;
// Modem.StateFailedReason.
constexpr quint32 FailedSimMissing = 2;
constexpr quint32 FailedSimError = 3;
constexpr quint32 FailedEsimWithoutProfiles = 5;
// Modem.UnlockRequired.
constexpr quint32 LockNone = 1;
constexpr quint32 LockSimPin = 2;
constexpr quint32 LockSimPuk = 4;
// Modem.PowerState.
constexpr quint32 PowerOff = 1;
constexpr quint32 PowerLow = 2;
constexpr quint32 PowerOn = 3;
// Sms.State and Sms.PduType.
constexpr quint32 SmsUnknown = 0;
constexpr quint32 SmsStored = 1;
constexpr quint32 SmsReceiving = 2;
constexpr quint32 SmsReceived = 3;
constexpr quint32 SmsSending = 4;
constexpr quint32 SmsSent = 5;
constexpr quint32 PduDeliver = 1;
constexpr quint32 PduSubmit = 2;
constexpr quint32 PduStatusReport = 3;

struct SignalQuality
{
    quint32 percent = 0;
    bool recent = false;
};

// The properties of a modem's objects, by interface.
using Interfaces = QMap<QString, QVariantMap>;
using ManagedObjects = QMap<QDBusObjectPath, Interfaces>;

// Registers the QtDBus types above; safe to call more than once.
void registerTypes();

// The layer's ready state (IMeskModemBackend::readyState) of a modem state,
// its failure reason and the lock it waits for.
int readyState(int state, quint32 failedReason, quint32 unlockRequired);
// The hardware radio (0 off, 1 on): off while the modem is disabled or its
// power is off or low.
int radio(int state, quint32 powerState);
// Signal percent onto 0-31; 99 when the value is not recent.
quint32 signalStrength(const SignalQuality& quality);
// A D-Bus error name as a modem result (MeskMbnResult).
qint32 errorResult(const QString& errorName);
// An ISO 8601 time stamp as seconds since 1970 (UTC); 0 when it cannot be read.
quint32 timeStamp(const QString& iso);
// The bus the layer talks to: the one at LUMESK_MODEMMANAGER_BUS when that is
// set, else the system bus. The connection may be unconnected.
QDBusConnection bus();

} // namespace MeskModemManager

Q_DECLARE_METATYPE(MeskModemManager::SignalQuality)
QDBusArgument& operator<<(QDBusArgument& argument, const MeskModemManager::SignalQuality& quality);
const QDBusArgument& operator>>(const QDBusArgument& argument, MeskModemManager::SignalQuality& quality);

// The modem layer over ModemManager. It follows the service appearing and
// going, takes the first modem with a GSM, LTE or 5G capability (else a CDMA
// one) as the device, and hands text messages to ModemManager whole (a
// text-level interface: ModemManager cuts, joins and codes them itself).
//
// Threads: the queries answer from a cache guarded by a mutex and kept
// current by ModemManager's signals. Every D-Bus call is posted to a thread
// of the layer's own and issued asynchronously; its answer comes as a signal
// from that thread, never from inside the call.
class CMeskModemManagerBackend : public IMeskModemBackend
{
    Q_OBJECT
public:
    // A D-Bus call that gets no answer in this time fails with NoReply; it is
    // longer than the SMS watchdog's delay, so the watchdog speaks first.
    static constexpr int CallTimeout = 120000;

    explicit CMeskModemManagerBackend(const QDBusConnection& bus, QObject* parent = nullptr);
    ~CMeskModemManagerBackend() override;

    bool open() override;
    bool watch() override;
    bool hasDevice() override;

    bool readyState(int* state) override;
    bool hardwareRadio(int* radio) override;
    bool signalStrength(quint32* strength) override;
    bool homeProviderName(QString* name) override;
    bool ownNumbers(QStringList* numbers) override;

    qint32 smsInterfaces(QList<SMeskModemInterface>* interfaces) override;
    qint32 smsOpen(const QString& interfaceId) override;
    qint32 smsSendPdu(const QString& interfaceId, const QString& hexText, quint8 length,
                      quint32* requestId) override;
    qint32 smsSendText(const QString& interfaceId, const QString& number, const QString& text,
                       quint32* requestId) override;
    qint32 smsRead(const QString& interfaceId, quint32 flag, quint32 format, quint32* requestId) override;
    qint32 smsDelete(const QString& interfaceId, quint32 index, quint32* requestId) override;
    qint32 smsStatus(const QString& interfaceId, quint32* flag, quint32* index) override;
    bool smsWatch() override { return true; }
    void smsCancel() override;

private:
    class CallQueue;
    class Worker;
    friend class Worker;

    // What the queries answer: the chosen modem's values.
    struct Device
    {
        QString path;
        quint32 capabilities = 0;
        int state = 0;
        quint32 failedReason = 0;
        quint32 unlockRequired = 0;
        quint32 powerState = 0;
        MeskModemManager::SignalQuality signal;
        QString simOperator;
        QString networkOperator;
        QStringList numbers;
        bool messaging = false;
    };

    // Called on the worker thread with the new device (path empty: none);
    // raises the signals of what changed.
    void publish(const Device& device);
    void setNewMessages(const QSet<quint32>& indices);
    quint32 nextRequestId();

    QDBusConnection m_bus;
    QThread m_thread;
    Worker* m_worker = nullptr;
    std::atomic<quint32> m_nextRequestId = 0;

    mutable QMutex m_mutex;
    Device m_device;
    QSet<quint32> m_newMessages; // received while watched and not yet read
};
