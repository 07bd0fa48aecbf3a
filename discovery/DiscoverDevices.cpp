#include "discovery/DiscoverDevices.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <mutex>
#include <new>
#include <string>
#include <unordered_set>
#include <utility>

#include "discovery/BroadcastDiscovery.h"

namespace {

// The merged table outlives every call and is shared by whoever discovers: the window's worker,
// a tool's parallel exchanges, the cleanup at exit. One lock keeps them from meeting in it; it is
// held only while the table itself is touched, never across an exchange.
std::mutex g_mergedMutex;
DeviceTablePtr g_mergedTable;
int g_mergedCount = 0;

// Makes sure the merged table exists before any request is sent; false when memory ran out.
bool HoldMergedTable() {
    std::lock_guard<std::mutex> lock(g_mergedMutex);
    if (!g_mergedTable) {
        g_mergedTable = AllocateDeviceTable();
    }
    return g_mergedTable != nullptr;
}

// Byte-wise as unsigned values, at most the field's 16 bytes, stopping at the first zero byte:
// every upper-case letter sorts before every lower-case one.
bool NameGreater(const DeviceRecord& a, const DeviceRecord& b) {
    for (std::size_t i = 0; i < sizeof a.name; ++i) {
        const auto left = static_cast<unsigned char>(a.name[i]);
        const auto right = static_cast<unsigned char>(b.name[i]);
        if (left != right) {
            return left > right;
        }
        if (left == 0) {
            return false;
        }
    }
    return false;
}

// The first accepted reply of each MAC, kept as it comes; the repeats (each access point answers
// every copy of the request) cost nothing. Memory that runs out marks the whole discovery as
// failed (the lists of a parallel exchange share the mark) rather than throwing through an
// exchange's thread.
class RecordList final : public ReplySink {
public:
    RecordList(std::vector<DeviceRecord>* records, std::atomic<bool>* failed)
        : records_(records), failed_(failed) {}

    void Add(const DeviceRecord& record) override {
        if (failed_->load()) {
            return;
        }
        try {
            if (held_.insert(std::string(record.macText, FieldTextLength(record.macText))).second) {
                records_->push_back(record);
            }
        } catch (const std::bad_alloc&) {
            failed_->store(true);
        }
    }

    std::unique_ptr<ReplySink> Fresh() const override {
        auto fresh = std::unique_ptr<RecordList>(new (std::nothrow) RecordList(nullptr, failed_));
        if (fresh) {
            fresh->records_ = &fresh->owned_;
        }
        return fresh;
    }

    void ReplayInto(ReplySink& target) const override {
        for (const DeviceRecord& record : *records_) {
            target.Add(record);
        }
    }

private:
    std::vector<DeviceRecord> owned_;  // a parallel exchange's list for one address
    std::vector<DeviceRecord>* records_;
    std::unordered_set<std::string> held_;
    std::atomic<bool>* failed_;
};

// Appends to the merged table each reply record whose MAC it does not hold yet. The caller holds
// the merged table's lock.
void MergeUniqueByMac(const DeviceTable* replyTable, int replyCount) {
    for (int r = 0; r < replyCount; ++r) {
        const DeviceRecord& reply = replyTable->records[r];
        bool held = false;
        for (int m = 0; m < g_mergedCount && !held; ++m) {
            held = SameMacText(g_mergedTable->records[m], reply);
        }
        if (!held && g_mergedCount < kDeviceTableCapacity) {
            g_mergedTable->records[g_mergedCount++] = reply;
        }
    }
}

}  // namespace

int DiscoverAll(const ExchangeOptions& options, std::vector<DeviceRecord>* records,
                const std::atomic<bool>* cancel, ExchangeReport* report) {
    records->clear();
    std::atomic<bool> outOfMemory{false};
    // A parallel exchange's lists are taken in address order, so the first record of a MAC is
    // the earliest network's, as one network after the other would give.
    RecordList list(records, &outOfMemory);
    const int completed = BroadcastDiscoveryInto(options, &list, cancel, report);
    if (completed == 0 || outOfMemory.load()) {
        records->clear();
        return 0;
    }
    std::stable_sort(
        records->begin(), records->end(),
        [](const DeviceRecord& a, const DeviceRecord& b) { return NameGreater(b, a); });
    return 1;
}

void SortByName(DeviceTable* table, int count) {
    if (count < 2) {
        return;
    }
    bool exchanged = true;
    while (exchanged) {
        exchanged = false;
        for (int i = 0; i + 1 < count; ++i) {
            if (NameGreater(table->records[i], table->records[i + 1])) {
                std::swap(table->records[i], table->records[i + 1]);
                exchanged = true;
            }
        }
    }
}

int DiscoverDevicesWith(const ExchangeOptions& options, DeviceTable* table, int* count,
                        const std::atomic<bool>* cancel, ExchangeReport* report) {
    // Without memory for either table no request is sent: the outcome is an empty result.
    DeviceTablePtr replyTable = AllocateDeviceTable();
    if (!replyTable || !HoldMergedTable()) {
        *count = 0;
        return 0;
    }
    // The exchange runs unlocked (it can last 20 s per address): discoveries from other threads
    // and the cleanup at exit must not wait for it.
    int replyCount = 0;
    const int completed =
        BroadcastDiscoveryWith(options, replyTable.get(), &replyCount, cancel, report);

    std::lock_guard<std::mutex> lock(g_mergedMutex);
    // A cleanup during the exchange released the table: take a fresh one, as a later
    // discovery would.
    if (!g_mergedTable) {
        g_mergedTable = AllocateDeviceTable();
        if (!g_mergedTable) {
            *count = 0;
            return 0;
        }
    }
    std::memset(g_mergedTable.get(), 0, sizeof(DeviceTable));
    g_mergedCount = 0;
    MergeUniqueByMac(replyTable.get(), replyCount);
    SortByName(g_mergedTable.get(), g_mergedCount);
    std::memcpy(table->records, g_mergedTable->records,
                static_cast<std::size_t>(g_mergedCount) * sizeof(DeviceRecord));
    *count = g_mergedCount;
    return completed;
}

int DiscoverDevices(DeviceTable* table, int* count) {
    DiscoverDevicesWith(ExchangeOptions{}, table, count);
    return 0;
}

void ReleaseMergedTable() noexcept {
    std::lock_guard<std::mutex> lock(g_mergedMutex);
    g_mergedTable.reset();
    g_mergedCount = 0;
}
