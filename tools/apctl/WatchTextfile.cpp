#include "tools/apctl/WatchTextfile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

#include "discovery/FieldText.h"
#include "fleet/Text.h"

namespace apctl {

namespace {

// The file's folder up to and with its last '/'; empty for the current folder.
std::string FolderPrefix(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string Failed(const char* step, int error) {
    return std::string(step) + ": " + std::strerror(error);
}

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

std::string ModeLabel(std::uint16_t mode) {
    const std::string text = WirelessModeText(mode);
    return text.empty() ? "mode " + std::to_string(mode) : text;
}

void AccessPoints(const fleet::ChangeDetector& known, const std::map<std::string, double>& lastSeen,
                  Exposition* out) {
    const auto text = [](const auto& field) { return LabelValueFromLatin1(FieldText(field)); };
    out->Family("apmanager_access_point_up", "gauge",
                "Whether the access point answered the last discovery (1) or missed it but is "
                "not yet taken as gone (0); gone, it is left out.");
    for (const auto& [mac, entry] : known.known()) {
        const DeviceRecord& r = entry.record;
        out->Sample({{"mac", LabelValueFromLatin1(mac)},
                     {"name", text(r.name)},
                     {"address", text(r.ipAddress)},
                     {"local_address", text(r.localAddress)}},
                    entry.absences == 0 ? 1 : 0);
    }
    out->Family("apmanager_access_point_info", "gauge",
                "What the access point last reported of itself; always 1.");
    for (const auto& [mac, entry] : known.known()) {
        const DeviceRecord& r = entry.record;
        out->Sample({{"mac", LabelValueFromLatin1(mac)},
                     {"firmware", text(r.firmwareVersion)},
                     {"standard", LabelValueFromLatin1(ModeLabel(r.wirelessMode))},
                     {"ssid_bg", text(r.ssidBg)},
                     {"channel_bg", std::to_string(r.channelBg)},
                     {"ssid_a", text(r.ssidA)},
                     {"channel_a", std::to_string(r.channelA)}},
                    1);
    }
    out->Family("apmanager_access_point_last_seen_timestamp_seconds", "gauge",
                "When a discovery last heard the access point, in Unix seconds.");
    for (const auto& [mac, entry] : known.known()) {
        if (const auto seen = lastSeen.find(mac); seen != lastSeen.end()) {
            out->Sample({{"mac", LabelValueFromLatin1(mac)}}, seen->second);
        }
    }
}

void Networks(const ExchangeReport& report, Exposition* out) {
    std::vector<Labels> where;
    for (const AddressExchange& e : report.addresses) {
        where.push_back({{"local_address", fleet::AddressText(e.local.address)},
                         {"interface", LabelValueFromBytes(FieldText(e.local.interfaceName))}});
    }
    const auto each = [&](const char* name, const char* type, const char* help, auto value) {
        out->Family(name, type, help);
        for (std::size_t i = 0; i < where.size(); ++i) {
            value(where[i], report.addresses[i]);
        }
    };
    each("apmanager_discovery_duration_seconds", "gauge",
         "How long the last discovery's exchange on this local address took.",
         [&](const Labels& at, const AddressExchange& e) {
             out->Sample(at, static_cast<double>(e.duration.count()) / 1000.0);
         });
    each("apmanager_discovery_replies_accepted", "gauge",
         "Replies the last discovery took on this local address.",
         [&](const Labels& at, const AddressExchange& e) { out->Sample(at, e.repliesAccepted); });
    each("apmanager_discovery_datagrams_ignored", "gauge",
         "Datagrams the last discovery read on this local address and did not take, by why: a "
         "status it does not accept, too short for a status, or arrived through another "
         "interface.",
         [&](const Labels& at, const AddressExchange& e) {
             const std::pair<const char*, int> reasons[] = {{"status", e.ignoredStatus},
                                                            {"too_short", e.ignoredShort},
                                                            {"other_interface", e.ignoredForeign}};
             for (const auto& [reason, count] : reasons) {
                 Labels labels = at;
                 labels.emplace_back("reason", reason);
                 out->Sample(labels, count);
             }
         });
    each("apmanager_discovery_replies_dropped", "gauge",
         "Replies the kernel dropped in the last discovery on this local address, its receive "
         "buffer full.",
         [&](const Labels& at, const AddressExchange& e) {
             out->Sample(at, static_cast<double>(e.droppedByKernel));
         });
    each("apmanager_discovery_failed", "gauge",
         "Whether the last discovery's exchange on this local address failed (1) or not (0).",
         [&](const Labels& at, const AddressExchange& e) { out->Sample(at, e.failed() ? 1 : 0); });
}

}  // namespace

std::string LabelValueFromLatin1(const std::string& bytes) {
    return EscapedUtf8(fleet::Utf8FromLatin1(bytes));
}

std::string LabelValueFromBytes(const std::string& bytes) {
    return EscapedUtf8(fleet::IsUtf8(bytes) ? bytes : fleet::Utf8FromLatin1(bytes));
}

bool TextfileFolderExists(const std::string& path, std::string* folder) {
    // Built as a new string and moved in: GCC 12 at -O3 warns falsely (-Wrestrict) when a
    // literal is assigned over the prefix just computed.
    std::string prefix = FolderPrefix(path);
    if (prefix.size() > 1) {
        prefix.pop_back();
    }
    *folder = prefix.empty() ? std::string(1, '.') : std::move(prefix);
    struct stat status {};
    return stat(folder->c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

bool WriteFileAtomically(const std::string& path, const std::string& text, std::string* reason) {
    const std::size_t slash = path.rfind('/');
    const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
    // A dot file with a random end: node_exporter reads only the *.prom files it is given, so
    // never this one.
    std::string temporary = FolderPrefix(path) + "." + base + ".XXXXXX";
    const int fd = mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) {
        *reason = Failed("creating a temporary file", errno);
        return false;
    }
    const auto fail = [&](const char* step, int error) {
        if (fd >= 0) {
            close(fd);
        }
        unlink(temporary.c_str());
        *reason = Failed(step, error);
        return false;
    };
    // mkostemp makes it 0600; the collector runs as another user.
    if (fchmod(fd, 0644) != 0) {
        return fail("setting the temporary file's mode", errno);
    }
    for (std::size_t written = 0; written < text.size();) {
        const ssize_t n = write(fd, text.data() + written, text.size() - written);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return fail("writing the temporary file", errno);
        }
        written += static_cast<std::size_t>(n);
    }
    if (fsync(fd) != 0) {
        return fail("syncing the temporary file", errno);
    }
    if (close(fd) != 0) {
        const int error = errno;
        unlink(temporary.c_str());
        *reason = Failed("closing the temporary file", error);
        return false;
    }
    if (rename(temporary.c_str(), path.c_str()) != 0) {
        const int error = errno;
        unlink(temporary.c_str());
        *reason = Failed("renaming the temporary file over it", error);
        return false;
    }
    return true;
}

void WatchTextfile::Update(const fleet::ChangeDetector& known, const fleet::DiscoveryRun& run,
                           double now, const std::string& time, std::ostream& err) {
    ++discoveries_;
    if (run.status == fleet::DiscoveryRun::Status::kCompleted) {
        for (const DeviceRecord& record : run.records) {
            lastSeen_[FieldText(record.macText)] = now;
        }
    }
    for (auto it = lastSeen_.begin(); it != lastSeen_.end();) {
        it = known.known().count(it->first) == 0 ? lastSeen_.erase(it) : std::next(it);
    }
    Exposition out;
    AccessPoints(known, lastSeen_, &out);
    Networks(run.report, &out);
    out.Family("apmanager_discoveries_total", "counter",
               "Discoveries this watch has run, completed or failed.");
    out.Sample({}, static_cast<double>(discoveries_));
    // Last, so that a reader that finds it knows it has the whole file.
    out.Family("apmanager_last_discovery_timestamp_seconds", "gauge",
               "When the last discovery ended, in Unix seconds.");
    out.Sample({}, now);
    text_ = out.Take();
    std::string reason;
    if (!WriteFileAtomically(path_, text_, &reason)) {
        err << time << " apctl: warning: cannot write " << fleet::InterfaceNameText(path_) << ": "
            << reason << "\n";
    }
}

}  // namespace apctl
