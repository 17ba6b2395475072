#include "tools/apps/AppToolFixture.h"

#include "tools/apps/QuitAppTool.h"

namespace {

class QuitApp : public AppToolTest {
protected:
    QuitAppTool m_tool{*m_workspace};
};

TEST_F(QuitApp, MatchesTheNameInAnyLetterCaseButTheIdentifierOnlyInItsOwn)
{
    m_apps.addApplication(QStringLiteral("org.test.Sleeper"), QStringLiteral("Sleeper"), QStringLiteral("sleeper"));
    const qint32 pid = m_apps.startProgram(QStringLiteral("sleeper"));

    EXPECT_EQ(failure(callTool(m_tool, {{"app", "org.test.sleeper"}})), "Application not running: org.test.sleeper");
    EXPECT_TRUE(TestApplications::isRunning(pid));
    EXPECT_EQ(success(callTool(m_tool, {{"app", "sLEEPER"}})), "Successfully quit: Sleeper");
    EXPECT_TRUE(TestApplications::waitUntilEnded(pid));
    EXPECT_EQ(failure(callTool(m_tool, {{"app", "org.test.Sleeper"}})), "Application not running: org.test.Sleeper");
    EXPECT_EQ(failure(callTool(m_tool)), "Missing required argument: app");
}

TEST_F(QuitApp, ForcesAProgramThatIgnoresTheRequestToQuit)
{
    m_apps.addApplication(QStringLiteral("org.test.Stubborn"), QStringLiteral("Stubborn"), QStringLiteral("stubborn"),
                          QStringLiteral("--ignore-term"));
    const qint32 pid = m_apps.startProgram(QStringLiteral("stubborn"), {QStringLiteral("--ignore-term")});

    // Delivered is all a request can say.
    EXPECT_EQ(success(callTool(m_tool, {{"app", "Stubborn"}})), "Successfully quit: Stubborn");
    EXPECT_TRUE(TestApplications::isRunning(pid));
    EXPECT_EQ(success(callTool(m_tool, {{"app", "Stubborn"}, {"force", true}})), "Successfully quit: Stubborn");
    EXPECT_TRUE(TestApplications::waitUntilEnded(pid));
}

} // namespace
