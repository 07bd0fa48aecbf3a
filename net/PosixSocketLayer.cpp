#include "net/PosixSocketLayer.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <new>
#include <system_error>
#include <thread>

namespace net {

namespace {

class ThreadWorker final : public Worker {
public:
    ~ThreadWorker() override { Join(); }
    // Throws when the thread cannot be started; the worker is then left without one.
    void Start(std::function<void()> body) { thread_ = std::thread(std::move(body)); }
    void Join() override {
        if (thread_.joinable()) {
            thread_.join();
        }
    }

private:
    std::thread thread_;
};

}  // namespace

bool PosixSocketLayer::ListInterfaceAddresses(std::vector<InterfaceAddress>* addresses) {
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) {
        return false;
    }
    addresses->clear();
    for (const ifaddrs* entry = list; entry != nullptr; entry = entry->ifa_next) {
        if (entry->ifa_addr == nullptr || entry->ifa_addr->sa_family != AF_INET) {
            continue;
        }
        InterfaceAddress address;
        sockaddr_in inet{};
        std::memcpy(&inet, entry->ifa_addr, sizeof inet);
        address.address = inet.sin_addr.s_addr;
        if (entry->ifa_netmask != nullptr) {
            std::memcpy(&inet, entry->ifa_netmask, sizeof inet);
            address.netmask = inet.sin_addr.s_addr;
        }
        address.interfaceIndex = static_cast<int>(if_nametoindex(entry->ifa_name));
        // Gone since getifaddrs saw it. Index 0 would mean "no interface" to every later step:
        // binding to it unties a socket, and filtering by it lets every interface through.
        if (address.interfaceIndex == 0) {
            continue;
        }
        std::strncpy(address.interfaceName, entry->ifa_name, sizeof address.interfaceName - 1);
        address.up = (entry->ifa_flags & IFF_UP) != 0;
        address.running = (entry->ifa_flags & IFF_RUNNING) != 0;
        address.broadcast = (entry->ifa_flags & IFF_BROADCAST) != 0;
        address.loopback = (entry->ifa_flags & IFF_LOOPBACK) != 0;
        addresses->push_back(address);
    }
    freeifaddrs(list);
    return true;
}

SocketHandle PosixSocketLayer::OpenUdpSocket() {
    const int handle = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_UDP);
    return handle < 0 ? kInvalidSocket : handle;
}

bool PosixSocketLayer::EnableBroadcast(SocketHandle socket) {
    const int on = 1;
    return setsockopt(socket, SOL_SOCKET, SO_BROADCAST, &on, sizeof on) == 0;
}

bool PosixSocketLayer::BindToDevice(SocketHandle socket, const LocalAddress& local) {
    const int index = local.interfaceIndex;
    bool bound = false;
    int bindError = ENODEV;
    // Index 0 names no interface: SO_BINDTOIFINDEX would take it as "untie from any device".
    if (index > 0) {
        bound = setsockopt(socket, SOL_SOCKET, SO_BINDTOIFINDEX, &index, sizeof index) == 0 ||
                setsockopt(socket, SOL_SOCKET, SO_BINDTODEVICE, local.interfaceName,
                           static_cast<socklen_t>(
                               strnlen(local.interfaceName, sizeof local.interfaceName))) == 0;
        bindError = errno;
    }
    // The arrival interface is needed either way, to filter when the kernel would not tie it.
    const int on = 1;
    setsockopt(socket, IPPROTO_IP, IP_PKTINFO, &on, sizeof on);
    if (!bound) {
        std::lock_guard<std::mutex> lock(mutex_);
        unboundSockets_.insert({socket, index});
        // The caller reports why the binding failed, not what enabling IP_PKTINFO left behind.
        errno = bindError;
    }
    return bound;
}

bool PosixSocketLayer::BindAnyPort(SocketHandle socket) {
    sockaddr_in any{};
    any.sin_family = AF_INET;
    any.sin_addr.s_addr = htonl(INADDR_ANY);
    any.sin_port = 0;
    return ::bind(socket, reinterpret_cast<const sockaddr*>(&any), sizeof any) == 0;
}

bool PosixSocketLayer::SetReceiveBuffer(SocketHandle socket, int bytes) {
    int current = 0;
    socklen_t size = sizeof current;
    // Never ask for less than the socket already has.
    if (getsockopt(socket, SOL_SOCKET, SO_RCVBUF, &current, &size) == 0 && current >= bytes) {
        return true;
    }
    return setsockopt(socket, SOL_SOCKET, SO_RCVBUF, &bytes, sizeof bytes) == 0;
}

