// The status checks look at byte 2 only, and only when it was received.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "FuzzCheck.h"
#include "discovery/Frame.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    auto* exact = new std::uint8_t[size == 0 ? 1 : size];
    if (size > 0) {
        std::memcpy(exact, data, size);
    }
    const bool acknowledged = IsAcknowledgement(exact, size);
    const bool accepted = IsAcceptedDiscoveryReply(exact, size);
    FUZZ_CHECK(acknowledged == (size >= 3 && data[2] == 0));
    FUZZ_CHECK(accepted == (size >= 3 && data[2] <= 1));
    FUZZ_CHECK(!acknowledged || accepted);
    delete[] exact;
    return 0;
}
