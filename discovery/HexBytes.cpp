#include "discovery/HexBytes.h"

#include <cstddef>

void FormatHexBytes(const std::uint8_t* bytes, int count, char* text) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    int out = 0;
    for (int i = 0; i < count; ++i) {
        text[out++] = kDigits[bytes[i] >> 4];
        text[out++] = kDigits[bytes[i] & 0x0F];
    }
    text[out] = '\0';
}

void ParseHexBytes(const char* text, std::uint8_t* bytes, int count) {
    for (std::ptrdiff_t i = 0; i < count; ++i) {
        const unsigned high = HexDigitValue(text[2 * i]);
        const unsigned low = HexDigitValue(text[2 * i + 1]);
        bytes[i] = static_cast<std::uint8_t>((16 * high + low) % 256);
    }
}

std::uint8_t HexDigitValue(char character) {
    if (character >= '0' && character <= '9') {
        return static_cast<std::uint8_t>(character - '0');
    }
    if (character >= 'A' && character <= 'F') {
        return static_cast<std::uint8_t>(character - 'A' + 10);
    }
    if (character >= 'a' && character <= 'f') {
        return static_cast<std::uint8_t>(character - 'a' + 10);
    }
    return 255;
}
