#pragma once

#include <QDate>
#include <QList>

// The day-by-day fill of a stream: from a boundary day backwards, whole days of stored items,
// newest day first, until a threshold of items is reached. Used by the columns (threshold 10)
// and the single stream (threshold 20) for the first load, and with threshold 1 for each press
// of "More" (one older day per press).
//
//   SMeskDayFill fill = meskFillDays(dates, today, 10);   // dates: one per stored item
//   for (qsizetype i : fill.placed) add(items[i]);
//   oldest = fill.boundary;  if (fill.more) view->showMoreAction();
//
// Days without items are skipped at no cost. Items with a null date or a date after the
// boundary are never placed and never keep the fill going.
struct SMeskDayFill
{
    QList<qsizetype> placed; // indices into the date list, newest day first, list order within a day
    QDate boundary;          // the day before the oldest day placed (the start day when none was)
    bool more = false;       // whether an item not placed is dated on or before the boundary
};

SMeskDayFill meskFillDays(const QList<QDate>& dates, const QDate& boundary, int threshold);
