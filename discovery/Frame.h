#pragma once

#include <cstddef>
#include <cstdint>

#include "discovery/DeviceRecord.h"

// The UDP framing shared by every request and reply on the access points' port.

inline constexpr std::uint16_t kAccessPointPort = 34442;

inline constexpr std::uint8_t kOpcodeDiscovery = 0x40;
inline constexpr std::uint8_t kOpcodeConfiguration = 0x60;
inline constexpr std::size_t kRequestHeaderLength = 10;
inline constexpr std::size_t kReplyHeaderLength = 5;
inline constexpr std::size_t kElementHeaderLength = 3;
inline constexpr std::size_t kDiscoveryRequestLength = 28;
// Replies longer than this are cut to it when received.
inline constexpr std::size_t kReceiveBufferLength = 3072;

enum ElementType : std::uint16_t {
    kElementName = 1,
    kElementMac = 2,
    kElementIpAddress = 3,
    kElementSubnetMask = 4,
    kElementGateway = 5,
    kElementDnsServer = 6,
    kElementAddressMode = 7,
    kElementDescription = 8,
    kElementFirmwareVersion = 9,
    kElementSsidBg = 11,
    kElementChannelBg = 12,
    kElementWirelessMode = 13,
    kElementSsidA = 21,
    kElementChannelA = 22,
};

// Writes the 10-byte request header: operation code, 0x0D, the length of everything after the
// first 4 bytes, the 5-character command tag and 0x0A. `frame` must hold `totalLength` bytes.
void WriteRequestHeader(std::uint8_t* frame, std::uint8_t opcode, std::size_t totalLength,
                        const char (&tag)[6]);

// The 28-byte discovery request, which asks for the nine element types a record is made of.
void BuildDiscoveryRequest(std::uint8_t (&frame)[kDiscoveryRequestLength]);

// A datagram of fewer than 3 bytes carries no status and so is no reply at all.
bool HasReplyStatus(const std::uint8_t* datagram, std::size_t length) noexcept;
// Status 0 or 1: the reply becomes a record.
bool IsAcceptedDiscoveryReply(const std::uint8_t* datagram, std::size_t length) noexcept;
// Status 0: the access point took the configuration or reset request.
bool IsAcknowledgement(const std::uint8_t* datagram, std::size_t length) noexcept;

// Copies the elements of a reply into `record`, which the caller has zero-filled. Reads nothing
// past `length` nor past the element area the reply declares; an element that is shorter than
// its own header or that runs past either end stops the parsing, keeping what came before it.
// Values too long for their field are cut so that the field keeps its terminator.
void ParseReplyElements(const std::uint8_t* datagram, std::size_t length, DeviceRecord* record);
