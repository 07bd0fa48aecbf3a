#pragma once

#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/types.h>

#include <cstddef>
#include <cstdint>

namespace net {

// The message sendmsg and recvmsg take for one datagram to or from `peer`: its bytes in `part`,
// room for ancillary data in `control`.
msghdr DatagramMessage(sockaddr_in& peer, iovec& part, void* control, std::size_t controlSize);

// Sends one datagram to `destination`:`port` (address in network byte order, port in host order)
// out of the interface `interfaceIndex` with `source` as its source address (IP_PKTINFO): a
// limited broadcast is not routed by the socket's bound address, and a reply to a host on no
// subnet of the sender has to leave on the link the request came in on, with no route at all.
// Retries when a signal interrupts it and never raises SIGPIPE. Returns what sendmsg returns: the
// bytes written, or -1 with errno set.
ssize_t SendWithPacketInfo(int socket, const std::uint8_t* data, std::size_t length,
                           std::uint32_t source, int interfaceIndex, std::uint32_t destination,
                           std::uint16_t port);

}  // namespace net
