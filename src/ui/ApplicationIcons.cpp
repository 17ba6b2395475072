#include "ui/ApplicationIcons.h"

#include "ui/Symbols.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <QPixmap>

namespace {

// The placeholder colour our one-colour drawings are made in.
const QByteArray kInkPlaceholder = "#000000";

QPixmap renderSvg(const QByteArray& svg, int size)
{
    QByteArray data = svg;
    QBuffer buffer(&data);
    QImageReader reader(&buffer, "svg");
    reader.setScaledSize(QSize(size, size));
    return QPixmap::fromImage(reader.read());
}

// The symbol a page goes by in the sidebar.
QString pageSymbol(DashboardPage page)
{
    switch (page) {
    case DashboardPage::Status: return QStringLiteral("circle.fill");
    case DashboardPage::Statistics: return QStringLiteral("chart.bar.fill");
    case DashboardPage::ActivityLog: return QStringLiteral("list.bullet.rectangle");
    case DashboardPage::Functions: return QStringLiteral("wrench.and.screwdriver");
    case DashboardPage::Settings: return QStringLiteral("gear");
    case DashboardPage::GettingStarted: return QStringLiteral("book");
    case DashboardPage::Examples: return QStringLiteral("lightbulb");
    }
    return {};
}

} // namespace

namespace ApplicationIcons {

QIcon applicationIcon()
{
    return QIcon::fromTheme(QString::fromLatin1(kApplicationIconName), QIcon(QStringLiteral(":/icons/zarnel.svg")));
}

QIcon trayIcon(bool running, const QColor& ink)
{
    QFile file(running ? QStringLiteral(":/icons/tray-running.svg") : QStringLiteral(":/icons/tray-stopped.svg"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray svg = file.readAll().replace(kInkPlaceholder, ink.name(QColor::HexRgb).toLatin1());
    // Drawn at the sizes panels ask for, so no size is scaled from another.
    QIcon icon;
    for (int size : {16, 22, 24, 32, 48, 64})
        icon.addPixmap(renderSvg(svg, size));
    return icon;
}

QIcon pageIcon(DashboardPage page)
{
    return Symbols::icon(pageSymbol(page));
}

} // namespace ApplicationIcons
