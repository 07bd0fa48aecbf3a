#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

#include "discovery/DeviceRecord.h"
#include "fleet/RecordFields.h"

// What changed in the fleet from one discovery to the next.
namespace fleet {

// An access point missing from this many discoveries in a row is gone; one lost reply is not.
inline constexpr int kAbsencesBeforeGone = 2;

struct Change {
    enum class Kind { kAppeared, kChanged, kGone };
    Kind kind = Kind::kAppeared;
    std::string macText;
    DeviceRecord record{};  // appeared: as seen now; gone: as last seen
    const RecordField* field = nullptr;  // changed only
    std::string before, after;
};

// Two lists compared once, as `apctl diff` compares two saved discoveries: in MAC order, each
// access point appeared (only in `after`), gone (only in `before`: one absence is enough here) or
// changed, with the fields compared exactly as a watch compares them. Each list holds a MAC once.
std::vector<Change> CompareOnce(const std::vector<DeviceRecord>& before,
                                const std::vector<DeviceRecord>& after);

class ChangeDetector {
public:
    // The changes since the last completed discovery, in the order of `records` (name order),
    // then the ones gone in MAC order; what is known is updated.
    std::vector<Change> Compare(const std::vector<DeviceRecord>& records);
    // The same, but an access point last seen through a local address not in `reached` (dotted
    // text: the networks whose exchange completed) is not counted absent: a network that was
    // lost or failed saw nobody, which is no absence of anybody.
    std::vector<Change> Compare(const std::vector<DeviceRecord>& records,
                                const std::set<std::string>& reached);

    struct Known {
        DeviceRecord record;  // as last seen
        int absences = 0;     // discoveries in a row that did not see it
    };
    // By MAC, every access point not yet gone: what the next Compare compares with.
    const std::map<std::string, Known>& known() const { return known_; }

private:
    std::map<std::string, Known> known_;
};

}  // namespace fleet
