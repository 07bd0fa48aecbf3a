#pragma once

#include <QJsonObject>
#include <QJsonValue>
#include <QString>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "tools/apsim/FleetFile.h"
#include "tools/apsim/FleetValues.h"

// The fields of an access point object in a fleet: who it is and what it reports, and the knobs
// of how it behaves. Each field has one parser, which reads it into the entry.
namespace apsim::fleet {

using FieldParser =
    std::function<bool(const QJsonValue&, const Path&, AccessPointEntry*, std::string*)>;

template <typename T>
FieldParser NumberField(T sim::AccessPointSettings::*member, long long min, long long max) {
    return [=](const QJsonValue& value, const Path& path, AccessPointEntry* entry,
               std::string* error) {
        return ReadNumber(value, path, min, max, &(entry->settings.*member), error);
    };
}

inline FieldParser TextField(std::string sim::AccessPointSettings::*member) {
    return [=](const QJsonValue& value, const Path& path, AccessPointEntry* entry,
               std::string* error) {
        return ReadText(value, path, &(entry->settings.*member), error);
    };
}

inline FieldParser BoolField(bool sim::AccessPointSettings::*member) {
    return [=](const QJsonValue& value, const Path& path, AccessPointEntry* entry,
               std::string* error) {
        return ReadBool(value, path, &(entry->settings.*member), error);
    };
}

using FieldParsers = std::map<QString, FieldParser>;

// Name, MAC, description, firmware, SSIDs, channels and wireless mode.
const FieldParsers& IdentityFields();
// Whether and how it answers, what its replies hold, and how it takes a new configuration.
const FieldParsers& BehaviourFields();

// Network names and addresses are read here as texts and matched to the networks afterwards.
struct PendingPlacement {
    std::vector<std::string> networks;
    std::vector<std::string> addresses;
    Path networkPath;
    Path addressPath;
};

// Reads the fields of one access point object into `entry`, its network and address into
// `placement`; fails on the first field that is unknown or wrong.
bool ParseAccessPointObject(const QJsonObject& object, const Path& path, AccessPointEntry* entry,
                            PendingPlacement* placement, std::string* error);

}  // namespace apsim::fleet
