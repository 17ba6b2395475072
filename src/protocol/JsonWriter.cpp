#include "protocol/JsonWriter.h"

#include "protocol/Utf8.h"

#include <array>
#include <charconv>
#include <cmath>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

constexpr char kHex[] = "0123456789abcdef";

// Bytes that a string cannot copy as they are: control characters, the quote, the backslash,
// the slash, and every byte of a multi-byte sequence (checked for validity).
constexpr auto kNeedsAttention = [] {
    std::array<bool, 256> table{};
    for (int c = 0; c < 256; ++c)
        table[static_cast<std::size_t>(c)] = c < 0x20 || c >= 0x80 || c == '"' || c == '\\' || c == '/';
    return table;
}();

// The number of bytes from `from` on that need no attention, looking at sixteen at a time: text
// is mostly plain ASCII with an escape now and then.
std::size_t plainRun(std::string_view text, std::size_t from)
{
    std::size_t i = from;
#if defined(__SSE2__)
    const __m128i space = _mm_set1_epi8(0x20);
    const __m128i quote = _mm_set1_epi8('"');
    const __m128i backslash = _mm_set1_epi8('\\');
    const __m128i slash = _mm_set1_epi8('/');
    while (i + 16 <= text.size()) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + i));
        // As signed bytes, everything from 0x80 up is negative, so one comparison finds the
        // control characters and the multi-byte sequences together.
        const __m128i special = _mm_or_si128(_mm_or_si128(_mm_cmplt_epi8(bytes, space), _mm_cmpeq_epi8(bytes, quote)),
                                             _mm_or_si128(_mm_cmpeq_epi8(bytes, backslash), _mm_cmpeq_epi8(bytes, slash)));
        const auto mask = static_cast<unsigned>(_mm_movemask_epi8(special));
        if (mask != 0)
            return i + static_cast<std::size_t>(__builtin_ctz(mask)) - from;
        i += 16;
    }
#endif
    while (i < text.size() && !kNeedsAttention[static_cast<unsigned char>(text[i])])
        ++i;
    return i - from;
}

template <typename Value> void writePretty(std::string& out, const Value& value, int depth)
{
    const auto indent = [&](int level) { out.append(static_cast<std::size_t>(level) * 2, ' '); };
    if (value.is_object()) {
        if (value.empty()) {
            out += "{}";
            return;
        }
        out += "{\n";
        bool first = true;
        for (auto it = value.begin(); it != value.end(); ++it) {
            if (!first)
                out += ",\n";
            first = false;
            indent(depth + 1);
            JsonWriter::appendString(out, it.key());
            out += " : ";
            writePretty(out, it.value(), depth + 1);
        }
        out += '\n';
        indent(depth);
        out += '}';
    } else if (value.is_array()) {
        if (value.empty()) {
            out += "[]";
            return;
        }
        out += "[\n";
        bool first = true;
        for (const auto& element : value) {
            if (!first)
                out += ",\n";
            first = false;
            indent(depth + 1);
            writePretty(out, element, depth + 1);
        }
        out += '\n';
        indent(depth);
        out += ']';
    } else {
        // Scalars are written the same way in both styles.
        JsonWriter::appendCompact(out, Json(value));
    }
}

