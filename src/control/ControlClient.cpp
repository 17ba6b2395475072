#include "control/ControlClient.h"

#include "control/NextSignal.h"
#include "platform/session/UnixSocket.h"

#include <QDeadlineTimer>
#include <QFileInfo>
#include <QPointer>
#include <QSet>

#include <chrono>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

using namespace ControlProtocol;

ControlClient::ControlClient(QObject* parent)
    : QObject(parent)
    , m_socket(new UnixSocket(this))
{
    connect(m_socket, &UnixSocket::readyRead, this, &ControlClient::readAvailable);
    connect(m_socket, &UnixSocket::disconnected, this, [this] {
        Q_EMIT replyArrived(0);
        Q_EMIT disconnected();
    });
}

ControlClient::~ControlClient() = default;

namespace {

QByteArray tokenFor(const QString& socketPath)
{
    return ControlFolder(QFileInfo(socketPath).path()).readToken();
}

} // namespace

bool ControlClient::connectTo(const QString& socketPath)
{
    m_token = tokenFor(socketPath);
    return m_socket->connectTo(socketPath, std::chrono::milliseconds(kRequestTimeoutMs));
}

bool ControlClient::isConnected() const
{
    return m_socket->isConnected();
}

QCoro::Task<Reply> ControlClient::request(std::string command, Json args, int timeoutMs)
{
    if (!isConnected())
        co_return Reply::failure(Code::Failed, "not connected");
    const qint64 id = m_nextId++;
    m_socket->write(encodeRequest(Request{id, std::move(command), std::move(args), m_token}));
    QPointer<ControlClient> self(this);
    const QDeadlineTimer deadline(timeoutMs);
    while (!m_replies.contains(id)) {
        if (m_answerTooLong)
            co_return Reply::failure(Code::TooLong, "an answer is longer than 1 MiB");
        if (!isConnected())
            co_return Reply::failure(Code::Failed, "the process closed the connection");
        const auto remaining = std::chrono::milliseconds(std::max<qint64>(1, deadline.remainingTime()));
        const bool arrived = co_await NextSignal(this, &ControlClient::replyArrived, remaining);
        if (!self)
            co_return Reply::failure(Code::Failed, "the connection was closed");
        if (!arrived && !m_replies.contains(id))
            co_return Reply::failure(Code::Timeout, "no answer within " + std::to_string(timeoutMs) + " ms");
    }
    co_return m_replies.take(id);
}

QCoro::Task<Reply> ControlClient::requestLog(int timeoutMs)
{
    Json entries = Json::array();
    QSet<std::string> seen;
    qint64 offset = 0;
    QPointer<ControlClient> self(this);
    for (;;) {
        QCoro::Task<Reply> asking = request("log", Json{{"offset", offset}}, timeoutMs);
        Reply page = co_await asking;
        if (!self || !page.ok)
            co_return page;
        if (!page.result.is_object() || !page.result.value("entries", Json()).is_array())
            co_return Reply::failure(Code::Failed, "the process answered no log entries");
        for (Json& entry : page.result["entries"]) {
            const auto id = entry.is_object() ? entry.find("id") : entry.end();
            if (id != entry.end() && id->is_string()) {
                if (seen.contains(id->get<std::string>()))
                    continue;
                seen.insert(id->get<std::string>());
            }
            entries.push_back(std::move(entry));
        }
        // An older process answers the whole log at once, without "next".
        const Json next = page.result.value("next", Json());
        if (!next.is_number_integer() || next.get<qint64>() <= offset)
            break;
        offset = next.get<qint64>();
    }
    co_return Reply::success(Json{{"entries", std::move(entries)}});
}

