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
    struct Listing {
        bool recursive = false;
        bool includeHidden = false;
        CancellationToken cancellation;
        QString output;
        // Reported as progress now and then: the lines written so far.
        qint64 entriesListed = 0;
        ProgressPace pace = {};
    };
    FileResult<void> listContents(const FilePath& directory, const QString& indent, Listing& listing) const;
};
