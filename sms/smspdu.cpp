#include "smspdu.h"

#include "smspdutables.h"

#include <QDate>
#include <QRandomGenerator>

#include <algorithm>
#include <atomic>

using namespace SmsPduTables;

namespace {

enum class Alphabet
{
    Gsm7,
    Octets,
    Ucs2
};

// The alphabet a data-coding scheme selects (the compression bit is not looked at).
Alphabet alphabetOf(quint8 dcs)
{
    if (dcs < 0x80) {
        switch ((dcs >> 2) & 3) {
        case 1:
            return Alphabet::Octets;
        case 2:
            return Alphabet::Ucs2;
        default:
            return Alphabet::Gsm7;
        }
    }
    if (dcs < 0xE0)
        return Alphabet::Gsm7;
    if (dcs < 0xF0)
        return Alphabet::Ucs2;
    return (dcs & 0x04) ? Alphabet::Octets : Alphabet::Gsm7;
}

// ---------------------------------------------------------------------------------------------
// Default alphabet

enum class GsmMode
{
    Empty = 0,
    Found = 1,
    Substituted = 2,
    Lossy = 3
};

// A text as default-alphabet codes. Characters without any mapping become a space (mode Lossy).
// pairStarts marks the first code of each escape pair.
struct GsmCodes
{
    QByteArray codes;
    QList<bool> pairStarts;
    GsmMode mode = GsmMode::Empty;
};

GsmCodes toGsmAlphabet(QStringView text)
{
    GsmCodes out;
    out.codes.reserve(text.size());
    bool substituted = false;
    bool lossy = false;
    for (QChar qc : text) {
        const char16_t ch = qc.unicode();
        quint8 code = alphabetCode(ch);
        if (code == NoCode) {
            code = substituteCode(ch);
            if (code != NoCode)
                substituted = true;
        }
        if (code != NoCode) {
            out.codes.append(char(code));
            out.pairStarts.append(false);
            continue;
        }
        const quint8 ext = extensionCode(ch);
        if (ext != NoCode) {
            out.codes.append(char(Escape));
            out.codes.append(char(ext));
            out.pairStarts.append(true);
            out.pairStarts.append(false);
            continue;
        }
        lossy = true;
        out.codes.append(char(0x20));
        out.pairStarts.append(false);
    }
    if (lossy)
        out.mode = GsmMode::Lossy;
    else if (substituted)
        out.mode = GsmMode::Substituted;
    else if (!text.isEmpty())
        out.mode = GsmMode::Found;
    return out;
}

QString fromGsmAlphabet(QByteArrayView codes, int maxLength)
{
    QString text;
    text.reserve(std::min<qsizetype>(codes.size(), maxLength));
    for (qsizetype i = 0; i < codes.size() && text.size() < maxLength; ++i) {
        const quint8 code = quint8(codes[i]) & 0x7F;
        if (code != Escape) {
            text.append(QChar(DefaultAlphabet[code]));
            continue;
        }
        if (i + 1 >= codes.size()) {
            text.append(QLatin1Char(' '));
            break;
        }
        const char16_t ext = extensionChar(quint8(codes[i + 1]) & 0x7F);
        text.append(QLatin1Char(' '));
        if (ext != 0) {
            text[text.size() - 1] = QChar(ext);
            ++i;
        }
    }
    return text;
}

// ---------------------------------------------------------------------------------------------
// Cutting a text into parts

// Lengths of the pieces total units are cut into: one piece up to single, otherwise pieces of at
// most part units that never end right before a unit for which keepsWithPrevious(i) holds.
template <typename KeepsWithPrevious>
QList<int> cutPieces(int total, int single, int part, KeepsWithPrevious keepsWithPrevious)
{
    QList<int> pieces;
    if (total <= single) {
        pieces.append(total);
        return pieces;
    }
    int start = 0;
    while (start < total) {
        int end = std::min(start + part, total);
        if (end < total && end - 1 > start && keepsWithPrevious(end))
            --end;
        pieces.append(end - start);
        start = end;
    }
    return pieces;
}

QList<int> cutGsm(const GsmCodes& gsm)
{
    return cutPieces(int(gsm.codes.size()), SmsSeptetsSingle, SmsSeptetsPart,
                     [&gsm](int i) { return gsm.pairStarts[i - 1]; });
}

QList<int> cutUcs2(QStringView text)
{
    return cutPieces(int(text.size()), SmsUcs2Single, SmsUcs2Part,
                     [text](int i) { return text[i - 1].isHighSurrogate() && text[i].isLowSurrogate(); });
}

// ---------------------------------------------------------------------------------------------
// Concatenation references

std::atomic<unsigned> s_nextReference{0};

quint8 takeReference()
{
    unsigned current = s_nextReference.load();
    for (;;) {
        const unsigned reference = current != 0 ? current : QRandomGenerator::system()->bounded(1u, 256u);
        const unsigned next = reference >= 255 ? 1 : reference + 1;
        if (s_nextReference.compare_exchange_weak(current, next))
            return quint8(reference);
    }
}

// ---------------------------------------------------------------------------------------------
// Times

constexpr qint64 SecondsPerDay = 86400;
constexpr qint64 Epoch2000 = 946684800;  // 2000-01-01T00:00:00Z
constexpr qint64 Epoch2100 = 4102444800; // 2100-01-01T00:00:00Z

// A two-digit field with its digits swapped; -1 when a digit is above 9.
int swappedBcd(quint8 octet)
{
    const int low = octet & 0x0F;
    const int high = octet >> 4;
    if (low > 9 || high > 9)
        return -1;
    return low * 10 + high;
}

quint8 toSwappedBcd(int value)
{
    return quint8(((value % 10) << 4) | (value / 10));
}

// The 7-octet service-centre time stamp form. The fields are the sender's local time; the result is
// UTC. An invalid stamp reads as time 0 and zone 0.
SmsPduTime readTime(const quint8* p)
{
    int fields[6];
    for (int i = 0; i < 6; ++i) {
        fields[i] = swappedBcd(p[i]);
        if (fields[i] < 0)
            return {};
    }
    const int zoneUnits = p[6] >> 4;
    if (zoneUnits > 9)
        return {};
    int zone = (p[6] & 0x07) * 10 + zoneUnits;
    if (p[6] & 0x08)
        zone = -zone;
    const QDate date(2000 + fields[0], fields[1], fields[2]);
    if (!date.isValid() || fields[3] > 23 || fields[4] > 59 || fields[5] > 59)
        return {};
    const qint64 local =
        QDate(1970, 1, 1).daysTo(date) * SecondsPerDay + fields[3] * 3600 + fields[4] * 60 + fields[5];
    return {quint32(local - qint64(zone) * 900), qint8(zone)};
}

bool writeTime(const SmsPduTime& time, QByteArray& out)
{
    if (time.zone < -79 || time.zone > 79)
        return false;
    const qint64 local = qint64(time.time) + qint64(time.zone) * 900;
    if (local < Epoch2000 || local >= Epoch2100)
        return false;
    const QDate date = QDate(1970, 1, 1).addDays(local / SecondsPerDay);
    const int seconds = int(local % SecondsPerDay);
    out.append(char(toSwappedBcd(date.year() - 2000)));
    out.append(char(toSwappedBcd(date.month())));
    out.append(char(toSwappedBcd(date.day())));
    out.append(char(toSwappedBcd(seconds / 3600)));
    out.append(char(toSwappedBcd(seconds / 60 % 60)));
    out.append(char(toSwappedBcd(seconds % 60)));
    const int zone = std::abs(int(time.zone));
    out.append(char(((zone % 10) << 4) | (zone / 10) | (time.zone < 0 ? 0x08 : 0)));
    return true;
}

// ---------------------------------------------------------------------------------------------
// 7-bit packing

// Packs codes after headerOctets octets of header (already in out) and the fill bits that bring the
// header to a septet boundary.
void packSeptets(QByteArray& out, qsizetype headerOctets, QByteArrayView codes)
{
    const qsizetype start = out.size() - headerOctets;
    const qsizetype fillSeptets = (headerOctets * 8 + 6) / 7;
    const qsizetype septets = fillSeptets + codes.size();
    out.resize(start + (septets * 7 + 7) / 8, '\0');
    auto* bytes = reinterpret_cast<quint8*>(out.data()) + start;
    for (qsizetype i = 0; i < codes.size(); ++i) {
        const qsizetype bit = (fillSeptets + i) * 7;
        const unsigned value = quint8(codes[i]) & 0x7F;
        bytes[bit / 8] |= quint8(value << (bit % 8));
        if (bit % 8 > 1)
            bytes[bit / 8 + 1] |= quint8(value >> (8 - bit % 8));
    }
}

QByteArray unpackSeptets(const quint8* bytes, qsizetype octets, qsizetype septets, qsizetype skip)
{
    QByteArray codes;
    if (skip >= septets)
        return codes;
    codes.reserve(septets - skip);
    for (qsizetype i = skip; i < septets; ++i) {
        const qsizetype bit = i * 7;
        const qsizetype index = bit / 8;
        unsigned value = bytes[index] >> (bit % 8);
        if (bit % 8 > 1 && index + 1 < octets)
            value |= unsigned(bytes[index + 1]) << (8 - bit % 8);
        codes.append(char(value & 0x7F));
    }
    return codes;
}

// ---------------------------------------------------------------------------------------------
// User-data header elements

bool isKnownElement(quint16 id)
{
    return (id <= 19 && id != 2) || id == 32 || (id >= 112 && id <= 159) || (id >= 192 && id <= 223);
}

// Reads the elements of a header (without its length octet). False when the header is malformed.
bool readElements(const quint8* p, qsizetype size, QList<SmsPduElement>& elements)
{
    SmsTpdu collected;
    qsizetype pos = 0;
    while (pos < size) {
        if (size - pos < 2)
            return false;
        const quint8 id = p[pos];
        const quint8 length = p[pos + 1];
        pos += 2;
        if (length > size - pos)
            return false;
        if (isKnownElement(id)) {
            if (length == 0)
                return false;
            collected.setElement(id, QByteArray(reinterpret_cast<const char*>(p + pos), length));
        }
        pos += length;
    }
    elements = collected.elements;
    return true;
}

// ---------------------------------------------------------------------------------------------
// Reading

class Reader
{
public:
    Reader(QByteArrayView data) : m_p(reinterpret_cast<const quint8*>(data.data())), m_size(data.size()) {}

