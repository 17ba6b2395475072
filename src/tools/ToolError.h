#pragma once

#include <QString>

// A failure inside a tool, with the text the client sees.
class ToolError {
public:
    enum class Kind { MissingArgument, InvalidArgument, ExecutionFailed, NotFound, PermissionDenied };

    static ToolError missingArgument(const QString& name) { return {Kind::MissingArgument, name, {}}; }
    static ToolError invalidArgument(const QString& name, const QString& reason) { return {Kind::InvalidArgument, name, reason}; }
    static ToolError executionFailed(const QString& message) { return {Kind::ExecutionFailed, message, {}}; }
    static ToolError notFound(const QString& what) { return {Kind::NotFound, what, {}}; }
    static ToolError permissionDenied() { return {Kind::PermissionDenied, {}, {}}; }

    Kind kind() const { return m_kind; }
    QString description() const;

private:
    ToolError(Kind kind, QString subject, QString reason)
        : m_kind(kind)
        , m_subject(std::move(subject))
        , m_reason(std::move(reason))
    {
    }

    Kind m_kind;
    QString m_subject;
    QString m_reason;
};
