#include "fleet/Plan.h"

#include <algorithm>
#include <cctype>
#include <map>

#include "config/ConfigExchange.h"
#include "fleet/Text.h"
#include "net/SocketLayer.h"

namespace fleet {


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

// A row's checks against the rows before it: each MAC and each fixed address once.
struct SeenBefore {
    std::map<std::string, int> macLines;
    std::map<std::string, int> addressLines;
};

// Checks one line after the header and adds its row; each error goes to `report`.
template <typename Report>
void ReadRowLine(const std::string& line, int number, SeenBefore* seen, Plan* plan,
                 Report&& report) {
    std::vector<std::string> fields;
    if (const std::string wrong = SplitFields(line, &fields); !wrong.empty()) {
        report(wrong);
        return;
    }
    if (fields.size() != kColumnCount) {
        report(std::string("expected 6 fields (") + kHeaderText + "), got " +
               std::to_string(fields.size()));
        return;
    }
    // A NUL or line break inside a field would cut or bend it on its way to the access point:
    // refused, not read up to it.
    bool controlled = false;
    for (std::size_t i = 0; i < kColumnCount; ++i) {
        if (std::any_of(fields[i].begin(), fields[i].end(), IsControl)) {
            report(std::string(kColumns[i]) +
                   ": contains a control character: " + Shown(fields[i]));
            controlled = true;
        }
    }
    if (controlled) {
        return;
    }
    PlanRow row;
    row.line = number;
    ReadRow(fields, &row, report);
    if (!row.macText.empty()) {
        const auto [first, added] = seen->macLines.emplace(row.macText, number);
        if (!added) {
            report("mac: " + row.macText + " is also on line " + std::to_string(first->second));
        }
    }
    if (!row.dhcpClient && !row.ipAddress.empty()) {
        const auto [first, added] = seen->addressLines.emplace(row.ipAddress, number);
        if (!added) {
            report("ip: " + row.ipAddress + " is also planned on line " +
                   std::to_string(first->second));
        }
    }
    plan->rows.push_back(row);
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
    SeenBefore seen;
    bool headerSeen = false;
    std::string line;
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
        } else if (!headerSeen) {
            headerSeen = true;
            std::vector<std::string> fields;
            SplitFields(line, &fields);
            if (!std::equal(fields.begin(), fields.end(), std::begin(kColumns),
                            std::end(kColumns)) ||
                fields.size() != kColumnCount) {
                report(std::string("header: expected ") + kHeaderText + ", got " + Shown(trimmed));
            }
        } else if (plan->rows.size() == kPlanRowLimit) {
            report("more than " + std::to_string(kPlanRowLimit) + " rows");
            return false;
        } else {
            ReadRowLine(line, number, &seen, plan, report);
        }
    }
    if (!headerSeen) {
        errors->push_back(name + ": no header line (" + kHeaderText + ")");
    } else if (plan->rows.empty() && errors->size() == errorsBefore) {
        errors->push_back(name + ": no rows after the header");
    }
    return errors->size() == errorsBefore;
}

std::string PlannedText(const PlanRow& row) {
    return row.dhcpClient ? "dhcp" : "fixed " + row.ipAddress;
}

}  // namespace fleet
