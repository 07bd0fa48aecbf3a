#include "config/ConfigExchange.h"

#include <atomic>
#include <cstddef>
#include <cstring>
#include <memory>
#include <vector>

#include "discovery/Exchange.h"
#include "discovery/Frame.h"
#include "discovery/HexBytes.h"
#include "discovery/LocalAddresses.h"
#include "discovery/RequestSocket.h"

namespace {

constexpr std::size_t kMacLength = 6;
constexpr std::size_t kDhcpRequestLength = 20;
constexpr std::size_t kFixedRequestLength = 48;
constexpr std::size_t kResetRequestLength = 16;
constexpr std::size_t kLargestRequest = kFixedRequestLength;

struct Request {
    std::uint8_t bytes[kLargestRequest] = {};
    std::size_t length = 0;
};

// Header and target MAC; every configuration request starts like this.
void BeginRequest(Request* request, std::size_t length, const char (&tag)[6], const char* macText) {
    request->length = length;
    // The MAC text is read through a copy of its first 12 characters, so a short text can never
    // make the parser read past its end.
    char mac[2 * kMacLength + 1] = {};
    std::strncpy(mac, macText, 2 * kMacLength);
    WriteRequestHeader(request->bytes, kOpcodeConfiguration, length, tag);
    ParseHexBytes(mac, request->bytes + kRequestHeaderLength, static_cast<int>(kMacLength));
}

std::size_t PutElement(std::uint8_t* at, std::uint16_t type, const std::uint8_t* value,
                       std::size_t valueLength) {
    at[0] = static_cast<std::uint8_t>(type & 0xFF);
    at[1] = static_cast<std::uint8_t>(type >> 8);
    at[2] = static_cast<std::uint8_t>(kElementHeaderLength + valueLength);
    std::memcpy(at + kElementHeaderLength, value, valueLength);
    return kElementHeaderLength + valueLength;
}

// Where a request was sent from, and what came back there.
struct Attempt {
    AddressExchange* exchange = nullptr;
    net::SocketHandle socket = net::kInvalidSocket;
    net::Milliseconds firstSend{0};
    bool completed = false;
};

// Opens a socket on `local` and sends the request once. False when a socket step failed, which
// `exchange` records.
bool SendOnce(net::SocketLayer& layer, const Request& request, const net::LocalAddress& local,
              AddressExchange* exchange, net::SocketHandle* socket, net::Milliseconds* firstSend) {
    exchange->local = local;
    *socket = OpenRequestSocket(layer, local, exchange);
    if (*socket == net::kInvalidSocket) {
        return false;
    }
    *firstSend = layer.Now();
    if (!layer.SendFrom(*socket, local, request.bytes, request.length, net::kLimitedBroadcast,
                        kAccessPointPort)) {
        RecordFailure(exchange, ExchangeStep::kSendRequest);
        return false;
    }
    exchange->requestsSent = 1;
    return true;
}

DatagramVerdict TakeAcknowledgement(const std::uint8_t* datagram, std::size_t length) {
    return IsAcknowledgement(datagram, length) ? DatagramVerdict::kAcceptedAndDone
                                               : DatagramVerdict::kIgnored;
}

// The request from every local address at once, each on its own socket and thread: the first
// acknowledgement ends the others' waits. 1 when one came; 0 otherwise or when a socket step
// failed anywhere.
int ExchangeRequestAtOnce(net::SocketLayer& layer, const Request& request,
                          const std::vector<net::LocalAddress>& addresses,
                          std::vector<AddressExchange>* exchanges) {
    exchanges->assign(addresses.size(), AddressExchange{});
    std::vector<Attempt> attempts(addresses.size());
    bool sent = true;
    for (std::size_t i = 0; i < addresses.size() && sent; ++i) {
        attempts[i].exchange = &(*exchanges)[i];
        sent = SendOnce(layer, request, addresses[i], attempts[i].exchange, &attempts[i].socket,
                        &attempts[i].firstSend);
    }
    std::atomic<bool> acknowledged{false};
    const auto wait = [&layer, &acknowledged](Attempt* attempt) {
        attempt->completed = ReceiveUntilSilence(
            layer, attempt->socket, attempt->firstSend, &acknowledged, attempt->exchange,
            [&acknowledged](const std::uint8_t* datagram, std::size_t length, std::uint32_t) {
                const DatagramVerdict verdict = TakeAcknowledgement(datagram, length);
                if (verdict == DatagramVerdict::kAcceptedAndDone) {
                    acknowledged = true;
                }
                return verdict;
            });
    };
    if (sent) {
        std::vector<std::unique_ptr<net::Worker>> workers;
        for (std::size_t i = 1; i < attempts.size(); ++i) {
            Attempt* attempt = &attempts[i];
            workers.push_back(layer.StartWorker([&wait, attempt] { wait(attempt); }));
            // Without a thread this address is heard after the first one.
        }
        wait(&attempts[0]);
        for (std::size_t i = 1; i < attempts.size(); ++i) {
            if (workers[i - 1]) {
                workers[i - 1]->Join();
            } else {
                wait(&attempts[i]);
            }
        }
    }
    for (const Attempt& attempt : attempts) {
        if (attempt.socket != net::kInvalidSocket) {
            layer.Close(attempt.socket);
        }
        sent = sent && attempt.completed;
        // Another address's acknowledgement ended this wait: that is no cancellation.
        if (attempt.exchange != nullptr) {
            attempt.exchange->cancelled = false;
        }
    }
    return sent && acknowledged.load() ? 1 : 0;
}

// Sends the request once from each local address in turn and waits on each for an
// acknowledgement until 4 s pass without any datagram. 1 at the first acknowledgement; 0 when no
// address brought one or a socket step failed.
int ExchangeRequest(const Request& request, const ExchangeOptions& options,
                    const std::atomic<bool>* cancel, ExchangeReport* report) {
    std::vector<net::LocalAddress> addresses;
    net::SocketLayer* active = net::ActiveSocketLayer();
    if (active == nullptr || !ExchangeAddresses(options, &addresses, report) || addresses.empty()) {
        return 0;
    }
    net::SocketLayer& layer = *active;
    std::vector<AddressExchange> exchanges;
    // Written back on every way out, so a caller learns which address failed and how.
    struct ReportOnExit {
        ExchangeReport* report;
        std::vector<AddressExchange>& exchanges;
        ~ReportOnExit() {
            if (report != nullptr) {
                report->addresses = std::move(exchanges);
            }
        }
    } reportOnExit{report, exchanges};

    if (options.parallel && addresses.size() > 1) {
        return ExchangeRequestAtOnce(layer, request, addresses, &exchanges);
    }
    for (const net::LocalAddress& local : addresses) {
        exchanges.emplace_back();
        AddressExchange& exchange = exchanges.back();
        const net::Milliseconds began = layer.Now();
        net::SocketHandle opened = net::kInvalidSocket;
        net::Milliseconds firstSend{0};
        const bool sent = SendOnce(layer, request, local, &exchange, &opened, &firstSend);
        net::SocketGuard socket(layer, opened);
        if (!sent) {
            return 0;
        }
        const bool completed = ReceiveUntilSilence(
            layer, socket.get(), firstSend, cancel, &exchange,
            [](const std::uint8_t* datagram, std::size_t length, std::uint32_t) {
                return TakeAcknowledgement(datagram, length);
            });
        exchange.duration = layer.Now() - began;
        if (!completed) {
            return 0;
        }
        if (exchange.repliesAccepted > 0) {
            return 1;
        }
        if (exchange.cancelled) {
            return 0;
        }
    }
    return 0;
}

bool ParseOctet(const char** text, std::uint8_t* octet) {
    unsigned value = 0;
    int digits = 0;
    while (**text >= '0' && **text <= '9') {
        if (++digits > 3) {
            return false;
        }
        value = value * 10 + static_cast<unsigned>(**text - '0');
        ++*text;
    }
    if (digits == 0 || value > 255) {
        return false;
    }
    *octet = static_cast<std::uint8_t>(value);
    return true;
}

}  // namespace

