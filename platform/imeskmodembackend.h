#pragma once

#include <QHashFunctions>
#include <QList>
#include <QMetaType>
#include <QObject>
#include <QStringList>

// Results of the modem's SMS calls and statuses of its SMS events: 0 or more
// is success, a negative value a failure.
namespace MeskMbnResult {
constexpr qint32 Ok = 0;
constexpr qint32 Failed = qint32(0x80004005);
constexpr qint32 InvalidArgument = qint32(0x80070057);
constexpr qint32 BadSim = qint32(0x80548202);
constexpr qint32 ServiceNotActivated = qint32(0x80548209);
constexpr qint32 SimNotInserted = qint32(0x8054820A);
constexpr qint32 NotRegistered = qint32(0x8054820D);
constexpr qint32 PinRequired = qint32(0x80548210);
constexpr qint32 SmsMemoryFailure = qint32(0x80548224);
constexpr qint32 SmsNetworkTimeout = qint32(0x80548225);
constexpr qint32 SmsUnknownSmscAddress = qint32(0x80548226);
constexpr qint32 SmsOperationNotAllowed = qint32(0x80548228);
constexpr qint32 SmsMemoryFull = qint32(0x80548229);
// The modem failed the operation. Once a delete failed so, the modem's service may answer the next
// delete of the same message with success while the SIM keeps it.
constexpr qint32 ModemFailure = qint32(0x80548212);
} // namespace MeskMbnResult

// One modem interface as the SMS side sees it.
struct SMeskModemInterface
{
    QString id;
    qint32 capabilityResult = MeskMbnResult::Ok; // result of the capability query
    quint32 cellularClass = 0;                   // 1 GSM, 2 CDMA
    quint32 smsCaps = 0;                         // 0: no SMS
    // The modem takes and gives text, not TPDUs: it cuts, joins and codes
    // messages itself. Such an interface sends with smsSendText, and its read
    // records carry the decoded fields instead of a PDU.
    bool textLevel = false;
};

// The values of the SMS calls' format argument and of SMeskSmsReadPdu::pduType.
namespace MeskSmsFormat {
constexpr quint32 Pdu = 1;  // GSM: TPDUs in hexadecimal
constexpr quint32 Cdma = 2; // CDMA text
} // namespace MeskSmsFormat
namespace MeskSmsPduType {
constexpr quint32 Deliver = 1;
constexpr quint32 Submit = 2;
constexpr quint32 StatusReport = 3;
} // namespace MeskSmsPduType

// The values of SMeskSmsReadPdu::status.
namespace MeskSmsStatus {
constexpr quint32 New = 0;
constexpr quint32 Old = 1;
constexpr quint32 Draft = 2;
constexpr quint32 Sent = 3;
constexpr quint32 Unsent = 4;
} // namespace MeskSmsStatus

// Where a message on the modem lives, as far as the modem layer can tell. objectSet names the set
// of message objects the modem's service made (SMeskSmsObjectSet::name); object names the message within
// it. One origin names one message for as long as its set lasts; the same message comes with
// another origin once the service made its messages anew (it restarted, the modem was added again
// or switched off and on), and then nothing says which old origin was which new one. Empty when
// the layer cannot tell.
struct SMeskSmsOrigin
{
    QString objectSet;
    QString object;

    bool isEmpty() const { return objectSet.isEmpty(); }
    bool operator==(const SMeskSmsOrigin&) const = default;
};

// A modem's set of message objects, and which ones are one set.
//
// ModemManager numbers its message objects from a counter of its run and never reuses a number in
// that run, so an object is known by the bus (a new id after each boot), ModemManager's unique name
// on it (a new one for each of its runs) and the object's path. The set a path belongs to is that of
// its modem, as long as the modem keeps its objects: it drops every one when it leaves ENABLED (and
// when it goes) and makes them anew from the SIM as it is enabled again. The modem layer gives the
// set an epoch once it saw such a reload in its run (or saw the modem below ENABLED at first, its
// objects yet to be made). Its name (SMeskSmsOrigin::objectSet, as stored) is "bus run modem",
// followed by the epoch when there is one.
struct SMeskSmsObjectSet
{
    QString bus;   // the bus's id
    QString run;   // ModemManager's unique name on the bus
    QString modem; // the modem's path
    QString epoch; // empty: no reload seen in the layer's run

