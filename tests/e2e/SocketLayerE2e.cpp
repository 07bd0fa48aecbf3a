// The real socket layer in the lab: where requests leave from, which replies are taken, and what
// happens when the interfaces change under a running exchange. Run by socket_layer_e2e.py in a
// lab of its own (tests/e2e/fleets/socket-layer.json), once as is and again with FaultShim
// preloaded; anywhere else the program refuses to start, since it broadcasts on every interface
// it sees.
//
// The test plays access points of its own next to apsim: a probe is a socket made inside a
// network's access point namespace, bound to port 34442 beside apsim's, that sees every request
// broadcast on that network and sends datagrams from any address there.

#include <arpa/inet.h>
#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <net/if.h>
#include <netinet/in.h>
#include <poll.h>
#include <sched.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <future>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "config/ConfigExchange.h"
#include "discovery/BroadcastDiscovery.h"
#include "net/Datagram.h"
#include "net/PosixSocketLayer.h"
#include "tools/apctl/ApctlRun.h"
#include "tools/apsim/LabNamespace.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using namespace std::chrono_literals;

std::string g_labId;
bool g_bindingRefused = false;
std::string g_vanishedInterface;

constexpr std::uint16_t kPort = 34442;
constexpr char kLan0Host[] = "10.0.0.200";
constexpr char kLan1Host[] = "192.168.1.200";

std::uint32_t Address(const char* text) {
    in_addr address{};
    inet_pton(AF_INET, text, &address);
    return address.s_addr;
}

std::string Text(std::uint32_t address) {
    char text[INET_ADDRSTRLEN] = {};
    in_addr value{};
    value.s_addr = address;
    inet_ntop(AF_INET, &value, text, sizeof text);
    return text;
}

// A discovery reply written from the protocol tables: status 0, a name and a MAC element.
Bytes DiscoveryReply(const std::string& name, std::uint8_t macTail) {
    Bytes frame = {0x41, 0x0D, 0x00, 0x00,
                   0x00, 0x01, 0x00, static_cast<std::uint8_t>(3 + name.size())};
    for (const char c : name) {
        frame.push_back(static_cast<std::uint8_t>(c));
    }
    for (const int byte : {0x02, 0x00, 0x09, 0x02, 0xEE, 0x00, 0x00, 0x00}) {
        frame.push_back(static_cast<std::uint8_t>(byte));
    }
    frame.push_back(macTail);
    frame[3] = static_cast<std::uint8_t>(frame.size() - 5);
    return frame;
}

const Bytes kAcknowledgement = {0x41, 0x0D, 0x00};

int OpenDescriptors() {
    int count = 0;
    if (DIR* directory = opendir("/proc/self/fd")) {
        while (const dirent* entry = readdir(directory)) {
            count += entry->d_name[0] != '.' ? 1 : 0;
        }
        closedir(directory);
    }
    return count;
}

int Shell(const std::string& command) {
    const int status = std::system(command.c_str());
    if (status != 0) {
        ADD_FAILURE() << "command failed (" << status << "): " << command;
    }
    return status;
}

struct Seen {
    std::uint32_t source = 0;
    std::uint16_t sourcePort = 0;
    int interfaceIndex = 0;
    Bytes bytes;
};

// A socket in the access point namespace of one of the lab's networks.
class Probe {
public:
    explicit Probe(const std::string& network) {
        const std::string path = "/run/netns/apmlab-" + g_labId + "-" + network;
        // A socket belongs to the namespace it was made in; the thread that makes it enters that
        // namespace and ends there, so this process stays where it is.
        std::thread maker([this, &path] {
            const int space = open(path.c_str(), O_RDONLY | O_CLOEXEC);
            if (space >= 0 && setns(space, CLONE_NEWNET) == 0) {
                socket_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_UDP);
                linkIndex_ = static_cast<int>(if_nametoindex("uplink"));
            }
            if (space >= 0) {
                close(space);
            }
        });
        maker.join();
        if (socket_ < 0) {
            ADD_FAILURE() << "no socket in " << path;
            return;
        }
        const int on = 1;
        setsockopt(socket_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        setsockopt(socket_, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
        setsockopt(socket_, IPPROTO_IP, IP_PKTINFO, &on, sizeof on);
        // Sending from the access points' addresses, which no interface there holds (as apsim).
        setsockopt(socket_, IPPROTO_IP, IP_TRANSPARENT, &on, sizeof on);
        sockaddr_in any{};
        any.sin_family = AF_INET;
        any.sin_port = htons(kPort);
        if (bind(socket_, reinterpret_cast<const sockaddr*>(&any), sizeof any) != 0) {
            ADD_FAILURE() << "probe bind: " << std::strerror(errno);
        }
        reader_ = std::thread([this] { Read(); });
    }
    ~Probe() {
        stop_ = true;
        reader_.join();
        close(socket_);
    }
    Probe(const Probe&) = delete;
    Probe& operator=(const Probe&) = delete;

    std::vector<Seen> seen() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return seen_;
    }

