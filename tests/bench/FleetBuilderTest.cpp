// The benchmarks' fleets as apsim reads them: every access point where the shape puts it, the
// foreign ones off their network's subnet and answering by broadcast, no MAC twice, and the
// defaults and per-access-point fields arriving as given.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <QByteArray>

#include <functional>
#include <set>
#include <string>

#include "bench/support/FleetBuilder.h"
#include "tools/apsim/FleetFile.h"

namespace {

bool OnSubnet(std::uint32_t address, const apsim::LabNetwork& network) {
    const std::uint32_t mask = htonl(~0u << (32 - network.prefixLength));
    return (address & mask) == (network.hostAddress & mask);
}

TEST(FleetBuilder, GridsAreReadByApsimWithEachAccessPointWhereTheShapePutsIt) {
    struct Case {
        const char* what;
        bench::GridShape shape;
        int foreign;  // expected on a foreign subnet
    };
    const auto shape = [](int networks, int perNetwork, int foreignEvery,
                          std::function<std::string(int, int)> name = {}) {
        bench::GridShape made;
        made.networks = networks;
        made.perNetwork = perNetwork;
        made.foreignEvery = foreignEvery;
        if (name) {
            made.macPrefix = "000A";
            made.name = std::move(name);
        }
        return made;
    };
    const Case cases[] = {
        {"one network", shape(1, 3, 0), 0},
        {"past one /24 of a network", shape(2, 450, 0), 0},
        {"every third foreign", shape(3, 7, 3), 9},
        {"chosen names and MACs",
         shape(2, 2, 0,
               [](int n, int i) {
                   return "site \"" + std::to_string(n) + "\" #" + std::to_string(i);
               }),
         0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        bench::Fleet fleet = bench::Grid(c.shape);
        fleet.defaults.insert("firmware", "0104");
        fleet.accessPoints.back().fields.insert("replyDelayMs", 250);
        apsim::Fleet read;
        std::string error;
        ASSERT_TRUE(
            apsim::ParseFleet(QByteArray::fromStdString(bench::FleetJson(fleet)), &read, &error))
            << error;
        ASSERT_EQ(read.networks.size(), static_cast<std::size_t>(c.shape.networks));
        ASSERT_EQ(read.accessPoints.size(), fleet.accessPoints.size());
        std::set<std::string> macs;
        int foreign = 0;
        for (std::size_t k = 0; k < read.accessPoints.size(); ++k) {
            const apsim::AccessPointEntry& entry = read.accessPoints[k];
            const bench::FleetAccessPoint& built = fleet.accessPoints[k];
            EXPECT_EQ(entry.settings.name, built.name);
            EXPECT_EQ(entry.settings.firmware[0], 0x01);
            macs.insert(std::string(entry.settings.mac.begin(), entry.settings.mac.end()));
            ASSERT_EQ(entry.placements.size(), 1u);
            const apsim::LabNetwork* network =
                apsim::FindNetwork(read, entry.placements[0].network);
            ASSERT_NE(network, nullptr);
            EXPECT_EQ(network->name, "lan" + std::to_string(built.network));
            const bool away = !OnSubnet(entry.placements[0].address, *network);
            foreign += away ? 1 : 0;
            EXPECT_EQ(entry.settings.replyByBroadcast, away) << built.address;
            if (built.mac.rfind(c.shape.macPrefix, 0) != 0) {
                ADD_FAILURE() << built.mac << " does not start with " << c.shape.macPrefix;
            }
        }
        EXPECT_EQ(foreign, c.foreign);
        EXPECT_EQ(macs.size(), read.accessPoints.size()) << "a MAC given twice";
        EXPECT_EQ(read.accessPoints.back().settings.replyDelayMs, 250);
    }
}

}  // namespace
