#pragma once

// Helpers of the media database tests: a second, independent connection to a database file, so
// the tests see what the file holds rather than what the storage answers.

#include "meskrecords.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QString>
#include <QStringList>
#include <QTest>
#include <QVariant>
#include <QtGlobal>

#include <time.h>

namespace MediaDbTest {

inline QString nextConnectionName()
{
    static int counter = 0;
    return QStringLiteral("independent-%1").arg(++counter);
}

// Runs statements on the file through a connection of its own; gives the rows of the last one.
// ok is false when the file cannot be opened or a statement fails.
inline QList<QVariantList> run(const QString& file, const QStringList& statements, bool* ok = nullptr)
{
    QList<QVariantList> rows;
    bool done = true;
    const QString name = nextConnectionName();
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(file);
        done = db.open();
        for (const QString& statement : statements) {
            if (!done)
                break;
            QSqlQuery query(db);
            done = query.exec(statement);
            rows.clear();
            while (done && query.next()) {
                QVariantList row;
                for (int i = 0; i < query.record().count(); ++i)
                    row.append(query.value(i));
                rows.append(row);
            }
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    if (ok)
        *ok = done;
    return rows;
}

inline QList<QVariantList> rows(const QString& file, const QString& statement)
{
    return run(file, {statement});
}

// The single value of a one-row, one-column answer; invalid when there is none.
inline QVariant value(const QString& file, const QString& statement)
{
    const QList<QVariantList> r = rows(file, statement);
    return r.isEmpty() || r.first().isEmpty() ? QVariant() : r.first().first();
}

inline QStringList tables(const QString& file)
{
    QStringList names;
    for (const QVariantList& row :
         rows(file, QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table'")))
        names.append(row.value(0).toString());
    names.sort();
    return names;
}

// Collects every message while it lives (Qt Test's own handler is set aside meanwhile).
class MessageLog
{
public:
    MessageLog()
    {
        m_previous = qInstallMessageHandler(&MessageLog::handler);
        instance() = this;
    }
    ~MessageLog()
    {
        instance() = nullptr;
        qInstallMessageHandler(m_previous);
    }
    MessageLog(const MessageLog&) = delete;
    MessageLog& operator=(const MessageLog&) = delete;

    QStringList messages;
    int count(const QString& start) const
    {
        int n = 0;
        for (const QString& message : messages)
            n += message.startsWith(start) ? 1 : 0;
        return n;
    }

private:
    static MessageLog*& instance()
    {
        static MessageLog* log = nullptr;
        return log;
    }
    static void handler(QtMsgType, const QMessageLogContext&, const QString& message)
    {
        if (instance())
            instance()->messages.append(message);
    }
    QtMessageHandler m_previous = nullptr;
};

inline void setTimeZone(const char* zone)
{
    qputenv("TZ", zone);
    tzset();
}

// Writes a file, making the folders above it.
inline void writeFile(const QString& path, const QByteArray& content = "x")
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
}

// Every entry of a folder, hidden ones included.
inline QStringList entries(const QString& path)
{
    return QDir(path).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System | QDir::Hidden);
}

// An item made at the time given, for the day-folder cases.
inline SMediaItem dayItem(mid_t id, const QDateTime& created)
{
    SMediaItem item;
    item.id = id;
    item.created = created;
    return item;
}

} // namespace MediaDbTest
