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
    const auto reader = [&records](const QSqlQuery& query) {
        SMediaSyncRecord record;
        record.mediaEvent = idFromValue(query.value(0));
        record.provider = idFromValue(query.value(1));
        record.syncDate = dateFromValue(query.value(2));
        record.maxPeriod = query.value(3).toInt();
        records.append(record);
    };
    const bool done =
        provider == 0
            ? select(QStringLiteral("SELECT MEDIAEVENT, PROVIDER, SYNCDATE, MAXPERIOD FROM MEDIASYNC;"), {}, reader)
            : select(QStringLiteral(
                         "SELECT MEDIAEVENT, PROVIDER, SYNCDATE, MAXPERIOD FROM MEDIASYNC WHERE PROVIDER = ?;"),
                     {idValue(provider)}, reader);
    if (ok)
        *ok = done;
    if (!done)
        records.clear();
    return records;
}

QSet<mid_t> CMediaDataBaseSync::keptEvents(bool onlyExpired, bool* ok)
{
    QSet<mid_t> kept;
    if (!onlyExpired) {
        const bool done = select(QStringLiteral("SELECT MEDIAEVENT FROM MEDIASYNC;"), {},
                                 [&kept](const QSqlQuery& query) { kept.insert(idFromValue(query.value(0))); });
        if (ok)
            *ok = done;
        if (!done)
            kept.clear();
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
