#include <fcntl.h>
#include <gtest/gtest.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <ostream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "net/FakeNetwork.h"
#include "sim/AccessPointModel.h"
#include "tools/apctl/ApctlCommand.h"
#include "tools/apctl/ApctlNetworks.h"
#include "tools/apctl/ApctlRun.h"
#include "tools/apctl/CheckedOutput.h"

namespace {

using Args = std::vector<std::string>;
using Call = net::FakeNetwork::Call;

TEST(ApctlUsage, EveryMessageNamesTheArgumentThatIsWrong) {
    struct Case {
        Args args;
        std::string message;
    };
    const Case cases[] = {
        {{"configure", "000A1B2C3D4E", "--dhcp", "extra"}, "unexpected argument: extra"},
        {{"configure", "000A1B2C3D4E", "--fixed", "1.2.3.4", "255.255.255.0", "1.2.3.1", "1.1.1.1",
          "9.9.9.9"},
         "unexpected argument: 9.9.9.9"},
        {{"discover", "now"}, "unexpected argument: now"},
        {{"interfaces", "lan0"}, "unexpected argument: lan0"},
        {{"watch", "lan0"}, "unexpected argument: lan0"},
        {{"apply", "a.csv", "b.csv"}, "unexpected argument: b.csv"},
        {{"apply"}, "apply needs a plan file"},
        {{"configure", "000A1B2C3D4E", "--dhcp", "--fixed", "1.2.3.4", "255.255.255.0", "1.2.3.1",
          "1.1.1.1"},
         "one of --dhcp and --fixed, once: --fixed"},
        {{"configure", "000A1B2C3D4E", "--fixed", "1.2.3.4", "--dhcp"}, "four addresses"},
        {{"configure", "000A1B2C3D4E", "--dhcp", "--jobs", "4"},
         "unknown option for configure: --jobs"},
        {{"apply", "plan.csv", "--jobs", "0"}, "--jobs: not a number of jobs from 1 to 256: '0'"},
        {{"apply", "plan.csv", "--jobs=257"}, "--jobs: not a number of jobs from 1 to 256"},
        {{"apply", "plan.csv", "--jobs", "-3"}, "--jobs: not a number of jobs"},
        {{"reset", "000A1B2C3D4E", "--json"}, "unknown option for reset: --json"},
        {{"discover", "--verify"}, "unknown option for discover: --verify"},
        {{"discover", "--json=yes"}, "unknown option for discover: --json=yes"},
        {{"discover", "--csv", "--json"}, "at most one of --json and --csv"},
        {{"interfaces", "--csv"}, "unknown option for interfaces: --csv"},
        {{"discover", "--interface"}, "--interface needs a value"},
        {{"discover", "-i", "--json"}, "-i needs an interface name, not '--json'"},
        {{"discover", "--interface="}, "--interface needs an interface name, not ''"},
        {{"configure", "000A1B2C3D4E", "--dhcp", "--verify=soon"},
         "--verify: not a number of seconds: 'soon'"},
        {{"configure", "000A1B2C3D4E", "--dhcp", "--verify=0"},
         "--verify: not a number of seconds: '0'"},
        {{"configure", "000A1B2C3D4E", "--dhcp", "--verify=-5"},
         "--verify: not a number of seconds: '-5'"},
        {{"watch", "--interval", "1e999"}, "--interval: not a number of seconds: '1e999'"},
        {{"watch", "--interval", "nan"}, "--interval: not a number of seconds: 'nan'"},
        {{"watch", "--interval"}, "--interval needs a value"},
        // Decimal only: strtod would take these as 16 s and 1000 s.
        {{"watch", "--interval", "0x10"},
         "--interval: not a number of seconds: '0x10' (decimal digits with an optional fraction"},
        {{"configure", "000A1B2C3D4E", "--dhcp", "--verify=1e3"},
         "--verify: not a number of seconds: '1e3'"},
        {{"watch", "--interval", "inf"}, "--interval: not a number of seconds: 'inf'"},
        {{"watch", "--interval", "2."}, "--interval: not a number of seconds: '2.'"},
        {{"watch", "--interval", "86400.001"}, "--interval: not a number of seconds: '86400.001'"},
        {{"configure", "000A1B2C3D4E", "--dhcp", "--verify=86401"},
         "--verify: not a number of seconds: '86401'"},
        // An interval that rounds to nothing would spin.
        {{"watch", "--interval", "0.0999"},
         "--interval: '0.0999' is below the shortest interval, 0.1 s"},
        {{"watch", "--interval", "0.0001"}, "below the shortest interval"},
        {{"configure", "--dhcp"}, "configure needs the access point's MAC address"},
        {{"configure", "zz", "--dhcp"}, "not a MAC address: 'zz'"},
        {{"reset", "000A1B2C3D4E", "extra"}, "unexpected argument: extra"},
        {{"frobnicate"}, "unknown command: frobnicate"},
    };
    for (const Case& c : cases) {
        apctl::Command command;
        std::string error;
        EXPECT_FALSE(apctl::ParseCommandLine(c.args, &command, &error)) << c.message;
        EXPECT_NE(error.find(c.message), std::string::npos)
            << "expected '" << c.message << "', got '" << error << "'";
    }
}

TEST(ApctlUsage, NewOptionsAreReadInEveryForm) {
    apctl::Command command;
    std::string error;
    ASSERT_TRUE(
        apctl::ParseCommandLine({"discover", "-i", "lan0", "--interface=lan1", "--interface",
                                 "lan2", "--parallel", "--verbose", "--json"},
                                &command, &error))
        << error;
    EXPECT_EQ(command.interfaces, (std::vector<std::string>{"lan0", "lan1", "lan2"}));
    EXPECT_TRUE(command.parallel);
    EXPECT_TRUE(command.verbose);
    EXPECT_EQ(command.format, apctl::OutputFormat::kJson);

    // A bare --verify takes the default and never swallows the next argument.
    ASSERT_TRUE(apctl::ParseCommandLine({"configure", "000A1B2C3D4E", "--verify", "--dhcp"},
                                        &command, &error))
        << error;
    EXPECT_TRUE(command.verify);
    EXPECT_EQ(command.verifySeconds, apctl::kDefaultVerifySeconds);
    EXPECT_TRUE(command.dhcpClient);
    ASSERT_TRUE(apctl::ParseCommandLine({"configure", "000A1B2C3D4E", "--dhcp", "--verify=2.5"},
                                        &command, &error));
    EXPECT_EQ(command.verifySeconds, 2.5);

    ASSERT_TRUE(apctl::ParseCommandLine({"apply", "-", "--dry-run"}, &command, &error)) << error;
    EXPECT_EQ(command.planPath, "-");
    EXPECT_TRUE(command.dryRun);
    ASSERT_TRUE(apctl::ParseCommandLine({"watch", "--interval=0.5"}, &command, &error));
    EXPECT_EQ(command.intervalSeconds, 0.5);

    // Each bound itself is accepted.
    struct Bound {
        Args args;
        double seconds;
    };
    const Bound bounds[] = {
        {{"watch", "--interval", "0.1"}, 0.1},
        {{"watch", "--interval=86400"}, 86400},
        {{"watch", "--interval", "86400.000"}, 86400},
        {{"configure", "000A1B2C3D4E", "--dhcp", "--verify=86400"}, 86400},
        {{"configure", "000A1B2C3D4E", "--dhcp", "--verify=0.01"}, 0.01},
    };
    for (const Bound& b : bounds) {
        ASSERT_TRUE(apctl::ParseCommandLine(b.args, &command, &error)) << b.args.back() << error;
        EXPECT_EQ(b.args[0] == "watch" ? command.intervalSeconds : command.verifySeconds,
                  b.seconds);
    }
}

class ApctlNetworksTest : public ::testing::Test {
protected:
    ApctlNetworksTest() : installed_(&network_) {}

