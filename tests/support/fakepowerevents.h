#pragma once

#include "imeskpowerevents.h"

#include <QList>

// A power-events layer that reports a resume when the test says so. instances() lists the live
// fakes, oldest first.
class FakePowerEvents : public IMeskPowerEvents
{
    Q_OBJECT
public:
    explicit FakePowerEvents(QObject* parent = nullptr);
    ~FakePowerEvents() override;

    // Emits resumed().
    void resume() { emit resumed(); }

    static const QList<FakePowerEvents*>& instances();
};

// While it lives, IMeskPowerEvents::create makes FakePowerEvents; the factory installed before
// comes back with its end.
class FakePowerEventsScope
{
public:
    FakePowerEventsScope();
    ~FakePowerEventsScope();
    FakePowerEventsScope(const FakePowerEventsScope&) = delete;
    FakePowerEventsScope& operator=(const FakePowerEventsScope&) = delete;

private:
    IMeskPowerEvents::Factory m_previous;
};
