// Every output form of apctl against files taken from an earlier build: stdout, stderr and the
// exit status, byte for byte. A difference is a change of what scripts and people see; a golden
// file is only ever written anew (AP_GOLDEN_WRITE=1) for a change of behaviour meant as such.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "net/FakeNetwork.h"
#include "tools/apctl/ApctlRun.h"

namespace {

using Args = std::vector<std::string>;

enum class Fleet { kFleet, kFlood, kEmpty, kNoInterface, kListingFails, kSendFails };

// What happens to the fleet after each of watch's discoveries; or, for diff, two discoveries
// saved before and after the churn's first two steps.
enum class Script { kNone, kChurn, kStopAfterTwo, kSavedDiscoveries };

constexpr char kPlan[] =
    "# the lab's plan\n"
    "mac,mode,ip,mask,gateway,dns\n"
    "000A1B100001,fixed,10.0.0.11,255.255.255.0,10.0.0.1,10.0.0.53\n"
    "00:0a:1b:10:00:03,fixed,010.0.0.13,255.255.255.0,10.0.0.1,10.0.0.53\n"
    "000A1B100002,fixed,10.0.0.22,255.255.255.0,10.0.0.1,10.0.0.53\n"
    "000A1B1000FF,dhcp,,,,\n";
constexpr char kBadPlan[] =
    "mac,mode,ip,mask,gateway,dns\n"
    "000A1B100001,fixed,10.0.0.11,255.255.0,10.0.0.1,10.0.0.53\n"
    "000A1B10000\x1B,dhcp,,,,\n"
    "000A1B100001,static,,,,\n";
constexpr char kPlanPath[] = "golden-plan.csv";
constexpr char kOldPath[] = "golden-old.json";
constexpr char kNewPath[] = "golden-new.json";

struct Case {
    const char* name;
    Fleet fleet;
    Args args;
    const char* plan = nullptr;  // written to kPlanPath first
    Script script = Script::kNone;
    int stopAtConfigurationOf = 0;  // the last MAC byte; 0: never stopped
};

void PrintTo(const Case& c, std::ostream* os) {
    *os << c.name;
}

// Access point n of the lab fleet: MAC 000A1B1000nn, firmware 010B, 802.11b/g.
sim::AccessPointSettings Numbered(int n, const std::string& name, const std::string& address) {
    sim::AccessPointSettings ap;
    ap.mac = {0x00, 0x0A, 0x1B, 0x10, 0x00, static_cast<std::uint8_t>(n)};
    ap.firmware = {0x01, 0x0B};
    std::tie(ap.name, ap.address, ap.wirelessMode) =
        std::make_tuple(name, net::AddressFromText(address), std::uint16_t{3});
    return ap;
}

class GoldenTest : public ::testing::TestWithParam<Case> {
protected:
    struct Slot {
        std::unique_ptr<sim::AccessPoint> model;
        bool present = true;
    };

    GoldenTest() : installed_(&network_) {}

    Slot& Add(int lan, const sim::AccessPointSettings& settings) {
        slots_.push_back(std::make_unique<Slot>());
        Slot* slot = slots_.back().get();
        slot->model = std::make_unique<sim::AccessPoint>(settings);
        network_.AddResponder(
            lan, [this, slot](const net::FakeNetwork::SentDatagram& request, std::int64_t nowMs) {
                std::vector<net::FakeNetwork::Delivery> deliveries;
                if (!slot->present || request.port != sim::kPort) {
                    return deliveries;
                }
                StopAtConfiguration(request.bytes);
                for (sim::Reply& reply : slot->model->HandleDatagram(request.bytes.data(),
                                                                     request.bytes.size(), nowMs)) {
                    deliveries.push_back({reply.delayMs, reply.source, std::move(reply.bytes)});
                }
                return deliveries;
            });
        return *slot;
    }

    // A request that names the MAC (only configuration and reset do) asks apply to stop.
    void StopAtConfiguration(const std::vector<std::uint8_t>& bytes) {
        const int last = GetParam().stopAtConfigurationOf;
        const std::uint8_t mac[] = {0x00, 0x0A, 0x1B, 0x10, 0x00, static_cast<std::uint8_t>(last)};
        if (last != 0 && std::search(bytes.begin(), bytes.end(), std::begin(mac), std::end(mac)) !=
                             bytes.end()) {
            stop_.store(true);
        }
    }

