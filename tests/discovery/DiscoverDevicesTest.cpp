#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <future>
#include <string>
#include <vector>

#include "HeldTables.h"
#include "NetworkFixture.h"
#include "discovery/DiscoverDevices.h"
#include "discovery/NetworkStartup.h"

namespace {

using Call = net::FakeNetwork::Call;

class DiscoverDevicesTest : public NetworkTest {
protected:
    ~DiscoverDevicesTest() override { ReleaseMergedTable(); }

    std::vector<std::string> Names(int count) const {
        std::vector<std::string> names;
        for (int i = 0; i < count; ++i) {
            names.emplace_back(table_->records[i].name);
        }
        return names;
    }

    // The merged table: the one table a discovery leaves held; null when none is.
    const DeviceTable* Merged() const {
        const std::vector<const DeviceTable*> held = held_.Held();
        EXPECT_LE(held.size(), 1U) << "a discovery left more than the merged table behind";
        return held.size() == 1 ? held.front() : nullptr;
    }

    DeviceTablePtr table_ = AllocateDeviceTable();
    int count_ = -1;
    HeldTables held_;  // after table_, so that the caller's table is not counted
};

TEST_F(DiscoverDevicesTest, OneRecordPerAccessPointInNameOrder) {
    const int lan = network_.AddInterface("eth0", "10.0.0.200");
    network_.AddAccessPoint(lan, MakeAccessPoint("Zeta", 0x01, "10.0.0.1"));
    network_.AddAccessPoint(lan, MakeAccessPoint("alpha", 0x02, "10.0.0.2"));
    network_.AddAccessPoint(lan, MakeAccessPoint("Alpha", 0x03, "10.0.0.3"));
    network_.AddAccessPoint(lan, MakeAccessPoint("", 0x04, "10.0.0.4"));
    EXPECT_EQ(DiscoverDevices(table_.get(), &count_), 0);
    EXPECT_EQ(Names(count_), (std::vector<std::string>{"", "Alpha", "Zeta", "alpha"}));
    ExpectCleanShutdown();
}

TEST_F(DiscoverDevicesTest, FirstNetworkWinsForAnAccessPointHeardOnTwo) {
    const int first = network_.AddInterface("eth0", "10.0.0.200");
    const int second = network_.AddInterface("eth1", "192.168.1.200");
    network_.AddAccessPoint(second, MakeAccessPoint("Both", 0x01, "192.168.1.9"));
    network_.AddAccessPoint(first, MakeAccessPoint("Both", 0x01, "10.0.0.9"));
    DiscoverDevices(table_.get(), &count_);
    ASSERT_EQ(count_, 1);
    EXPECT_STREQ(table_->records[0].localAddress, "10.0.0.200");
    EXPECT_STREQ(table_->records[0].ipAddress, "10.0.0.9");
}

TEST_F(DiscoverDevicesTest, EqualNamesKeepTheOrderFirstHeard) {
    const int lan = network_.AddInterface("eth0", "10.0.0.200");
    auto late = MakeAccessPoint("Same", 0x01, "10.0.0.1");
    late.replyDelayMs = 300;
    network_.AddAccessPoint(lan, late);
    network_.AddAccessPoint(lan, MakeAccessPoint("Same", 0x02, "10.0.0.2"));
    network_.AddAccessPoint(lan, MakeAccessPoint("Early", 0x03, "10.0.0.3"));
    DiscoverDevices(table_.get(), &count_);
    ASSERT_EQ(count_, 3);
    EXPECT_STREQ(table_->records[0].name, "Early");
    EXPECT_STREQ(table_->records[1].ipAddress, "10.0.0.2");
    EXPECT_STREQ(table_->records[2].ipAddress, "10.0.0.1");
}

TEST_F(DiscoverDevicesTest, RepliesWithoutMacAllCountAsOne) {
    const int lan = network_.AddInterface("eth0", "10.0.0.200");
    network_.AddResponder(lan, Answer({0, 0, 0, 0, 0}, "10.0.0.1"));
    network_.AddResponder(lan, Answer({0, 0, 0, 0, 0}, "10.0.0.2"));
    DiscoverDevices(table_.get(), &count_);
    ASSERT_EQ(count_, 1);
    EXPECT_STREQ(table_->records[0].ipAddress, "10.0.0.1");
}

TEST_F(DiscoverDevicesTest, FailedExchangeYieldsNothingEvenAfterEarlierReplies) {
    const int first = network_.AddInterface("eth0", "10.0.0.200");
    network_.AddInterface("eth1", "192.168.1.200");
    network_.AddAccessPoint(first, MakeAccessPoint("Heard", 0x01, "10.0.0.1"));
    network_.FailCall(Call::kBindAnyPort, 2);
    std::memset(table_.get(), 0x5A, sizeof(DeviceTable));
    DiscoverDevices(table_.get(), &count_);
    EXPECT_EQ(count_, 0);
    // The caller's records are left as they were.
    EXPECT_EQ(static_cast<unsigned char>(table_->records[0].name[0]), 0x5A);
    ExpectCleanShutdown();
}

TEST_F(DiscoverDevicesTest, SecondCallReplacesTheFirstResult) {
    auto fleet = [](net::FakeNetwork& network, int size) {
        const int lan = network.AddInterface("eth0", "10.0.0.200");
        for (int i = 0; i < size; ++i) {
            network.AddAccessPoint(lan, MakeAccessPoint("AP" + std::to_string(i),
                                                        static_cast<std::uint8_t>(i), "10.0.0.1"));
        }
    };
    fleet(network_, 5);
    DiscoverDevices(table_.get(), &count_);
    EXPECT_EQ(count_, 5);

    net::FakeNetwork smaller;
    fleet(smaller, 2);
    net::ScopedSocketLayer useSmaller(&smaller);
    DiscoverDevices(table_.get(), &count_);
    EXPECT_EQ(count_, 2);
    const DeviceTable* merged = Merged();
    ASSERT_NE(merged, nullptr);
    DeviceRecord zero{};
    EXPECT_EQ(std::memcmp(&merged->records[2], &zero, sizeof zero), 0)
        << "the merged table still holds the first call's records";
    // The caller's records past the new count are left as they were.
    EXPECT_STREQ(table_->records[4].name, "AP4");
}

void* FailingAllocator(std::size_t) {
    return nullptr;
}

TEST_F(DiscoverDevicesTest, NoMemoryForATableMeansNoExchange) {
    const int lan = network_.AddInterface("eth0", "10.0.0.200");
    network_.AddAccessPoint(lan, MakeAccessPoint("A", 0x01, "10.0.0.1"));
    SetDeviceTableAllocator(&FailingAllocator);
    DiscoverDevices(table_.get(), &count_);
    SetDeviceTableAllocator(nullptr);
    EXPECT_EQ(count_, 0);
    EXPECT_TRUE(network_.sent().empty());
}

TEST(SortByName, ByteWiseCaseSensitiveAndStable) {
    DeviceTablePtr table = AllocateDeviceTable();
    const char* names[] = {"b", "B", "\xE9t\xE9", "a", "B", "", "ab", "a"};
    for (int i = 0; i < 8; ++i) {
        std::strcpy(table->records[i].name, names[i]);
        table->records[i].channelBg = static_cast<std::uint16_t>(i);  // original position
    }
    // A full-width name without terminator compares over all 16 bytes only.
    std::memset(table->records[8].name, 'z', 16);
    SortByName(table.get(), 9);
    const std::vector<std::pair<std::string, int>> expected = {
        {"", 5}, {"B", 1}, {"B", 4}, {"a", 3}, {"a", 7}, {"ab", 6}, {"b", 0}};
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(std::string(table->records[i].name), expected[i].first) << i;
        EXPECT_EQ(table->records[i].channelBg, expected[i].second) << i;
    }
    EXPECT_EQ(std::string(table->records[7].name, 16), std::string(16, 'z'));
    EXPECT_EQ(std::string(table->records[8].name), "\xE9t\xE9");
}

