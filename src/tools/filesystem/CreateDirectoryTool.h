#pragma once

#include "tools/filesystem/FileSystemTool.h"

// create_directory: makes a directory, by default with its missing parents.
class CreateDirectoryTool final : public FileSystemTool {
public:
    explicit CreateDirectoryTool(FileManager& files);

    MCPTool definition() const override;
    QCoro::Task<MCPToolCallResponse> execute(Arguments arguments, CancellationToken cancellation) override;
};
