#include <gtest/gtest.h>

#include <QCoreApplication>

int main(int argc, char** argv)
{
    // Tests that await coroutines, timers or child processes need an event loop.
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
