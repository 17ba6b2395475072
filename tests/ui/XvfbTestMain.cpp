#include "support/XvfbServer.h"

#include <gtest/gtest.h>

#include <QApplication>

#include <cstring>
#include <memory>

// Widget tests that need a real window system: an X server of their own, so they also run
// where no display exists (CI).
int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    if (::testing::GTEST_FLAG(list_tests))
        return RUN_ALL_TESTS();
    std::unique_ptr<XvfbServer> xvfb;
    {
        QCoreApplication starter(argc, argv);
        xvfb = std::make_unique<XvfbServer>(1280, 800);
    }
    if (!xvfb->isRunning())
        return 1;
    qputenv("DISPLAY", xvfb->display().toLocal8Bit());
    qputenv("QT_QPA_PLATFORM", "xcb");
    qunsetenv("WAYLAND_DISPLAY");
    int status = 0;
    {
        QApplication app(argc, argv);
        status = RUN_ALL_TESTS();
    }
    return status;
}