bool PosixSocketLayer::SendFrom(SocketHandle socket, const LocalAddress& local,
                                const std::uint8_t* data, std::size_t length,
                                std::uint32_t destination, std::uint16_t port) {
    sockaddr_in target{};
    target.sin_family = AF_INET;
    target.sin_addr.s_addr = destination;
    target.sin_port = htons(port);
    iovec part{const_cast<std::uint8_t*>(data), length};

    // A limited broadcast is not routed by the socket's bound address here, so the interface and
    // the source address travel with every datagram.
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(in_pktinfo))] = {};
    msghdr message{};
    message.msg_name = &target;
    message.msg_namelen = sizeof target;
    message.msg_iov = &part;
    message.msg_iovlen = 1;
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    cmsghdr* header = CMSG_FIRSTHDR(&message);
    header->cmsg_level = IPPROTO_IP;
    header->cmsg_type = IP_PKTINFO;
    header->cmsg_len = CMSG_LEN(sizeof(in_pktinfo));
    in_pktinfo info{};
    info.ipi_ifindex = local.interfaceIndex;
    info.ipi_spec_dst.s_addr = local.address;
    std::memcpy(CMSG_DATA(header), &info, sizeof info);

    ssize_t written;
    do {
        written = ::sendmsg(socket, &message, MSG_NOSIGNAL);
    } while (written < 0 && errno == EINTR);
    return written == static_cast<ssize_t>(length);
}

WaitResult PosixSocketLayer::WaitReadable(SocketHandle socket, Milliseconds timeout) {
    const auto deadline = Now() + timeout;
    for (;;) {
        const auto left = std::chrono::duration_cast<Milliseconds>(deadline - Now());
        pollfd watched{socket, POLLIN, 0};
        const int ready =
            ::poll(&watched, 1, static_cast<int>(std::max<long long>(0, left.count())));
        if (ready > 0) {
            if ((watched.revents & (POLLERR | POLLNVAL)) != 0 && (watched.revents & POLLIN) == 0) {
                // poll itself sets no errno for a failing socket; its pending error says why.
                int pending = 0;
                socklen_t size = sizeof pending;
                if ((watched.revents & POLLNVAL) != 0) {
                    errno = EBADF;
                } else if (getsockopt(socket, SOL_SOCKET, SO_ERROR, &pending, &size) == 0 &&
                           pending != 0) {
                    errno = pending;
                } else {
                    errno = EIO;
                }
                return WaitResult::kFailed;
            }
            return WaitResult::kReadable;
        }
        if (ready == 0) {
            return WaitResult::kTimedOut;
        }
        if (errno != EINTR) {
            return WaitResult::kFailed;
        }
    }
}

ReceiveResult PosixSocketLayer::Receive(SocketHandle socket, std::uint8_t* buffer,
                                        std::size_t capacity, std::size_t* length,
                                        std::uint32_t* source) {
    sockaddr_in from{};
    iovec part{buffer, capacity};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(in_pktinfo))] = {};
    msghdr message{};
    message.msg_name = &from;
    message.msg_namelen = sizeof from;
    message.msg_iov = &part;
    message.msg_iovlen = 1;
    message.msg_control = control;
    message.msg_controllen = sizeof control;

    // Never blocking: a datagram the wait saw can be gone by now (the kernel drops one whose
    // checksum fails only when it is read), and a blocking read would then hold the exchange past
    // every deadline.
    ssize_t received;
    do {
        received = ::recvmsg(socket, &message, MSG_DONTWAIT);
    } while (received < 0 && errno == EINTR);
    if (received < 0) {
        return errno == EAGAIN || errno == EWOULDBLOCK ? ReceiveResult::kNothing
                                                       : ReceiveResult::kFailed;
    }
    // A datagram longer than the buffer arrives cut to it (MSG_TRUNC); only what was read counts.
    *length = static_cast<std::size_t>(received);
    *source = from.sin_addr.s_addr;

    bool unbound = false;
    int expectedInterface = 0;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (const auto& [handle, index] : unboundSockets_) {
            if (handle == socket) {
                unbound = true;
                expectedInterface = index;
            }
        }
    }
    if (!unbound) {
        return ReceiveResult::kReceived;
    }
    // Not tied by the kernel: only a datagram known to have arrived on the socket's own
    // interface is taken. Without an arrival interface, or with the socket's interface gone
    // (index 0), nothing is.
    for (cmsghdr* header = CMSG_FIRSTHDR(&message); header != nullptr;
         header = CMSG_NXTHDR(&message, header)) {
        if (header->cmsg_level == IPPROTO_IP && header->cmsg_type == IP_PKTINFO) {
            in_pktinfo info{};
            std::memcpy(&info, CMSG_DATA(header), sizeof info);
            return expectedInterface > 0 && info.ipi_ifindex == expectedInterface
                       ? ReceiveResult::kReceived
                       : ReceiveResult::kForeign;
        }
    }
    return ReceiveResult::kForeign;
}

void PosixSocketLayer::Close(SocketHandle socket) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        std::erase_if(unboundSockets_,
                      [socket](const auto& entry) { return entry.first == socket; });
    }
    ::close(socket);
}

void PosixSocketLayer::Sleep(Milliseconds duration) {
    std::this_thread::sleep_for(duration);
}

Milliseconds PosixSocketLayer::Now() {
    return std::chrono::duration_cast<Milliseconds>(
        std::chrono::steady_clock::now().time_since_epoch());
}

std::unique_ptr<Worker> PosixSocketLayer::StartWorker(std::function<void()> body) {
    // The worker is allocated before its thread starts: a running thread whose owner could not be
    // allocated would be destroyed joinable, and that ends the process.
    try {
        auto worker = std::make_unique<ThreadWorker>();
        worker->Start(std::move(body));
        return worker;
    } catch (const std::system_error&) {
        return nullptr;
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

}  // namespace net
