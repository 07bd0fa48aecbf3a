#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "net/FakeNetwork.h"
#include "tools/apctl/ApctlCommand.h"
#include "tools/apctl/ApctlFormat.h"
#include "tools/apctl/ApctlRun.h"

namespace {

using apctl::Action;
using apctl::Command;
using Args = std::vector<std::string>;

// apctl discover where no UDP socket can be opened; exits with its status, its diagnostics on
// standard error.
[[noreturn]] void DiscoverWithoutSockets() {
    net::FakeNetwork network;
    network.FailCall(net::FakeNetwork::Call::kOpen);
    net::ScopedSocketLayer installed(&network);
    std::ostringstream out;
    std::ostringstream err;
    const int status = apctl::Run({"discover"}, out, err);
    std::fputs(err.str().c_str(), stderr);
    std::exit(status);
}

// The socket layer's started flag is one-way for the life of a process, so this runs in a
// process of its own, whatever ran before it.
TEST(ApctlWithoutSockets, FailsWhenNoUdpSocketCanBeOpened) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(DiscoverWithoutSockets(), ::testing::ExitedWithCode(1), "UDP socket");
}

// The README shows the usage as apctl prints it; a copy that drifts tells users of options
// that are not there.
TEST(ApctlHelp, TheReadmesCopyIsWhatItPrints) {
    std::ifstream file(AP_README_PATH);
    ASSERT_TRUE(file) << AP_README_PATH;
    const std::string readme((std::istreambuf_iterator<char>(file)), {});
    const std::string start = "$ apctl --help\n";
    const std::size_t from = readme.find(start);
    ASSERT_NE(from, std::string::npos) << "no '$ apctl --help' block in the README";
    const std::size_t end = readme.find("```", from);
    ASSERT_NE(end, std::string::npos);
    EXPECT_EQ(readme.substr(from + start.size(), end - from - start.size()), apctl::HelpText());
}

TEST(ApctlArguments, AcceptedCommandLines) {
    struct Case {
        Args args;
        Action action;
        std::string mac;
        bool dhcp;
    };
    const Case cases[] = {
        {{"discover"}, Action::kDiscover, "", false},
        {{"discover", "--json"}, Action::kDiscover, "", false},
        {{"reset", "000a1b2c3d4e"}, Action::kReset, "000A1B2C3D4E", false},
        {{"reset", "00:0A:1b:2C:3d:4E"}, Action::kReset, "000A1B2C3D4E", false},
        {{"reset", "00-0a-1b-2c-3d-4e"}, Action::kReset, "000A1B2C3D4E", false},
        {{"configure", "000A1B2C3D4E", "--dhcp"}, Action::kConfigure, "000A1B2C3D4E", true},
        {{"configure", "000A1B2C3D4E", "--fixed", "10.0.0.9", "255.255.255.0", "10.0.0.1",
          "010.0.0.1"},
         Action::kConfigure,
         "000A1B2C3D4E",
         false},
        {{"--help"}, Action::kHelp, "", false},
        {{"configure", "nonsense", "--help"}, Action::kHelp, "", false},
    };
    for (const Case& c : cases) {
        Command command;
        std::string error;
        ASSERT_TRUE(apctl::ParseCommandLine(c.args, &command, &error))
            << c.args[0] << ": " << error;
        EXPECT_EQ(command.action, c.action) << c.args[0];
        EXPECT_EQ(command.macText, c.mac) << c.args[0];
        EXPECT_EQ(command.dhcpClient, c.dhcp) << c.args[0];
    }
}

