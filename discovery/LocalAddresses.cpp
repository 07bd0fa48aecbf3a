#include "discovery/LocalAddresses.h"

#include <cerrno>
#include <cstring>

namespace {

AddressUse UseOf(const net::InterfaceAddress& entry) {
    if (entry.loopback) {
        return AddressUse::kLoopback;
    }
    if (!entry.up) {
        return AddressUse::kDown;
    }
    if (!entry.running) {
        return AddressUse::kNoCarrier;
    }
    if (!entry.broadcast) {
        return AddressUse::kNoBroadcast;
    }
    // Index 0 would tie a socket to every interface instead of this one.
    if (entry.interfaceIndex <= 0) {
        return AddressUse::kVanished;
    }
    return AddressUse::kUsable;
}

}  // namespace

const char* AddressUseText(AddressUse use) noexcept {
    switch (use) {
        case AddressUse::kUsable:
            return "usable";
        case AddressUse::kDown:
            return "down";
        case AddressUse::kNoCarrier:
            return "no carrier";
        case AddressUse::kNoBroadcast:
            return "no broadcast";
        case AddressUse::kLoopback:
            return "loopback";
        case AddressUse::kVanished:
            return "interface gone";
        case AddressUse::kBeyondLimit:
            return "beyond the first ten";
    }
    return "unknown";
}

bool ClassifyInterfaceAddresses(std::vector<ClassifiedAddress>* addresses) {
    addresses->clear();
    net::SocketLayer* layer = net::ActiveSocketLayer();
    if (layer == nullptr) {
        errno = ENETDOWN;
        return false;
    }
    std::vector<net::InterfaceAddress> interfaces;
    if (!layer->ListInterfaceAddresses(&interfaces)) {
        return false;
    }
    int usable = 0;
    for (const net::InterfaceAddress& entry : interfaces) {
        ClassifiedAddress classified{entry, UseOf(entry)};
        if (classified.use == AddressUse::kUsable && ++usable > kMaxLocalAddresses) {
            classified.use = AddressUse::kBeyondLimit;
        }
        addresses->push_back(classified);
    }
    return true;
}

net::LocalAddress LocalAddressOf(const net::InterfaceAddress& entry) {
    net::LocalAddress local;
    local.address = entry.address;
    local.interfaceIndex = entry.interfaceIndex;
    std::memcpy(local.interfaceName, entry.interfaceName, sizeof local.interfaceName);
    local.interfaceName[sizeof local.interfaceName - 1] = '\0';
    return local;
}

bool ListLocalAddresses(std::vector<net::LocalAddress>* addresses) {
    addresses->clear();
    std::vector<ClassifiedAddress> classified;
    if (!ClassifyInterfaceAddresses(&classified)) {
        return false;
    }
    for (const ClassifiedAddress& candidate : classified) {
        if (candidate.use != AddressUse::kUsable) {
            continue;
        }
        addresses->push_back(LocalAddressOf(candidate.entry));
    }
    return true;
}

void GetLocalAddresses(net::LocalAddress (&addresses)[kMaxLocalAddresses], int* count) {
    *count = 0;
    std::vector<net::LocalAddress> listed;
    if (!ListLocalAddresses(&listed)) {
        return;
    }
    for (const net::LocalAddress& local : listed) {
        addresses[(*count)++] = local;
    }
}