    // The first datagram seen from `source`, waiting for it up to 10 s.
    bool WaitFor(std::uint32_t source, Seen* found) const {
        for (int i = 0; i < 1000; ++i) {
            for (const Seen& datagram : seen()) {
                if (datagram.source == source) {
                    *found = datagram;
                    return true;
                }
            }
            std::this_thread::sleep_for(10ms);
        }
        return false;
    }

    // Out of the namespace's one link (the index a request arrived on), from `source`.
    void Send(const Bytes& bytes, std::uint32_t source, std::uint32_t destination,
              std::uint16_t port, int interfaceIndex) const {
        EXPECT_EQ(net::SendWithPacketInfo(socket_, bytes.data(), bytes.size(), source,
                                          interfaceIndex, destination, port),
                  static_cast<ssize_t>(bytes.size()))
            << "probe send to " << Text(destination) << ": " << std::strerror(errno);
    }

    // The namespace's one link, toward the lab host.
    int link() const { return linkIndex_; }

private:
    void Read() {
        while (!stop_) {
            pollfd watched{socket_, POLLIN, 0};
            if (poll(&watched, 1, 50) <= 0) {
                continue;
            }
            Seen datagram;
            datagram.bytes.resize(65536);
            sockaddr_in from{};
            iovec part{datagram.bytes.data(), datagram.bytes.size()};
            alignas(cmsghdr) char control[CMSG_SPACE(sizeof(in_pktinfo))] = {};
            msghdr message = net::DatagramMessage(from, part, control, sizeof control);
            const ssize_t length = recvmsg(socket_, &message, MSG_DONTWAIT);
            if (length < 0) {
                continue;
            }
            datagram.bytes.resize(static_cast<std::size_t>(length));
            datagram.source = from.sin_addr.s_addr;
            datagram.sourcePort = ntohs(from.sin_port);
            for (cmsghdr* header = CMSG_FIRSTHDR(&message); header != nullptr;
                 header = CMSG_NXTHDR(&message, header)) {
                if (header->cmsg_level == IPPROTO_IP && header->cmsg_type == IP_PKTINFO) {
                    in_pktinfo info{};
                    std::memcpy(&info, CMSG_DATA(header), sizeof info);
                    datagram.interfaceIndex = info.ipi_ifindex;
                }
            }
            std::lock_guard<std::mutex> lock(mutex_);
            seen_.push_back(std::move(datagram));
        }
    }

    int socket_ = -1;
    int linkIndex_ = 0;
    std::atomic<bool> stop_{false};
    mutable std::mutex mutex_;
    std::vector<Seen> seen_;
    std::thread reader_;
};

struct Discovery {
    int result = -1;
    int count = 0;
    DeviceTablePtr table;

    bool Has(const char* name) const {
        for (int i = 0; i < count; ++i) {
            if (std::strcmp(table->records[i].name, name) == 0) {
                return true;
            }
        }
        return false;
    }
    const DeviceRecord* Find(const char* name) const {
        for (int i = 0; i < count; ++i) {
            if (std::strcmp(table->records[i].name, name) == 0) {
                return &table->records[i];
            }
        }
        return nullptr;
    }
};

Discovery Discover() {
    Discovery discovery;
    discovery.table = AllocateDeviceTable();
    discovery.result = BroadcastDiscovery(discovery.table.get(), &discovery.count);
    return discovery;
}

// The requests of one exchange as a probe saw them.
std::vector<Seen> RequestsFrom(const Probe& probe, const char* source) {
    std::vector<Seen> requests;
    for (const Seen& datagram : probe.seen()) {
        if (datagram.source == Address(source) && datagram.sourcePort != kPort) {
            requests.push_back(datagram);
        }
    }
    return requests;
}

