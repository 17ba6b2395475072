// The confirmation gate asking through the client: a session client answers an
// elicitation/create request; a stateless client gets an "input required" result and retries.

#include "server/ClientConfirmationAsker.h"
#include "server/ConfirmationGate.h"
#include "server/MCPServer.h"
#include "state/ActivityLog.h"
#include "state/SettingsManager.h"
#include "state/StatisticsManager.h"
#include "support/InProcessServer.h"

#include <QFile>
#include <QThread>

namespace {

using nlohmann::json;
using namespace std::chrono_literals;

class ClientConfirmation : public InProcessServer {
protected:
    void SetUp() override
    {
        components->settings().setRequireConfirmation(true);
        components->server().start();
        restoreVictim();
    }

    QString victim() const { return dir.filePath(QStringLiteral("notes.txt")); }
    std::string question() const { return "Allow delete_file to delete " + victim().toStdString() + "?"; }

    void restoreVictim()
    {
        QFile file(victim());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("keep me");
    }

    json deleteCall(int id) const
    {
        return {{"jsonrpc", "2.0"},
                {"id", id},
                {"method", "tools/call"},
                {"params", {{"name", "delete_file"}, {"arguments", {{"path", victim().toStdString()}}}}}};
    }

    // Starts a delete_file call and returns the question the client is sent.
    json startDelete(int id) { return startCall(deleteCall(id)); }

    json startCall(const json& request)
    {
        streams.feed(QByteArray::fromStdString(request.dump()) + '\n');
        QDeadlineTimer deadline(5000);
        while (!deadline.hasExpired()) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
            for (const QByteArray& line : streams.takeLines()) {
                const json message = json::parse(line.toStdString());
                if (message.value("method", "") == "elicitation/create")
                    return message;
                ADD_FAILURE() << "unexpected before the question: " << message.dump();
            }
        }
        return json();
    }

    // Answers the question and returns the call's result.
    json answer(const json& asked, const json& result, int id)
    {
        const auto lines = exchange({{"jsonrpc", "2.0"}, {"id", asked["id"]}, {"result", result}}, id);
        return lines.empty() ? json() : lines.back()["result"];
    }

    QStringList logMessages() const
    {
        QStringList messages;
        for (const auto& entry : components->activityLog().entries())
            messages << entry.message;
        return messages;
    }
};

json errorText(const std::string& text)
{
    return {{"content", {{{"type", "text"}, {"text", text}}}}, {"isError", true}};
}

TEST_F(ClientConfirmation, RunsWhatTheSessionClientsUserAllowsAndNothingElse)
{
    initialize("2025-06-18", {{"elicitation", json::object()}});
    json asked = startDelete(10);
    EXPECT_EQ(asked["params"]["message"], question());
    EXPECT_EQ(asked["params"]["requestedSchema"]["required"], json::array({"confirm"}));
    EXPECT_EQ(answer(asked, {{"action", "decline"}}, 10), errorText("Not approved: delete_file was declined"));
    EXPECT_TRUE(QFile::exists(victim()));

    asked = startDelete(11);
    EXPECT_EQ(answer(asked, {{"action", "accept"}, {"content", {{"confirm", false}}}}, 11),
              errorText("Not approved: delete_file was declined"));
    asked = startDelete(12);
    EXPECT_EQ(answer(asked, {{"action", "cancel"}}, 12), errorText("Not approved: delete_file was cancelled"));
    EXPECT_TRUE(QFile::exists(victim()));

    asked = startDelete(13);
    const json allowed = answer(asked, {{"action", "accept"}, {"content", {{"confirm", true}}}}, 13);
    EXPECT_FALSE(allowed.value("isError", false)) << allowed.dump();
    EXPECT_FALSE(QFile::exists(victim()));
    // The refusals are failed calls; the allowed one a success.
    EXPECT_EQ(components->statistics().totalToolCalls(), 4);
    EXPECT_DOUBLE_EQ(components->statistics().successRate(), 0.25);
}

TEST_F(ClientConfirmation, TakesBackAQuestionNobodyAnswersInTime)
{
    components->confirmationGate().setTimeLimits(50ms, 50ms);
    initialize("2025-11-25", {{"elicitation", {{"form", json::object()}}}});
    const json asked = startDelete(20);
    EXPECT_EQ(asked["params"]["mode"], "form");
    const auto lines = linesUntil(20);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0]["method"], "notifications/cancelled");
    EXPECT_EQ(lines[0]["params"]["requestId"], asked["id"]);
    EXPECT_EQ(lines[1]["result"], errorText("Not approved: delete_file was not answered"));
    EXPECT_TRUE(QFile::exists(victim()));
}

