#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "discovery/Frame.h"
#include "discovery/HexBytes.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// A reply frame from its status and element bytes, with the element area length filled in.
Bytes Reply(std::uint8_t status, const Bytes& area) {
    Bytes frame = {0x41, 0x0D, status, static_cast<std::uint8_t>(area.size() & 0xFF),
                   static_cast<std::uint8_t>(area.size() >> 8)};
    frame.insert(frame.end(), area.begin(), area.end());
    return frame;
}

DeviceRecord Parse(const Bytes& datagram) {
    DeviceRecord record{};
    ParseReplyElements(datagram.data(), datagram.size(), &record);
    return record;
}

std::string Text(const char* field) {
    return std::string(field);
}

TEST(DiscoveryRequest, IsTheTwentyEightByteFrame) {
    const Bytes expected = {0x40, 0x0D, 0x18, 0x00, 0x61, 0x61, 0x61, 0x61, 0x3A, 0x0A,
                            0x01, 0x00, 0x02, 0x00, 0x08, 0x00, 0x09, 0x00, 0x0B, 0x00,
                            0x0C, 0x00, 0x0D, 0x00, 0x15, 0x00, 0x16, 0x00};
    std::uint8_t frame[kDiscoveryRequestLength];
    BuildDiscoveryRequest(frame);
    EXPECT_EQ(Bytes(frame, frame + sizeof frame), expected);
}

