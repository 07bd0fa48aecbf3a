#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "NetworkFixture.h"
#include "config/ConfigExchange.h"
#include "discovery/BroadcastDiscovery.h"
#include "discovery/DiscoverDevices.h"
#include "discovery/LocalAddresses.h"

namespace {

using Call = net::FakeNetwork::Call;
using Bytes = std::vector<std::uint8_t>;

// A datagram that carries a status no exchange accepts: it is read, ignored, and restarts the
// silence all the same.
const Bytes kJunk = {0x41, 0x0D, 0x02, 0x00, 0x00};

// Junk every `periodMs` from the first request on, for a minute.
net::FakeNetwork::Responder JunkEvery(int periodMs, const Bytes& junk = kJunk) {
    return [periodMs, junk](const net::FakeNetwork::SentDatagram&, std::int64_t now) {
        std::vector<net::FakeNetwork::Delivery> deliveries;
        if (now == 0) {
            for (int at = periodMs; at <= 60000; at += periodMs) {
                deliveries.push_back({at, net::AddressFromText("10.0.0.66"), junk});
            }
        }
        return deliveries;
    };
}

class ExchangeTest : public NetworkTest {
protected:
    int Discover(const ExchangeOptions& options, const std::atomic<bool>* cancel = nullptr,
                 ExchangeReport* report = nullptr) {
        table_ = AllocateDeviceTable();
        count_ = -1;
        return BroadcastDiscoveryWith(options, table_.get(), &count_, cancel, report);
    }