bool ParseDecimalDottedQuad(const char* text, std::uint32_t* address) {
    if (text == nullptr) {
        return false;
    }
    std::uint8_t octets[4];
    for (int i = 0; i < 4; ++i) {
        if (i > 0 && *text++ != '.') {
            return false;
        }
        if (!ParseOctet(&text, &octets[i])) {
            return false;
        }
    }
    if (*text != '\0') {
        return false;
    }
    std::memcpy(address, octets, sizeof octets);
    return true;
}

bool IsContiguousSubnetMask(std::uint32_t mask) {
    std::uint8_t octets[4];
    std::memcpy(octets, &mask, sizeof octets);
    const std::uint32_t hostOrder = (std::uint32_t{octets[0]} << 24) |
                                    (std::uint32_t{octets[1]} << 16) |
                                    (std::uint32_t{octets[2]} << 8) | std::uint32_t{octets[3]};
    // Ones from the left then zeros: the inverted mask plus one is a power of two.
    const std::uint32_t hostBits = ~hostOrder;
    return hostOrder != 0 && (hostBits & (hostBits + 1)) == 0;
}

std::string SubnetMaskError(const std::string& text) {
    return "mask: not a contiguous subnet mask: " + text;
}

int SendIpSettings(int dhcpClient, const char* macText, const char* ipAddress,
                   const char* subnetMask, const char* gateway, const char* dnsServer) {
    return SendIpSettingsWith(ExchangeOptions{}, dhcpClient, macText, ipAddress, subnetMask,
                              gateway, dnsServer);
}

