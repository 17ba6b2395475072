#include "server/ServerLogLevels.h"

#include <algorithm>
#include <array>

namespace {

constexpr std::array<const char*, 8> kLevels = {"debug", "info", "notice", "warning", "error", "critical", "alert", "emergency"};

} // namespace

namespace ServerLogLevels {

std::optional<int> severityOf(const std::string& level)
{
    const auto it = std::find_if(kLevels.begin(), kLevels.end(), [&](const char* name) { return level == name; });
    if (it == kLevels.end())
        return std::nullopt;
    return static_cast<int>(it - kLevels.begin());
}

const char* name(int severity)
{
    return kLevels[static_cast<std::size_t>(std::clamp(severity, 0, static_cast<int>(kLevels.size()) - 1))];
}

} // namespace ServerLogLevels
