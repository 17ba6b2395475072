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

// The tray's server picture in one colour, `ink`, as panels draw their symbolic icons: filled
// with a dot when the server runs, in outline when it is stopped.
QIcon trayIcon(bool running, const QColor& ink);

// The sidebar picture of a page: the theme's where the theme has one, else our drawing.
QIcon pageIcon(DashboardPage page);

} // namespace ApplicationIcons
