#include "tools/apctl/PlanApply.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <map>

#include "config/ConfigExchange.h"
#include "discovery/DiscoverDevices.h"
#include "tools/apctl/ApctlFormat.h"
#include "tools/apctl/ApctlNetworks.h"
#include "tools/apctl/ApctlVerify.h"

namespace apctl {

namespace {

constexpr std::size_t kColumnCount = 6;
constexpr const char* kColumns[kColumnCount] = {"mac", "mode", "ip", "mask", "gateway", "dns"};
constexpr char kHeaderText[] = "mac,mode,ip,mask,gateway,dns";
// How much of a wrong value a message repeats.
constexpr std::size_t kShownLimit = 40;

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

bool IsControl(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 || byte == 0x7F;
}

std::string Trimmed(const std::string& text) {
    std::size_t first = 0;
    std::size_t last = text.size();
    while (first < last && IsBlank(text[first])) {
        ++first;
    }
    while (last > first && IsBlank(text[last - 1])) {
        --last;
    }
    return text.substr(first, last - first);
}

// A value from the file as a message repeats it: control characters escaped, long ones cut.
std::string Shown(const std::string& text) {
    if (text.empty()) {
        return "''";
    }
    std::string shown = Printable(text.substr(0, kShownLimit));
    return text.size() > kShownLimit ? shown + "..." : shown;
}

std::string SecondsText(double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", seconds);
    return text;
}

// One line without its end; false at the end of the input. A line longer than the limit is read
// to its end but kept only to the limit, and flagged. `bytes` counts everything read so far.
bool ReadLine(std::istream& in, std::string* line, bool* tooLong, std::size_t* bytes) {
    line->clear();
    *tooLong = false;
    bool any = false;
    char c = 0;
    while (*bytes <= kPlanByteLimit && in.get(c)) {
        any = true;
        ++*bytes;
        if (c == '\n') {
            break;
        }
        if (line->size() <= kPlanLineLimit) {
            line->push_back(c);
        }
    }
    if (!line->empty() && line->back() == '\r') {
        line->pop_back();
    }
    *tooLong = line->size() > kPlanLineLimit;
    return any;
}

// Splits a line at its commas. A field may be quoted as spreadsheets write them ("" stands for a
// quote); blanks around a field are dropped. Returns what is wrong, or an empty text.
std::string SplitFields(const std::string& line, std::vector<std::string>* fields) {
    fields->clear();
    std::size_t at = 0;
    for (;;) {
        while (at < line.size() && IsBlank(line[at])) {
            ++at;
        }
        std::string field;
        if (at < line.size() && line[at] == '"') {
            bool closed = false;
            for (++at; at < line.size(); ++at) {
                if (line[at] != '"') {
                    field.push_back(line[at]);
                } else if (at + 1 < line.size() && line[at + 1] == '"') {
                    field.push_back('"');
                    ++at;
                } else {
                    closed = true;
                    ++at;
                    break;
                }
            }
            while (at < line.size() && IsBlank(line[at])) {
                ++at;
            }
            if (!closed || (at < line.size() && line[at] != ',')) {
                return "field " + std::to_string(fields->size() + 1) + ": malformed quotes";
            }
        } else {
            const std::size_t comma = std::min(line.find(',', at), line.size());
            field = Trimmed(line.substr(at, comma - at));
            at = comma;
        }
        fields->push_back(field);
        if (at >= line.size()) {
            return "";
        }
        ++at;  // the comma
    }
}

std::string Lowered(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](char c) {
        return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    });
    return text;
}

// Checks the fields of one row and fills it; each error goes to `report` as "FIELD: ...".
template <typename Report>
void ReadRow(const std::vector<std::string>& fields, PlanRow* row, Report&& report) {
    if (!NormalizeMac(fields[0], &row->macText)) {
        row->macText.clear();
        report("mac: not a MAC address: " + Shown(fields[0]));
    }
    const std::string mode = Lowered(fields[1]);
    const bool modeKnown = mode == "dhcp" || mode == "fixed";
    if (!modeKnown) {
        report("mode: expected dhcp or fixed, got " + Shown(fields[1]));
    }
    row->dhcpClient = mode == "dhcp";
    std::string* const targets[] = {&row->ipAddress, &row->subnetMask, &row->gateway,
                                    &row->dnsServer};
    for (std::size_t i = 0; i < 4; ++i) {
        const std::string& text = fields[i + 2];
        const std::string column = kColumns[i + 2];
        if (row->dhcpClient) {
            if (!text.empty()) {
                report(column + ": must be empty for dhcp, got " + Shown(text));
            }
            continue;
        }
        if (text.empty()) {
            if (modeKnown) {
                report(column + ": missing (fixed needs ip, mask, gateway and dns)");
            }
            continue;
        }
        std::uint32_t address = 0;
        if (!ParseDecimalDottedQuad(text.c_str(), &address)) {
            report(column + ": not a dotted address: " + Shown(text));
        } else if (address == net::kLimitedBroadcast) {
            // configure refuses it too, but only once it is running: here the plan is refused
            // before the first row is sent.
            report(column + ": 255.255.255.255 cannot be given to an access point");
        } else if (targets[i] == &row->subnetMask && !IsContiguousSubnetMask(address)) {
            report(SubnetMaskError(Shown(text)));
        } else {
            *targets[i] = AddressText(address);
        }
    }
}

}  // namespace

