#pragma once

#include <QStringList>

#include <memory>

class Clipboard;
class FileManager;
class NotificationService;
class ScreenGrabber;
class ShellRunner;
class SystemInformation;
class Workspace;

// Every system service the server's tools and catalogues run on. All are required: the
// composition root fills them with the running system's, tests with fakes.
struct PlatformServices {
    std::shared_ptr<FileManager> files;
    std::shared_ptr<const ShellRunner> shellRunner;
    std::shared_ptr<Clipboard> clipboard;
    std::shared_ptr<ScreenGrabber> screenGrabber;
    std::shared_ptr<const SystemInformation> systemInformation;
    std::shared_ptr<NotificationService> notifications;
    std::shared_ptr<const Workspace> workspace;

    // The names of the services left empty, in declaration order.
    QStringList missing() const;
    // Throws std::invalid_argument naming the missing services, so that a forgotten fake fails
    // where the set is handed over rather than on the first call that needs it.
    void requireComplete(const char* user) const;
};
