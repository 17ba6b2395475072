#pragma once

#include <QString>
#include <QtGlobal>

#include <optional>

// Who is at the other end of a local socket, and who we are.
namespace PeerCredentials {

quint32 currentUserId();

// The user id of the process connected through a local (Unix domain) socket; nothing when the
// system cannot say.
std::optional<quint32> peerUserId(qintptr socketDescriptor);

// The process id of the same; nothing when the system cannot say.
std::optional<qint64> peerProcessId(qintptr socketDescriptor);

// Whether a process with this id exists (of any user).
bool processExists(qint64 pid);

// The user's runtime folder found without the environment (/run/user/<uid>, when it exists and
// is this user's own), for processes started with a stripped environment.
std::optional<QString> userRuntimeFolder();

} // namespace PeerCredentials
