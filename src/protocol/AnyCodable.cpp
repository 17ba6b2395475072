#include "protocol/AnyCodable.h"

#include "protocol/JsonParser.h"

#include <cmath>
#include <limits>

namespace json {

namespace {

void normalizeScalar(Json& value)
{
    if (value.is_number_unsigned()) {
        const auto u = value.get<std::uint64_t>();
        if (u <= static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()))
            value = static_cast<std::int64_t>(u);
        else
            value = static_cast<double>(u);
    } else if (value.is_number_float()) {
        const double d = value.get<double>();
        // 2^63 is the first double past the signed range; the lower bound is exact.
        if (std::isfinite(d) && d == std::floor(d) && d >= -9223372036854775808.0 && d < 9223372036854775808.0)
            value = static_cast<std::int64_t>(d);
    }
}

} // namespace

void normalizeNumbers(Json& value)
{
    if (value.is_object()) {
        for (auto& [key, member] : value.items()) {
            (void)key;
            normalizeNumbers(member);
        }
    } else if (value.is_array()) {
        for (auto& element : value)
            normalizeNumbers(element);
    } else {
        normalizeScalar(value);
    }
}

std::optional<Json> parse(std::string_view text, std::string* error)
{
    return JsonParser::parse(text, error);
}

std::string kindName(const Json& value)
{
    switch (value.type()) {
    case Json::value_t::null: return "null";
    case Json::value_t::boolean: return "a boolean";
    case Json::value_t::number_integer:
    case Json::value_t::number_unsigned: return "an integer";
    case Json::value_t::number_float: return "a double";
    case Json::value_t::string: return "a string";
    case Json::value_t::array: return "an array";
    case Json::value_t::object: return "an object";
    default: return "an unsupported value";
    }
}

} // namespace json
