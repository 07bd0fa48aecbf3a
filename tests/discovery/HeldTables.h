#pragma once

#include <algorithm>
#include <cstdlib>
#include <mutex>
#include <vector>

#include "discovery/DeviceRecord.h"

// While it lives, keeps track of every device table allocated and not yet released, from any
// thread. Discovery's merged table has no accessor: a test finds it here, as the one table that
// stays held between discoveries.
class HeldTables {
public:
    HeldTables() {
        SetDeviceTableAllocator(&Allocate);
        SetDeviceTableReleaser(&Release);
    }
    ~HeldTables() {
        SetDeviceTableAllocator(nullptr);
        SetDeviceTableReleaser(nullptr);
        std::lock_guard<std::mutex> lock(mutex_);
        held_.clear();
    }
    HeldTables(const HeldTables&) = delete;
    HeldTables& operator=(const HeldTables&) = delete;

    // In the order of their allocation.
    std::vector<const DeviceTable*> Held() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return held_;
    }

private:
    static void* Allocate(std::size_t bytes) {
        void* block = std::calloc(1, bytes);
        if (block != nullptr) {
            std::lock_guard<std::mutex> lock(mutex_);
            held_.push_back(static_cast<const DeviceTable*>(block));
        }
        return block;
    }
    static void Release(void* block) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            held_.erase(std::remove(held_.begin(), held_.end(), block), held_.end());
        }
        std::free(block);
    }

    static inline std::mutex mutex_;
    static inline std::vector<const DeviceTable*> held_;
};
