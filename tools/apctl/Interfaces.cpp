#include <bit>
#include <cerrno>
#include <cstring>
#include <vector>

#include "discovery/LocalAddresses.h"
#include "tools/apctl/ApctlFormat.h"
#include "tools/apctl/ApctlNetworks.h"
#include "tools/apctl/Json.h"

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
        Json rows = Json::array();
        for (const ClassifiedAddress& c : classified) {
            const bool used = c.use == AddressUse::kUsable;
            rows.push_back({{"interface", LocalTextValue(NameOf(c.entry))},
                            {"address", AddressText(c.entry.address)},
                            {"prefixLength", PrefixLength(c.entry.netmask)},
                            {"usable", used},
                            {"reason", used ? Json() : JsonFromLatin1(AddressUseText(c.use))}});
        }
        out << JsonArrayLines(rows);
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
