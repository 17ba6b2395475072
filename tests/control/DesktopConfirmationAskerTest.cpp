#include "control/DesktopConfirmationAsker.h"
#include "control/ControlServer.h"
#include "control/DesktopInstanceFinder.h"
#include "control/ServerComponents.h"
#include "platform/SystemServices.h"
#include "platform/store/QSettingsPreferencesStore.h"
#include "support/ControlledProcess.h"
#include "support/FakeClock.h"
#include "support/FakeStandardStreams.h"
#include "support/PendingConfirmation.h"

#include <gtest/gtest.h>

#include <QCoroSignal>
#include <QTemporaryDir>
#include <QTimer>

namespace {

using namespace std::chrono_literals;
using ControlProtocol::Reply;

// Stands in for the desktop instance's dialogs: holds each "confirm" until the test answers it
// or the asker withdraws it.
class FakeDialogs : public QObject {
    Q_OBJECT
public:
    std::vector<Json> questions;
    std::map<std::string, std::string> answers; // by id
    std::vector<std::string> withdrawn;

    QCoro::Task<Reply> confirm(Json args)
    {
        const std::string id = args.value("id", std::string());
        questions.push_back(args);
        Q_EMIT changed();
        while (!answers.contains(id))
            co_await qCoro(this, &FakeDialogs::changed);
        co_return Reply::success(Json{{"answer", answers.at(id)}});
    }

    void answer(std::size_t index, const char* word)
    {
        answers[questions.at(index).value("id", std::string())] = word;
        Q_EMIT changed();
    }

Q_SIGNALS:
    void changed();
};

class DesktopAsker : public ::testing::Test, protected ControlledProcess {
protected:
    void SetUp() override
    {
        control.setDesktop(true);
        ASSERT_TRUE(control.listen()) << control.problem().toStdString();
        control.registerCommand(QStringLiteral("confirm"), [this](Json args) { return dialogs.confirm(std::move(args)); });
        control.registerCommand(QStringLiteral("withdraw-confirmation"), [this](Json args) -> QCoro::Task<Reply> {
            const std::string id = args.value("id", std::string());
            dialogs.withdrawn.push_back(id);
            dialogs.answers[id] = "withdrawn";
            Q_EMIT dialogs.changed();
            co_return Reply::success();
        });
    }

    FakeDialogs dialogs;
    DesktopConfirmationAsker asker{folder, 60s, [] { return QStringLiteral("Claude Code 1.0.3"); }};
};

TEST_F(DesktopAsker, PutsTheQuestionToTheDesktopInstanceAndReadsItsAnswer)
{
    ASSERT_TRUE(asker.canAsk());
    const auto asking = PendingConfirmation::start(asker, QStringLiteral("Allow delete_file to delete /tmp/x?"));
    ASSERT_TRUE(waitUntil([&] { return dialogs.questions.size() == 1; }));
    const Json& question = dialogs.questions.front();
    EXPECT_EQ(question.value("tool", ""), "delete_file");
    EXPECT_EQ(question.value("message", ""), "Allow delete_file to delete /tmp/x?");
    EXPECT_EQ(question.value("client", ""), "Claude Code 1.0.3");
    EXPECT_EQ(question.value("timeoutMs", 0), 60000);
    EXPECT_FALSE(asking->answer.has_value());
    dialogs.answer(0, "allowed");
    ASSERT_TRUE(waitUntil([&] { return asking->answer.has_value(); }));
    EXPECT_EQ(*asking->answer, ConfirmationAnswer::Allowed);

    for (const auto& [word, expected] :
         {std::pair{"denied", ConfirmationAnswer::Declined}, std::pair{"timedOut", ConfirmationAnswer::NotAnswered},
          std::pair{"nonsense", ConfirmationAnswer::Unreachable}})
        EXPECT_EQ(DesktopConfirmationAsker::answerOf(word), expected) << word;
}

TEST_F(DesktopAsker, WithdrawsOnlyTheQuestionWhoseCallWasCancelled)
{
    const auto first = PendingConfirmation::start(asker, QStringLiteral("first?"));
    const auto second = PendingConfirmation::start(asker, QStringLiteral("second?"));
    ASSERT_TRUE(waitUntil([&] { return dialogs.questions.size() == 2; }));
    first->withdrawn.cancel();
    ASSERT_TRUE(waitUntil([&] { return first->answer.has_value(); }));
    EXPECT_EQ(*first->answer, ConfirmationAnswer::Cancelled);
    ASSERT_EQ(dialogs.withdrawn.size(), 1u);
    EXPECT_EQ(dialogs.withdrawn.front(), dialogs.questions.front().value("id", std::string()));
    EXPECT_FALSE(second->answer.has_value());
    dialogs.answer(1, "denied");
    ASSERT_TRUE(waitUntil([&] { return second->answer.has_value(); }));
    EXPECT_EQ(*second->answer, ConfirmationAnswer::Declined);
}

TEST_F(DesktopAsker, FindsNobodyWhenNoProcessIsTheDesktopInstance)
{
    control.setDesktop(false);
    const auto asking = PendingConfirmation::start(asker, QStringLiteral("anyone?"));
    ASSERT_TRUE(waitUntil([&] { return asking->answer.has_value(); }));
    EXPECT_EQ(*asking->answer, ConfirmationAnswer::Unreachable);
    EXPECT_TRUE(dialogs.questions.empty());
}

TEST_F(DesktopAsker, OnADisplayWaitsForTheDesktopInstanceToStartAndOtherwiseSaysItDidNot)
{
    // A one-shot client's first call comes before the desktop instance its process started
    // listens.
    control.setDesktop(false);
    DesktopConfirmationAsker patient{std::make_shared<DesktopInstanceFinder>(folder, true, 60s), 60s, [] { return QString(); }};
    const auto asking = PendingConfirmation::start(patient, QStringLiteral("Allow write_file to write /tmp/x?"));
    QTimer::singleShot(300, &control, [this] { control.setDesktop(true); });
    ASSERT_TRUE(waitUntil([&] { return dialogs.questions.size() == 1; }));
    dialogs.answer(0, "allowed");
    ASSERT_TRUE(waitUntil([&] { return asking->answer.has_value(); }));
    EXPECT_EQ(*asking->answer, ConfirmationAnswer::Allowed);

    control.setDesktop(false);
    DesktopConfirmationAsker onADisplay{std::make_shared<DesktopInstanceFinder>(folder, true, 0ms), 60s, [] { return QString(); }};
    ASSERT_TRUE(onADisplay.canAsk());
    const auto unanswered = PendingConfirmation::start(onADisplay, QStringLiteral("anyone?"));
    ASSERT_TRUE(waitUntil([&] { return unanswered->answer.has_value(); }));
    EXPECT_EQ(*unanswered->answer, ConfirmationAnswer::Unreachable);
    EXPECT_EQ(onADisplay.unreachableReason(), QStringLiteral("the desktop instance did not start"));

    DesktopConfirmationAsker withoutDisplay{ControlFolder(dir.filePath(QStringLiteral("empty"))), 60s, [] { return QString(); }};
    EXPECT_FALSE(withoutDisplay.canAsk());
    EXPECT_EQ(withoutDisplay.unreachableReason(), QStringLiteral("there is no display"));
}

} // namespace

#include "DesktopConfirmationAskerTest.moc"
