#include "config/OctetFields.h"

#include <cctype>
#include <climits>
#include <cstdint>
#include <cstring>

#include "config/ConfigExchange.h"

#include "resources/StringTable.h"

long AtoiValue(const std::string& text) {
    std::size_t at = 0;
    while (at < text.size() && std::isspace(static_cast<unsigned char>(text[at])) != 0) {
        ++at;
    }
    bool negative = false;
    if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
        negative = text[at] == '-';
        ++at;
    }
    long value = 0;
    for (; at < text.size() && std::isdigit(static_cast<unsigned char>(text[at])) != 0; ++at) {
        const long digit = text[at] - '0';
        value = value > (LONG_MAX - digit) / 10 ? LONG_MAX : value * 10 + digit;
    }
    return negative ? -value : value;
}

OctetCheck CheckOctetFields(const OctetTexts& texts) {
    for (int i = 0; i < kOctetFieldCount; ++i) {
        const std::string& text = texts[static_cast<std::size_t>(i)];
        if (text.empty()) {
            return {i, IDS_INVALID_OR_MISSING};
        }
        const long value = AtoiValue(text);
        if (value < 0 || value > 255) {
            return {i, IDS_VALUE_OUT_OF_RANGE};
        }
    }
    return {};
}

bool MaskFieldsArePossible(const OctetTexts& texts) {
    std::uint8_t octets[4];
    for (std::size_t i = 0; i < 4; ++i) {
        octets[i] = static_cast<std::uint8_t>(
            AtoiValue(texts[static_cast<std::size_t>(kFirstMaskField) + i]));
    }
    std::uint32_t mask = 0;
    std::memcpy(&mask, octets, sizeof mask);
    return IsContiguousSubnetMask(mask);
}

std::array<std::string, 4> BuildAddressTexts(const OctetTexts& texts) {
    std::array<std::string, 4> addresses;
    for (std::size_t a = 0; a < 4; ++a) {
        addresses[a] =
            texts[4 * a] + "." + texts[4 * a + 1] + "." + texts[4 * a + 2] + "." + texts[4 * a + 3];
    }
    return addresses;
}
