// Our strict reader against nlohmann's parser on the same bytes: both must accept and refuse
// the same texts (nesting past our depth limit aside) and, with the protocol's number rule
// applied to nlohmann's result, build equal values.

#include "protocol/AnyCodable.h"
#include "protocol/JsonParser.h"
#include "protocol/JsonWriter.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace {

[[noreturn]] void fail(const char* what, std::string_view text, const std::string& detail)
{
    std::fprintf(stderr, "json parser: %s (%s)\n%.*s\n", what, detail.c_str(), static_cast<int>(std::min<std::size_t>(text.size(), 2000)),
                 text.data());
    std::abort();
}

// Nesting depth as a parser counts it, ignoring brackets inside strings.
int nestingDepth(std::string_view text)
{
    int depth = 0;
    int deepest = 0;
    bool inString = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (inString) {
            if (c == '\\')
                ++i;
            else if (c == '"')
                inString = false;
        } else if (c == '"') {
            inString = true;
        } else if (c == '[' || c == '{') {
            deepest = std::max(deepest, ++depth);
        } else if (c == ']' || c == '}') {
            --depth;
        }
    }
    return deepest;
}

// Equal as the protocol sees values: -0.0 and 0.0 are one number.
bool sameValue(const Json& a, const Json& b)
{
    if (a.type() != b.type())
        return false;
    if (a.is_number_float())
        return a.get<double>() == b.get<double>();
    if (a.is_array()) {
        if (a.size() != b.size())
            return false;
        for (std::size_t i = 0; i < a.size(); ++i) {
            if (!sameValue(a[i], b[i]))
                return false;
        }
        return true;
    }
    if (a.is_object()) {
        if (a.size() != b.size())
            return false;
        for (auto left = a.begin(), right = b.begin(); left != a.end(); ++left, ++right) {
            if (left.key() != right.key() || !sameValue(left.value(), right.value()))
                return false;
        }
        return true;
    }
    return a == b;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::string error;
    const auto ours = JsonParser::parse(text, &error);

    // nlohmann stops at a NUL byte as at the end of a C string; in JSON it is never valid.
    if (text.find('\0') != std::string_view::npos) {
        if (ours)
            fail("accepted a NUL byte", text, "");
        return 0;
    }
    Json reference = Json::parse(text.begin(), text.end(), nullptr, /*allow_exceptions=*/false);
    const bool referenceAccepts = !reference.is_discarded();

    if (nestingDepth(text) > JsonParser::kMaxDepth) {
        if (ours)
            fail("accepted nesting past the limit", text, "");
        return 0;
    }
    if (ours.has_value() != referenceAccepts)
        fail(ours ? "accepted what nlohmann refuses" : "refused what nlohmann accepts", text, error);
    if (!ours)
        return 0;
    json::normalizeNumbers(reference);
    if (!sameValue(*ours, reference))
        fail("values differ", text, JsonWriter::compact(*ours) + " vs " + JsonWriter::compact(reference));
    return 0;
}
