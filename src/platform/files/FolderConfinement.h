#pragma once

#include "platform/files/FileManager.h"

#include <QByteArray>
#include <QStringList>

#include <memory>
#include <mutex>
#include <optional>

class FileDescriptor;

// The folders a person lets the assistant use, as configured.
struct FolderRules {
    QStringList allowed;  // empty: no confinement
    QStringList readOnly; // read, never changed
    bool commandNetwork = true;
};

// The rules as they stand for one process, in real locations (links resolved): what the file
// operations and the command sandbox both go by.
struct EffectiveFolders {
    std::optional<QList<QByteArray>> allowed; // nothing: everywhere; an empty list: nowhere
    QList<QByteArray> readOnly;
    QList<QByteArray> own;    // Zarnel's own settings, state, control folder and autostart entry
    QList<QByteArray> secret; // what no tool or command reads either: the control token
    bool commandNetwork = true;

    // Whether commands have to run in the kernel's sandbox.
    bool confinesCommands() const { return allowed.has_value() || !commandNetwork; }
};

// A path that passed the check, reached through a descriptor of the checked location so that a
// link put in its way afterwards cannot lead elsewhere. Keep it alive while the path is used.
struct AdmittedPath {
    FilePath path; // shows the caller's text; its native form goes through the descriptor
    std::shared_ptr<const FileDescriptor> anchor;
};

// The one check every file operation goes through: whether a path may be read or changed, and
// the path to act on when it may. Safe to use from any thread; the rules change on the main one.
class FolderConfinement {
public:
    // Remove covers what lies beneath the item too (deleting or moving a folder).
    enum class Access { Read, Write, Remove };

    // `ownFiles` are never changed by a tool, whatever the rules say; `secretFiles` are not even
    // read by one while the folders are confined.
    explicit FolderConfinement(QStringList ownFiles = {}, QStringList secretFiles = {});

    void setRules(const FolderRules& rules);
    FolderRules rules() const;
    // A client's roots narrow the allowed folders (or stand for them when none are set); they
    // never widen them. Nothing narrows nothing; an empty list leaves no folder at all.
    void setRoots(std::optional<QStringList> roots);

    EffectiveFolders effective() const;

    // "Access denied: <path> ..." when the rules refuse the path; otherwise the path to use. When
    // nothing restricts the access, the path is handed back as it is.
    FileResult<AdmittedPath> admit(const FilePath& path, Access access) const;

    // The real location of a path: links and ".." resolved as far as the path exists, the rest
    // appended; with `followFinal` false the last component itself is not resolved.
    static QByteArray realLocation(const QByteArray& absolute, bool followFinal);
    static bool isInside(const QByteArray& location, const QByteArray& folder);

private:
    QList<QByteArray> effectiveAllowed() const;

    mutable std::mutex m_mutex;
    FolderRules m_rules;
    QList<QByteArray> m_own;
    QList<QByteArray> m_secret;
    QList<QByteArray> m_allowed;
    QList<QByteArray> m_readOnly;
    std::optional<QList<QByteArray>> m_roots;
};
