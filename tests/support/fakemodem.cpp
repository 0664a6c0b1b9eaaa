#include "fakemodem.h"

#include <QElapsedTimer>
#include <QWaitCondition>

#include <algorithm>
#include <map>

// Runs jobs on a thread of its own, each at its due time (FIFO among equal
// times). Jobs run without the queue's lock. Pending jobs are dropped when
// the thread ends.
class FakeModem::EventThread
{
public:
    explicit EventThread(const QString& name)
    {
        m_clock.start();
        m_thread.reset(QThread::create([this] { run(); }));
        m_thread->setObjectName(name);
        m_thread->start();
    }

    ~EventThread()
    {
        {
            QMutexLocker lock(&m_mutex);
            m_stop = true;
            m_wake.wakeAll();
        }
        m_thread->wait();
    }

    void post(int msecs, std::function<void()> job)
    {
        QMutexLocker lock(&m_mutex);
        m_jobs.emplace(m_clock.elapsed() + std::max(0, msecs), Job{std::move(job), nullptr});
        m_wake.wakeAll();
    }

    // Posts a job due now and waits until it has started; false on time-out.
    bool postAndWaitStart(std::function<void()> job, int timeoutMs)
    {
        QMutexLocker lock(&m_mutex);
        auto started = std::make_shared<bool>(false);
        m_jobs.emplace(m_clock.elapsed(), Job{std::move(job), started});
        m_wake.wakeAll();
        QDeadlineTimer deadline(timeoutMs);
        while (!*started) {
            if (!m_started.wait(&m_mutex, deadline)) {
                return *started;
            }
        }
        return true;
    }

    // Whether nothing runs and nothing is due within delayLimit ms.
    bool idle(int delayLimit)
    {
        QMutexLocker lock(&m_mutex);
        return !m_running && (m_jobs.empty() || m_jobs.begin()->first > m_clock.elapsed() + delayLimit);
    }

private:
    struct Job
    {
        std::function<void()> run;
        std::shared_ptr<bool> started;
    };

    void run()
    {
        QMutexLocker lock(&m_mutex);
        while (!m_stop) {
            if (m_jobs.empty()) {
                m_wake.wait(&m_mutex);
                continue;
            }
            const qint64 now = m_clock.elapsed();
            auto first = m_jobs.begin();
            if (first->first > now) {
                m_wake.wait(&m_mutex, QDeadlineTimer(first->first - now));
                continue;
            }
            Job job = std::move(first->second);
            m_jobs.erase(first);
            m_running = true;
            if (job.started) {
                *job.started = true;
                m_started.wakeAll();
            }
            lock.unlock();
            job.run();
            lock.relock();
            m_running = false;
        }
    }

    QMutex m_mutex;
    QWaitCondition m_wake;
    QWaitCondition m_started;
    std::multimap<qint64, Job> m_jobs;
    QElapsedTimer m_clock;
    bool m_stop = false;
    bool m_running = false;
    std::unique_ptr<QThread> m_thread;
};

FakeModem::FakeModem(QObject* parent) : IMeskModemBackend(parent)
{
    m_interfaces = {gsmInterface()};
}

FakeModem::~FakeModem()
{
    // Join the event threads before anything they use goes away.
    m_events.reset();
    m_sendEvents.reset();
}

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

SMeskModemInterface FakeModem::gsmInterface(const QString& id)
{
    return {id, MeskMbnResult::Ok, 1, 1};
}

SMeskModemInterface FakeModem::cdmaInterface(const QString& id)
{
    return {id, MeskMbnResult::Ok, 2, 1};
}

SMeskModemInterface FakeModem::noSmsInterface(const QString& id)
{
    return {id, MeskMbnResult::Ok, 1, 0};
}

void FakeModem::setSmsInterfaces(const QList<SMeskModemInterface>& interfaces)
{
    QMutexLocker lock(&m_mutex);
    m_interfaces = interfaces;
}

void FakeModem::setSmsResult(SmsCall call, qint32 result)
{
    QMutexLocker lock(&m_mutex);
    m_smsResults[int(call)] = result;
}

void FakeModem::setReadStatus(qint32 status)
{
    QMutexLocker lock(&m_mutex);
    m_readStatus = status;
}

void FakeModem::setDeleteStatus(qint32 status)
{
    QMutexLocker lock(&m_mutex);
    m_deleteStatus = status;
}

