#include <bit>
#include <cerrno>
#include <cstring>

#include "discovery/LocalAddresses.h"
#include "tools/apctl/ApctlFormat.h"
#include "tools/apctl/ApctlNetworks.h"

namespace apctl {

namespace {

int PrefixLength(std::uint32_t netmask) {
    return std::popcount(netmask);
}

}  // namespace

int ListInterfaces(const Command& command, std::ostream& out, std::ostream& err) {
    std::vector<ClassifiedAddress> classified;
    if (!ClassifyInterfaceAddresses(&classified)) {
        err << "apctl: cannot list the network interfaces: " << std::strerror(errno) << "\n";
        return kExitFailed;
    }
    if (command.format == OutputFormat::kJson) {
        out << "[";
        for (std::size_t i = 0; i < classified.size(); ++i) {
            const ClassifiedAddress& c = classified[i];
            const bool used = c.use == AddressUse::kUsable;
            out << (i == 0 ? "\n" : ",\n")
                << "  {\"interface\": " << InterfaceNameJson(NameOf(c.entry)) << ", \"address\": \""
                << AddressText(c.entry.address)
                << "\", \"prefixLength\": " << PrefixLength(c.entry.netmask)
                << ", \"usable\": " << (used ? "true" : "false") << ", \"reason\": "
                << (used ? std::string("null") : JsonString(AddressUseText(c.use))) << "}";
        }
        out << (classified.empty() ? "]\n" : "\n]\n");
        return kExitSuccess;
    }
    std::vector<std::vector<std::string>> rows = {{"Interface", "Address", "Use"}};
    for (const ClassifiedAddress& c : classified) {
        rows.push_back(
            {InterfaceNameText(NameOf(c.entry)),
             AddressText(c.entry.address) + "/" + std::to_string(PrefixLength(c.entry.netmask)),
             c.use == AddressUse::kUsable ? std::string("used")
                                          : std::string("not used: ") + AddressUseText(c.use)});
    }
    out << AlignColumns(rows);
    return kExitSuccess;
}

}  // namespace apctl
