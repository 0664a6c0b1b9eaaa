#pragma once

#include "mediadatabasemethod.h"

#include <QList>

// MEDIASMSMESSAGES: every text message sent, received or read from the SIM.
// MESSAGE and PHONE hold the stored form of their texts.
class CMediaDataBaseSms : public CMediaDataBaseMethod
{
public:
    bool createTables();
    // The index behind the look-ups by time; kept when it exists.
    bool createIndexes();
    bool addSmsMessage(SSmsMessage& message); // sets message.id
    bool updateSmsMessage(const SSmsMessage& message);
    // True also when no row has the id (a debug message then names it).
    bool deleteSmsMessage(mid_t id);
    QList<SSmsMessage> smsMessages();
    // Created within [lower, upper], oldest first, equal times in ROWID order.
    QList<SSmsMessage> smsMessagesBetween(const QDateTime& upper, const QDateTime& lower);
    // The newest CREATED at or before upper; null when there is none.
    QDateTime latestAtOrBefore(const QDateTime& upper);

private:
    QList<SSmsMessage> selectMessages(const QString& statement, const QVariantList& values);
};
