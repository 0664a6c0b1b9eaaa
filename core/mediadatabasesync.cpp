#include "mediadatabasesync.h"

#include "meskclock.h"

bool CMediaDataBaseSync::createTables()
{
    return exec(QStringLiteral("CREATE TABLE MEDIASYNC (MEDIAEVENT INTEGER, PROVIDER INTEGER, SYNCDATE "
                               "INTEGER, MAXPERIOD INTEGER);"));
}

bool CMediaDataBaseSync::createIndexes()
{
    return exec(QStringLiteral("CREATE INDEX IF NOT EXISTS MEDIASYNC_PROVIDER ON MEDIASYNC (PROVIDER);"));
}

bool CMediaDataBaseSync::writeSyncRecords(mid_t provider, const QList<mid_t>& events, int maxPeriod)
{
    return write(provider, events, maxPeriod, true);
}

bool CMediaDataBaseSync::addSyncRecords(mid_t provider, const QList<mid_t>& events, int maxPeriod)
{
    return write(provider, events, maxPeriod, false);
}

bool CMediaDataBaseSync::write(mid_t provider, const QList<mid_t>& events, int maxPeriod, bool replace)
{
    const qint64 now = dateValue(MeskClock::now());
    QList<SMediaDataBaseStatement> statements;
    statements.reserve(events.size() + 1);
    if (replace)
        statements.append({QStringLiteral("DELETE FROM MEDIASYNC WHERE PROVIDER = ?;"), {idValue(provider)}});
    for (mid_t event : events) {
        statements.append(
            {QStringLiteral(
                 "INSERT INTO MEDIASYNC (MEDIAEVENT, PROVIDER, SYNCDATE, MAXPERIOD) VALUES(?, ?, ?, ?)"),
             {idValue(event), idValue(provider), now, maxPeriod}});
    }
    return execTransaction(statements);
}

QSet<mid_t> CMediaDataBaseSync::keptEvents(bool onlyExpired, bool* ok)
{
    QSet<mid_t> kept;
    bool done = false;
    if (!onlyExpired) {
        done = select(QStringLiteral("SELECT MEDIAEVENT FROM MEDIASYNC;"), {},
                      [&kept](const QSqlQuery& query) { kept.insert(idFromValue(query.value(0))); });
    } else {
        const QDateTime now = MeskClock::now().toLocalTime();
        // The rows of one listing share its date: the age is worked out once per date, not per row.
        QHash<qint64, qint64> ages;
        const auto ageOf = [&ages, &now](const QVariant& stored) {
            // Whole clock hours between the listing and now: minutes and seconds do not count. Both
            // are clock times of the zone in force, so a change of zone since the listing does not
            // add or take away hours.
            const auto hoursSince = [&now](const QDateTime& stored) {
                const QDateTime synced = stored.toLocalTime();
                return synced.daysTo(now) * 24 + now.time().hour() - synced.time().hour();
            };
            bool isNumber = false;
            const qint64 value = stored.toLongLong(&isNumber);
            if (stored.isNull() || !isNumber)
                return hoursSince(dateFromValue(stored));
            auto it = ages.constFind(value);
            if (it == ages.cend())
                it = ages.insert(value, hoursSince(dateFromValue(stored)));
            return it.value();
        };
        done = select(QStringLiteral("SELECT MEDIAEVENT, PROVIDER, SYNCDATE, MAXPERIOD FROM MEDIASYNC;"), {},
                      [&kept, &ageOf](const QSqlQuery& query) {
                          const int maxPeriod = query.value(3).toInt();
                          if (maxPeriod == 0 || ageOf(query.value(2)) < maxPeriod)
                              kept.insert(idFromValue(query.value(0)));
                      });
    }
    if (ok)
        *ok = done;
    if (!done)
        kept.clear();
    return kept;
}
