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

bool ExchangeAddresses(const ExchangeOptions& options, std::vector<net::LocalAddress>* addresses) {
    if (options.useGivenAddresses) {
        *addresses = options.addresses;
        return true;
    }
    if (ListLocalAddresses(addresses)) {
        return true;
    }
    if (options.report != nullptr) {
        options.report->listingFailed = true;
        options.report->listingError = errno;
    }
    return false;
}

bool ReceiveUntilSilence(
    net::SocketLayer& layer, net::SocketHandle socket, net::Milliseconds firstSend,
    const std::atomic<bool>* cancel, AddressExchange* exchange,
    const std::function<DatagramVerdict(const std::uint8_t*, std::size_t, std::uint32_t)>& take) {
    const net::Milliseconds bound = firstSend + kExchangeBound;
    std::uint8_t datagram[kReceiveBufferLength];
    net::Milliseconds silenceEnds = layer.Now() + kReplySilence;
    for (;;) {
        const net::Milliseconds now = layer.Now();
        if (cancel != nullptr && cancel->load()) {
            exchange->cancelled = true;
            return true;
        }
        if (now >= bound) {
            exchange->reachedBound = true;
            return true;
        }
        net::Milliseconds timeout = std::min(silenceEnds, bound) - now;
        const bool untilSilence = silenceEnds <= bound && cancel == nullptr;
        if (cancel != nullptr) {
            timeout = std::min(timeout, kCancelCheckInterval);
        }
        const net::WaitResult waited = layer.WaitReadable(socket, timeout);
        if (waited == net::WaitResult::kFailed) {
            RecordFailure(exchange, ExchangeStep::kWait);
            return false;
        }
        if (waited == net::WaitResult::kTimedOut) {
            if (untilSilence || layer.Now() >= silenceEnds) {
                return true;
            }
            continue;
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
            continue;
        }
        if (!HasReplyStatus(datagram, length)) {
            ++exchange->ignoredShort;
            continue;
        }
        switch (take(datagram, length, source)) {
            case DatagramVerdict::kIgnored:
                ++exchange->ignoredStatus;
                break;
            case DatagramVerdict::kAccepted:
                ++exchange->repliesAccepted;
                exchange->lastReplyAfter = layer.Now() - firstSend;
                break;
            case DatagramVerdict::kAcceptedAndDone:
                ++exchange->repliesAccepted;
                exchange->lastReplyAfter = layer.Now() - firstSend;
                return true;
        }
    }
}
