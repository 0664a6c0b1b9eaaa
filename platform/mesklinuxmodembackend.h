#pragma once

#include "imeskmodembackend.h"

// The Linux modem layer. It does not talk to a modem yet: it opens, watches,
// reports that no device is present and never emits an event. Its SMS side
// lists no interface, so every SMS operation ends in "Device not found".
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

    qint32 smsInterfaces(QList<SMeskModemInterface>* interfaces) override
    {
        interfaces->clear();
        return MeskMbnResult::Ok;
    }
    qint32 smsOpen(const QString&) override { return MeskMbnResult::Failed; }
    qint32 smsSendPdu(const QString&, const QString&, quint8, quint32*) override
    {
        return MeskMbnResult::Failed;
    }
    qint32 smsRead(const QString&, quint32, quint32, quint32*) override { return MeskMbnResult::Failed; }
    qint32 smsDelete(const QString&, quint32, quint32*) override { return MeskMbnResult::Failed; }
    qint32 smsStatus(const QString&, quint32*, quint32*) override { return MeskMbnResult::Failed; }
    bool smsWatch() override { return true; }
};
