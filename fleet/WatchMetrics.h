#pragma once

#include <string>

#include "fleet/Watch.h"

// What a watch knows, in the Prometheus text exposition format (0.0.4), for node_exporter's
// textfile collector.
namespace fleet {

// The whole file for `state`, `version` being the program's. The last line is the last
// discovery's time, so that a reader that finds it knows it has the whole text.
std::string MetricsText(const WatchState& state, const std::string& version);

// A label value: the text as UTF-8 (an access point's single bytes read as Latin-1), with the
// backslash, the double quote and the line feed escaped as the format wants. Other control
// characters become U+FFFD: the format would take them, but a carriage return or a C1 control
// ends the line for many a reader that is not Prometheus.
std::string LabelValueFromLatin1(const std::string& bytes);
// The same for bytes that are UTF-8 when they can be (an interface name); others as Latin-1.
std::string LabelValueFromBytes(const std::string& bytes);

}  // namespace fleet
