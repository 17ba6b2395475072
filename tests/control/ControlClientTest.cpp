#include "control/ControlClient.h"
#include "support/ProcessEvents.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QLocalServer>
#include <QLocalSocket>
#include <QTemporaryDir>

#include <optional>

using namespace ControlProtocol;

namespace {

// A process at the other end of the socket that answers each request with its reply and, in the
// same write, `extra` more replies for ids nobody asked about.
class AnsweringPeer {
public:
    explicit AnsweringPeer(int extra)
        : m_extra(extra)
    {
        m_server.listen(m_folder.filePath(QStringLiteral("peer.sock")));
        QObject::connect(&m_server, &QLocalServer::newConnection, [this] {
            QLocalSocket* peer = m_server.nextPendingConnection();
            QObject::connect(peer, &QLocalSocket::readyRead, peer, [this, peer] { answer(peer); });
        });
    }

    QString path() const { return m_server.fullServerName(); }

private:
    void answer(QLocalSocket* peer)
    {
        while (peer->canReadLine()) {
            const Json request = Json::parse(peer->readLine().toStdString());
            QByteArray lines = encodeReply(request["id"], Reply::success(Json{{"answered", true}}));
            for (int i = 0; i < m_extra; ++i)
                lines += encodeReply(Json(1000 + i), Reply::success(Json::object()));
            peer->write(lines);
        }
    }

    QTemporaryDir m_folder;
    QLocalServer m_server;
    int m_extra;
};

} // namespace

// Under the sanitizers this caught the request's wait being resumed after it had ended, by the
// second reply of one read.
TEST(ControlClient, RepliesReadTogetherReachOnlyTheRequestStillWaiting)
{
    AnsweringPeer peer(3);
    ControlClient client;
    ASSERT_TRUE(client.connectTo(peer.path()));
    for (int round = 0; round < 3; ++round) {
        const Reply reply = QCoro::waitFor(client.request("status", Json::object(), 30000));
        ASSERT_TRUE(reply.ok) << reply.message;
        EXPECT_EQ(reply.result, (Json{{"answered", true}}));
        processEventsFor(50);
    }
}

TEST(ControlClient, ARequestNobodyAnswersEndsAtItsTimeLimit)
{
    QTemporaryDir folder;
    QLocalServer silent;
    ASSERT_TRUE(silent.listen(folder.filePath(QStringLiteral("silent.sock"))));
    ControlClient client;
    ASSERT_TRUE(client.connectTo(silent.fullServerName()));
    const Reply reply = QCoro::waitFor(client.request("status", Json::object(), 100));
    EXPECT_FALSE(reply.ok);
    EXPECT_EQ(reply.code, Code::Timeout);
    processEventsFor(50);
}

// A client deleted by its owner (at quit, say) while a request waits ends that request, so the
// coroutine that asked finishes instead of staying suspended for good (a leak under the
// sanitizers).
TEST(ControlClient, ARequestWaitingWhenItsClientIsDeletedEndsAsClosed)
{
    QTemporaryDir folder;
    QLocalServer silent;
    ASSERT_TRUE(silent.listen(folder.filePath(QStringLiteral("silent.sock"))));
    auto* client = new ControlClient;
    ASSERT_TRUE(client->connectTo(silent.fullServerName()));
    std::optional<Reply> ended;
    auto asking = [](ControlClient* asked, std::optional<Reply>& into) -> QCoro::Task<> {
        QCoro::Task<Reply> request = asked->request("status", Json::object(), 60000);
        into = co_await request;
    }(client, ended);
    processEventsFor(50);
    ASSERT_FALSE(ended.has_value());
    delete client;
    ASSERT_TRUE(ended.has_value());
    EXPECT_FALSE(ended->ok);
    EXPECT_EQ(ended->code, Code::Failed);
    EXPECT_TRUE(asking.isReady());
    processEventsFor(50);
}
