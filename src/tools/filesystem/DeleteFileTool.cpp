#include "tools/filesystem/DeleteFileTool.h"

#include "platform/processes/Log.h"

ZARNEL_LOGGING_CATEGORY(lcDeleteFile, "DeleteFileTool")

DeleteFileTool::DeleteFileTool(FileManager& files)
    : FileSystemTool(lcDeleteFile(), files)
{
}

MCPTool DeleteFileTool::definition() const
{
    return makeDefinition(
        "delete_file", "Delete a file or directory. For directories, can optionally delete recursively.",
        {{"path", "string", "Path to delete"}, {"recursive", "boolean", "Delete directories recursively (default: false)"}}, {"path"});
}

QCoro::Task<MCPToolCallResponse> DeleteFileTool::execute(Arguments arguments, CancellationToken cancellation)
{
    Q_UNUSED(cancellation)
    const auto path = getStringArgument(arguments, "path", true);
    if (path.failed())
        co_return errorResult(path.errorText());
    if (containsNul(*path))
        co_return nulPathResult();
    const bool recursive = getBoolArgument(arguments, "recursive", false);
    const FilePath target = resolvePath(*path);
    if (auto refused = refuseDotName(target, "delete", "folder"))
        co_return std::move(*refused);
    QCoro::Task<MCPToolCallResponse> work = inBackground([this, target, recursive] {
        // A dangling link is still there to be deleted.
        if (!files().itemExists(target))
            return errorResult(QStringLiteral("Path not found: ") + target.text());
        const auto removed = files().removeItem(target, recursive);
        if (!removed.ok())
            return failure("Failed to delete", removed.error());
        return successResult(QStringLiteral("Successfully deleted: ") + target.text());
    });
    co_return co_await work;
}