TEST_F(DiscoverDevicesTest, StartupAndCleanup) {
    // Cleanup before any discovery releases nothing and is harmless.
    NetworkCleanup();
    EXPECT_EQ(Merged(), nullptr);

    NetworkStartup();
    EXPECT_EQ(SocketsStarted(), 1);
    EXPECT_EQ(network_.openSockets(), 0) << "the usability probe kept its socket";

    const int lan = network_.AddInterface("eth0", "10.0.0.200");
    network_.AddAccessPoint(lan, MakeAccessPoint("A", 0x01, "10.0.0.1"));
    DiscoverDevices(table_.get(), &count_);
    const DeviceTable* merged = Merged();
    ASSERT_NE(merged, nullptr);
    DiscoverDevices(table_.get(), &count_);
    EXPECT_EQ(Merged(), merged) << "the merged table is reused between discoveries";
    NetworkCleanup();
    EXPECT_EQ(Merged(), nullptr);
    // A later discovery would allocate a fresh one.
    DiscoverDevices(table_.get(), &count_);
    EXPECT_NE(Merged(), nullptr);
    EXPECT_EQ(count_, 1);
    EXPECT_EQ(SocketsStarted(), 1) << "the started flag never goes back";
}

TEST_F(DiscoverDevicesTest, TwoDiscoveriesAtOnceEachGetTheWholeResult) {
    const int lan = network_.AddInterface("eth0", "10.0.0.200");
    network_.AddAccessPoint(lan, MakeAccessPoint("b", 0x01, "10.0.0.1"));
    network_.AddAccessPoint(lan, MakeAccessPoint("a", 0x02, "10.0.0.2"));
    DeviceTablePtr other = AllocateDeviceTable();
    int otherCount = -1;
    // Several rounds, so that the sanitizers see the two meet in the merged table.
    for (int round = 0; round < 100; ++round) {
        // The fake network's own workers, so that its virtual time waits for both.
        auto first = network_.StartWorker([&] { DiscoverDevices(table_.get(), &count_); });
        auto second = network_.StartWorker([&] { DiscoverDevices(other.get(), &otherCount); });
        ASSERT_TRUE(first && second);
        first->Join();
        second->Join();
        ASSERT_EQ(count_, 2);
        ASSERT_EQ(otherCount, 2);
        for (const DeviceTable* result : {table_.get(), other.get()}) {
            EXPECT_STREQ(result->records[0].name, "a");
            EXPECT_STREQ(result->records[1].name, "b");
        }
    }
    const std::vector<net::FakeNetwork::SentDatagram> sent = network_.sent();
    EXPECT_EQ(std::count_if(sent.begin(), sent.end(), [](const auto& d) { return d.timeMs == 0; }),
              2)
        << "the second discovery waited for the first";
    ExpectCleanShutdown();
}

