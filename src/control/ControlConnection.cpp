#include "control/ControlConnection.h"

#include "control/ControlServer.h"
#include "platform/session/UnixSocket.h"

#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcControlConnection, "com.tarvonic.zarnel.ControlConnection")

using namespace ControlProtocol;

ControlConnection::ControlConnection(UnixSocket* socket, ControlServer& server, qint64 peerProcess)
    : QObject(&server)
    , m_socket(socket)
    , m_server(&server)
    , m_peerProcess(peerProcess)
{
    m_socket->setParent(this);
    connect(m_socket, &UnixSocket::readyRead, this, &ControlConnection::readAvailable);
    connect(m_socket, &UnixSocket::disconnected, this, &QObject::deleteLater);
    readAvailable();
}

void ControlConnection::send(const QByteArray& line)
{
    if (m_closing || !m_socket->isConnected())
        return;
    if (m_socket->bytesToWrite() + line.size() > kMaxPendingWriteBytes) {
        qCInfo(lcControlConnection) << "dropping a control client that does not read its answers";
        drop();
        return;
    }
    m_socket->write(line);
}

void ControlConnection::drop()
{
    m_closing = true;
    m_socket->abort();
    deleteLater();
}

void ControlConnection::readAvailable()
{
    if (m_closing)
        return;
    m_buffer += m_socket->readAll();
    qsizetype start = 0;
    for (qsizetype end = m_buffer.indexOf('\n'); end >= 0; end = m_buffer.indexOf('\n', start)) {
        if (end - start > kMaxLineBytes)
            break;
        m_lines.enqueue(m_buffer.mid(start, end - start));
        start = end + 1;
    }
    m_buffer.remove(0, start);
    const qsizetype newline = m_buffer.indexOf('\n');
    if (m_buffer.size() > kMaxLineBytes && (newline < 0 || newline > kMaxLineBytes)) {
        // Answered at once, ahead of queued requests: nothing after the long line is read.
        m_lines.clear();
        send(encodeReply(nullptr, Reply::failure(Code::TooLong, "a line is longer than 1 MiB")));
        close();
        return;
    }
    if (!m_processing && !m_lines.isEmpty())
        processQueue();
}

QCoro::Task<> ControlConnection::processQueue()
{
    m_processing = true;
    QPointer<ControlConnection> self(this);
    while (!m_lines.isEmpty() && !m_closing) {
        const QByteArray line = m_lines.dequeue();
        DecodedRequest decoded = decodeRequest(line);
        if (!decoded.request) {
            send(encodeReply(decoded.id, decoded.error));
            continue;
        }
        const bool subscribing = decoded.request->command == "subscribe";
        if (!m_server)
            co_return;
        if (!m_server->admits(decoded.request->token)) {
            send(encodeReply(decoded.id,
                             Reply::failure(Code::NotAllowed,
                                            "the request does not carry the token of Zarnel's control "
                                            "folder, which only the user's own processes can read")));
            continue;
        }
        const Reply reply = co_await m_server->handle(std::move(*decoded.request));
        if (!self)
            co_return;
        if (subscribing && reply.ok)
            subscribe();
        QByteArray answer = encodeReply(decoded.id, reply);
        // A line the client would drop unread must not stand for an answer.
        if (answer.size() > kMaxLineBytes)
            answer = encodeReply(decoded.id, Reply::failure(Code::TooLong, "the answer is longer than 1 MiB"));
        send(answer);
    }
    m_processing = false;
}

void ControlConnection::close()
{
    m_closing = true;
    m_socket->disconnectFromServer(); // writes what is queued first
    if (!m_socket->isConnected())
        deleteLater();
}
