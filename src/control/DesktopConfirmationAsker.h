#pragma once

#include "control/ControlFolder.h"
#include "server/ConfirmationAsker.h"

#include <QObject>

#include <chrono>
#include <functional>

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
    DesktopConfirmationAsker(ControlFolder folder, std::chrono::milliseconds timeLimit, std::function<QString()> client,
                             QObject* parent = nullptr);

    // Whether any process might be the desktop instance; which one is found when asking.
    bool canAsk() const override;
    QCoro::Task<ConfirmationAnswer> ask(ConfirmationQuestion question, CancellationToken withdrawn) override;

    // The answer a "confirm" reply stands for.
    static ConfirmationAnswer answerOf(const std::string& word);

private:
    QCoro::Task<qint64> findDesktopInstance() const;

    ControlFolder m_folder;
    std::chrono::milliseconds m_timeLimit;
    std::function<QString()> m_client;
};
