#pragma once

#include "tools/filesystem/FileSystemTool.h"

#include <QRegularExpression>
#include <QStringList>

#include <set>

// search_files: paths whose names match a wildcard pattern ("*", "?"; a dot is literal; any
// other regular-expression syntax keeps its meaning), walking directories depth first.
class SearchFilesTool final : public FileSystemTool {
public:
    explicit SearchFilesTool(FileManager& files);

    MCPTool definition() const override;
    QCoro::Task<MCPToolCallResponse> execute(Arguments arguments, CancellationToken cancellation) override;

    // The regular expression a pattern stands for, anchored at both ends.
    static QString matcherPattern(const QString& pattern);

private:
    struct Search {
        QRegularExpression matcher;
        bool recursive = true;
        qint64 maxResults = 100;
        CancellationToken cancellation;
        // The directories from the start down to the one being walked, so that a cycle of
        // symbolic links ends; a directory reached again by another way is walked again.
        std::set<FileIdentity> walking;
        QStringList results;
    };
    MCPToolCallResponse search(const QString& pattern, const FilePath& directory, bool recursive, qint64 maxResults,
                               const CancellationToken& cancellation) const;
    void searchDirectory(const FilePath& directory, Search& search) const;
};