bool ParsePlan(std::istream& in, const std::string& source, Plan* plan,
               std::vector<std::string>* errors) {
    plan->source = source;
    plan->rows.clear();
    const std::string name = source == "-" ? "stdin" : Printable(source);
    const std::size_t errorsBefore = errors->size();
    int number = 0;
    const auto report = [&](const std::string& message) {
        errors->push_back(name + ":" + std::to_string(number) + ": " + message);
    };
    std::map<std::string, int> macLines;
    std::map<std::string, int> addressLines;
    bool headerSeen = false;
    std::string line;
    std::vector<std::string> fields;
    std::size_t bytes = 0;
    bool tooLong = false;
    while (ReadLine(in, &line, &tooLong, &bytes)) {
        ++number;
        if (bytes > kPlanByteLimit) {
            errors->push_back(name + ": larger than " + std::to_string(kPlanByteLimit >> 20) +
                              " MiB, which no plan of at most " + std::to_string(kPlanRowLimit) +
                              " rows needs");
            return false;
        }
        // Spreadsheets may start their CSV with a byte order mark.
        if (number == 1 && line.compare(0, 3, "\xEF\xBB\xBF") == 0) {
            line.erase(0, 3);
        }
        const std::string trimmed = Trimmed(line);
        // A comment is skipped whatever its length: only its start was kept, which is enough to
        // know it for one.
        if ((!tooLong && trimmed.empty()) || (!trimmed.empty() && trimmed[0] == '#')) {
            continue;
        }
        if (tooLong) {
            report("longer than " + std::to_string(kPlanLineLimit) + " bytes");
            headerSeen = true;
            continue;
        }
        if (!headerSeen) {
            headerSeen = true;
            SplitFields(line, &fields);
            if (!std::equal(fields.begin(), fields.end(), std::begin(kColumns),
                            std::end(kColumns)) ||
                fields.size() != kColumnCount) {
                report(std::string("header: expected ") + kHeaderText + ", got " + Shown(trimmed));
            }
            continue;
        }
        if (plan->rows.size() == kPlanRowLimit) {
            report("more than " + std::to_string(kPlanRowLimit) + " rows");
            return false;
        }
        if (const std::string wrong = SplitFields(line, &fields); !wrong.empty()) {
            report(wrong);
            continue;
        }
        if (fields.size() != kColumnCount) {
            report(std::string("expected 6 fields (") + kHeaderText + "), got " +
                   std::to_string(fields.size()));
            continue;
        }
        // A NUL or line break inside a field would cut or bend it on its way to the access
        // point: refused, not read up to it.
        bool controlled = false;
        for (std::size_t i = 0; i < kColumnCount; ++i) {
            if (std::any_of(fields[i].begin(), fields[i].end(), IsControl)) {
                report(std::string(kColumns[i]) +
                       ": contains a control character: " + Shown(fields[i]));
                controlled = true;
            }
        }
        if (controlled) {
            continue;
        }
        PlanRow row;
        row.line = number;
        ReadRow(fields, &row, report);
        if (!row.macText.empty()) {
            const auto [first, added] = macLines.emplace(row.macText, number);
            if (!added) {
                report("mac: " + row.macText + " is also on line " + std::to_string(first->second));
            }
        }
        if (!row.dhcpClient && !row.ipAddress.empty()) {
            const auto [first, added] = addressLines.emplace(row.ipAddress, number);
            if (!added) {
                report("ip: " + row.ipAddress + " is also planned on line " +
                       std::to_string(first->second));
            }
        }
        plan->rows.push_back(row);
    }
    if (!headerSeen) {
        errors->push_back(name + ": no header line (" + kHeaderText + ")");
    } else if (plan->rows.empty() && errors->size() == errorsBefore) {
        errors->push_back(name + ": no rows after the header");
    }
    return errors->size() == errorsBefore;
}

