#include "mediadatabaseitems.h"

#include "meskclock.h"

namespace {
const QString itemSelect = QStringLiteral(
    "SELECT ROWID, PROVIDER, PARENT, USER, CREATED, CONTENT, MEDIAID, TYPE, ADDED, EXTRA1, EXTRA2, EXTRA3 "
    "FROM MEDIAITEMS");
const QString dateRange = QStringLiteral("CREATED <= ? AND CREATED >= ?");
const QString andProvider = QStringLiteral(" AND PROVIDER = ?");
// The columns of itemSelect, of the items table named I.
const QString joinedItemColumns = QStringLiteral(
    "I.ROWID, I.PROVIDER, I.PARENT, I.USER, I.CREATED, I.CONTENT, I.MEDIAID, I.TYPE, I.ADDED, I.EXTRA1, "
    "I.EXTRA2, I.EXTRA3");

SMediaItem itemFromRow(const QSqlQuery& query)
{
    SMediaItem item;
    item.id = CMediaDataBaseMethod::idFromValue(query.value(0));
    item.provider = CMediaDataBaseMethod::idFromValue(query.value(1));
    item.parent = CMediaDataBaseMethod::idFromValue(query.value(2));
    item.user = CMediaDataBaseMethod::idFromValue(query.value(3));
    item.created = CMediaDataBaseMethod::dateFromValue(query.value(4));
    item.content = CMediaDataBaseMethod::unescape(query.value(5).toString());
    item.mediaId = query.value(6).toString();
    item.type = query.value(7).toInt();
    item.added = CMediaDataBaseMethod::dateFromValue(query.value(8));
    item.extra1 = CMediaDataBaseMethod::unescape(query.value(9).toString());
    item.extra2 = CMediaDataBaseMethod::unescape(query.value(10).toString());
    item.extra3 = CMediaDataBaseMethod::unescape(query.value(11).toString());
    return item;
}
} // namespace

const QList<int>& CMediaDataBaseItems::eventTypes()
{
    static const QList<int> types{MeskItemType::Event1, MeskItemType::Event2, MeskItemType::Event3,
                                  MeskItemType::Event4, MeskItemType::OwnPost};
    return types;
}

const QList<int>& CMediaDataBaseItems::mediaObjectTypes()
{
    static const QList<int> types{MeskItemType::Image, MeskItemType::Video};
    return types;
}

const QList<int>& CMediaDataBaseItems::linkTypes()
{
    static const QList<int> types{MeskItemType::Link};
    return types;
}

bool CMediaDataBaseItems::createTables()
{
    return exec(QStringLiteral("CREATE TABLE MEDIAITEMS (PROVIDER INTEGER, PARENT INTEGER, USER INTEGER, "
                               "CREATED INTEGER, CONTENT TEXT, MEDIAID TEXT, TYPE INTEGER, ADDED INTEGER, "
                               "EXTRA1 TEXT, EXTRA2 TEXT, EXTRA3 TEXT);")) &&
           exec(QStringLiteral("CREATE TABLE MEDIAITEMFIELDS (ITEM INTEGER, FIELD TEXT, VALUE TEXT);"));
}

bool CMediaDataBaseItems::createIndexes()
{
    // PROVIDER, MEDIAID: look-up by media id, a provider's items, its greatest media id.
    // TYPE, CREATED: the lists by type, with or without a date range, and the newest event.
    // CREATED: date ranges over every type.
    return exec(QStringLiteral("CREATE INDEX IF NOT EXISTS MEDIAITEMS_PROVIDER_MEDIAID ON MEDIAITEMS "
                               "(PROVIDER, MEDIAID);")) &&
           exec(QStringLiteral("CREATE INDEX IF NOT EXISTS MEDIAITEMS_PARENT ON MEDIAITEMS (PARENT);")) &&
           exec(QStringLiteral(
               "CREATE INDEX IF NOT EXISTS MEDIAITEMS_TYPE_CREATED ON MEDIAITEMS (TYPE, CREATED);")) &&
           exec(QStringLiteral("CREATE INDEX IF NOT EXISTS MEDIAITEMS_CREATED ON MEDIAITEMS (CREATED);")) &&
           exec(QStringLiteral(
               "CREATE INDEX IF NOT EXISTS MEDIAITEMFIELDS_ITEM_FIELD ON MEDIAITEMFIELDS (ITEM, FIELD);"));
}

