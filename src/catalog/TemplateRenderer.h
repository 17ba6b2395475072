#pragma once

#include "protocol/AnyCodable.h"

#include <cstddef>
#include <optional>
#include <string>

// Renders prompt templates: {{name}} placeholders, then {{#if name}}…{{/if}} blocks.
//
// Phase 1 replaces every "{{key}}" literally with the value's text, entry by entry; names without
// an entry stay as written. Phase 2 finds the blocks in the phase-1 text from left to right,
// without overlap and without nesting (the first "{{/if}}" closes a block), and keeps a block's
// body when its condition names an entry whose text is neither empty nor "nil"; otherwise the
// block goes, leaving the line feeds around it. Block markers that arrived with inserted values
// take part like any others.
//
// Both phases run in time linear in the text (plus one pass per entry in phase 1), whatever
// the text holds: templates carry file contents chosen by the client.
//
// Because inserted values take part in later replacements, values that insert each other's
// placeholders double the text with every entry (forty small values would ask for a terabyte).
// Rendering gives nothing once the text would pass kMaxRenderedBytes, which leaves room for
// the largest file contents the catalogue inserts.
class TemplateRenderer {
public:
    static constexpr std::size_t kMaxRenderedBytes = std::size_t{256} * 1024 * 1024;

    static std::optional<std::string> render(const std::string& templateText, const Json::object_t& values);

    // The text of a value: strings as they are, integers in decimal, doubles in the shortest
    // form that reads back with a fractional part ("1.0", "2.5"), booleans "true"/"false",
    // arrays, objects and null as compact JSON.
    static std::string textOf(const Json& value);

private:
    static std::optional<std::string> replacePlaceholders(std::string text, const Json::object_t& values);
    static std::string applyBlocks(const std::string& text, const Json::object_t& values);
};