TEST(ApctlArguments, UsageErrorsSayWhatIsWrong) {
    struct Case {
        Args args;
        std::string mentions;
    };
    const Case cases[] = {
        {{}, "no command"},
        {{"scan"}, "unknown command"},
        {{"discover", "--xml"}, "--xml"},
        {{"discover", "--json", "--csv"}, "at most one"},
        {{"reset"}, "MAC"},
        {{"reset", "000A1B2C3D4"}, "not a MAC"},
        {{"reset", "000A1B2C3D4EF"}, "not a MAC"},
        {{"reset", "000A1B2C3D4G"}, "not a MAC"},
        {{"reset", "00:0A:1B-2C:3D:4E"}, "not a MAC"},
        {{"reset", "00.0A.1B.2C.3D.4E"}, "not a MAC"},
        {{"reset", "000A1B2C3D4E", "extra"}, "only the MAC"},
        {{"configure", "000A1B2C3D4E"}, "--dhcp or --fixed"},
        {{"configure", "000A1B2C3D4E", "--static"}, "--static"},
        {{"configure", "000A1B2C3D4E", "--dhcp", "1.2.3.4"}, "unexpected argument: 1.2.3.4"},
        {{"configure", "000A1B2C3D4E", "--fixed", "1.2.3.4"}, "four addresses"},
        {{"configure", "000A1B2C3D4E", "--fixed", "1.2.3.4", "255.255.255.0", "1.2.3.1", "1.2.3"},
         "DNS server"},
        {{"configure", "000A1B2C3D4E", "--fixed", "1.2.3.256", "255.255.255.0", "1.2.3.1",
          "1.1.1.1"},
         "IP address"},
        {{"configure", "000A1B2C3D4E", "--fixed", "1.2.3.4", "0xff.255.255.0", "1.2.3.1",
          "1.1.1.1"},
         "subnet mask"},
        {{"configure", "000A1B2C3D4E", "--fixed", "1.2.3.4", "255.0.255.0", "1.2.3.1", "1.1.1.1"},
         "mask: not a contiguous subnet mask: 255.0.255.0"},
        {{"watch", "--textfile", ""}, "--textfile needs a file name"},
        {{"watch", "--textfile=/var/lib/"}, "--textfile needs a file name"},
        {{"discover", "--textfile", "a.prom"}, "unknown option for discover"},
        {{"diff", "old.json"}, "needs two saved discover --json files"},
        {{"diff", "old.json", "new.json", "newer.json"}, "unexpected argument: newer.json"},
        {{"diff", "old.json", "new.json", "-i", "eth0"}, "unknown option for diff: -i"},
        {{"apply", "plan.csv", "--check", "--dry-run"}, "--check cannot be combined with --dry-run"},
        {{"apply", "plan.csv", "--verify", "--check"}, "--check cannot be combined with --verify"},
        {{"discover", "--check"}, "--check"},
    };
    for (const Case& c : cases) {
        Command command;
        std::string error;
        EXPECT_FALSE(apctl::ParseCommandLine(c.args, &command, &error));
        EXPECT_NE(error.find(c.mentions), std::string::npos) << "'" << error << "'";
    }
}

DeviceRecord MakeRecord(const char* name, const char* ip, std::uint16_t mode) {
    DeviceRecord record{};
    std::strcpy(record.name, name);
    std::strcpy(record.macText, "000A1B2C3D4E");
    std::strcpy(record.ipAddress, ip);
    std::strcpy(record.localAddress, "10.0.0.200");
    std::strcpy(record.description, "Roof, \"north\"");
    std::strcpy(record.ssidBg, "lab");
    record.channelBg = 11;
    record.channelA = 165;
    record.wirelessMode = mode;
    std::strcpy(record.firmwareVersion, "010B");
    return record;
}

TEST(ApctlOutput, JsonUsesTheRecordFieldNamesAndLatin1) {
    DeviceTablePtr table = AllocateDeviceTable();
    table->records[0] = MakeRecord("Caf\xE9\x1B[2J", "10.0.0.5", 7);
    EXPECT_EQ(apctl::FormatJson(*table, 1),
              "[\n  {\"name\": \"Caf\xC3\xA9\\u001B[2J\", \"macText\": \"000A1B2C3D4E\", "
              "\"ipAddress\": \"10.0.0.5\", \"localAddress\": \"10.0.0.200\", "
              "\"description\": \"Roof, \\\"north\\\"\", \"ssidBg\": \"lab\", \"channelBg\": 11, "
              "\"ssidA\": \"\", \"channelA\": 165, \"wirelessMode\": 7, "
              "\"firmwareVersion\": \"010B\"}\n]\n");
    EXPECT_EQ(apctl::FormatJson(*table, 0), "[]\n");
}