    int Run(const Args& args) {
        out_.str("");
        err_.str("");
        return apctl::Run(args, out_, err_, context_);
    }

    static sim::AccessPointSettings Target(const char* address) {
        sim::AccessPointSettings settings;
        settings.name = "Target";
        settings.mac = {0x00, 0x0A, 0x1B, 0x10, 0x00, 0x06};
        settings.address = net::AddressFromText(address);
        settings.dhcpPool = {net::AddressFromText("10.0.0.100")};
        return settings;
    }

    void AddEntry(const char* name, const char* address, int index, bool up, bool running,
                  bool broadcast, bool loopback) {
        net::InterfaceAddress entry;
        entry.address = net::AddressFromText(address);
        entry.netmask = net::AddressFromText("255.255.255.0");
        entry.interfaceIndex = index;
        std::snprintf(entry.interfaceName, sizeof entry.interfaceName, "%s", name);
        entry.up = up;
        entry.running = running;
        entry.broadcast = broadcast;
        entry.loopback = loopback;
        network_.AddInterfaceEntry(entry);
    }

    net::FakeNetwork network_;
    net::ScopedSocketLayer installed_;
    apctl::RunContext context_;
    std::ostringstream out_, err_;
};

TEST_F(ApctlNetworksTest, InterfacesThatCannotBeUsedAreUsageErrorsWithNothingSent) {
    AddEntry("lo", "127.0.0.1", 1, true, true, false, true);
    network_.AddInterface("lan0", "10.0.0.200");
    AddEntry("down0", "10.9.0.200", 7, false, false, true, false);
    AddEntry("cable0", "10.8.0.200", 8, true, false, true, false);
    AddEntry("tun0", "10.7.0.200", 9, true, true, false, false);
    struct Case {
        const char* name;
        const char* message;
    };
    const Case cases[] = {
        {"lo", "interface lo: no usable IPv4 address (loopback)"},
        {"down0", "interface down0: no usable IPv4 address (down)"},
        {"cable0", "interface cable0: no usable IPv4 address (no carrier)"},
        {"tun0", "interface tun0: no usable IPv4 address (no broadcast)"},
        {"wlan9", "interface wlan9: no such interface, or it has no IPv4 address"},
    };
    for (const Case& c : cases) {
        for (const char* verb : {"discover", "reset"}) {
            Args args = {verb};
            if (std::string(verb) == "reset") {
                args.push_back("000A1B100006");
            }
            args.insert(args.end(), {"-i", "lan0", "-i", c.name});
            EXPECT_EQ(Run(args), 2) << c.name;
            EXPECT_NE(err_.str().find(c.message), std::string::npos) << err_.str();
            EXPECT_TRUE(out_.str().empty());
        }
    }
    EXPECT_EQ(network_.socketsOpened(), 0);
    EXPECT_TRUE(network_.sent().empty());
}

TEST_F(ApctlNetworksTest, ChosenInterfacesAreTheOnlyOnesAskedInTheKernelsOrder) {
    const int lan0 = network_.AddInterface("lan0", "10.0.0.200");
    const int lan1 = network_.AddInterface("lan1", "192.168.1.200");
    const int lan2 = network_.AddInterface("lan2", "172.16.0.200");
    network_.AddAccessPoint(lan0, Target("10.0.0.5"));
    EXPECT_EQ(Run({"discover", "--interface", "lan2", "-i", "lan1"}), 0);
    for (const auto& sent : network_.sent()) {
        EXPECT_NE(sent.from.interfaceIndex, lan0);
    }
    ASSERT_EQ(network_.sent().size(), 6u);
    EXPECT_EQ(network_.sent()[0].from.interfaceIndex, lan1);
    EXPECT_EQ(network_.sent()[3].from.interfaceIndex, lan2);
    EXPECT_EQ(out_.str().find("Target"), std::string::npos);
}

TEST_F(ApctlNetworksTest, InterfacesListsEveryAddressAndWhyItIsNotUsed) {
    AddEntry("lo", "127.0.0.1", 1, true, true, false, true);
    network_.AddInterface("lan0", "10.0.0.200");
    AddEntry("down0", "10.9.0.200", 7, false, false, true, false);
    for (int i = 1; i <= 10; ++i) {
        char name[8], address[16];
        std::snprintf(name, sizeof name, "v%d", i);
        std::snprintf(address, sizeof address, "10.1.%d.1", i);
        network_.AddInterface(name, address);
    }
    EXPECT_EQ(Run({"interfaces"}), 0);
    const std::string table = out_.str();
    EXPECT_NE(table.find("lo         127.0.0.1/24   not used: loopback"), std::string::npos)
        << table;
    EXPECT_NE(table.find("lan0       10.0.0.200/24  used\n"), std::string::npos) << table;
    EXPECT_NE(table.find("not used: down"), std::string::npos);
    EXPECT_NE(table.find("v10        10.1.10.1/24   not used: beyond the first ten"),
              std::string::npos)
        << table;

    EXPECT_EQ(Run({"interfaces", "--json"}), 0);
    EXPECT_NE(out_.str().find("{\"interface\": \"lo\", \"address\": \"127.0.0.1\", "
                              "\"prefixLength\": 24, \"usable\": false, \"reason\": \"loopback\"}"),
              std::string::npos)
        << out_.str();
    EXPECT_NE(out_.str().find("{\"interface\": \"lan0\", \"address\": \"10.0.0.200\", "
                              "\"prefixLength\": 24, \"usable\": true, \"reason\": null}"),
              std::string::npos);
    EXPECT_TRUE(network_.sent().empty());
}

TEST_F(ApctlNetworksTest, AFailedSocketStepIsAFailureNamingAddressStepAndError) {
    network_.AddInterface("lan0", "10.0.0.200");
    const int lan1 = network_.AddInterface("lan1", "192.168.1.200");
    network_.AddAccessPoint(lan1, Target("192.168.1.5"));
    // The second network's first send: the first network's three sends come before it.
    network_.FailCall(Call::kSend, 4, ENETUNREACH);
    EXPECT_EQ(Run({"discover", "--json"}), 1);
    EXPECT_EQ(out_.str(), "") << "nothing on standard output";
    EXPECT_EQ(err_.str(),
              "apctl: discovery failed on 192.168.1.200 (lan1): sending the request: Network is "
              "unreachable\n");

    network_.FailCall(Call::kBindAnyPort, 0, EADDRINUSE);
    EXPECT_EQ(Run({"configure", "000A1B100006", "--dhcp"}), 1);
    EXPECT_EQ(err_.str(),
              "apctl: the configuration request failed on 10.0.0.200 (lan0): binding to a port: "
              "Address already in use\n");
    EXPECT_EQ(Run({"reset", "000A1B100006"}), 1);
    EXPECT_EQ(err_.str(),
              "apctl: the reset request failed on 10.0.0.200 (lan0): binding to a port: Address "
              "already in use\n");
}

// The interface's name is already UTF-8 in the message: JSON must not decode it again as Latin-1.
TEST_F(ApctlNetworksTest, AFailureMessageKeepsTheInterfacesNameInJson) {
    network_.AddInterface("wl\xC3\xA4n0", "10.0.0.200");
    network_.FailCall(Call::kBindAnyPort, 0, EADDRINUSE);
    EXPECT_EQ(Run({"configure", "000A1B100006", "--dhcp", "--json"}), 1);
    EXPECT_NE(out_.str().find("\"message\": \"the configuration request failed on 10.0.0.200 "
                              "(wl\xC3\xA4n0): binding"),
              std::string::npos)
        << out_.str();
}

TEST_F(ApctlNetworksTest, VerboseTellsPerNetworkAndWarnsOfWhatKeepsRepliesAway) {
    const int lan0 = network_.AddInterface("lan0", "10.0.0.200");
    network_.AddInterface("lan1", "192.168.1.200");
    sim::AccessPointSettings once = Target("10.0.0.5");
    once.answerEveryCopy = false;
    once.replyDelayMs = 250;
    network_.AddAccessPoint(lan0, once);
    context_.reversePathFilter = [](const std::string& name) { return name == "lan1" ? 1 : 0; };
    EXPECT_EQ(Run({"discover", "--json", "--verbose"}), 0);
    EXPECT_EQ(out_.str().substr(0, 2), "[\n") << "standard output stays plain JSON";
    const std::string err = err_.str();
    EXPECT_NE(err.find("apctl: lan0 10.0.0.200: 3 requests sent, 1 replies accepted, 0 ignored (0 "
                       "status, 0 too short, 0 other interface), last reply after 0.2 s, 4.2 s in "
                       "all\n"),
              std::string::npos)
        << err;
    EXPECT_NE(err.find("apctl: lan1 192.168.1.200: 3 requests sent, 0 replies accepted"),
              std::string::npos);
    EXPECT_NE(err.find("apctl: warning: lan1: reverse-path filtering is on (rp_filter 1): replies "
                       "from access points on other subnets are dropped"),
              std::string::npos);
    EXPECT_EQ(err.find("warning: lan0"), std::string::npos);
    EXPECT_EQ(err.find("firewall"), std::string::npos);

    // Nobody answers anywhere: the firewall is the first thing to check.
    net::FakeNetwork silent;
    net::ScopedSocketLayer installed(&silent);
    silent.AddInterface("lan0", "10.0.0.200");
    EXPECT_EQ(Run({"discover", "--verbose"}), 0);
    EXPECT_NE(err_.str().find("no access point answered on any network; check that the firewall"),
              std::string::npos)
        << err_.str();
}

std::size_t Occurrences(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++count;
    }
    return count;
}

