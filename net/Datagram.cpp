#include "net/Datagram.h"

#include <arpa/inet.h>

#include <cerrno>
#include <cstring>

namespace net {

msghdr DatagramMessage(sockaddr_in& peer, iovec& part, void* control, std::size_t controlSize) {
    msghdr message{};
    message.msg_name = &peer;
    message.msg_namelen = sizeof peer;
    message.msg_iov = &part;
    message.msg_iovlen = 1;
    message.msg_control = control;
    message.msg_controllen = controlSize;
    return message;
}

ssize_t SendWithPacketInfo(int socket, const std::uint8_t* data, std::size_t length,
                           std::uint32_t source, int interfaceIndex, std::uint32_t destination,
                           std::uint16_t port) {
    sockaddr_in target{};
    target.sin_family = AF_INET;
    target.sin_addr.s_addr = destination;
    target.sin_port = htons(port);
    iovec part{const_cast<std::uint8_t*>(data), length};

    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(in_pktinfo))] = {};
    msghdr message = DatagramMessage(target, part, control, sizeof control);
    cmsghdr* header = CMSG_FIRSTHDR(&message);
    header->cmsg_level = IPPROTO_IP;
    header->cmsg_type = IP_PKTINFO;
    header->cmsg_len = CMSG_LEN(sizeof(in_pktinfo));
    in_pktinfo info{};
    info.ipi_ifindex = interfaceIndex;
    info.ipi_spec_dst.s_addr = source;
    std::memcpy(CMSG_DATA(header), &info, sizeof info);

    ssize_t written;
    do {
        written = ::sendmsg(socket, &message, MSG_NOSIGNAL);
    } while (written < 0 && errno == EINTR);
    return written;
}

}  // namespace net
