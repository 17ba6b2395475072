#pragma once

#include "protocol/AnyCodable.h"
#include "protocol/JSONRPCId.h"
#include "protocol/ProtocolRevision.h"
#include "tools/CancellationToken.h"

#include <chrono>
#include <optional>
#include <string>

// What one request is handled under: the revision it belongs to and what its client declared
// (the session's, or for a stateless request its own), its progress token and cancellation,
// and, for a stateless request, the answers its retry carries and the questions still open.
struct RequestContext {
    ProtocolRevision revision = ProtocolRevision::V2024_11_05;
    std::optional<JSONRPCId> id;
    std::string method;
    Json clientCapabilities = Json::object();
    std::optional<Json> progressToken;
    CancellationToken cancellation;
    // Stateless only: the lowest log severity the request asked to see, if any.
    std::optional<int> logSeverity;
    // Stateless only: "inputResponses" of a retry (key → answer) once its requestState is
    // verified, and the questions this call asked that have no answer yet (key → request).
    Json inputResponses = Json::object();
    Json inputRequests = Json::object();
    // Stateless only: how long ago the questions the retry answers were asked.
    std::chrono::milliseconds answersAge{0};

    bool isModern() const { return Revision::isModern(revision); }
};
