#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <streambuf>
#include <string>
#include <thread>
#include <vector>

#include "net/FakeNetwork.h"
#include "tests/apctl/NumberedAccessPoint.h"
#include "tests/apctl/WatchDriver.h"
#include "tools/apctl/Watch.h"

namespace {

using namespace std::chrono_literals;

using apctl_test::At;
using apctl_test::Numbered;

// Standard output whose reader has gone away.
class ClosedOutput final : public std::streambuf {
protected:
    int_type overflow(int_type) override { return traits_type::eof(); }
    std::streamsize xsputn(const char*, std::streamsize) override { return 0; }
};

class WatchTest : public ::testing::Test {
protected:
    // An access point the test takes away, brings back or replaces between discoveries.
    struct Slot {
        std::unique_ptr<sim::AccessPoint> model;
        bool present = true;
    };

    WatchTest() : installed_(&network_) { lan_ = network_.AddInterface("lan0", "10.0.0.200"); }

    Slot& AddSlot(const sim::AccessPointSettings& settings, bool present = true) {
        slots_.push_back(std::make_unique<Slot>());
        Slot* slot = slots_.back().get();
        slot->model = std::make_unique<sim::AccessPoint>(settings);
        slot->present = present;
        network_.AddResponder(
            lan_, [slot](const net::FakeNetwork::SentDatagram& request, std::int64_t nowMs) {
                std::vector<net::FakeNetwork::Delivery> deliveries;
                if (!slot->present || request.port != sim::kPort) {
                    return deliveries;
                }
                for (sim::Reply& reply : slot->model->HandleDatagram(request.bytes.data(),
                                                                     request.bytes.size(), nowMs)) {
                    deliveries.push_back({reply.delayMs, reply.source, std::move(reply.bytes)});
                }
                return deliveries;
            });
        return *slot;
    }

    // Runs watch with the arguments after "watch"; `between` runs after each discovery and is
    // where a test changes the fleet or stops.
    int Watch(const std::vector<std::string>& arguments, std::function<void(int)> between,
              std::ostream* out = nullptr) {
        return apctl_test::RunWatch(arguments, network_, stop_, out != nullptr ? *out : out_, err_,
                                    [this, between](int round) {
                                        ends_.push_back(network_.NowMs());
                                        between(round);
                                    });
    }

    // The time of the first request of each discovery.
    std::vector<std::int64_t> DiscoveryStarts() const {
        std::vector<std::int64_t> starts;
        const auto sent = network_.sent();
        for (std::size_t i = 0; i < sent.size(); i += 3) {
            starts.push_back(sent[i].timeMs);
        }
        return starts;
    }

