#include "app/HistoryCommand.h"

#include "app/CommandOutput.h"
#include "app/SubCommands.h"
#include "protocol/JsonWriter.h"
#include "state/HistoryArguments.h"
#include "state/HistoryStore.h"

#include <QRegularExpression>

namespace HistoryCommand {

namespace {

QDateTime startOfLocalDay(const QDate& day)
{
    return day.startOfDay(Qt::LocalTime).toUTC();
}

QString whenProblem(const char* option, const QString& text)
{
    return QStringLiteral("--%1: cannot read '%2' (an ISO date or time, today, yesterday, or a span such as 30m, 1h or 7d)")
        .arg(QLatin1String(option), text);
}

} // namespace

std::optional<QDateTime> parseWhen(const QString& text, const QDateTime& now, bool endOfDay)
{
    const QDate today = now.toLocalTime().date();
    const auto day = [&](const QDate& date) { return startOfLocalDay(endOfDay ? date.addDays(1) : date); };
    if (text == QLatin1String("today"))
        return day(today);
    if (text == QLatin1String("yesterday"))
        return day(today.addDays(-1));
    static const QRegularExpression span(QStringLiteral("^(\\d{1,6})([mhd])$"));
    if (const QRegularExpressionMatch match = span.match(text); match.hasMatch()) {
        const qint64 count = match.captured(1).toLongLong();
        const QChar unit = match.captured(2).front();
        const qint64 seconds = unit == QLatin1Char('m') ? 60 : unit == QLatin1Char('h') ? 3600 : 86400;
        return now.toUTC().addSecs(-count * seconds);
    }
    if (const QDate date = QDate::fromString(text, Qt::ISODate); date.isValid() && text.size() == 10)
        return day(date);
    QDateTime time = QDateTime::fromString(text, Qt::ISODateWithMs);
    if (!time.isValid())
        return std::nullopt;
    return time.toUTC();
}

std::variant<Request, QString> requestOf(const CommandLine::Invocation& invocation, const QDateTime& now)
{
    Request request;
    for (const auto& [option, endOfDay, target] :
         {std::tuple{"since", false, &request.filter.since}, std::tuple{"until", true, &request.filter.until}}) {
        if (!invocation.isSet(QLatin1String(option)))
            continue;
        const QString text = invocation.value(QLatin1String(option));
        *target = parseWhen(text, now, endOfDay);
        if (!*target)
            return whenProblem(option, text);
    }
    request.filter.tool = invocation.value(QStringLiteral("tool"));
    request.filter.client = invocation.value(QStringLiteral("client"));
    request.filter.errorsOnly = invocation.isSet(QStringLiteral("errors"));
    if (invocation.isSet(QStringLiteral("limit"))) {
        bool ok = false;
        request.limit = invocation.value(QStringLiteral("limit")).toInt(&ok);
        if (!ok || request.limit < 1)
            return QStringLiteral("--limit takes a whole number of at least 1, not '%1'").arg(invocation.value(QStringLiteral("limit")));
    }
    return request;
}

QString line(const HistoryRecord& record)
{
    QString client = record.clientName.isEmpty() ? QStringLiteral("-") : record.clientName;
    if (!record.clientVersion.isEmpty())
        client += QLatin1Char(' ') + record.clientVersion;
    QString text = QStringLiteral("%1  %2  %3  %4")
                       .arg(record.time.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")), client, record.tool, record.outcome);
    const QString summary = HistoryArguments::summary(record.arguments);
    if (!summary.isEmpty())
        text += QStringLiteral("  ") + summary;
    return text;
}

int run(const CommandLine::Invocation& invocation, CommandOutput& out, const QDateTime& now, const QString& databasePath, qint64 keepDays)
{
    const auto asked = requestOf(invocation, now);
    if (const QString* problem = std::get_if<QString>(&asked))
        return out.usageError(*problem);
    HistoryStore store(databasePath);
    const HistoryStore::Opening opening = store.open(now);
    if (!opening.opened)
        return out.fail(QStringLiteral("Cannot open the history: ") + opening.problem, SubCommands::kFailed);
    // What is older than the person keeps goes before anything is shown, even when no process
    // has written since (they prune with their first write).
    store.keepDays(keepDays, now);

    if (invocation.isSet(QStringLiteral("forget"))) {
        if (!invocation.isSet(QStringLiteral("confirm")))
            return out.fail(QStringLiteral("Please confirm to forget the whole history (--forget --confirm)"), SubCommands::kFailed);
        const qint64 removed = store.removeAll();
        if (removed < 0)
            return out.fail(QStringLiteral("Cannot forget the history: ") + store.problem(), SubCommands::kFailed);
        out.printLine(QStringLiteral("Forgot %1 tool calls").arg(removed));
        return SubCommands::kSuccess;
    }

    const Request& request = std::get<Request>(asked);
    const QList<HistoryRecord> records = store.find(request.filter, request.limit);
    if (records.isEmpty() && !store.problem().isEmpty())
        return out.fail(QStringLiteral("Cannot read the history: ") + store.problem(), SubCommands::kFailed);
    for (const HistoryRecord& record : records)
        out.printLine(out.json() ? QString::fromStdString(JsonWriter::compact(record.toJson())) : line(record));
    if (records.isEmpty() && !out.json())
        out.printLine(QStringLiteral("No tool calls recorded"));
    return SubCommands::kSuccess;
}

} // namespace HistoryCommand
