#include "ui/AboutWindow.h"
#include "ui/MainWindow.h"
#include "ui/tray/TrayMenu.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QScreen>
#include <QTest>

// Pictures of the window and the tray menu on a real X server, written to the build folder for
// people to look at. The tests check that something was drawn, not how it looks.
namespace {

QString screenshotPath(const char* name)
{
    const QString folder = QStringLiteral(ZARNEL_SCREENSHOT_DIR);
    QDir().mkpath(folder);
    return folder + QLatin1Char('/') + QString::fromLatin1(name);
}

bool hasSeveralColours(const QImage& image)
{
    const QRgb first = image.pixel(0, 0);
    for (int y = 0; y < image.height(); y += 7) {
        for (int x = 0; x < image.width(); x += 7) {
            if (image.pixel(x, y) != first)
                return true;
        }
    }
    return false;
}

} // namespace

TEST(Screenshots, TheMainWindowWithTheAboutWindowAbove)
{
    MainWindow window;
    window.setNotice(QStringLiteral("This desktop has no system tray, so Zarnel shows no tray item."));
    window.resize(1000, 650);
    window.move(0, 0);
    window.showDashboard();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    QTest::qWait(200);
    const QImage frame = window.screen()->grabWindow(0, 0, 0, 1000, 650).toImage();
    ASSERT_TRUE(hasSeveralColours(frame));
    ASSERT_TRUE(frame.save(screenshotPath("main-window.png")));

    window.showAboutWindow();
    QWidget* about = window.aboutWindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(about));
    QTest::qWait(200);
    ASSERT_TRUE(window.screen()->grabWindow(0, 0, 0, 1000, 650).save(screenshotPath("about-window.png")));
}

TEST(Screenshots, TheOpenTrayMenuWithTwoProcessesActivity)
{
    TrayMenuModel model;
    model.setFigures(TrayFigures{true,
                                 2,
                                 128,
                                 {QStringLiteral("Tool success: read_file"), QStringLiteral("Tool call: read_file"),
                                  QStringLiteral("Client connected: claude-code 1.0.3"), QStringLiteral("Server started"),
                                  QStringLiteral("Client connected: cursor 0.42")},
                                 {}});
    TrayMenu menu(model);
    menu.popup(QPoint(20, 20));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&menu));
    QTest::qWait(200);
    const QRect area = menu.geometry().adjusted(-20, -20, 20, 20);
    const QImage shot = menu.screen()->grabWindow(0, area.x(), area.y(), area.width(), area.height()).toImage();
    ASSERT_TRUE(hasSeveralColours(shot));
    ASSERT_TRUE(shot.save(screenshotPath("tray-menu.png")));
    menu.hide();
}
