#pragma once

#include <QDate>
#include <QDateTime>

#include <functional>

// The day-by-day fill of a stream: from a boundary day backwards, whole local days of stored
// items, newest day first, until a threshold of items is reached. Used by the columns (threshold
// 10) and the single stream (threshold 20) for the first load, and with threshold 1 for each press
// of "More" (one older day per press). Storage is asked for one day at a time, and everything is
// read before anything is placed: a read that fails leaves the view as it is.
//
//   SMeskDayFill fill = meskFillDays(today, 10,
//       [&](const QDate& day, bool* ok) { return meskLocalDay(newest time at or before meskDayEnd(day)); },
//       [&](const QDate& day, bool* ok) { read the items of [meskDayStart(day), meskDayEnd(day)];
//                                          return SMeskDayItems{count, placing them}; });
//   if (!fill.read) return;  fill.place();  oldest = fill.boundary;  if (fill.more) view->showMoreAction();
//
// Days without items are skipped at no cost. Items with a null date or a date after the
// boundary are never placed and never keep the fill going.
struct SMeskDayItems
{
    int count = 0;
    std::function<void()> place;
};

struct SMeskDayFill
{
    int placed = 0;    // the items read, which place() places
    QDate boundary;    // the day before the oldest day read (the start day when none was)
    bool more = false; // whether an item not read is dated on or before the boundary
    // False when a read failed: nothing is to be placed, and the boundary is the start day.
    bool read = true;
    // Places the items read, day after day.
    std::function<void()> place = [] {};
};

// latestDay(day, ok): the newest local day on or before day that has items (null when none).
// readDay(day, ok): reads every item of that local day; what it returns places them.
// Each sets *ok to false when the storage cannot be read.
SMeskDayFill meskFillDays(const QDate& boundary, int threshold,
                          const std::function<QDate(const QDate&, bool*)>& latestDay,
                          const std::function<SMeskDayItems(const QDate&, bool*)>& readDay);

// The first and the last stored second (whole seconds) of a local day.
QDateTime meskDayStart(const QDate& day);
QDateTime meskDayEnd(const QDate& day);
// The local day of a time; null for a null time.
QDate meskLocalDay(const QDateTime& time);
