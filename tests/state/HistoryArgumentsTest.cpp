#include "state/HistoryArguments.h"

#include <gtest/gtest.h>

namespace {

TEST(HistoryArguments, CutsEveryStringAtOneKibibyteWhereverItIs)
{
    const std::string longText(5000, 'a');
    const Json kept = HistoryArguments::keep("execute_command", Json{{"command", longText}, {"list", {longText, 1}}, {"short", "ls"}});
    for (const Json* value : {&kept["command"], &kept["list"][0]}) {
        ASSERT_TRUE(value->is_string());
        EXPECT_LT(value->get<std::string>().size(), 1100u);
        EXPECT_EQ(value->get<std::string>().rfind(std::string(1024, 'a'), 0), 0u);
        EXPECT_NE(value->get<std::string>().find("5000 bytes"), std::string::npos);
    }
    EXPECT_EQ(kept["list"][1], 1);
    EXPECT_EQ(kept["short"], "ls");
}

TEST(HistoryArguments, WrittenContentsBecomeTheirSizeAndDigestOnly)
{
    for (const char* tool : {"write_file", "set_clipboard"}) {
        const Json kept = HistoryArguments::keep(tool, Json{{"path", "/tmp/x"}, {"content", "hello"}});
        EXPECT_EQ(kept["content"], (Json{{"bytes", 5}, {"sha256", "2cf24dba5fb0a30e26e83b2ac5b9e29e1b161e5c1fa7425e73043362938b9824"}}))
            << tool;
        EXPECT_EQ(kept["path"], "/tmp/x");
    }
    // Another tool's argument of that name is not a file's contents.
    EXPECT_EQ(HistoryArguments::keep("search_files", Json{{"content", "needle"}})["content"], "needle");
}

TEST(HistoryArguments, SummaryNamesEachArgumentOnOneShortLine)
{
    EXPECT_EQ(HistoryArguments::summary(QStringLiteral("{\"command\":\"ls\\n-l\",\"timeout\":5}")),
              QStringLiteral("command=ls -l timeout=5"));
    const QString summary = HistoryArguments::summary(QStringLiteral("{\"path\":\"%1\"}").arg(QString(200, QLatin1Char('p'))), 40);
    EXPECT_EQ(summary.size(), 40);
    EXPECT_TRUE(summary.endsWith(QChar(0x2026)));
}

} // namespace