bool CMediaDataBaseItems::addMediaItem(SMediaItem& item, const QHash<QString, QString>& fields)
{
    // The file keeps whole seconds; the caller's record holds exactly what is stored, as a read gives it.
    const QDateTime added = dateFromValue(dateValue(MeskClock::now()));
    CMediaDataBaseConnection& db = connection();
    db.beginBatch();
    QVariant id;
    bool ok = exec(
        QStringLiteral("INSERT INTO MEDIAITEMS (PROVIDER, PARENT, USER, CREATED, CONTENT, MEDIAID, TYPE, "
                       "ADDED, EXTRA1, EXTRA2, EXTRA3) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?);"),
        {idValue(item.provider), idValue(item.parent), idValue(item.user), dateValue(item.created),
         escape(item.content), item.mediaId, item.type, dateValue(added), escape(item.extra1),
         escape(item.extra2), escape(item.extra3)},
        &id);
    // A new item has no fields yet: each is a new row.
    for (auto it = fields.cbegin(); ok && it != fields.cend(); ++it) {
        ok = exec(QStringLiteral("INSERT INTO MEDIAITEMFIELDS (ITEM, FIELD, VALUE) VALUES (?, ?, ?);"),
                  {id, escape(it.key()), escape(it.value())});
    }
    if (!db.endBatch() || !ok)
        return false;
    item.added = added;
    item.id = idFromValue(id);
    return true;
}

bool CMediaDataBaseItems::mediaItem(mid_t id, SMediaItem& item, bool* ok)
{
    const QList<SMediaItem> items = selectItems(QStringLiteral("ROWID = ?"), {idValue(id)}, ok);
    if (items.isEmpty())
        return false;
    item = items.first();
    return true;
}

bool CMediaDataBaseItems::updateMediaItem(const SMediaItem& item)
{
    return exec(QStringLiteral("UPDATE MEDIAITEMS SET PROVIDER = ?, PARENT = ?, USER = ?, CREATED = ?, "
                               "CONTENT = ?, MEDIAID = ?, TYPE = ?, ADDED = ?, EXTRA1 = ?, EXTRA2 = ?, "
                               "EXTRA3 = ? WHERE ROWID = ?;"),
                {idValue(item.provider), idValue(item.parent), idValue(item.user), dateValue(item.created),
                 escape(item.content), item.mediaId, item.type, dateValue(item.added), escape(item.extra1),
                 escape(item.extra2), escape(item.extra3), idValue(item.id)});
}

bool CMediaDataBaseItems::setMediaItemField(mid_t item, const QHash<QString, QString>& fields)
{
    if (fields.isEmpty())
        return true;
    CMediaDataBaseConnection& db = connection();
    db.beginBatch();
    bool ok = true;
    for (auto it = fields.cbegin(); ok && it != fields.cend(); ++it) {
        const QString key = escape(it.key());
        const QString value = escape(it.value());
        int changed = 0;
        ok = exec(QStringLiteral("UPDATE MEDIAITEMFIELDS SET VALUE = ? WHERE ITEM = ? AND FIELD = ?;"),
                  {value, idValue(item), key}, nullptr, &changed);
        if (ok && changed == 0) {
            ok = exec(QStringLiteral("INSERT INTO MEDIAITEMFIELDS (ITEM, FIELD, VALUE) VALUES (?, ?, ?);"),
                      {idValue(item), key, value});
        }
    }
    return db.endBatch() && ok;
}

bool CMediaDataBaseItems::mediaItemFields(mid_t item, QHash<QString, QString>& fields)
{
    QHash<QString, QString> read;
    const bool ok =
        select(QStringLiteral("SELECT FIELD, VALUE FROM MEDIAITEMFIELDS WHERE ITEM = ?;"), {idValue(item)},
               [&read](const QSqlQuery& query) {
                   read.insert(unescape(query.value(0).toString()), unescape(query.value(1).toString()));
               });
    if (!ok)
        return false;
    fields.insert(read);
    return true;
}

