#pragma once

#include "control/ControlFolder.h"
#include "control/ControlProtocol.h"

#include <QByteArray>
#include <QCoroTask>
#include <QHash>
#include <QList>
#include <QObject>

#include <optional>

class UnixSocket;

// A connection to one running zarnel's control socket: requests with a time limit, and the
// events of a subscription as signals.
class ControlClient : public QObject {
    Q_OBJECT
public:
    explicit ControlClient(QObject* parent = nullptr);
    ~ControlClient() override;

    // Connects to a socket; false when nothing listens there. Local sockets connect at once
    // (a process too busy to answer is caught by the request's time limit instead). The requests
    // carry the token of the socket's control folder.
    bool connectTo(const QString& socketPath);
    bool isConnected() const;

    // One request; a "timeout" failure when no answer comes in time, a "failed" one when the
    // connection is lost.
    QCoro::Task<ControlProtocol::Reply> request(std::string command, Json args = Json::object(),
                                                int timeoutMs = ControlProtocol::kRequestTimeoutMs);

    // The whole log, page by page, as one reply with "entries" newest first (each once); a
    // failure when a page fails.
    QCoro::Task<ControlProtocol::Reply> requestLog(int timeoutMs = ControlProtocol::kRequestTimeoutMs);

    // One request asked and waited for without an event loop (before the application exists, or
    // where one answer is all a command needs): nothing when no answer comes in time. A local
    // socket answers at once or not at all, so a plain blocking wait with a time limit does.
    static std::optional<ControlProtocol::Reply> askBlocking(const QString& socketPath, const std::string& command,
                                                             int timeoutMs = ControlProtocol::kRequestTimeoutMs);

Q_SIGNALS:
    void eventReceived(const QString& event, const Json& data);
    void disconnected();
    // Internal: an answer arrived, or the connection ended (id 0).
    void replyArrived(qint64 id);

private:
    void readAvailable();

    UnixSocket* m_socket;
    QByteArray m_token;
    QByteArray m_buffer;
    qint64 m_nextId = 1;
    QHash<qint64, ControlProtocol::Reply> m_replies;
    bool m_answerTooLong = false;
};

// One process's answer to a request sent to every process.
struct InstanceReply {
    qint64 pid = 0;
    ControlProtocol::Reply reply;
};

// Sends the same request to every live process of the folder at once and collects the answers
// (ascending pid). A process that does not answer within the time limit answers "timeout"; a
// socket whose process is gone is removed and left out.
QCoro::Task<QList<InstanceReply>> askEveryInstance(ControlFolder folder, std::string command, Json args = Json::object(),
                                                   int timeoutMs = ControlProtocol::kRequestTimeoutMs);
// The same for the whole log of every process (ControlClient::requestLog).
QCoro::Task<QList<InstanceReply>> askEveryInstanceForLog(ControlFolder folder);
