// apctl diff: two saved discoveries read back and compared as watch compares, and every kind of
// file that is not a saved discovery refused with the file's name and what is wrong.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tools/apctl/ApctlFormat.h"
#include "tools/apctl/ApctlRun.h"
#include "tools/apctl/Diff.h"

namespace {

DeviceRecord Record(const char* mac, const char* name, const char* ip) {
    DeviceRecord r{};
    std::strcpy(r.macText, mac);
    std::strcpy(r.name, name);
    std::strcpy(r.ipAddress, ip);
    std::strcpy(r.localAddress, "10.0.0.200");
    std::strcpy(r.firmwareVersion, "0102");
    r.wirelessMode = 3;
    return r;
}

std::string Saved(const std::string& file, const std::string& text) {
    const std::string path = ::testing::TempDir() + "apctl-diff-" + file;
    std::ofstream(path, std::ios::binary) << text;
    return path;
}

struct Outcome {
    int status;
    std::string out, err;
};

Outcome RunDiff(std::vector<std::string> args) {
    args.insert(args.begin(), "diff");
    std::ostringstream out, err;
    const int status = apctl::Run(args, out, err);
    return {status, out.str(), err.str()};
}

// One record as discover writes it, with `replace` substituted for `"name": "Lobby"`.
std::string OneRecord(const std::string& replace) {
    std::string json = apctl::FormatJson({Record("000A1B300001", "Lobby", "10.0.0.11")});
    json.replace(json.find("\"name\": \"Lobby\""), std::strlen("\"name\": \"Lobby\""), replace);
    return json;
}

TEST(DiffFiles, NotASavedDiscoveryIsRefusedWithWhatIsWrong) {
    const std::string two = apctl::FormatJson({Record("000A1B300001", "A", "10.0.0.11"),
                                               Record("000A1B300002", "B", "10.0.0.12"),
                                               Record("000A1B300001", "C", "10.0.0.13")});
    const struct {
        std::string text, error;
    } cases[] = {
        {"", "not JSON (at byte 1)"},
        {"[{\"name\": ", "not JSON (at byte 11)"},
        {"[\"caf\xE9\"]", "not JSON (at byte 7)"},  // Latin-1 bytes, not UTF-8
        {"{}", "not a saved discovery: an array was expected, not object"},
        {"[[]]", "record 1: not an object but array"},
        {OneRecord("\"nom\": \"Lobby\""), "record 1: no name"},
        {OneRecord("\"name\": 7"), "record 1: name: not a string but number"},
        {OneRecord("\"name\": null"), "record 1: name: not a string but null"},
        {OneRecord("\"name\": \"\\u20AC\""), "record 1: name: a character beyond U+00FF"},
        {OneRecord("\"name\": \"x\\u0000\""), "record 1: name: holds \\u0000"},
        {OneRecord("\"name\": \"sixteen letters!\""),
         "record 1: name: longer than an access point's record holds"},
        {std::string(R"([{"macText": "000A1B300001"}])"), "record 1: no name"},
        {two, "record 3: macText 000A1B300001 is also record 1"},
    };
    for (const auto& c : cases) {
        std::vector<DeviceRecord> records;
        std::string error;
        EXPECT_FALSE(apctl::ReadDiscoveryJson(c.text, &records, &error)) << c.text;
        EXPECT_EQ(error.substr(0, c.error.size()), c.error) << c.text;
    }
    // Numbers: whole, from 0 to 65535, not in quotes.
    for (const char* channel : {"-1", "65536", "6.0", "\"6\"", "true"}) {
        std::string text = OneRecord("\"name\": \"Lobby\"");
        text.replace(text.find("\"channelBg\": 0"), std::strlen("\"channelBg\": 0"),
                     std::string("\"channelBg\": ") + channel);
        std::vector<DeviceRecord> records;
        std::string error;
        EXPECT_FALSE(apctl::ReadDiscoveryJson(text, &records, &error)) << channel;
        EXPECT_EQ(error, "record 1: channelBg: not a whole number from 0 to 65535") << channel;
    }
}

TEST(DiffFiles, ABadFileExitsTwoNamingTheFile) {
    const std::string good = Saved("good.json", "[]\n");
    const std::string bad = Saved("bad.json", "{}\n");
    const std::string missing = ::testing::TempDir() + "apctl-diff-no-such.json";
    const struct {
        std::vector<std::string> args;
        std::string err;
    } cases[] = {
        {{bad, good}, "apctl: " + bad + ": not a saved discovery"},
        {{good, bad}, "apctl: " + bad + ": not a saved discovery"},
        {{missing, good}, "apctl: " + missing + ": No such file or directory\n"},
        {{::testing::TempDir(), good}, "apctl: " + ::testing::TempDir() + ": Is a directory\n"},
    };
    for (const auto& c : cases) {
        const Outcome outcome = RunDiff(c.args);
        EXPECT_EQ(outcome.status, apctl::kExitUsage) << c.err;
        EXPECT_EQ(outcome.out, "");
        EXPECT_EQ(outcome.err.substr(0, c.err.size()), c.err);
    }
}

// What discover wrote, diff reads back to the same bytes: Latin-1 letters, control characters
// and C1 bytes included, so a saved discovery compares equal to itself.
TEST(DiffFiles, TextsRoundTripToTheirSingleBytes) {
    DeviceRecord r = Record("000A1B300001", "Caf\xE9\x1B[2J", "10.0.0.11");
    std::strcpy(r.description, "tab\there \x85 \"q\" \\");
    std::strcpy(r.ssidBg, "\xFF\x7F\x01");
    std::strcpy(r.ssidA, "corp");
    r.channelBg = 65535;
    r.channelA = 36;
    r.wirelessMode = 7;
    std::vector<DeviceRecord> back;
    std::string error;
    ASSERT_TRUE(apctl::ReadDiscoveryJson(apctl::FormatJson({r}), &back, &error)) << error;
    ASSERT_EQ(back.size(), 1u);
    EXPECT_EQ(std::memcmp(&back[0], &r, sizeof r), 0);

    const std::string path = Saved("latin1.json", apctl::FormatJson({r}));
    const Outcome same = RunDiff({path, path});
    EXPECT_EQ(same.status, apctl::kExitSuccess);
    EXPECT_EQ(same.out + same.err, "");
    const Outcome appeared = RunDiff({Saved("empty.json", "[]"), path});
    EXPECT_EQ(appeared.out,
              "+ 000A1B300001 10.0.0.11 \"Caf\xC3\xA9\\x1B[2J\" firmware 0102 802.11a/b/g via "
              "10.0.0.200\n");
}

TEST(DiffFiles, ChangesInMacOrderAsWatchPrintsThem) {
    DeviceRecord moved = Record("000A1B300002", "Stairs", "10.0.0.12");
    const std::string before =
        Saved("before.json", apctl::FormatJson({Record("000A1B300003", "Annex", "10.0.0.13"), moved,
                                                Record("000A1B300001", "Yard", "10.0.0.11")}));
    std::strcpy(moved.ipAddress, "10.0.0.22");
    std::strcpy(moved.ssidBg, "guest");
    // Not a field watch compares: no line.
    std::strcpy(moved.description, "moved");
    const std::string after =
        Saved("after.json", apctl::FormatJson({moved, Record("000A1B300004", "Depot", "10.0.0.14"),
                                               Record("000A1B300001", "Yard", "10.0.0.11")}));
    const Outcome lines = RunDiff({before, after});
    EXPECT_EQ(lines.status, apctl::kExitFailed);
    EXPECT_EQ(lines.err, "");
    EXPECT_EQ(lines.out,
              "~ 000A1B300002 ipAddress 10.0.0.12 -> 10.0.0.22\n"
              "~ 000A1B300002 ssidBg \"\" -> \"guest\"\n"
              "- 000A1B300003 10.0.0.13 \"Annex\" not in the new file\n"
              "+ 000A1B300004 10.0.0.14 \"Depot\" firmware 0102 802.11b/g via 10.0.0.200\n");
    const Outcome json = RunDiff({before, after, "--json"});
    EXPECT_EQ(json.status, apctl::kExitFailed);
    std::istringstream in(json.out);
    std::vector<std::string> got;
    for (std::string line; std::getline(in, line);) {
        got.push_back(line.substr(0, line.find(", \"record\"")));
    }
    EXPECT_EQ(
        got,
        (std::vector<std::string>{
            R"({"change": "changed", "macText": "000A1B300002", "field": "ipAddress", "old": "10.0.0.12", "new": "10.0.0.22"})",
            R"({"change": "changed", "macText": "000A1B300002", "field": "ssidBg", "old": "", "new": "guest"})",
            R"({"change": "gone", "macText": "000A1B300003")",
            R"({"change": "appeared", "macText": "000A1B300004")"}));
}

}  // namespace
