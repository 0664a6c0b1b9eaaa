#include "mediadatabasenames.h"

#include "mediadatabasemethod.h"

#include <QDate>
#include <QRegularExpression>

#include <time.h>

namespace MediaDataBaseNames {

namespace {
// QSaveFile's temporary sibling: the name, a dot and six letters (QTemporaryFile's template).
const QString temporaryTail = QStringLiteral("(\\.[A-Za-z]{6})?");
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
    static const QRegularExpression day(QStringLiteral("^[0-9]{6}$"));
    return day.match(name).hasMatch();
}

QString numberedFileName(mid_t id, int number, const QString& suffix)
{
    return QString::number(id) + QLatin1Char('.') + QString::number(number) + QLatin1Char('.') + suffix;
}

bool isNumberedFileName(const QString& name)
{
    static const QRegularExpression numbered(QStringLiteral("^[1-9][0-9]*\\.[1-9][0-9]*\\.[A-Za-z0-9]+") +
                                             temporaryTail + QLatin1Char('$'));
    return numbered.match(name).hasMatch();
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
    static const QRegularExpression image(QStringLiteral("^[1-9][0-9]*\\.[A-Za-z0-9]{1,3}") + temporaryTail +
                                          QLatin1Char('$'));
    return image.match(name).hasMatch() || isNumberedFileName(name);
}

} // namespace MediaDataBaseNames
