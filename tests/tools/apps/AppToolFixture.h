#pragma once

#include "platform/LinuxWorkspace.h"
#include "support/FakeActiveWindow.h"
#include "support/TestApplications.h"
#include "tools/MCPToolProtocol.h"

#include <QCoroTask>
#include <gtest/gtest.h>

#include <memory>

// The application tools over stand-in applications in a temporary XDG data directory.
class AppToolTest : public ::testing::Test {
protected:
    AppToolTest()
    {
        auto configuration = m_apps.workspaceConfiguration();
        configuration.activeWindow = m_activeWindow;
        m_workspace = std::make_unique<LinuxWorkspace>(std::move(configuration));
    }

    static MCPToolCallResponse call(MCPToolProtocol& tool, const Json& arguments)
    {
        return QCoro::waitFor(tool.execute(arguments.get<Arguments>(), {}));
    }
    // The one text item of a successful answer, or a failure of the test.
    static std::string success(const MCPToolCallResponse& response)
    {
        EXPECT_FALSE(response.isError.has_value()) << text(response);
        return text(response);
    }
    static std::string failure(const MCPToolCallResponse& response)
    {
        EXPECT_EQ(response.isError, std::optional<bool>(true)) << text(response);
        return text(response);
    }
    static std::string text(const MCPToolCallResponse& response)
    {
        if (response.content.size() != 1 || !std::holds_alternative<MCPContent::Text>(response.content.front().value))
            return "<not one text item>";
        return std::get<MCPContent::Text>(response.content.front().value).text;
    }

    TestApplications m_apps;
    std::shared_ptr<FakeActiveWindow> m_activeWindow = std::make_shared<FakeActiveWindow>();
    std::unique_ptr<LinuxWorkspace> m_workspace;
};