    net::FakeNetwork network_;
    net::ScopedSocketLayer installed_;
    int lan_ = 0;
    std::vector<std::unique_ptr<Slot>> slots_;
    std::atomic<bool> stop_{false};
    std::vector<std::int64_t> ends_;  // when each discovery ended
    std::ostringstream out_, err_;
};

TEST_F(WatchTest, AppearChangeFlapAndGone) {
    Slot& lobby = AddSlot(Numbered(1, "Lobby", "10.0.0.11"));
    Slot& annex = AddSlot(Numbered(2, "Annex", "10.0.0.12"));
    Slot& late = AddSlot(Numbered(3, "Late", "10.0.0.13"), false);
    auto renamed = Numbered(1, "Hall", "10.0.0.21");
    renamed.channelBg = 11;
    const int status = Watch({}, [&](int round) {
        switch (round) {
            case 1:  // one lost reply
                annex.present = false;
                break;
            case 2:
                annex.present = true;
                lobby.model = std::make_unique<sim::AccessPoint>(renamed);
                break;
            case 3:  // gone for good
                annex.present = false;
                break;
            case 5:
                late.present = true;
                break;
            case 6:
                stop_.store(true);
                break;
            default:
                break;
        }
    });
    EXPECT_EQ(status, 0);
    ASSERT_EQ(ends_.size(), 6u);
    const auto at = [&](int round) { return At(ends_[round - 1]) + " "; };
    EXPECT_EQ(
        out_.str(),
        at(1) + "+ 000A1B100002 10.0.0.12 \"Annex\" firmware 010B 802.11b/g via 10.0.0.200\n" +
            at(1) + "+ 000A1B100001 10.0.0.11 \"Lobby\" firmware 010B 802.11b/g via 10.0.0.200\n" +
            at(3) + "~ 000A1B100001 ipAddress 10.0.0.11 -> 10.0.0.21\n" + at(3) +
            "~ 000A1B100001 name \"Lobby\" -> \"Hall\"\n" + at(3) +
            "~ 000A1B100001 channelBg 6 -> 11\n" + at(5) +
            "- 000A1B100002 10.0.0.12 \"Annex\" absent from 2 discoveries\n" + at(6) +
            "+ 000A1B100003 10.0.0.13 \"Late\" firmware 010B 802.11b/g via 10.0.0.200\n");
    EXPECT_EQ(err_.str(), "");
    // The interval runs from the end of one discovery to the start of the next.
    const std::vector<std::int64_t> starts = DiscoveryStarts();
    ASSERT_EQ(starts.size(), 6u);
    for (std::size_t i = 1; i < starts.size(); ++i) {
        EXPECT_EQ(starts[i] - ends_[i - 1], 10000) << "before discovery " << i + 1;
    }
    EXPECT_EQ(network_.openSockets(), 0);
}

TEST_F(WatchTest, JsonLinesAndTheInterval) {
    Slot& lobby = AddSlot(Numbered(1, "Lobby", "10.0.0.11"));
    auto changed = Numbered(1, "Lobby", "10.0.0.11");
    changed.ssidBg = "staff \"b\"";
    changed.wirelessMode = 7;
    EXPECT_EQ(Watch({"--json", "--interval", "2.5"},
                    [&](int round) {
                        if (round == 1) {
                            lobby.model = std::make_unique<sim::AccessPoint>(changed);
                        } else if (round == 2) {
                            lobby.present = false;
                        } else if (round == 4) {
                            stop_.store(true);
                        }
                    }),
              0);
    ASSERT_EQ(ends_.size(), 4u);
    const auto at = [&](int round) {
        return "{\"time\": \"" + At(ends_[round - 1]) + "\", ";
    };
    EXPECT_EQ(out_.str(),
              at(1) +
                  "\"change\": \"appeared\", \"macText\": \"000A1B100001\", \"record\": "
                  "{\"name\": \"Lobby\", \"macText\": \"000A1B100001\", \"ipAddress\": "
                  "\"10.0.0.11\", \"localAddress\": \"10.0.0.200\", \"description\": \"\", "
                  "\"ssidBg\": \"guest\", \"channelBg\": 6, \"ssidA\": \"\", \"channelA\": 0, "
                  "\"wirelessMode\": 3, \"firmwareVersion\": \"010B\"}}\n" +
                  at(2) +
                  "\"change\": \"changed\", \"macText\": \"000A1B100001\", \"field\": "
                  "\"wirelessMode\", \"old\": 3, \"new\": 7}\n" +
                  at(2) +
                  "\"change\": \"changed\", \"macText\": \"000A1B100001\", \"field\": "
                  "\"ssidBg\", \"old\": \"guest\", \"new\": \"staff \\\"b\\\"\"}\n" +
                  at(4) +
                  "\"change\": \"gone\", \"macText\": \"000A1B100001\", \"record\": "
                  "{\"name\": \"Lobby\", \"macText\": \"000A1B100001\", \"ipAddress\": "
                  "\"10.0.0.11\", \"localAddress\": \"10.0.0.200\", \"description\": \"\", "
                  "\"ssidBg\": \"staff \\\"b\\\"\", \"channelBg\": 6, \"ssidA\": \"\", "
                  "\"channelA\": 0, \"wirelessMode\": 7, \"firmwareVersion\": \"010B\"}}\n");
    const std::vector<std::int64_t> starts = DiscoveryStarts();
    ASSERT_EQ(starts.size(), 4u);
    EXPECT_EQ(starts[1] - ends_[0], 2500);
}

// One access point per watched field, each changing that field alone: a comparison that skips
// a field lets its change pass unseen.
TEST_F(WatchTest, EveryWatchedFieldsChangeIsReported) {
    struct Case {
        void (*change)(sim::AccessPointSettings&);
        std::string line;
    };
    const Case cases[] = {
        {[](auto& s) { s.address = net::AddressFromText("10.0.0.21"); },
         "ipAddress 10.0.0.11 -> 10.0.0.21"},
        {[](auto& s) { s.name = "Hall"; }, "name \"AP\" -> \"Hall\""},
        {[](auto& s) {
             s.firmware = {0x01, 0x0C};
         },
         "firmwareVersion 010B -> 010C"},
        {[](auto& s) { s.wirelessMode = 4; }, "wirelessMode 802.11b/g -> "},
        {[](auto& s) { s.ssidBg = "staff"; }, "ssidBg \"guest\" -> \"staff\""},
        {[](auto& s) { s.channelBg = 11; }, "channelBg 6 -> 11"},
        {[](auto& s) { s.ssidA = "fast"; }, "ssidA \"five\" -> \"fast\""},
        {[](auto& s) { s.channelA = 40; }, "channelA 36 -> 40"},
    };
    std::vector<std::pair<Slot*, sim::AccessPointSettings>> changes;
    int n = 0;
    for (const Case& c : cases) {
        ++n;
        sim::AccessPointSettings settings = Numbered(n, "AP", "10.0.0." + std::to_string(10 + n));
        settings.ssidA = "five";
        settings.channelA = 36;
        Slot& slot = AddSlot(settings);
        c.change(settings);
        changes.emplace_back(&slot, settings);
    }
    EXPECT_EQ(Watch({"--interval", "0.1"},
                    [&](int round) {
                        for (auto& [slot, changed] : changes) {
                            slot->model = std::make_unique<sim::AccessPoint>(changed);
                        }
                        stop_.store(round == 2);
                    }),
              0);
    const std::string out = out_.str();
    n = 0;
    for (const Case& c : cases) {
        char mac[16];
        std::snprintf(mac, sizeof mac, "000A1B1000%02X", ++n);
        EXPECT_NE(out.find(std::string(" ~ ") + mac + " " + c.line), std::string::npos)
            << c.line << "\n"
            << out;
    }
    EXPECT_EQ(std::count(out.begin(), out.end(), '~'), static_cast<long>(std::size(cases)));
}

// Every line of a watch has its time: with --parallel several networks fail in one discovery.
TEST_F(WatchTest, EachFailedNetworksLineIsStamped) {
    network_.AddInterface("lan1", "10.0.1.200");
    network_.FailCall(net::FakeNetwork::Call::kBindAnyPort, 0, EADDRINUSE);
    EXPECT_EQ(Watch({"--parallel"}, [&](int) { stop_.store(true); }), 0);
    ASSERT_EQ(ends_.size(), 1u);
    const std::string at = At(ends_[0]) + " ";
    EXPECT_EQ(err_.str(),
              at +
                  "apctl: discovery failed on 10.0.0.200 (lan0): binding to a port: Address "
                  "already in use\n" +
                  at +
                  "apctl: discovery failed on 10.0.1.200 (lan1): binding to a port: Address "
                  "already in use\n");
}

// A discovery whose send failed saw nobody, which is no absence of anybody.
TEST_F(WatchTest, FailedDiscoveryIsReportedAndCountsAsNoAbsence) {
    Slot& lobby = AddSlot(Numbered(1, "Lobby", "10.0.0.11"));
    // Sends 1 to 3 are the first discovery's; the second discovery fails at its first.
    network_.FailCall(net::FakeNetwork::Call::kSend, 4, ENETUNREACH);
    EXPECT_EQ(Watch({},
                    [&](int round) {
                        if (round == 2) {
                            lobby.present = false;
                        } else if (round == 4) {
                            stop_.store(true);
                        }
                    }),
              0);
    ASSERT_EQ(ends_.size(), 4u);
    EXPECT_EQ(err_.str(), At(ends_[1]) +
                              " apctl: discovery failed on 10.0.0.200 (lan0): sending the "
                              "request: Network is unreachable\n");
    const std::string out = out_.str();
    EXPECT_EQ(out.substr(out.find('\n') + 1),
              At(ends_[3]) +
                  " - 000A1B100001 10.0.0.11 \"Lobby\" absent from 2 discoveries\n");
}

// One reply dropped is warned of as much as sixty, in the singular.
TEST_F(WatchTest, RepliesTheKernelDroppedAreToldWithTheTime) {
    const struct {
        int accessPoints;
        bool burst;  // eleven datagrams at once, after the first request only
        const char* dropped;
    } cases[] = {{30, false, "60 replies"}, {0, true, "1 reply"}};
    network_.SetReceiveQueueLimit(10);
    bool burst = false;
    network_.AddResponder(lan_, [&burst](const net::FakeNetwork::SentDatagram&, std::int64_t) {
        std::vector<net::FakeNetwork::Delivery> deliveries;
        for (int n = 0; burst && n < 11; ++n) {
            deliveries.push_back({0, net::AddressFromText("10.0.0.99"), {0x00}});
        }
        burst = false;
        return deliveries;
    });
    for (const auto& c : cases) {
        for (auto& earlier : slots_) {
            earlier->present = false;
        }
        for (int n = 1; n <= c.accessPoints; ++n) {
            AddSlot(Numbered(n, "ap" + std::to_string(n), "10.0.0.11"));
        }
        burst = c.burst;
        ends_.clear();
        err_.str("");
        stop_.store(false);
        EXPECT_EQ(Watch({}, [&](int) { stop_.store(true); }), 0);
        ASSERT_EQ(ends_.size(), 1u);
        EXPECT_EQ(err_.str(), At(ends_[0]) + " apctl: warning: lan0: " + c.dropped +
                                  " dropped by the kernel (receive buffer full); raise "
                                  "net.core.rmem_max, see README, Troubleshooting\n");
    }
}

// A network lost and back is told when the listing before a discovery finds it so, with that time.
TEST_F(WatchTest, LostAndReturnedNetworksAreToldWithTheirTime) {
    AddSlot(Numbered(1, "Lobby", "10.0.0.11"));
    EXPECT_EQ(Watch({},
                    [&](int round) {
                        network_.SetAddressListed(lan_, round != 1);
                        stop_.store(round == 3);
                    }),
              0);
    ASSERT_EQ(ends_.size(), 3u);
    const std::string lost = At(ends_[0] + 10000) + " apctl: ";
    EXPECT_EQ(err_.str(), lost +
                              "lost 10.0.0.200 (lan0): address gone; its access points are kept "
                              "as they were until it is back\n" +
                              lost + "no usable IPv4 interface; see apctl interfaces\n" +
                              At(ends_[1] + 10000) + " apctl: 10.0.0.200 (lan0) is usable again\n");
    const std::string out = out_.str();
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 1) << out;
}

