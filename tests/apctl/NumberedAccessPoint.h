#pragma once

#include <cstdint>
#include <string>

#include "net/FakeNetwork.h"
#include "sim/AccessPointModel.h"

namespace apctl_test {

// An access point of the watch tests' fleet: MAC 000A1B1000NN, firmware 010B, 802.11b/g,
// "guest" on channel 6.
inline sim::AccessPointSettings Numbered(int n, const std::string& name,
                                         const std::string& address) {
    sim::AccessPointSettings settings;
    settings.name = name;
    settings.mac = {0x00, 0x0A, 0x1B, 0x10, 0x00, static_cast<std::uint8_t>(n)};
    settings.address = net::AddressFromText(address);
    settings.firmware = {0x01, 0x0B};
    settings.ssidBg = "guest";
    settings.channelBg = 6;
    settings.wirelessMode = 3;
    return settings;
}

}  // namespace apctl_test