TEST_F(ApctlNetworksTest, DiscoverListsEveryAccessPointBeyondTheWindowsTable) {
    for (int n = 0; n < 2; ++n) {
        const int lan =
            network_.AddInterface(n == 0 ? "lan0" : "lan1", n == 0 ? "10.0.0.200" : "10.1.0.200");
        for (int i = 0; i < 300; ++i) {
            sim::AccessPointSettings ap = Target(n == 0 ? "10.0.0.9" : "10.1.0.9");
            ap.mac[3] = static_cast<std::uint8_t>(n);
            ap.mac[4] = static_cast<std::uint8_t>(i / 256);
            ap.mac[5] = static_cast<std::uint8_t>(i % 256);
            network_.AddAccessPoint(lan, ap);
        }
    }
    EXPECT_EQ(Run({"discover", "--json"}), 0);
    EXPECT_EQ(Occurrences(out_.str(), "\"macText\""), 600u);
    const std::string walk = out_.str();
    EXPECT_EQ(Run({"discover", "--json", "--parallel"}), 0);
    EXPECT_EQ(out_.str(), walk);
}

// Thirty access points answer each request at the same moment into a socket that holds ten
// datagrams: twenty of each copy's replies are lost, sixty in all.
TEST_F(ApctlNetworksTest, RepliesTheKernelDroppedAreToldWithOrWithoutVerbose) {
    const int lan0 = network_.AddInterface("lan0", "10.0.0.200");
    network_.AddInterface("lan1", "192.168.1.200");
    for (int i = 0; i < 30; ++i) {
        sim::AccessPointSettings ap = Target("10.0.0.9");
        ap.mac[5] = static_cast<std::uint8_t>(0x20 + i);
        network_.AddAccessPoint(lan0, ap);
    }
    network_.SetReceiveQueueLimit(10);
    const std::string warning =
        "apctl: warning: lan0: 60 replies dropped by the kernel (receive buffer full); raise "
        "net.core.rmem_max, see README, Troubleshooting\n";
    EXPECT_EQ(Run({"discover", "--json"}), 0);
    EXPECT_EQ(err_.str(), warning);
    EXPECT_EQ(Occurrences(out_.str(), "\"macText\""), 10u);

    EXPECT_EQ(Run({"discover", "--verbose", "--parallel"}), 0);
    const std::string err = err_.str();
    EXPECT_NE(err.find("replies accepted, 0 ignored (0 status, 0 too short, 0 other interface), "
                       "last reply after 1.2 s, 5.2 s in all, 60 dropped by the kernel\n"),
              std::string::npos)
        << err;
    EXPECT_EQ(Occurrences(err, "dropped by the kernel"), 2u) << "lan1 lost nothing: " << err;
    EXPECT_EQ(Occurrences(err, warning), 1u);

    // The verification's discoveries count too.
    EXPECT_EQ(Run({"configure", "000A1B100020", "--dhcp", "--verify=10", "-i", "lan0"}), 0);
    EXPECT_NE(err_.str().find("apctl: warning: lan0: "), std::string::npos) << err_.str();
    EXPECT_NE(err_.str().find(" replies dropped by the kernel (receive buffer full)"),
              std::string::npos);
}

