#include "tools/apctl/ApctlNetworks.h"

#include <algorithm>
#include <bit>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iomanip>
#include <sstream>
#include <vector>

#include "discovery/LocalAddresses.h"
#include "tools/apctl/ApctlFormat.h"

namespace apctl {

namespace {

std::string Seconds(net::Milliseconds duration) {
    return SecondsText(static_cast<double>(duration.count()) / 1000.0) + " s";
}

bool Usable(AddressUse use) {
    return std::find(std::begin(kSelectableUses), std::end(kSelectableUses), use) !=
           std::end(kSelectableUses);
}

}  // namespace

std::string NameOf(const net::InterfaceAddress& entry) {
    return std::string(entry.interfaceName,
                       strnlen(entry.interfaceName, sizeof entry.interfaceName));
}

fleet::Session SessionFor(const Command& command, const ExchangeOptions& networks,
                          const RunContext& context) {
    fleet::Session session;
    session.networks = networks.addresses;
    session.useGivenAddresses = networks.useGivenAddresses;
    session.parallel = command.parallel;
    session.stop = context.stop;
    return session;
}

int SelectAddresses(const Command& command, ExchangeOptions* options, std::ostream& err) {
    if (command.interfaces.empty()) {
        return kExitSuccess;
    }
    std::vector<ClassifiedAddress> classified;
    if (!ClassifyInterfaceAddresses(&classified)) {
        err << "apctl: cannot list the network interfaces: " << std::strerror(errno) << "\n";
        return kExitFailed;
    }
    for (const std::string& name : command.interfaces) {
        const ClassifiedAddress* refused = nullptr;
        bool usable = false;
        for (const ClassifiedAddress& candidate : classified) {
            if (NameOf(candidate.entry) == name) {
                usable = usable || Usable(candidate.use);
                refused = refused != nullptr ? refused : &candidate;
            }
        }
        if (refused == nullptr) {
            err << "apctl: interface " << InterfaceNameText(name)
                << ": no such interface, or it has no IPv4 address\n";
            return kExitUsage;
        }
        if (!usable) {
            err << "apctl: interface " << InterfaceNameText(name) << ": no usable IPv4 address ("
                << AddressUseText(refused->use) << ")\n";
            return kExitUsage;
        }
    }
    options->useGivenAddresses = true;
    options->addresses.clear();
    for (const ClassifiedAddress& candidate : classified) {
        const bool named = std::find(command.interfaces.begin(), command.interfaces.end(),
                                     NameOf(candidate.entry)) != command.interfaces.end();
        if (!named || !Usable(candidate.use) ||
            options->addresses.size() == static_cast<std::size_t>(kMaxLocalAddresses)) {
            continue;
        }
        options->addresses.push_back(LocalAddressOf(candidate.entry));
    }
    return kExitSuccess;
}

bool ReportFailure(const std::string& what, const ExchangeReport& report, std::ostream& err) {
    bool failed = false;
    for (const AddressExchange& exchange : report.addresses) {
        if (exchange.failed()) {
            err << "apctl: " << FailureText(what, exchange) << "\n";
            failed = true;
        }
    }
    return failed;
}

std::string DiscoveryFailureText(const fleet::DiscoveryRun& run) {
    if (run.status == fleet::DiscoveryRun::Status::kListingFailed) {
        return std::string("apctl: cannot list the network interfaces: ") +
               std::strerror(run.report.listingError) + "\n";
    }
    std::ostringstream text;
    if (!ReportFailure("discovery", run.report, text)) {
        text << "apctl: discovery failed\n";
    }
    return text.str();
}

int ReadReversePathFilter(const std::string& interfaceName) {
    return ReadReversePathFilterIn("/proc/sys/net/ipv4/conf", interfaceName);
}

int ReadReversePathFilterIn(const std::string& confDirectory, const std::string& interfaceName) {
    const auto read = [&confDirectory](const std::string& name) {
        // A name with a slash could walk out of the directory; kernels allow none.
        if (name.find('/') != std::string::npos || name == "." || name == "..") {
            return -1;
        }
        std::ifstream file(confDirectory + "/" + name + "/rp_filter");
        int value = -1;
        return file >> value ? value : -1;
    };
    const int all = read("all");
    const int own = read(interfaceName);
    // The kernel applies the larger of the two.
    return std::max(all, own);
}

void WarnKernelDrops(const std::vector<AddressExchange>& exchanges, std::ostream& err,
                     const std::string& prefix) {
    std::vector<std::pair<std::string, unsigned long long>> perInterface;
    for (const AddressExchange& e : exchanges) {
        if (e.droppedByKernel == 0) {
            continue;
        }
        const std::string name = e.local.interfaceName;
        auto found = std::find_if(perInterface.begin(), perInterface.end(),
                                  [&name](const auto& entry) { return entry.first == name; });
        if (found == perInterface.end()) {
            perInterface.emplace_back(name, 0);
            found = perInterface.end() - 1;
        }
        found->second += e.droppedByKernel;
    }
    for (const auto& [name, dropped] : perInterface) {
        err << prefix << "apctl: warning: " << InterfaceNameText(name) << ": " << dropped
            << (dropped == 1 ? " reply" : " replies")
            << " dropped by the kernel (receive buffer full); raise net.core.rmem_max, see "
               "README, Troubleshooting\n";
    }
}

void ReportExchanges(const ExchangeReport& report, int found, const RunContext& context,
                     std::ostream& err) {
    // No usable address at all is said by the command itself, once, verbose or not.
    bool anyReply = false;
    for (const AddressExchange& e : report.addresses) {
        const int ignored = e.ignoredStatus + e.ignoredShort + e.ignoredForeign;
        err << "apctl: " << InterfaceNameText(e.local.interfaceName) << " "
            << AddressText(e.local.address) << ": " << e.requestsSent << " requests sent, "
            << e.repliesAccepted << " replies accepted, " << ignored << " ignored ("
            << e.ignoredStatus << " status, " << e.ignoredShort << " too short, "
            << e.ignoredForeign << " other interface), ";
        if (e.lastReplyAfter.count() >= 0) {
            err << "last reply after " << Seconds(e.lastReplyAfter) << ", ";
        } else {
            err << "no reply, ";
        }
        err << Seconds(e.duration) << " in all";
        if (e.reachedBound) {
            err << ", cut at the " << Seconds(kExchangeBound) << " bound";
        }
        if (e.droppedByKernel > 0) {
            err << ", " << e.droppedByKernel << " dropped by the kernel";
        }
        if (e.cancelled) {
            err << ", stopped";
        }
        if (e.failed()) {
            err << ", failed: " << ExchangeStepText(e.failedStep) << ": " << std::strerror(e.error);
        }
        err << "\n";
        anyReply = anyReply || e.repliesAccepted > 0;
    }
    const auto reversePathFilter =
        context.reversePathFilter ? context.reversePathFilter : ReadReversePathFilter;
    std::vector<std::string> warned;
    for (const AddressExchange& e : report.addresses) {
        const std::string name = e.local.interfaceName;
        if (std::find(warned.begin(), warned.end(), name) != warned.end()) {
            continue;
        }
        warned.push_back(name);
        const int filter = reversePathFilter(name);
        if (filter > 0) {
            err << "apctl: warning: " << InterfaceNameText(name)
                << ": reverse-path filtering is on (rp_filter " << filter
                << "): replies from access points on other subnets are dropped; see README, "
                   "Troubleshooting\n";
        }
    }
    if (!report.addresses.empty() && !anyReply && found == 0) {
        err << "apctl: warning: no access point answered on any network; check that the firewall "
               "lets in UDP replies from port 34442 (see README, Troubleshooting)\n";
    }
}

}  // namespace apctl
