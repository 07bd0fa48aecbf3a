#pragma once

#include "net/SocketLayer.h"

inline constexpr int kMaxLocalAddresses = 10;

// The IPv4 addresses this host can broadcast from: interfaces that are up, have a carrier, can
// broadcast and are not loopback, in the kernel's order, at most 10 (further ones are left out).
// The count is 0 when there is no socket layer or the interfaces cannot be listed.
void GetLocalAddresses(net::LocalAddress (&addresses)[kMaxLocalAddresses], int* count);
