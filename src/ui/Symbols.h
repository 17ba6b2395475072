#pragma once

#include <QColor>
#include <QIcon>
#include <QString>

// The pictures the dashboard draws, by the symbol names the pages use ("checkmark.circle.fill",
// "server.rack", ...). A symbol comes from the desktop's icon theme when the theme has a
// matching freedesktop icon, and otherwise from our own drawing, so a desktop without an icon
// theme still shows every picture.
namespace Symbols {

// The theme's icon, or our drawing in the palette's text colour (light or dark).
QIcon icon(const QString& symbol);

// Always our drawing, in the given colour: for pictures whose colour carries meaning (the
// activity-log types), which a theme icon would not keep.
QIcon tinted(const QString& symbol, const QColor& color);

// The freedesktop theme name tried for a symbol; empty when there is none.
QString themeName(const QString& symbol);

// Whether we have our own drawing of the symbol.
bool hasDrawing(const QString& symbol);

} // namespace Symbols
