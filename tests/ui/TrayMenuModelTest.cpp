#include "ui/tray/TrayMenuModel.h"

#include <gtest/gtest.h>

#include <QSignalSpy>

namespace {

QStringList texts(const QList<TrayMenuItem>& items)
{
    QStringList result;
    for (const TrayMenuItem& item : items)
        result << (item.separator ? QStringLiteral("---") : item.text);
    return result;
}

QStringList messages(int count)
{
    QStringList newestFirst;
    for (int i = count; i >= 1; --i)
        newestFirst << QStringLiteral("Entry %1").arg(i);
    return newestFirst;
}

} // namespace

TEST(TrayMenuModel, WithAnEmptyLogSettingsFollowsTheActivityLogSeparator)
{
    const TrayFigures figures{false, 3, 41, {}, {}};
    EXPECT_EQ(texts(TrayMenuModel::itemsFor(figures)),
              (QStringList{"\u25CB Stopped", "Connections: 3", "Total Requests: 41", "---", "Start Server", "---", "Show Dashboard",
                           "Show Statistics", "Show Activity Log", "---", "Settings...", "---", "Quit"}));
}

TEST(TrayMenuModel, WaitingClientsAreCountedAndNamedAboveTheStartItem)
{
    const TrayFigures figures{false, 0, 41, {}, {QStringLiteral("Claude Code"), QString()}};
    EXPECT_EQ(texts(TrayMenuModel::itemsFor(figures)).mid(0, 7),
              (QStringList{"\u25CB Stopped", "Connections: 0", "Waiting clients: 2", "  Claude Code", "  unnamed client",
                           "Total Requests: 41", "---"}));
    EXPECT_EQ(TrayMenuModel::itemsFor(figures).value(7).action, TrayAction::ToggleServer);
    EXPECT_EQ(TrayMenuModel::itemsFor(figures).value(7).text, QStringLiteral("Start Server"));
}

TEST(TrayMenuModel, OnlyTheCommandsCanBeChosen)
{
    for (const TrayMenuItem& item : TrayMenuModel::itemsFor(TrayFigures{true, 1, 1, messages(2), {}})) {
        if (item.separator)
            continue;
        EXPECT_EQ(item.enabled, item.action != TrayAction::None) << item.text.toStdString();
    }
    const QList<TrayMenuItem> items = TrayMenuModel::itemsFor(TrayFigures{});
    const QList<TrayAction> commands{TrayAction::ToggleServer,    TrayAction::ShowDashboard, TrayAction::ShowStatistics,
                                     TrayAction::ShowActivityLog, TrayAction::ShowSettings,  TrayAction::Quit};
    QList<TrayAction> found;
    for (const TrayMenuItem& item : items) {
        if (item.action != TrayAction::None)
            found << item.action;
    }
    EXPECT_EQ(found, commands);
}

TEST(TrayMenuModel, RecentActivityListsTheNewestFiveIndented)
{
    const struct {
        int entries;
        QStringList shown;
    } cases[] = {
        {3, {"  Entry 3", "  Entry 2", "  Entry 1"}},
        {8, {"  Entry 8", "  Entry 7", "  Entry 6", "  Entry 5", "  Entry 4"}},
    };
    for (const auto& c : cases) {
        const QStringList all = texts(TrayMenuModel::itemsFor(TrayFigures{true, 0, 0, messages(c.entries), {}}));
        const qsizetype heading = all.indexOf(QStringLiteral("Recent Activity"));
        ASSERT_EQ(heading, 10) << c.entries;
        EXPECT_EQ(all.mid(heading + 1, c.shown.size()), c.shown);
        EXPECT_EQ(all.mid(heading + 1 + c.shown.size()), (QStringList{"---", "Settings...", "---", "Quit"}));
    }
}

TEST(TrayMenuModel, ALongMessageIsShortenedInTheMiddleWithTheWholeOfItAsTooltip)
{
    const QString atTheLimit = QStringLiteral("Tool call: ") + QString(49, u'a');
    const QString command = QStringLiteral("Tool call: execute_command ") + QString(600, u'x') + QStringLiteral(" > /tmp/out.txt");
    // A character outside the Basic Multilingual Plane where the cut would fall is kept whole.
    const QString emoji = QString(29, u'b') + QStringLiteral("\U0001F600") + QString(100, u'c');
    const QList<TrayMenuItem> items = TrayMenuModel::itemsFor(TrayFigures{true, 0, 0, {atTheLimit, command, emoji}, {}});
    const qsizetype heading = texts(items).indexOf(QStringLiteral("Recent Activity"));
    ASSERT_GE(heading, 0);

    EXPECT_EQ(items[heading + 1].text, QStringLiteral("  ") + atTheLimit);
    EXPECT_EQ(items[heading + 1].toolTip, QString());

    const TrayMenuItem& shortened = items[heading + 2];
    EXPECT_EQ(shortened.text, QStringLiteral("  Tool call: execute_command xxx\u2026xxxxxxxxxxxxxx > /tmp/out.txt"));
    EXPECT_EQ(shortened.text.size(), 2 + TrayMenuModel::kMaxEntryLength);
    EXPECT_EQ(shortened.toolTip, command);

    EXPECT_EQ(items[heading + 3].text, QStringLiteral("  ") + QString(29, u'b') + QStringLiteral("\u2026") + QString(29, u'c'));
}

TEST(TrayMenuModel, AfterStartTheMenuSaysRunningAndOffersStop)
{
    TrayMenuModel model;
    QSignalSpy changes(&model, &TrayMenuModel::itemsChanged);
    EXPECT_EQ(model.items().first().text, QStringLiteral("\u25CB Stopped"));
    model.setFigures(TrayFigures{true, 2, 7, {QStringLiteral("Server started")}, {}});
    EXPECT_EQ(changes.size(), 1);
    EXPECT_EQ(model.items()[0].text, QStringLiteral("\u25CF Running"));
    EXPECT_EQ(model.items()[4].text, QStringLiteral("Stop Server"));
    EXPECT_EQ(trayAppearance(true).toolTip, QStringLiteral("Zarnel Server - Running"));
    // The same figures again change nothing, so an open menu is left alone.
    model.setFigures(TrayFigures{true, 2, 7, {QStringLiteral("Server started")}, {}});
    EXPECT_EQ(changes.size(), 1);
}

TEST(TrayAppearance, NamesTheStateInTheAccessibleNameAndTooltip)
{
    const struct {
        std::optional<bool> running;
        const char* accessibleName;
        const char* toolTip;
    } cases[] = {
        {std::nullopt, "Zarnel", ""},
        {true, "Zarnel Running", "Zarnel Server - Running"},
        {false, "Zarnel Stopped", "Zarnel Server - Stopped"},
    };
    for (const auto& c : cases) {
        const TrayAppearance look = trayAppearance(c.running);
        EXPECT_EQ(look.accessibleName, QString::fromUtf8(c.accessibleName));
        EXPECT_EQ(look.toolTip, QString::fromUtf8(c.toolTip));
        EXPECT_EQ(look.running, c.running.value_or(false));
    }
}
