#include "mediadatabasenames.h"

#include "mediadatabasemethod.h"

#include <QDate>
#include <QRegularExpression>

#include <time.h>

namespace MediaDataBaseNames {

namespace {
// QSaveFile's temporary sibling: the name, a dot and six letters (QTemporaryFile's template).
const QString temporaryTail = QStringLiteral("(\\.[A-Za-z]{6})?");

// The id a name's pattern caught first; 0 when the name does not fit (or the id overflows).
mid_t ownerIn(const QRegularExpressionMatch& match)
{
    if (!match.hasMatch())
        return 0;
    bool ok = false;
    const mid_t id = match.capturedView(1).toULongLong(&ok);
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
    static const QRegularExpression numbered(QRegularExpression::anchoredPattern(
        QStringLiteral("([1-9][0-9]*)\\.[1-9][0-9]*\\.[A-Za-z0-9]+") + temporaryTail));
    return ownerIn(numbered.match(name));
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
    static const QRegularExpression image(QRegularExpression::anchoredPattern(
        QStringLiteral("([1-9][0-9]*)\\.[A-Za-z0-9]{1,3}") + temporaryTail));
    if (const mid_t owner = ownerIn(image.match(name)))
        return owner;
    return numberedFileOwner(name);
}

} // namespace MediaDataBaseNames
