// Hostile input for the PDU reader: random and mutated TPDUs and hexadecimal texts. A fixed number of
// inputs from a fixed seed (LUMESK_ROBUST_SEED overrides it); a failure names the seed and the input.

#include "smspduchecks.h"

#include <QRandomGenerator>
#include <QTest>

namespace {

constexpr quint32 DefaultSeed = 0x5E17A7u;

// Every vector the codec test names, as TPDU bytes.
QList<QByteArray> vectors()
{
    const char* scts = "993092516195 80";
    QList<QByteArray> list;
    for (const char* text : {
             "040BC87238880900F10000993092516195800AE8329BFD4697D9EC37",
             "040AD0E8329BFD060000993092516195800 2E834",
             "01000391 21F3 0000 05 E8329BFD06",
             "3100039121F30000FF05E8329BFD06",
             "3100 0A81 4010325476 0008FF0C041F04400438043204350442",
             "7100039121F30000FF0F0500034202 02F0797D583C269701",
             "7100039121F30000FF130500034202 0236A870381C0E87C3E17018",
             "440391 21F30004 99309251619580 08 0500044202014869",
             "440391 21F30004 99309251619580 08 0500034202034869",
             "440391 21F30004 99309251619580 08 0500034202014869",
             "440391 21F30004 99309251619580 03 FF4869",
             "040391 21F30000 99309251619580 FF E8329BFD06",
             "04158121436587092143658709F1 0000 99309251619580 02E834",
             "041491214365870921436587 09 0000 99309251619580 02E834",
             "040DD0CC7ABB3C5FC700 0000 99309251619580 02E834",
             "0404D01100 0000 99309251619580 02E834",
             "5900039121F30000 1BEE14 99309251619580 80 A0 0B 050003420201 000412345678 C2E231B9",
             "2B07 0391 21F3 0000 05 0000",
             "010A 0450 E8329BFD06 4103 420000",
             "00 D3 06 08 04 0041",
             "01 C0 01 99309251619580 20",
             "26 09 40 02 2A 07 81 5555 2143F1",
         }) {
        list.append(QByteArray::fromHex(text));
    }
    const QByteArray report = QByteArray::fromHex("062A039121F3") + QByteArray::fromHex(scts) +
                              QByteArray::fromHex(scts) + QByteArray::fromHex("00");
    list.append(report);
    list.append(report + QByteArray::fromHex("00"));
    list.append(report + QByteArray::fromHex("07 12 04 04 64617461"));
    return list;
}

class Checker
{
public:
    explicit Checker(quint32 seed) : m_seed(seed) {}

    qint64 inputs() const { return m_inputs; }
    qint64 decoded() const { return m_decoded; }
    const QString& failure() const { return m_failure; }

    void tpdu(const QByteArray& bytes)
    {
        ++m_inputs;
        if (!m_failure.isEmpty())
            return;
        bool decoded = false;
        const QString problem = smsPduCheckTpdu(bytes, &decoded);
        m_decoded += decoded ? 1 : 0;
        if (!problem.isEmpty())
            fail(problem, QString::fromLatin1(bytes.toHex()));
    }

    void hexText(const QString& text)
    {
        ++m_inputs;
        if (!m_failure.isEmpty())
            return;
        const QString problem = smsPduCheckHex(text);
        if (!problem.isEmpty())
            fail(problem, text);
    }

private:
    void fail(const QString& problem, const QString& input)
    {
        m_failure = QStringLiteral("seed %1, input %2: %3\n  input: %4")
                        .arg(m_seed)
                        .arg(m_inputs)
                        .arg(problem, input);
    }

    quint32 m_seed;
    qint64 m_inputs = 0;
    qint64 m_decoded = 0;
    QString m_failure;
};

QByteArray randomBytes(QRandomGenerator& random, int length)
{
    QByteArray bytes(length, '\0');
    for (char& b : bytes)
        b = char(random.bounded(256));
    return bytes;
}

} // namespace

