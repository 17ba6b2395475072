#include "platform/files/FolderConfinement.h"

#include "platform/files/FileDescriptor.h"

#include <QDir>

#include <cerrno>
#include <climits>
#include <cstdlib>

#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

// Links followed while resolving one path, as the kernel allows.
constexpr int kMaxLinks = 40;

QByteArray cleaned(const QByteArray& path)
{
    return QFile::encodeName(QDir::cleanPath(QFile::decodeName(path)));
}

QByteArray joined(const QByteArray& folder, const QByteArray& rest)
{
    if (rest.isEmpty())
        return folder;
    return cleaned(folder + '/' + rest);
}

QByteArray resolve(const QByteArray& absolute, bool followFinal, int linksLeft)
{
    const FilePath path = FilePath::fromNative(absolute);
    const QByteArray name = path.nativeName();
    if (!followFinal && !name.isEmpty() && name != "." && name != "..")
        return joined(resolve(path.parent().native(), true, linksLeft), name);
    if (char* real = ::realpath(absolute.constData(), nullptr)) {
        QByteArray found(real);
        std::free(real);
        return found;
    }
    if (name.isEmpty())
        return cleaned(absolute);
    // What does not exist yet will be created as a folder or file of its own; a dangling link
    // there leads wherever its target names, so it is followed like any other.
    struct stat info;
    if (linksLeft > 0 && ::lstat(absolute.constData(), &info) == 0 && S_ISLNK(info.st_mode)) {
        QByteArray target(PATH_MAX, '\0');
        const ssize_t length = ::readlink(absolute.constData(), target.data(), target.size());
        if (length > 0) {
            target.truncate(length);
            const QByteArray parent = resolve(path.parent().native(), true, linksLeft - 1);
            return resolve(target.startsWith('/') ? target : parent + '/' + target, true, linksLeft - 1);
        }
    }
    return joined(resolve(path.parent().native(), true, linksLeft), name);
}

QList<QByteArray> realLocations(const QStringList& folders)
{
    QList<QByteArray> real;
    for (const QString& folder : folders) {
        if (folder.startsWith(QLatin1Char('/')))
            real.append(FolderConfinement::realLocation(QFile::encodeName(folder), true));
    }
    return real;
}

bool anyInside(const QList<QByteArray>& folders, const QByteArray& location)
{
    return std::any_of(folders.begin(), folders.end(),
                       [&](const QByteArray& folder) { return FolderConfinement::isInside(location, folder); });
}

// For a removal: whether one of `folders` would go with the item.
bool anyBeneath(const QList<QByteArray>& folders, const QByteArray& location)
{
    return std::any_of(folders.begin(), folders.end(),
                       [&](const QByteArray& folder) { return FolderConfinement::isInside(folder, location); });
}

FileError denied(const FilePath& path, const char* why)
{
    return FileError{QStringLiteral("Access denied: %1 %2").arg(path.text(), QLatin1String(why))};
}

// Opens an existing real location without following any link: a link swapped into it since it
// was resolved makes the open fail rather than lead elsewhere.
int openWithoutLinks(const QByteArray& location)
{
    open_how how{};
    how.flags = O_PATH | O_CLOEXEC;
    how.resolve = RESOLVE_NO_SYMLINKS | RESOLVE_NO_MAGICLINKS;
    for (;;) {
        const long fd = ::syscall(SYS_openat2, AT_FDCWD, location.constData(), &how, sizeof how);
        if (fd >= 0 || errno != EAGAIN)
            return static_cast<int>(fd);
    }
}

bool existsWithoutFollowing(const QByteArray& location)
{
    struct stat info;
    return ::lstat(location.constData(), &info) == 0;
}

} // namespace

FolderConfinement::FolderConfinement(QStringList ownFiles, QStringList secretFiles)
    : m_own(realLocations(ownFiles))
    , m_secret(realLocations(secretFiles))
{
}

void FolderConfinement::setRules(const FolderRules& rules)
{
    QList<QByteArray> allowed = realLocations(rules.allowed);
    QList<QByteArray> readOnly = realLocations(rules.readOnly);
    const std::lock_guard lock(m_mutex);
    m_rules = rules;
    m_allowed = std::move(allowed);
    m_readOnly = std::move(readOnly);
}

FolderRules FolderConfinement::rules() const
{
    const std::lock_guard lock(m_mutex);
    return m_rules;
}

