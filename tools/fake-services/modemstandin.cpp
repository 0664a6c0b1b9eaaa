#include "modemstandin.h"

#include "meskmodemmanagerbackend.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QTimer>

#include <algorithm>

namespace {

const QString kMessages = QStringLiteral("messages");
const QString kNumber = QStringLiteral("Number");
const QString kText = QStringLiteral("Text");
const QString kTimestamp = QStringLiteral("Timestamp");
const QString kState = QStringLiteral("State");
const QString kPduType = QStringLiteral("PduType");

// The number that ends a message's object path ("/org/freedesktop/ModemManager1/SMS/12": 12).
int pathNumber(const QString& path)
{
    return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1).toInt();
}

} // namespace

ModemStandIn::ModemStandIn()
    : m_state(QStringLiteral("modem"), {kMessages,
                                        {{kNumber, StandInState::Kind::Text},
                                         {kText, StandInState::Kind::Text},
                                         {kTimestamp, StandInState::Kind::Text},
                                         {kState, StandInState::Kind::Whole},
                                         {kPduType, StandInState::Kind::Whole}}})
{
}

ModemStandIn::~ModemStandIn()
{
    if (m_savePending)
        save();
}

bool ModemStandIn::start(const QString& busAddress)
{
    if (!m_service.start(busAddress))
        return false;
    m_service.addModem();
    const QJsonValue kept = m_state.value(kMessages);
    if (kept.isArray()) {
        for (const QJsonValue& entry : kept.toArray()) {
            const QJsonObject message = entry.toObject();
            const QString path =
                m_service.addMessage(message.value(kNumber).toString(), message.value(kText).toString(),
                                     quint32(message.value(kState).toInt(MeskModemManager::SmsReceived)),
                                     quint32(message.value(kPduType).toInt(MeskModemManager::PduDeliver)));
            m_service.setMessageProperty(path, kTimestamp, message.value(kTimestamp).toString());
        }
    } else {
        m_service.addMessage(QStringLiteral("+15550199"), QStringLiteral("Welcome to the stand-in modem"));
        save();
    }
    // Every change of the SIM is written once the change is complete (an answer is stored as it
    // arrives, then marked received).
    QObject::connect(&m_service, &FakeModemManagerService::messageAdded, &m_service, [this] { saveSoon(); });
    QObject::connect(&m_service, &FakeModemManagerService::messageDeleted, &m_service,
                     [this] { saveSoon(); });
    QObject::connect(&m_service, &FakeModemManagerService::messageSent, &m_service, [this] { saveSoon(); });
    m_service.setAnswerDelay(1000);
    return true;
}

void ModemStandIn::saveSoon()
{
    if (m_savePending)
        return;
    m_savePending = true;
    QTimer::singleShot(0, &m_service, [this] { save(); });
}

void ModemStandIn::save()
{
    m_savePending = false;
    QStringList paths = m_service.messagePaths();
    std::sort(paths.begin(), paths.end(),
              [](const QString& a, const QString& b) { return pathNumber(a) < pathNumber(b); });
    QJsonArray messages;
    for (const QString& path : std::as_const(paths)) {
        const QVariantMap properties = m_service.messageProperties(path);
        messages.append(QJsonObject{
            {kNumber, properties.value(kNumber).toString()},
            {kText, properties.value(kText).toString()},
            {kTimestamp, properties.value(kTimestamp).toString()},
            {kState, qint64(properties.value(kState).toUInt())},
            {kPduType, qint64(properties.value(kPduType).toUInt())},
        });
    }
    m_state.setValue(kMessages, messages);
}
