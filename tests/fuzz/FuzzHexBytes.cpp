// Bytes to hexadecimal text and back give the same bytes; any text parses by the digit rule.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "FuzzCheck.h"
#include "discovery/HexBytes.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const int count = static_cast<int>(size);
    std::vector<char> text(2 * size + 1, 'x');
    FormatHexBytes(data, count, text.data());
    FUZZ_CHECK(text[2 * size] == '\0');
    for (std::size_t i = 0; i < 2 * size; ++i) {
        const char c = text[i];
        FUZZ_CHECK((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'));
    }
    std::vector<std::uint8_t> back(size + 1, 0xA5);
    ParseHexBytes(text.data(), back.data(), count);
    FUZZ_CHECK(size == 0 || std::memcmp(back.data(), data, size) == 0);
    FUZZ_CHECK(back[size] == 0xA5);

    // The input itself read as text: each byte pair by the digit rule, modulo 256.
    const std::size_t pairs = size / 2;
    std::vector<char> asText(data, data + 2 * pairs);
    std::vector<std::uint8_t> parsed(pairs);
    ParseHexBytes(asText.data(), parsed.data(), static_cast<int>(pairs));
    for (std::size_t i = 0; i < pairs; ++i) {
        const unsigned high = HexDigitValue(asText[2 * i]);
        const unsigned low = HexDigitValue(asText[2 * i + 1]);
        FUZZ_CHECK(high <= 15 || high == 255);
        FUZZ_CHECK(parsed[i] == static_cast<std::uint8_t>((16 * high + low) % 256));
    }
    return 0;
}
