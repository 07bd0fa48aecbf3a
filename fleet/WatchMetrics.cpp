#include "fleet/WatchMetrics.h"

#include <cstdio>
#include <utility>
#include <vector>

#include "discovery/FieldText.h"
#include "fleet/Text.h"

namespace fleet {

namespace {

// UTF-8 `text` as a label value: see LabelValueFromLatin1.
std::string EscapedUtf8(const std::string& text) {
    std::string out;
    for (std::size_t at = 0; at < text.size(); ++at) {
        const auto byte = static_cast<unsigned char>(text[at]);
        const bool c1 =
            byte == 0xC2 && at + 1 < text.size() && static_cast<unsigned char>(text[at + 1]) < 0xA0;
        if (byte == '\\') {
            out += "\\\\";
        } else if (byte == '"') {
            out += "\\\"";
        } else if (byte == '\n') {
            out += "\\n";
        } else if ((byte < 0x20 && byte != '\t') || byte == 0x7F || c1) {
            out += "\xEF\xBF\xBD";
            at += c1 ? 1 : 0;
        } else {
            out.push_back(static_cast<char>(byte));
        }
    }
    return out;
}

// Whole numbers without a fraction, others to the millisecond (what the clocks give).
std::string Number(double value) {
    char text[40];
    std::snprintf(text, sizeof text, "%.3f", value);
    std::string out = text;
    while (out.back() == '0') {
        out.pop_back();
    }
    if (out.back() == '.') {
        out.pop_back();
    }
    return out;
}

double Seconds(net::Milliseconds time) {
    return static_cast<double>(time.count()) / 1000.0;
}

using Labels = std::vector<std::pair<const char*, std::string>>;  // values escaped

class Exposition {
public:
    void Family(const char* name, const char* type, const char* help) {
        name_ = name;
        text_ +=
            std::string("# HELP ") + name + " " + help + "\n# TYPE " + name + " " + type + "\n";
    }

    void Sample(const Labels& labels, double value) {
        text_ += name_;
        const char* separator = "{";
        for (const auto& [label, labelValue] : labels) {
            text_ += std::string(separator) + label + "=\"" + labelValue + "\"";
            separator = ",";
        }
        text_ += labels.empty() ? " " : "} ";
        text_ += Number(value) + "\n";
    }