    DeviceTablePtr table_;
    int count_ = -1;
};

TEST(ExchangeBound, DatagramsJustInsideTheSilenceCannotKeepAnExchangeGoingPastIt) {
    struct Junk {
        const char* what;
        int periodMs;
        Bytes bytes;
    };
    const Junk junks[] = {
        {"ignored status every 3.9 s", 3900, kJunk},
        {"runt every 3.5 s", 3500, Bytes{0x41, 0x0D}},
        {"empty datagram every second", 1000, Bytes{}},
    };
    enum class Exchange { kDiscovery, kConfiguration, kReset };
    for (const Junk& junk : junks) {
        for (const Exchange exchange :
             {Exchange::kDiscovery, Exchange::kConfiguration, Exchange::kReset}) {
            SCOPED_TRACE(std::string(junk.what) + ", exchange " +
                         std::to_string(static_cast<int>(exchange)));
            net::FakeNetwork network;
            net::ScopedSocketLayer installed(&network);
            const int lan = network.AddInterface("lan0", "10.0.0.200");
            network.AddAccessPoint(lan, NetworkTest::MakeAccessPoint("Lobby", 0x01, "10.0.0.5"));
            network.AddResponder(lan, JunkEvery(junk.periodMs, junk.bytes));
            ExchangeReport report;
            ExchangeOptions options;
            if (exchange == Exchange::kDiscovery) {
                DeviceTablePtr table = AllocateDeviceTable();
                int count = -1;
                EXPECT_EQ(BroadcastDiscoveryWith(options, table.get(), &count, nullptr, &report),
                          1);
                EXPECT_EQ(count, 3) << "the access point's replies are kept";
            } else if (exchange == Exchange::kConfiguration) {
                // Addressed to nobody: only junk answers.
                EXPECT_EQ(SendIpSettingsWith(options, 1, "000A1B2C3D09", "NULL", "NULL", "NULL",
                                             "NULL", nullptr, &report),
                          0);
            } else {
                EXPECT_EQ(SendResetWith(options, "000A1B2C3D09", nullptr, &report), 0);
            }
            EXPECT_EQ(network.NowMs(), 20000);
            ASSERT_EQ(report.addresses.size(), 1u);
            EXPECT_TRUE(report.addresses[0].reachedBound);
            EXPECT_EQ(report.addresses[0].duration.count(), 20000);
            EXPECT_EQ(network.openSockets(), 0);
            EXPECT_EQ(network.workersStarted(), network.workersJoined());
        }
    }
}

TEST_F(ExchangeTest, ReportCountsWhatWasSentTakenAndIgnored) {
    const int lan = network_.AddInterface("lan0", "10.0.0.200");
    sim::AccessPointSettings once = MakeAccessPoint("Once", 0x01, "10.0.0.5");
    once.answerEveryCopy = false;
    once.replyDelayMs = 300;
    network_.AddAccessPoint(lan, once);
    network_.AddResponder(lan, [](const net::FakeNetwork::SentDatagram& sent, std::int64_t) {
        // Per copy of the request: one refused status and one runt.
        (void)sent;
        return std::vector<net::FakeNetwork::Delivery>{
            {50, net::AddressFromText("10.0.0.7"), kJunk},
            {60, net::AddressFromText("10.0.0.8"), Bytes{0x41}},
        };
    });
    ExchangeReport report;
    ExchangeOptions options;
    EXPECT_EQ(Discover(options, nullptr, &report), 1);
    EXPECT_EQ(count_, 1);
    ASSERT_EQ(report.addresses.size(), 1u);
    const AddressExchange& lan0 = report.addresses[0];
    EXPECT_STREQ(lan0.local.interfaceName, "lan0");
    EXPECT_EQ(lan0.requestsSent, 3);
    EXPECT_EQ(lan0.repliesAccepted, 1);
    EXPECT_EQ(lan0.ignoredStatus, 3);
    EXPECT_EQ(lan0.ignoredShort, 3);
    EXPECT_EQ(lan0.lastReplyAfter.count(), 300);
    // The last datagram came with the third copy, at 1260 ms.
    EXPECT_EQ(lan0.duration.count(), 1260 + 4000);
    EXPECT_FALSE(lan0.failed());
    EXPECT_EQ(report.Failure(), nullptr);
    ExpectCleanShutdown();
}

TEST_F(ExchangeTest, AFailedStepNamesItsAddressItsStepAndTheSystemsError) {
    struct Case {
        Call call;
        ExchangeStep step;
        int error;
    };
    const Case cases[] = {
        {Call::kOpen, ExchangeStep::kOpenSocket, EMFILE},
        {Call::kEnableBroadcast, ExchangeStep::kEnableBroadcast, EACCES},
        {Call::kBindAnyPort, ExchangeStep::kBindPort, EADDRINUSE},
        {Call::kSend, ExchangeStep::kSendRequest, ENETUNREACH},
        {Call::kWait, ExchangeStep::kWait, EINVAL},
        {Call::kReceive, ExchangeStep::kReceive, ENOBUFS},
    };
    for (const Case& c : cases) {
        for (const bool parallel : {false, true}) {
            SCOPED_TRACE(std::string(ExchangeStepText(c.step)) + (parallel ? ", parallel" : ""));
            net::FakeNetwork network;
            net::ScopedSocketLayer installed(&network);
            const int lan0 = network.AddInterface("lan0", "10.0.0.200");
            const int lan1 = network.AddInterface("lan1", "192.168.1.200");
            network.AddAccessPoint(lan0, MakeAccessPoint("A", 0x01, "10.0.0.5"));
            network.AddAccessPoint(lan1, MakeAccessPoint("B", 0x02, "192.168.1.5"));
            if (!parallel) {
                // Only the second network's socket fails: the number of its first call of this
                // kind comes from a clean run.
                net::FakeNetwork clean;
                net::ScopedSocketLayer cleanInstalled(&clean);
                const int c0 = clean.AddInterface("lan0", "10.0.0.200");
                const int c1 = clean.AddInterface("lan1", "192.168.1.200");
                clean.AddAccessPoint(c0, MakeAccessPoint("A", 0x01, "10.0.0.5"));
                clean.AddAccessPoint(c1, MakeAccessPoint("B", 0x02, "192.168.1.5"));
                DeviceTablePtr scratch = AllocateDeviceTable();
                int scratchCount = 0;
                BroadcastDiscovery(scratch.get(), &scratchCount);
                const auto atOpen = clean.CallCountsAtOpen();
                ASSERT_GE(atOpen.size(), 2u);
                const auto found = atOpen[1].find(c.call);
                network.FailCall(c.call, (found == atOpen[1].end() ? 0 : found->second) + 1,
                                 c.error);
            } else {
                // All at once, the order of the two networks' calls is not fixed: every call of
                // the kind fails.
                network.FailCall(c.call, 0, c.error);
            }

            ExchangeReport report;
            ExchangeOptions options;
            options.parallel = parallel;
            DeviceTablePtr table = AllocateDeviceTable();
            int count = -1;
            EXPECT_EQ(BroadcastDiscoveryWith(options, table.get(), &count, nullptr, &report), 0);
            EXPECT_EQ(count, -1) << "the count is left untouched";
            const AddressExchange* failure = report.Failure();
            ASSERT_NE(failure, nullptr);
            if (!parallel) {
                EXPECT_STREQ(failure->local.interfaceName, "lan1");
                ASSERT_EQ(report.addresses.size(), 2u);
                EXPECT_FALSE(report.addresses[0].failed());
            }
            EXPECT_EQ(failure->failedStep, c.step);
            EXPECT_EQ(failure->error, c.error);
            EXPECT_EQ(network.openSockets(), 0);
            EXPECT_EQ(network.workersStarted(), network.workersJoined());
        }
    }
}

// All at once, one network failing while the other answers is still a failed discovery: what
// the other found must not pass for everything there is.
TEST_F(ExchangeTest, OneFailedNetworkFailsAParallelDiscovery) {
    const int lan0 = network_.AddInterface("lan0", "10.0.0.200");
    const int lan1 = network_.AddInterface("lan1", "192.168.1.200");
    network_.AddAccessPoint(lan0, MakeAccessPoint("A", 0x01, "10.0.0.5"));
    network_.AddAccessPoint(lan1, MakeAccessPoint("B", 0x02, "192.168.1.5"));
    network_.FailCall(Call::kOpen, 1, EMFILE);  // whichever network opens first
    ExchangeReport report;
    ExchangeOptions options;
    options.parallel = true;
    EXPECT_EQ(Discover(options, nullptr, &report), 0);
    ASSERT_EQ(report.addresses.size(), 2u);
    EXPECT_NE(report.addresses[0].failed(), report.addresses[1].failed()) << "exactly one failed";
    EXPECT_EQ(network_.openSockets(), 0);
}

TEST_F(ExchangeTest, InterfacesThatCannotBeListedAreReportedNotTakenForAnEmptyNetwork) {
    network_.AddInterface("lan0", "10.0.0.200");
    network_.FailCall(Call::kListInterfaces, 0, EACCES);
    ExchangeReport report;
    ExchangeOptions options;
    EXPECT_EQ(Discover(options, nullptr, &report), 1);
    EXPECT_EQ(count_, 0);
    EXPECT_TRUE(report.listingFailed);
    EXPECT_EQ(report.listingError, EACCES);
    EXPECT_TRUE(network_.sent().empty());
}

TEST_F(ExchangeTest, GivenAddressesAreTheOnlyOnesUsedInTheirOrder) {
    network_.AddInterface("lan0", "10.0.0.200");
    const int lan1 = network_.AddInterface("lan1", "192.168.1.200");
    const int lan2 = network_.AddInterface("lan2", "172.16.0.200");
    std::vector<net::LocalAddress> all;
    ASSERT_TRUE(ListLocalAddresses(&all));
    ASSERT_EQ(all.size(), 3u);
    ExchangeOptions options;
    options.useGivenAddresses = true;
    options.addresses = {all[2], all[1]};
    EXPECT_EQ(Discover(options), 1);
    const auto sent = network_.sent();
    ASSERT_EQ(sent.size(), 6u);
    EXPECT_EQ(sent[0].from.interfaceIndex, lan2);
    EXPECT_EQ(sent[3].from.interfaceIndex, lan1);
}

TEST_F(ExchangeTest, ACancelledExchangeStopsAtOnceAndLeavesNothingOpen) {
    const int lan = network_.AddInterface("lan0", "10.0.0.200");
    network_.AddInterface("lan1", "192.168.1.200");
    network_.AddAccessPoint(lan, MakeAccessPoint("Lobby", 0x01, "10.0.0.5"));
    std::atomic<bool> cancel{true};
    ExchangeReport report;
    ExchangeOptions options;
    EXPECT_EQ(Discover(options, &cancel, &report), 1);
    EXPECT_LT(network_.NowMs(), 1300) << "no 4 s silence is waited for";
    ASSERT_FALSE(report.addresses.empty());
    EXPECT_TRUE(report.addresses[0].cancelled);
    ExpectCleanShutdown();
}

// A window closed during a discovery waits for the resend worker's join: a cancellation that
// comes while the worker pauses between repeats must end the pause within one look at the flag.
TEST(ResendWorkerTest, CancellationEndsThePauseBetweenRepeats) {
    // Only pauses and sends reach it; the cancellation comes during the first pause.
    class PausesRecorded final : public net::SocketLayer {
    public:
        std::atomic<bool> cancel{false};
        std::vector<net::Milliseconds> pauses;
        void Sleep(net::Milliseconds duration) override {
            pauses.push_back(duration);
            cancel = true;
        }
        bool SendFrom(net::SocketHandle, const net::LocalAddress&, const std::uint8_t*, std::size_t,
                      std::uint32_t, std::uint16_t) override {
            return true;
        }
        bool ListInterfaceAddresses(std::vector<net::InterfaceAddress>*) override { return false; }
        net::SocketHandle OpenUdpSocket() override { return net::kInvalidSocket; }
        bool EnableBroadcast(net::SocketHandle) override { return false; }
        bool BindToDevice(net::SocketHandle, const net::LocalAddress&) override { return false; }
        bool BindAnyPort(net::SocketHandle) override { return false; }
        bool SetReceiveBuffer(net::SocketHandle, int) override { return false; }
        net::WaitResult WaitReadable(net::SocketHandle, net::Milliseconds) override {
            return net::WaitResult::kFailed;
        }
        net::ReceiveResult Receive(net::SocketHandle, std::uint8_t*, std::size_t, std::size_t*,
                                   std::uint32_t*) override {
            return net::ReceiveResult::kFailed;
        }
        void Close(net::SocketHandle) override {}
        net::Milliseconds Now() override { return net::Milliseconds{0}; }
        net::Milliseconds WallClock() override { return net::Milliseconds{0}; }
        std::unique_ptr<net::Worker> StartWorker(std::function<void()>) override { return {}; }
    } layer;
    ResendParams params;
    params.layer = &layer;
    params.cancel = &layer.cancel;
    ResendWorker(&params);
    EXPECT_EQ(layer.pauses, std::vector<net::Milliseconds>{kCancelCheckInterval});
}

// The same fleet discovered one address after the other and all at once: identical tables.
class ParallelDiscoveryTest : public ::testing::Test {
protected:
    struct Result {
        std::vector<DeviceRecord> records;
        std::int64_t elapsedMs = 0;
        int completed = 0;
    };

