#pragma once

#include <atomic>
#include <string>
#include <vector>

#include "discovery/Exchange.h"
#include "fleet/Discovery.h"
#include "fleet/Session.h"

// Waiting for an access point to answer at an address, after it was told to reset.
namespace fleet {

// Pause between the end of one discovery and the start of the next while waiting for an access
// point to come back after its reset.
inline constexpr net::Milliseconds kVerifyPause{2000};

struct VerifyResult {
    enum class Outcome { kAnswers, kNeverAnswered, kAnsweredElsewhere, kStopped };
    Outcome outcome = Outcome::kNeverAnswered;
    std::string address;              // where it answers, when it does
    double seconds = 0;               // from the start of the wait to the discovery that found it
    std::vector<std::string> seenAt;  // other addresses it answered from, in order first seen
    // The exchanges of its discoveries that lost replies to a full receive buffer.
    std::vector<AddressExchange> kernelDrops;
};

// Discovers again and again, on the session's networks, until the access point with this MAC
// answers: from `expectedAddress`, or from any address when that is empty (DHCP). Gives up after
// `limitSeconds`; the session's stop ends the wait after the discovery under way (kStopped).
VerifyResult WaitUntilItAnswers(const Session& session, const std::string& macText,
                                const std::string& expectedAddress, double limitSeconds);

// Takes one discovery's records into `result`: true, with the outcome kAnswers and the address,
// when the MAC answers as expected; otherwise each other address it answered from is added to
// seenAt, in order first seen, and the kernel drops of the run are kept.
bool TakeDiscovery(const DiscoveryRun& run, const std::string& macText,
                   const std::string& expectedAddress, VerifyResult* result);

// "000A1B100006 answers at 10.0.0.16 after 9.4 s", or what was seen instead.
std::string VerifyText(const std::string& macText, const std::string& expectedAddress,
                       double limitSeconds, const VerifyResult& result);

const char* OutcomeName(VerifyResult::Outcome outcome);

}  // namespace fleet
