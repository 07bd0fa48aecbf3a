#include "tools/apctl/ApctlFormat.h"

#include <algorithm>

#include "fleet/RecordFields.h"
#include "resources/StringTable.h"

namespace apctl {

Json LocalTextValue(const std::string& bytes) {
    return bytes;
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
        array.push_back(records[i]);
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
            line += field.isNumber() ? value : CsvField(value);
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
