#pragma once

#include <QColor>
#include <QIcon>
#include <QLabel>
#include <QString>
#include <QStringList>

// The pictures the dashboard draws, by the symbol names the pages use ("checkmark.circle.fill",
// "server.rack", ...): our own drawings, so that they look alike in every theme and on a
// desktop without one. Only a few common actions (find, copy, refresh) take the desktop's icon
// theme's picture when it has one. Every picture the window shows by symbol goes through here.
namespace Symbols {

// The theme's icon under the first of the symbol's names the theme has (for the few that have
// names), or else our drawing in the palette's text colour (light or dark), drawn in the
// colour of the moment it is painted.
QIcon icon(const QString& symbol);

// Always our drawing, in the given colour: for pictures whose colour carries meaning (the
// activity-log types), which a theme icon would not keep.
QIcon tinted(const QString& symbol, const QColor& color);

// The freedesktop theme names tried for a symbol, in order; empty when there are none.
QStringList themeNames(const QString& symbol);

// Whether we have our own drawing of the symbol.
bool hasDrawing(const QString& symbol);

} // namespace Symbols

// A symbol shown as a label, at one size: drawn again when the palette changes, as the icons of
// buttons and lists are at their next repaint.
class SymbolLabel : public QLabel {
    Q_OBJECT
public:
    explicit SymbolLabel(QWidget* parent = nullptr);
    SymbolLabel(const QString& symbol, int size, QWidget* parent = nullptr);

    void setSymbol(const QIcon& icon, int size);

protected:
    void changeEvent(QEvent* event) override;

private:
    QIcon m_icon;
    int m_size = 16;
};