// The cleanup at exit must not wait for a discovery that can last 20 s per address, and must not
// pull the table from under it.
TEST_F(DiscoverDevicesTest, CleanupDuringADiscoveryNeitherWaitsNorSpoilsIt) {
    const int lan = network_.AddInterface("eth0", "10.0.0.200");
    network_.AddAccessPoint(lan, MakeAccessPoint("AP", 0x01, "10.0.0.1"));
    std::future<void> cleanup;
    bool cleanedUpInTime = false;
    network_.AddResponder(lan, [&](const net::FakeNetwork::SentDatagram&, std::int64_t) {
        if (!cleanup.valid()) {
            cleanup = std::async(std::launch::async, [] { NetworkCleanup(); });
            cleanedUpInTime =
                cleanup.wait_for(std::chrono::seconds(5)) == std::future_status::ready;
        }
        return std::vector<net::FakeNetwork::Delivery>{};
    });
    DiscoverDevices(table_.get(), &count_);
    cleanup.wait();
    EXPECT_TRUE(cleanedUpInTime) << "the cleanup waited for the exchange";
    EXPECT_EQ(count_, 1);
    EXPECT_STREQ(table_->records[0].name, "AP");
    EXPECT_NE(Merged(), nullptr) << "the result is merged into a fresh table";
}

}  // namespace
