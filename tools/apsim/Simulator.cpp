#include "tools/apsim/Simulator.h"

#include <arpa/inet.h>
#include <net/if.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>

#include "net/Datagram.h"
#include "tools/apsim/FleetFile.h"

namespace apsim {

namespace {

const char* KindText(sim::RequestKind kind) {
    switch (kind) {
        case sim::RequestKind::kDiscovery:
            return "discovery";
        case sim::RequestKind::kSetIpConfiguration:
            return "set-ip-configuration";
        case sim::RequestKind::kReset:
            return "reset";
        case sim::RequestKind::kOther:
            break;
    }
    return "other";
}

std::string InterfaceName(int index) {
    char name[IF_NAMESIZE + 1] = {};
    return if_indextoname(static_cast<unsigned>(index), name) != nullptr ? name : "?";
}

// Larger than any datagram, so the log holds exactly what arrived.
constexpr std::size_t kReceiveCapacity = 65536;

constexpr std::int64_t kJunkLastsUs = std::int64_t{60} * 1000000;
// A reply header with status 2 and an empty element area: read, and ignored, by the utility.
const std::vector<std::uint8_t> kJunkBytes = {0x41, 0x0D, 0x02, 0x00, 0x00};

// The interface a datagram arrived through, from its IP_PKTINFO; 0 when it carries none.
int ArrivalInterface(msghdr& message) {
    int interfaceIndex = 0;
    for (cmsghdr* header = CMSG_FIRSTHDR(&message); header != nullptr;
         header = CMSG_NXTHDR(&message, header)) {
        if (header->cmsg_level == IPPROTO_IP && header->cmsg_type == IP_PKTINFO) {
            in_pktinfo info{};
            std::memcpy(&info, CMSG_DATA(header), sizeof info);
            interfaceIndex = info.ipi_ifindex;
        }
    }
    return interfaceIndex;
}

}  // namespace

std::int64_t MonotonicMicroseconds() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::int64_t>(now.tv_sec) * 1000000 + now.tv_nsec / 1000;
}

Simulator::Simulator(std::string network, const std::vector<sim::AccessPointSettings>& accessPoints,
                     EventLog* log, std::vector<int> junkEveryMs)
    : network_(std::move(network)), log_(log) {
    accessPoints_.reserve(accessPoints.size());
    for (const sim::AccessPointSettings& settings : accessPoints) {
        accessPoints_.emplace_back(settings);
    }
    junk_.resize(accessPoints_.size());
    for (std::size_t i = 0; i < junk_.size() && i < junkEveryMs.size(); ++i) {
        junk_[i].everyMs = junkEveryMs[i];
    }
}

Simulator::~Simulator() {
    if (socket_ >= 0) {
        close(socket_);
    }
}

bool Simulator::Open(std::string* error) {
    socket_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_UDP);
    if (socket_ < 0) {
        *error = std::string("socket: ") + std::strerror(errno);
        return false;
    }
    const int on = 1;
    // The arrival interface decides where a reply leaves; the source address comes from the
    // access point, not from the interface.
    if (setsockopt(socket_, SOL_SOCKET, SO_BROADCAST, &on, sizeof on) != 0 ||
        setsockopt(socket_, IPPROTO_IP, IP_PKTINFO, &on, sizeof on) != 0) {
        *error = std::string("setsockopt: ") + std::strerror(errno);
        return false;
    }
    // Measured in the lab: only a transparent socket may send from an address that no interface
    // of the namespace holds (ip_nonlocal_bind lets such an address be bound, but sending from it
    // still fails with ENETUNREACH). So the access points' addresses, even ones on a foreign
    // subnet or changed at a reset, need no `ip addr` at all.
    transparent_ = setsockopt(socket_, IPPROTO_IP, IP_TRANSPARENT, &on, sizeof on) == 0;
    setsockopt(socket_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in any{};
    any.sin_family = AF_INET;
    any.sin_addr.s_addr = htonl(INADDR_ANY);
    any.sin_port = htons(sim::kPort);
    if (::bind(socket_, reinterpret_cast<const sockaddr*>(&any), sizeof any) != 0) {
        *error = "bind to port " + std::to_string(sim::kPort) + ": " + std::strerror(errno);
        return false;
    }
    log_->Write(JsonLine()
                    .Text("event", "listening")
                    .Seconds("mono", MonotonicSeconds())
                    .Text("time", WallClockText())
                    .Text("network", network_)
                    .Integer("port", sim::kPort)
                    .Integer("accessPoints", static_cast<long long>(accessPoints_.size()))
                    .Boolean("transparent", transparent_)
                    .Integer("pid", getpid()));
    return true;
}

