#pragma once

#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

// An application process of the user, as the workspace reports it.
struct RunningApplication {
    std::optional<QString> localizedName;
    std::optional<QString> bundleIdentifier;
    qint32 processIdentifier = 0;
    bool isActive = false;
};

// Something the workspace can open: an installed application or a program.
struct ApplicationLocation {
    QString name;       // what a user calls the file: "org.example.Editor.desktop", "xterm"
    QString path;       // the file itself
    QString identifier; // the application's identifier; empty for a plain program
};

struct LaunchOptions {
    bool activate = true;
    bool hide = false;
    std::optional<QStringList> arguments;
};

struct LaunchResult {
    bool launched = false;
    QString errorDescription;
};

// The user's desktop applications: which run, where the installed ones are, starting and
// quitting them. Every call may block on the file system or on a child process, so callers
// run them off the main thread; implementations hold no state that calls share.
class Workspace {
public:
    virtual ~Workspace() = default;

    // Every application process of the user, in the workspace's own order.
    virtual std::vector<RunningApplication> runningApplications() const = 0;

    // The installed application with exactly this identifier.
    virtual std::optional<ApplicationLocation> applicationWithIdentifier(const QString& identifier) const = 0;
    // The first installed application whose identifier ends in "." + name, or whose name
    // equals `name` ignoring case.
    virtual std::optional<ApplicationLocation> applicationWithShortName(const QString& name) const = 0;
    // A program of that file name on the search path, or the executable file at an absolute path.
    virtual std::optional<ApplicationLocation> executableNamed(const QString& name) const = 0;

    // Starts the application and returns once it runs, or with the reason it does not.
    virtual LaunchResult openApplication(const ApplicationLocation& location, const LaunchOptions& options) const = 0;

    // Asks the application to quit (force: makes it quit); whether the request was delivered.
    virtual bool terminate(const RunningApplication& application, bool force) const = 0;
};
