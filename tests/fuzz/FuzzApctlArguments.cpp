// apctl's command line and the dotted-address reader: whatever is accepted is well formed.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "FuzzCheck.h"
#include "config/ConfigExchange.h"
#include "tools/apctl/ApctlCommand.h"

namespace {

// An accepted address text, leading zeros of each octet removed, is the address's own text.
void CheckAddress(const std::string& text) {
    std::uint32_t address = 0;
    if (!ParseDecimalDottedQuad(text.c_str(), &address)) {
        return;
    }
    const auto* octets = reinterpret_cast<const std::uint8_t*>(&address);
    char canonical[16];
    std::snprintf(canonical, sizeof canonical, "%u.%u.%u.%u", octets[0], octets[1], octets[2],
                  octets[3]);
    std::string stripped;
    bool leading = true;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '.') {
            if (leading) {
                stripped.push_back('0');
            }
            stripped.push_back('.');
            leading = true;
        } else if (leading && c == '0') {
            continue;
        } else {
            leading = false;
            stripped.push_back(c);
        }
    }
    if (leading) {
        stripped.push_back('0');
    }
    FUZZ_CHECK(stripped == canonical);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Arguments are separated by zero bytes, as in an argument vector.
    std::vector<std::string> arguments(1);
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == 0) {
            arguments.emplace_back();
        } else {
            arguments.back().push_back(static_cast<char>(data[i]));
        }
    }
    for (const std::string& argument : arguments) {
        CheckAddress(argument);
    }

    apctl::Command command;
    std::string error;
    if (!apctl::ParseCommandLine(arguments, &command, &error)) {
        FUZZ_CHECK(!error.empty());
        return 0;
    }
    if (command.action == apctl::Action::kConfigure || command.action == apctl::Action::kReset) {
        FUZZ_CHECK(IsUpperHex12(command.macText));
    }
    if (command.action == apctl::Action::kConfigure && !command.dhcpClient) {
        std::uint32_t address = 0;
        for (const std::string* text :
             {&command.ipAddress, &command.subnetMask, &command.gateway, &command.dnsServer}) {
            FUZZ_CHECK(ParseDecimalDottedQuad(text->c_str(), &address));
        }
    }
    return 0;
}