    using Fleet = std::function<void(net::FakeNetwork&)>;

    // The window's table, or the tool's list that has no ceiling.
    enum class Into { kTable, kList };

    static Result Run(const Fleet& fleet, bool parallel, Into into = Into::kTable) {
        net::FakeNetwork network;
        net::ScopedSocketLayer installed(&network);
        fleet(network);
        ExchangeOptions options;
        options.parallel = parallel;
        Result result;
        if (into == Into::kList) {
            result.completed = DiscoverAll(options, &result.records);
        } else {
            DeviceTablePtr table = AllocateDeviceTable();
            int count = 0;
            result.completed = DiscoverDevicesWith(options, table.get(), &count);
            result.records.assign(table->records, table->records + count);
        }
        result.elapsedMs = network.NowMs();
        EXPECT_EQ(network.openSockets(), 0);
        EXPECT_EQ(network.workersStarted(), network.workersJoined());
        EXPECT_EQ(network.sendsOnClosedSockets(), 0);
        return result;
    }

    static void ExpectSameRecords(const Result& a, const Result& b) {
        ASSERT_EQ(a.records.size(), b.records.size());
        for (std::size_t i = 0; i < a.records.size(); ++i) {
            EXPECT_EQ(std::memcmp(&a.records[i], &b.records[i], sizeof(DeviceRecord)), 0)
                << "record " << i << ": " << a.records[i].name << " vs " << b.records[i].name;
        }
    }

