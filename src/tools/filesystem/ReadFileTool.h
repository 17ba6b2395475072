#pragma once

#include "tools/filesystem/FileSystemTool.h"
#include "tools/filesystem/TextEncoding.h"

// read_file: a file's text, or its Base64 when the bytes are not UTF-8 (and no other encoding
// was asked for).
class ReadFileTool final : public FileSystemTool {
public:
    explicit ReadFileTool(FileManager& files);

    MCPTool definition() const override;
    QCoro::Task<MCPToolCallResponse> execute(Arguments arguments, CancellationToken cancellation) override;

private:
    MCPToolCallResponse read(const FilePath& path, TextEncoding encoding, const CancellationToken& cancellation) const;
};
