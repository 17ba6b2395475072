#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// A folder only this user may enter: owned by this user's id, with no group or other access.
namespace PrivateFolder {

// Creates the folder (mode 0700) when it is missing, its parent included only when the parent
// is the system's temporary folder. Returns why the folder cannot be used, or nothing when it
// can: it is a symbolic link, not a folder, belongs to another user id, or is open to the group
// or to others (it is then left as it is, never repaired).
std::optional<QString> prepare(const QString& path);

// Whether the folder exists, belongs to this user and is not open to others (no creation).
bool isPrivate(const QString& path);

// A small file of ours in such a folder. Read: its first `maxBytes` bytes; nothing when it is
// missing, not a regular file of this user (a link, a pipe, another user's), or unreadable.
// A pipe or a huge file planted there holds nobody up.
std::optional<QByteArray> readFile(const QString& folder, const QString& name, qsizetype maxBytes);
// Written whole (mode 0600) under another name and renamed over the old one, so that a reader
// sees the old contents or the new, never a part. Why it failed, or nothing; refused when the
// folder is not private.
std::optional<QString> writeFile(const QString& folder, const QString& name, const QByteArray& bytes);

} // namespace PrivateFolder