TEST(ApctlReversePathFilter, TheLargerOfAllAndTheInterfacesOwnApplies) {
    char directory[] = "/tmp/apctl-rp-XXXXXX";
    ASSERT_NE(mkdtemp(directory), nullptr);
    const std::string root = directory;
    const auto write = [&root](const std::string& name, int value) {
        const std::string folder = root + "/" + name;
        mkdir(folder.c_str(), 0700);
        const std::string file = folder + "/rp_filter";
        if (value < 0) {
            std::remove(file.c_str());
            return;
        }
        std::FILE* out = std::fopen(file.c_str(), "w");
        ASSERT_NE(out, nullptr);
        std::fprintf(out, "%d\n", value);
        std::fclose(out);
    };
    struct Case {
        int all;
        int own;  // -1: no such file
        int effective;
    };
    const Case cases[] = {{0, 2, 2},  {2, 1, 2},  {1, 0, 1},   {0, 0, 0},
                          {-1, 1, 1}, {2, -1, 2}, {-1, -1, -1}};
    for (const Case& c : cases) {
        write("all", c.all);
        write("d0", c.own);
        EXPECT_EQ(apctl::ReadReversePathFilterIn(root, "d0"), c.effective)
            << "all " << c.all << ", d0 " << c.own;
    }
    write("all", -1);
    write("d0", -1);
    rmdir((root + "/all").c_str());
    rmdir((root + "/d0").c_str());
    rmdir(root.c_str());
}

