#include "tools/apps/ExecuteAppleScriptTool.h"

#include <QCoroTask>
#include <gtest/gtest.h>

namespace {

std::string answer(const Json& arguments)
{
    ExecuteAppleScriptTool tool;
    const auto response = QCoro::waitFor(tool.execute(arguments.get<Arguments>(), {}));
    EXPECT_EQ(response.isError, std::optional<bool>(true));
    return response.content.size() == 1 ? response.content.front().asText()->text : "<not one text item>";
}

TEST(ExecuteAppleScript, AnswersThatNoEngineExistsForEveryLanguage)
{
    EXPECT_EQ(answer({{"script", "return 1 + 1"}}), "AppleScript error: AppleScript is not available on this system");
    EXPECT_EQ(answer({{"script", "1 + 1"}, {"language", "JavaScript"}}),
              "AppleScript error: AppleScript is not available on this system");
    EXPECT_EQ(answer({{"language", "applescript"}}), "Missing required argument: script");
}

} // namespace
