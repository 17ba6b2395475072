#pragma once

#include "protocol/AnyCodable.h"
#include "protocol/JSONRPCId.h"

#include <optional>
#include <string>

struct JSONRPCRequest {
    std::string jsonrpc = "2.0";
    std::optional<JSONRPCId> id; // absent for a notification; JSON null reads as absent
    std::string method;
    std::optional<AnyCodable> params; // JSON null reads as absent

    // Fails with DecodingError when "jsonrpc" or "method" is missing or not a string, or the id
    // is neither a string nor an integer.
    static JSONRPCRequest fromJson(const Json& value);
    // The same, taking the params over instead of copying them (a write's content can be large).
    static JSONRPCRequest fromJson(Json&& value);
    Json toJson() const;

    bool isNotification() const { return !id.has_value(); }
};
