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

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

// A file opened for reading, closed with its owner.
class ReadOnlyFile
{
public:
    ReadOnlyFile() = default;
    ~ReadOnlyFile()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    ReadOnlyFile(const ReadOnlyFile&) = delete;
    ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;

    // Opens path when it is a regular file (after following links); false with reason otherwise.
    // Anything else (a FIFO, a device) is never opened, and one put in its place after that check
    // is opened without waiting (O_NONBLOCK) and refused. size() is the file's size when opened.
    bool open(const QString& path, QString* reason)
    {
        const QByteArray name = QFile::encodeName(path);
        struct stat info = {};
        if (::stat(name.constData(), &info) != 0)
            return fail(errno, reason);
        if (!S_ISREG(info.st_mode))
            return notRegular(reason);
        m_fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (m_fd < 0)
            return fail(errno, reason);
        if (::fstat(m_fd, &info) != 0)
            return fail(errno, reason);
        if (!S_ISREG(info.st_mode))
            return notRegular(reason);
        // A regular file's reads do not wait either way; they are made plain all the same.
        if (const int flags = ::fcntl(m_fd, F_GETFL); flags >= 0)
            ::fcntl(m_fd, F_SETFL, flags & ~O_NONBLOCK);
        m_size = info.st_size;
        m_id = {quint64(info.st_dev), quint64(info.st_ino)};
        return true;
    }
    int fd() const { return m_fd; }
    qint64 size() const { return m_size; }
    // The file's device and inode.
    std::pair<quint64, quint64> id() const { return m_id; }

private:
    static bool fail(int error, QString* reason)
    {
        *reason = qt_error_string(error);
        return false;
    }
    static bool notRegular(QString* reason)
    {
        *reason = QStringLiteral("not a regular file");
        return false;
    }

    int m_fd = -1;
    qint64 m_size = 0;
    std::pair<quint64, quint64> m_id;
};

// Reads the physical lines of a file through one reused buffer, up to the size the file had when
// opened (what it grows by meanwhile is not read). LF, CRLF and CR all end a line, and the last
// line counts without one. A line longer than the limit is passed over without being kept. The
// cancel flag is looked at before each buffer is filled.
class LineReader
{
public:
    LineReader(const ReadOnlyFile& file, qsizetype limit, const std::atomic_bool& cancel)
        : m_fd(file.fd()), m_left(file.size()), m_limit(limit), m_cancel(cancel)
    {
        m_buffer.resize(64 * 1024);
    }

