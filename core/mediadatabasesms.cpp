#include "mediadatabasesms.h"

#include <QDebug>
#include <QSet>

bool CMediaDataBaseSms::createTables()
{
    return exec(QStringLiteral(
        "CREATE TABLE MEDIASMSMESSAGES (MESSAGE TEXT, PHONE TEXT, CREATED INTEGER, TYPE INTEGER);"));
}

bool CMediaDataBaseSms::createIndexes()
{
    return exec(QStringLiteral(
               "CREATE TABLE IF NOT EXISTS MEDIASMSONMODEM (ID INTEGER PRIMARY KEY, "
               "MESSAGE INTEGER, STORE TEXT, OBJECT TEXT, PHONE TEXT, TEXT TEXT, TYPE INTEGER, "
               "TIME INTEGER, ANYTIME INTEGER, OWN INTEGER, SENT INTEGER, DELETEFAILED INTEGER, "
               "DELETEDIN TEXT, DELETEPENDING INTEGER, SIM TEXT);")) &&
           addOnModemColumns() &&
           exec(QStringLiteral(
               "CREATE INDEX IF NOT EXISTS MEDIASMSMESSAGES_CREATED ON MEDIASMSMESSAGES (CREATED);")) &&
           exec(QStringLiteral(
               "CREATE INDEX IF NOT EXISTS MEDIASMSMESSAGES_PHONE_TYPE ON MEDIASMSMESSAGES (PHONE, TYPE);"));
}

bool CMediaDataBaseSms::addOnModemColumns()
{
    // A file from before the delete's outcome (or its sending, or the SIM) was noted gains the columns it
    // lacks, all in one transaction: a start stopped midway leaves the table as it was, never with half of
    // them. Its notes have no SIM.
    QSet<QString> present;
    if (!select(QStringLiteral("SELECT name FROM pragma_table_info('MEDIASMSONMODEM');"), {},
                [&present](const QSqlQuery& query) { present.insert(query.value(0).toString()); }))
        return false;
    QList<SMediaDataBaseStatement> statements;
    if (!present.contains(QStringLiteral("DELETEFAILED")))
        statements.append(
            {QStringLiteral("ALTER TABLE MEDIASMSONMODEM ADD COLUMN DELETEFAILED INTEGER;"), {}});
    if (!present.contains(QStringLiteral("DELETEDIN")))
        statements.append({QStringLiteral("ALTER TABLE MEDIASMSONMODEM ADD COLUMN DELETEDIN TEXT;"), {}});
    if (!present.contains(QStringLiteral("DELETEPENDING")))
        statements.append(
            {QStringLiteral("ALTER TABLE MEDIASMSONMODEM ADD COLUMN DELETEPENDING INTEGER;"), {}});
    if (!present.contains(QStringLiteral("SIM")))
        statements.append({QStringLiteral("ALTER TABLE MEDIASMSONMODEM ADD COLUMN SIM TEXT;"), {}});
    return execTransaction(statements);
}

bool CMediaDataBaseSms::addSmsMessage(SSmsMessage& message)
{
    QVariant id;
    if (!exec(QStringLiteral(
                  "INSERT INTO MEDIASMSMESSAGES (MESSAGE, PHONE, CREATED, TYPE) VALUES (?, ?, ?, ?);"),
              {escape(message.message), escape(message.phone), dateValue(message.created), message.type},
              &id))
        return false;
    message.id = idFromValue(id);
    return true;
}

bool CMediaDataBaseSms::updateSmsMessage(const SSmsMessage& message)
{
    return exec(QStringLiteral("UPDATE MEDIASMSMESSAGES SET MESSAGE = ?, PHONE = ?, CREATED = ?, TYPE = ? "
                               "WHERE ROWID = ?;"),
                {escape(message.message), escape(message.phone), dateValue(message.created), message.type,
                 idValue(message.id)});
}

bool CMediaDataBaseSms::deleteSmsMessage(mid_t id)
{
    int changed = 0;
    if (!exec(QStringLiteral("DELETE FROM MEDIASMSMESSAGES WHERE ROWID = ?;"), {idValue(id)}, nullptr,
              &changed))
        return false;
    if (changed == 0)
        qDebug().noquote() << QStringLiteral("CMediaDataBaseSms: no message with id %1 to delete").arg(id);
    return true;
}

QList<SSmsMessage> CMediaDataBaseSms::smsMessages(bool* ok)
{
    return selectMessages(QStringLiteral("SELECT ROWID, MESSAGE, PHONE, CREATED, TYPE FROM MEDIASMSMESSAGES"),
                          {}, ok);
}

QList<SSmsMessage> CMediaDataBaseSms::smsMessagesBetween(const QDateTime& upper, const QDateTime& lower,
                                                         bool* ok)
{
    return selectMessages(QStringLiteral("SELECT ROWID, MESSAGE, PHONE, CREATED, TYPE FROM MEDIASMSMESSAGES "
                                         "WHERE CREATED <= ? AND CREATED >= ? ORDER BY CREATED, ROWID;"),
                          {dateValue(upper), dateValue(lower)}, ok);
}

QDateTime CMediaDataBaseSms::latestAtOrBefore(const QDateTime& upper, bool* ok)
{
    tell(ok, true);
    const qint64 bound = datedUpperBound(upper);
    if (bound < 0)
        return QDateTime();
    qint64 latest = -1;
    // Rows without a date hold NullDate, above every bound: the range leaves them out.
    const bool done =
        select(QStringLiteral("SELECT CREATED FROM MEDIASMSMESSAGES WHERE CREATED <= ? AND CREATED >= 0 "
                              "ORDER BY CREATED DESC LIMIT 1;"),
               {bound}, [&latest](const QSqlQuery& query) {
                   bool isNumber = false;
                   const qint64 created = query.value(0).toLongLong(&isNumber);
                   if (isNumber)
                       latest = created;
               });
    tell(ok, done);
    return !done || latest < 0 ? QDateTime() : dateFromValue(latest);
}

