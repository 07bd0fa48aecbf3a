#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "net/FakeNetwork.h"
#include "net/SocketLayer.h"

// One simulated access point as a test describes it.
struct TestAccessPoint {
    std::string name;
    std::string address;
    std::uint8_t macTail = 1;  // last byte of 00:02:B3:00:00:xx
    std::uint16_t wirelessMode = 3;
    std::string description = "lab access point";
    std::uint8_t firmwareHigh = 0x01;
    std::uint8_t firmwareLow = 0x10;
    std::string ssidBg = "lab";
    std::uint16_t channelBg = 6;
    std::string ssidA{};
    std::uint16_t channelA = 0;
    bool acknowledgeConfiguration = true;
    bool acknowledgeReset = true;
    int silentAfterResetMs = 2000;
};

// The in-process fake network, installed as the socket layer for the life of the object.
class TestNetwork {
public:
    TestNetwork() : layer_(&network_) {}

    int AddInterface(const std::string& address) {
        return network_.AddInterface("eth" + std::to_string(interfaces_++), address);
    }
    sim::AccessPoint& Add(int interfaceIndex, const TestAccessPoint& accessPoint);
    // An access point that answers only while the returned switch is on.
    std::shared_ptr<bool> AddSwitchable(int interfaceIndex, const TestAccessPoint& accessPoint);
    int Sends() const { return network_.CallCount(net::FakeNetwork::Call::kSend); }
    net::FakeNetwork& fake() { return network_; }

private:
    net::FakeNetwork network_;
    net::ScopedSocketLayer layer_;
    int interfaces_ = 0;
};

// Records every device table allocated and released while it lives.
class TableLedger {
public:
    TableLedger();
    ~TableLedger();
    TableLedger(const TableLedger&) = delete;
    TableLedger& operator=(const TableLedger&) = delete;

    // How often `table` was released since release number `since`.
    int ReleasesOf(const void* table, std::size_t since = 0) const;
    std::size_t ReleaseCount() const;
    std::size_t AllocationCount() const;
    // The releases in order since number `since`.
    std::vector<const void*> ReleasesSince(std::size_t since) const;
    // The tables allocated since the ledger began and not released yet, in allocation order.
    // Between discoveries these are the shown table and discovery's merged table.
    static std::vector<const void*> Held();
    // While set, every allocation fails.
    static void FailAllocations(bool fail);
};