bool ReadPlanFile(const std::string& path, Plan* plan, std::ostream& err) {
    std::vector<std::string> errors;
    bool parsed = false;
    bool readFailed = false;
    int readError = 0;
    if (path == "-") {
        parsed = ParsePlan(std::cin, path, plan, &errors);
        readFailed = std::cin.bad();
        readError = errno;
    } else {
        struct stat status {};
        if (::stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode)) {
            err << "apctl: cannot read the plan " << Printable(path) << ": "
                << std::strerror(EISDIR) << "\n";
            return false;
        }
        std::ifstream file(path, std::ios::binary);
        if (!file) {
            err << "apctl: cannot read the plan " << Printable(path) << ": " << std::strerror(errno)
                << "\n";
            return false;
        }
        parsed = ParsePlan(file, path, plan, &errors);
        readFailed = file.bad();
        readError = errno;
    }
    if (readFailed) {
        err << "apctl: cannot read the plan " << Printable(path) << ": " << std::strerror(readError)
            << "\n";
        return false;
    }
    for (const std::string& error : errors) {
        err << error << "\n";
    }
    if (!parsed) {
        err << "apctl: " << errors.size() << (errors.size() == 1 ? " error" : " errors")
            << " in the plan; nothing was sent\n";
    }
    return parsed;
}

void PrintDryRun(const Command& command, const Plan& plan, std::ostream& out) {
    if (command.format == OutputFormat::kJson) {
        out << "[";
        for (std::size_t i = 0; i < plan.rows.size(); ++i) {
            const PlanRow& row = plan.rows[i];
            const auto address = [&](const std::string& text) {
                return row.dhcpClient ? std::string("null") : JsonString(text);
            };
            out << (i == 0 ? "\n" : ",\n") << "  {\"line\": " << row.line
                << ", \"macText\": " << JsonString(row.macText) << ", \"mode\": \""
                << (row.dhcpClient ? "dhcp" : "fixed")
                << "\", \"ipAddress\": " << address(row.ipAddress)
                << ", \"subnetMask\": " << address(row.subnetMask)
                << ", \"gateway\": " << address(row.gateway)
                << ", \"dnsServer\": " << address(row.dnsServer) << "}";
        }
        out << (plan.rows.empty() ? "]\n" : "\n]\n");
        return;
    }
    std::vector<std::vector<std::string>> rows;
    rows.push_back({"Line", "MAC", "Mode", "IP Address", "Subnet Mask", "Gateway", "DNS Server"});
    for (const PlanRow& row : plan.rows) {
        rows.push_back({std::to_string(row.line), row.macText, row.dhcpClient ? "dhcp" : "fixed",
                        row.ipAddress, row.subnetMask, row.gateway, row.dnsServer});
    }
    out << AlignColumns(rows) << plan.rows.size() << (plan.rows.size() == 1 ? " row" : " rows")
        << " checked, nothing sent. apply discovers once, leaves each access point that already\n"
           "answers from its fixed address unchanged, and configures, resets and verifies the "
           "others\n(within "
        << SecondsText(command.verifySeconds) << " s each), one after the other.\n";
}

