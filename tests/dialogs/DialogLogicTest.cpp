#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "config/OctetFields.h"
#include "details/DetailInfoText.h"
#include "resources/StringTable.h"

namespace {

DeviceRecord DualBandRecord(std::uint16_t mode) {
    DeviceRecord record{};
    std::strcpy(record.name, "Roof");
    std::strcpy(record.macText, "000A1B2C3D4E");
    std::strcpy(record.ipAddress, "10.0.0.5");
    std::strcpy(record.localAddress, "10.0.0.200");
    std::strcpy(record.description, "North side");
    std::strcpy(record.ssidBg, "corp-bg");
    record.channelBg = 6;
    std::strcpy(record.ssidA, "corp-a");
    record.channelA = 165;
    record.wirelessMode = mode;
    std::strcpy(record.firmwareVersion, "010B");
    return record;
}

const std::string kCommon =
    "Name:\t\tRoof\nMac:\t\t000A1B2C3D4E\nIP Address:\t10.0.0.5\nDescription:\tNorth side\n"
    "Version:\t\t010B\n";
const std::string kBlockA = "SSID for a:\tcorp-a\nChannel for a:\t165\n";
std::string BlockBg(const std::string& band) {
    return "SSID for " + band + ":\tcorp-bg\nChannel for " + band + ":\t6\n";
}

TEST(DetailInfoText, BandBlocksFollowTheModeCode) {
    const std::vector<std::string> expected = {
        kCommon + BlockBg("b"),
        kCommon + BlockBg("b"),
        kCommon + BlockBg("g"),
        kCommon + BlockBg("b+g"),
        kCommon + kBlockA,
        kCommon + kBlockA + BlockBg("b"),
        kCommon + kBlockA + BlockBg("g"),
        kCommon + kBlockA + BlockBg("b+g"),
        kCommon,
    };
    for (std::uint16_t mode = 0; mode <= 8; ++mode) {
        EXPECT_EQ(BuildDetailInfoText(DetailInfoFieldsFromRecord(DualBandRecord(mode))),
                  expected[mode])
            << "mode " << mode;
    }
    EXPECT_EQ(BuildDetailInfoText(DetailInfoFieldsFromRecord(DualBandRecord(0xFFFF))), kCommon);
}

TEST(DetailInfoText, BandFieldsAreCopiedOnlyWhereTheModeGivesThemMeaning) {
    const DetailInfoFields onlyA = DetailInfoFieldsFromRecord(DualBandRecord(4));
    EXPECT_EQ(onlyA.ssidBg, "");
    EXPECT_EQ(onlyA.channelBgText, "");
    EXPECT_EQ(onlyA.ssidA, "corp-a");
    const DetailInfoFields onlyBg = DetailInfoFieldsFromRecord(DualBandRecord(3));
    EXPECT_EQ(onlyBg.ssidA, "");
    EXPECT_EQ(onlyBg.channelAText, "");
    // Above 7 both are filled, though the text shows neither.
    const DetailInfoFields unknown = DetailInfoFieldsFromRecord(DualBandRecord(8));
    EXPECT_EQ(unknown.channelBgText, "6");
    EXPECT_EQ(unknown.channelAText, "165");
    EXPECT_EQ(unknown.wirelessMode, 8u);
}

TEST(DetailInfoText, EmptyFieldsStillGiveTheirLinesAndChannelsAreDecimal) {
    DeviceRecord record{};
    record.channelBg = 0;
    record.wirelessMode = 1;
    EXPECT_EQ(BuildDetailInfoText(DetailInfoFieldsFromRecord(record)),
              "Name:\t\t\nMac:\t\t\nIP Address:\t\nDescription:\t\nVersion:\t\t\n"
              "SSID for b:\t\nChannel for b:\t0\n");
    record.channelBg = 65535;
    EXPECT_NE(BuildDetailInfoText(DetailInfoFieldsFromRecord(record)).find("\t65535\n"),
              std::string::npos);
}

TEST(DetailInfoText, FullWidthFieldsWithoutTerminatorStopAtTheirWidth) {
    DeviceRecord record = DualBandRecord(3);
    std::memset(record.name, 'N', sizeof record.name);
    std::memset(record.ssidBg, 'S', sizeof record.ssidBg);
    const DetailInfoFields fields = DetailInfoFieldsFromRecord(record);
    EXPECT_EQ(fields.name, std::string(16, 'N'));
    EXPECT_EQ(fields.ssidBg, std::string(33, 'S'));
}

// Where the access point's bytes meet the translated labels: both end up UTF-8 in one text.
TEST(DetailInfoText, LabelsGoThroughTheirTranslationAndBytesBecomeUtf8) {
    DeviceRecord record = DualBandRecord(4);
    std::strcpy(record.name, "Caf\xE9");
    std::strcpy(record.ssidA, "\xFF\x80");
    const std::string text =
        BuildDetailInfoText(DetailInfoFieldsFromRecord(record),
                            [](const char* english) { return "<" + std::string(english) + ">"; });
    EXPECT_EQ(text,
              "<Name:>\t\tCaf\xC3\xA9\n<Mac:>\t\t000A1B2C3D4E\n<IP Address:>\t10.0.0.5\n"
              "<Description:>\tNorth side\n<Version:>\t\t010B\n<SSID for a:>\t\xC3\xBF\xC2\x80\n"
              "<Channel for a:>\t165\n");
}

TEST(AtoiValue, FollowsTheCLibraryRule) {
    struct Case {
        const char* text;
        long value;
    };
    const Case cases[] = {{"0", 0},
                          {"000", 0},
                          {"010", 10},
                          {"255", 255},
                          {"256", 256},
                          {"-1", -1},
                          {"+7", 7},
                          {"  42", 42},
                          {"4x2", 4},
                          {"x", 0},
                          {"", 0},
                          {"\t-0", 0},
                          {"99999999999999999999999", LONG_MAX},
                          {"-99999999999999999999999", -LONG_MAX}};
    for (const Case& c : cases) {
        EXPECT_EQ(AtoiValue(c.text), c.value) << '"' << c.text << '"';
    }
}

OctetTexts Valid() {
    return {"192", "168", "1", "20", "255", "255", "255", "0",
            "192", "168", "1", "1",  "8",   "8",   "4",   "4"};
}

TEST(CheckOctetFields, ReportsOnlyTheFirstFailingFieldInOrder) {
    struct Case {
        std::vector<std::pair<int, std::string>> edits;
        int failing;
        int message;
    };
    const Case cases[] = {
        {{}, -1, 0},
        {{{0, ""}}, 0, IDS_INVALID_OR_MISSING},
        {{{5, "256"}, {9, ""}}, 5, IDS_VALUE_OUT_OF_RANGE},
        {{{9, ""}, {5, "256"}}, 5, IDS_VALUE_OUT_OF_RANGE},
        {{{15, "999"}}, 15, IDS_VALUE_OUT_OF_RANGE},
        {{{3, "0"}, {7, "000"}, {11, "255"}, {12, "010"}}, -1, 0},
    };
    for (const Case& c : cases) {
        OctetTexts texts = Valid();
        for (const auto& [field, text] : c.edits) {
            texts[static_cast<std::size_t>(field)] = text;
        }
        const OctetCheck check = CheckOctetFields(texts);
        EXPECT_EQ(check.failingField, c.failing);
        EXPECT_EQ(check.messageId, c.message);
    }
    OctetTexts empty;
    EXPECT_EQ(CheckOctetFields(empty).failingField, 0);
}

TEST(BuildAddressTexts, KeepsTheFieldsAsTyped) {
    OctetTexts texts = Valid();
    texts[0] = "010";
    texts[3] = "007";
    const auto addresses = BuildAddressTexts(texts);
    EXPECT_EQ(addresses[0], "010.168.1.007");
    EXPECT_EQ(addresses[1], "255.255.255.0");
    EXPECT_EQ(addresses[2], "192.168.1.1");
    EXPECT_EQ(addresses[3], "8.8.4.4");
}

}  // namespace
