// One datagram sent with its interface and source address named, on the loopback interface only:
// the receiver must see the bytes, the port and the source address asked for, and an interface
// that does not exist must fail the send rather than let routing pick another.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <net/if.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <vector>

#include "net/Datagram.h"

namespace {

std::uint32_t Address(const char* text) {
    in_addr address{};
    EXPECT_EQ(inet_pton(AF_INET, text, &address), 1) << text;
    return address.s_addr;
}

struct Socket {
    int fd = socket(AF_INET, SOCK_DGRAM, 0);
    ~Socket() { close(fd); }
};

TEST(PacketInfoSend, ReachesTheReceiverFromTheNamedSourceOrFailsOnAnUnknownInterface) {
    const int loopback = static_cast<int>(if_nametoindex("lo"));
    ASSERT_GT(loopback, 0) << "no loopback interface";
    Socket receiver;
    sockaddr_in bound{};
    bound.sin_family = AF_INET;
    bound.sin_addr.s_addr = Address("127.0.0.1");
    ASSERT_EQ(bind(receiver.fd, reinterpret_cast<sockaddr*>(&bound), sizeof bound), 0);
    socklen_t size = sizeof bound;
    ASSERT_EQ(getsockname(receiver.fd, reinterpret_cast<sockaddr*>(&bound), &size), 0);
    const std::uint16_t port = ntohs(bound.sin_port);

    struct Case {
        const char* what;
        const char* source;
        int interfaceIndex;
        bool arrives;
    };
    const Case cases[] = {
        {"the interface's own address", "127.0.0.1", loopback, true},
        {"another address of the interface", "127.0.0.2", loopback, true},
        {"no interface named: routing picks it", "127.0.0.3", 0, true},
        {"an interface that does not exist", "127.0.0.1", 0x7fffff, false},
    };
    Socket sender;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::vector<std::uint8_t> bytes{0x01, 0x00, 0xfe, static_cast<std::uint8_t>(port)};
        errno = 0;
        const ssize_t sent =
            net::SendWithPacketInfo(sender.fd, bytes.data(), bytes.size(), Address(c.source),
                                    c.interfaceIndex, Address("127.0.0.1"), port);
        if (!c.arrives) {
            EXPECT_EQ(sent, -1);
            EXPECT_TRUE(errno == ENODEV || errno == ENXIO) << std::strerror(errno);
            continue;
        }
        ASSERT_EQ(sent, static_cast<ssize_t>(bytes.size())) << std::strerror(errno);
        pollfd watched{receiver.fd, POLLIN, 0};
        ASSERT_EQ(poll(&watched, 1, 2000), 1) << "nothing arrived";
        std::uint8_t received[16] = {};
        sockaddr_in from{};
        socklen_t fromSize = sizeof from;
        const ssize_t length = recvfrom(receiver.fd, received, sizeof received, 0,
                                        reinterpret_cast<sockaddr*>(&from), &fromSize);
        ASSERT_EQ(length, static_cast<ssize_t>(bytes.size()));
        EXPECT_EQ(std::vector<std::uint8_t>(received, received + length), bytes);
        EXPECT_EQ(from.sin_addr.s_addr, Address(c.source));
    }
}

}  // namespace
