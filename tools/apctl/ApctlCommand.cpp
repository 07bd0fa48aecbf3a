#include "tools/apctl/ApctlCommand.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "config/ConfigExchange.h"
#include "discovery/FieldText.h"
#include "resources/StringTable.h"

namespace apctl {

namespace {

bool IsHexDigit(char c) {
    return std::isxdigit(static_cast<unsigned char>(c)) != 0;
}

// Latin-1 byte to UTF-8.
void AppendLatin1(std::string* out, unsigned char byte) {
    if (byte < 0x80) {
        out->push_back(static_cast<char>(byte));
    } else {
        out->push_back(static_cast<char>(0xC0 | (byte >> 6)));
        out->push_back(static_cast<char>(0x80 | (byte & 0x3F)));
    }
}

std::string Utf8FromLatin1(const std::string& bytes) {
    std::string out;
    for (char c : bytes) {
        AppendLatin1(&out, static_cast<unsigned char>(c));
    }
    return out;
}

// For the terminal: C0 and C1 control characters and DEL become \xNN.
std::string Printable(const std::string& bytes) {
    std::string out;
    for (char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F || (byte >= 0x80 && byte < 0xA0) || byte == '\\') {
            char escaped[5];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
            out += escaped;
        } else {
            AppendLatin1(&out, byte);
        }
    }
    return out;
}

std::string JsonString(const std::string& bytes) {
    std::string out = "\"";
    for (char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte == '"' || byte == '\\') {
            out.push_back('\\');
            out.push_back(c);
        } else if (byte < 0x20 || byte == 0x7F) {
            char escaped[7];
            std::snprintf(escaped, sizeof escaped, "\\u%04X", byte);
            out += escaped;
        } else {
            AppendLatin1(&out, byte);
        }
    }
    return out + "\"";
}

std::string CsvField(const std::string& bytes) {
    std::string text = Utf8FromLatin1(bytes);
    if (text.find_first_of(",\"\r\n") == std::string::npos) {
        return text;
    }
    std::string out = "\"";
    for (char c : text) {
        if (c == '"') {
            out.push_back('"');
        }
        out.push_back(c);
    }
    return out + "\"";
}