// --- Where requests leave from, and which replies are taken -----------------------------------

TEST(Requests, LeaveFromTheLocalAddressOnItsInterfaceOneSocketPerAddress) {
    Probe lan0("lan0");
    Probe lan1("lan1");
    const Discovery found = Discover();
    EXPECT_EQ(found.result, 1);

    const std::vector<Seen> onLan0 = RequestsFrom(lan0, kLan0Host);
    ASSERT_EQ(onLan0.size(), 3u) << "three copies of the request on lan0";
    for (const Seen& request : onLan0) {
        EXPECT_EQ(request.bytes.size(), 28u);
        EXPECT_EQ(request.sourcePort, onLan0.front().sourcePort) << "one socket sends every copy";
    }
    EXPECT_EQ(RequestsFrom(lan0, kLan1Host).size(), 0u) << "lan1's request went out on lan0";

    const DeviceRecord* near = found.Find("Near");
    ASSERT_NE(near, nullptr);
    EXPECT_STREQ(near->localAddress, kLan0Host);
    EXPECT_STREQ(near->ipAddress, "10.0.0.11");

    const std::vector<Seen> onLan1 = RequestsFrom(lan1, kLan1Host);
    EXPECT_EQ(RequestsFrom(lan1, kLan0Host).size(), 0u) << "lan0's request went out on lan1";
    if (!g_vanishedInterface.empty()) {
        // lan1 vanished between listing and binding: nothing may be sent for it, through any
        // interface, and nothing found there.
        EXPECT_EQ(onLan1.size(), 0u) << "a request for a vanished interface was sent";
        EXPECT_EQ(found.count, 1);
        return;
    }
    ASSERT_EQ(onLan1.size(), 3u) << "three copies of the request on lan1";
    for (const Seen& request : onLan1) {
        EXPECT_EQ(request.sourcePort, onLan1.front().sourcePort) << "one socket sends every copy";
    }
    // Each address has its socket of its own, open only during its exchange.
    EXPECT_EQ(found.count, 2);
    const DeviceRecord* far = found.Find("Far");
    ASSERT_NE(far, nullptr) << "the broadcast reply from a foreign subnet was not received";
    EXPECT_STREQ(far->ipAddress, "172.16.9.9");
    EXPECT_STREQ(far->localAddress, kLan1Host);
}

TEST(ForeignInterface, ADiscoveryReplyFromAnotherInterfaceIsNotTaken) {
    Probe lan0("lan0");
    Probe lan1("lan1");
    auto running = std::async(std::launch::async, Discover);
    Seen request;
    ASSERT_TRUE(lan0.WaitFor(Address(kLan0Host), &request));
    // To lan0's request socket, through lan1: addressed to either of the host's addresses.
    for (const char* destination : {kLan1Host, kLan0Host}) {
        lan1.Send(DiscoveryReply("Intruder", 0x01), Address("192.168.1.77"), Address(destination),
                  request.sourcePort, lan1.link());
    }
    // The same through lan0 is taken: the port and the moment were right.
    lan0.Send(DiscoveryReply("Insider", 0x02), Address("10.0.0.77"), Address(kLan0Host),
              request.sourcePort, request.interfaceIndex);
    const Discovery found = running.get();
    EXPECT_EQ(found.result, 1);
    EXPECT_TRUE(found.Has("Insider"));
    EXPECT_FALSE(found.Has("Intruder")) << "a reply from another interface was taken";
}

TEST(ForeignInterface, AnAcknowledgementFromAnotherInterfaceIsNotTaken) {
    Probe lan0("lan0");
    Probe lan1("lan1");
    // Nobody in the lab has this MAC: only the forged acknowledgement could make it succeed.
    auto running = std::async(std::launch::async, [] { return SendReset("02EE000000FF"); });
    Seen request;
    ASSERT_TRUE(lan0.WaitFor(Address(kLan0Host), &request));
    for (const char* destination : {kLan1Host, kLan0Host}) {
        lan1.Send(kAcknowledgement, Address("192.168.1.77"), Address(destination),
                  request.sourcePort, lan1.link());
    }
    EXPECT_EQ(running.get(), 0) << "an acknowledgement from another interface was taken";

    // The same acknowledgement through lan0 is taken.
    Probe lan0Again("lan0");
    auto acknowledged = std::async(std::launch::async, [] { return SendReset("02EE000000FE"); });
    Seen second;
    ASSERT_TRUE(lan0Again.WaitFor(Address(kLan0Host), &second));
    lan0Again.Send(kAcknowledgement, Address("10.0.0.77"), Address(kLan0Host), second.sourcePort,
                   second.interfaceIndex);
    EXPECT_EQ(acknowledged.get(), 1);
}

