#pragma once

#include <memory>

class Clipboard;
class FileManager;
class NotificationService;
class ScreenGrabber;
class SettingsManager;
class ShellRunner;
class SystemInformation;
class Workspace;

// What the built-in tools need from the rest of the program, handed to the registry when it
// creates them. Tests build their own with fakes.
struct ToolEnvironment {
    SettingsManager* settings = nullptr;
    // The system services; the registry uses the running system's for any left empty.
    std::shared_ptr<const ShellRunner> shellRunner;
    std::shared_ptr<Clipboard> clipboard;
    std::shared_ptr<ScreenGrabber> screenGrabber;
    std::shared_ptr<const SystemInformation> systemInformation;
    std::shared_ptr<NotificationService> notifications;
    // The tools that list, launch and quit applications are left out without one.
    const Workspace* workspace = nullptr;
    // The file system; when absent the tools use the machine's own.
    FileManager* files = nullptr;
};
