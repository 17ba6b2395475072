// The writer on value trees built from the input, including what a parser never produces:
// invalid UTF-8 in strings and keys, NaN and infinities, unsigned numbers past the signed range.
// The compact text must be one line our strict reader and nlohmann both accept, and reading it
// back must give the value written (strings that were not UTF-8 aside, which come back as
// valid text). What is read back must then survive both the compact and the pretty form unchanged.

#include "protocol/AnyCodable.h"
#include "protocol/JsonParser.h"
#include "protocol/JsonWriter.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>

namespace {

constexpr int kMaxDepth = 12;

[[noreturn]] void fail(const char* what, const std::string& text)
{
    std::fprintf(stderr, "json writer: %s\n%.*s\n", what, static_cast<int>(std::min<std::size_t>(text.size(), 2000)), text.data());
    std::abort();
}

// Well-formed UTF-8 after the Unicode standard's table of byte sequences, written out
// independently of the writer's own check.
bool isWellFormedUtf8(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        if (lead < 0x80) {
            ++i;
            continue;
        }
        std::size_t continuations = 0;
        unsigned char low = 0x80;
        unsigned char high = 0xBF;
        if (lead >= 0xC2 && lead <= 0xDF) {
            continuations = 1;
        } else if (lead == 0xE0) {
            continuations = 2;
            low = 0xA0;
        } else if ((lead >= 0xE1 && lead <= 0xEC) || lead == 0xEE || lead == 0xEF) {
            continuations = 2;
        } else if (lead == 0xED) {
            continuations = 2;
            high = 0x9F;
        } else if (lead == 0xF0) {
            continuations = 3;
            low = 0x90;
        } else if (lead >= 0xF1 && lead <= 0xF3) {
            continuations = 3;
        } else if (lead == 0xF4) {
            continuations = 3;
            high = 0x8F;
        } else {
            return false;
        }
        if (text.size() - i <= continuations)
            return false;
        for (std::size_t k = 1; k <= continuations; ++k) {
            const auto byte = static_cast<unsigned char>(text[i + k]);
            if (byte < (k == 1 ? low : 0x80) || byte > (k == 1 ? high : 0xBF))
                return false;
        }
        i += continuations + 1;
    }
    return true;
}

double makeDouble(FuzzedDataProvider& input)
{
    switch (input.ConsumeIntegralInRange(0, 5)) {
    case 0: return std::numeric_limits<double>::quiet_NaN();
    case 1: return input.ConsumeBool() ? INFINITY : -INFINITY;
    case 2: return -0.0;
    case 3: return static_cast<double>(input.ConsumeIntegral<std::int64_t>());
    default: return std::bit_cast<double>(input.ConsumeIntegral<std::uint64_t>());
    }
}

Json makeValue(FuzzedDataProvider& input, int depth)
{
    switch (input.ConsumeIntegralInRange(0, depth < kMaxDepth ? 8 : 6)) {
    case 0: return nullptr;
    case 1: return input.ConsumeBool();
    case 2: return input.ConsumeIntegral<std::int64_t>();
    case 3: return input.ConsumeIntegral<std::uint64_t>();
    case 4: return makeDouble(input);
    case 5:
    case 6: return input.ConsumeRandomLengthString(64);
    case 7: {
        Json array = Json::array();
        const int count = input.ConsumeIntegralInRange(0, 6);
        for (int i = 0; i < count && input.remaining_bytes() > 0; ++i)
            array.push_back(makeValue(input, depth + 1));
        return array;
    }
    default: {
        Json object = Json::object();
        const int count = input.ConsumeIntegralInRange(0, 6);
        for (int i = 0; i < count && input.remaining_bytes() > 0; ++i) {
            std::string key = input.ConsumeRandomLengthString(16);
            object[std::move(key)] = makeValue(input, depth + 1);
        }
        return object;
    }
    }
}

// Whether `read` is what reading the text written for `written` must give.
bool readsBackAs(const Json& written, const Json& read)
{
    switch (written.type()) {
    case Json::value_t::null:
    case Json::value_t::boolean:
    case Json::value_t::number_integer: return written == read;
    case Json::value_t::number_unsigned: {
        const auto value = written.get<std::uint64_t>();
        if (value <= static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()))
            return read.is_number_integer() && read.get<std::int64_t>() == static_cast<std::int64_t>(value);
        return read.is_number_float() && read.get<double>() == static_cast<double>(value);
    }
    case Json::value_t::number_float: {
        const double value = written.get<double>();
        if (!std::isfinite(value))
            return read.is_null();
        if (read.is_number_integer())
            return value == std::floor(value) && static_cast<double>(read.get<std::int64_t>()) == value;
        return read.is_number_float() && read.get<double>() == value;
    }
    case Json::value_t::string: {
        if (!read.is_string())
            return false;
        const auto& text = written.get_ref<const std::string&>();
        return !isWellFormedUtf8(text) || read.get_ref<const std::string&>() == text;
    }
    case Json::value_t::array:
        if (!read.is_array() || read.size() != written.size())
            return false;
        for (std::size_t i = 0; i < written.size(); ++i) {
            if (!readsBackAs(written[i], read[i]))
                return false;
        }
        return true;
    case Json::value_t::object: {
        if (!read.is_object())
            return false;
        bool keysWellFormed = true;
        for (const auto& [key, member] : written.items()) {
            (void)member;
            keysWellFormed = keysWellFormed && isWellFormedUtf8(key);
        }
        // Keys that were not UTF-8 may meet once repaired; only their count can be checked.
        if (!keysWellFormed)
            return read.size() <= written.size();
        if (read.size() != written.size())
            return false;
        for (const auto& [key, member] : written.items()) {
            if (!read.contains(key) || !readsBackAs(member, read[key]))
                return false;
        }
        return true;
    }
    default: return false;
    }
}

Json readBack(const std::string& text, const char* form)
{
    std::string error;
    auto value = JsonParser::parse(text, &error);
    if (!value)
        fail((std::string(form) + " output does not read back: " + error).c_str(), text);
    return std::move(*value);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider input(data, size);
    const Json written = makeValue(input, 0);

    const std::string compact = JsonWriter::compact(written);
    for (const char c : compact) {
        if (static_cast<unsigned char>(c) < 0x20)
            fail("compact output holds a control character", compact);
    }
    const Json read = readBack(compact, "compact");
    if (Json::parse(compact, nullptr, false).is_discarded())
        fail("nlohmann refuses the compact output", compact);
    if (!readsBackAs(written, read))
        fail("what was read differs from what was written", compact);

    // What was read is already in the protocol's normal form: both forms give it back as is.
    const std::string again = JsonWriter::compact(read);
    if (readBack(again, "compact") != read)
        fail("compact round trip changed the value", again);
    const std::string pretty = JsonWriter::pretty(read);
    if (readBack(pretty, "pretty") != read)
        fail("pretty round trip changed the value", pretty);
    return 0;
}
