#pragma once

#include "protocol/AnyCodable.h"
#include "protocol/MCPTool.h"
#include "server/ConfirmationAsker.h"

#include <QObject>

#include <chrono>
#include <functional>
#include <optional>
#include <string>

class ActivityLog;
class SettingsManager;

// Holds back a call of a tool that changes things or reaches beyond the machine until a person
// allows it, while requireConfirmation is on. The person is asked through the client when it can
// ask its user, else through the desktop instance's dialog; with neither the call is refused.
// Every call asks its own question, so several may wait at once.
class ConfirmationGate : public QObject {
    Q_OBJECT

public:
    static constexpr std::chrono::milliseconds kClientTimeLimit{120'000};
    static constexpr std::chrono::milliseconds kDesktopTimeLimit{60'000};

    // `needsConfirmation` says whether a tool is destructive or open-world (read-only tools never are).
    ConfirmationGate(SettingsManager& settings, ActivityLog& log, std::function<bool(const std::string&)> needsConfirmation,
                     QObject* parent = nullptr);

    // Either may be absent; neither is owned.
    void setClientAsker(ConfirmationAsker* asker) { m_clientAsker = asker; }
    void setDesktopAsker(ConfirmationAsker* asker) { m_desktopAsker = asker; }
    // How long each way of asking waits for an answer.
    void setTimeLimits(std::chrono::milliseconds client, std::chrono::milliseconds desktop);
    std::chrono::milliseconds desktopTimeLimit() const { return m_desktopLimit; }

    // Whether a call of this tool waits for a person now; admit() lets every other call through.
    bool applies(const std::string& tool) const;

    // Nothing when the call may run; otherwise the error result that ends it. A cancellation of
    // the request withdraws the question.
    QCoro::Task<std::optional<MCPToolCallResponse>> admit(std::string tool, Arguments arguments, CancellationToken cancellation);

    // The question for a call: the tool and what it will do (the command, the paths, the application).
    static ConfirmationQuestion questionFor(const std::string& tool, const Arguments& arguments);

private:
    QCoro::Task<ConfirmationAnswer> put(ConfirmationAsker* asker, std::chrono::milliseconds limit, ConfirmationQuestion question,
                                        CancellationToken cancellation);

    SettingsManager& m_settings;
    ActivityLog& m_log;
    std::function<bool(const std::string&)> m_needsConfirmation;
    ConfirmationAsker* m_clientAsker = nullptr;
    ConfirmationAsker* m_desktopAsker = nullptr;
    std::chrono::milliseconds m_clientLimit = kClientTimeLimit;
    std::chrono::milliseconds m_desktopLimit = kDesktopTimeLimit;
};
