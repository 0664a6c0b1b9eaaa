#include "mediadatabasesms.h"

#include <QDebug>

bool CMediaDataBaseSms::createTables()
{
    return exec(QStringLiteral(
        "CREATE TABLE MEDIASMSMESSAGES (MESSAGE TEXT, PHONE TEXT, CREATED INTEGER, TYPE INTEGER);"));
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
    if (!exec(QStringLiteral("DELETE FROM MEDIASMSMESSAGES WHERE ROWID = ?;"), {idValue(id)}, nullptr, &changed))
        return false;
    if (changed == 0)
        qDebug().noquote() << QStringLiteral("CMediaDataBaseSms: no message with id %1 to delete").arg(id);
    return true;
}

QList<SSmsMessage> CMediaDataBaseSms::smsMessages()
{
    QList<SSmsMessage> messages;
    const bool ok = select(QStringLiteral("SELECT ROWID, MESSAGE, PHONE, CREATED, TYPE FROM MEDIASMSMESSAGES"), {},
                           [&messages](const QSqlQuery& query) {
                               SSmsMessage message;
                               message.id = idFromValue(query.value(0));
                               message.message = unescape(query.value(1).toString());
                               message.phone = unescape(query.value(2).toString());
                               message.created = dateFromValue(query.value(3));
                               message.type = query.value(4).toInt();
                               messages.append(message);
                           });
    if (!ok)
        messages.clear();
    return messages;
}
