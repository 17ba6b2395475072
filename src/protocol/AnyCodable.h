#pragma once

#include <nlohmann/json.hpp>

#include <map>
#include <optional>
#include <string>
#include <string_view>

// Every dynamic JSON value of the protocol (request params, results, tool arguments) is an
// nlohmann value. Objects keep their members in a std::map, so keys are always sorted.
using AnyCodable = nlohmann::json;
using Json = nlohmann::json;

// A tool call's arguments: argument name to value. Never absent; a call without
// arguments passes an empty map.
using Arguments = Json::object_t;

namespace json {

// Parses one JSON text. The number kinds are normalised so that the kinds the protocol tells
// apart stay apart: a number that is an exact signed 64-bit integer (1, 2.0, 1e3) becomes an
// integer, every other number a double. Returns nothing for text that is not JSON (including
// strings that are not valid UTF-8) and, when `error` is given, says why there.
std::optional<Json> parse(std::string_view text, std::string* error = nullptr);

// Applies the number rule above to an existing value tree, in place.
void normalizeNumbers(Json& value);

// The JSON kind of a value as a word for error descriptions ("a string", "an integer").
std::string kindName(const Json& value);

} // namespace json