// The kernel's part and the layer's part of keeping another interface out, one at a time: with
// the binding, such a datagram never reaches the socket; without it, it is read and dropped.
TEST(ForeignInterface, TheBindingKeepsItOutOrTheLayerDropsIt) {
    net::PosixSocketLayer& layer = *static_cast<net::PosixSocketLayer*>(net::ActiveSocketLayer());
    net::LocalAddress local;
    local.address = Address(kLan0Host);
    local.interfaceIndex = static_cast<int>(if_nametoindex("lan0"));
    std::strcpy(local.interfaceName, "lan0");
    net::SocketGuard socket(layer, layer.OpenUdpSocket());
    errno = 0;
    const bool bound = layer.BindToDevice(socket.get(), local);
    EXPECT_EQ(bound, !g_bindingRefused);
    if (!bound) {
        EXPECT_EQ(errno, EPERM) << "the binding's own failure is what errno says";
    }
    ASSERT_TRUE(layer.BindAnyPort(socket.get()));
    sockaddr_in own{};
    socklen_t size = sizeof own;
    getsockname(socket.get(), reinterpret_cast<sockaddr*>(&own), &size);

    Probe lan1("lan1");
    lan1.Send(DiscoveryReply("Intruder", 0x01), Address("192.168.1.77"), Address(kLan1Host),
              ntohs(own.sin_port), lan1.link());
    const net::WaitResult waited = layer.WaitReadable(socket.get(), 1000ms);
    if (bound) {
        EXPECT_EQ(waited, net::WaitResult::kTimedOut) << "the kernel let it through";
        return;
    }
    ASSERT_EQ(waited, net::WaitResult::kReadable);
    std::uint8_t buffer[3072];
    std::size_t length = 0;
    std::uint32_t source = 0;
    EXPECT_EQ(layer.Receive(socket.get(), buffer, sizeof buffer, &length, &source),
              net::ReceiveResult::kForeign);
}

// --- Interfaces that change under a running exchange ------------------------------------------

// Runs `exchange` and, once lan0's request has been seen, `change`; puts `restore` back after.
template <typename Exchange>
int DuringTheFirstWait(Exchange exchange, const std::string& change, const std::string& restore) {
    Probe lan0("lan0");
    const int before = OpenDescriptors();
    auto running = std::async(std::launch::async, exchange);
    Seen request;
    EXPECT_TRUE(lan0.WaitFor(Address(kLan0Host), &request));
    Shell(change);
    const int result = running.get();
    EXPECT_EQ(OpenDescriptors(), before) << "a descriptor was left open";
    if (!restore.empty()) {
        Shell(restore);
    }
    return result;
}

const char kRenumber[] =
    "ip addr del 192.168.1.200/24 dev lan1 && ip addr add 192.168.1.201/24 dev lan1";
const char kNumberBack[] =
    "ip addr del 192.168.1.201/24 dev lan1; ip addr add 192.168.1.200/24 dev lan1";

TEST(InterfaceChanges, ALaterAddressRenumberedDuringDiscoveryFailsIt) {
    const int result = DuringTheFirstWait([] { return Discover().result; }, kRenumber, kNumberBack);
    EXPECT_EQ(result, 0);
}

TEST(InterfaceChanges, ApctlSaysWhichAddressAndStepFailedAndPrintsNoResult) {
    std::ostringstream out, err;
    const int status = DuringTheFirstWait(
        [&out, &err] {
            return apctl::Run({"discover", "--json"}, out, err);
        },
        kRenumber, kNumberBack);
    EXPECT_EQ(status, 1);
    EXPECT_EQ(out.str(), "") << "an empty table would pass for an empty network";
    EXPECT_EQ(err.str().rfind("apctl: discovery failed on 192.168.1.200 (lan1): ", 0), 0u)
        << err.str();
}

