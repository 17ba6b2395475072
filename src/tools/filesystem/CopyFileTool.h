#pragma once

#include "tools/filesystem/FileSystemTool.h"

// copy_file: copies an item, directories with their contents; never replaces one.
class CopyFileTool final : public FileSystemTool {
public:
    explicit CopyFileTool(FileManager& files);

    MCPTool definition() const override;
    QCoro::Task<MCPToolCallResponse> execute(Arguments arguments, CancellationToken cancellation) override;
};
