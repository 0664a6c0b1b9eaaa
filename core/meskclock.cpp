#include "meskclock.h"

#include "meskzone.h"

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
    return source ? source() : MeskZone::localInstantMSecs(QDateTime::currentMSecsSinceEpoch());
}

void setSource(std::function<QDateTime()> source)
{
    clockSource() = std::move(source);
}

} // namespace MeskClock