    std::string Take() { return std::move(text_); }

private:
    const char* name_ = "";
    std::string text_;
};

void AccessPoints(const WatchState& state, Exposition* out) {
    const auto text = [](const auto& field) { return LabelValueFromLatin1(FieldText(field)); };
    const auto& known = state.accessPoints;
    out->Family("apmanager_access_point_up", "gauge",
                "Whether the access point answered the last discovery (1) or not (0: it missed "
                "it, its network is down, or it is gone and not yet forgotten).");
    for (const auto& [mac, ap] : known) {
        out->Sample({{"mac", LabelValueFromLatin1(mac)}}, ap.up ? 1 : 0);
    }
    out->Family("apmanager_access_point_gone", "gauge",
                "Whether the access point was reported gone (1), kept until --forget passes.");
    for (const auto& [mac, ap] : known) {
        out->Sample({{"mac", LabelValueFromLatin1(mac)}}, ap.gone ? 1 : 0);
    }
    out->Family("apmanager_access_point_info", "gauge",
                "What the access point last reported of itself, and the local address it was "
                "heard through; always 1.");
    for (const auto& [mac, ap] : known) {
        const DeviceRecord& r = ap.record;
        out->Sample({{"mac", LabelValueFromLatin1(mac)},
                     {"name", text(r.name)},
                     {"address", text(r.ipAddress)},
                     {"local_address", text(r.localAddress)},
                     {"firmware", text(r.firmwareVersion)},
                     {"standard", LabelValueFromLatin1(ModeText(r.wirelessMode))},
                     {"ssid_bg", text(r.ssidBg)},
                     {"channel_bg", std::to_string(r.channelBg)},
                     {"ssid_a", text(r.ssidA)},
                     {"channel_a", std::to_string(r.channelA)}},
                    1);
    }
    out->Family("apmanager_access_point_last_seen_timestamp_seconds", "gauge",
                "When a discovery last heard the access point, in Unix seconds.");
    for (const auto& [mac, ap] : known) {
        out->Sample({{"mac", LabelValueFromLatin1(mac)}}, Seconds(ap.lastSeen));
    }
}

// One family with a sample per network that `value` gives one for.
template <typename Value>
void PerNetwork(const WatchState& state, const char* name, const char* type, const char* help,
                Exposition* out, Value value) {
    out->Family(name, type, help);
    for (const WatchedNetwork& network : state.networks) {
        const Labels at{{"local_address", AddressText(network.local.address)},
                        {"interface", LabelValueFromBytes(FieldText(network.local.interfaceName))}};
        value(network, at);
    }
}

void Networks(const WatchState& state, Exposition* out) {
    PerNetwork(state, "apmanager_network_up", "gauge",
               "Whether the local address is usable and its exchange in the last discovery did "
               "not fail (1), or it was lost (gone, link down, no carrier) or failed (0).",
               out, [&](const WatchedNetwork& n, const Labels& at) { out->Sample(at, n.up); });
    PerNetwork(state, "apmanager_discovery_duration_seconds", "gauge",
               "How long the last discovery's exchange on this local address took.", out,
               [&](const WatchedNetwork& n, const Labels& at) {
                   if (n.last) {
                       out->Sample(at, static_cast<double>(n.last->duration.count()) / 1000.0);
                   }
               });
    PerNetwork(state, "apmanager_discovery_replies_accepted_total", "counter",
               "Replies the discoveries took on this local address since the watch started.", out,
               [&](const WatchedNetwork& n, const Labels& at) {
                   out->Sample(at, static_cast<double>(n.repliesAccepted));
               });
    PerNetwork(state, "apmanager_discovery_datagrams_ignored_total", "counter",
               "Datagrams the discoveries read on this local address and did not take since the "
               "watch started, by why: a status not accepted, too short for a status, or arrived "
               "through another interface.",
               out, [&](const WatchedNetwork& n, const Labels& at) {
                   const std::pair<const char*, unsigned long long> reasons[] = {
                       {"status", n.ignoredStatus},
                       {"too_short", n.ignoredShort},
                       {"other_interface", n.ignoredForeign}};
                   for (const auto& [reason, count] : reasons) {
                       Labels labels = at;
                       labels.emplace_back("reason", reason);
                       out->Sample(labels, static_cast<double>(count));
                   }
               });
    PerNetwork(state, "apmanager_discovery_replies_dropped_total", "counter",
               "Replies the kernel dropped on this local address since the watch started, its "
               "receive buffer full.",
               out, [&](const WatchedNetwork& n, const Labels& at) {
                   out->Sample(at, static_cast<double>(n.droppedByKernel));
               });
}

}  // namespace

std::string LabelValueFromLatin1(const std::string& bytes) {
    return EscapedUtf8(Utf8FromLatin1(bytes));
}

std::string LabelValueFromBytes(const std::string& bytes) {
    return EscapedUtf8(IsUtf8(bytes) ? bytes : Utf8FromLatin1(bytes));
}

std::string MetricsText(const WatchState& state, const std::string& version) {
    Exposition out;
    out.Family("apmanager_build_info", "gauge", "The version of apctl that writes this; always 1.");
    out.Sample({{"version", EscapedUtf8(version)}}, 1);
    AccessPoints(state, &out);
    Networks(state, &out);
    out.Family("apmanager_discoveries_total", "counter",
               "Discoveries this watch has run, completed or failed.");
    out.Sample({}, static_cast<double>(state.discoveries));
    // Last, so that a reader that finds it knows it has the whole file.
    out.Family("apmanager_last_discovery_timestamp_seconds", "gauge",
               "When the last discovery ended, in Unix seconds.");
    out.Sample({}, Seconds(state.lastDiscoveryEnd));
    return out.Take();
}

}  // namespace fleet
