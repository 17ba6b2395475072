#pragma once

#include "platform/desktop/DesktopEntryCatalog.h"
#include "platform/desktop/Workspace.h"
#include "platform/session/ActiveWindow.h"

#include <chrono>
#include <memory>

// The workspace of a freedesktop.org desktop. An application is a process of the user whose
// program is the one an installed desktop entry runs; its name and identifier are the entry's.
// Processes started by an application's own process (helpers of a browser, say) are part of
// that application rather than applications of their own.
class LinuxWorkspace : public Workspace {
public:
    struct Configuration {
        QStringList applicationDirectories;
        QString locale;
        std::shared_ptr<const ActiveWindow> activeWindow; // may be null: nothing is active
        // How long a start waits for a program that fails at once before calling it running.
        std::chrono::milliseconds launchSettleTime{250};

        // The user's XDG folders and language, and the X display if there is one.
        static Configuration fromEnvironment();
    };

    explicit LinuxWorkspace(Configuration configuration);

    std::vector<RunningApplication> runningApplications() const override;
    std::optional<ApplicationLocation> applicationWithIdentifier(const QString& identifier) const override;
    std::optional<ApplicationLocation> applicationWithShortName(const QString& name) const override;
    std::optional<ApplicationLocation> executableNamed(const QString& name) const override;
    LaunchResult openApplication(const ApplicationLocation& location, const LaunchOptions& options) const override;
    bool terminate(const RunningApplication& application, bool force) const override;

private:
    Configuration m_configuration;
    DesktopEntryCatalog m_catalog;
};
