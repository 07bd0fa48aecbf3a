#include "tests/gui/TestNetwork.h"

#include <algorithm>
#include <cstdlib>
#include <mutex>

#include "discovery/DeviceRecord.h"
#include "sim/AccessPointModel.h"

namespace {

sim::AccessPointSettings SettingsOf(const TestAccessPoint& accessPoint) {
    sim::AccessPointSettings settings;
    settings.name = accessPoint.name;
    settings.mac = {0x00, 0x02, 0xB3, 0x00, 0x00, accessPoint.macTail};
    settings.address = net::AddressFromText(accessPoint.address);
    settings.description = accessPoint.description;
    settings.firmware = {accessPoint.firmwareHigh, accessPoint.firmwareLow};
    settings.wirelessMode = accessPoint.wirelessMode;
    settings.ssidBg = accessPoint.ssidBg;
    settings.channelBg = accessPoint.channelBg;
    settings.ssidA = accessPoint.ssidA;
    settings.channelA = accessPoint.channelA;
    settings.acknowledgeConfiguration = accessPoint.acknowledgeConfiguration;
    settings.acknowledgeReset = accessPoint.acknowledgeReset;
    settings.silentAfterResetMs = accessPoint.silentAfterResetMs;
    return settings;
}

}  // namespace

sim::AccessPoint& TestNetwork::Add(int interfaceIndex, const TestAccessPoint& accessPoint) {
    return network_.AddAccessPoint(interfaceIndex, SettingsOf(accessPoint));
}

std::shared_ptr<bool> TestNetwork::AddSwitchable(int interfaceIndex,
                                                 const TestAccessPoint& accessPoint) {
    auto on = std::make_shared<bool>(true);
    auto model = std::make_shared<sim::AccessPoint>(SettingsOf(accessPoint));
    network_.AddResponder(interfaceIndex, [on, model](const net::FakeNetwork::SentDatagram& sent,
                                                      std::int64_t nowMs) {
        std::vector<net::FakeNetwork::Delivery> deliveries;
        if (!*on || sent.port != sim::kPort) {
            return deliveries;
        }
        for (sim::Reply& reply :
             model->HandleDatagram(sent.bytes.data(), sent.bytes.size(), nowMs)) {
            deliveries.push_back({reply.delayMs, reply.source, std::move(reply.bytes)});
        }
        return deliveries;
    });
    return on;
}

namespace {

std::mutex g_mutex;
std::vector<const void*> g_releases;
std::vector<const void*> g_held;
bool g_failAllocations = false;
std::size_t g_allocations = 0;

void* Allocate(std::size_t bytes) {
    std::lock_guard<std::mutex> lock(g_mutex);
    if (g_failAllocations) {
        return nullptr;
    }
    ++g_allocations;
    void* block = std::calloc(1, bytes);
    if (block != nullptr) {
        g_held.push_back(block);
    }
    return block;
}

void Release(void* block) {
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        g_releases.push_back(block);
        g_held.erase(std::remove(g_held.begin(), g_held.end(), block), g_held.end());
    }
    std::free(block);
}

}  // namespace

TableLedger::TableLedger() {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_releases.clear();
    g_held.clear();
    g_allocations = 0;
    g_failAllocations = false;
    SetDeviceTableAllocator(&Allocate);
    SetDeviceTableReleaser(&Release);
}

TableLedger::~TableLedger() {
    SetDeviceTableAllocator(nullptr);
    SetDeviceTableReleaser(nullptr);
    std::lock_guard<std::mutex> lock(g_mutex);
    g_failAllocations = false;
}

int TableLedger::ReleasesOf(const void* table, std::size_t since) const {
    int count = 0;
    for (const void* released : ReleasesSince(since)) {
        count += released == table ? 1 : 0;
    }
    return count;
}

std::size_t TableLedger::AllocationCount() const {
    std::lock_guard<std::mutex> lock(g_mutex);
    return g_allocations;
}

std::size_t TableLedger::ReleaseCount() const {
    std::lock_guard<std::mutex> lock(g_mutex);
    return g_releases.size();
}

std::vector<const void*> TableLedger::ReleasesSince(std::size_t since) const {
    std::lock_guard<std::mutex> lock(g_mutex);
    if (since >= g_releases.size()) {
        return {};
    }
    return std::vector<const void*>(g_releases.begin() + static_cast<std::ptrdiff_t>(since),
                                    g_releases.end());
}

std::vector<const void*> TableLedger::Held() {
    std::lock_guard<std::mutex> lock(g_mutex);
    return g_held;
}

void TableLedger::FailAllocations(bool fail) {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_failAllocations = fail;
}
