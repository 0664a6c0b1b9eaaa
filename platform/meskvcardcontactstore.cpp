#include "meskvcardcontactstore.h"

#include <QDebug>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QStandardPaths>
#include <QStringDecoder>

#include <algorithm>

namespace {

IMeskContactStore::Factory& factoryRef()
{
    static IMeskContactStore::Factory factory;
    return factory;
}

// The position of the first c in text that is not inside double quotes; -1 when none.
qsizetype findUnquoted(QByteArrayView text, char c, qsizetype from = 0)
{
    bool quoted = false;
    for (qsizetype i = from; i < text.size(); ++i) {
        if (text[i] == '"')
            quoted = !quoted;
        else if (text[i] == c && !quoted)
            return i;
    }
    return -1;
}

QList<QByteArrayView> splitUnquoted(QByteArrayView text, char c)
{
    QList<QByteArrayView> parts;
    qsizetype start = 0;
    for (qsizetype end = findUnquoted(text, c); end >= 0; end = findUnquoted(text, c, start)) {
        parts.append(text.sliced(start, end - start));
        start = end + 1;
    }
    parts.append(text.sliced(start));
    return parts;
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

QByteArray decodeQuotedPrintable(QByteArrayView text)
{
    QByteArray out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == '=' && i + 2 < text.size() && hexValue(text[i + 1]) >= 0 &&
            hexValue(text[i + 2]) >= 0) {
            out.append(char(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2])));
            i += 2;
        } else if (text[i] != '=' || i + 1 < text.size()) {
            out.append(text[i]);
        }
    }
    return out;
}

// Splits a text value at unescaped semicolons and undoes the backslash escapes of each part.
QStringList components(const QString& value, bool structured)
{
    QStringList parts;
    QString current;
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value.at(i);
        if (c == QLatin1Char('\\') && i + 1 < value.size()) {
            const QChar next = value.at(++i);
            current += next == QLatin1Char('n') || next == QLatin1Char('N') ? QChar(u'\n') : next;
        } else if (c == QLatin1Char(';') && structured) {
            parts.append(current);
            current.clear();
        } else {
            current += c;
        }
    }
    parts.append(current);
    return parts;
}

// One property line: its name (no group, upper case), its parameters and its value.
struct Property
{
    QByteArray name;
    QSet<QByteArray> types; // lower case: TYPE values and 2.1's bare parameters
    QByteArray charset;
    bool quotedPrintable = false;
    QByteArrayView value;
};

bool parseProperty(QByteArrayView line, Property* property)
{
    const qsizetype colon = findUnquoted(line, ':');
    if (colon < 0)
        return false;
    const QList<QByteArrayView> head = splitUnquoted(line.first(colon), ';');
    QByteArrayView name = head.first().trimmed();
    if (const qsizetype dot = name.lastIndexOf('.'); dot >= 0)
        name = name.sliced(dot + 1);
    property->name = name.toByteArray().toUpper();
    property->value = line.sliced(colon + 1);
    for (qsizetype i = 1; i < head.size(); ++i) {
        const QByteArrayView parameter = head.at(i).trimmed();
        const qsizetype eq = parameter.indexOf('=');
        const QByteArray key =
            eq < 0 ? QByteArray("TYPE") : parameter.first(eq).trimmed().toByteArray().toUpper();
        QByteArray value = (eq < 0 ? parameter : parameter.sliced(eq + 1)).trimmed().toByteArray();
        value.replace('"', QByteArray());
        if (key == "ENCODING" || (eq < 0 && value.toUpper() == "QUOTED-PRINTABLE")) {
            if (value.toUpper() == "QUOTED-PRINTABLE")
                property->quotedPrintable = true;
        } else if (key == "CHARSET") {
            property->charset = value;
        } else if (key == "TYPE") {
            for (const QByteArray& type : value.split(','))
                property->types.insert(type.trimmed().toLower());
        }
    }
    return true;
}

