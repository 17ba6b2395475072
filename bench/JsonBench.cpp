// Micro-benchmarks of the request decoder and the response writer.
#include "protocol/AnyCodable.h"
#include "protocol/JSONRPCRequest.h"
#include "protocol/JsonWriter.h"

#include <benchmark/benchmark.h>

namespace {

const std::string kToolsList = R"({"jsonrpc":"2.0","id":12345,"method":"tools/list"})";
const std::string kToolCall =
    R"({"jsonrpc":"2.0","id":7,"method":"tools/call","params":{"name":"read_file","arguments":{"path":"/home/user/projects/zarnel/src/server/MCPServer.cpp","encoding":"utf8","max_results":100,"flag":true}}})";

void decodeRequest(benchmark::State& state, const std::string& line)
{
    for (auto _ : state) {
        auto parsed = json::parse(line);
        auto request = JSONRPCRequest::fromJson(*parsed);
        benchmark::DoNotOptimize(request);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * line.size()));
}

void nlohmannParse(benchmark::State& state, const std::string& line)
{
    for (auto _ : state) {
        auto parsed = Json::parse(line);
        benchmark::DoNotOptimize(parsed);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * line.size()));
}

void writeCompact(benchmark::State& state)
{
    Json value = Json::parse(kToolCall);
    for (int i = 0; i < 200; ++i)
        value["params"]["arguments"]["k" + std::to_string(i)] = "some text with a / slash and \xC3\xA9";
    std::size_t bytes = 0;
    for (auto _ : state) {
        auto text = JsonWriter::compact(value);
        bytes = text.size();
        benchmark::DoNotOptimize(text);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
}

BENCHMARK_CAPTURE(decodeRequest, tools_list, kToolsList);
BENCHMARK_CAPTURE(decodeRequest, tools_call, kToolCall);
BENCHMARK_CAPTURE(nlohmannParse, tools_list, kToolsList);
BENCHMARK_CAPTURE(nlohmannParse, tools_call, kToolCall);
BENCHMARK(writeCompact);

} // namespace

BENCHMARK_MAIN();
