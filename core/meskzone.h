#pragma once

#include <QDateTime>
#include <QString>

// The system's time zone as the C library and QDateTime use it. With TZ unset it is the zone file
// /etc/localtime, which the desktop replaces or rewrites when the user or the automatic time zone
// moves it. Local dates and days worked out before such a change belong to the old zone: what keeps
// them asks checkChange() at its natural points (a storage read, a stream's fill, "More", its date
// timer) and compares generation() with the one it worked them out under.
namespace MeskZone {

// Compares the zone's identity (the TZ value, and the zone file's device, inode and modification
// time: one stat, as the C library itself checks the file) with the identity last seen. On a change
// the C library reads the zone again (tzset), generation() moves on and the result is true. The first
// call only takes note of the identity. Any thread.
bool checkChange();
// Moves on with every change that checkChange() has seen; 0 before the first.
quint64 generation();
// The zone file checked: /etc/localtime unless a test points it elsewhere (an empty path restores
// it). The identity is taken afresh at the next check.
void setZoneFilePath(const QString& path);
QString zoneFilePath();

// The local time of a moment in the zone in force, holding the moment: a fixed offset from UTC, so
// that it denotes the same instant after the zone changes (a local-time QDateTime keeps its clock
// time instead and moves with the zone). Each thread converts each second once per zone.
QDateTime localInstant(qint64 secsSinceEpoch);
QDateTime localInstantMSecs(qint64 msecsSinceEpoch);

} // namespace MeskZone
