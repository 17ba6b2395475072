#pragma once

#include "platform/files/FileManager.h"
#include "platform/files/FolderConfinement.h"

#include <memory>

// The file manager as the assistant may use it: every operation first asks the folder
// confinement, then acts on the path it admitted.
class ConfinedFileManager final : public FileManager {
public:
    ConfinedFileManager(std::shared_ptr<FileManager> files, std::shared_ptr<const FolderConfinement> confinement);

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

private:
    std::shared_ptr<FileManager> m_files;
    std::shared_ptr<const FolderConfinement> m_confinement;
};
