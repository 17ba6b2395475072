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

} // namespace
