#include "platform/SystemServices.h"

#include "platform/DesktopLibrary.h"
#include "platform/SessionBusLibrary.h"
#include "platform/desktop/LinuxWorkspace.h"
#include "platform/files/LinuxFileManager.h"
#include "platform/processes/PosixShellRunner.h"
#include "platform/session/LinuxSystemInformation.h"

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
    return DesktopLibrary::clipboard();
}

std::shared_ptr<ScreenGrabber> screenGrabber()
{
    return DesktopLibrary::screenGrabber();
}

std::shared_ptr<const SystemInformation> systemInformation()
{
    return std::make_shared<LinuxSystemInformation>();
}

std::shared_ptr<NotificationService> notifications()
{
    return SessionBusLibrary::notifications();
}

std::shared_ptr<const Workspace> workspace()
{
    return std::make_shared<LinuxWorkspace>(LinuxWorkspace::Configuration::fromEnvironment());
}

} // namespace SystemServices
