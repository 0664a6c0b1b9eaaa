#pragma once

#include <QDateTime>

#include <functional>

// The one source of "now" for the core. Production code asks MeskClock::now();
// tests replace the source (tests/support/testclock.h) to make time-dependent
// behaviour repeatable.
namespace MeskClock {

// The current local date and time, with its offset from UTC: held across a change of time zone
// it still denotes the same moment.
QDateTime now();

// Replaces the time source; an empty function restores the system clock.
// Set it from the GUI thread before other threads ask for the time.
void setSource(std::function<QDateTime()> source);

} // namespace MeskClock
