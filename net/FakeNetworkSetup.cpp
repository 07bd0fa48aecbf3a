#include "net/FakeNetwork.h"

#include <arpa/inet.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

// What a test arranges on the fake network before and while it runs: interfaces and their
// links, access points and other responders, and the calls that are to fail.
namespace net {

std::uint32_t AddressFromText(const std::string& dotted) {
    in_addr parsed{};
    if (inet_pton(AF_INET, dotted.c_str(), &parsed) != 1) {
        std::fprintf(stderr, "FakeNetwork: not an IPv4 address: %s\n", dotted.c_str());
        std::abort();
    }
    return parsed.s_addr;
}

int FakeNetwork::AddInterface(const std::string& name, const std::string& address,
                              const std::string& netmask) {
    InterfaceAddress entry;
    entry.address = AddressFromText(address);
    entry.netmask = AddressFromText(netmask);
    std::lock_guard<std::mutex> lock(mutex_);
    entry.interfaceIndex = static_cast<int>(interfaces_.size() + unlisted_.size()) + 2;
    std::snprintf(entry.interfaceName, sizeof entry.interfaceName, "%s", name.c_str());
    entry.up = entry.running = entry.broadcast = true;
    interfaces_.push_back(entry);
    return entry.interfaceIndex;
}

void FakeNetwork::AddInterfaceEntry(const InterfaceAddress& entry) {
    std::lock_guard<std::mutex> lock(mutex_);
    interfaces_.push_back(entry);
}

sim::AccessPoint& FakeNetwork::AddAccessPoint(int interfaceIndex, sim::AccessPointSettings settings,
                                              Hearing hears) {
    auto accessPoint = std::make_unique<sim::AccessPoint>(std::move(settings));
    sim::AccessPoint* model = accessPoint.get();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        accessPoints_.push_back(std::move(accessPoint));
    }
    AddResponder(interfaceIndex, [model, hears = std::move(hears)](const SentDatagram& request,
                                                                   std::int64_t nowMs) {
        std::vector<Delivery> deliveries;
        if (request.port != sim::kPort ||
            (hears &&
             !hears(sim::DecodeRequest(request.bytes.data(), request.bytes.size()).kind, nowMs))) {
            return deliveries;
        }
        for (sim::Reply& reply :
             model->HandleDatagram(request.bytes.data(), request.bytes.size(), nowMs)) {
            deliveries.push_back({reply.delayMs, reply.source, std::move(reply.bytes)});
        }
        return deliveries;
    });
    return *model;
}

void FakeNetwork::AddResponder(int interfaceIndex, Responder responder) {
    std::lock_guard<std::mutex> lock(mutex_);
    responders_.emplace(interfaceIndex, std::move(responder));
}

void FakeNetwork::SetReceiveQueueLimit(int datagrams) {
    std::lock_guard<std::mutex> lock(mutex_);
    receiveQueueLimit_ = static_cast<std::size_t>(std::max(datagrams, 0));
}

void FakeNetwork::FailCall(Call call, int nth, int error) {
    std::lock_guard<std::mutex> lock(mutex_);
    failures_[call].push_back(Failure{nth, error});
}

void FakeNetwork::SetLinkUp(int interfaceIndex, bool up) {
    std::lock_guard<std::mutex> lock(mutex_);
    for (InterfaceAddress& entry : interfaces_) {
        if (entry.interfaceIndex == interfaceIndex) {
            entry.up = entry.running = up;
        }
    }
}

void FakeNetwork::SetAddressListed(int interfaceIndex, bool listed) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto& from = listed ? unlisted_ : interfaces_;
    auto& to = listed ? interfaces_ : unlisted_;
    for (auto it = from.begin(); it != from.end();) {
        if (it->interfaceIndex == interfaceIndex) {
            to.push_back(*it);
            it = from.erase(it);
        } else {
            ++it;
        }
    }
}

}  // namespace net
