#pragma once

#include "discovery/Exchange.h"
#include "net/SocketLayer.h"

// Receive-buffer size asked for on every request socket. A burst of replies arrives while the
// previous ones are parsed, and a small buffer would drop most of a large fleet's answers; the
// layer never shrinks the system's default.
inline constexpr int kRequestSocketReceiveBuffer = 1 << 20;

// A UDP socket ready to broadcast requests from `local` and hear the replies of its network:
// broadcasting enabled, tied to the address's interface where the system allows it, bound to
// any free port. Invalid when any required step fails; the socket is then already closed and
// `exchange` names the step.
net::SocketHandle OpenRequestSocket(net::SocketLayer& layer, const net::LocalAddress& local,
                                    AddressExchange* exchange);
