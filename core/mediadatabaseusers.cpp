#include "mediadatabaseusers.h"

#include <QDebug>

namespace {
const QString userSelect = QStringLiteral(
    "SELECT ROWID, PROVIDER, NAME, MEDIAID, URL, AVATAR, TYPE, EXTRA1, EXTRA2, EXTRA3 FROM SERVICEUSERS");
} // namespace

bool CMediaDataBaseUsers::createTables()
{
    return exec(QStringLiteral(
               "CREATE TABLE SERVICEUSERS (PROVIDER INTEGER, NAME TEXT, MEDIAID TEXT, URL TEXT, "
               "AVATAR TEXT, TYPE INTEGER, EXTRA1 TEXT, EXTRA2 TEXT, EXTRA3 TEXT);")) &&
           exec(QStringLiteral("CREATE TABLE SERVICEUSERFIELDS (USER INTEGER, FIELD TEXT, VALUE TEXT);"));
}

bool CMediaDataBaseUsers::createIndexes()
{
    // NAME with the case-blind collation of LIKE, so that a name prefix is searched, not scanned.
    return exec(QStringLiteral("CREATE INDEX IF NOT EXISTS SERVICEUSERS_PROVIDER_MEDIAID ON SERVICEUSERS "
                               "(PROVIDER, MEDIAID);")) &&
           exec(QStringLiteral(
               "CREATE INDEX IF NOT EXISTS SERVICEUSERS_NAME ON SERVICEUSERS (NAME COLLATE NOCASE);")) &&
           exec(QStringLiteral("CREATE INDEX IF NOT EXISTS SERVICEUSERFIELDS_USER_FIELD ON SERVICEUSERFIELDS "
                               "(USER, FIELD);"));
}

bool CMediaDataBaseUsers::addServiceUser(SServiceUser& user)
{
    QVariant id;
    if (!exec(QStringLiteral(
                  "INSERT INTO SERVICEUSERS (PROVIDER, NAME, MEDIAID, URL, AVATAR, TYPE, EXTRA1, EXTRA2, "
                  "EXTRA3) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?);"),
              {idValue(user.provider), escape(user.name), user.mediaId, user.url, user.avatar, user.type,
               escape(user.extra1), escape(user.extra2), escape(user.extra3)},
              &id))
        return false;
    user.id = idFromValue(id);
    return true;
}

bool CMediaDataBaseUsers::serviceUser(mid_t id, SServiceUser& user, bool* ok)
{
    bool done = false;
    const QList<SServiceUser> users = selectUsers(QStringLiteral("ROWID = ?"), {idValue(id)}, &done);
    tell(ok, done);
    if (!done)
        return false;
    if (users.isEmpty()) {
        qDebug().noquote() << QStringLiteral("CMediaDataBaseUsers: no user with id %1 found").arg(id);
        return false;
    }
    const QString avatarFile = user.avatarFile;
    user = users.first();
    user.avatarFile = avatarFile;
    return true;
}

bool CMediaDataBaseUsers::updateServiceUser(const SServiceUser& user)
{
    return exec(
        QStringLiteral("UPDATE SERVICEUSERS SET PROVIDER = ?, NAME = ?, MEDIAID = ?, URL = ?, AVATAR = ?, "
                       "TYPE = ?, EXTRA1 = ?, EXTRA2 = ?, EXTRA3 = ? WHERE ROWID = ?;"),
        {idValue(user.provider), escape(user.name), user.mediaId, user.url, user.avatar, user.type,
         escape(user.extra1), escape(user.extra2), escape(user.extra3), idValue(user.id)});
}

bool CMediaDataBaseUsers::setServiceUserField(mid_t user, const QHash<QString, QString>& fields)
{
    if (fields.isEmpty())
        return true;
    CMediaDataBaseConnection& db = connection();
    db.beginBatch();
    bool ok = true;
    for (auto it = fields.cbegin(); ok && it != fields.cend(); ++it) {
        const QString& name = it.key();
        const QString value = escape(it.value());
        int changed = 0;
        ok = exec(QStringLiteral("UPDATE SERVICEUSERFIELDS SET VALUE = ? WHERE USER = ? AND FIELD = ?;"),
                  {value, idValue(user), name}, nullptr, &changed);
        if (ok && changed == 0) {
            ok = exec(QStringLiteral("INSERT INTO SERVICEUSERFIELDS (USER, FIELD, VALUE) VALUES (?, ?, ?);"),
                      {idValue(user), name, value});
        }
    }
    return db.endBatch() && ok;
}

