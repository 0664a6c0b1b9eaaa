#include "smspdu.h"

#include <QTest>

Q_DECLARE_METATYPE(SmsTpdu)

// Shown by QCOMPARE when two records differ.
char* toString(const SmsTpdu& r)
{
    QString text = QStringLiteral("type %1 variant %2 pid %3 dcs %4 mms %5 rp %6 udhi %7 sr %8 st %9")
                       .arg(r.type)
                       .arg(r.variant)
                       .arg(r.protocolId)
                       .arg(r.dataCoding)
                       .arg(r.moreMessages)
                       .arg(r.replyPath)
                       .arg(r.hasUserDataHeader)
                       .arg(r.statusReport)
                       .arg(r.status);
    text += QStringLiteral(" pi %1 rd %2 vpf %3 mr %4 vp %5 ct %6 mn %7 dt %8/%9")
                .arg(r.parameters)
                .arg(r.rejectDuplicates)
                .arg(r.validityFormat)
                .arg(r.messageRef)
                .arg(r.validity)
                .arg(r.commandType)
                .arg(r.messageNumber)
                .arg(r.dischargeTime.time)
                .arg(r.dischargeTime.zone);
    text += QStringLiteral(" ts %1/%2 address '%3' type %4 length %5 ud [%6] udl %7 elements")
                .arg(r.timeStamp.time)
                .arg(r.timeStamp.zone)
                .arg(r.address)
                .arg(r.addressType)
                .arg(r.addressLength)
                .arg(QString::fromLatin1(r.userData.toHex(' ')))
                .arg(r.userDataLength);
    for (const SmsPduElement& e : r.elements)
        text += QStringLiteral(" %1:%2").arg(e.id).arg(QString::fromLatin1(e.data.toHex()));
    return qstrdup(text.toUtf8().constData());
}

namespace {

QByteArray hex(const char* text)
{
    return QByteArray::fromHex(text);
}

const char* const Scts = "99 30 92 51 61 95 80"; // 2099-03-29 15:16:59, +2 h
constexpr quint32 SctsUtc = 4078473419;          // 2099-03-29 13:16:59 UTC

QByteArray deliver(const char* address, const char* userData = "02 E8 34", const char* scts = Scts)
{
    return hex("04") + hex(address) + hex("00 00") + hex(scts) + hex(userData);
}

QString repeated(const QString& piece, int count)
{
    return piece.repeated(count);
}

QString alphabetRun(int count)
{
    QString text;
    for (int i = 0; i < count; ++i)
        text.append(QChar(u'a' + i % 26));
    return text;
}

const QString Zhe = QStringLiteral("\u0416");
const QString Smiley = QString::fromUtf16(u"\U0001F600");

// The record a parse gives back for what was built from it.
SmsTpdu normalised(SmsTpdu record)
{
    record.addressLength = quint8(record.address.size());
    record.userDataLength = quint8(record.userData.size());
    return record;
}

} // namespace

class TestSmsPduCodec : public QObject
{
    Q_OBJECT
private slots:
    void init() { smsPduSetNextReference(0x42); }

    void textLength_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<unsigned>("used");
        QTest::addColumn<unsigned>("left");
        QTest::addColumn<unsigned>("parts");