namespace {

enum class RowOutcome { kChanged, kUnchanged, kFailed, kNotFound, kSkipped };

const char* RowOutcomeName(RowOutcome outcome) {
    switch (outcome) {
        case RowOutcome::kChanged:
            return "changed";
        case RowOutcome::kUnchanged:
            return "unchanged";
        case RowOutcome::kFailed:
            return "failed";
        case RowOutcome::kNotFound:
            return "not found";
        case RowOutcome::kSkipped:
            break;
    }
    return "skipped";
}

struct RowResult {
    RowOutcome outcome = RowOutcome::kSkipped;
    // Where it answers now as far as apply has seen; empty when unknown.
    std::string address;
    std::string message;
    double seconds = -1;                       // from its reset until it answered
    std::vector<AddressExchange> kernelDrops;  // of its verification's discoveries
};

// Where each MAC answered in the discovery before the first row.
using Sightings = std::map<std::string, std::string>;

std::string PlannedText(const PlanRow& row) {
    return row.dhcpClient ? "dhcp" : "fixed " + row.ipAddress;
}

// The one discovery before the first row. False, having said why, when it failed or was stopped:
// without it no row can be known to be done already, so none is sent.
bool DiscoverFirst(const ExchangeOptions& networks, const std::atomic<bool>* stop, Sightings* seen,
                   std::ostream& err) {
    ExchangeReport report;
    ExchangeOptions discovery = networks;
    discovery.cancel = stop;
    discovery.report = &report;
    err << "discovery ... " << std::flush;
    std::vector<DeviceRecord> records;
    const int completed = DiscoverAll(discovery, &records);
    if (report.listingFailed) {
        err << "\napctl: cannot list the network interfaces: " << std::strerror(report.listingError)
            << "\n";
        return false;
    }
    if (completed == 0) {
        err << "failed\n";
        WarnKernelDrops(report.addresses, err);
        if (!ReportFailure("discovery", report, err)) {
            err << "apctl: discovery failed\n";
        }
        return false;
    }
    if (stop != nullptr && stop->load()) {
        err << "stopped\n";
        return false;
    }
    for (const DeviceRecord& record : records) {
        seen->emplace(FieldText(record.macText), FieldText(record.ipAddress));
    }
    const std::size_t count = records.size();
    err << count << (count == 1 ? " access point answers" : " access points answer") << "\n";
    WarnKernelDrops(report.addresses, err);
    return true;
}

RowResult ApplyRow(const Command& command, const PlanRow& row, const ExchangeOptions& networks,
                   const Sightings& seen) {
    RowResult result;
    const auto sighting = seen.find(row.macText);
    const bool wasSeen = sighting != seen.end();
    if (wasSeen) {
        result.address = sighting->second;
    }
    // Discovery shows an access point's address but neither its mask, gateway and DNS server nor
    // whether it is a DHCP client. So only a fixed row can be seen to be done already; a DHCP
    // row is always sent, and its access point restarts and may take a new lease.
    if (!row.dhcpClient && wasSeen && sighting->second == row.ipAddress) {
        result.outcome = RowOutcome::kUnchanged;
        result.message = "already answers at " + row.ipAddress;
        return result;
    }
    const RowOutcome failed = wasSeen ? RowOutcome::kFailed : RowOutcome::kNotFound;
    const std::string unseen = wasSeen ? "" : "not seen in the discovery; ";
    // Never cancelled: an access point left between its configuration and its reset would hold
    // settings it was never told to use.
    ExchangeReport report;
    ExchangeOptions exchange = networks;
    exchange.cancel = nullptr;
    exchange.report = &report;
    const char* const nullText = "NULL";
    const ConfigureOutcome configured =
        row.dhcpClient ? ConfigureAndResetWith(exchange, 1, row.macText.c_str(), nullText, nullText,
                                               nullText, nullText)
                       : ConfigureAndResetWith(exchange, 0, row.macText.c_str(),
                                               row.ipAddress.c_str(), row.subnetMask.c_str(),
                                               row.gateway.c_str(), row.dnsServer.c_str());
    if (configured != ConfigureOutcome::kSuccess) {
        const std::string what = configured == ConfigureOutcome::kSetFailed
                                     ? "the configuration request"
                                     : "the reset request";
        const AddressExchange* failure = report.Failure();
        result.outcome = failed;
        result.message = unseen + (failure != nullptr ? FailureText(what, *failure)
                                                      : what + " was not acknowledged");
        return result;
    }
    // The row is finished even when a stop is asked for meanwhile, so that its outcome is known.
    const std::string expected = row.dhcpClient ? "" : row.ipAddress;
    const VerifyResult verified =
        WaitUntilItAnswers(row.macText, expected, networks, command.verifySeconds, nullptr);
    result.seconds = verified.seconds;
    result.kernelDrops = verified.kernelDrops;
    std::string text = VerifyText(row.macText, expected, command.verifySeconds, verified);
    if (text.compare(0, row.macText.size() + 1, row.macText + " ") == 0) {
        text.erase(0, row.macText.size() + 1);
    }
    if (verified.outcome == VerifyResult::Outcome::kAnswers) {
        result.outcome = RowOutcome::kChanged;
        result.address = verified.address;
        result.message = text;
    } else {
        result.outcome = failed;
        result.address = verified.seenAt.empty() ? "" : verified.seenAt.back();
        result.message = unseen + text;
    }
    return result;
}

std::string ProgressText(const RowResult& result) {
    switch (result.outcome) {
        case RowOutcome::kChanged:
            return result.message;
        case RowOutcome::kSkipped:
            return "skipped";
        default:
            return std::string(RowOutcomeName(result.outcome)) + ": " + result.message;
    }
}

void PrintSummary(const Command& command, const Plan& plan, const std::vector<RowResult>& results,
                  std::ostream& out) {
    if (command.format == OutputFormat::kJson) {
        out << "[";
        for (std::size_t i = 0; i < results.size(); ++i) {
            const PlanRow& row = plan.rows[i];
            const RowResult& result = results[i];
            out << (i == 0 ? "\n" : ",\n") << "  {\"line\": " << row.line
                << ", \"macText\": " << JsonString(row.macText) << ", \"mode\": \""
                << (row.dhcpClient ? "dhcp" : "fixed") << "\", \"planned\": "
                << (row.dhcpClient ? std::string("null") : JsonString(row.ipAddress))
                << ", \"outcome\": \"" << RowOutcomeName(result.outcome) << "\", \"address\": "
                << (result.address.empty() ? std::string("null") : JsonString(result.address))
                << ", \"seconds\": "
                << (result.seconds < 0 ? std::string("null") : SecondsText(result.seconds))
                << ", \"message\": " << JsonString(result.message) << "}";
        }
        out << (results.empty() ? "]\n" : "\n]\n");
        return;
    }
    std::vector<std::vector<std::string>> rows;
    rows.push_back({"MAC", "Planned", "Outcome", "Address Now"});
    for (std::size_t i = 0; i < results.size(); ++i) {
        const RowResult& result = results[i];
        rows.push_back({plan.rows[i].macText, PlannedText(plan.rows[i]),
                        RowOutcomeName(result.outcome),
                        result.address.empty() ? "-" : Printable(result.address)});
    }
    out << AlignColumns(rows);
}

// "30 rows: 28 changed, 1 unchanged, 1 failed"
std::string CountsText(const std::vector<RowResult>& results) {
    std::string text = std::to_string(results.size()) + (results.size() == 1 ? " row:" : " rows:");
    const char* separator = " ";
    for (const RowOutcome outcome :
         {RowOutcome::kChanged, RowOutcome::kUnchanged, RowOutcome::kFailed, RowOutcome::kNotFound,
          RowOutcome::kSkipped}) {
        const auto count = std::count_if(results.begin(), results.end(),
                                         [&](const RowResult& r) { return r.outcome == outcome; });
        if (count > 0) {
            text += separator + std::to_string(count) + " " + RowOutcomeName(outcome);
            separator = ", ";
        }
    }
    return text;
}

}  // namespace

