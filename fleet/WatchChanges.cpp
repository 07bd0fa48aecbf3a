#include "fleet/WatchChanges.h"

#include <set>

#include "discovery/FieldText.h"

namespace fleet {

std::vector<Change> ChangeDetector::Compare(const std::vector<DeviceRecord>& records) {
    std::vector<Change> changes;
    static const std::vector<const RecordField*> watched = WatchedFields();
    std::set<std::string> present;
    for (const DeviceRecord& record : records) {
        const std::string mac = FieldText(record.macText);
        present.insert(mac);
        const auto found = known_.find(mac);
        if (found == known_.end()) {
            changes.push_back({Change::Kind::kAppeared, mac, record, nullptr, {}, {}});
            known_.emplace(mac, Known{record, 0});
            continue;
        }
        for (const RecordField* field : watched) {
            std::string before = field->value(found->second.record);
            std::string after = field->value(record);
            if (before != after) {
                changes.push_back(
                    {Change::Kind::kChanged, mac, record, field, std::move(before), std::move(after)});
            }
        }
        found->second = Known{record, 0};
    }
    for (auto it = known_.begin(); it != known_.end();) {
        if (present.count(it->first) == 0 && ++it->second.absences >= kAbsencesBeforeGone) {
            changes.push_back({Change::Kind::kGone, it->first, it->second.record, nullptr, {}, {}});
            it = known_.erase(it);
        } else {
            ++it;
        }
    }
    return changes;
}

}  // namespace fleet
