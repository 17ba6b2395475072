#pragma once

#include "control/ControlFolder.h"
#include "control/ControlProtocol.h"

#include <QCoroTask>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>

#include <functional>

class ControlConnection;
class LocalListener;
class QTimer;
class ServerComponents;
class UnixSocket;

// The control endpoint every zarnel process offers on <control folder>/<pid>.sock, speaking the
// protocol of ControlProtocol.h to processes of the same user. Removes its socket when destroyed.
class ControlServer : public QObject {
    Q_OBJECT
public:
    using Handler = std::function<QCoro::Task<ControlProtocol::Reply>(Json args)>;

    // Connections held at once. Beyond, a newcomer takes the place of the oldest connection of
    // the process that holds the most, when that holds more than the newcomer's would then; else
    // it is closed at once. So one process cannot shut the others out.
    static constexpr int kMaxConnections = 64;
    // Descriptors kept free for the tools: below this many, new connections are closed at once.
    static constexpr qint64 kDescriptorReserve = 128;

    ControlServer(ServerComponents& components, ControlFolder folder = ControlFolder(), QObject* parent = nullptr);
    ~ControlServer() override;

    // Prepares the folder, removes sockets left by processes that are gone, and listens. False,
    // with the reason in problem(), when the folder is unsafe or the socket cannot be made.
    bool listen();
    QString problem() const { return m_problem; }
    QString socketPath() const;
    bool isListening() const;

    // Whether this is the desktop instance, which answers "show-dashboard".
    void setDesktop(bool desktop) { m_desktop = desktop; }
    bool isDesktop() const { return m_desktop; }

    // Adds a command (or replaces one of the same name). The handler runs on the main thread and
    // receives the request's "args" object.
    void registerCommand(const QString& name, Handler handler);

    // Whether a request carrying `token` may be run: it is the control folder's token.
    bool admits(const QByteArray& token);
    // Runs one request that a connection admitted (also for tests).
    QCoro::Task<ControlProtocol::Reply> handle(ControlProtocol::Request request);

    // Sends an event to every subscribed connection.
    void broadcast(const std::string& event, const Json& data);
    // Whether any connection listens for events (callers can skip building one otherwise).
    bool hasSubscribers() const;

Q_SIGNALS:
    // A client asked the desktop instance to show its dashboard window.
    void showDashboardRequested();

private:
    void acceptConnection(UnixSocket* socket);
    bool makeRoomFor(qint64 peerProcess);
    void registerBuiltInCommands();
    void watchTargets();
    Json status() const;
    Json session() const;
    ControlProtocol::Reply logPage(const Json& args) const;

    QCoro::Task<ControlProtocol::Reply> setServerRunning(Json args);
    QCoro::Task<ControlProtocol::Reply> setSetting(Json args);

    ServerComponents& m_components; // what the socket acts on: this process's managers
    ControlFolder m_folder;
    LocalListener* m_listener = nullptr;
    QByteArray m_token;
    QString m_problem;
    bool m_desktop = false;
    QHash<QString, Handler> m_commands;
    QList<QPointer<ControlConnection>> m_connections; // oldest first
    bool m_turningAway = false;
    QTimer* m_sessionEvent; // gathers the session changes of one interval into one event
};
