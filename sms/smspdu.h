#pragma once

// SMS transfer-protocol data units (TPDUs): building, reading and the length counter.
//
// Plain functions over value records. Nothing here touches a modem, a thread or the clock; the only
// shared state is the counter that hands out concatenation references.

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringView>

// Result codes of smsPduParse, smsPduBuild and smsPduSize.
enum TSmsPduResult : int
{
    SmsPduSuccess = 1,
    SmsPduMissing = 2,        // missing argument or a record that cannot be built
    SmsPduTooShort = 3,       // a field runs past the end of the data
    SmsPduLengthMismatch = 4, // the TPDU does not end where its user data ends
    SmsPduBadAddress = 5,     // the address cannot be read
};

// SmsTpdu::type
enum TSmsTpduType : quint8
{
    SmsTpduDeliver = 1,
    SmsTpduDeliverReport = 2,
    SmsTpduSubmit = 3,
    SmsTpduSubmitReport = 4,
    SmsTpduStatusReport = 5,
    SmsTpduCommand = 6,
};

// SmsTpdu::variant and the variant argument of smsPduParse.
// Message forms: the message-type bits select deliver, submit or status report.
// Any other variant selects deliver report, submit report or command; the reports then carry a
// failure cause (TP-FCS) only with SmsTpduReportWithCause.
constexpr quint8 SmsTpduMessageForms = 1;
constexpr quint8 SmsTpduReportWithCause = 2;
constexpr quint8 SmsTpduReportForms = 0;

// SmsTpdu::validityFormat (the TP-VPF bits 4-3 of the first octet)
constexpr quint8 SmsValidityNone = 0x00;
constexpr quint8 SmsValidityEnhanced = 0x08;
constexpr quint8 SmsValidityRelative = 0x10;
constexpr quint8 SmsValidityAbsolute = 0x18;

// Capacities of one message and of each part of a multi-part message.
constexpr unsigned SmsSeptetsSingle = 160;
constexpr unsigned SmsSeptetsPart = 153;
constexpr unsigned SmsOctetsSingle = 140;
constexpr unsigned SmsOctetsPart = 134;
constexpr unsigned SmsUcs2Single = 70;
constexpr unsigned SmsUcs2Part = 67;

// Limits of a decoded message.
constexpr int SmsMaxTextLength = 160;
constexpr int SmsMaxNumberLength = 20;
constexpr int SmsMaxAddressLength = 21;
constexpr int SmsMaxUserDataOctets = 140;
constexpr int SmsMaxTpduOctets = 255;

// A time as the TPDU carries it: seconds since 1970 (UTC) and the sender's zone in quarter hours.
// For the enhanced validity period, time holds the relative value (functionality 1 or 2: the octet,
// functionality 3: the duration in seconds) and zone is 0.
struct SmsPduTime
{
    quint32 time = 0;
    qint8 zone = 0;
    bool operator==(const SmsPduTime&) const = default;
};

// One element of the user-data header.
struct SmsPduElement
{
    quint16 id = 0;
    QByteArray data; // at most 255 bytes
    quint8 length() const { return quint8(data.size()); }
    bool operator==(const SmsPduElement&) const = default;
};

