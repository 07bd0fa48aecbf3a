// One received datagram into a record, checked against a slow reference reading of the same
// bytes, so every field can only hold what was received, and always stays terminated.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "FuzzCheck.h"
#include "discovery/Frame.h"

namespace {

template <std::size_t N>
void ExpectTerminated(const char (&field)[N]) {
    FUZZ_CHECK(std::memchr(field, 0, N) != nullptr);
}

template <std::size_t N>
bool IsEmptyOrHex(const char (&field)[N]) {
    if (field[0] == '\0') {
        return true;
    }
    for (std::size_t i = 0; i + 1 < N; ++i) {
        const char c = field[i];
        if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'))) {
            return false;
        }
    }
    return field[N - 1] == '\0';
}

// The reference: index arithmetic over a vector, with at() so an out-of-range read throws.
DeviceRecord Reference(const std::vector<std::uint8_t>& d) {
    DeviceRecord r{};
    if (d.size() < 5) {
        return r;
    }
    const std::size_t end = std::min<std::size_t>(5 + (d.at(3) | (d.at(4) << 8)), d.size());
    std::size_t p = 5;
    while (p < end) {
        if (p + 3 > end) {
            break;
        }
        const unsigned type = d.at(p) | (d.at(p + 1) << 8);
        const std::size_t length = d.at(p + 2);
        if (length < 3 || p + length > end) {
            break;
        }
        const std::vector<std::uint8_t> value(d.begin() + static_cast<long>(p + 3),
                                              d.begin() + static_cast<long>(p + length));
        auto text = [&value](char* field, std::size_t width) {
            std::memset(field, 0, width);
            for (std::size_t i = 0; i < value.size() && i + 1 < width; ++i) {
                field[i] = static_cast<char>(value.at(i));
            }
        };
        auto u16 = [&value]() -> std::uint16_t {
            const unsigned low = value.size() > 0 ? value.at(0) : 0;
            const unsigned high = value.size() > 1 ? value.at(1) : 0;
            return static_cast<std::uint16_t>(low | (high << 8));
        };
        auto hex = [&value](char* field, std::size_t bytes) {
            static const char digits[] = "0123456789ABCDEF";
            for (std::size_t i = 0; i < bytes; ++i) {
                const unsigned byte = i < value.size() ? value.at(i) : 0;
                field[2 * i] = digits[byte >> 4];
                field[2 * i + 1] = digits[byte & 15];
            }
            field[2 * bytes] = '\0';
        };
        switch (type) {
            case 1:
                text(r.name, sizeof r.name);
                break;
            case 2:
                hex(r.macText, 6);
                break;
            case 8:
                text(r.description, sizeof r.description);
                break;
            case 9:
                hex(r.firmwareVersion, 2);
                break;
            case 11:
                text(r.ssidBg, sizeof r.ssidBg);
                break;
            case 12:
                r.channelBg = u16();
                break;
            case 13:
                r.wirelessMode = u16();
                break;
            case 21:
                text(r.ssidA, sizeof r.ssidA);
                break;
            case 22:
                r.channelA = u16();
                break;
            default:
                break;
        }
        p += length;
    }
    return r;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // An exactly sized copy, so any read past the datagram is caught.
    std::vector<std::uint8_t> datagram(data, data + size);
    auto* exact = new std::uint8_t[size == 0 ? 1 : size];
    if (size > 0) {
        std::memcpy(exact, data, size);
    }
    DeviceRecord record{};
    ParseReplyElements(exact, size, &record);
    delete[] exact;

    ExpectTerminated(record.name);
    ExpectTerminated(record.macText);
    ExpectTerminated(record.ipAddress);
    ExpectTerminated(record.localAddress);
    ExpectTerminated(record.description);
    ExpectTerminated(record.ssidBg);
    ExpectTerminated(record.ssidA);
    ExpectTerminated(record.firmwareVersion);
    FUZZ_CHECK(IsEmptyOrHex(record.macText));
    FUZZ_CHECK(IsEmptyOrHex(record.firmwareVersion));
    FUZZ_CHECK(record.ipAddress[0] == '\0' && record.localAddress[0] == '\0');

    const DeviceRecord expected = Reference(datagram);
    FUZZ_CHECK(std::memcmp(&record, &expected, sizeof record) == 0);
    return 0;
}
