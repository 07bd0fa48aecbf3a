#include "net/SocketLayer.h"

#include <atomic>
#include <cstdio>
#include <cstring>

namespace net {

namespace {
std::atomic<SocketLayer*> g_activeLayer{nullptr};
}  // namespace

SocketLayer* ActiveSocketLayer() noexcept {
    return g_activeLayer.load();
}

void InstallSocketLayer(SocketLayer* layer) noexcept {
    g_activeLayer.store(layer);
}

ScopedSocketLayer::ScopedSocketLayer(SocketLayer* layer) noexcept
    : previous_(g_activeLayer.exchange(layer)) {}

ScopedSocketLayer::~ScopedSocketLayer() {
    g_activeLayer.store(previous_);
}

void FormatDottedQuad(std::uint32_t address, char* text, std::size_t capacity) noexcept {
    std::uint8_t octets[4];
    std::memcpy(octets, &address, sizeof octets);
    std::snprintf(text, capacity, "%u.%u.%u.%u", octets[0], octets[1], octets[2], octets[3]);
}

}  // namespace net
