#include "discovery/Frame.h"

#include <algorithm>
#include <cstring>

#include "discovery/ByteReader.h"
#include "discovery/HexBytes.h"

void WriteRequestHeader(std::uint8_t* frame, std::uint8_t opcode, std::size_t totalLength,
                        const char (&tag)[6]) {
    const std::size_t following = totalLength - 4;
    frame[0] = opcode;
    frame[1] = 0x0D;
    frame[2] = static_cast<std::uint8_t>(following & 0xFF);
    frame[3] = static_cast<std::uint8_t>(following >> 8);
    std::memcpy(frame + 4, tag, 5);
    frame[9] = 0x0A;
}

void BuildDiscoveryRequest(std::uint8_t (&frame)[kDiscoveryRequestLength]) {
    static constexpr std::uint16_t kRequested[] = {
        kElementName,    kElementMac,       kElementDescription,  kElementFirmwareVersion,
        kElementSsidBg,  kElementChannelBg, kElementWirelessMode, kElementSsidA,
        kElementChannelA};
    WriteRequestHeader(frame, kOpcodeDiscovery, kDiscoveryRequestLength, "aaaa:");
    std::size_t at = kRequestHeaderLength;
    for (std::uint16_t type : kRequested) {
        frame[at++] = static_cast<std::uint8_t>(type & 0xFF);
        frame[at++] = static_cast<std::uint8_t>(type >> 8);
    }
}

bool HasReplyStatus(const std::uint8_t*, std::size_t length) noexcept {
    return length >= 3;
}

bool IsAcceptedDiscoveryReply(const std::uint8_t* datagram, std::size_t length) noexcept {
    return HasReplyStatus(datagram, length) && datagram[2] <= 1;
}

bool IsAcknowledgement(const std::uint8_t* datagram, std::size_t length) noexcept {
    return HasReplyStatus(datagram, length) && datagram[2] == 0;
}

namespace {

// A later element of the same type replaces the field whole rather than overwriting its start,
// so two names never splice into one.
template <std::size_t N>
void CopyText(char (&field)[N], const std::uint8_t* value, std::size_t length) {
    std::memset(field, 0, N);
    std::memcpy(field, value, std::min(length, N - 1));
}

// A 16-bit value arrives least significant byte first; a shorter value leaves the missing high
// byte zero, a longer one contributes its first two bytes.
std::uint16_t ReadU16Value(const std::uint8_t* value, std::size_t length) {
    std::uint16_t result = 0;
    if (length >= 1) {
        result = value[0];
    }
    if (length >= 2) {
        result = static_cast<std::uint16_t>(result | (value[1] << 8));
    }
    return result;
}

// MAC and firmware values are formatted from a fixed number of bytes; missing bytes are zero.
template <std::size_t Bytes, std::size_t N>
void FormatFixedHex(char (&field)[N], const std::uint8_t* value, std::size_t length) {
    static_assert(N == 2 * Bytes + 1);
    std::uint8_t bytes[Bytes] = {};
    std::memcpy(bytes, value, std::min(length, Bytes));
    FormatHexBytes(bytes, static_cast<int>(Bytes), field);
}

void StoreElement(std::uint16_t type, const std::uint8_t* value, std::size_t length,
                  DeviceRecord* record) {
    switch (type) {
        case kElementName:
            CopyText(record->name, value, length);
            break;
        case kElementMac:
            FormatFixedHex<6>(record->macText, value, length);
            break;
        case kElementDescription:
            CopyText(record->description, value, length);
            break;
        case kElementFirmwareVersion:
            FormatFixedHex<2>(record->firmwareVersion, value, length);
            break;
        case kElementSsidBg:
            CopyText(record->ssidBg, value, length);
            break;
        case kElementChannelBg:
            record->channelBg = ReadU16Value(value, length);
            break;
        case kElementWirelessMode:
            record->wirelessMode = ReadU16Value(value, length);
            break;
        case kElementSsidA:
            CopyText(record->ssidA, value, length);
            break;
        case kElementChannelA:
            record->channelA = ReadU16Value(value, length);
            break;
        default:
            break;  // Types a record has no field for are skipped.
    }
}

}  // namespace

void ParseReplyElements(const std::uint8_t* datagram, std::size_t length, DeviceRecord* record) {
    if (length < kReplyHeaderLength) {
        return;
    }
    const std::size_t declared = static_cast<std::size_t>(datagram[3] | (datagram[4] << 8));
    const std::size_t areaLength = std::min(declared, length - kReplyHeaderLength);
    ByteReader area(datagram + kReplyHeaderLength, areaLength);
    while (area.remaining() > 0) {
        std::uint16_t type = 0;
        std::uint8_t elementLength = 0;
        const std::uint8_t* value = nullptr;
        if (!area.ReadU16Le(&type) || !area.ReadU8(&elementLength) ||
            elementLength < kElementHeaderLength ||
            !area.ReadSpan(elementLength - kElementHeaderLength, &value)) {
            return;
        }
        StoreElement(type, value, elementLength - kElementHeaderLength, record);
    }
}
