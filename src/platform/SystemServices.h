#pragma once

#include <memory>

class Clipboard;
class NotificationService;
class ScreenGrabber;
class ShellRunner;
class SystemInformation;

// The implementations of the system services for the session this process runs in. The
// clipboard and the screen depend on the display the application is connected to: create
// them after the application object.
namespace SystemServices {

std::shared_ptr<const ShellRunner> shellRunner();
std::shared_ptr<Clipboard> clipboard();
std::shared_ptr<ScreenGrabber> screenGrabber();
std::shared_ptr<const SystemInformation> systemInformation();
std::shared_ptr<NotificationService> notifications();

} // namespace SystemServices
