#include "mediadatabasemethod.h"

#include <QDebug>
#include <QSqlError>

namespace {
QString errorText(const QSqlError& error)
{
    QString text;
    QDebug(&text) << error;
    return text.trimmed();
}

// The file holds text as UTF-8, which has no form for half a surrogate pair. SQLite's own conversion
// would take such a half together with the next unit, whatever that is, and so lose a character;
// each half becomes U+FFFD instead, the way Qt converts it. Any other text is bound unchanged.
QVariant storable(const QVariant& value)
{
    if (value.typeId() != QMetaType::QString)
        return value;
    QString text = value.toString();
    bool changed = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (!c.isSurrogate())
            continue;
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            ++i;
            continue;
        }
        text[i] = QChar::ReplacementCharacter;
        changed = true;
    }
    return changed ? QVariant(text) : value;
}
} // namespace

QSqlQuery CMediaDataBaseMethod::newQuery() const
{
    QSqlQuery query(m_database);
    query.setForwardOnly(true);
    return query;
}

bool CMediaDataBaseMethod::exec(const QString& statement, const QVariantList& values)
{
    QSqlQuery query = newQuery();
    return exec(query, statement, values);
}

bool CMediaDataBaseMethod::exec(QSqlQuery& query, const QString& statement, const QVariantList& values)
{
    bool ok = query.prepare(statement);
    if (ok) {
        for (const QVariant& value : values)
            query.addBindValue(storable(value));
        ok = query.exec();
    }
    if (!ok) {
        qDebug().noquote() << QStringLiteral("CMediaDataBaseMethod: sql statement %1 failed %2")
                                  .arg(statement, errorText(query.lastError()));
    }
    return ok;
}

bool CMediaDataBaseMethod::execTransaction(const QList<SMediaDataBaseStatement>& statements)
{
    if (statements.isEmpty())
        return true;
    if (!m_database.transaction()) {
        qDebug().noquote() << QStringLiteral("CMediaDataBaseMethod: failed to start transaction %1")
                                  .arg(errorText(m_database.lastError()));
        return false;
    }
    for (const SMediaDataBaseStatement& statement : statements) {
        if (!exec(statement.text, statement.values)) {
            m_database.rollback();
            return false;
        }
    }
    if (!m_database.commit()) {
        qDebug().noquote() << QStringLiteral("CMediaDataBaseMethod: failed to commit transaction %1")
                                  .arg(errorText(m_database.lastError()));
        m_database.rollback();
        return false;
    }
    return true;
}

QString CMediaDataBaseMethod::escape(const QString& text)
{
    QString stored = text;
    stored.replace(QLatin1String("["), QLatin1String("[[]"));
    stored.replace(QLatin1String("_"), QLatin1String("[_]"));
    stored.replace(QLatin1String("#"), QLatin1String("[#]"));
    stored.replace(QLatin1String("^"), QLatin1String("[^]"));
    stored.replace(QLatin1String("%"), QLatin1String("[%]"));
    return stored;
}

QString CMediaDataBaseMethod::unescape(const QString& stored)
{
    QString text = stored;
    text.replace(QLatin1String("[_]"), QLatin1String("_"));
    text.replace(QLatin1String("[#]"), QLatin1String("#"));
    text.replace(QLatin1String("[^]"), QLatin1String("^"));
    text.replace(QLatin1String("[%]"), QLatin1String("%"));
    text.replace(QLatin1String("[[]"), QLatin1String("["));
    return text;
}

qint64 CMediaDataBaseMethod::dateValue(const QDateTime& date)
{
    if (!date.isValid())
        return NullDate;
    const qint64 secs = date.toSecsSinceEpoch();
    if (secs < 0 || secs > NullDate)
        return NullDate;
    return secs;
}

QDateTime CMediaDataBaseMethod::dateFromValue(const QVariant& value)
{
    bool ok = false;
    const qint64 secs = value.toLongLong(&ok);
    if (!ok || secs < 0 || secs >= NullDate)
        return QDateTime();
    return QDateTime::fromSecsSinceEpoch(secs);
}