int ApplyPlan(const Command& command, const Plan& plan, const ExchangeOptions& options,
              const RunContext& context, std::ostream& out, std::ostream& err) {
    const auto stopRequested = [&] { return context.stop != nullptr && context.stop->load(); };
    ExchangeOptions networks = options;
    networks.parallel = command.parallel;
    networks.cancel = nullptr;
    networks.report = nullptr;
    std::vector<RowResult> results(plan.rows.size());
    Sightings seen;
    if (DiscoverFirst(networks, context.stop, &seen, err)) {
        // A row skipped by a stop is where the discovery saw it.
        for (std::size_t i = 0; i < plan.rows.size(); ++i) {
            if (const auto sighting = seen.find(plan.rows[i].macText); sighting != seen.end()) {
                results[i].address = sighting->second;
            }
        }
        const std::size_t total = plan.rows.size();
        for (std::size_t i = 0; i < total; ++i) {
            // Rows are only ever stopped between them, never one half done.
            if (stopRequested()) {
                err << "apctl: stopped; " << (total - i)
                    << (total - i == 1 ? " row skipped\n" : " rows skipped\n");
                break;
            }
            const PlanRow& row = plan.rows[i];
            err << "[" << (i + 1) << "/" << total << "] " << row.macText << " " << PlannedText(row)
                << " ... " << std::flush;
            results[i] = ApplyRow(command, row, networks, seen);
            err << ProgressText(results[i]) << "\n";
            WarnKernelDrops(results[i].kernelDrops, err);
            err << std::flush;
        }
    }
    PrintSummary(command, plan, results, out);
    out << std::flush;
    err << CountsText(results) << "\n";
    const bool allDone = std::all_of(results.begin(), results.end(), [](const RowResult& result) {
        return result.outcome == RowOutcome::kChanged || result.outcome == RowOutcome::kUnchanged;
    });
    return allDone ? kExitSuccess : kExitFailed;
}

}  // namespace apctl
