// apctl apply's plan reader: whatever is accepted is a plan that can be sent as it stands, and
// whatever is refused is told in messages that carry no control character of the file.
#include <cstddef>
#include <cstdint>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "FuzzCheck.h"
#include "config/ConfigExchange.h"
#include "tools/apctl/ApctlNetworks.h"
#include "tools/apctl/Apply.h"

namespace {

// An address as the access point reports it: it reads back to the same text.
bool IsCanonicalAddress(const std::string& text) {
    std::uint32_t address = 0;
    return ParseDecimalDottedQuad(text.c_str(), &address) && address != 0xFFFFFFFFu &&
           apctl::AddressText(address) == text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
    apctl::Plan plan;
    std::vector<std::string> errors;
    const bool parsed = apctl::ParsePlan(in, "fuzz.csv", &plan, &errors);
    FUZZ_CHECK(parsed == errors.empty());
    for (const std::string& error : errors) {
        FUZZ_CHECK(error.compare(0, 9, "fuzz.csv:") == 0);
        for (char c : error) {
            FUZZ_CHECK(static_cast<unsigned char>(c) >= 0x20 && c != 0x7F);
        }
    }
    if (!parsed) {
        return 0;
    }
    FUZZ_CHECK(!plan.rows.empty() && plan.rows.size() <= apctl::kPlanRowLimit);
    std::set<std::string> macs;
    std::set<std::string> fixedAddresses;
    int previousLine = 0;
    for (const apctl::PlanRow& row : plan.rows) {
        FUZZ_CHECK(row.line > previousLine);
        previousLine = row.line;
        FUZZ_CHECK(IsUpperHex12(row.macText));
        FUZZ_CHECK(macs.insert(row.macText).second);
        if (row.dhcpClient) {
            FUZZ_CHECK(row.ipAddress.empty() && row.subnetMask.empty() && row.gateway.empty() &&
                       row.dnsServer.empty());
            continue;
        }
        for (const std::string* text :
             {&row.ipAddress, &row.subnetMask, &row.gateway, &row.dnsServer}) {
            FUZZ_CHECK(IsCanonicalAddress(*text));
        }
        FUZZ_CHECK(fixedAddresses.insert(row.ipAddress).second);
    }
    return 0;
}
