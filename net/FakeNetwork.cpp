#include "net/FakeNetwork.h"

#include <arpa/inet.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <limits>
#include <thread>

namespace net {

namespace {
constexpr std::int64_t kNever = std::numeric_limits<std::int64_t>::max();
}  // namespace

struct FakeNetwork::Socket {
    bool open = true;
    struct Queued {
        std::uint32_t source;
        std::vector<std::uint8_t> bytes;
        bool vanishes = false;
    };
    std::deque<Queued> queue;
    std::uint32_t dropped = 0;
};

struct FakeNetwork::Pending {
    SocketHandle socket;
    std::uint32_t source;
    std::vector<std::uint8_t> bytes;
    bool vanishes = false;
};

struct FakeNetwork::WorkerState {
    std::thread thread;
    bool finished = false;
    bool joined = false;
};

struct FakeNetwork::Waiter {
    std::int64_t deadline = kNever;
    SocketHandle socket = kInvalidSocket;
    WorkerState* joinTarget = nullptr;
    bool woken = false;
};

class FakeNetwork::FakeWorker final : public Worker {
public:
    FakeWorker(FakeNetwork& network, std::unique_ptr<WorkerState> state)
        : network_(network), state_(std::move(state)) {}
    ~FakeWorker() override { Join(); }
    void Join() override { network_.JoinWorker(*state_); }
    WorkerState& state() { return *state_; }

private:
    FakeNetwork& network_;
    std::unique_ptr<WorkerState> state_;
};

FakeNetwork::FakeNetwork() = default;
FakeNetwork::~FakeNetwork() = default;

bool FakeNetwork::Fails(Call call) {
    const int count = ++callCounts_[call];
    const auto found = failures_.find(call);
    if (found == failures_.end()) {
        return false;
    }
    for (const Failure& failure : found->second) {
        if (failure.nth == 0 || failure.nth == count) {
            errno = failure.error;
            return true;
        }
    }
    return false;
}

FakeNetwork::Socket* FakeNetwork::Find(SocketHandle socket) {
    const auto found = sockets_.find(socket);
    return found == sockets_.end() || !found->second.open ? nullptr : &found->second;
}

std::vector<FakeNetwork::SentDatagram> FakeNetwork::sent() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return sent_;
}

int FakeNetwork::CallCount(Call call) const {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto found = callCounts_.find(call);
    return found == callCounts_.end() ? 0 : found->second;
}

#define AP_FAKE_COUNTER(name)                     \
    int FakeNetwork::name() const {               \
        std::lock_guard<std::mutex> lock(mutex_); \
        return name##_;                           \
    }
AP_FAKE_COUNTER(socketsOpened)
AP_FAKE_COUNTER(socketsClosed)
AP_FAKE_COUNTER(doubleCloses)
AP_FAKE_COUNTER(workersStarted)
AP_FAKE_COUNTER(workersJoined)
AP_FAKE_COUNTER(sendsOnClosedSockets)
#undef AP_FAKE_COUNTER

int FakeNetwork::openSockets() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return socketsOpened_ - socketsClosed_;
}

std::vector<std::map<FakeNetwork::Call, int>> FakeNetwork::CallCountsAtOpen() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return callCountsAtOpen_;
}

std::int64_t FakeNetwork::NowMs() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return nowMs_;
}

bool FakeNetwork::ListInterfaceAddresses(std::vector<InterfaceAddress>* addresses) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (Fails(Call::kListInterfaces)) {
        return false;
    }
    *addresses = interfaces_;
    return true;
}

SocketHandle FakeNetwork::OpenUdpSocket() {
    std::lock_guard<std::mutex> lock(mutex_);
    callCountsAtOpen_.push_back(callCounts_);
    if (Fails(Call::kOpen)) {
        return kInvalidSocket;
    }
    const SocketHandle handle = nextSocket_++;
    sockets_[handle] = Socket{};
    ++socketsOpened_;
    return handle;
}

