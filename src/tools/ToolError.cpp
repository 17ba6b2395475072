#include "tools/ToolError.h"

QString ToolError::description() const
{
    switch (m_kind) {
    case Kind::MissingArgument: return QStringLiteral("Missing required argument: ") + m_subject;
    case Kind::InvalidArgument: return QStringLiteral("Invalid argument '") + m_subject + QStringLiteral("': ") + m_reason;
    case Kind::ExecutionFailed: return QStringLiteral("Execution failed: ") + m_subject;
    case Kind::NotFound: return QStringLiteral("Not found: ") + m_subject;
    case Kind::PermissionDenied: return QStringLiteral("Permission denied");
    }
    return {};
}
