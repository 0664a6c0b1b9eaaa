#pragma once

#include "mediadatabasemethod.h"

#include <QList>
#include <QSet>

// MEDIASYNC: which stored events each provider's service still reports: one row per listed event,
// with the provider, when it listed it and for how many hours (0: no limit) the listing protects the
// event from the clean-up. The items of the lists are read with the items (CMediaDataBaseItems).
class CMediaDataBaseSync : public CMediaDataBaseMethod
{
public:
    bool createTables();
    bool createIndexes();

    // Replaces the provider's rows by one row per id, all stamped with one "now", in one transaction.
    bool writeSyncRecords(mid_t provider, const QList<mid_t>& events, int maxPeriod);
    // Adds one row per id to the provider's rows, all stamped with one "now", in one transaction.
    bool addSyncRecords(mid_t provider, const QList<mid_t>& events, int maxPeriod);
    // The events the clean-up keeps: every listed event, or with onlyExpired only those whose listing
    // is younger than its period (0: no limit), counted in whole local clock hours. ok is false when
    // the rows cannot be read.
    QSet<mid_t> keptEvents(bool onlyExpired, bool* ok = nullptr);

private:
    bool write(mid_t provider, const QList<mid_t>& events, int maxPeriod, bool replace);
};
