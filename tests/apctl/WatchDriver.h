#pragma once

#include <atomic>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "fleet/Watch.h"
#include "net/FakeNetwork.h"
#include "tools/apctl/Watch.h"

namespace apctl_test {

// apctl's printer as watch has it, then `between` (the discovery's number): where a test changes
// the fleet or stops.
class PrintThen final : public fleet::WatchObserver {
public:
    PrintThen(apctl::WatchPrinter& printer, std::function<void(int)> between)
        : printer_(printer), between_(std::move(between)) {}
    void NetworkLost(const net::LocalAddress& local, const std::string& why,
                     net::Milliseconds at) override {
        printer_.NetworkLost(local, why, at);
    }
    void NetworkBack(const net::LocalAddress& local, net::Milliseconds at) override {
        printer_.NetworkBack(local, at);
    }
    void NoUsableAddress(net::Milliseconds at) override { printer_.NoUsableAddress(at); }
    bool Discovered(const fleet::WatchRound& round, const fleet::WatchState& state) override {
        if (!printer_.Discovered(round, state)) {
            return false;
        }
        between_(round.number);
        return true;
    }

private:
    apctl::WatchPrinter& printer_;
    std::function<void(int)> between_;
};

// Runs watch with the arguments after "watch" on `network` until `stop` is set.
inline int RunWatch(const std::vector<std::string>& arguments, net::FakeNetwork& network,
                    std::atomic<bool>& stop, std::ostream& out, std::ostream& err,
                    std::function<void(int)> between) {
    std::vector<std::string> line = {"watch"};
    line.insert(line.end(), arguments.begin(), arguments.end());
    apctl::Command command;
    std::string error;
    EXPECT_TRUE(apctl::ParseCommandLine(line, &command, &error)) << error;
    {
        apctl::WatchPrinter printer(command, network, out, err, "test");
        PrintThen observer(printer, std::move(between));
        fleet::Watch(fleet::Session{{}, false, command.parallel, &stop},
                     apctl::WatchSettingsOf(command), observer);
    }
    return out.fail() ? 1 : 0;
}

// The time a watch stamps lines with at the fake network's virtual `ms`.
inline std::string At(std::int64_t ms) {
    return apctl::WatchTime(net::kFakeWallClockStart + net::Milliseconds{ms});
}

}  // namespace apctl_test
