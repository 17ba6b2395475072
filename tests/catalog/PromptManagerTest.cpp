#include "catalog/PromptManager.h"
#include "platform/SystemServices.h"
#include "platform/files/LinuxFileManager.h"

#include <gtest/gtest.h>

#include <QCoroTask>
#include <QFile>
#include <QTemporaryDir>

#include <sys/stat.h>

namespace {

class Prompts : public ::testing::Test {
protected:
    QTemporaryDir dir;
    LinuxFileManager files;
    PromptManager prompts{SystemServices::systemInformation(), files};

    std::string render(const char* name, const char* arguments = "{}")
    {
        const auto outcome = QCoro::waitFor(prompts.getPrompt(QString::fromLatin1(name), Json::parse(arguments).get<Json::object_t>()));
        if (const auto* failure = std::get_if<MCPPromptError>(&outcome))
            return "failure: " + failure->description.toStdString();
        const auto& messages = std::get<std::vector<MCPPromptMessage>>(outcome);
        EXPECT_EQ(messages.size(), 1u);
        EXPECT_EQ(messages.front().role, "user");
        return messages.front().content.asText()->text;
    }

    std::string writeFile(const char* name, const QByteArray& bytes)
    {
        const QString path = dir.filePath(QString::fromLatin1(name));
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return path.toStdString();
    }

