#include "platform/PlatformServices.h"

#include "platform/Clipboard.h"
#include "platform/FileManager.h"
#include "platform/NotificationService.h"
#include "platform/ScreenGrabber.h"
#include "platform/ShellRunner.h"
#include "platform/SystemInformation.h"
#include "platform/Workspace.h"

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
