#include "ui/DesktopConfirmations.h"
#include "control/ControlServer.h"
#include "control/DesktopConfirmationAsker.h"
#include "control/ServerComponents.h"
#include "platform/QSettingsPreferencesStore.h"
#include "platform/SystemServices.h"
#include "support/FakeClock.h"
#include "support/FakeStandardStreams.h"
#include "support/PendingConfirmation.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>

namespace {

using namespace std::chrono_literals;

const QString kQuestion = QStringLiteral("Allow delete_file to delete /tmp/x?");

// A desktop instance's control socket with its dialogs, and a process asking it a question.
class DesktopConfirmationsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        control.setDesktop(true);
        ASSERT_TRUE(control.listen()) << control.problem().toStdString();
        confirmations.registerWith(control);
    }

    QTemporaryDir dir;
    QSettingsPreferencesStore store{dir.filePath(QStringLiteral("zarnel.conf"))};
    FakeClock clock;
    FakeStandardStreams streams;
    ServerComponents components{store, clock, streams, SystemServices::forThisSession()};
    ControlFolder folder{dir.filePath(QStringLiteral("control"))};
    ControlServer control{components, folder};
    DesktopConfirmations confirmations;

    ConfirmationDialog* shownDialog()
    {
        return waitUntil([&] { return confirmations.openDialogs().size() == 1; }) ? confirmations.openDialogs().front() : nullptr;
    }
};

TEST_F(DesktopConfirmationsTest, ShowsTheQuestionWithDenyAsTheDefaultAndAnswersWhatIsPressed)
{
    DesktopConfirmationAsker asker(folder, 60s, [] { return QStringLiteral("Claude Code 1.0.3"); });
    ASSERT_TRUE(asker.canAsk());
    const auto allowed = PendingConfirmation::start(asker, kQuestion);
    ConfirmationDialog* dialog = shownDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->findChild<QLabel*>(QStringLiteral("message"))->text(), QStringLiteral("Allow delete_file to delete /tmp/x?"));
    EXPECT_EQ(dialog->findChild<QLabel*>(QStringLiteral("remaining"))->text(), QStringLiteral("Denied by itself in 60 s"));
    EXPECT_TRUE(dialog->denyButton()->isDefault());
    EXPECT_FALSE(dialog->allowButton()->isDefault());
    EXPECT_FALSE(allowed->answer.has_value());
    dialog->allowButton()->click();
    ASSERT_TRUE(waitUntil([&] { return allowed->answer.has_value(); }));
    EXPECT_EQ(*allowed->answer, ConfirmationAnswer::Allowed);

    const auto denied = PendingConfirmation::start(asker, kQuestion);
    dialog = shownDialog();
    ASSERT_NE(dialog, nullptr);
    dialog->reject(); // Escape or the window's close button
    ASSERT_TRUE(waitUntil([&] { return denied->answer.has_value(); }));
    EXPECT_EQ(*denied->answer, ConfirmationAnswer::Declined);
}

TEST_F(DesktopConfirmationsTest, DeniesByItselfWhenTheTimeRunsOutAndClosesWhenWithdrawn)
{
    DesktopConfirmationAsker hurried(folder, 50ms, {});
    const auto unanswered = PendingConfirmation::start(hurried, kQuestion);
    ASSERT_TRUE(waitUntil([&] { return unanswered->answer.has_value(); }));
    EXPECT_EQ(*unanswered->answer, ConfirmationAnswer::NotAnswered);
    EXPECT_TRUE(confirmations.openDialogs().isEmpty());

    DesktopConfirmationAsker patient(folder, 60s, {});
    const auto first = PendingConfirmation::start(patient, QStringLiteral("first?"));
    const auto second = PendingConfirmation::start(patient, QStringLiteral("second?"));
    ASSERT_TRUE(waitUntil([&] { return confirmations.openDialogs().size() == 2; }));
    first->withdrawn.cancel();
    ASSERT_TRUE(waitUntil([&] { return first->answer.has_value(); }));
    EXPECT_EQ(*first->answer, ConfirmationAnswer::Cancelled);
    ASSERT_EQ(confirmations.openDialogs().size(), 1);
    EXPECT_EQ(confirmations.openDialogs().front()->findChild<QLabel*>(QStringLiteral("message"))->text(), QStringLiteral("second?"));
    EXPECT_FALSE(second->answer.has_value());
    confirmations.openDialogs().front()->allowButton()->click();
    ASSERT_TRUE(waitUntil([&] { return second->answer.has_value(); }));
    EXPECT_EQ(*second->answer, ConfirmationAnswer::Allowed);
}

TEST_F(DesktopConfirmationsTest, FindsNoOneToAskWithoutADesktopInstance)
{
    control.setDesktop(false);
    DesktopConfirmationAsker asker(folder, 60s, {});
    const auto asking = PendingConfirmation::start(asker, kQuestion);
    ASSERT_TRUE(waitUntil([&] { return asking->answer.has_value(); }));
    EXPECT_EQ(*asking->answer, ConfirmationAnswer::Unreachable);
    EXPECT_TRUE(confirmations.openDialogs().isEmpty());
}

TEST_F(DesktopConfirmationsTest, RefusesMalformedQuestions)
{
    const auto reply = QCoro::waitFor(control.handle(ControlProtocol::Request{1, "confirm", Json{{"id", "x"}, {"message", "m"}}}));
    EXPECT_FALSE(reply.ok);
    EXPECT_EQ(reply.code, "badArguments");
    EXPECT_TRUE(QCoro::waitFor(control.handle(ControlProtocol::Request{2, "withdraw-confirmation", Json{{"id", "unknown"}}})).ok);
}

} // namespace
