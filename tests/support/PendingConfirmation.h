#pragma once

#include "support/ProcessEvents.h"

#include "server/ConfirmationAsker.h"

#include <QCoreApplication>
#include <QDeadlineTimer>

#include <functional>
#include <memory>
#include <optional>

// A question put to an asker and left to run: its answer once it comes, and the token that
// withdraws it.
struct PendingConfirmation {
    std::optional<ConfirmationAnswer> answer;
    CancellationToken withdrawn;

    static std::shared_ptr<PendingConfirmation> start(ConfirmationAsker& asker, const QString& message,
                                                      const QString& tool = QStringLiteral("delete_file"))
    {
        auto pending = std::make_shared<PendingConfirmation>();
        asker.ask(ConfirmationQuestion{tool, message}, pending->withdrawn).then([pending](ConfirmationAnswer answer) {
            pending->answer = answer;
        });
        return pending;
    }
};
