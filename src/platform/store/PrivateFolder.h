#pragma once

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

} // namespace PrivateFolder