TEST(InterfaceChanges, ALaterAddressRenumberedDuringAConfigurationFailsIt) {
    // Far, on lan1, acknowledges: only the failing step on lan1 can make this fail.
    const auto toFar = [] {
        return SendIpSettings(1, "000A1B400002", nullptr, nullptr, nullptr, nullptr);
    };
    EXPECT_EQ(toFar(), 1) << "Far does not acknowledge with lan1 as it is";
    EXPECT_EQ(DuringTheFirstWait(toFar, kRenumber, kNumberBack), 0);
}

TEST(InterfaceChanges, ALaterInterfaceDeletedDuringDiscoveryFailsIt) {
    // An interface of the test's own, both ends in the lab's host namespace, listed after lan0
    // and lan1; deleting it takes nothing of the lab away.
    Shell(
        "ip link add gone0 type veth peer name gone0p && ip addr add 10.77.0.200/24 dev gone0 "
        "&& ip link set gone0p up && ip link set gone0 up");
    for (int i = 0; i < 100; ++i) {
        FILE* state = std::fopen("/sys/class/net/gone0/operstate", "r");
        char text[16] = {};
        if (state != nullptr) {
            std::fgets(text, sizeof text, state);
            std::fclose(state);
        }
        if (std::strncmp(text, "up", 2) == 0) {
            break;
        }
        std::this_thread::sleep_for(100ms);
    }
    const int result =
        DuringTheFirstWait([] { return Discover().result; }, "ip link del gone0", "");
    EXPECT_EQ(result, 0);
    std::system("ip link del gone0 2>/dev/null");
}

// --- Reading ------------------------------------------------------------------------------------

// A socket of the layer on the lab host's loopback, with the port it got.
struct LoopbackSocket {
    explicit LoopbackSocket(net::SocketLayer& layer) : guard(layer, layer.OpenUdpSocket()) {
        EXPECT_TRUE(layer.BindAnyPort(guard.get()));
        sockaddr_in own{};
        socklen_t size = sizeof own;
        getsockname(guard.get(), reinterpret_cast<sockaddr*>(&own), &size);
        port = ntohs(own.sin_port);
    }
    void SendToIt(const Bytes& bytes) const {
        const int sender = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_in target{};
        target.sin_family = AF_INET;
        target.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        target.sin_port = htons(port);
        sendto(sender, bytes.data(), bytes.size(), 0, reinterpret_cast<const sockaddr*>(&target),
               sizeof target);
        close(sender);
    }
    net::SocketGuard guard;
    std::uint16_t port = 0;
};

TEST(Receive, NothingThereIsNothingReadAndNeverBlocks) {
    net::SocketLayer& layer = *net::ActiveSocketLayer();
    LoopbackSocket socket(layer);
    // Should the read block, a datagram sent after 5 s ends it, and the test says so.
    std::atomic<bool> done{false};
    std::atomic<bool> rescued{false};
    std::thread watchdog([&] {
        for (int i = 0; i < 50 && !done; ++i) {
            std::this_thread::sleep_for(100ms);
        }
        if (!done) {
            rescued = true;
            socket.SendToIt({0x41});
        }
    });
    std::uint8_t buffer[16];
    std::size_t length = 0;
    std::uint32_t source = 0;
    const net::ReceiveResult result =
        layer.Receive(socket.guard.get(), buffer, sizeof buffer, &length, &source);
    done = true;
    watchdog.join();
    EXPECT_FALSE(rescued) << "reading an empty socket blocked";
    EXPECT_EQ(result, net::ReceiveResult::kNothing);
}

TEST(Receive, ADatagramOverTheBufferIsReadAsItsFirstBytes) {
    net::SocketLayer& layer = *net::ActiveSocketLayer();
    LoopbackSocket socket(layer);
    Bytes sent(5000);
    for (std::size_t i = 0; i < sent.size(); ++i) {
        sent[i] = static_cast<std::uint8_t>(i * 7 + i / 256);
    }
    socket.SendToIt(sent);
    ASSERT_EQ(layer.WaitReadable(socket.guard.get(), 5000ms), net::WaitResult::kReadable);
    std::vector<std::uint8_t> buffer(4096, 0xEE);
    std::size_t length = 0;
    std::uint32_t source = 0;
    ASSERT_EQ(layer.Receive(socket.guard.get(), buffer.data(), 3072, &length, &source),
              net::ReceiveResult::kReceived);
    ASSERT_EQ(length, 3072u);
    EXPECT_TRUE(std::equal(buffer.begin(), buffer.begin() + 3072, sent.begin()));
    EXPECT_TRUE(std::all_of(buffer.begin() + 3072, buffer.end(), [](auto b) { return b == 0xEE; }))
        << "written past the buffer it was given";
    EXPECT_EQ(source, htonl(INADDR_LOOPBACK));
}