// The stop comes while the second discovery waits for replies: it ends within the wait's check
// interval, nobody is reported gone, and every socket is closed.
TEST_F(WatchTest, StopCutsTheExchangeShort) {
    AddSlot(Numbered(1, "Lobby", "10.0.0.11"));
    int discoveryRequests = 0;
    std::int64_t stoppedAt = -1;
    network_.AddResponder(lan_, [&](const net::FakeNetwork::SentDatagram&, std::int64_t nowMs) {
        if (++discoveryRequests == 4) {
            stop_.store(true);
            stoppedAt = nowMs;
        }
        return std::vector<net::FakeNetwork::Delivery>{};
    });
    EXPECT_EQ(Watch({}, [](int) {}), 0);
    EXPECT_EQ(ends_.size(), 1u);
    ASSERT_GE(stoppedAt, 0);
    EXPECT_LE(network_.NowMs() - stoppedAt, kCancelCheckInterval.count());
    const std::string out = out_.str();
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 1) << out;
    EXPECT_EQ(network_.openSockets(), 0);
}

TEST_F(WatchTest, StopsWhenNobodyReadsAnyMore) {
    AddSlot(Numbered(1, "Lobby", "10.0.0.11"));
    ClosedOutput closed;
    std::ostream out(&closed);
    EXPECT_EQ(Watch(
                  {}, [](int) {}, &out),
              1);
    EXPECT_EQ(ends_.size(), 0u);
    EXPECT_EQ(network_.sent().size(), 3u);
    EXPECT_EQ(network_.openSockets(), 0);
}

}  // namespace