void FakeModem::setSimMessage(quint32 index, quint32 status, const QString& hex)
{
    QMutexLocker lock(&m_mutex);
    m_sim.insert(index, SMeskSmsReadPdu{status, hex, index, {}, {}, 0, 0, false, {}});
    m_nextIndex = std::max(m_nextIndex, index + 1);
}

QMap<quint32, SMeskSmsReadPdu> FakeModem::simMessages() const
{
    QMutexLocker lock(&m_mutex);
    return m_sim;
}

quint32 FakeModem::injectIncoming(const QString& hex, bool class0)
{
    SMeskSmsReadPdu message;
    {
        QMutexLocker lock(&m_mutex);
        // Indices are not reused, so a message never takes the place of one
        // whose deletion is still being reported.
        message = SMeskSmsReadPdu{0, hex, m_nextIndex++, {}, {}, 0, 0, false, {}};
        m_sim.insert(message.index,
                     SMeskSmsReadPdu{class0 ? 1u : 0u, hex, message.index, {}, {}, 0, 0, false, {}});
        if (!class0) {
            m_lastNewIndex = message.index;
        }
    }
    if (!silent()) {
        if (class0) {
            emit smsNewClass0Message(1, {message});
        } else {
            emit smsStatusChange();
        }
    }
    return message.index;
}

void FakeModem::setSendSteps(const QList<SendStep>& steps)
{
    QMutexLocker lock(&m_mutex);
    m_sendSteps = steps;
}

void FakeModem::setDefaultSendStep(const SendStep& step)
{
    QMutexLocker lock(&m_mutex);
    m_defaultSendStep = step;
}

QStringList FakeModem::smsLog() const
{
    QMutexLocker lock(&m_mutex);
    return m_smsLog;
}

QStringList FakeModem::smsCalls(const QString& prefix) const
{
    QMutexLocker lock(&m_mutex);
    QStringList calls;
    for (const QString& entry : m_smsLog) {
        if (entry.startsWith(prefix)) {
            calls.append(entry);
        }
    }
    return calls;
}

void FakeModem::clearSmsLog()
{
    QMutexLocker lock(&m_mutex);
    m_smsLog.clear();
}

bool FakeModem::waitForSmsEvents(int msecs, int delayLimit)
{
    QDeadlineTimer deadline(msecs);
    for (;;) {
        bool idle = true;
        {
            QMutexLocker lock(&m_mutex);
            for (EventThread* events : {m_events.get(), m_sendEvents.get()}) {
                if (events && !events->idle(delayLimit)) {
                    idle = false;
                }
            }
        }
        if (idle) {
            return true;
        }
        if (deadline.hasExpired()) {
            return false;
        }
        QThread::msleep(5);
    }
}

FakeModem::EventThread& FakeModem::eventsLocked(bool second)
{
    std::unique_ptr<EventThread>& events = second ? m_sendEvents : m_events;
    if (!events) {
        events = std::make_unique<EventThread>(second ? QStringLiteral("FakeModemSendEvents")
                                                      : QStringLiteral("FakeModemEvents"));
    }
    return *events;
}

qint32 FakeModem::smsCallLocked(SmsCall call, const QString& interfaceId, const QString& entry)
{
    m_smsLog.append(entry);
    if (!m_supported || !m_present) {
        return MeskMbnResult::Failed;
    }
    if (call != SmsCall::Interfaces) {
        const auto found = std::find_if(m_interfaces.cbegin(), m_interfaces.cend(),
                                        [&](const SMeskModemInterface& i) { return i.id == interfaceId; });
        if (found == m_interfaces.cend() || found->smsCaps == 0) {
            return MeskMbnResult::Failed;
        }
    }
    return m_smsResults[int(call)];
}

qint32 FakeModem::smsInterfaces(QList<SMeskModemInterface>* interfaces)
{
    QMutexLocker lock(&m_mutex);
    interfaces->clear();
    if (!m_supported || !m_present) {
        m_smsLog.append(QStringLiteral("interfaces"));
        return MeskMbnResult::Ok;
    }
    const qint32 result = smsCallLocked(SmsCall::Interfaces, {}, QStringLiteral("interfaces"));
    if (result < 0) {
        return result;
    }
    *interfaces = m_interfaces;
    for (SMeskModemInterface& i : *interfaces) {
        if (m_smsResults[int(SmsCall::Capability)] < 0) {
            i.capabilityResult = m_smsResults[int(SmsCall::Capability)];
        }
    }
    return result;
}

