#pragma once

#include "imeskmodembackend.h"

// The Linux modem layer. It does not talk to a modem yet: it opens, watches,
// reports that no device is present and never emits an event.
class CMeskLinuxModemBackend : public IMeskModemBackend
{
    Q_OBJECT
public:
    using IMeskModemBackend::IMeskModemBackend;

    bool open() override { return true; }
    bool watch() override { return true; }
    bool hasDevice() override { return false; }

    bool readyState(int*) override { return false; }
    bool hardwareRadio(int*) override { return false; }
    bool signalStrength(quint32*) override { return false; }
    bool homeProviderName(QString*) override { return false; }
    bool ownNumbers(QStringList*) override { return false; }
};
