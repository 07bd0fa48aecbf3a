#include "fleet/Verify.h"

#include <algorithm>
#include <cmath>

#include "fleet/Discovery.h"
#include "discovery/FieldText.h"
#include "fleet/Text.h"

namespace fleet {

bool TakeDiscovery(const DiscoveryRun& run, const std::string& macText,
                   const std::string& expectedAddress, VerifyResult* result) {
    const std::vector<AddressExchange> drops = KernelDrops(run.report);
    result->kernelDrops.insert(result->kernelDrops.end(), drops.begin(), drops.end());
    for (const DeviceRecord& record : run.records) {
        if (FieldText(record.macText) != macText) {
            continue;
        }
        const std::string address = FieldText(record.ipAddress);
        if (expectedAddress.empty() || address == expectedAddress) {
            result->outcome = VerifyResult::Outcome::kAnswers;
            result->address = address;
            return true;
        }
        if (std::find(result->seenAt.begin(), result->seenAt.end(), address) ==
            result->seenAt.end()) {
            result->seenAt.push_back(address);
        }
    }
    return false;
}

VerifyResult WaitUntilItAnswers(const Session& session, const std::string& macText,
                                const std::string& expectedAddress, double limitSeconds) {
    VerifyResult result;
    net::SocketLayer* layer = net::ActiveSocketLayer();
    if (layer == nullptr) {
        return result;
    }
    const net::Milliseconds start = layer->Now();
    const net::Milliseconds deadline =
        start + net::Milliseconds{std::llround(limitSeconds * 1000.0)};
    const auto elapsed = [&] {
        return static_cast<double>((layer->Now() - start).count()) / 1000.0;
    };
    for (;;) {
        // A discovery may fail while the access point restarts (a directly attached network
        // loses its carrier): that is one more look that saw nothing.
        if (TakeDiscovery(Discover(session), macText, expectedAddress, &result)) {
            result.seconds = elapsed();
            return result;
        }
        if (session.Stopped()) {
            result.outcome = VerifyResult::Outcome::kStopped;
            break;
        }
        // The last pause is cut to the limit rather than skipped, so that a look is never given
        // up while time is left for it; one begun before the limit is seen to its end.
        if (layer->Now() < deadline) {
            layer->Sleep(std::min(kVerifyPause, deadline - layer->Now()));
        }
        if (layer->Now() >= deadline) {
            result.outcome = result.seenAt.empty() ? VerifyResult::Outcome::kNeverAnswered
                                                   : VerifyResult::Outcome::kAnsweredElsewhere;
            break;
        }
    }
    result.seconds = elapsed();
    return result;
}

const char* OutcomeName(VerifyResult::Outcome outcome) {
    switch (outcome) {
        case VerifyResult::Outcome::kAnswers:
            return "answers";
        case VerifyResult::Outcome::kNeverAnswered:
            return "never answered";
        case VerifyResult::Outcome::kAnsweredElsewhere:
            return "answered elsewhere";
        case VerifyResult::Outcome::kStopped:
            return "stopped";
    }
    return "unknown";
}

std::string VerifyText(const std::string& macText, const std::string& expectedAddress,
                       double limitSeconds, const VerifyResult& result) {
    switch (result.outcome) {
        case VerifyResult::Outcome::kAnswers:
            return macText + " answers at " + result.address + " after " +
                   SecondsText(result.seconds) + " s";
        case VerifyResult::Outcome::kAnsweredElsewhere: {
            std::string seen;
            for (const std::string& address : result.seenAt) {
                seen += (seen.empty() ? "" : ", ") + address;
            }
            return macText + " did not answer at " + expectedAddress + " within " +
                   SecondsText(limitSeconds) + " s; answered from " + seen + " only";
        }
        case VerifyResult::Outcome::kStopped:
            return macText + " not verified: stopped after " + SecondsText(result.seconds) + " s";
        case VerifyResult::Outcome::kNeverAnswered:
            break;
    }
    return macText + " never answered within " + SecondsText(limitSeconds) + " s";
}

}  // namespace fleet
