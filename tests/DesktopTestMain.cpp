#include <gtest/gtest.h>

#include <QApplication>

int main(int argc, char** argv)
{
    // Widgets need a platform; without a display (CI, an MCP client's stripped environment)
    // Qt's offscreen one serves. A test that needs a real X server starts its own.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
