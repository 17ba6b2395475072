#pragma once

#include "tools/CancellationToken.h"

#include <QCoroTask>
#include <QString>

#include <chrono>

// A yes/no question put to a person before a tool that changes things runs.
struct ConfirmationQuestion {
    QString tool;
    // "Allow delete_file to delete /home/ana/notes.txt?"
    QString message;
    // How long the person has to answer.
    std::chrono::milliseconds timeLimit{0};
};

enum class ConfirmationAnswer {
    Allowed,
    Declined,
    // The person dismissed the question without choosing.
    Cancelled,
    // Nobody answered in time.
    NotAnswered,
    // The client asks its user and brings the answer with a retry of the call (stateless
    // clients): the call ends now without running, and the retry asks again and has it at once.
    InputRequired,
    // The question could not be put after all (the client failed the request, the desktop
    // instance went away); the next way of asking is tried.
    Unreachable,
};

// One way of reaching a person: the client's own user interface, or the desktop instance's dialog.
class ConfirmationAsker {
public:
    virtual ~ConfirmationAsker() = default;

    // Whether a question can be put this way now.
    virtual bool canAsk() const = 0;
    // Why the last question could not be put this way (or why none can be), in the words of a
    // refusal: "there is no display"; empty when this way has no reason of its own to give.
    virtual QString unreachableReason() const { return {}; }
    // Whether the answer comes with a retry of the call (a stateless client) rather than
    // while the call waits: the retry brings it at once, and nothing is asked then.
    virtual bool answersWithRetry() const { return false; }
    // Puts the question and waits for the answer. Once `withdrawn` is cancelled (the request was
    // cancelled, or its time ran out) the question is taken back (a dialog closes) and the task
    // ends soon; its answer is then ignored.
    virtual QCoro::Task<ConfirmationAnswer> ask(ConfirmationQuestion question, CancellationToken withdrawn) = 0;
};
