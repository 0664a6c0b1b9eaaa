#include "mediadatabasesync.h"

#include "meskclock.h"

bool CMediaDataBaseSync::createTables()
{
    return exec(QStringLiteral("CREATE TABLE MEDIASYNC (MEDIAEVENT INTEGER, PROVIDER INTEGER, SYNCDATE "
                               "INTEGER, MAXPERIOD INTEGER);"));
}

bool CMediaDataBaseSync::writeSyncRecords(mid_t provider, const QList<mid_t>& events, int maxPeriod)
{
    const qint64 now = dateValue(MeskClock::now());
    QList<SMediaDataBaseStatement> statements;
    statements.reserve(events.size() + 1);
    statements.append({QStringLiteral("DELETE FROM MEDIASYNC WHERE PROVIDER = ?;"), {idValue(provider)}});
    for (mid_t event : events) {
        statements.append(
            {QStringLiteral(
                 "INSERT INTO MEDIASYNC (MEDIAEVENT, PROVIDER, SYNCDATE, MAXPERIOD) VALUES(?, ?, ?, ?)"),
             {idValue(event), idValue(provider), now, maxPeriod}});
    }
    return execTransaction(statements);
}

QList<SMediaSyncRecord> CMediaDataBaseSync::readSyncRecords(mid_t provider, bool* ok)
{
    QList<SMediaSyncRecord> records;
    QSqlQuery query = newQuery();
    const bool done =
        provider == 0
            ? exec(query, QStringLiteral("SELECT MEDIAEVENT, PROVIDER, SYNCDATE, MAXPERIOD FROM MEDIASYNC;"))
            : exec(query,
                   QStringLiteral(
                       "SELECT MEDIAEVENT, PROVIDER, SYNCDATE, MAXPERIOD FROM MEDIASYNC WHERE PROVIDER = ?;"),
                   {idValue(provider)});
    if (ok)
        *ok = done;
    if (!done)
        return records;
    while (query.next()) {
        SMediaSyncRecord record;
        record.mediaEvent = idFromValue(query.value(0));
        record.provider = idFromValue(query.value(1));
        record.syncDate = dateFromValue(query.value(2));
        record.maxPeriod = query.value(3).toInt();
        records.append(record);
    }
    return records;
}

QSet<mid_t> CMediaDataBaseSync::keptEvents(bool onlyExpired, bool* ok)
{
    QSet<mid_t> kept;
    if (!onlyExpired) {
        QSqlQuery query = newQuery();
        const bool done = exec(query, QStringLiteral("SELECT MEDIAEVENT FROM MEDIASYNC;"));
        if (ok)
            *ok = done;
        while (done && query.next())
            kept.insert(idFromValue(query.value(0)));
        return kept;
    }
    bool done = false;
    const QList<SMediaSyncRecord> records = readSyncRecords(0, &done);
    if (ok)
        *ok = done;
    const QDateTime now = MeskClock::now().toLocalTime();
    for (const SMediaSyncRecord& record : records) {
        // Whole clock hours between the listing and now: minutes and seconds do not count.
        const qint64 age =
            record.syncDate.daysTo(now) * 24 + now.time().hour() - record.syncDate.time().hour();
        if (record.maxPeriod == 0 || age < record.maxPeriod)
            kept.insert(record.mediaEvent);
    }
    return kept;
}
