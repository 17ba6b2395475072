#pragma once

#include "control/ServerComponents.h"
#include "platform/SystemServices.h"
#include "platform/store/QSettingsPreferencesStore.h"
#include "support/FakeClock.h"
#include "support/FakeStandardStreams.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTemporaryDir>

#include <memory>
#include <string>
#include <vector>

// A server of this process over fake standard streams, with a temporary preferences file: the
// tests write protocol lines to it and read what it writes back.
class InProcessServer : public ::testing::Test {
protected:
    static constexpr const char* kVersionKey = "io.modelcontextprotocol/protocolVersion";
    static constexpr const char* kCapabilitiesKey = "io.modelcontextprotocol/clientCapabilities";

    QTemporaryDir dir;
    QSettingsPreferencesStore store{dir.path() + QStringLiteral("/zarnel.conf")};
    FakeClock clock;
    FakeStandardStreams streams;
    std::unique_ptr<ServerComponents> components =
        std::make_unique<ServerComponents>(store, clock, streams, SystemServices::forThisSession());
    int nextId = 1;

    // Writes the message and returns every line written until one answers `id` (or 5 s pass).
    std::vector<nlohmann::json> exchange(const nlohmann::json& message, const nlohmann::json& id)
    {
        streams.feed(QByteArray::fromStdString(message.dump()) + '\n');
        return linesUntil(id);
    }

    // Every line written until one answers `id` (or 5 s pass).
    std::vector<nlohmann::json> linesUntil(const nlohmann::json& id)
    {
        std::vector<nlohmann::json> lines;
        QDeadlineTimer deadline(5000);
        while (!deadline.hasExpired()) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
            for (const QByteArray& line : streams.takeLines())
                lines.push_back(nlohmann::json::parse(line.toStdString()));
            if (!lines.empty() && lines.back().value("id", nlohmann::json()) == id && !lines.back().contains("method"))
                break;
        }
        return lines;
    }

    nlohmann::json request(const std::string& method, nlohmann::json params = nlohmann::json::object())
    {
        const int id = nextId++;
        const auto lines = exchange({{"jsonrpc", "2.0"}, {"id", id}, {"method", method}, {"params", params}}, id);
        return lines.empty() ? nlohmann::json() : lines.back();
    }

    // A stateless request of the 2026-07-28 era.
    nlohmann::json modern(const std::string& method, nlohmann::json params = nlohmann::json::object(),
                          nlohmann::json capabilities = nlohmann::json::object())
    {
        params["_meta"][kVersionKey] = "2026-07-28";
        params["_meta"][kCapabilitiesKey] = capabilities;
        return request(method, std::move(params));
    }

    nlohmann::json initialize(const std::string& version, nlohmann::json capabilities = nlohmann::json::object())
    {
        return request("initialize",
                       {{"protocolVersion", version}, {"capabilities", capabilities}, {"clientInfo", {{"name", "t"}, {"version", "1"}}}});
    }
};
