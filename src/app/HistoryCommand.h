#pragma once

#include "app/CommandLine.h"
#include "protocol/AnyCodable.h"
#include "state/HistoryRecord.h"

#include <QDateTime>
#include <QStringList>

#include <optional>
#include <variant>

class CommandOutput;

// `zarnel history`: the calls kept in the history database, newest first, read straight from
// the database (no running zarnel is needed); `--forget --confirm` empties it.
namespace HistoryCommand {

constexpr int kDefaultLimit = 50;

// A moment a person names: an ISO date (its start in local time, or its end with `endOfDay`),
// an ISO date and time (local unless it says otherwise), "today", "yesterday", or a span back
// from now such as "30m", "1h" or "7d".
std::optional<QDateTime> parseWhen(const QString& text, const QDateTime& now, bool endOfDay = false);

// The filter and the limit an invocation asks for, or what is wrong with it.
struct Request {
    HistoryFilter filter;
    int limit = kDefaultLimit;
};
std::variant<Request, QString> requestOf(const CommandLine::Invocation& invocation, const QDateTime& now);

// One line for people: local time, client, tool, outcome, the arguments in short.
QString line(const HistoryRecord& record);

// `keepDays`: historyDays, applied before anything is read.
int run(const CommandLine::Invocation& invocation, CommandOutput& out, const QDateTime& now, const QString& databasePath, qint64 keepDays);

} // namespace HistoryCommand
