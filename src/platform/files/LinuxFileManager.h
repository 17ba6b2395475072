#pragma once

#include "platform/files/FileManager.h"

// The file manager over the POSIX calls of Linux; errors are described with strerror's text.
class LinuxFileManager final : public FileManager {
public:
    QString currentDirectory() const override;
    bool exists(const FilePath& path) const override;
    bool itemExists(const FilePath& path) const override;
    bool isDirectory(const FilePath& path) const override;
    FileResult<std::string> readFile(const FilePath& path, const CancelCheck& cancelled = {},
                                     const ReadProgress& progressed = {}) const override;
    FileResult<void> writeFileAtomically(const FilePath& path, const QByteArray& bytes) override;
    FileResult<void> createDirectory(const FilePath& path, bool withIntermediates) override;
    FileResult<void> removeItem(const FilePath& path, bool recursive) override;
    FileResult<void> moveItem(const FilePath& source, const FilePath& destination) override;
    FileResult<void> copyItem(const FilePath& source, const FilePath& destination) override;
    FileResult<DirectoryListing> listDirectory(const FilePath& path, ListingDetail detail) const override;
};
