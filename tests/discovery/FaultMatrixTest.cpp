#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "NetworkFixture.h"
#include "config/ConfigExchange.h"
#include "discovery/DiscoverDevices.h"

namespace {

using Call = net::FakeNetwork::Call;

enum class Exchange { kDiscovery, kConfiguration, kReset };

const Call kCalls[] = {Call::kListInterfaces, Call::kOpen,        Call::kEnableBroadcast,
                       Call::kBindToDevice,   Call::kBindAnyPort, Call::kSetReceiveBuffer,
                       Call::kSend,           Call::kWait,        Call::kReceive,
                       Call::kStartWorker};

const char* Name(Call call) {
    static const char* const kNames[] = {"list interfaces",
                                         "open",
                                         "enable broadcast",
                                         "bind to device",
                                         "bind",
                                         "receive buffer",
                                         "send",
                                         "wait",
                                         "receive",
                                         "start worker"};
    return kNames[static_cast<int>(call)];
}

const char* Name(Exchange exchange) {
    return exchange == Exchange::kDiscovery       ? "discovery"
           : exchange == Exchange::kConfiguration ? "configuration"
                                                  : "reset";
}

// Calls whose failure the exchange tolerates: the device binding and the buffer size are
// refinements, and without a resend worker the first copy of the request still goes out.
bool Tolerated(Call call) {
    return call == Call::kBindToDevice || call == Call::kSetReceiveBuffer ||
           call == Call::kStartWorker;
}

// Two networks: on the first, an access point that refuses configuration requests (so every
// step, receiving included, runs there); on the second, one that takes them.
void BuildNetwork(net::FakeNetwork& network) {
    const int first = network.AddInterface("eth0", "10.0.0.200");
    const int second = network.AddInterface("eth1", "192.168.1.200");
    auto refusing = NetworkTest::MakeAccessPoint("Refuser", 0x01, "10.0.0.5");
    refusing.acknowledgeConfiguration = false;
    refusing.acknowledgeReset = false;
    network.AddAccessPoint(first, refusing);
    network.AddResponder(first, [](const net::FakeNetwork::SentDatagram& sent, std::int64_t) {
        std::vector<net::FakeNetwork::Delivery> deliveries;
        if (sent.bytes[0] == 0x60) {
            deliveries.push_back({5, net::AddressFromText("10.0.0.5"), {0x41, 0x0D, 0x01, 0, 0}});
        }
        return deliveries;
    });
    network.AddAccessPoint(second, NetworkTest::MakeAccessPoint("Target", 0x4E, "192.168.1.5"));
}

struct Outcome {
    int result = 0;
    int count = 0;
    DeviceTablePtr table;
};

Outcome RunExchange(Exchange exchange) {
    Outcome outcome;
    switch (exchange) {
        case Exchange::kDiscovery:
            outcome.table = AllocateDeviceTable();
            std::memset(outcome.table.get(), 0x5A, sizeof(DeviceTable));
            outcome.count = -1;
            DiscoverDevices(outcome.table.get(), &outcome.count);
            outcome.result = outcome.count > 0 ? 1 : 0;
            break;
        case Exchange::kConfiguration:
            outcome.result = SendIpSettings(0, "000A1B2C3D4E", "192.168.1.9", "255.255.255.0",
                                            "192.168.1.1", "192.168.1.1");
            break;
        case Exchange::kReset:
            outcome.result = SendReset("000A1B2C3D4E");
            break;
    }
    return outcome;
}

// Every socket-layer call fails in turn, at the first call it makes for each local address, in
// each exchange. Each cell checks the result, that every socket was closed exactly once, that
// every worker was joined before its socket closed, and that discovery wrote nothing to the
// caller's table beyond the count it returned.
TEST(FaultMatrix, EveryCallFailingAtEveryAddressInEveryExchange) {
    for (Exchange exchange : {Exchange::kDiscovery, Exchange::kConfiguration, Exchange::kReset}) {
        // A clean run tells which call number is the first made for each address.
        std::vector<std::map<Call, int>> countsAtOpen;
        {
            net::FakeNetwork network;
            net::ScopedSocketLayer installed(&network);
            BuildNetwork(network);
            const Outcome clean = RunExchange(exchange);
            ASSERT_EQ(clean.result, 1) << Name(exchange);
            countsAtOpen = network.CallCountsAtOpen();
            ASSERT_EQ(countsAtOpen.size(), 2u) << Name(exchange);
            ReleaseMergedTable();
        }
        for (Call call : kCalls) {
            for (int address = 0; address < 2; ++address) {
                const std::string cell = std::string(Name(exchange)) + ", " + Name(call) +
                                         " fails on address " + std::to_string(address);
                net::FakeNetwork network;
                net::ScopedSocketLayer installed(&network);
                BuildNetwork(network);
                const int nth = call == Call::kListInterfaces ? 1
                                : countsAtOpen[address].count(call) == 0
                                    ? 1
                                    : countsAtOpen[address].at(call) + 1;
                network.FailCall(call, nth);
                const Outcome outcome = RunExchange(exchange);
                const bool callMade = network.CallCount(call) >= nth;

                if (!callMade || Tolerated(call)) {
                    EXPECT_EQ(outcome.result, 1) << cell;
                } else {
                    EXPECT_EQ(outcome.result, 0) << cell;
                }
                EXPECT_EQ(network.openSockets(), 0) << cell;
                EXPECT_EQ(network.doubleCloses(), 0) << cell;
                EXPECT_EQ(network.workersStarted(), network.workersJoined()) << cell;
                EXPECT_EQ(network.sendsOnClosedSockets(), 0) << cell;
                if (exchange == Exchange::kDiscovery) {
                    const auto* bytes = reinterpret_cast<const unsigned char*>(outcome.table.get());
                    const std::size_t written =
                        static_cast<std::size_t>(std::max(outcome.count, 0)) * sizeof(DeviceRecord);
                    bool untouched = true;
                    for (std::size_t i = written; i < sizeof(DeviceTable) && untouched; ++i) {
                        untouched = bytes[i] == 0x5A;
                    }
                    EXPECT_TRUE(untouched) << cell;
                    EXPECT_EQ(outcome.count, outcome.result == 1 ? 2 : 0) << cell;
                }
                // A failure on the first address never reaches the second.
                if (address == 0 && !Tolerated(call) && callMade) {
                    for (const auto& sent : network.sent()) {
                        EXPECT_EQ(sent.from.address, net::AddressFromText("10.0.0.200")) << cell;
                    }
                }
                ReleaseMergedTable();
            }
        }
    }
}

}  // namespace
