#include "tools/system/SetClipboardTool.h"

#include "support/FakeClipboard.h"

#include <gtest/gtest.h>

#include <QCoroTask>

namespace {

MCPToolCallResponse copy(const std::shared_ptr<FakeClipboard>& clipboard, const Arguments& arguments)
{
    return QCoro::waitFor(SetClipboardTool(clipboard).execute(arguments, {}));
}

std::string text(const MCPToolCallResponse& response)
{
    return response.content.at(0).asText()->text;
}

} // namespace

TEST(SetClipboard, CountsWhatReadersSeeAsCharacters)
{
    auto clipboard = std::make_shared<FakeClipboard>();
    // Five family emoji, each of five code points joined by zero-width joiners.
    const std::string families = "👨‍👩‍👧‍👦👨‍👩‍👧‍👦👨‍👩‍👧‍👦👨‍👩‍👧‍👦👨‍👩‍👧‍👦";
    const auto response = copy(clipboard, {{"content", families}});
    EXPECT_EQ(text(response), "Successfully copied 5 characters to clipboard");
    EXPECT_FALSE(response.isError.has_value());
    EXPECT_EQ(clipboard->storedText, QString::fromStdString(families));

    EXPECT_EQ(text(copy(clipboard, {{"content", "e\xCC\x81t\xC3\xA9"}})), "Successfully copied 3 characters to clipboard");
    EXPECT_EQ(text(copy(clipboard, {{"content", ""}})), "Successfully copied 0 characters to clipboard");
}

TEST(SetClipboard, NeverReportsACopyThatDidNotHappen)
{
    auto clipboard = std::make_shared<FakeClipboard>();
    EXPECT_EQ(text(copy(clipboard, {})), "Missing required argument: content");

    clipboard->available = false;
    const auto response = copy(clipboard, {{"content", "x"}});
    EXPECT_EQ(text(response), "Clipboard is not available: no display");
    EXPECT_EQ(response.isError, true);
}
