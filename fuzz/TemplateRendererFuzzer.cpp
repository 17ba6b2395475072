// The prompt renderer with both the template and the argument map taken from the input, as a
// client controls both (argument values, and file contents inserted into the text).
// A text without any "{{" has nothing to render and must come back unchanged; everything else
// must finish in bounded time and memory (libFuzzer's time-out and memory limits), giving
// nothing only when the text would grow past the renderer's limit.

#include "catalog/TemplateRenderer.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

Json makeValue(FuzzedDataProvider& input)
{
    switch (input.ConsumeIntegralInRange(0, 7)) {
    case 0: return nullptr;
    case 1: return input.ConsumeBool();
    case 2: return input.ConsumeIntegral<std::int64_t>();
    case 3: return input.ConsumeFloatingPoint<double>();
    case 4: return Json::array({input.ConsumeRandomLengthString(16)});
    default: return input.ConsumeRandomLengthString(128);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider input(data, size);
    Json::object_t values;
    const int count = input.ConsumeIntegralInRange(0, 48);
    for (int i = 0; i < count && input.remaining_bytes() > 0; ++i) {
        std::string key = input.ConsumeRandomLengthString(24);
        values[std::move(key)] = makeValue(input);
    }
    const std::string templateText = input.ConsumeRemainingBytesAsString();

    const auto rendered = TemplateRenderer::render(templateText, values);
    if (templateText.find("{{") == std::string::npos && rendered != templateText) {
        std::fprintf(stderr, "template renderer: a text without markers changed\n");
        std::abort();
    }
    return 0;
}
