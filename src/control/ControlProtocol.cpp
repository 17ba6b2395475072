#include "control/ControlProtocol.h"

#include "protocol/JsonParser.h"
#include "protocol/JsonWriter.h"

#include <QUuid>

#include <array>

namespace ControlProtocol {

namespace {

QByteArray line(const Json& value)
{
    std::string text = JsonWriter::compact(value);
    text.push_back('\n');
    return QByteArray::fromStdString(text);
}

DecodedRequest refuse(Json id, const char* code, std::string message)
{
    DecodedRequest decoded;
    decoded.id = std::move(id);
    decoded.error = Reply::failure(code, std::move(message));
    return decoded;
}

constexpr std::array kLogTypes{LogType::Info, LogType::Request, LogType::ToolCall, LogType::Success, LogType::Error};

std::string uuidText(const QUuid& id)
{
    return id.toString(QUuid::WithoutBraces).toUpper().toStdString();
}

// A member of `object` when it is there with the kind `is` checks.
const Json* member(const Json& object, const char* name, bool (Json::*is)() const noexcept)
{
    const auto found = object.find(name);
    return found != object.end() && ((*found).*is)() ? &*found : nullptr;
}

qint64 integerOr0(const Json& object, const char* name)
{
    const Json* value = member(object, name, &Json::is_number_integer);
    return value ? value->get<qint64>() : 0;
}

std::optional<ToolCallRecord> decodeCall(const Json& value)
{
    if (!value.is_object())
        return std::nullopt;
    const Json* id = member(value, "id", &Json::is_string);
    const Json* name = member(value, "toolName", &Json::is_string);
    const Json* timestamp = member(value, "timestamp", &Json::is_number_integer);
    const Json* duration = member(value, "duration", &Json::is_number);
    const Json* success = member(value, "success", &Json::is_boolean);
    if (!id || !name || !timestamp || !duration || !success)
        return std::nullopt;
    return ToolCallRecord{
        QUuid::fromString(QString::fromStdString(id->get<std::string>())), QString::fromStdString(name->get<std::string>()),
        QDateTime::fromMSecsSinceEpoch(timestamp->get<std::int64_t>(), Qt::UTC), duration->get<double>(), success->get<bool>()};
}

} // namespace

Reply Reply::success(Json result)
{
    Reply reply;
    reply.result = std::move(result);
    return reply;
}

Reply Reply::failure(std::string code, std::string message)
{
    Reply reply;
    reply.ok = false;
    reply.result = nullptr;
    reply.code = std::move(code);
    reply.message = std::move(message);
    return reply;
}

DecodedRequest decodeRequest(const QByteArray& text)
{
    std::string error;
    const auto value = JsonParser::parse(std::string_view(text.constData(), static_cast<size_t>(text.size())), &error);
    if (!value)
        return refuse(nullptr, Code::BadRequest, "not JSON: " + error);
    if (!value->is_object())
        return refuse(nullptr, Code::BadRequest, "a request is a JSON object");
    const auto idMember = value->find("id");
    if (idMember == value->end() || !idMember->is_number_integer())
        return refuse(nullptr, Code::BadRequest, "\"id\" must be an integer");
    const Json id = *idMember;
    const auto version = value->find("v");
    if (version == value->end() || !version->is_number_integer())
        return refuse(id, Code::BadRequest, "\"v\" must be an integer");
    if (version->get<std::int64_t>() != kProtocolVersion)
        return refuse(id, Code::Version, "protocol version " + std::to_string(kProtocolVersion) + " only");
    const auto command = value->find("command");
    if (command == value->end() || !command->is_string())
        return refuse(id, Code::BadRequest, "\"command\" must be a string");
    Request request;
    request.id = id.get<std::int64_t>();
    request.command = command->get<std::string>();
    if (const auto args = value->find("args"); args != value->end() && !args->is_null()) {
        if (!args->is_object())
            return refuse(id, Code::BadRequest, "\"args\" must be an object");
        request.args = *args;
    }
    if (const auto token = value->find("token"); token != value->end()) {
        if (!token->is_string())
            return refuse(id, Code::BadRequest, "\"token\" must be a string");
        request.token = QByteArray::fromStdString(token->get<std::string>());
    }
    DecodedRequest decoded;
    decoded.id = id;
    decoded.request = std::move(request);
    return decoded;
}

QByteArray encodeRequest(const Request& request)
{
    Json message{{"v", kProtocolVersion}, {"id", request.id}, {"command", request.command}, {"args", request.args}};
    if (!request.token.isEmpty())
        message["token"] = request.token.toStdString();
    return line(message);
}

QByteArray encodeReply(const Json& id, const Reply& reply)
{
    Json message{{"v", kProtocolVersion}, {"id", id}, {"ok", reply.ok}};
    if (reply.ok)
        message["result"] = reply.result;
    else
        message["error"] = Json{{"code", reply.code}, {"message", reply.message}};
    return line(message);
}

QByteArray encodeEvent(const std::string& name, const Json& data)
{
    return line(Json{{"v", kProtocolVersion}, {"event", name}, {"data", data}});
}

std::optional<Incoming> decodeIncoming(const QByteArray& text)
{
    const auto value = JsonParser::parse(std::string_view(text.constData(), static_cast<size_t>(text.size())));
    if (!value || !value->is_object())
        return std::nullopt;
    Incoming incoming;
    if (const auto event = value->find("event"); event != value->end()) {
        if (!event->is_string())
            return std::nullopt;
        incoming.isEvent = true;
        incoming.event = event->get<std::string>();
        const auto data = value->find("data");
        incoming.data = data != value->end() ? *data : Json::object();
        return incoming;
    }
    const auto id = value->find("id");
    const auto ok = value->find("ok");
    if (id == value->end() || !id->is_number_integer() || ok == value->end() || !ok->is_boolean())
        return std::nullopt;
    incoming.id = id->get<std::int64_t>();
    if (ok->get<bool>()) {
        const auto result = value->find("result");
        incoming.reply = Reply::success(result != value->end() ? *result : Json::object());
        return incoming;
    }
    std::string code = Code::Failed;
    std::string message;
    if (const auto error = value->find("error"); error != value->end() && error->is_object()) {
        if (const auto c = error->find("code"); c != error->end() && c->is_string())
            code = c->get<std::string>();
        if (const auto m = error->find("message"); m != error->end() && m->is_string())
            message = m->get<std::string>();
    }
    incoming.reply = Reply::failure(std::move(code), std::move(message));
    return incoming;
}

Json encodeEntry(const ActivityLogEntry& entry)
{
    return Json{{"id", uuidText(entry.id)},
                {"timestamp", entry.timestamp.toMSecsSinceEpoch()},
                {"type", logTypeName(entry.type).toStdString()},
                {"message", entry.message.toStdString()}};
}

std::optional<ActivityLogEntry> decodeEntry(const Json& value)
{
    if (!value.is_object())
        return std::nullopt;
    const auto id = value.find("id");
    const auto timestamp = value.find("timestamp");
    const auto type = value.find("type");
    const auto message = value.find("message");
    if (id == value.end() || !id->is_string() || timestamp == value.end() || !timestamp->is_number_integer() || type == value.end()
        || !type->is_string() || message == value.end() || !message->is_string())
        return std::nullopt;
    ActivityLogEntry entry;
    entry.id = QUuid::fromString(QString::fromStdString(id->get<std::string>()));
    entry.timestamp = QDateTime::fromMSecsSinceEpoch(timestamp->get<std::int64_t>(), Qt::UTC);
    entry.message = QString::fromStdString(message->get<std::string>());
    const QString typeName = QString::fromStdString(type->get<std::string>());
    bool known = false;
    for (const LogType candidate : kLogTypes) {
        if (logTypeName(candidate) == typeName) {
            entry.type = candidate;
            known = true;
        }
    }
    if (!known)
        return std::nullopt;
    return entry;
}

Json encodeSession(const SessionFigures& session)
{
    Json calls = Json::array();
    for (const ToolCallRecord& call : session.recentCalls) {
        calls.push_back(Json{{"id", uuidText(call.id)},
                             {"toolName", call.toolName.toStdString()},
                             {"timestamp", call.timestamp.toMSecsSinceEpoch()},
                             {"duration", call.duration},
                             {"success", call.success}});
    }
    return Json{{"requests", session.requests},
                {"toolCalls", session.toolCalls},
                {"startTime", session.startTime.isValid() ? Json(session.startTime.toMSecsSinceEpoch()) : Json(nullptr)},
                {"recentCalls", std::move(calls)}};
}

SessionFigures decodeSession(const Json& value)
{
    SessionFigures session;
    if (!value.is_object())
        return session;
    session.requests = integerOr0(value, "requests");
    session.toolCalls = integerOr0(value, "toolCalls");
    if (const Json* start = member(value, "startTime", &Json::is_number_integer))
        session.startTime = QDateTime::fromMSecsSinceEpoch(start->get<std::int64_t>(), Qt::UTC);
    if (const Json* calls = member(value, "recentCalls", &Json::is_array)) {
        for (const Json& each : *calls) {
            if (session.recentCalls.size() == kSessionRecentCalls)
                break;
            if (auto call = decodeCall(each))
                session.recentCalls.append(*call);
        }
    }
    return session;
}

} // namespace ControlProtocol
