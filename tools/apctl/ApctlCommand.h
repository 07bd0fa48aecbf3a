#pragma once

#include <string>
#include <vector>

#include "fleet/Text.h"

// The command line of apctl, read into what to do.
namespace apctl {

enum class Action { kHelp, kDiscover, kConfigure, kReset, kInterfaces, kApply, kWatch, kDiff };
enum class OutputFormat { kTable, kJson, kCsv };

inline constexpr double kDefaultVerifySeconds = 90;
inline constexpr double kDefaultWatchInterval = 10;
inline constexpr double kShortestWatchInterval = 0.1;
inline constexpr double kDefaultForgetSeconds = 3600;
inline constexpr double kLongestSeconds = 86400;
inline constexpr int kMostApplyJobs = 256;

struct Command {
    Action action = Action::kHelp;
    OutputFormat format = OutputFormat::kTable;
    std::string macText;  // 12 upper-case hexadecimal digits
    bool dhcpClient = false;
    std::string ipAddress, subnetMask, gateway, dnsServer;
    // Names given with --interface, in the order given; empty: every usable interface.
    std::vector<std::string> interfaces;
    bool parallel = false;
    bool verbose = false;
    bool verify = false;
    double verifySeconds = kDefaultVerifySeconds;
    std::string planPath;          // "-" for standard input
    std::string oldPath, newPath;  // diff's two saved discoveries
    bool dryRun = false;
    bool check = false;  // apply: predicts each row's outcome from one discovery
    int jobs = 1;        // apply: rows in flight at once
    double intervalSeconds = kDefaultWatchInterval;
    std::string textfilePath;  // watch: empty when not given
    double forgetSeconds = kDefaultForgetSeconds;  // watch: a gone access point's time in it
    // watch --exec: the program and its arguments; empty: none.
    std::vector<std::string> hookCommand;
};

// Reads the arguments after the program name. On a usage error returns false with a message
// that names the argument that is wrong.
bool ParseCommandLine(const std::vector<std::string>& arguments, Command* command,
                      std::string* error);

using fleet::NormalizeMac;

// A number of seconds: decimal digits with an optional fraction, positive, at most a day.
bool ParseSeconds(const std::string& text, double* seconds);

std::string HelpText();

}  // namespace apctl
