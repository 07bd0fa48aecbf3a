#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "discovery/Exchange.h"
#include "discovery/LocalAddresses.h"
#include "fleet/Discovery.h"
#include "fleet/Session.h"
#include "fleet/Text.h"
#include "tools/apctl/ApctlCommand.h"
#include "tools/apctl/ApctlRun.h"

// The local networks as apctl shows and chooses them.
namespace apctl {

// What --interface takes: an interface with an address of one of these uses. The shells'
// completions offer only those interfaces.
inline constexpr AddressUse kSelectableUses[] = {AddressUse::kUsable, AddressUse::kBeyondLimit};

// Fills the options' addresses from --interface: the usable addresses of the named interfaces in
// the kernel's order, at most ten. An unknown interface, or one without a usable address, is a
// usage error naming it. Returns an exit status: kExitSuccess to go on.
int SelectAddresses(const Command& command, ExchangeOptions* options, std::ostream& err);

// The one session of a run: the networks chosen with --interface, --parallel and the stop.
fleet::Session SessionFor(const Command& command, const ExchangeOptions& networks,
                          const RunContext& context);

// apctl interfaces: every IPv4 address of every interface and whether the exchanges use it.
int ListInterfaces(const Command& command, std::ostream& out, std::ostream& err);

// The interface name of a listed address, as the kernel's bytes.
std::string NameOf(const net::InterfaceAddress& entry);

using fleet::AddressText;
using fleet::FailureText;

// When the exchange failed, says so on `err` for every failed address and returns true.
bool ReportFailure(const std::string& what, const ExchangeReport& report, std::ostream& err);

// Why a discovery that did not complete failed, a line per failed network, each line starting
// "apctl: ".
std::string DiscoveryFailureText(const fleet::DiscoveryRun& run);

// discover --verbose: one line per local address, then warnings a person can act on.
void ReportExchanges(const ExchangeReport& report, int found, const RunContext& context,
                     std::ostream& err);

// "apctl: warning: lan0: 312 replies dropped by the kernel (receive buffer full); ...": once per
// interface whose exchanges lost any, each line after `prefix`.
void WarnKernelDrops(const std::vector<AddressExchange>& exchanges, std::ostream& err,
                     const std::string& prefix = "");

// The effective rp_filter of an interface from /proc, or -1.
int ReadReversePathFilter(const std::string& interfaceName);
// The same from a directory laid out as /proc/sys/net/ipv4/conf: the larger of "all" and the
// interface's own value, the kernel applying both.
int ReadReversePathFilterIn(const std::string& confDirectory, const std::string& interfaceName);

}  // namespace apctl
