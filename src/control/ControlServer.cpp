#include "control/ControlServer.h"

#include "control/ControlConnection.h"
#include "control/ServerComponents.h"
#include "control/SettingValues.h"
#include "platform/processes/DescriptorLimit.h"
#include "platform/session/LocalListener.h"
#include "platform/session/PeerCredentials.h"
#include "platform/session/UnixSocket.h"
#include "server/MCPServer.h"
#include "state/ActivityLog.h"
#include "state/SettingsManager.h"
#include "state/StatisticsManager.h"

#include <QCoreApplication>
#include <QLoggingCategory>
#include <QMetaMethod>
#include <QTimer>

#include <algorithm>
#include <utility>

Q_LOGGING_CATEGORY(lcControlServer, "com.tarvonic.zarnel.ControlServer")

using namespace ControlProtocol;

namespace {

QCoro::Task<Reply> ready(Reply reply)
{
    co_return reply;
}

} // namespace

ControlServer::ControlServer(ServerComponents& components, ControlFolder folder, QObject* parent)
    : QObject(parent)
    , m_components(components)
    , m_folder(std::move(folder))
    , m_sessionEvent(new QTimer(this))
{
    registerBuiltInCommands();
    watchTargets();
}

ControlServer::~ControlServer()
{
    if (m_listener)
        m_listener->close(); // removes the socket file
}

QString ControlServer::socketPath() const
{
    return m_folder.socketPath(QCoreApplication::applicationPid());
}

bool ControlServer::isListening() const
{
    return m_listener && m_listener->isListening();
}

bool ControlServer::listen()
{
    if (!m_folder.prepare()) {
        m_problem = m_folder.problem();
        return false;
    }
    m_token = m_folder.token();
    if (m_token.isEmpty()) {
        m_problem = QStringLiteral("cannot make the control token %1").arg(m_folder.tokenPath());
        return false;
    }
    for (const qint64 pid : m_folder.socketProcessIds())
        m_folder.removeIfAbandoned(pid);
    const QString path = socketPath();
    // A socket under our own pid is a previous process's: that pid is ours now.
    m_listener = new LocalListener(this);
    if (!m_listener->listen(path)) {
        m_problem = QStringLiteral("cannot listen on %1: %2").arg(path, m_listener->errorString());
        delete m_listener;
        m_listener = nullptr;
        return false;
    }
    connect(m_listener, &LocalListener::connectionAccepted, this, &ControlServer::acceptConnection);
    return true;
}

void ControlServer::acceptConnection(UnixSocket* socket)
{
    const auto peer = PeerCredentials::peerUserId(socket->descriptor());
    if (!peer || *peer != PeerCredentials::currentUserId()) {
        qCWarning(lcControlServer) << "refused a control connection from user id" << (peer ? static_cast<qint64>(*peer) : -1);
        socket->abort();
        socket->deleteLater();
        return;
    }
    const qint64 peerProcess = PeerCredentials::peerProcessId(socket->descriptor()).value_or(0);
    m_connections.removeAll(nullptr);
    if (!makeRoomFor(peerProcess)) {
        if (!std::exchange(m_turningAway, true))
            qCWarning(lcControlServer) << "turning control connections away: too many, or too few file descriptors left";
        socket->abort();
        socket->deleteLater();
        return;
    }
    m_turningAway = false;
    m_connections.append(new ControlConnection(socket, *this, peerProcess));
}

bool ControlServer::makeRoomFor(qint64 peerProcess)
{
    if (const auto available = DescriptorLimit::available(); available && *available < kDescriptorReserve)
        return false;
    if (m_connections.size() < kMaxConnections)
        return true;
    QHash<qint64, int> held;
    for (const QPointer<ControlConnection>& connection : std::as_const(m_connections))
        ++held[connection->peerProcess()];
    const auto most = std::max_element(held.cbegin(), held.cend());
    if (*most <= held.value(peerProcess) + 1)
        return false;
    const qint64 holder = most.key();
    const auto oldest = std::find_if(m_connections.cbegin(), m_connections.cend(), [holder](const QPointer<ControlConnection>& connection) {
        return connection->peerProcess() == holder;
    });
    (*oldest)->drop();
    m_connections.erase(oldest);
    return true;
}

bool ControlServer::admits(const QByteArray& token)
{
    const auto same = [&] {
        // Every byte compared, whatever the first difference.
        if (token.size() != m_token.size() || token.isEmpty())
            return false;
        unsigned char difference = 0;
        for (qsizetype i = 0; i < token.size(); ++i)
            difference |= static_cast<unsigned char>(token[i] ^ m_token[i]);
        return difference == 0;
    };
    if (same())
        return true;
    // The file may have been made anew since (its folder emptied while we ran).
    if (const QByteArray current = m_folder.token(); !current.isEmpty())
        m_token = current;
    return same();
}