bool CMediaDataBaseItems::mediaItemFieldList(mid_t item, QList<QPair<QString, QString>>& fields)
{
    fields.clear();
    QList<QPair<QString, QString>> read;
    const bool ok =
        select(QStringLiteral("SELECT FIELD, VALUE FROM MEDIAITEMFIELDS WHERE ITEM = ? ORDER BY ROWID;"),
               {idValue(item)}, [&read](const QSqlQuery& query) {
                   read.append({unescape(query.value(0).toString()), unescape(query.value(1).toString())});
               });
    if (!ok)
        return false;
    fields = read;
    return true;
}

QList<SMediaItem> CMediaDataBaseItems::childItems(mid_t parent, bool* ok)
{
    return selectItems(QStringLiteral("PARENT = ?"), {idValue(parent)}, ok);
}

QList<SMediaItem> CMediaDataBaseItems::itemsOfTypes(const QList<int>& types, mid_t provider, bool* ok)
{
    QList<SMediaItem> items;
    bool done = true;
    for (qsizetype i = 0; done && i < types.size(); ++i)
        items += itemsByType(types.at(i), provider, &done);
    tell(ok, done);
    if (!done)
        items.clear();
    return items;
}

QList<SMediaItem> CMediaDataBaseItems::itemsOfTypesBetween(const QList<int>& types, const QDateTime& upper,
                                                           const QDateTime& lower, mid_t provider, bool* ok)
{
    QList<SMediaItem> items;
    bool done = true;
    for (qsizetype i = 0; done && i < types.size(); ++i)
        items += itemsByTypeBetween(upper, lower, types.at(i), provider, &done);
    tell(ok, done);
    if (!done)
        items.clear();
    return items;
}

QDateTime CMediaDataBaseItems::latestOfTypesAtOrBefore(const QList<int>& types, const QDateTime& upper,
                                                       mid_t provider, bool* ok)
{
    tell(ok, true);
    const qint64 bound = datedUpperBound(upper);
    if (bound < 0)
        return QDateTime();
    qint64 latest = -1;
    for (int type : types) {
        // Rows without a date hold NullDate, above every bound: the range leaves them out.
        QString statement =
            QStringLiteral("SELECT CREATED FROM MEDIAITEMS WHERE TYPE = ? AND CREATED <= ? AND "
                           "CREATED >= 0");
        QVariantList values{type, bound};
        if (provider != 0) {
            statement += andProvider;
            values.append(idValue(provider));
        }
        statement += QStringLiteral(" ORDER BY CREATED DESC LIMIT 1;");
        if (!select(statement, values, [&latest](const QSqlQuery& query) {
                bool isNumber = false;
                const qint64 created = query.value(0).toLongLong(&isNumber);
                if (isNumber && created > latest)
                    latest = created;
            })) {
            tell(ok, false);
            return QDateTime();
        }
    }
    return latest < 0 ? QDateTime() : dateFromValue(latest);
}

QList<SMediaItem> CMediaDataBaseItems::itemByMediaId(mid_t provider, const QString& mediaId, bool* ok)
{
    return selectItems(QStringLiteral("PROVIDER = ? AND MEDIAID = ?"), {idValue(provider), mediaId}, ok);
}

QList<SMediaItem> CMediaDataBaseItems::itemsByTypeBetween(const QDateTime& upper, const QDateTime& lower,
                                                          int type, mid_t provider, bool* ok)
{
    QString condition = dateRange + QStringLiteral(" AND TYPE = ?");
    QVariantList values{dateValue(upper), dateValue(lower), type};
    if (provider != 0) {
        condition += andProvider;
        values.append(idValue(provider));
    }
    return selectItems(condition + QStringLiteral(" ORDER BY CREATED, ROWID"), values, ok);
}

QList<SMediaItem> CMediaDataBaseItems::itemsByType(int type, mid_t provider, bool* ok)
{
    QString condition = QStringLiteral("TYPE = ?");
    QVariantList values{type};
    if (provider != 0) {
        condition += andProvider;
        values.append(idValue(provider));
    }
    return selectItems(condition, values, ok);
}

