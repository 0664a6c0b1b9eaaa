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
QString phoneProperty(const QSet<QByteArray>& types, const QHash<QString, QString>& taken)
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
        "BEGIN", "END", "N", "FN", "NICKNAME", "ORG", "TEL", "KIND", "X-ADDRESSBOOKSERVER-KIND"};
    return std::any_of(std::begin(wanted), std::end(wanted), [&](const char* w) {
        return name.compare(QByteArrayView(w), Qt::CaseInsensitive) == 0;
    });
}

} // namespace

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
    QString formattedName;
    Card card;

    // Handles one unfolded line; false when the file is not a sequence of cards.
    const auto handle = [&](QByteArrayView line) {
        if (line.trimmed().isEmpty())
            return true;
        Property property;
        if (!parseProperty(line, &property)) {
            // A line without a colon is tolerated inside a card only.
            return depth > 0;
        }
        const QByteArray value = property.value.trimmed().toByteArray().toUpper();
        if (property.name == "BEGIN" && value == "VCARD") {
            if (++depth == 1) {
                card = Card();
                group = false;
                formattedName.clear();
            }
            return true;
        }
        if (depth == 0)
            return false;
        if (property.name == "END" && value == "VCARD") {
            if (--depth == 0 && !group) {
                if (!card.properties.contains(QStringLiteral("GivenName")) &&
                    !card.properties.contains(QStringLiteral("LastName")) && !formattedName.isEmpty())
                    card.properties.insert(QStringLiteral("GivenName"), formattedName);
                cards.push_back(std::move(card));
            }
            return true;
        }
        if (depth > 1)
            return true;
        const QByteArray& name = property.name;
        if (name == "KIND" || name == "X-ADDRESSBOOKSERVER-KIND") {
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
        return true;
    };

    // Physical lines are read one by one and unfolded; a logical line that grows past the
    // limit is dropped whole, without keeping more than the limit in memory.
    QByteArray logical;
    bool haveLogical = false;
    bool tooLong = false; // the logical line is dropped: over the limit, or not one the store reads
    bool quotedPrintable = false;
    bool broken = false;
    bool midLine = false; // the last chunk read did not end its physical line
    bool softBreakPending = false;
    const auto flush = [&] {
        if (haveLogical && !tooLong && !handle(logical))
            broken = true;
        logical.clear();
        haveLogical = false;
        tooLong = false;
    };
    while (!broken && !file.atEnd()) {
        QByteArray chunk = file.readLine(MaxPropertySize + 2);
        if (chunk.isEmpty() && file.error() != QFile::NoError) {
            *reason = file.errorString();
            return false;
        }
        const bool continuesPhysical = midLine;
        midLine = !chunk.endsWith('\n');
        while (chunk.endsWith('\n') || chunk.endsWith('\r'))
            chunk.chop(1);
        if (continuesPhysical) {
            // The rest of an overlong physical line.
            tooLong = true;
            logical.clear();
            continue;
        }
        const bool folded = !chunk.isEmpty() && (chunk[0] == ' ' || chunk[0] == '\t');
        const bool softBreak = quotedPrintable && softBreakPending;
        softBreakPending = chunk.endsWith('=');
        if (haveLogical && (folded || softBreak)) {
            if (!tooLong) {
                if (softBreak)
                    logical.chop(1);
                logical.append(softBreak ? QByteArrayView(chunk) : QByteArrayView(chunk).sliced(1));
            }
        } else {
            flush();
            haveLogical = true;
            const qsizetype colon = chunk.indexOf(':');
            quotedPrintable = colon > 0 && chunk.first(colon).toUpper().contains("QUOTED-PRINTABLE");
            if (isWanted(chunk))
                logical = chunk;
            else if (depth == 0 && !chunk.trimmed().isEmpty())
                broken = true; // text outside any card
            else
                tooLong = true; // passed over, with its continuation lines
        }
        if (logical.size() > MaxPropertySize || midLine) {
            tooLong = true;
            logical.clear();
        }
    }
    if (!broken)
        flush();
    if (broken) {
        *reason = QStringLiteral("not a vCard file");
        return false;
    }
    if (depth != 0) {
        *reason = QStringLiteral("a card does not end");
        return false;
    }
    for (Card& read : cards)
        m_collection.cards.push_back(std::move(read));
    return true;
}
