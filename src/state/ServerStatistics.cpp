#include "state/ServerStatistics.h"

#include "protocol/JsonReader.h"
#include "protocol/JsonWriter.h"

#include <cmath>
#include <cstdlib>

namespace {

// 2001-01-01 00:00:00 UTC in milliseconds since 1970.
constexpr qint64 kReferenceDateMSecs = 978307200000;

std::string text(const QString& value)
{
    return value.toStdString();
}

QString qtext(const std::string& value)
{
    return QString::fromStdString(value);
}

double requiredNumber(const JsonReader& reader, const std::string& key)
{
    const Json& value = reader.required(key);
    if (!value.is_number())
        JsonReader::typeMismatch(reader.pathOf(key), "a number", value);
    return value.get<double>();
}

QDateTime requiredTimestamp(const JsonReader& reader, const std::string& key)
{
    const double seconds = requiredNumber(reader, key);
    if (!std::isfinite(seconds))
        throw DecodingError(DecodingError::Kind::DataCorrupted, reader.pathOf(key), "Invalid timestamp");
    return StatisticsJson::fromReferenceSeconds(seconds);
}

QUuid requiredUuid(const JsonReader& reader, const std::string& key)
{
    const std::string value = reader.requiredString(key);
    const QUuid id = QUuid::fromString(QLatin1String(value.data(), static_cast<qsizetype>(value.size())));
    if (value.size() != 36 || (id.isNull() && value != "00000000-0000-0000-0000-000000000000"))
        throw DecodingError(DecodingError::Kind::DataCorrupted, reader.pathOf(key), "Invalid UUID string");
    return id;
}

template <typename Record> Json encodeRecords(const QList<Record>& records)
{
    Json array = Json::array();
    for (const Record& record : records)
        array.push_back(StatisticsJson::encode(record));
    return array;
}

template <typename Record, typename Decode> std::optional<QList<Record>> decodeList(const QByteArray& bytes, Decode decode)
{
    const auto parsed = json::parse(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
    if (!parsed || !parsed->is_array())
        return std::nullopt;
    QList<Record> records;
    try {
        for (const Json& element : *parsed)
            records.append(decode(element));
    } catch (const DecodingError&) {
        return std::nullopt;
    }
    return records;
}

} // namespace

namespace StatisticsJson {

std::string isoTime(const QDateTime& time)
{
    const QDateTime local = time.toLocalTime();
    const int offset = local.offsetFromUtc();
    const int minutes = std::abs(offset) / 60;
    return QStringLiteral("%1%2%3:%4")
        .arg(local.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz")), offset < 0 ? QStringLiteral("-") : QStringLiteral("+"))
        .arg(minutes / 60, 2, 10, QLatin1Char('0'))
        .arg(minutes % 60, 2, 10, QLatin1Char('0'))
        .toStdString();
}

double referenceSeconds(const QDateTime& time)
{
    return static_cast<double>(time.toMSecsSinceEpoch() - kReferenceDateMSecs) / 1000.0;
}

QDateTime fromReferenceSeconds(double seconds)
{
    return QDateTime::fromMSecsSinceEpoch(kReferenceDateMSecs + std::llround(seconds * 1000.0), Qt::UTC);
}

std::string uuidText(const QUuid& id)
{
    return id.toString(QUuid::WithoutBraces).toUpper().toStdString();
}

Json encode(const ToolUsage& usage)
{
    return Json{
        {"name", text(usage.name)},
        {"callCount", usage.callCount},
        {"successCount", usage.successCount},
        {"failureCount", usage.failureCount},
        {"totalDuration", usage.totalDuration},
        {"averageDuration", usage.averageDuration},
        {"lastUsed", referenceSeconds(usage.lastUsed)},
    };
}

Json encode(const ToolCallRecord& call)
{
    return Json{
        {"id", uuidText(call.id)},   {"toolName", text(call.toolName)}, {"timestamp", referenceSeconds(call.timestamp)},
        {"duration", call.duration}, {"success", call.success},
    };
}

Json encode(const ConnectionRecord& connection)
{
    return Json{
        {"id", uuidText(connection.id)},
        {"clientName", text(connection.clientName)},
        {"clientVersion", text(connection.clientVersion)},
        {"timestamp", referenceSeconds(connection.timestamp)},
    };
}

ToolUsage decodeToolUsage(const Json& value)
{
    const JsonReader reader(value);
    ToolUsage usage;
    usage.name = qtext(reader.requiredString("name"));
    usage.callCount = reader.requiredInteger("callCount");
    usage.successCount = reader.requiredInteger("successCount");
    usage.failureCount = reader.requiredInteger("failureCount");
    usage.totalDuration = requiredNumber(reader, "totalDuration");
    usage.averageDuration = requiredNumber(reader, "averageDuration");
    usage.lastUsed = requiredTimestamp(reader, "lastUsed");
    return usage;
}

ConnectionRecord decodeConnectionRecord(const Json& value)
{
    const JsonReader reader(value);
    ConnectionRecord connection;
    connection.id = requiredUuid(reader, "id");
    connection.clientName = qtext(reader.requiredString("clientName"));
    connection.clientVersion = qtext(reader.requiredString("clientVersion"));
    connection.timestamp = requiredTimestamp(reader, "timestamp");
    return connection;
}

Json encodeList(const QList<ToolUsage>& usages)
{
    return encodeRecords(usages);
}

Json encodeList(const QList<ConnectionRecord>& connections)
{
    return encodeRecords(connections);
}

QByteArray toBytes(const Json& value)
{
    return QByteArray::fromStdString(JsonWriter::compact(value));
}

std::optional<QList<ToolUsage>> decodeToolUsageList(const QByteArray& bytes)
{
    return decodeList<ToolUsage>(bytes, decodeToolUsage);
}

std::optional<QList<ConnectionRecord>> decodeConnectionList(const QByteArray& bytes)
{
    return decodeList<ConnectionRecord>(bytes, decodeConnectionRecord);
}

} // namespace StatisticsJson
