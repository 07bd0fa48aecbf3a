// watch_soak: a long watch, and whether it holds on to anything.
//
// Runs apctl watch for 500 discoveries (--parallel, two networks of 25 access points each) on
// the fake network's virtual time, the fleet changing between discoveries so that every kind of
// line is printed: each access point misses one discovery in eleven (a lost reply), one is away
// for three discoveries in every fifty (gone, then back), one is renamed every twenty. Prints
// the resident memory, the heap in use and the open descriptors after the first discovery and
// after the last, and the lines printed.
//
// The fake network keeps a record of every datagram it carried and of every socket it opened;
// that record grows with the run by itself and is printed too, so that the watch's own share
// can be told apart.

#include <dirent.h>
#include <malloc.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <streambuf>
#include <string>
#include <vector>

#include "discovery/DiscoverDevices.h"
#include "net/FakeNetwork.h"
#include "tools/apctl/Watch.h"

namespace {

constexpr int kDiscoveries = 500;
constexpr int kPerNetwork = 25;

struct Usage {
    long residentKiB = 0;
    std::size_t heapBytes = 0;
    int descriptors = 0;
};

Usage Measure() {
    Usage usage;
    std::ifstream statm("/proc/self/statm");
    long pages = 0;
    long resident = 0;
    statm >> pages >> resident;
    usage.residentKiB = resident * (sysconf(_SC_PAGESIZE) / 1024);
    usage.heapBytes = mallinfo2().uordblks;
    if (DIR* fds = opendir("/proc/self/fd")) {
        while (const dirent* entry = readdir(fds)) {
            usage.descriptors += entry->d_name[0] != '.' ? 1 : 0;
        }
        closedir(fds);
        --usage.descriptors;  // the directory's own
    }
    return usage;
}

// Standard output that counts the lines and keeps nothing.
class CountingOutput final : public std::streambuf {
public:
    long lines() const { return lines_; }

protected:
    int_type overflow(int_type ch) override {
        lines_ += ch == '\n' ? 1 : 0;
        return traits_type::not_eof(ch);
    }
    std::streamsize xsputn(const char* data, std::streamsize count) override {
        for (std::streamsize i = 0; i < count; ++i) {
            lines_ += data[i] == '\n' ? 1 : 0;
        }
        return count;
    }

private:
    long lines_ = 0;
};

struct Slot {
    std::unique_ptr<sim::AccessPoint> model;
    bool present = true;
};

sim::AccessPointSettings Numbered(int n, const std::string& name, std::uint32_t address) {
    sim::AccessPointSettings settings;
    settings.name = name;
    settings.mac = {0x02,
                    0x5A,
                    0x00,
                    0x00,
                    static_cast<std::uint8_t>(n >> 8),
                    static_cast<std::uint8_t>(n & 0xFF)};
    settings.address = address;
    settings.firmware = {0x01, 0x02};
    settings.wirelessMode = 3;
    return settings;
}

// The fleet on two networks of the fake network, each access point behind a switch.
// `onRequest`, when given, hears every request first.
std::vector<std::unique_ptr<Slot>> BuildFleet(net::FakeNetwork& network,
                                              std::function<void()> onRequest = {}) {
    const int lans[] = {network.AddInterface("lan0", "10.0.0.200"),
                        network.AddInterface("lan1", "192.168.1.200")};
    for (const int lan : lans) {
        if (onRequest) {
            network.AddResponder(lan,
                                 [onRequest](const net::FakeNetwork::SentDatagram&, std::int64_t) {
                                     onRequest();
                                     return std::vector<net::FakeNetwork::Delivery>{};
                                 });
        }
    }
    std::vector<std::unique_ptr<Slot>> slots;
    for (int n = 0; n < 2 * kPerNetwork; ++n) {
        auto slot = std::make_unique<Slot>();
        const std::uint32_t address = net::AddressFromText(
            (n < kPerNetwork ? "10.0.0." : "192.168.1.") + std::to_string(10 + n % kPerNetwork));
        slot->model =
            std::make_unique<sim::AccessPoint>(Numbered(n, "AP-" + std::to_string(n), address));
        Slot* raw = slot.get();
        network.AddResponder(
            lans[n / kPerNetwork],
            [raw](const net::FakeNetwork::SentDatagram& request, std::int64_t nowMs) {
                std::vector<net::FakeNetwork::Delivery> deliveries;
                if (!raw->present || request.port != sim::kPort) {
                    return deliveries;
                }
                for (sim::Reply& reply : raw->model->HandleDatagram(request.bytes.data(),
                                                                    request.bytes.size(), nowMs)) {
                    deliveries.push_back({reply.delayMs, reply.source, std::move(reply.bytes)});
                }
                return deliveries;
            });
        slots.push_back(std::move(slot));
    }
    return slots;
}

// The same number of bare discoveries on a fleet of its own: how much the fake network's record
// and the discoveries themselves take, without the watch.
std::size_t BareDiscoveriesHeapGrowth() {
    net::FakeNetwork network;
    net::ScopedSocketLayer installed(&network);
    const std::vector<std::unique_ptr<Slot>> slots = BuildFleet(network);
    DeviceTablePtr table = AllocateDeviceTable();
    ExchangeOptions options;
    options.parallel = true;
    std::size_t first = 0;
    for (int round = 1; round <= kDiscoveries; ++round) {
        int count = 0;
        DiscoverDevicesWith(options, table.get(), &count);
        if (round == 1) {
            first = Measure().heapBytes;
        }
    }
    return Measure().heapBytes - first;
}

}  // namespace

