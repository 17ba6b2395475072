#include "catalog/TemplateRenderer.h"

#include "protocol/JsonWriter.h"

#include <algorithm>
#include <string_view>
#include <vector>

namespace {

constexpr std::string_view kOpen = "{{#if ";
constexpr std::string_view kClose = "{{/if}}";

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

bool TemplateRenderer::isTrue(const Json::object_t& values, std::string_view name)
{
    const auto entry = values.find(std::string(trimSpacesAndTabs(name)));
    if (entry == values.end())
        return false;
    const Json& value = entry->second;
    if (value.is_null() || (value.is_boolean() && !value.get<bool>()) || (value.is_number() && value.get<double>() == 0.0))
        return false;
    const std::string text = textOf(value);
    return !text.empty() && text != "nil" && text != "false" && text != "0" && text != "null";
}

bool TemplateRenderer::appendWithPlaceholders(std::string& out, std::string_view text, const Json::object_t& values)
{
    std::size_t from = 0;
    std::size_t open = text.find("{{");
    std::size_t close = 0;
    while (open != std::string_view::npos) {
        // A name never holds "{{": "{{{x}}" is "{" and the placeholder {{x}}. Each search goes
        // on from where the last one of its kind ended, so the scan stays linear.
        if (close < open + 2) {
            close = text.find("}}", open + 2);
            if (close == std::string_view::npos)
                break;
        }
        const std::size_t nextOpen = text.find("{{", open + 1);
        if (nextOpen != std::string_view::npos && nextOpen < close) {
            open = nextOpen;
            continue;
        }
        const auto entry = values.find(std::string(text.substr(open + 2, close - open - 2)));
        if (entry == values.end()) {
            open = text.find("{{", close);
            continue;
        }
        const std::string value = textOf(entry->second);
        if (out.size() + (open - from) + value.size() > kMaxRenderedBytes)
            return false;
        out.append(text, from, open - from);
        out.append(value);
        from = close + 2;
        open = text.find("{{", from);
    }
    if (out.size() + (text.size() - from) > kMaxRenderedBytes)
        return false;
    out.append(text, from, std::string_view::npos);
    return true;
}

std::optional<std::string> TemplateRenderer::render(const std::string& templateText, const Json::object_t& values)
{
    const std::string_view text = templateText;
    std::string out;
    out.reserve(std::min(text.size(), kMaxRenderedBytes));
    std::size_t from = 0;
    for (const Block& block : findBlocks(text)) {
        if (!appendWithPlaceholders(out, text.substr(from, block.begin - from), values))
            return std::nullopt;
        if (isTrue(values, block.name)
            && !appendWithPlaceholders(out, text.substr(block.bodyBegin, block.bodyEnd - block.bodyBegin), values))
            return std::nullopt;
        from = block.end;
    }
    if (!appendWithPlaceholders(out, text.substr(from), values))
        return std::nullopt;
    return out;
}
