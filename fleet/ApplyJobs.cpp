#include <algorithm>
#include <cmath>
#include <deque>
#include <memory>
#include <mutex>

#include "fleet/ApplyRows.h"

// Rows side by side: worker threads take rows in plan order and send each one's configuration
// and reset (a socket of their own per request, so no acknowledgement can complete another row),
// while the calling thread reports outcomes and runs one verification loop for every row waiting
// to answer. Only the calling thread calls the progress.
namespace fleet::rows {

namespace {

// How often the calling thread looks for finished rows while none waits to be verified.
constexpr net::Milliseconds kCollectInterval{100};

struct Waiting {
    std::size_t index = 0;
    net::Milliseconds since{0};
    net::Milliseconds deadline{0};
    bool looked = false;  // a discovery was run for it
    VerifyResult verified;
};

class SideBySide {
public:
    SideBySide(const Session& session, const Plan& plan, const Fleet& fleet,
               const std::vector<std::size_t>& toSend, const ApplyOptions& options,
               ApplyProgress& progress, std::vector<RowResult>* results, net::SocketLayer& layer)
        : session_(session),
          plan_(plan),
          fleet_(fleet),
          toSend_(toSend),
          options_(options),
          progress_(progress),
          results_(*results),
          layer_(layer) {}

    bool Run() {
        std::vector<std::unique_ptr<net::Worker>> workers;
        const std::size_t jobs = std::min<std::size_t>(
            toSend_.size(), static_cast<std::size_t>(std::clamp(options_.jobs, 1, kMostJobs)));
        for (std::size_t i = 0; i < jobs; ++i) {
            {
                std::lock_guard<std::mutex> lock(mutex_);
                ++running_;
            }
            std::unique_ptr<net::Worker> worker = layer_.StartWorker([this] { Work(); });
            if (!worker) {
                // Fewer threads than asked for: the rows still go, a few less at a time.
                std::lock_guard<std::mutex> lock(mutex_);
                --running_;
                break;
            }
            workers.push_back(std::move(worker));
        }
        if (workers.empty()) {
            ++running_;
            Work();
        }
        Collect();
        for (const std::unique_ptr<net::Worker>& worker : workers) {
            worker->Join();
        }
        const std::size_t skipped = toSend_.size() - taken_;
        if (skipped > 0) {
            progress_.Stopped(skipped);
        }
        return skipped == 0;
    }

private:
    // A worker: the next row in plan order until none is left or the user asked to stop.
    void Work() {
        for (;;) {
            std::size_t index = 0;
            {
                std::lock_guard<std::mutex> lock(mutex_);
                if (taken_ == toSend_.size() || session_.Stopped()) {
                    --running_;
                    return;
                }
                index = toSend_[taken_++];
            }
            RowResult result;
            const bool sent = SendRow(session_, plan_.rows[index], fleet_, &result);
            const net::Milliseconds now = layer_.Now();
            std::lock_guard<std::mutex> lock(mutex_);
            results_[index] = std::move(result);
            if (sent) {
                arrived_.push_back({index, now, now + Limit(), false, {}});
            } else {
                failed_.push_back(index);
            }
        }
    }

    net::Milliseconds Limit() const {
        return net::Milliseconds{std::llround(options_.verifySeconds * 1000.0)};
    }

    void Finish(std::size_t index) {
        progress_.RowFinished(index, plan_.rows.size(), plan_.rows[index], results_[index]);
    }

    // Takes what the workers finished; false when nothing is left to wait for.
    bool TakeFinished(std::vector<Waiting>* waiting) {
        std::vector<std::size_t> failed;
        bool working = false;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            failed.swap(failed_);
            waiting->insert(waiting->end(), arrived_.begin(), arrived_.end());
            arrived_.clear();
            working = running_ > 0;
        }
        for (const std::size_t index : failed) {
            Finish(index);
        }
        return working || !waiting->empty();
    }

