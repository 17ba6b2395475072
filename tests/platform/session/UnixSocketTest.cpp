#include "platform/session/UnixSocket.h"
#include "platform/session/LocalListener.h"
#include "platform/session/PeerCredentials.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QTemporaryDir>

#include <functional>
#include <vector>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;

sockaddr_un addressOf(const QString& path)
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray encoded = QFile::encodeName(path);
    std::copy(encoded.cbegin(), encoded.cend(), address.sun_path);
    return address;
}

// A peer made without the class under test.
int rawConnection(const QString& path)
{
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const sockaddr_un address = addressOf(path);
    if (fd >= 0 && ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

bool processEventsUntil(const std::function<bool()>& done)
{
    const QDeadlineTimer deadline(30000);
    while (!done() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return done();
}

class UnixSocketPair : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_listener.listen(path())) << m_listener.errorString().toStdString();
        QObject::connect(&m_listener, &LocalListener::connectionAccepted, [this](UnixSocket* socket) { m_accepted.push_back(socket); });
    }

    QString path() const { return m_dir.filePath(QStringLiteral("pair.sock")); }

    UnixSocket* nextAccepted()
    {
        const std::size_t before = m_taken;
        if (!processEventsUntil([&] { return m_accepted.size() > before; }))
            return nullptr;
        return m_accepted[m_taken++];
    }

    QTemporaryDir m_dir;
    LocalListener m_listener;
    std::vector<UnixSocket*> m_accepted;
    std::size_t m_taken = 0;
};

TEST_F(UnixSocketPair, DeliversALargeMessageWholeAndInOrderThoughThePeerReadsSlowly)
{
    UnixSocket client;
    ASSERT_TRUE(client.connectTo(path(), 5s)) << client.errorString().toStdString();
    UnixSocket* server = nextAccepted();
    ASSERT_NE(server, nullptr);

    QByteArray message;
    for (int i = 0; message.size() < 4 * 1024 * 1024; ++i)
        message += QByteArray::number(i) + ' ';
    message += '\n';
    client.write(message);
    // More than the kernel holds: the rest waits with us, and closing waits for it to go.
    EXPECT_GT(client.bytesToWrite(), 0);
    client.disconnectFromServer();

    QByteArray received;
    bool ended = false;
    QObject::connect(server, &UnixSocket::readyRead, [&] { received += server->readAll(); });
    QObject::connect(server, &UnixSocket::disconnected, [&] { ended = true; });
    ASSERT_TRUE(processEventsUntil([&] { return ended; }));
    EXPECT_EQ(received.size(), message.size());
    EXPECT_TRUE(received == message);
    EXPECT_EQ(client.bytesToWrite(), 0);
    EXPECT_FALSE(client.isConnected());
}

TEST_F(UnixSocketPair, HandsOverWhatAPeerSentBeforeHangingUpMidLineAndEndsOnce)
{
    const int peer = rawConnection(path());
    ASSERT_GE(peer, 0);
    UnixSocket* server = nextAccepted();
    ASSERT_NE(server, nullptr);
    QByteArray received;
    int endings = 0;
    QObject::connect(server, &UnixSocket::readyRead, [&] { received += server->readAll(); });
    QObject::connect(server, &UnixSocket::disconnected, [&] { ++endings; });

    const QByteArray partial = "{\"id\":1,\"command\":\"sta";
    ASSERT_EQ(::write(peer, partial.constData(), static_cast<std::size_t>(partial.size())), partial.size());
    ::close(peer);
    // An answer to a peer that is gone neither kills the process (SIGPIPE) nor loses its words.
    server->write("{\"id\":0}\n");

    ASSERT_TRUE(processEventsUntil([&] { return endings > 0; }));
    QCoreApplication::processEvents();
    EXPECT_EQ(received, partial);
    EXPECT_EQ(endings, 1);
    EXPECT_FALSE(server->isConnected());
    EXPECT_EQ(server->bytesToWrite(), 0);
}

TEST_F(UnixSocketPair, TheAcceptedEndKnowsTheConnectingProcessAndTheSocketIsTheUsersAlone)
{
    UnixSocket client;
    ASSERT_TRUE(client.connectTo(path(), 5s));
    UnixSocket* server = nextAccepted();
    ASSERT_NE(server, nullptr);
    EXPECT_EQ(PeerCredentials::peerUserId(server->descriptor()), PeerCredentials::currentUserId());
    EXPECT_EQ(PeerCredentials::peerProcessId(server->descriptor()), static_cast<qint64>(::getpid()));
    struct stat made {};
    ASSERT_EQ(::stat(QFile::encodeName(path()).constData(), &made), 0);
    EXPECT_EQ(made.st_mode & 0777, 0600u);

    // Both ways, lines as they were written.
    QByteArray answer;
    QObject::connect(&client, &UnixSocket::readyRead, [&] { answer += client.readAll(); });
    client.write("ping\n");
    ASSERT_TRUE(processEventsUntil([&] { return server->canReadLine(); }));
    EXPECT_EQ(server->readLine(), "ping\n");
    server->write("pong\n");
    ASSERT_TRUE(processEventsUntil([&] { return answer.endsWith('\n'); }));
    EXPECT_EQ(answer, "pong\n");
}

TEST(UnixSocket, ConnectsToNothingWhereNoOneListens)
{
    QTemporaryDir dir;
    UnixSocket socket;
    EXPECT_FALSE(socket.connectTo(dir.filePath(QStringLiteral("absent.sock")), 5s));
    EXPECT_FALSE(socket.errorString().isEmpty());
    EXPECT_FALSE(socket.isConnected());

    // A socket file whose process is gone refuses.
    const QString stale = dir.filePath(QStringLiteral("stale.sock"));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    const sockaddr_un address = addressOf(stale);
    ASSERT_EQ(::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    ::close(fd);
    EXPECT_FALSE(socket.connectTo(stale, 5s));
    EXPECT_FALSE(socket.isConnected());
    EXPECT_FALSE(socket.waitForReadyRead(10ms));
}

TEST(UnixSocket, GivesUpOnAListenerThatTakesNoOneWhenItsTimeIsUp)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("full.sock"));
    const int listening = ::socket(AF_UNIX, SOCK_STREAM, 0);
    const sockaddr_un address = addressOf(path);
    ASSERT_EQ(::bind(listening, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(listening, 0), 0);
    // Fill the queue of connections waiting to be taken.
    std::vector<int> waiting;
    for (int i = 0; i < 4; ++i) {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK, 0);
        if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
            ::close(fd);
            break;
        }
        waiting.push_back(fd);
    }
    UnixSocket socket;
    EXPECT_FALSE(socket.connectTo(path, 200ms));
    EXPECT_FALSE(socket.isConnected());
    for (const int fd : waiting)
        ::close(fd);
    ::close(listening);
}

} // namespace
