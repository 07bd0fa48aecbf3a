#include "tools/apctl/ApctlRun.h"

#include "config/ConfigExchange.h"
#include "discovery/DiscoverDevices.h"
#include "discovery/NetworkStartup.h"
#include "resources/StringTable.h"

namespace apctl {

namespace {

int Discover(const Command& command, std::ostream& out, std::ostream& err) {
    DeviceTablePtr table = AllocateDeviceTable();
    if (!table) {
        err << "apctl: not enough memory for a device table\n";
        return kExitFailed;
    }
    int count = 0;
    DiscoverDevices(table.get(), &count);
    switch (command.format) {
        case OutputFormat::kJson:
            out << FormatJson(*table, count);
            break;
        case OutputFormat::kCsv:
            out << FormatCsv(*table, count);
            break;
        case OutputFormat::kTable:
            out << FormatTable(*table, count);
            break;
    }
    return kExitSuccess;
}

// The same outcome texts as the IP Configuration dialog shows for each mode.
int Configure(const Command& command, std::ostream& out, std::ostream& err) {
    const char* const nullText = "NULL";
    const ConfigureOutcome outcome =
        command.dhcpClient
            ? ConfigureAndReset(1, command.macText.c_str(), nullText, nullText, nullText, nullText)
            : ConfigureAndReset(0, command.macText.c_str(), command.ipAddress.c_str(),
                                command.subnetMask.c_str(), command.gateway.c_str(),
                                command.dnsServer.c_str());
    switch (outcome) {
        case ConfigureOutcome::kSuccess:
            out << (command.dhcpClient ? "Set Success" : LoadStringResource(IDS_DATA_SAVED))
                << "\n";
            return kExitSuccess;
        case ConfigureOutcome::kSetFailed:
            err << (command.dhcpClient ? "Set Fail" : LoadStringResource(IDS_UNABLE_TO_SAVE))
                << "\n";
            return kExitFailed;
        case ConfigureOutcome::kResetFailed:
            err << (command.dhcpClient ? "Reset Fail" : LoadStringResource(IDS_RESET_FAILED))
                << "\n";
            return kExitFailed;
    }
    return kExitFailed;
}

int Reset(const Command& command, std::ostream& out, std::ostream& err) {
    if (SendReset(command.macText.c_str()) != 0) {
        out << "Reset Success\n";
        return kExitSuccess;
    }
    err << "Reset Fail\n";
    return kExitFailed;
}

}  // namespace

int Run(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err) {
    Command command;
    std::string error;
    if (!ParseCommandLine(arguments, &command, &error)) {
        err << "apctl: " << error << "\nTry 'apctl --help'.\n";
        return kExitUsage;
    }
    if (command.action == Action::kHelp) {
        out << HelpText();
        return kExitSuccess;
    }
    NetworkStartup();
    if (SocketsStarted() == 0) {
        err << "apctl: cannot open a UDP socket\n";
        return kExitFailed;
    }
    int status = kExitFailed;
    switch (command.action) {
        case Action::kDiscover:
            status = Discover(command, out, err);
            break;
        case Action::kConfigure:
            status = Configure(command, out, err);
            break;
        case Action::kReset:
            status = Reset(command, out, err);
            break;
        case Action::kHelp:
            break;
    }
    NetworkCleanup();
    return status;
}

}  // namespace apctl