    static void ThreeNetworks(net::FakeNetwork& network) {
        const int lan0 = network.AddInterface("lan0", "10.0.0.200");
        const int lan1 = network.AddInterface("lan1", "192.168.1.200");
        const int lan2 = network.AddInterface("lan2", "172.16.0.200");
        // Heard on two networks: the first network's report must win in both modes, even though
        // the second network's answer comes first in time.
        sim::AccessPointSettings both = NetworkTest::MakeAccessPoint("Both", 0x01, "10.0.0.5");
        both.replyDelayMs = 900;
        network.AddAccessPoint(lan0, both);
        sim::AccessPointSettings early = both;
        early.address = net::AddressFromText("192.168.1.5");
        early.replyDelayMs = 0;
        network.AddAccessPoint(lan1, early);
        // Equal names keep the order in which they were first heard.
        network.AddAccessPoint(lan2, NetworkTest::MakeAccessPoint("Twin", 0x03, "172.16.0.3"));
        network.AddAccessPoint(lan0, NetworkTest::MakeAccessPoint("Twin", 0x02, "10.0.0.2"));
        network.AddAccessPoint(lan1, NetworkTest::MakeAccessPoint("alpha", 0x04, "192.168.1.4"));
        network.AddAccessPoint(lan2, NetworkTest::MakeAccessPoint("Alpha", 0x05, "172.16.0.5"));
    }

