#include "fakemodem.h"

void FakeModem::setSupported(bool supported)
{
    QMutexLocker lock(&m_mutex);
    m_supported = supported;
}

void FakeModem::setWatchFails(bool fails)
{
    QMutexLocker lock(&m_mutex);
    m_watchFails = fails;
}

void FakeModem::setSilent(bool silent)
{
    QMutexLocker lock(&m_mutex);
    m_silent = silent;
}

bool FakeModem::silent() const
{
    QMutexLocker lock(&m_mutex);
    return m_silent;
}

void FakeModem::setDevicePresent(bool present)
{
    {
        QMutexLocker lock(&m_mutex);
        if (m_present == present) {
            return;
        }
        m_present = present;
    }
    if (silent()) {
        return;
    }
    if (present) {
        emit interfaceArrival();
    } else {
        emit interfaceRemoval();
    }
}

void FakeModem::setReadyState(int state)
{
    {
        QMutexLocker lock(&m_mutex);
        m_readyState = state;
    }
    if (!silent()) {
        emit readyStateChange();
    }
}

void FakeModem::setRadio(int radio)
{
    {
        QMutexLocker lock(&m_mutex);
        m_radio = radio;
    }
    if (!silent()) {
        emit radioStateChange();
    }
}

void FakeModem::setSignalStrength(quint32 strength)
{
    {
        QMutexLocker lock(&m_mutex);
        m_signal = strength;
    }
    if (!silent()) {
        emit signalStateChange();
    }
}

void FakeModem::setHomeProvider(const QString& name)
{
    {
        QMutexLocker lock(&m_mutex);
        m_provider = name;
    }
    if (!silent()) {
        emit homeProviderAvailable();
    }
}

void FakeModem::setOwnNumbers(const QStringList& numbers)
{
    {
        QMutexLocker lock(&m_mutex);
        m_numbers = numbers;
    }
    if (!silent()) {
        emit subscriberInformationChange();
    }
}

void FakeModem::setQueryFails(Query query, bool fails)
{
    QMutexLocker lock(&m_mutex);
    m_fails[int(query)] = fails;
}

int FakeModem::queryCount(Query query) const
{
    QMutexLocker lock(&m_mutex);
    return m_counts[int(query)];
}

bool FakeModem::answersLocked(Query query)
{
    ++m_counts[int(query)];
    return m_supported && m_present && !m_fails[int(query)];
}

bool FakeModem::open()
{
    QMutexLocker lock(&m_mutex);
    return m_supported;
}

bool FakeModem::watch()
{
    QMutexLocker lock(&m_mutex);
    return m_supported && !m_watchFails;
}

bool FakeModem::hasDevice()
{
    QMutexLocker lock(&m_mutex);
    return m_supported && m_present;
}

bool FakeModem::readyState(int* state)
{
    QMutexLocker lock(&m_mutex);
    if (!answersLocked(Query::ReadyState)) {
        return false;
    }
    *state = m_readyState;
    return true;
}

bool FakeModem::hardwareRadio(int* radio)
{
    QMutexLocker lock(&m_mutex);
    if (!answersLocked(Query::HardwareRadio)) {
        return false;
    }
    *radio = m_radio;
    return true;
}

bool FakeModem::signalStrength(quint32* strength)
{
    QMutexLocker lock(&m_mutex);
    if (!answersLocked(Query::SignalStrength)) {
        return false;
    }
    *strength = m_signal;
    return true;
}

bool FakeModem::homeProviderName(QString* name)
{
    QMutexLocker lock(&m_mutex);
    if (!answersLocked(Query::HomeProvider)) {
        return false;
    }
    *name = m_provider;
    return true;
}

bool FakeModem::ownNumbers(QStringList* numbers)
{
    QMutexLocker lock(&m_mutex);
    if (!answersLocked(Query::OwnNumbers)) {
        return false;
    }
    *numbers = m_numbers;
    return true;
}

FakeModemDriver::FakeModemDriver(FakeModem* modem) : m_modem(modem) {}

FakeModemDriver::~FakeModemDriver()
{
    stop();
}

void FakeModemDriver::play(QList<Step> script)
{
    stop();
    m_stop = false;
    m_thread.reset(QThread::create([this, script = std::move(script)] {
        for (const Step& step : script) {
            step(*m_modem);
        }
    }));
    m_thread->setObjectName(QStringLiteral("FakeModemDriver"));
    m_thread->start();
}

void FakeModemDriver::playRepeatedly(RepeatedStep step)
{
    stop();
    m_stop = false;
    m_rounds = 0;
    m_thread.reset(QThread::create([this, step = std::move(step)] {
        for (int round = 0; !m_stop; ++round) {
            step(*m_modem, round);
            m_rounds = round + 1;
        }
    }));
    m_thread->setObjectName(QStringLiteral("FakeModemDriver"));
    m_thread->start();
}

bool FakeModemDriver::run(QList<Step> script)
{
    play(std::move(script));
    return wait();
}

bool FakeModemDriver::wait(int msecs)
{
    return !m_thread || m_thread->wait(QDeadlineTimer(msecs));
}

void FakeModemDriver::stop()
{
    m_stop = true;
    if (m_thread) {
        m_thread->wait();
    }
}
