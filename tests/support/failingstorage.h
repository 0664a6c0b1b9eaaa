#pragma once

#include "mediadatabase.h"

#include <QSet>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStringList>

#include <QTest>

#include <functional>
#include <memory>

// While it lives, the reads of every storage of the process whose statement holds the text fail as
// reads the device refused do (SQLite's "disk I/O error"): those after the first `skip`, `times` of
// them (-1: every one). failed() counts them.
class FailingReads
{
public:
    explicit FailingReads(const QString& text, int times = -1, int skip = 0)
        : m_failed(std::make_shared<int>(0))
    {
        auto seen = std::make_shared<int>(0);
        CMediaDataBaseMethod::setReadFault(
            [text, times, skip, seen, failed = m_failed](const QString& statement) {
                if (!statement.contains(text) || (*seen)++ < skip || (times >= 0 && *failed >= times))
                    return false;
                ++*failed;
                return true;
            });
    }
    ~FailingReads() { CMediaDataBaseMethod::setReadFault({}); }
    FailingReads(const FailingReads&) = delete;
    FailingReads& operator=(const FailingReads&) = delete;

    int failed() const { return *m_failed; }

private:
    std::shared_ptr<int> m_failed;
};

// A look-up (add: finds what is stored, or stores it) whose read of the table fails stores no second
// copy (count: the copies stored), and finds the stored one once reads work again.
inline void checkFailedLookUpStoresNothing(const std::function<QObject*()>& add,
                                           const std::function<int()>& count, const QString& table)
{
    QVERIFY(add());
    QCOMPARE(count(), 1);
    {
        FailingReads reads(QStringLiteral("FROM ") + table);
        QVERIFY(!add());
        QCOMPARE(reads.failed(), 1);
    }
    QCOMPARE(count(), 1);
    QVERIFY(add());
    QCOMPARE(count(), 1);
}

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
    bool beginBatch(Commit commit) override
    {
        ++m_depth;
        return CMediaDataBase::beginBatch(commit);
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
