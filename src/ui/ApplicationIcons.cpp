#include "ui/ApplicationIcons.h"

#include "ui/Symbols.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <QPainter>
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

QIcon trayIcon(bool running)
{
    QFile file(running ? QStringLiteral(":/icons/tray-running.svg") : QStringLiteral(":/icons/tray-stopped.svg"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray glyph = file.readAll().replace(kInkPlaceholder, "#ffffff");
    // Mid-tone badges: each contrasts about 3.5:1 or more with a light panel and a dark one.
    const QColor badge = running ? QColor(0x3b, 0x6f, 0xd4) : QColor(0x6e, 0x77, 0x81);
    // Drawn at the sizes panels ask for, so no size is scaled from another.
    QIcon icon;
    for (int size : {16, 22, 24, 32, 48, 64}) {
        QPixmap picture(size, size);
        picture.fill(Qt::transparent);
        QPainter painter(&picture);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(badge);
        painter.drawRoundedRect(QRectF(0, 0, size, size), size * 0.22, size * 0.22);
        const int inner = qRound(size * 0.8);
        painter.drawPixmap((size - inner) / 2, (size - inner) / 2, renderSvg(glyph, inner));
        painter.end();
        icon.addPixmap(picture);
    }
    return icon;
}

QIcon pageIcon(DashboardPage page)
{
    return Symbols::icon(pageSymbol(page));
}

} // namespace ApplicationIcons