QList<mid_t> CMediaDataBaseSms::sameMessages(const SSmsMessage& message, bool withCreated, bool* ok)
{
    QString statement =
        QStringLiteral("SELECT ROWID FROM MEDIASMSMESSAGES WHERE PHONE = ? AND TYPE = ? AND MESSAGE = ?");
    QVariantList values{escape(message.phone), message.type, escape(message.message)};
    if (withCreated) {
        statement += QStringLiteral(" AND CREATED = ?");
        values.append(dateValue(message.created));
    }
    statement += QStringLiteral(" ORDER BY ROWID;");
    QList<mid_t> ids;
    const bool done = select(statement, values,
                             [&ids](const QSqlQuery& query) { ids.append(idFromValue(query.value(0))); });
    tell(ok, done);
    if (!done)
        ids.clear();
    return ids;
}

QList<SSmsMessage> CMediaDataBaseSms::selectMessages(const QString& statement, const QVariantList& values,
                                                     bool* ok)
{
    QList<SSmsMessage> messages;
    const bool done = select(statement, values, [&messages](const QSqlQuery& query) {
        SSmsMessage message;
        message.id = idFromValue(query.value(0));
        message.message = unescape(query.value(1).toString());
        message.phone = unescape(query.value(2).toString());
        message.created = dateFromValue(query.value(3));
        message.type = query.value(4).toInt();
        messages.append(message);
    });
    tell(ok, done);
    if (!done)
        messages.clear();
    return messages;
}

namespace {

QVariantList onModemValues(const SSmsOnModem& entry)
{
    return {CMediaDataBaseMethod::idValue(entry.message),
            entry.objectSet,
            entry.object,
            entry.phone,
            entry.text,
            entry.type,
            qint64(entry.timeStamp),
            entry.anyTime ? 1 : 0,
            entry.own ? 1 : 0,
            entry.own ? QVariant(CMediaDataBaseMethod::dateValue(entry.sent)) : QVariant(),
            entry.deleteFailed ? 1 : 0,
            entry.deletedIn,
            entry.deletePending ? 1 : 0,
            entry.sim};
}

} // namespace

QList<SSmsOnModem> CMediaDataBaseSms::onModem(bool* ok)
{
    QList<SSmsOnModem> entries;
    const bool done =
        select(QStringLiteral("SELECT ID, MESSAGE, STORE, OBJECT, PHONE, TEXT, TYPE, TIME, ANYTIME, "
                              "OWN, SENT, DELETEFAILED, DELETEDIN, DELETEPENDING, SIM FROM MEDIASMSONMODEM "
                              "ORDER BY ID;"),
               {}, [&entries](const QSqlQuery& query) {
                   SSmsOnModem entry;
                   entry.id = idFromValue(query.value(0));
                   entry.message = idFromValue(query.value(1));
                   entry.objectSet = query.value(2).toString();
                   entry.object = query.value(3).toString();
                   entry.phone = query.value(4).toString();
                   entry.text = query.value(5).toString();
                   entry.type = query.value(6).toInt();
                   entry.timeStamp = quint32(query.value(7).toLongLong());
                   entry.anyTime = query.value(8).toInt() != 0;
                   entry.own = query.value(9).toInt() != 0;
                   if (entry.own)
                       entry.sent = dateFromValue(query.value(10));
                   entry.deleteFailed = query.value(11).toInt() != 0;
                   entry.deletedIn = query.value(12).toString();
                   entry.deletePending = query.value(13).toInt() != 0;
                   entry.sim = query.value(14).toString();
                   entries.append(entry);
               });
    tell(ok, done);
    if (!done)
        entries.clear();
    return entries;
}

bool CMediaDataBaseSms::addOnModem(SSmsOnModem& entry)
{
    QVariant id;
    if (!exec(QStringLiteral(
                  "INSERT INTO MEDIASMSONMODEM (MESSAGE, STORE, OBJECT, PHONE, TEXT, TYPE, TIME, "
                  "ANYTIME, OWN, SENT, DELETEFAILED, DELETEDIN, DELETEPENDING, SIM) VALUES (?, ?, ?, ?, ?, "
                  "?, ?, ?, ?, ?, ?, ?, ?, ?);"),
              onModemValues(entry), &id))
        return false;
    entry.id = idFromValue(id);
    return true;
}

bool CMediaDataBaseSms::updateOnModem(const SSmsOnModem& entry)
{
    QVariantList values = onModemValues(entry);
    values.append(idValue(entry.id));
    return exec(
        QStringLiteral("UPDATE MEDIASMSONMODEM SET MESSAGE = ?, STORE = ?, OBJECT = ?, PHONE = ?, TEXT = ?, "
                       "TYPE = ?, TIME = ?, ANYTIME = ?, OWN = ?, SENT = ?, DELETEFAILED = ?, DELETEDIN = ?, "
                       "DELETEPENDING = ?, SIM = ? WHERE ID = ?;"),
        values);
}

bool CMediaDataBaseSms::deleteOnModem(mid_t id)
{
    return exec(QStringLiteral("DELETE FROM MEDIASMSONMODEM WHERE ID = ?;"), {idValue(id)});
}

bool CMediaDataBaseSms::clearOnModemOrigins()
{
    return exec(QStringLiteral("UPDATE MEDIASMSONMODEM SET STORE = '', OBJECT = '' WHERE STORE <> '';"));
}