// With no address to send from, a discovery finds nothing and fails nowhere; every command that
// discovers says so once instead of passing that off as an empty network.
TEST_F(ApctlNetworksTest, NoUsableInterfaceIsSaidOnceByEveryCommandThatDiscovers) {
    char plan[] = "/tmp/apctl-plan-XXXXXX";
    const int fd = ::mkstemp(plan);
    ASSERT_GE(fd, 0);
    const std::string row = "mac,mode,ip,mask,gateway,dns\n000A1B100006,dhcp,,,,\n";
    ASSERT_EQ(::write(fd, row.data(), row.size()), static_cast<ssize_t>(row.size()));
    ::close(fd);
    const std::string said = "apctl: no usable IPv4 interface; see apctl interfaces\n";
    struct Case {
        Args args;
        int status;
        bool says;
    };
    const Case cases[] = {
        {{"discover", "--json"}, 0, true},
        {{"discover", "--verbose"}, 0, true},
        {{"configure", "000A1B100006", "--dhcp", "--verify=10"}, 1, true},
        {{"apply", plan, "--verify=10"}, 1, true},
        {{"watch", "--interval", "0.1"}, 0, true},
        // These send without discovering first.
        {{"configure", "000A1B100006", "--dhcp"}, 1, false},
        {{"reset", "000A1B100006"}, 1, false},
    };
    AddEntry("lo", "127.0.0.1", 1, true, true, false, true);
    // watch: stopped on the network's clock within its third round or so, having said it once.
    std::atomic<bool> stopped{false};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args[0] + " " + c.args.back());
        context_.stop = c.args[0] == "watch" ? &stopped : nullptr;
        const auto stopper = c.args[0] != "watch" ? nullptr : network_.StartWorker([&] {
            network_.Sleep(net::Milliseconds{250});
            stopped.store(true);
        });
        EXPECT_EQ(Run(c.args), c.status);
        if (stopper) {
            stopper->Join();
        }
        const std::string err = err_.str();
        const std::size_t at = err.find(said);
        EXPECT_EQ(at != std::string::npos, c.says) << err;
        if (at != std::string::npos) {
            EXPECT_EQ(err.find(said, at + 1), std::string::npos) << "said twice:\n" << err;
        }
    }
    std::remove(plan);
    EXPECT_EQ(Run({"discover", "--json"}), 0);
    EXPECT_EQ(out_.str(), "[]\n") << "a scan that found nothing";
}

