#pragma once

#include "imesksms.h"

#include <QMetaObject>

// The SMS engine. Until the modem's SMS manager exists it only derives the SMS
// availability from the cellular state; it is never ready, so nothing can be
// sent or read from the SIM and nothing is stored. It runs no thread of its own.
class CMeskSmsEngine : public IMeskSmsEngine
{
    Q_OBJECT
public:
    explicit CMeskSmsEngine(QObject* parent = nullptr);
    ~CMeskSmsEngine() override;

    void start(IMediaItemStorage* storage, CMeskNetworkManager* network) override;
    void stop() override;
    TMeskSmsState state() const override { return m_state; }
    bool isSmsSupported() const override { return true; }
    bool isSmsReady() const override;
    bool readSimMessages() override;
    bool sendMessage(const QString& phone, const QString& text) override;
    void smsTextLength(const QString& text, int* used, int* left, int* parts) override;

    // The SMS availability that a cellular device state (0 to 5) gives; any
    // other value keeps the current one.
    static TMeskSmsState stateForCellular(int cellularState, TMeskSmsState current);

private slots:
    void _onCellularStateChanged();
    void _onCellularSignalChanged();

private:
    void updateState();
    void setState(TMeskSmsState state);

    CMeskNetworkManager* m_network = nullptr;
    IMediaItemStorage* m_storage = nullptr;
    TMeskSmsState m_state = TMeskSmsState(0);
    QMetaObject::Connection m_stateConnection;
    QMetaObject::Connection m_signalConnection;
};
