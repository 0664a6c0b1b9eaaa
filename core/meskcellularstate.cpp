#include "meskcellularstate.h"

#include "imeskmodembackend.h"

CMeskCellularState::CMeskCellularState(IMeskModemBackend* backend, QObject* parent)
    : QObject(parent), m_backend(backend)
{
}

CMeskCellularState::~CMeskCellularState()
{
    uninit();
}

bool CMeskCellularState::init(IMeskCellularStateListener* listener)
{
    m_listener = listener;
    if (!m_backend || !m_backend->open()) {
        if (m_listener) {
            m_listener->onCellularError1();
        }
        return false;
    }

    // Listen before the first read so that no change between them is missed.
    connectBackend();
    refresh();

    if (!m_backend->watch()) {
        uninit();
        if (m_listener) {
            m_listener->onCellularError3();
        }
        return false;
    }
    return true;
}

void CMeskCellularState::uninit()
{
    if (m_connectedToBackend && m_backend) {
        disconnect(m_backend, nullptr, this, nullptr);
    }
    m_connectedToBackend = false;
}

int CMeskCellularState::stateLocked() const
{
    return m_radio != 1 ? 1 : m_deviceState;
}

int CMeskCellularState::state() const
{
    QMutexLocker lock(&m_mutex);
    return stateLocked();
}

int CMeskCellularState::signalLevel() const
{
    QMutexLocker lock(&m_mutex);
    return m_signalLevel;
}

QString CMeskCellularState::providerName() const
{
    QMutexLocker lock(&m_mutex);
    return m_providerName;
}

QString CMeskCellularState::phoneNumber() const
{
    QMutexLocker lock(&m_mutex);
    return m_phoneNumber;
}

int CMeskCellularState::mapReadyState(int readyState)
{
    switch (readyState) {
    case 1:
        return 5;
    case 2:
    case 3:
        return 2;
    case 5:
        return 3;
    case 6:
    case 7:
        return 4;
    default:
        return 0;
    }
}

int CMeskCellularState::mapSignalStrength(quint32 strength)
{
    if (strength < 10) {
        return 1;
    }
    if (strength < 25) {
        return 2;
    }
    return 3;
}

void CMeskCellularState::connectBackend()
{
    using B = IMeskModemBackend;
    using S = CMeskCellularState;
    const auto queued = Qt::QueuedConnection;
    connect(m_backend, &B::interfaceArrival, this, &S::onInterfaceArrival, queued);
    connect(m_backend, &B::interfaceRemoval, this, &S::onInterfaceRemoval, queued);
    connect(m_backend, &B::emergencyModeChange, this, &S::onEmergencyModeChange, queued);
    connect(m_backend, &B::interfaceCapabilityAvailable, this, &S::onInterfaceCapabilityAvailable, queued);
    connect(m_backend, &B::homeProviderAvailable, this, &S::onHomeProviderAvailable, queued);
    connect(m_backend, &B::preferredProvidersChange, this, &S::onPreferredProvidersChange, queued);
    connect(m_backend, &B::readyStateChange, this, &S::onReadyStateChange, queued);
    connect(m_backend, &B::setPreferredProvidersComplete, this, &S::onSetPreferredProvidersComplete, queued);
    connect(m_backend, &B::scanNetworkComplete, this, &S::onScanNetworkComplete, queued);
    connect(m_backend, &B::subscriberInformationChange, this, &S::onSubscriberInformationChange, queued);
    connect(m_backend, &B::signalStateChange, this, &S::onSignalStateChange, queued);
    connect(m_backend, &B::radioStateChange, this, &S::onRadioStateChange, queued);
    connect(m_backend, &B::setSoftwareRadioStateComplete, this, &S::onSetSoftwareRadioStateComplete, queued);
    m_connectedToBackend = true;
}

void CMeskCellularState::refresh()
{
    {
        QMutexLocker lock(&m_mutex);
        m_deviceState = 0;
        m_signalLevel = 0;
        m_radio = 1;
    }
    if (!m_backend->hasDevice()) {
        return;
    }
    readReadyState();
    int radio = 1;
    if (m_backend->hardwareRadio(&radio)) {
        QMutexLocker lock(&m_mutex);
        m_radio = radio;
    }
    readProviderData();
    if (m_listener) {
        m_listener->onCellularStateChanged(state());
        m_listener->onCellularInfoChanged();
    }
}

