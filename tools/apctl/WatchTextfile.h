#pragma once

#include <map>
#include <ostream>
#include <string>

#include "fleet/Discovery.h"
#include "fleet/WatchChanges.h"

// watch --textfile: what the watch knows, in the Prometheus text exposition format (0.0.4), for
// node_exporter's textfile collector, rewritten after every discovery.
namespace apctl {

// Whether the folder the file goes into exists, so that a watch that could never write it is a
// usage error before anything is sent; `folder` is set either way.
bool TextfileFolderExists(const std::string& path, std::string* folder);

// Replaces `path` with `text` so that a reader opening it at any moment sees the whole old file
// or the whole new one: written to a new file in the same folder, synced, renamed over it. On
// failure nothing is left behind and `reason` says which step failed and why.
bool WriteFileAtomically(const std::string& path, const std::string& text, std::string* reason);

// A label value: the text as UTF-8 (an access point's single bytes read as Latin-1), with the
// backslash, the double quote and the line feed escaped as the format wants. Other control
// characters become U+FFFD: the format would take them, but a carriage return or a C1 control
// ends the line for many a reader that is not Prometheus.
std::string LabelValueFromLatin1(const std::string& bytes);
// The same for bytes that are UTF-8 when they can be (an interface name); others as Latin-1.
std::string LabelValueFromBytes(const std::string& bytes);

class WatchTextfile {
public:
    explicit WatchTextfile(std::string path) : path_(std::move(path)) {}

    // After every discovery, completed or failed, with what `known` holds after it and the Unix
    // time `now`. A write that fails is said on `err` after `time`; the next discovery tries
    // again.
    void Update(const fleet::ChangeDetector& known, const fleet::DiscoveryRun& run, double now,
                const std::string& time, std::ostream& err);

    // The file's text after the last Update.
    const std::string& text() const { return text_; }

private:
    std::string path_;
    long long discoveries_ = 0;
    std::map<std::string, double> lastSeen_;  // by MAC, the access points still known
    std::string text_;
};

}  // namespace apctl
