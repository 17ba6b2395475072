#include "platform/QtClipboard.h"

#include <gtest/gtest.h>

// The unit tests run in a QCoreApplication: no display. The desktop case runs in the end-to-end
// tests, against an X server they start.
TEST(QtClipboard, WithoutADisplayIsEmptyAndRefusesCopies)
{
    QtClipboard clipboard;
    EXPECT_FALSE(clipboard.text().has_value());
    EXPECT_FALSE(clipboard.imagePng().has_value());
    EXPECT_FALSE(clipboard.filePaths().has_value());
    const ClipboardWrite write = clipboard.setText(QStringLiteral("x"));
    EXPECT_FALSE(write.copied);
    EXPECT_EQ(write.failure, QStringLiteral("no display"));
}