    // Two networks with 300 distinct access points each: more than a table holds.
    static void TwoFullNetworks(net::FakeNetwork& network) {
        const char* const networks[][2] = {{"lan0", "10.0.0.200"}, {"lan1", "10.1.0.200"}};
        for (int n = 0; n < 2; ++n) {
            const int index = network.AddInterface(networks[n][0], networks[n][1]);
            for (int i = 0; i < 300; ++i) {
                sim::AccessPointSettings ap = NetworkTest::MakeAccessPoint(
                    "ap" + std::to_string(i % 7), static_cast<std::uint8_t>(i % 256),
                    n == 0 ? "10.0.0.9" : "10.1.0.9");
                ap.mac[3] = static_cast<std::uint8_t>(n);
                ap.mac[4] = static_cast<std::uint8_t>(i / 256);
                // The second network answers sooner, so arrival order differs between modes.
                ap.replyDelayMs = n == 0 ? 500 + i : i;
                network.AddAccessPoint(index, ap);
            }
        }
    }
};

TEST_F(ParallelDiscoveryTest, GivesTheSequentialResultInAboutOneSilence) {
    const Fleet fleet = ThreeNetworks;
    const Result sequential = Run(fleet, false);
    const Result parallel = Run(fleet, true);
    EXPECT_EQ(sequential.completed, 1);
    EXPECT_EQ(parallel.completed, 1);
    ASSERT_EQ(sequential.records.size(), 5u);
    ExpectSameRecords(sequential, parallel);
    EXPECT_STREQ(sequential.records[1].name, "Both");
    EXPECT_STREQ(sequential.records[1].localAddress, "10.0.0.200");
    EXPECT_STREQ(sequential.records[2].macText, "000A1B2C3D02");
    EXPECT_GE(sequential.elapsedMs, 3 * 4000);
    EXPECT_EQ(parallel.elapsedMs, 900 + 1200 + 4000);
}

TEST_F(ParallelDiscoveryTest, AFullTableKeepsTheSameAccessPointsInBothModes) {
    // Which 384 are kept depends on the order the replies are taken in.
    const Fleet fleet = TwoFullNetworks;
    const Result sequential = Run(fleet, false);
    const Result parallel = Run(fleet, true);
    ASSERT_EQ(sequential.records.size(), 384u);
    ExpectSameRecords(sequential, parallel);
}

TEST_F(ParallelDiscoveryTest, TheToolsListIsTheTablesResultUnderItsCapacity) {
    const Result table = Run(ThreeNetworks, false);
    ASSERT_EQ(table.records.size(), 5u);
    for (const bool parallel : {false, true}) {
        const Result list = Run(ThreeNetworks, parallel, Into::kList);
        EXPECT_EQ(list.completed, 1);
        ExpectSameRecords(table, list);
    }
}

TEST_F(ParallelDiscoveryTest, TheToolsListHasNoCeiling) {
    const Result sequential = Run(TwoFullNetworks, false, Into::kList);
    const Result parallel = Run(TwoFullNetworks, true, Into::kList);
    EXPECT_EQ(sequential.completed, 1);
    ASSERT_EQ(sequential.records.size(), 600u);
    ExpectSameRecords(sequential, parallel);
    std::set<std::string> macs;
    for (const DeviceRecord& record : sequential.records) {
        macs.insert(record.macText);
    }
    EXPECT_EQ(macs.size(), 600u);
}

}  // namespace
