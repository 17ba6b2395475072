#include "server/StdioTransport.h"
#include "support/FakeStandardStreams.h"

#include <gtest/gtest.h>

namespace {

class TransportTest : public ::testing::Test {
protected:
    FakeStandardStreams streams;
    StdioTransport transport{streams};
    QByteArrayList lines;
    bool ended = false;

    void SetUp() override
    {
        QObject::connect(&transport, &StdioTransport::lineReceived, [this](const QByteArray& line) { lines.append(line); });
        QObject::connect(&transport, &StdioTransport::inputEnded, [this] { ended = true; });
        transport.start();
    }
};

TEST_F(TransportTest, SplitsTwoMessagesInOneRead)
{
    streams.feed("{\"a\":1}\n{\"b\":2}\n");
    EXPECT_EQ(lines, (QByteArrayList{"{\"a\":1}", "{\"b\":2}"}));
}

TEST_F(TransportTest, WaitsForTheLineFeedEvenInsideACharacter)
{
    streams.feed("{\"a\":\"\xE2\x9C");
    streams.feed("\x93\"");
    EXPECT_TRUE(lines.isEmpty());
    streams.feed("}\r\nrest");
    EXPECT_EQ(lines, (QByteArrayList{"{\"a\":\"\xE2\x9C\x93\"}\r"}));
    streams.endInput();
    EXPECT_EQ(lines.size(), 1); // text after the last line feed is dropped at the end
    EXPECT_TRUE(ended);
}

TEST_F(TransportTest, SkipsBlankLinesButNotCarriageReturns)
{
    streams.feed("\n  \t \n\xE3\x80\x80\n\r\n");
    EXPECT_EQ(lines, (QByteArrayList{"\r"}));
}

TEST_F(TransportTest, StopsAtOnceAndRestartsWithAnEmptyBuffer)
{
    streams.feed("partial");
    transport.stop();
    EXPECT_FALSE(streams.reading);
    streams.feed("ignored\n");
    transport.start();
    streams.feed("fresh\n");
    EXPECT_EQ(lines, (QByteArrayList{"fresh"}));
}

} // namespace
