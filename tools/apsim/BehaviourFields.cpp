#include <QJsonArray>

#include "tools/apsim/AccessPointFields.h"

namespace apsim::fleet {

const FieldParsers& BehaviourFields() {
    static const FieldParsers fields = {
        {"answer",
         [](const QJsonValue& value, const Path& path, AccessPointEntry* entry,
            std::string* error) {
             if (value.toString() != "every" && value.toString() != "first") {
                 return Fail(path, "expected \"every\" or \"first\"", error);
             }
             entry->settings.answerEveryCopy = value.toString() == "every";
             return true;
         }},
        {"status", NumberField(&sim::AccessPointSettings::status, 0, 0xFF)},
        {"replyDelayMs", NumberField(&sim::AccessPointSettings::replyDelayMs, 0, 60000)},
        {"reply",
         [](const QJsonValue& value, const Path& path, AccessPointEntry* entry,
            std::string* error) {
             if (value.toString() != "unicast" && value.toString() != "broadcast") {
                 return Fail(path, "expected \"unicast\" or \"broadcast\"", error);
             }
             entry->settings.replyByBroadcast = value.toString() == "broadcast";
             return true;
         }},
        {"elements",
         [](const QJsonValue& value, const Path& path, AccessPointEntry* entry,
            std::string* error) {
             if (!value.isArray()) {
                 return Fail(path, "expected an array of element types", error);
             }
             std::vector<std::uint16_t> types;
             const QJsonArray items = value.toArray();
             for (qsizetype i = 0; i < items.size(); ++i) {
                 std::uint16_t type = 0;
                 if (!ReadNumber(items[i], ItemPath(path, i), 0, 0xFFFF, &type, error)) {
                     return false;
                 }
                 types.push_back(type);
             }
             entry->settings.elementOrder = std::move(types);
             return true;
         }},
        {"extraElements",
         [](const QJsonValue& value, const Path& path, AccessPointEntry* entry,
            std::string* error) {
             return ReadExtraElements(value, path, &entry->settings.extraElements, error);
         }},
        {"trailingHex",
         [](const QJsonValue& value, const Path& path, AccessPointEntry* entry,
            std::string* error) {
             return ReadHex(value, path, 65000, &entry->settings.trailingBytes, error);
         }},
        {"areaLength",
         [](const QJsonValue& value, const Path& path, AccessPointEntry* entry,
            std::string* error) {
             std::uint16_t length = 0;
             if (!ReadNumber(value, path, 0, 0xFFFF, &length, error)) {
                 return false;
             }
             entry->settings.declaredAreaLength = length;
             return true;
         }},
        {"rawReplyHex",
         [](const QJsonValue& value, const Path& path, AccessPointEntry* entry,
            std::string* error) {
             std::vector<std::uint8_t> bytes;
             if (!ReadHex(value, path, 65000, &bytes, error)) {
                 return false;
             }
             entry->settings.rawReply = std::move(bytes);
             return true;
         }},
        {"floodCopies", NumberField(&sim::AccessPointSettings::floodCopies, 1, 20000)},
        {"floodDistinctMacs", BoolField(&sim::AccessPointSettings::floodDistinctMacs)},
        {"acknowledgeConfiguration",
         BoolField(&sim::AccessPointSettings::acknowledgeConfiguration)},
        {"acknowledgeReset", BoolField(&sim::AccessPointSettings::acknowledgeReset)},
        {"acknowledgementStatus",
         NumberField(&sim::AccessPointSettings::acknowledgementStatus, 0, 0xFF)},
        {"silentAfterResetMs",
         NumberField(&sim::AccessPointSettings::silentAfterResetMs, 0, 600000)},
        {"junkEveryMs",
         [](const QJsonValue& value, const Path& path, AccessPointEntry* entry,
            std::string* error) {
             return ReadNumber(value, path, 0, 60000, &entry->junkEveryMs, error);
         }},
        {"dhcpPool",
         [](const QJsonValue& value, const Path& path, AccessPointEntry* entry,
            std::string* error) {
             if (!value.isArray()) {
                 return Fail(path, "expected an array of dotted IPv4 addresses", error);
             }
             entry->settings.dhcpPool.clear();
             const QJsonArray items = value.toArray();
             for (qsizetype i = 0; i < items.size(); ++i) {
                 std::uint32_t address = 0;
                 if (!ReadAddressValue(items[i], ItemPath(path, i), &address, error)) {
                     return false;
                 }
                 entry->settings.dhcpPool.push_back(address);
             }
             return true;
         }},
    };
    return fields;
}

}  // namespace apsim::fleet
