#pragma once

#include <QLoggingCategory>

// The structured log: one category per class under the subsystem "com.tarvonic.zarnel",
// written to standard error by Qt's message handler (never standard output). Levels map as
// debug → qCDebug, info → qCInfo, error → qCCritical.
#define ZARNEL_LOGGING_CATEGORY(variable, className) Q_LOGGING_CATEGORY(variable, "com.tarvonic.zarnel." className)

namespace Log {

// Debug and info lines of our categories are off unless QT_LOGGING_RULES turns them on: a
// busy client would otherwise fill the standard error of its own process with a line per request.
void installDefaultRules();

} // namespace Log