    void Build(Fleet fleet) {
        if (fleet == Fleet::kNoInterface) {
            return;
        }
        if (fleet == Fleet::kListingFails) {
            network_.FailCall(net::FakeNetwork::Call::kListInterfaces, 0, EACCES);
        }
        const int lan0 = network_.AddInterface("eth0", "10.0.0.200");
        const int lan1 = network_.AddInterface("wl\xC3\xA4n1", "172.16.5.200");
        if (GetParam().script == Script::kChurn) {
            ChurnBetweenDiscoveries(lan0, lan1);
        }
        if (fleet == Fleet::kEmpty) {
            return;
        }
        if (fleet == Fleet::kSendFails) {
            network_.FailCall(net::FakeNetwork::Call::kSend, 0, ENETUNREACH);
        }
        sim::AccessPointSettings roof = Numbered(1, "Roof \"north\" \\ east", "10.0.0.11");
        roof.description = "Roof, \"north\"";
        roof.ssidBg = "guest";
        roof.channelBg = 6;
        roof.ssidA = "corp";
        roof.channelA = 36;
        roof.wirelessMode = 7;
        roof_ = &Add(lan0, roof);
        sim::AccessPointSettings cafe = Numbered(2, "Caf\xE9\x1B[2J", "10.0.0.12");
        cafe.description = "tab\there";
        cafe.ssidBg = "caf\xE9";
        cafe.channelBg = 11;
        // Configured, it never comes back within any wait.
        cafe.silentAfterResetMs = 3600 * 1000;
        cafe_ = &Add(lan0, cafe);
        sim::AccessPointSettings factory = Numbered(3, "Factory", "192.168.1.1");
        factory.dhcpPool = {net::AddressFromText("10.0.0.103")};
        Add(lan0, factory);
        sim::AccessPointSettings lobby = Numbered(4, "Lobby", "172.16.5.4");
        lobby.wirelessMode = 1;
        lobby_ = &Add(lan1, lobby);
        Add(lan1, Numbered(5, "Zeta, west", "172.16.5.9"));
        if (fleet == Fleet::kFlood) {
            sim::AccessPointSettings flood = Numbered(6, "Flood", "10.0.0.66");
            flood.floodCopies = 40;
            Add(lan0, flood);
            network_.SetReceiveQueueLimit(8);
        }
    }

    // A watch goes on until stopped; the fleet changes between its discoveries as the script
    // says, driven through the network itself: the first request of a discovery tells that the
    // one before it has been compared. Counted before any access point hears the request.
    void ChurnBetweenDiscoveries(int lan0, int lan1) {
        constexpr int kRequestsPerDiscovery = 6;  // three on each of the two networks
        for (const int lan : {lan0, lan1}) {
            network_.AddResponder(lan, [this](const net::FakeNetwork::SentDatagram&, std::int64_t) {
                if (++requests_ > 1 && (requests_ - 1) % kRequestsPerDiscovery == 0) {
                    Churn((requests_ - 1) / kRequestsPerDiscovery);
                }
                return std::vector<net::FakeNetwork::Delivery>{};
            });
        }
    }

    // Sends that fail give no request to count: a worker on the network's clock stops the watch
    // in the pause after its second discovery.
    std::unique_ptr<net::Worker> StopAfterTwo() {
        if (GetParam().script != Script::kStopAfterTwo) {
            return nullptr;
        }
        return network_.StartWorker([this] {
            network_.Sleep(std::chrono::milliseconds{15000});
            stop_.store(true);
        });
    }

    void Churn(int round) {
        if (round == 1) {
            cafe_->present = false;
        } else if (round == 2) {
            sim::AccessPointSettings changed = roof_->model->settings();
            changed.ssidBg = "guest-2";
            changed.address = net::AddressFromText("10.0.0.21");
            roof_->model = std::make_unique<sim::AccessPoint>(changed);
        } else if (round == 3) {
            cafe_->present = true;
            lobby_->present = false;
        } else {
            stop_.store(true);
        }
    }

    void SaveDiscovery(const char* path) {
        std::ostringstream out, err;
        apctl::Run({"discover", "--json"}, out, err);
        std::ofstream(path, std::ios::binary) << out.str();
    }

