#include "fakepowerevents.h"

namespace {

QList<FakePowerEvents*>& liveFakes()
{
    static QList<FakePowerEvents*> fakes;
    return fakes;
}

} // namespace

FakePowerEvents::FakePowerEvents(QObject* parent) : IMeskPowerEvents(parent)
{
    liveFakes().append(this);
}

FakePowerEvents::~FakePowerEvents()
{
    liveFakes().removeAll(this);
}

const QList<FakePowerEvents*>& FakePowerEvents::instances()
{
    return liveFakes();
}

FakePowerEventsScope::FakePowerEventsScope()
    : m_previous(IMeskPowerEvents::setFactory([] { return std::make_unique<FakePowerEvents>(); }))
{
}

FakePowerEventsScope::~FakePowerEventsScope()
{
    IMeskPowerEvents::setFactory(std::move(m_previous));
}