QList<SMediaItem> CMediaDataBaseItems::itemsBetween(const QDateTime& upper, const QDateTime& lower,
                                                    mid_t provider, bool* ok)
{
    QString condition = dateRange;
    QVariantList values{dateValue(upper), dateValue(lower)};
    if (provider != 0) {
        condition += andProvider;
        values.append(idValue(provider));
    }
    return selectItems(condition, values, ok);
}

QList<SMediaItem> CMediaDataBaseItems::providerItems(mid_t provider, bool* ok)
{
    if (provider == 0)
        return selectItems(QString(), {}, ok);
    return selectItems(QStringLiteral("PROVIDER = ?"), {idValue(provider)}, ok);
}

QList<SMediaItem> CMediaDataBaseItems::itemsByContent(mid_t provider, const QString& text, bool* ok)
{
    // The pattern is the stored form of the text, so it is compared with the stored content.
    return selectItems(QStringLiteral("PROVIDER = ? AND CONTENT LIKE ?"),
                       {idValue(provider), QString(QLatin1Char('%') + escape(text) + QLatin1Char('%'))}, ok);
}

QDateTime CMediaDataBaseItems::latestItem(mid_t provider, bool* ok)
{
    QDateTime latest;
    bool done = true;
    for (int type :
         {MeskItemType::Event1, MeskItemType::Event2, MeskItemType::Event3, MeskItemType::Event4}) {
        // Rows without a date would sort first; they say nothing about what is newest.
        QString condition = QStringLiteral("TYPE = ? AND CREATED <> ?");
        QVariantList values{type, NullDate};
        if (provider != 0) {
            condition += andProvider;
            values.append(idValue(provider));
        }
        condition += QStringLiteral(" ORDER BY CREATED DESC LIMIT 1");
        const QList<SMediaItem> items = selectItems(condition, values, &done);
        if (!done)
            break;
        if (!items.isEmpty() && items.first().created.isValid() &&
            (!latest.isValid() || items.first().created > latest))
            latest = items.first().created;
    }
    tell(ok, done);
    return done ? latest : QDateTime();
}

QString CMediaDataBaseItems::itemsByMediaIdDesc(mid_t provider, bool* ok)
{
    tell(ok, true);
    if (provider == 0)
        return QString();
    const QList<SMediaItem> items =
        selectItems(QStringLiteral("PROVIDER = ? ORDER BY MEDIAID DESC LIMIT 1"), {idValue(provider)}, ok);
    return items.isEmpty() ? QString() : items.first().mediaId;
}

bool CMediaDataBaseItems::deleteItemRows(const QList<mid_t>& ids)
{
    if (ids.isEmpty())
        return true;
    CMediaDataBaseConnection& db = connection();
    db.beginBatch();
    bool ok = true;
    for (qsizetype i = 0; ok && i < ids.size(); ++i) {
        ok = exec(QStringLiteral("DELETE FROM MEDIAITEMS WHERE ROWID = ?;"), {idValue(ids[i])}) &&
             exec(QStringLiteral("DELETE FROM MEDIAITEMFIELDS WHERE ITEM = ?;"), {idValue(ids[i])});
    }
    return db.endBatch() && ok;
}

QList<SMediaItem> CMediaDataBaseItems::listedItems(mid_t provider, bool* ok)
{
    // CROSS JOIN keeps the sync rows outside: they come in their own order, each item found by its ROWID.
    const QString select =
        QStringLiteral("SELECT ") + joinedItemColumns +
        QStringLiteral(" FROM MEDIASYNC S CROSS JOIN MEDIAITEMS I ON I.ROWID = S.MEDIAEVENT");
    QList<SMediaItem> items;
    const auto reader = [&items](const QSqlQuery& query) { items.append(itemFromRow(query)); };
    const bool done = provider == 0
                          ? this->select(select + QStringLiteral(" ORDER BY S.ROWID;"), {}, reader)
                          : this->select(select + QStringLiteral(" WHERE S.PROVIDER = ? ORDER BY S.ROWID;"),
                                         {idValue(provider)}, reader);
    tell(ok, done);
    if (!done)
        items.clear();
    return items;
}