bool FakeNetwork::EnableBroadcast(SocketHandle socket) {
    std::lock_guard<std::mutex> lock(mutex_);
    return !Fails(Call::kEnableBroadcast) && Find(socket) != nullptr;
}

bool FakeNetwork::BindToDevice(SocketHandle socket, const LocalAddress& /*local*/) {
    std::lock_guard<std::mutex> lock(mutex_);
    return !Fails(Call::kBindToDevice) && Find(socket) != nullptr;
}

bool FakeNetwork::BindAnyPort(SocketHandle socket) {
    std::lock_guard<std::mutex> lock(mutex_);
    return !Fails(Call::kBindAnyPort) && Find(socket) != nullptr;
}

bool FakeNetwork::SetReceiveBuffer(SocketHandle socket, int) {
    std::lock_guard<std::mutex> lock(mutex_);
    return !Fails(Call::kSetReceiveBuffer) && Find(socket) != nullptr;
}

bool FakeNetwork::SendFrom(SocketHandle socket, const LocalAddress& local, const std::uint8_t* data,
                           std::size_t length, std::uint32_t destination, std::uint16_t port) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (Fails(Call::kSend)) {
        return false;
    }
    if (Find(socket) == nullptr) {
        ++sendsOnClosedSockets_;
        return false;
    }
    SentDatagram datagram{nowMs_,      socket, local,
                          destination, port,   std::vector<std::uint8_t>(data, data + length)};
    sent_.push_back(datagram);
    const auto [first, last] = responders_.equal_range(local.interfaceIndex);
    for (auto it = first; it != last; ++it) {
        for (Delivery& delivery : it->second(datagram, nowMs_)) {
            pending_.emplace(
                nowMs_ + std::max(delivery.delayMs, 0),
                Pending{socket, delivery.source, std::move(delivery.bytes), delivery.vanishes});
        }
    }
    DeliverDue();
    WakeSatisfied();
    return true;
}

WaitResult FakeNetwork::WaitReadable(SocketHandle socket, Milliseconds timeout) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (Fails(Call::kWait)) {
        return WaitResult::kFailed;
    }
    Socket* found = Find(socket);
    if (found == nullptr) {
        return WaitResult::kFailed;
    }
    if (found->queue.empty()) {
        Waiter waiter;
        waiter.deadline = nowMs_ + timeout.count();
        waiter.socket = socket;
        Block(lock, waiter);
        found = Find(socket);
    }
    return found != nullptr && !found->queue.empty() ? WaitResult::kReadable
                                                     : WaitResult::kTimedOut;
}

ReceiveResult FakeNetwork::Receive(SocketHandle socket, std::uint8_t* buffer, std::size_t capacity,
                                   std::size_t* length, std::uint32_t* source) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (Fails(Call::kReceive)) {
        return ReceiveResult::kFailed;
    }
    Socket* found = Find(socket);
    if (found == nullptr || found->queue.empty()) {
        return ReceiveResult::kFailed;
    }
    Socket::Queued datagram = std::move(found->queue.front());
    found->queue.pop_front();
    if (datagram.vanishes) {
        return ReceiveResult::kNothing;
    }
    *length = std::min(capacity, datagram.bytes.size());
    if (*length > 0) {
        std::memcpy(buffer, datagram.bytes.data(), *length);
    }
    *source = datagram.source;
    return ReceiveResult::kReceived;
}

std::uint32_t FakeNetwork::DroppedByKernel(SocketHandle socket) {
    std::lock_guard<std::mutex> lock(mutex_);
    const Socket* found = Find(socket);
    return found == nullptr ? 0 : found->dropped;
}

void FakeNetwork::Close(SocketHandle socket) {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto found = sockets_.find(socket);
    if (found == sockets_.end() || !found->second.open) {
        ++doubleCloses_;
        return;
    }
    found->second.open = false;
    found->second.queue.clear();
    ++socketsClosed_;
}

