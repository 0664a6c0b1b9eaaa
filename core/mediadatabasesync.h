#pragma once

#include "mediadatabasemethod.h"

#include <QList>
#include <QSet>

// One row of MEDIASYNC: an event a provider still lists, when it listed it and for how many hours
// (0: no limit) the listing protects the event from the clean-up.
struct SMediaSyncRecord
{
    mid_t mediaEvent = 0;
    mid_t provider = 0;
    QDateTime syncDate;
    qint32 maxPeriod = 0;
};

// MEDIASYNC: which stored events each provider's service still reports.
class CMediaDataBaseSync : public CMediaDataBaseMethod
{
public:
    bool createTables();
    bool createIndexes();

    // Replaces the provider's rows by one row per id, all stamped with one "now", in one transaction.
    bool writeSyncRecords(mid_t provider, const QList<mid_t>& events, int maxPeriod);
    // provider 0: every provider. ok is false when the rows cannot be read.
    QList<SMediaSyncRecord> readSyncRecords(mid_t provider, bool* ok = nullptr);
    // The events the clean-up keeps: every listed event, or with onlyExpired only those whose listing
    // is younger than its period. ok is false when the rows cannot be read.
    QSet<mid_t> keptEvents(bool onlyExpired, bool* ok = nullptr);
};
