#pragma once

#include <QLoggingCategory>
#include <QString>

#include <string>

// The structured log: one category per class under the subsystem "com.tarvonic.zarnel",
// written to standard error by Qt's message handler (never standard output). Levels map as
// debug → qCDebug, info → qCInfo, error → qCCritical.
#define ZARNEL_LOGGING_CATEGORY(variable, className) Q_LOGGING_CATEGORY(variable, "com.tarvonic.zarnel." className)

namespace Log {

// Debug and info lines of our categories are off unless QT_LOGGING_RULES turns them on: a
// busy client would otherwise fill the standard error of its own process with a line per request.
void installDefaultRules();
// For a command whose own output reports what happened: no diagnostics at all unless
// QT_LOGGING_RULES asks for them.
void installQuietRules();

// Client-supplied text in a log line (a tool name, a URI) is cut at this many bytes, so that a
// request of twenty megabytes does not become a log entry, a stored record or a stderr line of
// the same size.
constexpr qsizetype kMaxClientTextBytes = 1024;

// The text, or its first kMaxClientTextBytes (never splitting a character) followed by
// "… (<n> bytes)" with its full length.
std::string clip(const std::string& text);
QString clip(const QString& text);

} // namespace Log