    bool isEmpty() const { return bus.isEmpty() || run.isEmpty() || modem.isEmpty(); }
    bool operator==(const SMeskSmsObjectSet&) const = default;

    QString name() const
    {
        if (isEmpty())
            return {};
        QString set = bus + QLatin1Char(' ') + run + QLatin1Char(' ') + modem;
        if (!epoch.isEmpty())
            set += QLatin1Char(' ') + epoch;
        return set;
    }
    // The set a name gives; empty for a name that is not one (none of its parts holds a blank).
    static SMeskSmsObjectSet fromName(const QString& name)
    {
        const QStringList parts = name.split(QLatin1Char(' '));
        if ((parts.size() != 3 && parts.size() != 4) || parts.contains(QString()))
            return {};
        return {parts.at(0), parts.at(1), parts.at(2), parts.value(3)};
    }

    // Whether the set noted earlier is the set current. ModemManager's D-Bus interface gives no
    // evidence of a reload while nothing followed it (no enable counter, no creation time), so only a
    // reload that was seen counts: a set without an epoch (a run of the layer that saw the modem
    // enabled at first and no reload since) carries over the epoch of the same bus, ModemManager run
    // and modem noted before it. An epoch the noted set lacks, or another epoch, is a reload seen in
    // between.
    static bool sameSet(const SMeskSmsObjectSet& noted, const SMeskSmsObjectSet& current)
    {
        if (current.isEmpty() || noted.isEmpty())
            return false;
        return noted == current ||
               (current.epoch.isEmpty() && !noted.epoch.isEmpty() && noted.bus == current.bus &&
                noted.run == current.run && noted.modem == current.modem);
    }
};

inline size_t qHash(const SMeskSmsOrigin& origin, size_t seed = 0)
{
    return qHashMulti(seed, origin.objectSet, origin.object);
}

// One message read from the SIM (or delivered as a class-0 message).
struct SMeskSmsReadPdu
{
    // 0 new, 1 old, 2 draft, 3 sent; 4 (from a text-level interface) a message the modem keeps
    // unsent (made to be sent and not sent, or being sent): never stored, only a message the
    // program made itself is acted on.
    quint32 status = 0;
    QString pdu;       // hexadecimal text, the service-centre address first
    quint32 index = 0; // the message's place on the SIM