qint32 FakeModem::smsOpen(const QString& interfaceId)
{
    QMutexLocker lock(&m_mutex);
    return smsCallLocked(SmsCall::Open, interfaceId, QStringLiteral("open ") + interfaceId);
}

qint32 FakeModem::smsSendPdu(const QString& interfaceId, const QString& hexText, quint8 length,
                             quint32* requestId)
{
    QMutexLocker lock(&m_mutex);
    const QString entry = QStringLiteral("send %1 %2").arg(hexText).arg(length);
    m_smsLog.append(entry);
    const bool known =
        std::any_of(m_interfaces.cbegin(), m_interfaces.cend(),
                    [&](const SMeskModemInterface& i) { return i.id == interfaceId && i.smsCaps != 0; });
    if (!m_supported || !m_present || !known) {
        return MeskMbnResult::Failed;
    }
    const SendStep step = m_sendSteps.isEmpty() ? m_defaultSendStep : m_sendSteps.takeFirst();
    if (step.kind == SendStep::Refuse) {
        return step.status;
    }
    const quint32 id = m_nextRequestId++;
    *requestId = id;
    auto complete = [this, id, status = step.status] { emit smsSendComplete(id, status); };
    switch (step.kind) {
    case SendStep::Complete:
        eventsLocked(step.secondThread).post(step.msecs, complete);
        break;
    case SendStep::CompleteDuringCall: {
        EventThread& events = eventsLocked(false);
        lock.unlock();
        if (!events.postAndWaitStart(complete, 20000)) {
            QMutexLocker relock(&m_mutex);
            m_smsLog.append(QStringLiteral("late ") + QString::number(id));
        }
        break;
    }
    default:
        break;
    }
    return MeskMbnResult::Ok;
}

qint32 FakeModem::smsRead(const QString& interfaceId, quint32 flag, quint32 format, quint32* requestId)
{
    QMutexLocker lock(&m_mutex);
    const qint32 result =
        smsCallLocked(SmsCall::Read, interfaceId, QStringLiteral("read %1 %2").arg(flag).arg(format));
    if (result < 0) {
        return result;
    }
    const quint32 id = m_nextRequestId++;
    *requestId = id;
    QList<SMeskSmsReadPdu> messages;
    const qint32 status = m_readStatus;
    if (status >= 0) {
        for (SMeskSmsReadPdu& message : m_sim) {
            if (flag == 0 || message.status == 0) {
                messages.append(message);
                if (flag == 2) {
                    message.status = 1;
                }
            }
        }
    }
    eventsLocked(false).post(0, [this, format, messages, id, status] {
        emit smsReadComplete(format, messages, false, id, status, QString());
    });
    return result;
}

qint32 FakeModem::smsDelete(const QString& interfaceId, quint32 index, quint32* requestId)
{
    QMutexLocker lock(&m_mutex);
    const qint32 result = smsCallLocked(SmsCall::Delete, interfaceId, QStringLiteral("delete %1").arg(index));
    if (result < 0) {
        return result;
    }
    const quint32 id = m_nextRequestId++;
    *requestId = id;
    const qint32 status = m_deleteStatus;
    if (status >= 0) {
        m_sim.remove(index);
    }
    eventsLocked(false).post(0, [this, id, status] { emit smsDeleteComplete(id, status); });
    return result;
}

qint32 FakeModem::smsStatus(const QString& interfaceId, quint32* flag, quint32* index)
{
    QMutexLocker lock(&m_mutex);
    const qint32 result = smsCallLocked(SmsCall::Status, interfaceId, QStringLiteral("status"));
    if (result < 0) {
        return result;
    }
    const bool fresh =
        std::any_of(m_sim.cbegin(), m_sim.cend(), [](const SMeskSmsReadPdu& m) { return m.status == 0; });
    *flag = fresh ? 2 : 0;
    *index = m_lastNewIndex;
    return result;
}

void FakeModem::setSmsWatchHeld(bool held)
{
    QMutexLocker lock(&m_holdMutex);
    m_watchHeld = held;
    if (!held)
        m_holdLifted.wakeAll();
}

bool FakeModem::smsWatch()
{
    {
        QMutexLocker hold(&m_holdMutex);
        while (m_watchHeld)
            m_holdLifted.wait(&m_holdMutex);
    }
    QMutexLocker lock(&m_mutex);
    return m_supported && !m_watchFails;
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
