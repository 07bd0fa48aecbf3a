// What is gone between two steps of an exchange. A datagram that makes the socket readable and is
// gone when it is read (the kernel drops one whose checksum fails only at the read) is nothing:
// no record, no failure, the wait goes on. An interface gone while it was listed (index 0) is
// not used at all.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "NetworkFixture.h"
#include "config/ConfigExchange.h"
#include "discovery/BroadcastDiscovery.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using Delivery = net::FakeNetwork::Delivery;

// Answers the first request only, with the given deliveries.
net::FakeNetwork::Responder FirstRequestOnly(std::vector<Delivery> deliveries) {
    return [deliveries](const net::FakeNetwork::SentDatagram&, std::int64_t now) {
        return now == 0 ? deliveries : std::vector<Delivery>{};
    };
}

Delivery Vanishing(int delayMs) {
    Delivery delivery{delayMs, net::AddressFromText("10.0.0.66"), {0x41, 0x0D, 0x00, 0x00, 0x00}};
    delivery.vanishes = true;
    return delivery;
}

class VanishedBetweenStepsTest : public NetworkTest {};

TEST_F(VanishedBetweenStepsTest, DiscoveryKeepsWaitingAndKeepsEveryRealReply) {
    const int ifIndex = network_.AddInterface("eth0", "10.0.0.200");
    // name "A", then "B" after a datagram that vanished.
    const Bytes first = {0x41, 0x0D, 0x00, 0x04, 0x00, 0x01, 0x00, 0x04, 'A'};
    const Bytes second = {0x41, 0x0D, 0x00, 0x04, 0x00, 0x01, 0x00, 0x04, 'B'};
    network_.AddResponder(ifIndex,
                          FirstRequestOnly({{100, net::AddressFromText("10.0.0.5"), first},
                                            Vanishing(1000),
                                            Vanishing(1001),
                                            {3000, net::AddressFromText("10.0.0.6"), second}}));
    DeviceTablePtr table = AllocateDeviceTable();
    int count = -1;
    EXPECT_EQ(BroadcastDiscovery(table.get(), &count), 1);
    ASSERT_EQ(count, 2);
    EXPECT_STREQ(table->records[0].name, "A");
    EXPECT_STREQ(table->records[1].name, "B");
    EXPECT_STREQ(table->records[1].ipAddress, "10.0.0.6");
    ExpectCleanShutdown();
}

TEST_F(VanishedBetweenStepsTest, ConfigurationStillTakesTheAcknowledgementThatFollows) {
    const int ifIndex = network_.AddInterface("eth0", "10.0.0.200");
    network_.AddResponder(
        ifIndex, FirstRequestOnly({Vanishing(100),
                                   {2000, net::AddressFromText("10.0.0.5"), {0x41, 0x0D, 0x00}}}));
    EXPECT_EQ(SendReset("000A1B2C3D4E"), 1);
    EXPECT_EQ(network_.NowMs(), 2000);
    ExpectCleanShutdown();
}

TEST_F(VanishedBetweenStepsTest, AnInterfaceWithoutIndexIsNeverUsed) {
    net::InterfaceAddress gone;
    gone.address = net::AddressFromText("10.5.0.200");
    gone.interfaceIndex = 0;
    gone.up = gone.running = gone.broadcast = true;
    network_.AddInterfaceEntry(gone);
    const int kept = network_.AddInterface("eth1", "10.6.0.200");
    DeviceTablePtr table = AllocateDeviceTable();
    int count = -1;
    EXPECT_EQ(BroadcastDiscovery(table.get(), &count), 1);
    const auto sent = network_.sent();
    ASSERT_EQ(sent.size(), 3u);
    for (const auto& datagram : sent) {
        EXPECT_EQ(datagram.from.interfaceIndex, kept);
    }
    EXPECT_EQ(network_.CallCount(net::FakeNetwork::Call::kBindToDevice), 1);
    ExpectCleanShutdown();
}

}  // namespace
