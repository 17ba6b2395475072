#pragma once

#include <optional>
#include <string>

// The syslog severities of the protocol's log messages, lowest first, and which of them the
// activity log's entries are sent as.
namespace ServerLogLevels {

constexpr int kInfo = 1;
constexpr int kError = 4;

std::optional<int> severityOf(const std::string& level);
const char* name(int severity);

} // namespace ServerLogLevels