TEST(ApctlOutput, CsvQuotesWhatNeedsIt) {
    DeviceTablePtr table = AllocateDeviceTable();
    table->records[0] = MakeRecord("plain", "10.0.0.5", 3);
    const std::string csv = apctl::FormatCsv(*table, 1);
    EXPECT_EQ(csv.substr(csv.find("\r\n") + 2),
              "plain,000A1B2C3D4E,10.0.0.5,10.0.0.200,\"Roof, \"\"north\"\"\",lab,11,,165,3,"
              "010B\r\n");
}

TEST(ApctlOutput, TableShowsTheListColumnsAndEscapesControls) {
    DeviceTablePtr table = AllocateDeviceTable();
    table->records[0] = MakeRecord("B\x07", "10.0.0.5", 9);
    table->records[1] = MakeRecord("Longer name", "10.0.0.16", 4);
    const std::string text = apctl::FormatTable(*table, 2);
    std::istringstream lines(text);
    std::string header, first, second;
    std::getline(lines, header);
    std::getline(lines, first);
    std::getline(lines, second);
    EXPECT_EQ(header.substr(0, 25), "Name         IP Address  ");
    EXPECT_NE(header.find("IEEE Standard"), std::string::npos);
    EXPECT_NE(header.find("Local Address"), std::string::npos);
    EXPECT_EQ(first.substr(0, 13), "B\\x07        ");
    EXPECT_EQ(first.find('\x07'), std::string::npos);
    EXPECT_NE(second.find("802.11a "), std::string::npos);
    // A mode above 7 has no text: the cell is empty, never another row's.
    EXPECT_EQ(first.find("802.11"), std::string::npos);
}

