#include "tools/filesystem/MoveFileTool.h"

#include "platform/processes/Log.h"

ZARNEL_LOGGING_CATEGORY(lcMoveFile, "MoveFileTool")

MoveFileTool::MoveFileTool(FileManager& files)
    : FileSystemTool(lcMoveFile(), files)
{
}

MCPTool MoveFileTool::definition() const
{
    return makeDefinition("move_file", "Move or rename a file or directory.",
                          {{"source", "string", "Source path"}, {"destination", "string", "Destination path"}}, {"source", "destination"});
}

QCoro::Task<MCPToolCallResponse> MoveFileTool::execute(Arguments arguments, CancellationToken cancellation)
{
    Q_UNUSED(cancellation)
    co_return co_await transferItem(std::move(arguments), {"move", "moved", "Failed to move", true, &FileManager::moveItem});
}
