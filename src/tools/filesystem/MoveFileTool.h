#pragma once

#include "tools/filesystem/FileSystemTool.h"

// move_file: moves or renames an item; never replaces one.
class MoveFileTool final : public FileSystemTool {
public:
    explicit MoveFileTool(FileManager& files);

    MCPTool definition() const override;
    QCoro::Task<MCPToolCallResponse> execute(Arguments arguments, CancellationToken cancellation) override;
};