void FolderConfinement::setRoots(std::optional<QStringList> roots)
{
    std::optional<QList<QByteArray>> real;
    if (roots)
        real = realLocations(*roots);
    const std::lock_guard lock(m_mutex);
    m_roots = std::move(real);
}

QList<QByteArray> FolderConfinement::effectiveAllowed() const
{
    if (!m_roots)
        return m_allowed;
    if (m_allowed.isEmpty())
        return *m_roots;
    // Where a root and an allowed folder overlap, the narrower of the two.
    QList<QByteArray> both;
    for (const QByteArray& root : *m_roots) {
        for (const QByteArray& folder : m_allowed) {
            if (isInside(root, folder))
                both.append(root);
            else if (isInside(folder, root))
                both.append(folder);
        }
    }
    return both;
}

EffectiveFolders FolderConfinement::effective() const
{
    const std::lock_guard lock(m_mutex);
    EffectiveFolders folders;
    if (!m_allowed.isEmpty() || m_roots)
        folders.allowed = effectiveAllowed();
    folders.readOnly = m_readOnly;
    folders.own = m_own;
    folders.secret = m_secret;
    folders.commandNetwork = m_rules.commandNetwork;
    return folders;
}

QByteArray FolderConfinement::realLocation(const QByteArray& absolute, bool followFinal)
{
    return resolve(absolute, followFinal, kMaxLinks);
}

bool FolderConfinement::isInside(const QByteArray& location, const QByteArray& folder)
{
    return folder == "/" || location == folder || (location.startsWith(folder) && location.at(folder.size()) == '/');
}

FileResult<AdmittedPath> FolderConfinement::admit(const FilePath& path, Access access) const
{
    if (path.containsNul())
        return FileError::nulInPath();
    const EffectiveFolders folders = effective();
    const bool confined = folders.allowed.has_value();
    if (!confined && access == Access::Read)
        return AdmittedPath{path, nullptr};
    if (!confined && folders.readOnly.isEmpty() && folders.own.isEmpty())
        return AdmittedPath{path, nullptr};

    QByteArray absolute = path.native();
    if (!absolute.startsWith('/')) {
        char* here = ::getcwd(nullptr, 0);
        absolute = QByteArray(here ? here : "/") + '/' + absolute;
        std::free(here);
    }
    // Reading and writing reach what a link names; removing and moving act on the link itself.
    const QByteArray location = realLocation(absolute, access != Access::Remove);
    if (confined && !anyInside(*folders.allowed, location))
        return denied(path, "is outside the allowed folders");
    if (confined && anyInside(folders.secret, location))
        return denied(path, "belongs to Zarnel's own settings");
    if (access != Access::Read) {
        const bool removal = access == Access::Remove;
        if (anyInside(folders.own, location) || (removal && anyBeneath(folders.own, location)))
            return denied(path, "belongs to Zarnel's own settings");
        if (anyInside(folders.readOnly, location) || (removal && anyBeneath(folders.readOnly, location)))
            return denied(path, "is in a read-only folder");
    }
    if (!confined)
        return AdmittedPath{path, nullptr};

    // The operation goes through a descriptor of the deepest part that exists, opened without
    // following links; what comes after it does not exist yet, or is the item itself.
    QByteArray existing = location;
    QByteArray rest;
    const auto step = [&] {
        const FilePath current = FilePath::fromNative(existing);
        rest = rest.isEmpty() ? current.nativeName() : current.nativeName() + '/' + rest;
        existing = current.parent().native();
    };
    while (existing != "/" && !existsWithoutFollowing(existing))
        step();
    // What is missing could be made a link to anywhere before the operation gets to it: only
    // the last component may be missing, and only for what creates it.
    if (rest.contains('/') || (access == Access::Read && !rest.isEmpty()))
        return FileDescriptor::errorFromErrno(ENOENT);
    if (access != Access::Read && rest.isEmpty() && existing != "/")
        step();
    auto anchor = std::make_shared<FileDescriptor>(openWithoutLinks(existing));
    if (!anchor->valid()) {
        if (errno == ELOOP || errno == ENOENT || errno == ENOTDIR)
            return denied(path, "changed while it was checked");
        return FileDescriptor::lastError();
    }
    QByteArray native = "/proc/self/fd/" + QByteArray::number(anchor->get());
    if (!rest.isEmpty())
        native += '/' + rest;
    return AdmittedPath{FilePath::withText(path.text(), native), std::move(anchor)};
}
