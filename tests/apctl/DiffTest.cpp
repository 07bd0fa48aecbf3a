// apctl diff: two saved discoveries read back and compared as watch compares, and every kind of
// file that is not a saved discovery refused with the file's name and what is wrong.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "fleet/SavedDiscovery.h"
#include "tools/apctl/ApctlFormat.h"
#include "tools/apctl/ApctlRun.h"

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

TEST(DiffFiles, ABadFileExitsTwoNamingTheFile) {
    const std::string good = Saved("good.json", "[]\n");
    const std::string bad = Saved("bad.json", "{}\n");
    const std::string huge = Saved("huge.json", "[{\"channelBg\":1e400}]");
    const std::string missing = ::testing::TempDir() + "apctl-diff-no-such.json";
    const struct {
        std::vector<std::string> args;
        std::string err;
    } cases[] = {
        {{bad, good}, "apctl: " + bad + ": not a saved discovery"},
        {{good, bad}, "apctl: " + bad + ": not a saved discovery"},
        {{huge, good}, "apctl: " + huge + ": not JSON that can be read: number overflow"},
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
    ASSERT_TRUE(fleet::ReadSavedDiscovery(apctl::FormatJson({r}), &back, &error)) << error;
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
    std::strcpy(moved.name, "Hall");
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
              "~ 000A1B300002 \"Hall\" ipAddress 10.0.0.12 -> 10.0.0.22\n"
              "~ 000A1B300002 \"Hall\" name \"Stairs\" -> \"Hall\"\n"
              "~ 000A1B300002 \"Hall\" ssidBg \"\" -> \"guest\"\n"
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
            R"({"change": "changed", "macText": "000A1B300002", "field": "name", "old": "Stairs", "new": "Hall"})",
            R"({"change": "changed", "macText": "000A1B300002", "field": "ssidBg", "old": "", "new": "guest"})",
            R"({"change": "gone", "macText": "000A1B300003")",
            R"({"change": "appeared", "macText": "000A1B300004")"}));
}

// The program itself: - for standard input, and what its exit says when the output is lost
// (1 would say that the files differ).
TEST(DiffFiles, TheProgramReadsStandardInputAndFailsTwoOnAWriteError) {
    const std::string empty = Saved("stdin-empty.json", "[]");
    const std::string one =
        Saved("stdin-one.json", apctl::FormatJson({Record("000A1B300001", "Yard", "10.0.0.11")}));
    const std::string huge = Saved("stdin-huge.json", "33e359");
    const struct {
        std::string shell;
        int status;
        std::string out, err;
    } cases[] = {
        {"diff - " + one + " <" + empty, 1, "+ 000A1B300001 10.0.0.11 \"Yard\"", ""},
        {"diff " + one + " - <" + empty, 1, "- 000A1B300001 10.0.0.11 \"Yard\"", ""},
        {"diff - " + one + " <" + huge, 2, "",
         "apctl: standard input: not JSON that can be read: number overflow parsing '33e359'\n"},
        {"diff - - <" + empty, 2, "", "apctl: diff: standard input (-) can be only one of"},
        {"diff " + one + " - </dev/zero", 2, "",
         "apctl: standard input: larger than 64 MiB, which no saved discovery is\n"},
        {"diff " + empty + " " + one + " >/dev/full", 2, "",
         "apctl: write error: No space left on device\n"},
    };
    for (const auto& c : cases) {
        const std::string command = std::string(AP_APCTL_PATH) + " " + c.shell;
        const std::string errPath = ::testing::TempDir() + "apctl-diff-stderr";
        FILE* pipe = ::popen((command + " 2>" + errPath).c_str(), "r");
        ASSERT_NE(pipe, nullptr);
        std::string out;
        char buffer[4096];
        for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) {
            out.append(buffer, got);
        }
        const int status = ::pclose(pipe);
        std::ifstream errFile(errPath);
        const std::string err{std::istreambuf_iterator<char>(errFile), {}};
        EXPECT_TRUE(WIFEXITED(status)) << command;
        EXPECT_EQ(WEXITSTATUS(status), c.status) << command << ": " << err;
        EXPECT_EQ(out.substr(0, c.out.size()), c.out) << command;
        EXPECT_EQ(err.substr(0, c.err.size()), c.err) << command;
    }
}

}  // namespace
