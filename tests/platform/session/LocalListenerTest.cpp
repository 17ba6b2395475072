#include "platform/session/LocalListener.h"
#include "platform/session/UnixSocket.h"
#include "support/ProcessEvents.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <vector>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

// A client's end, made without Qt so that it costs exactly one descriptor.
int connectTo(const QString& path)
{
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    struct sockaddr_un address {};
    address.sun_family = AF_UNIX;
    const QByteArray encoded = path.toLocal8Bit();
    std::copy(encoded.cbegin(), encoded.cend(), address.sun_path);
    if (::connect(fd, reinterpret_cast<const struct sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

TEST(LocalListener, KeepsListeningWhenTheProcessRunsOutOfDescriptors)
{
#if defined(ZARNEL_SANITIZED)
    // The sanitizers' own checks open pipes: with no descriptor left they report sound objects as
    // broken.
    GTEST_SKIP() << "needs every descriptor of the process";
#endif
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("listener.sock"));
    LocalListener listener;
    ASSERT_TRUE(listener.listen(path)) << listener.errorString().toStdString();
    std::vector<UnixSocket*> accepted;
    int turnedAway = 0;
    QObject::connect(&listener, &LocalListener::connectionAccepted, [&](UnixSocket* socket) { accepted.push_back(socket); });
    QObject::connect(&listener, &LocalListener::connectionTurnedAway, [&] { ++turnedAway; });

    // Clients waiting to be taken, and room for only a few of them.
    std::vector<int> clients;
    for (int i = 0; i < 10; ++i)
        clients.push_back(connectTo(path));
    ASSERT_EQ(std::count(clients.cbegin(), clients.cend(), -1), 0);
    struct rlimit saved {};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &saved), 0);
    int highest = 0;
    for (int fd = 0; fd < 65536; ++fd) {
        if (::fcntl(fd, F_GETFD) != -1)
            highest = fd;
    }
    // Descriptors are numbered lowest free first: the gaps below are filled while it lasts.
    std::vector<int> fillers;
    for (int fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC); fd >= 0; fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC)) {
        fillers.push_back(fd);
        if (fd >= highest)
            break;
    }
    struct rlimit tight = saved;
    tight.rlim_cur = static_cast<rlim_t>(highest + 4);
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &tight), 0);
    processEventsFor(300);
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &saved), 0);
    for (const int fd : fillers)
        ::close(fd);

    EXPECT_GT(turnedAway, 0);
    EXPECT_TRUE(listener.isListening());
    EXPECT_TRUE(QFile::exists(path));
    // With descriptors to spare again, the next client is taken.
    const std::size_t before = accepted.size();
    for (const int fd : clients)
        ::close(fd);
    const int late = connectTo(path);
    ASSERT_GE(late, 0);
    const QDeadlineTimer deadline(10000);
    while (accepted.size() == before && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    EXPECT_EQ(accepted.size(), before + 1);
    ::close(late);

    listener.close();
    EXPECT_FALSE(QFile::exists(path));
}

} // namespace
