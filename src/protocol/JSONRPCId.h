#pragma once

#include "protocol/AnyCodable.h"

#include <cstdint>
#include <string>
#include <variant>

// A request id: a string or a signed 64-bit integer. "7" and 7 are different ids.
class JSONRPCId {
public:
    explicit JSONRPCId(std::string text)
        : m_value(std::move(text))
    {
    }
    explicit JSONRPCId(std::int64_t number)
        : m_value(number)
    {
    }

    bool isString() const { return std::holds_alternative<std::string>(m_value); }
    bool isNumber() const { return std::holds_alternative<std::int64_t>(m_value); }
    const std::string& string() const { return std::get<std::string>(m_value); }
    std::int64_t number() const { return std::get<std::int64_t>(m_value); }

    // Reads an id: a string, else an integer, else DecodingError "Expected String or Int".
    static JSONRPCId fromJson(const Json& value, const std::string& path);
    Json toJson() const;

    // The id as text for diagnostics: strings quoted, numbers bare.
    std::string toDisplayString() const;

    friend bool operator==(const JSONRPCId&, const JSONRPCId&) = default;
    friend auto operator<=>(const JSONRPCId&, const JSONRPCId&) = default;

private:
    std::variant<std::string, std::int64_t> m_value;
};
