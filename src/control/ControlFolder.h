#pragma once

#include <QList>
#include <QString>

#include <optional>

// The folder of this user's control sockets, one per running zarnel named <pid>.sock:
// $XDG_RUNTIME_DIR/zarnel; without that variable (clients often strip the environment) the
// user's runtime folder found without it (/run/user/<uid>), else /tmp/zarnel-<uid>. A process
// started with the variable and one started without it thus find each other whenever the
// variable names the usual runtime folder.
class ControlFolder {
public:
    ControlFolder(); // this user's folder, from the environment
    explicit ControlFolder(const QString& path);

    QString path() const { return m_path; }

    // Creates the folder (mode 0700) when missing; false when it cannot be used, with the reason
    // in problem(): it belongs to another user or is open to the group or others.
    bool prepare();
    QString problem() const { return m_problem; }

    // Whether the folder exists and is this user's own (no creation).
    bool isUsable() const;

    QString socketPath(qint64 pid) const;
    // The process ids of the sockets present, in ascending order.
    QList<qint64> socketProcessIds() const;
    // Removes the socket of a process that is gone; false when the process still exists.
    bool removeIfAbandoned(qint64 pid) const;

    // The secret every control request carries (ControlProtocol), in the folder's "token" file.
    // Any process of the user can connect to a socket, a confined command too; only the user's
    // own processes can read the token: the command sandbox keeps it from commands.
    QString tokenPath() const;
    // The token; empty when there is none, or the file does not hold one.
    QByteArray readToken() const;
    // The token, made first when there is none (or the file holds something else); empty when
    // it cannot be made.
    QByteArray token() const;

    static QString defaultPath();

private:
    QString m_path;
    QString m_problem;
};
