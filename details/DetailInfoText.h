#pragma once

#include <cstdint>
#include <string>

#include "discovery/DeviceRecord.h"

// What the Detail Info view holds of one record: its own copies, texts as the record's bytes.
struct DetailInfoFields {
    std::string name;
    std::string macText;
    std::string ipAddress;
    std::string description;
    std::string ssidBg;
    std::string channelBgText;
    std::string ssidA;
    std::string channelAText;
    std::string firmwareVersion;
    std::uint32_t wirelessMode = 0;
};

// Copies the fields of a record; the band fields only where its wireless mode gives them meaning
// (the 2.4 GHz ones unless the mode is exactly 4, the 5 GHz ones from 4 up), channels in decimal.
DetailInfoFields DetailInfoFieldsFromRecord(const DeviceRecord& record);

// The context the view's labels are translated in.
inline constexpr const char* kDetailInfoLabelContext = "CDetailInfoDlg";
// How a label is shown, given its English text: as it is when no function is given.
using DetailLabelText = std::string (*)(const char* english);

// The view's text in UTF-8: five common lines, then the band blocks the mode calls for, each line
// a label, one or two tabs, the value (the record's bytes as characters) and a line feed.
std::string BuildDetailInfoText(const DetailInfoFields& fields, DetailLabelText label = nullptr);
