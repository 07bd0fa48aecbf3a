#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "fleet/Apply.h"
#include "fleet/Configure.h"
#include "fleet/Verify.h"
#include "net/FakeNetwork.h"

namespace {

using fleet::RowOutcome;

std::string Mac(int n) {
    char text[16];
    std::snprintf(text, sizeof text, "000A1B1000%02X", static_cast<unsigned>(n & 0xFF));
    return text;
}

sim::AccessPointSettings AccessPoint(int n, const std::string& address) {
    sim::AccessPointSettings settings;
    settings.name = "AP" + std::to_string(n);
    settings.mac = {0x00, 0x0A, 0x1B, 0x10, 0x00, static_cast<std::uint8_t>(n)};
    settings.address = net::AddressFromText(address);
    return settings;
}

std::string FixedRow(int n, const std::string& ip) {
    return Mac(n) + ",fixed," + ip + ",255.255.255.0,10.0.0.1,10.0.0.1\n";
}

// What the observer heard, in order.
class Recorder final : public fleet::ApplyProgress {
public:
    void RowFinished(std::size_t index, std::size_t, const fleet::PlanRow&,
                     const fleet::RowResult& result) override {
        finished.push_back(index);
        outcomes[index] = result.outcome;
        if (onFinished) {
            onFinished(index);
        }
    }
    void VerificationRound(std::size_t waiting) override { rounds.push_back(waiting); }
    void Stopped(std::size_t skipped) override { stoppedWith = static_cast<int>(skipped); }

    std::vector<std::size_t> finished;
    std::map<std::size_t, RowOutcome> outcomes;
    std::vector<std::size_t> rounds;
    int stoppedWith = -1;
    std::function<void(std::size_t)> onFinished;
};

struct Request {
    std::string mac;
    std::string from;
    std::int64_t timeMs;
    net::SocketHandle socket;
};

// The requests of one kind that `network` carried, in order sent.
std::vector<Request> Requests(const net::FakeNetwork& network, sim::RequestKind kind) {
    std::vector<Request> requests;
    for (const auto& sent : network.sent()) {
        const sim::DecodedRequest decoded =
            sim::DecodeRequest(sent.bytes.data(), sent.bytes.size());
        if (decoded.kind != kind) {
            continue;
        }
        char mac[13];
        std::snprintf(mac, sizeof mac, "%02X%02X%02X%02X%02X%02X", decoded.mac[0], decoded.mac[1],
                      decoded.mac[2], decoded.mac[3], decoded.mac[4], decoded.mac[5]);
        char from[16];
        net::FormatDottedQuad(sent.from.address, from, sizeof from);
        requests.push_back({mac, from, sent.timeMs, sent.socket});
    }
    return requests;
}

fleet::Plan MakePlan(const std::string& rows) {
    std::istringstream in("mac,mode,ip,mask,gateway,dns\n" + rows);
    fleet::Plan plan;
    std::vector<std::string> errors;
    EXPECT_TRUE(fleet::ParsePlan(in, "plan.csv", &plan, &errors));
    return plan;
}

// Two networks, lan0 10.0.0.200 and lan1 10.0.1.200, with access point n on lan0 for odd n,
// answering at 10.0.0.(10 + n), and on lan1 for even n, at 10.0.1.(10 + n).
class ApplyJobsTest : public ::testing::Test {
protected:
    ApplyJobsTest() : installed_(&network_) {
        lans_[0] = network_.AddInterface("lan0", "10.0.0.200");
        lans_[1] = network_.AddInterface("lan1", "10.0.1.200");
        session_.stop = &stop_;
    }

    static std::string Subnet(int n) { return n % 2 ? "10.0.0." : "10.0.1."; }

    // Access points 1 to count, and a plan moving each to 10.0.x.(30 + n).
    std::string Fleet(int count) {
        std::string rows;
        for (int n = 1; n <= count; ++n) {
            network_.AddAccessPoint(lans_[n % 2 ? 0 : 1],
                                    AccessPoint(n, Subnet(n) + std::to_string(10 + n)));
            rows += FixedRow(n, Subnet(n) + std::to_string(30 + n));
        }
        return rows;
    }

