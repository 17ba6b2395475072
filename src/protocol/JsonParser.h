#pragma once

#include "protocol/AnyCodable.h"

#include <optional>
#include <string>
#include <string_view>

// A strict JSON reader (RFC 8259) that builds the value tree directly, with the number rule of
// the protocol applied as it reads: a number that is an exact signed 64-bit integer (1, 2.0,
// 1e3) becomes an integer, every other number a double. Strings must be valid UTF-8 and escapes
// well-formed (a lone surrogate is refused). Nesting deeper than kMaxDepth is refused, so no
// later recursive walk over a parsed value can exhaust the stack. Never throws.
class JsonParser {
public:
    static constexpr int kMaxDepth = 512;

    static std::optional<Json> parse(std::string_view text, std::string* error = nullptr);
};
