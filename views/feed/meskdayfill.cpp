#include "feed/meskdayfill.h"

#include <functional>
#include <map>

SMeskDayFill meskFillDays(const QList<QDate>& dates, const QDate& boundary, int threshold)
{
    SMeskDayFill fill;
    fill.boundary = boundary;
    if (!boundary.isValid())
        return fill;
    // The items of each day on or before the boundary, newest day first. A null date compares
    // before every date, so it is left out explicitly.
    std::map<QDate, QList<qsizetype>, std::greater<QDate>> days;
    for (qsizetype i = 0; i < dates.size(); ++i) {
        const QDate& date = dates.at(i);
        if (date.isValid() && date <= boundary)
            days[date].append(i);
    }
    int count = 0;
    auto it = days.cbegin();
    for (; it != days.cend() && count < threshold; ++it) {
        fill.placed.append(it->second);
        count += int(it->second.size());
        fill.boundary = it->first.addDays(-1);
    }
    fill.more = it != days.cend();
    return fill;
}
