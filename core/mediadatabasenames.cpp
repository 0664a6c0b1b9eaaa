#include "mediadatabasenames.h"

#include "mediadatabasemethod.h"

#include <QDate>
#include <QRegularExpression>

#include <time.h>

namespace MediaDataBaseNames {

namespace {
bool isDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

bool isLetter(QChar c)
{
    return (c >= QLatin1Char('a') && c <= QLatin1Char('z')) ||
           (c >= QLatin1Char('A') && c <= QLatin1Char('Z'));
}

// A whole number without a leading zero, "[1-9][0-9]*", at the start of text; its length (0: none).
qsizetype numberAt(QStringView text)
{
    if (text.isEmpty() || text.front() == QLatin1Char('0') || !isDigit(text.front()))
        return 0;
    qsizetype length = 1;
    while (length < text.size() && isDigit(text.at(length)))
        ++length;
    return length;
}

// Whether text is a suffix: ASCII letters and digits of a length from 1 to maxSuffix, up to its true end. A
// download's temporary sibling ("<name>.XXXXXX", six letters) is none: a user's "1.1.jpg.backup" has the
// same shape, and a file the program cannot tell for its own stays.
bool isSuffix(QStringView text, qsizetype maxSuffix)
{
    if (text.isEmpty() || text.size() > maxSuffix)
        return false;
    for (QChar c : text) {
        if (!isLetter(c) && !isDigit(c))
            return false;
    }
    return true;
}

// The id at the start of a name followed by a dot ("<id>."): the id, and where the rest starts; 0 when none
// (or it does not fit an id).
mid_t idAt(QStringView name, qsizetype& rest)
{
    const qsizetype length = numberAt(name);
    if (length == 0 || length >= name.size() || name.at(length) != QLatin1Char('.'))
        return 0;
    bool ok = false;
    const mid_t id = name.left(length).toULongLong(&ok);
    rest = length + 1;
    return ok ? id : 0;
}
} // namespace

bool isSafeSuffix(const QString& suffix, qsizetype maxLength)
{
    if (suffix.isEmpty() || suffix.size() > maxLength)
        return false;
    for (QChar c : suffix) {
        const char16_t u = c.unicode();
        if (!((u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9')))
            return false;
    }
    return true;
}

QString fileSuffix(const QString& suffix)
{
    return isSafeSuffix(suffix, suffix.size()) ? suffix : QStringLiteral("img");
}

QString dayName(qint64 created)
{
    if (created == CMediaDataBaseMethod::NullDate || created < 0)
        return {};
    const time_t seconds = time_t(created);
    struct tm local
    {
    };
    if (!::localtime_r(&seconds, &local))
        return {};
    return QDate(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday).toString(QStringLiteral("yyMMdd"));
}

bool isDayFolderName(const QString& name)
{
    // yyMMdd of a real day: "201905" (a year and a month) is none. Of the two centuries dayName() writes,
    // 2000 is the one whose February 29 exists.
    static const QRegularExpression day(QRegularExpression::anchoredPattern(QStringLiteral("[0-9]{6}")));
    if (!day.match(name).hasMatch())
        return false;
    return QDate(2000 + name.left(2).toInt(), name.mid(2, 2).toInt(), name.mid(4, 2).toInt()).isValid();
}

QString numberedFileName(mid_t id, int number, const QString& suffix)
{
    return QString::number(id) + QLatin1Char('.') + QString::number(number) + QLatin1Char('.') + suffix;
}

bool isNumberedFileName(const QString& name)
{
    return numberedFileOwner(name) != 0;
}

mid_t numberedFileOwner(const QString& name)
{
    // "<id>.<number>.<suffix>"; read by hand, not by a pattern: the exit's
    // clean-up looks at every file of a day folder.
    qsizetype rest = 0;
    const mid_t id = idAt(name, rest);
    if (id == 0)
        return 0;
    const QStringView after = QStringView(name).mid(rest);
    const qsizetype number = numberAt(after);
    if (number == 0 || number >= after.size() || after.at(number) != QLatin1Char('.'))
        return 0;
    return isSuffix(after.mid(number + 1), after.size()) ? id : 0;
}

QString userImageName(mid_t user, const QString& imageUrl)
{
    const qsizetype dot = imageUrl.lastIndexOf(QLatin1Char('.'));
    QString suffix = dot < 0 ? imageUrl : imageUrl.mid(dot + 1);
    if (!isSafeSuffix(suffix, 3))
        suffix = QStringLiteral("img");
    return QString::number(user) + QLatin1Char('.') + suffix;
}

bool isUserFolderFileName(const QString& name)
{
    return userFolderFileOwner(name) != 0;
}

mid_t userFolderFileOwner(const QString& name)
{
    // "<id>.<suffix of up to three>", or a numbered file.
    qsizetype rest = 0;
    const mid_t id = idAt(name, rest);
    if (id != 0 && isSuffix(QStringView(name).mid(rest), 3))
        return id;
    return numberedFileOwner(name);
}

} // namespace MediaDataBaseNames