// Interface names are the kernel's bytes, not single-byte texts from the network.
TEST(ApctlOutput, InterfaceNamesAreShownAsTheirBytes) {
    struct Case {
        const char* name;
        const char* table;
        const char* json;
    };
    const Case cases[] = {
        {"wl\xC3\xA4n0", "wl\xC3\xA4n0", "\"wl\xC3\xA4n0\""},
        {"\xE2\x82\xAC\xF0\x9F\x93\xB6", "\xE2\x82\xAC\xF0\x9F\x93\xB6",
         "\"\xE2\x82\xAC\xF0\x9F\x93\xB6\""},
        // Not UTF-8: each byte escaped, in JSON as the code point of its Latin-1 reading.
        {"wl\xE4n0", "wl\\xE4n0", "\"wl\\u00E4n0\""},
        {"x\xE2\x82", "x\\xE2\\x82", "\"x\\u00E2\\u0082\""},
        {"\xC0\xAF", "\\xC0\\xAF", "\"\\u00C0\\u00AF\""},
        {"\xED\xA0\x80", "\\xED\\xA0\\x80", "\"\\u00ED\\u00A0\\u0080\""},
        // Controls never reach the terminal, C1 ones in UTF-8 neither.
        {"e\x1B[2J", "e\\x1B[2J", "\"e\\u001B[2J\""},
        {"c\xC2\x9B\x31", "c\\xC2\\x9B1", "\"c\xC2\x9B\x31\""},
        {"q\"\\", "q\"\\x5C", "\"q\\\"\\\\\""},
        {"d\x7F", "d\\x7F", "\"d\\u007F\""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(apctl::InterfaceNameText(c.name), c.table) << c.name;
        EXPECT_EQ(apctl::JsonText(apctl::LocalTextValue(c.name)), c.json) << c.name;
    }
}

class ApctlRunTest : public ::testing::Test {
protected:
    ApctlRunTest() : installed_(&network_) {}

    int Run(const Args& args) {
        out_.str("");
        err_.str("");
        return apctl::Run(args, out_, err_);
    }

    sim::AccessPoint& AddTarget(int lan) {
        sim::AccessPointSettings settings;
        settings.name = "Target";
        settings.mac = {0x00, 0x0A, 0x1B, 0x2C, 0x3D, 0x4E};
        settings.address = net::AddressFromText("10.0.0.5");
        settings.dhcpPool = {net::AddressFromText("10.0.0.100")};
        return network_.AddAccessPoint(lan, settings);
    }

    net::FakeNetwork network_;
    net::ScopedSocketLayer installed_;
    std::ostringstream out_, err_;
};

TEST_F(ApctlRunTest, UsageErrorSendsNothing) {
    network_.AddInterface("eth0", "10.0.0.200");
    EXPECT_EQ(
        Run({"configure", "000A1B2C3D4E", "--fixed", "1.2.3.4", "1.2.3", "1.1.1.1", "1.1.1.1"}), 2);
    EXPECT_NE(err_.str().find("apctl --help"), std::string::npos);
    EXPECT_EQ(
        Run({"configure", "000A1B2C3D4E", "--fixed", "1.2.3.4", "1.2.3.4", "1.1.1.1", "1.1.1.1"}),
        2);
    EXPECT_NE(err_.str().find("apctl: mask: not a contiguous subnet mask: 1.2.3.4\n"),
              std::string::npos);
    EXPECT_EQ(network_.socketsOpened(), 0);
}

TEST_F(ApctlRunTest, FixedConfigurationOutcomes) {
    const int lan = network_.AddInterface("eth0", "10.0.0.200");
    sim::AccessPoint& target = AddTarget(lan);
    EXPECT_EQ(Run({"configure", "00:0a:1b:2c:3d:4e", "--fixed", "10.0.0.77", "255.255.255.0",
                   "10.0.0.1", "10.0.0.1"}),
              0);
    EXPECT_EQ(out_.str(), "Data saved successfully.\n");
    EXPECT_EQ(target.CurrentAddress(), net::AddressFromText("10.0.0.77"));

    EXPECT_EQ(Run({"configure", "FFFFFFFFFFFF", "--fixed", "10.0.0.77", "255.255.255.0", "10.0.0.1",
                   "10.0.0.1"}),
              1);
    EXPECT_EQ(err_.str(), "Unable to save.\n");
    // Well-formed but refused: the all-ones address is never sent.
    EXPECT_EQ(Run({"configure", "000A1B2C3D4E", "--fixed", "10.0.0.77", "255.255.255.255",
                   "10.0.0.1", "10.0.0.1"}),
              1);
    EXPECT_EQ(err_.str(), "Unable to save.\n");
}

TEST_F(ApctlRunTest, DhcpConfigurationAndResetOutcomes) {
    const int lan = network_.AddInterface("eth0", "10.0.0.200");
    sim::AccessPoint& target = AddTarget(lan);
    EXPECT_EQ(Run({"configure", "000A1B2C3D4E", "--dhcp"}), 0);
    EXPECT_EQ(out_.str(), "Set Success\n");
    EXPECT_TRUE(target.dhcpClient());
    EXPECT_EQ(target.CurrentAddress(), net::AddressFromText("10.0.0.100"));

    EXPECT_EQ(Run({"configure", "112233445566", "--dhcp"}), 1);
    EXPECT_EQ(err_.str(), "Set Fail\n");
    EXPECT_EQ(Run({"reset", "112233445566"}), 1);
    EXPECT_EQ(err_.str(), "Reset Fail\n");
}

TEST_F(ApctlRunTest, InterfacesShowsANameThatIsNotAsciiOnce) {
    network_.AddInterface("wl\xC3\xA4n0", "10.0.0.200");
    EXPECT_EQ(Run({"interfaces"}), 0);
    EXPECT_NE(out_.str().find("\nwl\xC3\xA4n0      10.0.0.200/24  used\n"), std::string::npos)
        << out_.str();
    EXPECT_EQ(Run({"interfaces", "--json"}), 0);
    EXPECT_NE(out_.str().find("{\"interface\": \"wl\xC3\xA4n0\", "), std::string::npos)
        << out_.str();
}

TEST_F(ApctlRunTest, DiscoverPrintsJson) {
    const int lan = network_.AddInterface("eth0", "10.0.0.200");
    AddTarget(lan);
    EXPECT_EQ(Run({"discover", "--json"}), 0);
    EXPECT_NE(out_.str().find("\"name\": \"Target\", \"macText\": \"000A1B2C3D4E\", "
                              "\"ipAddress\": \"10.0.0.5\", \"localAddress\": \"10.0.0.200\""),
              std::string::npos)
        << out_.str();
}

}  // namespace
