#include "MonthKey.h"

QString currentMonthKey(const QDateTime &date, const QTimeZone &zone)
{
    // An invalid date has no components; they count as 0.
    const QDate local = date.toTimeZone(zone).date();
    return QString::asprintf("%04d-%02d", local.isValid() ? local.year() : 0,
                             local.isValid() ? local.month() : 0);
}
