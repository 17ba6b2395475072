#include "tools/filesystem/ListDirectoryTool.h"

#include "platform/files/ByteCountFormatter.h"
#include "platform/processes/Log.h"

#include <algorithm>
#include <limits>

ZARNEL_LOGGING_CATEGORY(lcListDirectory, "ListDirectoryTool")

namespace {

// "1 entry listed", "12 entries listed", or with the total known "12 of 40 entries listed".
QString listedText(qint64 listed, qint64 total)
{
    if (total >= 0)
        return QStringLiteral("%1 of %2 entries listed").arg(listed).arg(total);
    return listed == 1 ? QStringLiteral("1 entry listed") : QStringLiteral("%1 entries listed").arg(listed);
}

} // namespace

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
        Listing listing{recursive, includeHidden, cancellation,
                        QStringLiteral("Contents of ") + directory.text() + QStringLiteral(":\n\n")};
        const auto listed = listContents(directory, QString(), listing);
        if (!listed.ok())
            return failure("Failed to list directory", listed.error());
        return successResult(listing.output);
    });
    co_return co_await work;
}

FileResult<void> ListDirectoryTool::listContents(const FilePath& directory, const QString& indent, Listing& listing) const
{
    if (listing.cancellation.isCancelled())
        return FileError{QStringLiteral("Operation canceled")};
    auto read = files().listDirectory(directory, FileManager::ListingDetail::Attributes);
    if (!read.ok())
        return read.error();
    auto& entries = read.value().entries;
    // Byte order of UTF-8 is code-point order: "Zeta" before "alpha".
    std::sort(entries.begin(), entries.end(), [](const DirectoryEntry& a, const DirectoryEntry& b) { return a.nativeName < b.nativeName; });
    // Only the one folder of a listing that is not recursive gives the count of all its lines.
    const qint64 total = listing.recursive ? -1 : std::count_if(entries.begin(), entries.end(), [&](const DirectoryEntry& entry) {
        return listing.includeHidden || !entry.isHidden();
    });

    QString& output = listing.output;
    const QString childIndent = indent + QStringLiteral("  ");
    for (const DirectoryEntry& entry : entries) {
        if (!listing.includeHidden && entry.isHidden())
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
        ++listing.entriesListed;
        if (listing.pace.due())
            listing.cancellation.reportProgress(static_cast<double>(listing.entriesListed),
                                                total < 0 ? std::numeric_limits<double>::quiet_NaN() : static_cast<double>(total),
                                                listedText(listing.entriesListed, total));
        // A link to a directory is not followed: its own type is the link's.
        // A subdirectory that cannot be read is marked in its place; the rest is still listed.
        if (listing.recursive && isDirectory) {
            const auto listed = listContents(directory.child(entry.nativeName), childIndent, listing);
            if (!listed.ok()) {
                if (listing.cancellation.isCancelled())
                    return listed;
                output += childIndent + QStringLiteral("(not listed: ") + listed.error().description + QStringLiteral(")\n");
            }
        }
    }
    return {};
}
