#include "tools/system/GetClipboardTool.h"

#include "support/FakeClipboard.h"
#include "support/ToolCalls.h"

#include <gtest/gtest.h>

namespace {

Json contentOf(const std::shared_ptr<FakeClipboard>& clipboard)
{
    return callTool(GetClipboardTool(clipboard)).toJson();
}

} // namespace

TEST(GetClipboard, PrefersTextThenAnImageThenFileUrls)
{
    auto clipboard = std::make_shared<FakeClipboard>();
    clipboard->storedText = QStringLiteral("hello");
    clipboard->storedPng = QByteArray("\x89PNG");
    clipboard->storedPaths = QStringList{QStringLiteral("/tmp/a b.txt")};
    EXPECT_EQ(contentOf(clipboard), Json::parse(R"({"content":[{"type":"text","text":"Clipboard text:\n\nhello"}]})"));

    clipboard->storedText.reset();
    EXPECT_EQ(contentOf(clipboard), Json::parse(R"({"content":[{"type":"image","data":"iVBORw==","mimeType":"image/png"}]})"));

    clipboard->storedPng.reset();
    clipboard->storedPaths = QStringList{QStringLiteral("/tmp/a b.txt"), QStringLiteral("/home/u/c")};
    EXPECT_EQ(contentOf(clipboard),
              Json::parse(R"({"content":[{"type":"text","text":"Clipboard file URLs:\n\n/tmp/a b.txt\n/home/u/c"}]})"));

    clipboard->storedPaths = QStringList{};
    EXPECT_EQ(contentOf(clipboard), Json::parse(R"({"content":[{"type":"text","text":"Clipboard file URLs:\n\n"}]})"));

    clipboard->storedPaths.reset();
    EXPECT_EQ(failure(callTool(GetClipboardTool(clipboard))), "Clipboard is empty or contains unsupported content");
}

TEST(GetClipboard, SaysWhenThereIsNoClipboardRatherThanAnEmptyOne)
{
    auto clipboard = std::make_shared<FakeClipboard>();
    clipboard->storedText = QStringLiteral("not reachable");
    clipboard->available = false;
    EXPECT_EQ(failure(callTool(GetClipboardTool(clipboard))), "Clipboard is not available: no display");
}
