#include "mesksmswatchdog.h"

CMeskSmsWatchdog::CMeskSmsWatchdog(Callback callback) : m_callback(std::move(callback)) {}

CMeskSmsWatchdog::~CMeskSmsWatchdog()
{
    stop();
}

quint64 CMeskSmsWatchdog::arm(int delayMs)
{
    QMutexLocker lock(&m_mutex);
    if (m_stopped) {
        return 0;
    }
    if (!m_thread) {
        m_thread.reset(QThread::create([this] { run(); }));
        m_thread->setObjectName(QStringLiteral("SmsWatchdog"));
        m_thread->start();
    }
    m_due = QDeadlineTimer(std::max(0, delayMs));
    m_armed = true;
    ++m_generation;
    m_wake.wakeAll();
    return m_generation;
}

void CMeskSmsWatchdog::disarm()
{
    QMutexLocker lock(&m_mutex);
    m_armed = false;
    m_wake.wakeAll();
}

void CMeskSmsWatchdog::stop()
{
    {
        QMutexLocker lock(&m_mutex);
        m_stopped = true;
        m_armed = false;
        m_wake.wakeAll();
    }
    if (m_thread) {
        m_thread->wait();
        m_thread.reset();
    }
}

void CMeskSmsWatchdog::run()
{
    QMutexLocker lock(&m_mutex);
    while (!m_stopped) {
        if (!m_armed) {
            m_wake.wait(&m_mutex);
            continue;
        }
        if (!m_due.hasExpired()) {
            m_wake.wait(&m_mutex, m_due);
            continue;
        }
        m_armed = false;
        const quint64 generation = m_generation;
        lock.unlock();
        m_callback(generation);
        lock.relock();
    }
}
