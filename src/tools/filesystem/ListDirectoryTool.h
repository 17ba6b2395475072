#pragma once

#include "tools/filesystem/FileSystemTool.h"

// list_directory: one line per entry with its icon, size and modification time; optionally
// the whole tree, depth first.
class ListDirectoryTool final : public FileSystemTool {
public:
    explicit ListDirectoryTool(FileManager& files);

    MCPTool definition() const override;
    QCoro::Task<MCPToolCallResponse> execute(Arguments arguments, CancellationToken cancellation) override;

private:
    FileResult<void> listContents(const FilePath& directory, bool recursive, bool includeHidden, const QString& indent, QString& output,
                                  const CancellationToken& cancellation) const;
};
