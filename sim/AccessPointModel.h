#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The behaviour of a simulated access point, independent of any transport: what it answers to a
// discovery, a configuration and a reset request. The fake network of the unit tests and the
// simulator on real sockets both drive it. It encodes its replies itself and decodes requests
// itself, so a mistake in the utility's own codec cannot hide behind a shared one.
namespace sim {

inline constexpr std::uint16_t kPort = 34442;

struct RawElement {
    std::uint16_t type = 0;
    std::vector<std::uint8_t> value;
    // Length byte to put on the wire; when unset, the true length (value + 3).
    std::optional<std::uint8_t> declaredLength;
};

struct AccessPointSettings {
    // What it reports.
    std::string name;
    std::array<std::uint8_t, 6> mac{};
    std::uint32_t address = 0;  // network byte order
    std::string description;
    std::array<std::uint8_t, 2> firmware{};
    std::string ssidBg;
    std::uint16_t channelBg = 0;
    std::string ssidA;
    std::uint16_t channelA = 0;
    std::uint16_t wirelessMode = 0;

    // How it behaves.
    bool answerEveryCopy = true;  // false: only the first copy of each burst of requests
    std::uint8_t status = 0;
    int replyDelayMs = 0;
    bool replyByBroadcast = false;
    // The element types it puts in a discovery reply, in order; unset: the types asked for.
    std::optional<std::vector<std::uint16_t>> elementOrder;
    // Added after the regular elements, e.g. types the utility does not know.
    std::vector<RawElement> extraElements;
    // Bytes after the last element that form no element at all; counted in the element area.
    std::vector<std::uint8_t> trailingBytes;
    // Element-area length to put in the reply header; unset: the true length. Lets a reply claim
    // more (or fewer) bytes than it carries.
    std::optional<std::uint16_t> declaredAreaLength;
    // Sent as the whole discovery reply instead of an encoded one, for frames no encoder would
    // produce (too short for a header, nonsense throughout).
    std::optional<std::vector<std::uint8_t>> rawReply;
    bool acknowledgeConfiguration = true;
    bool acknowledgeReset = true;
    // Status byte of its acknowledgements; anything but 0 is a refusal to the utility.
    std::uint8_t acknowledgementStatus = 0;
    // After a reset it answers nothing for this long, then from its new address.
    int silentAfterResetMs = 2000;
    // Addresses a DHCP server would hand it, one per reset in DHCP mode (network byte order).
    std::vector<std::uint32_t> dhcpPool;
};

struct Reply {
    std::vector<std::uint8_t> bytes;
    int delayMs = 0;
    bool broadcast = false;
    std::uint32_t source = 0;  // network byte order
};

enum class RequestKind { kDiscovery, kSetIpConfiguration, kReset, kOther };

// What one request asked for, as the access point understood it.
struct DecodedRequest {
    RequestKind kind = RequestKind::kOther;
    std::vector<std::uint16_t> requestedTypes;  // discovery
    std::array<std::uint8_t, 6> mac{};          // configuration and reset
    bool dhcpClient = false;
    std::array<std::uint32_t, 4> addresses{};  // address, mask, gateway, DNS; network order
};

// Decodes a request frame; kOther for anything malformed or unknown.
DecodedRequest DecodeRequest(const std::uint8_t* data, std::size_t length);

// Encodes a reply frame from its status and elements.
std::vector<std::uint8_t> EncodeReply(std::uint8_t status, const std::vector<RawElement>& elements);

class AccessPoint {
public:
    explicit AccessPoint(AccessPointSettings settings);

    // Handles one datagram that reached the access point's port at `nowMs`; returns what it
    // sends back (possibly nothing).
    std::vector<Reply> HandleDatagram(const std::uint8_t* data, std::size_t length,
                                      std::int64_t nowMs);

    const AccessPointSettings& settings() const { return settings_; }
    std::uint32_t CurrentAddress() const { return settings_.address; }
    bool SilentAt(std::int64_t nowMs) const { return silentUntilMs_ && nowMs < *silentUntilMs_; }
    bool dhcpClient() const { return dhcpClient_; }

private:
    std::vector<Reply> AnswerDiscovery(const DecodedRequest& request, std::int64_t nowMs);
    std::vector<std::uint8_t> Acknowledgement(const DecodedRequest& request) const;
    Reply MakeReply(std::vector<std::uint8_t> bytes) const;

    AccessPointSettings settings_;
    std::optional<DecodedRequest> pendingConfiguration_;
    std::optional<std::int64_t> silentUntilMs_;
    std::optional<std::int64_t> lastDiscoveryMs_;
    std::size_t nextDhcpAddress_ = 0;
    bool dhcpClient_ = false;
};

}  // namespace sim
