// fleet::Watch on the fake network: networks lost and back, and what the watch keeps meanwhile.
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <string>
#include <vector>

#include "fleet/Watch.h"
#include "net/FakeNetwork.h"

namespace {

// Each discovery as one line: what was told before it, its changes, then every access point
// (MAC's last digit: up or down, gone) and every network (up or down).
class Recorder final : public fleet::WatchObserver {
public:
    explicit Recorder(std::function<void(int)> between) : between_(std::move(between)) {}

    void NetworkLost(const net::LocalAddress& local, const std::string& why,
                     net::Milliseconds) override {
        line_ += std::string("lost ") + local.interfaceName + " (" + why + "); ";
    }
    void NetworkBack(const net::LocalAddress& local, net::Milliseconds) override {
        line_ += std::string("back ") + local.interfaceName + "; ";
    }
    void NoUsableAddress(net::Milliseconds) override { line_ += "none usable; "; }
    bool Discovered(const fleet::WatchRound& round, const fleet::WatchState& state) override {
        for (const fleet::Change& change : round.changes) {
            const char* kind[] = {"+", "~", "-"};
            line_ += kind[static_cast<int>(change.kind)] + change.macText.substr(11) + " ";
        }
        line_ += "|";
        for (const auto& [mac, ap] : state.accessPoints) {
            line_ += " " + mac.substr(11) + (ap.up ? "up" : "down") + (ap.gone ? ",gone" : "");
        }
        line_ += " |";
        for (const fleet::WatchedNetwork& network : state.networks) {
            line_ += std::string(" ") + network.local.interfaceName + (network.up ? "up" : "down");
        }
        lines.push_back(line_);
        line_.clear();
        between_(round.number);
        return true;
    }

    std::vector<std::string> lines;

private:
    std::function<void(int)> between_;
    std::string line_;
};

sim::AccessPointSettings AccessPoint(int n, const std::string& address) {
    sim::AccessPointSettings settings;
    settings.name = "AP" + std::to_string(n);
    settings.mac = {0x00, 0x0A, 0x1B, 0x10, 0x00, static_cast<std::uint8_t>(n)};
    settings.address = net::AddressFromText(address);
    return settings;
}

// Without the session's own networks, a network lost for three discoveries (the link down, or
// its address removed), or every network at once, loses nobody: its access points are kept
// down, not gone, and come up again with it, with no change reported. An access point that
// leaves a network that is up is gone as ever.
TEST(FleetWatch, ALostNetworkIsNoLostFleet) {
    enum class Outage { kLinkDown, kAddressRemoved, kEverything, kAccessPointLeaves };
    struct Case {
        const char* name;
        Outage outage;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {"link down",
         Outage::kLinkDown,
         {"+1 +2 | 1up 2up | lan0up lan1up", "lost lan1 (link down); | 1up 2down | lan0up lan1down",
          "| 1up 2down | lan0up lan1down", "| 1up 2down | lan0up lan1down",
          "back lan1; | 1up 2up | lan0up lan1up"}},
        {"address removed",
         Outage::kAddressRemoved,
         {"+1 +2 | 1up 2up | lan0up lan1up",
          "lost lan1 (address gone); | 1up 2down | lan0up lan1down",
          "| 1up 2down | lan0up lan1down", "| 1up 2down | lan0up lan1down",
          "back lan1; | 1up 2up | lan0up lan1up"}},
        {"every address",
         Outage::kEverything,
         {"+1 +2 | 1up 2up | lan0up lan1up",
          "lost lan0 (address gone); lost lan1 (address gone); none usable; | 1down 2down | "
          "lan0down lan1down",
          "| 1down 2down | lan0down lan1down", "| 1down 2down | lan0down lan1down",
          "back lan0; back lan1; | 1up 2up | lan0up lan1up"}},
        {"access point leaves",
         Outage::kAccessPointLeaves,
         {"+1 +2 | 1up 2up | lan0up lan1up", "| 1up 2down | lan0up lan1up",
          "-2 | 1up 2down,gone | lan0up lan1up", "| 1up 2down,gone | lan0up lan1up",
          "+2 | 1up 2up | lan0up lan1up"}},
    };
    for (const Case& c : cases) {
        net::FakeNetwork network;
        net::ScopedSocketLayer installed(&network);
        const int lan0 = network.AddInterface("lan0", "10.0.0.200");
        const int lan1 = network.AddInterface("lan1", "10.0.1.200");
        network.AddAccessPoint(lan0, AccessPoint(1, "10.0.0.11"));
        sim::AccessPoint second(AccessPoint(2, "10.0.1.12"));
        bool present = true;
        network.AddResponder(
            lan1, [&](const net::FakeNetwork::SentDatagram& request, std::int64_t nowMs) {
                std::vector<net::FakeNetwork::Delivery> deliveries;
                for (sim::Reply& reply :
                     second.HandleDatagram(request.bytes.data(), request.bytes.size(), nowMs)) {
                    if (present && request.port == sim::kPort) {
                        deliveries.push_back({reply.delayMs, reply.source, std::move(reply.bytes)});
                    }
                }
                return deliveries;
            });
        std::atomic<bool> stop{false};
        // Out during discoveries 2 to 4.
        const auto out = [&](bool gone) {
            switch (c.outage) {
                case Outage::kLinkDown:
                    network.SetLinkUp(lan1, !gone);
                    break;
                case Outage::kAddressRemoved:
                    network.SetAddressListed(lan1, !gone);
                    break;
                case Outage::kEverything:
                    network.SetAddressListed(lan0, !gone);
                    network.SetAddressListed(lan1, !gone);
                    break;
                case Outage::kAccessPointLeaves:
                    present = !gone;
                    break;
            }
        };
        Recorder recorder([&](int round) {
            if (round == 1 || round == 4) {
                out(round == 1);
            }
            stop.store(round == 5);
        });
        fleet::Watch(fleet::Session{{}, false, false, &stop}, fleet::WatchSettings{}, recorder);
        EXPECT_EQ(recorder.lines, c.lines) << c.name;
    }
}

}  // namespace
