#pragma once

// What the benchmarks share: the build type they print, medians, and the stall meter.

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QTimer>

#include <algorithm>

namespace BenchSupport {

inline const char* buildType()
{
#ifdef QT_NO_DEBUG
    return "release";
#else
    return "debug";
#endif
}

// The upper median (the middle value of an odd count).
inline double median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    return values.isEmpty() ? 0 : values.at(values.size() / 2);
}

// The largest gap between two ticks of a precise timer of intervalMs while the meter lives, in
// milliseconds; the gap still open counts too.
class StallMeter
{
public:
    explicit StallMeter(int intervalMs)
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(intervalMs);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            const qint64 now = m_clock.nsecsElapsed();
            m_largest = std::max(m_largest, now - m_last);
            m_last = now;
            ++m_ticks;
        });
        m_clock.start();
        m_last = m_clock.nsecsElapsed();
        m_timer.start();
    }
    double largestMs() const { return std::max(m_largest, m_clock.nsecsElapsed() - m_last) / 1e6; }
    int ticks() const { return m_ticks; }

private:
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_last = 0;
    qint64 m_largest = 0;
    int m_ticks = 0;
};

} // namespace BenchSupport
