#include "ui/tray/TrayMenu.h"

#include <gtest/gtest.h>

#include <QSignalSpy>

namespace {

QStringList actionTexts(const QMenu& menu)
{
    QStringList texts;
    for (const QAction* action : menu.actions())
        texts << (action->isSeparator() ? QStringLiteral("---") : action->text());
    return texts;
}

} // namespace

TEST(TrayMenu, MirrorsTheModelItemForItem)
{
    TrayMenuModel model;
    model.setFigures(TrayFigures{true, 1, 2, {QStringLiteral("Request: tools/list")}, {}});
    TrayMenu menu(model);
    QStringList expected;
    for (const TrayMenuItem& item : model.items())
        expected << (item.separator ? QStringLiteral("---") : item.text);
    EXPECT_EQ(actionTexts(menu), expected);
    EXPECT_FALSE(menu.actions()[0]->isEnabled());
    EXPECT_TRUE(menu.actions()[4]->isEnabled());
}

TEST(TrayMenu, AnOpenMenuIsUpdatedInPlace)
{
    TrayMenuModel model;
    model.setFigures(TrayFigures{false, 0, 0, {QStringLiteral("first")}, {}});
    TrayMenu menu(model);
    menu.popup(QPoint(10, 10));
    const QList<QAction*> before = menu.actions();

    model.setFigures(TrayFigures{true, 1, 5, {QStringLiteral("second"), QStringLiteral("first")}, {}});
    EXPECT_TRUE(menu.isVisible());
    const QList<QAction*> after = menu.actions();
    // The items above the log keep their actions, with new texts.
    for (int i = 0; i < 12; ++i)
        EXPECT_EQ(after[i], before[i]) << i;
    EXPECT_EQ(after[0]->text(), QStringLiteral("\u25CF Running"));
    EXPECT_EQ(after[4]->text(), QStringLiteral("Stop Server"));
    EXPECT_EQ(after[12]->text(), QStringLiteral("  first"));

    // Emptying the log takes the block out.
    model.setFigures(TrayFigures{true, 1, 5, {}, {}});
    EXPECT_EQ(menu.actions().size(), 13);
    EXPECT_EQ(menu.actions()[10]->text(), QStringLiteral("Settings..."));
    menu.hide();
}

TEST(TrayMenu, AnActionNeverTurnsIntoAnotherCommandWhenLinesMove)
{
    TrayMenuModel model;
    model.setFigures(TrayFigures{false, 0, 0, {QStringLiteral("first")}, {}});
    TrayMenu menu(model);
    QSignalSpy chosen(&menu, &TrayMenu::actionChosen);
    // A click on Quit as the menu showed it, taken after the lines above it moved down or up.
    for (const QStringList& log :
         {QStringList{QStringLiteral("second"), QStringLiteral("first")}, QStringList{}, QStringList{QStringLiteral("x")}}) {
        QAction* quit = menu.actions().last();
        model.setFigures(TrayFigures{false, 0, 0, log, {}});
        if (menu.actions().contains(quit))
            quit->trigger();
        EXPECT_EQ(menu.actions().last()->text(), QStringLiteral("Quit"));
    }
    for (const QList<QVariant>& each : chosen)
        EXPECT_EQ(each[0].value<TrayAction>(), TrayAction::Quit);
    EXPECT_GE(chosen.size(), 2);
}

TEST(TrayMenu, ChoosingACommandReportsItsAction)
{
    TrayMenuModel model;
    TrayMenu menu(model);
    QSignalSpy chosen(&menu, &TrayMenu::actionChosen);
    menu.actions()[4]->trigger();
    menu.actions().last()->trigger();
    ASSERT_EQ(chosen.size(), 2);
    EXPECT_EQ(chosen[0][0].value<TrayAction>(), TrayAction::ToggleServer);
    EXPECT_EQ(chosen[1][0].value<TrayAction>(), TrayAction::Quit);
}

TEST(TrayMenu, LogMessagesAreShownAsTheyAreOnOneLine)
{
    EXPECT_EQ(TrayMenu::displayText(QStringLiteral("  cp a && b\nls\tx")), QStringLiteral("  cp a &&&& b ls x"));
}

TEST(TrayMenu, AShortenedEntryShowsItsWholeTextAsPlainTextOnHover)
{
    TrayMenuModel model;
    const QString command = QStringLiteral("Tool call: execute_command echo <b>") + QString(100, u'x');
    model.setFigures(TrayFigures{true, 0, 0, {command}, {}});
    TrayMenu menu(model);
    EXPECT_TRUE(menu.toolTipsVisible());
    const qsizetype heading = actionTexts(menu).indexOf(QStringLiteral("Recent Activity"));
    ASSERT_GE(heading, 0);
    const QString toolTip = menu.actions()[heading + 1]->toolTip();
    EXPECT_TRUE(toolTip.contains(QStringLiteral("&lt;b&gt;") + QString(100, u'x'))) << toolTip.toStdString();
    EXPECT_FALSE(toolTip.contains(QStringLiteral("<b>")));
    EXPECT_LT(menu.sizeHint().width(), 800);
}
