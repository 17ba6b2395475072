#pragma once

#include "protocol/AnyCodable.h"

#include <cstddef>
#include <functional>
#include <string>

// Turns value trees into text. Writing never fails: invalid UTF-8 inside strings is replaced
// by U+FFFD, non-finite doubles become null, and a slash is always written as "\/".
class JsonWriter {
public:
    // One line, no spaces, object keys in ascending byte order: the wire format.
    static std::string compact(const Json& value);
    static void appendCompact(std::string& out, const Json& value);

    // Called whenever the output holds kDrainBytes or more; it takes what is there and leaves
    // the string empty (or shorter).
    using Drain = std::function<void(std::string& out)>;
    static constexpr std::size_t kDrainBytes = 256 * 1024;
    // The same text, handed to `drain` piece by piece as it is written, so that a document
    // with a large string is never held whole. What is left at the end stays in `out`.
    static void appendCompact(std::string& out, const Json& value, const Drain& drain);

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
