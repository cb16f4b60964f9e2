#pragma once

#include <QDateTime>
#include <QString>
#include <QTimeZone>

// The month key ("2026-03") of `date` on the Gregorian calendar in `zone`.
QString currentMonthKey(const QDateTime &date, const QTimeZone &zone);
