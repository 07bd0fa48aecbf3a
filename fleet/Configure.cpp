#include "fleet/Configure.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "config/ConfigExchange.h"
#include "fleet/Discovery.h"

namespace fleet {

namespace {

bool SameAddress(const net::LocalAddress& a, const net::LocalAddress& b) {
    return a.address == b.address && a.interfaceIndex == b.interfaceIndex;
}

// The session's addresses with `first` moved to the front; `first` is kept even when the listing
// no longer shows it, since the access point answered there.
ExchangeOptions Ordered(const std::vector<net::LocalAddress>& listed,
                        const std::optional<net::LocalAddress>& first) {
    ExchangeOptions options;
    options.useGivenAddresses = true;
    if (first) {
        options.addresses.push_back(*first);
    }
    for (const net::LocalAddress& local : listed) {
        if (!first || !SameAddress(local, *first)) {
            options.addresses.push_back(local);
        }
    }
    return options;
}

int Sent(const ExchangeReport& report) {
    int sent = 0;
    for (const AddressExchange& exchange : report.addresses) {
        sent += exchange.requestsSent;
    }
    return sent;
}

std::optional<net::LocalAddress> Acknowledger(const ExchangeReport& report) {
    for (const AddressExchange& exchange : report.addresses) {
        if (exchange.repliesAccepted > 0) {
            return exchange.local;
        }
    }
    return std::nullopt;
}

}  // namespace

ConfigureResult Configure(const Session& session, const PlanRow& row, const Route& route) {
    ConfigureResult result;
    const ExchangeOptions listing = session.Exchange();
    std::vector<net::LocalAddress> listed;
    if (!ExchangeAddresses(listing, &listed, &result.report)) {
        return result;
    }
    ExchangeOptions options = Ordered(listed, route.first);
    options.parallel = route.allAtOnce && !route.first;
    const char* const nullText = "NULL";
    const int set = row.dhcpClient
                        ? SendIpSettingsWith(options, 1, row.macText.c_str(), nullText, nullText,
                                             nullText, nullText, nullptr, &result.report)
                        : SendIpSettingsWith(options, 0, row.macText.c_str(), row.ipAddress.c_str(),
                                             row.subnetMask.c_str(), row.gateway.c_str(),
                                             row.dnsServer.c_str(), nullptr, &result.report);
    result.requestsSent += Sent(result.report);
    if (set == 0) {
        return result;
    }
    result.acknowledgedOn = Acknowledger(result.report);
    PauseBeforeReset();
    // Without a route the reset keeps the order of the configuration, as the window's does.
    const bool routed = route.first.has_value() || route.allAtOnce;
    ExchangeOptions reset = Ordered(listed, routed ? result.acknowledgedOn : std::nullopt);
    result.report = ExchangeReport{};
    const int wasReset = SendResetWith(reset, row.macText.c_str(), nullptr, &result.report);
    result.requestsSent += Sent(result.report);
    result.outcome = wasReset != 0 ? ConfigureResult::Outcome::kConfigured
                                   : ConfigureResult::Outcome::kResetFailed;
    return result;
}

std::string ConfigureFailureText(const ConfigureResult& result) {
    if (result.outcome == ConfigureResult::Outcome::kConfigured) {
        return "";
    }
    const std::string what = result.outcome == ConfigureResult::Outcome::kSetFailed
                                 ? "the configuration request"
                                 : "the reset request";
    const AddressExchange* failure = result.report.Failure();
    return failure != nullptr ? FailureText(what, *failure) : what + " was not acknowledged";
}

}  // namespace fleet
