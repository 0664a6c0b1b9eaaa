#include "feed/meskdayfill.h"

SMeskDayFill meskFillDays(const QDate& boundary, int threshold,
                          const std::function<QDate(const QDate&, bool*)>& latestDay,
                          const std::function<SMeskDayItems(const QDate&, bool*)>& readDay)
{
    SMeskDayFill fill;
    fill.boundary = boundary;
    if (!boundary.isValid())
        return fill;
    QList<std::function<void()>> days;
    const auto failed = [&boundary] {
        SMeskDayFill none;
        none.boundary = boundary;
        none.read = false;
        return none;
    };
    while (true) {
        bool ok = true;
        const QDate day = latestDay(fill.boundary, &ok);
        if (!ok)
            return failed();
        // A day after the boundary would mean a storage that does not honour the bound: stop
        // rather than place it twice.
        if (!day.isValid() || day > fill.boundary)
            break;
        if (fill.placed >= threshold) {
            fill.more = true;
            break;
        }
        SMeskDayItems items = readDay(day, &ok);
        if (!ok)
            return failed();
        fill.placed += items.count;
        if (items.place)
            days.append(std::move(items.place));
        fill.boundary = day.addDays(-1);
    }
    fill.place = [days = std::move(days)] {
        for (const auto& place : days)
            place();
    };
    return fill;
}

QDateTime meskDayStart(const QDate& day)
{
    // Where a clock set back from 01:00 to 00:00 makes midnight come twice, startOfDay() gives
    // the second one: the day's first second is the first moment whose local date is the day,
    // searched in the hours before (a change never moves the clock by more than that).
    const QDateTime start = day.startOfDay();
    if (!start.isValid())
        return start;
    qint64 last = start.toSecsSinceEpoch();
    qint64 before = last - 3 * 3600;
    if (QDateTime::fromSecsSinceEpoch(before).date() == day)
        return start;
    while (last - before > 1) {
        const qint64 middle = before + (last - before) / 2;
        if (QDateTime::fromSecsSinceEpoch(middle).date() == day)
            last = middle;
        else
            before = middle;
    }
    return QDateTime::fromSecsSinceEpoch(last);
}

QDateTime meskDayEnd(const QDate& day)
{
    // The second before the next day starts: every stored time of the day lies at or before it.
    return meskDayStart(day.addDays(1)).addSecs(-1);
}

QDate meskLocalDay(const QDateTime& time)
{
    return time.isValid() ? time.toLocalTime().date() : QDate();
}
