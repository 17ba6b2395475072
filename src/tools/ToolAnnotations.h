#pragma once

#include <string>
#include <string_view>

// What a client may show and assume about a tool before calling it: a human title and the
// behaviour hints of the protocol. One table, in ToolAnnotations.cpp, covers every built-in tool;
// a tool not in it (a test's) has no annotations. The confirmation gate asks before a tool that
// is destructive or reaches outside the machine (needsConfirmation).
struct ToolAnnotations {
    std::string_view name;
    std::string_view title;
    bool readOnly = false;
    bool destructive = true;
    bool idempotent = false;
    bool openWorld = true;

    bool needsConfirmation() const { return !readOnly && (destructive || openWorld); }

    // The row of the named tool, or nullptr.
    static const ToolAnnotations* find(std::string_view toolName);
};
