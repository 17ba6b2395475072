#include "support/TemporaryHome.h"
#include "support/ZarnelProcess.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>

namespace {

using nlohmann::json;

class FileSystemTools : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_zarnel.setWorkingDirectory(m_work.path());
        ASSERT_TRUE(m_zarnel.start());
        ASSERT_TRUE(m_zarnel.initialize());
    }
    std::string at(const std::string& relative) const { return m_work.path().toStdString() + "/" + relative; }
    json call(const std::string& name, const json& arguments) { return m_zarnel.callTool(name, arguments).value_or(json()); }
    static json text(const std::string& value) { return json{{"type", "text"}, {"text", value}}; }
    static json succeeded(const std::string& value) { return json{{"content", json::array({text(value)})}}; }

    TemporaryHome m_home;
    QTemporaryDir m_work;
    ZarnelProcess m_zarnel{m_home};
};

TEST_F(FileSystemTools, WorkOnRelativePathsFromTheServersDirectory)
{
    EXPECT_EQ(call("write_file", {{"path", "notes/today.txt"}, {"content", "first line\nsecond ✓\n"}}),
              succeeded("Successfully wrote to " + at("notes/today.txt")));
    EXPECT_EQ(call("read_file", {{"path", "notes/today.txt"}}), succeeded("first line\nsecond ✓\n"));
    EXPECT_EQ(call("copy_file", {{"source", "notes"}, {"destination", "backup"}}),
              succeeded("Successfully copied from " + at("notes") + " to " + at("backup")));
    EXPECT_EQ(call("search_files", {{"pattern", "*.txt"}, {"directory", "backup"}}),
              succeeded("Found 1 file(s) matching '*.txt':\n\n" + at("backup/today.txt")));
    EXPECT_EQ(call("move_file", {{"source", "backup/today.txt"}, {"destination", "notes/today.txt"}}),
              json({{"content", json::array({text("Failed to move: File exists")})}, {"isError", true}}));
    EXPECT_EQ(call("delete_file", {{"path", "backup"}}), succeeded("Successfully deleted: " + at("backup")));
    EXPECT_EQ(call("read_file", {{"path", "backup/today.txt"}}),
              json({{"content", json::array({text("File not found: " + at("backup/today.txt"))})}, {"isError", true}}));
}

TEST_F(FileSystemTools, AnswerWithValidLinesForBinaryFilesAndOddNames)
{
    QFile binary(m_work.path() + "/raw.bin");
    ASSERT_TRUE(binary.open(QIODevice::WriteOnly) && binary.write(QByteArray::fromHex("00ff10")) == 3);
    binary.close();
    ASSERT_TRUE(QDir(m_work.path()).mkdir("odd"));
    ASSERT_TRUE(QFile(m_work.path() + "/odd/x").open(QIODevice::WriteOnly));
    ASSERT_EQ(::rename((m_work.path().toUtf8() + "/odd/x").constData(), (m_work.path().toUtf8() + "/odd/n\xFF").constData()), 0);

    EXPECT_EQ(call("read_file", {{"path", "raw.bin"}}),
              json({{"content", json::array({text("File is binary (3 bytes)"), text("Base64: AP8Q")})}}));
    const json listing = call("list_directory", {{"path", "odd"}});
    ASSERT_TRUE(listing.contains("content")) << "no answer";
    const std::string line = listing["content"][0]["text"];
    EXPECT_EQ(line.rfind("Contents of " + at("odd") + ":\n\n📄 n\xEF\xBF\xBD (0 bytes) - ", 0), 0u) << line;
    EXPECT_EQ(call("search_files", {{"pattern", "n?"}, {"directory", "odd"}}),
              succeeded("Found 1 file(s) matching 'n?':\n\n" + at("odd/n\xEF\xBF\xBD")));
    // A name the test cannot leave for QTemporaryDir to remove.
    EXPECT_EQ(call("delete_file", {{"path", "odd"}}), succeeded("Successfully deleted: " + at("odd")));
}

} // namespace
