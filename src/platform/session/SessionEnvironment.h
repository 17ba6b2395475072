#pragma once

#include <QList>
#include <QProcessEnvironment>
#include <QString>

#include <chrono>
#include <sys/types.h>

// Finds this user's desktop session for a process whose environment was stripped: MCP clients
// often start servers with little more than HOME, PATH and SHELL, which would leave us headless
// although the user sits at a desktop. What is missing of DISPLAY, WAYLAND_DISPLAY,
// DBUS_SESSION_BUS_ADDRESS, XDG_RUNTIME_DIR and XAUTHORITY is looked for in the user's runtime
// folder (<runtime root>/<uid>, ours and mode 0700), its session-bus socket, and the environment
// of the systemd user manager on that bus. Only what belongs to the same user is taken; what the
// environment already holds is never replaced.
class SessionEnvironment {
public:
    struct Variable {
        QString name;
        QString value;
        QString source; // where it was found, for people reading the start-up line
    };

    explicit SessionEnvironment(QString runtimeRoot = QStringLiteral("/run/user"), uid_t user = currentUser(),
                                std::chrono::milliseconds busTimeout = std::chrono::seconds(2));

    // What `environment` lacks and the session provides, in the order of the search. The
    // environment is not changed.
    QList<Variable> discover(const QProcessEnvironment& environment) const;

    // Discovers from this process's environment and sets what was found there, so that the
    // display connection and everything we start use it. Call before any library reads them.
    QList<Variable> adoptIntoProcess() const;

    // One line naming what was found and where; empty when nothing was.
    static QString describe(const QList<Variable>& found);

    static uid_t currentUser();

private:
    QString m_runtimeRoot;
    uid_t m_user;
    std::chrono::milliseconds m_busTimeout;
};
