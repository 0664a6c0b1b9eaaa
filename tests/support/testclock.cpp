#include "testclock.h"

#include "meskclock.h"

TestClock::TestClock(const QDateTime& start) : m_now(start)
{
    MeskClock::setSource([this] { return m_now; });
}

TestClock::~TestClock()
{
    MeskClock::setSource({});
}
