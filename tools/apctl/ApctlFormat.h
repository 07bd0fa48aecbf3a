#pragma once

#include <string>
#include <vector>

#include "discovery/DeviceRecord.h"
#include "discovery/FieldText.h"
#include "fleet/Text.h"
#include "tools/apctl/Json.h"

// The printed forms of what apctl finds. Texts from the network are single bytes, decoded as
// Latin-1; the terminal forms show control characters as escapes so a hostile name cannot drive
// the terminal.
namespace apctl {

using fleet::InterfaceNameText;
using fleet::Printable;
using fleet::SecondsText;
using fleet::Utf8FromLatin1;

// An interface name in JSON: its UTF-8 when it is valid UTF-8, each byte above 0x7F \u-escaped
// when it is not.
std::string InterfaceNameJson(const std::string& bytes);
// A text this machine wrote (an interface name, or a message that names one) as a JSON value:
// its UTF-8 as it is, not decoded again as Latin-1; when it is no UTF-8, as InterfaceNameJson
// writes it, since the JSON library holds UTF-8 strings only.
Json LocalTextValue(const std::string& bytes);
std::string CsvField(const std::string& bytes);
// Rows of cells (UTF-8) as lines with the columns aligned two spaces apart.
std::string AlignColumns(const std::vector<std::vector<std::string>>& rows);

// One record as a JSON object named by the record's fields.
Json RecordObject(const DeviceRecord& record);

// An aligned table with the list's columns and the local address, a JSON array of objects, or
// CSV with a header row.
std::string FormatTable(const DeviceTable& table, int count);
std::string FormatJson(const DeviceTable& table, int count);
std::string FormatCsv(const DeviceTable& table, int count);
std::string FormatTable(const std::vector<DeviceRecord>& records);
std::string FormatJson(const std::vector<DeviceRecord>& records);
std::string FormatCsv(const std::vector<DeviceRecord>& records);

}  // namespace apctl
