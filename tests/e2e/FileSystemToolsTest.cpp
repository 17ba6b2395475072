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
    EXPECT_EQ(call("delete_file", {{"path", "backup"}}),
              json({{"content", json::array({text("Failed to delete: Directory not empty")})}, {"isError", true}}));
    EXPECT_EQ(call("delete_file", {{"path", "backup"}, {"recursive", true}}), succeeded("Successfully deleted: " + at("backup")));
    EXPECT_EQ(call("read_file", {{"path", "backup/today.txt"}}),
              json({{"content", json::array({text("File not found: " + at("backup/today.txt"))})}, {"isError", true}}));
}

// The system would see each of these paths only up to the NUL, which names something that is
// there: every tool and a resource read refuse the whole path and leave everything alone.
TEST_F(FileSystemTools, RefuseEveryPathHoldingANulCharacterAndTouchNothing)
{
    ASSERT_TRUE(QDir(m_work.path()).mkpath(QStringLiteral("kept")));
    QFile kept(m_work.filePath(QStringLiteral("kept/notes.txt")));
    ASSERT_TRUE(kept.open(QIODevice::WriteOnly));
    kept.write("old");
    kept.close();
    const std::string nul(1, '\0');
    const std::string file = "kept/notes.txt" + nul + ".bak";
    const std::string folder = "kept" + nul + "/elsewhere";
    const json refused = {{"content", json::array({text("Invalid path: contains a NUL character")})}, {"isError", true}};

    EXPECT_EQ(call("write_file", {{"path", file}, {"content", "new"}}), refused);
    EXPECT_EQ(call("read_file", {{"path", file}}), refused);
    EXPECT_EQ(call("list_directory", {{"path", folder}}), refused);
    EXPECT_EQ(call("search_files", {{"pattern", "*"}, {"directory", folder}}), refused);
    EXPECT_EQ(call("create_directory", {{"path", "made" + nul + "/deeper"}}), refused);
    EXPECT_EQ(call("copy_file", {{"source", file}, {"destination", "copied.txt"}}), refused);
    EXPECT_EQ(call("copy_file", {{"source", "kept/notes.txt"}, {"destination", "copied" + nul + ".txt"}}), refused);
    EXPECT_EQ(call("move_file", {{"source", file}, {"destination", "moved.txt"}}), refused);
    EXPECT_EQ(call("move_file", {{"source", "kept/notes.txt"}, {"destination", "moved" + nul + ".txt"}}), refused);
    EXPECT_EQ(call("delete_file", {{"path", file}}), refused);
    EXPECT_EQ(call("delete_file", {{"path", folder}, {"recursive", true}}), refused);

    for (const std::string& uri : {"file://" + at("kept/notes.txt") + "%00.bak", "file://" + at(file)}) {
        const auto read = m_zarnel.request("resources/read", {{"uri", uri}});
        ASSERT_TRUE(read);
        EXPECT_EQ((*read)["error"]["message"], "Invalid path: contains a NUL character") << read->dump();
    }

    EXPECT_EQ(QDir(m_work.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList{QStringLiteral("kept")});
    EXPECT_EQ(QDir(m_work.filePath(QStringLiteral("kept"))).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
              QStringList{QStringLiteral("notes.txt")});
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), QByteArray("old"));
}

} // namespace