        QTest::newRow("empty") << QString() << 0u << 160u << 1u;
        QTest::newRow("hello") << QStringLiteral("hello") << 5u << 155u << 1u;
        QTest::newRow("dialog counter") << QStringLiteral("hello!") << 6u << 154u << 1u;
        QTest::newRow("160") << repeated(QStringLiteral("a"), 160) << 160u << 0u << 1u;
        QTest::newRow("161") << repeated(QStringLiteral("a"), 161) << 161u << 145u << 2u;
        QTest::newRow("306") << repeated(QStringLiteral("a"), 306) << 306u << 0u << 2u;
        QTest::newRow("307") << repeated(QStringLiteral("a"), 307) << 307u << 152u << 3u;
        QTest::newRow("left brace is a pair") << QStringLiteral("{") << 2u << 158u << 1u;
        QTest::newRow("euro is a pair") << QStringLiteral("\u20AC5") << 3u << 157u << 1u;
        QTest::newRow("a-acute is substituted") << QStringLiteral("\u00E1") << 1u << 159u << 1u;
        QTest::newRow("greek small delta is substituted") << QStringLiteral("\u03B4") << 1u << 159u << 1u;
        QTest::newRow("look-alikes") << QStringLiteral("Zo\u00EB is na\u00EFve") << 12u << 148u << 1u;
        QTest::newRow("look-alike beside a default-alphabet letter")
            << QStringLiteral("\u00FCn\u00EFcode") << 7u << 153u << 1u;
        QTest::newRow("ucs2 70") << Zhe + repeated(QStringLiteral("a"), 69) << 70u << 0u << 1u;
        QTest::newRow("ucs2 71") << Zhe + repeated(QStringLiteral("a"), 70) << 71u << 63u << 2u;
        QTest::newRow("escape character is ucs2") << QStringLiteral("a\x1B") << 2u << 68u << 1u;
        QTest::newRow("nul is ucs2") << QString(QChar(0)) << 1u << 69u << 1u;
        // A part never ends inside an escape pair or a surrogate pair.
        QTest::newRow("pair at first cut")
            << repeated(QStringLiteral("a"), 152) + QStringLiteral("{") + repeated(QStringLiteral("a"), 10)
            << 164u << 141u << 2u;
        QTest::newRow("pair pushes a third part")
            << repeated(QStringLiteral("a"), 152) + QStringLiteral("{") + repeated(QStringLiteral("a"), 152)
            << 306u << 152u << 3u;
        QTest::newRow("surrogate pair at cut")
            << repeated(Zhe, 66) + Smiley + repeated(Zhe, 10) << 78u << 55u << 2u;
        QTest::newRow("pair fits in single message")
            << repeated(QStringLiteral("a"), 158) + QStringLiteral("{") << 160u << 0u << 1u;
    }

    void textLength()
    {
        QFETCH(QString, text);
        QFETCH(unsigned, used);
        QFETCH(unsigned, left);
        QFETCH(unsigned, parts);
        unsigned gotUsed = 999, gotLeft = 999;
        QCOMPARE(smsPduTextLength(text, &gotUsed, &gotLeft), parts);
        QCOMPARE(gotUsed, used);
        QCOMPARE(gotLeft, left);
        QCOMPARE(smsPduTextLength(text), parts);

        // The counter predicts the encoder.
        if (!text.isEmpty()) {
            QList<SmsPdu> pdus;
            QVERIFY(smsPduEncodeSubmit(text, u"+123", pdus));
            QCOMPARE(unsigned(pdus.size()), parts);
            // The sendable text is what a single message carries.
            SmsPduMessage sent;
            if (parts == 1) {
                QVERIFY(smsPduDecode(pdus.first().bytes, sent));
                QCOMPARE(sent.text, smsPduSendableText(text));
            }
        }
        // The text as it goes out counts the same.
        QCOMPARE(smsPduTextLength(smsPduSendableText(text), &gotUsed, &gotLeft), parts);
        QCOMPARE(gotUsed, used);
        QCOMPARE(gotLeft, left);
    }

    void encodeVectors_data()
    {
        QTest::addColumn<QString>("phone");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("pdu");
        QTest::newRow("hello") << QStringLiteral("+123") << QStringLiteral("hello")
                               << hex("31 00 03 91 21 F3 00 00 FF 05 E8 32 9B FD 06");
        QTest::newRow("ucs2")
            << QStringLiteral("0401234567") << QStringLiteral("Привет")
            << hex("31 00 0A 81 40 10 32 54 76 00 08 FF 0C 04 1F 04 40 04 38 04 32 04 35 04 42");
        QTest::newRow("a-acute sent as a")
            << QStringLiteral("+123") << QStringLiteral("\u00E1") << hex("31 00 03 91 21 F3 00 00 FF 01 61");
        QTest::newRow("escape pair") << QStringLiteral("+123") << QStringLiteral("{")
                                     << hex("31 00 03 91 21 F3 00 00 FF 02 1B 14");
        QTest::newRow("star and hash")
            << QStringLiteral("*#abc") << QStringLiteral("@") << hex("31 00 05 81 BA DC FE 00 00 FF 01 00");
    }

    void encodeVectors()
    {
        QFETCH(QString, phone);
        QFETCH(QString, text);
        QFETCH(QByteArray, pdu);
        QList<SmsPdu> parts;
        QVERIFY(smsPduEncodeSubmit(text, phone, parts));
        QCOMPARE(parts.size(), 1);
        QCOMPARE(parts[0].bytes.toHex(' '), pdu.toHex(' '));
        QCOMPARE(parts[0].length(), quint32(pdu.size()));
    }

    void encodePacking()
    {
        QList<SmsPdu> parts;
        QVERIFY(smsPduEncodeSubmit(u"hellohello", u"+123", parts));
        QCOMPARE(parts.size(), 1);
        QVERIFY(parts[0].bytes.endsWith(hex("0A E8 32 9B FD 46 97 D9 EC 37")));
    }

    void encodeTwoParts()
    {
        QList<SmsPdu> parts;
        QVERIFY(smsPduEncodeSubmit(alphabetRun(161), u"+123", parts));
        QCOMPARE(parts.size(), 2);
        QCOMPARE(parts[0].bytes.size(), 150);
        QVERIFY(
            parts[0].bytes.startsWith(hex("71 00 03 91 21 F3 00 00 FF A0 05 00 03 42 02 01 C2 E2 31 B9")));
        QCOMPARE(parts[1].bytes.toHex(' '),
                 hex("71 00 03 91 21 F3 00 00 FF 0F 05 00 03 42 02 02 F0 79 7D 58 3C 26 97 01").toHex(' '));

        // Each part decodes to its piece of the text and its place in the message.
        SmsPduMessage first, second;
        QVERIFY(smsPduDecode(parts[0].bytes, first));
        QVERIFY(smsPduDecode(parts[1].bytes, second));
        QCOMPARE(first.text + second.text, alphabetRun(161));
        QCOMPARE(first.text.size(), 153);
        QCOMPARE(first.number, QStringLiteral("+123"));
        QCOMPARE((QList<int>{first.reference, first.partCount, first.partNumber}), (QList<int>{0x42, 2, 1}));
        QCOMPARE((QList<int>{second.reference, second.partCount, second.partNumber}),
                 (QList<int>{0x42, 2, 2}));
        QCOMPARE(first.timeStamp, 0u);
    }

    void encodeKeepsEscapePairTogether()
    {
        const QString text =
            repeated(QStringLiteral("a"), 152) + QStringLiteral("{") + repeated(QStringLiteral("a"), 10);
        QList<SmsPdu> parts;
        QVERIFY(smsPduEncodeSubmit(text, u"+123", parts));
        QCOMPARE(parts.size(), 2);
        QCOMPARE(parts[0].bytes.size(), 150);
        QCOMPARE(quint8(parts[0].bytes[9]), quint8(0x9F));
        QCOMPARE(parts[1].bytes.toHex(' '),
                 hex("71 00 03 91 21 F3 00 00 FF 13 05 00 03 42 02 02 36 A8 70 38 1C 0E 87 C3 E1 70 18")
                     .toHex(' '));
        SmsPduMessage first, second;
        QVERIFY(smsPduDecode(parts[0].bytes, first));
        QVERIFY(smsPduDecode(parts[1].bytes, second));
        QCOMPARE(first.text + second.text, text);
    }

    void encodeKeepsSurrogatePairTogether()
    {
        const QString text = repeated(Zhe, 66) + Smiley + repeated(Zhe, 10);
        QList<SmsPdu> parts;
        QVERIFY(smsPduEncodeSubmit(text, u"+123", parts));
        QCOMPARE(parts.size(), 2);
        QCOMPARE(parts[0].bytes.size(), 148);
        QCOMPARE(quint8(parts[0].bytes[9]), quint8(0x8A));
        QCOMPARE(quint8(parts[1].bytes[9]), quint8(0x1E));
        QCOMPARE(parts[1].bytes.mid(16, 4), hex("D8 3D DE 00"));
        SmsPduMessage first, second;
        QVERIFY(smsPduDecode(parts[0].bytes, first));
        QVERIFY(smsPduDecode(parts[1].bytes, second));
        QCOMPARE(first.text + second.text, text);
    }

    void encodeNumbers_data()
    {
        QTest::addColumn<QString>("phone");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("ok");
        QTest::newRow("20 digits") << QStringLiteral("12345678901234567890") << QStringLiteral("x") << true;
        QTest::newRow("+ and 20 digits")
            << QStringLiteral("+12345678901234567890") << QStringLiteral("x") << true;
        QTest::newRow("21 digits") << QStringLiteral("123456789012345678901") << QStringLiteral("x") << false;
        QTest::newRow("plus alone") << QStringLiteral("+") << QStringLiteral("x") << false;
        QTest::newRow("empty number") << QString() << QStringLiteral("x") << false;
        QTest::newRow("dash") << QStringLiteral("12-34") << QStringLiteral("x") << false;
        QTest::newRow("plus inside") << QStringLiteral("12+34") << QStringLiteral("x") << false;
        QTest::newRow("upper case letter") << QStringLiteral("12A") << QStringLiteral("x") << false;
        QTest::newRow("empty text") << QStringLiteral("+123") << QString() << false;
    }

    void encodeNumbers()
    {
        QFETCH(QString, phone);
        QFETCH(QString, text);
        QFETCH(bool, ok);
        QList<SmsPdu> parts{SmsPdu{hex("00")}};
        QCOMPARE(smsPduEncodeSubmit(text, phone, parts), ok);
        QCOMPARE(parts.size(), ok ? 1 : 0);
        if (ok) {
            SmsPduMessage message;
            QVERIFY(smsPduDecode(parts[0].bytes, message));
            QCOMPARE(message.number, phone.startsWith(u'+') ? phone.left(20) : phone);
        }
    }

    void referencesNeverRepeatBackToBack()
    {
        smsPduSetNextReference(0);
        const QString text = alphabetRun(200);
        int previous = -1;
        for (int i = 0; i < 300; ++i) {
            QList<SmsPdu> parts;
            QVERIFY(smsPduEncodeSubmit(text, u"+123", parts));
            QCOMPARE(parts.size(), 2);
            const int reference = quint8(parts[0].bytes[13]);
            QCOMPARE(quint8(parts[1].bytes[13]), quint8(reference));
            QVERIFY2(reference != 0, qPrintable(QString::number(i)));
            QVERIFY2(reference != previous, qPrintable(QString::number(i)));
            previous = reference;
        }
    }

    void referenceWrapsPastZero()
    {
        smsPduSetNextReference(255);
        QList<SmsPdu> parts;
        QVERIFY(smsPduEncodeSubmit(u"short", u"+123", parts)); // a single part takes no reference
        QVERIFY(smsPduEncodeSubmit(alphabetRun(200), u"+123", parts));
        QCOMPARE(quint8(parts[0].bytes[13]), quint8(255));
        QVERIFY(smsPduEncodeSubmit(alphabetRun(200), u"+123", parts));
        QCOMPARE(quint8(parts[0].bytes[13]), quint8(1));
    }

    void partCountLimit()
    {
        QList<SmsPdu> parts;
        QVERIFY(smsPduEncodeSubmit(repeated(QStringLiteral("a"), 39015), u"+123", parts));
        QCOMPARE(parts.size(), 255);
        QCOMPARE(parts.last().bytes.mid(10, 6), hex("05 00 03 42 FF FF"));
        QCOMPARE(unsigned(smsPduTextLength(repeated(QStringLiteral("a"), 39016))), 256u);

        QVERIFY(!smsPduEncodeSubmit(repeated(QStringLiteral("a"), 39016), u"+123", parts));
        QVERIFY(parts.isEmpty());
    }

    void decodeDeliverFromHex()
    {
        const QString text =
            QStringLiteral("07917283010010F5040BC87238880900F10000993092516195800AE8329BFD4697D9EC37");
        for (const QString& variant : {text, text.toLower()}) {
            QByteArray tpdu;
            QVERIFY(smsPduFromHex(variant, tpdu));
            QCOMPARE(tpdu.size(), 28);
            SmsPduMessage message;
            QVERIFY(smsPduDecode(tpdu, message));
            QCOMPARE(message.text, QStringLiteral("hellohello"));
            QCOMPARE(message.number, QStringLiteral("27838890001"));
            QCOMPARE(message.reference, quint8(0));
            QCOMPARE(message.partCount, quint8(0));
            QCOMPARE(message.partNumber, quint8(0));
            // The same whatever the computer's time zone (the test runs under several).
            QCOMPARE(message.timeStamp, SctsUtc);
        }
    }

    void decode_data()
    {
        QTest::addColumn<QByteArray>("tpdu");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("number");
        QTest::addColumn<QList<int>>("concat");
        QTest::addColumn<quint32>("timeStamp");
        const QList<int> none{0, 0, 0};

        QTest::newRow("zone west") << deliver("03 91 21 F3", "02 E8 34", "99 30 92 51 61 95 88")
                                   << QStringLiteral("hi") << QStringLiteral("+123") << none << 4078487819u;
        QTest::newRow("alphanumeric sender")
            << hex("04 0A D0 E8 32 9B FD 06 00 00 99 30 92 51 61 95 80 02 E8 34") << QStringLiteral("hi")
            << QStringLiteral("hello") << none << SctsUtc;
        QTest::newRow("alphanumeric sender of 7")
            << deliver("0D D0 CC 7A BB 3C 5F C7 00") << QStringLiteral("hi") << QStringLiteral("Lumesk1")
            << none << SctsUtc;
        QTest::newRow("message waiting indication")
            << deliver("04 D0 11 00") << QStringLiteral("hi") << QString() << none << SctsUtc;
        QTest::newRow("submit without validity")
            << hex("01 00 03 91 21 F3 00 00 05 E8 32 9B FD 06") << QStringLiteral("hello")
            << QStringLiteral("+123") << none << 0u;
        QTest::newRow("status report without indicator")
            << hex("06 2A 03 91 21 F3") + hex(Scts) + hex(Scts) + hex("00") << QString()
            << QStringLiteral("+123") << none << SctsUtc;
        QTest::newRow("status report with indicator")
            << hex("06 2A 03 91 21 F3") + hex(Scts) + hex(Scts) + hex("00 00") << QString()
            << QStringLiteral("+123") << none << SctsUtc;
        QTest::newRow("status report with text")
            << hex("06 2A 03 91 21 F3") + hex(Scts) + hex(Scts) + hex("00 04 02 E8 34")
            << QStringLiteral("hi") << QStringLiteral("+123") << none << SctsUtc;

        const QByteArray head8 = hex("44 03 91 21 F3 00 04") + hex(Scts);
        QTest::newRow("element runs past header")
            << head8 + hex("08 05 00 04 42 02 01 48 69") << QStringLiteral("Hi") << QStringLiteral("+123")
            << none << SctsUtc;
        QTest::newRow("part number above count")
            << head8 + hex("08 05 00 03 42 02 03 48 69") << QStringLiteral("Hi") << QStringLiteral("+123")
            << none << SctsUtc;
        QTest::newRow("part number zero") << head8 + hex("08 05 00 03 42 02 00 48 69") << QStringLiteral("Hi")
                                          << QStringLiteral("+123") << none << SctsUtc;
        QTest::newRow("part count zero") << head8 + hex("08 05 00 03 42 00 00 48 69") << QStringLiteral("Hi")
                                         << QStringLiteral("+123") << none << SctsUtc;
        QTest::newRow("short concatenation element")
            << head8 + hex("09 06 00 02 42 02 15 00 48 69") << QStringLiteral("Hi") << QStringLiteral("+123")
            << none << SctsUtc;
        QTest::newRow("valid concatenation")
            << head8 + hex("08 05 00 03 42 02 01 48 69") << QStringLiteral("Hi") << QStringLiteral("+123")
            << QList<int>{0x42, 2, 1} << SctsUtc;
        QTest::newRow("known element of length 0")
            << head8 + hex("08 05 04 00 00 00 00 48 69") << QStringLiteral("Hi") << QStringLiteral("+123")
            << none << SctsUtc;
        QTest::newRow("header too short") << head8 + hex("04 02 00 00 48") << QStringLiteral("H")
                                          << QStringLiteral("+123") << none << SctsUtc;
        QTest::newRow("header longer than user data")
            << head8 + hex("03 FF 48 69") << QString() << QStringLiteral("+123") << none << SctsUtc;
        QTest::newRow("7-bit header with fill")
            << hex("44 03 91 21 F3 00 00") + hex(Scts) + hex("09 05 00 03 42 02 02 D0 69")
            << QStringLiteral("hi") << QStringLiteral("+123") << QList<int>{0x42, 2, 2} << SctsUtc;
        QTest::newRow("7-bit invalid header skipped by septets")
            << hex("44 03 91 21 F3 00 00") + hex(Scts) + hex("09 05 00 02 42 02 02 D0 69")
            << QStringLiteral("hi") << QStringLiteral("+123") << none << SctsUtc;
        QTest::newRow("ucs2 odd octet dropped")
            << hex("04 03 91 21 F3 00 08") + hex(Scts) + hex("03 04 16 04") << QStringLiteral("\u0416")
            << QStringLiteral("+123") << none << SctsUtc;
        QTest::newRow("8-bit as Latin-1")
            << hex("04 03 91 21 F3 00 04") + hex(Scts) + hex("02 E9 41") << QStringLiteral("\u00E9A")
            << QStringLiteral("+123") << none << SctsUtc;
        QTest::newRow("escape then unknown code")
            << deliver("03 91 21 F3", "02 9B 20") << QStringLiteral(" A") << QStringLiteral("+123") << none
            << SctsUtc;
        QTest::newRow("escape at the end") << deliver("03 91 21 F3", "02 E1 0D") << QStringLiteral("a ")
                                           << QStringLiteral("+123") << none << SctsUtc;
        QTest::newRow("21 digits cut to 20")
            << deliver("15 81 21 43 65 87 09 21 43 65 87 09 F1") << QStringLiteral("hi")
            << QStringLiteral("12345678901234567890") << none << SctsUtc;
        QTest::newRow("international 20 digits")
            << deliver("14 91 21 43 65 87 09 21 43 65 87 09") << QStringLiteral("hi")
            << QStringLiteral("+1234567890123456789") << none << SctsUtc;
        QTest::newRow("filler in the low half ends the number")
            << deliver("06 81 21 F3 65") << QStringLiteral("hi") << QStringLiteral("123") << none << SctsUtc;
        QTest::newRow("month 13") << deliver("03 91 21 F3", "02 E8 34", "99 31 92 51 61 95 80")
                                  << QStringLiteral("hi") << QStringLiteral("+123") << none << 0u;
        QTest::newRow("digit nibble A") << deliver("03 91 21 F3", "02 E8 34", "99 30 92 5A 61 95 80")
                                        << QStringLiteral("hi") << QStringLiteral("+123") << none << 0u;
        QTest::newRow("zone nibble A") << deliver("03 91 21 F3", "02 E8 34", "99 30 92 51 61 95 A0")
                                       << QStringLiteral("hi") << QStringLiteral("+123") << none << 0u;
        QTest::newRow("30 February") << deliver("03 91 21 F3", "02 E8 34", "99 20 03 51 61 95 80")
                                     << QStringLiteral("hi") << QStringLiteral("+123") << none << 0u;
        QTest::newRow("minute 60") << deliver("03 91 21 F3", "02 E8 34", "99 30 92 51 06 95 80")
                                   << QStringLiteral("hi") << QStringLiteral("+123") << none << 0u;
    }

    void decode()
    {
        QFETCH(QByteArray, tpdu);
        QFETCH(QString, text);
        QFETCH(QString, number);
        QFETCH(QList<int>, concat);
        QFETCH(quint32, timeStamp);
        SmsPduMessage message;
        message.text = QStringLiteral("stale");
        QVERIFY(smsPduDecode(tpdu, message));
        QCOMPARE(message.text, text);
        QCOMPARE(message.number, number);
        QCOMPARE((QList<int>{message.reference, message.partCount, message.partNumber}), concat);
        QCOMPARE(message.timeStamp, timeStamp);
    }

    void decodeFailures_data()
    {
        QTest::addColumn<QByteArray>("tpdu");
        QTest::addColumn<int>("result");
        QTest::newRow("empty") << QByteArray() << int(SmsPduTooShort);
        QTest::newRow("byte after user data")
            << deliver("03 91 21 F3", "02 E8 34 00") << int(SmsPduLengthMismatch);
        QTest::newRow("22 digits") << deliver("16 81 21 43 65 87 09 21 43 65 87 09 21")
                                   << int(SmsPduBadAddress);
        QTest::newRow("international 21 digits")
            << deliver("15 91 21 43 65 87 09 21 43 65 87 09 F1") << int(SmsPduBadAddress);
        QTest::newRow("alphanumeric of 27")
            << deliver("30 D0 000000000000000000000000000000000000000000000000") << int(SmsPduBadAddress);
        QTest::newRow("address past the end") << hex("04 FF 91 21 43") << int(SmsPduTooShort);
        QTest::newRow("report ends before status")
            << hex("06 2A 03 91 21 F3") + hex(Scts) + hex(Scts) << int(SmsPduTooShort);
        QTest::newRow("report indicator names missing data")
            << hex("06 2A 03 91 21 F3") + hex(Scts) + hex(Scts) + hex("00 04") << int(SmsPduTooShort);
        QTest::newRow("submit without validity octet")
            << hex("11 00 03 91 21 F3 00 00") << int(SmsPduTooShort);
        // A user-data length that names more than follows: the message would read as complete.
        QTest::newRow("7-bit length beyond the octets")
            << deliver("03 91 21 F3", "FF E8 32 9B FD 06") << int(SmsPduTooShort);
        QTest::newRow("7-bit length one septet beyond")
            << deliver("03 91 21 F3", "07 E8 32 9B FD 06") << int(SmsPduTooShort);
        QTest::newRow("8-bit length beyond the octets")
            << hex("04 03 91 21 F3 00 04") + hex(Scts) + hex("03 48 69") << int(SmsPduTooShort);
        QTest::newRow("ucs2 length beyond the octets")
            << hex("04 03 91 21 F3 00 08") + hex(Scts) + hex("04 04 16") << int(SmsPduTooShort);
        QTest::newRow("header counted in the length")
            << hex("44 03 91 21 F3 00 04") + hex(Scts) + hex("09 05 00 03 42 02 01 48 69")
            << int(SmsPduTooShort);

        const QByteArray full = hex("040BC87238880900F10000993092516195800AE8329BFD4697D9EC37");
        for (int length = 1; length < 19; ++length)
            QTest::addRow("prefix %d", length) << full.left(length) << int(SmsPduTooShort);
    }

    void decodeFailures()
    {
        QFETCH(QByteArray, tpdu);
        QFETCH(int, result);
        SmsTpdu record;
        record.address = QStringLiteral("stale");
        QCOMPARE(smsPduParse(SmsTpduMessageForms, tpdu, record), result);
        QCOMPARE(record, SmsTpdu());
        SmsPduMessage message;
        message.text = QStringLiteral("stale");
        QVERIFY(!smsPduDecode(tpdu, message));
        QVERIFY(message.text.isEmpty());
    }

    void fromHexFailures_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("empty") << QString();
        QTest::newRow("odd length") << QStringLiteral("0007917");
        QTest::newRow("not hex") << QStringLiteral("0G00");
        QTest::newRow("blank") << QStringLiteral("00 1");
        QTest::newRow("trailing newline") << QStringLiteral("0004\n0");
        QTest::newRow("address runs past the data") << QStringLiteral("FF00112233");
        QTest::newRow("address one too long") << QStringLiteral("0291");
        QTest::newRow("non-latin digit") << QStringLiteral("00\u0661\u0662");
    }

    void fromHexFailures()
    {
        QFETCH(QString, text);
        QByteArray tpdu = "stale";
        QVERIFY(!smsPduFromHex(text, tpdu));
        QVERIFY(tpdu.isEmpty());
    }

    void fromHexSkipsAddress()
    {
        QByteArray tpdu;
        QVERIFY(smsPduFromHex(u"00aBcD", tpdu));
        QCOMPARE(tpdu, hex("AB CD"));
        QVERIFY(smsPduFromHex(u"0191", tpdu));
        QVERIFY(tpdu.isEmpty());
    }

    void roundTrip_data()
    {
        QTest::addColumn<SmsTpdu>("record");
        QTest::addColumn<quint8>("parseVariant");

        SmsTpdu deliver;
        deliver.type = SmsTpduDeliver;
        deliver.address = QStringLiteral("+4917012345");
        deliver.addressType = 0x11;
        deliver.moreMessages = 1;
        deliver.replyPath = 1;
        deliver.statusReport = 1;
        deliver.protocolId = 0x39;
        deliver.timeStamp = {SctsUtc, 8};
        deliver.userData = QByteArray("\x68\x69\x1B\x28", 4);
        QTest::newRow("deliver") << deliver << SmsTpduMessageForms;

        SmsTpdu concat = deliver;
        concat.hasUserDataHeader = 1;
        concat.setElement(0, hex("42 03 02"));
        concat.setElement(8, hex("12 34 03 02"));
        concat.timeStamp = {946684800 + 79 * 900, -79};
        QTest::newRow("deliver with header") << concat << SmsTpduMessageForms;

        SmsTpdu alpha = deliver;
        alpha.address = QStringLiteral("Lumesk{}1");
        alpha.addressType = 0x50;
        alpha.dataCoding = 0x08;
        alpha.userData = hex("04 16 D8 3D DE 00");
        QTest::newRow("deliver alphanumeric ucs2") << alpha << SmsTpduMessageForms;

        SmsTpdu octets = deliver;
        octets.dataCoding = 0xF4;
        octets.userData = QByteArray(140, '\xFF');
        QTest::newRow("deliver 8-bit full") << octets << SmsTpduMessageForms;

        SmsTpdu submit;
        submit.type = SmsTpduSubmit;
        submit.messageRef = 7;
        submit.rejectDuplicates = 1;
        submit.replyPath = 1;
        submit.statusReport = 1;
        submit.validityFormat = SmsValidityRelative;
        submit.validity = 0xA7;
        submit.address = QStringLiteral("*#abc0123");
        submit.addressType = 0x01;
        submit.userData = QByteArray(160, 'x');
        QTest::newRow("submit relative 160") << submit << SmsTpduMessageForms;

        SmsTpdu absolute = submit;
        absolute.validityFormat = SmsValidityAbsolute;
        absolute.validity = 0;
        absolute.timeStamp = {4102444799u - 79 * 900, 79};
        absolute.userData = "ok";
        QTest::newRow("submit absolute") << absolute << SmsTpduMessageForms;

        SmsTpdu enhanced = submit;
        enhanced.validityFormat = SmsValidityEnhanced;
        enhanced.validity = 0x03;
        enhanced.timeStamp = {99 * 3600 + 59 * 60 + 58, 0};
        enhanced.userData = "ok";
        QTest::newRow("submit enhanced time") << enhanced << SmsTpduMessageForms;
        enhanced.validity = 0x42;
        enhanced.timeStamp = {200, 0};
        QTest::newRow("submit enhanced seconds") << enhanced << SmsTpduMessageForms;

        SmsTpdu none = submit;
        none.validityFormat = SmsValidityNone;
        none.validity = 0;
        none.userData.clear();
        QTest::newRow("submit no validity, empty") << none << SmsTpduMessageForms;

        SmsTpdu report;
        report.type = SmsTpduStatusReport;
        report.messageRef = 0x2A;
        report.moreMessages = 1;
        report.statusReport = 1;
        report.address = QStringLiteral("+123");
        report.addressType = 0x11;
        report.timeStamp = {SctsUtc, 8};
        report.dischargeTime = {SctsUtc + 60, -4};
        report.status = 0x41;
        QTest::newRow("status report") << report << SmsTpduMessageForms;
        report.parameters = 0x07;
        report.protocolId = 0x12;
        report.dataCoding = 0x04;
        report.userData = "data";
        QTest::newRow("status report with parameters") << report << SmsTpduMessageForms;

        SmsTpdu deliverReport;
        deliverReport.type = SmsTpduDeliverReport;
        deliverReport.variant = SmsTpduReportWithCause;
        deliverReport.status = 0xD3;
        deliverReport.parameters = 0x06;
        deliverReport.dataCoding = 0x08;
        deliverReport.userData = hex("00 41");
        QTest::newRow("deliver report with cause") << deliverReport << SmsTpduReportWithCause;
        deliverReport.variant = SmsTpduReportForms;
        deliverReport.status = 0;
        QTest::newRow("deliver report") << deliverReport << SmsTpduReportForms;

        SmsTpdu submitReport;
        submitReport.type = SmsTpduSubmitReport;
        submitReport.variant = SmsTpduReportWithCause;
        submitReport.status = 0xC0;
        submitReport.parameters = 0x01;
        submitReport.protocolId = 0x20;
        submitReport.timeStamp = {SctsUtc, 0};
        QTest::newRow("submit report with cause") << submitReport << SmsTpduReportWithCause;
        submitReport.variant = SmsTpduReportForms;
        submitReport.status = 0;
        submitReport.parameters = 0;
        submitReport.protocolId = 0;
        QTest::newRow("submit report") << submitReport << SmsTpduReportForms;

        SmsTpdu command;
        command.type = SmsTpduCommand;
        command.variant = SmsTpduReportWithCause;
        command.statusReport = 1;
        command.messageRef = 9;
        command.protocolId = 0x40;
        command.commandType = 2;
        command.messageNumber = 0x2A;
        command.address = QStringLiteral("5551234");
        command.addressType = 0x01;
        QTest::newRow("command") << command << SmsTpduReportWithCause;
    }

    void roundTrip()
    {
        QFETCH(SmsTpdu, record);
        QFETCH(quint8, parseVariant);
        QByteArray bytes;
        QCOMPARE(smsPduBuild(record, bytes), int(SmsPduSuccess));
        unsigned size = 0;
        QCOMPARE(smsPduSize(record, size), int(SmsPduSuccess));
        QCOMPARE(size, unsigned(bytes.size()));
        SmsTpdu parsed;
        QCOMPARE(smsPduParse(parseVariant, bytes, parsed), int(SmsPduSuccess));
        QCOMPARE(parsed, normalised(record));
    }

    void elementsAreUniqueInInsertionOrder()
    {
        SmsTpdu record;
        record.type = SmsTpduDeliver;
        record.address = QStringLiteral("1");
        record.timeStamp = {SctsUtc, 0};
        record.dataCoding = 0x04;
        record.hasUserDataHeader = 1;
        record.setElement(0, hex("01 02 01"));
        record.setElement(5, hex("00 10 00 20"));
        record.setElement(0, hex("07 03 02"));
        record.setElement(2, hex("AA"));   // not a known id: left out when building
        record.setElement(300, hex("BB")); // not a known id
        QCOMPARE(record.elements.size(), 4);
        QCOMPARE(record.element(0)->data, hex("07 03 02"));
        QCOMPARE(record.elements[0].id, quint16(0));
        QCOMPARE(record.elements[1].id, quint16(5));

        QByteArray bytes;
        QCOMPARE(smsPduBuild(record, bytes), int(SmsPduSuccess));
        QVERIFY(bytes.endsWith(hex("0B 00 03 07 03 02 05 04 00 10 00 20")));
        SmsTpdu parsed;
        QCOMPARE(smsPduParse(SmsTpduMessageForms, bytes, parsed), int(SmsPduSuccess));
        QCOMPARE(parsed.elements, (QList<SmsPduElement>{{0, hex("07 03 02")}, {5, hex("00 10 00 20")}}));

        // A header flag without known elements still writes a (empty) header, so the text survives.
        SmsTpdu flagOnly = record;
        flagOnly.elements.clear();
        flagOnly.userData = "hi";
        QCOMPARE(smsPduBuild(flagOnly, bytes), int(SmsPduSuccess));
        QCOMPARE(smsPduParse(SmsTpduMessageForms, bytes, parsed), int(SmsPduSuccess));
        QCOMPARE(parsed.userData, QByteArray("hi"));
    }

    void buildFailures_data()
    {
        QTest::addColumn<SmsTpdu>("record");
        SmsTpdu base;
        base.type = SmsTpduDeliver;
        base.address = QStringLiteral("+123");
        base.addressType = 0x11;
        base.timeStamp = {SctsUtc, 0};
        base.userData = "ok";

        SmsTpdu r = base;
        r.type = 0;
        QTest::newRow("no type") << r;
        r = base;
        r.type = 7;
        QTest::newRow("unknown type") << r;
        r = base;
        r.address = QStringLiteral("1234567890123456789012");
        QTest::newRow("22-digit address") << r;
        r = base;
        r.address = QStringLiteral("12-3");
        QTest::newRow("bad digit") << r;
        r = base;
        r.userData = QByteArray(161, 'a');
        QTest::newRow("161 codes") << r;
        r = base;
        r.userData = QByteArray(154, 'a');
        r.setElement(0, hex("01 02 01"));
        QTest::newRow("codes and header over 140 octets") << r;
        r = base;
        r.userData = QByteArray(1, '\x80');
        QTest::newRow("code above 0x7F") << r;
        r = base;
        r.dataCoding = 0x04;
        r.userData = QByteArray(141, 'a');
        QTest::newRow("141 octets") << r;
        r = base;
        r.setElement(0x70, QByteArray(256, 'a'));
        QTest::newRow("element over 255 bytes") << r;
        r = base;
        r.timeStamp = {0, 0};
        QTest::newRow("time before 2000") << r;
        r = base;
        r.timeStamp = {4102444800u, 0};
        QTest::newRow("time in 2100") << r;
        r = base;
        r.timeStamp = {SctsUtc, 80};
        QTest::newRow("zone out of range") << r;
        r = base;
        r.type = SmsTpduSubmit;
        r.validityFormat = SmsValidityEnhanced;
        r.validity = 0x01;
        r.timeStamp = {256, 0};
        QTest::newRow("enhanced relative over 255") << r;
        r.validity = 0x03;
        r.timeStamp = {100 * 3600, 0};
        QTest::newRow("enhanced time of 100 hours") << r;
    }

    void buildFailures()
    {
        QFETCH(SmsTpdu, record);
        QByteArray bytes = "stale";
        QCOMPARE(smsPduBuild(record, bytes), int(SmsPduMissing));
        QVERIFY(bytes.isEmpty());
        unsigned size = 99;
        QCOMPARE(smsPduSize(record, size), int(SmsPduMissing));
        QCOMPARE(size, 0u);
    }
};

QTEST_GUILESS_MAIN(TestSmsPduCodec)
#include "tst_smspducodec.moc"
