#include "tools/ToolAnnotations.h"

#include <algorithm>
#include <array>

namespace {

// Read-only tools only look; destructive ones may replace or remove what the user had (a file, a
// running application, whatever a command or script does); open-world ones act beyond this
// server's view (a command or script can reach anything, a launched application talks to
// whatever it likes). Idempotent: a second identical call changes nothing more.
//                     name                  title                          readOnly destructive idempotent openWorld
constexpr std::array kTable = {
    ToolAnnotations{"capture_screenshot", "Capture Screenshot", false, true, false, false},
    ToolAnnotations{"copy_file", "Copy File", false, true, true, false},
    ToolAnnotations{"create_directory", "Create Directory", false, false, true, false},
    ToolAnnotations{"delete_file", "Delete File", false, true, true, false},
    ToolAnnotations{"execute_applescript", "AppleScript (Not Available)", false, true, false, true},
    ToolAnnotations{"execute_command", "Run Shell Command", false, true, false, true},
    ToolAnnotations{"get_clipboard", "Read Clipboard", true, false, true, false},
    ToolAnnotations{"get_system_info", "Get System Information", true, false, true, false},
    ToolAnnotations{"launch_app", "Launch Application", false, false, false, true},
    ToolAnnotations{"list_directory", "List Directory", true, false, true, false},
    ToolAnnotations{"list_running_apps", "List Running Applications", true, false, true, false},
    ToolAnnotations{"move_file", "Move File", false, true, false, false},
    ToolAnnotations{"quit_app", "Quit Application", false, true, true, false},
    ToolAnnotations{"read_file", "Read File", true, false, true, false},
    ToolAnnotations{"search_files", "Search Files", true, false, true, false},
    ToolAnnotations{"send_notification", "Send Desktop Notification", false, false, false, false},
    ToolAnnotations{"set_clipboard", "Set Clipboard", false, false, true, false},
    ToolAnnotations{"write_file", "Write File", false, true, true, false},
};

} // namespace

const ToolAnnotations* ToolAnnotations::find(std::string_view toolName)
{
    const auto it = std::find_if(kTable.begin(), kTable.end(), [&](const ToolAnnotations& row) { return row.name == toolName; });
    return it == kTable.end() ? nullptr : &*it;
}
