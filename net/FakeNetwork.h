#pragma once

#include <cerrno>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "net/SocketLayer.h"
#include "sim/AccessPointModel.h"

namespace net {

// Where the fake network's wall clock stands at virtual time 0: 2025-12-09T08:46:40Z.
inline constexpr Milliseconds kFakeWallClockStart{1765270000000};

// An in-process network of simulated access points on virtual time, standing in for the
// operating system in tests. Virtual time moves only when every thread taking part (the caller
// and the workers it started) is blocked in a wait, a sleep or a join; it then jumps to the next
// deadline or delivery. A 4-second silence costs microseconds, and runs are deterministic.
// Every call can be made to fail, and everything sent is recorded.
class FakeNetwork final : public SocketLayer {
public:
    enum class Call {
        kListInterfaces,
        kOpen,
        kEnableBroadcast,
        kBindToDevice,
        kBindAnyPort,
        kSetReceiveBuffer,
        kSend,
        kWait,
        kReceive,
        kStartWorker,
    };

    struct SentDatagram {
        std::int64_t timeMs = 0;
        SocketHandle socket = kInvalidSocket;
        LocalAddress from;
        std::uint32_t destination = 0;
        std::uint16_t port = 0;
        std::vector<std::uint8_t> bytes;
    };

    struct Delivery {
        int delayMs = 0;
        std::uint32_t source = 0;  // network byte order
        std::vector<std::uint8_t> bytes;
        // Makes the socket readable, then is gone when read (kNothing), as a datagram the kernel
        // drops between the wait and the read.
        bool vanishes = false;
    };

    // Answers what was sent on an interface; called with the virtual time of the send.
    using Responder = std::function<std::vector<Delivery>(const SentDatagram&, std::int64_t)>;

    FakeNetwork();
    ~FakeNetwork() override;
    FakeNetwork(const FakeNetwork&) = delete;
    FakeNetwork& operator=(const FakeNetwork&) = delete;

    // An up, running, broadcast-capable interface with one address; returns its index.
    int AddInterface(const std::string& name, const std::string& address,
                     const std::string& netmask = "255.255.255.0");
    // Any interface entry as the system would list it, for the address filter's tests.
    void AddInterfaceEntry(const InterfaceAddress& entry);
    // Takes the link of an interface down (no longer up or running) or brings it back.
    void SetLinkUp(int interfaceIndex, bool up);
    // Removes the addresses of an interface from the listing, or lists them again.
    void SetAddressListed(int interfaceIndex, bool listed);
    // Whether an access point hears a request of this kind sent at this virtual time.
    using Hearing = std::function<bool(sim::RequestKind, std::int64_t nowMs)>;
    // A simulated access point on the network of interface `interfaceIndex`; with `hears`, one
    // that misses the requests it says no to (a lossy link, a reboot that takes a while).
    sim::AccessPoint& AddAccessPoint(int interfaceIndex, sim::AccessPointSettings settings,
                                     Hearing hears = {});
    void AddResponder(int interfaceIndex, Responder responder);

    // Each socket holds at most this many unread datagrams and counts the ones that arrive while
    // it is full, as a full receive buffer does; 0 (the default) means no limit.
    void SetReceiveQueueLimit(int datagrams);

    // The nth call (counting from 1) of this kind fails, leaving `error` in errno; 0 makes every
    // call fail.
    void FailCall(Call call, int nth = 0, int error = EIO);

    // Observations.
    std::vector<SentDatagram> sent() const;
    int CallCount(Call call) const;
    int socketsOpened() const;
    int socketsClosed() const;
    int openSockets() const;
    int doubleCloses() const;
    int workersStarted() const;
    int workersJoined() const;
    int sendsOnClosedSockets() const;
    std::int64_t NowMs() const;
    // For each socket opened so far, how many calls of each kind had been made before it: the
    // first call of a kind made for the k-th socket is number CallCountsAtOpen()[k][call] + 1.
    std::vector<std::map<Call, int>> CallCountsAtOpen() const;

    // SocketLayer.
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
    // The virtual time on a wall clock that starts at kFakeWallClockStart.
    Milliseconds WallClock() override;
    std::unique_ptr<Worker> StartWorker(std::function<void()> body) override;

private:
    class FakeWorker;
    struct WorkerState;
    struct Waiter;
    struct Socket;
    struct Pending;

    bool Fails(Call call);  // counts the call; caller holds the lock
    Socket* Find(SocketHandle socket);
    void Block(std::unique_lock<std::mutex>& lock, Waiter& waiter);
    void AdvanceWhileIdle();
    void DeliverDue();
    void WakeSatisfied();
    void FinishWorker(WorkerState& state);
    void JoinWorker(WorkerState& state);

    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::int64_t nowMs_ = 0;
    int active_ = 1;  // the calling thread takes part from the start
    std::vector<Waiter*> waiters_;
    std::multimap<std::int64_t, Pending> pending_;
    std::vector<InterfaceAddress> interfaces_;
    std::vector<InterfaceAddress> unlisted_;
    std::vector<std::unique_ptr<sim::AccessPoint>> accessPoints_;
    std::multimap<int, Responder> responders_;
    std::map<SocketHandle, Socket> sockets_;
    SocketHandle nextSocket_ = 3;
    std::size_t receiveQueueLimit_ = 0;
    std::map<Call, int> callCounts_;
    std::vector<std::map<Call, int>> callCountsAtOpen_;
    struct Failure {
        int nth = 0;
        int error = 0;
    };
    std::map<Call, std::vector<Failure>> failures_;
    std::vector<SentDatagram> sent_;
    int socketsOpened_ = 0;
    int socketsClosed_ = 0;
    int doubleCloses_ = 0;
    int workersStarted_ = 0;
    int workersJoined_ = 0;
    int sendsOnClosedSockets_ = 0;
};

// Address text to network byte order, for tests and fixtures.
std::uint32_t AddressFromText(const std::string& dotted);

}  // namespace net
