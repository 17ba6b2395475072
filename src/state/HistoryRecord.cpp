#include "state/HistoryRecord.h"

Json HistoryRecord::toJson() const
{
    const auto text = [](const QString& value) { return value.toStdString(); };
    // Stored by us as JSON; should it not parse, the text itself is still worth showing.
    const std::optional<Json> parsed = json::parse(text(arguments));
    return Json{{"id", id},
                {"time", text(time.toUTC().toString(Qt::ISODateWithMs))},
                {"processId", processId},
                {"client", text(clientName)},
                {"clientVersion", text(clientVersion)},
                {"revision", text(revision)},
                {"tool", text(tool)},
                {"arguments", parsed ? *parsed : Json(text(arguments))},
                {"outcome", text(outcome)},
                {"error", text(errorText)},
                {"durationMs", durationMs}};
}