    net::FakeNetwork network_;
    net::ScopedSocketLayer installed_;
    int lans_[2] = {};
    std::atomic<bool> stop_{false};
    fleet::Session session_;
};

TEST(ApplyJobs, EachRequestGoesFirstWhereTheAccessPointIsHeard) {
    struct Case {
        const char* name;
        bool viaPlan;  // through ApplyPlan, which discovers first
        bool allAtOnce;
        std::vector<std::string> sets, resets;  // the local addresses, in order sent
    };
    const Case cases[] = {
        {"apply: where discovery heard it", true, false, {"10.0.1.200"}, {"10.0.1.200"}},
        {"configure: the listed order",
         false,
         false,
         {"10.0.0.200", "10.0.1.200"},
         {"10.0.0.200", "10.0.1.200"}},
        {"configure --parallel: all at once, reset where acknowledged",
         false,
         true,
         {"10.0.0.200", "10.0.1.200"},
         {"10.0.1.200"}},
    };
    for (const Case& c : cases) {
        net::FakeNetwork network;
        net::ScopedSocketLayer installed(&network);
        network.AddInterface("lan0", "10.0.0.200");
        const int lan1 = network.AddInterface("lan1", "10.0.1.200");
        network.AddAccessPoint(lan1, AccessPoint(1, "10.0.1.11"));
        const fleet::Plan plan = MakePlan(FixedRow(1, "10.0.1.21"));
        fleet::Session session;
        if (c.viaPlan) {
            Recorder recorder;
            EXPECT_EQ(fleet::ApplyPlan(session, plan, {5, 1}, recorder)[0].outcome,
                      RowOutcome::kChanged)
                << c.name;
        } else {
            fleet::Route route;
            route.allAtOnce = c.allAtOnce;
            EXPECT_EQ(fleet::Configure(session, plan.rows[0], route).outcome,
                      fleet::ConfigureResult::Outcome::kConfigured)
                << c.name;
        }
        std::vector<std::string> sets, resets;
        std::set<std::int64_t> setTimes;
        for (const auto& sent : network.sent()) {
            const auto decoded = sim::DecodeRequest(sent.bytes.data(), sent.bytes.size());
            char from[16];
            net::FormatDottedQuad(sent.from.address, from, sizeof from);
            if (decoded.kind == sim::RequestKind::kSetIpConfiguration) {
                sets.push_back(from);
                setTimes.insert(sent.timeMs);
            } else if (decoded.kind == sim::RequestKind::kReset) {
                resets.push_back(from);
            }
        }
        EXPECT_EQ(sets, c.sets) << c.name;
        EXPECT_EQ(resets, c.resets) << c.name;
        // All at once: no 4-second silence on lan0 before lan1 is asked.
        EXPECT_EQ(setTimes.size(), c.allAtOnce ? 1U : c.sets.size()) << c.name;
    }
}

TEST(ApplyJobs, RowsInFlightHaveSocketsOfTheirOwn) {
    // Six access points over both networks; the third never acknowledges its configuration, so
    // only another row's acknowledgement on a shared socket could pass it.
    for (const int jobs : {6, 2}) {
        net::FakeNetwork network;
        net::ScopedSocketLayer installed(&network);
        const int lans[] = {network.AddInterface("lan0", "10.0.0.200"),
                            network.AddInterface("lan1", "10.0.1.200")};
        std::string rows;
        for (int n = 1; n <= 6; ++n) {
            const std::string subnet = n % 2 ? "10.0.0." : "10.0.1.";
            sim::AccessPointSettings settings = AccessPoint(n, subnet + std::to_string(10 + n));
            settings.acknowledgeConfiguration = n != 3;
            network.AddAccessPoint(lans[n % 2 ? 0 : 1], settings);
            rows += FixedRow(n, subnet + std::to_string(30 + n));
        }
        Recorder recorder;
        const auto results = fleet::ApplyPlan({}, MakePlan(rows), {30, jobs}, recorder);
        ASSERT_EQ(results.size(), 6U);
        for (std::size_t i = 0; i < results.size(); ++i) {
            EXPECT_EQ(results[i].outcome, i == 2 ? RowOutcome::kFailed : RowOutcome::kChanged)
                << "jobs " << jobs << " row " << i << ": " << results[i].message;
        }
        EXPECT_EQ(recorder.finished.size(), 6U);
        const auto sets = Requests(network, sim::RequestKind::kSetIpConfiguration);
        const auto resets = Requests(network, sim::RequestKind::kReset);
        ASSERT_FALSE(resets.empty());
        std::set<net::SocketHandle> sockets;
        int beforeFirstReset = 0;
        for (const Request& set : sets) {
            sockets.insert(set.socket);
            beforeFirstReset += set.timeMs < resets.front().timeMs ? 1 : 0;
        }
        EXPECT_EQ(sockets.size(), sets.size()) << "jobs " << jobs;
        // The unacknowledged row was asked on both networks, the others once each.
        EXPECT_EQ(sets.size(), 7U) << "jobs " << jobs;
        // N rows in flight, and no more, until the first reset.
        EXPECT_EQ(beforeFirstReset, jobs);
    }
}

TEST_F(ApplyJobsTest, AStopLetsEveryConfiguredRowBeResetAndSkipsTheRest) {
    const std::string rows = Fleet(8);
    // The stop comes while the first rows are between their configuration and their reset.
    network_.AddResponder(lans_[0],
                          [this](const net::FakeNetwork::SentDatagram& sent, std::int64_t) {
                              if (sim::DecodeRequest(sent.bytes.data(), sent.bytes.size()).kind ==
                                  sim::RequestKind::kSetIpConfiguration) {
                                  stop_ = true;
                              }
                              return std::vector<net::FakeNetwork::Delivery>{};
                          });
    Recorder recorder;
    const auto results = fleet::ApplyPlan(session_, MakePlan(rows), {30, 3}, recorder);
    std::map<std::string, int> sets, resets;
    for (const Request& r : Requests(network_, sim::RequestKind::kSetIpConfiguration)) {
        ++sets[r.mac];
    }
    for (const Request& r : Requests(network_, sim::RequestKind::kReset)) {
        ++resets[r.mac];
    }
    EXPECT_EQ(sets, resets);
    std::size_t skipped = 0;
    for (std::size_t i = 0; i < results.size(); ++i) {
        const bool sent = sets.count(Mac(static_cast<int>(i) + 1)) != 0;
        EXPECT_EQ(results[i].outcome, sent ? RowOutcome::kChanged : RowOutcome::kSkipped) << i;
        skipped += sent ? 0 : 1;
    }
    EXPECT_GE(sets.size(), 1U);
    EXPECT_LE(sets.size(), 3U);
    EXPECT_EQ(recorder.stoppedWith, static_cast<int>(skipped));
}

TEST(ApplyJobs, AFixedAddressHeldByAnAccessPointThePlanLeavesIsAConflict) {
    struct Case {
        const char* name;
        std::string rows;
        int jobs;
        RowOutcome checked, applied;
        const char* message;  // a part of the check's message
    };
    const Case cases[] = {
        {"an unplanned access point's address", FixedRow(1, "10.0.0.19"), 1, RowOutcome::kConflict,
         RowOutcome::kConflict, "10.0.0.19 is the address of 000A1B100009"},
        {"the same side by side", FixedRow(1, "10.0.0.19"), 4, RowOutcome::kConflict,
         RowOutcome::kConflict, "which the plan does not move"},
        {"a planned access point's address", FixedRow(1, "10.0.0.12") + FixedRow(2, "10.0.0.22"), 4,
         RowOutcome::kWouldChange, RowOutcome::kChanged, "not at 10.0.0.12"},
        {"DHCP is never one", Mac(1) + ",dhcp,,,,\n", 1, RowOutcome::kWouldChange,
         RowOutcome::kChanged, "DHCP row"},
        {"already there", FixedRow(9, "10.0.0.19"), 4, RowOutcome::kUnchanged,
         RowOutcome::kUnchanged, "already answers"},
    };
    for (const Case& c : cases) {
        net::FakeNetwork network;
        net::ScopedSocketLayer installed(&network);
        const int lan = network.AddInterface("lan0", "10.0.0.200");
        for (const int n : {1, 2, 9}) {  // 9 is in no row but the last case's
            network.AddAccessPoint(lan, AccessPoint(n, "10.0.0." + std::to_string(10 + n)));
        }
        const fleet::Plan plan = MakePlan(c.rows);
        Recorder recorder;
        std::vector<fleet::RowResult> checked;
        ASSERT_TRUE(fleet::CheckPlan({}, plan, recorder, &checked));
        EXPECT_EQ(checked[0].outcome, c.checked) << c.name;
        EXPECT_NE(checked[0].message.find(c.message), std::string::npos) << checked[0].message;
        const auto applied = fleet::ApplyPlan({}, plan, {30, c.jobs}, recorder);
        EXPECT_EQ(applied[0].outcome, c.applied) << c.name << ": " << applied[0].message;
        if (c.applied == RowOutcome::kConflict) {
            EXPECT_TRUE(Requests(network, sim::RequestKind::kSetIpConfiguration).empty());
            EXPECT_FALSE(fleet::AllDone(applied));
        }
    }
}

TEST_F(ApplyJobsTest, TheSessionsStopEndsAVerification) {
    Fleet(1);
    struct Case {
        bool stop;
        fleet::VerifyResult::Outcome outcome;
    };
    for (const Case c : {Case{false, fleet::VerifyResult::Outcome::kAnsweredElsewhere},
                         Case{true, fleet::VerifyResult::Outcome::kStopped}}) {
        stop_ = c.stop;
        const std::int64_t began = network_.NowMs();
        const fleet::VerifyResult result =
            fleet::WaitUntilItAnswers(session_, Mac(1), "10.0.0.99", 30);
        EXPECT_EQ(result.outcome, c.outcome);
        // Stopped: after the discovery under way, not at the limit.
        EXPECT_EQ(network_.NowMs() - began < 30000, c.stop);
    }
}

TEST_F(ApplyJobsTest, OneVerificationDiscoveryServesEveryRowWaiting) {
    const std::string rows = Fleet(12);
    Recorder recorder;
    const auto results = fleet::ApplyPlan(session_, MakePlan(rows), {60, 12}, recorder);
    EXPECT_TRUE(fleet::AllDone(results));
    // Discovery sockets: two for the discovery before the rows, two per round.
    std::set<net::SocketHandle> discoverySockets;
    for (const auto& sent : network_.sent()) {
        if (sim::DecodeRequest(sent.bytes.data(), sent.bytes.size()).kind ==
            sim::RequestKind::kDiscovery) {
            discoverySockets.insert(sent.socket);
        }
    }
    EXPECT_EQ(discoverySockets.size(), 2 * (1 + recorder.rounds.size()));
    ASSERT_FALSE(recorder.rounds.empty());
    EXPECT_LT(recorder.rounds.size(), 6U);
    EXPECT_EQ(recorder.rounds.front(), 12U);
}

}  // namespace
