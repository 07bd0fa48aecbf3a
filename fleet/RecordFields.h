#pragma once

#include <span>
#include <string>
#include <vector>

#include "discovery/DeviceRecord.h"

// The one list of an access point record's fields: how each is named in JSON and CSV, where and
// under which heading discover's table shows it, and whether watch compares it. Every output
// form and watch take their fields from here.
namespace fleet {

enum class FieldKind {
    kPlain,   // a text that never needs quotes for a person: an address, a MAC, a version
    kText,    // a text from the access point's owner: a name, a description, an SSID
    kNumber,  // a number
    kMode,    // the wireless mode: a number, shown by its standard's name
};

struct RecordField {
    const char* key;  // the JSON key and the CSV column
    FieldKind kind;
    int tableColumn;      // position in discover's table, from 1; 0: not in the table
    int headingString;    // the table heading's string-table id; 0: `heading`
    const char* heading;  // the table heading when it has no string-table id
    int watchOrder;       // position among the fields watch compares, from 1; 0: not compared
    // The field's bytes as received (texts), or its decimal value (numbers).
    std::string (*value)(const DeviceRecord&);
    // The inverse, for a record read back from a saved output: texts as bytes, numbers in
    // decimal. False, with the record unchanged, when the value does not fit the field: a text
    // longer than discovery ever stores there, or a number beyond 16 bits.
    bool (*assign)(DeviceRecord&, const std::string&);

    // A number in every output form (JSON, CSV, the schemas), a text otherwise.
    constexpr bool isNumber() const {
        return kind == FieldKind::kNumber || kind == FieldKind::kMode;
    }
};

// Every field, in the order of the JSON object and the CSV columns.
std::span<const RecordField> RecordFields();
// The fields of discover's table, left to right.
std::vector<const RecordField*> TableColumns();
// The fields watch compares, in the order it reports their changes.
std::vector<const RecordField*> WatchedFields();

}  // namespace fleet
