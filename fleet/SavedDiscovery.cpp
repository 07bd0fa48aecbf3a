#include "fleet/SavedDiscovery.h"

#include <map>

#include "discovery/FieldText.h"
#include "fleet/RecordFields.h"
#include "fleet/Text.h"

namespace fleet {

namespace {

// One field of an object into the record, as discover wrote it; what is wrong when it cannot.
std::string ReadField(const RecordField& field, const Json& json, DeviceRecord* record) {
    const auto found = json.find(field.key);
    if (found == json.end()) {
        return std::string("no ") + field.key;
    }
    const std::string key = std::string(field.key) + ": ";
    if (field.isNumber()) {
        // Whole numbers above the signed range read as negative here, and are refused as such.
        const std::int64_t number = found->is_number_integer() ? found->get<std::int64_t>() : -1;
        if (number < 0 || number > 0xFFFF) {
            return key + "not a whole number from 0 to 65535";
        }
        field.assign(*record, std::to_string(number));
        return {};
    }
    if (!found->is_string()) {
        return key + "not a string but " + found->type_name();
    }
    std::string bytes;
    if (!Latin1FromUtf8(found->get_ref<const std::string&>(), &bytes)) {
        return key + "a character beyond U+00FF, which no access point sends";
    }
    if (bytes.find('\0') != std::string::npos) {
        return key + "holds \\u0000, which no access point's text does";
    }
    if (!field.assign(*record, bytes)) {
        return key + "longer than an access point's record holds";
    }
    return {};
}

// The library's message without its "[json.exception.out_of_range.406] " tag.
std::string Untagged(const Json::exception& e) {
    const std::string what = e.what();
    const std::size_t end = what.find("] ");
    return end == std::string::npos ? what : what.substr(end + 2);
}

bool Parse(std::string_view text, Json* parsed, std::string* error) {
    try {
        *parsed = Json::parse(text);
        return true;
    } catch (const Json::parse_error& e) {
        *error = "not JSON (at byte " + std::to_string(e.byte) + ")";
    } catch (const Json::exception& e) {
        // A number beyond a double's range is well-formed JSON that no discovery writes.
        *error = "not JSON that can be read: " + Printable(Untagged(e));
    }
    return false;
}

}  // namespace

bool RecordFromJson(const Json& json, DeviceRecord* record, std::string* error) {
    if (!json.is_object()) {
        *error = std::string("not an object but ") + json.type_name();
        return false;
    }
    DeviceRecord read{};
    for (const RecordField& field : RecordFields()) {
        if (std::string wrong = ReadField(field, json, &read); !wrong.empty()) {
            *error = std::move(wrong);
            return false;
        }
    }
    *record = read;
    return true;
}

bool ReadSavedDiscovery(std::string_view text, std::vector<DeviceRecord>* records,
                        std::string* error) {
    Json parsed;
    if (!Parse(text, &parsed, error)) {
        return false;
    }
    if (!parsed.is_array()) {
        *error =
            std::string("not a saved discovery: an array was expected, not ") + parsed.type_name();
        return false;
    }
    std::map<std::string, std::size_t> seen;  // MAC: record number
    records->clear();
    for (std::size_t i = 0; i < parsed.size(); ++i) {
        const std::string where = "record " + std::to_string(i + 1) + ": ";
        DeviceRecord record{};
        std::string wrong;
        if (!RecordFromJson(parsed[i], &record, &wrong)) {
            *error = where + wrong;
            return false;
        }
        const std::string mac = FieldText(record.macText);
        if (const auto [at, added] = seen.emplace(mac, i + 1); !added) {
            *error = where + "macText " + Printable(mac) + " is also record " +
                     std::to_string(at->second);
            return false;
        }
        records->push_back(record);
    }
    return true;
}

}  // namespace fleet

void to_json(fleet::Json& json, const DeviceRecord& record) {
    json = fleet::Json::object();
    for (const fleet::RecordField& field : fleet::RecordFields()) {
        const std::string value = field.value(record);
        json[field.key] = field.isNumber() ? fleet::Json(std::stoi(value))
                                           : fleet::Json(fleet::Utf8FromLatin1(value));
    }
}

void from_json(const fleet::Json& json, DeviceRecord& record) {
    std::string error;
    if (!fleet::RecordFromJson(json, &record, &error)) {
        throw fleet::RecordJsonError(error);
    }
}
