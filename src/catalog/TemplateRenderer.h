#pragma once

#include "protocol/AnyCodable.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

// Renders prompt templates: {{name}} placeholders and {{#if name}}…{{/if}} blocks, in one pass
// over the template. Text inserted for a placeholder (a file's contents, an argument) is never
// scanned again, so markers written in a file or a value are shown as they are written.
//
// Blocks are found in the template from left to right, without overlap and without nesting (the
// first "{{/if}}" closes a block). A block's body stays when its condition names an entry whose
// value is not absent, where false, 0, null, "" and the texts "nil", "false", "0" and "null" all
// count as absent (prompt arguments usually arrive as strings); otherwise the block goes,
// leaving the line feeds around it. Placeholders whose name has no entry stay as written.
//
// Rendering runs in time linear in the template and the inserted text. It gives nothing once
// the text would pass kMaxRenderedBytes, which leaves room for the largest file contents the
// catalogue inserts.
class TemplateRenderer {
public:
    static constexpr std::size_t kMaxRenderedBytes = std::size_t{256} * 1024 * 1024;

    static std::optional<std::string> render(const std::string& templateText, const Json::object_t& values);

    // The text of a value: strings as they are, integers in decimal, doubles in the shortest
    // form that reads back with a fractional part ("1.0", "2.5"), booleans "true"/"false",
    // arrays, objects and null as compact JSON.
    static std::string textOf(const Json& value);

private:
    static bool appendWithPlaceholders(std::string& out, std::string_view text, const Json::object_t& values);
    static bool isTrue(const Json::object_t& values, std::string_view name);
};
