#pragma once

#include <string>
#include <vector>

#include "discovery/DeviceRecord.h"

// The command line of apctl, read into what to do, and the printed forms of a discovery.
namespace apctl {

enum class Action { kHelp, kDiscover, kConfigure, kReset };
enum class OutputFormat { kTable, kJson, kCsv };

struct Command {
    Action action = Action::kHelp;
    OutputFormat format = OutputFormat::kTable;
    std::string macText;  // 12 upper-case hexadecimal digits
    bool dhcpClient = false;
    std::string ipAddress, subnetMask, gateway, dnsServer;
};

// Reads the arguments after the program name. On a usage error returns false with a message
// that says what is wrong.
bool ParseCommandLine(const std::vector<std::string>& arguments, Command* command,
                      std::string* error);

// 12 hexadecimal digits in either case, or six pairs joined by ':' or by '-'; the result is the
// 12 digits in upper case.
bool NormalizeMac(const std::string& text, std::string* macText);

std::string HelpText();

// The records as printed: an aligned table with the list's columns and the local address,
// a JSON array of objects named by the record's fields, or CSV with a header row. Texts are
// decoded as Latin-1; the table shows control characters as escapes so a hostile name cannot
// drive the terminal.
std::string FormatTable(const DeviceTable& table, int count);
std::string FormatJson(const DeviceTable& table, int count);
std::string FormatCsv(const DeviceTable& table, int count);

}  // namespace apctl