    // The next line into line (its end left out); false at the end of the file, on a read error
    // (error()) or once cancelled (cancelled()). overlong: the line was over the limit and line
    // holds only its first character.
    bool next(QByteArray& line, bool* overlong)
    {
        line.resize(0);
        *overlong = false;
        bool any = false;
        for (;;) {
            if (m_pos == m_end && !fill())
                return !stopped() && (any || *overlong);
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
    // The errno of a failed read; 0 when none failed.
    int error() const { return m_error; }
    bool cancelled() const { return m_cancelled; }
    bool stopped() const { return m_error != 0 || m_cancelled; }

private:
    bool fill()
    {
        m_pos = 0;
        m_end = 0;
        if (m_left <= 0 || stopped())
            return false;
        if (m_cancel.load(std::memory_order_relaxed)) {
            m_cancelled = true;
            return false;
        }
        ssize_t read = 0;
        do {
            read = ::read(m_fd, m_buffer.data(), size_t(qMin<qint64>(m_buffer.size(), m_left)));
        } while (read < 0 && errno == EINTR);
        if (read < 0) {
            m_error = errno;
            return false;
        }
        // Nothing read: the file shrank meanwhile.
        m_left = read > 0 ? m_left - read : 0;
        m_end = read;
        return m_end > 0;
    }
    void dropByteOrderMark(QByteArray& line)
    {
        m_first = false;
        if (line.startsWith("\xEF\xBB\xBF"))
            line.remove(0, 3);
    }

    int m_fd;
    qint64 m_left;
    qsizetype m_limit;
    const std::atomic_bool& m_cancel;
    QByteArray m_buffer;
    qsizetype m_pos = 0;
    qsizetype m_end = 0;
    int m_error = 0;
    bool m_skipLf = false;
    bool m_first = true;
    bool m_cancelled = false;
};

// Whether a physical line begins or ends a card (a quoted-printable soft break never joins one).
bool isCardBoundary(QByteArrayView line)
{
    const QByteArrayView text = line.trimmed();
    return text.startsWith("BEGIN:") || text.startsWith("END:") || text.startsWith("begin:") ||
           text.startsWith("end:") || text.compare("BEGIN:VCARD", Qt::CaseInsensitive) == 0 ||
           text.compare("END:VCARD", Qt::CaseInsensitive) == 0;
}

// Joins physical lines into logical ones: a line starting with a space or a tab continues the one
// before (folding), and so does any line after one of a quoted-printable property that ends in "="
// (a soft break), unless it begins or ends a card. A logical line of a property the store does not
// read is passed over with its continuation lines without being copied; outside a card every line
// that is not blank is kept, so that it can be reported. A logical line that grows past the limit
// is dropped whole, without keeping more than the limit in memory.
class LogicalLineReader
{
public:
    LogicalLineReader(LineReader& lines, qsizetype limit) : m_lines(lines), m_limit(limit) {}

    // The next kept logical line and the number of the physical line it starts on; false at the
    // end of the file or when the line reader stopped (its last logical line is then not given).
    bool next(bool insideCard, QByteArray& line, qsizetype* number)
    {
        for (;;) {
            // The line that ended the last logical line begins this one (the first line of the
            // file begins one whatever it starts with).
            if (!m_pending && !readPhysical())
                return false;
            m_pending = false;
            *number = m_number;
            const qsizetype colon = m_physical.indexOf(':');
            m_quotedPrintable = colon > 0 && m_physical.first(colon).toUpper().contains("QUOTED-PRINTABLE");
            bool dropped = m_overlong || !(isWanted(m_physical) ||
                                           (!insideCard && !QByteArrayView(m_physical).trimmed().isEmpty()));
            line.resize(0);
            if (!dropped)
                line.append(m_physical);
            while (readPhysical()) {
                if (!m_continues) {
                    m_pending = true;
                    break;
                }
                if (m_overlong) {
                    dropped = true;
                } else if (!dropped) {
                    if (m_softBreak)
                        line.chop(1);
                    line.append(m_softBreak ? QByteArrayView(m_physical)
                                            : QByteArrayView(m_physical).sliced(1));
                }
                if (line.size() > m_limit) {
                    dropped = true;
                    line.resize(0);
                }
            }
            if (m_lines.stopped())
                return false;
            if (!dropped)
                return true;
        }
    }

private:
    // Reads the next physical line and whether it continues the logical line before.
    bool readPhysical()
    {
        if (!m_lines.next(m_physical, &m_overlong))
            return false;
        ++m_number;
        const bool folded = !m_physical.isEmpty() && (m_physical[0] == ' ' || m_physical[0] == '\t');
        m_softBreak = m_quotedPrintable && m_softBreakPending && !m_overlong && !isCardBoundary(m_physical);
        m_softBreakPending = !m_overlong && m_physical.endsWith('=');
        m_continues = folded || m_softBreak;
        return true;
    }

    LineReader& m_lines;
    qsizetype m_limit;
    QByteArray m_physical;
    qsizetype m_number = 0;
    bool m_overlong = false;
    bool m_pending = false; // m_physical begins the next logical line
    bool m_continues = false;
    bool m_softBreak = false;
    bool m_softBreakPending = false;
    bool m_quotedPrintable = false; // of the logical line being read
};

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
    return i >= 0 && (m_present & (1u << i)) ? m_values.mid(m_start[size_t(i)], m_size[size_t(i)])
                                             : QString();
}

void CMeskVCardContactStore::Properties::insert(const QString& name, const QString& value)
{
    const int i = place(name);
    if (i < 0)
        return;
    if (m_present & (1u << i)) {
        // The value replaced leaves the string; the values after it move up.
        const qint32 start = m_start[size_t(i)];
        const qint32 size = m_size[size_t(i)];
        m_values.remove(start, size);
        for (size_t j = 0; j < size_t(Count); ++j) {
            if (m_start[j] > start)
                m_start[j] -= size;
        }
    }
    m_start[size_t(i)] = qint32(m_values.size());
    m_size[size_t(i)] = qint32(value.size());
    m_values += value;
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

// The cards of one file from its logical lines: which card each line belongs to (nested cards, a
// 2.1 AGENT's value, are read past), what the card keeps, and what is skipped and logged.
class CMeskVCardContactStore::CardReader
{
public:
    explicit CardReader(const QString& path) : m_path(path) {}

    // Whether a card is open.
    bool insideCard() const { return m_depth > 0; }
    // Handles one logical line that starts on physical line number.
    void handle(QByteArrayView line, qsizetype number);
    // The end of the file: a card still open is skipped, and the skipped cards not logged one by
    // one are counted in one line.
    void finish();
    // Whether text outside any card was met.
    bool textOutside() const { return m_outsideSeen; }
    // Whether any card began.
    bool cardBegun() const { return m_begun; }
    std::vector<Card>& cards() { return m_cards; }

private:
    void beginCard(qsizetype line);
    void endCard();
    void skipCard();
    void textOutsideAt(qsizetype number);
    void readProperty(const Property& property, const QByteArray& value);

    const QString& m_path;
    std::vector<Card> m_cards;
    Card m_card;
    QString m_formattedName;
    qsizetype m_cardLine = 0;
    int m_depth = 0;
    int m_skipped = 0;
    bool m_group = false;
    bool m_agentValuePending = false; // the last property was an AGENT whose value is the next card
    bool m_outsideSeen = false;
    bool m_begun = false;
};

void CMeskVCardContactStore::CardReader::handle(QByteArrayView line, qsizetype number)
{
    if (line.trimmed().isEmpty())
        return;
    Property property;
    const bool parsed = parseProperty(line, &property);
    const bool agentValue = std::exchange(m_agentValuePending, false);
    if (!parsed) {
        // A line without a colon is tolerated inside a card.
        if (m_depth == 0)
            textOutsideAt(number);
        return;
    }
    const QByteArray value = property.value.trimmed().toByteArray().toUpper();
    if (property.name == "BEGIN" && value == "VCARD") {
        if (m_depth == 0) {
            beginCard(number);
        } else if (m_depth == 1 && !agentValue) {
            // The card before never ended: it goes alone, this one is read.
            skipCard();
            beginCard(number);
        } else {
            ++m_depth;
        }
        return;
    }
    if (m_depth == 0) {
        textOutsideAt(number);
        return;
    }
    if (property.name == "END" && value == "VCARD") {
        if (--m_depth == 0 && !m_group)
            endCard();
        return;
    }
    if (m_depth == 1)
        readProperty(property, value);
}

void CMeskVCardContactStore::CardReader::finish()
{
    if (m_depth != 0)
        skipCard();
    if (m_skipped > MaxSkipLogLines)
        qDebug().noquote() << QStringLiteral(
                                  "CMeskVCardContactStore: skipped %1 more cards of %2 that do not end")
                                  .arg(m_skipped - MaxSkipLogLines)
                                  .arg(m_path);
}

void CMeskVCardContactStore::CardReader::beginCard(qsizetype line)
{
    m_depth = 1;
    m_begun = true;
    m_card = Card();
    m_group = false;
    m_formattedName.clear();
    m_cardLine = line;
}

void CMeskVCardContactStore::CardReader::endCard()
{
    Properties& properties = m_card.properties;
    if (!properties.contains(QStringLiteral("GivenName")) &&
        !properties.contains(QStringLiteral("LastName")) && !m_formattedName.isEmpty())
        properties.insert(QStringLiteral("GivenName"), m_formattedName);
    properties.squeeze();
    m_cards.push_back(std::move(m_card));
}

void CMeskVCardContactStore::CardReader::skipCard()
{
    if (++m_skipped <= MaxSkipLogLines)
        qDebug().noquote()
            << QStringLiteral("CMeskVCardContactStore: skipped the card at line %1 of %2: it does not end")
                   .arg(m_cardLine)
                   .arg(m_path);
    m_depth = 0;
}

void CMeskVCardContactStore::CardReader::textOutsideAt(qsizetype number)
{
    if (!std::exchange(m_outsideSeen, true))
        qDebug().noquote() << QStringLiteral("CMeskVCardContactStore: %1: text outside any card at line %2")
                                  .arg(m_path)
                                  .arg(number);
}

void CMeskVCardContactStore::CardReader::readProperty(const Property& property, const QByteArray& value)
{
    const QByteArray& name = property.name;
    Properties& properties = m_card.properties;
    if (name == "AGENT") {
        m_agentValuePending = value.isEmpty();
    } else if (name == "KIND" || name == "X-ADDRESSBOOKSERVER-KIND") {
        m_group = value == "GROUP";
    } else if (name == "N") {
        const QStringList parts = components(decodeValue(property), true);
        const QString keys[] = {QStringLiteral("LastName"), QStringLiteral("GivenName"),
                                QStringLiteral("MiddleName")};
        for (int i = 0; i < 3 && i < parts.size(); ++i) {
            if (!parts.at(i).trimmed().isEmpty())
                properties.insert(keys[i], parts.at(i).trimmed());
        }
    } else if (name == "FN") {
        m_formattedName = components(decodeValue(property), false).first().trimmed();
    } else if (name == "NICKNAME") {
        properties.insert(QStringLiteral("NickName"), components(decodeValue(property), false).first());
    } else if (name == "ORG") {
        properties.insert(QStringLiteral("Company"), components(decodeValue(property), true).first());
    } else if (name == "TEL") {
        QString number = components(decodeValue(property), false).first().trimmed();
        if (number.startsWith(QLatin1String("tel:"), Qt::CaseInsensitive)) {
            number = number.mid(4);
            number.truncate(number.indexOf(QLatin1Char(';')) < 0 ? number.size()
                                                                 : number.indexOf(QLatin1Char(';')));
        }
        const QString key = phoneProperty(property.types, properties);
        if (!number.isEmpty() && !key.isEmpty())
            properties.insert(key, number);
    }
}

bool CMeskVCardContactStore::initialize(const std::atomic_bool& cancel)
{
    const auto cancelled = [&cancel] { return cancel.load(std::memory_order_relaxed); };
    m_collection.cards.clear();
    QStringList files;
    FileIds listed;
    for (const QString& place : std::as_const(m_places)) {
        const QFileInfo info(place);
        if (info.isFile()) {
            files.append(info.absoluteFilePath());
        } else if (info.isDir()) {
            QStringList found;
            if (!findFiles(place, cancel, &listed, &found))
                return false;
            std::sort(found.begin(), found.end());
            files += found;
        }
    }
    FileIds read;
    for (const QString& file : std::as_const(files)) {
        // Looked at here too: the read of an empty file never looks at it.
        if (cancelled())
            return false;
        QString reason;
        switch (readFile(file, cancel, &read, &reason)) {
        case ReadResult::Read:
            break;
        case ReadResult::Skipped:
            qDebug().noquote() << QStringLiteral("CMeskVCardContactStore: skipped %1: %2").arg(file, reason);
            break;
        case ReadResult::Cancelled:
            return false;
        }
    }
    return true;
}

bool CMeskVCardContactStore::findFiles(const QString& folder, const std::atomic_bool& cancel, FileIds* listed,
                                       QStringList* files)
{
    // The iterator gives every entry (a filter would make it read on to the next match, through a
    // whole tree of other files before the flag is looked at again); the loop picks the files.
    constexpr QDir::Filters every = QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System;
    std::vector<QString> pending{folder};
    while (!pending.empty()) {
        const QString current = std::move(pending.back());
        pending.pop_back();
        struct stat info = {};
        if (::stat(QFile::encodeName(current).constData(), &info) != 0 ||
            !listed->insert({quint64(info.st_dev), quint64(info.st_ino)}).second)
            continue;
        QDirIterator it(current, every);
        while (!cancel.load(std::memory_order_relaxed) && it.hasNext()) {
            const QFileInfo entry = it.nextFileInfo();
            if (m_entryHook)
                m_entryHook();
            if (entry.fileName().startsWith(QLatin1Char('.')))
                continue;
            if (entry.isDir())
                pending.push_back(entry.filePath());
            // Links to anything are taken (readFile reads only regular files); a broken link, a
            // FIFO or a device is not.
            else if (entry.fileName().endsWith(QLatin1String(".vcf"), Qt::CaseInsensitive) &&
                     (entry.isFile() || (entry.isSymLink() && entry.exists())))
                files->append(entry.filePath());
        }
        if (cancel.load(std::memory_order_relaxed))
            return false;
    }
    return true;
}

CMeskVCardContactStore::ReadResult CMeskVCardContactStore::readFile(const QString& path,
                                                                    const std::atomic_bool& cancel,
                                                                    FileIds* read, QString* reason)
{
    ReadOnlyFile file;
    if (!file.open(path, reason))
        return ReadResult::Skipped;
    // A file reached before by another path (a link, a hard link, a folder named twice) is read once.
    if (!read->insert(file.id()).second)
        return ReadResult::Read;
    LineReader lines(file, MaxPropertySize, cancel);
    LogicalLineReader logicalLines(lines, MaxPropertySize);
    CardReader reader(path);
    QByteArray line;
    qsizetype number = 0;
    while (logicalLines.next(reader.insideCard(), line, &number))
        reader.handle(line, number);
    if (lines.cancelled())
        return ReadResult::Cancelled;
    if (lines.error() != 0) {
        *reason = qt_error_string(lines.error());
        return ReadResult::Skipped;
    }
    reader.finish();
    if (!reader.cardBegun() || (reader.cards().empty() && reader.textOutside())) {
        *reason = QStringLiteral("not a vCard file");
        return ReadResult::Skipped;
    }
    for (Card& card : reader.cards())
        m_collection.cards.push_back(std::move(card));
    return ReadResult::Read;
}
