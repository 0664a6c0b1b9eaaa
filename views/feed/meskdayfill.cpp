#include "feed/meskdayfill.h"

SMeskDayFill meskFillDays(const QDate& boundary, int threshold,
                          const std::function<QDate(const QDate&)>& latestDay,
                          const std::function<int(const QDate&)>& placeDay)
{
    SMeskDayFill fill;
    fill.boundary = boundary;
    if (!boundary.isValid())
        return fill;
    while (true) {
        const QDate day = latestDay(fill.boundary);
        // A day after the boundary would mean a storage that does not honour the bound: stop
        // rather than place it twice.
        if (!day.isValid() || day > fill.boundary)
            return fill;
        if (fill.placed >= threshold) {
            fill.more = true;
            return fill;
        }
        fill.placed += placeDay(day);
        fill.boundary = day.addDays(-1);
    }
}

QDateTime meskDayStart(const QDate& day)
{
    return day.startOfDay();
}

QDateTime meskDayEnd(const QDate& day)
{
    // The second before the next day starts: every stored time of the day lies at or before it.
    return day.addDays(1).startOfDay().addSecs(-1);
}

QDate meskLocalDay(const QDateTime& time)
{
    return time.isValid() ? time.toLocalTime().date() : QDate();
}
