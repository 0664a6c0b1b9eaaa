#include "fakesmsengine.h"

FakeSmsEngine::~FakeSmsEngine() = default;

void FakeSmsEngine::start(IMediaItemStorage* newStorage, CMeskNetworkManager* newNetwork)
{
    calls << QStringLiteral("start");
    storage = newStorage;
    network = newNetwork;
}

void FakeSmsEngine::stop()
{
    calls << QStringLiteral("stop");
    storage = nullptr;
    network = nullptr;
}

bool FakeSmsEngine::readSimMessages()
{
    calls << QStringLiteral("read");
    if (!simMessages.isEmpty()) {
        // The answer comes later, as the modem's does.
        QMetaObject::invokeMethod(
            this,
            [this, messages = simMessages] {
                for (const SSmsMessage& message : messages)
                    emit simMessageReady(message);
            },
            Qt::QueuedConnection);
    }
    return m_ready;
}

bool FakeSmsEngine::sendMessage(const QString& phone, const QString& text)
{
    calls << QStringLiteral("send ") + phone + QLatin1Char(' ') + text;
    return m_ready;
}

void FakeSmsEngine::forgetMessage(const SSmsMessage& message)
{
    calls << QStringLiteral("forget %1").arg(message.id);
}

void FakeSmsEngine::smsTextLength(const QString& text, int* used, int* left, int* parts)
{
    calls << QStringLiteral("length ") + text;
    *used = int(text.size());
    *left = 160 - int(text.size());
    *parts = 1;
}

QList<SPhoneContact> FakeContactsReader::findContacts(const QString& text) const
{
    QList<SPhoneContact> found;
    for (const SPhoneContact& contact : list) {
        if (contact.displayName.contains(text, Qt::CaseInsensitive)) {
            found.append(contact);
            continue;
        }
        // Numbers compare by their last 7 characters, as the real reader's do.
        for (const SPhoneNumber& phone : contact.phones) {
            if (phone.number.right(7).contains(text.right(7), Qt::CaseInsensitive)) {
                found.append(contact);
                break;
            }
        }
    }
    return found;
}
