#pragma once

#include "tools/filesystem/FileSystemTool.h"

#include <QRegularExpression>
#include <QStringList>

#include <optional>
#include <set>
#include <string>

// search_files: paths whose names match a wildcard pattern ("*", "?"; a dot is literal; any
// other regular-expression syntax keeps its meaning), walking directories depth first. Each
// directory is searched once per call, however many links lead to it.
class SearchFilesTool final : public FileSystemTool {
public:
    explicit SearchFilesTool(FileManager& files);

    MCPTool definition() const override;
    QCoro::Task<MCPToolCallResponse> execute(Arguments arguments, CancellationToken cancellation) override;

    // The regular expression a pattern stands for, anchored at both ends.
    static QString matcherPattern(const QString& pattern);
    // Whether a pattern uses nothing but literal characters, "*" and "?".
    static bool isPlainWildcard(const QString& pattern);
    // Whether `name` matches such a pattern, in time bounded by the product of their lengths
    // without the regular-expression engine's backtracking limit.
    static bool matchesWildcard(const std::u32string& pattern, const std::u32string& name);

private:
    struct Search {
        std::optional<std::u32string> wildcard; // for plain wildcard patterns, instead of the expression
        QRegularExpression matcher;
        bool tooComplex = false; // the expression engine gave up on a name
        bool recursive = true;
        qint64 maxResults = 100;
        CancellationToken cancellation;
        // Every directory searched so far: a tree of links to "/" or a "diamond" of links (each
        // level linking twice to the next) would otherwise be walked for ever.
        std::set<FileIdentity> searched;
        QStringList results;
        // Reported as progress now and then: what the walk has seen.
        qint64 directoriesVisited = 0;
        qint64 filesVisited = 0;
        ProgressPace pace = {};
    };
    MCPToolCallResponse search(const QString& pattern, const FilePath& directory, bool recursive, qint64 maxResults,
                               const CancellationToken& cancellation) const;
    void searchDirectory(const FilePath& directory, Search& search) const;
    static bool matches(const QString& name, Search& search);
};
