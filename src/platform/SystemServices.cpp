#include "platform/SystemServices.h"

#include "platform/desktop/LinuxTrayHostWatcher.h"
#include "platform/desktop/LinuxWorkspace.h"
#include "platform/files/LinuxFileManager.h"
#include "platform/processes/PosixShellRunner.h"
#include "platform/session/DBusNotificationService.h"
#include "platform/session/DesktopScreenGrabber.h"
#include "platform/session/DisplayEnvironment.h"
#include "platform/session/LinuxSystemInformation.h"
#include "platform/session/QtClipboard.h"
#include "platform/session/WaylandCommandClipboard.h"

namespace SystemServices {

PlatformServices forThisSession()
{
    return PlatformServices{
        .files = files(),
        .shellRunner = shellRunner(),
        .clipboard = clipboard(),
        .screenGrabber = screenGrabber(),
        .systemInformation = systemInformation(),
        .notifications = notifications(),
        .workspace = workspace(),
    };
}

std::shared_ptr<FileManager> files()
{
    return std::make_shared<LinuxFileManager>();
}

std::shared_ptr<const ShellRunner> shellRunner()
{
    return std::make_shared<PosixShellRunner>();
}

std::shared_ptr<Clipboard> clipboard()
{
    // A native Wayland client reaches the clipboard only while it has focus; the commands do not
    // need that. On X11 (XWayland included) Qt's own clipboard serves.
    if (DisplayEnvironment::connectedDisplay() == DisplayEnvironment::DisplayServer::Wayland)
        return std::make_shared<WaylandCommandClipboard>();
    return std::make_shared<QtClipboard>();
}

std::shared_ptr<ScreenGrabber> screenGrabber()
{
    return std::make_shared<DesktopScreenGrabber>();
}

std::shared_ptr<const SystemInformation> systemInformation()
{
    return std::make_shared<LinuxSystemInformation>();
}

std::shared_ptr<NotificationService> notifications()
{
    return std::make_shared<DBusNotificationService>();
}

std::shared_ptr<const Workspace> workspace()
{
    return std::make_shared<LinuxWorkspace>(LinuxWorkspace::Configuration::fromEnvironment());
}

std::unique_ptr<TrayHostWatcher> trayHostWatcher()
{
    return std::make_unique<LinuxTrayHostWatcher>();
}

} // namespace SystemServices
