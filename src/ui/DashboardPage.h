#pragma once

#include <QString>

#include <array>

// The pages of the dashboard window, in sidebar order.
enum class DashboardPage { Status, Statistics, ActivityLog, Functions, Settings, GettingStarted, Examples };

inline constexpr std::array kDashboardPages{DashboardPage::Status,    DashboardPage::Statistics, DashboardPage::ActivityLog,
                                            DashboardPage::Functions, DashboardPage::Settings,   DashboardPage::GettingStarted,
                                            DashboardPage::Examples};

// The sidebar label: "Status", "Statistics", "Activity Log", ...
QString dashboardPageTitle(DashboardPage page);