    static std::string arguments(const Json& value) { return value.dump(); }
};

TEST_F(Prompts, ListsTheSixPromptsInOrder)
{
    std::vector<std::string> names;
    for (const auto& prompt : prompts.prompts())
        names.push_back(prompt.name);
    EXPECT_EQ(names,
              (std::vector<std::string>{"analyze_file", "review_code", "optimize_system", "security_audit", "remote_access_security",
                                        "backup_strategy"}));
    EXPECT_EQ(
        prompts.prompts()[5].toJson()["arguments"][0],
        Json::parse(
            R"({"name":"data_type","description":"Type of data to backup: documents, code, media, system, or all","required":true})"));
}

TEST_F(Prompts, FailsForUnknownPromptsAndMissingRequiredArguments)
{
    EXPECT_EQ(render("nope"), "failure: Prompt not found: nope");
    EXPECT_EQ(render("analyze_file"), "failure: Missing required argument: file_path");
    EXPECT_EQ(render("backup_strategy"), "failure: Missing required argument: data_type");
    // Present counts as supplied, whatever the value.
    EXPECT_FALSE(render("backup_strategy", R"({"data_type":null})").starts_with("failure"));
}

TEST_F(Prompts, IncludesAReadableFileAndDropsTheBlockOtherwise)
{
    const std::string path = writeFile("notes.txt", "line one\nline two");
    const std::string withFile = render("analyze_file", arguments({{"file_path", path}}).c_str());
    EXPECT_TRUE(withFile.starts_with("Analyze the file at " + path + " and provide:\n\n1. **File Overview**"));
    EXPECT_TRUE(withFile.ends_with("\n\nFile Content:\n```\nline one\nline two\n```\n")) << withFile;
    // No analysis type: the removed block leaves its line feeds.
    EXPECT_NE(withFile.find("better implementation\n\n\n\n"), std::string::npos);

    const std::string missing = render("analyze_file", R"({"file_path":"/nonexistent/file.txt","analysis_type":"security"})");
    EXPECT_TRUE(missing.ends_with("better implementation\n\nFocus specifically on: security\n\n")) << missing;
}

TEST_F(Prompts, ReplacesASuppliedFileContentOnlyWithAReadableFile)
{
    const std::string target = writeFile("target.conf", "PermitRootLogin yes");
    EXPECT_TRUE(render("security_audit", arguments({{"target", target}, {"severity", "high"}}).c_str())
                    .ends_with("**Minimum Severity**: high\n\n\nTarget Content:\n```\nPermitRootLogin yes\n```\n"));
    const std::string path = writeFile("real.txt", "real text");
    EXPECT_NE(render("analyze_file", arguments({{"file_path", path}, {"file_content", "supplied"}}).c_str()).find("```\nreal text\n```"),
              std::string::npos);
    EXPECT_NE(render("analyze_file", R"({"file_path":"/nonexistent","file_content":"supplied"})").find("```\nsupplied\n```"),
              std::string::npos);
    const std::string binary = writeFile("binary.bin", QByteArray("\xFF\xFE", 2));
    EXPECT_NE(render("analyze_file", arguments({{"file_path", binary}, {"file_content", "kept"}}).c_str()).find("```\nkept\n```"),
              std::string::npos);
}

TEST_F(Prompts, TreatsNilAndEmptyAsAbsentInBlocksOnlyAndKeepsPlaceholdersWithoutValues)
{
    EXPECT_TRUE(render("backup_strategy", R"({"data_type":"{{retention}} and {{other}}"})")
                    .starts_with("Backup Strategy for {{retention}} and {{other}}\n"));
    const std::string nil = render("review_code", R"({"file_path":"/nonexistent","focus_area":"nil"})");
    EXPECT_EQ(nil.find("**Special Focus**"), std::string::npos);
    const std::string empty = render("backup_strategy", R"({"data_type":"","frequency":""})");
    EXPECT_TRUE(empty.starts_with("Backup Strategy for \n"));
    EXPECT_NE(empty.find("**Recommended Schedule**\n\n\n\n**Implementation Steps**"), std::string::npos);
}

TEST_F(Prompts, LeavesOutTheDetailedSectionForDetailedFalseAndAddsTheSystemReport)
{
    for (const char* detailed : {R"(false)", R"("false")", R"(0)", R"(null)", R"("")"}) {
        SCOPED_TRACE(detailed);
        const std::string text = render("optimize_system", (std::string(R"({"focus_area":"memory","detailed":)") + detailed + "}").c_str());
        EXPECT_NE(text.find("**Focused Analysis**: memory\n\n\n"), std::string::npos);
        EXPECT_EQ(text.find("Detailed Technical Recommendations"), std::string::npos);
        EXPECT_NE(text.find("Current System Status:\nSystem Information:\n"), std::string::npos);
    }
    EXPECT_NE(render("optimize_system", R"({"detailed":true})").find("**Detailed Technical Recommendations**: Enabled\n"),
              std::string::npos);
}

TEST_F(Prompts, ShowsAFileExactlyAsWrittenWhateverMarkersItHolds)
{
    const QByteArray text = "{{file_path}} {{#if analysis_type}}typed{{/if}}\n{{/if}}tail {{prompt_name}}";
    const std::string path = writeFile("template-like.txt", text);
    const std::string rendered = render("analyze_file", arguments({{"file_path", path}, {"analysis_type", "{{#if x}}"}}).c_str());
    EXPECT_TRUE(rendered.ends_with("\n\nFile Content:\n```\n" + text.toStdString() + "\n```\n")) << rendered;
    EXPECT_NE(rendered.find("Focus specifically on: {{#if x}}\n"), std::string::npos);
}

TEST_F(Prompts, RefusesPathsWithANulCharacter)
{
    EXPECT_EQ(render("analyze_file", R"({"file_path":"/etc/hostname\u0000.txt"})"), "failure: Invalid path: contains a NUL character");
    EXPECT_EQ(render("security_audit", R"({"target":"/etc\u0000"})"), "failure: Invalid path: contains a NUL character");
}

TEST_F(Prompts, DoesNotWaitForAPipeNamedAsTheFile)
{
    const std::string fifo = writeFile("pipe", "") + ".fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string rendered = render("analyze_file", arguments({{"file_path", fifo}}).c_str());
    EXPECT_TRUE(rendered.ends_with("implementation\n\n\n\n")) << rendered;
}

TEST_F(Prompts, NameThisSystemsToolsAndNoOtherSystems)
{
    const std::string optimize = render("optimize_system");
    EXPECT_TRUE(optimize.starts_with("System Optimization Analysis for Linux\n\nBased on current system information"));
    for (const char* tool : {"`journalctl -p err -b`", "`df -h`", "`du -sh`", "`apt clean`", "systemd timers"})
        EXPECT_NE(optimize.find(tool), std::string::npos) << tool;
    const std::string backup = render("backup_strategy", R"({"data_type":"code"})");
    EXPECT_NE(backup.find("**Backup Methods**\n- Snapshot and incremental tools (Timeshift for the system; rsync, Borg or restic "
                          "for files, on a systemd timer or cron schedule)\n- Manual archives"),
              std::string::npos);
    EXPECT_NE(backup.find("**Implementation Steps**\n1. Set up Borg, restic or rsync"), std::string::npos);

    const std::string anyPath = writeFile("any.txt", "text");
    for (const auto& prompt : prompts.prompts()) {
        const std::string description = prompt.description.value_or("");
        const std::string text =
            render(prompt.name.c_str(), arguments({{"file_path", anyPath}, {"target", anyPath}, {"data_type", "all"}}).c_str());
        for (const std::string& shown : {description, text})
            for (const char* foreign : {"macOS", "Mac ", "Time Machine"})
                EXPECT_EQ(shown.find(foreign), std::string::npos) << prompt.name << " mentions " << foreign;
    }
    EXPECT_EQ(prompts.prompts()[2].description, "Analyze system performance and suggest optimizations for Linux");
    EXPECT_EQ(prompts.prompts()[5].description, "Design and implement backup strategies for data protection on Linux");
}

TEST_F(Prompts, RendersRemoteAccessSecurityWithoutArguments)
{
    const std::string text = render("remote_access_security");
    EXPECT_TRUE(text.starts_with("Remote Access Security Checklist for Zarnel\n\n**SSH Tunnel Security**\n"));
    EXPECT_NE(text.find("- Document access procedures\n\n\n\nFor SSH tunneling to Zarnel:\n```bash\n"), std::string::npos);
    EXPECT_TRUE(text.ends_with("# This securely tunnels to remote Zarnel server\n```"));
}

TEST_F(Prompts, NeverExpandsPlaceholdersThatArgumentsInsert)
{
    std::string manyK2;
    for (int i = 0; i < 1000; ++i)
        manyK2 += "{{k2}}";
    const Json values = {{"data_type", "{{k1}}"}, {"k1", manyK2}, {"k2", manyK2}};
    EXPECT_TRUE(render("backup_strategy", arguments(values).c_str()).starts_with("Backup Strategy for {{k1}}\n"));
}

} // namespace
