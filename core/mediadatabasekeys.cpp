#include "mediadatabasekeys.h"

bool CMediaDataBaseKeys::createTables()
{
    return exec(QStringLiteral("CREATE TABLE SERVICEKEYS (PROVIDER INTEGER, KEY TEXT, VALUE TEXT);"));
}

bool CMediaDataBaseKeys::setServiceKey(mid_t provider, const QString& key, const QString& value)
{
    QSqlQuery query = newQuery();
    if (!exec(query, QStringLiteral("SELECT VALUE FROM SERVICEKEYS WHERE PROVIDER = ? AND KEY = ?;"),
              {idValue(provider), key}))
        return false;
    const bool found = query.next();
    query.finish();
    if (found) {
        return exec(QStringLiteral("UPDATE SERVICEKEYS SET VALUE = ? WHERE PROVIDER = ? AND KEY = ?;"),
                    {value, idValue(provider), key});
    }
    return exec(QStringLiteral("INSERT INTO SERVICEKEYS (PROVIDER, KEY, VALUE) VALUES (?, ?, ?);"),
                {idValue(provider), key, value});
}

bool CMediaDataBaseKeys::serviceKey(mid_t provider, const QString& key, QString& value)
{
    QSqlQuery query = newQuery();
    if (!exec(query, QStringLiteral("SELECT VALUE FROM SERVICEKEYS WHERE PROVIDER = ? AND KEY = ?;"),
              {idValue(provider), key}))
        return false;
    if (!query.next())
        return false;
    value = query.value(0).toString();
    return true;
}

bool CMediaDataBaseKeys::deleteServiceKeys(mid_t provider)
{
    return exec(QStringLiteral("DELETE FROM SERVICEKEYS WHERE PROVIDER = ?;"), {idValue(provider)});
}
