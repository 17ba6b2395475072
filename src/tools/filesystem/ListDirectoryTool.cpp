#include "tools/filesystem/ListDirectoryTool.h"

#include "platform/ByteCountFormatter.h"
#include "platform/Log.h"

#include <algorithm>

ZARNEL_LOGGING_CATEGORY(lcListDirectory, "ListDirectoryTool")

ListDirectoryTool::ListDirectoryTool(FileManager& files)
    : FileSystemTool(lcListDirectory(), files)
{
}

MCPTool ListDirectoryTool::definition() const
{
    return makeDefinition("list_directory", "List contents of a directory with detailed information (name, size, type, modified date).",
                          {{"path", "string", "Directory path (default: current directory)"},
                           {"recursive", "boolean", "List subdirectories recursively"},
                           {"include_hidden", "boolean", "Include hidden files (starting with .)"}},
                          {});
}

QCoro::Task<MCPToolCallResponse> ListDirectoryTool::execute(Arguments arguments, CancellationToken cancellation)
{
    const auto path = getStringArgument(arguments, "path", false);
    const bool recursive = getBoolArgument(arguments, "recursive", false);
    const bool includeHidden = getBoolArgument(arguments, "include_hidden", false);
    if (path.hasValue() && containsNul(*path))
        co_return nulPathResult();
    const FilePath directory = resolvePath(path.value().value_or(QStringLiteral(".")));
    QCoro::Task<MCPToolCallResponse> work = inBackground([this, directory, recursive, includeHidden, cancellation]() {
        if (!files().exists(directory))
            return errorResult(QStringLiteral("Directory not found: ") + directory.text());
        QString output = QStringLiteral("Contents of ") + directory.text() + QStringLiteral(":\n\n");
        const auto listed = listContents(directory, recursive, includeHidden, QString(), output, cancellation);
        if (!listed.ok())
            return failure("Failed to list directory", listed.error());
        return successResult(output);
    });
    co_return co_await work;
}

FileResult<void> ListDirectoryTool::listContents(const FilePath& directory, bool recursive, bool includeHidden, const QString& indent,
                                                 QString& output, const CancellationToken& cancellation) const
{
    if (cancellation.isCancelled())
        return FileError{QStringLiteral("Operation canceled")};
    auto listing = files().listDirectory(directory, FileManager::ListingDetail::Attributes);
    if (!listing.ok())
        return listing.error();
    auto& entries = listing.value().entries;
    // Byte order of UTF-8 is code-point order: "Zeta" before "alpha".
    std::sort(entries.begin(), entries.end(), [](const DirectoryEntry& a, const DirectoryEntry& b) { return a.nativeName < b.nativeName; });

    const QString childIndent = indent + QStringLiteral("  ");
    for (const DirectoryEntry& entry : entries) {
        if (!includeHidden && entry.isHidden())
            continue;
        const bool isDirectory = entry.type == DirectoryEntry::Type::Directory;
        output += indent;
        output += isDirectory ? QStringLiteral("📁 ") : QStringLiteral("📄 ");
        output += displayName(entry.name());
        if (!isDirectory)
            output += QStringLiteral(" (") + ByteCountFormatter::fileSize(entry.size) + QLatin1Char(')');
        output += QStringLiteral(" - ");
        output += entry.modified.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        output += QLatin1Char('\n');
        // A link to a directory is not followed: its own type is the link's.
        // A subdirectory that cannot be read is marked in its place; the rest is still listed.
        if (recursive && isDirectory) {
            const auto listed =
                listContents(directory.child(entry.nativeName), recursive, includeHidden, childIndent, output, cancellation);
            if (!listed.ok()) {
                if (cancellation.isCancelled())
                    return listed;
                output += childIndent + QStringLiteral("(not listed: ") + listed.error().description + QStringLiteral(")\n");
            }
        }
    }
    return {};
}
