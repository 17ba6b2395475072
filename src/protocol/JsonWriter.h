#pragma once

#include "protocol/AnyCodable.h"

#include <string>

// Turns value trees into text. Writing never fails: invalid UTF-8 inside strings is replaced
// by U+FFFD, non-finite doubles become null, and a slash is always written as "\/".
class JsonWriter {
public:
    // One line, no spaces, object keys in ascending byte order: the wire format.
    static std::string compact(const Json& value);
    static void appendCompact(std::string& out, const Json& value);

    // Documents for people: two spaces of indentation per level, one member or element per line,
    // " : " between key and value. An empty array or object is written "[]" / "{}".
    static std::string pretty(const Json& value);
    static std::string pretty(const nlohmann::ordered_json& value);

    // A string as a JSON string literal, quotes included.
    static void appendString(std::string& out, std::string_view text);
    // A double in the shortest form that reads back to the same value, always with a
    // fractional part or an exponent ("1.0", "2.5", "1e+300").
    static void appendDouble(std::string& out, double value);
};