class TestSmsPduRobust : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        bool ok = false;
        const quint32 seed = qEnvironmentVariable("LUMESK_ROBUST_SEED").toUInt(&ok);
        m_seed = ok ? seed : DefaultSeed;
    }

    void randomBytes()
    {
        QRandomGenerator random(m_seed);
        Checker checker(m_seed);
        for (int i = 0; i < 100000; ++i)
            checker.tpdu(::randomBytes(random, random.bounded(301)));
        QVERIFY2(checker.failure().isEmpty(), qPrintable(checker.failure()));
    }

    void vectorPrefixesAndMutations()
    {
        QRandomGenerator random(m_seed + 1);
        Checker checker(m_seed);
        static const quint8 extremes[] = {0x00, 0x01, 0x02, 0x03, 0x7F, 0x80, 0x8B,
                                          0x8C, 0x8D, 0xA0, 0xA1, 0xFE, 0xFF};
        const QList<QByteArray> list = vectors();
        for (const QByteArray& vector : list) {
            for (qsizetype length = 0; length <= vector.size(); ++length)
                checker.tpdu(vector.left(length));
            for (qsizetype pos = 0; pos < vector.size(); ++pos) {
                for (quint8 value : extremes) {
                    QByteArray mutated = vector;
                    mutated[pos] = char(value);
                    checker.tpdu(mutated);
                    // Lengths at extremes with the data cut or extended around them.
                    checker.tpdu(mutated.left(pos + 1));
                    checker.tpdu(mutated + ::randomBytes(random, random.bounded(1, 200)));
                }
            }
            // Random mutations of one to four octets, some with the tail cut.
            for (int i = 0; i < 2000; ++i) {
                QByteArray mutated = vector;
                const int changes = random.bounded(1, 5);
                for (int c = 0; c < changes; ++c)
                    mutated[random.bounded(int(mutated.size()))] = char(random.bounded(256));
                if (random.bounded(4) == 0)
                    mutated.truncate(random.bounded(int(mutated.size()) + 1));
                checker.tpdu(mutated);
            }
        }
        qInfo("%lld mutated inputs, %lld decoded", checker.inputs(), checker.decoded());
        QVERIFY2(checker.failure().isEmpty(), qPrintable(checker.failure()));
        QVERIFY(checker.inputs() >= 50000);
        // Most mutations keep a readable message, so the decoding paths themselves are exercised.
        QVERIFY(checker.decoded() > checker.inputs() / 5);
    }

    void hexTexts()
    {
        QRandomGenerator random(m_seed + 2);
        Checker checker(m_seed);
        static const char16_t digits[] = u"0123456789ABCDEFabcdef";
        static const char16_t strays[] = {u' ', u'g', u'G',      u'x',      u'\n',     u'\r',    u'\0',
                                          u'+', u'-', u'\u00E9', u'\u0661', u'\uFF10', u'\xD83D'};
        const QList<QByteArray> list = vectors();
        for (int i = 0; i < 60000; ++i) {
            QString text;
            switch (i % 3) {
            case 0: { // random digits, any length, a stray character now and then
                const int length = random.bounded(401);
                for (int c = 0; c < length; ++c) {
                    if (random.bounded(50) == 0)
                        text.append(QChar(strays[random.bounded(int(std::size(strays)))]));
                    else
                        text.append(QChar(digits[random.bounded(22)]));
                }
                break;
            }
            case 1: { // a service-centre address length of any size in front of a vector
                const QByteArray vector = list[random.bounded(int(list.size()))];
                const QByteArray sca = ::randomBytes(random, random.bounded(12));
                QByteArray all =
                    QByteArray(1, char(random.bounded(2) ? sca.size() : random.bounded(256))) + sca + vector;
                text = QString::fromLatin1(random.bounded(2) ? all.toHex().toUpper() : all.toHex());
                if (random.bounded(4) == 0)
                    text.chop(random.bounded(int(text.size()) + 1));
                break;
            }
            default: // random bytes as hex
                text = QString::fromLatin1(::randomBytes(random, random.bounded(200)).toHex());
                break;
            }
            checker.hexText(text);
        }
        QVERIFY2(checker.failure().isEmpty(), qPrintable(checker.failure()));
    }

    void encodedTextsReadBack()
    {
        // Random texts through the encoder and back through the reader of the hex text the modem gives.
        QRandomGenerator random(m_seed + 3);
        static const char16_t alphabet[] = u"aZ09 @\u00A3\u00E1{}[]~\u20AC\\|^\u0416\u00E9\n\x1B";
        for (int i = 0; i < 2000; ++i) {
            QString text;
            const int length = random.bounded(1, 400);
            for (int c = 0; c < length; ++c) {
                if (random.bounded(40) == 0)
                    text.append(QString::fromUtf16(u"\U0001F600"));
                else
                    text.append(QChar(alphabet[random.bounded(int(std::size(alphabet)) - 1)]));
            }
            QList<SmsPdu> parts;
            const bool ok = smsPduEncodeSubmit(text, u"+4912345", parts);
            QVERIFY2(ok, qPrintable(QStringLiteral("seed %1 case %2").arg(m_seed).arg(i)));
            QCOMPARE(unsigned(parts.size()), smsPduTextLength(text));
            QString joined;
            for (const SmsPdu& part : parts) {
                QVERIFY(part.length() <= unsigned(SmsMaxTpduOctets));
                QByteArray tpdu;
                QVERIFY(smsPduFromHex(QString::fromLatin1("00" + part.bytes.toHex()), tpdu));
                SmsPduMessage message;
                QVERIFY(smsPduDecode(tpdu, message));
                joined += message.text;
            }
            // Characters outside every table turn the whole message into UCS-2, so nothing is lost
            // except look-alike substitutions, which this alphabet only has in a-acute.
            QString expected = text;
            if (smsPduTextLength(text) > 0 && !text.contains(QChar(u'\u0416')) &&
                !text.contains(QChar(u'\x1B')) && !text.contains(QString::fromUtf16(u"\U0001F600")))
                expected.replace(QChar(u'\u00E1'), QChar(u'a'));
            QVERIFY2(joined == expected, qPrintable(QStringLiteral("seed %1 case %2").arg(m_seed).arg(i)));
        }
    }

private:
    quint32 m_seed = DefaultSeed;
};

QTEST_GUILESS_MAIN(TestSmsPduRobust)
#include "tst_smspdurobust.moc"
