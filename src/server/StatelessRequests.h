#pragma once

#include "protocol/AnyCodable.h"
#include "protocol/JSONRPCRequest.h"
#include "protocol/JSONRPCResponse.h"
#include "protocol/MCPInitialize.h"

#include <QByteArray>

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <unordered_set>

struct RequestContext;

// The 2026-07-28 revision's envelope: a request that names its revision in
// params._meta["io.modelcontextprotocol/protocolVersion"] is served on its own, with nothing
// carried over from other requests. This class checks the envelope, answers server/discover,
// and dresses every result as that revision wants (resultType, cache hints, the server's
// identity), including the "input_required" result of a call that asked its user something,
// whose requestState binds the retry to the call it continues.
class StatelessRequests {
public:
    StatelessRequests();

    static constexpr const char* kVersionKey = "io.modelcontextprotocol/protocolVersion";

    // Whether the request carries the stateless envelope (the version key in params._meta).
    static bool carriesEnvelope(const JSONRPCRequest& request);
    // The stateless methods.
    static bool isStatelessMethod(const std::string& method);
    // Who sent the request, when its envelope says so.
    static std::optional<ClientInfo> clientOf(const JSONRPCRequest& request);

    // Checks the envelope and fills the context from it: revision, declared capabilities,
    // progress token, log level, and a retry's verified answers. An error response when the
    // request cannot be served.
    std::optional<JSONRPCResponse> prepare(const JSONRPCRequest& request, RequestContext& context);

    JSONRPCResponse discover(const JSONRPCRequest& request) const;

    // Adds what a stateless result carries; replaces the result of a call that asked its user
    // something with the input_required result.
    void finish(JSONRPCResponse& response, const JSONRPCRequest& request, const RequestContext& context);

    // What finish() needs of a request its handler has taken over: the method and the params
    // the state signs, without the envelope and a retry's answers (copying the whole request
    // would copy the envelope too, for every request).
    static JSONRPCRequest signedPart(const JSONRPCRequest& request);

    // The opaque state of a call waiting for answers, and its check on the retry: when the
    // state is one this process gave for this call and has not expired, the moment it was
    // given (steady clock, milliseconds).
    std::string signState(const JSONRPCRequest& request) const;
    std::optional<std::int64_t> verifyState(const JSONRPCRequest& request, const std::string& state) const;

    static Json serverInfoMeta();

    // How many answered states are remembered at most; beyond, new questions are refused.
    static constexpr std::size_t kMaxSpentStates = 10000;

private:
    QByteArray digestOf(const JSONRPCRequest& request) const;
    // Records that a state's answers were taken; false when they were taken before, or when
    // no more can be recorded.
    bool spend(const std::string& state, std::int64_t issued);
    void forgetExpiredStates();
    bool spentStatesFull();

    QByteArray m_key;
    // States whose answers were taken, kept until they expire (never sooner: a forgotten state
    // could be spent again), and the same states by the moment each was given.
    std::unordered_set<std::string> m_spent;
    std::multimap<std::int64_t, std::string> m_spentByIssue;
    // The last tools/list text dressed, reused while the plain one is the same.
    std::shared_ptr<const std::string> m_plainToolsList;
    std::shared_ptr<const std::string> m_dressedToolsList;
};
