#include "tools/apsim/FleetFile.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>

#include <arpa/inet.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <map>
#include <set>

namespace apsim {

namespace {

// The length byte of an element counts its 3 header bytes.
constexpr std::size_t kMaxElementValue = 252;

using Path = std::string;

bool Fail(const Path& path, const std::string& message, std::string* error) {
    *error = path + ": " + message;
    return false;
}

std::string Quoted(const QString& text) {
    // Appended, not `"\"" + string`: GCC 12 at -O3 takes that insert for an overlapping copy.
    return std::string(1, '"').append(text.toStdString()).append(1, '"');
}

bool ReadInteger(const QJsonValue& value, const Path& path, long long min, long long max,
                 long long* out, std::string* error) {
    const double number = value.toDouble();
    if (!value.isDouble() || std::floor(number) != number || number < static_cast<double>(min) ||
        number > static_cast<double>(max)) {
        return Fail(
            path,
            "expected a whole number from " + std::to_string(min) + " to " + std::to_string(max),
            error);
    }
    *out = static_cast<long long>(number);
    return true;
}

template <typename T>
bool ReadNumber(const QJsonValue& value, const Path& path, long long min, long long max, T* out,
                std::string* error) {
    long long number = 0;
    if (!ReadInteger(value, path, min, max, &number, error)) {
        return false;
    }
    *out = static_cast<T>(number);
    return true;
}

bool ReadBool(const QJsonValue& value, const Path& path, bool* out, std::string* error) {
    if (!value.isBool()) {
        return Fail(path, "expected true or false", error);
    }
    *out = value.toBool();
    return true;
}

// Texts travel as single bytes, so each character must be a Latin-1 code point; that also lets a
// fleet put any byte value into a name.
bool ReadText(const QJsonValue& value, const Path& path, std::string* out, std::string* error) {
    if (!value.isString()) {
        return Fail(path, "expected a text", error);
    }
    const QString text = value.toString();
    std::string bytes;
    for (const QChar character : text) {
        if (character.unicode() > 0xFF) {
            return Fail(path,
                        "character U+" +
                            QString::number(character.unicode(), 16)
                                .toUpper()
                                .rightJustified(4, '0')
                                .toStdString() +
                            " is not a single byte (Latin-1)",
                        error);
        }
        bytes.push_back(static_cast<char>(character.unicode()));
    }
    if (bytes.size() > kMaxElementValue) {
        return Fail(path,
                    "longer than " + std::to_string(kMaxElementValue) +
                        " bytes, the most one element can carry",
                    error);
    }
    *out = std::move(bytes);
    return true;
}

int HexValue(char digit) {
    if (digit >= '0' && digit <= '9') {
        return digit - '0';
    }
    if (digit >= 'a' && digit <= 'f') {
        return digit - 'a' + 10;
    }
    if (digit >= 'A' && digit <= 'F') {
        return digit - 'A' + 10;
    }
    return -1;
}

// Hexadecimal bytes; spaces between them are allowed for readability.
bool ReadHex(const QJsonValue& value, const Path& path, std::size_t maxBytes,
             std::vector<std::uint8_t>* out, std::string* error) {
    if (!value.isString()) {
        return Fail(path, "expected hexadecimal digits in a text", error);
    }
    std::string digits;
    for (const QChar character : value.toString()) {
        if (character == ' ') {
            continue;
        }
        if (character.unicode() > 0x7F || HexValue(static_cast<char>(character.unicode())) < 0) {
            return Fail(path, "expected hexadecimal digits, got " + Quoted(value.toString()),
                        error);
        }
        digits.push_back(static_cast<char>(character.unicode()));
    }
    if (digits.size() % 2 != 0) {
        return Fail(path, "odd number of hexadecimal digits", error);
    }
    if (digits.size() / 2 > maxBytes) {
        return Fail(path, "more than " + std::to_string(maxBytes) + " bytes", error);
    }
    out->clear();
    for (std::size_t at = 0; at < digits.size(); at += 2) {
        out->push_back(
            static_cast<std::uint8_t>(HexValue(digits[at]) * 16 + HexValue(digits[at + 1])));
    }
    return true;
}

bool ReadMac(const QJsonValue& value, const Path& path, std::array<std::uint8_t, 6>* mac,
             std::string* error) {
    const std::string problem =
        "expected 12 hexadecimal digits, alone or in pairs separated by ':' or '-', got ";
    if (!value.isString()) {
        return Fail(path, problem + "no text", error);
    }
    const std::string text = value.toString().toStdString();
    std::string digits = text;
    if (text.size() == 17) {
        const char separator = text[2];
        digits.clear();
        for (std::size_t at = 0; at < text.size(); ++at) {
            if (at % 3 == 2) {
                if (text[at] != separator || (separator != ':' && separator != '-')) {
                    return Fail(path, problem + Quoted(value.toString()), error);
                }
            } else {
                digits.push_back(text[at]);
            }
        }
    }
    if (digits.size() != 12) {
        return Fail(path, problem + Quoted(value.toString()), error);
    }
    for (std::size_t at = 0; at < 6; ++at) {
        const int high = HexValue(digits[2 * at]);
        const int low = HexValue(digits[2 * at + 1]);
        if (high < 0 || low < 0) {
            return Fail(path, problem + Quoted(value.toString()), error);
        }
        (*mac)[at] = static_cast<std::uint8_t>(high * 16 + low);
    }
    return true;
}

bool ReadAddressValue(const QJsonValue& value, const Path& path, std::uint32_t* address,
                      std::string* error) {
    if (!value.isString() || !ParseAddress(value.toString().toStdString(), address)) {
        return Fail(path,
                    "expected a dotted IPv4 address such as 10.0.0.5, got " +
                        (value.isString() ? Quoted(value.toString()) : std::string("no text")),
                    error);
    }
    return true;
}

// A single text or an array of texts.
bool ReadTextList(const QJsonValue& value, const Path& path, std::vector<std::string>* out,
                  std::string* error) {
    out->clear();
    if (value.isString()) {
        out->push_back(value.toString().toStdString());
        return true;
    }
    if (!value.isArray() || value.toArray().isEmpty()) {
        return Fail(path, "expected a text or a non-empty array of texts", error);
    }
    const QJsonArray items = value.toArray();
    for (qsizetype i = 0; i < items.size(); ++i) {
        if (!items[i].isString()) {
            return Fail(path + "[" + std::to_string(i) + "]", "expected a text", error);
        }
        out->push_back(items[i].toString().toStdString());
    }
    return true;
}

bool ReadExtraElements(const QJsonValue& value, const Path& path, std::vector<sim::RawElement>* out,
                       std::string* error) {
    if (!value.isArray()) {
        return Fail(path, "expected an array of elements", error);
    }
    const QJsonArray items = value.toArray();
    out->clear();
    for (qsizetype i = 0; i < items.size(); ++i) {
        const Path itemPath = path + "[" + std::to_string(i) + "]";
        if (!items[i].isObject()) {
            return Fail(itemPath, "expected an object with \"type\" and \"hex\" or \"text\"",
                        error);
        }
        const QJsonObject item = items[i].toObject();
        sim::RawElement element;
        for (auto it = item.begin(); it != item.end(); ++it) {
            const Path fieldPath = itemPath + "." + it.key().toStdString();
            bool ok = true;
            if (it.key() == "type") {
                ok = ReadNumber(it.value(), fieldPath, 0, 0xFFFF, &element.type, error);
            } else if (it.key() == "hex") {
                ok = ReadHex(it.value(), fieldPath, kMaxElementValue, &element.value, error);
            } else if (it.key() == "text") {
                std::string text;
                ok = ReadText(it.value(), fieldPath, &text, error);
                element.value.assign(text.begin(), text.end());
            } else if (it.key() == "length") {
                std::uint8_t length = 0;
                ok = ReadNumber(it.value(), fieldPath, 0, 0xFF, &length, error);
                element.declaredLength = length;
            } else {
                return Fail(fieldPath, "unknown field (known: type, hex, text, length)", error);
            }
            if (!ok) {
                return false;
            }
        }
        if (!item.contains("type")) {
            return Fail(itemPath + ".type", "missing", error);
        }
        if (item.contains("hex") && item.contains("text")) {
            return Fail(itemPath, "give \"hex\" or \"text\", not both", error);
        }
        out->push_back(std::move(element));
    }
    return true;
}

using FieldParser =
    std::function<bool(const QJsonValue&, const Path&, AccessPointEntry*, std::string*)>;

template <typename T>
FieldParser NumberField(T sim::AccessPointSettings::*member, long long min, long long max) {
    return [=](const QJsonValue& value, const Path& path, AccessPointEntry* entry,
               std::string* error) {
        return ReadNumber(value, path, min, max, &(entry->settings.*member), error);
    };
}

FieldParser TextField(std::string sim::AccessPointSettings::*member) {
    return [=](const QJsonValue& value, const Path& path, AccessPointEntry* entry,
               std::string* error) {
        return ReadText(value, path, &(entry->settings.*member), error);
    };
}

FieldParser BoolField(bool sim::AccessPointSettings::*member) {
    return [=](const QJsonValue& value, const Path& path, AccessPointEntry* entry,
               std::string* error) {
        return ReadBool(value, path, &(entry->settings.*member), error);
    };
}

// Network names and addresses are read here as texts and matched to the networks afterwards.
struct PendingPlacement {
    std::vector<std::string> networks;
    std::vector<std::string> addresses;
    Path networkPath;
    Path addressPath;
};

const std::map<QString, FieldParser>& AccessPointFields() {
    static const std::map<QString, FieldParser> fields = {
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
                 if (!ReadNumber(items[i], path + "[" + std::to_string(i) + "]", 0, 0xFFFF, &type,
                                 error)) {
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
                 if (!ReadAddressValue(items[i], path + "[" + std::to_string(i) + "]", &address,
                                       error)) {
                     return false;
                 }
                 entry->settings.dhcpPool.push_back(address);
             }
             return true;
         }},
    };
    return fields;
}