int SendIpSettingsWith(const ExchangeOptions& options, int dhcpClient, const char* macText,
                       const char* ipAddress, const char* subnetMask, const char* gateway,
                       const char* dnsServer, const std::atomic<bool>* cancel,
                       ExchangeReport* report) {
    Request request;
    if (dhcpClient != 0) {
        BeginRequest(&request, kDhcpRequestLength, "aaab:", macText);
        const std::uint8_t mode = 1;
        PutElement(request.bytes + kRequestHeaderLength + kMacLength, kElementAddressMode, &mode,
                   1);
        return ExchangeRequest(request, options, cancel, report);
    }

    const char* const texts[] = {ipAddress, subnetMask, gateway, dnsServer};
    static constexpr std::uint16_t kTypes[] = {kElementIpAddress, kElementSubnetMask,
                                               kElementGateway, kElementDnsServer};
    std::uint32_t addresses[4];
    for (int i = 0; i < 4; ++i) {
        // The all-ones address is refused too: no access point can be given it.
        if (!ParseDecimalDottedQuad(texts[i], &addresses[i]) ||
            addresses[i] == net::kLimitedBroadcast) {
            return 0;
        }
    }
    BeginRequest(&request, kFixedRequestLength, "aaab:", macText);
    std::size_t at = kRequestHeaderLength + kMacLength;
    const std::uint8_t mode = 0;
    at += PutElement(request.bytes + at, kElementAddressMode, &mode, 1);
    for (int i = 0; i < 4; ++i) {
        std::uint8_t value[4];
        std::memcpy(value, &addresses[i], sizeof value);
        at += PutElement(request.bytes + at, kTypes[i], value, sizeof value);
    }
    return ExchangeRequest(request, options, cancel, report);
}

int SendReset(const char* macText) {
    return SendResetWith(ExchangeOptions{}, macText);
}

int SendResetWith(const ExchangeOptions& options, const char* macText,
                  const std::atomic<bool>* cancel, ExchangeReport* report) {
    Request request;
    BeginRequest(&request, kResetRequestLength, "aaac:", macText);
    return ExchangeRequest(request, options, cancel, report);
}

void PauseBeforeReset() {
    if (net::SocketLayer* layer = net::ActiveSocketLayer()) {
        layer->Sleep(kPauseBeforeReset);
    }
}

ConfigureOutcome ConfigureAndReset(int dhcpClient, const char* macText, const char* ipAddress,
                                   const char* subnetMask, const char* gateway,
                                   const char* dnsServer) {
    return ConfigureAndResetWith(ExchangeOptions{}, dhcpClient, macText, ipAddress, subnetMask,
                                 gateway, dnsServer);
}

ConfigureOutcome ConfigureAndResetWith(const ExchangeOptions& options, int dhcpClient,
                                       const char* macText, const char* ipAddress,
                                       const char* subnetMask, const char* gateway,
                                       const char* dnsServer, const std::atomic<bool>* cancel,
                                       ExchangeReport* report) {
    if (SendIpSettingsWith(options, dhcpClient, macText, ipAddress, subnetMask, gateway, dnsServer,
                           cancel, report) == 0) {
        return ConfigureOutcome::kSetFailed;
    }
    PauseBeforeReset();
    return SendResetWith(options, macText, cancel, report) != 0 ? ConfigureOutcome::kSuccess
                                                                : ConfigureOutcome::kResetFailed;
}
