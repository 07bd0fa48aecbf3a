#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "net/FakeNetwork.h"
#include "sim/AccessPointModel.h"

// A fake network installed as the socket layer for the length of one test, with checks that
// every exchange left no socket open and no worker running.
class NetworkTest : public ::testing::Test {
public:
    void ExpectCleanShutdown() {
        EXPECT_EQ(network_.openSockets(), 0) << "a socket was left open";
        EXPECT_EQ(network_.doubleCloses(), 0) << "a socket was closed twice";
        EXPECT_EQ(network_.workersStarted(), network_.workersJoined()) << "a worker was not joined";
        EXPECT_EQ(network_.sendsOnClosedSockets(), 0) << "a worker sent on a closed socket";
    }

    // An access point that reports every field, on the given address.
    static sim::AccessPointSettings MakeAccessPoint(const std::string& name, std::uint8_t macTail,
                                                    const std::string& address) {
        sim::AccessPointSettings settings;
        settings.name = name;
        settings.mac = {0x00, 0x0A, 0x1B, 0x2C, 0x3D, macTail};
        settings.address = net::AddressFromText(address);
        settings.description = name + " description";
        settings.firmware = {0x01, 0x0B};
        settings.ssidBg = name + "-bg";
        settings.channelBg = 6;
        settings.ssidA = name + "-a";
        settings.channelA = 36;
        settings.wirelessMode = 7;
        return settings;
    }

    // A responder that answers every datagram with the given raw bytes.
    static net::FakeNetwork::Responder Answer(std::vector<std::uint8_t> bytes,
                                              const std::string& source, int delayMs = 0) {
        const std::uint32_t from = net::AddressFromText(source);
        return [bytes, from, delayMs](const net::FakeNetwork::SentDatagram&, std::int64_t) {
            return std::vector<net::FakeNetwork::Delivery>{{delayMs, from, bytes}};
        };
    }

protected:
    NetworkTest() : installed_(&network_) {}

    net::FakeNetwork network_;

private:
    net::ScopedSocketLayer installed_;
};
