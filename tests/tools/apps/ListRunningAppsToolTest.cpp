#include "tools/apps/AppToolFixture.h"

#include "tools/apps/ListRunningAppsTool.h"

namespace {

class ListRunningApps : public AppToolTest {
protected:
    ListRunningAppsTool m_tool{*m_workspace};
};

TEST_F(ListRunningApps, ShowsEveryRunningApplicationInCodePointOrderWithTheActiveOneFilled)
{
    m_apps.addApplication(QStringLiteral("org.test.Zeta"), QStringLiteral("Zeta"), QStringLiteral("zeta"));
    m_apps.addApplication(QStringLiteral("org.test.alpha"), QStringLiteral("alpha"), QStringLiteral("alpha"));
    m_apps.addApplication(QStringLiteral("org.test.Beta"), QStringLiteral("Beta"), QStringLiteral("beta"));
    m_apps.addApplication(QStringLiteral("org.test.Idle"), QStringLiteral("Idle"), QStringLiteral("idle"));
    EXPECT_EQ(success(callTool(m_tool)), "Running Applications:\n\n");

    const qint32 zeta = m_apps.startProgram(QStringLiteral("zeta"));
    const qint32 alpha = m_apps.startProgram(QStringLiteral("alpha"));
    const qint32 beta = m_apps.startProgram(QStringLiteral("beta"));
    m_activeWindow->setOwner(zeta);

    EXPECT_EQ(success(callTool(m_tool)),
              "Running Applications:\n\n"
              "○ Beta\n   Desktop entry ID: org.test.Beta\n   PID: "
                  + std::to_string(beta)
                  + "\n\n"
                    "● Zeta\n   Desktop entry ID: org.test.Zeta\n   PID: "
                  + std::to_string(zeta)
                  + "\n\n"
                    "○ alpha\n   Desktop entry ID: org.test.alpha\n   PID: "
                  + std::to_string(alpha) + "\n\n");
}

// What the workspace reports beyond what installed entries give: nameless applications,
// missing identifiers, equal names and names outside the basic plane.
class ScriptedWorkspace : public Workspace {
public:
    std::vector<RunningApplication> applications;

    std::vector<RunningApplication> runningApplications() const override { return applications; }
    std::optional<ApplicationLocation> applicationWithIdentifier(const QString&) const override { return {}; }
    std::optional<ApplicationLocation> applicationWithShortName(const QString&) const override { return {}; }
    std::optional<ApplicationLocation> executableNamed(const QString&) const override { return {}; }
    LaunchResult openApplication(const ApplicationLocation&, const LaunchOptions&) const override { return {}; }
    bool terminate(const RunningApplication&, bool) const override { return false; }
};

TEST(ListRunningAppsOfAnyWorkspace, LeavesOutNamelessOnesAndKeepsTheWorkspaceOrderForEqualNames)
{
    ScriptedWorkspace workspace;
    workspace.applications = {
        {QStringLiteral("Same"), QStringLiteral("org.test.first"), 30, false},
        {std::nullopt, QStringLiteral("org.test.nameless"), 10, true},
        {QString::fromUtf8("\xF0\x9F\x98\x80 Smile"), QStringLiteral("org.test.smile"), 40, false},
        {QString::fromUtf8("\xEF\xBC\xA1 Wide"), QStringLiteral("org.test.wide"), 50, false},
        {QStringLiteral("Same"), std::nullopt, 20, false},
    };
    // U+FF21 comes before U+1F600, although its UTF-16 units do not.
    EXPECT_EQ(success(callTool(ListRunningAppsTool(workspace))),
              "Running Applications:\n\n"
              "○ Same\n   Desktop entry ID: org.test.first\n   PID: 30\n\n"
              "○ Same\n   Desktop entry ID: unknown\n   PID: 20\n\n"
              "○ \xEF\xBC\xA1 Wide\n   Desktop entry ID: org.test.wide\n   PID: 50\n\n"
              "○ \xF0\x9F\x98\x80 Smile\n   Desktop entry ID: org.test.smile\n   PID: 40\n\n");
}

} // namespace
