#include "platform/files/ConfinedFileManager.h"

#include "platform/files/FileDescriptor.h"

#include <cerrno>

#include <sys/stat.h>

using Access = FolderConfinement::Access;

ConfinedFileManager::ConfinedFileManager(std::shared_ptr<FileManager> files, std::shared_ptr<const FolderConfinement> confinement)
    : m_files(std::move(files))
    , m_confinement(std::move(confinement))
{
}

QString ConfinedFileManager::currentDirectory() const
{
    return m_files->currentDirectory();
}

// Whether something is there is no secret worth a refusal of its own: an item outside reads as
// absent, so that the operation that follows gives the refusal.
bool ConfinedFileManager::exists(const FilePath& path) const
{
    const auto admitted = m_confinement->admit(path, Access::Read);
    return admitted.ok() ? m_files->exists(admitted.value().path) : admitted.error().isDenial();
}

bool ConfinedFileManager::itemExists(const FilePath& path) const
{
    // The item itself, a dangling link included, as removing and moving see it.
    const auto admitted = m_confinement->admit(path, Access::Remove);
    return admitted.ok() ? m_files->itemExists(admitted.value().path) : admitted.error().isDenial();
}

bool ConfinedFileManager::isDirectory(const FilePath& path) const
{
    const auto admitted = m_confinement->admit(path, Access::Read);
    return admitted.ok() && m_files->isDirectory(admitted.value().path);
}

FileResult<std::string> ConfinedFileManager::readFile(const FilePath& path, const CancelCheck& cancelled,
                                                      const ReadProgress& progressed) const
{
    const auto admitted = m_confinement->admit(path, Access::Read);
    if (!admitted.ok())
        return admitted.error();
    return m_files->readFile(admitted.value().path, cancelled, progressed);
}

FileResult<void> ConfinedFileManager::writeFileAtomically(const FilePath& path, const QByteArray& bytes)
{
    const auto admitted = m_confinement->admit(path, Access::Write);
    if (!admitted.ok())
        return admitted.error();
    // A link in the file's place is written through; one put there since the check is refused.
    // (What remains is the moment between this look and the write.)
    struct stat info;
    if (admitted.value().anchor && ::lstat(admitted.value().path.native().constData(), &info) == 0 && S_ISLNK(info.st_mode))
        return FileError{QStringLiteral("Access denied: %1 changed while it was checked").arg(path.text())};
    return m_files->writeFileAtomically(admitted.value().path, bytes);
}

FileResult<void> ConfinedFileManager::createDirectory(const FilePath& path, bool withIntermediates)
{
    auto admitted = m_confinement->admit(path, Access::Write);
    // Missing parents are made one at a time, each checked where it is made.
    if (!admitted.ok() && withIntermediates && admitted.error().description == FileDescriptor::errorFromErrno(ENOENT).description) {
        const FilePath parent = path.parent();
        if (parent.isEmpty() || parent == path)
            return admitted.error();
        if (auto made = createDirectory(parent, true); !made.ok())
            return made;
        admitted = m_confinement->admit(path, Access::Write);
    }
    if (!admitted.ok())
        return admitted.error();
    return m_files->createDirectory(admitted.value().path, withIntermediates);
}

FileResult<void> ConfinedFileManager::removeItem(const FilePath& path, bool recursive)
{
    const auto admitted = m_confinement->admit(path, Access::Remove);
    if (!admitted.ok())
        return admitted.error();
    return m_files->removeItem(admitted.value().path, recursive);
}

FileResult<void> ConfinedFileManager::moveItem(const FilePath& source, const FilePath& destination)
{
    const auto from = m_confinement->admit(source, Access::Remove);
    if (!from.ok())
        return from.error();
    const auto to = m_confinement->admit(destination, Access::Write);
    if (!to.ok())
        return to.error();
    return m_files->moveItem(from.value().path, to.value().path);
}

FileResult<void> ConfinedFileManager::copyItem(const FilePath& source, const FilePath& destination)
{
    const auto from = m_confinement->admit(source, Access::Read);
    if (!from.ok())
        return from.error();
    const auto to = m_confinement->admit(destination, Access::Write);
    if (!to.ok())
        return to.error();
    return m_files->copyItem(from.value().path, to.value().path);
}

FileResult<DirectoryListing> ConfinedFileManager::listDirectory(const FilePath& path, ListingDetail detail) const
{
    const auto admitted = m_confinement->admit(path, Access::Read);
    if (!admitted.ok())
        return admitted.error();
    return m_files->listDirectory(admitted.value().path, detail);
}
