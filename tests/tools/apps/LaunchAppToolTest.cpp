#include "tools/apps/AppToolFixture.h"

#include "tools/apps/LaunchAppTool.h"

namespace {

class LaunchApp : public AppToolTest {
protected:
    LaunchAppTool m_tool{*m_workspace};
};

TEST_F(LaunchApp, FindsAnApplicationByIdentifierByItsLastPartAndByNameAndPassesArgumentsSplitAtEverySpace)
{
    m_apps.addApplication(QStringLiteral("org.test.Editor"), QStringLiteral("Text Editor"), QStringLiteral("editor"));
    m_apps.addApplication(QStringLiteral("org.test.Viewer"), QStringLiteral("Picture Viewer"), QStringLiteral("viewer"));
    m_apps.addApplication(QStringLiteral("org.test.Player"), QStringLiteral("Player"), QStringLiteral("player"));

    EXPECT_EQ(success(callTool(m_tool, {{"app", "org.test.Editor"}, {"arguments", "-a -b"}, {"hide", true}})),
              "Successfully launched: org.test.Editor.desktop");
    EXPECT_EQ(success(callTool(m_tool, {{"app", "Viewer"}, {"arguments", "x  'y z'"}})), "Successfully launched: org.test.Viewer.desktop");
    EXPECT_EQ(success(callTool(m_tool, {{"app", "pLAYER"}})), "Successfully launched: org.test.Player.desktop");
    const auto editor = m_apps.waitForRecord(QStringLiteral("editor"));
    const auto viewer = m_apps.waitForRecord(QStringLiteral("viewer"));
    ASSERT_TRUE(editor && viewer && m_apps.waitForRecord(QStringLiteral("player")));
    EXPECT_EQ(editor->arguments, (QStringList{QStringLiteral("-a"), QStringLiteral("-b")}));
    EXPECT_EQ(viewer->arguments, (QStringList{QStringLiteral("x"), QString(), QStringLiteral("'y"), QStringLiteral("z'")}));

    EXPECT_EQ(failure(callTool(m_tool, {{"app", "org.test.Missing"}})), "Application not found: org.test.Missing");
    EXPECT_EQ(failure(callTool(m_tool, {{"app", "Edit"}})), "Application not found: Edit");
    EXPECT_EQ(failure(callTool(m_tool, {{"app", "test.Editor.desktop"}})), "Application not found: test.Editor.desktop");
    EXPECT_EQ(failure(callTool(m_tool, {{"app", 42}})), "Missing required argument: app");
}

TEST_F(LaunchApp, TakesADesktopFileIdWithItsSuffixAndKeepsTheEntrysOwnArgumentsBeforeTheGivenOnes)
{
    m_apps.addApplication(QStringLiteral("org.test.Editor"), QStringLiteral("Text Editor"), QStringLiteral("editor"),
                          QStringLiteral("--new-window"));

    EXPECT_EQ(success(callTool(m_tool, {{"app", "org.test.Editor.desktop"}, {"arguments", "-a b"}})),
              "Successfully launched: org.test.Editor.desktop");
    const auto editor = m_apps.waitForRecord(QStringLiteral("editor"));
    ASSERT_TRUE(editor);
    EXPECT_EQ(editor->arguments, (QStringList{QStringLiteral("--new-window"), QStringLiteral("-a"), QStringLiteral("b")}));

    EXPECT_EQ(failure(callTool(m_tool, {{"app", ".desktop"}})), "Application not found: .desktop");
    EXPECT_EQ(failure(callTool(m_tool, {{"app", "org.test.Missing.desktop"}})), "Application not found: org.test.Missing.desktop");
}

TEST_F(LaunchApp, TakesTheIdListRunningAppsPrintsEvenWithoutADotBeforeAnyNameMatch)
{
    // An id without a dot, and a second entry whose name is that id: the id wins.
    m_apps.addApplication(QStringLiteral("xlogo-test"), QStringLiteral("Logo"), QStringLiteral("logo"));
    m_apps.addApplication(QStringLiteral("org.test.Other"), QStringLiteral("xlogo-test"), QStringLiteral("other"));

    EXPECT_EQ(success(callTool(m_tool, {{"app", "xlogo-test"}})), "Successfully launched: xlogo-test.desktop");
    EXPECT_EQ(success(callTool(m_tool, {{"app", "xlogo-test.desktop"}})), "Successfully launched: xlogo-test.desktop");
    EXPECT_TRUE(m_apps.waitForRecord(QStringLiteral("logo")));
}

TEST_F(LaunchApp, StartsAnExecutableNamedByItsAbsolutePath)
{
    const QString program = m_apps.installProgram(QStringLiteral("by-path"));
    const std::string records = QFile::encodeName(m_apps.binDirectory()).toStdString() + "/../records";
    EXPECT_EQ(success(callTool(m_tool, {{"app", program.toStdString()}, {"arguments", records + " x"}})), "Successfully launched: by-path");
    const auto record = m_apps.waitForRecord(QStringLiteral("by-path"));
    ASSERT_TRUE(record);
    EXPECT_EQ(record->arguments, QStringList{QStringLiteral("x")});

    // Neither a folder nor a file that cannot be executed is a program.
    m_apps.writeEntry(QStringLiteral("org.test.Plain"), QStringLiteral("Type=Application\nName=Plain\nExec=true"));
    const QString plainFile = m_apps.applicationsDirectory() + QStringLiteral("/org.test.Plain.desktop");
    for (const QString& path : {m_apps.binDirectory(), m_apps.binDirectory() + QStringLiteral("/nothing"), plainFile})
        EXPECT_EQ(failure(callTool(m_tool, {{"app", path.toStdString()}})), "Application not found: " + path.toStdString());
}

TEST_F(LaunchApp, StartsAProgramOnThePathWhenNoApplicationHasTheName)
{
    m_apps.installProgram(QStringLiteral("plain-tool"));
    const ScopedEnvironmentVariable path("PATH", QFile::encodeName(m_apps.binDirectory()) + ":" + qgetenv("PATH"));

    // A program gets nothing but the given arguments: the stand-in needs its record folder.
    const std::string records = QFile::encodeName(m_apps.binDirectory()).toStdString() + "/../records";
    EXPECT_EQ(success(callTool(m_tool, {{"app", "plain-tool"}, {"arguments", records + " one"}})), "Successfully launched: plain-tool");
    const auto record = m_apps.waitForRecord(QStringLiteral("plain-tool"));
    ASSERT_TRUE(record);
    EXPECT_EQ(record->arguments, QStringList{QStringLiteral("one")});
}

TEST_F(LaunchApp, ReportsAProgramThatCannotStartOrEndsAtOnceWithAnError)
{
    // Long enough for any machine to see the failing program end.
    auto configuration = m_apps.workspaceConfiguration();
    configuration.launchSettleTime = std::chrono::seconds(30);
    const LinuxWorkspace patient(configuration);
    LaunchAppTool tool(patient);
    m_apps.addApplication(QStringLiteral("org.test.Broken"), QStringLiteral("Broken"), QStringLiteral("broken"), QStringLiteral("--fail"));
    m_apps.writeEntry(QStringLiteral("org.test.Gone"), QStringLiteral("Type=Application\nName=Gone\nExec=/nonexistent/gone %u"));
    m_apps.writeEntry(QStringLiteral("org.test.Odd"), QStringLiteral("Type=Application\nName=Odd\nExec=odd %z"));

    const std::string broken = QFile::encodeName(m_apps.binDirectory()).toStdString() + "/broken";
    EXPECT_EQ(failure(callTool(tool, {{"app", "Broken"}})), "Failed to launch app: " + broken + " exited with status 3");
    EXPECT_EQ(failure(callTool(tool, {{"app", "Gone"}})), "Failed to launch app: /nonexistent/gone: No such file or directory");
    EXPECT_EQ(failure(callTool(tool, {{"app", "Odd"}})),
              "Failed to launch app: org.test.Odd.desktop has an invalid Exec command: unknown field code %z");
}

} // namespace
