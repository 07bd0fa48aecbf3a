#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "discovery/DeviceRecord.h"
#include "tools/apctl/ApctlCommand.h"

namespace apctl {

// The records of a saved `discover --json` output, texts back in their single bytes. False with
// what is wrong (no file name) when the text is not such an output.
bool ReadDiscoveryJson(const std::string& text, std::vector<DeviceRecord>* records,
                       std::string* error);

// apctl diff OLD NEW: exit 0 nothing changed, 1 something did, 2 a file that cannot be read or
// is not a saved discovery. Sends nothing.
int Diff(const Command& command, std::ostream& out, std::ostream& err);

}  // namespace apctl
