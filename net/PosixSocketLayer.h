#pragma once

#include <map>
#include <mutex>
#include <set>

#include "net/SocketLayer.h"

namespace net {

// The socket layer on the Linux kernel. Each request socket is tied to the interface of its
// local address and bound to the wildcard address: a socket bound to a specific address never
// hears broadcast replies, and access points on a foreign subnet often can answer no other way.
class PosixSocketLayer final : public SocketLayer {
public:
    bool ListInterfaceAddresses(std::vector<InterfaceAddress>* addresses) override;
    SocketHandle OpenUdpSocket() override;
    bool EnableBroadcast(SocketHandle socket) override;
    bool BindToDevice(SocketHandle socket, const LocalAddress& local) override;
    bool BindAnyPort(SocketHandle socket) override;
    bool SetReceiveBuffer(SocketHandle socket, int bytes) override;
    bool SendFrom(SocketHandle socket, const LocalAddress& local, const std::uint8_t* data,
                  std::size_t length, std::uint32_t destination, std::uint16_t port) override;
    WaitResult WaitReadable(SocketHandle socket, Milliseconds timeout) override;
    ReceiveResult Receive(SocketHandle socket, std::uint8_t* buffer, std::size_t capacity,
                          std::size_t* length, std::uint32_t* source) override;
    std::uint32_t DroppedByKernel(SocketHandle socket) override;
    void Close(SocketHandle socket) override;
    void Sleep(Milliseconds duration) override;
    Milliseconds Now() override;
    Milliseconds WallClock() override;
    std::unique_ptr<Worker> StartWorker(std::function<void()> body) override;

private:
    // Sockets the kernel would not tie to their interface, with the interface they belong to:
    // their replies are filtered by arrival interface instead.
    std::mutex mutex_;
    std::set<std::pair<SocketHandle, int>> unboundSockets_;
    // The kernel's drop counter as the last datagram read from each socket carried it.
    std::map<SocketHandle, std::uint32_t> droppedSeen_;
};

}  // namespace net