std::optional<Reply> ControlClient::askBlocking(const QString& socketPath, const std::string& command, int timeoutMs)
{
    UnixSocket socket;
    if (!socket.connectTo(socketPath, std::chrono::milliseconds(timeoutMs)))
        return std::nullopt;
    socket.write(encodeRequest(Request{1, command, Json::object(), tokenFor(socketPath)}));
    const QDeadlineTimer deadline(timeoutMs);
    while (!socket.canReadLine()) {
        if (deadline.hasExpired() || !socket.waitForReadyRead(std::chrono::milliseconds(std::max<qint64>(1, deadline.remainingTime()))))
            return std::nullopt;
    }
    QByteArray line = socket.readLine();
    line.chop(1);
    const auto answer = decodeIncoming(line);
    if (!answer || answer->isEvent)
        return std::nullopt;
    return answer->reply;
}

void ControlClient::readAvailable()
{
    m_buffer += m_socket->readAll();
    qsizetype start = 0;
    QList<qint64> arrived;
    for (qsizetype end = m_buffer.indexOf('\n'); end >= 0; end = m_buffer.indexOf('\n', start)) {
        const auto incoming = decodeIncoming(m_buffer.mid(start, end - start));
        start = end + 1;
        if (!incoming)
            continue;
        if (incoming->isEvent) {
            Q_EMIT eventReceived(QString::fromStdString(incoming->event), incoming->data);
        } else {
            m_replies.insert(incoming->id, incoming->reply);
            arrived.append(incoming->id);
        }
    }
    m_buffer.remove(0, start);
    // A process sending an endless line is not one we can talk to.
    if (m_buffer.size() > kMaxLineBytes) {
        m_answerTooLong = true;
        m_socket->abort();
    }
    for (const qint64 id : arrived)
        Q_EMIT replyArrived(id);
}

namespace {

// The client is held until the answer is in.
QCoro::Task<Reply> askOne(std::shared_ptr<ControlClient> client, std::string command, Json args, int timeoutMs)
{
    QCoro::Task<Reply> asked = client->request(std::move(command), std::move(args), timeoutMs);
    Reply reply = co_await asked;
    co_return reply;
}

QCoro::Task<Reply> askOneForLog(std::shared_ptr<ControlClient> client)
{
    QCoro::Task<Reply> asked = client->requestLog();
    Reply reply = co_await asked;
    co_return reply;
}

using Question = std::function<QCoro::Task<Reply>(std::shared_ptr<ControlClient>)>;

QCoro::Task<QList<InstanceReply>> askEach(ControlFolder folder, Question ask)
{
    QList<InstanceReply> replies;
    if (!folder.isUsable())
        co_return replies;
    struct Pending {
        qint64 pid;
        std::shared_ptr<ControlClient> client;
        QCoro::Task<Reply> reply;
    };
    std::vector<Pending> pending;
    for (const qint64 pid : folder.socketProcessIds()) {
        auto client = std::make_shared<ControlClient>();
        if (!client->connectTo(folder.socketPath(pid))) {
            folder.removeIfAbandoned(pid);
            continue;
        }
        // Started at once: every process works on its answer while we wait for the first.
        QCoro::Task<Reply> reply = ask(client);
        pending.push_back(Pending{pid, std::move(client), std::move(reply)});
    }
    for (Pending& each : pending) {
        Reply reply = co_await each.reply;
        replies.append(InstanceReply{each.pid, std::move(reply)});
    }
    co_return replies;
}

} // namespace

QCoro::Task<QList<InstanceReply>> askEveryInstance(ControlFolder folder, std::string command, Json args, int timeoutMs)
{
    QCoro::Task<QList<InstanceReply>> asked = askEach(std::move(folder), [command, args, timeoutMs](std::shared_ptr<ControlClient> client) {
        return askOne(std::move(client), command, args, timeoutMs);
    });
    QList<InstanceReply> replies = co_await asked;
    co_return replies;
}

QCoro::Task<QList<InstanceReply>> askEveryInstanceForLog(ControlFolder folder)
{
    QCoro::Task<QList<InstanceReply>> asked = askEach(std::move(folder), askOneForLog);
    QList<InstanceReply> replies = co_await asked;
    co_return replies;
}
