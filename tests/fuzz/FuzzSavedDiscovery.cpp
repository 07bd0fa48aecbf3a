// apctl diff's reader of a saved discovery: no text makes it throw or crash; what it accepts
// holds each MAC once and reads back to the same records from what discover would write of
// them; what it refuses is told without a control character of the file.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "FuzzCheck.h"
#include "discovery/FieldText.h"
#include "fleet/SavedDiscovery.h"
#include "tools/apctl/ApctlFormat.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::vector<DeviceRecord> records;
    std::string error;
    if (!fleet::ReadSavedDiscovery(text, &records, &error)) {
        FUZZ_CHECK(!error.empty());
        for (const char c : error) {
            FUZZ_CHECK(static_cast<unsigned char>(c) >= 0x20 && c != 0x7F);
        }
        return 0;
    }
    std::set<std::string> macs;
    for (const DeviceRecord& record : records) {
        FUZZ_CHECK(macs.insert(FieldText(record.macText)).second);
    }
    std::vector<DeviceRecord> again;
    FUZZ_CHECK(fleet::ReadSavedDiscovery(apctl::FormatJson(records), &again, &error));
    FUZZ_CHECK(again.size() == records.size());
    for (std::size_t i = 0; i < records.size(); ++i) {
        FUZZ_CHECK(std::memcmp(&again[i], &records[i], sizeof(DeviceRecord)) == 0);
    }
    return 0;
}
