#pragma once

#include "tools/filesystem/FileSystemTool.h"
#include "tools/filesystem/TextEncoding.h"

// write_file: replaces a file, atomically, with text or with decoded Base64 bytes.
class WriteFileTool final : public FileSystemTool {
public:
    explicit WriteFileTool(FileManager& files);

    MCPTool definition() const override;
    QCoro::Task<MCPToolCallResponse> execute(Arguments arguments, CancellationToken cancellation) override;

private:
    MCPToolCallResponse write(const FilePath& path, const QString& content, bool base64, TextEncoding encoding) const;
};
