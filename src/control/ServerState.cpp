#include "control/ServerState.h"

#include "platform/files/FolderWatch.h"
#include "platform/store/PrivateFolder.h"
#include "server/MCPServer.h"

namespace {

const QByteArray kStarted = QByteArrayLiteral("started");
const QByteArray kStopped = QByteArrayLiteral("stopped");

} // namespace

ServerState::ServerState(ControlFolder folder, QObject* parent)
    : QObject(parent)
    , m_folder(std::move(folder))
{
}

ServerState::~ServerState() = default;

std::optional<bool> ServerState::chosen() const
{
    // A few bytes more than either word: anything longer is not ours.
    const auto contents = PrivateFolder::readFile(m_folder.path(), QString::fromLatin1(kFileName), 16);
    if (!contents)
        return std::nullopt;
    const QByteArray word = contents->trimmed();
    if (word == kStarted)
        return true;
    if (word == kStopped)
        return false;
    return std::nullopt;
}

bool ServerState::choose(bool started)
{
    const auto problem = PrivateFolder::writeFile(m_folder.path(), QString::fromLatin1(kFileName), (started ? kStarted : kStopped) + '\n');
    m_problem = problem.value_or(QString());
    return !problem;
}

void ServerState::drive(MCPServer& server, bool autoStartServer)
{
    if (!m_watcher) {
        m_watcher = new FolderWatch(this);
        // The folder, not the file: the file is replaced by a rename, and may not exist yet.
        if (m_folder.isUsable())
            m_watcher->watch(m_folder.path());
        connect(m_watcher, &FolderWatch::changed, this, &ServerState::look);
    }
    connect(this, &ServerState::chosenChanged, &server, [&server](bool started) {
        if (started)
            server.start();
        else
            server.stop();
    });
    m_seen = chosen();
    if (startsAtLaunch(m_seen, autoStartServer))
        server.start();
}

void ServerState::look()
{
    // Every process's socket comes and goes in the folder too: only a new choice is news.
    const std::optional<bool> now = chosen();
    if (!now || now == m_seen)
        return;
    m_seen = now;
    Q_EMIT chosenChanged(*now);
}
