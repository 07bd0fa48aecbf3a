#include "config/ConfigExchange.h"
#include "tools/apctl/ApctlNetworks.h"
#include "tools/apctl/Commands.h"

namespace apctl {

int Reset(const Command& command, const fleet::Session& session, std::ostream& out,
          std::ostream& err) {
    ExchangeReport report;
    ExchangeOptions options;
    options.addresses = session.networks;
    options.useGivenAddresses = session.useGivenAddresses;
    if (SendResetWith(options, command.macText.c_str(), nullptr, &report) != 0) {
        out << "Reset Success\n";
        return kExitSuccess;
    }
    if (const AddressExchange* failure = report.Failure()) {
        err << "apctl: " << FailureText("the reset request", *failure) << "\n";
    } else {
        err << "Reset Fail\n";
    }
    return kExitFailed;
}

}  // namespace apctl
