#include "mesksmsengine.h"

#include "mesknetworkmanager.h"

CMeskSmsEngine::CMeskSmsEngine(QObject* parent) : IMeskSmsEngine(parent)
{
    // Messages cross threads in queued signals.
    qRegisterMetaType<SSmsMessage>("SSmsMessage");
}

CMeskSmsEngine::~CMeskSmsEngine()
{
    stop();
}

void CMeskSmsEngine::start(IMediaItemStorage* storage, CMeskNetworkManager* network)
{
    stop();
    m_storage = storage;
    m_network = network;
    if (m_network) {
        m_stateConnection = connect(m_network, &CMeskNetworkManager::cellularStateChanged, this,
                                    &CMeskSmsEngine::_onCellularStateChanged);
        m_signalConnection = connect(m_network, &CMeskNetworkManager::cellularSignalChanged, this,
                                     &CMeskSmsEngine::_onCellularSignalChanged);
    }
    updateState();
}

void CMeskSmsEngine::stop()
{
    disconnect(m_stateConnection);
    disconnect(m_signalConnection);
    m_network = nullptr;
    m_storage = nullptr;
    // Back to "not yet derived"; this is never reported.
    m_state = TMeskSmsState(0);
}

bool CMeskSmsEngine::isSmsReady() const
{
    // Sending and reading need the modem's SMS manager, which does not exist yet.
    return false;
}

bool CMeskSmsEngine::readSimMessages()
{
    return isSmsReady();
}

bool CMeskSmsEngine::sendMessage(const QString& phone, const QString& text)
{
    // Without the modem's SMS manager the engine is never ready: nothing is
    // sent, stored or announced.
    Q_UNUSED(phone);
    Q_UNUSED(text);
    return false;
}

void CMeskSmsEngine::smsTextLength(const QString& text, int* used, int* left, int* parts)
{
    // Without the modem's SMS manager the format is unknown: the outputs stay.
    Q_UNUSED(text);
    Q_UNUSED(used);
    Q_UNUSED(left);
    Q_UNUSED(parts);
}

TMeskSmsState CMeskSmsEngine::stateForCellular(int cellularState, TMeskSmsState current)
{
    switch (cellularState) {
    case 0:
        return SmsStateNoCellular;
    case 1:
        return SmsStatePoweredOff;
    case 2:
    case 3:
        return SmsStateSimUnusable;
    case 4:
        return SmsStatePinLocked;
    case 5:
        return SmsStateReady;
    default:
        return current;
    }
}

void CMeskSmsEngine::_onCellularStateChanged()
{
    updateState();
}

void CMeskSmsEngine::_onCellularSignalChanged() {}

void CMeskSmsEngine::updateState()
{
    if (!isSmsSupported()) {
        setState(SmsStateNotSupported);
        return;
    }
    if (!m_network)
        return;
    setState(stateForCellular(m_network->cellularState(), m_state));
}

void CMeskSmsEngine::setState(TMeskSmsState state)
{
    if (state == m_state)
        return;
    m_state = state;
    emit stateChanged(state);
}
