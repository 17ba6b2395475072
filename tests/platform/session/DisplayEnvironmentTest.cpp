#include "platform/session/DisplayEnvironment.h"

#include <gtest/gtest.h>

#include <QHostAddress>
#include <QTcpServer>

TEST(DisplayEnvironment, ReadsEveryFormOfADisplayNameAndRefusesOthers)
{
    // An X server "listening" over TCP on the loopback: libxcb's port for display N is 6000 + N.
    QTcpServer server;
    int number = 50;
    while (number < 100 && !server.listen(QHostAddress::LocalHost, static_cast<quint16>(6000 + number)))
        ++number;
    ASSERT_LT(number, 100) << "no free port from 6050";
    const QString n = QString::number(number);

    for (const QString& display : {QStringLiteral("127.0.0.1:") + n, QStringLiteral("127.0.0.1:") + n + QStringLiteral(".0"),
                                   QStringLiteral("tcp/127.0.0.1:") + n, QStringLiteral("inet/tcp/127.0.0.1:") + n + QStringLiteral(".1")})
        EXPECT_TRUE(DisplayEnvironment::canOpenX11Display(display)) << display.toStdString();
    for (const QString& display :
         {QStringLiteral("127.0.0.1:") + n + QStringLiteral(":0"), QStringLiteral("127.0.0.1:") + n + QStringLiteral("x"),
          QStringLiteral("127.0.0.1:") + n + QStringLiteral("."), QStringLiteral("127.0.0.1:") + n + QStringLiteral(".0.0"),
          QStringLiteral("127.0.0.1:"), QStringLiteral("127.0.0.1"), QStringLiteral("127.0.0.1:-") + n,
          QStringLiteral("127.0.0.1:99999999999"), QString()})
        EXPECT_FALSE(DisplayEnvironment::canOpenX11Display(display)) << display.toStdString();
}

TEST(DisplayEnvironment, QtsOffscreenAndMinimalPlatformsDrawNowhereInEveryFormOfTheirName)
{
    const QByteArray kept = qgetenv("QT_QPA_PLATFORM");
    const bool wasSet = qEnvironmentVariableIsSet("QT_QPA_PLATFORM");
    for (const char* nowhere : {"offscreen", "minimal", "offscreen:fontengine=freetype", "minimal;xcb", " offscreen "}) {
        qputenv("QT_QPA_PLATFORM", nowhere);
        EXPECT_TRUE(DisplayEnvironment::qtPlatformDrawsNowhere()) << nowhere;
    }
    for (const char* somewhere : {"xcb", "wayland;xcb", "xcb;offscreen", "", "offscreenx"}) {
        qputenv("QT_QPA_PLATFORM", somewhere);
        EXPECT_FALSE(DisplayEnvironment::qtPlatformDrawsNowhere()) << somewhere;
    }
    if (wasSet)
        qputenv("QT_QPA_PLATFORM", kept);
    else
        qunsetenv("QT_QPA_PLATFORM");
}
