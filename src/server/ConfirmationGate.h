#pragma once

#include "protocol/AnyCodable.h"
#include "protocol/MCPTool.h"
#include "server/ConfirmationAsker.h"

#include <QObject>

#include <chrono>
#include <functional>
#include <string>

class ActivityLog;
class SettingsManager;

// What becomes of a call the gate held back.
struct Admission {
    enum class Verdict {
        Run,
        // Ends with `refusal`, an error result.
        Refused,
        // The question went to a stateless client, whose retry of the call brings the answer:
        // the call ends now, as any call that asks its user does, without running.
        AwaitingAnswer,
    };
    Verdict verdict = Verdict::Run;
    MCPToolCallResponse refusal;

    bool runs() const { return verdict == Verdict::Run; }
};

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

    // Whether the call may run now. A cancellation of the request withdraws the question.
    QCoro::Task<Admission> admit(std::string tool, Arguments arguments, CancellationToken cancellation);

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
