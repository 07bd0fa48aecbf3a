#include "tools/apctl/ApctlFormat.h"

#include <algorithm>
#include <cstdio>

#include "resources/StringTable.h"

namespace apctl {

namespace {

// Latin-1 byte to UTF-8.
void AppendLatin1(std::string* out, unsigned char byte) {
    if (byte < 0x80) {
        out->push_back(static_cast<char>(byte));
    } else {
        out->push_back(static_cast<char>(0xC0 | (byte >> 6)));
        out->push_back(static_cast<char>(0x80 | (byte & 0x3F)));
    }
}

// The length of the well-formed UTF-8 sequence at `at` (no overlong forms, no surrogates, nothing
// above U+10FFFF), or 0.
std::size_t Utf8SequenceLength(const std::string& text, std::size_t at) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    if (lead < 0x80) {
        return 1;
    }
    std::size_t length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (at + length > text.size() || byte(at + 1) < low || byte(at + 1) > high) {
        return 0;
    }
    for (std::size_t i = 2; i < length; ++i) {
        if (byte(at + i) < 0x80 || byte(at + i) > 0xBF) {
            return 0;
        }
    }
    return length;
}

bool IsUtf8(const std::string& text) {
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t length = Utf8SequenceLength(text, at);
        if (length == 0) {
            return false;
        }
        at += length;
    }
    return true;
}

void AppendEscapedByte(std::string* out, unsigned char byte) {
    char escaped[5];
    std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
    *out += escaped;
}

}  // namespace

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

std::string InterfaceNameText(const std::string& bytes) {
    std::string out;
    for (std::size_t at = 0; at < bytes.size();) {
        const auto byte = static_cast<unsigned char>(bytes[at]);
        const std::size_t length = Utf8SequenceLength(bytes, at);
        // U+0080 to U+009F, the C1 controls, some terminals obey as UTF-8 too.
        const bool control =
            byte < 0x20 || byte == 0x7F || byte == '\\' ||
            (byte == 0xC2 && length == 2 && static_cast<unsigned char>(bytes[at + 1]) < 0xA0);
        if (length == 0 || control) {
            const std::size_t escapedLength = length == 0 ? 1 : length;
            for (std::size_t i = 0; i < escapedLength; ++i) {
                AppendEscapedByte(&out, static_cast<unsigned char>(bytes[at + i]));
            }
            at += escapedLength;
            continue;
        }
        out.append(bytes, at, length);
        at += length;
    }
    return out;
}

std::string InterfaceNameJson(const std::string& bytes) {
    const bool utf8 = IsUtf8(bytes);
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