bool CMediaDataBaseItems::deleteExpiredTrees(const QSet<mid_t>& kept, QList<QPair<mid_t, qint64>>& gone)
{
    gone.clear();
    // Two tables of this connection only, made on first use: the kept events, and the rows to delete
    // with their dates for the files. Emptied before and after each use.
    const QStringList clear{QStringLiteral("DELETE FROM temp.CLEANUPKEPT;"),
                            QStringLiteral("DELETE FROM temp.CLEANUPGONE;")};
    CMediaDataBaseConnection& db = connection();
    db.beginBatch();
    bool ok = exec(QStringLiteral("CREATE TEMP TABLE IF NOT EXISTS CLEANUPKEPT (ID INTEGER PRIMARY KEY);")) &&
              exec(QStringLiteral(
                  "CREATE TEMP TABLE IF NOT EXISTS CLEANUPGONE (ID INTEGER PRIMARY KEY, CREATED INTEGER);"));
    for (const QString& statement : clear)
        ok = ok && exec(statement);
    for (auto it = kept.cbegin(); ok && it != kept.cend(); ++it)
        ok = exec(QStringLiteral("INSERT INTO temp.CLEANUPKEPT (ID) VALUES (?);"), {idValue(*it)});
    // The expired events, then level by level the rows whose parent is already collected. UNION
    // collects each row once, so a parent chain that loops back ends.
    QVariantList types;
    QStringList marks;
    for (int type : eventTypes()) {
        types.append(type);
        marks.append(QStringLiteral("?"));
    }
    ok = ok &&
         exec(QStringLiteral("WITH RECURSIVE TREE(ID) AS (SELECT ROWID FROM MEDIAITEMS WHERE TYPE IN (") +
                  marks.join(QStringLiteral(", ")) +
                  QStringLiteral(") AND ROWID NOT IN temp.CLEANUPKEPT UNION SELECT M.ROWID FROM TREE "
                                 "CROSS JOIN MEDIAITEMS M ON M.PARENT = TREE.ID) "
                                 "INSERT INTO temp.CLEANUPGONE (ID, CREATED) SELECT I.ROWID, I.CREATED "
                                 "FROM TREE CROSS JOIN MEDIAITEMS I ON I.ROWID = TREE.ID;"),
              types);
    ok = ok && select(QStringLiteral("SELECT ID, CREATED FROM temp.CLEANUPGONE;"), {},
                      [&gone](const QSqlQuery& query) {
                          // What dateValue(dateFromValue(...)) gives, without making a date of it.
                          bool isNumber = false;
                          qint64 created = query.value(1).toLongLong(&isNumber);
                          if (!isNumber || created < 0 || created >= NullDate)
                              created = NullDate;
                          gone.append({idFromValue(query.value(0)), created});
                      });
    ok = ok &&
         exec(QStringLiteral(
             "DELETE FROM MEDIAITEMFIELDS WHERE ITEM IN (SELECT ID FROM temp.CLEANUPGONE);")) &&
         exec(QStringLiteral("DELETE FROM MEDIAITEMS WHERE ROWID IN (SELECT ID FROM temp.CLEANUPGONE);"));
    for (const QString& statement : clear)
        ok = ok && exec(statement);
    if (!db.endBatch() || !ok) {
        gone.clear();
        return false;
    }
    return true;
}

QList<SMediaItem> CMediaDataBaseItems::selectItems(const QString& condition, const QVariantList& values,
                                                   bool* ok)
{
    QList<SMediaItem> items;
    const QString statement = condition.isEmpty()
                                  ? itemSelect + QLatin1Char(';')
                                  : itemSelect + QStringLiteral(" WHERE ") + condition + QLatin1Char(';');
    const bool done =
        select(statement, values, [&items](const QSqlQuery& query) { items.append(itemFromRow(query)); });
    if (ok)
        *ok = done;
    if (!done)
        items.clear();
    return items;
}
