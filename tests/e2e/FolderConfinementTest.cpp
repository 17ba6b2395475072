#include "support/TemporaryHome.h"
#include "support/ZarnelProcess.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QUrl>

namespace {

struct CommandText {
    int status = -1;
    QString output;
    QString error;
};

class Folders : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const char* folder : {"work", "kept", "outside"})
            ASSERT_TRUE(QDir().mkpath(path(QLatin1String(folder))));
        QFile secret(path("outside/secret"));
        ASSERT_TRUE(secret.open(QIODevice::WriteOnly));
        secret.write("secret");
    }

    QString path(const QString& relative) const { return home.path() + QLatin1Char('/') + relative; }
    std::string pathText(const QString& relative) const { return path(relative).toStdString(); }

    CommandText zarnel(const QStringList& arguments) const
    {
        const ZarnelProcess::CommandRun run = ZarnelProcess::runCommand(home, arguments);
        return {run.status, QString::fromUtf8(run.output), QString::fromUtf8(run.error)};
    }
    QString setting(const QString& key) const { return zarnel({QStringLiteral("settings"), QStringLiteral("get"), key}).output; }

    std::unique_ptr<ZarnelProcess> startClient(const nlohmann::json& capabilities = nlohmann::json::object()) const
    {
        auto process = std::make_unique<ZarnelProcess>(home);
        if (!process->start())
            return nullptr;
        const auto answer = process->request(
            "initialize",
            {{"protocolVersion", "2025-11-25"}, {"capabilities", capabilities}, {"clientInfo", {{"name", "confined"}, {"version", "1"}}}});
        if (!answer || !answer->contains("result"))
            return nullptr;
        process->send({{"jsonrpc", "2.0"}, {"method", "notifications/initialized"}});
        return process;
    }
    static nlohmann::json serverStatus(ZarnelProcess& client)
    {
        const auto read = client.request("resources/read", {{"uri", "zarnel://server-status"}});
        return nlohmann::json::parse(read->at("result").at("contents").at(0).at("text").get<std::string>());
    }

    // Answers the server's roots/list with file URIs of the given folders.
    static void answerRoots(ZarnelProcess& client, const QStringList& folders)
    {
        const auto asked = client.readMessage();
        ASSERT_TRUE(asked);
        ASSERT_EQ(asked->value("method", ""), "roots/list");
        nlohmann::json roots = nlohmann::json::array();
        for (const QString& folder : folders)
            roots.push_back({{"uri", QUrl::fromLocalFile(folder).toString().toStdString()}, {"name", "root"}});
        client.send({{"jsonrpc", "2.0"}, {"id", (*asked)["id"]}, {"result", {{"roots", roots}}}});
    }
    bool reads(ZarnelProcess& client, const QString& relative) const
    {
        const auto result = client.callTool("read_file", {{"path", pathText(relative)}});
        return result && !result->value("isError", false);
    }

    TemporaryHome home;
};

TEST_F(Folders, AreSetAddedRemovedAndClearedFromTheCommandLine)
{
    EXPECT_EQ(
        zarnel({QStringLiteral("settings"), QStringLiteral("set"), QStringLiteral("allowedFolders"), QStringLiteral("work:~/kept")}).status,
        0);
    EXPECT_EQ(setting(QStringLiteral("allowedFolders")), path("work") + '\n' + path("kept") + '\n');

    const CommandText missing =
        zarnel({QStringLiteral("settings"), QStringLiteral("add"), QStringLiteral("allowedFolders"), QStringLiteral("~/gone")});
    EXPECT_EQ(missing.status, 2);
    EXPECT_TRUE(missing.error.startsWith(QStringLiteral("zarnel: Not a folder: ~/gone\n"))) << missing.error.toStdString();

    EXPECT_EQ(zarnel({QStringLiteral("settings"), QStringLiteral("add"), QStringLiteral("allowedFolders"), path("outside")}).status, 0);
    EXPECT_EQ(
        zarnel({QStringLiteral("settings"), QStringLiteral("remove"), QStringLiteral("allowedFolders"), QStringLiteral("work")}).status, 0);
    EXPECT_EQ(setting(QStringLiteral("allowedFolders")), path("kept") + '\n' + path("outside") + '\n');
    EXPECT_EQ(zarnel({QStringLiteral("settings"), QStringLiteral("add"), QStringLiteral("commandNetwork"), QStringLiteral("work")}).status,
              2);

    EXPECT_EQ(zarnel({QStringLiteral("settings"), QStringLiteral("set"), QStringLiteral("allowedFolders"), QString()}).status, 0);
    EXPECT_EQ(setting(QStringLiteral("allowedFolders")).trimmed(), QString());
    EXPECT_EQ(zarnel({QStringLiteral("settings"), QStringLiteral("set"), QStringLiteral("commandNetwork"), QStringLiteral("false")}).status,
              0);
    EXPECT_EQ(setting(QStringLiteral("commandNetwork")), QStringLiteral("false\n"));
}

