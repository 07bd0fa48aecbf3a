#include "discovery/DeviceRecord.h"

#include <atomic>
#include <cstdlib>
#include <cstring>

namespace {

void* DefaultAllocate(std::size_t bytes) {
    return std::calloc(1, bytes);
}

void DefaultRelease(void* block) {
    std::free(block);
}

std::atomic<DeviceTableAllocator> g_allocator{&DefaultAllocate};
std::atomic<DeviceTableReleaser> g_releaser{&DefaultRelease};

}  // namespace

void DeviceTableDeleter::operator()(DeviceTable* table) const noexcept {
    g_releaser.load()(table);
}

DeviceTablePtr AllocateDeviceTable() noexcept {
    void* block = g_allocator.load()(sizeof(DeviceTable));
    return DeviceTablePtr(static_cast<DeviceTable*>(block));
}

void SetDeviceTableAllocator(DeviceTableAllocator allocator) noexcept {
    g_allocator.store(allocator != nullptr ? allocator : &DefaultAllocate);
}

void SetDeviceTableReleaser(DeviceTableReleaser releaser) noexcept {
    g_releaser.store(releaser != nullptr ? releaser : &DefaultRelease);
}

const char* WirelessModeText(std::uint16_t wirelessMode) noexcept {
    static constexpr const char* kTexts[] = {"802.11b", "802.11b",   "802.11g",   "802.11b/g",
                                             "802.11a", "802.11a/b", "802.11a/g", "802.11a/b/g"};
    return wirelessMode < 8 ? kTexts[wirelessMode] : "";
}

bool SameMacText(const DeviceRecord& a, const DeviceRecord& b) noexcept {
    return std::strncmp(a.macText, b.macText, sizeof a.macText) == 0;
}
