#include "tools/filesystem/CopyFileTool.h"

#include "platform/processes/Log.h"

ZARNEL_LOGGING_CATEGORY(lcCopyFile, "CopyFileTool")

CopyFileTool::CopyFileTool(FileManager& files)
    : FileSystemTool(lcCopyFile(), files)
{
}

MCPTool CopyFileTool::definition() const
{
    return makeDefinition("copy_file", "Copy a file or directory.",
                          {{"source", "string", "Source path"}, {"destination", "string", "Destination path"}}, {"source", "destination"});
}

QCoro::Task<MCPToolCallResponse> CopyFileTool::execute(Arguments arguments, CancellationToken cancellation)
{
    Q_UNUSED(cancellation)
    co_return co_await transferItem(std::move(arguments), {"copy", "copied", "Failed to copy", false, &FileManager::copyItem});
}
