#pragma once

#include "protocol/AnyCodable.h"

#include <QDateTime>
#include <QString>

#include <optional>

// One tool call as the history keeps it.
struct HistoryRecord {
    qint64 id = 0;        // the store's; 0 until stored
    QDateTime time;       // when the call arrived, UTC, to the millisecond
    qint64 processId = 0; // the zarnel that answered it
    QString clientName;   // empty when the client never said
    QString clientVersion;
    QString revision; // the protocol revision it was served under
    QString tool;
    QString arguments; // compact JSON, strings cut and file contents replaced (HistoryArguments)
    QString outcome;   // one of the kOutcome texts below
    QString errorText; // empty unless the call failed or was refused
    double durationMs = 0.0;

    // Every field, as `zarnel history --json` and the export write it.
    Json toJson() const;

    static constexpr const char* kOk = "ok";
    static constexpr const char* kError = "error";
    static constexpr const char* kDeclined = "declined";
    static constexpr const char* kDenied = "denied";
    static constexpr const char* kCancelled = "cancelled";
};

// Which records a reader wants, newest first. Every field left empty matches everything.
struct HistoryFilter {
    std::optional<QDateTime> since; // inclusive
    std::optional<QDateTime> until; // exclusive
    QString tool;
    QString client;
    bool errorsOnly = false; // every outcome but "ok"
    // Paging: only records older than this one (by time, then id), as the last row of the page
    // before gives it.
    std::optional<std::pair<QDateTime, qint64>> before;
};