QString decodeValue(const Property& property)
{
    const QByteArray bytes =
        property.quotedPrintable ? decodeQuotedPrintable(property.value) : property.value.toByteArray();
    if (!property.charset.isEmpty()) {
        QStringDecoder decoder(property.charset.constData());
        if (decoder.isValid())
            return decoder.decode(bytes);
    }
    return QString::fromUtf8(bytes);
}

// The reader's property for a telephone number of these types that is still free on the card.
QString phoneProperty(const QSet<QByteArray>& types, const CMeskVCardContactStore::Properties& taken)
{
    const bool home = types.contains("home");
    const bool work = types.contains("work");
    QStringList wanted;
    if (types.contains("fax") && (home || work)) {
        wanted = {work ? QStringLiteral("BusinessFax") : QStringLiteral("HomeFax")};
    } else if (types.contains("pager")) {
        wanted = {QStringLiteral("Pager")};
    } else if (types.contains("cell") && home) {
        wanted = {QStringLiteral("HomeMobile")};
    } else if (types.contains("cell") && work) {
        wanted = {QStringLiteral("BusinessMobile")};
    } else if (types.contains("cell")) {
        wanted = {QStringLiteral("GeneralMobile"), QStringLiteral("GeneralMobile2"),
                  QStringLiteral("GeneralMobile3")};
    } else if (home) {
        wanted = {QStringLiteral("HomePhone")};
    } else if (work) {
        wanted = {QStringLiteral("BusinessPhone")};
    }
    // A number whose own place is taken goes to the general one rather than being lost.
    wanted.append(QStringLiteral("GeneralPhone"));
    for (const QString& name : std::as_const(wanted)) {
        if (!taken.contains(name))
            return name;
    }
    return {};
}

// Whether a logical line starting so is one the store reads; the others (photos, addresses,
// notes) are passed over without being collected.
bool isWanted(QByteArrayView line)
{
    qsizetype end = 0;
    while (end < line.size() && line[end] != ';' && line[end] != ':')
        ++end;
    QByteArrayView name = line.first(end).trimmed();
    if (const qsizetype dot = name.lastIndexOf('.'); dot >= 0)
        name = name.sliced(dot + 1);
    static const char* const wanted[] = {
        "BEGIN", "END", "N", "FN", "NICKNAME", "ORG", "TEL", "KIND", "X-ADDRESSBOOKSERVER-KIND", "AGENT"};
    return std::any_of(std::begin(wanted), std::end(wanted), [&](const char* w) {
        return name.compare(QByteArrayView(w), Qt::CaseInsensitive) == 0;
    });
}

// Reads physical lines through one reused buffer. LF, CRLF and CR all end a line, and the last
// line counts without one. A line longer than the limit is passed over without being kept.
class LineReader
{
public:
    LineReader(QIODevice& device, qsizetype limit) : m_device(device), m_limit(limit)
    {
        m_buffer.resize(64 * 1024);
    }

    // The next line into line (its end left out); false at the end of the file or on a read
    // error (failed()). overlong: the line was over the limit and line holds only its first character.
    bool next(QByteArray& line, bool* overlong)
    {
        line.resize(0);
        *overlong = false;
        bool any = false;
        for (;;) {
            if (m_pos == m_end && !fill())
                return any || *overlong;
            if (m_skipLf) {
                m_skipLf = false;
                if (m_buffer.at(m_pos) == '\n') {
                    ++m_pos;
                    continue;
                }
            }
            const char* data = m_buffer.constData();
            qsizetype end = m_pos;
            while (end < m_end && data[end] != '\n' && data[end] != '\r')
                ++end;
            if (!*overlong) {
                if (line.size() + (end - m_pos) > m_limit) {
                    // Only its first character is kept, to tell a continuation line.
                    const char first = line.isEmpty() ? data[m_pos] : line.at(0);
                    *overlong = true;
                    line.resize(0);
                    line.append(first);
                } else {
                    line.append(data + m_pos, end - m_pos);
                }
            }
            any = true;
            if (end < m_end) {
                m_skipLf = data[end] == '\r';
                m_pos = end + 1;
                if (m_first)
                    dropByteOrderMark(line);
                return true;
            }
            m_pos = end;
        }
    }
    bool failed() const { return m_failed; }

private:
    bool fill()
    {
        const qint64 read = m_device.read(m_buffer.data(), m_buffer.size());
        if (read < 0)
            m_failed = true;
        m_pos = 0;
        m_end = qMax<qint64>(read, 0);
        return m_end > 0;
    }
    void dropByteOrderMark(QByteArray& line)
    {
        m_first = false;
        if (line.startsWith("\xEF\xBB\xBF"))
            line.remove(0, 3);
    }

