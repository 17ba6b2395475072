#include "server/StatelessRequests.h"

#include "protocol/DecodingError.h"
#include "protocol/JsonWriter.h"
#include "protocol/ProtocolRevision.h"
#include "server/MCPServer.h"
#include "server/RequestContext.h"
#include "server/ServerLogLevels.h"

#include <QCryptographicHash>
#include <QMessageAuthenticationCode>
#include <QRandomGenerator>

#include <algorithm>
#include <array>
#include <chrono>

namespace {

constexpr const char* kClientInfoKey = "io.modelcontextprotocol/clientInfo";
constexpr const char* kCapabilitiesKey = "io.modelcontextprotocol/clientCapabilities";
constexpr const char* kLogLevelKey = "io.modelcontextprotocol/logLevel";
constexpr const char* kServerInfoKey = "io.modelcontextprotocol/serverInfo";

// How long an answer may take to come back with its retry (a question may set a shorter limit).
constexpr std::chrono::milliseconds kStateLifetime = std::chrono::minutes(30);

// Cache hints: the catalogues do not change while the process runs; what a read returns may
// change at any moment and may be personal.
struct CacheHint {
    const char* method;
    const char* scope;
    std::int64_t ttlMs;
};
constexpr std::array kCacheHints = {
    CacheHint{"server/discover", "public", 3600000},
    CacheHint{"tools/list", "public", 300000},
    CacheHint{"prompts/list", "public", 300000},
    CacheHint{"resources/list", "public", 300000},
    CacheHint{"resources/templates/list", "public", 300000},
    CacheHint{"resources/read", "private", 0},
};

const CacheHint* cacheHintFor(const std::string& method)
{
    for (const CacheHint& hint : kCacheHints) {
        if (method == hint.method)
            return &hint;
    }
    return nullptr;
}

JSONRPCError invalid(const std::string& message)
{
    return JSONRPCError{JSONRPCError::invalidParams.code, message, std::nullopt};
}

std::int64_t nowMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

QByteArray base64Url(const QByteArray& bytes)
{
    return bytes.toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals);
}

} // namespace

StatelessRequests::StatelessRequests()
{
    // A key of this process: a state signed before a restart fails once, and the client asks
    // again.
    std::array<quint32, 8> words{};
    QRandomGenerator::system()->fillRange(words.data(), words.size());
    m_key = QByteArray(reinterpret_cast<const char*>(words.data()), static_cast<qsizetype>(sizeof(words)));
}

bool StatelessRequests::carriesEnvelope(const JSONRPCRequest& request)
{
    if (!request.params || !request.params->is_object())
        return false;
    const auto meta = request.params->find("_meta");
    return meta != request.params->end() && meta->is_object() && meta->contains(kVersionKey);
}

bool StatelessRequests::isStatelessMethod(const std::string& method)
{
    static const std::array<const char*, 10> methods = {"server/discover",          "tools/list",          "tools/call",   "resources/list",
                                                        "resources/templates/list", "resources/read",      "prompts/list", "prompts/get",
                                                        "completion/complete",      "subscriptions/listen"};
    return std::find(methods.begin(), methods.end(), method) != methods.end();
}

std::optional<ClientInfo> StatelessRequests::clientOf(const JSONRPCRequest& request)
{
    if (!carriesEnvelope(request))
        return std::nullopt;
    const Json& meta = (*request.params)["_meta"];
    const auto client = meta.find(kClientInfoKey);
    if (client == meta.end())
        return std::nullopt;
    try {
        return ClientInfo::fromJson(*client, std::string("_meta.") + kClientInfoKey);
    } catch (const DecodingError&) {
        return std::nullopt;
    }
}

Json StatelessRequests::serverInfoMeta()
{
    return Json{{kServerInfoKey, {{"name", MCPServer::kServerName}, {"version", MCPServer::kServerVersion}}}};
}

