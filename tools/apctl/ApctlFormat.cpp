#include "tools/apctl/ApctlFormat.h"

#include <algorithm>
#include <cstdio>

#include "resources/StringTable.h"

namespace apctl {

namespace {

}  // namespace

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
            fleet::AppendLatin1(&out, byte);
        }
    }
    return out + "\"";
}

std::string InterfaceNameJson(const std::string& bytes) {
    const bool utf8 = fleet::IsUtf8(bytes);
    std::string out = "\"";
    for (char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte == '"' || byte == '\\') {
            out.push_back('\\');
            out.push_back(c);
        } else if (byte < 0x20 || byte == 0x7F || (byte >= 0x80 && !utf8)) {
            char escaped[7];
            std::snprintf(escaped, sizeof escaped, "\\u%04X", byte);
            out += escaped;
        } else {
            out.push_back(c);
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

std::string AlignColumns(const std::vector<std::vector<std::string>>& rows) {
    std::vector<std::size_t> widths;
    for (const auto& row : rows) {
        widths.resize(std::max(widths.size(), row.size()), 0);
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

std::string RecordJson(const DeviceRecord& r) {
    return "{\"name\": " + JsonString(FieldText(r.name)) +
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

namespace {

std::string TableOf(const DeviceRecord* records, int count) {
    std::vector<std::vector<std::string>> rows;
    rows.push_back({LoadStringResource(IDS_COLUMN_NAME), LoadStringResource(IDS_COLUMN_IP_ADDRESS),
                    LoadStringResource(IDS_COLUMN_MAC),
                    LoadStringResource(IDS_COLUMN_IEEE_STANDARD),
                    LoadStringResource(IDS_COLUMN_FW_VERSION),
                    LoadStringResource(IDS_COLUMN_DESCRIPTION), "Local Address"});
    for (int i = 0; i < count; ++i) {
        const DeviceRecord& r = records[i];
        rows.push_back({Printable(FieldText(r.name)), Printable(FieldText(r.ipAddress)),
                        Printable(FieldText(r.macText)), WirelessModeText(r.wirelessMode),
                        Printable(FieldText(r.firmwareVersion)),
                        Printable(FieldText(r.description)), Printable(FieldText(r.localAddress))});
    }
    return AlignColumns(rows);
}

std::string JsonOf(const DeviceRecord* records, int count) {
    std::string out = "[";
    for (int i = 0; i < count; ++i) {
        const DeviceRecord& r = records[i];
        out += i == 0 ? "\n" : ",\n";
        out += "  " + RecordJson(r);
    }
    return out + (count > 0 ? "\n]\n" : "]\n");
}

std::string CsvOf(const DeviceRecord* records, int count) {
    std::string out =
        "name,macText,ipAddress,localAddress,description,ssidBg,channelBg,ssidA,channelA,"
        "wirelessMode,firmwareVersion\r\n";
    for (int i = 0; i < count; ++i) {
        const DeviceRecord& r = records[i];
        out += CsvField(FieldText(r.name)) + "," + CsvField(FieldText(r.macText)) + "," +
               CsvField(FieldText(r.ipAddress)) + "," + CsvField(FieldText(r.localAddress)) + "," +
               CsvField(FieldText(r.description)) + "," + CsvField(FieldText(r.ssidBg)) + "," +
               std::to_string(r.channelBg) + "," + CsvField(FieldText(r.ssidA)) + "," +
               std::to_string(r.channelA) + "," + std::to_string(r.wirelessMode) + "," +
               CsvField(FieldText(r.firmwareVersion)) + "\r\n";
    }
    return out;
}

int CountOf(const std::vector<DeviceRecord>& records) {
    return static_cast<int>(records.size());
}

}  // namespace

std::string FormatTable(const DeviceTable& table, int count) {
    return TableOf(table.records, count);
}
std::string FormatJson(const DeviceTable& table, int count) {
    return JsonOf(table.records, count);
}
std::string FormatCsv(const DeviceTable& table, int count) {
    return CsvOf(table.records, count);
}
std::string FormatTable(const std::vector<DeviceRecord>& records) {
    return TableOf(records.data(), CountOf(records));
}
std::string FormatJson(const std::vector<DeviceRecord>& records) {
    return JsonOf(records.data(), CountOf(records));
}
std::string FormatCsv(const std::vector<DeviceRecord>& records) {
    return CsvOf(records.data(), CountOf(records));
}

}  // namespace apctl
