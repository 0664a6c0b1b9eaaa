#pragma once

#include <QMutex>
#include <QThread>
#include <QWaitCondition>

#include <functional>
#include <memory>

// A one-shot timer on a thread of its own. arm() (re)starts it and returns a
// generation number; when the delay passes without disarm() or another arm(),
// the callback runs on the watchdog's thread with that number, without the
// watchdog's lock held, so it may take locks of its owner, who checks that
// the number is still the one it armed last. The thread starts on the first
// arm() and is joined by stop() (and the destructor); a stopped watchdog
// stays stopped.
class CMeskSmsWatchdog
{
public:
    using Callback = std::function<void(quint64 generation)>;

    explicit CMeskSmsWatchdog(Callback callback);
    ~CMeskSmsWatchdog();
    CMeskSmsWatchdog(const CMeskSmsWatchdog&) = delete;
    CMeskSmsWatchdog& operator=(const CMeskSmsWatchdog&) = delete;

    // Returns the generation, never 0; 0 once stopped.
    quint64 arm(int delayMs);
    void disarm();
    // Ends the thread and waits for it, a running callback included. Not to
    // be called from the callback.
    void stop();

private:
    void run();

    Callback m_callback;
    QMutex m_mutex;
    QWaitCondition m_wake;
    std::unique_ptr<QThread> m_thread;
    QDeadlineTimer m_due;
    quint64 m_generation = 0;
    bool m_armed = false;
    bool m_stopped = false;
};
