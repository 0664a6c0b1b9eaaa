#pragma once

#include <QDateTime>

// A settable clock for tests. While an instance lives, MeskClock::now() returns
// its time; the system clock comes back when it is destroyed.
class TestClock
{
public:
    explicit TestClock(const QDateTime& start);
    ~TestClock();
    TestClock(const TestClock&) = delete;
    TestClock& operator=(const TestClock&) = delete;

    QDateTime now() const { return m_now; }
    void set(const QDateTime& now) { m_now = now; }
    void advanceSecs(qint64 secs) { m_now = m_now.addSecs(secs); }
    void advanceMSecs(qint64 msecs) { m_now = m_now.addMSecs(msecs); }

private:
    QDateTime m_now;
};
