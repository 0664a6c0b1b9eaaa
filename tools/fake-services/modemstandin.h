#pragma once

#include "fakemodemmanager.h"
#include "standinstate.h"

#include <QString>

// The stand-in ModemManager of the fake-services program: one registered GSM/LTE modem whose SIM
// keeps its messages between starts. The very first start puts "Welcome to the stand-in modem" on
// it; later starts bring back what the SIM held when the last one ended, with each message's
// number, text, state and time, so a message the application took off the SIM stays deleted.
// Each message sent to it is answered one second later.
class ModemStandIn
{
public:
    ModemStandIn();
    ~ModemStandIn();

    // Takes ModemManager's name on the bus at that address; false when it cannot.
    bool start(const QString& busAddress);

private:
    void saveSoon();
    void save();

    StandInState m_state;
    FakeModemManagerService m_service;
    bool m_savePending = false;
};