// A burst larger than the receive buffer: what found no room is counted, read or not.
TEST(Receive, DatagramsTheBufferHadNoRoomForAreCounted) {
    net::SocketLayer& layer = *net::ActiveSocketLayer();
    LoopbackSocket socket(layer);
    const int handle = socket.guard.get();
    int before = 0;
    socklen_t size = sizeof before;
    getsockopt(handle, SOL_SOCKET, SO_RCVBUF, &before, &size);
    layer.SetReceiveBuffer(handle, 1 << 20);
    int after = 0;
    getsockopt(handle, SOL_SOCKET, SO_RCVBUF, &after, &size);
    EXPECT_GE(after, 2 << 20) << "the default was " << before;
    // The smallest buffer the kernel allows holds a datagram or two.
    const int smallest = 1;
    ASSERT_EQ(setsockopt(handle, SOL_SOCKET, SO_RCVBUF, &smallest, sizeof smallest), 0);
    constexpr int kBurst = 50;
    for (int i = 0; i < kBurst; ++i) {
        socket.SendToIt(kAcknowledgement);
    }
    int received = 0;
    std::uint8_t buffer[16];
    std::size_t length = 0;
    std::uint32_t source = 0;
    while (layer.Receive(handle, buffer, sizeof buffer, &length, &source) ==
           net::ReceiveResult::kReceived) {
        ++received;
    }
    EXPECT_GT(received, 0);
    EXPECT_LT(received, kBurst);
    EXPECT_EQ(layer.DroppedByKernel(handle), static_cast<std::uint32_t>(kBurst - received));
    // The next datagram read carries the count as well.
    socket.SendToIt(kAcknowledgement);
    ASSERT_EQ(layer.WaitReadable(handle, 5000ms), net::WaitResult::kReadable);
    EXPECT_EQ(layer.Receive(handle, buffer, sizeof buffer, &length, &source),
              net::ReceiveResult::kReceived);
    EXPECT_EQ(layer.DroppedByKernel(handle), static_cast<std::uint32_t>(kBurst - received));
}

// An interface index of 0 names no interface: the socket is not tied to "any interface", and
// with nothing to compare the arrival interface with, nothing is taken.
TEST(Receive, ASocketForInterfaceIndexZeroTakesNothing) {
    net::SocketLayer& layer = *net::ActiveSocketLayer();
    LoopbackSocket socket(layer);
    net::LocalAddress gone;
    gone.address = Address(kLan0Host);
    gone.interfaceIndex = 0;
    std::strcpy(gone.interfaceName, "lan0");
    errno = 0;
    EXPECT_FALSE(layer.BindToDevice(socket.guard.get(), gone));
    EXPECT_EQ(errno, ENODEV);
    socket.SendToIt(kAcknowledgement);
    ASSERT_EQ(layer.WaitReadable(socket.guard.get(), 5000ms), net::WaitResult::kReadable);
    std::uint8_t buffer[16];
    std::size_t length = 0;
    std::uint32_t source = 0;
    EXPECT_EQ(layer.Receive(socket.guard.get(), buffer, sizeof buffer, &length, &source),
              net::ReceiveResult::kForeign);
}

}  // namespace

int main(int argc, char* argv[]) {
    ::testing::InitGoogleTest(&argc, argv);
    std::string why;
    if (!apsim::InLabNamespace(&why)) {
        std::fprintf(stderr, "socket_layer_e2e: %s\n", why.c_str());
        return 1;
    }
    if (argc != 2) {
        std::fprintf(stderr, "usage: socket_layer_e2e [GTEST OPTIONS] LAB-ID\n");
        return 2;
    }
    g_labId = argv[1];
    const char* refused = std::getenv("APTEST_REFUSE_DEVICE_BINDING");
    g_bindingRefused = refused != nullptr && std::strcmp(refused, "1") == 0;
    const char* vanished = std::getenv("APTEST_VANISHED_INTERFACE");
    g_vanishedInterface = vanished != nullptr ? vanished : "";
    net::PosixSocketLayer socketLayer;
    net::ScopedSocketLayer installed(&socketLayer);
    return RUN_ALL_TESTS();
}
