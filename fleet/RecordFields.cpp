#include "fleet/RecordFields.h"

#include <algorithm>

#include "discovery/FieldText.h"
#include "resources/StringTable.h"

namespace fleet {

namespace {

const RecordField kFields[] = {
    {"name", FieldKind::kText, 1, IDS_COLUMN_NAME, nullptr, 2,
     [](const DeviceRecord& r) { return FieldText(r.name); }},
    {"macText", FieldKind::kPlain, 3, IDS_COLUMN_MAC, nullptr, 0,
     [](const DeviceRecord& r) { return FieldText(r.macText); }},
    {"ipAddress", FieldKind::kPlain, 2, IDS_COLUMN_IP_ADDRESS, nullptr, 1,
     [](const DeviceRecord& r) { return FieldText(r.ipAddress); }},
    {"localAddress", FieldKind::kPlain, 7, 0, "Local Address", 0,
     [](const DeviceRecord& r) { return FieldText(r.localAddress); }},
    {"description", FieldKind::kText, 6, IDS_COLUMN_DESCRIPTION, nullptr, 0,
     [](const DeviceRecord& r) { return FieldText(r.description); }},
    {"ssidBg", FieldKind::kText, 0, 0, nullptr, 5,
     [](const DeviceRecord& r) { return FieldText(r.ssidBg); }},
    {"channelBg", FieldKind::kNumber, 0, 0, nullptr, 6,
     [](const DeviceRecord& r) { return std::to_string(r.channelBg); }},
    {"ssidA", FieldKind::kText, 0, 0, nullptr, 7,
     [](const DeviceRecord& r) { return FieldText(r.ssidA); }},
    {"channelA", FieldKind::kNumber, 0, 0, nullptr, 8,
     [](const DeviceRecord& r) { return std::to_string(r.channelA); }},
    {"wirelessMode", FieldKind::kMode, 4, IDS_COLUMN_IEEE_STANDARD, nullptr, 4,
     [](const DeviceRecord& r) { return std::to_string(r.wirelessMode); }},
    {"firmwareVersion", FieldKind::kPlain, 5, IDS_COLUMN_FW_VERSION, nullptr, 3,
     [](const DeviceRecord& r) { return FieldText(r.firmwareVersion); }},
};

std::vector<const RecordField*> SortedBy(int RecordField::*position) {
    std::vector<const RecordField*> fields;
    for (const RecordField& field : kFields) {
        if (field.*position > 0) {
            fields.push_back(&field);
        }
    }
    std::sort(fields.begin(), fields.end(), [position](const RecordField* a, const RecordField* b) {
        return a->*position < b->*position;
    });
    return fields;
}

}  // namespace

std::span<const RecordField> RecordFields() {
    return kFields;
}

std::vector<const RecordField*> TableColumns() {
    return SortedBy(&RecordField::tableColumn);
}

std::vector<const RecordField*> WatchedFields() {
    return SortedBy(&RecordField::watchOrder);
}

}  // namespace fleet
