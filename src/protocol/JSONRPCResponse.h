#pragma once

#include "protocol/AnyCodable.h"
#include "protocol/JSONRPCError.h"
#include "protocol/JSONRPCId.h"
#include "protocol/JsonWriter.h"

#include <memory>
#include <optional>
#include <string>

struct JSONRPCResponse {
    std::string jsonrpc = "2.0";
    std::optional<JSONRPCId> id;
    std::optional<AnyCodable> result;
    std::optional<JSONRPCError> error;
    // A result already written as compact JSON text; takes the place of `result` when set.
    std::shared_ptr<const std::string> serializedResult;

    // Whether there is anything to write: a request left open (a listen) has neither result
    // nor error.
    bool hasAnswer() const { return result || error || serializedResult; }

    static JSONRPCResponse success(std::optional<JSONRPCId> id, AnyCodable result);
    static JSONRPCResponse failure(std::optional<JSONRPCId> id, JSONRPCError error);

    static JSONRPCResponse fromJson(const Json& value);
    Json toJson() const;

    // The wire line (without its line feed): compact, keys sorted. Written piece by piece so
    // that a large result is never copied into a second tree.
    std::string serialize() const;
    // The same line handed to `drain` in pieces as it is written (see JsonWriter): a large
    // result is never held whole a second time. What is left at the end stays in `out`.
    void serialize(std::string& out, const JsonWriter::Drain& drain) const;

private:
    void writeTo(std::string& out, const JsonWriter::Drain* drain) const;
};
