#pragma once

#include "mediadatabasemethod.h"

#include <QList>

// MEDIASMSMESSAGES: every text message sent, received or read from the SIM.
// MESSAGE and PHONE hold the stored form of their texts.
class CMediaDataBaseSms : public CMediaDataBaseMethod
{
public:
    bool createTables();
    bool addSmsMessage(SSmsMessage& message); // sets message.id
    bool updateSmsMessage(const SSmsMessage& message);
    // True also when no row has the id (a debug message then names it).
    bool deleteSmsMessage(mid_t id);
    QList<SSmsMessage> smsMessages();
};