// Display width of UTF-8 text: one column per code point.
std::size_t Columns(const std::string& text) {
    return static_cast<std::size_t>(std::count_if(text.begin(), text.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
}

}  // namespace

bool NormalizeMac(const std::string& text, std::string* macText) {
    std::string digits;
    if (text.size() == 12) {
        digits = text;
    } else if (text.size() == 17 && (text[2] == ':' || text[2] == '-')) {
        const char separator = text[2];
        for (std::size_t i = 0; i < text.size(); ++i) {
            if (i % 3 == 2) {
                if (text[i] != separator) {
                    return false;
                }
            } else {
                digits.push_back(text[i]);
            }
        }
    } else {
        return false;
    }
    if (!std::all_of(digits.begin(), digits.end(), IsHexDigit)) {
        return false;
    }
    std::transform(digits.begin(), digits.end(), digits.begin(), [](char c) {
        return static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    });
    *macText = digits;
    return true;
}

bool ParseCommandLine(const std::vector<std::string>& arguments, Command* command,
                      std::string* error) {
    *command = Command{};
    if (std::find(arguments.begin(), arguments.end(), "--help") != arguments.end() ||
        std::find(arguments.begin(), arguments.end(), "-h") != arguments.end()) {
        command->action = Action::kHelp;
        return true;
    }
    if (arguments.empty()) {
        *error = "no command given";
        return false;
    }
    const std::string& verb = arguments[0];
    std::vector<std::string> rest(arguments.begin() + 1, arguments.end());

    if (verb == "discover") {
        command->action = Action::kDiscover;
        if (rest.size() > 1) {
            *error = "discover takes at most one option";
            return false;
        }
        if (rest.size() == 1) {
            if (rest[0] == "--json") {
                command->format = OutputFormat::kJson;
            } else if (rest[0] == "--csv") {
                command->format = OutputFormat::kCsv;
            } else {
                *error = "unknown option for discover: " + rest[0];
                return false;
            }
        }
        return true;
    }

    if (verb != "configure" && verb != "reset") {
        *error = "unknown command: " + verb;
        return false;
    }
    if (rest.empty()) {
        *error = verb + " needs the access point's MAC address";
        return false;
    }
    if (!NormalizeMac(rest[0], &command->macText)) {
        *error = "not a MAC address: '" + rest[0] +
                 "' (12 hexadecimal digits, or six pairs joined by ':' or '-')";
        return false;
    }
    if (verb == "reset") {
        command->action = Action::kReset;
        if (rest.size() != 1) {
            *error = "reset takes only the MAC address";
            return false;
        }
        return true;
    }

    command->action = Action::kConfigure;
    if (rest.size() == 2 && rest[1] == "--dhcp") {
        command->dhcpClient = true;
        return true;
    }
    if (rest.size() >= 2 && rest[1] == "--fixed") {
        if (rest.size() != 6) {
            *error = "--fixed needs four addresses: IP MASK GATEWAY DNS";
            return false;
        }
        const char* const names[] = {"IP address", "subnet mask", "gateway", "DNS server"};
        for (int i = 0; i < 4; ++i) {
            std::uint32_t parsed = 0;
            if (!ParseDecimalDottedQuad(rest[2 + i].c_str(), &parsed)) {
                *error = std::string("malformed ") + names[i] + ": '" + rest[2 + i] +
                         "' (four decimal numbers 0 to 255 joined by dots)";
                return false;
            }
        }
        command->ipAddress = rest[2];
        command->subnetMask = rest[3];
        command->gateway = rest[4];
        command->dnsServer = rest[5];
        return true;
    }
    *error = rest.size() >= 2 ? "unknown option for configure: " + rest[1]
                              : "configure needs --dhcp or --fixed IP MASK GATEWAY DNS";
    return false;
}

std::string HelpText() {
    return "Usage: apctl COMMAND [OPTIONS]\n"
           "\n"
           "Finds the wireless access points on every local IPv4 network and changes their IP\n"
           "configuration, by UDP broadcast on port 34442.\n"
           "\n"
           "Commands:\n"
           "  discover [--json | --csv]\n"
           "      Runs one discovery (about 4 s per local network) and prints one record per\n"
           "      access point in name order: a table by default, a JSON array of objects, or\n"
           "      CSV with a header row.\n"
           "  configure MAC --dhcp\n"
           "  configure MAC --fixed IP MASK GATEWAY DNS\n"
           "      Sends the access point with this MAC its new configuration, waits 3 s and\n"
           "      tells it to reset. Addresses are four decimal numbers joined by dots.\n"
           "  reset MAC\n"
           "      Tells the access point with this MAC to reset.\n"
           "\n"
           "MAC is 12 hexadecimal digits (either case) or six pairs joined by ':' or '-'.\n"
           "\n"
           "Exit status: 0 success, 1 the operation failed (no acknowledgement, no usable\n"
           "network), 2 usage error.\n";
}

std::string FormatTable(const DeviceTable& table, int count) {
    std::vector<std::vector<std::string>> rows;
    rows.push_back({LoadStringResource(IDS_COLUMN_NAME), LoadStringResource(IDS_COLUMN_IP_ADDRESS),
                    LoadStringResource(IDS_COLUMN_MAC),
                    LoadStringResource(IDS_COLUMN_IEEE_STANDARD),
                    LoadStringResource(IDS_COLUMN_FW_VERSION),
                    LoadStringResource(IDS_COLUMN_DESCRIPTION), "Local Address"});
    for (int i = 0; i < count; ++i) {
        const DeviceRecord& r = table.records[i];
        rows.push_back({Printable(FieldText(r.name)), Printable(FieldText(r.ipAddress)),
                        Printable(FieldText(r.macText)), WirelessModeText(r.wirelessMode),
                        Printable(FieldText(r.firmwareVersion)),
                        Printable(FieldText(r.description)), Printable(FieldText(r.localAddress))});
    }
    std::vector<std::size_t> widths(rows[0].size(), 0);
    for (const auto& row : rows) {
        for (std::size_t c = 0; c < row.size(); ++c) {
            widths[c] = std::max(widths[c], Columns(row[c]));
        }
    }
    std::string out;
    for (const auto& row : rows) {
        std::string line;
        for (std::size_t c = 0; c < row.size(); ++c) {
            line += row[c];
            if (c + 1 < row.size()) {
                line.append(widths[c] - Columns(row[c]) + 2, ' ');
            }
        }
        while (!line.empty() && line.back() == ' ') {
            line.pop_back();
        }
        out += line + "\n";
    }
    return out;
}

std::string FormatJson(const DeviceTable& table, int count) {
    std::string out = "[";
    for (int i = 0; i < count; ++i) {
        const DeviceRecord& r = table.records[i];
        out += i == 0 ? "\n" : ",\n";
        out += "  {\"name\": " + JsonString(FieldText(r.name)) +
               ", \"macText\": " + JsonString(FieldText(r.macText)) +
               ", \"ipAddress\": " + JsonString(FieldText(r.ipAddress)) +
               ", \"localAddress\": " + JsonString(FieldText(r.localAddress)) +
               ", \"description\": " + JsonString(FieldText(r.description)) +
               ", \"ssidBg\": " + JsonString(FieldText(r.ssidBg)) +
               ", \"channelBg\": " + std::to_string(r.channelBg) +
               ", \"ssidA\": " + JsonString(FieldText(r.ssidA)) +
               ", \"channelA\": " + std::to_string(r.channelA) +
               ", \"wirelessMode\": " + std::to_string(r.wirelessMode) +
               ", \"firmwareVersion\": " + JsonString(FieldText(r.firmwareVersion)) + "}";
    }
    return out + (count > 0 ? "\n]\n" : "]\n");
}

std::string FormatCsv(const DeviceTable& table, int count) {
    std::string out =
        "name,macText,ipAddress,localAddress,description,ssidBg,channelBg,ssidA,channelA,"
        "wirelessMode,firmwareVersion\r\n";
    for (int i = 0; i < count; ++i) {
        const DeviceRecord& r = table.records[i];
        out += CsvField(FieldText(r.name)) + "," + CsvField(FieldText(r.macText)) + "," +
               CsvField(FieldText(r.ipAddress)) + "," + CsvField(FieldText(r.localAddress)) + "," +
               CsvField(FieldText(r.description)) + "," + CsvField(FieldText(r.ssidBg)) + "," +
               std::to_string(r.channelBg) + "," + CsvField(FieldText(r.ssidA)) + "," +
               std::to_string(r.channelA) + "," + std::to_string(r.wirelessMode) + "," +
               CsvField(FieldText(r.firmwareVersion)) + "\r\n";
    }
    return out;
}

}  // namespace apctl
