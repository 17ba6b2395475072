#pragma once

#include "platform/files/FolderConfinement.h"
#include "tools/MCPToolProtocol.h"
#include "tools/ToolError.h"

#include <QLoggingCategory>
#include <QString>

#include <initializer_list>
#include <optional>
#include <utility>

// A string argument: the value, nothing (optional and absent), or the failure of a required one.
class StringArgument {
public:
    StringArgument(std::optional<QString> value)
        : m_value(std::move(value))
    {
    }
    StringArgument(ToolError error)
        : m_error(std::move(error))
    {
    }

    bool failed() const { return m_error.has_value(); }
    QString errorText() const { return m_error ? m_error->description() : QString(); }
    bool hasValue() const { return m_value.has_value(); }
    const QString& operator*() const { return *m_value; }
    const QString* operator->() const { return &*m_value; }
    const std::optional<QString>& value() const { return m_value; }

private:
    std::optional<QString> m_value;
    std::optional<ToolError> m_error;
};

// The common base of the built-in tools: a logger named after the tool's class, the argument
// accessors and the two result shorthands. Assistants write numbers and booleans in whatever form
// the schema they were shown suggests: the integer accessor also takes an integral number ("5.0")
// and a string of decimal digits, the boolean one the strings "true" and "false".
class BaseTool : public MCPToolProtocol {
public:
    explicit BaseTool(const QLoggingCategory& logger)
        : m_logger(logger)
    {
    }

    const QLoggingCategory& logger() const { return m_logger; }

    // The string at `key`; a missing key or a value of another kind is absent, or the failure
    // "Missing required argument: <key>" when `required`.
    static StringArgument getStringArgument(const Arguments& arguments, const std::string& key, bool required);
    static bool getBoolArgument(const Arguments& arguments, const std::string& key, bool fallback);
    static std::optional<qint64> getIntArgument(const Arguments& arguments, const std::string& key, std::optional<qint64> fallback);
    // The integer a value stands for in any of the forms getIntArgument takes; none otherwise.
    static std::optional<qint64> integerValue(const Json& value);

    static MCPToolCallResponse successResult(const QString& text);
    static MCPToolCallResponse errorResult(const QString& message);

    // A path the system would read only up to a NUL character names something else: every tool
    // refuses such a path argument with nulPathResult() before anything is done.
    static bool containsNul(const QString& path) { return path.contains(QChar(u'\0')); }
    static MCPToolCallResponse nulPathResult();

    // The refusal of a path another program will use (a screenshot's file, a command's working
    // directory), or nothing when the confinement (if any) lets it be used that way.
    static std::optional<MCPToolCallResponse> confinementRefusal(const FolderConfinement* confinement, const QString& path,
                                                                 FolderConfinement::Access access);

    // A descriptor in the shape every built-in tool uses: type "object", the properties, the
    // required list (written even when empty) and additionalProperties false.
    struct Property {
        std::string name;
        std::string type;
        std::string description;
        std::optional<std::vector<std::string>> enumValues = std::nullopt;
        std::optional<std::int64_t> minimum = std::nullopt;
    };
    static MCPTool makeDefinition(std::string name, std::string description, std::initializer_list<Property> properties,
                                  std::vector<std::string> required);

private:
    const QLoggingCategory& m_logger;
};
