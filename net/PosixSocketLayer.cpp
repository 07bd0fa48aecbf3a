#include "net/PosixSocketLayer.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <linux/sock_diag.h>
#include <net/if.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <new>
#include <optional>
#include <system_error>
#include <thread>

#include "net/Datagram.h"

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

// With CAP_NET_ADMIN the buffer may pass net.core.rmem_max. This much holds the replies of some
// ten thousand access points, read or not, and is memory only while they wait to be read.
constexpr int kForcedReceiveBuffer = 16 << 20;

// net.core.rmem_max, the most SO_RCVBUF may ask for without privilege; 0 when unknown.
int ReceiveBufferMaximum() {
    std::ifstream file("/proc/sys/net/core/rmem_max");
    long long value = 0;
    if (!(file >> value) || value <= 0) {
        return 0;
    }
    return static_cast<int>(std::min<long long>(value, 1 << 30));
}

// A label the kernel cannot resolve ("d0:lab" it can) need only begin with its interface's name
// (iproute2's rule): the one interface whose name is a strict beginning of it, or 0 when none or
// several are.
unsigned IndexOfLabel(const char* label) {
    struct if_nameindex* interfaces = if_nameindex();
    if (interfaces == nullptr) {
        return 0;
    }
    const std::size_t labelLength = std::strlen(label);
    unsigned found = 0;
    int matches = 0;
    for (const struct if_nameindex* entry = interfaces; entry->if_index != 0; ++entry) {
        const std::size_t length = std::strlen(entry->if_name);
        if (length < labelLength && std::strncmp(entry->if_name, label, length) == 0) {
            found = entry->if_index;
            ++matches;
        }
    }
    if_freenameindex(interfaces);
    return matches == 1 ? found : 0;
}

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
        // An address added with a label ("d0:lab") is listed under the label, which names no
        // interface to anyone else (-i, rp_filter, SO_BINDTODEVICE): the kernel resolves it to
        // its interface, and the address is named by that.
        unsigned index = if_nametoindex(entry->ifa_name);
        if (index == 0) {
            index = IndexOfLabel(entry->ifa_name);
        }
        address.interfaceIndex = static_cast<int>(index);
        char interfaceName[IF_NAMESIZE] = {};
        // Gone since getifaddrs saw it. Index 0 would mean "no interface" to every later step:
        // binding to it unties a socket, and filtering by it lets every interface through.
        if (address.interfaceIndex == 0 ||
            if_indextoname(static_cast<unsigned>(address.interfaceIndex), interfaceName) ==
                nullptr) {
            continue;
        }
        static_assert(sizeof address.interfaceName == IF_NAMESIZE);
        std::memcpy(address.interfaceName, interfaceName, sizeof address.interfaceName);
        address.interfaceName[sizeof address.interfaceName - 1] = '\0';
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
    // Every datagram read then carries the count of those dropped for want of room, so a burst
    // larger than the buffer is told rather than lost without a word.
    const int on = 1;
    setsockopt(socket, SOL_SOCKET, SO_RXQ_OVFL, &on, sizeof on);
    int current = 0;
    socklen_t size = sizeof current;
    getsockopt(socket, SOL_SOCKET, SO_RCVBUF, &current, &size);
    // Never ask for less than the socket already has.
    const int forced = std::max(bytes, kForcedReceiveBuffer);
    if (current >= forced) {
        return true;
    }
    // Refused (EPERM) without CAP_NET_ADMIN; the ceiling of the unprivileged request is then the
    // system's, which the kernel would impose anyway.
    if (setsockopt(socket, SOL_SOCKET, SO_RCVBUFFORCE, &forced, sizeof forced) == 0) {
        return true;
    }
    const int allowed = std::max(bytes, ReceiveBufferMaximum());
    if (current >= allowed) {
        return true;
    }
    return setsockopt(socket, SOL_SOCKET, SO_RCVBUF, &allowed, sizeof allowed) == 0;
}

