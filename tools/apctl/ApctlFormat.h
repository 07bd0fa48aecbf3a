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

// A text this machine wrote (an interface name, or a message that names one) as a JSON value:
// its bytes as they are, not decoded again as Latin-1. They need not be UTF-8: JsonText writes
// them as JsonString does. Not for the library's dump(), which takes UTF-8 only.
Json LocalTextValue(const std::string& bytes);
std::string CsvField(const std::string& bytes);
// Rows of cells (UTF-8) as lines with the columns aligned two spaces apart.
std::string AlignColumns(const std::vector<std::vector<std::string>>& rows);

// An aligned table with the list's columns and the local address, a JSON array of objects, or
// CSV with a header row.
std::string FormatTable(const DeviceTable& table, int count);
std::string FormatJson(const DeviceTable& table, int count);
std::string FormatCsv(const DeviceTable& table, int count);
std::string FormatTable(const std::vector<DeviceRecord>& records);
std::string FormatJson(const std::vector<DeviceRecord>& records);
std::string FormatCsv(const std::vector<DeviceRecord>& records);

}  // namespace apctl
