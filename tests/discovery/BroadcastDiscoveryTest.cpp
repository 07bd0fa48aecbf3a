#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "NetworkFixture.h"
#include "discovery/BroadcastDiscovery.h"
#include "discovery/Frame.h"

namespace {

using Call = net::FakeNetwork::Call;
using Bytes = std::vector<std::uint8_t>;

const Bytes kDiscoveryRequest = {0x40, 0x0D, 0x18, 0x00, 0x61, 0x61, 0x61, 0x61, 0x3A, 0x0A,
                                 0x01, 0x00, 0x02, 0x00, 0x08, 0x00, 0x09, 0x00, 0x0B, 0x00,
                                 0x0C, 0x00, 0x0D, 0x00, 0x15, 0x00, 0x16, 0x00};

class BroadcastDiscoveryTest : public NetworkTest {
protected:
    int Run() {
        count_ = -1;
        table_ = AllocateDeviceTable();
        return BroadcastDiscovery(table_.get(), &count_);
    }

    const DeviceRecord& Record(int i) const { return table_->records[i]; }

    DeviceTablePtr table_;
    int count_ = -1;
};

TEST_F(BroadcastDiscoveryTest, NoLocalAddressCompletesAtOnceWithNothingSent) {
    EXPECT_EQ(Run(), 1);
    EXPECT_EQ(count_, 0);
    EXPECT_TRUE(network_.sent().empty());
    EXPECT_EQ(network_.socketsOpened(), 0);
}

TEST_F(BroadcastDiscoveryTest, NoSocketLayerFindsNothing) {
    net::ScopedSocketLayer none(nullptr);
    EXPECT_EQ(Run(), 1);
    EXPECT_EQ(count_, 0);
}

TEST_F(BroadcastDiscoveryTest, SendsThreeCopiesPerAddressAndWaitsForSilenceBeforeTheNext) {
    const int first = network_.AddInterface("eth0", "10.0.0.200");
    const int second = network_.AddInterface("eth1", "192.168.1.200");
    EXPECT_EQ(Run(), 1);
    EXPECT_EQ(count_, 0);

    const auto sent = network_.sent();
    ASSERT_EQ(sent.size(), 6u);
    const std::int64_t expectedTimes[] = {0, 600, 1200, 4000, 4600, 5200};
    for (std::size_t i = 0; i < sent.size(); ++i) {
        EXPECT_EQ(sent[i].bytes, kDiscoveryRequest) << i;
        EXPECT_EQ(sent[i].destination, net::kLimitedBroadcast) << i;
        EXPECT_EQ(sent[i].port, 34442) << i;
        EXPECT_EQ(sent[i].timeMs, expectedTimes[i]) << i;
        EXPECT_EQ(sent[i].from.interfaceIndex, i < 3 ? first : second) << i;
    }
    EXPECT_EQ(sent[0].from.address, net::AddressFromText("10.0.0.200"));
    EXPECT_EQ(sent[3].from.address, net::AddressFromText("192.168.1.200"));
    // 4 s of silence on each address.
    EXPECT_EQ(network_.NowMs(), 8000);
    ExpectCleanShutdown();
}

TEST_F(BroadcastDiscoveryTest, EveryReplyBecomesARecordInOrderOfArrival) {
    const int ifIndex = network_.AddInterface("eth0", "10.0.0.200");
    network_.AddAccessPoint(ifIndex, MakeAccessPoint("Lobby", 0x01, "10.0.0.5"));
    EXPECT_EQ(Run(), 1);
    // One access point answering every copy gives three records.
    ASSERT_EQ(count_, 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_STREQ(Record(i).name, "Lobby");
        EXPECT_STREQ(Record(i).macText, "000A1B2C3D01");
        EXPECT_STREQ(Record(i).ipAddress, "10.0.0.5");
        EXPECT_STREQ(Record(i).localAddress, "10.0.0.200");
        EXPECT_STREQ(Record(i).firmwareVersion, "010B");
        EXPECT_EQ(Record(i).wirelessMode, 7);
    }
    // The wait after the last reply (at 1200 ms) lasts the full silence.
    EXPECT_EQ(network_.NowMs(), 5200);
    ExpectCleanShutdown();
}

TEST_F(BroadcastDiscoveryTest, RepliesLessThanFourSecondsApartKeepItWaiting) {
    const int ifIndex = network_.AddInterface("eth0", "10.0.0.200");
    const Bytes reply = {0x41, 0x0D, 0x00, 0x00, 0x00};
    // Four replies, 3.9 s apart, drawn by the first request only: the last silence ends just
    // inside the exchange's bound.
    network_.AddResponder(
        ifIndex, [&reply](const net::FakeNetwork::SentDatagram&, std::int64_t now) {
            std::vector<net::FakeNetwork::Delivery> deliveries;
            if (now == 0) {
                for (int i = 1; i <= 4; ++i) {
                    deliveries.push_back({3900 * i, net::AddressFromText("10.0.0.9"), reply});
                }
            }
            return deliveries;
        });
    EXPECT_EQ(Run(), 1);
    EXPECT_EQ(count_, 4);
    EXPECT_EQ(network_.NowMs(), 4 * 3900 + 4000);
    ExpectCleanShutdown();
}

TEST_F(BroadcastDiscoveryTest, StatusOneIsKeptAndStatusTwoIgnored) {
    const int ifIndex = network_.AddInterface("eth0", "10.0.0.200");
    auto accepted = MakeAccessPoint("One", 0x01, "10.0.0.5");
    accepted.status = 1;
    accepted.answerEveryCopy = false;
    auto refused = MakeAccessPoint("Two", 0x02, "10.0.0.6");
    refused.status = 2;
    network_.AddAccessPoint(ifIndex, accepted);
    network_.AddAccessPoint(ifIndex, refused);
    EXPECT_EQ(Run(), 1);
    ASSERT_EQ(count_, 1);
    EXPECT_STREQ(Record(0).name, "One");
}

TEST_F(BroadcastDiscoveryTest, ReplyWithoutElementsSetsOnlyTheAddresses) {
    const int ifIndex = network_.AddInterface("eth0", "10.0.0.200");
    network_.AddResponder(ifIndex, Answer({0x00, 0x00, 0x00, 0x00, 0x00}, "10.0.0.7"));
    EXPECT_EQ(Run(), 1);
    ASSERT_EQ(count_, 3);
    DeviceRecord expected{};
    std::strcpy(expected.ipAddress, "10.0.0.7");
    std::strcpy(expected.localAddress, "10.0.0.200");
    EXPECT_EQ(std::memcmp(&Record(0), &expected, sizeof expected), 0);
}

TEST_F(BroadcastDiscoveryTest, DatagramsTooShortForAStatusAreNotReplies) {
    const int ifIndex = network_.AddInterface("eth0", "10.0.0.200");
    network_.AddResponder(ifIndex, Answer({}, "10.0.0.7"));
    network_.AddResponder(ifIndex, Answer({0x00, 0x00}, "10.0.0.8"));
    network_.AddResponder(ifIndex, Answer({0x00, 0x00, 0x00}, "10.0.0.9"));
    EXPECT_EQ(Run(), 1);
    ASSERT_EQ(count_, 3);
    EXPECT_STREQ(Record(0).ipAddress, "10.0.0.9");
}

TEST_F(BroadcastDiscoveryTest, DatagramsLongerThanTheBufferAreCutNotOverrun) {
    const int ifIndex = network_.AddInterface("eth0", "10.0.0.200");
    // Filled, then headed: GCC 12 at -O3 takes a resize of the short vector for an overrun.
    Bytes huge(9000, 0xEE);
    const Bytes head = {0x41, 0x0D, 0x00, 0x05, 0x00, 0x01, 0x00, 0x05, 'o', 'k'};
    std::memcpy(huge.data(), head.data(), head.size());
    network_.AddResponder(ifIndex, Answer(huge, "10.0.0.7"));
    EXPECT_EQ(Run(), 1);
    ASSERT_EQ(count_, 3);
    EXPECT_STREQ(Record(0).name, "ok");
}

TEST_F(BroadcastDiscoveryTest, OnlyUsableInterfacesAndAtMostTenAddresses) {
    auto entry = [](const char* address, bool up, bool running, bool broadcast, bool loopback) {
        net::InterfaceAddress a;
        a.address = net::AddressFromText(address);
        a.interfaceIndex = 2;
        a.up = up;
        a.running = running;
        a.broadcast = broadcast;
        a.loopback = loopback;
        return a;
    };
    network_.AddInterfaceEntry(entry("127.0.0.1", true, true, false, true));
    network_.AddInterfaceEntry(entry("10.9.0.1", false, false, true, false));  // down
    network_.AddInterfaceEntry(entry("10.9.0.2", true, false, true, false));   // no carrier
    network_.AddInterfaceEntry(entry("10.9.0.3", true, true, false, false));   // point to point
    for (int i = 1; i <= 12; ++i) {
        network_.AddInterfaceEntry(
            entry(("10.1.0." + std::to_string(i)).c_str(), true, true, true, false));
    }
    EXPECT_EQ(Run(), 1);
    const auto sent = network_.sent();
    ASSERT_EQ(sent.size(), 30u);
    for (std::size_t i = 0; i < sent.size(); i += 3) {
        EXPECT_EQ(sent[i].from.address,
                  net::AddressFromText("10.1.0." + std::to_string(i / 3 + 1)));
    }
    ExpectCleanShutdown();
}

TEST_F(BroadcastDiscoveryTest, WithoutAResendWorkerTheSingleSendStillCollects) {
    const int ifIndex = network_.AddInterface("eth0", "10.0.0.200");
    network_.AddAccessPoint(ifIndex, MakeAccessPoint("Solo", 0x01, "10.0.0.5"));
    network_.FailCall(Call::kStartWorker);
    EXPECT_EQ(Run(), 1);
    EXPECT_EQ(count_, 1);
    EXPECT_EQ(network_.sent().size(), 1u);
    ExpectCleanShutdown();
}

TEST_F(BroadcastDiscoveryTest, RefusedDeviceBindingAndBufferSizeAreNotFailures) {
    const int ifIndex = network_.AddInterface("eth0", "10.0.0.200");
    network_.AddAccessPoint(ifIndex, MakeAccessPoint("Solo", 0x01, "10.0.0.5"));
    network_.FailCall(Call::kBindToDevice);
    network_.FailCall(Call::kSetReceiveBuffer);
    EXPECT_EQ(Run(), 1);
    EXPECT_EQ(count_, 3);
    ExpectCleanShutdown();
}

// Every required socket step, failing on the first or on the second address, fails the whole
// exchange: result 0, the count untouched, every socket closed once and every worker joined.
TEST_F(BroadcastDiscoveryTest, EachFailingStepOnEachAddressFailsTheExchangeCleanly) {
    struct Step {
        Call call;
        int callsPerAddress;
    };
    const Step steps[] = {
        {Call::kOpen, 1}, {Call::kEnableBroadcast, 1}, {Call::kBindAnyPort, 1},   {Call::kSend, 3},
        {Call::kWait, 4}, {Call::kReceive, 3},         {Call::kListInterfaces, 0}};
    for (const Step& step : steps) {
        for (int address = 0; address < 2; ++address) {
            if (step.callsPerAddress == 0 && address == 1) {
                continue;
            }
            net::FakeNetwork network;
            net::ScopedSocketLayer installed(&network);
            const int first = network.AddInterface("eth0", "10.0.0.200");
            const int second = network.AddInterface("eth1", "192.168.1.200");
            network.AddAccessPoint(first, MakeAccessPoint("A", 0x01, "10.0.0.5"));
            network.AddAccessPoint(second, MakeAccessPoint("B", 0x02, "192.168.1.5"));
            // The first call of the step on the chosen address.
            network.FailCall(step.call, address * step.callsPerAddress + 1);

            DeviceTablePtr table = AllocateDeviceTable();
            int count = -1;
            const int result = BroadcastDiscovery(table.get(), &count);
            const std::string where = "call " + std::to_string(static_cast<int>(step.call)) +
                                      " on address " + std::to_string(address);
            if (step.call == Call::kListInterfaces) {
                EXPECT_EQ(result, 1) << where;
                EXPECT_EQ(count, 0) << where;
            } else {
                EXPECT_EQ(result, 0) << where;
                EXPECT_EQ(count, -1) << where;
            }
            EXPECT_EQ(network.openSockets(), 0) << where;
            EXPECT_EQ(network.doubleCloses(), 0) << where;
            EXPECT_EQ(network.workersStarted(), network.workersJoined()) << where;
            EXPECT_EQ(network.sendsOnClosedSockets(), 0) << where;
            // Nothing was sent on the second address when the first failed.
            if (address == 0 && step.call != Call::kListInterfaces) {
                for (const auto& datagram : network.sent()) {
                    EXPECT_EQ(datagram.from.interfaceIndex, first) << where;
                }
            }
        }
    }
}

// Access point number i, named "AP<i>", with a MAC of its own.
sim::AccessPointSettings NumberedAccessPoint(int i) {
    auto settings = NetworkTest::MakeAccessPoint("AP" + std::to_string(i), 0, "10.0.0.1");
    settings.mac = {0x02,
                    0x00,
                    0x00,
                    0x00,
                    static_cast<std::uint8_t>(i >> 8),
                    static_cast<std::uint8_t>(i & 0xFF)};
    return settings;
}

// A record that repeats an earlier MAC gives way to a new access point once the table is full, so
// 384 distinct access points that each answer three times are all kept.
TEST_F(BroadcastDiscoveryTest, FullTableMakesRoomForNewAccessPointsOverRepeats) {
    const int ifIndex = network_.AddInterface("eth0", "10.0.0.200");
    for (int i = 0; i < kDeviceTableCapacity; ++i) {
        auto settings = NumberedAccessPoint(i);
        network_.AddAccessPoint(ifIndex, settings);
    }
    EXPECT_EQ(Run(), 1);
    ASSERT_EQ(count_, kDeviceTableCapacity);
    std::vector<std::string> macs;
    for (int i = 0; i < count_; ++i) {
        macs.emplace_back(Record(i).macText);
    }
    std::sort(macs.begin(), macs.end());
    EXPECT_EQ(std::unique(macs.begin(), macs.end()), macs.end()) << "a MAC is held twice";
    ExpectCleanShutdown();
}

TEST_F(BroadcastDiscoveryTest, FullTableOfDistinctAccessPointsDropsFurtherOnes) {
    const int ifIndex = network_.AddInterface("eth0", "10.0.0.200");
    for (int i = 0; i < kDeviceTableCapacity + 10; ++i) {
        auto settings = NumberedAccessPoint(i);
        settings.answerEveryCopy = false;
        network_.AddAccessPoint(ifIndex, settings);
    }
    EXPECT_EQ(Run(), 1);
    ASSERT_EQ(count_, kDeviceTableCapacity);
    // The first 384 to answer are kept, in order of arrival.
    EXPECT_STREQ(Record(0).name, "AP0");
    EXPECT_STREQ(Record(kDeviceTableCapacity - 1).name, "AP383");
}

}  // namespace