    qsizetype remaining() const { return m_size - m_pos; }
    qsizetype position() const { return m_pos; }
    bool atEnd() const { return m_pos >= m_size; }
    const quint8* here() const { return m_p + m_pos; }
    bool take(qsizetype n)
    {
        if (n > remaining())
            return false;
        m_pos += n;
        return true;
    }
    bool octet(quint8& value)
    {
        if (atEnd())
            return false;
        value = m_p[m_pos++];
        return true;
    }

private:
    const quint8* m_p;
    qsizetype m_size;
    qsizetype m_pos = 0;
};

int readAddress(Reader& in, SmsTpdu& record)
{
    quint8 semiOctets = 0;
    if (!in.octet(semiOctets))
        return SmsPduTooShort;
    const qsizetype octets = (semiOctets + 3) / 2;
    const quint8* p = in.here();
    if (!in.take(octets))
        return SmsPduTooShort;
    const quint8 type = p[0];
    const quint8* digits = p + 1;
    const qsizetype digitOctets = octets - 1;
    QString address;
    if (((type >> 4) & 7) == 5) {
        static const quint8 waiting[] = {0xD0, 0x40, 0x4D, 0x64, 0xD3, 0x50, 0x00};
        const bool indication = (semiOctets == 4 && (digits[0] & 0x0E) == 0) ||
                                (semiOctets == 11 && std::equal(p, p + 7, waiting));
        if (!indication) {
            // The length counts the useful semi-octets; some senders count whole octets instead.
            const qsizetype codes = std::min<qsizetype>(digitOctets * 8 / 7, semiOctets * 4 / 7);
            const QByteArray unpacked = unpackSeptets(digits, digitOctets, codes, 0);
            address = fromGsmAlphabet(unpacked, SmsMaxAddressLength + 1);
            if (address.size() > SmsMaxAddressLength)
                return SmsPduBadAddress;
        }
    } else {
        if (((type >> 4) & 7) == 1)
            address.append(QLatin1Char('+'));
        for (int i = 0; i < semiOctets; ++i) {
            const quint8 digit = (i % 2 == 0) ? (digits[i / 2] & 0x0F) : (digits[i / 2] >> 4);
            if (digit == 15)
                break;
            if (address.size() == SmsMaxAddressLength)
                return SmsPduBadAddress;
            address.append(QChar(SemiOctetDigits[digit]));
        }
    }
    record.address = address;
    record.addressType = type & 0x7F;
    record.addressLength = quint8(address.size());
    return SmsPduSuccess;
}

int readTimeField(Reader& in, SmsPduTime& time)
{
    const quint8* p = in.here();
    if (!in.take(7))
        return SmsPduTooShort;
    time = readTime(p);
    return SmsPduSuccess;
}

int readValidity(Reader& in, SmsTpdu& record)
{
    switch (record.validityFormat) {
    case SmsValidityRelative:
        return in.octet(record.validity) ? SmsPduSuccess : SmsPduTooShort;
    case SmsValidityAbsolute:
        return readTimeField(in, record.timeStamp);
    case SmsValidityEnhanced: {
        const quint8* p = in.here();
        if (!in.take(7))
            return SmsPduTooShort;
        record.validity = p[0];
        switch (p[0] & 3) {
        case 1:
        case 2:
            record.timeStamp = {p[1], 0};
            break;
        case 3: {
            const int h = swappedBcd(p[1]), m = swappedBcd(p[2]), s = swappedBcd(p[3]);
            if (h >= 0 && m >= 0 && s >= 0)
                record.timeStamp = {quint32(h * 3600 + m * 60 + s), 0};
            break;
        }
        default:
            break;
        }
        return SmsPduSuccess;
    }
    default:
        return SmsPduSuccess;
    }
}

// User-data length and user data. The octets taken are those the length names, at most 140; a length
// that names more octets than follow (septets counted as octets, header included) is refused, since the
// message would read as complete while part of it is missing. A header that does not fit leaves no text;
// a malformed header is skipped with no elements.
int readUserData(Reader& in, SmsTpdu& record)
{
    quint8 length = 0;
    if (!in.octet(length))
        return SmsPduTooShort;
    const Alphabet alphabet = alphabetOf(record.dataCoding);
    const qsizetype named = alphabet == Alphabet::Gsm7 ? (qsizetype(length) * 7 + 7) / 8 : length;
    if (named > in.remaining())
        return SmsPduTooShort;
    const qsizetype octets = std::min<qsizetype>({named, in.remaining(), SmsMaxUserDataOctets});
    const quint8* ud = in.here();
    in.take(octets);

    qsizetype headerOctets = 0;
    if (record.hasUserDataHeader && octets > 0) {
        const qsizetype headerLength = ud[0];
        if (headerLength + 1 <= octets) {
            headerOctets = headerLength + 1;
            if (headerLength < 3 || !readElements(ud + 1, headerLength, record.elements))
                record.elements.clear();
        } else {
            headerOctets = octets;
        }
    }

    switch (alphabet) {
    case Alphabet::Gsm7: {
        const qsizetype septets = std::min<qsizetype>(length, octets * 8 / 7);
        record.userData = unpackSeptets(ud, octets, septets, (headerOctets * 8 + 6) / 7);
        break;
    }
    case Alphabet::Octets:
        record.userData = QByteArray(reinterpret_cast<const char*>(ud + headerOctets), octets - headerOctets);
        break;
    case Alphabet::Ucs2:
        record.userData = QByteArray(reinterpret_cast<const char*>(ud + headerOctets),
                                     (octets - headerOctets) & ~qsizetype(1));
        break;
    }
    record.userDataLength = quint8(record.userData.size());
    return SmsPduSuccess;
}

int readParameters(Reader& in, SmsTpdu& record)
{
    if ((record.parameters & 0x01) && !in.octet(record.protocolId))
        return SmsPduTooShort;
    if ((record.parameters & 0x02) && !in.octet(record.dataCoding))
        return SmsPduTooShort;
    if (record.parameters & 0x04)
        return readUserData(in, record);
    return SmsPduSuccess;
}

#define SMS_READ(expr)                                                                                       \
    do {                                                                                                     \
        const int result_ = (expr);                                                                          \
        if (result_ != SmsPduSuccess)                                                                        \
            return result_;                                                                                  \
    } while (false)

int parseFields(Reader& in, SmsTpdu& record)
{
    switch (record.type) {
    case SmsTpduDeliver:
        SMS_READ(readAddress(in, record));
        SMS_READ(in.octet(record.protocolId) ? SmsPduSuccess : SmsPduTooShort);
        SMS_READ(in.octet(record.dataCoding) ? SmsPduSuccess : SmsPduTooShort);
        SMS_READ(readTimeField(in, record.timeStamp));
        return readUserData(in, record);
    case SmsTpduSubmit:
        SMS_READ(in.octet(record.messageRef) ? SmsPduSuccess : SmsPduTooShort);
        SMS_READ(readAddress(in, record));
        SMS_READ(in.octet(record.protocolId) ? SmsPduSuccess : SmsPduTooShort);
        SMS_READ(in.octet(record.dataCoding) ? SmsPduSuccess : SmsPduTooShort);
        SMS_READ(readValidity(in, record));
        return readUserData(in, record);
    case SmsTpduStatusReport:
        SMS_READ(in.octet(record.messageRef) ? SmsPduSuccess : SmsPduTooShort);
        SMS_READ(readAddress(in, record));
        SMS_READ(readTimeField(in, record.timeStamp));
        SMS_READ(readTimeField(in, record.dischargeTime));
        SMS_READ(in.octet(record.status) ? SmsPduSuccess : SmsPduTooShort);
        // The parameter indicator is optional: a report may end right after its status.
        if (in.atEnd())
            return SmsPduSuccess;
        in.octet(record.parameters);
        return readParameters(in, record);
    case SmsTpduDeliverReport:
    case SmsTpduSubmitReport:
        if (record.variant == SmsTpduReportWithCause)
            SMS_READ(in.octet(record.status) ? SmsPduSuccess : SmsPduTooShort);
        SMS_READ(in.octet(record.parameters) ? SmsPduSuccess : SmsPduTooShort);
        if (record.type == SmsTpduSubmitReport)
            SMS_READ(readTimeField(in, record.timeStamp));
        return readParameters(in, record);
    case SmsTpduCommand:
        SMS_READ(in.octet(record.messageRef) ? SmsPduSuccess : SmsPduTooShort);
        SMS_READ(in.octet(record.protocolId) ? SmsPduSuccess : SmsPduTooShort);
        SMS_READ(in.octet(record.commandType) ? SmsPduSuccess : SmsPduTooShort);
        SMS_READ(in.octet(record.messageNumber) ? SmsPduSuccess : SmsPduTooShort);
        return readAddress(in, record);
    default:
        return SmsPduMissing;
    }
}

// ---------------------------------------------------------------------------------------------
// Writing

bool writeAddress(const SmsTpdu& record, QByteArray& out)
{
    if (record.address.size() > SmsMaxAddressLength)
        return false;
    if (((record.addressType >> 4) & 7) == 5) {
        const GsmCodes gsm = toGsmAlphabet(record.address);
        out.append(char((gsm.codes.size() * 7 + 3) / 4));
        out.append(char(record.addressType | 0x80));
        packSeptets(out, 0, gsm.codes);
        return true;
    }
    QStringView digits = record.address;
    if (digits.startsWith(QLatin1Char('+')))
        digits = digits.mid(1);
    QByteArray packed((digits.size() + 1) / 2, char(0xFF));
    for (qsizetype i = 0; i < digits.size(); ++i) {
        const quint8 digit = semiOctet(digits[i].unicode());
        if (digit == NoCode)
            return false;
        char& octet = packed[i / 2];
        octet =
            (i % 2 == 0) ? char((quint8(octet) & 0xF0) | digit) : char((quint8(octet) & 0x0F) | (digit << 4));
    }
    out.append(char(digits.size()));
    out.append(char(record.addressType | 0x80));
    out.append(packed);
    return true;
}

bool writesHeader(const SmsTpdu& record)
{
    return record.hasUserDataHeader ||
           std::any_of(record.elements.cbegin(), record.elements.cend(),
                       [](const SmsPduElement& e) { return isKnownElement(e.id); });
}

bool writeUserData(const SmsTpdu& record, QByteArray& out)
{
    QByteArray header;
    if (writesHeader(record)) {
        QByteArray elements;
        for (const SmsPduElement& element : record.elements) {
            if (!isKnownElement(element.id))
                continue;
            if (element.data.size() > 255)
                return false;
            elements.append(char(element.id));
            elements.append(char(element.data.size()));
            elements.append(element.data);
        }
        if (elements.size() > 255)
            return false;
        header.append(char(elements.size()));
        header.append(elements);
    }
    if (alphabetOf(record.dataCoding) == Alphabet::Gsm7) {
        if (std::any_of(record.userData.cbegin(), record.userData.cend(),
                        [](char c) { return quint8(c) > 0x7F; }))
            return false;
        const qsizetype septets = (header.size() * 8 + 6) / 7 + record.userData.size();
        if ((septets * 7 + 7) / 8 > SmsMaxUserDataOctets)
            return false;
        out.append(char(septets));
        out.append(header);
        packSeptets(out, header.size(), record.userData);
        return true;
    }
    const qsizetype octets = header.size() + record.userData.size();
    if (octets > SmsMaxUserDataOctets)
        return false;
    out.append(char(octets));
    out.append(header);
    out.append(record.userData);
    return true;
}

bool writeValidity(const SmsTpdu& record, QByteArray& out)
{
    switch (record.validityFormat & 0x18) {
    case SmsValidityRelative:
        out.append(char(record.validity));
        return true;
    case SmsValidityAbsolute:
        return writeTime(record.timeStamp, out);
    case SmsValidityEnhanced: {
        QByteArray field(7, '\0');
        field[0] = char(record.validity);
        const quint32 value = record.timeStamp.time;
        switch (record.validity & 3) {
        case 1:
        case 2:
            if (value > 255)
                return false;
            field[1] = char(value);
            break;
        case 3:
            if (value >= 100 * 3600)
                return false;
            field[1] = char(toSwappedBcd(int(value / 3600)));
            field[2] = char(toSwappedBcd(int(value / 60 % 60)));
            field[3] = char(toSwappedBcd(int(value % 60)));
            break;
        default:
            break;
        }
        out.append(field);
        return true;
    }
    default:
        return true;
    }
}

quint8 firstOctet(const SmsTpdu& record, bool header)
{
    const quint8 type = record.type;
    quint8 octet = type <= 2 ? 0 : type <= 4 ? 1 : 2;
    if (header)
        octet |= 0x40;
    if (type == SmsTpduDeliverReport || type == SmsTpduSubmitReport)
        return octet;
    if (record.statusReport)
        octet |= 0x20;
    if ((type == SmsTpduDeliver || type == SmsTpduSubmit) && record.replyPath)
        octet |= 0x80;
    if ((type == SmsTpduDeliver || type == SmsTpduStatusReport) && record.moreMessages)
        octet |= 0x04;
    if (type == SmsTpduSubmit) {
        if (record.rejectDuplicates)
            octet |= 0x04;
        octet |= record.validityFormat & 0x18;
    }
    return octet;
}

bool writeParameters(const SmsTpdu& record, QByteArray& out)
{
    if (record.parameters & 0x01)
        out.append(char(record.protocolId));
    if (record.parameters & 0x02)
        out.append(char(record.dataCoding));
    if (record.parameters & 0x04)
        return writeUserData(record, out);
    return true;
}

bool writeRecord(const SmsTpdu& record, QByteArray& out)
{
    out.append(char(firstOctet(record, writesHeader(record))));
    switch (record.type) {
    case SmsTpduDeliver:
        if (!writeAddress(record, out))
            return false;
        out.append(char(record.protocolId));
        out.append(char(record.dataCoding));
        return writeTime(record.timeStamp, out) && writeUserData(record, out);
    case SmsTpduSubmit:
        out.append(char(record.messageRef));
        if (!writeAddress(record, out))
            return false;
        out.append(char(record.protocolId));
        out.append(char(record.dataCoding));
        return writeValidity(record, out) && writeUserData(record, out);
    case SmsTpduStatusReport:
        out.append(char(record.messageRef));
        if (!writeAddress(record, out) || !writeTime(record.timeStamp, out) ||
            !writeTime(record.dischargeTime, out))
            return false;
        out.append(char(record.status));
        if (record.parameters == 0)
            return true;
        out.append(char(record.parameters));
        return writeParameters(record, out);
    case SmsTpduDeliverReport:
    case SmsTpduSubmitReport:
        if (record.variant == SmsTpduReportWithCause)
            out.append(char(record.status));
        out.append(char(record.parameters));
        if (record.type == SmsTpduSubmitReport && !writeTime(record.timeStamp, out))
            return false;
        return writeParameters(record, out);
    case SmsTpduCommand:
        out.append(char(record.messageRef));
        out.append(char(record.protocolId));
        out.append(char(record.commandType));
        out.append(char(record.messageNumber));
        return writeAddress(record, out);
    default:
        return false;
    }
}

bool isValidPhone(QStringView phone)
{
    if (phone.startsWith(QLatin1Char('+')))
        phone = phone.mid(1);
    if (phone.isEmpty() || phone.size() > SmsMaxNumberLength)
        return false;
    return std::all_of(phone.begin(), phone.end(), [](QChar c) { return semiOctet(c.unicode()) != NoCode; });
}

} // namespace

