#pragma once

#include "mediadatabasemethod.h"

// SERVICEKEYS: named text values per provider (account keys; the schema version under provider 0).
// KEY and VALUE are stored as given.
class CMediaDataBaseKeys : public CMediaDataBaseMethod
{
public:
    bool createTables();
    bool createIndexes();
    bool setServiceKey(mid_t provider, const QString& key, const QString& value);
    // False when the key is not stored or cannot be read (ok tells which); value is then left as it was.
    bool serviceKey(mid_t provider, const QString& key, QString& value, bool* ok = nullptr);
    bool deleteServiceKeys(mid_t provider);
    bool deleteServiceKey(mid_t provider, const QString& key);
};
