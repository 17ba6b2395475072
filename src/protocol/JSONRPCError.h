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

    static constexpr std::int64_t kResourceError = -32001;
    static constexpr std::int64_t kPromptError = -32002;

    Json toJson() const;
    static JSONRPCError fromJson(const Json& value, const std::string& path = {});

    friend bool operator==(const JSONRPCError&, const JSONRPCError&) = default;
};
