#include "tools/filesystem/CreateDirectoryTool.h"

#include "platform/processes/Log.h"

ZARNEL_LOGGING_CATEGORY(lcCreateDirectory, "CreateDirectoryTool")

CreateDirectoryTool::CreateDirectoryTool(FileManager& files)
    : FileSystemTool(lcCreateDirectory(), files)
{
}

MCPTool CreateDirectoryTool::definition() const
{
    return makeDefinition("create_directory", "Create a new directory. Can create intermediate directories if needed.",
                          {{"path", "string", "Directory path to create"},
                           {"create_intermediate", "boolean", "Create intermediate directories (default: true)"}},
                          {"path"});
}

QCoro::Task<MCPToolCallResponse> CreateDirectoryTool::execute(Arguments arguments, CancellationToken cancellation)
{
    Q_UNUSED(cancellation)
    const auto path = getStringArgument(arguments, "path", true);
    if (path.failed())
        co_return errorResult(path.errorText());
    if (containsNul(*path))
        co_return nulPathResult();
    const bool intermediates = getBoolArgument(arguments, "create_intermediate", true);
    const FilePath directory = resolvePath(*path);
    if (auto refused = refuseDotName(directory, "create", "folder"))
        co_return std::move(*refused);
    QCoro::Task<MCPToolCallResponse> work = inBackground([this, directory, intermediates] {
        const auto created = files().createDirectory(directory, intermediates);
        if (!created.ok())
            return failure("Failed to create directory", created.error());
        return successResult(QStringLiteral("Successfully created directory: ") + directory.text());
    });
    co_return co_await work;
}
