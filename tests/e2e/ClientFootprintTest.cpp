#include "support/TemporaryHome.h"
#include "support/XvfbServer.h"
#include "support/ZarnelProcess.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QLockFile>
#include <QRegularExpression>
#include <QStringList>

// What a client's process loads: the server alone, and the display libraries only once a tool
// needs the display.

namespace {

// The libraries among the files a process has mapped whose names match `pattern`.
QStringList librariesMappedBy(qint64 pid, const QRegularExpression& pattern)
{
    QFile maps(QStringLiteral("/proc/%1/maps").arg(pid));
    if (!maps.open(QIODevice::ReadOnly))
        return {QStringLiteral("(cannot read the maps of %1)").arg(pid)};
    QStringList found;
    for (const QByteArray& line : maps.readAll().split('\n')) {
        const QString path = QString::fromLocal8Bit(line).section(QLatin1Char(' '), -1);
        if (pattern.match(path).hasMatch() && !found.contains(path))
            found.append(path);
    }
    return found;
}

// The display and GUI libraries.
QStringList displayLibrariesMappedBy(qint64 pid)
{
    static const QRegularExpression display(
        QStringLiteral(R"(/(libQt6Gui|libQt6Widgets|libX11|libxcb|libwayland|libzarnel-desktop)[^/]*\.so)"));
    return librariesMappedBy(pid, display);
}

// Qt Network and what it brings (Kerberos, the proxy resolver): the control socket needs none.
QStringList networkLibrariesMappedBy(qint64 pid)
{
    static const QRegularExpression network(QStringLiteral(R"(/(libQt6Network|libgssapi_krb5|libproxy)[^/]*\.so)"));
    return librariesMappedBy(pid, network);
}

// Qt Sql and the SQLite driver: the history's, loaded with its first record.
QStringList historyLibrariesMappedBy(qint64 pid)
{
    static const QRegularExpression history(QStringLiteral(R"(/(libQt6Sql|libqsqlite|libsqlite3|libzarnel-history)[^/]*\.so)"));
    return librariesMappedBy(pid, history);
}

// The names of the process's threads.
QStringList threadsOf(qint64 pid)
{
    QStringList names;
    const QDir tasks(QStringLiteral("/proc/%1/task").arg(pid));
    for (const QString& task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile name(tasks.filePath(task + QStringLiteral("/comm")));
        if (name.open(QIODevice::ReadOnly))
            names.append(QString::fromUtf8(name.readAll().trimmed()));
    }
    return names;
}

} // namespace

TEST(ClientFootprint, AHeadlessClientsProcessMapsNoDisplayLibraryEvenToSayThereIsNoDisplay)
{
    TemporaryHome home;
    ZarnelProcess zarnel(home);
    ASSERT_TRUE(zarnel.start());
    ASSERT_TRUE(zarnel.initialize("footprint", "1.0", "2025-11-25"));
    // The history's writer waits for something to write.
    EXPECT_FALSE(threadsOf(zarnel.process().processId()).contains(QStringLiteral("history")));
    ASSERT_TRUE(zarnel.request("tools/list"));
    ASSERT_TRUE(zarnel.request("resources/list"));
    // Nothing recorded yet: the history's database is not opened.
    EXPECT_EQ(historyLibrariesMappedBy(zarnel.process().processId()), QStringList());
    ASSERT_TRUE(zarnel.callTool("list_directory", {{"path", home.path().toStdString()}}));
    ASSERT_TRUE(zarnel.callTool("get_system_info", nlohmann::json::object()));
    ASSERT_TRUE(zarnel.callTool("list_running_apps", nlohmann::json::object()));
    const qint64 pid = zarnel.process().processId();
    EXPECT_TRUE(displayLibrariesMappedBy(pid).isEmpty()) << displayLibrariesMappedBy(pid).join(u' ').toStdString();
    // Its control socket is listened on, and answers.
    const ZarnelProcess::CommandRun status = ZarnelProcess::runCommand(home, {QStringLiteral("status")});
    EXPECT_TRUE(status.output.startsWith("Zarnel server is running")) << status.output.constData() << status.error.constData();
    EXPECT_EQ(networkLibrariesMappedBy(pid), QStringList());

    const auto clipboard = zarnel.callTool("get_clipboard", nlohmann::json::object());
    ASSERT_TRUE(clipboard);
    EXPECT_EQ(resultText(*clipboard), "Clipboard is not available: no display");
    const auto copy = zarnel.callTool("set_clipboard", {{"content", "lost"}});
    ASSERT_TRUE(copy);
    EXPECT_EQ(resultText(*copy), "Clipboard is not available: no display");
    const auto screenshot = zarnel.callTool("capture_screenshot", nlohmann::json::object());
    ASSERT_TRUE(screenshot);
    EXPECT_EQ(resultText(*screenshot), "No screen available");
    EXPECT_TRUE(displayLibrariesMappedBy(pid).isEmpty()) << displayLibrariesMappedBy(pid).join(u' ').toStdString();
}

TEST(ClientFootprint, AClientsProcessOnADisplayLoadsTheDisplayLibraryOnlyWhenNoDesktopInstanceServes)
{
    TemporaryHome home;
    const XvfbServer x;
    ASSERT_TRUE(x.isRunning());
    // A desktop instance that holds its lock but never listens, so that the client's process
    // neither starts one nor finds one to ask.
    const QString controlFolder = home.path() + QStringLiteral("/runtime/zarnel");
    ASSERT_TRUE(QDir().mkpath(controlFolder));
    QFile::setPermissions(controlFolder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QLockFile desktopLock(controlFolder + QStringLiteral("/desktop.lock"));
    desktopLock.setStaleLockTime(0);
    ASSERT_TRUE(desktopLock.tryLock(0));

    ZarnelProcess zarnel(home);
    zarnel.environment().insert(QStringLiteral("DISPLAY"), x.display());
    zarnel.environment().insert(QStringLiteral("ZARNEL_TEST_DESKTOP_INSTANCE_WAIT_MS"), QStringLiteral("0"));
    ASSERT_TRUE(zarnel.start());
    ASSERT_TRUE(zarnel.initialize("footprint", "1.0", "2025-11-25"));
    const qint64 pid = zarnel.process().processId();
    EXPECT_TRUE(displayLibrariesMappedBy(pid).isEmpty()) << displayLibrariesMappedBy(pid).join(u' ').toStdString();

    const auto copy = zarnel.callTool("set_clipboard", {{"content", "kept by the client's process"}}, 30000);
    ASSERT_TRUE(copy);
    EXPECT_EQ(resultText(*copy), "Successfully copied 28 characters to clipboard");
    const QStringList mapped = displayLibrariesMappedBy(pid);
    EXPECT_TRUE(mapped.filter(QStringLiteral("libzarnel-desktop")).size() == 1) << mapped.join(u' ').toStdString();
    EXPECT_TRUE(mapped.filter(QStringLiteral("libxcb")).size() >= 1) << mapped.join(u' ').toStdString();
}
