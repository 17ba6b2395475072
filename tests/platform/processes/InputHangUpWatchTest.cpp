#include "platform/processes/InputHangUpWatch.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// Both ends of a pipe or a socket pair, closed at the end of the test.
struct Ends {
    int read = -1;
    int write = -1;
    static Ends pipe()
    {
        int fds[2] = {-1, -1};
        EXPECT_EQ(::pipe(fds), 0);
        return Ends{fds[0], fds[1]};
    }
    static Ends socketPair()
    {
        int fds[2] = {-1, -1};
        EXPECT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, fds), 0);
        return Ends{fds[0], fds[1]};
    }
    ~Ends()
    {
        closeWriter();
        if (read >= 0)
            ::close(read);
    }
    void closeWriter()
    {
        if (write >= 0)
            ::close(write);
        write = -1;
    }
    void sendUnread() const { ASSERT_EQ(::write(write, "{}\n", 3), 3); }
};

TEST(InputHangUpWatch, SeesTheWriterLeaveThroughUnreadInputAndNothingElse)
{
    Ends pipe = Ends::pipe();
    pipe.sendUnread();
    EXPECT_FALSE(InputHangUpWatch::hasHungUp(pipe.read));
    pipe.closeWriter();
    EXPECT_TRUE(InputHangUpWatch::hasHungUp(pipe.read));

    // What Node-based clients give: a socket pair, shut down for writing or closed.
    for (const bool onlyShutDown : {true, false}) {
        Ends socket = Ends::socketPair();
        socket.sendUnread();
        EXPECT_FALSE(InputHangUpWatch::hasHungUp(socket.read));
        if (onlyShutDown)
            ::shutdown(socket.write, SHUT_WR);
        else
            socket.closeWriter();
        EXPECT_TRUE(InputHangUpWatch::hasHungUp(socket.read)) << onlyShutDown;
    }

    const int null = ::open("/dev/null", O_RDONLY);
    EXPECT_FALSE(InputHangUpWatch::hasHungUp(null));
    ::close(null);
}

TEST(InputHangUpWatch, SignalsOnceAndOnlyWhileActive)
{
    Ends pipe = Ends::pipe();
    InputHangUpWatch watch(pipe.read);
    QSignalSpy hungUp(&watch, &InputHangUpWatch::hungUp);
    pipe.closeWriter();
    QCoreApplication::processEvents();
    EXPECT_EQ(hungUp.count(), 0);

    // Gone before the watch began: seen at once, not an interval later.
    watch.setActive(true);
    QElapsedTimer waited;
    waited.start();
    ASSERT_TRUE(hungUp.wait(2000));
    EXPECT_LT(waited.elapsed(), InputHangUpWatch::kInterval.count());
    EXPECT_FALSE(watch.isActive());
    EXPECT_FALSE(hungUp.wait(1200));
    EXPECT_EQ(hungUp.count(), 1);
}

} // namespace
