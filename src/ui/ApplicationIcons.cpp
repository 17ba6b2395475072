#include "ui/ApplicationIcons.h"

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

} // namespace

namespace ApplicationIcons {

QIcon applicationIcon()
{
    return QIcon::fromTheme(QStringLiteral("zarnel"), QIcon(QStringLiteral(":/icons/zarnel.svg")));
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
    switch (page) {
    case DashboardPage::Status: return QIcon::fromTheme(QStringLiteral("network-server"));
    case DashboardPage::Statistics:
        return QIcon::fromTheme(QStringLiteral("office-chart-bar"), QIcon::fromTheme(QStringLiteral("x-office-spreadsheet")));
    case DashboardPage::ActivityLog:
        return QIcon::fromTheme(QStringLiteral("view-list-details"), QIcon::fromTheme(QStringLiteral("text-x-generic")));
    case DashboardPage::Functions: return QIcon::fromTheme(QStringLiteral("applications-utilities"));
    case DashboardPage::Settings: return QIcon::fromTheme(QStringLiteral("preferences-system"));
    case DashboardPage::GettingStarted: return QIcon::fromTheme(QStringLiteral("help-contents"));
    case DashboardPage::Examples: return QIcon::fromTheme(QStringLiteral("dialog-information"));
    }
    return {};
}

} // namespace ApplicationIcons
