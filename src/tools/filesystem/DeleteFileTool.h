#pragma once

#include "tools/filesystem/FileSystemTool.h"

// delete_file: removes a file, a link or a whole directory tree.
class DeleteFileTool final : public FileSystemTool {
public:
    explicit DeleteFileTool(FileManager& files);

    MCPTool definition() const override;
    QCoro::Task<MCPToolCallResponse> execute(Arguments arguments, CancellationToken cancellation) override;
};