// The in-memory form of one TPDU, in both directions.
struct SmsTpdu
{
    quint8 type = 0; // TSmsTpduType
    quint8 variant = SmsTpduMessageForms;
    quint8 protocolId = 0;        // TP-PID
    quint8 dataCoding = 0;        // TP-DCS
    quint8 moreMessages = 0;      // TP-MMS
    quint8 replyPath = 0;         // TP-RP
    quint8 hasUserDataHeader = 0; // TP-UDHI
    quint8 statusReport = 0;      // TP-SRR / TP-SRI / TP-SRQ (bit 5)
    quint8 status = 0;            // TP-ST, or TP-FCS of a report
    quint8 parameters = 0;        // TP-PI: bit 0 PID, bit 1 DCS, bit 2 user data
    quint8 rejectDuplicates = 0;  // TP-RD
    quint8 validityFormat = SmsValidityNone;
    quint8 messageRef = 0;         // TP-MR
    quint8 validity = 0;           // relative TP-VP, or the first octet of the enhanced form
    quint8 commandType = 0;        // TP-CT
    quint8 messageNumber = 0;      // TP-MN
    SmsPduTime dischargeTime;      // TP-DT of a status report
    SmsPduTime timeStamp;          // TP-SCTS, or TP-VP in absolute or enhanced form
    QString address;               // TP-OA / TP-DA / TP-RA; "+" leads an international number
    quint8 addressType = 0;        // type-of-address octet without bit 7
    quint8 addressLength = 0;      // characters in address (set when parsing; building uses address)
    QList<SmsPduElement> elements; // unique by id, in insertion order
    // 7-bit: one default-alphabet code per byte; 8-bit: the octets; UCS-2: big-endian octet pairs.
    QByteArray userData;
    quint8 userDataLength = 0; // codes (7-bit) or octets (set when parsing; building uses userData)

    // Adds an element; an element with the same id is replaced where it stands.
    void setElement(quint16 id, const QByteArray& data);
    const SmsPduElement* element(quint16 id) const;

    bool operator==(const SmsTpdu&) const = default;
};

// One encoded TPDU (at most 255 octets).
struct SmsPdu
{
    QByteArray bytes;
    quint32 length() const { return quint32(bytes.size()); }
};

// A received message as the decoder reports it.
struct SmsPduMessage
{
    QString text;   // at most 160 UTF-16 code units
    QString number; // at most 20 characters
    quint8 reference = 0;
    quint8 partCount = 0;  // 0 for a message without a valid concatenation element
    quint8 partNumber = 0; // 1..partCount, or 0
    quint32 timeStamp = 0; // the service centre's time stamp (UTC); 0 when there is none or it is invalid
};

// Encodes text for phone as one or more SMS-SUBMIT TPDUs (a status report is requested, validity 63
// weeks). The phone is 1-20 of "0-9 * # a b c", after an optional "+". False, with parts empty, for an
// empty text, a bad phone, more than 255 parts, or a part that cannot be built.
bool smsPduEncodeSubmit(QStringView text, QStringView phone, QList<SmsPdu>& parts);

// Decodes one received TPDU (deliver, submit or status report) that starts at its first octet.
bool smsPduDecode(QByteArrayView tpdu, SmsPduMessage& message);

// The length counter: fills the codes (or UTF-16 units) used and those left in the last part, and
// returns the number of messages the text needs. used and left may be null.
unsigned smsPduTextLength(QStringView text, unsigned* used = nullptr, unsigned* left = nullptr);

// The text as the encoder sends it: look-alike substitutions applied and characters outside the
// default alphabet kept as they are (the message then goes as UCS-2). A modem that takes text
// rather than TPDUs gets this, so what the counter counts is what goes on the air.
QString smsPduSendableText(QStringView text);

// The modem's hexadecimal PDU text (service-centre address first) to the TPDU bytes after it.
// False for empty text, an odd length, a character that is not a hex digit, or an address length
// that runs past the data.
bool smsPduFromHex(QStringView hex, QByteArray& tpdu);

// Reads one TPDU into record (reset first). Returns a TSmsPduResult.
int smsPduParse(quint8 variant, QByteArrayView tpdu, SmsTpdu& record);
// Writes record; bytes is left empty on failure. Returns SmsPduSuccess or SmsPduMissing.
int smsPduBuild(const SmsTpdu& record, QByteArray& bytes);
// The length smsPduBuild would write. Returns SmsPduSuccess or SmsPduMissing.
int smsPduSize(const SmsTpdu& record, unsigned& length);

// For tests: the reference the next multi-part message takes (1-255; 0 draws a random start again).
void smsPduSetNextReference(quint8 reference);