TEST_F(ClientConfirmation, EndsAStatelessCallAskingAndRunsItWhenTheRetryBringsTheYes)
{
    const json elicitation = {{"elicitation", json::object()}};
    json call = {{"name", "delete_file"}, {"arguments", {{"path", victim().toStdString()}}}};
    const json first = modern("tools/call", call, elicitation);
    ASSERT_EQ(first["result"]["resultType"], "input_required") << first.dump();
    const json& asked = first["result"]["inputRequests"][ClientConfirmationAsker::kAnswerKey];
    EXPECT_EQ(asked["method"], "elicitation/create");
    EXPECT_EQ(asked["params"]["message"], question());
    // Neither run nor refused: not a failed call, no refusal in the log.
    EXPECT_TRUE(QFile::exists(victim()));
    EXPECT_EQ(components->statistics().totalToolCalls(), 0);
    EXPECT_TRUE(logMessages().filter(QStringLiteral("Not approved")).isEmpty());
    EXPECT_TRUE(logMessages().filter(QStringLiteral("Tool error")).isEmpty());

    call["requestState"] = first["result"]["requestState"];
    call["inputResponses"] = {{ClientConfirmationAsker::kAnswerKey, {{"action", "decline"}}}};
    const json declined = modern("tools/call", call, elicitation);
    EXPECT_EQ(declined["result"]["content"][0]["text"], "Not approved: delete_file was declined");
    EXPECT_EQ(declined["result"]["isError"], true);
    EXPECT_TRUE(QFile::exists(victim()));

    // That state's answer is spent: sent again with another answer, the call asks again.
    const json yes = {{ClientConfirmationAsker::kAnswerKey, {{"action", "accept"}, {"content", {{"confirm", true}}}}}};
    call["inputResponses"] = yes;
    const json askedAgain = modern("tools/call", call, elicitation);
    ASSERT_EQ(askedAgain["result"]["resultType"], "input_required") << askedAgain.dump();
    EXPECT_TRUE(QFile::exists(victim()));

    call["requestState"] = askedAgain["result"]["requestState"];
    const json allowed = modern("tools/call", call, elicitation);
    EXPECT_EQ(allowed["result"]["resultType"], "complete");
    EXPECT_FALSE(allowed["result"].value("isError", false)) << allowed.dump();
    EXPECT_FALSE(QFile::exists(victim()));
    EXPECT_EQ(components->statistics().totalToolCalls(), 2);

    // One yes runs the call once: replayed, it is asked about again and does not run.
    restoreVictim();
    EXPECT_EQ(modern("tools/call", call, elicitation)["result"]["resultType"], "input_required");
    EXPECT_TRUE(QFile::exists(victim()));
    // Each question is logged when it goes out, not again when its answer comes back.
    EXPECT_EQ(logMessages().filter(QStringLiteral("Confirmation asked through the client")).size(), 3);
}

TEST_F(ClientConfirmation, TakesAStatelessAnswerOnlyWithinTheTimeLimit)
{
    components->confirmationGate().setTimeLimits(50ms, 50ms);
    const json elicitation = {{"elicitation", json::object()}};
    json call = {{"name", "delete_file"}, {"arguments", {{"path", victim().toStdString()}}}};
    const json first = modern("tools/call", call, elicitation);
    ASSERT_EQ(first["result"]["resultType"], "input_required") << first.dump();
    QThread::msleep(120);
    call["requestState"] = first["result"]["requestState"];
    call["inputResponses"] = {{ClientConfirmationAsker::kAnswerKey, {{"action", "accept"}, {"content", {{"confirm", true}}}}}};
    const json late = modern("tools/call", call, elicitation);
    EXPECT_EQ(late["result"]["content"][0]["text"], "Not approved: delete_file was not answered") << late.dump();
    EXPECT_TRUE(QFile::exists(victim()));
}

TEST_F(ClientConfirmation, AsksAboutACommandWithEveryHiddenLineShownAndCounted)
{
    // A harmless first line and, 80 line feeds below it, what it really does.
    const std::string command = "ls -la ~/Documents" + std::string(80, '\n') + "rm -rf ~/";
    const std::string raw = "Allow execute_command to run the command: " + command + "?";
    std::string marks;
    for (int i = 0; i < 80; ++i)
        marks += "\u23CE";
    const std::string shown = "Allow execute_command to run the command: ls -la ~/Documents" + marks + "rm -rf ~/? (81 lines, "
        + std::to_string(raw.size()) + " characters)";
    const json call = {{"name", "execute_command"}, {"arguments", {{"command", command}}}};

    initialize("2025-11-25", {{"elicitation", {{"form", json::object()}}}});
    const json asked = startCall({{"jsonrpc", "2.0"}, {"id", 30}, {"method", "tools/call"}, {"params", call}});
    EXPECT_EQ(asked["params"]["message"], shown);
    EXPECT_EQ(answer(asked, {{"action", "decline"}}, 30), errorText("Not approved: execute_command was declined"));

    const json stateless = modern("tools/call", call, {{"elicitation", json::object()}});
    EXPECT_EQ(stateless["result"]["inputRequests"][ClientConfirmationAsker::kAnswerKey]["params"]["message"], shown);
}

TEST(ClientConfirmationAnswers, MeanWhatTheClientsUserChose)
{
    using Action = ElicitationResult::Action;
    const auto answerOf = [](Action action, json content = json::object()) {
        return ClientConfirmationAsker::answerOf(ElicitationResult{action, std::move(content)});
    };
    EXPECT_EQ(answerOf(Action::Accept, {{"confirm", true}}), ConfirmationAnswer::Allowed);
    EXPECT_EQ(answerOf(Action::Accept, {{"confirm", "yes"}}), ConfirmationAnswer::Declined);
    EXPECT_EQ(answerOf(Action::TimedOut), ConfirmationAnswer::NotAnswered);
    // A client that cannot be asked after all hands the question on to the next way.
    EXPECT_EQ(answerOf(Action::Unavailable), ConfirmationAnswer::Unreachable);
}

} // namespace
