#include "mediadatabasekeys.h"

bool CMediaDataBaseKeys::createTables()
{
    return exec(QStringLiteral("CREATE TABLE SERVICEKEYS (PROVIDER INTEGER, KEY TEXT, VALUE TEXT);"));
}

bool CMediaDataBaseKeys::createIndexes()
{
    return exec(QStringLiteral(
        "CREATE INDEX IF NOT EXISTS SERVICEKEYS_PROVIDER_KEY ON SERVICEKEYS (PROVIDER, KEY);"));
}

bool CMediaDataBaseKeys::setServiceKey(mid_t provider, const QString& key, const QString& value)
{
    int changed = 0;
    if (!exec(QStringLiteral("UPDATE SERVICEKEYS SET VALUE = ? WHERE PROVIDER = ? AND KEY = ?;"),
              {value, idValue(provider), key}, nullptr, &changed))
        return false;
    if (changed > 0)
        return true;
    return exec(QStringLiteral("INSERT INTO SERVICEKEYS (PROVIDER, KEY, VALUE) VALUES (?, ?, ?);"),
                {idValue(provider), key, value});
}

bool CMediaDataBaseKeys::serviceKey(mid_t provider, const QString& key, QString& value, bool* ok)
{
    bool found = false;
    QString read;
    const bool done = select(QStringLiteral("SELECT VALUE FROM SERVICEKEYS WHERE PROVIDER = ? AND KEY = ?;"),
                             {idValue(provider), key}, [&](const QSqlQuery& query) {
                                 if (!found)
                                     read = query.value(0).toString();
                                 found = true;
                             });
    tell(ok, done);
    if (!done)
        return false;
    if (found)
        value = read;
    return found;
}

bool CMediaDataBaseKeys::deleteServiceKeys(mid_t provider)
{
    return exec(QStringLiteral("DELETE FROM SERVICEKEYS WHERE PROVIDER = ?;"), {idValue(provider)});
}

bool CMediaDataBaseKeys::deleteServiceKey(mid_t provider, const QString& key)
{
    return exec(QStringLiteral("DELETE FROM SERVICEKEYS WHERE PROVIDER = ? AND KEY = ?;"),
                {idValue(provider), key});
}
