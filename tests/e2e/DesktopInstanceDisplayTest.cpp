#include "support/DesktopSession.h"
#include "support/ZarnelProcess.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

// A client's process hands its display work to the desktop instance: the desktop instance it
// starts itself asks the person, and holds what the client copied.
namespace {

// A client's zarnel in the session, as a one-shot client starts it: no desktop instance yet.
std::unique_ptr<ZarnelProcess> oneShotClient(const DesktopSession& session)
{
    auto client = std::make_unique<ZarnelProcess>(session.home());
    client->environment() = session.environment();
    return client;
}

QString programOutput(const DesktopSession& session, const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.setProcessEnvironment(session.environment());
    process.setStandardInputFile(QProcess::nullDevice());
    process.start(program, arguments);
    if (!process.waitForFinished(30000)) {
        process.kill();
        process.waitForFinished();
        return {};
    }
    return QString::fromUtf8(process.readAllStandardOutput());
}

// Clicks "Allow" in the confirmation dialog as a person does, once it is shown. The buttons sit
// at the dialog's lower right, Allow left of Deny.
bool pressAllow(const DesktopSession& session)
{
    const QString window = programOutput(session, QStringLiteral("xdotool"),
                                         {QStringLiteral("search"), QStringLiteral("--sync"), QStringLiteral("--onlyvisible"),
                                          QStringLiteral("--name"), QStringLiteral("Zarnel: allow a tool call")})
                               .section(QLatin1Char('\n'), 0, 0);
    if (window.isEmpty())
        return false;
    int width = 0;
    int height = 0;
    const QStringList geometry =
        programOutput(session, QStringLiteral("xdotool"), {QStringLiteral("getwindowgeometry"), QStringLiteral("--shell"), window})
            .split(QLatin1Char('\n'));
    for (const QString& line : geometry) {
        if (line.startsWith(QLatin1String("WIDTH=")))
            width = line.mid(6).toInt();
        if (line.startsWith(QLatin1String("HEIGHT=")))
            height = line.mid(7).toInt();
    }
    if (width <= 0 || height <= 0)
        return false;
    QProcess click;
    click.setProcessEnvironment(session.environment());
    click.start(QStringLiteral("xdotool"),
                {QStringLiteral("mousemove"), QStringLiteral("--window"), window, QString::number(width - 130),
                 QString::number(height - 26), QStringLiteral("click"), QStringLiteral("1")});
    return click.waitForFinished(30000) && click.exitCode() == 0;
}

} // namespace

TEST(DesktopInstanceDisplay, AOneShotClientsFirstDestructiveCallIsPutToThePersonByTheInstanceItsProcessStarted)
{
    DesktopSession session;
    session.home().writePreferences({{QStringLiteral("requireConfirmation"), true}});
    const QString target = session.home().path() + QStringLiteral("/note.txt");
    auto client = oneShotClient(session);
    ASSERT_TRUE(client->start());
    ASSERT_TRUE(client->initialize("one-shot", "1.0", "2025-11-25").has_value());
    client->send({{"jsonrpc", "2.0"},
                  {"id", 99},
                  {"method", "tools/call"},
                  {"params", {{"name", "write_file"}, {"arguments", {{"path", target.toStdString()}, {"content", "allowed"}}}}}});
    ASSERT_TRUE(pressAllow(session)) << client->standardError().constData();
    const auto answer = client->readMessage(60000);
    ASSERT_TRUE(answer.has_value()) << client->standardError().constData();
    EXPECT_FALSE(answer->at("result").value("isError", false)) << answer->dump();
    QFile written(target);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_EQ(written.readAll(), "allowed");
}

TEST(DesktopInstanceDisplay, CopiedTextStaysOnTheClipboardAfterTheClientsProcessEnds)
{
    DesktopSession session;
    auto client = oneShotClient(session);
    ASSERT_TRUE(client->start());
    ASSERT_TRUE(client->initialize("one-shot", "1.0", "2025-11-25").has_value());
    const auto copied = client->callTool("set_clipboard", {{"content", "still here"}}, 60000);
    ASSERT_TRUE(copied.has_value());
    EXPECT_EQ(copied->dump(), R"({"content":[{"text":"Successfully copied 10 characters to clipboard","type":"text"}]})");
    client->closeInput();
    ASSERT_TRUE(client->waitForExit());

    EXPECT_EQ(
        programOutput(session, QStringLiteral("xclip"), {QStringLiteral("-selection"), QStringLiteral("clipboard"), QStringLiteral("-o")}),
        QStringLiteral("still here"));
}

TEST(DesktopInstanceDisplay, AScreenshotIsTakenByTheDesktopInstanceAndSavedWhereTheClientAsked)
{
    DesktopSession session;
    auto client = oneShotClient(session);
    ASSERT_TRUE(client->start());
    ASSERT_TRUE(client->initialize("one-shot", "1.0", "2025-11-25").has_value());
    const QString target = session.home().path() + QStringLiteral("/shot.png");
    const auto captured = client->callTool("capture_screenshot", {{"save_path", target.toStdString()}}, 60000);
    ASSERT_TRUE(captured.has_value());
    EXPECT_FALSE(captured->value("isError", false)) << captured->dump();
    QFile saved(target);
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_TRUE(saved.read(8) == QByteArray("\x89PNG\r\n\x1a\n", 8));
    // The desktop instance's copy is gone; it wrote nowhere else.
    EXPECT_TRUE(QDir(session.controlFolder()).entryList({QStringLiteral("transfer-*")}, QDir::Files).isEmpty());
    EXPECT_TRUE(session.desktopInstancePid().has_value());
}
