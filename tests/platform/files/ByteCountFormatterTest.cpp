#include "platform/files/ByteCountFormatter.h"

#include <gtest/gtest.h>

TEST(ByteCountFormatter, NamesTheUnitWithDecimalSteps)
{
    const std::pair<qint64, const char*> cases[] = {
        {0, "0 bytes"},      {1, "1 byte"},        {512, "512 bytes"},        {999, "999 bytes"},   {1000, "1 KB"},
        {1234, "1.2 KB"},    {1500, "1.5 KB"},     {123456, "123.5 KB"},      {999949, "999.9 KB"}, {999950, "1 MB"},
        {3400000, "3.4 MB"}, {1000000000, "1 GB"}, {1250000000000, "1.3 TB"},
    };
    for (const auto& [bytes, text] : cases)
        EXPECT_EQ(ByteCountFormatter::fileSize(bytes).toStdString(), text) << bytes;
}
