#include "server/StdioTransport.h"
#include "support/FakeStandardStreams.h"

#include <gtest/gtest.h>

namespace {

class TransportTest : public ::testing::Test {
protected:
    FakeStandardStreams streams;
    StdioTransport transport{streams};
    QByteArrayList lines;

    void SetUp() override
    {
        QObject::connect(&transport, &StdioTransport::lineReceived, [this](const QByteArray& line) { lines.append(line); });
        transport.start();
    }
};

// Framing is checked end to end; what a client cannot see from there is what stopping leaves.
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
