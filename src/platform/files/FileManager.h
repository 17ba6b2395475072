#pragma once

#include "platform/files/FilePath.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <compare>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// Why a file operation failed: the system's own sentence for the failing call ("No such file
// or directory", "Permission denied", ...).
struct FileError {
    QString description;

    // What every operation answers for a path the system would read only up to a NUL.
    static FileError nulInPath() { return FileError{QStringLiteral("Invalid path: contains a NUL character")}; }
    // A refusal of the folder confinement, which a tool answers as it is.
    bool isDenial() const { return description.startsWith(QLatin1String("Access denied: ")); }
};

// Success, or the error. Operations that return nothing use FileResult<void>.
template <typename T> class FileResult {
public:
    FileResult(T value)
        : m_value(std::move(value))
    {
    }
    FileResult(FileError error)
        : m_error(std::move(error))
    {
    }

    bool ok() const { return !m_error.has_value(); }
    const FileError& error() const { return *m_error; }
    T& value() { return *m_value; }
    const T& value() const { return *m_value; }

private:
    std::optional<T> m_value;
    std::optional<FileError> m_error;
};

template <> class FileResult<void> {
public:
    FileResult() = default;
    FileResult(FileError error)
        : m_error(std::move(error))
    {
    }

    bool ok() const { return !m_error.has_value(); }
    const FileError& error() const { return *m_error; }

private:
    std::optional<FileError> m_error;
};

// Which directory a listing read, so that a walk can tell a directory it has already seen.
struct FileIdentity {
    quint64 device = 0;
    quint64 inode = 0;
    friend auto operator<=>(const FileIdentity&, const FileIdentity&) = default;
};

struct DirectoryEntry {
    enum class Type { File, Directory, SymbolicLink, Other };

    QByteArray nativeName;         // exactly as stored; see FilePath
    Type type = Type::Other;       // of the item itself: a link is a link
    bool leadsToDirectory = false; // a directory, or a symbolic link that resolves to one
    // Filled only for ListingDetail::Attributes.
    qint64 size = 0;
    QDateTime modified;

    QString name() const { return QString::fromUtf8(nativeName); }
    bool isHidden() const { return nativeName.startsWith('.'); }
};

struct DirectoryListing {
    FileIdentity identity;
    std::vector<DirectoryEntry> entries; // without "." and ".."; in the file system's order
};

// The file system as the tools and catalogues use it. Paths are taken as written: nothing is
// resolved against the current directory, "~" is not expanded, "." and ".." stay.
class FileManager {
public:
    // Larger files are refused by the read operations rather than held in memory.
    static constexpr qint64 kMaxReadBytes = 64 * 1024 * 1024;

    // Asked between steps of a long operation; true stops it with "Operation canceled".
    using CancelCheck = std::function<bool()>;
    // Told after each piece of a long read: the bytes read so far and the file's size (0 when
    // the file reports none, as /proc files do).
    using ReadProgress = std::function<void(qint64 done, qint64 size)>;

    enum class ListingDetail { Types, Attributes };

    virtual ~FileManager() = default;

    // The absolute path of the process's working directory.
    virtual QString currentDirectory() const = 0;

    // Whether anything is there, following a final symbolic link (a dangling link is nothing).
    virtual bool exists(const FilePath& path) const = 0;
    // Whether anything is there, a dangling link included.
    virtual bool itemExists(const FilePath& path) const = 0;
    // Whether a directory is there, following symbolic links.
    virtual bool isDirectory(const FilePath& path) const = 0;

    // The whole file. Only regular files are read (after following links; /proc files count):
    // anything else fails at once with "Not a regular file", without waiting for a writer.
    // Fails for a directory, without permission, and for a file larger than kMaxReadBytes
    // ("File too large (<n> bytes; the limit is 67108864)"). The bytes come as the protocol
    // layer holds text, so that a large file's contents can travel on without another copy.
    virtual FileResult<std::string> readFile(const FilePath& path, const CancelCheck& cancelled = {},
                                             const ReadProgress& progressed = {}) const = 0;
    // The whole file as text; fails as readFile does and when the bytes are not valid UTF-8.
    FileResult<QString> readTextFile(const FilePath& path, const CancelCheck& cancelled = {}) const;

    // Replaces a regular file's contents, or creates it, so that readers see the old contents
    // or the new, never a part. A symbolic link at the path stays and its target is written;
    // the file keeps its owner (where allowed), group, mode, extended attributes and other
    // names (hard links). An existing target that is not a regular file is refused with
    // "Not a regular file".
    virtual FileResult<void> writeFileAtomically(const FilePath& path, const QByteArray& bytes) = 0;

    // With intermediates, missing parents are created and an existing directory is no error.
    virtual FileResult<void> createDirectory(const FilePath& path, bool withIntermediates) = 0;
    // Removes a file, a link (never what it points to, even written with a trailing slash) or an
    // empty directory; with `recursive` a directory with everything in it, unless another file
    // system is mounted inside it (then nothing is removed and the error names the mount point).
    // A recursive removal that fails midway says how much it removed first.
    virtual FileResult<void> removeItem(const FilePath& path, bool recursive) = 0;
    // Both fail when anything exists at the destination; directories go with their contents.
    // A copy that fails removes what it created. A move across file systems is a copy and a
    // removal: when the removal fails, the error says that the copy was made.
    virtual FileResult<void> moveItem(const FilePath& source, const FilePath& destination) = 0;
    virtual FileResult<void> copyItem(const FilePath& source, const FilePath& destination) = 0;

    // One level of a directory (following a link to it). Types fills type and leadsToDirectory;
    // Attributes also reads each entry's size and modification date.
    virtual FileResult<DirectoryListing> listDirectory(const FilePath& path, ListingDetail detail) const = 0;
};
