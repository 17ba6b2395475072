#pragma once

#include "control/ControlFolder.h"
#include "control/ControlProtocol.h"

#include <QCoroTask>

#include <memory>
#include <optional>

class Clipboard;
class ControlServer;
class ScreenGrabber;

// The display work the desktop instance does for the client processes, which then need no
// display connection of their own, and whose copies stay on the clipboard after they end:
//
//   clipboard            {"action":"reason"} -> {"reason": string or null}
//                        {"action":"text"}   -> {"text": string or null}, or {"file": path}:
//                                               a long text in a transfer file
//                        {"action":"image"}  -> {"file": path or null}: a PNG in a transfer file
//                        {"action":"paths"}  -> {"paths": [string] or null}
//                        {"action":"set","text"} -> {"copied": bool, "failure": string}
//                        {"action":"set","file"}: the same for a text too long for one line, in
//                        a transfer file, which the desktop instance reads and removes
//   screenshot           {} -> {"status":"saved"|"noScreen"|"couldNotCapture"|"failed","error",
//                              "file": path when saved}: the PNG in a transfer file
//   display-environment  {} -> {"variables": {name: value}}: the display variables the desktop
//                              instance runs with (kDisplayVariables, those it has)
//
// Files travel as transfer files (TransferFile) that the asker reads and removes: no command
// writes where its caller says.
class DisplayCommands {
public:
    static constexpr const char* kClipboardCommand = "clipboard";
    static constexpr const char* kScreenshotCommand = "screenshot";
    static constexpr const char* kDisplayEnvironmentCommand = "display-environment";
    // What a client's process with a stripped environment may take over.
    static const QStringList& displayVariables();

    DisplayCommands(std::shared_ptr<Clipboard> clipboard, std::shared_ptr<ScreenGrabber> screen, ControlFolder folder);

    void registerWith(ControlServer& server);

    QCoro::Task<ControlProtocol::Reply> clipboard(Json args);
    QCoro::Task<ControlProtocol::Reply> screenshot();
    static ControlProtocol::Reply displayEnvironment();

private:
    QCoro::Task<ControlProtocol::Reply> imageFile();
    std::optional<QString> textToSet(const Json& args) const;
    ControlProtocol::Reply textReply(const std::optional<QString>& text) const;

    std::shared_ptr<Clipboard> m_clipboard;
    std::shared_ptr<ScreenGrabber> m_screen;
    ControlFolder m_folder;
};