// Discovery replies that say this MAC answers from `source`, after `fromMs` only.
net::FakeNetwork::Responder ImpostorFrom(const char* source, std::int64_t fromMs) {
    return [source, fromMs](const net::FakeNetwork::SentDatagram& sent, std::int64_t now) {
        std::vector<net::FakeNetwork::Delivery> deliveries;
        if (now >= fromMs && !sent.bytes.empty() && sent.bytes[0] == 0x40) {
            // Status 0, then the MAC element: type 2, length 9, six bytes.
            deliveries.push_back({10,
                                  net::AddressFromText(source),
                                  {0x41, 0x0D, 0x00, 0x09, 0x00, 0x02, 0x00, 0x09, 0x00, 0x0A, 0x1B,
                                   0x10, 0x00, 0x06}});
        }
        return deliveries;
    };
}

TEST_F(ApctlNetworksTest, VerifyWaitsUntilTheAccessPointAnswersFromItsNewAddress) {
    struct Case {
        const char* what;
        int silentAfterResetMs;
        bool impostor;
        int status;
        std::string outcome;
    };
    const Case cases[] = {
        {"comes back after 12 s", 12000, false, 0, "000A1B100006 answers at 10.0.0.16 after "},
        {"never comes back", 600000, false, 1, "000A1B100006 never answered within 30.0 s"},
        {"comes back at another address", 600000, true, 1,
         "000A1B100006 did not answer at 10.0.0.16 within 30.0 s; answered from 172.16.9.9 only"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        net::FakeNetwork network;
        net::ScopedSocketLayer installed(&network);
        const int lan = network.AddInterface("lan0", "10.0.0.200");
        sim::AccessPointSettings target = Target("10.0.0.5");
        target.silentAfterResetMs = c.silentAfterResetMs;
        network.AddAccessPoint(lan, target);
        if (c.impostor) {
            network.AddResponder(lan, ImpostorFrom("172.16.9.9", 1));
        }
        EXPECT_EQ(Run({"configure", "000A1B100006", "--fixed", "10.0.0.016", "255.255.255.0",
                       "10.0.0.1", "10.0.0.1", "--verify=30"}),
                  c.status);
        const std::string said = c.status == 0 ? out_.str() : err_.str();
        EXPECT_NE(said.find(c.outcome), std::string::npos) << said;
        if (c.status == 0) {
            EXPECT_EQ(out_.str().find("Data saved successfully.\n"), 0u);
            // Back after 12 s: the discovery that began after that found it.
            const double seconds = std::stod(out_.str().substr(out_.str().find("after ") + 6));
            EXPECT_GE(seconds, 12.0);
            EXPECT_LT(seconds, 12.0 + 6.0 + 5.2);
        } else {
            // Given up after the limit, not long past it.
            EXPECT_LT(network.NowMs(), 3000 + 4000 * 2 + 30000 + 6000);
        }
        EXPECT_EQ(network.openSockets(), 0);
    }
}

// Each look at a network where nobody answers ends after 4 s of silence, with 2 s between
// looks: they end at 4, 10, 16, 22 and 28 s.
TEST_F(ApctlNetworksTest, VerifyGivesUpAtItsLimit) {
    struct Case {
        const char* limit;
        std::int64_t givenUpAtMs;  // from the first look
    };
    const Case cases[] = {
        {"29", 29000},  // the pause after the fifth look is cut to the limit, not skipped
        {"30", 30000},
        {"26.8", 28000},  // the fifth look began before the limit and is seen out
        {"0.5", 4000},    // one look at least
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.limit);
        net::FakeNetwork network;
        net::ScopedSocketLayer installed(&network);
        const int lan = network.AddInterface("lan0", "10.0.0.200");
        sim::AccessPointSettings target = Target("10.0.0.5");
        target.silentAfterResetMs = 600000;
        network.AddAccessPoint(lan, target);
        EXPECT_EQ(Run({"configure", "000A1B100006", "--dhcp", std::string("--verify=") + c.limit}),
                  1);
        std::int64_t firstLook = -1;
        for (const auto& sent : network.sent()) {
            if (!sent.bytes.empty() && sent.bytes[0] == 0x40) {
                firstLook = sent.timeMs;
                break;
            }
        }
        ASSERT_GE(firstLook, 0);
        EXPECT_EQ(network.NowMs() - firstLook, c.givenUpAtMs);
    }
}