// ---------------------------------------------------------------------------------------------

void SmsTpdu::setElement(quint16 id, const QByteArray& data)
{
    for (SmsPduElement& existing : elements) {
        if (existing.id == id) {
            existing.data = data;
            return;
        }
    }
    elements.append({id, data});
}

const SmsPduElement* SmsTpdu::element(quint16 id) const
{
    for (const SmsPduElement& existing : elements) {
        if (existing.id == id)
            return &existing;
    }
    return nullptr;
}

void smsPduSetNextReference(quint8 reference)
{
    s_nextReference.store(reference);
}

unsigned smsPduTextLength(QStringView text, unsigned* used, unsigned* left)
{
    const GsmCodes gsm = toGsmAlphabet(text);
    const bool ucs2 = gsm.mode == GsmMode::Lossy;
    const QList<int> pieces = ucs2 ? cutUcs2(text) : cutGsm(gsm);
    const unsigned count = unsigned(ucs2 ? text.size() : gsm.codes.size());
    const unsigned capacity = pieces.size() == 1 ? (ucs2 ? SmsUcs2Single : SmsSeptetsSingle)
                                                 : (ucs2 ? SmsUcs2Part : SmsSeptetsPart);
    if (used)
        *used = count;
    if (left)
        *left = capacity - unsigned(pieces.last());
    return unsigned(pieces.size());
}

