#pragma once

#include "control/ControlFolder.h"
#include "server/ConfirmationAsker.h"

#include <QObject>

#include <chrono>
#include <functional>
#include <memory>

class DesktopInstanceFinder;

// Asks through the desktop instance's dialog, from any process: the question travels over the
// desktop instance's control socket ("confirm"), and a withdrawn question closes its dialog
// ("withdraw-confirmation").
//
//   confirm                {"id","tool","message","client","timeoutMs"}
//                          -> {"answer":"allowed"|"denied"|"timedOut"|"withdrawn"} once the dialog closes
//   withdraw-confirmation  {"id"} -> {}: closes that dialog (its confirm answers "withdrawn")
class DesktopConfirmationAsker final : public QObject, public ConfirmationAsker {
    Q_OBJECT

public:
    static constexpr const char* kConfirmCommand = "confirm";
    static constexpr const char* kWithdrawCommand = "withdraw-confirmation";

    // `client` names the client the call came from ("" when it is not known), for the dialog.
    // `finder` waits for a desktop instance that is starting on this display.
    DesktopConfirmationAsker(std::shared_ptr<DesktopInstanceFinder> finder, std::chrono::milliseconds timeLimit,
                             std::function<QString()> client, QObject* parent = nullptr);
    // Asks the desktop instance only if one is already there: no display to wait on.
    DesktopConfirmationAsker(ControlFolder folder, std::chrono::milliseconds timeLimit, std::function<QString()> client,
                             QObject* parent = nullptr);

    // Whether a desktop instance runs or may start; which one is found when asking.
    bool canAsk() const override;
    // "there is no display", "the desktop instance did not start", or that it did not answer.
    QString unreachableReason() const override;
    QCoro::Task<ConfirmationAnswer> ask(ConfirmationQuestion question, CancellationToken withdrawn) override;

    // The answer a "confirm" reply stands for.
    static ConfirmationAnswer answerOf(const std::string& word);

private:
    std::shared_ptr<DesktopInstanceFinder> m_finder;
    QString m_unreachable; // why the last question went nowhere
    std::chrono::milliseconds m_timeLimit;
    std::function<QString()> m_client;
};
