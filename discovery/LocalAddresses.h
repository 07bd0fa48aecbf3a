#pragma once

#include <vector>

#include "net/SocketLayer.h"

inline constexpr int kMaxLocalAddresses = 10;

// Why an interface address is, or is not, one an exchange broadcasts from.
enum class AddressUse {
    kUsable,
    kDown,
    kNoCarrier,
    kNoBroadcast,
    kLoopback,
    // The interface went away between listing and use: its index is unknown.
    kVanished,
    kBeyondLimit,  // usable, but after the first ten
};

// "usable", "down", "no carrier", ...
const char* AddressUseText(AddressUse use) noexcept;

struct ClassifiedAddress {
    net::InterfaceAddress entry;
    AddressUse use = AddressUse::kUsable;
};

// Every IPv4 address of every interface in the kernel's order, each with its use. False, with
// errno set, when there is no socket layer or the interfaces cannot be listed.
bool ClassifyInterfaceAddresses(std::vector<ClassifiedAddress>* addresses);

// The addresses an exchange broadcasts from, at most 10; false as above.
// The local address an exchange sends from, for an interface's address as listed.
net::LocalAddress LocalAddressOf(const net::InterfaceAddress& entry);

bool ListLocalAddresses(std::vector<net::LocalAddress>* addresses);

// The IPv4 addresses this host can broadcast from: interfaces that are up, have a carrier, can
// broadcast and are not loopback, in the kernel's order, at most 10 (further ones are left out).
// The count is 0 when there is no socket layer or the interfaces cannot be listed.
void GetLocalAddresses(net::LocalAddress (&addresses)[kMaxLocalAddresses], int* count);