// A string literal as appendString writes it. With a drain, long texts go out in pieces of
// about kDrainBytes: a plain run is cut there, and the output is offered after each cut, each
// escape and at the end (so that many short strings go out in pieces too).
void writeString(std::string& out, std::string_view text, const JsonWriter::Drain* drain)
{
    // Room for a few escapes up front: a long text would otherwise be copied again each time
    // the output grows.
    const std::size_t room = text.size() + text.size() / 16 + 2;
    out.reserve(out.size() + (drain ? std::min(room, JsonWriter::kDrainBytes + 16) : room));
    out += '"';
    std::size_t i = 0;
    std::size_t runStart = 0;
    const auto flush = [&] { out.append(text.data() + runStart, i - runStart); };
    const auto offer = [&] {
        if (drain && out.size() >= JsonWriter::kDrainBytes)
            (*drain)(out);
    };
    while (i < text.size()) {
        if (drain && i - runStart >= JsonWriter::kDrainBytes) {
            flush();
            runStart = i;
            offer();
        }
        const std::size_t end = drain ? std::min(text.size(), runStart + JsonWriter::kDrainBytes) : text.size();
        i += plainRun(text.substr(0, end), i);
        if (i == end)
            continue;
        const auto c = static_cast<unsigned char>(text[i]);
        if (c >= 0x80) {
            const std::size_t length = utf8::sequenceLength(text, i);
            if (length > 0) {
                i += length;
                continue;
            }
            flush();
            out.append("\xEF\xBF\xBD", 3); // U+FFFD for the offending byte
            ++i;
            runStart = i;
            offer();
            continue;
        }
        flush();
        switch (c) {
        case '"': out.append("\\\"", 2); break;
        case '\\': out.append("\\\\", 2); break;
        case '/': out.append("\\/", 2); break;
        case '\b': out.append("\\b", 2); break;
        case '\f': out.append("\\f", 2); break;
        case '\n': out.append("\\n", 2); break;
        case '\r': out.append("\\r", 2); break;
        case '\t': out.append("\\t", 2); break;
        default:
            out += "\\u00";
            out += kHex[c >> 4];
            out += kHex[c & 0xF];
        }
        ++i;
        runStart = i;
        offer();
    }
    flush();
    out += '"';
    offer();
}

void writeCompact(std::string& out, const Json& value, const JsonWriter::Drain* drain)
{
    switch (value.type()) {
    case Json::value_t::null:
    case Json::value_t::discarded: out += "null"; break;
    case Json::value_t::boolean: out += value.get<bool>() ? "true" : "false"; break;
    case Json::value_t::number_integer: {
        char buffer[24];
        const auto result = std::to_chars(buffer, buffer + sizeof buffer, value.get<std::int64_t>());
        out.append(buffer, result.ptr);
        break;
    }
    case Json::value_t::number_unsigned: {
        char buffer[24];
        const auto result = std::to_chars(buffer, buffer + sizeof buffer, value.get<std::uint64_t>());
        out.append(buffer, result.ptr);
        break;
    }
    case Json::value_t::number_float: JsonWriter::appendDouble(out, value.get<double>()); break;
    case Json::value_t::string: writeString(out, value.get_ref<const std::string&>(), drain); break;
    case Json::value_t::binary: out += "null"; break;
    case Json::value_t::array: {
        out += '[';
        bool first = true;
        for (const auto& element : value) {
            if (!first)
                out += ',';
            first = false;
            writeCompact(out, element, drain);
        }
        out += ']';
        break;
    }
    case Json::value_t::object: {
        out += '{';
        bool first = true;
        for (const auto& [key, member] : value.get_ref<const Json::object_t&>()) {
            if (!first)
                out += ',';
            first = false;
            writeString(out, key, drain);
            out += ':';
            writeCompact(out, member, drain);
        }
        out += '}';
        break;
    }
    }
}

} // namespace

void JsonWriter::appendString(std::string& out, std::string_view text)
{
    writeString(out, text, nullptr);
}

void JsonWriter::appendDouble(std::string& out, double value)
{
    if (!std::isfinite(value)) {
        out += "null";
        return;
    }
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    const std::string_view text(buffer, static_cast<std::size_t>(result.ptr - buffer));
    out += text;
    if (text.find_first_of(".e") == std::string_view::npos)
        out += ".0";
}

void JsonWriter::appendCompact(std::string& out, const Json& value)
{
    writeCompact(out, value, nullptr);
}

void JsonWriter::appendCompact(std::string& out, const Json& value, const Drain& drain)
{
    writeCompact(out, value, &drain);
}

std::string JsonWriter::compact(const Json& value)
{
    std::string out;
    appendCompact(out, value);
    return out;
}

std::string JsonWriter::pretty(const Json& value)
{
    std::string out;
    writePretty(out, value, 0);
    return out;
}

std::string JsonWriter::pretty(const nlohmann::ordered_json& value)
{
    std::string out;
    writePretty(out, value, 0);
    return out;
}
