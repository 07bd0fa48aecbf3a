#include "fleet/WatchChanges.h"

#include <set>

#include "discovery/FieldText.h"

namespace fleet {

namespace {

// The one comparison of two records of an access point: its watched fields, in watch's order.
void AppendFieldChanges(const std::string& mac, const DeviceRecord& before,
                        const DeviceRecord& after, std::vector<Change>* changes) {
    static const std::vector<const RecordField*> watched = WatchedFields();
    for (const RecordField* field : watched) {
        std::string old = field->value(before);
        std::string now = field->value(after);
        if (old != now) {
            changes->push_back(
                {Change::Kind::kChanged, mac, after, field, std::move(old), std::move(now)});
        }
    }
}

std::map<std::string, const DeviceRecord*> ByMac(const std::vector<DeviceRecord>& records) {
    std::map<std::string, const DeviceRecord*> byMac;
    for (const DeviceRecord& record : records) {
        byMac.emplace(FieldText(record.macText), &record);
    }
    return byMac;
}

}  // namespace

std::vector<Change> CompareOnce(const std::vector<DeviceRecord>& before,
                                const std::vector<DeviceRecord>& after) {
    const auto old = ByMac(before);
    const auto now = ByMac(after);
    std::vector<Change> changes;
    auto o = old.begin();
    auto n = now.begin();
    while (o != old.end() || n != now.end()) {
        if (n == now.end() || (o != old.end() && o->first < n->first)) {
            changes.push_back({Change::Kind::kGone, o->first, *o->second, nullptr, {}, {}});
            ++o;
        } else if (o == old.end() || n->first < o->first) {
            changes.push_back({Change::Kind::kAppeared, n->first, *n->second, nullptr, {}, {}});
            ++n;
        } else {
            AppendFieldChanges(n->first, *o->second, *n->second, &changes);
            ++o;
            ++n;
        }
    }
    return changes;
}

std::vector<Change> ChangeDetector::Compare(const std::vector<DeviceRecord>& records) {
    std::set<std::string> everywhere;
    for (const auto& [mac, entry] : known_) {
        everywhere.insert(FieldText(entry.record.localAddress));
    }
    return Compare(records, everywhere);
}

std::vector<Change> ChangeDetector::Compare(const std::vector<DeviceRecord>& records,
                                            const std::set<std::string>& reached) {
    std::vector<Change> changes;
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
        AppendFieldChanges(mac, found->second.record, record, &changes);
        found->second = Known{record, 0};
    }
    for (auto it = known_.begin(); it != known_.end();) {
        const bool missed = present.count(it->first) == 0 &&
                            reached.count(FieldText(it->second.record.localAddress)) != 0;
        if (missed && ++it->second.absences >= kAbsencesBeforeGone) {
            changes.push_back({Change::Kind::kGone, it->first, it->second.record, nullptr, {}, {}});
            it = known_.erase(it);
        } else {
            ++it;
        }
    }
    return changes;
}

}  // namespace fleet
