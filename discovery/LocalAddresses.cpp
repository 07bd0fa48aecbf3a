#include "discovery/LocalAddresses.h"

#include <cstring>
#include <vector>

void GetLocalAddresses(net::LocalAddress (&addresses)[kMaxLocalAddresses], int* count) {
    *count = 0;
    net::SocketLayer* layer = net::ActiveSocketLayer();
    if (layer == nullptr) {
        return;
    }
    std::vector<net::InterfaceAddress> interfaces;
    if (!layer->ListInterfaceAddresses(&interfaces)) {
        return;
    }
    int found = 0;
    for (const net::InterfaceAddress& entry : interfaces) {
        if (found == kMaxLocalAddresses) {
            break;
        }
        // Index 0: the interface went away while it was being listed; a socket tied to it would
        // be tied to none.
        if (!entry.up || !entry.running || !entry.broadcast || entry.loopback ||
            entry.interfaceIndex <= 0) {
            continue;
        }
        net::LocalAddress& local = addresses[found++];
        local.address = entry.address;
        local.interfaceIndex = entry.interfaceIndex;
        std::memcpy(local.interfaceName, entry.interfaceName, sizeof local.interfaceName);
        local.interfaceName[sizeof local.interfaceName - 1] = '\0';
    }
    *count = found;
}
