// A saved discovery read back: every kind of text that is not one is refused with what is wrong,
// never with an exception, and a record goes to JSON and back unchanged.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "fleet/SavedDiscovery.h"

namespace {

using fleet::Json;

DeviceRecord Record(const char* mac, const char* name) {
    DeviceRecord r{};
    std::strcpy(r.macText, mac);
    std::strcpy(r.name, name);
    std::strcpy(r.ipAddress, "10.0.0.11");
    std::strcpy(r.localAddress, "10.0.0.200");
    std::strcpy(r.firmwareVersion, "0102");
    r.wirelessMode = 3;
    return r;
}

// One saved record with `key` set to `value` (a JSON text), or removed when `value` is empty.
std::string OneRecordWith(const char* key, const std::string& value) {
    Json array = Json::array({Record("000A1B300001", "Lobby")});
    if (value.empty()) {
        array[0].erase(key);
    } else {
        array[0][key] = Json::parse(value);
    }
    return array.dump();
}

TEST(SavedDiscovery, WhatIsNoSavedDiscoveryIsRefusedWithWhatIsWrong) {
    const std::string twice = Json::array({Record("000A1B300001", "A"), Record("000A1B300002", "B"),
                                           Record("000A1B300001", "C")})
                                  .dump();
    const struct {
        std::string text, error;
    } cases[] = {
        {"", "not JSON (at byte 1)"},
        {"[{\"name\": ", "not JSON (at byte 11)"},
        {"[\"caf\xE9\"]", "not JSON (at byte 7)"},  // Latin-1 bytes, not UTF-8
        // Well-formed JSON beyond a double: the library throws other than a parse error.
        {"33e359", "not JSON that can be read: number overflow parsing '33e359'"},
        {"[{\"channelBg\": -1e400}]", "not JSON that can be read: number overflow"},
        {"{}", "not a saved discovery: an array was expected, not object"},
        {"[[]]", "record 1: not an object but array"},
        {OneRecordWith("name", ""), "record 1: no name"},
        {OneRecordWith("name", "7"), "record 1: name: not a string but number"},
        {OneRecordWith("name", "null"), "record 1: name: not a string but null"},
        {OneRecordWith("name", "\"\\u20AC\""), "record 1: name: a character beyond U+00FF"},
        {OneRecordWith("name", "\"x\\u0000\""), "record 1: name: holds \\u0000"},
        {OneRecordWith("name", "\"sixteen letters!\""),
         "record 1: name: longer than an access point's record holds"},
        {twice, "record 3: macText 000A1B300001 is also record 1"},
    };
    for (const auto& c : cases) {
        std::vector<DeviceRecord> records;
        std::string error;
        EXPECT_FALSE(fleet::ReadSavedDiscovery(c.text, &records, &error)) << c.text;
        EXPECT_EQ(error.substr(0, c.error.size()), c.error) << c.text;
    }
    // Numbers: whole, from 0 to 65535, not in quotes.
    for (const char* channel :
         {"-1", "65536", "18446744073709551615", "6.0", "1e300", "\"6\"", "true"}) {
        std::vector<DeviceRecord> records;
        std::string error;
        EXPECT_FALSE(
            fleet::ReadSavedDiscovery(OneRecordWith("channelBg", channel), &records, &error))
            << channel;
        EXPECT_EQ(error, "record 1: channelBg: not a whole number from 0 to 65535") << channel;
    }
}

// Json(record) and get<DeviceRecord>() are inverses, single bytes above 0x7F included; what
// cannot be a record throws the reader's message.
TEST(SavedDiscovery, RecordToJsonAndBack) {
    DeviceRecord r = Record("000A1B300001", "Caf\xE9\x7F");
    std::strcpy(r.ssidBg, "\xFF\x01");
    r.channelBg = 65535;
    const Json json = r;
    EXPECT_EQ(json["name"], "Caf\xC3\xA9\x7F");
    EXPECT_EQ(json["channelBg"], 65535);
    const DeviceRecord back = json.get<DeviceRecord>();
    EXPECT_EQ(std::memcmp(&back, &r, sizeof r), 0);

    Json wrong = json;
    wrong["wirelessMode"] = "3";
    EXPECT_THROW(
        {
            try {
                (void)wrong.get<DeviceRecord>();
            } catch (const fleet::RecordJsonError& e) {
                EXPECT_STREQ(e.what(), "wirelessMode: not a whole number from 0 to 65535");
                throw;
            }
        },
        fleet::RecordJsonError);
}

}  // namespace
