#include "fleet/Discovery.h"
#include "tools/apctl/ApctlFormat.h"
#include "tools/apctl/ApctlNetworks.h"
#include "tools/apctl/Commands.h"

namespace apctl {

int Discover(const Command& command, const fleet::Session& session, const RunContext& context,
             std::ostream& out, std::ostream& err) {
    const fleet::DiscoveryRun run = fleet::Discover(session);
    const std::vector<DeviceRecord>& records = run.records;
    if (command.verbose) {
        ReportExchanges(run.report, static_cast<int>(records.size()), context, err);
    }
    WarnKernelDrops(run.report.addresses, err);
    // A failed exchange is no empty network: nothing on standard output, and say where and why.
    if (run.status != fleet::DiscoveryRun::Status::kCompleted) {
        err << DiscoveryFailureText(run);
        return kExitFailed;
    }
    switch (command.format) {
        case OutputFormat::kJson:
            out << FormatJson(records);
            break;
        case OutputFormat::kCsv:
            out << FormatCsv(records);
            break;
        case OutputFormat::kTable:
            out << FormatTable(records);
            break;
    }
    return kExitSuccess;
}

}  // namespace apctl