bool CMediaDataBaseUsers::serviceUserFields(mid_t user, QHash<QString, QString>& fields)
{
    QHash<QString, QString> read;
    const bool ok = select(QStringLiteral("SELECT FIELD, VALUE FROM SERVICEUSERFIELDS WHERE USER = ?;"),
                           {idValue(user)}, [&read](const QSqlQuery& query) {
                               read.insert(query.value(0).toString(), unescape(query.value(1).toString()));
                           });
    if (!ok)
        return false;
    fields.insert(read);
    return true;
}

QList<SServiceUser> CMediaDataBaseUsers::serviceUserByMediaId(mid_t provider, const QString& mediaId,
                                                              bool* ok)
{
    tell(ok, true);
    if (provider == 0 || mediaId.isEmpty()) {
        qDebug().noquote() << QStringLiteral("CMediaDataBaseUsers: provider or mediaId were not set");
        return {};
    }
    return selectUsers(QStringLiteral("PROVIDER = ? AND MEDIAID = ?"), {idValue(provider), mediaId}, ok);
}

QList<SServiceUser> CMediaDataBaseUsers::serviceUsers(mid_t provider, bool* ok)
{
    if (provider == 0)
        return selectUsers(QString(), {}, ok);
    return selectUsers(QStringLiteral("PROVIDER = ?"), {idValue(provider)}, ok);
}

QList<SServiceUser> CMediaDataBaseUsers::findServiceUsers(mid_t provider, const QString& prefix, bool* ok)
{
    // The pattern is the stored form of the prefix, so it is compared with the stored name.
    const QString pattern = escape(prefix) + QLatin1Char('%');
    if (provider == 0)
        return selectUsers(QStringLiteral("NAME LIKE ?"), {pattern}, ok);
    return selectUsers(QStringLiteral("NAME LIKE ? AND PROVIDER = ?"), {pattern, idValue(provider)}, ok);
}

bool CMediaDataBaseUsers::deleteUserRows(const QList<mid_t>& ids)
{
    if (ids.isEmpty())
        return true;
    CMediaDataBaseConnection& db = connection();
    db.beginBatch();
    bool ok = true;
    for (qsizetype i = 0; ok && i < ids.size(); ++i) {
        ok = exec(QStringLiteral("DELETE FROM SERVICEUSERS WHERE ROWID = ?;"), {idValue(ids[i])}) &&
             exec(QStringLiteral("DELETE FROM SERVICEUSERFIELDS WHERE USER = ?;"), {idValue(ids[i])});
    }
    return db.endBatch() && ok;
}

QList<SServiceUser> CMediaDataBaseUsers::selectUsers(const QString& condition, const QVariantList& values,
                                                     bool* ok)
{
    QList<SServiceUser> users;
    const QString statement = condition.isEmpty()
                                  ? userSelect + QLatin1Char(';')
                                  : userSelect + QStringLiteral(" WHERE ") + condition + QLatin1Char(';');
    const bool done = select(statement, values, [&users](const QSqlQuery& query) {
        SServiceUser user;
        user.id = idFromValue(query.value(0));
        user.provider = idFromValue(query.value(1));
        user.name = unescape(query.value(2).toString());
        user.mediaId = query.value(3).toString();
        user.url = query.value(4).toString();
        user.avatar = query.value(5).toString();
        user.type = query.value(6).toInt();
        user.extra1 = unescape(query.value(7).toString());
        user.extra2 = unescape(query.value(8).toString());
        user.extra3 = unescape(query.value(9).toString());
        users.append(user);
    });
    tell(ok, done);
    if (!done)
        users.clear();
    return users;
}