std::string KnownFieldList() {
    std::string list = "network, address";
    for (const auto& [name, parser] : AccessPointFields()) {
        list += ", " + name.toStdString();
    }
    return list;
}

bool ParseAccessPointObject(const QJsonObject& object, const Path& path, AccessPointEntry* entry,
                            PendingPlacement* placement, std::string* error) {
    const auto& fields = AccessPointFields();
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

bool Contains(const LabNetwork& network, std::uint32_t address) {
    const std::uint32_t mask =
        network.prefixLength == 0 ? 0 : htonl(~0u << (32 - network.prefixLength));
    return (address & mask) == (network.hostAddress & mask);
}

bool ParseNetworks(const QJsonValue& value, std::vector<LabNetwork>* networks, std::string* error) {
    const Path path = "networks";
    if (!value.isArray() || value.toArray().isEmpty()) {
        return Fail(path, "expected a non-empty array of networks", error);
    }
    const QJsonArray items = value.toArray();
    if (static_cast<std::size_t>(items.size()) > kMaxNetworks) {
        return Fail(path, "at most " + std::to_string(kMaxNetworks) + " networks", error);
    }
    networks->clear();
    for (qsizetype i = 0; i < items.size(); ++i) {
        const Path itemPath = path + "[" + std::to_string(i) + "]";
        if (!items[i].isObject()) {
            return Fail(itemPath, "expected an object with \"name\" and \"hostAddress\"", error);
        }
        const QJsonObject item = items[i].toObject();
        LabNetwork network;
        for (auto it = item.begin(); it != item.end(); ++it) {
            if (it.key() != "name" && it.key() != "hostAddress") {
                return Fail(itemPath + "." + it.key().toStdString(),
                            "unknown field (known: name, hostAddress)", error);
            }
        }
        // The name becomes part of a namespace name and an interface name (at most 15 bytes).
        const QString name = item.value("name").toString();
        bool nameOk = !name.isEmpty() && name.size() <= 8 && name[0] >= 'a' && name[0] <= 'z' &&
                      name != "host";
        for (const QChar character : name) {
            nameOk = nameOk && ((character >= 'a' && character <= 'z') ||
                                (character >= '0' && character <= '9'));
        }
        if (!nameOk) {
            return Fail(itemPath + ".name",
                        "expected 1 to 8 lower-case letters and digits starting with a letter, "
                        "not \"host\", got " +
                            Quoted(name),
                        error);
        }
        network.name = name.toStdString();
        const std::string hostAddress = item.value("hostAddress").toString().toStdString();
        const std::size_t slash = hostAddress.find('/');
        const std::string prefix = slash == std::string::npos ? "" : hostAddress.substr(slash + 1);
        const bool prefixOk = (prefix.size() == 1 || prefix.size() == 2) &&
                              prefix.find_first_not_of("0123456789") == std::string::npos;
        network.prefixLength = prefixOk ? std::stoi(prefix) : 0;
        if (!prefixOk || network.prefixLength < 8 || network.prefixLength > 30 ||
            !ParseAddress(hostAddress.substr(0, slash), &network.hostAddress)) {
            return Fail(itemPath + ".hostAddress",
                        "expected ADDRESS/PREFIX with a prefix of 8 to 30, such as "
                        "10.0.0.200/24, got \"" +
                            hostAddress + "\"",
                        error);
        }
        for (const LabNetwork& other : *networks) {
            if (other.name == network.name) {
                return Fail(itemPath + ".name", "\"" + network.name + "\" is used twice", error);
            }
            if (Contains(other, network.hostAddress) || Contains(network, other.hostAddress)) {
                return Fail(itemPath + ".hostAddress",
                            "overlaps the subnet of network \"" + other.name + "\"", error);
            }
        }
        networks->push_back(network);
    }
    return true;
}

bool Place(const PendingPlacement& pending, const std::vector<LabNetwork>& networks,
           const Path& path, AccessPointEntry* entry, std::string* error) {
    std::vector<std::string> names = pending.networks;
    if (names.empty()) {
        names.push_back(networks.front().name);
    }
    if (pending.addresses.empty()) {
        return Fail(path + ".address", "missing", error);
    }
    if (pending.addresses.size() != names.size()) {
        return Fail(pending.addressPath,
                    "expected one address per network (" + std::to_string(names.size()) + ")",
                    error);
    }
    entry->placements.clear();
    for (std::size_t i = 0; i < names.size(); ++i) {
        Path networkPath = pending.networkPath.empty() ? path + ".network" : pending.networkPath;
        if (pending.networks.size() > 1) {
            networkPath += "[" + std::to_string(i) + "]";
        }
        const auto network =
            std::find_if(networks.begin(), networks.end(),
                         [&](const LabNetwork& candidate) { return candidate.name == names[i]; });
        if (network == networks.end()) {
            return Fail(networkPath, "no network named \"" + names[i] + "\"", error);
        }
        for (const Placement& earlier : entry->placements) {
            if (earlier.network == names[i]) {
                return Fail(networkPath, "network \"" + names[i] + "\" named twice", error);
            }
        }
        const Path addressPath = pending.addresses.size() > 1
                                     ? pending.addressPath + "[" + std::to_string(i) + "]"
                                     : pending.addressPath;
        Placement placement{names[i], 0};
        if (!ReadAddressValue(QJsonValue(QString::fromStdString(pending.addresses[i])), addressPath,
                              &placement.address, error)) {
            return false;
        }
        // The host would take a datagram from its own address for a spoofed one and drop it.
        if (placement.address == network->hostAddress) {
            return Fail(addressPath,
                        FormatAddress(placement.address) + " is the lab host's own address on \"" +
                            names[i] + "\"",
                        error);
        }
        entry->placements.push_back(placement);
    }
    return true;
}

bool ParseAccessPoint(const QJsonValue& value, const QJsonObject& defaults, const Path& path,
                      const std::vector<LabNetwork>& networks, AccessPointEntry* entry,
                      std::string* error) {
    if (!value.isObject()) {
        return Fail(path, "expected an object", error);
    }
    PendingPlacement placement;
    if (!ParseAccessPointObject(defaults, "defaults", entry, &placement, error) ||
        !ParseAccessPointObject(value.toObject(), path, entry, &placement, error)) {
        return false;
    }
    if (!value.toObject().contains("mac")) {
        return Fail(path + ".mac", "missing", error);
    }
    return Place(placement, networks, path, entry, error);
}

bool ParseDefaults(const QJsonValue& value, QJsonObject* defaults, std::string* error) {
    if (!value.isObject()) {
        return Fail("defaults", "expected an object of access point fields", error);
    }
    *defaults = value.toObject();
    for (const char* identity : {"name", "mac", "address"}) {
        if (defaults->contains(identity)) {
            return Fail(std::string("defaults.") + identity,
                        "belongs to each access point, not to the defaults", error);
        }
    }
    // Checked once here so that a mistake is reported under its own path.
    AccessPointEntry scratch;
    PendingPlacement placement;
    return ParseAccessPointObject(*defaults, "defaults", &scratch, &placement, error);
}

}  // namespace

