#pragma once

#include <QLoggingCategory>

// The wallpaper module's log category; use as qCInfo(EngineLog::engine, "...").
namespace EngineLog {
Q_DECLARE_LOGGING_CATEGORY(engine)
}
