#include "platform/PlatformServices.h"

#include "platform/desktop/Workspace.h"
#include "platform/files/FileManager.h"
#include "platform/processes/ShellRunner.h"
#include "platform/session/Clipboard.h"
#include "platform/session/NotificationService.h"
#include "platform/session/ScreenGrabber.h"
#include "platform/session/SystemInformation.h"

#include <stdexcept>
#include <string>

QStringList PlatformServices::missing() const
{
    QStringList names;
    const auto note = [&names](bool present, const char* name) {
        if (!present)
            names.append(QLatin1String(name));
    };
    note(files != nullptr, "files");
    note(shellRunner != nullptr, "shellRunner");
    note(clipboard != nullptr, "clipboard");
    note(screenGrabber != nullptr, "screenGrabber");
    note(systemInformation != nullptr, "systemInformation");
    note(notifications != nullptr, "notifications");
    note(workspace != nullptr, "workspace");
    return names;
}

void PlatformServices::requireComplete(const char* user) const
{
    const QStringList absent = missing();
    if (!absent.isEmpty())
        throw std::invalid_argument(std::string(user)
                                    + " needs every platform service; missing: " + absent.join(QStringLiteral(", ")).toStdString());
}
