#include "support/DesktopSession.h"
#include "support/FakeUserManager.h"
#include "support/PrivateSessionBus.h"
#include "support/TemporaryHome.h"
#include "support/XvfbServer.h"
#include "support/ZarnelProcess.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <unistd.h>

namespace {

// Whether this run may give a process a private view of /run/user (root, with unshare).
bool canFakeRunUser()
{
    if (::getuid() != 0 || !QDir(QStringLiteral("/run/user")).exists())
        return false;
    QProcess probe;
    probe.start(QStringLiteral("unshare"),
                {QStringLiteral("--mount"), QStringLiteral("--propagation"), QStringLiteral("private"), QStringLiteral("mount"),
                 QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("probe"), QStringLiteral("/run/user")});
    return probe.waitForFinished(10000) && probe.exitStatus() == QProcess::NormalExit && probe.exitCode() == 0;
}

// What an MCP client that strips the environment passes on, plus our own settings folders.
QProcessEnvironment strippedEnvironment(const TemporaryHome& home)
{
    const QProcessEnvironment full = home.environment();
    QProcessEnvironment stripped;
    for (const char* name :
         {"HOME", "PATH", "SHELL", "TERM", "USER", "LOGNAME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME", "XDG_STATE_HOME"}) {
        const QString key = QString::fromLatin1(name);
        if (full.contains(key))
            stripped.insert(key, full.value(key));
    }
    return stripped;
}

// Only this process sees `folder` at /run/user/<uid>; the machine's stays as it is. Returns that
// path.
QString showAsRunUser(ZarnelProcess& zarnel, const QString& folder)
{
    const QString runUser = QStringLiteral("/run/user/") + QString::number(::getuid());
    zarnel.setLauncher(
        {QStringLiteral("unshare"), QStringLiteral("--mount"), QStringLiteral("--propagation"), QStringLiteral("private"),
         QStringLiteral("/bin/sh"), QStringLiteral("-c"),
         QStringLiteral(
             "mount -t tmpfs -o mode=0755 zarnel-test /run/user && mkdir -m 0700 '%1' && mount --bind '%2' '%1' && exec \"$0\" \"$@\"")
             .arg(runUser, folder)});
    return runUser;
}

} // namespace

