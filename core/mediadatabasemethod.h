#pragma once

#include "meskrecords.h"

#include <QDateTime>
#include <QList>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QVariant>

// One SQL statement: a fixed text with "?" placeholders and the values bound to them, in order.
struct SMediaDataBaseStatement
{
    QString text;
    QVariantList values;
};

// Base of the media database's table objects. Holds a handle of the connection, runs statements
// with one uniform failure message, runs lists of statements in one transaction and converts text
// values and dates to and from the form the database file holds.
//
// Statements never carry values in their text: every value is bound to a "?" placeholder.
class CMediaDataBaseMethod
{
public:
    // Written for a null date-time or one outside the unsigned 32-bit range of seconds; read back as null.
    static constexpr qint64 NullDate = 4294967295LL;

    void setDatabase(const QSqlDatabase& database) { m_database = database; }
    QSqlDatabase database() const { return m_database; }

    // Runs the statement on a new query of the connection.
    bool exec(const QString& statement, const QVariantList& values = {});
    // Runs the statement on the caller's query (made with newQuery()); the caller then reads its rows.
    bool exec(QSqlQuery& query, const QString& statement, const QVariantList& values = {});
    // Runs the statements in list order in one transaction; the first failure rolls everything back.
    // An empty list succeeds without touching the connection.
    bool execTransaction(const QList<SMediaDataBaseStatement>& statements);

    QSqlQuery newQuery() const;

    // The stored form of a text: "[", "_", "#", "^" and "%" bracketed, so that the text taken as a
    // LIKE pattern matches those characters literally. unescape(escape(s)) == s for every s.
    static QString escape(const QString& text);
    static QString unescape(const QString& stored);

    // Dates are whole seconds since 1970-01-01 00:00 UTC, unsigned 32-bit; read back in local time.
    static qint64 dateValue(const QDateTime& date);
    static QDateTime dateFromValue(const QVariant& value);
    // Ids are SQLite ROWIDs: signed 64-bit in the file.
    static qint64 idValue(mid_t id) { return static_cast<qint64>(id); }
    static mid_t idFromValue(const QVariant& value) { return static_cast<mid_t>(value.toLongLong()); }

private:
    QSqlDatabase m_database;
};
