#pragma once

#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "discovery/DeviceRecord.h"

namespace fleet {

// Objects keep their keys in the order they were written: a record's are the order of
// RecordFields(), which is the order scripts and people have always read.
using Json = nlohmann::ordered_json;

// A record that a JSON value cannot be: the field and what is wrong with it, "name: not a string
// but number".
class RecordJsonError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The inverse of to_json: false, with what is wrong, when `json` is not a record as discover
// writes it (a key missing, a text beyond U+00FF or longer than its field, a number that is not
// a whole one from 0 to 65535). Keys of no field are ignored.
bool RecordFromJson(const Json& json, DeviceRecord* record, std::string* error);

// The records of a saved `discover --json` output, texts back in their single bytes. False with
// what is wrong (no file name) when the text is not such an output: not JSON, not an array of
// records, or a MAC twice. Never throws for any text.
bool ReadSavedDiscovery(std::string_view text, std::vector<DeviceRecord>* records,
                        std::string* error);

}  // namespace fleet

// A record as a JSON object keyed by RecordFields(): numbers as numbers, texts as the UTF-8 of
// their Latin-1 reading. Beside DeviceRecord, so that Json(record) finds them.
void to_json(fleet::Json& json, const DeviceRecord& record);
// Throws fleet::RecordJsonError where RecordFromJson is false.
void from_json(const fleet::Json& json, DeviceRecord& record);
