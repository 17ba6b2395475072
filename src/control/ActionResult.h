#pragma once

#include "protocol/AnyCodable.h"

#include <QByteArray>
#include <QString>

#include <optional>

// What one shortcut action answers: a dialog text for people and a value for scripts, a file
// when it exports one, or the message of its failure.
struct ActionResult {
    struct File {
        QString suggestedName;
        QByteArray contents;
        QString type; // "json" or "text"
    };

    QString dialog;
    Json value = nullptr; // the entity or value; null where the action has none
    std::optional<File> file;
    std::optional<QString> failure;
    // What a notification shows instead of the dialog, when that is too long for one.
    std::optional<QString> notification;

    static ActionResult failed(const QString& message)
    {
        ActionResult result;
        result.failure = message;
        return result;
    }
};
