#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The MCP revisions this server speaks, oldest first. The first four are the "legacy" era (a
// session opened by initialize); 2026-07-28 is stateless: every request carries its revision
// and the client's capabilities.
enum class ProtocolRevision {
    V2024_11_05,
    V2025_03_26,
    V2025_06_18,
    V2025_11_25,
    V2026_07_28,
};

namespace Revision {

constexpr ProtocolRevision kNewestLegacy = ProtocolRevision::V2025_11_25;
constexpr ProtocolRevision kModern = ProtocolRevision::V2026_07_28;

std::optional<ProtocolRevision> parse(std::string_view text);
const char* name(ProtocolRevision revision);
// The version an initialize answer names: the client's when it is a legacy revision we speak,
// else the newest legacy one.
ProtocolRevision negotiate(std::string_view requested);
// The names of the stateless revisions, for discovery and the unsupported-version error.
std::vector<std::string> modernNames();

// What each revision has, so that nothing a revision lacks reaches its client.
constexpr bool isModern(ProtocolRevision r)
{
    return r >= ProtocolRevision::V2026_07_28;
}
constexpr bool hasBatches(ProtocolRevision r)
{
    return r == ProtocolRevision::V2025_03_26;
}
constexpr bool hasToolAnnotations(ProtocolRevision r)
{
    return r >= ProtocolRevision::V2025_03_26;
}
constexpr bool hasCompletions(ProtocolRevision r)
{
    return r >= ProtocolRevision::V2025_03_26;
}
constexpr bool hasProgressMessage(ProtocolRevision r)
{
    return r >= ProtocolRevision::V2025_03_26;
}
constexpr bool hasTitles(ProtocolRevision r)
{
    return r >= ProtocolRevision::V2025_06_18;
}
constexpr bool hasStructuredContent(ProtocolRevision r)
{
    return r >= ProtocolRevision::V2025_06_18;
}
constexpr bool hasElicitationRequests(ProtocolRevision r)
{
    return r == ProtocolRevision::V2025_06_18 || r == ProtocolRevision::V2025_11_25;
}
// From 2025-11-25 on, arguments a tool rejects are a tool result with isError, not -32602.
constexpr bool validationFailureIsResult(ProtocolRevision r)
{
    return r >= ProtocolRevision::V2025_11_25;
}
// 2024-11-05 keeps this server's original codes; later revisions use the protocol's.
constexpr bool hasProtocolErrorCodes(ProtocolRevision r)
{
    return r >= ProtocolRevision::V2025_03_26;
}

} // namespace Revision