TEST(ReplyStatus, DecidesWhatIsAcceptedAndAcknowledged) {
    struct Case {
        Bytes datagram;
        bool accepted;
        bool acknowledgement;
    };
    const Case cases[] = {
        {{}, false, false},
        {{0x41, 0x0D}, false, false},  // too short to carry a status
        {{0x41, 0x0D, 0x00}, true, true},
        {{0x41, 0x0D, 0x01, 0x00, 0x00}, true, false},
        {{0x41, 0x0D, 0x02, 0x00, 0x00}, false, false},
        {{0x41, 0x0D, 0xFF, 0x00, 0x00}, false, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(IsAcceptedDiscoveryReply(c.datagram.data(), c.datagram.size()), c.accepted)
            << "length " << c.datagram.size();
        EXPECT_EQ(IsAcknowledgement(c.datagram.data(), c.datagram.size()), c.acknowledgement)
            << "length " << c.datagram.size();
    }
}

TEST(ParseReplyElements, FillsEveryFieldWhateverTheOrder) {
    // Elements in reverse order, with an unknown type (3) in the middle that must be skipped.
    const Bytes area = {
        0x16, 0x00, 0x05, 0xA5, 0x00,                          // channel a: 165
        0x15, 0x00, 0x07, 'f',  'i',  'v',  'e',               // ssid a
        0x0D, 0x00, 0x05, 0x07, 0x00,                          // mode 7
        0x03, 0x00, 0x07, 10,   0,    0,    5,                 // unknown to a record
        0x0C, 0x00, 0x05, 0x0B, 0x00,                          // channel b/g: 11
        0x0B, 0x00, 0x06, 'l',  'a',  'b',                     // ssid b/g
        0x09, 0x00, 0x05, 0x01, 0x0B,                          // firmware
        0x08, 0x00, 0x07, 'R',  'o',  'o',  'f',               // description
        0x02, 0x00, 0x09, 0x00, 0x0A, 0x1B, 0x2C, 0x3D, 0x4E,  // MAC
        0x01, 0x00, 0x07, 'A',  'P',  '-',  '1',               // name
    };
    const DeviceRecord record = Parse(Reply(0, area));
    EXPECT_EQ(Text(record.name), "AP-1");
    EXPECT_EQ(Text(record.macText), "000A1B2C3D4E");
    EXPECT_EQ(Text(record.description), "Roof");
    EXPECT_EQ(Text(record.firmwareVersion), "010B");
    EXPECT_EQ(Text(record.ssidBg), "lab");
    EXPECT_EQ(record.channelBg, 11);
    EXPECT_EQ(record.wirelessMode, 7);
    EXPECT_EQ(Text(record.ssidA), "five");
    EXPECT_EQ(record.channelA, 165);
}

TEST(ParseReplyElements, EmptyAreaLeavesTheRecordZero) {
    const DeviceRecord zero{};
    for (const Bytes& datagram :
         {Reply(0, {}), Bytes{0x41, 0x0D, 0x00}, Bytes{0x41, 0x0D, 0x01, 0x00}}) {
        const DeviceRecord record = Parse(datagram);
        EXPECT_EQ(std::memcmp(&record, &zero, sizeof record), 0) << "length " << datagram.size();
    }
}

// Each malformed element ends the parsing; what came before it is kept, nothing after it is read.
TEST(ParseReplyElements, MalformedElementStopsParsingKeepingEarlierOnes) {
    const Bytes name = {0x01, 0x00, 0x05, 'o', 'k'};
    const Bytes laterDescription = {0x08, 0x00, 0x05, 'n', 'o'};
    struct Case {
        const char* what;
        Bytes tail;
    };
    const Case cases[] = {
        {"length byte 0", {0x0B, 0x00, 0x00}},
        {"length byte 1", {0x0B, 0x00, 0x01}},
        {"length byte 2", {0x0B, 0x00, 0x02}},
        {"value runs past the datagram", {0x0B, 0x00, 0xFF, 'x'}},
        {"header cut after the type", {0x0B, 0x00}},
        {"header cut inside the type", {0x0B}},
    };
    for (const Case& c : cases) {
        Bytes area = name;
        area.insert(area.end(), c.tail.begin(), c.tail.end());
        Bytes datagram = Reply(0, area);
        // Elements after the bad one are in the datagram but must not be reached.
        datagram.insert(datagram.end(), laterDescription.begin(), laterDescription.end());
        const DeviceRecord record = Parse(datagram);
        EXPECT_EQ(Text(record.name), "ok") << c.what;
        EXPECT_EQ(Text(record.ssidBg), "") << c.what;
        EXPECT_EQ(Text(record.description), "") << c.what;
    }
}

TEST(ParseReplyElements, ReadsNothingPastTheDeclaredArea) {
    // The area is declared as 5 bytes: the name fits, the description after it lies outside.
    Bytes datagram = {0x41, 0x0D, 0x00, 0x05, 0x00, 0x01, 0x00, 0x05,
                      'o',  'k',  0x08, 0x00, 0x05, 'n',  'o'};
    DeviceRecord record = Parse(datagram);
    EXPECT_EQ(Text(record.name), "ok");
    EXPECT_EQ(Text(record.description), "");

    // An element straddling the declared end is not taken either.
    datagram[3] = 0x07;
    record = Parse(datagram);
    EXPECT_EQ(Text(record.name), "ok");
    EXPECT_EQ(Text(record.description), "");
}

TEST(ParseReplyElements, DeclaredAreaLongerThanTheDatagramReadsOnlyWhatArrived) {
    // Declares 0xFFFF bytes; a parser trusting it would read far past these 10 bytes (ASan).
    const Bytes datagram = {0x41, 0x0D, 0x00, 0xFF, 0xFF, 0x01, 0x00, 0x05, 'o', 'k'};
    std::vector<std::uint8_t> exact(datagram);  // no slack after the last byte
    DeviceRecord record{};
    ParseReplyElements(exact.data(), exact.size(), &record);
    EXPECT_EQ(Text(record.name), "ok");
}

// The bounds of the bounded reader, byte-exact. Each datagram lies in a larger buffer whose bytes
// after the end it was given are 'Z': a reader that takes one byte too many shows it in the name.
TEST(ParseReplyElements, ElementsEndingAtOrOneByteBeyondTheReceivedBytes) {
    struct Case {
        const char* what;
        Bytes datagram;  // what arrived
        std::string name;
    };
    const Case cases[] = {
        // 10 bytes; the name element (length 5) ends exactly at the last one.
        {"ends at the last byte", {0x41, 0x0D, 0x00, 0x05, 0x00, 0x01, 0x00, 0x05, 'o', 'k'}, "ok"},
        // The same 10 bytes, but the element claims 6: one byte past what arrived.
        {"one byte past the datagram",
         {0x41, 0x0D, 0x00, 0x06, 0x00, 0x01, 0x00, 0x06, 'o', 'k'},
         ""},
        // The declared area (5 bytes) ends before the datagram does.
        {"ends at the declared end",
         {0x41, 0x0D, 0x00, 0x05, 0x00, 0x01, 0x00, 0x05, 'o', 'k', 'Z'},
         "ok"},
        {"one byte past the declared end",
         {0x41, 0x0D, 0x00, 0x05, 0x00, 0x01, 0x00, 0x06, 'o', 'k', 'Z'},
         ""},
    };
    for (const Case& c : cases) {
        Bytes buffer = c.datagram;
        buffer.insert(buffer.end(), 8, 'Z');
        DeviceRecord record{};
        ParseReplyElements(buffer.data(), c.datagram.size(), &record);
        EXPECT_EQ(Text(record.name), c.name) << c.what;
    }
}

TEST(ParseReplyElements, OverlongTextsKeepTheirTerminator) {
    const std::string longText(200, 'x');
    Bytes area;
    for (std::uint16_t type : {kElementName, kElementDescription, kElementSsidBg, kElementSsidA}) {
        area.insert(area.end(), {static_cast<std::uint8_t>(type), 0x00,
                                 static_cast<std::uint8_t>(3 + longText.size())});
        area.insert(area.end(), longText.begin(), longText.end());
    }
    const DeviceRecord record = Parse(Reply(0, area));
    EXPECT_EQ(Text(record.name), std::string(15, 'x'));
    EXPECT_EQ(Text(record.description), std::string(64, 'x'));
    EXPECT_EQ(Text(record.ssidBg), std::string(32, 'x'));
    EXPECT_EQ(Text(record.ssidA), std::string(32, 'x'));
    // The fields after each text stay untouched.
    EXPECT_EQ(record.channelBg, 0);
    EXPECT_EQ(record.channelA, 0);
}

TEST(ParseReplyElements, FifteenCharacterNameIsStoredWhole) {
    Bytes area = {0x01, 0x00, 18};
    const std::string name = "ABCDEFGHIJKLMNO";
    area.insert(area.end(), name.begin(), name.end());
    const DeviceRecord record = Parse(Reply(0, area));
    EXPECT_EQ(Text(record.name), name);
    EXPECT_EQ(record.macText[0], '\0');
}

TEST(ParseReplyElements, ShortAndLongFixedSizeValues) {
    struct Case {
        const char* what;
        Bytes area;
        std::string mac;
        std::string firmware;
        std::uint16_t channelBg;
    };
    const Case cases[] = {
        {"short MAC is padded", {0x02, 0x00, 0x06, 0xAA, 0xBB, 0xCC}, "AABBCC000000", "", 0},
        {"long MAC takes six", {0x02, 0x00, 0x0B, 1, 2, 3, 4, 5, 6, 7, 8}, "010203040506", "", 0},
        {"empty MAC is zeros", {0x02, 0x00, 0x03}, "000000000000", "", 0},
        {"short firmware", {0x09, 0x00, 0x04, 0x07}, "", "0700", 0},
        {"long firmware", {0x09, 0x00, 0x06, 0x12, 0x34, 0x56}, "", "1234", 0},
        {"one-byte channel", {0x0C, 0x00, 0x04, 0x0D}, "", "", 13},
        {"long channel takes two", {0x0C, 0x00, 0x07, 0x01, 0x02, 0x03, 0x04}, "", "", 0x0201},
        {"empty channel", {0x0C, 0x00, 0x03}, "", "", 0},
    };
    for (const Case& c : cases) {
        const DeviceRecord record = Parse(Reply(0, c.area));
        EXPECT_EQ(Text(record.macText), c.mac) << c.what;
        EXPECT_EQ(Text(record.firmwareVersion), c.firmware) << c.what;
        EXPECT_EQ(record.channelBg, c.channelBg) << c.what;
    }
}

TEST(ParseReplyElements, RepeatedElementReplacesTheFieldWhole) {
    const Bytes area = {0x01, 0x00, 0x09, 'A', 'B', 'C', 'D', 'E', 'F', 0x01, 0x00, 0x05, 'X', 'Y'};
    EXPECT_EQ(Text(Parse(Reply(0, area)).name), "XY");
}

TEST(HexBytes, FormatsUpperCaseWithoutSeparators) {
    const std::uint8_t bytes[] = {0x00, 0x0A, 0x1B, 0x2C, 0x3D, 0x4E};
    char text[13];
    FormatHexBytes(bytes, 6, text);
    EXPECT_STREQ(text, "000A1B2C3D4E");
    char empty[4] = "zzz";
    FormatHexBytes(bytes, 0, empty);
    EXPECT_STREQ(empty, "");
    FormatHexBytes(bytes, -3, empty);
    EXPECT_STREQ(empty, "");
}

TEST(HexBytes, ParsesEitherCaseAndNonDigitsAsFifteenPlus) {
    struct Case {
        const char* text;
        std::vector<std::uint8_t> bytes;
    };
    const Case cases[] = {
        {"000a1B2c3D4e", {0x00, 0x0A, 0x1B, 0x2C, 0x3D, 0x4E}},
        {"FFff", {0xFF, 0xFF}},
        {"G0", {0xF0}},  // 16 × 255 + 0, modulo 256
        {"1G", {0x0F}},  // 16 × 1 + 255, modulo 256: one less than 0x10
        {"GG", {0xEF}},
    };
    for (const Case& c : cases) {
        std::vector<std::uint8_t> bytes(c.bytes.size());
        ParseHexBytes(c.text, bytes.data(), static_cast<int>(bytes.size()));
        EXPECT_EQ(bytes, c.bytes) << c.text;
    }
}

TEST(HexBytes, DigitValues) {
    EXPECT_EQ(HexDigitValue('0'), 0);
    EXPECT_EQ(HexDigitValue('9'), 9);
    EXPECT_EQ(HexDigitValue('A'), 10);
    EXPECT_EQ(HexDigitValue('f'), 15);
    for (char other : {'g', 'G', ' ', '\0', ':', '@', '`'}) {
        EXPECT_EQ(HexDigitValue(other), 255) << int(other);
    }
}

TEST(HexBytes, RoundTripsEveryByte) {
    std::uint8_t all[256];
    for (int i = 0; i < 256; ++i) {
        all[i] = static_cast<std::uint8_t>(i);
    }
    char text[2 * 256 + 1];
    FormatHexBytes(all, 256, text);
    std::uint8_t back[256];
    ParseHexBytes(text, back, 256);
    EXPECT_EQ(std::memcmp(all, back, sizeof all), 0);
}

}  // namespace
