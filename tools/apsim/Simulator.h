#pragma once

#include <netinet/in.h>

#include <csignal>
#include <cstdint>
#include <queue>
#include <string>
#include <vector>

#include "sim/AccessPointModel.h"
#include "tools/apsim/EventLog.h"

namespace apsim {

// The access points of one network on a real UDP socket: every datagram that reaches the port is
// logged and handed to each access point's model; their replies leave, after their delay, with
// the access point's own address as source.
class Simulator {
public:
    // `junkEveryMs`: for each access point, the interval of its junk after a discovery request
    // (0 or missing: none).
    Simulator(std::string network, const std::vector<sim::AccessPointSettings>& accessPoints,
              EventLog* log, std::vector<int> junkEveryMs = {});
    ~Simulator();
    Simulator(const Simulator&) = delete;
    Simulator& operator=(const Simulator&) = delete;

    bool Open(std::string* error);
    // Serves until `stop` is set by a signal handler. The signals that set it must be blocked by
    // the caller; they are let through only while waiting, so none is missed between checks.
    bool Run(const volatile std::sig_atomic_t* stop, std::string* error);

private:
    struct Scheduled {
        std::int64_t dueUs = 0;
        std::uint64_t sequence = 0;  // keeps replies due at the same time in their order
        std::size_t accessPoint = 0;
        sim::Reply reply;
        std::uint32_t destination = 0;  // network byte order
        std::uint16_t port = 0;         // host byte order
        int interfaceIndex = 0;
        bool junk = false;  // the next datagram of the access point's junk; addressed when due
        bool operator>(const Scheduled& other) const {
            return dueUs != other.dueUs ? dueUs > other.dueUs : sequence > other.sequence;
        }
    };

    // Where an access point's junk goes and until when: to the latest discovery requester,
    // for a minute after its request.
    struct Junk {
        int everyMs = 0;
        std::int64_t untilUs = 0;
        bool scheduled = false;
        std::uint32_t destination = 0;
        std::uint16_t port = 0;
        int interfaceIndex = 0;
    };

    bool ReceiveOne(std::string* error);
    // Schedules every reply to a datagram just logged, and a neighbour's junk after a discovery.
    void Answer(sim::RequestKind kind, const std::uint8_t* datagram, std::size_t length,
                const sockaddr_in& source, int interfaceIndex);
    void StartJunk(std::size_t accessPoint, const Scheduled& requester, std::int64_t nowUs);
    void SendDue(std::int64_t nowUs);
    void Send(const Scheduled& scheduled);

    std::string network_;
    std::vector<sim::AccessPoint> accessPoints_;
    std::vector<Junk> junk_;
    EventLog* log_;
    int socket_ = -1;
    bool transparent_ = false;
    std::uint64_t nextSequence_ = 0;
    std::priority_queue<Scheduled, std::vector<Scheduled>, std::greater<>> queue_;
};

std::int64_t MonotonicMicroseconds();

}  // namespace apsim
