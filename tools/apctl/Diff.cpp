#include "tools/apctl/Diff.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>

#include "fleet/RecordFields.h"
#include "fleet/WatchChanges.h"
#include "tools/apctl/ApctlFormat.h"
#include "tools/apctl/ApctlRun.h"
#include "tools/apctl/ChangeLines.h"

namespace apctl {

namespace {

bool ReadWholeFile(const std::string& path, std::string* text, std::string* error) {
    const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"),
                                                               std::fclose);
    if (!file) {
        *error = std::strerror(errno);
        return false;
    }
    char buffer[65536];
    std::size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, file.get())) > 0) {
        text->append(buffer, got);
    }
    if (std::ferror(file.get()) != 0) {
        // A directory opens, and fails only here.
        *error = std::strerror(errno);
        return false;
    }
    return true;
}

// One field of an element into the record, as discover wrote it.
bool ReadField(const fleet::RecordField& field, const Json& element, DeviceRecord* record,
               std::string* error) {
    const auto found = element.find(field.key);
    if (found == element.end()) {
        *error = std::string("no ") + field.key;
        return false;
    }
    const std::string key = std::string(field.key) + ": ";
    if (field.kind == fleet::FieldKind::kNumber || field.kind == fleet::FieldKind::kMode) {
        if (!found->is_number_unsigned() || found->get<std::uint64_t>() > 0xFFFF) {
            *error = key + "not a whole number from 0 to 65535";
            return false;
        }
        return field.assign(*record, std::to_string(found->get<std::uint64_t>()));
    }
    if (!found->is_string()) {
        *error = key + "not a string but " + found->type_name();
        return false;
    }
    std::string bytes;
    if (!fleet::Latin1FromUtf8(found->get_ref<const std::string&>(), &bytes)) {
        *error = key + "a character beyond U+00FF, which no access point sends";
        return false;
    }
    if (bytes.find('\0') != std::string::npos) {
        *error = key + "holds \\u0000, which no access point's text does";
        return false;
    }
    if (!field.assign(*record, bytes)) {
        *error = key + "longer than an access point's record holds";
        return false;
    }
    return true;
}

}  // namespace

bool ReadDiscoveryJson(const std::string& text, std::vector<DeviceRecord>* records,
                       std::string* error) {
    Json parsed;
    try {
        parsed = Json::parse(text);
    } catch (const Json::parse_error& e) {
        *error = "not JSON (at byte " + std::to_string(e.byte) + ")";
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
        const Json& element = parsed[i];
        if (!element.is_object()) {
            *error = where + "not an object but " + element.type_name();
            return false;
        }
        DeviceRecord record{};
        for (const fleet::RecordField& field : fleet::RecordFields()) {
            std::string wrong;
            if (!ReadField(field, element, &record, &wrong)) {
                *error = where + wrong;
                return false;
            }
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

int Diff(const Command& command, std::ostream& out, std::ostream& err) {
    std::vector<DeviceRecord> lists[2];
    const std::string* paths[] = {&command.oldPath, &command.newPath};
    for (int i = 0; i < 2; ++i) {
        std::string text, error;
        if (!ReadWholeFile(*paths[i], &text, &error) ||
            !ReadDiscoveryJson(text, &lists[i], &error)) {
            err << "apctl: " << InterfaceNameText(*paths[i]) << ": " << error << "\n";
            return kExitUsage;
        }
    }
    const std::vector<fleet::Change> changes = fleet::CompareOnce(lists[0], lists[1]);
    const ChangeLineForm form{command.format == OutputFormat::kJson, "", "not in the new file"};
    for (const fleet::Change& change : changes) {
        PrintChange(change, form, out);
    }
    return changes.empty() ? kExitSuccess : kExitFailed;
}

}  // namespace apctl