    net::FakeNetwork network_;
    net::ScopedSocketLayer installed_;
    std::vector<std::unique_ptr<Slot>> slots_;
    Slot* roof_ = nullptr;
    Slot* cafe_ = nullptr;
    Slot* lobby_ = nullptr;
    std::atomic<bool> stop_{false};
    int requests_ = 0;
};

// The plan and the saved discoveries are named in the output, so they keep their relative
// names; each case writes them in a folder of its own, since ctest runs cases side by side.
class CaseFolder {
public:
    explicit CaseFolder(const std::string& name)
        : outside_(std::filesystem::current_path()), folder_(outside_ / ("golden-" + name)) {
        std::filesystem::create_directories(folder_);
        std::filesystem::current_path(folder_);
    }
    ~CaseFolder() {
        std::filesystem::current_path(outside_);
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }
    CaseFolder(const CaseFolder&) = delete;
    CaseFolder& operator=(const CaseFolder&) = delete;

private:
    std::filesystem::path outside_;
    std::filesystem::path folder_;
};

TEST_P(GoldenTest, OutputIsTheGoldenFile) {
    const Case& c = GetParam();
    const CaseFolder folder(c.name);
    Build(c.fleet);
    if (c.plan != nullptr) {
        std::ofstream(kPlanPath, std::ios::binary) << c.plan;
    }
    if (c.script == Script::kSavedDiscoveries) {
        SaveDiscovery(kOldPath);
        Churn(1);
        Churn(2);
        SaveDiscovery(kNewPath);
    }
    apctl::RunContext context;
    context.stop = &stop_;
    context.reversePathFilter = [](const std::string& name) { return name == "eth0" ? 1 : 0; };
    const std::unique_ptr<net::Worker> stopper = StopAfterTwo();
    std::ostringstream out, err;
    const int status = apctl::Run(c.args, out, err, context);
    if (stopper) {
        stopper->Join();
    }

    std::string actual = "$ apctl";
    for (const std::string& arg : c.args) {
        actual += " " + arg;
    }
    actual += "\nexit " + std::to_string(status) + "\n--- stdout\n" + out.str() +
              "--- stderr\n" + err.str();
    const std::string path = std::string(AP_GOLDEN_DIR) + "/" + c.name + ".txt";
    if (std::getenv("AP_GOLDEN_WRITE") != nullptr) {
        std::ofstream(path, std::ios::binary) << actual;
    }
    std::ifstream file(path, std::ios::binary);
    ASSERT_TRUE(file) << "no golden file " << path;
    const std::string golden((std::istreambuf_iterator<char>(file)), {});
    EXPECT_EQ(actual, golden) << path;
}

const Case kCases[] = {
    {"help", Fleet::kEmpty, {"--help"}},
    {"usage_no_command", Fleet::kFleet, {}},
    {"usage_unknown_command", Fleet::kFleet, {"scan"}},
    {"usage_two_formats", Fleet::kFleet, {"discover", "--json", "--csv"}},
    {"usage_bad_mac", Fleet::kFleet, {"reset", "00:0A:1B-10:00:01"}},
    {"usage_bad_mask", Fleet::kFleet,
     {"configure", "000A1B100001", "--fixed", "10.0.0.9", "255.0.255.0", "10.0.0.1", "10.0.0.1"}},
    {"usage_unknown_interface", Fleet::kFleet, {"discover", "--interface", "nosuch0"}},
    {"usage_watch_interval", Fleet::kFleet, {"watch", "--interval", "0.05"}},
    {"usage_watch_exec", Fleet::kFleet, {"watch", "--exec", "sh -c 'echo $APCTL_MAC"}},
    {"usage_plan_missing", Fleet::kFleet, {"apply", "no-such-plan.csv"}},
    {"usage_plan_errors", Fleet::kFleet, {"apply", kPlanPath}, kBadPlan},

    {"discover_table", Fleet::kFleet, {"discover"}},
    {"discover_json", Fleet::kFleet, {"discover", "--json"}},
    {"discover_csv", Fleet::kFleet, {"discover", "--csv"}},
    {"discover_verbose", Fleet::kFleet, {"discover", "--verbose", "--parallel"}},
    {"discover_one_interface", Fleet::kFleet, {"discover", "-i", "wl\xC3\xA4n1", "--csv"}},
    {"discover_empty_json", Fleet::kEmpty, {"discover", "--json"}},
    {"discover_flood_verbose", Fleet::kFlood, {"discover", "--verbose"}},
    {"discover_no_interface", Fleet::kNoInterface, {"discover"}},
    {"discover_listing_fails", Fleet::kListingFails, {"discover"}},
    {"discover_send_fails", Fleet::kSendFails, {"discover", "--json"}},

    {"interfaces_table", Fleet::kFleet, {"interfaces"}},
    {"interfaces_json", Fleet::kFleet, {"interfaces", "--json"}},
    {"interfaces_listing_fails", Fleet::kListingFails, {"interfaces"}},

    {"configure_fixed", Fleet::kFleet,
     {"configure", "000A1B100003", "--fixed", "10.0.0.13", "255.255.255.0", "10.0.0.1",
      "10.0.0.53"}},
    {"configure_fixed_json", Fleet::kFleet,
     {"configure", "000A1B100003", "--fixed", "10.0.0.13", "255.255.255.0", "10.0.0.1", "10.0.0.53",
      "--json"}},
    {"configure_dhcp", Fleet::kFleet, {"configure", "000A1B100003", "--dhcp"}},
    {"configure_dhcp_json", Fleet::kFleet, {"configure", "000A1B100003", "--dhcp", "--json"}},
    {"configure_unknown", Fleet::kFleet,
     {"configure", "112233445566", "--fixed", "10.0.0.13", "255.255.255.0", "10.0.0.1",
      "10.0.0.53"}},
    {"configure_unknown_json", Fleet::kFleet,
     {"configure", "112233445566", "--dhcp", "--json"}},
    {"configure_send_fails_json", Fleet::kSendFails,
     {"configure", "000A1B100003", "--dhcp", "--json"}},
    {"configure_verify", Fleet::kFleet,
     {"configure", "000A1B100003", "--fixed", "010.0.0.13", "255.255.255.0", "10.0.0.1",
      "10.0.0.53", "--verify"}},
    {"configure_verify_json", Fleet::kFleet,
     {"configure", "000A1B100003", "--dhcp", "--verify=30", "--json"}},
    {"configure_verify_never", Fleet::kFleet,
     {"configure", "000A1B100002", "--fixed", "10.0.0.22", "255.255.255.0", "10.0.0.1",
      "10.0.0.53", "--verify=7.5"}},
    {"configure_verify_never_json", Fleet::kFleet,
     {"configure", "000A1B100002", "--dhcp", "--verify=5", "--json"}},

    {"reset", Fleet::kFleet, {"reset", "00-0a-1b-10-00-04"}},
    {"reset_unknown", Fleet::kFleet, {"reset", "112233445566"}},
    {"reset_send_fails", Fleet::kSendFails, {"reset", "000A1B100004"}},

    {"apply_dry_run", Fleet::kFleet, {"apply", kPlanPath, "--dry-run"}, kPlan},
    {"apply_dry_run_json", Fleet::kFleet, {"apply", kPlanPath, "--dry-run", "--json"}, kPlan},
    {"apply_summary", Fleet::kFleet, {"apply", kPlanPath, "--verify=30"}, kPlan},
    {"apply_json", Fleet::kFleet, {"apply", kPlanPath, "--verify=10", "--parallel", "--json"},
     kPlan},
    {"apply_stopped", Fleet::kFleet, {"apply", kPlanPath, "--verify=30"}, kPlan, Script::kNone, 3},
    {"apply_discovery_fails", Fleet::kSendFails, {"apply", kPlanPath, "--json"}, kPlan},
    {"apply_check", Fleet::kFleet, {"apply", kPlanPath, "--check"}, kPlan},
    {"apply_check_json", Fleet::kFleet, {"apply", kPlanPath, "--check", "--parallel", "--json"},
     kPlan},
    {"usage_check_dry_run", Fleet::kFleet, {"apply", kPlanPath, "--dry-run", "--check"}, kPlan},

    {"watch_lines", Fleet::kFleet, {"watch", "--interval", "2.5"}, nullptr, Script::kChurn},
    {"watch_json", Fleet::kFleet, {"watch", "--json", "--parallel"}, nullptr, Script::kChurn},
    {"diff_lines", Fleet::kFleet, {"diff", kOldPath, kNewPath}, nullptr,
     Script::kSavedDiscoveries},
    {"diff_json", Fleet::kFleet, {"diff", kNewPath, kOldPath, "--json"}, nullptr,
     Script::kSavedDiscoveries},
    {"usage_diff_not_discovery", Fleet::kFleet, {"diff", kPlanPath, kOldPath}, kPlan,
     Script::kSavedDiscoveries},

    {"watch_discovery_fails", Fleet::kSendFails, {"watch"}, nullptr, Script::kStopAfterTwo},
    {"watch_listing_fails", Fleet::kListingFails, {"watch", "--json"}, nullptr,
     Script::kStopAfterTwo},
};

INSTANTIATE_TEST_SUITE_P(Apctl, GoldenTest, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<Case>& param) {
                             return std::string(param.param.name);
                         });

}  // namespace
