#include "discovery/Exchange.h"

#include <algorithm>
#include <cerrno>

#include "discovery/Frame.h"
#include "discovery/LocalAddresses.h"

const char* ExchangeStepText(ExchangeStep step) noexcept {
    switch (step) {
        case ExchangeStep::kNone:
            return "no step";
        case ExchangeStep::kOpenSocket:
            return "opening a socket";
        case ExchangeStep::kEnableBroadcast:
            return "enabling broadcast";
        case ExchangeStep::kBindPort:
            return "binding to a port";
        case ExchangeStep::kSendRequest:
            return "sending the request";
        case ExchangeStep::kWait:
            return "waiting for replies";
        case ExchangeStep::kReceive:
            return "receiving a reply";
    }
    return "an unknown step";
}

const AddressExchange* ExchangeReport::Failure() const noexcept {
    for (const AddressExchange& exchange : addresses) {
        if (exchange.failed()) {
            return &exchange;
        }
    }
    return nullptr;
}

void RecordFailure(AddressExchange* exchange, ExchangeStep step) noexcept {
    exchange->error = errno;
    exchange->failedStep = step;
}

bool ExchangeAddresses(const ExchangeOptions& options, std::vector<net::LocalAddress>* addresses,
                       ExchangeReport* report) {
    if (options.useGivenAddresses) {
        *addresses = options.addresses;
        return true;
    }
    if (ListLocalAddresses(addresses)) {
        return true;
    }
    if (report != nullptr) {
        report->listingFailed = true;
        report->listingError = errno;
    }
    return false;
}

namespace {

using TakeDatagram =
    std::function<DatagramVerdict(const std::uint8_t*, std::size_t, std::uint32_t)>;

// What one wait for the next datagram ended in.
enum class Wake {
    kReadable,  // a datagram is there to be read
    kAgain,     // nothing yet; the cancellation flag is due for another look
    kOver,      // the silence, the bound or a cancellation ended the exchange
    kFailed,    // the wait failed, as `exchange` records
};

Wake WaitForDatagram(net::SocketLayer& layer, net::SocketHandle socket, net::Milliseconds bound,
                     net::Milliseconds silenceEnds, const std::atomic<bool>* cancel,
                     AddressExchange* exchange) {
    const net::Milliseconds now = layer.Now();
    if (cancel != nullptr && cancel->load()) {
        exchange->cancelled = true;
        return Wake::kOver;
    }
    if (now >= bound) {
        exchange->reachedBound = true;
        return Wake::kOver;
    }
    net::Milliseconds timeout = std::min(silenceEnds, bound) - now;
    const bool untilSilence = silenceEnds <= bound && cancel == nullptr;
    if (cancel != nullptr) {
        timeout = std::min(timeout, kCancelCheckInterval);
    }
    const net::WaitResult waited = layer.WaitReadable(socket, timeout);
    if (waited == net::WaitResult::kFailed) {
        RecordFailure(exchange, ExchangeStep::kWait);
        return Wake::kFailed;
    }
    if (waited == net::WaitResult::kTimedOut) {
        return untilSilence || layer.Now() >= silenceEnds ? Wake::kOver : Wake::kAgain;
    }
    return Wake::kReadable;
}

// Counts a datagram that carries no status, or hands it to `take` and counts its verdict. True
// when `take` says the exchange on this address is over.
bool Judge(net::SocketLayer& layer, const std::uint8_t* datagram, std::size_t length,
           std::uint32_t source, net::Milliseconds firstSend, AddressExchange* exchange,
           const TakeDatagram& take) {
    if (!HasReplyStatus(datagram, length)) {
        ++exchange->ignoredShort;
        return false;
    }
    const DatagramVerdict verdict = take(datagram, length, source);
    if (verdict == DatagramVerdict::kIgnored) {
        ++exchange->ignoredStatus;
        return false;
    }
    ++exchange->repliesAccepted;
    exchange->lastReplyAfter = layer.Now() - firstSend;
    return verdict == DatagramVerdict::kAcceptedAndDone;
}

}  // namespace

bool ReceiveUntilSilence(net::SocketLayer& layer, net::SocketHandle socket,
                         net::Milliseconds firstSend, const std::atomic<bool>* cancel,
                         AddressExchange* exchange, const TakeDatagram& take) {
    const net::Milliseconds bound = firstSend + kExchangeBound;
    std::uint8_t datagram[kReceiveBufferLength];
    net::Milliseconds silenceEnds = layer.Now() + kReplySilence;
    for (;;) {
        switch (WaitForDatagram(layer, socket, bound, silenceEnds, cancel, exchange)) {
            case Wake::kFailed:
                return false;
            case Wake::kOver:
                return true;
            case Wake::kAgain:
                continue;
            case Wake::kReadable:
                break;
        }
        std::size_t length = 0;
        std::uint32_t source = 0;
        const net::ReceiveResult received =
            layer.Receive(socket, datagram, sizeof datagram, &length, &source);
        if (received == net::ReceiveResult::kFailed) {
            RecordFailure(exchange, ExchangeStep::kReceive);
            return false;
        }
        // Gone between the wait and the read: nothing arrived after all.
        if (received == net::ReceiveResult::kNothing) {
            continue;
        }
        // Whatever arrived, a datagram restarts the silence: slow access points are heard.
        silenceEnds = layer.Now() + kReplySilence;
        if (received == net::ReceiveResult::kForeign) {
            ++exchange->ignoredForeign;
        } else if (Judge(layer, datagram, length, source, firstSend, exchange, take)) {
            return true;
        }
    }
}