void FakeNetwork::Sleep(Milliseconds duration) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (duration.count() <= 0) {
        return;
    }
    Waiter waiter;
    waiter.deadline = nowMs_ + duration.count();
    Block(lock, waiter);
}

Milliseconds FakeNetwork::Now() {
    std::lock_guard<std::mutex> lock(mutex_);
    return Milliseconds{nowMs_};
}

Milliseconds FakeNetwork::WallClock() {
    return kFakeWallClockStart + Now();
}

std::unique_ptr<Worker> FakeNetwork::StartWorker(std::function<void()> body) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (Fails(Call::kStartWorker)) {
        return nullptr;
    }
    auto state = std::make_unique<WorkerState>();
    WorkerState* raw = state.get();
    // The worker takes part from now on, so time cannot run ahead of it before it starts.
    ++active_;
    ++workersStarted_;
    lock.unlock();
    raw->thread = std::thread([this, raw, work = std::move(body)] {
        work();
        FinishWorker(*raw);
    });
    return std::make_unique<FakeWorker>(*this, std::move(state));
}

void FakeNetwork::FinishWorker(WorkerState& state) {
    std::lock_guard<std::mutex> lock(mutex_);
    state.finished = true;
    --active_;
    WakeSatisfied();
    AdvanceWhileIdle();
}

void FakeNetwork::JoinWorker(WorkerState& state) {
    {
        std::unique_lock<std::mutex> lock(mutex_);
        if (state.joined) {
            return;
        }
        state.joined = true;
        ++workersJoined_;
        if (!state.finished) {
            Waiter waiter;
            waiter.joinTarget = &state;
            Block(lock, waiter);
        }
    }
    state.thread.join();
}

void FakeNetwork::Block(std::unique_lock<std::mutex>& lock, Waiter& waiter) {
    waiters_.push_back(&waiter);
    --active_;
    WakeSatisfied();
    AdvanceWhileIdle();
    wake_.wait(lock, [&waiter] { return waiter.woken; });
    waiters_.erase(std::find(waiters_.begin(), waiters_.end(), &waiter));
}

void FakeNetwork::AdvanceWhileIdle() {
    while (active_ == 0) {
        std::int64_t next = pending_.empty() ? kNever : pending_.begin()->first;
        for (const Waiter* waiter : waiters_) {
            if (!waiter->woken) {
                next = std::min(next, waiter->deadline);
            }
        }
        if (next == kNever) {
            std::fprintf(stderr, "FakeNetwork: every thread waits and nothing is due\n");
            std::abort();
        }
        nowMs_ = std::max(nowMs_, next);
        DeliverDue();
        WakeSatisfied();
    }
}

void FakeNetwork::DeliverDue() {
    while (!pending_.empty() && pending_.begin()->first <= nowMs_) {
        Pending due = std::move(pending_.begin()->second);
        pending_.erase(pending_.begin());
        if (Socket* socket = Find(due.socket)) {
            if (receiveQueueLimit_ > 0 && socket->queue.size() >= receiveQueueLimit_) {
                ++socket->dropped;
                continue;
            }
            socket->queue.push_back({due.source, std::move(due.bytes), due.vanishes});
        }
    }
}

void FakeNetwork::WakeSatisfied() {
    bool any = false;
    for (Waiter* waiter : waiters_) {
        if (waiter->woken) {
            continue;
        }
        const Socket* socket = waiter->socket != kInvalidSocket ? Find(waiter->socket) : nullptr;
        const bool readable = socket != nullptr && !socket->queue.empty();
        const bool joined = waiter->joinTarget != nullptr && waiter->joinTarget->finished;
        if (readable || joined || nowMs_ >= waiter->deadline) {
            waiter->woken = true;
            ++active_;
            any = true;
        }
    }
    if (any) {
        wake_.notify_all();
    }
}

}  // namespace net
