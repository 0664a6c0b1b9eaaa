#pragma once

#include "meskrecords.h"

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QString>
#include <QVariant>

#include <functional>
#include <memory>

// One SQL statement: a fixed text with "?" placeholders and the values bound to them, in order.
struct SMediaDataBaseStatement
{
    QString text;
    QVariantList values;
};

// What the table objects of one database share: the connection, its prepared statements (kept and
// reused by text) and the state of the batch that is open on it.
//
// A batch is one transaction around many operations. Inside it every statement joins that
// transaction; the first failed statement marks it failed, later writes return false without
// running, and the outermost end rolls everything back.
class CMediaDataBaseConnection
{
public:
    // Sees every statement with its values before it runs (for tests that inspect query plans).
    using Observer = std::function<void(const QString& statement, const QVariantList& values)>;

    QSqlDatabase database() const { return m_database; }
    // Drops every kept statement and takes the connection (an invalid one to let go of it).
    void setDatabase(const QSqlDatabase& database);
    // Drops every kept statement; needed before the connection closes or its schema is rebuilt.
    void clearStatements();

    // The kept statement of this text, prepared on first use; nullptr (logged) when it does not prepare.
    QSqlQuery* prepared(const QString& statement);

    int batchDepth() const { return m_batchDepth; }
    bool batchFailed() const { return m_batchFailed; }
    void markBatchFailed() { m_batchFailed = m_batchDepth > 0 || m_batchFailed; }
    // Opens the transaction at depth 0; false (and the batch failed) when it cannot start. durable (at
    // depth 0; an inner batch takes the outermost one's): the commit syncs the log before it returns
    // (synchronous=FULL for this transaction, the connection's own setting again after it).
    bool beginBatch(bool durable = false);
    // Closes one level; at depth 0 commits, or rolls back when the batch failed. True when the outermost
    // end committed or an inner end leaves a batch that has not failed.
    bool endBatch();
    // Forgets an open batch without touching the connection (the connection is going away).
    void resetBatch();

    // The error of the last statement, transaction start or commit that failed on this connection.
    QSqlError lastError() const { return m_lastError; }
    void setLastError(const QSqlError& error) { m_lastError = error; }

    void setObserver(Observer observer) { m_observer = std::move(observer); }

    // What a statement that failed was doing: reading rows, or writing (any other statement, a
    // transaction's start or its commit).
    enum class Access
    {
        Read,
        Write
    };
    // Told of every statement that fails: a read (a statement that returns rows, or rows that end on
    // an error), and a write, a transaction start or a commit, whatever SQLite's code (a commit in
    // write-ahead-log mode reports none); a write that breaks a constraint aside, which leaves the
    // file as it was.
    void setFailedHandler(std::function<void(const QSqlError&, Access)> handler)
    {
        m_failed = std::move(handler);
    }
    void failed(const QSqlError& error, Access access) const;
    void observe(const QString& statement, const QVariantList& values) const
    {
        if (m_observer)
            m_observer(statement, values);
    }

private:
    // Syncs every commit from now on (synchronous=FULL) and remembers the level to go back to; false
    // when the level cannot be read or set.
    bool syncCommits();
    void restoreSync();

    QSqlDatabase m_database;
    QHash<QString, std::shared_ptr<QSqlQuery>> m_statements;
    Observer m_observer;
    std::function<void(const QSqlError&, Access)> m_failed;
    QSqlError m_lastError;
    int m_batchDepth = 0;
    bool m_batchFailed = false;
    // The connection's synchronous level to go back to after a durable batch; -1: none was changed.
    int m_restoreSync = -1;
    // The open batch began durable.
    bool m_durableBatch = false;
};

// Base of the media database's table objects. Runs statements on the shared connection with one
// uniform failure message, runs lists of statements in one transaction (or as part of the open
// batch) and converts text values and dates to and from the form the database file holds.
//
// Statements never carry values in their text: every value is bound to a "?" placeholder.
class CMediaDataBaseMethod
{
public:
    // Written for a null date-time or one outside the unsigned 32-bit range of seconds; read back as null.
    static constexpr qint64 NullDate = 4294967295LL;

    CMediaDataBaseMethod();

    // Uses a connection state shared with other table objects of the same database.
    void setConnection(const std::shared_ptr<CMediaDataBaseConnection>& connection)
    {
        m_connection = connection;
    }
    CMediaDataBaseConnection& connection() const { return *m_connection; }
    void setDatabase(const QSqlDatabase& database) { m_connection->setDatabase(database); }
    QSqlDatabase database() const { return m_connection->database(); }

    // Runs a statement that returns no rows. insertId receives the new ROWID, changed the number of
    // rows written. Inside a failed batch it returns false without running.
    bool exec(const QString& statement, const QVariantList& values = {}, QVariant* insertId = nullptr,
              int* changed = nullptr);
    // Runs a SELECT and hands each row to the reader. False (logged, and told to the connection's
    // failed handler, as a read) when the statement fails or the rows end on an error; the reader may then
    // have seen some rows, which the caller drops.
    bool select(const QString& statement, const QVariantList& values,
                const std::function<void(const QSqlQuery&)>& reader);
    // Runs the statements in list order in one transaction; the first failure rolls everything back.
    // Inside a batch they join it. An empty list succeeds without touching the connection.
    bool execTransaction(const QList<SMediaDataBaseStatement>& statements);

    // The stored form of a text: "[", "_", "#", "^" and "%" bracketed, so that the text taken as a
    // LIKE pattern matches those characters literally. unescape(escape(s)) == s for every s.
    static QString escape(const QString& text);
    static QString unescape(const QString& stored);

    // Dates are whole seconds since 1970-01-01 00:00 UTC, unsigned 32-bit. They are read back as the
    // local time of the zone in force with its offset from UTC, so that a date held across a change
    // of zone still denotes the same moment (and is written back unchanged); shown days and times
    // take the zone in force through toLocalTime().
    static qint64 dateValue(const QDateTime& date);
    static QDateTime dateFromValue(const QVariant& value);
    // The greatest stored date value at or before the time that a dated row can hold (never
    // NullDate); -1 when no dated row can be that early, or the time is null.
    static qint64 datedUpperBound(const QDateTime& upper);
    // Ids are SQLite ROWIDs: signed 64-bit in the file.
    static qint64 idValue(mid_t id) { return static_cast<qint64>(id); }
    static mid_t idFromValue(const QVariant& value) { return static_cast<mid_t>(value.toLongLong()); }

    // Test hook: a read whose statement the function picks fails as one the device refused does
    // (SQLite's "disk I/O error"), in every database of the process. Empty: none.
    using ReadFault = std::function<bool(const QString& statement)>;
    static void setReadFault(ReadFault fault);

protected:
    // Tells a caller that asked (ok not null) whether its read succeeded.
    static void tell(bool* ok, bool done)
    {
        if (ok)
            *ok = done;
    }

private:
    QSqlQuery* run(const QString& statement, const QVariantList& values);

    std::shared_ptr<CMediaDataBaseConnection> m_connection;
};
