#include "discovery/BroadcastDiscovery.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstring>
#include <memory>

#include "discovery/Frame.h"
#include "discovery/LocalAddresses.h"
#include "discovery/RequestSocket.h"

int ResendWorker(ResendParams* params) {
    const auto cancelled = [params] { return params->cancel != nullptr && params->cancel->load(); };
    for (int i = 0; i < kResendCount && !cancelled(); ++i) {
        if (params->cancel == nullptr) {
            params->layer->Sleep(kResendInterval);
        } else {
            // In slices, so that a cancelled exchange is not kept waiting for its worker's join.
            for (net::Milliseconds slept{0}; slept < kResendInterval && !cancelled();
                 slept += kCancelCheckInterval) {
                params->layer->Sleep(std::min(kCancelCheckInterval, kResendInterval - slept));
            }
        }
        if (cancelled()) {
            break;
        }
        const bool sent =
            params->layer->SendFrom(params->socket, *params->local, params->request,
                                    params->requestLength, params->destination, params->port);
        if (sent && params->sent != nullptr) {
            params->sent->fetch_add(1);
        }
    }
    return 0;
}

namespace {

// Fills the reply table in order of arrival. Once all 384 places are taken, a reply from an
// access point not yet in the table takes the place of the latest record that repeats an earlier
// one's MAC (consolidation would drop that record anyway), so the table can still end up naming
// 384 distinct access points; repeats of MACs already held are dropped.
class ReplyCollector final : public ReplySink {
public:
    explicit ReplyCollector(DeviceTable* table) : table_(table) {}

    int count() const { return count_; }

