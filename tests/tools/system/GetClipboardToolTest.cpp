#include "tools/system/GetClipboardTool.h"

#include "support/FakeClipboard.h"

#include <gtest/gtest.h>

#include <QCoroTask>

namespace {

Json contentOf(const std::shared_ptr<FakeClipboard>& clipboard)
{
    return QCoro::waitFor(GetClipboardTool(clipboard).execute({}, {})).toJson();
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
    EXPECT_EQ(contentOf(clipboard), Json::parse(R"({"content":[{"type":"text","text":"Clipboard file URLs:\n\n/tmp/a b.txt\n/home/u/c"}]})"));

    clipboard->storedPaths = QStringList{};
    EXPECT_EQ(contentOf(clipboard), Json::parse(R"({"content":[{"type":"text","text":"Clipboard file URLs:\n\n"}]})"));
}

TEST(GetClipboard, SaysWhenThereIsNothingItCanRead)
{
    EXPECT_EQ(contentOf(std::make_shared<FakeClipboard>()),
              Json::parse(R"({"content":[{"type":"text","text":"Clipboard is empty or contains unsupported content"}],"isError":true})"));
}
