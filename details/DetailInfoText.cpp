#include "details/DetailInfoText.h"

#include "discovery/FieldText.h"

namespace {

// Hands a label on as it is; the translation tools find the labels by this name.
constexpr const char* DetailLabel(const char* /*context*/, const char* english) {
    return english;
}

// The labels of the 2.4 GHz block, which differ only by the standards the device speaks there.
struct BandLabels {
    const char* ssid;
    const char* channel;
};
constexpr BandLabels kBandB{DetailLabel("CDetailInfoDlg", "SSID for b:"),
                            DetailLabel("CDetailInfoDlg", "Channel for b:")};
constexpr BandLabels kBandG{DetailLabel("CDetailInfoDlg", "SSID for g:"),
                            DetailLabel("CDetailInfoDlg", "Channel for g:")};
constexpr BandLabels kBandBg{DetailLabel("CDetailInfoDlg", "SSID for b+g:"),
                             DetailLabel("CDetailInfoDlg", "Channel for b+g:")};

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

std::string BuildDetailInfoText(const DetailInfoFields& fields, DetailLabelText label) {
    std::string text;
    auto appendLine = [&text, label](const char* english, const char* tabs,
                                     const std::string& value) {
        text += label != nullptr ? label(english) : english;
        text += tabs;
        text += Utf8FromBytes(value);
        text += '\n';
    };
    appendLine(DetailLabel("CDetailInfoDlg", "Name:"), "\t\t", fields.name);
    appendLine(DetailLabel("CDetailInfoDlg", "Mac:"), "\t\t", fields.macText);
    appendLine(DetailLabel("CDetailInfoDlg", "IP Address:"), "\t", fields.ipAddress);
    appendLine(DetailLabel("CDetailInfoDlg", "Description:"), "\t", fields.description);
    appendLine(DetailLabel("CDetailInfoDlg", "Version:"), "\t\t", fields.firmwareVersion);

    const BandLabels* bandBg = nullptr;
    switch (fields.wirelessMode) {
        case 0:
        case 1:
        case 5:
            bandBg = &kBandB;
            break;
        case 2:
        case 6:
            bandBg = &kBandG;
            break;
        case 3:
        case 7:
            bandBg = &kBandBg;
            break;
        default:
            break;  // No 2.4 GHz band is known for other codes.
    }
    const bool bandA = fields.wirelessMode >= 4 && fields.wirelessMode <= 7;
    // The 5 GHz block comes first where a device has both.
    if (bandA) {
        appendLine(DetailLabel("CDetailInfoDlg", "SSID for a:"), "\t", fields.ssidA);
        appendLine(DetailLabel("CDetailInfoDlg", "Channel for a:"), "\t", fields.channelAText);
    }
    if (bandBg != nullptr) {
        appendLine(bandBg->ssid, "\t", fields.ssidBg);
        appendLine(bandBg->channel, "\t", fields.channelBgText);
    }
    return text;
}
