#include "tools/apctl/Watch.h"

#include <chrono>
#include <cmath>
#include <cstring>
#include <ctime>
#include <map>
#include <set>
#include <optional>
#include <sstream>
#include <syncstream>

#include "fleet/Discovery.h"
#include "tools/apctl/ApctlFormat.h"
#include "tools/apctl/ApctlNetworks.h"
#include "tools/apctl/WatchHook.h"

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

using fleet::Change;
using fleet::FieldKind;
using fleet::RecordField;

std::string ModeText(std::uint16_t mode) {
    const std::string text = WirelessModeText(mode);
    return text.empty() ? "mode " + std::to_string(mode) : text;
}

// A field's value for a person: texts quoted, the mode by its name.
std::string Shown(const RecordField& field, const std::string& value) {
    switch (field.kind) {
        case FieldKind::kText: {
            // Appended, not added up: GCC 12 at -O3 warns falsely (-Wrestrict) on '"' + text.
            std::string quoted(1, '"');
            quoted.append(Printable(value)).push_back('"');
            return quoted;
        }
        case FieldKind::kMode:
            return ModeText(static_cast<std::uint16_t>(std::stoi(value)));
        case FieldKind::kPlain:
        case FieldKind::kNumber:
            break;
    }
    return value.empty() ? "''" : Printable(value);
}

Json JsonValue(const RecordField& field, const std::string& value) {
    return field.kind == FieldKind::kNumber || field.kind == FieldKind::kMode
               ? Json(std::stoi(value))
               : JsonFromLatin1(value);
}

std::string MacShown(const std::string& mac) {
    return mac.empty() ? "(no MAC)" : Printable(mac);
}

class ChangePrinter {
public:
    ChangePrinter(std::ostream& out, bool json, std::string time)
        : out_(out), json_(json), time_(std::move(time)) {}

    void Print(const Change& change) {
        switch (change.kind) {
            case Change::Kind::kAppeared:
                Appeared(change.macText, change.record);
                break;
            case Change::Kind::kChanged:
                Changed(change.macText, *change.field, change.before, change.after);
                break;
            case Change::Kind::kGone:
                Gone(change.macText, change.record);
                break;
        }
    }

private:
    void Appeared(const std::string& mac, const DeviceRecord& r) {
        if (json_) {
            Json json = JsonStart("appeared", mac);
            json["record"] = RecordObject(r);
            Line(JsonText(json));
            return;
        }
        std::string text = time_ + " + " + MacShown(mac) + " " + Printable(FieldText(r.ipAddress)) +
                           " \"" + Printable(FieldText(r.name)) + "\" firmware " +
                           Printable(FieldText(r.firmwareVersion)) + " " +
                           ModeText(r.wirelessMode) + " via " +
                           Printable(FieldText(r.localAddress));
        Line(text);
    }

    void Gone(const std::string& mac, const DeviceRecord& r) {
        if (json_) {
            Json json = JsonStart("gone", mac);
            json["record"] = RecordObject(r);
            Line(JsonText(json));
            return;
        }
        Line(time_ + " - " + MacShown(mac) + " " + Printable(FieldText(r.ipAddress)) + " \"" +
             Printable(FieldText(r.name)) + "\" absent from " +
             std::to_string(kAbsencesBeforeGone) + " discoveries");
    }

    void Changed(const std::string& mac, const RecordField& field, const std::string& before,
                 const std::string& after) {
        if (json_) {
            Json json = JsonStart("changed", mac);
            json["field"] = field.key;
            json["old"] = JsonValue(field, before);
            json["new"] = JsonValue(field, after);
            Line(JsonText(json));
            return;
        }
        Line(time_ + " ~ " + MacShown(mac) + " " + field.key + " " + Shown(field, before) +
             " -> " + Shown(field, after));
    }

    Json JsonStart(const char* change, const std::string& mac) const {
        return {{"time", JsonFromLatin1(time_)},
                {"change", change},
                {"macText", JsonFromLatin1(mac)}};
    }

    // Each line goes out at once: whoever reads a watch reads it as it happens.
    void Line(const std::string& text) { out_ << text << "\n" << std::flush; }

    std::ostream& out_;
    bool json_;
    std::string time_;
};

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
HookEvent HookEventFor(const Change& change, const std::string& time) {
    std::ostringstream line;
    ChangePrinter(line, true, time).Print(change);
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
            ChangePrinter printer(out, json, time);
            for (const Change& change : known.Compare(run.records)) {
                printer.Print(change);
                if (hook) {
                    hook->Post(HookEventFor(change, time));
                }
            }
        } else {
            StampEachLine(time, DiscoveryFailureText(run), err);
        }
        WarnKernelDrops(run.report.addresses, err, time + " ");
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
