// Lower-case hex text back into bytes, as the test peers and the simulator print datagrams.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace pontiq::test {

inline std::optional<std::vector<uint8_t>> FromHex(std::string_view text)
{
    auto nibble = [](char c) -> int {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        return -1;
    };
    if (text.size() % 2 != 0) return std::nullopt;
    std::vector<uint8_t> bytes;
    for (size_t i = 0; i < text.size(); i += 2) {
        const int hi = nibble(text[i]), lo = nibble(text[i + 1]);
        if (hi < 0 || lo < 0) return std::nullopt;
        bytes.push_back(static_cast<uint8_t>(hi * 16 + lo));
    }
    return bytes;
}

}  // namespace pontiq::test
