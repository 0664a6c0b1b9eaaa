#pragma once

#include "mediadatabasemethod.h"

#include <QList>

// MEDIASMSMESSAGES: every text message sent, received or read from the SIM.
// MESSAGE and PHONE hold the stored form of their texts.
// MEDIASMSONMODEM: the messages the modem may still hold (SSmsOnModem), texts as given. The table
// is made at every open when it is missing, and gains the columns a file from before them lacks:
// such a file keeps its schema version.
class CMediaDataBaseSms : public CMediaDataBaseMethod
{
public:
    bool createTables();
    // The indexes behind the look-ups by time and by phone, and MEDIASMSONMODEM; kept when they exist.
    bool createIndexes();
    bool addSmsMessage(SSmsMessage& message); // sets message.id
    bool updateSmsMessage(const SSmsMessage& message);
    // True also when no row has the id (a debug message then names it).
    bool deleteSmsMessage(mid_t id);
    // Every read below sets ok (when given) to whether it succeeded; a failed one answers empty or null.
    QList<SSmsMessage> smsMessages(bool* ok = nullptr);
    // Created within [lower, upper], oldest first, equal times in ROWID order.
    QList<SSmsMessage> smsMessagesBetween(const QDateTime& upper, const QDateTime& lower, bool* ok = nullptr);
    // The newest CREATED at or before upper; null when there is none.
    QDateTime latestAtOrBefore(const QDateTime& upper, bool* ok = nullptr);
    // The ids of the rows with the same phone, text and type (and CREATED when withCreated), in
    // ROWID order; compared in their stored form.
    QList<mid_t> sameMessages(const SSmsMessage& message, bool withCreated, bool* ok = nullptr);

    // MEDIASMSONMODEM, in ROWID order.
    QList<SSmsOnModem> onModem(bool* ok = nullptr);
    bool addOnModem(SSmsOnModem& entry); // sets entry.id
    bool updateOnModem(const SSmsOnModem& entry);
    bool deleteOnModem(mid_t id);
    bool clearOnModemOrigins();

private:
    bool addOnModemColumns();
    QList<SSmsMessage> selectMessages(const QString& statement, const QVariantList& values, bool* ok);
};
