#pragma once

#include <cstddef>
#include <string_view>

namespace utf8 {

// The length of the well-formed UTF-8 sequence that starts at text[i] (a byte of 0x80 or
// more), or 0 when the bytes there are not one: overlong forms, surrogates, code points past
// U+10FFFF and truncated sequences all give 0.
inline std::size_t sequenceLength(std::string_view text, std::size_t i)
{
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[i + k]); };
    const std::size_t left = text.size() - i;
    const auto continuation = [&](std::size_t k) { return k < left && (byte(k) & 0xC0) == 0x80; };
    const unsigned char lead = byte(0);
    if (lead >= 0xC2 && lead <= 0xDF)
        return continuation(1) ? 2 : 0;
    if (lead >= 0xE0 && lead <= 0xEF) {
        if (!continuation(1) || !continuation(2))
            return 0;
        if (lead == 0xE0 && byte(1) < 0xA0)
            return 0; // overlong
        if (lead == 0xED && byte(1) > 0x9F)
            return 0; // surrogate
        return 3;
    }
    if (lead >= 0xF0 && lead <= 0xF4) {
        if (!continuation(1) || !continuation(2) || !continuation(3))
            return 0;
        if (lead == 0xF0 && byte(1) < 0x90)
            return 0; // overlong
        if (lead == 0xF4 && byte(1) > 0x8F)
            return 0; // past U+10FFFF
        return 4;
    }
    return 0;
}

} // namespace utf8
