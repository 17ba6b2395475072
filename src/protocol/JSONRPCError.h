#pragma once

#include "protocol/AnyCodable.h"

#include <cstdint>
#include <optional>
#include <string>

struct JSONRPCError {
    std::int64_t code = 0;
    std::string message;
    std::optional<AnyCodable> data;

    static const JSONRPCError parseError;     // -32700 "Parse error"
    static const JSONRPCError methodNotFound; // -32601 "Method not found"
    static const JSONRPCError invalidParams;  // -32602 "Invalid params"
    static const JSONRPCError internalError;  // -32603 "Internal error"

    // This server's own codes, which 2024-11-05 sessions keep.
    static constexpr std::int64_t kResourceError = -32001;
    static constexpr std::int64_t kPromptError = -32002;
    // The protocol's codes from 2025-03-26 on.
    static constexpr std::int64_t kResourceNotFound = -32002;
    static constexpr std::int64_t kMissingClientCapability = -32021;
    static constexpr std::int64_t kUnsupportedProtocolVersion = -32022;
    static const JSONRPCError invalidRequest; // -32600 "Invalid Request"

    Json toJson() const;
    static JSONRPCError fromJson(const Json& value, const std::string& path = {});

    friend bool operator==(const JSONRPCError&, const JSONRPCError&) = default;
};
