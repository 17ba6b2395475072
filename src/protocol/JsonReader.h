#pragma once

#include "protocol/AnyCodable.h"
#include "protocol/DecodingError.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Reads the members of one JSON object for a record decoder, following the record rules: a
// required member must be present and of its kind; an optional member may be missing or null
// (both leave it absent) but fails the record when present with another kind; unknown members
// are ignored. Failures throw DecodingError with the key path.
class JsonReader {
public:
    // Fails with a type mismatch unless `value` is an object.
    JsonReader(const Json& value, std::string path = {});

    const std::string& path() const { return m_path; }
    std::string pathOf(std::string_view key) const;

    std::string requiredString(std::string_view key) const;
    std::optional<std::string> optionalString(std::string_view key) const;
    std::optional<bool> optionalBool(std::string_view key) const;
    std::int64_t requiredInteger(std::string_view key) const;

    // The member itself; required fails when missing (null counts as present).
    const Json& required(std::string_view key) const;
    // Missing or null give nullptr.
    const Json* optional(std::string_view key) const;

    // A nested object reader; required fails when missing or of another kind.
    JsonReader requiredObject(std::string_view key) const;
    std::optional<JsonReader> optionalObject(std::string_view key) const;

    std::optional<std::vector<std::string>> optionalStringArray(std::string_view key) const;

    [[noreturn]] static void typeMismatch(const std::string& path, const std::string& expected, const Json& found);

private:
    const Json& m_value;
    std::string m_path;
};
