#pragma once

#include <QLoggingCategory>

// The application's log categories, all under the subsystem "com.quenby.zarnova".
// Use them as qCInfo(Log::app, "...").
namespace Log {
Q_DECLARE_LOGGING_CATEGORY(app)
Q_DECLARE_LOGGING_CATEGORY(net)
Q_DECLARE_LOGGING_CATEGORY(auth)
Q_DECLARE_LOGGING_CATEGORY(catalog)
Q_DECLARE_LOGGING_CATEGORY(downloads)
Q_DECLARE_LOGGING_CATEGORY(images)
Q_DECLARE_LOGGING_CATEGORY(updates)

inline constexpr char subsystem[] = "com.quenby.zarnova";

// Routes every Qt log line to the systemd journal when one is listening, to standard error
// otherwise.
void installMessageHandler();
}
