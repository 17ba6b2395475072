#include "ui/Symbols.h"

#include <QApplication>
#include <QEvent>
#include <QHash>
#include <QIconEngine>
#include <QPainter>
#include <QPalette>
#include <QPixmap>

#include <iterator>
#include <optional>

namespace {

// Drawings on a 24 × 24 grid. "C" stands for the symbol's colour; details on filled shapes are
// cut out in white.
const QHash<QString, QString>& drawings()
{
    static const QHash<QString, QString> table = {
        {"circle.fill", R"(<circle cx="12" cy="12" r="7" fill="C"/>)"},
        {"chart.bar.fill",
         R"(<rect x="3" y="12" width="4" height="9" rx="1" fill="C"/><rect x="10" y="6" width="4" height="15" rx="1" fill="C"/><rect x="17" y="3" width="4" height="18" rx="1" fill="C"/>)"},
        {"list.bullet.rectangle",
         R"(<rect x="2.5" y="3.5" width="19" height="17" rx="2.5" fill="none" stroke="C" stroke-width="1.8"/><circle cx="7" cy="8.5" r="1.2" fill="C"/><circle cx="7" cy="12" r="1.2" fill="C"/><circle cx="7" cy="15.5" r="1.2" fill="C"/><path d="M10 8.5h8M10 12h8M10 15.5h8" stroke="C" stroke-width="1.8" stroke-linecap="round"/>)"},
        {"wrench.and.screwdriver",
         R"(<path d="M5 19L15 9M15 9a4 4 0 1 0 -1 -5l2.5 2.5l-1.5 1.5l-2.5 -2.5a4 4 0 0 0 2.5 3.5" fill="none" stroke="C" stroke-width="2" stroke-linecap="round" stroke-linejoin="round"/><path d="M19 19L9 9M6 4l3 3l-2 2l-3 -3z" fill="none" stroke="C" stroke-width="2" stroke-linecap="round" stroke-linejoin="round"/>)"},
        {"wrench.and.screwdriver.fill",
         R"(<circle cx="12" cy="12" r="11" fill="C"/><path d="M6.8 17.2l6.4 -6.4" stroke="#ffffff" stroke-width="2.8" stroke-linecap="round"/><circle cx="14.6" cy="9.4" r="4.2" fill="#ffffff"/><path d="M15 9l4.2 -4.2" stroke="C" stroke-width="2.6" stroke-linecap="round"/>)"},
        {"gear",
         R"(<circle cx="12" cy="12" r="3.2" fill="none" stroke="C" stroke-width="2"/><path d="M12 2.5v3M12 18.5v3M2.5 12h3M18.5 12h3M5.3 5.3l2.1 2.1M16.6 16.6l2.1 2.1M5.3 18.7l2.1 -2.1M16.6 7.4l2.1 -2.1" stroke="C" stroke-width="2.4" stroke-linecap="round"/><circle cx="12" cy="12" r="6.5" fill="none" stroke="C" stroke-width="2"/>)"},
        {"book",
         R"(<path d="M12 6c-2 -1.5 -5 -2 -9 -2v14c4 0 7 .5 9 2c2 -1.5 5 -2 9 -2v-14c-4 0 -7 .5 -9 2zM12 6v14" fill="none" stroke="C" stroke-width="1.8" stroke-linejoin="round"/>)"},
        {"lightbulb",
         R"(<path d="M9 17h6M10 20.5h4M12 3a6 6 0 0 0 -3.5 10.9c.4 .3 .5 .8 .5 1.2v1.4h6v-1.4c0 -.4 .1 -.9 .5 -1.2a6 6 0 0 0 -3.5 -10.9z" fill="none" stroke="C" stroke-width="1.8" stroke-linecap="round" stroke-linejoin="round"/>)"},
        {"info.circle.fill",
         R"(<circle cx="12" cy="12" r="11" fill="C"/><circle cx="12" cy="7" r="1.5" fill="#ffffff"/><path d="M12 11v7" stroke="#ffffff" stroke-width="2.4" stroke-linecap="round"/>)"},
        {"arrow.down.circle.fill",
         R"(<circle cx="12" cy="12" r="11" fill="C"/><path d="M12 6v11M7.5 12.5l4.5 4.5l4.5 -4.5" fill="none" stroke="#ffffff" stroke-width="2.2" stroke-linecap="round" stroke-linejoin="round"/>)"},
        {"checkmark.circle.fill",
         R"(<circle cx="12" cy="12" r="11" fill="C"/><path d="M7 12.5l3.2 3.2l6.8 -7" fill="none" stroke="#ffffff" stroke-width="2.4" stroke-linecap="round" stroke-linejoin="round"/>)"},
        {"xmark.circle.fill",
         R"(<circle cx="12" cy="12" r="11" fill="C"/><path d="M8 8l8 8M16 8l-8 8" stroke="#ffffff" stroke-width="2.4" stroke-linecap="round"/>)"},
        {"exclamationmark.triangle.fill",
         R"(<path d="M12 2l10.5 19h-21z" fill="C" stroke="C" stroke-width="1.5" stroke-linejoin="round"/><path d="M12 9v5.5" stroke="#ffffff" stroke-width="2.4" stroke-linecap="round"/><circle cx="12" cy="17.8" r="1.4" fill="#ffffff"/>)"},
        {"exclamationmark.circle.fill",
         R"(<circle cx="12" cy="12" r="11" fill="C"/><path d="M12 6v7.5" stroke="#ffffff" stroke-width="2.4" stroke-linecap="round"/><circle cx="12" cy="17.3" r="1.5" fill="#ffffff"/>)"},
        {"play.circle.fill", R"(<circle cx="12" cy="12" r="11" fill="C"/><path d="M9.5 7.5v9l7.5 -4.5z" fill="#ffffff"/>)"},
        {"stop.circle.fill",
         R"(<circle cx="12" cy="12" r="11" fill="C"/><rect x="8" y="8" width="8" height="8" rx="1.2" fill="#ffffff"/>)"},
        {"network",
         R"(<circle cx="12" cy="12" r="9.5" fill="none" stroke="C" stroke-width="1.8"/><ellipse cx="12" cy="12" rx="4" ry="9.5" fill="none" stroke="C" stroke-width="1.6"/><path d="M2.5 12h19M4.5 7h15M4.5 17h15" stroke="C" stroke-width="1.6"/>)"},
        {"tray",
         R"(<path d="M3 13l3 -8h12l3 8v6h-18z" fill="none" stroke="C" stroke-width="1.8" stroke-linejoin="round"/><path d="M3 13h5a4 4 0 0 0 8 0h5" fill="none" stroke="C" stroke-width="1.8" stroke-linejoin="round"/>)"},
        {"magnifyingglass",
         R"(<circle cx="10" cy="10" r="6.5" fill="none" stroke="C" stroke-width="2.2"/><path d="M15 15l6 6" stroke="C" stroke-width="2.6" stroke-linecap="round"/>)"},
        {"trash",
         R"(<path d="M4 6h16M9 6v-2h6v2M6 6l1 15h10l1 -15M10 10v7M14 10v7" fill="none" stroke="C" stroke-width="1.8" stroke-linecap="round" stroke-linejoin="round"/>)"},
        {"speedometer",
         R"(<path d="M3.5 17a9 9 0 1 1 17 0" fill="none" stroke="C" stroke-width="2" stroke-linecap="round"/><path d="M12 15l4.5 -5.5" stroke="C" stroke-width="2.2" stroke-linecap="round"/><circle cx="12" cy="15" r="1.8" fill="C"/>)"},
        {"clock",
         R"(<circle cx="12" cy="12" r="9.5" fill="none" stroke="C" stroke-width="1.9"/><path d="M12 6.5v5.5l3.5 2.5" fill="none" stroke="C" stroke-width="1.9" stroke-linecap="round" stroke-linejoin="round"/>)"},
        {"desktopcomputer",
         R"(<rect x="2.5" y="3.5" width="19" height="13" rx="1.8" fill="none" stroke="C" stroke-width="1.8"/><path d="M12 16.5v3.5M8 20.5h8" stroke="C" stroke-width="1.8" stroke-linecap="round"/>)"},
        {"server.rack",
         R"(<rect x="3" y="3" width="18" height="5" rx="1.2" fill="none" stroke="C" stroke-width="1.7"/><rect x="3" y="9.5" width="18" height="5" rx="1.2" fill="none" stroke="C" stroke-width="1.7"/><rect x="3" y="16" width="18" height="5" rx="1.2" fill="none" stroke="C" stroke-width="1.7"/><circle cx="6.5" cy="5.5" r="1" fill="C"/><circle cx="6.5" cy="12" r="1" fill="C"/><circle cx="6.5" cy="18.5" r="1" fill="C"/>)"},
        {"chevron.down",
         R"(<path d="M5 9l7 7l7 -7" fill="none" stroke="C" stroke-width="2.2" stroke-linecap="round" stroke-linejoin="round"/>)"},
        {"chevron.up",
         R"(<path d="M5 15l7 -7l7 7" fill="none" stroke="C" stroke-width="2.2" stroke-linecap="round" stroke-linejoin="round"/>)"},
        {"lock.shield",
         R"(<path d="M12 2l8 3v6c0 5 -3.5 9 -8 11c-4.5 -2 -8 -6 -8 -11v-6z" fill="none" stroke="C" stroke-width="1.8" stroke-linejoin="round"/><rect x="8.5" y="11" width="7" height="5.5" rx="1" fill="C"/><path d="M10 11v-2a2 2 0 0 1 4 0v2" fill="none" stroke="C" stroke-width="1.6"/>)"},
        {"arrow.clockwise",
         R"(<path d="M19.5 12a7.5 7.5 0 1 1 -2.2 -5.3" fill="none" stroke="C" stroke-width="2" stroke-linecap="round"/><path d="M18.5 2.5v5h-5" fill="none" stroke="C" stroke-width="2" stroke-linecap="round" stroke-linejoin="round"/>)"},
        {"square.and.arrow.up",
         R"(<path d="M8 9h-3v12h14v-12h-3" fill="none" stroke="C" stroke-width="1.8" stroke-linejoin="round"/><path d="M12 15v-12M8 7l4 -4l4 4" fill="none" stroke="C" stroke-width="1.8" stroke-linecap="round" stroke-linejoin="round"/>)"},
        {"doc.on.doc",
         R"(<rect x="8" y="7" width="12" height="14" rx="1.8" fill="none" stroke="C" stroke-width="1.8"/><path d="M16 7v-2.2a1.8 1.8 0 0 0 -1.8 -1.8h-8.4a1.8 1.8 0 0 0 -1.8 1.8v10.4a1.8 1.8 0 0 0 1.8 1.8h2.2" fill="none" stroke="C" stroke-width="1.8"/>)"},
        {"text.bubble",
         R"(<path d="M4 4h16a2 2 0 0 1 2 2v9a2 2 0 0 1 -2 2h-9l-5 4v-4h-2a2 2 0 0 1 -2 -2v-9a2 2 0 0 1 2 -2z" fill="none" stroke="C" stroke-width="1.8" stroke-linejoin="round"/><path d="M7 9h10M7 12.5h7" stroke="C" stroke-width="1.8" stroke-linecap="round"/>)"},
        {"zarnel",
         R"(<rect x="2" y="2" width="20" height="20" rx="5" fill="#3b6fd4"/><rect x="6" y="6" width="12" height="3.3" rx="1" fill="#ffffff"/><rect x="6" y="10.4" width="12" height="3.3" rx="1" fill="#ffffff"/><rect x="6" y="14.8" width="12" height="3.3" rx="1" fill="#ffffff"/><circle cx="8" cy="7.65" r=".9" fill="#3b6fd4"/><circle cx="8" cy="12.05" r=".9" fill="#3b6fd4"/><circle cx="8" cy="16.45" r=".9" fill="#3b6fd4"/>)"},
    };
    return table;
}

// The freedesktop names tried for a symbol, only for actions every theme draws alike (find,
// copy, refresh). A page's or a card's picture stays ours: themes give the same name very
// different pictures (a knife for "applications-utilities", a calendar for "help-contents", a
// download arrow for "go-down").
const QHash<QString, QStringList>& themeNameTable()
{
    static const QHash<QString, QStringList> table = {
        {"magnifyingglass", {"edit-find"}},
        {"arrow.clockwise", {"view-refresh"}},
        {"doc.on.doc", {"edit-copy"}},
    };
    return table;
}

QPixmap render(const QString& body, const QColor& color, int size)
{
    QString svg = QStringLiteral("<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%1\" height=\"%1\" viewBox=\"0 0 24 24\">%2</svg>")
                      .arg(size)
                      .arg(body);
    svg.replace(QLatin1String("\"C\""), QLatin1Char('"') + color.name() + QLatin1Char('"'));
    QPixmap pixmap;
    pixmap.loadFromData(svg.toUtf8(), "SVG");
    return pixmap;
}

// The sizes each drawing comes in; a request between them is served from the next larger one,
// scaled down, as an icon holding all of them would.
constexpr int kSizes[] = {16, 24, 32, 48, 64};

int drawnSize(const QSize& wanted)
{
    for (int size : kSizes) {
        if (size >= wanted.width() && size >= wanted.height())
            return size;
    }
    return kSizes[std::size(kSizes) - 1];
}

// Rendered once per symbol, colour and size, and only when that size is first painted: a list
// shows its pictures at 16 pixels and never asks for the others, and most pictures belong to
// pages that may never be opened.
QIcon drawn(const QString& symbol, const QColor& color, const QSize& wanted)
{
    static QHash<QString, QIcon> cache;
    const int size = drawnSize(wanted);
    const QString key = symbol + QLatin1Char('/') + color.name(QColor::HexArgb) + QLatin1Char('/') + QString::number(size);
    if (const auto it = cache.constFind(key); it != cache.constEnd())
        return *it;
    QIcon icon;
    icon.addPixmap(render(drawings().value(symbol), color, size));
    cache.insert(key, icon);
    return icon;
}

// The palette's text colour for an icon mode: greyed when disabled, the selection's text colour
// on a selected row.
QColor inkFor(QIcon::Mode mode)
{
    const QPalette palette = QApplication::palette();
    switch (mode) {
    case QIcon::Disabled: return palette.color(QPalette::Disabled, QPalette::WindowText);
    case QIcon::Selected: return palette.color(QPalette::Active, QPalette::HighlightedText);
    case QIcon::Normal:
    case QIcon::Active: break;
    }
    return palette.color(QPalette::Active, QPalette::WindowText);
}

// One of our drawings, drawn at the size asked for when it is first asked for. Without a colour
// it takes the palette's of the moment it is painted, so a switch between a light and a dark
// palette shows at the next repaint without anyone asking for the icon again; with one, it keeps
// that colour and is greyed for the other modes as any icon is.
class SymbolEngine : public QIconEngine {
public:
    SymbolEngine(QString symbol, std::optional<QColor> color)
        : m_symbol(std::move(symbol))
        , m_color(std::move(color))
    {
    }

    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override
    {
        if (m_color)
            return drawn(m_symbol, *m_color, size).pixmap(size, mode, state);
        return drawn(m_symbol, inkFor(mode), size).pixmap(size, 1.0);
    }

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override
    {
        const qreal ratio = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
        QPixmap image = pixmap(rect.size() * ratio, mode, state);
        image.setDevicePixelRatio(ratio);
        painter->drawPixmap(rect, image);
    }

    QList<QSize> availableSizes(QIcon::Mode, QIcon::State) override
    {
        QList<QSize> sizes;
        for (int size : kSizes)
            sizes.append(QSize(size, size));
        return sizes;
    }
    QIconEngine* clone() const override { return new SymbolEngine(m_symbol, m_color); }
    QString key() const override { return QStringLiteral("ZarnelSymbol"); }

private:
    QString m_symbol;
    std::optional<QColor> m_color;
};

} // namespace

SymbolLabel::SymbolLabel(QWidget* parent)
    : QLabel(parent)
{
}

SymbolLabel::SymbolLabel(const QString& symbol, int size, QWidget* parent)
    : QLabel(parent)
{
    setSymbol(Symbols::icon(symbol), size);
}

void SymbolLabel::setSymbol(const QIcon& icon, int size)
{
    m_icon = icon;
    m_size = size;
    setPixmap(m_icon.pixmap(m_size, m_size));
}

void SymbolLabel::changeEvent(QEvent* event)
{
    QLabel::changeEvent(event);
    if (event->type() == QEvent::PaletteChange && !m_icon.isNull())
        setPixmap(m_icon.pixmap(m_size, m_size));
}

namespace Symbols {

QIcon icon(const QString& symbol)
{
    // A theme may lack any of the names (or the desktop may have no theme at all): an icon
    // asked of it for a name it lacks draws nothing.
    for (const QString& name : themeNames(symbol)) {
        if (QIcon::hasThemeIcon(name))
            return QIcon::fromTheme(name);
    }
    return hasDrawing(symbol) ? QIcon(new SymbolEngine(symbol, std::nullopt)) : QIcon();
}

QIcon tinted(const QString& symbol, const QColor& color)
{
    return hasDrawing(symbol) ? QIcon(new SymbolEngine(symbol, color)) : QIcon();
}

QStringList themeNames(const QString& symbol)
{
    return themeNameTable().value(symbol);
}

bool hasDrawing(const QString& symbol)
{
    return drawings().contains(symbol);
}

} // namespace Symbols