void ControlServer::registerCommand(const QString& name, Handler handler)
{
    m_commands.insert(name, std::move(handler));
}

QCoro::Task<Reply> ControlServer::handle(Request request)
{
    const auto command = m_commands.constFind(QString::fromStdString(request.command));
    if (command == m_commands.constEnd())
        co_return Reply::failure(Code::UnknownCommand, "unknown command '" + request.command + "'");
    // Copied: a handler may replace itself while it runs.
    const Handler handler = *command;
    QCoro::Task<Reply> handling = handler(std::move(request.args));
    Reply reply = co_await handling;
    co_return reply;
}

void ControlServer::broadcast(const std::string& event, const Json& data)
{
    QByteArray line;
    for (const QPointer<ControlConnection>& connection : std::as_const(m_connections)) {
        if (!connection || !connection->isSubscribed())
            continue;
        if (line.isEmpty())
            line = encodeEvent(event, data);
        connection->send(line);
    }
}

bool ControlServer::hasSubscribers() const
{
    return std::any_of(m_connections.cbegin(), m_connections.cend(),
                       [](const QPointer<ControlConnection>& connection) { return connection && connection->isSubscribed(); });
}

Json ControlServer::status() const
{
    const auto& client = m_components.server().clientInfo();
    return Json{{"pid", QCoreApplication::applicationPid()},
                {"running", m_components.server().isRunning()},
                {"waiting", m_components.server().isWaiting()},
                {"connections", m_components.server().connectionCount()},
                {"clientName", client ? client->name : std::string()},
                {"clientVersion", client ? client->version : std::string()},
                {"desktop", m_desktop},
                {"version", MCPServer::kServerVersion}};
}

Json ControlServer::session() const
{
    return encodeSession(m_components.statistics().session(kSessionRecentCalls));
}

void ControlServer::registerBuiltInCommands()
{
    // Commands that answer at once; the handler itself is not a coroutine, so nothing it
    // captures has to outlive the call.
    const auto immediate = [](std::function<Reply(const Json&)> body) -> Handler {
        return [body = std::move(body)](Json args) { return ready(body(args)); };
    };
    registerCommand(QStringLiteral("status"), immediate([this](const Json& args) {
                        // A reader of the shared statistics store asks for what is not saved yet first.
                        if (const auto save = args.find("saveStatistics"); save != args.end() && *save == true)
                            m_components.statistics().saveIfNeeded();
                        Json result = status();
                        result["session"] = session();
                        return Reply::success(std::move(result));
                    }));
    registerCommand(QStringLiteral("server"), [this](Json args) { return setServerRunning(std::move(args)); });
    registerCommand(QStringLiteral("log"), immediate([this](const Json& args) { return logPage(args); }));
    registerCommand(QStringLiteral("clear-log"), immediate([this](const Json&) {
                        const qsizetype count = m_components.activityLog().entries().size();
                        m_components.activityLog().clear();
                        return Reply::success(Json{{"count", count}});
                    }));
    registerCommand(QStringLiteral("reset-stats"), immediate([this](const Json&) {
                        m_components.statistics().resetStatistics();
                        m_sessionEvent->stop();
                        broadcast("statistics", session());
                        return Reply::success();
                    }));
    registerCommand(QStringLiteral("set-setting"), [this](Json args) { return setSetting(std::move(args)); });
    registerCommand(QStringLiteral("show-dashboard"), immediate([this](const Json&) {
                        if (!m_desktop || !isSignalConnected(QMetaMethod::fromSignal(&ControlServer::showDashboardRequested)))
                            return Reply::failure(Code::Failed, "this process has no dashboard");
                        Q_EMIT showDashboardRequested();
                        return Reply::success();
                    }));
    // The connection marks itself subscribed when this succeeds.
    registerCommand(QStringLiteral("subscribe"), immediate([](const Json&) { return Reply::success(); }));
}

Reply ControlServer::logPage(const Json& args) const
{
    const QList<ActivityLogEntry>& log = m_components.activityLog().entries();
    const auto offset = args.find("offset");
    Json entries = Json::array();
    if (offset == args.end()) {
        for (const ActivityLogEntry& entry : log)
            entries.push_back(encodeEntry(entry));
        return Reply::success(Json{{"entries", std::move(entries)}});
    }
    if (!offset->is_number_integer() || offset->get<qint64>() < 0)
        return Reply::failure(Code::BadArguments, "\"offset\" must be a whole number, 0 or more");
    qsizetype next = static_cast<qsizetype>(std::min<qint64>(offset->get<qint64>(), log.size()));
    qsizetype bytes = 0;
    for (; next < log.size(); ++next) {
        Json entry = encodeEntry(log[next]);
        bytes += static_cast<qsizetype>(entry.dump().size()) + 1;
        if (bytes > kLogPageBytes && !entries.empty())
            break;
        entries.push_back(std::move(entry));
    }
    Json result{{"entries", std::move(entries)}, {"total", log.size()}};
    if (next < log.size())
        result["next"] = next;
    return Reply::success(std::move(result));
}

