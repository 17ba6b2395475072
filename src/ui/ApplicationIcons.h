#pragma once

#include "ui/DashboardPage.h"

#include <QColor>
#include <QIcon>

// The program's pictures: the theme's icon where one fits, else our own SVG files (built into
// the program as Qt resources, so they need no installation).
namespace ApplicationIcons {

// The name the program's icon is installed under (data/CMakeLists.txt), as the desktop entry's
// Icon= names it.
inline constexpr const char* kApplicationIconName = "com.tarvonic.zarnel";

// The program's icon: the installed one as the icon theme has it (a theme may carry its own
// drawing under that name), else the copy built into the program.
QIcon applicationIcon();

// The tray's server picture: our glyph in white on a badge of its own (blue while the server
// runs, slate while it is stopped). A tray host may paint its panel in any colour and does not
// tell us which, so the picture brings its own background and reads on light and dark panels.
QIcon trayIcon(bool running);

// The sidebar picture of a page: the theme's where the theme has one, else our drawing.
QIcon pageIcon(DashboardPage page);

} // namespace ApplicationIcons
