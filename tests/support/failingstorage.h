#pragma once

#include "mediadatabase.h"

#include <QSet>
#include <QStringList>

// The media database, except that adds of the item types a test names fail without touching the
// file (as a refused write does); it also notes the service keys written.
class FailingStorage : public CMediaDataBase
{
public:
    using CMediaDataBase::CMediaDataBase;

    QSet<int> failAddTypes;
    QStringList keyWrites; // "key=value", in order

    bool addMediaItem(SMediaItem& item, const QHash<QString, QString>& fields = {}) override
    {
        return !failAddTypes.contains(item.type) && CMediaDataBase::addMediaItem(item, fields);
    }
    bool setServiceKey(mid_t provider, const QString& key, const QString& value) override
    {
        keyWrites.append(key + QLatin1Char('=') + value);
        return CMediaDataBase::setServiceKey(provider, key, value);
    }
};
