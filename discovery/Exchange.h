#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "net/SocketLayer.h"

// What the exchanges on the access points' port share beyond the frames: which local addresses
// to use, how long one may last, and what happened on each address, so that a tool can say why
// an exchange failed or why nothing answered.

// Silence that ends the wait for replies on one local address.
inline constexpr net::Milliseconds kReplySilence{4000};

// Every datagram restarts the silence, so anyone on the network who sends a few bytes to the
// request's port more often than every 4 s could keep an exchange, and the window waiting on it,
// going for ever. Slow access points must still be heard, so the silence rule stays, and this
// bounds the exchange on one local address from its first send, keeping what was received.
inline constexpr net::Milliseconds kExchangeBound{20000};

// How often a wait looks at a cancellation flag.
inline constexpr net::Milliseconds kCancelCheckInterval{200};

enum class ExchangeStep {
    kNone,
    kOpenSocket,
    kEnableBroadcast,
    kBindPort,
    kSendRequest,
    kWait,
    kReceive,
};

// "opening a socket", "sending the request", ...: the step as a person reads it.
const char* ExchangeStepText(ExchangeStep step) noexcept;

// One local address's part of an exchange.
struct AddressExchange {
    net::LocalAddress local;
    int requestsSent = 0;
    int repliesAccepted = 0;
    // Datagrams that were read and not taken: a status the exchange does not accept, fewer bytes
    // than a status needs, or arrival through another interface.
    int ignoredStatus = 0;
    int ignoredShort = 0;
    int ignoredForeign = 0;
    // Datagrams the system dropped before they could be read: the receive buffer was full.
    std::uint32_t droppedByKernel = 0;
    // From the first send; negative when no reply was accepted.
    net::Milliseconds lastReplyAfter{-1};
    net::Milliseconds duration{0};
    bool reachedBound = false;
    bool cancelled = false;
    ExchangeStep failedStep = ExchangeStep::kNone;
    int error = 0;  // errno of the failed step

    bool failed() const noexcept { return failedStep != ExchangeStep::kNone; }
};

struct ExchangeReport {
    bool listingFailed = false;  // the interfaces could not be listed
    int listingError = 0;
    // The addresses in the order they were used; an address never reached is not listed.
    std::vector<AddressExchange> addresses;

    // The first address whose exchange failed, or null.
    const AddressExchange* Failure() const noexcept;
};

// Choices a caller beyond the window may make; the defaults are the window's behaviour. The
// exchanges take beside them, as arguments of their own, a cancellation flag (when set and true,
// waits end early and the exchange stops, keeping what was received) and a report to fill.
struct ExchangeOptions {
    // The local addresses to use, in this order; empty means every address GetLocalAddresses
    // gives.
    std::vector<net::LocalAddress> addresses;
    bool useGivenAddresses = false;
    // Run the exchanges of all local addresses at the same time: a discovery hears every
    // network at once; a configuration request takes the first acknowledgement.
    bool parallel = false;
};

// The local addresses an exchange uses under these options; false when they cannot be listed
// (recorded in the report, when given).
bool ExchangeAddresses(const ExchangeOptions& options, std::vector<net::LocalAddress>* addresses,
                       ExchangeReport* report = nullptr);

enum class DatagramVerdict {
    kAccepted,         // taken; keep waiting for more
    kAcceptedAndDone,  // taken; the exchange on this address is over
    kIgnored,          // status not accepted
};

// Receives on `socket` until kReplySilence passes without a datagram, kExchangeBound passes
// since `firstSend`, or the cancellation flag is set. Each datagram that arrived through the
// socket's own interface and carries a status goes to `take`. False when a socket step failed,
// which `exchange` then names.
bool ReceiveUntilSilence(
    net::SocketLayer& layer, net::SocketHandle socket, net::Milliseconds firstSend,
    const std::atomic<bool>* cancel, AddressExchange* exchange,
    const std::function<DatagramVerdict(const std::uint8_t*, std::size_t, std::uint32_t)>& take);

// Records the failed step with the errno the layer left.
void RecordFailure(AddressExchange* exchange, ExchangeStep step) noexcept;
