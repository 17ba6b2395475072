#pragma once

#include "control/ControlFolder.h"

#include <QObject>
#include <QString>

#include <optional>

class MCPServer;
class FolderWatch;

// Whether the person wants Zarnel started or stopped, as a whole: kept in the control folder, so
// that it holds for every process of the person, those that start later included, until it is
// changed again or the person logs out (the runtime folder goes then). Nobody's choice since
// login reads as none, and autoStartServer decides.
//
// Every process follows it: one that starts reads it, and a change made anywhere reaches every
// running process through the folder (not through their sockets, which a process that is still
// starting may not have yet).
class ServerState : public QObject {
    Q_OBJECT
public:
    static constexpr const char* kFileName = "server-state";

    explicit ServerState(ControlFolder folder = ControlFolder(), QObject* parent = nullptr);
    ~ServerState() override;

    // What the person chose (true: started), read from the folder now; nothing when unset.
    std::optional<bool> chosen() const;
    // Records the person's choice; false, with the reason in problem(), when it cannot be kept.
    bool choose(bool started);
    QString problem() const { return m_problem; }

    // Whether a process that starts now starts its server.
    static bool startsAtLaunch(std::optional<bool> chosen, bool autoStartServer) { return chosen.value_or(autoStartServer); }

    // Starts and stops `server` as the person's choice changes from now on, and starts it now
    // when a process that starts now must. The folder is watched before it is read, so a change
    // made in between is not missed.
    void drive(MCPServer& server, bool autoStartServer);

Q_SIGNALS:
    // The choice changed (seen in the folder), to `started`.
    void chosenChanged(bool started);

private:
    void look();

    ControlFolder m_folder;
    QString m_problem;
    FolderWatch* m_watcher = nullptr;
    std::optional<bool> m_seen;
};
