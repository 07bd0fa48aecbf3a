#include "tools/apctl/Watch.h"

#include <cmath>
#include <ctime>
#include <sstream>

#include "fleet/Text.h"
#include "fleet/WatchMetrics.h"
#include "tools/apctl/ApctlFormat.h"
#include "tools/apctl/ApctlNetworks.h"
#include "tools/apctl/ApctlRun.h"
#include "tools/apctl/ChangeLines.h"
#include "tools/apctl/WatchTextfile.h"

#ifndef APCTL_VERSION
#define APCTL_VERSION "unknown"
#endif

namespace apctl {

namespace {

// A watch's log is read by time, so no line of it goes without one: several networks that
// failed give a line each.
void StampEachLine(const std::string& time, const std::string& lines, std::ostream& err) {
    std::istringstream in(lines);
    for (std::string line; std::getline(in, line);) {
        err << time << " " << line << "\n";
    }
}

std::string NetworkText(const net::LocalAddress& local) {
    return fleet::AddressText(local.address) + " (" +
           fleet::InterfaceNameText(local.interfaceName) + ")";
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

std::string WatchTime(net::Milliseconds wallClock) {
    const auto seconds =
        static_cast<std::time_t>(std::chrono::floor<std::chrono::seconds>(wallClock).count());
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return text;
}

fleet::WatchSettings WatchSettingsOf(const Command& command) {
    fleet::WatchSettings settings;
    settings.interval = net::Milliseconds{std::llround(command.intervalSeconds * 1000.0)};
    settings.forget = std::chrono::seconds{std::llround(command.forgetSeconds)};
    return settings;
}

WatchPrinter::WatchPrinter(const Command& command, net::SocketLayer& layer, std::ostream& out,
                           std::ostream& err, std::string version)
    : command_(command), out_(out), err_(err), version_(std::move(version)) {
    err_.rdbuf()->set_emit_on_sync(true);
    if (!command.hookCommand.empty()) {
        hook_.emplace(HookRunner::Settings{command.hookCommand, kHookBound, kHookQueueLimit,
                                           [&layer] { return WatchTime(layer.WallClock()); }},
                      layer, err);
    }
}

WatchPrinter::~WatchPrinter() {
    if (hook_) {
        hook_->Finish();
    }
}

void WatchPrinter::NetworkLost(const net::LocalAddress& local, const std::string& why,
                               net::Milliseconds at) {
    err_ << WatchTime(at) << " apctl: lost " << NetworkText(local) << ": " << why
         << "; its access points are kept as they were until it is back\n"
         << std::flush;
}

void WatchPrinter::NetworkBack(const net::LocalAddress& local, net::Milliseconds at) {
    err_ << WatchTime(at) << " apctl: " << NetworkText(local) << " is usable again\n" << std::flush;
}

void WatchPrinter::NoUsableAddress(net::Milliseconds at) {
    err_ << WatchTime(at) << " apctl: no usable IPv4 interface; see apctl interfaces\n"
         << std::flush;
}

bool WatchPrinter::Discovered(const fleet::WatchRound& round, const fleet::WatchState& state) {
    const std::string time = WatchTime(round.at);
    if (round.run->status == fleet::DiscoveryRun::Status::kCompleted) {
        PrintChanges(round, time);
    } else {
        StampEachLine(time, DiscoveryFailureText(*round.run), err_);
    }
    WarnKernelDrops(round.run->report.addresses, err_, time + " ");
    if (!command_.textfilePath.empty()) {
        WriteMetrics(state, time);
    }
    err_ << std::flush;
    // Nobody reads any more (a pipe into head that has ended): stop, every socket closed.
    return !out_.fail();
}

void WatchPrinter::PrintChanges(const fleet::WatchRound& round, const std::string& time) {
    const ChangeLineForm form{
        command_.format == OutputFormat::kJson, time,
        "absent from " + std::to_string(fleet::kAbsencesBeforeGone) + " discoveries"};
    for (const fleet::Change& change : round.changes) {
        PrintChange(change, form, out_);
        if (hook_) {
            hook_->Post(HookEventFor(change, time));
        }
    }
}

void WatchPrinter::WriteMetrics(const fleet::WatchState& state, const std::string& time) {
    std::string reason;
    if (!WriteFileAtomically(command_.textfilePath, fleet::MetricsText(state, version_), &reason)) {
        err_ << time << " apctl: warning: cannot write "
             << fleet::InterfaceNameText(command_.textfilePath) << ": " << reason << "\n";
    }
}

int Watch(const Command& command, const fleet::Session& session, std::ostream& out,
          std::ostream& err) {
    if (!command.textfilePath.empty()) {
        std::string folder;
        if (!TextfileFolderExists(command.textfilePath, &folder)) {
            err << "apctl: --textfile: no such folder: " << fleet::InterfaceNameText(folder)
                << "\n";
            return kExitUsage;
        }
    }
    net::SocketLayer* layer = net::ActiveSocketLayer();
    if (layer == nullptr) {
        return kExitFailed;
    }
    WatchPrinter printer(command, *layer, out, err, APCTL_VERSION);
    fleet::Watch(session, WatchSettingsOf(command), printer);
    return out.fail() ? kExitFailed : kExitSuccess;
}

}  // namespace apctl
