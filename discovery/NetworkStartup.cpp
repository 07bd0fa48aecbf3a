#include "discovery/NetworkStartup.h"

#include "discovery/DiscoverDevices.h"
#include "net/SocketLayer.h"

namespace {
int g_socketsStarted = 0;
}  // namespace

void NetworkStartup() {
    if (g_socketsStarted == 1) {
        return;
    }
    // Linux sockets need no start-up; the layer counts as started when it can make a socket.
    net::SocketLayer* layer = net::ActiveSocketLayer();
    if (layer == nullptr) {
        return;
    }
    const net::SocketHandle probe = layer->OpenUdpSocket();
    if (probe != net::kInvalidSocket) {
        layer->Close(probe);
        g_socketsStarted = 1;
    }
}

void NetworkCleanup() {
    ReleaseMergedTable();
}

int SocketsStarted() noexcept {
    return g_socketsStarted;
}