bool Simulator::Run(const volatile std::sig_atomic_t* stop, std::string* error) {
    sigset_t waitMask;
    sigemptyset(&waitMask);
    while (*stop == 0) {
        const std::int64_t nowUs = MonotonicMicroseconds();
        SendDue(nowUs);
        timespec timeout{};
        timespec* timeoutPointer = nullptr;
        if (!queue_.empty()) {
            const std::int64_t waitUs = std::max<std::int64_t>(0, queue_.top().dueUs - nowUs);
            timeout.tv_sec = static_cast<time_t>(waitUs / 1000000);
            timeout.tv_nsec = static_cast<long>(waitUs % 1000000) * 1000;
            timeoutPointer = &timeout;
        }
        pollfd entry{socket_, POLLIN, 0};
        const int ready = ppoll(&entry, 1, timeoutPointer, &waitMask);
        if (ready < 0) {
            if (errno == EINTR) {
                continue;
            }
            *error = std::string("ppoll: ") + std::strerror(errno);
            return false;
        }
        if (ready > 0 && !ReceiveOne(error)) {
            return false;
        }
    }
    return true;
}

bool Simulator::ReceiveOne(std::string* error) {
    static std::uint8_t buffer[kReceiveCapacity];
    sockaddr_in source{};
    iovec part{buffer, sizeof buffer};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(in_pktinfo))] = {};
    msghdr message = net::DatagramMessage(source, part, control, sizeof control);
    const ssize_t received = recvmsg(socket_, &message, MSG_DONTWAIT);
    const double arrival = MonotonicSeconds();
    if (received < 0) {
        if (errno == EAGAIN || errno == EINTR) {
            return true;
        }
        *error = std::string("recvmsg: ") + std::strerror(errno);
        return false;
    }
    const int interfaceIndex = ArrivalInterface(message);
    const auto length = static_cast<std::size_t>(received);
    const sim::DecodedRequest request = sim::DecodeRequest(buffer, length);
    JsonLine line;
    line.Text("event", "request")
        .Seconds("mono", arrival)
        .Text("time", WallClockText())
        .Text("network", network_)
        .Text("interface", InterfaceName(interfaceIndex))
        .Text("source", FormatAddress(source.sin_addr.s_addr))
        .Integer("sourcePort", ntohs(source.sin_port))
        .Integer("length", static_cast<long long>(length))
        .Text("kind", KindText(request.kind));
    if (request.kind == sim::RequestKind::kSetIpConfiguration ||
        request.kind == sim::RequestKind::kReset) {
        line.Text("mac", HexText(request.mac.data(), request.mac.size()));
    }
    line.Text("hex", HexText(buffer, length));
    log_->Write(line);
    Answer(request.kind, buffer, length, source, interfaceIndex);
    return true;
}

