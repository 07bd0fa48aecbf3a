#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "fleet/Discovery.h"
#include "fleet/WatchChanges.h"
#include "net/FakeNetwork.h"

namespace {

using Status = fleet::DiscoveryRun::Status;

TEST(FleetDiscovery, StatusTellsAnEmptyNetworkFromAFailure) {
    struct Case {
        const char* name;
        bool listingFails, sendFails, accessPoint;
        Status status;
        std::size_t records;
    };
    const Case cases[] = {
        {"empty network", false, false, false, Status::kCompleted, 0},
        {"one access point", false, false, true, Status::kCompleted, 1},
        {"no listing", true, false, true, Status::kListingFailed, 0},
        {"no send", false, true, true, Status::kExchangeFailed, 0},
    };
    for (const Case& c : cases) {
        net::FakeNetwork network;
        net::ScopedSocketLayer installed(&network);
        const int lan = network.AddInterface("eth0", "10.0.0.200");
        if (c.accessPoint) {
            sim::AccessPointSettings settings;
            settings.name = "AP";
            settings.mac = {0x00, 0x0A, 0x1B, 0x10, 0x00, 0x01};
            settings.address = net::AddressFromText("10.0.0.11");
            network.AddAccessPoint(lan, settings);
        }
        if (c.listingFails) {
            network.FailCall(net::FakeNetwork::Call::kListInterfaces, 0, EACCES);
        }
        if (c.sendFails) {
            network.FailCall(net::FakeNetwork::Call::kSend, 0, ENETUNREACH);
        }
        const fleet::DiscoveryRun run = fleet::Discover(fleet::Session{});
        EXPECT_EQ(run.status, c.status) << c.name;
        EXPECT_EQ(run.records.size(), c.records) << c.name;
        if (c.status == Status::kListingFailed) {
            EXPECT_EQ(run.report.listingError, EACCES) << c.name;
        }
        if (c.status == Status::kExchangeFailed) {
            ASSERT_NE(run.report.Failure(), nullptr) << c.name;
            EXPECT_EQ(fleet::FailureText("discovery", *run.report.Failure()),
                      "discovery failed on 10.0.0.200 (eth0): sending the request: " +
                          std::string(std::strerror(ENETUNREACH)));
        }
    }
}

DeviceRecord Record(const char* mac, const char* ip, const char* ssid = "") {
    DeviceRecord record{};
    std::strcpy(record.macText, mac);
    std::strcpy(record.ipAddress, ip);
    std::strcpy(record.ssidBg, ssid);
    return record;
}

std::string Describe(const std::vector<fleet::Change>& changes) {
    std::string text;
    for (const fleet::Change& change : changes) {
        const char* kinds[] = {"+", "~", "-"};
        text += kinds[static_cast<int>(change.kind)] + change.macText;
        if (change.field != nullptr) {
            text += std::string(" ") + change.field->key + " " + change.before + ">" + change.after;
        }
        text += ";";
    }
    return text;
}

// Each step is one discovery's records and the changes it must give.
TEST(FleetWatchChanges, AppearChangeAndGoneAfterTwoAbsences) {
    struct Step {
        std::vector<DeviceRecord> records;
        std::string changes;
    };
    const Step steps[] = {
        {{Record("A", "10.0.0.1"), Record("B", "10.0.0.2")}, "+A;+B;"},
        {{Record("A", "10.0.0.1")}, ""},  // one lost reply is no departure
        {{Record("A", "10.0.0.1"), Record("B", "10.0.0.2")}, ""},
        {{Record("A", "10.0.0.9", "x")}, "~A ipAddress 10.0.0.1>10.0.0.9;~A ssidBg >x;"},
        {{Record("A", "10.0.0.9", "x")}, "-B;"},
        {{}, ""},
        {{}, "-A;"},
        {{Record("B", "10.0.0.2")}, "+B;"},
    };
    fleet::ChangeDetector detector;
    int number = 0;
    for (const Step& step : steps) {
        EXPECT_EQ(Describe(detector.Compare(step.records)), step.changes) << "step " << ++number;
    }
}

}  // namespace
