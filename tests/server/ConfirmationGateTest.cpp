#include "server/ConfirmationGate.h"
#include "platform/store/QSettingsPreferencesStore.h"
#include "state/ActivityLog.h"
#include "state/SettingsManager.h"
#include "support/FakeClock.h"
#include "support/PendingConfirmation.h"
#include "support/ToolCalls.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <QCoroSignal>

namespace {

using namespace std::chrono_literals;

// Puts every question on hold until the test answers it; a withdrawn question ends unanswered.
class FakeAsker : public QObject, public ConfirmationAsker {
    Q_OBJECT
public:
    bool reachable = true;
    QString reason; // why it could not ask, as the desktop asker says it
    QStringList questions;
    std::map<QString, ConfirmationAnswer> answers; // by message
    QStringList withdrawn;

    bool canAsk() const override { return reachable; }
    QString unreachableReason() const override { return reason; }

    QCoro::Task<ConfirmationAnswer> ask(ConfirmationQuestion question, CancellationToken withdrawal) override
    {
        questions << question.message;
        withdrawal.onCancelled(this, [this] { Q_EMIT changed(); });
        while (!withdrawal.isCancelled() && !answers.contains(question.message))
            co_await qCoro(this, &FakeAsker::changed);
        if (withdrawal.isCancelled()) {
            withdrawn << question.message;
            co_return ConfirmationAnswer::Cancelled;
        }
        co_return answers.at(question.message);
    }

    void answer(const QString& message, ConfirmationAnswer answer)
    {
        answers[message] = answer;
        Q_EMIT changed();
    }

Q_SIGNALS:
    void changed();
};

// A call in progress: its outcome once the gate has let it through or refused it.
struct Call {
    std::optional<Admission> outcome;
    bool finished() const { return outcome.has_value(); }
    // "run" when let through, "awaiting the retry", else the refusal's text.
    std::string result() const
    {
        if (!outcome)
            return "<waiting>";
        if (outcome->verdict == Admission::Verdict::Run)
            return "run";
        if (outcome->verdict == Admission::Verdict::AwaitingAnswer)
            return "awaiting the retry";
        return (outcome->refusal.failed() ? "error: " : "success?: ") + textOf(outcome->refusal);
    }
};

class Gate : public ::testing::Test {
protected:
    Gate()
    {
        settings.setRequireConfirmation(true);
        gate.setClientAsker(&client);
        gate.setDesktopAsker(&desktop);
    }

    QTemporaryDir dir;
    QSettingsPreferencesStore store{dir.filePath(QStringLiteral("zarnel.conf"))};
    SettingsManager settings{store};
    FakeClock clock;
    ActivityLog log{settings, clock};
    FakeAsker client;
    FakeAsker desktop;
    ConfirmationGate gate{settings, log, [](const std::string& tool) { return tool != "read_file"; }};

    std::shared_ptr<Call> start(const char* tool, const Json& arguments, CancellationToken cancellation = {})
    {
        auto call = std::make_shared<Call>();
        gate.admit(tool, arguments.get<Arguments>(), std::move(cancellation)).then([call](Admission outcome) {
            call->outcome = std::move(outcome);
        });
        return call;
    }

    std::string admit(const char* tool, const Json& arguments)
    {
        const auto call = start(tool, arguments);
        waitUntil([&] { return call->finished(); });
        return call->result();
    }

