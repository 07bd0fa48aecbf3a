#include "fleet/Text.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "discovery/DeviceRecord.h"
#include "net/SocketLayer.h"

namespace fleet {

namespace {

// The length of the well-formed UTF-8 sequence at `at` (no overlong forms, no surrogates, nothing
// above U+10FFFF), or 0.
std::size_t Utf8SequenceLength(const std::string& text, std::size_t at) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    if (lead < 0x80) {
        return 1;
    }
    std::size_t length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (at + length > text.size() || byte(at + 1) < low || byte(at + 1) > high) {
        return 0;
    }
    for (std::size_t i = 2; i < length; ++i) {
        if (byte(at + i) < 0x80 || byte(at + i) > 0xBF) {
            return 0;
        }
    }
    return length;
}

}  // namespace

bool IsUtf8(const std::string& text) {
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t length = Utf8SequenceLength(text, at);
        if (length == 0) {
            return false;
        }
        at += length;
    }
    return true;
}

namespace {

void AppendEscapedByte(std::string* out, unsigned char byte) {
    char escaped[5];
    std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
    *out += escaped;
}

}  // namespace

std::string InterfaceNameText(const std::string& bytes) {
    std::string out;
    for (std::size_t at = 0; at < bytes.size();) {
        const auto byte = static_cast<unsigned char>(bytes[at]);
        const std::size_t length = Utf8SequenceLength(bytes, at);
        // U+0080 to U+009F, the C1 controls, some terminals obey as UTF-8 too.
        const bool control =
            byte < 0x20 || byte == 0x7F || byte == '\\' ||
            (byte == 0xC2 && length == 2 && static_cast<unsigned char>(bytes[at + 1]) < 0xA0);
        if (length == 0 || control) {
            const std::size_t escapedLength = length == 0 ? 1 : length;
            for (std::size_t i = 0; i < escapedLength; ++i) {
                AppendEscapedByte(&out, static_cast<unsigned char>(bytes[at + i]));
            }
            at += escapedLength;
            continue;
        }
        out.append(bytes, at, length);
        at += length;
    }
    return out;
}

void AppendLatin1(std::string* out, unsigned char byte) {
    if (byte < 0x80) {
        out->push_back(static_cast<char>(byte));
    } else {
        out->push_back(static_cast<char>(0xC0 | (byte >> 6)));
        out->push_back(static_cast<char>(0x80 | (byte & 0x3F)));
    }
}

std::string Utf8FromLatin1(const std::string& bytes) {
    std::string out;
    for (char c : bytes) {
        AppendLatin1(&out, static_cast<unsigned char>(c));
    }
    return out;
}

bool Latin1FromUtf8(const std::string& utf8, std::string* bytes) {
    std::string out;
    for (std::size_t at = 0; at < utf8.size();) {
        const std::size_t length = Utf8SequenceLength(utf8, at);
        const auto lead = static_cast<unsigned char>(utf8[at]);
        if (length == 1) {
            out.push_back(utf8[at]);
        } else if (length == 2 && lead <= 0xC3) {
            out.push_back(static_cast<char>(((lead & 0x03) << 6) |
                                            (static_cast<unsigned char>(utf8[at + 1]) & 0x3F)));
        } else {
            return false;
        }
        at += length;
    }
    *bytes = std::move(out);
    return true;
}

std::string Printable(const std::string& bytes) {
    std::string out;
    for (char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F || (byte >= 0x80 && byte < 0xA0) || byte == '\\') {
            char escaped[5];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
            out += escaped;
        } else {
            AppendLatin1(&out, byte);
        }
    }
    return out;
}

std::string AddressText(std::uint32_t address) {
    char text[16] = {};
    net::FormatDottedQuad(address, text, sizeof text);
    return text;
}

std::string ModeText(std::uint16_t mode) {
    const std::string text = WirelessModeText(mode);
    return text.empty() ? "mode " + std::to_string(mode) : text;
}

std::string SecondsText(double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", seconds);
    return text;
}

bool NormalizeMac(const std::string& text, std::string* macText) {
    std::string digits;
    if (text.size() == 12) {
        digits = text;
    } else if (text.size() == 17 && (text[2] == ':' || text[2] == '-')) {
        const char separator = text[2];
        for (std::size_t i = 0; i < text.size(); ++i) {
            if (i % 3 == 2) {
                if (text[i] != separator) {
                    return false;
                }
            } else {
                digits.push_back(text[i]);
            }
        }
    } else {
        return false;
    }
    const auto hex = [](char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; };
    if (!std::all_of(digits.begin(), digits.end(), hex)) {
        return false;
    }
    std::transform(digits.begin(), digits.end(), digits.begin(), [](char c) {
        return static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    });
    *macText = digits;
    return true;
}

}  // namespace fleet
