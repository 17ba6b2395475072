#include "protocol/ProtocolRevision.h"

#include <array>

namespace {

constexpr std::array<const char*, 5> kNames = {"2024-11-05", "2025-03-26", "2025-06-18", "2025-11-25", "2026-07-28"};

} // namespace

namespace Revision {

std::optional<ProtocolRevision> parse(std::string_view text)
{
    for (std::size_t i = 0; i < kNames.size(); ++i) {
        if (text == kNames[i])
            return static_cast<ProtocolRevision>(i);
    }
    return std::nullopt;
}

const char* name(ProtocolRevision revision)
{
    return kNames[static_cast<std::size_t>(revision)];
}

ProtocolRevision negotiate(std::string_view requested)
{
    const auto revision = parse(requested);
    return revision && !isModern(*revision) ? *revision : kNewestLegacy;
}

std::vector<std::string> modernNames()
{
    return {name(kModern)};
}

} // namespace Revision