    void Add(const DeviceRecord& record) override {
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

    std::unique_ptr<ReplySink> Fresh() const override {
        DeviceTablePtr table = AllocateDeviceTable();
        if (!table) {
            return nullptr;
        }
        auto fresh = std::make_unique<ReplyCollector>(table.get());
        fresh->owned_ = std::move(table);
        return fresh;
    }

    void ReplayInto(ReplySink& target) const override {
        for (int r = 0; r < count_; ++r) {
            target.Add(table_->records[r]);
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

    DeviceTablePtr owned_;  // for a parallel exchange's own table
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

// Turns every accepted reply into a record for `collector`, until the exchange on this address
// is over. False when a socket step failed.
bool CollectReplies(net::SocketLayer& layer, net::SocketHandle socket, net::Milliseconds firstSend,
                    const std::atomic<bool>* cancel, AddressExchange* exchange,
                    ReplySink* collector) {
    char localText[16] = {};
    net::FormatDottedQuad(exchange->local.address, localText, sizeof localText);
    return ReceiveUntilSilence(
        layer, socket, firstSend, cancel, exchange,
        [&](const std::uint8_t* datagram, std::size_t length, std::uint32_t source) {
            if (!IsAcceptedDiscoveryReply(datagram, length)) {
                return DatagramVerdict::kIgnored;
            }
            DeviceRecord record{};
            ParseReplyElements(datagram, length, &record);
            net::FormatDottedQuad(source, record.ipAddress, sizeof record.ipAddress);
            std::memcpy(record.localAddress, localText, sizeof localText);
            collector->Add(record);
            return DatagramVerdict::kAccepted;
        });
}

// Runs the exchange on one local address. False when a socket step failed.
bool DiscoverOnAddress(net::SocketLayer& layer, const std::atomic<bool>* cancel,
                       AddressExchange* exchange, ReplySink* collector) {
    const net::LocalAddress& local = exchange->local;
    const net::Milliseconds began = layer.Now();
    struct Duration {
        net::SocketLayer& layer;
        AddressExchange* exchange;
        net::Milliseconds began;
        ~Duration() { exchange->duration = layer.Now() - began; }
    } duration{layer, exchange, began};

    net::SocketGuard socket(layer, OpenRequestSocket(layer, local, exchange));
    if (socket.get() == net::kInvalidSocket) {
        return false;
    }
    std::uint8_t request[kDiscoveryRequestLength];
    BuildDiscoveryRequest(request);
    const net::Milliseconds firstSend = layer.Now();
    if (!layer.SendFrom(socket.get(), local, request, sizeof request, net::kLimitedBroadcast,
                        kAccessPointPort)) {
        RecordFailure(exchange, ExchangeStep::kSendRequest);
        return false;
    }
    exchange->requestsSent = 1;

    std::atomic<int> resent{0};
    ResendParams params;
    params.layer = &layer;
    params.socket = socket.get();
    params.local = &local;
    params.request = request;
    params.requestLength = sizeof request;
    params.destination = net::kLimitedBroadcast;
    params.port = kAccessPointPort;
    params.sent = &resent;
    params.cancel = cancel;
    // Without a worker the exchange goes on with the single send. The counter is read only after
    // the worker has been joined.
    {
        WorkerJoiner resender(layer.StartWorker([&params] { ResendWorker(&params); }));

        const bool completed =
            CollectReplies(layer, socket.get(), firstSend, cancel, exchange, collector);
        // Read before the socket closes, the count gone with it; a failed exchange keeps its
        // count too.
        exchange->droppedByKernel = layer.DroppedByKernel(socket.get());
        if (!completed) {
            return false;
        }
    }
    exchange->requestsSent += resent.load();
    return true;
}

struct AddressRun {
    AddressExchange exchange;
    std::unique_ptr<ReplySink> collector;
    bool completed = false;
};

// Each address's exchange on a thread of its own, each with its own reply table; the replies are
// then taken in address order, so the result is the one a walk from address to address would
// give for the same replies.
bool DiscoverInParallel(net::SocketLayer& layer, const std::atomic<bool>* cancel,
                        const std::vector<net::LocalAddress>& addresses,
                        std::vector<AddressExchange>* exchanges, ReplySink* collector) {
    std::vector<AddressRun> runs(addresses.size());
    for (std::size_t i = 0; i < addresses.size(); ++i) {
        runs[i].exchange.local = addresses[i];
        runs[i].collector = collector->Fresh();
        if (!runs[i].collector) {
            return false;
        }
    }
    {
        std::vector<std::unique_ptr<WorkerJoiner>> workers;
        std::vector<AddressRun*> inlineRuns;
        for (AddressRun& run : runs) {
            AddressRun* target = &run;
            std::unique_ptr<net::Worker> worker = layer.StartWorker([&layer, cancel, target] {
                target->completed =
                    DiscoverOnAddress(layer, cancel, &target->exchange, target->collector.get());
            });
            if (worker) {
                workers.push_back(std::make_unique<WorkerJoiner>(std::move(worker)));
            } else {
                inlineRuns.push_back(target);
            }
        }
        // An exchange whose thread could not be started runs here, while the others go on.
        for (AddressRun* run : inlineRuns) {
            run->completed = DiscoverOnAddress(layer, cancel, &run->exchange, run->collector.get());
        }
    }
    bool completed = true;
    for (AddressRun& run : runs) {
        exchanges->push_back(run.exchange);
        completed = completed && run.completed;
        run.collector->ReplayInto(*collector);
    }
    return completed;
}

}  // namespace

int BroadcastDiscoveryInto(const ExchangeOptions& options, ReplySink* collector,
                           const std::atomic<bool>* cancel, ExchangeReport* report) {
    std::vector<net::LocalAddress> addresses;
    net::SocketLayer* layer = net::ActiveSocketLayer();
    // Interfaces that cannot be listed give no address, which is no failure of the exchange.
    if (layer == nullptr || !ExchangeAddresses(options, &addresses, report) || addresses.empty()) {
        return 1;
    }
    std::vector<AddressExchange> exchanges;
    bool completed = true;
    if (options.parallel) {
        completed = DiscoverInParallel(*layer, cancel, addresses, &exchanges, collector);
    } else {
        for (const net::LocalAddress& local : addresses) {
            exchanges.emplace_back();
            exchanges.back().local = local;
            if (!DiscoverOnAddress(*layer, cancel, &exchanges.back(), collector)) {
                completed = false;
                break;
            }
            if (exchanges.back().cancelled) {
                break;
            }
        }
    }
    if (report != nullptr) {
        report->addresses = std::move(exchanges);
    }
    return completed ? 1 : 0;
}

int BroadcastDiscoveryWith(const ExchangeOptions& options, DeviceTable* replyTable, int* count,
                           const std::atomic<bool>* cancel, ExchangeReport* report) {
    ReplyCollector collector(replyTable);
    if (BroadcastDiscoveryInto(options, &collector, cancel, report) == 0) {
        return 0;
    }
    *count = collector.count();
    return 1;
}

int BroadcastDiscovery(DeviceTable* replyTable, int* count) {
    return BroadcastDiscoveryWith(ExchangeOptions{}, replyTable, count);
}
