#include "tools/apsim/AccessPointFields.h"

namespace apsim::fleet {

namespace {

const FieldParsers& AllFields() {
    static const FieldParsers fields = [] {
        FieldParsers all = IdentityFields();
        all.insert(BehaviourFields().begin(), BehaviourFields().end());
        return all;
    }();
    return fields;
}

std::string KnownFieldList() {
    std::string list = "network, address";
    for (const auto& [name, parser] : AllFields()) {
        list += ", " + name.toStdString();
    }
    return list;
}

}  // namespace

const FieldParsers& IdentityFields() {
    static const FieldParsers fields = {
        {"name", TextField(&sim::AccessPointSettings::name)},
        {"mac",
         [](const QJsonValue& value, const Path& path, AccessPointEntry* entry,
            std::string* error) { return ReadMac(value, path, &entry->settings.mac, error); }},
        {"description", TextField(&sim::AccessPointSettings::description)},
        {"firmware",
         [](const QJsonValue& value, const Path& path, AccessPointEntry* entry,
            std::string* error) {
             std::vector<std::uint8_t> bytes;
             if (!ReadHex(value, path, 2, &bytes, error)) {
                 return false;
             }
             if (bytes.size() != 2) {
                 return Fail(path, "expected 4 hexadecimal digits (2 bytes)", error);
             }
             entry->settings.firmware = {bytes[0], bytes[1]};
             return true;
         }},
        {"ssidBg", TextField(&sim::AccessPointSettings::ssidBg)},
        {"channelBg", NumberField(&sim::AccessPointSettings::channelBg, 0, 0xFFFF)},
        {"ssidA", TextField(&sim::AccessPointSettings::ssidA)},
        {"channelA", NumberField(&sim::AccessPointSettings::channelA, 0, 0xFFFF)},
        {"wirelessMode", NumberField(&sim::AccessPointSettings::wirelessMode, 0, 0xFFFF)},
    };
    return fields;
}

bool ParseAccessPointObject(const QJsonObject& object, const Path& path, AccessPointEntry* entry,
                            PendingPlacement* placement, std::string* error) {
    const auto& fields = AllFields();
    for (auto it = object.begin(); it != object.end(); ++it) {
        const Path fieldPath = path + "." + it.key().toStdString();
        if (it.key() == "network") {
            placement->networkPath = fieldPath;
            if (!ReadTextList(it.value(), fieldPath, &placement->networks, error)) {
                return false;
            }
            continue;
        }
        if (it.key() == "address") {
            placement->addressPath = fieldPath;
            if (!ReadTextList(it.value(), fieldPath, &placement->addresses, error)) {
                return false;
            }
            continue;
        }
        const auto field = fields.find(it.key());
        if (field == fields.end()) {
            return Fail(fieldPath, "unknown field (known: " + KnownFieldList() + ")", error);
        }
        if (!field->second(it.value(), fieldPath, entry, error)) {
            return false;
        }
    }
    return true;
}

}  // namespace apsim::fleet
