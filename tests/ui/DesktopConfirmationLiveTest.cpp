#include "control/ControlServer.h"
#include "control/ServerComponents.h"
#include "platform/SystemServices.h"
#include "platform/store/QSettingsPreferencesStore.h"
#include "support/FakeClock.h"
#include "support/FakeStandardStreams.h"
#include "support/TemporaryHome.h"
#include "support/ZarnelProcess.h"
#include "ui/DesktopConfirmations.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

namespace {

using nlohmann::json;

// This process plays the desktop instance on a real X server; a client drives a second,
// headless zarnel whose user asked for confirmation. That one's client cannot ask its user, so
// its calls that change things wait for this process's dialogs.
class DialogForAnotherProcess : public ::testing::Test {
protected:
    void SetUp() override
    {
        home.writePreferences({{QStringLiteral("requireConfirmation"), true}});
        for (const QString& path : {victim(), other()}) {
            QFile file(path);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write("keep me");
        }
        control.setDesktop(true);
        ASSERT_TRUE(control.listen()) << control.problem().toStdString();
        confirmations.registerWith(control);
    }

    static void start(ZarnelProcess& process)
    {
        ASSERT_TRUE(process.start());
        ASSERT_TRUE(process.initialize().has_value());
    }

    QString victim() const { return home.path() + QStringLiteral("/notes.txt"); }
    QString other() const { return home.path() + QStringLiteral("/other.txt"); }

    static void callDelete(ZarnelProcess& process, int id, const QString& path)
    {
        process.send({{"jsonrpc", "2.0"},
                      {"id", id},
                      {"method", "tools/call"},
                      {"params", {{"name", "delete_file"}, {"arguments", {{"path", path.toStdString()}}}}}});
    }

    // The dialog showing this question, among the top-level windows, once it is on screen.
    ConfirmationDialog* dialogAsking(const QString& message)
    {
        ConfirmationDialog* found = nullptr;
        (void)QTest::qWaitFor(
            [&] {
                for (QWidget* widget : QApplication::topLevelWidgets()) {
                    auto* dialog = qobject_cast<ConfirmationDialog*>(widget);
                    if (dialog && dialog->isVisible() && dialog->messageText() == message)
                        found = dialog;
                }
                return found != nullptr;
            },
            10000);
        return found;
    }

    // The result of the call with this id, read while this process keeps answering its socket.
    static json resultOf(ZarnelProcess& process, int id)
    {
        while (QTest::qWaitFor([&] { return process.process().canReadLine(); }, 10000)) {
            const auto message = process.readMessage(0);
            if (message && message->is_object() && message->value("id", json()) == id)
                return message->value("result", json());
        }
        return json();
    }

    TemporaryHome home;
    QTemporaryDir dir;
    QSettingsPreferencesStore store{dir.filePath(QStringLiteral("zarnel.conf"))};
    FakeClock clock;
    FakeStandardStreams streams;
    ServerComponents components{store, clock, streams, SystemServices::forThisSession()};
    ControlServer control{components,
                          ControlFolder(home.environment().value(QStringLiteral("XDG_RUNTIME_DIR")) + QStringLiteral("/zarnel"))};
    DesktopConfirmations confirmations;
    ZarnelProcess second{home};
    ZarnelProcess third{home};
};

QString question(const QString& path)
{
    return QStringLiteral("Allow delete_file to delete ") + path + QLatin1Char('?');
}

TEST_F(DialogForAnotherProcess, EachWaitingCallRunsOnlyWhenItsOwnDialogIsAllowed)
{
    // Two clients' calls wait at once (each process answers its client in order, one at a time).
    start(second);
    start(third);
    callDelete(second, 10, victim());
    callDelete(third, 10, other());
    ConfirmationDialog* first = dialogAsking(question(victim()));
    ConfirmationDialog* next = dialogAsking(question(other()));
    ASSERT_NE(first, nullptr);
    ASSERT_NE(next, nullptr);
    EXPECT_TRUE(first->denyButton()->isDefault());
    EXPECT_TRUE(QFile::exists(victim()));

    QTest::mouseClick(next->allowButton(), Qt::LeftButton);
    const json allowed = resultOf(third, 10);
    ASSERT_TRUE(allowed.contains("content")) << allowed.dump();
    EXPECT_FALSE(allowed.value("isError", false));
    EXPECT_FALSE(QFile::exists(other()));
    EXPECT_TRUE(QFile::exists(victim())); // its own question is still open

    QTest::mouseClick(first->denyButton(), Qt::LeftButton);
    EXPECT_EQ(resultText(resultOf(second, 10)), "Not approved: delete_file was declined");
    EXPECT_TRUE(QFile::exists(victim()));
    EXPECT_TRUE(QTest::qWaitFor([&] { return confirmations.openDialogs().isEmpty(); }, 5000));
}

TEST_F(DialogForAnotherProcess, DeniesByItselfWhenNobodyAnswersInTime)
{
    second.environment().insert(QStringLiteral("ZARNEL_TEST_CONFIRMATION_TIME_LIMIT_MS"), QStringLiteral("1500"));
    start(second);
    QSignalSpy shown(&confirmations, &DesktopConfirmations::dialogShown);
    callDelete(second, 10, victim());
    const json result = resultOf(second, 10);
    EXPECT_EQ(resultText(result), "Not approved: delete_file was not answered");
    EXPECT_EQ(result.value("isError", false), true);
    EXPECT_EQ(shown.count(), 1);
    EXPECT_TRUE(QTest::qWaitFor([&] { return confirmations.openDialogs().isEmpty(); }, 5000));
    EXPECT_TRUE(QFile::exists(victim()));
}

TEST_F(DialogForAnotherProcess, ClosesTheDialogOfACancelledCallAndNeverAsksAboutReadOnlyTools)
{
    start(second);
    QSignalSpy shown(&confirmations, &DesktopConfirmations::dialogShown);
    callDelete(second, 7, victim());
    ASSERT_NE(dialogAsking(question(victim())), nullptr);
    second.send({{"jsonrpc", "2.0"}, {"method", "notifications/cancelled"}, {"params", {{"requestId", 7}, {"reason", "user"}}}});
    EXPECT_TRUE(QTest::qWaitFor([&] { return confirmations.openDialogs().isEmpty(); }, 10000));
    EXPECT_TRUE(QFile::exists(victim()));

    second.send({{"jsonrpc", "2.0"},
                 {"id", 8},
                 {"method", "tools/call"},
                 {"params", {{"name", "read_file"}, {"arguments", {{"path", victim().toStdString()}}}}}});
    EXPECT_EQ(resultText(resultOf(second, 8)), "keep me");
    EXPECT_EQ(shown.count(), 1);
}

} // namespace