std::vector<LabNetwork> DefaultNetworks() {
    LabNetwork first{"lan0", 0, 24};
    LabNetwork second{"lan1", 0, 24};
    ParseAddress("10.0.0.200", &first.hostAddress);
    ParseAddress("192.168.1.200", &second.hostAddress);
    return {first, second};
}

bool ParseFleet(const QByteArray& document, Fleet* fleet, std::string* error) {
    QJsonParseError parseError{};
    const QJsonDocument json = QJsonDocument::fromJson(document, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        return Fail("fleet",
                    "not valid JSON at byte " + std::to_string(parseError.offset) + ": " +
                        parseError.errorString().toStdString(),
                    error);
    }
    if (!json.isObject()) {
        return Fail("fleet", "expected a JSON object with \"accessPoints\"", error);
    }
    const QJsonObject root = json.object();
    for (auto it = root.begin(); it != root.end(); ++it) {
        if (it.key() != "networks" && it.key() != "defaults" && it.key() != "accessPoints") {
            return Fail(it.key().toStdString(),
                        "unknown field (known: networks, defaults, accessPoints)", error);
        }
    }
    Fleet parsed;
    parsed.networks = DefaultNetworks();
    if (root.contains("networks") &&
        !ParseNetworks(root.value("networks"), &parsed.networks, error)) {
        return false;
    }
    QJsonObject defaults;
    if (root.contains("defaults") && !ParseDefaults(root.value("defaults"), &defaults, error)) {
        return false;
    }
    const QJsonValue list = root.value("accessPoints");
    if (!list.isArray()) {
        return Fail("accessPoints", "expected an array of access points", error);
    }
    const QJsonArray items = list.toArray();
    for (qsizetype i = 0; i < items.size(); ++i) {
        AccessPointEntry entry;
        if (!ParseAccessPoint(items[i], defaults, "accessPoints[" + std::to_string(i) + "]",
                              parsed.networks, &entry, error)) {
            return false;
        }
        parsed.accessPoints.push_back(std::move(entry));
    }
    *fleet = std::move(parsed);
    return true;
}