// A hook gets each change as its --json line, with the access point's current address.
TEST_F(WatchTest, ExecPassesEachChangeToTheHook) {
    Slot& lobby = AddSlot(Numbered(1, "Lobby", "10.0.0.11"));
    const std::string log = ::testing::TempDir() + "apctl-watch-hook.log";
    std::remove(log.c_str());
    const auto logLines = [&] {
        std::vector<std::string> lines;
        std::ifstream in(log);
        for (std::string line; std::getline(in, line);) {
            lines.push_back(line);
        }
        return lines;
    };
    const std::string hook = "sh -c 'printf \"%s %s \" \"$APCTL_CHANGE\" \"$APCTL_ADDRESS\" >> " +
                             log + "; cat >> " + log + "'";
    EXPECT_EQ(Watch({"--json", "--exec", hook},
                    [&](int round) {
                        if (round == 1) {
                            lobby.model = std::make_unique<sim::AccessPoint>(
                                Numbered(1, "Lobby", "10.0.0.21"));
                        } else if (round == 2) {
                            lobby.present = false;
                        } else if (round == 5) {
                            // The gone hook of discovery 4 ran in the pause after it.
                            stop_.store(true);
                        }
                    }),
              0);
    std::istringstream printed(out_.str());
    std::vector<std::string> expected;
    const char* const prefixes[] = {"appeared 10.0.0.11 ", "changed 10.0.0.21 ", "gone 10.0.0.21 "};
    for (std::string line; std::getline(printed, line);) {
        ASSERT_LT(expected.size(), 3u) << out_.str();
        expected.push_back(prefixes[expected.size()] + line);
    }
    EXPECT_EQ(logLines(), expected);
    EXPECT_EQ(err_.str(), "");
    std::remove(log.c_str());
}
