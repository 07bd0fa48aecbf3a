#include "sim/AccessPointModel.h"

#include <algorithm>
#include <cstring>

namespace sim {

namespace {

// Copies of one request arrive within about 1.2 s; a request after this long starts a new burst.
constexpr std::int64_t kBurstWindowMs = 2000;

std::uint16_t U16At(const std::uint8_t* data) {
    return static_cast<std::uint16_t>(data[0] | (data[1] << 8));
}

// The length byte counts the 3 header bytes, so one element carries at most 252 value bytes; a
// longer text would wrap the length and corrupt every element after it.
constexpr std::size_t kMaxElementValue = 255 - 3;

std::vector<std::uint8_t> TextValue(const std::string& text) {
    const std::size_t length = std::min(text.size(), kMaxElementValue);
    return std::vector<std::uint8_t>(text.begin(), text.begin() + static_cast<long>(length));
}

std::vector<std::uint8_t> U16Value(std::uint16_t value) {
    return {static_cast<std::uint8_t>(value & 0xFF), static_cast<std::uint8_t>(value >> 8)};
}

// Reads the type-length-value elements that follow a configuration request's MAC.
bool DecodeConfiguration(const std::uint8_t* data, std::size_t length, DecodedRequest* request) {
    std::size_t at = 16;
    bool sawMode = false;
    while (at + 3 <= length) {
        const std::uint16_t type = U16At(data + at);
        const std::size_t elementLength = data[at + 2];
        if (elementLength < 3 || at + elementLength > length) {
            return false;
        }
        const std::uint8_t* value = data + at + 3;
        const std::size_t valueLength = elementLength - 3;
        if (type == 7 && valueLength == 1) {
            request->dhcpClient = value[0] == 1;
            sawMode = true;
        } else if (type >= 3 && type <= 6 && valueLength == 4) {
            std::memcpy(&request->addresses[type - 3], value, 4);
        }
        at += elementLength;
    }
    return sawMode && at == length;
}

}  // namespace

DecodedRequest DecodeRequest(const std::uint8_t* data, std::size_t length) {
    DecodedRequest request;
    if (length < 10 || data[1] != 0x0D || data[9] != 0x0A || U16At(data + 2) != length - 4) {
        return request;
    }
    const std::string tag(reinterpret_cast<const char*>(data + 4), 5);
    if (data[0] == 0x40 && tag == "aaaa:" && (length - 10) % 2 == 0) {
        request.kind = RequestKind::kDiscovery;
        for (std::size_t at = 10; at < length; at += 2) {
            request.requestedTypes.push_back(U16At(data + at));
        }
        return request;
    }
    if (data[0] != 0x60 || length < 16) {
        return request;
    }
    std::memcpy(request.mac.data(), data + 10, 6);
    if (tag == "aaac:" && length == 16) {
        request.kind = RequestKind::kReset;
    } else if (tag == "aaab:" && DecodeConfiguration(data, length, &request)) {
        request.kind = RequestKind::kSetIpConfiguration;
    }
    return request;
}

std::vector<std::uint8_t> EncodeReply(std::uint8_t status,
                                      const std::vector<RawElement>& elements) {
    std::vector<std::uint8_t> frame = {0x41, 0x0D, status, 0, 0};
    for (const RawElement& element : elements) {
        frame.push_back(static_cast<std::uint8_t>(element.type & 0xFF));
        frame.push_back(static_cast<std::uint8_t>(element.type >> 8));
        frame.push_back(
            element.declaredLength.value_or(static_cast<std::uint8_t>(element.value.size() + 3)));
        frame.insert(frame.end(), element.value.begin(), element.value.end());
    }
    const std::size_t area = frame.size() - 5;
    frame[3] = static_cast<std::uint8_t>(area & 0xFF);
    frame[4] = static_cast<std::uint8_t>((area >> 8) & 0xFF);
    return frame;
}

AccessPoint::AccessPoint(AccessPointSettings settings) : settings_(std::move(settings)) {}

std::vector<std::uint8_t> AccessPoint::Acknowledgement(const DecodedRequest& request) const {
    return EncodeReply(settings_.acknowledgementStatus,
                       {{2, {request.mac.begin(), request.mac.end()}, {}}});
}

namespace {

// The elements a discovery reply carries, in the order asked for, then the extra ones as they
// are; types the access point knows nothing about are left out.
std::vector<RawElement> DescribedElements(const AccessPointSettings& settings,
                                          const std::vector<std::uint16_t>& types) {
    std::vector<RawElement> elements;
    for (std::uint16_t type : types) {
        RawElement element{type, {}, std::nullopt};
        switch (type) {
            case 1:
                element.value = TextValue(settings.name);
                break;
            case 2:
                element.value.assign(settings.mac.begin(), settings.mac.end());
                break;
            case 8:
                element.value = TextValue(settings.description);
                break;
            case 9:
                element.value.assign(settings.firmware.begin(), settings.firmware.end());
                break;
            case 11:
                element.value = TextValue(settings.ssidBg);
                break;
            case 12:
                element.value = U16Value(settings.channelBg);
                break;
            case 13:
                element.value = U16Value(settings.wirelessMode);
                break;
            case 21:
                element.value = TextValue(settings.ssidA);
                break;
            case 22:
                element.value = U16Value(settings.channelA);
                break;
            default:
                continue;  // nothing to say about a type it does not know
        }
        elements.push_back(std::move(element));
    }
    elements.insert(elements.end(), settings.extraElements.begin(), settings.extraElements.end());
    return elements;
}

// Copy number `copy` of a discovery reply. A flood of distinct MACs counts the MAC element's
// last two bytes up from the access point's own, copy by copy.
std::vector<std::uint8_t> ReplyFrame(const AccessPointSettings& settings, int copy,
                                     std::vector<RawElement>* elements) {
    if (settings.floodDistinctMacs) {
        for (RawElement& element : *elements) {
            if (element.type == 2 && element.value.size() == 6) {
                const unsigned tail =
                    ((settings.mac[4] << 8) | settings.mac[5]) + static_cast<unsigned>(copy);
                element.value[4] = static_cast<std::uint8_t>((tail >> 8) & 0xFF);
                element.value[5] = static_cast<std::uint8_t>(tail & 0xFF);
            }
        }
    }
    std::vector<std::uint8_t> frame = EncodeReply(settings.status, *elements);
    frame.insert(frame.end(), settings.trailingBytes.begin(), settings.trailingBytes.end());
    const std::size_t area = settings.declaredAreaLength.value_or(frame.size() - 5);
    frame[3] = static_cast<std::uint8_t>(area & 0xFF);
    frame[4] = static_cast<std::uint8_t>((area >> 8) & 0xFF);
    return frame;
}

}  // namespace

Reply AccessPoint::MakeReply(std::vector<std::uint8_t> bytes) const {
    Reply reply;
    reply.bytes = std::move(bytes);
    reply.delayMs = settings_.replyDelayMs;
    reply.broadcast = settings_.replyByBroadcast;
    reply.source = settings_.address;
    return reply;
}

std::vector<Reply> AccessPoint::AnswerDiscovery(const DecodedRequest& request, std::int64_t nowMs) {
    const bool sameBurst = lastDiscoveryMs_ && nowMs - *lastDiscoveryMs_ < kBurstWindowMs;
    lastDiscoveryMs_ = nowMs;
    if (sameBurst && !settings_.answerEveryCopy) {
        return {};
    }
    if (settings_.rawReply) {
        return std::vector<Reply>(static_cast<std::size_t>(std::max(settings_.floodCopies, 1)),
                                  MakeReply(*settings_.rawReply));
    }
    std::vector<RawElement> elements = DescribedElements(
        settings_, settings_.elementOrder ? *settings_.elementOrder : request.requestedTypes);
    const int copies = std::max(settings_.floodCopies, 1);
    std::vector<Reply> replies;
    replies.reserve(static_cast<std::size_t>(copies));
    for (int copy = 0; copy < copies; ++copy) {
        replies.push_back(MakeReply(ReplyFrame(settings_, copy, &elements)));
    }
    return replies;
}

std::vector<Reply> AccessPoint::HandleDatagram(const std::uint8_t* data, std::size_t length,
                                               std::int64_t nowMs) {
    if (SilentAt(nowMs)) {
        return {};
    }
    const DecodedRequest request = DecodeRequest(data, length);
    switch (request.kind) {
        case RequestKind::kDiscovery:
            return AnswerDiscovery(request, nowMs);
        case RequestKind::kSetIpConfiguration:
            if (request.mac != settings_.mac) {
                return {};
            }
            pendingConfiguration_ = request;
            if (!settings_.acknowledgeConfiguration) {
                return {};
            }
            return {MakeReply(Acknowledgement(request))};
        case RequestKind::kReset: {
            if (request.mac != settings_.mac) {
                return {};
            }
            std::vector<Reply> replies;
            if (settings_.acknowledgeReset) {
                replies.push_back(MakeReply(Acknowledgement(request)));
            }
            if (pendingConfiguration_) {
                dhcpClient_ = pendingConfiguration_->dhcpClient;
                if (!dhcpClient_) {
                    settings_.address = pendingConfiguration_->addresses[0];
                } else if (nextDhcpAddress_ < settings_.dhcpPool.size()) {
                    settings_.address = settings_.dhcpPool[nextDhcpAddress_++];
                }
                pendingConfiguration_.reset();
            }
            silentUntilMs_ = nowMs + settings_.silentAfterResetMs;
            return replies;
        }
        case RequestKind::kOther:
            break;
    }
    return {};
}

}  // namespace sim