bool LoadFleetFile(const std::string& path, Fleet* fleet, std::string* error) {
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::ReadOnly)) {
        *error = path + ": cannot be read: " + file.errorString().toStdString();
        return false;
    }
    return ParseFleet(file.readAll(), fleet, error);
}

bool AddAccessPointFromJson(const std::string& objectText, Fleet* fleet, std::string* error) {
    if (fleet->networks.empty()) {
        fleet->networks = DefaultNetworks();
    }
    const Path path = "--ap " + std::to_string(fleet->accessPoints.size() + 1);
    QJsonParseError parseError{};
    const QJsonDocument json =
        QJsonDocument::fromJson(QByteArray::fromStdString(objectText), &parseError);
    if (parseError.error != QJsonParseError::NoError || !json.isObject()) {
        return Fail(path,
                    "expected a JSON object such as "
                    "{\"name\":\"Lobby\",\"mac\":\"000A1B2C3D4E\",\"address\":\"10.0.0.5\"}",
                    error);
    }
    AccessPointEntry entry;
    if (!ParseAccessPoint(json.object(), QJsonObject(), path, fleet->networks, &entry, error)) {
        return false;
    }
    fleet->accessPoints.push_back(std::move(entry));
    return true;
}

std::vector<sim::AccessPointSettings> AccessPointsOn(const Fleet& fleet,
                                                     const std::string& network) {
    std::vector<sim::AccessPointSettings> result;
    for (const AccessPointEntry& entry : fleet.accessPoints) {
        for (const Placement& placement : entry.placements) {
            if (placement.network == network) {
                result.push_back(entry.settings);
                result.back().address = placement.address;
            }
        }
    }
    return result;
}

