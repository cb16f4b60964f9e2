#include "EngineLog.h"

namespace EngineLog {
Q_LOGGING_CATEGORY(engine, "com.quenby.zarnova.engine")
}