    // Filled instead of pdu by a text-level interface.
    QString number;
    QString text;
    quint32 timeStamp = 0; // the service centre's time in seconds since 1970 (UTC); 0 when unknown
    quint32 pduType = 0;   // 1 deliver, 2 submit, 3 status report
    bool data = false;     // binary data (a WAP push, an MMS notice) instead of text; text is empty
    SMeskSmsOrigin origin; // filled by a layer that can tell one message from another
    // Announced as the modem's service made its messages anew (the modem was being switched on):
    // one of the messages it held before, or one that arrived meanwhile.
    bool reloaded = false;
    // The renewal of the modem's messages (smsMessagesRenewed) in which it was read; 0 when the
    // layer does not count them.
    quint32 renewal = 0;
    // The SIM in the modem when it was read (its ICCID, else its IMSI); empty when not known.
    QString sim = {};
};

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

    // SMS. The calls return the modem's result (MeskMbnResult: negative is a
    // failure) and answer later through the SMS signals below, which come from
    // other threads, never from inside a call. A request id is never 0.

    // Every modem interface with its SMS capabilities.
    virtual qint32 smsInterfaces(QList<SMeskModemInterface>* interfaces) = 0;
    // Opens the SMS side of one interface.
    virtual qint32 smsOpen(const QString& interfaceId) = 0;
    // Hands one TPDU to the modem: hexText is "00" (the SIM's service centre)
    // and the TPDU's bytes; length counts the TPDU's bytes. Answered by
    // smsSendComplete with the same request id.
    virtual qint32 smsSendPdu(const QString& interfaceId, const QString& hexText, quint8 length,
                              quint32* requestId) = 0;
    // Hands a whole message to a text-level interface, which cuts it into
    // parts itself. Answered by smsSendComplete with the same request id once
    // every part is out.
    virtual qint32 smsSendText(const QString& interfaceId, const QString& number, const QString& text,
                               quint32* requestId)
    {
        Q_UNUSED(interfaceId);
        Q_UNUSED(number);
        Q_UNUSED(text);
        Q_UNUSED(requestId);
        return MeskMbnResult::Failed;
    }
    // Reads the SIM: flag 0 every message, 2 the new ones; format 1 PDU,
    // 2 CDMA text. Answered by smsReadComplete, whose moreMessages says that the
    // modem holds messages the answer does not give (one could not be read, or
    // the modem's messages were made anew during the read): such a read is not
    // complete; its objectSet names the set of message objects read
    // (SMeskSmsOrigin::objectSet), empty when the layer cannot tell, and its listed
    // every object the modem listed for a read of every message (also one it
    // could not read, or one still arriving), empty when the layer cannot tell
    // or the objects were made anew during the read; its sim names the SIM in the modem when the
    // read began (SMeskSmsReadPdu::sim). Request ids are never 0.
    virtual qint32 smsRead(const QString& interfaceId, quint32 flag, quint32 format, quint32* requestId) = 0;
    // Deletes the message at index. Answered by smsDeleteComplete.
    virtual qint32 smsDelete(const QString& interfaceId, quint32 index, quint32* requestId) = 0;
    // The SIM's message store: flag bit value 2 says a new message arrived.
    virtual qint32 smsStatus(const QString& interfaceId, quint32* flag, quint32* index) = 0;
    // False when SMS events cannot be delivered.
    virtual bool smsWatch() = 0;
    // The SMS side's user goes: calls waiting to be tried again are dropped.
    virtual void smsCancel() {}

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
    // SMS events.
    void setSmsConfigurationComplete(quint32 requestId, qint32 status);
    void smsConfigurationChange();
    void smsDeleteComplete(quint32 requestId, qint32 status);
    void smsNewClass0Message(quint32 format, const QList<SMeskSmsReadPdu>& messages);
    void smsReadComplete(quint32 format, const QList<SMeskSmsReadPdu>& messages, bool moreMessages,
                         quint32 requestId, qint32 status, const QString& objectSet,
                         const QList<SMeskSmsOrigin>& listed = {}, const QString& sim = {});
    // A read of every message (smsReadMessages) found these objects of objectSet listed, with sim in
    // the modem: told as the modem lists them, before the read's answer and before any renewal that
    // comes after the list (which may cut the read short).
    void smsReadListed(quint32 requestId, const QString& objectSet, const QList<SMeskSmsOrigin>& listed,
                       const QString& sim);
    void smsSendComplete(quint32 requestId, qint32 status);
    // The modem made the object of the message being sent with smsSendText (before it goes out):
    // it may outlive the program, and the modem may keep it after the send ended. sim: the SIM in
    // the modem (SMeskSmsReadPdu::sim).
    void smsSendCreated(quint32 requestId, const SMeskSmsOrigin& origin, const QString& sim = {});
    void smsStatusChange();
    // The modem's service made every message object anew (it restarted, the modem went or was
    // switched off and on): origins given before name nothing now. announced: the service announces
    // each message it makes anew to a layer that follows the modem already (switched off and on);
    // otherwise (it restarted, the modem went) the announcements may come before they are followed.
    // renewal: counts the renewals, from 1 up; a message read carries the one it was read in
    // (SMeskSmsReadPdu::renewal), so a message read before the latest renewal is known as such.
    void smsMessagesRenewed(bool announced, quint32 renewal);
};

Q_DECLARE_METATYPE(SMeskModemInterface)
Q_DECLARE_METATYPE(SMeskSmsReadPdu)
