#pragma once

#include "platform/desktop/LinuxWorkspace.h"
#include "support/FakeActiveWindow.h"
#include "support/TestApplications.h"
#include "support/ToolCalls.h"

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

    TestApplications m_apps;
    std::shared_ptr<FakeActiveWindow> m_activeWindow = std::make_shared<FakeActiveWindow>();
    std::unique_ptr<LinuxWorkspace> m_workspace;
};