QString smsPduSendableText(QStringView text)
{
    const GsmCodes gsm = toGsmAlphabet(text);
    if (gsm.mode != GsmMode::Substituted)
        return text.toString();
    return fromGsmAlphabet(gsm.codes, int(gsm.codes.size()));
}

bool smsPduEncodeSubmit(QStringView text, QStringView phone, QList<SmsPdu>& parts)
{
    parts.clear();
    if (text.isEmpty() || !isValidPhone(phone))
        return false;

    const GsmCodes gsm = toGsmAlphabet(text);
    const bool ucs2 = gsm.mode == GsmMode::Lossy;
    const QList<int> pieces = ucs2 ? cutUcs2(text) : cutGsm(gsm);
    if (pieces.size() > 255)
        return false;
    const quint8 reference = pieces.size() > 1 ? takeReference() : 0;

    SmsTpdu record;
    record.type = SmsTpduSubmit;
    record.dataCoding = ucs2 ? 0x08 : 0x00;
    record.statusReport = 1;
    record.validityFormat = SmsValidityRelative;
    record.validity = 0xFF;
    record.address = phone.toString();
    record.addressType = phone.startsWith(QLatin1Char('+')) ? 0x11 : 0x01;
    record.hasUserDataHeader = pieces.size() > 1 ? 1 : 0;

    QList<SmsPdu> built;
    qsizetype start = 0;
    for (int i = 0; i < pieces.size(); ++i) {
        if (ucs2) {
            record.userData.clear();
            for (QChar c : text.mid(start, pieces[i])) {
                record.userData.append(char(c.unicode() >> 8));
                record.userData.append(char(c.unicode() & 0xFF));
            }
        } else {
            record.userData = gsm.codes.mid(start, pieces[i]);
        }
        start += pieces[i];
        if (pieces.size() > 1) {
            const char concat[] = {char(reference), char(pieces.size()), char(i + 1)};
            record.setElement(0, QByteArray(concat, 3));
        }
        SmsPdu pdu;
        if (smsPduBuild(record, pdu.bytes) != SmsPduSuccess)
            return false;
        built.append(pdu);
    }
    parts = built;
    return true;
}

