#pragma once

#include "platform/PlatformServices.h"

#include <memory>

// The implementations of the system services for the session this process runs in. The
// clipboard and the screen are the display library's, loaded when a tool first needs them; they
// depend on the display the application is connected to.
namespace SystemServices {

// The complete set, as the composition root hands it to the server's components.
PlatformServices forThisSession();

std::shared_ptr<FileManager> files();
std::shared_ptr<const ShellRunner> shellRunner();
std::shared_ptr<Clipboard> clipboard();
std::shared_ptr<ScreenGrabber> screenGrabber();
std::shared_ptr<const SystemInformation> systemInformation();
std::shared_ptr<NotificationService> notifications();
std::shared_ptr<const Workspace> workspace();

} // namespace SystemServices
