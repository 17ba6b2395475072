#include "support/TemporaryHome.h"
#include "support/XvfbServer.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QImage>
#include <QProcess>

namespace {

// The window at 900 × 600 on every page, the About dialog, the tray menu and a confirmation,
// drawn by a real X server in one look, written to build/screenshots/<look> for people to look
// at. The drawer fails when a figure of the Status or Statistics page is cut or a page scrolls
// sideways.
void drawIn(const char* look, const char* palette, const char* platformTheme)
{
    XvfbServer x(1280, 800);
    ASSERT_TRUE(x.isRunning());
    TemporaryHome home;
    QProcessEnvironment environment = home.environment();
    environment.insert("DISPLAY", x.display());
    environment.insert("QT_QPA_PLATFORM", "xcb");
    environment.remove("QT_QPA_PLATFORMTHEME");
    environment.remove("QT_STYLE_OVERRIDE");
    if (platformTheme)
        environment.insert("QT_QPA_PLATFORMTHEME", QString::fromLatin1(platformTheme));
    const QString folder = QStringLiteral(ZARNEL_BUILD_DIR "/screenshots/") + QString::fromLatin1(look);
    QDir(folder).removeRecursively();
    QProcess drawer;
    drawer.setProcessEnvironment(environment);
    drawer.setStandardInputFile(QProcess::nullDevice());
    drawer.start(DASHBOARD_SCREENSHOTS, {folder, QString::fromLatin1(palette)});
    ASSERT_TRUE(drawer.waitForFinished(90000));
    const QString said = QString::fromLocal8Bit(drawer.readAllStandardOutput());
    EXPECT_EQ(drawer.exitCode(), 0) << said.toStdString() << drawer.readAllStandardError().toStdString();
    // The GTK theme names its icon theme; without it Qt has none.
    if (platformTheme) {
        EXPECT_TRUE(said.contains(QStringLiteral("icon theme: Adwaita"))) << said.toStdString();
    }
    for (const char* page : {"status", "statistics", "activity-log", "functions", "settings", "getting-started", "examples"}) {
        const QImage image(QDir(folder).filePath(QStringLiteral("%1.png").arg(QLatin1String(page))));
        EXPECT_EQ(image.size(), QSize(900, 600)) << page;
    }
    for (const char* other : {"about", "tray-menu", "confirmation"})
        EXPECT_FALSE(QImage(QDir(folder).filePath(QStringLiteral("%1.png").arg(QLatin1String(other)))).isNull()) << other;
}

TEST(DashboardScreenshots, FitAt900By600InTheLightPalette)
{
    drawIn("light", "light", nullptr);
}

TEST(DashboardScreenshots, FitAt900By600InADarkPalette)
{
    drawIn("dark", "dark", nullptr);
}

TEST(DashboardScreenshots, FitAt900By600WithTheGtkPlatformTheme)
{
    drawIn("gtk", "light", "gtk3");
}

} // namespace
