#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <syncstream>

#include "fleet/Session.h"
#include "fleet/Watch.h"
#include "tools/apctl/ApctlCommand.h"
#include "tools/apctl/WatchHook.h"

namespace apctl {

// The UTC time in ISO 8601, to the second, of a wall-clock reading: every line of a watch starts
// with it.
std::string WatchTime(net::Milliseconds wallClock);

// What the watch's command line asks of the loop.
fleet::WatchSettings WatchSettingsOf(const Command& command);

// What apctl makes of a watch: a line per change on `out`, the networks lost and back, failures
// and warnings on `err`, the hook, the metrics file.
class WatchPrinter final : public fleet::WatchObserver {
public:
    WatchPrinter(const Command& command, net::SocketLayer& layer, std::ostream& out,
                 std::ostream& err, std::string version);
    ~WatchPrinter() override;
    WatchPrinter(const WatchPrinter&) = delete;
    WatchPrinter& operator=(const WatchPrinter&) = delete;

    void NetworkLost(const net::LocalAddress& local, const std::string& why,
                     net::Milliseconds at) override;
    void NetworkBack(const net::LocalAddress& local, net::Milliseconds at) override;
    void NoUsableAddress(net::Milliseconds at) override;
    // False once nobody reads standard output any more.
    bool Discovered(const fleet::WatchRound& round, const fleet::WatchState& state) override;

private:
    void PrintChanges(const fleet::WatchRound& round, const std::string& time);
    void WriteMetrics(const fleet::WatchState& state, const std::string& time);

    const Command& command_;
    std::ostream& out_;
    // A hook's failures are said from its own thread: every line goes out whole.
    std::osyncstream err_;
    std::string version_;
    std::optional<HookRunner> hook_;
};

// apctl watch: discovery after discovery on the session's networks, one line per change, until
// the session's stop is set. Exit 0 when stopped, 1 when standard output is gone, 2 when the
// metrics file's folder is not there.
int Watch(const Command& command, const fleet::Session& session, std::ostream& out,
          std::ostream& err);

}  // namespace apctl