    QStringList logMessages() const
    {
        QStringList messages;
        for (const auto& entry : log.entries())
            messages.prepend(entry.message);
        return messages;
    }
};

const Json kDelete = {{"path", "/home/ana/notes.txt"}};
const QString kDeleteQuestion = QStringLiteral("Allow delete_file to delete /home/ana/notes.txt?");

TEST_F(Gate, LetsEverythingThroughWhenSwitchedOffAndNeverAsksAboutReadOnlyTools)
{
    settings.setRequireConfirmation(false);
    EXPECT_EQ(admit("delete_file", kDelete), "run");
    settings.setRequireConfirmation(true);
    EXPECT_EQ(admit("read_file", {{"path", "/etc/hostname"}}), "run");
    EXPECT_TRUE(client.questions.isEmpty());
    EXPECT_TRUE(desktop.questions.isEmpty());
    EXPECT_TRUE(logMessages().isEmpty());
}

// An application the person starts is not confined to the allowed folders: the person decides.
TEST_F(Gate, AsksBeforeEveryApplicationStartWhileFoldersAreSetWhateverTheSwitchSays)
{
    settings.setRequireConfirmation(false);
    EXPECT_FALSE(gate.applies("launch_app"));
    settings.setAllowedFolders({dir.path()});
    EXPECT_TRUE(gate.applies("launch_app"));
    EXPECT_FALSE(gate.applies("delete_file"));
    EXPECT_FALSE(gate.applies("read_file"));
}

TEST_F(Gate, AsksTheClientFirstAndRunsOnlyWhatItAllows)
{
    client.answers[kDeleteQuestion] = ConfirmationAnswer::Allowed;
    EXPECT_EQ(admit("delete_file", kDelete), "run");
    client.answers[kDeleteQuestion] = ConfirmationAnswer::Declined;
    EXPECT_EQ(admit("delete_file", kDelete), "error: Not approved: delete_file was declined");
    client.answers[kDeleteQuestion] = ConfirmationAnswer::Cancelled;
    EXPECT_EQ(admit("delete_file", kDelete), "error: Not approved: delete_file was cancelled");
    // A stateless client's answer comes with the retry: the call ends without a verdict.
    client.answers[kDeleteQuestion] = ConfirmationAnswer::InputRequired;
    EXPECT_EQ(admit("delete_file", kDelete), "awaiting the retry");
    EXPECT_TRUE(desktop.questions.isEmpty());
    EXPECT_EQ(logMessages(),
              (QStringList{QStringLiteral("Confirmation asked through the client: ") + kDeleteQuestion,
                           QStringLiteral("Confirmation allowed: delete_file"),
                           QStringLiteral("Confirmation asked through the client: ") + kDeleteQuestion,
                           QStringLiteral("Not approved: delete_file was declined"),
                           QStringLiteral("Confirmation asked through the client: ") + kDeleteQuestion,
                           QStringLiteral("Not approved: delete_file was cancelled"),
                           QStringLiteral("Confirmation asked through the client: ") + kDeleteQuestion}));
}

TEST_F(Gate, FallsBackToTheDialogAndRefusesWhenNobodyCanBeAsked)
{
    client.reachable = false;
    desktop.answers[kDeleteQuestion] = ConfirmationAnswer::Allowed;
    EXPECT_EQ(admit("delete_file", kDelete), "run");

    // A client that fails the request hands the question on to the dialog.
    client.reachable = true;
    client.answers[kDeleteQuestion] = ConfirmationAnswer::Unreachable;
    desktop.answers[kDeleteQuestion] = ConfirmationAnswer::Declined;
    EXPECT_EQ(admit("delete_file", kDelete), "error: Not approved: delete_file was declined");
    EXPECT_TRUE(logMessages().contains(QStringLiteral("Confirmation could not be asked through the client: delete_file")));

    client.reachable = false;
    desktop.reachable = false;
    EXPECT_EQ(admit("execute_command", {{"command", "rm -rf ~/old"}}),
              "error: Not approved: execute_command needs confirmation, and there is no display and the client cannot ask its user");
    EXPECT_EQ(
        logMessages().last(),
        QStringLiteral("Not approved: execute_command needs confirmation, and there is no display and the client cannot ask its user"));

    // With a display, the fault is elsewhere, and the refusal says where.
    desktop.reachable = true;
    desktop.reason = QStringLiteral("the desktop instance did not start");
    desktop.answers[kDeleteQuestion] = ConfirmationAnswer::Unreachable;
    EXPECT_EQ(admit("delete_file", kDelete),
              "error: Not approved: delete_file needs confirmation, and the desktop instance did not start and the client cannot ask "
              "its user");
}

TEST_F(Gate, WithdrawsAQuestionThatRunsOutOfTimeOrWhoseRequestIsCancelled)
{
    gate.setTimeLimits(1ms, 1ms);
    EXPECT_EQ(admit("delete_file", kDelete), "error: Not approved: delete_file was not answered");
    EXPECT_EQ(client.withdrawn, QStringList{kDeleteQuestion});

    gate.setTimeLimits(ConfirmationGate::kClientTimeLimit, ConfirmationGate::kDesktopTimeLimit);
    client.reachable = false;
    CancellationToken cancellation;
    const auto call = start("move_file", {{"source", "/a"}, {"destination", "/b"}}, cancellation);
    ASSERT_TRUE(waitUntil([&] { return desktop.questions.size() == 1; }));
    EXPECT_FALSE(call->finished());
    cancellation.cancel();
    ASSERT_TRUE(waitUntil([&] { return call->finished(); }));
    EXPECT_EQ(call->result(), "error: Not approved: move_file was cancelled");
    EXPECT_EQ(desktop.withdrawn, QStringList{QStringLiteral("Allow move_file to move /a to /b?")});
}

TEST_F(Gate, GivesEveryWaitingCallItsOwnQuestionAndAnswer)
{
    const auto first = start("delete_file", kDelete);
    const auto second = start("execute_command", {{"command", "make install"}, {"working_directory", "/src"}});
    ASSERT_TRUE(waitUntil([&] { return client.questions.size() == 2; }));
    EXPECT_EQ(client.questions.value(1), QStringLiteral("Allow execute_command to run the command: make install (in /src)?"));

    client.answer(client.questions.value(1), ConfirmationAnswer::Allowed);
    ASSERT_TRUE(waitUntil([&] { return second->finished(); }));
    EXPECT_EQ(second->result(), "run");
    EXPECT_FALSE(first->finished());
    client.answer(kDeleteQuestion, ConfirmationAnswer::Declined);
    ASSERT_TRUE(waitUntil([&] { return first->finished(); }));
    EXPECT_EQ(first->result(), "error: Not approved: delete_file was declined");
}

TEST(ConfirmationQuestion, SaysWhatTheCallWillDo)
{
    const auto question = [](const char* tool, const Json& arguments) {
        return ConfirmationGate::questionFor(tool, arguments.get<Arguments>()).message.toStdString();
    };
    EXPECT_EQ(question("launch_app", {{"app", "firefox-esr"}, {"arguments", "--private-window"}}),
              "Allow launch_app to launch firefox-esr with the arguments --private-window?");
    EXPECT_EQ(question("write_file", {{"path", "/tmp/x"}, {"content", "hello"}}), "Allow write_file to write to /tmp/x?");
    EXPECT_EQ(question("quit_app", {{"app", "gedit"}, {"force", true}}), "Allow quit_app to quit gedit?");
    EXPECT_EQ(question("set_clipboard", {{"content", "secret"}}),
              "Allow set_clipboard to replace the clipboard with 6 characters of text?");
    EXPECT_EQ(question("custom", {{"n", 1}}), "Allow custom to run with the arguments {\"n\":1}?");
}

} // namespace

#include "ConfirmationGateTest.moc"