void Simulator::Answer(sim::RequestKind kind, const std::uint8_t* datagram, std::size_t length,
                       const sockaddr_in& source, int interfaceIndex) {
    const std::int64_t nowUs = MonotonicMicroseconds();
    const std::int64_t nowMs = nowUs / 1000;
    if (kind == sim::RequestKind::kDiscovery) {
        Scheduled requester;
        requester.destination = source.sin_addr.s_addr;
        requester.port = ntohs(source.sin_port);
        requester.interfaceIndex = interfaceIndex;
        for (std::size_t i = 0; i < junk_.size(); ++i) {
            StartJunk(i, requester, nowUs);
        }
    }
    for (std::size_t i = 0; i < accessPoints_.size(); ++i) {
        for (sim::Reply& reply : accessPoints_[i].HandleDatagram(datagram, length, nowMs)) {
            Scheduled scheduled;
            scheduled.dueUs = nowUs + static_cast<std::int64_t>(reply.delayMs) * 1000;
            scheduled.sequence = nextSequence_++;
            scheduled.accessPoint = i;
            scheduled.destination =
                reply.broadcast ? htonl(INADDR_BROADCAST) : source.sin_addr.s_addr;
            scheduled.port = ntohs(source.sin_port);
            scheduled.interfaceIndex = interfaceIndex;
            scheduled.reply = std::move(reply);
            queue_.push(std::move(scheduled));
        }
    }
}

void Simulator::StartJunk(std::size_t accessPoint, const Scheduled& requester, std::int64_t nowUs) {
    Junk& junk = junk_[accessPoint];
    if (junk.everyMs <= 0) {
        return;
    }
    junk.untilUs = nowUs + kJunkLastsUs;
    junk.destination = requester.destination;
    junk.port = requester.port;
    junk.interfaceIndex = requester.interfaceIndex;
    if (junk.scheduled) {
        return;
    }
    junk.scheduled = true;
    Scheduled next;
    next.dueUs = nowUs + static_cast<std::int64_t>(junk.everyMs) * 1000;
    next.sequence = nextSequence_++;
    next.accessPoint = accessPoint;
    next.junk = true;
    queue_.push(std::move(next));
}

void Simulator::SendDue(std::int64_t nowUs) {
    while (!queue_.empty() && queue_.top().dueUs <= nowUs) {
        Scheduled due = queue_.top();
        queue_.pop();
        if (!due.junk) {
            Send(due);
            continue;
        }
        Junk& junk = junk_[due.accessPoint];
        if (due.dueUs > junk.untilUs) {
            junk.scheduled = false;
            continue;
        }
        due.destination = junk.destination;
        due.port = junk.port;
        due.interfaceIndex = junk.interfaceIndex;
        due.reply.bytes = kJunkBytes;
        due.reply.source = accessPoints_[due.accessPoint].CurrentAddress();
        Send(due);
        due.dueUs += static_cast<std::int64_t>(junk.everyMs) * 1000;
        due.sequence = nextSequence_++;
        queue_.push(std::move(due));
    }
}

void Simulator::Send(const Scheduled& scheduled) {
    // Naming the interface also lets a reply to a host on no subnet of the access point go out
    // on the link it came from, with no route at all.
    const ssize_t sent = net::SendWithPacketInfo(
        socket_, scheduled.reply.bytes.data(), scheduled.reply.bytes.size(), scheduled.reply.source,
        scheduled.interfaceIndex, scheduled.destination, scheduled.port);
    const int sendError = sent < 0 ? errno : 0;

    const sim::AccessPoint& accessPoint = accessPoints_[scheduled.accessPoint];
    JsonLine line;
    line.Text("event", "reply")
        .Seconds("mono", MonotonicSeconds())
        .Text("time", WallClockText())
        .Text("network", network_)
        .Text("accessPoint", accessPoint.settings().name)
        .Text("accessPointMac",
              HexText(accessPoint.settings().mac.data(), accessPoint.settings().mac.size()))
        .Text("source", FormatAddress(scheduled.reply.source))
        .Text("destination", FormatAddress(scheduled.destination))
        .Integer("destinationPort", scheduled.port)
        .Boolean("broadcast", scheduled.reply.broadcast)
        .Integer("length", static_cast<long long>(scheduled.reply.bytes.size()))
        .Text("hex", HexText(scheduled.reply.bytes.data(), scheduled.reply.bytes.size()));
    if (sendError != 0) {
        line.Text("error", std::strerror(sendError));
    }
    log_->Write(line);
}

}  // namespace apsim