    void Verified(Waiting& row, double seconds) {
        row.verified.seconds = seconds;
        const PlanRow& planned = plan_.rows[row.index];
        // Read without the lock: a row's result is the workers' only until it arrives here.
        TakeVerification(planned, fleet_, options_.verifySeconds, row.verified,
                         &results_[row.index]);
        Finish(row.index);
    }

    // One discovery for every row waiting; rows that answer, and rows whose time is up after
    // their last look, are finished.
    void VerificationRound(std::vector<Waiting>* waiting) {
        GiveUpAfterLastLook(waiting, layer_.Now());
        if (waiting->empty()) {
            return;
        }
        progress_.VerificationRound(waiting->size());
        // The rows are finished even when a stop is asked for, so that their outcomes are known.
        Session untilKnown = session_;
        untilKnown.stop = nullptr;
        const DiscoveryRun run = Discover(untilKnown);
        const net::Milliseconds now = layer_.Now();
        std::vector<Waiting> still;
        for (Waiting& row : *waiting) {
            row.looked = true;
            const PlanRow& planned = plan_.rows[row.index];
            const double seconds = static_cast<double>((now - row.since).count()) / 1000.0;
            if (TakeDiscovery(run, planned.macText, ExpectedAddress(planned), &row.verified)) {
                Verified(row, seconds);
            } else {
                still.push_back(std::move(row));
            }
        }
        waiting->swap(still);
        GiveUpAfterLastLook(waiting, now);
    }

    // A look begun before a row's limit is seen to its end; none is begun after it.
    void GiveUpAfterLastLook(std::vector<Waiting>* waiting, net::Milliseconds now) {
        std::vector<Waiting> still;
        for (Waiting& row : *waiting) {
            if (!row.looked || now < row.deadline) {
                still.push_back(std::move(row));
                continue;
            }
            row.verified.outcome = row.verified.seenAt.empty()
                                       ? VerifyResult::Outcome::kNeverAnswered
                                       : VerifyResult::Outcome::kAnsweredElsewhere;
            Verified(row, static_cast<double>((now - row.since).count()) / 1000.0);
        }
        waiting->swap(still);
    }

    // The calling thread's loop: outcomes as they come, and the verification rounds.
    void Collect() {
        std::vector<Waiting> waiting;
        while (TakeFinished(&waiting)) {
            if (waiting.empty()) {
                layer_.Sleep(kCollectInterval);
                continue;
            }
            VerificationRound(&waiting);
            if (waiting.empty()) {
                continue;
            }
            // The pause is cut to the earliest limit, so that no row loses a look it has time for.
            const net::Milliseconds now = layer_.Now();
            net::Milliseconds pause = kVerifyPause;
            for (const Waiting& row : waiting) {
                pause = std::min(pause, std::max(row.deadline - now, net::Milliseconds{0}));
            }
            layer_.Sleep(pause);
        }
    }

    const Session& session_;
    const Plan& plan_;
    const Fleet& fleet_;
    const std::vector<std::size_t>& toSend_;
    const ApplyOptions& options_;
    ApplyProgress& progress_;
    std::vector<RowResult>& results_;
    net::SocketLayer& layer_;

    std::mutex mutex_;
    std::size_t taken_ = 0;
    int running_ = 0;
    std::vector<std::size_t> failed_;
    std::deque<Waiting> arrived_;
};

}  // namespace

bool SendSideBySide(const Session& session, const Plan& plan, const Fleet& fleet,
                    const std::vector<std::size_t>& toSend, const ApplyOptions& options,
                    ApplyProgress& progress, std::vector<RowResult>* results) {
    net::SocketLayer* layer = net::ActiveSocketLayer();
    if (layer == nullptr || toSend.empty()) {
        return true;
    }
    return SideBySide(session, plan, fleet, toSend, options, progress, results, *layer).Run();
}

}  // namespace fleet::rows
