#pragma once

#include <optional>
#include <string>

#include "discovery/Exchange.h"
#include "fleet/Plan.h"
#include "fleet/Session.h"
#include "net/SocketLayer.h"

// One access point's change of configuration: the request, the pause and the reset, on the
// session's networks, in the order that reaches it soonest.
namespace fleet {

// Which local address a request goes to first.
struct Route {
    // Where the access point answered in a discovery: tried first, the others in the session's
    // order only when no acknowledgement came there.
    std::optional<net::LocalAddress> first;
    // With no address to go by: the configuration goes to every local address at once, the first
    // acknowledgement wins, and the reset goes first where it came from.
    bool allAtOnce = false;
};

struct ConfigureResult {
    enum class Outcome { kConfigured, kSetFailed, kResetFailed };
    Outcome outcome = Outcome::kSetFailed;
    // The exchanges of the last request sent, in the order they were tried.
    ExchangeReport report;
    // The local address that acknowledged the configuration; empty before that.
    std::optional<net::LocalAddress> acknowledgedOn;
    int requestsSent = 0;  // configuration and reset requests, over every address
};

// Sends `row`'s settings (its MAC, mode and addresses; `line` is not read) and then the reset.
// Never cancelled by the session's stop: an access point left between its configuration and its
// reset would hold settings it was never told to use.
ConfigureResult Configure(const Session& session, const PlanRow& row, const Route& route = {});

// "the configuration request failed on ...", or that it was not acknowledged; empty when
// configured.
std::string ConfigureFailureText(const ConfigureResult& result);

}  // namespace fleet
