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
    return m_ready;
}

bool FakeSmsEngine::sendMessage(const QString& phone, const QString& text)
{
    calls << QStringLiteral("send ") + phone + QLatin1Char(' ') + text;
    return m_ready;
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
        if (contact.displayName.contains(text, Qt::CaseInsensitive))
            found.append(contact);
    }
    return found;
}
