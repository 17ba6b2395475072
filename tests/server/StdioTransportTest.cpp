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

// Framing across reads, CRLF and blank lines are checked end to end; what is left here is
// what a client cannot see.
TEST_F(TransportTest, SkipsLinesOfSpacesOfAnyKindAndDropsAnUnfinishedLastLine)
{
    streams.feed("\n  \t \n\xE3\x80\x80\n\r\nrest");
    streams.endInput();
    EXPECT_EQ(lines, QByteArrayList{"\r"});
    EXPECT_TRUE(ended);
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
