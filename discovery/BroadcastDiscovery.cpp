#include "discovery/BroadcastDiscovery.h"

#include <array>
#include <cstring>
#include <memory>

#include "discovery/Frame.h"
#include "discovery/LocalAddresses.h"
#include "discovery/RequestSocket.h"

int ResendWorker(ResendParams* params) {
    for (int i = 0; i < kResendCount; ++i) {
        params->layer->Sleep(kResendInterval);
        params->layer->SendFrom(params->socket, *params->local, params->request,
                                params->requestLength, params->destination, params->port);
    }
    return 0;
}

namespace {

// Fills the reply table in order of arrival. Once all 384 places are taken, a reply from an
// access point not yet in the table takes the place of the latest record that repeats an earlier
// one's MAC (consolidation would drop that record anyway), so the table can still end up naming
// 384 distinct access points; repeats of MACs already held are dropped.
class ReplyCollector {
public:
    explicit ReplyCollector(DeviceTable* table) : table_(table) {}

    int count() const { return count_; }

    void Add(const DeviceRecord& record) {
        if (count_ < kDeviceTableCapacity) {
            repeatsEarlier_[count_] = HeldAmongFirst(record, count_);
            table_->records[count_++] = record;
            return;
        }
        if (HeldAmongFirst(record, count_)) {
            return;
        }
        for (int i = count_ - 1; i >= 0; --i) {
            if (repeatsEarlier_[i]) {
                RemoveAt(i);
                table_->records[count_] = record;
                repeatsEarlier_[count_] = false;
                ++count_;
                return;
            }
        }
    }

private:
    bool HeldAmongFirst(const DeviceRecord& record, int limit) const {
        for (int i = 0; i < limit; ++i) {
            if (!repeatsEarlier_[i] && SameMacText(table_->records[i], record)) {
                return true;
            }
        }
        return false;
    }

    void RemoveAt(int index) {
        const int following = count_ - index - 1;
        std::memmove(&table_->records[index], &table_->records[index + 1],
                     static_cast<std::size_t>(following) * sizeof(DeviceRecord));
        std::memmove(&repeatsEarlier_[index], &repeatsEarlier_[index + 1],
                     static_cast<std::size_t>(following) * sizeof(bool));
        --count_;
    }

    DeviceTable* table_;
    int count_ = 0;
    std::array<bool, kDeviceTableCapacity> repeatsEarlier_{};
};

// Joins the resend worker when the scope ends. Declared after the socket's guard, so the worker
// has always finished before its socket is closed, on every path out.
class WorkerJoiner {
public:
    explicit WorkerJoiner(std::unique_ptr<net::Worker> worker) : worker_(std::move(worker)) {}
    ~WorkerJoiner() {
        if (worker_) {
            worker_->Join();
        }
    }
    WorkerJoiner(const WorkerJoiner&) = delete;
    WorkerJoiner& operator=(const WorkerJoiner&) = delete;

private:
    std::unique_ptr<net::Worker> worker_;
};

// Runs the exchange on one local address. False when a socket step failed.
bool DiscoverOnAddress(net::SocketLayer& layer, const net::LocalAddress& local,
                       ReplyCollector* collector) {
    net::SocketGuard socket(layer, OpenRequestSocket(layer, local));
    if (socket.get() == net::kInvalidSocket) {
        return false;
    }
    std::uint8_t request[kDiscoveryRequestLength];
    BuildDiscoveryRequest(request);
    if (!layer.SendFrom(socket.get(), local, request, sizeof request, net::kLimitedBroadcast,
                        kAccessPointPort)) {
        return false;
    }

    ResendParams params;
    params.layer = &layer;
    params.socket = socket.get();
    params.local = &local;
    params.request = request;
    params.requestLength = sizeof request;
    params.destination = net::kLimitedBroadcast;
    params.port = kAccessPointPort;
    // Without a worker the exchange goes on with the single send.
    WorkerJoiner resender(layer.StartWorker([&params] { ResendWorker(&params); }));

    char localText[16] = {};
    net::FormatDottedQuad(local.address, localText, sizeof localText);
    std::uint8_t datagram[kReceiveBufferLength];
    for (;;) {
        const net::WaitResult waited = layer.WaitReadable(socket.get(), kReplySilence);
        if (waited == net::WaitResult::kTimedOut) {
            return true;
        }
        if (waited == net::WaitResult::kFailed) {
            return false;
        }
        std::size_t length = 0;
        std::uint32_t source = 0;
        const net::ReceiveResult received =
            layer.Receive(socket.get(), datagram, sizeof datagram, &length, &source);
        if (received == net::ReceiveResult::kFailed) {
            return false;
        }
        if (received != net::ReceiveResult::kReceived ||
            !IsAcceptedDiscoveryReply(datagram, length)) {
            continue;
        }
        DeviceRecord record{};
        ParseReplyElements(datagram, length, &record);
        net::FormatDottedQuad(source, record.ipAddress, sizeof record.ipAddress);
        std::memcpy(record.localAddress, localText, sizeof localText);
        collector->Add(record);
    }
}

}  // namespace

int BroadcastDiscovery(DeviceTable* replyTable, int* count) {
    net::LocalAddress addresses[kMaxLocalAddresses];
    int addressCount = 0;
    GetLocalAddresses(addresses, &addressCount);
    if (addressCount == 0) {
        *count = 0;
        return 1;
    }
    net::SocketLayer& layer = *net::ActiveSocketLayer();
    ReplyCollector collector(replyTable);
    for (int i = 0; i < addressCount; ++i) {
        if (!DiscoverOnAddress(layer, addresses[i], &collector)) {
            return 0;
        }
    }
    *count = collector.count();
    return 1;
}