TEST_F(ApctlNetworksTest, VerifyForDhcpTakesAnyAddressAndPrintsOneJsonObject) {
    const int lan = network_.AddInterface("lan0", "10.0.0.200");
    sim::AccessPointSettings target = Target("10.0.0.5");
    target.silentAfterResetMs = 3000;
    network_.AddAccessPoint(lan, target);
    EXPECT_EQ(Run({"configure", "000A1B100006", "--dhcp", "--verify", "--json"}), 0);
    const std::string json = out_.str();
    EXPECT_EQ(json.find("{\"macText\": \"000A1B100006\", \"mode\": \"dhcp\", \"outcome\": "
                        "\"answers\", \"message\": \"000A1B100006 answers at 10.0.0.100 after "),
              0u)
        << json;
    EXPECT_NE(json.find("\"address\": \"10.0.0.100\", \"seconds\": "), std::string::npos);
    EXPECT_EQ(json.back(), '\n');
    EXPECT_EQ(std::count(json.begin(), json.end(), '\n'), 1);
}

// Writes through the checked output into a real descriptor.
struct WriteOutcome {
    bool flushed;
    int error;
};

WriteOutcome WriteTo(int fd, const std::string& text) {
    apctl::CheckedOutput output(fd);
    std::ostream stream(&output);
    stream << text;
    const bool flushed = output.Flush();
    return {flushed, output.error()};
}

