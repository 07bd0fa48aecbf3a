#include "tools/apctl/Watch.h"

#include <chrono>
#include <cmath>
#include <cstring>
#include <ctime>
#include <map>
#include <optional>
#include <set>
#include <optional>
#include <sstream>
#include <syncstream>

#include "fleet/Discovery.h"
#include "tools/apctl/ApctlFormat.h"
#include "tools/apctl/ApctlNetworks.h"
#include "tools/apctl/ChangeLines.h"
#include "tools/apctl/WatchHook.h"
#include "tools/apctl/WatchTextfile.h"

namespace apctl {

namespace {

std::string UtcTimestamp() {
    const std::time_t now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
    std::tm utc{};
    gmtime_r(&now, &utc);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return text;
}

double UnixSeconds() {
    return std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

// A watch's log is read by time, so no line of it goes without one: several networks that
// failed give a line each.
void StampEachLine(const std::string& time, const std::string& lines, std::ostream& err) {
    std::istringstream in(lines);
    for (std::string line; std::getline(in, line);) {
        err << time << " " << line << "\n";
    }
}

// Waits out the interval in slices, so that a stop ends the wait at once.
void Pause(net::SocketLayer& layer, net::Milliseconds interval, const std::atomic<bool>* stop) {
    const net::Milliseconds end = layer.Now() + interval;
    while (stop == nullptr || !stop->load()) {
        const net::Milliseconds now = layer.Now();
        if (now >= end) {
            return;
        }
        layer.Sleep(std::min(end - now, kCancelCheckInterval));
    }
}

// The change as the hook gets it: its input is the --json line, whatever watch prints.
HookEvent HookEventFor(const fleet::Change& change, const std::string& time) {
    using fleet::Change;
    std::ostringstream line;
    PrintChange(change, ChangeLineForm{.json = true, .time = time, .goneReason = {}}, line);
    std::string json = line.str();
    json.pop_back();
    const char* kind = "appeared";
    if (change.kind == Change::Kind::kChanged) {
        kind = "changed";
    } else if (change.kind == Change::Kind::kGone) {
        kind = "gone";
    }
    return {kind, change.macText, FieldText(change.record.ipAddress), std::move(json)};
}

}  // namespace

int Watch(const Command& command, const ExchangeOptions& options, const RunContext& context,
          std::ostream& out, std::ostream& err) {
    return Watch(command, options, context, out, err, WatchHooks{});
}

int Watch(const Command& command, const ExchangeOptions& options, const RunContext& context,
          std::ostream& out, std::ostream& diagnostics, const WatchHooks& hooks) {
    // A hook's failures are said from its own thread: every line goes out whole.
    std::osyncstream err(diagnostics);
    err.rdbuf()->set_emit_on_sync(true);
    std::optional<HookRunner> hook;
    if (!command.hookCommand.empty()) {
        hook.emplace(HookRunner::Settings{command.hookCommand, hooks.hookBound, kHookQueueLimit,
                                          UtcTimestamp},
                     diagnostics);
    }
    net::SocketLayer* layer = net::ActiveSocketLayer();
    if (layer == nullptr) {
        return kExitFailed;
    }
    const auto stopRequested = [&] { return context.stop != nullptr && context.stop->load(); };
    std::optional<WatchTextfile> textfile;
    if (!command.textfilePath.empty()) {
        std::string folder;
        if (!TextfileFolderExists(command.textfilePath, &folder)) {
            err << "apctl: --textfile: no such folder: " << fleet::InterfaceNameText(folder)
                << "\n";
            return kExitUsage;
        }
        textfile.emplace(command.textfilePath);
    }
    const net::Milliseconds interval{std::llround(command.intervalSeconds * 1000.0)};
    const bool json = command.format == OutputFormat::kJson;
    fleet::ChangeDetector known;
    ExchangeOptions discovery = options;
    discovery.parallel = command.parallel;
    for (int round = 1; !stopRequested(); ++round) {
        const fleet::DiscoveryRun run = fleet::Discover(discovery, context.stop);
        // A discovery cut short by the stop says nothing about who is gone.
        if (stopRequested()) {
            break;
        }
        const std::string time = hooks.timestamp ? hooks.timestamp() : UtcTimestamp();
        // A discovery that failed saw nobody, which is no absence of anybody: what is known
        // stays as it was until one completes.
        if (run.status == fleet::DiscoveryRun::Status::kCompleted) {
            const ChangeLineForm form{
                json, time, "absent from " + std::to_string(kAbsencesBeforeGone) + " discoveries"};
            for (const fleet::Change& change : known.Compare(run.records)) {
                PrintChange(change, form, out);
                if (hook) {
                    hook->Post(HookEventFor(change, time));
                }
            }
        } else {
            StampEachLine(time, DiscoveryFailureText(run), err);
        }
        WarnKernelDrops(run.report.addresses, err, time + " ");
        if (textfile) {
            textfile->Update(known, run, hooks.seconds ? hooks.seconds() : UnixSeconds(), time,
                             err);
        }
        err << std::flush;
        if (out.fail()) {
            // Nobody reads any more (a pipe into head that has ended): stop, every socket closed.
            return kExitFailed;
        }
        if (hooks.afterDiscovery) {
            hooks.afterDiscovery(round);
        }
        Pause(*layer, interval, context.stop);
    }
    return kExitSuccess;
}

}  // namespace apctl
