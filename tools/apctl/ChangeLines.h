#pragma once

#include <ostream>
#include <string>

#include "fleet/WatchChanges.h"

// The lines watch and diff print for a change: "+", "-" and "~ field old -> new" for a person,
// or one JSON object per line.
namespace apctl {

struct ChangeLineForm {
    bool json = false;
    // The time in front of each line and under "time"; empty: neither a column nor the key.
    std::string time;
    // What a gone line says of the absence: "absent from 2 discoveries".
    std::string goneReason;
    // "~" lines name the access point after its MAC, from the change's record (diff fills it in
    // with the access point as it is now): two files compared have no "+" line before them that
    // says which one the MAC is.
    bool namedChanges = false;
};

// One line, flushed at once: whoever reads a watch reads it as it happens.
void PrintChange(const fleet::Change& change, const ChangeLineForm& form, std::ostream& out);

}  // namespace apctl