int main() {
    net::FakeNetwork network;
    net::ScopedSocketLayer installed(&network);
    std::atomic<bool> stop{false};
    Usage first;
    Usage last;
    std::vector<std::unique_ptr<Slot>> slots;
    // The fleet changes between discoveries, driven through the network itself: the first
    // request of a discovery (three on each of the two networks) tells that the one before it has
    // been compared.
    int requests = 0;
    const auto between = [&](int round) {
        if (round == 1) {
            first = Measure();  // nothing of the network here: it calls this holding its lock
        }
        if (round == kDiscoveries) {
            last = Measure();
            stop.store(true);
            return;
        }
        for (std::size_t i = 0; i < slots.size(); ++i) {
            slots[i]->present = (round + static_cast<int>(i)) % 11 != 0;
        }
        slots[0]->present = round % 50 < 47;
        if (round % 20 == 0) {
            slots[1]->model = std::make_unique<sim::AccessPoint>(
                Numbered(1, "AP-1-" + std::to_string(round), slots[1]->model->CurrentAddress()));
        }
    };
    slots = BuildFleet(network, [&] {
        constexpr int kRequestsPerDiscovery = 6;
        if (++requests > 1 && (requests - 1) % kRequestsPerDiscovery == 0) {
            between((requests - 1) / kRequestsPerDiscovery);
        }
    });

    apctl::Command command;
    std::string error;
    if (!apctl::ParseCommandLine({"watch", "--parallel"}, &command, &error)) {
        std::fprintf(stderr, "watch_soak: %s\n", error.c_str());
        return 1;
    }
    CountingOutput counted;
    std::ostream out(&counted);
    std::ostringstream diagnostics;
    const auto began = std::chrono::steady_clock::now();
    const int status =
        apctl::Watch(command, fleet::Session{{}, false, true, &stop}, out, diagnostics);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
    const int openAtEnd = network.openSockets();
    // The sockets opened after the first discovery's six requests.
    int socketsAfterFirst = 0;
    for (const auto& before : network.CallCountsAtOpen()) {
        const auto sends = before.find(net::FakeNetwork::Call::kSend);
        socketsAfterFirst += sends != before.end() && sends->second >= 6 ? 1 : 0;
    }
    const std::size_t bareGrowth = BareDiscoveriesHeapGrowth();
    const auto watchGrowth = static_cast<long>(last.heapBytes - first.heapBytes);

    std::printf(
        "watch_soak: %d discoveries (--parallel, 2 networks, %d access points) in %.1f s "
        "of real time, %.1f h of virtual time; exit %d, %ld lines printed\n",
        kDiscoveries, 2 * kPerNetwork, seconds, static_cast<double>(network.NowMs()) / 3.6e6,
        status, counted.lines());
    std::printf("%-26s %12s %12s\n", "", "after #1", "after #500");
    std::printf("%-26s %12ld %12ld\n", "resident memory KiB", first.residentKiB, last.residentKiB);
    std::printf("%-26s %12d %12d\n", "open descriptors", first.descriptors, last.descriptors);
    std::printf("%-26s %12zu %12zu\n", "heap in use bytes", first.heapBytes, last.heapBytes);
    std::printf("%-26s %12d %12d\n", "sockets open", 0, openAtEnd);
    std::printf(
        "heap growth over the %d discoveries after the first: %ld bytes; the same number\n"
        "of bare discoveries (no watch) on the fake network, which keeps a record of\n"
        "every datagram and socket (%d sockets here): %zu bytes; the watch's own share:\n"
        "%ld bytes\n",
        kDiscoveries - 1, watchGrowth, socketsAfterFirst, bareGrowth,
        watchGrowth - static_cast<long>(bareGrowth));
    if (!diagnostics.str().empty()) {
        std::printf("diagnostics:\n%s", diagnostics.str().c_str());
    }
    return status == 0 && openAtEnd == 0 && last.descriptors == first.descriptors ? 0 : 1;
}