TEST(ApctlOutput, LostOutputIsAFailureWithTheSystemsReason) {
    const int full = ::open("/dev/full", O_WRONLY | O_CLOEXEC);
    ASSERT_GE(full, 0) << "/dev/full is needed for this test";
    WriteOutcome outcome = WriteTo(full, "partial line without an end");
    ::close(full);
    EXPECT_FALSE(outcome.flushed);
    EXPECT_EQ(outcome.error, ENOSPC);
    EXPECT_EQ(apctl::WriteErrorMessage(outcome.error), "write error: No space left on device");

    int closed[2];
    ASSERT_EQ(::pipe(closed), 0);
    ::close(closed[0]);
    ::close(closed[1]);
    outcome = WriteTo(closed[1], "line\n");
    EXPECT_FALSE(outcome.flushed);
    EXPECT_EQ(outcome.error, EBADF);
    EXPECT_EQ(apctl::WriteErrorMessage(EBADF), "write error: Bad file descriptor");

    // A reader that went away (`| head -1`) ends the output quietly.
    int pipe[2];
    ASSERT_EQ(::pipe(pipe), 0);
    ::close(pipe[0]);
    const auto previous = std::signal(SIGPIPE, SIG_IGN);
    outcome = WriteTo(pipe[1], "line\n");
    std::signal(SIGPIPE, previous);
    ::close(pipe[1]);
    EXPECT_FALSE(outcome.flushed);
    EXPECT_EQ(outcome.error, EPIPE);
    EXPECT_EQ(apctl::WriteErrorMessage(EPIPE), "");

    int good[2];
    ASSERT_EQ(::pipe(good), 0);
    outcome = WriteTo(good[1], "a\nb");
    ::close(good[1]);
    char read[8] = {};
    EXPECT_EQ(::read(good[0], read, sizeof read), 3);
    ::close(good[0]);
    EXPECT_TRUE(outcome.flushed);
    EXPECT_STREQ(read, "a\nb");
}

extern "C" void IgnoreSignal(int) {}

// A signal that lands while a write waits for a slow reader ends that write early: with nothing
// written yet (EINTR) or part of it written (a short count). Neither may lose a byte, or a stop
// during apply would cut its summary off.
TEST(ApctlOutput, InterruptedAndShortWritesAreCompleted) {
    struct sigaction interrupting {};
    interrupting.sa_handler = IgnoreSignal;  // no SA_RESTART: the write returns early
    sigemptyset(&interrupting.sa_mask);
    struct sigaction previous {};
    ASSERT_EQ(::sigaction(SIGUSR1, &interrupting, &previous), 0);
    int pipe[2];
    ASSERT_EQ(::pipe2(pipe, O_CLOEXEC), 0);
    ::fcntl(pipe[1], F_SETPIPE_SZ, 4096);
    std::string text;
    for (int line = 0; text.size() < (std::size_t{1} << 18); ++line) {
        text += '[';
        text += std::to_string(line);
        text += "/4096] 020000000228 dhcp ... changed\n";
    }
    const pthread_t writer = ::pthread_self();
    std::string received;
    std::thread reader([&] {
        char chunk[1000];
        ssize_t got = 0;
        // Each read makes room, and the signal then catches the writer waiting for more.
        while ((got = ::read(pipe[0], chunk, sizeof chunk)) > 0) {
            received.append(chunk, static_cast<std::size_t>(got));
            ::pthread_kill(writer, SIGUSR1);
        }
    });
    const WriteOutcome outcome = WriteTo(pipe[1], text);
    ::close(pipe[1]);
    reader.join();
    ::close(pipe[0]);
    ::sigaction(SIGUSR1, &previous, nullptr);
    EXPECT_TRUE(outcome.flushed);
    EXPECT_EQ(outcome.error, 0);
    EXPECT_TRUE(received == text) << received.size() << " of " << text.size() << " bytes arrived";
}

}  // namespace
