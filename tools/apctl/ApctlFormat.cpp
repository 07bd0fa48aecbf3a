#include "tools/apctl/ApctlFormat.h"

#include <algorithm>
#include <cstdio>

#include "fleet/RecordFields.h"
#include "resources/StringTable.h"

namespace apctl {

namespace {

bool IsNumber(const fleet::RecordField& field) {
    return field.kind == fleet::FieldKind::kNumber || field.kind == fleet::FieldKind::kMode;
}

}  // namespace

Json LocalTextValue(const std::string& bytes) {
    if (fleet::IsUtf8(bytes)) {
        return bytes;
    }
    const std::string text = InterfaceNameJson(bytes);
    return Json::binary(std::vector<std::uint8_t>(text.begin(), text.end()));
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

Json RecordObject(const DeviceRecord& r) {
    Json json = Json::object();
    for (const fleet::RecordField& field : fleet::RecordFields()) {
        const std::string value = field.value(r);
        json[field.key] = IsNumber(field) ? Json(std::stoi(value)) : JsonFromLatin1(value);
    }
    return json;
}

namespace {

std::string TableOf(const DeviceRecord* records, int count) {
    const std::vector<const fleet::RecordField*> columns = fleet::TableColumns();
    std::vector<std::vector<std::string>> rows(1);
    for (const fleet::RecordField* field : columns) {
        rows[0].push_back(field->headingString != 0 ? LoadStringResource(field->headingString)
                                                    : field->heading);
    }
    for (int i = 0; i < count; ++i) {
        std::vector<std::string>& row = rows.emplace_back();
        for (const fleet::RecordField* field : columns) {
            row.push_back(field->kind == fleet::FieldKind::kMode
                              ? WirelessModeText(records[i].wirelessMode)
                              : Printable(field->value(records[i])));
        }
    }
    return AlignColumns(rows);
}

std::string JsonOf(const DeviceRecord* records, int count) {
    Json array = Json::array();
    for (int i = 0; i < count; ++i) {
        array.push_back(RecordObject(records[i]));
    }
    return JsonArrayLines(array);
}

std::string CsvOf(const DeviceRecord* records, int count) {
    std::string out;
    for (const fleet::RecordField& field : fleet::RecordFields()) {
        if (!out.empty()) {
            out += ',';
        }
        out += field.key;
    }
    out += "\r\n";
    for (int i = 0; i < count; ++i) {
        std::string line;
        for (const fleet::RecordField& field : fleet::RecordFields()) {
            const std::string value = field.value(records[i]);
            if (!line.empty()) {
                line += ',';
            }
            line += IsNumber(field) ? value : CsvField(value);
        }
        out += line + "\r\n";
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