    QIODevice& m_device;
    qsizetype m_limit;
    QByteArray m_buffer;
    qsizetype m_pos = 0;
    qsizetype m_end = 0;
    bool m_skipLf = false;
    bool m_first = true;
    bool m_failed = false;
};

// Whether a physical line begins or ends a card (a quoted-printable soft break never joins one).
bool isCardBoundary(QByteArrayView line)
{
    const QByteArrayView text = line.trimmed();
    return text.startsWith("BEGIN:") || text.startsWith("END:") || text.startsWith("begin:") ||
           text.startsWith("end:") || text.compare("BEGIN:VCARD", Qt::CaseInsensitive) == 0 ||
           text.compare("END:VCARD", Qt::CaseInsensitive) == 0;
}

const QString PropertyNames[CMeskVCardContactStore::Properties::Count] = {
    QStringLiteral("GivenName"),      QStringLiteral("MiddleName"),     QStringLiteral("LastName"),
    QStringLiteral("NickName"),       QStringLiteral("Company"),        QStringLiteral("GeneralMobile"),
    QStringLiteral("GeneralMobile2"), QStringLiteral("GeneralMobile3"), QStringLiteral("GeneralPhone"),
    QStringLiteral("BusinessFax"),    QStringLiteral("BusinessMobile"), QStringLiteral("BusinessPhone"),
    QStringLiteral("HomeFax"),        QStringLiteral("HomeMobile"),     QStringLiteral("HomePhone"),
    QStringLiteral("AsstPhone"),      QStringLiteral("Pager"),
};

} // namespace

int CMeskVCardContactStore::Properties::place(const QString& name)
{
    for (int i = 0; i < Count; ++i) {
        if (PropertyNames[i] == name)
            return i;
    }
    return -1;
}

bool CMeskVCardContactStore::Properties::contains(const QString& name) const
{
    const int i = place(name);
    return i >= 0 && (m_present & (1u << i));
}

QString CMeskVCardContactStore::Properties::value(const QString& name) const
{
    const int i = place(name);
    return i >= 0 ? m_values[size_t(i)] : QString();
}

void CMeskVCardContactStore::Properties::insert(const QString& name, const QString& value)
{
    const int i = place(name);
    if (i < 0)
        return;
    m_values[size_t(i)] = value;
    m_present |= 1u << i;
}

std::unique_ptr<IMeskContactStore> IMeskContactStore::create()
{
    if (const Factory& factory = factoryRef())
        return factory();
    return std::make_unique<CMeskVCardContactStore>();
}

IMeskContactStore::Factory IMeskContactStore::setFactory(Factory factory)
{
    Factory previous = std::move(factoryRef());
    factoryRef() = std::move(factory);
    return previous;
}

CMeskVCardContactStore::CMeskVCardContactStore() : m_places(defaultPlaces()) {}

CMeskVCardContactStore::CMeskVCardContactStore(const QStringList& places) : m_places(places) {}

QStringList CMeskVCardContactStore::defaultPlaces()
{
    QStringList places{QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
                       QStringLiteral("/contacts")};
    for (const QString& place : qEnvironmentVariable("LUMESK_CONTACTS_PATH").split(QLatin1Char(':'))) {
        if (!place.isEmpty())
            places.append(place);
    }
    return places;
}

