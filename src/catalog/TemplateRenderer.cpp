#include "catalog/TemplateRenderer.h"

#include "protocol/JsonWriter.h"

#include <algorithm>
#include <string_view>
#include <vector>

namespace {

constexpr std::string_view kOpen = "{{#if ";
constexpr std::string_view kClose = "{{/if}}";

// Replaces every occurrence of `needle` in `text`, scanning left to right once. False, with
// `text` unchanged and nothing allocated, when the result would be longer than `limit`.
bool replaceAll(std::string& text, std::string_view needle, std::string_view replacement, std::size_t limit)
{
    std::size_t found = text.find(needle);
    if (found == std::string::npos)
        return true;
    std::size_t occurrences = 0;
    for (std::size_t at = found; at != std::string::npos; at = text.find(needle, at + needle.size()))
        ++occurrences;
    const std::size_t kept = text.size() - occurrences * needle.size();
    if (replacement.size() > 0 && occurrences > (limit - std::min(kept, limit)) / replacement.size())
        return false;
    if (kept > limit)
        return false;
    std::string out;
    out.reserve(kept + occurrences * replacement.size());
    std::size_t from = 0;
    while (found != std::string::npos) {
        out.append(text, from, found - from);
        out.append(replacement);
        from = found + needle.size();
        found = text.find(needle, from);
    }
    out.append(text, from, std::string::npos);
    text = std::move(out);
    return true;
}

std::string_view trimSpacesAndTabs(std::string_view text)
{
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return {};
    const auto last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

struct Block {
    std::size_t begin;     // the "{{#if "
    std::size_t end;       // one past the "{{/if}}"
    std::string_view name; // untrimmed
    std::size_t bodyBegin;
    std::size_t bodyEnd;
};

// The blocks of `text`, as the pattern \{\{#if ([^}]+)\}\}(.*?)\{\{/if\}\} with dot-all would
// find them left to right. A failed candidate's name runs to the first "}" after it, and every
// candidate before that "}" runs to the same one and fails alike, so the search resumes past it:
// the scan never goes back, and a text full of unterminated markers costs one pass.
std::vector<Block> findBlocks(std::string_view text)
{
    std::vector<Block> blocks;
    std::size_t from = 0;
    for (;;) {
        const std::size_t open = text.find(kOpen, from);
        if (open == std::string_view::npos)
            break;
        const std::size_t nameBegin = open + kOpen.size();
        const std::size_t brace = text.find('}', nameBegin);
        if (brace == std::string_view::npos)
            break; // no "}" left: no later block can close its name either
        if (brace == nameBegin || brace + 1 >= text.size() || text[brace + 1] != '}') {
            from = brace == nameBegin ? open + 1 : brace + 1;
            continue;
        }
        const std::size_t bodyBegin = brace + 2;
        const std::size_t close = text.find(kClose, bodyBegin);
        if (close == std::string_view::npos)
            break; // nothing after here is closed
        blocks.push_back({open, close + kClose.size(), text.substr(nameBegin, brace - nameBegin), bodyBegin, close});
        from = close + kClose.size();
    }
    return blocks;
}

} // namespace

std::string TemplateRenderer::textOf(const Json& value)
{
    if (value.is_string())
        return value.get<std::string>();
    if (value.is_boolean())
        return value.get<bool>() ? "true" : "false";
    if (value.is_number_float()) {
        std::string out;
        JsonWriter::appendDouble(out, value.get<double>());
        return out;
    }
    return JsonWriter::compact(value);
}

std::optional<std::string> TemplateRenderer::replacePlaceholders(std::string text, const Json::object_t& values)
{
    for (const auto& [key, value] : values) {
        if (!replaceAll(text, "{{" + key + "}}", textOf(value), kMaxRenderedBytes))
            return std::nullopt;
    }
    return text;
}

std::string TemplateRenderer::applyBlocks(const std::string& text, const Json::object_t& values)
{
    const std::vector<Block> blocks = findBlocks(text);
    if (blocks.empty())
        return text;
    // Each block is replaced where it was found, in one pass over the text.
    std::string out;
    out.reserve(text.size());
    std::size_t from = 0;
    for (const Block& block : blocks) {
        out.append(text, from, block.begin - from);
        const auto entry = values.find(std::string(trimSpacesAndTabs(block.name)));
        bool kept = false;
        if (entry != values.end()) {
            const std::string condition = textOf(entry->second);
            kept = !condition.empty() && condition != "nil";
        }
        if (kept)
            out.append(text, block.bodyBegin, block.bodyEnd - block.bodyBegin);
        from = block.end;
    }
    out.append(text, from, std::string::npos);
    return out;
}

std::optional<std::string> TemplateRenderer::render(const std::string& templateText, const Json::object_t& values)
{
    // The blocks only ever take text away.
    const auto replaced = replacePlaceholders(templateText, values);
    if (!replaced)
        return std::nullopt;
    return applyBlocks(*replaced, values);
}