TEST_F(Folders, ConfineARunningProcessAtOnceAndShowInItsStatus)
{
    const auto client = startClient();
    ASSERT_TRUE(client);
    const std::string secret = pathText("outside/secret");
    EXPECT_EQ(resultText(*client->callTool("read_file", {{"path", secret}})), "secret");
    EXPECT_EQ(serverStatus(*client)["command_confinement"], "off");
    EXPECT_EQ(serverStatus(*client)["allowed_folders"], nlohmann::json::array());

    ASSERT_EQ(zarnel({QStringLiteral("settings"), QStringLiteral("set"), QStringLiteral("allowedFolders"), path("work")}).status, 0);
    const auto refused = client->callTool("read_file", {{"path", secret}});
    EXPECT_EQ(refused->value("isError", false), true);
    EXPECT_EQ(resultText(*refused), "Access denied: " + secret + " is outside the allowed folders");

    const auto command = client->callTool(
        "execute_command", {{"command", "cat " + secret + "; echo hello > made; cat made"}, {"working_directory", pathText("work")}});
    EXPECT_EQ(resultText(*command).find("Output:\nsecret"), std::string::npos) << resultText(*command);
    EXPECT_NE(resultText(*command).find("Output:\nhello"), std::string::npos) << resultText(*command);
    const auto elsewhere = client->callTool("execute_command", {{"command", "pwd"}, {"working_directory", pathText("outside")}});
    EXPECT_EQ(resultText(*elsewhere), "Access denied: " + pathText("outside") + " is outside the allowed folders");

    const nlohmann::json status = serverStatus(*client);
    EXPECT_EQ(status["allowed_folders"], nlohmann::json::array({pathText("work")}));
    EXPECT_EQ(status["read_only_folders"], nlohmann::json::array());
    EXPECT_EQ(status["command_confinement"], "kernel");
    EXPECT_TRUE(zarnel({QStringLiteral("status")}).output.contains(QStringLiteral("\nConfined to 1 folders; commands: kernel\n")));

    // Cleared, everything is as it was.
    ASSERT_EQ(zarnel({QStringLiteral("settings"), QStringLiteral("set"), QStringLiteral("allowedFolders"), QString()}).status, 0);
    EXPECT_EQ(resultText(*client->callTool("read_file", {{"path", secret}})), "secret");
    EXPECT_EQ(zarnel({QStringLiteral("status")}).output.count(QLatin1Char('\n')), 1);
}

TEST_F(Folders, NeverLetAToolChangeZarnelsOwnSettings)
{
    const auto client = startClient();
    ASSERT_TRUE(client);
    const std::string settings = home.preferencesPath().toStdString();
    const std::string lock = settings + ".lock";
    const auto created = client->callTool("create_directory", {{"path", lock}});
    EXPECT_EQ(resultText(*created), "Access denied: " + lock + " belongs to Zarnel's own settings");
    const auto written = client->callTool("write_file", {{"path", settings}, {"content", "[General]\nrequireConfirmation=false\n"}});
    EXPECT_EQ(resultText(*written), "Access denied: " + settings + " belongs to Zarnel's own settings");
    EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(lock)));
    EXPECT_NE(resultText(*client->callTool("read_file", {{"path", settings}})).find("[General]"), std::string::npos);
    EXPECT_TRUE(client->request("ping").has_value());
}

TEST_F(Folders, NeverLetAConfinedCommandControlZarnel)
{
    const auto client = startClient();
    ASSERT_TRUE(client);
    ASSERT_EQ(zarnel({QStringLiteral("settings"), QStringLiteral("set"), QStringLiteral("allowedFolders"), path("work")}).status, 0);
    // The socket is reachable from inside: the token it asks for is not.
    ASSERT_TRUE(QFile::copy(QStringLiteral(CONTROL_PEER), path("work/peer")));
    const QString socket = home.path() + QStringLiteral("/runtime/zarnel/%1.sock").arg(client->process().processId());
    const auto command =
        client->callTool("execute_command", {{"command", "./peer " + socket.toStdString()}, {"working_directory", pathText("work")}});
    const std::string answer = resultText(*command);
    EXPECT_NE(answer.find("notAllowed"), std::string::npos) << answer;
    EXPECT_EQ(answer.find("\"ok\":true"), std::string::npos) << answer;
    // The person's own commands still reach it.
    EXPECT_TRUE(zarnel({QStringLiteral("status")}).output.startsWith(QStringLiteral("Zarnel server is running")));
}

TEST_F(Folders, NarrowToTheRootsAClientNamesAndNeverWiden)
{
    ASSERT_TRUE(QDir().mkpath(path("work/inner")));
    for (const char* file : {"work/file", "work/inner/file"}) {
        QFile made(path(QLatin1String(file)));
        ASSERT_TRUE(made.open(QIODevice::WriteOnly));
    }
    const auto client = startClient({{"roots", {{"listChanged", true}}}});
    ASSERT_TRUE(client);
    answerRoots(*client, {path("work")});
    EXPECT_TRUE(reads(*client, "work/file"));
    EXPECT_FALSE(reads(*client, "outside/secret"));

    client->send({{"jsonrpc", "2.0"}, {"method", "notifications/roots/list_changed"}});
    answerRoots(*client, {path("work/inner")});
    EXPECT_TRUE(reads(*client, "work/inner/file"));
    EXPECT_FALSE(reads(*client, "work/file"));

    // A root outside the folders the person allowed gives no access at all.
    ASSERT_EQ(zarnel({QStringLiteral("settings"), QStringLiteral("set"), QStringLiteral("allowedFolders"), path("work")}).status, 0);
    client->send({{"jsonrpc", "2.0"}, {"method", "notifications/roots/list_changed"}});
    answerRoots(*client, {path("outside")});
    EXPECT_FALSE(reads(*client, "outside/secret"));
    EXPECT_FALSE(reads(*client, "work/file"));
}

} // namespace