bool smsPduDecode(QByteArrayView tpdu, SmsPduMessage& message)
{
    message = SmsPduMessage();
    SmsTpdu record;
    if (smsPduParse(SmsTpduMessageForms, tpdu, record) != SmsPduSuccess)
        return false;

    switch (alphabetOf(record.dataCoding)) {
    case Alphabet::Gsm7:
        message.text = fromGsmAlphabet(record.userData, SmsMaxTextLength);
        break;
    case Alphabet::Octets:
        message.text = QString::fromLatin1(record.userData.left(SmsMaxUserDataOctets));
        break;
    case Alphabet::Ucs2: {
        const QByteArray& data = record.userData;
        for (qsizetype i = 0; i + 1 < data.size() && message.text.size() < SmsMaxTextLength; i += 2)
            message.text.append(QChar(char16_t((quint8(data[i]) << 8) | quint8(data[i + 1]))));
        break;
    }
    }
    message.text.truncate(SmsMaxTextLength);
    message.number = record.address.left(SmsMaxNumberLength);

    if (record.hasUserDataHeader) {
        if (const SmsPduElement* concat = record.element(0); concat && concat->data.size() == 3) {
            const quint8 count = quint8(concat->data[1]);
            const quint8 number = quint8(concat->data[2]);
            if (count >= 1 && number >= 1 && number <= count) {
                message.reference = quint8(concat->data[0]);
                message.partCount = count;
                message.partNumber = number;
            }
        }
    }
    if (record.type == SmsTpduDeliver || record.type == SmsTpduStatusReport)
        message.timeStamp = record.timeStamp.time;
    return true;
}

