#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "discovery/DeviceRecord.h"
#include "discovery/Exchange.h"
#include "net/SocketLayer.h"

// What the resend worker needs; it must stay valid, and the socket open, until the worker has
// been joined.
struct ResendParams {
    net::SocketLayer* layer = nullptr;
    net::SocketHandle socket = net::kInvalidSocket;
    const net::LocalAddress* local = nullptr;
    const std::uint8_t* request = nullptr;
    std::size_t requestLength = 0;
    std::uint32_t destination = 0;  // network byte order
    std::uint16_t port = 0;
    std::atomic<int>* sent = nullptr;           // counts the repeats that went out, when set
    const std::atomic<bool>* cancel = nullptr;  // no more repeats once set and true
};

// Pause before each repeat of the discovery request.
inline constexpr net::Milliseconds kResendInterval{600};
inline constexpr int kResendCount = 2;

// Sends the request twice more, 600 ms apart, ignoring the outcome. Returns 0.
int ResendWorker(ResendParams* params);

// Where an exchange puts each accepted reply, in order of arrival: the window's fixed table, or
// a tool's list that grows as replies come.
class ReplySink {
public:
    virtual ~ReplySink() = default;
    virtual void Add(const DeviceRecord& record) = 0;
    // An empty sink of the same kind, for one address of a parallel exchange; null without memory.
    virtual std::unique_ptr<ReplySink> Fresh() const = 0;
    // Adds what this sink holds to `target`, in the order it was added here.
    virtual void ReplayInto(ReplySink& target) const = 0;
};

// Broadcasts the discovery request from every local address and turns every accepted reply into
// a record of `replyTable`, from index 0 on, in order of arrival. Returns 1 and sets `count` on
// completion; returns 0 and leaves `count` untouched when a socket step fails on any address.
int BroadcastDiscovery(DeviceTable* replyTable, int* count);

// The same exchange under a caller's choices: the local addresses, all at once or one after the
// other, cancellation, and a report of what happened on each address. With parallel exchanges
// every address is tried even when one fails; the result is 0 if any failed.
int BroadcastDiscoveryWith(const ExchangeOptions& options, DeviceTable* replyTable, int* count,
                           const std::atomic<bool>* cancel = nullptr,
                           ExchangeReport* report = nullptr);

// The same exchange with every accepted reply going to `sink`. Returns 1 on completion (also when
// there is no address to use) and 0 when a socket step failed on any address or memory ran out.
int BroadcastDiscoveryInto(const ExchangeOptions& options, ReplySink* sink,
                           const std::atomic<bool>* cancel = nullptr,
                           ExchangeReport* report = nullptr);
