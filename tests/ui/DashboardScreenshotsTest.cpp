#include "support/TemporaryHome.h"
#include "support/XvfbServer.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QImage>
#include <QProcess>

namespace {

// Every page drawn by a real X server, written to the build folder for people to look at.
TEST(DashboardScreenshots, EveryPageIsDrawnUnderXvfb)
{
    XvfbServer x(1280, 800);
    ASSERT_TRUE(x.isRunning());
    TemporaryHome home;
    QProcessEnvironment environment = home.environment();
    environment.insert("DISPLAY", x.display());
    environment.insert("QT_QPA_PLATFORM", "xcb");
    QProcess drawer;
    drawer.setProcessEnvironment(environment);
    drawer.setStandardInputFile(QProcess::nullDevice());
    drawer.start(DASHBOARD_SCREENSHOTS, {ZARNEL_BUILD_DIR});
    ASSERT_TRUE(drawer.waitForFinished(90000));
    EXPECT_EQ(drawer.exitCode(), 0) << drawer.readAllStandardOutput().toStdString() << drawer.readAllStandardError().toStdString();
    for (const char* page : {"status", "statistics", "activity-log", "functions", "settings", "getting-started", "examples"}) {
        const QImage image(QDir(ZARNEL_BUILD_DIR).filePath(QStringLiteral("dashboard-%1.png").arg(page)));
        EXPECT_FALSE(image.isNull()) << page;
        EXPECT_EQ(image.width(), 1000) << page;
    }
}

} // namespace