std::optional<JSONRPCResponse> StatelessRequests::prepare(const JSONRPCRequest& request, RequestContext& context)
{
    const Json& meta = (*request.params)["_meta"];
    const Json& version = meta[kVersionKey];
    if (!version.is_string())
        return JSONRPCResponse::failure(request.id, invalid("_meta \"" + std::string(kVersionKey) + "\" must be a string"));
    const auto revision = Revision::parse(version.get<std::string>());
    if (!revision || !Revision::isModern(*revision)) {
        // Nothing else is read: a newer revision may shape its envelope differently.
        return JSONRPCResponse::failure(request.id,
                                        JSONRPCError{JSONRPCError::kUnsupportedProtocolVersion, "Unsupported protocol version",
                                                     Json{{"supported", Revision::modernNames()}, {"requested", version}}});
    }
    const auto capabilities = meta.find(kCapabilitiesKey);
    if (capabilities == meta.end() || !capabilities->is_object())
        return JSONRPCResponse::failure(request.id, invalid("_meta \"" + std::string(kCapabilitiesKey) + "\" must be an object"));
    std::optional<int> logSeverity;
    if (const auto level = meta.find(kLogLevelKey); level != meta.end()) {
        logSeverity = level->is_string() ? ServerLogLevels::severityOf(level->get<std::string>()) : std::nullopt;
        if (!logSeverity)
            return JSONRPCResponse::failure(request.id, invalid("Unknown log level"));
    }
    if (!isStatelessMethod(request.method))
        return JSONRPCResponse::failure(request.id, JSONRPCError::methodNotFound);

    context.revision = *revision;
    context.clientCapabilities = *capabilities;
    context.logSeverity = logSeverity;
    if (const auto token = meta.find("progressToken"); token != meta.end() && (token->is_string() || token->is_number_integer()))
        context.progressToken = *token;

    // A retry's answers count only with the state this server gave the call they continue.
    const Json& params = *request.params;
    const auto state = params.find("requestState");
    const auto answers = params.find("inputResponses");
    if (state != params.end()) {
        // Read once, where it is known to be there: g++ -Os cannot follow the optional through the
        // early return and warns of an uninitialised read at each later use.
        const auto verified = state->is_string() ? verifyState(request, state->get<std::string>()) : std::nullopt;
        if (!verified)
            return JSONRPCResponse::failure(request.id, invalid("requestState is not one this server gave, or has expired"));
        const std::int64_t issued = *verified;
        // Each state's answers count once: a yes given for one call does not let the same call
        // run again, however often it is sent; a state sent again is asked about again.
        if (answers != params.end() && answers->is_object() && spend(state->get<std::string>(), issued)) {
            context.inputResponses = *answers;
            context.answersAge = std::chrono::milliseconds(nowMs() - issued);
        }
    }
    return std::nullopt;
}

JSONRPCResponse StatelessRequests::discover(const JSONRPCRequest& request) const
{
    Json result = {{"supportedVersions", Revision::modernNames()},
                   {"capabilities",
                    {{"tools", {{"listChanged", true}}},
                     {"resources", {{"subscribe", true}, {"listChanged", true}}},
                     {"prompts", {{"listChanged", true}}},
                     {"completions", Json::object()},
                     {"logging", Json::object()}}}};
    return JSONRPCResponse::success(request.id, std::move(result));
}

void StatelessRequests::finish(JSONRPCResponse& response, const JSONRPCRequest& request, const RequestContext& context)
{
    if (response.error)
        return;
    if (!context.inputRequests.empty()) {
        response.serializedResult.reset();
        if (spentStatesFull()) {
            // Its answer could not be recorded as taken, so it must not be asked for.
            response.result.reset();
            response.error =
                JSONRPCError{JSONRPCError::internalError.code, "Too many questions answered recently: try again later", std::nullopt};
            return;
        }
        response.result = Json{{"resultType", "input_required"},
                               {"inputRequests", context.inputRequests},
                               {"requestState", signState(request)},
                               {"_meta", serverInfoMeta()}};
        return;
    }
    const CacheHint* hint = cacheHintFor(request.method);
    if (response.serializedResult) {
        // Only the tools/list text comes written already: dress it once per version of it.
        if (response.serializedResult != m_plainToolsList) {
            const std::string& plain = *response.serializedResult;
            std::string dressed = "{\"_meta\":" + JsonWriter::compact(serverInfoMeta()) + ",\"cacheScope\":\"" + hint->scope
                + "\",\"resultType\":\"complete\"," + plain.substr(1, plain.size() - 2) + ",\"ttlMs\":" + std::to_string(hint->ttlMs) + "}";
            m_plainToolsList = response.serializedResult;
            m_dressedToolsList = std::make_shared<const std::string>(std::move(dressed));
        }
        response.serializedResult = m_dressedToolsList;
        return;
    }
    Json& result = *response.result;
    if (!result.is_object())
        result = Json::object();
    result["resultType"] = "complete";
    Json meta = result.value("_meta", Json::object());
    meta.update(serverInfoMeta());
    result["_meta"] = std::move(meta);
    if (hint) {
        result["ttlMs"] = hint->ttlMs;
        result["cacheScope"] = hint->scope;
    }
}

