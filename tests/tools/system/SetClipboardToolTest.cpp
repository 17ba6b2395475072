#include "tools/system/SetClipboardTool.h"

#include "support/FakeClipboard.h"
#include "support/ToolCalls.h"

#include <gtest/gtest.h>

namespace {

MCPToolCallResponse copy(const std::shared_ptr<FakeClipboard>& clipboard, const Arguments& arguments)
{
    return callTool(SetClipboardTool(clipboard), arguments);
}

} // namespace

TEST(SetClipboard, CountsWhatReadersSeeAsCharacters)
{
    auto clipboard = std::make_shared<FakeClipboard>();
    // Five family emoji, each of five code points joined by zero-width joiners.
    const std::string families =
        "👨‍👩‍👧‍👦👨‍👩‍👧‍👦👨‍👩‍👧‍👦👨‍👩‍👧‍👦👨‍👩‍👧‍👦";
    EXPECT_EQ(success(copy(clipboard, {{"content", families}})), "Successfully copied 5 characters to clipboard");
    EXPECT_EQ(clipboard->storedText, QString::fromStdString(families));

    EXPECT_EQ(textOf(copy(clipboard, {{"content", "e\xCC\x81t\xC3\xA9"}})), "Successfully copied 3 characters to clipboard");
    EXPECT_EQ(textOf(copy(clipboard, {{"content", ""}})), "Successfully copied 0 characters to clipboard");
}

TEST(SetClipboard, NeverReportsACopyThatDidNotHappen)
{
    auto clipboard = std::make_shared<FakeClipboard>();
    EXPECT_EQ(textOf(copy(clipboard, {})), "Missing required argument: content");

    clipboard->available = false;
    EXPECT_EQ(failure(copy(clipboard, {{"content", "x"}})), "Clipboard is not available: no display");
}
