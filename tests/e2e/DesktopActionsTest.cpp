#include "support/DesktopFileGroups.h"
#include "support/FakeNotificationServer.h"
#include "support/PrivateSessionBus.h"
#include "support/TemporaryHome.h"
#include "support/XvfbServer.h"
#include "support/ZarnelProcess.h"

#include <gtest/gtest.h>

#include <QEventLoop>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QProcess>
#include <QTimer>

namespace {

struct ActionRun {
    int status = -1;
    QString output;
    QString error;
};

// Runs zarnel with the arguments while this thread's event loop keeps serving the bus.
ActionRun runServed(const QProcessEnvironment& environment, const QStringList& arguments)
{
    QProcess process;
    process.setProcessEnvironment(environment);
    process.setStandardInputFile(QProcess::nullDevice());
    QEventLoop loop;
    QObject::connect(&process, &QProcess::finished, &loop, &QEventLoop::quit);
    QObject::connect(&process, &QProcess::errorOccurred, &loop, &QEventLoop::quit);
    QTimer::singleShot(30000, &loop, &QEventLoop::quit);
    process.start(ZarnelProcess::binaryPath(), arguments);
    loop.exec();
    if (process.state() != QProcess::NotRunning) {
        process.kill();
        process.waitForFinished();
    }
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1, QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

// The desktop entry's actions: each one's name and its command line after "zarnel".
QList<std::pair<QString, QStringList>> desktopActions()
{
    auto groups = desktopFileGroups(QStringLiteral(ZARNEL_DATA_DIR "/com.tarvonic.zarnel.desktop"));
    QList<std::pair<QString, QStringList>> actions;
    for (const QString& id :
         groups[QStringLiteral("Desktop Entry")][QStringLiteral("Actions")].split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const auto& action = groups[QStringLiteral("Desktop Action ") + id];
        actions.append({action[QStringLiteral("Name")], action[QStringLiteral("Exec")].split(QLatin1Char(' ')).mid(1)});
    }
    return actions;
}

} // namespace

TEST(DesktopActions, ShowTheirTextAsADesktopNotificationOrPrintItWithoutOne)
{
    const auto actions = desktopActions();
    ASSERT_EQ(actions.size(), 4);
    EXPECT_EQ(actions[0].first, QStringLiteral("Toggle Server"));
    EXPECT_EQ(actions[1].first, QStringLiteral("Get Status"));
    EXPECT_EQ(actions[2].first, QStringLiteral("Get Statistics"));
    EXPECT_EQ(actions[3].first, QStringLiteral("List Tools"));

    TemporaryHome home;
    XvfbServer display;
    ASSERT_TRUE(display.isRunning());
    PrivateSessionBus bus;
    ASSERT_TRUE(bus.isRunning());
    QProcessEnvironment environment = home.environment();
    environment.insert(QStringLiteral("DISPLAY"), display.display());
    environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), bus.address());

    // One running process, so that "Toggle Server" has something to act on.
    ZarnelProcess running(home);
    ASSERT_TRUE(running.start());
    ASSERT_TRUE(running.initialize());

    // What the same command says to a script, for comparison.
    const auto dialogOf = [&](QStringList command) {
        command.removeAll(QStringLiteral("--notify"));
        command.append(QStringLiteral("--json"));
        const ActionRun run = runServed(environment, command);
        return QJsonDocument::fromJson(run.output.toUtf8()).object();
    };

    // Without a notification service each action prints its text, as from a terminal.
    for (const auto& [name, command] : actions) {
        if (name == QStringLiteral("Toggle Server"))
            continue; // it is run once, below
        const ActionRun run = runServed(environment, command);
        EXPECT_EQ(run.status, 0) << name.toStdString() << ": " << run.error.toStdString();
        // The dialog first; a list (the tools) may follow it.
        EXPECT_TRUE(run.output.startsWith(dialogOf(command).value(QStringLiteral("dialog")).toString())) << run.output.toStdString();
    }

    QDBusConnection serverSide = bus.connect(QStringLiteral("notification-server"));
    FakeNotificationServer notifications;
    ASSERT_TRUE(
        serverSide.registerObject(QStringLiteral("/org/freedesktop/Notifications"), &notifications, QDBusConnection::ExportAllSlots));
    ASSERT_TRUE(serverSide.registerService(QStringLiteral("org.freedesktop.Notifications")));

    for (const auto& [name, command] : actions) {
        const int before = notifications.received;
        const ActionRun run = runServed(environment, command);
        EXPECT_EQ(run.status, 0) << name.toStdString() << ": " << run.error.toStdString();
        EXPECT_TRUE(run.output.isEmpty()) << name.toStdString() << " also printed: " << run.output.toStdString();
        EXPECT_EQ(notifications.received, before + 1) << name.toStdString();
        EXPECT_EQ(notifications.summary, QStringLiteral("Zarnel"));
        if (name == QStringLiteral("Toggle Server")) {
            // The running process was stopped by it.
            EXPECT_FALSE(notifications.body.isEmpty());
            const QJsonObject status = dialogOf({QStringLiteral("status")});
            EXPECT_FALSE(status.value(QStringLiteral("value")).toObject().value(QStringLiteral("isRunning")).toBool(true))
                << QJsonDocument(status).toJson().constData();
            continue;
        }
        if (name == QStringLiteral("List Tools")) {
            // Eighteen lines would be cut by the daemon: the notification counts them.
            EXPECT_EQ(notifications.body, QStringLiteral("18 tools: 8 file system, 6 system, 4 app control"));
            EXPECT_EQ(notifications.appIcon, QStringLiteral("com.tarvonic.zarnel"));
            continue;
        }
        EXPECT_TRUE(notifications.body.startsWith(dialogOf(command).value(QStringLiteral("dialog")).toString()))
            << notifications.body.toStdString();
    }
}

TEST(DesktopActions, ExecRunsAToolOnTheDisplayAsAClientsProcessDoes)
{
    TemporaryHome home;
    XvfbServer display;
    ASSERT_TRUE(display.isRunning());
    QProcessEnvironment environment = home.environment();
    environment.insert(QStringLiteral("DISPLAY"), display.display());

    // Both need the display: the clipboard belongs to it, and so does the screen.
    const auto dialogOf = [&](const QString& tool, const QString& arguments, int status = 0) {
        const ActionRun run = runServed(environment, {QStringLiteral("exec"), tool, arguments, QStringLiteral("--json")});
        EXPECT_EQ(run.status, status) << run.error.toStdString();
        return QJsonDocument::fromJson(run.output.toUtf8()).object().value(QStringLiteral("dialog")).toString().toStdString();
    };
    EXPECT_EQ(dialogOf(QStringLiteral("set_clipboard"), QStringLiteral(R"({"content":"from exec"})")),
              "Tool 'set_clipboard' executed successfully");
    EXPECT_EQ(dialogOf(QStringLiteral("capture_screenshot"), QStringLiteral("{}")), "Tool 'capture_screenshot' executed successfully");

    // A display that is gone leaves the tools without it; the command still runs them.
    environment.insert(QStringLiteral("DISPLAY"), QStringLiteral(":9999"));
    EXPECT_EQ(dialogOf(QStringLiteral("set_clipboard"), QStringLiteral(R"({"content":"from exec"})"), 1),
              "Tool 'set_clipboard' failed: Clipboard is not available: no display\n");
}
