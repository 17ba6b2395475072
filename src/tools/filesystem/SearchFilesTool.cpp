#include "tools/filesystem/SearchFilesTool.h"

#include "platform/processes/Log.h"

#include <algorithm>

ZARNEL_LOGGING_CATEGORY(lcSearchFiles, "SearchFilesTool")

SearchFilesTool::SearchFilesTool(FileManager& files)
    : FileSystemTool(lcSearchFiles(), files)
{
}

MCPTool SearchFilesTool::definition() const
{
    return makeDefinition("search_files", "Search for files by name pattern. Supports wildcards (* and ?).",
                          {{"pattern", "string", "Search pattern (supports * and ?)"},
                           {"directory", "string", "Directory to search in (default: current)"},
                           {"recursive", "boolean", "Search recursively (default: true)"},
                           {"max_results", "integer", "Maximum number of results (default: 100)", std::nullopt, 0}},
                          {"pattern"});
}

QString SearchFilesTool::matcherPattern(const QString& pattern)
{
    // A run of wildcards ("*?**") means any text of at least as many characters as it has
    // question marks. Converted one by one (".*..*.*") it makes the matcher try every way of
    // sharing a name between them: a dozen stars exhaust its backtracking limit on a long name,
    // which is then reported as not matching. So a run becomes one "." per question mark and
    // at most one ".*", its last wildcard still last so that a quantifier after the run ("*?{2}")
    // applies to what it applied to. A wildcard escaped with a backslash stands alone, as before.
    QString expression = QStringLiteral("^");
    int backslashes = 0;
    int runQuestionMarks = 0;
    bool runHasStar = false;
    bool runEndsWithQuestionMark = false;
    const auto endRun = [&] {
        const bool lastApart = runHasStar && runEndsWithQuestionMark;
        expression += QStringLiteral(".").repeated(runQuestionMarks - (lastApart ? 1 : 0));
        if (runHasStar)
            expression += QStringLiteral(".*");
        if (lastApart)
            expression += QLatin1Char('.');
        runQuestionMarks = 0;
        runHasStar = false;
    };
    for (const QChar c : pattern) {
        const bool wildcard = c == u'*' || c == u'?';
        if (wildcard && backslashes % 2 == 0) {
            if (c == u'*')
                runHasStar = true;
            else
                ++runQuestionMarks;
            runEndsWithQuestionMark = c == u'?';
        } else {
            endRun();
            if (c == u'*')
                expression += QStringLiteral(".*");
            else if (c == u'?')
                expression += QLatin1Char('.');
            else if (c == u'.')
                expression += QStringLiteral("\\.");
            else
                expression += c;
        }
        backslashes = c == u'\\' ? backslashes + 1 : 0;
    }
    endRun();
    return expression + QLatin1Char('$');
}

bool SearchFilesTool::isPlainWildcard(const QString& pattern)
{
    static const QString kExpressionSyntax = QStringLiteral("\\[](){}+|^$");
    return std::none_of(pattern.begin(), pattern.end(), [](QChar c) { return kExpressionSyntax.contains(c); });
}

bool SearchFilesTool::matchesWildcard(const std::u32string& pattern, const std::u32string& name)
{
    // Greedy, remembering only the last star: when a later part fails, that star takes one more
    // character and the rest is tried again. Earlier stars never need to be revisited.
    std::size_t p = 0;
    std::size_t n = 0;
    std::size_t star = std::u32string::npos;
    std::size_t starName = 0;
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == U'?' || pattern[p] == name[n])) {
            ++p;
            ++n;
        } else if (p < pattern.size() && pattern[p] == U'*') {
            star = p++;
            starName = n;
        } else if (star != std::u32string::npos) {
            p = star + 1;
            n = ++starName;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == U'*')
        ++p;
    return p == pattern.size();
}

bool SearchFilesTool::matches(const QString& name, Search& search)
{
    if (search.wildcard)
        return matchesWildcard(*search.wildcard, name.toStdU32String());
    const QRegularExpressionMatch match = search.matcher.match(name);
    // A match that is not valid for a valid expression is the engine giving up.
    if (!match.isValid())
        search.tooComplex = true;
    return match.hasMatch();
}

QCoro::Task<MCPToolCallResponse> SearchFilesTool::execute(Arguments arguments, CancellationToken cancellation)
{
    const auto pattern = getStringArgument(arguments, "pattern", true);
    if (pattern.failed())
        co_return errorResult(pattern.errorText());
    const auto directory = getStringArgument(arguments, "directory", false);
    if (directory.hasValue() && containsNul(*directory))
        co_return nulPathResult();
    const bool recursive = getBoolArgument(arguments, "recursive", true);
    const qint64 maxResults = getIntArgument(arguments, "max_results", 100).value_or(100);
    QCoro::Task<MCPToolCallResponse> work =
        inBackground([this, text = *pattern, root = resolvePath(directory.value().value_or(QStringLiteral("."))), recursive, maxResults,
                      cancellation] { return search(text, root, recursive, maxResults, cancellation); });
    co_return co_await work;
}

MCPToolCallResponse SearchFilesTool::search(const QString& pattern, const FilePath& directory, bool recursive, qint64 maxResults,
                                            const CancellationToken& cancellation) const
{
    Search search;
    search.recursive = recursive;
    search.maxResults = maxResults;
    search.cancellation = cancellation;
    if (isPlainWildcard(pattern)) {
        search.wildcard = pattern.toStdU32String();
    } else {
        search.matcher = QRegularExpression(matcherPattern(pattern), QRegularExpression::UseUnicodePropertiesOption);
        search.matcher.optimize();
    }
    // An invalid expression matches nothing, so there is nothing to walk for.
    if (search.wildcard || search.matcher.isValid())
        searchDirectory(directory, search);
    if (search.tooComplex)
        return errorResult(QStringLiteral("Pattern too complex: the matcher gave up on some names; use fewer wildcards or "
                                          "simpler expressions"));
    if (search.results.isEmpty())
        return successResult(QStringLiteral("No files found matching pattern: ") + pattern);
    return successResult(QStringLiteral("Found %1 file(s) matching '%2':\n\n").arg(search.results.size()).arg(pattern)
                         + search.results.join(QLatin1Char('\n')));
}

void SearchFilesTool::searchDirectory(const FilePath& directory, Search& search) const
{
    if (search.results.size() >= search.maxResults || search.cancellation.isCancelled())
        return;
    // Directories that cannot be listed are skipped without a word.
    const auto listing = files().listDirectory(directory, FileManager::ListingDetail::Types);
    if (!listing.ok())
        return;
    if (!search.searched.insert(listing.value().identity).second)
        return;
    ++search.directoriesVisited;
    search.filesVisited += static_cast<qint64>(listing.value().entries.size());
    if (search.pace.due()) {
        search.cancellation.reportProgress(
            static_cast<double>(search.filesVisited), std::numeric_limits<double>::quiet_NaN(),
            QStringLiteral("%1 directories and %2 entries visited").arg(search.directoriesVisited).arg(search.filesVisited));
    }
    for (const DirectoryEntry& entry : listing.value().entries) {
        if (search.cancellation.isCancelled())
            return;
        if (matches(entry.name(), search))
            search.results.append(displayName(directory.child(entry.nativeName).text()));
        if (search.recursive && entry.leadsToDirectory)
            searchDirectory(directory.child(entry.nativeName), search);
        if (search.results.size() >= search.maxResults)
            break;
    }
}