bool CMeskVCardContactStore::Card::hasProperty(const QString& nameSpace, const QString& name)
{
    return nameSpace == IMeskContactStore::contactNamespace() && properties.contains(name);
}

bool CMeskVCardContactStore::Card::propertyValue(const QString& nameSpace, const QString& name,
                                                 QString* value)
{
    if (!hasProperty(nameSpace, name))
        return false;
    *value = properties.value(name);
    return true;
}

bool CMeskVCardContactStore::initialize()
{
    m_collection.cards.clear();
    QStringList files;
    for (const QString& place : std::as_const(m_places)) {
        const QFileInfo info(place);
        if (info.isFile()) {
            files.append(info.absoluteFilePath());
            continue;
        }
        if (!info.isDir())
            continue;
        QStringList found;
        QDirIterator it(place, {QStringLiteral("*.vcf"), QStringLiteral("*.VCF")}, QDir::Files,
                        QDirIterator::Subdirectories | QDirIterator::FollowSymlinks);
        while (it.hasNext())
            found.append(it.next());
        std::sort(found.begin(), found.end());
        files += found;
    }
    files.removeDuplicates();
    for (const QString& file : std::as_const(files)) {
        QString reason;
        if (!readFile(file, &reason))
            qDebug().noquote() << QStringLiteral("CMeskVCardContactStore: skipped %1: %2").arg(file, reason);
    }
    return true;
}

