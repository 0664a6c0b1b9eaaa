#include "meskclock.h"

namespace {
std::function<QDateTime()>& clockSource()
{
    static std::function<QDateTime()> source;
    return source;
}
} // namespace

namespace MeskClock {

QDateTime now()
{
    const auto& source = clockSource();
    return source ? source() : QDateTime::currentDateTime();
}

void setSource(std::function<QDateTime()> source)
{
    clockSource() = std::move(source);
}

} // namespace MeskClock
