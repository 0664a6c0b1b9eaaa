#pragma once

#include "imesksms.h"

#include <QList>
#include <QStringList>

// An SMS engine whose answers the test sets and which records what it was
// asked. Its signals may be emitted from any thread (emit directly on the
// object, e.g. from QThread::create), as the real engine's are.
//
//   MeskSmsFactories::setSmsEngineFactory([&](QObject* parent) {
//       return fake = new FakeSmsEngine(parent);
//   });
class FakeSmsEngine : public IMeskSmsEngine
{
    Q_OBJECT
public:
    using IMeskSmsEngine::IMeskSmsEngine;
    ~FakeSmsEngine() override;

    void start(IMediaItemStorage* storage, CMeskNetworkManager* network) override;
    void stop() override;
    TMeskSmsState state() const override { return m_state; }
    bool isSmsSupported() const override { return true; }
    bool isSmsReady() const override { return m_ready; }
    bool readSimMessages() override;
    bool sendMessage(const QString& phone, const QString& text) override;
    void forgetMessage(const SSmsMessage& message) override;
    void smsTextLength(const QString& text, int* used, int* left, int* parts) override;

    void setState(TMeskSmsState state) { m_state = state; }
    void setReady(bool ready) { m_ready = ready; }

    // The SIM's messages: each readSimMessages() emits them as simMessageReady from a queued call.
    QList<SSmsMessage> simMessages;

    // What it was asked, in order: "start", "stop", "read", "send <phone> <text>", "length <text>",
    // "forget <id>".
    QStringList calls;
    IMediaItemStorage* storage = nullptr;
    CMeskNetworkManager* network = nullptr;

private:
    TMeskSmsState m_state = SmsStateReady;
    bool m_ready = true;
};

// A contacts reader holding the contacts the test gives it.
class FakeContactsReader : public IMeskContactsReader
{
    Q_OBJECT
public:
    using IMeskContactsReader::IMeskContactsReader;

    // As the real reader, says contactsReady() from a later turn of the event loop.
    bool init() override
    {
        ++initCalls;
        QMetaObject::invokeMethod(this, &IMeskContactsReader::contactsReady, Qt::QueuedConnection);
        return true;
    }
    QList<SPhoneContact> contacts() const override { return list; }
    // Every contact whose display name contains the text, or one of whose numbers ends (last 7
    // characters) with the text's last 7 characters.
    QList<SPhoneContact> findContacts(const QString& text) const override;

    QList<SPhoneContact> list;
    int initCalls = 0;
};