bool PosixSocketLayer::SendFrom(SocketHandle socket, const LocalAddress& local,
                                const std::uint8_t* data, std::size_t length,
                                std::uint32_t destination, std::uint16_t port) {
    // A limited broadcast is not routed by the socket's bound address here, so the interface and
    // the source address travel with every datagram.
    return SendWithPacketInfo(socket, data, length, local.address, local.interfaceIndex,
                              destination, port) == static_cast<ssize_t>(length);
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

namespace {

// What the kernel said about a datagram besides its bytes.
struct ArrivalNotes {
    std::optional<int> arrivalInterface;   // IP_PKTINFO
    std::optional<std::uint32_t> dropped;  // SO_RXQ_OVFL: datagrams dropped for a full buffer
};

ArrivalNotes ReadArrivalNotes(msghdr& message) {
    ArrivalNotes notes;
    for (cmsghdr* header = CMSG_FIRSTHDR(&message); header != nullptr;
         header = CMSG_NXTHDR(&message, header)) {
        if (header->cmsg_level == IPPROTO_IP && header->cmsg_type == IP_PKTINFO) {
            in_pktinfo info{};
            std::memcpy(&info, CMSG_DATA(header), sizeof info);
            notes.arrivalInterface = info.ipi_ifindex;
        } else if (header->cmsg_level == SOL_SOCKET && header->cmsg_type == SO_RXQ_OVFL) {
            std::uint32_t dropped = 0;
            std::memcpy(&dropped, CMSG_DATA(header), sizeof dropped);
            notes.dropped = dropped;
        }
    }
    return notes;
}

}  // namespace

ReceiveResult PosixSocketLayer::Receive(SocketHandle socket, std::uint8_t* buffer,
                                        std::size_t capacity, std::size_t* length,
                                        std::uint32_t* source) {
    sockaddr_in from{};
    iovec part{buffer, capacity};
    alignas(cmsghdr) char
        control[CMSG_SPACE(sizeof(in_pktinfo)) + CMSG_SPACE(sizeof(std::uint32_t))] = {};
    msghdr message = DatagramMessage(from, part, control, sizeof control);

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

    const ArrivalNotes notes = ReadArrivalNotes(message);
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
        // The kernel sends the count only once it is above 0; it only grows.
        if (notes.dropped) {
            droppedSeen_[socket] = *notes.dropped;
        }
    }
    if (!unbound) {
        return ReceiveResult::kReceived;
    }
    // Not tied by the kernel: only a datagram known to have arrived on the socket's own
    // interface is taken. Without an arrival interface, or with the socket's interface gone
    // (index 0), nothing is.
    return notes.arrivalInterface && expectedInterface > 0 &&
                   *notes.arrivalInterface == expectedInterface
               ? ReceiveResult::kReceived
               : ReceiveResult::kForeign;
}

std::uint32_t PosixSocketLayer::DroppedByKernel(SocketHandle socket) {
    std::uint32_t seen = 0;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (const auto found = droppedSeen_.find(socket); found != droppedSeen_.end()) {
            seen = found->second;
        }
    }
    // Drops after the last datagram read carry no message; the socket's own counter has them.
    std::uint32_t memory[SK_MEMINFO_VARS] = {};
    socklen_t size = sizeof memory;
    if (getsockopt(socket, SOL_SOCKET, SO_MEMINFO, memory, &size) == 0 &&
        size > SK_MEMINFO_DROPS * sizeof(std::uint32_t)) {
        seen = std::max(seen, memory[SK_MEMINFO_DROPS]);
    }
    return seen;
}

void PosixSocketLayer::Close(SocketHandle socket) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        std::erase_if(unboundSockets_,
                      [socket](const auto& entry) { return entry.first == socket; });
        droppedSeen_.erase(socket);
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

Milliseconds PosixSocketLayer::WallClock() {
    return std::chrono::duration_cast<Milliseconds>(
        std::chrono::system_clock::now().time_since_epoch());
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