TEST(SessionDiscovery, FindsTheDesktopOfItsUserWhenTheClientStrippedTheEnvironment)
{
    if (!canFakeRunUser())
        GTEST_SKIP() << "needs root and unshare to show zarnel a runtime folder of the test's own at /run/user";

    // The user's session as logind and the desktop leave it: a private runtime folder with the
    // session bus, and the display in the user manager's environment.
    QTemporaryDir runtime;
    QFile::setPermissions(runtime.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    XvfbServer x;
    ASSERT_TRUE(x.isRunning());
    PrivateSessionBus bus(runtime.path() + QStringLiteral("/bus"));
    ASSERT_TRUE(bus.isRunning());
    FakeUserManager manager(bus.address(), {QStringLiteral("DISPLAY=") + x.display()});
    ASSERT_TRUE(manager.isServing());

    TemporaryHome home;
    ZarnelProcess zarnel(home);
    zarnel.environment() = strippedEnvironment(home);
    zarnel.environment().insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    const QString runUser = showAsRunUser(zarnel, runtime.path());
    ASSERT_TRUE(zarnel.start());
    ASSERT_TRUE(zarnel.initialize()) << zarnel.standardError().constData();

    // On the desktop: the clipboard is there (empty), not missing.
    EXPECT_EQ(resultText(*zarnel.callTool("get_clipboard", nlohmann::json::object())), "Clipboard is empty or contains unsupported content")
        << zarnel.standardError().constData();
    EXPECT_EQ(resultText(*zarnel.callTool("set_clipboard", {{"content", "found"}})), "Successfully copied 5 characters to clipboard");
    // What the commands it runs see, too.
    EXPECT_EQ(resultText(*zarnel.callTool("execute_command", {{"command", "echo $DISPLAY $DBUS_SESSION_BUS_ADDRESS"}})),
              "Command: echo $DISPLAY $DBUS_SESSION_BUS_ADDRESS\nExit code: 0\n\nOutput:\n" + x.display().toStdString()
                  + " unix:path=" + runUser.toStdString() + "/bus\n\n");

    const QString startup = QString::fromUtf8(zarnel.standardError());
    EXPECT_TRUE(startup.contains(QStringLiteral("XDG_RUNTIME_DIR=%1 (from this user's runtime folder)").arg(runUser)))
        << startup.toStdString();
    EXPECT_TRUE(startup.contains(
        QStringLiteral("DBUS_SESSION_BUS_ADDRESS=unix:path=%1/bus (from the session bus socket in the runtime folder)").arg(runUser)))
        << startup.toStdString();
    EXPECT_TRUE(startup.contains(QStringLiteral("DISPLAY=%1 (from the systemd user manager)").arg(x.display()))) << startup.toStdString();
}

TEST(SessionDiscovery, TakesTheDisplayOfTheRunningDesktopInstanceWhenNoUserManagerKeepsIt)
{
    if (!canFakeRunUser())
        GTEST_SKIP() << "needs root and unshare to show zarnel a runtime folder of the test's own at /run/user";

    DesktopSession session;
    auto user = session.launchAsUser();
    ASSERT_TRUE(DesktopSession::waitFor([&] {
        const auto pid = session.desktopInstancePid();
        return pid && session.runningProcesses().contains(*pid);
    }));
    // Only HOME, PATH, SHELL, TERM, USER and LOGNAME (and our settings folders); the runtime
    // folder holds no bus, and no user manager knows the display.
    ZarnelProcess zarnel(session.home());
    zarnel.environment() = strippedEnvironment(session.home());
    showAsRunUser(zarnel, session.home().path() + QStringLiteral("/runtime"));
    ASSERT_TRUE(zarnel.start());
    ASSERT_TRUE(zarnel.initialize("stripped", "1.0", "2025-11-25")) << zarnel.standardError().constData();

    EXPECT_EQ(resultText(*zarnel.callTool("set_clipboard", {{"content", "found"}}, 60000)), "Successfully copied 5 characters to clipboard")
        << zarnel.standardError().constData();
    QProcess paste;
    paste.setProcessEnvironment(session.environment());
    paste.start(QStringLiteral("xclip"), {QStringLiteral("-selection"), QStringLiteral("clipboard"), QStringLiteral("-o")});
    ASSERT_TRUE(paste.waitForFinished(30000));
    EXPECT_EQ(paste.readAllStandardOutput(), "found");
    const QString startup = QString::fromUtf8(zarnel.standardError());
    EXPECT_TRUE(startup.contains(QStringLiteral("DISPLAY=%1 (from the desktop instance)").arg(session.environment().value("DISPLAY"))))
        << startup.toStdString();
}

TEST(SessionDiscovery, ServesHeadlessWhenTheNamedDisplayCannotBeOpened)
{
    // A session that has ended leaves its display and compositor names behind; Qt would abort on
    // them and the client would lose its server.
    TemporaryHome home;
    ZarnelProcess zarnel(home);
    zarnel.environment().insert(QStringLiteral("DISPLAY"), QStringLiteral(":4711"));
    zarnel.environment().insert(QStringLiteral("WAYLAND_DISPLAY"), QStringLiteral("wayland-gone"));
    ASSERT_TRUE(zarnel.start());
    ASSERT_TRUE(zarnel.initialize());
    EXPECT_EQ(resultText(*zarnel.callTool("get_clipboard", nlohmann::json::object())), "Clipboard is not available: no display");
    zarnel.closeInput();
    ASSERT_TRUE(zarnel.waitForExit(10000));
    EXPECT_EQ(zarnel.process().exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(zarnel.process().exitCode(), 0);
    EXPECT_TRUE(zarnel.standardError().contains("cannot be opened")) << zarnel.standardError().constData();
}

TEST(SessionDiscovery, StaysHeadlessWithoutASessionOfItsUser)
{
    TemporaryHome home;
    ZarnelProcess zarnel(home);
    zarnel.environment() = strippedEnvironment(home);
    // A runtime folder of the test's own, without a bus: never the session of whoever runs it.
    zarnel.environment().insert(QStringLiteral("XDG_RUNTIME_DIR"), home.path() + QStringLiteral("/runtime"));
    ASSERT_TRUE(zarnel.start());
    ASSERT_TRUE(zarnel.initialize());
    EXPECT_EQ(resultText(*zarnel.callTool("get_clipboard", nlohmann::json::object())), "Clipboard is not available: no display");
    EXPECT_EQ(resultText(*zarnel.callTool("send_notification", {{"title", "t"}, {"body", "b"}})),
              "Notifications are not available: no desktop session");
}
