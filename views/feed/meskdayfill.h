#pragma once

#include <QDate>
#include <QDateTime>

#include <functional>

// The day-by-day fill of a stream: from a boundary day backwards, whole local days of stored
// items, newest day first, until a threshold of items is reached. Used by the columns (threshold
// 10) and the single stream (threshold 20) for the first load, and with threshold 1 for each press
// of "More" (one older day per press). Storage is asked for one day at a time:
//
//   SMeskDayFill fill = meskFillDays(today, 10,
//       [&](const QDate& day) { return meskLocalDay(storage newest time at or before meskDayEnd(day)); },
//       [&](const QDate& day) { add the items of [meskDayStart(day), meskDayEnd(day)]; return count; });
//   oldest = fill.boundary;  if (fill.more) view->showMoreAction();
//
// Days without items are skipped at no cost. Items with a null date or a date after the
// boundary are never placed and never keep the fill going.
struct SMeskDayFill
{
    int placed = 0;    // the items placed
    QDate boundary;    // the day before the oldest day placed (the start day when none was)
    bool more = false; // whether an item not placed is dated on or before the boundary
};

// latestDay(day): the newest local day on or before day that has items (null when none).
// placeDay(day): places every item of that local day and returns how many there were.
SMeskDayFill meskFillDays(const QDate& boundary, int threshold,
                          const std::function<QDate(const QDate&)>& latestDay,
                          const std::function<int(const QDate&)>& placeDay);

// The first and the last stored second (whole seconds) of a local day.
QDateTime meskDayStart(const QDate& day);
QDateTime meskDayEnd(const QDate& day);
// The local day of a time; null for a null time.
QDate meskLocalDay(const QDateTime& time);