bool smsPduFromHex(QStringView hex, QByteArray& tpdu)
{
    tpdu.clear();
    if (hex.isEmpty() || hex.size() % 2 != 0)
        return false;
    QByteArray bytes(hex.size() / 2, '\0');
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        int value = 0;
        for (int half = 0; half < 2; ++half) {
            const char16_t c = hex[2 * i + half].unicode();
            int digit;
            if (c >= u'0' && c <= u'9')
                digit = c - u'0';
            else if (c >= u'A' && c <= u'F')
                digit = c - u'A' + 10;
            else if (c >= u'a' && c <= u'f')
                digit = c - u'a' + 10;
            else
                return false;
            value = value * 16 + digit;
        }
        bytes[i] = char(value);
    }
    const qsizetype skip = qsizetype(quint8(bytes[0])) + 1;
    if (skip > bytes.size())
        return false;
    tpdu = bytes.mid(skip);
    return true;
}

int smsPduParse(quint8 variant, QByteArrayView tpdu, SmsTpdu& record)
{
    record = SmsTpdu();
    if (tpdu.isEmpty())
        return SmsPduTooShort;
    const quint8 first = quint8(tpdu[0]);
    const quint8 form = first & 3;
    if (variant == SmsTpduMessageForms)
        record.type = form == 1 ? SmsTpduSubmit : form == 2 ? SmsTpduStatusReport : SmsTpduDeliver;
    else
        record.type = form == 1 ? SmsTpduSubmitReport : form == 2 ? SmsTpduCommand : SmsTpduDeliverReport;
    record.variant = variant;
    record.hasUserDataHeader = (first >> 6) & 1;
    if (record.type != SmsTpduDeliverReport && record.type != SmsTpduSubmitReport) {
        record.statusReport = (first >> 5) & 1;
        if (record.type == SmsTpduDeliver || record.type == SmsTpduSubmit)
            record.replyPath = (first >> 7) & 1;
        if (record.type == SmsTpduDeliver || record.type == SmsTpduStatusReport)
            record.moreMessages = (first >> 2) & 1;
        if (record.type == SmsTpduSubmit) {
            record.rejectDuplicates = (first >> 2) & 1;
            record.validityFormat = first & 0x18;
        }
    }

    Reader in(tpdu);
    in.take(1);
    int result = parseFields(in, record);
    if (result == SmsPduSuccess && !in.atEnd())
        result = SmsPduLengthMismatch;
    if (result != SmsPduSuccess) {
        record = SmsTpdu();
        return result;
    }
    return SmsPduSuccess;
}

int smsPduBuild(const SmsTpdu& record, QByteArray& bytes)
{
    bytes.clear();
    QByteArray out;
    out.reserve(SmsMaxTpduOctets + 1);
    if (!writeRecord(record, out) || out.size() > SmsMaxTpduOctets)
        return SmsPduMissing;
    bytes = out;
    return SmsPduSuccess;
}

int smsPduSize(const SmsTpdu& record, unsigned& length)
{
    QByteArray bytes;
    const int result = smsPduBuild(record, bytes);
    length = unsigned(bytes.size());
    return result;
}
