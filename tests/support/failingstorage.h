#pragma once

#include "mediadatabase.h"

#include <QSet>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStringList>

// The media database, except that adds of the item types a test names fail without touching the
// file (as a refused write does), and that with failCommits set every outermost endBatch() rolls
// the batch back and returns false (as a commit the disk refuses does). It also notes the service
// keys written.
class FailingStorage : public CMediaDataBase
{
public:
    using CMediaDataBase::CMediaDataBase;

    QSet<int> failAddTypes;
    bool failCommits = false;
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
    bool beginBatch() override
    {
        ++m_depth;
        return CMediaDataBase::beginBatch();
    }
    bool endBatch() override
    {
        if (--m_depth == 0 && failCommits) {
            // The transaction goes before the database commits it, which then fails.
            QSqlQuery(connection()).exec(QStringLiteral("ROLLBACK"));
        }
        return CMediaDataBase::endBatch();
    }

private:
    // The connection on this database's file.
    QSqlDatabase connection() const
    {
        for (const QString& name : QSqlDatabase::connectionNames()) {
            const QSqlDatabase database = QSqlDatabase::database(name, false);
            if (database.isOpen() && database.databaseName() == databasePath())
                return database;
        }
        return {};
    }

    int m_depth = 0;
};
