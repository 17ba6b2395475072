#pragma once

#include "protocol/AnyCodable.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QMap>
#include <QString>
#include <QUuid>

#include <optional>

// How one tool has been used over the lifetime of the statistics.
struct ToolUsage {
    QString name;
    qint64 callCount = 0;
    qint64 successCount = 0;
    qint64 failureCount = 0;
    double totalDuration = 0.0;   // seconds
    double averageDuration = 0.0; // seconds
    QDateTime lastUsed;
};

struct ToolCallRecord {
    QUuid id;
    QString toolName;
    QDateTime timestamp;
    double duration = 0.0; // seconds
    bool success = false;
};

struct ConnectionRecord {
    QUuid id;
    QString clientName;
    QString clientVersion;
    QDateTime timestamp;
};

struct ServerStatistics {
    qint64 totalRequests = 0;
    qint64 totalToolCalls = 0;
    qint64 totalErrors = 0;
    double totalUptime = 0.0; // seconds, of ended sessions
    qint64 sessionRequests = 0;
    qint64 sessionToolCalls = 0;
    QDateTime sessionStartTime;
    QMap<QString, ToolUsage> toolUsage;
    QList<ToolCallRecord> recentCalls;         // newest first
    QList<ConnectionRecord> connectionHistory; // newest first
};

// One process's current session: what it served since its server last started, and its newest
// tool calls. The dashboard adds up those of every running process.
struct SessionFigures {
    qint64 requests = 0;
    qint64 toolCalls = 0;
    QDateTime startTime;
    QList<ToolCallRecord> recentCalls; // newest first
};

// The JSON form of the records, as stored and exported: every key always present, timestamps
// as seconds since 2001-01-01 00:00:00 UTC, UUIDs as upper-case hyphenated text. Decoding
// requires every key with its kind and throws DecodingError otherwise.
namespace StatisticsJson {

double referenceSeconds(const QDateTime& time);
QDateTime fromReferenceSeconds(double seconds);
std::string uuidText(const QUuid& id);
// A moment as people and other programs read it in an export: ISO 8601 in local time with its
// offset from UTC and milliseconds, "2026-12-07T19:10:09.123+01:00".
std::string isoTime(const QDateTime& time);

Json encode(const ToolUsage& usage);
Json encode(const ToolCallRecord& call);
Json encode(const ConnectionRecord& connection);

ToolUsage decodeToolUsage(const Json& value);
ConnectionRecord decodeConnectionRecord(const Json& value);

Json encodeList(const QList<ToolUsage>& usages);
Json encodeList(const QList<ConnectionRecord>& connections);
// Compact UTF-8 JSON, as stored.
QByteArray toBytes(const Json& value);
// Nothing when the bytes are not a JSON array of complete records.
std::optional<QList<ToolUsage>> decodeToolUsageList(const QByteArray& bytes);
std::optional<QList<ConnectionRecord>> decodeConnectionList(const QByteArray& bytes);

} // namespace StatisticsJson
