#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace net {

using Milliseconds = std::chrono::milliseconds;

// An IPv4 address of one of this host's interfaces. Addresses are in network byte order.
struct InterfaceAddress {
    std::uint32_t address = 0;
    std::uint32_t netmask = 0;
    int interfaceIndex = 0;
    char interfaceName[16] = {};
    bool up = false;
    bool running = false;
    bool broadcast = false;
    bool loopback = false;
};

// The local address that a request leaves from, with the interface it belongs to.
struct LocalAddress {
    std::uint32_t address = 0;  // network byte order
    int interfaceIndex = 0;
    char interfaceName[16] = {};
};

using SocketHandle = int;
inline constexpr SocketHandle kInvalidSocket = -1;

enum class WaitResult { kReadable, kTimedOut, kFailed };

enum class ReceiveResult {
    kReceived,
    kFailed,
    // A datagram that arrived through another interface than the socket's: read and dropped.
    kForeign,
    // The wait said readable but nothing was there any more (a datagram dropped in between):
    // nothing read, and the exchange goes on waiting.
    kNothing,
};

// A thread started through the layer; Join waits for it to end.
class Worker {
public:
    virtual ~Worker() = default;
    virtual void Join() = 0;
};

// Everything the exchanges need from the operating system: sockets, the passing of time and
// a thread. One implementation talks to the kernel; the fake network stands in for it in tests,
// with virtual time and a fault for any call. A call that fails leaves errno saying why, so
// that a tool can tell the user which step failed and what the system said.
class SocketLayer {
public:
    virtual ~SocketLayer() = default;

    // Every IPv4 address of every interface, in the kernel's order; false when they cannot be
    // listed.
    virtual bool ListInterfaceAddresses(std::vector<InterfaceAddress>* addresses) = 0;

    virtual SocketHandle OpenUdpSocket() = 0;
    virtual bool EnableBroadcast(SocketHandle socket) = 0;
    // Ties the socket to the interface of `local`, so that it hears the broadcast replies of
    // that network and no other. May be refused (older kernels), and always is for interface
    // index 0 (an interface gone since it was listed); the layer then drops replies from other
    // interfaces itself and reports them as kForeign.
    virtual bool BindToDevice(SocketHandle socket, const LocalAddress& local) = 0;
    // Binds to the wildcard address and any free port.
    virtual bool BindAnyPort(SocketHandle socket) = 0;
    // Asks for the largest receive buffer the process may have, at least `bytes`, never shrinking
    // the system's default, and starts counting the datagrams dropped because it was full.
    virtual bool SetReceiveBuffer(SocketHandle socket, int bytes) = 0;
    // Sends one datagram out of the interface of `local`, with `local` as its source address.
    virtual bool SendFrom(SocketHandle socket, const LocalAddress& local, const std::uint8_t* data,
                          std::size_t length, std::uint32_t destination, std::uint16_t port) = 0;
    virtual WaitResult WaitReadable(SocketHandle socket, Milliseconds timeout) = 0;
    // Reads one datagram, cut to `capacity` bytes, without ever blocking. `source` is in network
    // byte order.
    virtual ReceiveResult Receive(SocketHandle socket, std::uint8_t* buffer, std::size_t capacity,
                                  std::size_t* length, std::uint32_t* source) = 0;
    // Datagrams the system dropped for this open socket so far because its receive buffer was
    // full; 0 where that is not known.
    virtual std::uint32_t DroppedByKernel(SocketHandle socket) {
        static_cast<void>(socket);
        return 0;
    }
    virtual void Close(SocketHandle socket) = 0;

    virtual void Sleep(Milliseconds duration) = 0;
    // A monotonic clock on the same time line as WaitReadable and Sleep.
    virtual Milliseconds Now() = 0;
    // The wall clock, in milliseconds since the Unix epoch: what a log line or a metric is
    // stamped with. It may jump (the administrator or NTP sets it); measure durations with Now.
    virtual Milliseconds WallClock() = 0;
    // Null when the thread cannot be started.
    virtual std::unique_ptr<Worker> StartWorker(std::function<void()> body) = 0;
};

// The layer the exchanges use. There is none until a program installs one, so that nothing can
// reach a real network by accident: without a layer every exchange fails.
SocketLayer* ActiveSocketLayer() noexcept;
void InstallSocketLayer(SocketLayer* layer) noexcept;

// Installs a layer for the life of a scope and puts the previous one back.
class ScopedSocketLayer {
public:
    explicit ScopedSocketLayer(SocketLayer* layer) noexcept;
    ~ScopedSocketLayer();
    ScopedSocketLayer(const ScopedSocketLayer&) = delete;
    ScopedSocketLayer& operator=(const ScopedSocketLayer&) = delete;

private:
    SocketLayer* previous_;
};

// Closes a socket through its layer when the scope ends, unless released.
class SocketGuard {
public:
    SocketGuard(SocketLayer& layer, SocketHandle socket) noexcept
        : layer_(layer), socket_(socket) {}
    ~SocketGuard() {
        if (socket_ != kInvalidSocket) {
            layer_.Close(socket_);
        }
    }
    SocketGuard(const SocketGuard&) = delete;
    SocketGuard& operator=(const SocketGuard&) = delete;
    SocketHandle get() const noexcept { return socket_; }

private:
    SocketLayer& layer_;
    SocketHandle socket_;
};

// Dotted-decimal text of an address in network byte order, into a buffer of at least 16 bytes.
void FormatDottedQuad(std::uint32_t address, char* text, std::size_t capacity) noexcept;

inline constexpr std::uint32_t kLimitedBroadcast = 0xFFFFFFFFu;

}  // namespace net
