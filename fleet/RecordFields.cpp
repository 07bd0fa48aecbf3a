#include "fleet/RecordFields.h"

#include <algorithm>
#include <charconv>
#include <cstring>

#include "discovery/FieldText.h"
#include "resources/StringTable.h"

namespace fleet {

namespace {

// At most one byte short of the field, as discovery stores a text: zero-terminated.
template <std::size_t N>
bool AssignText(char (&field)[N], const std::string& value) {
    if (value.size() >= N || value.find('\0') != std::string::npos) {
        return false;
    }
    std::memset(field, 0, N);
    std::memcpy(field, value.data(), value.size());
    return true;
}

bool AssignNumber(LittleEndian16& field, const std::string& value) {
    unsigned number = 0;
    const char* end = value.data() + value.size();
    const auto [at, error] = std::from_chars(value.data(), end, number);
    if (error != std::errc() || at != end || value.empty() || number > 0xFFFF) {
        return false;
    }
    field = static_cast<std::uint16_t>(number);
    return true;
}

// A field's reading and writing, by its member.
template <auto Member>
std::string TextOf(const DeviceRecord& r) {
    return FieldText(r.*Member);
}
template <auto Member>
bool SetText(DeviceRecord& r, const std::string& value) {
    return AssignText(r.*Member, value);
}
template <auto Member>
std::string NumberOf(const DeviceRecord& r) {
    return std::to_string(r.*Member);
}
template <auto Member>
bool SetNumber(DeviceRecord& r, const std::string& value) {
    return AssignNumber(r.*Member, value);
}

const RecordField kFields[] = {
    {"name", FieldKind::kText, 1, IDS_COLUMN_NAME, nullptr, 2, TextOf<&DeviceRecord::name>,
     SetText<&DeviceRecord::name>},
    {"macText", FieldKind::kPlain, 3, IDS_COLUMN_MAC, nullptr, 0, TextOf<&DeviceRecord::macText>,
     SetText<&DeviceRecord::macText>},
    {"ipAddress", FieldKind::kPlain, 2, IDS_COLUMN_IP_ADDRESS, nullptr, 1,
     TextOf<&DeviceRecord::ipAddress>, SetText<&DeviceRecord::ipAddress>},
    {"localAddress", FieldKind::kPlain, 7, 0, "Local Address", 0,
     TextOf<&DeviceRecord::localAddress>, SetText<&DeviceRecord::localAddress>},
    {"description", FieldKind::kText, 6, IDS_COLUMN_DESCRIPTION, nullptr, 0,
     TextOf<&DeviceRecord::description>, SetText<&DeviceRecord::description>},
    {"ssidBg", FieldKind::kText, 0, 0, nullptr, 5, TextOf<&DeviceRecord::ssidBg>,
     SetText<&DeviceRecord::ssidBg>},
    {"channelBg", FieldKind::kNumber, 0, 0, nullptr, 6, NumberOf<&DeviceRecord::channelBg>,
     SetNumber<&DeviceRecord::channelBg>},
    {"ssidA", FieldKind::kText, 0, 0, nullptr, 7, TextOf<&DeviceRecord::ssidA>,
     SetText<&DeviceRecord::ssidA>},
    {"channelA", FieldKind::kNumber, 0, 0, nullptr, 8, NumberOf<&DeviceRecord::channelA>,
     SetNumber<&DeviceRecord::channelA>},
    {"wirelessMode", FieldKind::kMode, 4, IDS_COLUMN_IEEE_STANDARD, nullptr, 4,
     NumberOf<&DeviceRecord::wirelessMode>, SetNumber<&DeviceRecord::wirelessMode>},
    {"firmwareVersion", FieldKind::kPlain, 5, IDS_COLUMN_FW_VERSION, nullptr, 3,
     TextOf<&DeviceRecord::firmwareVersion>, SetText<&DeviceRecord::firmwareVersion>},
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