const LabNetwork* FindNetwork(const Fleet& fleet, const std::string& name) {
    for (const LabNetwork& network : fleet.networks) {
        if (network.name == name) {
            return &network;
        }
    }
    return nullptr;
}

bool ParseAddress(const std::string& text, std::uint32_t* address) {
    std::uint8_t octets[4] = {};
    std::size_t at = 0;
    for (int i = 0; i < 4; ++i) {
        if (i > 0) {
            if (at >= text.size() || text[at] != '.') {
                return false;
            }
            ++at;
        }
        const std::size_t start = at;
        unsigned value = 0;
        while (at < text.size() && text[at] >= '0' && text[at] <= '9' && at - start < 3) {
            value = value * 10 + static_cast<unsigned>(text[at] - '0');
            ++at;
        }
        if (at == start || value > 255) {
            return false;
        }
        octets[i] = static_cast<std::uint8_t>(value);
    }
    if (at != text.size()) {
        return false;
    }
    std::memcpy(address, octets, 4);
    return true;
}

std::string FormatAddress(std::uint32_t address) {
    std::uint8_t octets[4];
    std::memcpy(octets, &address, 4);
    return std::to_string(octets[0]) + "." + std::to_string(octets[1]) + "." +
           std::to_string(octets[2]) + "." + std::to_string(octets[3]);
}

}  // namespace apsim