void CMeskCellularState::readReadyState()
{
    int readyState = 0;
    if (!m_backend->readyState(&readyState)) {
        if (m_listener) {
            m_listener->onCellularError2();
        }
        return;
    }
    QMutexLocker lock(&m_mutex);
    m_deviceState = mapReadyState(readyState);
}

bool CMeskCellularState::readProviderData()
{
    // A failed query leaves the value empty.
    QString name;
    QString number;
    if (!m_backend->homeProviderName(&name)) {
        name = QString();
    }
    QStringList numbers;
    if (m_backend->ownNumbers(&numbers) && !numbers.isEmpty()) {
        number = numbers.first();
    }

    QMutexLocker lock(&m_mutex);
    const bool changed = name != m_providerName || number != m_phoneNumber ||
                         name.isNull() != m_providerName.isNull() ||
                         number.isNull() != m_phoneNumber.isNull();
    m_providerName = name;
    m_phoneNumber = number;
    return changed;
}

void CMeskCellularState::updateRadio()
{
    int radio = 1;
    if (!m_backend->hardwareRadio(&radio)) {
        return;
    }
    int newState;
    {
        QMutexLocker lock(&m_mutex);
        if (radio == m_radio) {
            return;
        }
        m_radio = radio;
        newState = stateLocked();
    }
    if (m_listener) {
        m_listener->onCellularStateChanged(newState);
    }
}

void CMeskCellularState::updateDeviceState()
{
    int oldDeviceState;
    {
        QMutexLocker lock(&m_mutex);
        oldDeviceState = m_deviceState;
    }
    readReadyState();
    int newDeviceState;
    int newState;
    {
        QMutexLocker lock(&m_mutex);
        newDeviceState = m_deviceState;
        newState = stateLocked();
    }
    if (newDeviceState != oldDeviceState && m_listener) {
        m_listener->onCellularStateChanged(newState);
    }
}

void CMeskCellularState::onInterfaceRemoval()
{
    if (!m_connectedToBackend) {
        return;
    }
    // The device is gone: nothing of it is left to show, neither a switched
    // off radio nor its signal, its operator or the number of its SIM.
    bool stateChanged;
    bool infoChanged;
    bool signalChanged;
    {
        QMutexLocker lock(&m_mutex);
        stateChanged = stateLocked() != 0;
        infoChanged = !m_providerName.isNull() || !m_phoneNumber.isNull();
        signalChanged = m_signalLevel != 0;
        m_deviceState = 0;
        m_radio = 1;
        m_signalLevel = 0;
        m_providerName = QString();
        m_phoneNumber = QString();
    }
    if (!m_listener) {
        return;
    }
    if (stateChanged) {
        m_listener->onCellularStateChanged(0);
    }
    if (infoChanged) {
        m_listener->onCellularInfoChanged();
    }
    if (signalChanged) {
        m_listener->onCellularSignalChanged();
    }
}

void CMeskCellularState::onHomeProviderAvailable()
{
    if (!m_connectedToBackend) {
        return;
    }
    if (readProviderData() && m_listener) {
        m_listener->onCellularInfoChanged();
    }
}

void CMeskCellularState::onPreferredProvidersChange()
{
    onHomeProviderAvailable();
}

void CMeskCellularState::onReadyStateChange()
{
    if (!m_connectedToBackend) {
        return;
    }
    const bool infoChanged = readProviderData();
    updateRadio();
    updateDeviceState();
    if (infoChanged && m_listener) {
        m_listener->onCellularInfoChanged();
    }
}

void CMeskCellularState::onSignalStateChange()
{
    if (!m_connectedToBackend) {
        return;
    }
    quint32 strength = 0;
    if (!m_backend->signalStrength(&strength)) {
        if (m_listener) {
            m_listener->onCellularError2();
        }
        return;
    }
    const int level = mapSignalStrength(strength);
    {
        QMutexLocker lock(&m_mutex);
        if (level == m_signalLevel) {
            return;
        }
        m_signalLevel = level;
    }
    if (m_listener) {
        m_listener->onCellularSignalChanged();
    }
}

void CMeskCellularState::onRadioStateChange()
{
    if (!m_connectedToBackend) {
        return;
    }
    updateRadio();
}