QCoro::Task<Reply> ControlServer::setServerRunning(Json args)
{
    const auto action = args.find("action");
    if (action == args.end() || !action->is_string() || (*action != "start" && *action != "stop"))
        co_return Reply::failure(Code::BadArguments, "\"action\" must be \"start\" or \"stop\"");
    const bool start = *action == "start";
    const bool changed = m_components.server().isRunning() != start;
    if (changed) {
        if (start)
            m_components.server().start();
        else
            m_components.server().stop();
    }
    co_return Reply::success(Json{{"running", m_components.server().isRunning()}, {"changed", changed}});
}

QCoro::Task<Reply> ControlServer::setSetting(Json args)
{
    const auto key = args.find("key");
    const auto value = args.find("value");
    if (key == args.end() || !key->is_string() || value == args.end())
        co_return Reply::failure(Code::BadArguments, "\"key\" (a string) and \"value\" are required");
    const QString name = QString::fromStdString(key->get<std::string>());
    const SettingValues::Checked checked = SettingValues::check(name, *value);
    if (const QString* error = std::get_if<QString>(&checked))
        co_return Reply::failure(Code::BadArguments, error->toStdString());
    // Any process of the user may send this, a confined command too: what confines commands is
    // taken from the settings file, which no confined command can write.
    if (SettingValues::isFolderList(name) || name == QLatin1String("commandNetwork"))
        m_components.settings().reloadFolders();
    else
        SettingValues::assign(m_components.settings(), name, std::get<Json>(checked));
    co_return Reply::success();
}

void ControlServer::watchTargets()
{
    connect(&m_components.activityLog(), &ActivityLog::entryAdded, this, [this](const ActivityLogEntry& entry) {
        // Every request adds an entry; encoding one costs more than answering most of them.
        if (hasSubscribers())
            broadcast("logEntry", encodeEntry(entry));
    });
    connect(&m_components.activityLog(), &ActivityLog::entriesChanged, this, [this] {
        if (m_components.activityLog().entries().isEmpty())
            broadcast("logCleared", Json::object());
    });
    // Every request changes the session figures: a watcher hears of them a few times a second.
    m_sessionEvent->setSingleShot(true);
    m_sessionEvent->setInterval(kSessionEventIntervalMs);
    connect(m_sessionEvent, &QTimer::timeout, this, [this] { broadcast("statistics", session()); });
    connect(&m_components.statistics(), &StatisticsManager::sessionChanged, this, [this] {
        if (!m_sessionEvent->isActive() && hasSubscribers())
            m_sessionEvent->start();
    });
    const auto serverChanged = [this] {
        broadcast("server", Json{{"running", m_components.server().isRunning()}, {"waiting", m_components.server().isWaiting()}});
    };
    connect(&m_components.server(), &MCPServer::isRunningChanged, this, serverChanged);
    connect(&m_components.server(), &MCPServer::isWaitingChanged, this, serverChanged);
    const auto connections = [this] {
        const Json figures = status();
        broadcast("connections",
                  Json{{"connections", figures["connections"]},
                       {"clientName", figures["clientName"]},
                       {"clientVersion", figures["clientVersion"]}});
    };
    connect(&m_components.server(), &MCPServer::connectionCountChanged, this, connections);
    connect(&m_components.server(), &MCPServer::clientInfoChanged, this, connections);
    using Changed = void (SettingsManager::*)();
    const std::pair<const char*, Changed> settingSignals[] = {
        {"autoStartServer", &SettingsManager::autoStartServerChanged},
        {"showNotifications", &SettingsManager::showNotificationsChanged},
        {"logLevel", &SettingsManager::logLevelChanged},
        {"maxLogEntries", &SettingsManager::maxLogEntriesChanged},
        {"enableToolLogging", &SettingsManager::enableToolLoggingChanged},
        {"requireConfirmation", &SettingsManager::requireConfirmationChanged},
        {"commandTimeout", &SettingsManager::commandTimeoutChanged},
        {"launchAtLogin", &SettingsManager::launchAtLoginChanged},
    };
    for (const auto& [key, changed] : settingSignals) {
        connect(&m_components.settings(), changed, this, [this, name = QString::fromLatin1(key)] {
            broadcast("setting",
                      Json{{"key", name.toStdString()}, {"value", SettingValues::read(m_components.settings(), name).value_or(nullptr)}});
        });
    }
}