JSONRPCRequest StatelessRequests::signedPart(const JSONRPCRequest& request)
{
    JSONRPCRequest part;
    part.jsonrpc = request.jsonrpc;
    part.id = request.id;
    part.method = request.method;
    if (!request.params || !request.params->is_object()) {
        part.params = request.params;
        return part;
    }
    Json params = Json::object();
    for (const auto& [key, value] : request.params->items()) {
        if (key != "_meta" && key != "inputResponses" && key != "requestState")
            params[key] = value;
    }
    part.params = std::move(params);
    return part;
}

QByteArray StatelessRequests::digestOf(const JSONRPCRequest& request) const
{
    // What the call was: its method and params, without the envelope and the answers.
    const JSONRPCRequest part = signedPart(request);
    const std::string text = request.method + '\n' + JsonWriter::compact(part.params.value_or(Json::object()));
    return QCryptographicHash::hash(QByteArray::fromStdString(text), QCryptographicHash::Sha256);
}

std::string StatelessRequests::signState(const JSONRPCRequest& request) const
{
    // "v2.<issued ms>.<nonce>.<digest of the call>.<mac>": the nonce tells apart two identical
    // calls asked about in the same millisecond, so that each answer is spent on its own.
    std::array<quint32, 4> nonce{};
    QRandomGenerator::global()->fillRange(nonce.data(), nonce.size());
    const QByteArray body = QByteArray::number(static_cast<qint64>(nowMs())) + '.'
        + base64Url(QByteArray(reinterpret_cast<const char*>(nonce.data()), static_cast<qsizetype>(sizeof(nonce)))) + '.'
        + base64Url(digestOf(request));
    const QByteArray mac = QMessageAuthenticationCode::hash(body, m_key, QCryptographicHash::Sha256);
    return ("v2." + body + '.' + base64Url(mac)).toStdString();
}

std::optional<std::int64_t> StatelessRequests::verifyState(const JSONRPCRequest& request, const std::string& state) const
{
    const QList<QByteArray> parts = QByteArray::fromStdString(state).split('.');
    if (parts.size() != 5 || parts[0] != "v2")
        return std::nullopt;
    const QByteArray body = parts[1] + '.' + parts[2] + '.' + parts[3];
    if (base64Url(QMessageAuthenticationCode::hash(body, m_key, QCryptographicHash::Sha256)) != parts[4])
        return std::nullopt;
    bool number = false;
    const qint64 issued = parts[1].toLongLong(&number);
    if (!number || issued + kStateLifetime.count() < nowMs() || parts[3] != base64Url(digestOf(request)))
        return std::nullopt;
    return issued;
}

void StatelessRequests::forgetExpiredStates()
{
    const std::int64_t oldestLive = nowMs() - kStateLifetime.count();
    while (!m_spentByIssue.empty() && m_spentByIssue.begin()->first < oldestLive) {
        m_spent.erase(m_spentByIssue.begin()->second);
        m_spentByIssue.erase(m_spentByIssue.begin());
    }
}

bool StatelessRequests::spentStatesFull()
{
    forgetExpiredStates();
    return m_spent.size() >= kMaxSpentStates;
}

bool StatelessRequests::spend(const std::string& state, std::int64_t issued)
{
    // A full record refuses rather than forgets: the answers of this retry do not count, and the
    // question it would ask again is refused in finish().
    if (spentStatesFull() || m_spent.contains(state))
        return false;
    m_spent.insert(state);
    m_spentByIssue.emplace(issued, state);
    return true;
}
