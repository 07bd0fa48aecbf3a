#include "details/DetailInfoText.h"

#include "discovery/FieldText.h"

namespace {

void AppendLine(std::string* text, const char* label, const char* tabs, const std::string& value) {
    *text += label;
    *text += tabs;
    *text += value;
    *text += '\n';
}

}  // namespace

DetailInfoFields DetailInfoFieldsFromRecord(const DeviceRecord& record) {
    const std::uint16_t mode = record.wirelessMode;
    DetailInfoFields fields;
    fields.name = FieldText(record.name);
    fields.ipAddress = FieldText(record.ipAddress);
    if (HasBandBg(mode)) {
        fields.channelBgText = std::to_string(static_cast<std::uint16_t>(record.channelBg));
    }
    if (HasBandA(mode)) {
        fields.channelAText = std::to_string(static_cast<std::uint16_t>(record.channelA));
    }
    fields.description = FieldText(record.description);
    fields.macText = FieldText(record.macText);
    if (HasBandBg(mode)) {
        fields.ssidBg = FieldText(record.ssidBg);
    }
    if (HasBandA(mode)) {
        fields.ssidA = FieldText(record.ssidA);
    }
    fields.firmwareVersion = FieldText(record.firmwareVersion);
    fields.wirelessMode = mode;
    return fields;
}

std::string BuildDetailInfoText(const DetailInfoFields& fields) {
    std::string text;
    AppendLine(&text, "Name:", "\t\t", fields.name);
    AppendLine(&text, "Mac:", "\t\t", fields.macText);
    AppendLine(&text, "IP Address:", "\t", fields.ipAddress);
    AppendLine(&text, "Description:", "\t", fields.description);
    AppendLine(&text, "Version:", "\t\t", fields.firmwareVersion);

    auto bandBg = [&](const char* ssidLabel, const char* channelLabel) {
        AppendLine(&text, ssidLabel, "\t", fields.ssidBg);
        AppendLine(&text, channelLabel, "\t", fields.channelBgText);
    };
    auto bandA = [&] {
        AppendLine(&text, "SSID for a:", "\t", fields.ssidA);
        AppendLine(&text, "Channel for a:", "\t", fields.channelAText);
    };
    switch (fields.wirelessMode) {
        case 0:
        case 1:
            bandBg("SSID for b:", "Channel for b:");
            break;
        case 2:
            bandBg("SSID for g:", "Channel for g:");
            break;
        case 3:
            bandBg("SSID for b+g:", "Channel for b+g:");
            break;
        case 4:
            bandA();
            break;
        case 5:
            bandA();
            bandBg("SSID for b:", "Channel for b:");
            break;
        case 6:
            bandA();
            bandBg("SSID for g:", "Channel for g:");
            break;
        case 7:
            bandA();
            bandBg("SSID for b+g:", "Channel for b+g:");
            break;
        default:
            break;  // No band is known for other codes.
    }
    return text;
}