bool CMeskVCardContactStore::readFile(const QString& path, QString* reason)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *reason = file.errorString();
        return false;
    }

    std::vector<Card> cards;
    int depth = 0; // nested cards (a 2.1 AGENT) are read past
    bool group = false;
    bool agentValuePending = false; // the last property was an AGENT whose value is the next card
    qsizetype cardLine = 0;
    bool outsideSeen = false;
    QString formattedName;
    Card card;

    const auto skipCard = [&](const QString& why) {
        qDebug().noquote() << QStringLiteral("CMeskVCardContactStore: skipped the card at line %1 of %2: %3")
                                  .arg(cardLine)
                                  .arg(path, why);
        depth = 0;
    };
    const auto beginCard = [&](qsizetype line) {
        depth = 1;
        card = Card();
        group = false;
        formattedName.clear();
        cardLine = line;
    };

    // Handles one unfolded line that starts on physical line number.
    const auto handle =
        [&](QByteArrayView line, qsizetype number) {
            if (line.trimmed().isEmpty())
                return;
            Property property;
            const bool parsed = parseProperty(line, &property);
            const bool agentValue = std::exchange(agentValuePending, false);
            if (!parsed) {
                // A line without a colon is tolerated inside a card.
                if (depth == 0 && !std::exchange(outsideSeen, true))
                    qDebug().noquote()
                        << QStringLiteral("CMeskVCardContactStore: %1: text outside any card at line %2")
                               .arg(path)
                               .arg(number);
                return;
            }
            const QByteArray value = property.value.trimmed().toByteArray().toUpper();
            if (property.name == "BEGIN" && value == "VCARD") {
                if (depth == 0) {
                    beginCard(number);
                } else if (agentValue) {
                    ++depth;
                } else if (depth == 1) {
                    // The card before never ended: it goes alone, this one is read.
                    skipCard(QStringLiteral("it does not end"));
                    beginCard(number);
                } else {
                    ++depth;
                }
                return;
            }
            if (depth == 0) {
                if (!std::exchange(outsideSeen, true))
                    qDebug().noquote()
                        << QStringLiteral("CMeskVCardContactStore: %1: text outside any card at line %2")
                               .arg(path)
                               .arg(number);
                return;
            }
            if (property.name == "END" && value == "VCARD") {
                if (--depth == 0 && !group) {
                    if (!card.properties.contains(QStringLiteral("GivenName")) &&
                        !card.properties.contains(QStringLiteral("LastName")) && !formattedName.isEmpty())
                        card.properties.insert(QStringLiteral("GivenName"), formattedName);
                    cards.push_back(std::move(card));
                }
                return;
            }
            if (depth > 1)
                return;
            const QByteArray& name = property.name;
            if (name == "AGENT") {
                agentValuePending = value.isEmpty();
            } else if (name == "KIND" || name == "X-ADDRESSBOOKSERVER-KIND") {
                group = value == "GROUP";
            } else if (name == "N") {
                const QStringList parts = components(decodeValue(property), true);
                const QString keys[] = {QStringLiteral("LastName"), QStringLiteral("GivenName"),
                                        QStringLiteral("MiddleName")};
                for (int i = 0; i < 3 && i < parts.size(); ++i) {
                    if (!parts.at(i).trimmed().isEmpty())
                        card.properties.insert(keys[i], parts.at(i).trimmed());
                }
            } else if (name == "FN") {
                formattedName = components(decodeValue(property), false).first().trimmed();
            } else if (name == "NICKNAME") {
                card.properties.insert(QStringLiteral("NickName"),
                                       components(decodeValue(property), false).first());
            } else if (name == "ORG") {
                card.properties.insert(QStringLiteral("Company"),
                                       components(decodeValue(property), true).first());
            } else if (name == "TEL") {
                QString number = components(decodeValue(property), false).first().trimmed();
                if (number.startsWith(QLatin1String("tel:"), Qt::CaseInsensitive)) {
                    number = number.mid(4);
                    number.truncate(number.indexOf(QLatin1Char(';')) < 0 ? number.size()
                                                                         : number.indexOf(QLatin1Char(';')));
                }
                const QString key = phoneProperty(property.types, card.properties);
                if (!number.isEmpty() && !key.isEmpty())
                    card.properties.insert(key, number);
            }
        };

    // Physical lines are read one by one and unfolded; a logical line that grows past the
    // limit is dropped whole, without keeping more than the limit in memory.
    LineReader reader(file, MaxPropertySize);
    QByteArray chunk;
    QByteArray logical;
    qsizetype number = 0;
    qsizetype logicalNumber = 0;
    bool haveLogical = false;
    bool dropped = false; // the logical line is dropped: over the limit, or not one the store reads
    bool quotedPrintable = false;
    bool softBreakPending = false;
    const auto flush = [&] {
        if (haveLogical && !dropped)
            handle(logical, logicalNumber);
        logical.resize(0);
        haveLogical = false;
        dropped = false;
    };
    bool overlong = false;
    while (reader.next(chunk, &overlong)) {
        ++number;
        const bool folded = !chunk.isEmpty() && (chunk[0] == ' ' || chunk[0] == '\t');
        const bool softBreak = quotedPrintable && softBreakPending && !overlong && !isCardBoundary(chunk);
        softBreakPending = !overlong && chunk.endsWith('=');
        if (haveLogical && (folded || softBreak)) {
            if (overlong) {
                dropped = true;
            } else if (!dropped) {
                if (softBreak)
                    logical.chop(1);
                logical.append(softBreak ? QByteArrayView(chunk) : QByteArrayView(chunk).sliced(1));
            }
        } else {
            flush();
            haveLogical = true;
            logicalNumber = number;
            const qsizetype colon = chunk.indexOf(':');
            quotedPrintable = colon > 0 && chunk.first(colon).toUpper().contains("QUOTED-PRINTABLE");
            if (!overlong && isWanted(chunk))
                logical = chunk;
            else if (!overlong && depth == 0 && !chunk.trimmed().isEmpty())
                logical = chunk; // text outside any card: handled (and logged) as such
            else
                dropped = true; // passed over, with its continuation lines
        }
        if (logical.size() > MaxPropertySize) {
            dropped = true;
            logical.resize(0);
        }
    }
    if (reader.failed()) {
        *reason = file.errorString();
        return false;
    }
    flush();
    if (depth != 0)
        skipCard(QStringLiteral("it does not end"));
    if (cards.empty() && outsideSeen) {
        *reason = QStringLiteral("not a vCard file");
        return false;
    }
    for (Card& read : cards)
        m_collection.cards.push_back(std::move(read));
    return true;
}
