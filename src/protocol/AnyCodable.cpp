#include "protocol/AnyCodable.h"

#include <cmath>
#include <limits>

namespace json {

namespace {

// The nesting depth the parser accepts. Deeper documents are refused instead of risking the
// stack in the recursive walks that every later stage performs on the value.
constexpr int kMaxDepth = 512;

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
    int depth = 0;
    bool tooDeep = false;
    const Json::parser_callback_t callback = [&](int, Json::parse_event_t event, Json& parsed) {
        switch (event) {
        case Json::parse_event_t::object_start:
        case Json::parse_event_t::array_start:
            if (++depth > kMaxDepth) {
                tooDeep = true;
                throw std::runtime_error("nesting too deep");
            }
            break;
        case Json::parse_event_t::object_end:
        case Json::parse_event_t::array_end:
            --depth;
            break;
        case Json::parse_event_t::value:
            normalizeScalar(parsed);
            break;
        default:
            break;
        }
        return true;
    };
    try {
        return Json::parse(text.begin(), text.end(), callback, /*allow_exceptions=*/true, /*ignore_comments=*/false);
    } catch (const std::exception& e) {
        if (error)
            *error = tooDeep ? "The document is nested more than 512 levels deep" : e.what();
        return std::nullopt;
    }
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
